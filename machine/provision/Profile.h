// A machine profile: the data that makes a machine, merged along its "inherits" chain.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class CProfile {
public:
    // Loads the named profile from those compiled into the machine library; false with a message
    // when it does not exist or is malformed.
    bool Load(const std::string& name, std::string& error);

    const nlohmann::json& Data() const { return m_data; }
    const std::string& Name() const { return m_name; }

    // The names and descriptions of the profiles a machine can be made from (not the base ones).
    static std::vector<std::pair<std::string, std::string>> Available();

private:
    bool MergeProfile(const std::string& name, int depth, std::string& error);

    std::string m_name;
    nlohmann::json m_data;
};
