// The plug-in host as the machine keeps it: its state file (host.json in the machine folder) and the
// registration of its contract server. The server answers from the state; the tool changes it.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace host {

// The contract server's class key (literal 64-bit-view path; the program's 32-bit view reaches it as
// HKLM\SOFTWARE\Classes\CLSID\{...}).
inline constexpr const char* kClassKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{4E2A7C19-5B3D-4F60-9A81-C3D57E0B2F46}";
// Its sub-key naming the module.
inline constexpr const char* kServerSubKey = "InprocServer32";

// Names in host.json.
inline constexpr const char* kModeKey = "mode";
inline constexpr const char* kBrandKey = "brand";
inline constexpr const char* kMtmKey = "mtm";
inline constexpr const char* kPluginInvokeKey = "pluginInvoke";
inline constexpr const char* kDelayKey = "answerDelayMs";
inline constexpr const char* kFeaturesKey = "features";

// "normal": the host answers; "failing": every call fails; "absent": the host's service is gone (the
// registration is removed, and an object made before answers as disconnected).
enum class HostMode { Normal, Failing, Absent };
std::optional<HostMode> ModeFromName(std::string_view name);

// The CheckPluginInvoke answer: the plug-ins were invoked, or their invocation failed.
inline constexpr const char* kPluginInvokeSuccess = "success";
inline constexpr const char* kPluginInvokeError = "error1";

// A slow host never holds a call longer than this.
inline constexpr int kMaxAnswerDelayMs = 60000;

// One feature of the machine as the host sees it: "features": {"EyeCareMode": {"supported", "state"}}.
struct HostFeature {
    bool supported = false;
    int state = 0;
};

struct HostState {
    HostMode mode = HostMode::Normal;
    std::string brand;
    std::string mtm;
    bool pluginInvokeError = false;
    int answerDelayMs = 0;
    std::map<std::string, HostFeature> features;

    // The feature's entry; an unknown feature is unsupported.
    HostFeature Feature(const std::string& name) const;
};

std::filesystem::path HostStateFile();

// The state from host.json's content; values that are missing or of the wrong kind keep their defaults
// (an unknown mode counts as failing).
HostState ParseHostState(const nlohmann::json& data);

// Changes host.json under the host's lock: read, changed by the editor, replaced atomically. False with
// a message when the file holds no JSON object (it is then left as it is) or cannot be written.
bool UpdateHostState(const std::function<void(nlohmann::json&)>& edit, std::string& error);

} // namespace host
