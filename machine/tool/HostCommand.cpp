// host: the plug-in host's state and the registration of its contract server.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>

#include "machine/host/HostState.h"
#include "machine/provision/Profile.h"
#include "machine/tool/Commands.h"
#include "platform/internal.h"
#include "platform/registry.h"

namespace {

// A simple value of the state that `host set` changes: the word given, its key in host.json and the
// reading of the text given.
struct HostSetting {
    const char* name;
    const char* stateKey;
    const char* values;
    const char* meaning;
    std::optional<nlohmann::json> (*parse)(const std::string& text);
};

std::optional<nlohmann::json> ParseText(const std::string& text) {
    return nlohmann::json(text);
}

std::optional<nlohmann::json> ParsePluginInvoke(const std::string& text) {
    if (text != host::kPluginInvokeSuccess && text != host::kPluginInvokeError) {
        return std::nullopt;
    }
    return nlohmann::json(text);
}

std::optional<nlohmann::json> ParseDelay(const std::string& text) {
    int delay = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), delay);
    if (error != std::errc() || end != text.data() + text.size() || delay < 0 ||
        delay > host::kMaxAnswerDelayMs) {
        return std::nullopt;
    }
    return nlohmann::json(delay);
}

const HostSetting kSettings[] = {
    {"brand", host::kBrandKey, "TEXT", "the brand GetMachineBrand answers (Ixor, Kobal)", ParseText},
    {"mtm", host::kMtmKey, "TEXT", "the machine type model GetMachineTypeModel answers", ParseText},
    {"plugin-invoke", host::kPluginInvokeKey, "success|error1",
     "whether CheckPluginInvoke answers PluginInvokeError1", ParsePluginInvoke},
    {"delay", host::kDelayKey, "MS", "every call is answered after MS milliseconds (0 to 60000)", ParseDelay},
};

void PrintHostHelp(FILE* out) {
    std::fprintf(out, "usage: flipdeck-machine host [show]\n"
                      "       flipdeck-machine host mode normal|failing|absent|slow|malformed\n"
                      "       flipdeck-machine host answer METHOD normal|null|error|malformed\n"
                      "       flipdeck-machine host set KEY VALUE\n\n"
                      "The plug-in host as the program meets it through its contract server: the\n"
                      "host's state (host.json in the machine folder, read by the server at each call)\n"
                      "and the server's class registration.\n\n"
                      "modes:\n"
                      "  normal    the host answers; the registration is put back from the profile\n"
                      "  failing   every contract call fails with RPC_E_SERVERFAULT\n"
                      "  absent    the registration is removed, so the program finds no host\n"
                      "  slow      the features' calls (their plug-ins' queries and sets) are held until\n"
                      "            the host leaves this mode (at most 60 s), then served as the new mode\n"
                      "            says; the host's own calls (InitializeContract, GetMachineBrand,\n"
                      "            GetMachineTypeModel, CheckPluginInvoke, telemetry) answer at once\n"
                      "  malformed the host acts as in normal, but the features' XML answers are cut short\n"
                      "            before their last end tag; the host's own answers stay whole\n\n"
                      "answers of one contract method (e.g. GetPrivacyGuardStatus), whatever the mode:\n"
                      "  normal    as the host's mode says\n"
                      "  null      the call succeeds without an answer (a null BSTR), after doing what it\n"
                      "            does\n"
                      "  error     the call fails with RPC_E_SERVERFAULT and does nothing\n"
                      "  malformed the call does what it does, and its answer comes cut short\n\n"
                      "keys of set:\n");
    for (const auto& setting : kSettings) {
        const std::string syntax = std::string(setting.name) + " " + setting.values;
        std::fprintf(out, "  %-29s %s\n", syntax.c_str(), setting.meaning);
    }
    std::fprintf(out, "\nThe features the host offers and their states: flipdeck-machine feature --help\n");
}

HKEY SplitKey(const char* keyPath, std::wstring& subKey) {
    HKEY root = nullptr;
    platform::SplitRegistryPath(platform::FromUtf8(keyPath), root, subKey);
    return root;
}

std::optional<std::wstring> RegisteredServerPath() {
    return host::ReadRegistryText(
        platform::FromUtf8(host::kClassKey) + L"\\" + platform::FromUtf8(host::kServerSubKey), nullptr);
}

bool RemoveRegistration(std::string& error) {
    std::wstring subKey;
    const HKEY root = SplitKey(host::kClassKey, subKey);
    const size_t slash = subKey.rfind(L'\\');
    HKEY parent = nullptr;
    LONG status =
        RegOpenKeyExW(root, subKey.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &parent);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteTreeW(parent, subKey.substr(slash + 1).c_str());
        RegCloseKey(parent);
    }
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        error = "cannot remove the registration (error " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

