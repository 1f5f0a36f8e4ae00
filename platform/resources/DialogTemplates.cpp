// Dialog templates from the program's resources: JSON data with the style names of the resource
// compiler.
#include "platform/resources/DialogTemplates.h"

#include <cstdlib>
#include <limits>

#include "platform/internal.h"
#include "platform/resources/ModuleResources.h"

namespace platform {

namespace {

struct StyleName {
    const char* name;
    DWORD value;
};

const StyleName kStyleNames[] = {
    {"WS_OVERLAPPED", 0x00000000u},
    {"WS_POPUP", 0x80000000u},
    {"WS_CHILD", 0x40000000u},
    {"WS_MINIMIZE", 0x20000000u},
    {"WS_VISIBLE", 0x10000000u},
    {"WS_DISABLED", 0x08000000u},
    {"WS_CLIPSIBLINGS", 0x04000000u},
    {"WS_CLIPCHILDREN", 0x02000000u},
    {"WS_CAPTION", 0x00C00000u},
    {"WS_BORDER", 0x00800000u},
    {"WS_DLGFRAME", 0x00400000u},
    {"WS_VSCROLL", 0x00200000u},
    {"WS_HSCROLL", 0x00100000u},
    {"WS_SYSMENU", 0x00080000u},
    {"WS_THICKFRAME", 0x00040000u},
    {"WS_GROUP", 0x00020000u},
    {"WS_TABSTOP", 0x00010000u},
    {"DS_ABSALIGN", 0x0001u},
    {"DS_SYSMODAL", 0x0002u},
    {"DS_3DLOOK", 0x0004u},
    {"DS_FIXEDSYS", 0x0008u},
    {"DS_NOFAILCREATE", 0x0010u},
    {"DS_SETFONT", 0x0040u},
    {"DS_MODALFRAME", 0x0080u},
    {"DS_SETFOREGROUND", 0x0200u},
    {"DS_CONTROL", 0x0400u},
    {"DS_CENTER", 0x0800u},
    {"DS_SHELLFONT", 0x0048u},
    {"BS_PUSHBUTTON", 0x0000u},
    {"BS_DEFPUSHBUTTON", 0x0001u},
    {"BS_OWNERDRAW", 0x000Bu},
    {"SS_LEFT", 0x0000u},
    {"SS_CENTER", 0x0001u},
    {"SS_RIGHT", 0x0002u},
    {"SS_OWNERDRAW", 0x000Du},
    {"SS_BITMAP", 0x000Eu},
    {"SS_NOTIFY", 0x0100u},
    {"SS_CENTERIMAGE", 0x0200u},
    {"SBS_HORZ", 0x0000u},
    {"SBS_VERT", 0x0001u},
    {"LWS_TRANSPARENT", 0x0001u},
    {"WS_EX_DLGMODALFRAME", 0x00000001u},
    {"WS_EX_NOPARENTNOTIFY", 0x00000004u},
    {"WS_EX_TOPMOST", 0x00000008u},
    {"WS_EX_TRANSPARENT", 0x00000020u},
    {"WS_EX_TOOLWINDOW", 0x00000080u},
    {"WS_EX_CLIENTEDGE", 0x00000200u},
    {"WS_EX_CONTROLPARENT", 0x00010000u},
    {"WS_EX_STATICEDGE", 0x00020000u},
    {"WS_EX_APPWINDOW", 0x00040000u},
};

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<DWORD> ValueOf(std::string_view token) {
    for (const StyleName& style : kStyleNames) {
        if (token == style.name) {
            return style.value;
        }
    }
    if (token.starts_with("0x") && token.size() > 2 && token.size() <= 10) {
        const std::string digits(token.substr(2));
        char* end = nullptr;
        const unsigned long value = std::strtoul(digits.c_str(), &end, 16);
        if (end && *end == '\0') {
            return static_cast<DWORD>(value);
        }
    }
    return std::nullopt;
}

std::optional<DWORD> StyleField(const nlohmann::json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end()) {
        return DWORD{0};
    }
    return found->is_string() ? ParseStyle(found->get<std::string>()) : std::nullopt;
}

std::wstring TextField(const nlohmann::json& object, const char* name) {
    const auto found = object.find(name);
    return found != object.end() && found->is_string() ? FromUtf8(found->get<std::string>()) : std::wstring();
}

template <typename T> bool NumberField(const nlohmann::json& object, const char* name, T& out) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_number_integer()) {
        return false;
    }
    const long long value = found->get<long long>();
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
        return false;
    }
    out = static_cast<T>(value);
    return true;
}

