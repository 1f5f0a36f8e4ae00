// audio: the machine's microphone, its one audio capture device (audio.json), which the program mutes and
// unmutes through Core Audio.
#include <cstdio>
#include <optional>
#include <string>

#include "machine/tool/Commands.h"
#include "platform/audio/Microphone.h"
#include "platform/internal.h"

namespace {

using platform::audio::EMicrophoneChange;

void PrintAudioHelp(FILE* out) {
    std::fprintf(
        out, "usage: flipdeck-machine audio\n"
             "       flipdeck-machine audio mute on|off\n"
             "       flipdeck-machine audio microphone present|absent\n\n"
             "The machine's microphone, its one audio capture device, as audio.json in the machine folder\n"
             "keeps it: whether it is plugged in and whether it is muted. The program reads and sets the\n"
             "mute through Core Audio (each set recorded in events.jsonl as audio.mute). Whoever changes\n"
             "the mute, the maker's on-screen display follows it in the REG_DWORD MicrophoneMuteState of\n"
             "HKLM\\SOFTWARE\\Corvex\\OnScreenDisplay (1 muted, 0 live), which the program watches:\n"
             "'audio mute' is the microphone key pressed. Without the microphone the mute cannot be set.\n\n"
             "Exit status: 0 done, 1 failed (the reason on stderr), 2 usage error.\n");
}

void PrintMicrophone() {
    const platform::audio::SMicrophone microphone = platform::audio::CurrentMicrophone();
    std::printf("microphone: %s, %s\n", microphone.present ? "present" : "absent",
                microphone.muted ? "muted" : "live");
}

// The change the words ask for; none when they are not one.
std::optional<EMicrophoneChange> ApplyChange(const std::vector<std::string>& args, std::string& error) {
    if (args.size() != 2) {
        return std::nullopt;
    }
    if (args[0] == "mute" && (args[1] == "on" || args[1] == "off")) {
        return platform::audio::SetMicrophoneMute(args[1] == "on", error);
    }
    if (args[0] == "microphone" && (args[1] == "present" || args[1] == "absent")) {
        return platform::audio::SetMicrophonePresent(args[1] == "present", error);
    }
    return std::nullopt;
}

} // namespace

int RunAudioCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        PrintAudioHelp(stdout);
        return 0;
    }
    if (args.empty()) {
        PrintMicrophone();
        return 0;
    }
    std::string error;
    const std::optional<EMicrophoneChange> change = ApplyChange(args, error);
    if (!change) {
        PrintAudioHelp(stderr);
        return 2;
    }
    switch (*change) {
    case EMicrophoneChange::NoMicrophone:
        std::fprintf(stderr, "flipdeck-machine audio: the machine %s has no microphone\n",
                     platform::MachineFolderPath().c_str());
        return 1;
    case EMicrophoneChange::Failed:
        std::fprintf(stderr, "flipdeck-machine audio: %s\n", error.c_str());
        return 1;
    case EMicrophoneChange::Changed:
    case EMicrophoneChange::Unchanged:
        break;
    }
    PrintMicrophone();
    return 0;
}
