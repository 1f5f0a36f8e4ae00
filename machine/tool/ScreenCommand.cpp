// input and screen: drive the program running on the machine and read its screen, through the channel
// its layer serves in the machine folder.
#include <charconv>
#include <cstdio>
#include <optional>

#include "machine/tool/Commands.h"
#include "platform/internal.h"
#include "platform/strings.h"
#include "platform/window/ScreenChannel.h"

namespace {

struct KeyName {
    const char* name;
    BYTE vk;
};

const KeyName kKeys[] = {
    {"enter", VK_RETURN}, {"return", VK_RETURN},   {"escape", VK_ESCAPE},  {"esc", VK_ESCAPE},
    {"tab", VK_TAB},      {"space", VK_SPACE},     {"backspace", VK_BACK}, {"delete", VK_DELETE},
    {"left", VK_LEFT},    {"right", VK_RIGHT},     {"up", VK_UP},          {"down", VK_DOWN},
    {"home", VK_HOME},    {"end", VK_END},         {"pageup", VK_PRIOR},   {"pagedown", VK_NEXT},
    {"shift", VK_SHIFT},  {"control", VK_CONTROL}, {"ctrl", VK_CONTROL},   {"alt", VK_MENU},
};

void PrintInputHelp(FILE* out) {
    std::fprintf(out, "usage: flipdeck-machine input move X Y | click X Y | wheel N | key NAME\n"
                      "       flipdeck-machine screen FILE\n\n"
                      "Drives the program running on the machine as the person's mouse and keyboard would\n"
                      "(X Y in screen pixels; N notches, positive away from the user), or writes its screen\n"
                      "to FILE as PNG, once the program's screen has settled. Key names: a\n"
                      "letter, a digit, F1 to F12, enter, escape, tab, space, backspace, delete, left,\n"
                      "right, up, down, home, end, pageup, pagedown, shift, control, alt.\n");
}

std::optional<int> ParseInt(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? std::optional<int>(value)
                                                                    : std::nullopt;
}

std::optional<BYTE> VirtualKey(const std::string& name) {
    std::string lower;
    for (char c : name) {
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    if (lower.size() == 1 && ((lower[0] >= 'a' && lower[0] <= 'z') || (lower[0] >= '0' && lower[0] <= '9'))) {
        return static_cast<BYTE>(lower[0] >= 'a' ? lower[0] - 'a' + 'A' : lower[0]);
    }
    if (lower.size() >= 2 && lower[0] == 'f') {
        const std::optional<int> number = ParseInt(lower.substr(1));
        if (number && *number >= 1 && *number <= 12) {
            return static_cast<BYTE>(VK_F1 + *number - 1);
        }
    }
    for (const auto& key : kKeys) {
        if (lower == key.name) {
            return key.vk;
        }
    }
    return std::nullopt;
}

// The request line for the words after "input"; nothing when they are not one.
std::optional<std::string> InputRequest(const std::vector<std::string>& args) {
    if (args.size() == 3 && (args[0] == "move" || args[0] == "click") && ParseInt(args[1]) &&
        ParseInt(args[2])) {
        return args[0] + " " + std::to_string(*ParseInt(args[1])) + " " + std::to_string(*ParseInt(args[2]));
    }
    if (args.size() == 2 && args[0] == "wheel") {
        const std::optional<int> notches = ParseInt(args[1]);
        if (notches && *notches >= -1000 && *notches <= 1000) {
            return "wheel " + std::to_string(*notches * WHEEL_DELTA);
        }
    }
    if (args.size() == 2 && args[0] == "key" && VirtualKey(args[1])) {
        return "key " + std::to_string(*VirtualKey(args[1]));
    }
    return std::nullopt;
}

bool WantsHelp(const std::vector<std::string>& args) {
    return !args.empty() && (args[0] == "--help" || args[0] == "-h");
}

// The program's answer, or nothing after telling why there is none.
std::optional<std::string> Request(const std::string& request) {
    const std::optional<std::string> answer =
        platform::desktop::RequestScreenChannel(platform::MachineFolderPath(), request);
    if (!answer) {
        std::fprintf(stderr, "flipdeck-machine: no program runs on the machine %s\n",
                     platform::MachineFolderPath().c_str());
    } else if (answer->rfind("error ", 0) == 0 || answer->empty()) {
        std::fprintf(stderr, "flipdeck-machine: the program answered: %s\n",
                     answer->empty() ? "nothing" : answer->substr(6, answer->find('\n') - 6).c_str());
        return std::nullopt;
    }
    return answer;
}

} // namespace

int RunInputCommand(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        PrintInputHelp(stdout);
        return 0;
    }
    const std::optional<std::string> request = InputRequest(args);
    if (!request) {
        PrintInputHelp(stderr);
        return 2;
    }
    return Request(*request) ? 0 : 1;
}

int RunScreenCommand(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        PrintInputHelp(stdout);
        return 0;
    }
    if (args.size() != 1) {
        PrintInputHelp(stderr);
        return 2;
    }
    const std::optional<std::string> answer = Request("screen");
    if (!answer) {
        return 1;
    }
    const std::optional<platform::desktop::CScreenImage> screen =
        platform::desktop::ParseScreenAnswer(*answer);
    if (!screen || !screen->WritePng(args[0])) {
        std::fprintf(stderr, "flipdeck-machine: could not write the screen to %s\n", args[0].c_str());
        return 1;
    }
    return 0;
}
