#include "machine/host/HostState.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "platform/internal.h"

namespace host {

namespace {

constexpr const char* kModeNames[] = {"normal", "failing", "absent"};

std::string TextOr(const nlohmann::json& data, const char* key, const std::string& fallback) {
    const auto found = data.find(key);
    return found != data.end() && found->is_string() ? found->get<std::string>() : fallback;
}

HostMode ModeOf(const nlohmann::json& data) {
    const auto found = data.find(kModeKey);
    if (found == data.end()) {
        return HostMode::Normal;
    }
    const auto mode = found->is_string() ? ModeFromName(found->get<std::string>()) : std::nullopt;
    return mode.value_or(HostMode::Failing);
}

int DelayOf(const nlohmann::json& data) {
    const auto found = data.find(kDelayKey);
    if (found == data.end() || !found->is_number_integer()) {
        return 0;
    }
    return static_cast<int>(std::clamp<long long>(found->get<long long>(), 0, kMaxAnswerDelayMs));
}

std::map<std::string, HostFeature> FeaturesOf(const nlohmann::json& data) {
    std::map<std::string, HostFeature> features;
    const auto found = data.find(kFeaturesKey);
    if (found == data.end() || !found->is_object()) {
        return features;
    }
    for (const auto& [name, entry] : found->items()) {
        if (!entry.is_object()) {
            continue;
        }
        HostFeature feature;
        const auto supported = entry.find("supported");
        feature.supported = supported != entry.end() && supported->is_boolean() && supported->get<bool>();
        const auto state = entry.find("state");
        if (state != entry.end() && state->is_number_integer()) {
            feature.state = static_cast<int>(std::clamp<long long>(
                state->get<long long>(), std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
        }
        features[name] = feature;
    }
    return features;
}

} // namespace

std::optional<HostMode> ModeFromName(std::string_view name) {
    const auto found = std::find(std::begin(kModeNames), std::end(kModeNames), name);
    return found == std::end(kModeNames)
               ? std::nullopt
               : std::optional(static_cast<HostMode>(found - std::begin(kModeNames)));
}

HostFeature HostState::Feature(const std::string& name) const {
    const auto found = features.find(name);
    return found == features.end() ? HostFeature{} : found->second;
}

std::filesystem::path HostStateFile() {
    return platform::MachineFolder() / "host.json";
}

HostState ParseHostState(const nlohmann::json& data) {
    HostState state;
    if (!data.is_object()) {
        return state;
    }
    state.mode = ModeOf(data);
    state.brand = TextOr(data, kBrandKey, state.brand);
    state.mtm = TextOr(data, kMtmKey, state.mtm);
    state.pluginInvokeError = TextOr(data, kPluginInvokeKey, kPluginInvokeSuccess) == kPluginInvokeError;
    state.answerDelayMs = DelayOf(data);
    state.features = FeaturesOf(data);
    return state;
}

bool UpdateHostState(const std::function<void(nlohmann::json&)>& edit, std::string& error) {
    const std::filesystem::path file = HostStateFile();
    const platform::CFileLock lock(platform::MachineFolder() / "locks" / "host.lock");
    if (!lock.IsHeld()) {
        error = "cannot lock the host's state";
        return false;
    }
    nlohmann::json data = nlohmann::json::object();
    if (const auto text = platform::ReadWholeFile(file)) {
        data = nlohmann::json::parse(*text, nullptr, false);
        if (!data.is_object()) {
            error = "the host's state " + file.string() + " is not a JSON object; it was left as it is";
            return false;
        }
    }
    edit(data);
    if (!platform::ReplaceFileAtomically(file, data.dump(2) + "\n")) {
        error = "cannot write the host's state " + file.string();
        return false;
    }
    return true;
}

} // namespace host