// [x, y, cx, cy] in dialog units.
bool RectField(const nlohmann::json& object, short& x, short& y, short& cx, short& cy) {
    const auto found = object.find("rect");
    if (found == object.end() || !found->is_array() || found->size() != 4) {
        return false;
    }
    short* fields[] = {&x, &y, &cx, &cy};
    for (size_t i = 0; i < 4; ++i) {
        const auto& value = (*found)[i];
        if (!value.is_number_integer() || value.get<long long>() < -32768 || value.get<long long>() > 32767) {
            return false;
        }
        *fields[i] = static_cast<short>(value.get<int>());
    }
    return true;
}

std::optional<DialogControlTemplate> ControlOf(const nlohmann::json& entry) {
    DialogControlTemplate control;
    const auto style = entry.is_object() ? StyleField(entry, "style") : std::nullopt;
    const auto exStyle = entry.is_object() ? StyleField(entry, "exStyle") : std::nullopt;
    if (!style || !exStyle || !NumberField(entry, "id", control.id) ||
        !RectField(entry, control.x, control.y, control.cx, control.cy)) {
        return std::nullopt;
    }
    control.className = TextField(entry, "class");
    control.text = TextField(entry, "text");
    control.style = *style;
    control.exStyle = *exStyle;
    return control.className.empty() ? std::nullopt : std::optional(control);
}

bool ReadFont(const nlohmann::json& json, DialogTemplate& dialog) {
    const auto font = json.find("font");
    if (font == json.end()) {
        return true;
    }
    int italic = 0;
    if (!font->is_object() || !NumberField(*font, "pointSize", dialog.pointSize) ||
        !NumberField(*font, "weight", dialog.weight) || !NumberField(*font, "charset", dialog.charset)) {
        return false;
    }
    NumberField(*font, "italic", italic);
    dialog.italic = italic != 0;
    dialog.fontFace = TextField(*font, "face");
    return !dialog.fontFace.empty();
}

std::optional<DialogTemplate> ParseTemplate(const EmbeddedFile& file) {
    const auto json = nlohmann::json::parse(file.data, file.data + file.size, nullptr, false);
    if (!json.is_object()) {
        return std::nullopt;
    }
    DialogTemplate dialog;
    const auto style = StyleField(json, "style");
    const auto exStyle = StyleField(json, "exStyle");
    const auto controls = json.find("controls");
    if (!style || !exStyle || !NumberField(json, "id", dialog.id) ||
        !RectField(json, dialog.x, dialog.y, dialog.cx, dialog.cy) || !ReadFont(json, dialog) ||
        (controls != json.end() && !controls->is_array())) {
        return std::nullopt;
    }
    dialog.style = *style;
    dialog.exStyle = *exStyle;
    dialog.caption = TextField(json, "caption");
    for (const auto& entry : controls != json.end() ? *controls : nlohmann::json::array()) {
        auto control = ControlOf(entry);
        if (!control) {
            return std::nullopt;
        }
        dialog.controls.push_back(std::move(*control));
    }
    return dialog;
}

} // namespace

std::optional<DWORD> ParseStyle(std::string_view text) {
    DWORD value = 0;
    if (Trimmed(text).empty()) {
        return value;
    }
    while (true) {
        const size_t bar = text.find('|');
        const auto token = ValueOf(Trimmed(text.substr(0, bar)));
        if (!token) {
            return std::nullopt;
        }
        value |= *token;
        if (bar == std::string_view::npos) {
            return value;
        }
        text.remove_prefix(bar + 1);
    }
}

std::optional<DialogTemplate> FindDialogTemplate(int id) {
    const ModuleResources* resources = ProgramResources();
    const EmbeddedFile* file =
        resources && id > 0 ? FindEmbeddedFile(resources->dialogs, std::to_string(id) + ".json") : nullptr;
    auto dialog = file ? ParseTemplate(*file) : std::nullopt;
    return dialog && dialog->id == id ? dialog : std::nullopt;
}

} // namespace platform
