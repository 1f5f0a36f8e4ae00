// Makes a machine folder from a profile: facts, the C: drive's folders, files and modules, the registry
// and the firmware's SMBIOS data.
#pragma once

#include <filesystem>
#include <string>

#include "machine/provision/Profile.h"

class CMachineBuilder {
public:
    CMachineBuilder(std::filesystem::path folder, const CProfile& profile);

    // False with a message in error when any part could not be made.
    bool Build(bool force, std::string& error);

private:
    bool ClearExistingMachine(std::string& error);
    bool WriteFacts(std::string& error);
    bool MakeDirectories(std::string& error);
    bool WriteFiles(std::string& error);
    bool InstallModules(std::string& error);
    bool SealSignatures(std::string& error);
    bool WriteRegistry(std::string& error);
    bool WriteRegistryKey(const std::string& keyPath, const nlohmann::json& key, std::string& error);
    bool WriteFirmware(std::string& error);

    std::filesystem::path m_folder;
    const CProfile& m_profile;
};
