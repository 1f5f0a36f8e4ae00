// The machine's microphone, its one audio capture endpoint, as the machine keeps it: the state file
// audio.json in the machine folder, read by the layer's Core Audio objects and changed by them and by
// flipdeck-machine audio:
//   {"microphone": {"present": true, "muted": false,
//                   "muteFollowers": [{"key": "HKEY_LOCAL_MACHINE\\SOFTWARE\\...", "value": "NAME"}]}}
// A mute follower is a REG_DWORD (64-bit view) that software of the machine keeps in step with the mute,
// whoever sets it: 1 muted, 0 live. A follower whose key is missing is left out.
#pragma once

#include <string>

namespace platform::audio {

inline constexpr const char* kAudioStateFile = "audio.json";

struct SMicrophone {
    bool present = false;
    bool muted = false;
};

// The microphone as audio.json says now; a missing or malformed file, or entry, is no microphone.
SMicrophone CurrentMicrophone();

enum class EMicrophoneChange { Changed, Unchanged, NoMicrophone, Failed };

// Sets the mute under the machine's audio lock and then the followers, whether it changed or not.
// NoMicrophone when none is present; Failed, with a message, when the file cannot be changed.
EMicrophoneChange SetMicrophoneMute(bool muted, std::string& error);
// Plugs the microphone in or out, its mute kept (and given to the followers while it is in).
EMicrophoneChange SetMicrophonePresent(bool present, std::string& error);

} // namespace platform::audio