// Creates the key and sets its values ({"Name": {"type": "REG_SZ", "data": ...}}, texts only, as a
// registration holds them).
bool WriteRegistrationKey(const std::string& keyPath, const nlohmann::json& values, std::string& error) {
    std::wstring subKey;
    const HKEY root = SplitKey(keyPath.c_str(), subKey);
    HKEY opened = nullptr;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                        &opened, nullptr) != ERROR_SUCCESS) {
        error = "cannot create the registry key " + keyPath;
        return false;
    }
    bool ok = true;
    for (const auto& [name, value] : values.items()) {
        const bool isText = value.is_object() && value.value("type", nlohmann::json("REG_SZ")) == "REG_SZ" &&
                            value.contains("data") && value["data"].is_string();
        const std::wstring text =
            isText ? platform::FromUtf8(value["data"].get<std::string>()) : std::wstring();
        ok = isText &&
             RegSetValueExW(opened, platform::FromUtf8(name).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        if (!ok) {
            error = "cannot set the registry value " + keyPath + "\\" + name;
            break;
        }
    }
    RegCloseKey(opened);
    return ok;
}

// Writes the class key and the keys below it as the machine's profile has them.
bool RestoreRegistration(std::string& error) {
    const nlohmann::json profileName = platform::MachineFact("/profile");
    CProfile profile;
    if (!profileName.is_string() || !profile.Load(profileName.get<std::string>(), error)) {
        error = "cannot read the machine's profile: " + error;
        return false;
    }
    const std::wstring classKey = platform::FoldCase(platform::FromUtf8(host::kClassKey));
    bool found = false;
    const nlohmann::json registry = profile.Data().value("registry", nlohmann::json::object());
    for (const auto& [keyPath, key] : registry.items()) {
        const std::wstring path = platform::FoldCase(platform::FromUtf8(keyPath));
        if (path != classKey && !path.starts_with(classKey + L"\\")) {
            continue;
        }
        found = true;
        const nlohmann::json values =
            key.is_object() ? key.value("values", nlohmann::json::object()) : nullptr;
        if (!values.is_object()) {
            error = "malformed registry key " + keyPath + " in the profile";
            return false;
        }
        if (!WriteRegistrationKey(keyPath, values, error)) {
            return false;
        }
    }
    if (!found) {
        error = "the profile " + profileName.get<std::string>() + " registers no host";
    }
    return found;
}

bool SetStateValue(const char* key, const nlohmann::json& value, std::string& error) {
    return host::UpdateHostState([&](nlohmann::json& state) { state[key] = value; }, error);
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "flipdeck-machine host: %s\n", error.c_str());
    return 1;
}

int UsageError() {
    PrintHostHelp(stderr);
    return 2;
}

int ShowHost() {
    const auto server = RegisteredServerPath();
    std::printf("registration: %s\n",
                server ? platform::ToUtf8(*server).c_str() : "none (the program finds no host)");
    const auto state = platform::ReadWholeFile(host::HostStateFile());
    std::printf("state (%s):\n%s", host::HostStateFile().c_str(), state ? state->c_str() : "none\n");
    return 0;
}

int SetHostMode(const std::string& modeName) {
    const auto mode = host::ModeFromName(modeName);
    if (!mode) {
        return UsageError();
    }
    std::string error;
    const bool registered =
        *mode == host::HostMode::Absent ? RemoveRegistration(error) : RestoreRegistration(error);
    if (!registered || !SetStateValue(host::kModeKey, modeName, error)) {
        return Fail(error);
    }
    std::printf("host mode: %s\n", modeName.c_str());
    return 0;
}

bool IsMethodName(const std::string& name) {
    return !name.empty() &&
           std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c); });
}

int SetMethodAnswer(const std::string& method, const std::string& answerName) {
    const auto answer = host::MethodAnswerFromName(answerName);
    if (!IsMethodName(method) || !answer) {
        return UsageError();
    }
    std::string error;
    const bool set = host::UpdateHostState(
        [&](nlohmann::json& state) {
            nlohmann::json& methods = state[host::kMethodsKey];
            if (!methods.is_object()) {
                methods = nlohmann::json::object();
            }
            if (*answer == host::MethodAnswer::Normal) {
                methods.erase(method);
            } else {
                methods[method] = answerName;
            }
        },
        error);
    if (!set) {
        return Fail(error);
    }
    std::printf("host answer of %s: %s\n", method.c_str(), answerName.c_str());
    return 0;
}

int SetHostValue(const std::string& name, const std::string& text) {
    for (const auto& setting : kSettings) {
        if (name != setting.name) {
            continue;
        }
        const auto value = setting.parse(text);
        if (!value) {
            return UsageError();
        }
        std::string error;
        if (!SetStateValue(setting.stateKey, *value, error)) {
            return Fail(error);
        }
        std::printf("host %s: %s\n", setting.name, text.c_str());
        return 0;
    }
    return UsageError();
}

} // namespace

int RunHostCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        PrintHostHelp(stdout);
        return 0;
    }
    if (args.empty() || (args.size() == 1 && args[0] == "show")) {
        return ShowHost();
    }
    if (args.size() == 2 && args[0] == "mode") {
        return SetHostMode(args[1]);
    }
    if (args.size() == 3 && args[0] == "set") {
        return SetHostValue(args[1], args[2]);
    }
    if (args.size() == 3 && args[0] == "answer") {
        return SetMethodAnswer(args[1], args[2]);
    }
    return UsageError();
}
