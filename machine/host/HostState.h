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

#include "machine/host/PrivacyMonitor.h"

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
// registration is removed, and an object made before answers as disconnected); "slow": the calls of the
// features' plug-ins are held until the host leaves this mode (at most kMaxAnswerDelayMs), then served
// as the new mode says; "malformed": the host acts as in "normal" but the plug-ins' answers come cut
// short. The host's own calls (contract, brand, type model, plug-in invoke, telemetry) are not held
// and stay whole.
enum class HostMode { Normal, Failing, Absent, Slow, Malformed };
std::optional<HostMode> ModeFromName(std::string_view name);

// The CheckPluginInvoke answer: the plug-ins were invoked, or their invocation failed.
inline constexpr const char* kPluginInvokeSuccess = "success";
inline constexpr const char* kPluginInvokeError = "error1";

// A slow host never holds a call longer than this.
inline constexpr int kMaxAnswerDelayMs = 60000;

// Names in a feature's entry.
inline constexpr const char* kSupportedKey = "supported";
inline constexpr const char* kStateKey = "state";
inline constexpr const char* kDisabledKey = "disabled";
inline constexpr const char* kFormKey = "form";
inline constexpr const char* kAnswerKey = "answer";

// Where a feature's list stands in its answers: in the answer document itself, or in the document
// carried, escaped, as the text of a "Data" element.
enum class AnswerForm { Direct, Data };
std::optional<AnswerForm> FormFromName(std::string_view name);

// One feature of the machine as the host sees it, an entry of "features" (HostFeatures.h lists them):
// {"supported": true, "state": 1, "disabled": false, "form": "data", "answer": {"KEY": "TEXT"}}.
// "state" is 0 off, 1 on, or the feature's level or mode; "disabled" greys the feature whatever its
// state; "answer" holds texts that the feature's answers carry in place of those the host would make
// (same key) or besides them (new key).
struct HostFeature {
    bool supported = false;
    int state = 0;
    bool disabled = false;
    AnswerForm form = AnswerForm::Direct;
    std::map<std::string, std::string> answer;
};

struct HostState {
    HostMode mode = HostMode::Normal;
    std::string brand;
    std::string mtm;
    bool pluginInvokeError = false;
    int answerDelayMs = 0;
    std::map<std::string, HostFeature> features;
    PrivacyMonitor privacyMonitor;

    // The feature's entry; an unknown feature is unsupported.
    HostFeature Feature(const std::string& name) const;
};

std::filesystem::path HostStateFile();

// The state from host.json's content; values that are missing or of the wrong kind keep their defaults
// (an unknown mode counts as failing).
HostState ParseHostState(const nlohmann::json& data);

// A REG_SZ or REG_EXPAND_SZ value of a key ("HKEY_LOCAL_MACHINE\\SOFTWARE\\...") in the 64-bit view, as
// the host's service reads it; none when the key or value is missing or of another type.
std::optional<std::wstring> ReadRegistryText(std::wstring_view keyPath, const wchar_t* name);

// Changes host.json under the host's lock: read, changed by the editor, replaced atomically. False with
// a message when the file holds no JSON object (it is then left as it is) or cannot be written.
bool UpdateHostState(const std::function<void(nlohmann::json&)>& edit, std::string& error);

} // namespace host
