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
    std::vector<nlohmann::json> chain;
    std::string next = name;
    while (!next.empty()) {
        if (chain.size() > 8) {
            error = "profile inheritance is too deep at '" + next + "'";
            return false;
        }
        nlohmann::json profile = ParseEmbeddedProfile(next);
        if (!profile.is_object()) {
            error = "no profile named '" + next + "'";
            return false;
        }
        next = profile.value("inherits", std::string());
        chain.push_back(std::move(profile));
    }
    // The base first, each derived profile patched over it (objects merge, null removes an entry).
    m_data = nlohmann::json::object();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        m_data.merge_patch(*it);
    }
    m_data.erase("inherits");
    m_data.erase("abstract");
    m_name = name;
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
