// The program's dialog templates (resources/dialogs), for the window system that makes dialogs from
// them: styles as the window system's values, positions and sizes in dialog units.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/base.h"

namespace platform {

struct DialogControlTemplate {
    WORD id = 0;
    std::wstring className; // "Button", "Static", "ScrollBar", "SysLink"
    std::wstring text;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
};

struct DialogTemplate {
    WORD id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
    std::wstring caption;
    // The font of DS_SETFONT: face, size in points, weight, italic, character set.
    std::wstring fontFace;
    WORD pointSize = 0;
    WORD weight = 0;
    bool italic = false;
    BYTE charset = 0;
    std::vector<DialogControlTemplate> controls;
};

// The template of that id; nullopt when the program has none or its data is malformed.
std::optional<DialogTemplate> FindDialogTemplate(int id);

// A style text such as "WS_CHILD | WS_VISIBLE | 0x4" as its value; nullopt for an unknown name.
std::optional<DWORD> ParseStyle(std::string_view text);

} // namespace platform
