#include "machine/tool/ThermalFeatureCommand.h"

#include <string_view>

#include "machine/thermal/ThermalService.h"

namespace {

void PrintStatus() {
    std::printf("%s: %s\n", thermal::kFeatureName, thermal::ReadStatus().dump().c_str());
}

int UsageError() {
    PrintThermalFeatureHelp(stderr);
    return 2;
}

} // namespace

bool IsThermalFeatureCommand(const host::FeatureInfo& feature, const std::vector<std::string>& args) {
    return std::string_view(feature.name) == thermal::kFeatureName &&
           (args.size() == 1 || (args.size() >= 2 && args[1] == "--mode"));
}

int RunThermalFeatureCommand(const std::vector<std::string>& args) {
    if (args.size() == 1) {
        PrintStatus();
        return 0;
    }
    const thermal::ModeInfo* mode = args.size() == 3 ? thermal::FindModeByName(args[2]) : nullptr;
    if (!mode) {
        return UsageError();
    }
    if (const DWORD error = thermal::ApplyControl(mode->code); error != NO_ERROR) {
        std::fprintf(stderr,
                     "flipdeck-machine feature: the thermal service's key cannot be written (error %u)\n",
                     static_cast<unsigned>(error));
        return 1;
    }
    PrintStatus();
    return 0;
}

void PrintThermalFeatureHelp(FILE* out) {
    std::fprintf(out,
                 "\n%s: flipdeck-machine feature %s [--mode MODE] shows the thermal service's values or\n"
                 "sets its mode as the machine's hotkey does (no control code, no event), MODE one of:\n",
                 thermal::kFeatureName, thermal::kFeatureName);
    for (const thermal::ModeInfo& mode : thermal::kModes) {
        std::fprintf(out, "  %u %s", static_cast<unsigned>(mode.code), mode.name);
        if (std::string_view(mode.newerName) != mode.name) {
            std::fprintf(out, " (%s on thermal solutions 4 and 5)", mode.newerName);
        }
        std::fprintf(out, "\n");
    }
    std::fprintf(out, "The program's control codes reach the service's handler and are recorded as\n"
                      "service.control {\"service\": \"QRMDSVC\", \"control\": CODE}.\n");
}
