#include "machine/provision/Profile.h"

#include "platform/embedded.h"

extern const platform::EmbeddedFile g_machineProfiles[];

namespace {

nlohmann::json ParseEmbeddedProfile(const std::string& name) {
    const auto* file = platform::FindEmbeddedFile(g_machineProfiles, name + ".json");
    if (!file) {
        return nlohmann::json();
    }
    return nlohmann::json::parse(file->data, file->data + file->size, nullptr, false);
}

} // namespace

bool CProfile::Load(const std::string& name, std::string& error) {
    m_data = nlohmann::json::object();
    if (!MergeProfile(name, 0, error)) {
        return false;
    }
    m_data.erase("inherits");
    m_data.erase("abstract");
    m_name = name;
    return true;
}

// Merges the profiles a profile inherits (one name or a list, in order), then the profile itself:
// objects merge, null removes an entry.
bool CProfile::MergeProfile(const std::string& name, int depth, std::string& error) {
    if (depth > 8) {
        error = "profile inheritance is too deep at '" + name + "'";
        return false;
    }
    const nlohmann::json profile = ParseEmbeddedProfile(name);
    if (!profile.is_object()) {
        error = "no profile named '" + name + "'";
        return false;
    }
    const nlohmann::json inherits = profile.value("inherits", nlohmann::json::array());
    for (const auto& parent : inherits.is_array() ? inherits : nlohmann::json::array({inherits})) {
        if (!parent.is_string() || !MergeProfile(parent.get<std::string>(), depth + 1, error)) {
            error = error.empty() ? "malformed inherits in profile '" + name + "'" : error;
            return false;
        }
    }
    m_data.merge_patch(profile);
    return true;
}

std::vector<std::pair<std::string, std::string>> CProfile::Available() {
    std::vector<std::pair<std::string, std::string>> names;
    for (const auto* file = g_machineProfiles; file->name; ++file) {
        const nlohmann::json profile = nlohmann::json::parse(file->data, file->data + file->size, nullptr, false);
        if (!profile.is_object() || profile.value("abstract", false)) {
            continue;
        }
        std::string name = file->name;
        name.resize(name.size() - std::string(".json").size());
        names.emplace_back(name, profile.value("description", std::string()));
    }
    return names;
}
