// init, info and events: making a machine and looking at it.
#include <cstdio>
#include <iostream>

#include "machine/provision/Profile.h"
#include "machine/tool/Commands.h"
#include "platform/internal.h"

namespace {

bool WantsHelp(const std::vector<std::string>& args) {
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
}

void PrintInitHelp(FILE* out) {
    std::fprintf(out, "usage: flipdeck-machine init [--profile NAME] [--force]\n\n"
                      "Makes the machine folder from a profile (default %s). An existing machine is\n"
                      "made anew only with --force.\n\nprofiles:\n",
                 platform::kDefaultProfile);
    for (const auto& [name, description] : CProfile::Available()) {
        std::fprintf(out, "  %-16s %s\n", name.c_str(), description.c_str());
    }
}

} // namespace

int RunInitCommand(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        PrintInitHelp(stdout);
        return 0;
    }
    std::string profile = platform::kDefaultProfile;
    bool force = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--force") {
            force = true;
        } else if (args[i] == "--profile" && i + 1 < args.size()) {
            profile = args[++i];
        } else {
            PrintInitHelp(stderr);
            return 2;
        }
    }
    const auto folder = platform::MachineFolderPath();
    std::string error;
    if (!platform::ProvisionMachine(folder, profile, force, &error)) {
        std::fprintf(stderr, "flipdeck-machine init: %s\n", error.c_str());
        return 1;
    }
    std::printf("made machine '%s' in %s\n", profile.c_str(), folder.c_str());
    return 0;
}

int RunInfoCommand(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "usage: flipdeck-machine info\n");
        return WantsHelp(args) ? 0 : 2;
    }
    const auto folder = platform::MachineFolder();
    if (!platform::MachineExists(folder)) {
        std::fprintf(stderr, "flipdeck-machine info: no machine in %s\n", folder.c_str());
        return 1;
    }
    const auto profile = platform::MachineFact("/profile");
    std::printf("folder:  %s\nprofile: %s\n", folder.c_str(),
                profile.is_string() ? profile.get<std::string>().c_str() : "(unknown)");
    return 0;
}

int RunEventsCommand(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "usage: flipdeck-machine events\n\nPrints what the machine's parts recorded, "
                             "one JSON object a line.\n");
        return WantsHelp(args) ? 0 : 2;
    }
    const auto text = platform::ReadWholeFile(platform::MachineFolder() / "events.jsonl");
    if (!text) {
        std::fprintf(stderr, "flipdeck-machine events: no events.jsonl in the machine\n");
        return 1;
    }
    std::cout << *text;
    return 0;
}
