#include "platform/audio/Microphone.h"

#include <filesystem>
#include <functional>

#include "platform/internal.h"
#include "platform/registry.h"

namespace platform::audio {

namespace {

constexpr const char* kMicrophoneKey = "microphone";
constexpr const char* kPresentKey = "present";
constexpr const char* kMutedKey = "muted";
constexpr const char* kFollowersKey = "muteFollowers";

std::filesystem::path StateFile() {
    return MachineFolder() / kAudioStateFile;
}

bool FlagOf(const nlohmann::json& entry, const char* name) {
    const auto found = entry.find(name);
    return found != entry.end() && found->is_boolean() && found->get<bool>();
}

SMicrophone MicrophoneOf(const nlohmann::json& data) {
    const auto entry = data.is_object() ? data.find(kMicrophoneKey) : data.end();
    if (!data.is_object() || entry == data.end() || !entry->is_object()) {
        return {};
    }
    return {FlagOf(*entry, kPresentKey), FlagOf(*entry, kMutedKey)};
}

void WriteFollower(const nlohmann::json& follower, bool muted) {
    if (!follower.is_object() || !follower.value("key", nlohmann::json()).is_string() ||
        !follower.value("value", nlohmann::json()).is_string()) {
        return;
    }
    HKEY root = nullptr;
    std::wstring subKey;
    HKEY key = nullptr;
    if (!SplitRegistryPath(FromUtf8(follower["key"].get<std::string>()), root, subKey) ||
        RegOpenKeyExW(root, subKey.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        return;
    }
    const DWORD data = muted ? 1 : 0;
    RegSetValueExW(key, FromUtf8(follower["value"].get<std::string>()).c_str(), 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&data), sizeof(data));
    RegCloseKey(key);
}

// The followers of a present microphone take its mute.
void PublishMute(const nlohmann::json& microphone) {
    if (!FlagOf(microphone, kPresentKey)) {
        return;
    }
    const nlohmann::json followers = microphone.value(kFollowersKey, nlohmann::json::array());
    for (const nlohmann::json& follower : followers.is_array() ? followers : nlohmann::json::array()) {
        WriteFollower(follower, FlagOf(microphone, kMutedKey));
    }
}

// Changes the microphone's entry under the audio lock: read, edited, replaced atomically (only for a
// change), then published to the followers. The editor gives the outcome.
EMicrophoneChange UpdateMicrophone(const std::function<EMicrophoneChange(nlohmann::json&)>& edit,
                                   std::string& error) {
    const std::filesystem::path file = StateFile();
    const CFileLock lock(MachineFolder() / "locks" / "audio.lock");
    if (!lock.IsHeld()) {
        error = "cannot lock the machine's audio state";
        return EMicrophoneChange::Failed;
    }
    nlohmann::json data = nlohmann::json::object();
    if (const auto text = ReadWholeFile(file)) {
        data = nlohmann::json::parse(*text, nullptr, false);
        if (!data.is_object()) {
            error = "the audio state " + file.string() + " is not a JSON object; it was left as it is";
            return EMicrophoneChange::Failed;
        }
    }
    if (!data[kMicrophoneKey].is_object()) {
        data[kMicrophoneKey] = nlohmann::json::object();
    }
    const EMicrophoneChange change = edit(data[kMicrophoneKey]);
    if (change == EMicrophoneChange::Changed && !ReplaceFileAtomically(file, data.dump(2) + "\n")) {
        error = "cannot write the audio state " + file.string();
        return EMicrophoneChange::Failed;
    }
    if (change == EMicrophoneChange::Changed || change == EMicrophoneChange::Unchanged) {
        PublishMute(data[kMicrophoneKey]);
    }
    return change;
}

} // namespace

SMicrophone CurrentMicrophone() {
    const auto text = ReadWholeFile(StateFile());
    return MicrophoneOf(text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json());
}

EMicrophoneChange SetMicrophoneMute(bool muted, std::string& error) {
    return UpdateMicrophone(
        [muted](nlohmann::json& microphone) {
            if (!FlagOf(microphone, kPresentKey)) {
                return EMicrophoneChange::NoMicrophone;
            }
            const bool changed = FlagOf(microphone, kMutedKey) != muted;
            microphone[kMutedKey] = muted;
            return changed ? EMicrophoneChange::Changed : EMicrophoneChange::Unchanged;
        },
        error);
}

EMicrophoneChange SetMicrophonePresent(bool present, std::string& error) {
    return UpdateMicrophone(
        [present](nlohmann::json& microphone) {
            const bool changed = FlagOf(microphone, kPresentKey) != present;
            microphone[kPresentKey] = present;
            return changed ? EMicrophoneChange::Changed : EMicrophoneChange::Unchanged;
        },
        error);
}

} // namespace platform::audio
