// feature: a feature of the flyout's grid as the plug-in host keeps it (host.json's "features").
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

#include "machine/host/HostFeatures.h"
#include "machine/host/HostState.h"
#include "machine/tool/Commands.h"
#include "machine/tool/ThermalFeatureCommand.h"
#include "platform/internal.h"

namespace {

// One change that an option asks for, applied to the feature's entry in host.json.
using EntryEdit = std::function<void(nlohmann::json& data, nlohmann::json& entry)>;

void PrintFeatureHelp(FILE* out) {
    std::fprintf(out,
                 "usage: flipdeck-machine feature [list]\n"
                 "       flipdeck-machine feature NAME\n"
                 "       flipdeck-machine feature NAME [--supported yes|no] [--state on|off|disabled|N]\n"
                 "                                     [--form direct|data] [--answer KEY=TEXT]...\n"
                 "                                     [--no-answer KEY]...\n\n"
                 "A feature of the flyout's grid as the plug-in host keeps it: an entry of \"features\" in\n"
                 "host.json, read by the contract server at each call and changed by the program's set\n"
                 "calls (each recorded in events.jsonl as contract.<method>). NAME ignores case; the\n"
                 "options apply together or, when one is wrong, not at all.\n\n"
                 "  --supported yes|no   whether the host offers the feature\n"
                 "  --state on|off|N     its state: off 0, on 1, or one of its levels or modes (below)\n"
                 "  --state disabled     greys the feature, its state kept (features that say so below);\n"
                 "                       a new state clears it\n"
                 "  --form direct|data   its answers hold their list themselves, or in the XML document\n"
                 "                       carried, escaped, as the text of a \"Data\" element\n"
                 "  --answer KEY=TEXT    its answers carry TEXT for KEY: in place of the host's own text of\n"
                 "                       that key, or besides them (TEXT may be empty)\n"
                 "  --no-answer KEY      drops that text again\n\n"
                 "features (in the grid's order) and their states:\n");
    for (const host::FeatureInfo& feature : host::Features()) {
        if (feature.keptElsewhere) {
            std::fprintf(out, "  %-23s kept %s\n", feature.name, feature.keptElsewhere);
            continue;
        }
        std::fprintf(out, "  %-23s %s\n", feature.name, feature.states);
        std::fprintf(out, "  %-23s %s\n", "", feature.answers ? feature.answers : "(not answered yet)");
    }
    std::fprintf(out,
                 "\nWiFiSecurity's LocationPermission lists Windows' three location consents, \"allow\" or\n"
                 "\"deny\" each, from the REG_SZ values \"Value\" (\"Allow\" or \"Deny\") of:\n");
    for (const wchar_t* key : host::kLocationConsentKeys) {
        std::fprintf(out, "  %s\n", platform::ToUtf8(key).c_str());
    }
    std::fprintf(out, "The profiles allow all three; the WiFi security button wants all three. To deny one:\n"
                      "  flipdeck-machine reg set 'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                      "CapabilityAccessManager\\ConsentStore\\location' Value REG_SZ Deny\n");
    PrintThermalFeatureHelp(out);
}

int UsageError() {
    PrintFeatureHelp(stderr);
    return 2;
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "flipdeck-machine feature: %s\n", error.c_str());
    return 1;
}

nlohmann::json StoredEntry(const host::FeatureInfo& feature) {
    const auto text = platform::ReadWholeFile(host::HostStateFile());
    const nlohmann::json data = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
    const nlohmann::json features =
        data.is_object() ? data.value(host::kFeaturesKey, nlohmann::json()) : nullptr;
    return features.is_object() ? features.value(feature.name, nlohmann::json()) : nullptr;
}

int ListFeatures() {
    for (const host::FeatureInfo& feature : host::Features()) {
        const std::string shown = feature.keptElsewhere ? "kept " + std::string(feature.keptElsewhere)
                                                        : StoredEntry(feature).dump();
        std::printf("%s: %s\n", feature.name, shown.c_str());
    }
    return 0;
}

std::optional<EntryEdit> SupportedEdit(const std::string& value) {
    if (value != "yes" && value != "no") {
        return std::nullopt;
    }
    const bool supported = value == "yes";
    return [supported](nlohmann::json&, nlohmann::json& entry) { entry[host::kSupportedKey] = supported; };
}

std::optional<EntryEdit> StateEdit(const host::FeatureInfo& feature, const std::string& value) {
    if (value == "disabled") {
        if (!feature.takesDisabled) {
            return std::nullopt;
        }
        return [](nlohmann::json&, nlohmann::json& entry) { entry[host::kDisabledKey] = true; };
    }
    const auto state = host::ParseFeatureState(feature, value);
    if (!state) {
        return std::nullopt;
    }
    return [&feature, state](nlohmann::json& data, nlohmann::json&) {
        host::SetFeatureState(data, feature, *state);
    };
}

std::optional<EntryEdit> FormEdit(const std::string& value) {
    if (!host::FormFromName(value)) {
        return std::nullopt;
    }
    return [value](nlohmann::json&, nlohmann::json& entry) { entry[host::kFormKey] = value; };
}

std::optional<EntryEdit> AnswerEdit(const std::string& value) {
    const size_t equals = value.find('=');
    if (equals == std::string::npos || equals == 0) {
        return std::nullopt;
    }
    return [key = value.substr(0, equals), text = value.substr(equals + 1)](nlohmann::json&,
                                                                            nlohmann::json& entry) {
        if (!entry[host::kAnswerKey].is_object()) {
            entry[host::kAnswerKey] = nlohmann::json::object();
        }
        entry[host::kAnswerKey][key] = text;
    };
}

std::optional<EntryEdit> NoAnswerEdit(const std::string& key) {
    if (key.empty()) {
        return std::nullopt;
    }
    return [key](nlohmann::json&, nlohmann::json& entry) {
        if (entry[host::kAnswerKey].is_object()) {
            entry[host::kAnswerKey].erase(key);
        }
    };
}

std::optional<EntryEdit> OptionEdit(const host::FeatureInfo& feature, const std::string& option,
                                    const std::string& value) {
    if (option == "--supported") {
        return SupportedEdit(value);
    }
    if (option == "--state") {
        return StateEdit(feature, value);
    }
    if (option == "--form") {
        return FormEdit(value);
    }
    if (option == "--answer") {
        return AnswerEdit(value);
    }
    if (option == "--no-answer") {
        return NoAnswerEdit(value);
    }
    return std::nullopt;
}

int ChangeFeature(const host::FeatureInfo& feature, const std::vector<std::string>& options) {
    std::vector<EntryEdit> edits;
    for (size_t i = 0; i < options.size(); i += 2) {
        const auto edit =
            i + 1 < options.size() ? OptionEdit(feature, options[i], options[i + 1]) : std::nullopt;
        if (!edit) {
            return UsageError();
        }
        edits.push_back(*edit);
    }
    std::string error;
    const bool changed = host::UpdateHostState(
        [&](nlohmann::json& data) {
            for (const EntryEdit& edit : edits) {
                edit(data, host::FeatureEntry(data, feature));
            }
        },
        error);
    if (!changed) {
        return Fail(error);
    }
    std::printf("%s: %s\n", feature.name, StoredEntry(feature).dump().c_str());
    return 0;
}

} // namespace

int RunFeatureCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        PrintFeatureHelp(stdout);
        return 0;
    }
    if (args.empty() || (args.size() == 1 && args[0] == "list")) {
        return ListFeatures();
    }
    const host::FeatureInfo* feature = host::FindFeature(args[0]);
    if (!feature) {
        return UsageError();
    }
    if (IsThermalFeatureCommand(*feature, args)) {
        return RunThermalFeatureCommand(args);
    }
    if (feature->keptElsewhere) {
        return Fail(std::string(feature->name) + " is kept " + feature->keptElsewhere);
    }
    if (args.size() == 1) {
        std::printf("%s: %s\n", feature->name, StoredEntry(*feature).dump().c_str());
        return 0;
    }
    return ChangeFeature(*feature, std::vector<std::string>(args.begin() + 1, args.end()));
}
