#include "machine/provision/MachineBuilder.h"

#include <cstring>

#include "machine/provision/SmbiosTable.h"
#include "platform/internal.h"
#include "platform/registry.h"

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> HostPathOf(const std::string& windowsPath, std::string& error) {
    auto host = platform::MapWindowsPath(platform::FromUtf8(windowsPath));
    if (!host) {
        error = "not a path on the machine's drive: " + windowsPath;
    }
    return host;
}

void AppendWide(std::vector<BYTE>& bytes, const std::wstring& text) {
    const auto* begin = reinterpret_cast<const BYTE*>(text.c_str());
    bytes.insert(bytes.end(), begin, begin + (text.size() + 1) * sizeof(wchar_t));
}

template <typename Number> void AppendNumber(std::vector<BYTE>& bytes, Number value) {
    const auto* begin = reinterpret_cast<const BYTE*>(&value);
    bytes.insert(bytes.end(), begin, begin + sizeof(value));
}

// The registry type and data bytes of a profile value {"type": "REG_SZ", "data": ...}.
bool EncodeValue(const nlohmann::json& value, DWORD& type, std::vector<BYTE>& bytes) {
    const std::string typeName = value.value("type", std::string("REG_SZ"));
    const nlohmann::json& data = value.contains("data") ? value["data"] : nlohmann::json();
    if ((typeName == "REG_SZ" || typeName == "REG_EXPAND_SZ") && data.is_string()) {
        type = typeName == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
        AppendWide(bytes, platform::FromUtf8(data.get<std::string>()));
        return true;
    }
    if (typeName == "REG_DWORD" && data.is_number_integer()) {
        type = REG_DWORD;
        AppendNumber(bytes, static_cast<DWORD>(data.get<long long>()));
        return true;
    }
    if (typeName == "REG_QWORD" && data.is_number_integer()) {
        type = REG_QWORD;
        AppendNumber(bytes, data.get<unsigned long long>());
        return true;
    }
    if (typeName == "REG_MULTI_SZ" && data.is_array()) {
        type = REG_MULTI_SZ;
        for (const auto& entry : data) {
            if (!entry.is_string()) {
                return false;
            }
            AppendWide(bytes, platform::FromUtf8(entry.get<std::string>()));
        }
        AppendWide(bytes, std::wstring());
        return true;
    }
    if (typeName == "REG_BINARY" && data.is_string()) {
        type = REG_BINARY;
        const std::string hex = data.get<std::string>();
        if (hex.size() % 2 != 0) {
            return false;
        }
        for (size_t i = 0; i < hex.size(); i += 2) {
            bytes.push_back(static_cast<BYTE>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        }
        return true;
    }
    return false;
}

// What the layer tells about an installed file by its lower-cased Windows path: its version data
// ("version") and the signature it carries ("signature").
void RecordFileFacts(const nlohmann::json& entries, nlohmann::json& facts) {
    for (const auto& [path, entry] : entries.items()) {
        const std::string key = platform::ToUtf8(platform::FoldCase(platform::FromUtf8(path)));
        if (entry.is_object() && entry.contains("version")) {
            facts["fileVersions"][key] = entry["version"];
        }
        if (entry.is_object() && entry.contains("signature")) {
            facts["fileSignatures"][key] = entry["signature"];
        }
    }
}

// A section of the profile, or an empty object: a reference that outlives the loop over it.
const nlohmann::json& SectionOf(const nlohmann::json& data, const char* name) {
    static const nlohmann::json empty = nlohmann::json::object();
    const auto found = data.find(name);
    return found != data.end() && found->is_object() ? *found : empty;
}

} // namespace

CMachineBuilder::CMachineBuilder(fs::path folder, const CProfile& profile)
    : m_folder(std::move(folder)), m_profile(profile) {}

bool CMachineBuilder::Build(bool force, std::string& error) {
    if (platform::MachineExists(m_folder)) {
        if (!force) {
            error = "a machine exists already in " + m_folder.string() + " (use --force to make it anew)";
            return false;
        }
        if (!ClearExistingMachine(error)) {
            return false;
        }
    }
    // The facts come first: they mark the folder as a machine, so the layer's calls below use it.
    return WriteFacts(error) && MakeDirectories(error) && WriteFiles(error) && InstallModules(error) &&
           SealSignatures(error) && WriteRegistry(error) && WriteFirmware(error);
}

bool CMachineBuilder::ClearExistingMachine(std::string& error) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_folder, ec)) {
        fs::remove_all(entry.path(), ec);
        if (ec) {
            error = "cannot remove " + entry.path().string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

bool CMachineBuilder::WriteFacts(std::string& error) {
    std::error_code ec;
    fs::create_directories(m_folder / "drive_c", ec);
    if (ec) {
        error = "cannot make " + m_folder.string() + ": " + ec.message();
        return false;
    }
    nlohmann::json facts = m_profile.Data().value("facts", nlohmann::json::object());
    facts["profile"] = m_profile.Name();
    RecordFileFacts(SectionOf(m_profile.Data(), "files"), facts);
    RecordFileFacts(SectionOf(m_profile.Data(), "modules"), facts);
    if (!platform::ReplaceFileAtomically(m_folder / "facts.json", facts.dump(2) + "\n") ||
        !platform::ReplaceFileAtomically(m_folder / "events.jsonl", "")) {
        error = "cannot write the machine's facts in " + m_folder.string();
        return false;
    }
    // The simulated parts' own state files ("state": {"host.json": {...}}), which they read and change.
    for (const auto& [name, state] : SectionOf(m_profile.Data(), "state").items()) {
        if (name.find('/') != std::string::npos ||
            !platform::ReplaceFileAtomically(m_folder / name, state.dump(2) + "\n")) {
            error = "cannot write the machine's state file " + name;
            return false;
        }
    }
    return true;
}

bool CMachineBuilder::MakeDirectories(std::string& error) {
    for (const auto& [path, unused] : SectionOf(m_profile.Data(), "directories").items()) {
        const auto host = HostPathOf(path, error);
        std::error_code ec;
        if (!host || (fs::create_directories(*host, ec), ec)) {
            error = error.empty() ? "cannot make the folder " + path : error;
            return false;
        }
    }
    return true;
}

bool CMachineBuilder::WriteFiles(std::string& error) {
    for (const auto& [path, file] : SectionOf(m_profile.Data(), "files").items()) {
        const auto host = HostPathOf(path, error);
        if (!host) {
            return false;
        }
        const std::string text = file.is_object() ? file.value("text", std::string()) : std::string();
        if (!platform::ReplaceFileAtomically(*host, text)) {
            error = "cannot write the file " + path;
            return false;
        }
    }
    return true;
}

bool CMachineBuilder::InstallModules(std::string& error) {
    // A module at a Windows path is a link to the shared library the build made beside the layer.
    const fs::path libraries = platform::PlatformLibraryDirectory();
    for (const auto& [path, module] : SectionOf(m_profile.Data(), "modules").items()) {
        const auto host = HostPathOf(path, error);
        if (!host || !module.is_object() || !module.contains("library")) {
            error = error.empty() ? "malformed module entry " + path : error;
            return false;
        }
        std::error_code ec;
        fs::create_directories(host->parent_path(), ec);
        fs::remove(*host, ec);
        fs::create_symlink(libraries / module["library"].get<std::string>(), *host, ec);
        if (ec) {
            error = "cannot install the module " + path + ": " + ec.message();
            return false;
        }
    }
    return true;
}

// Each signature holds the digest of the bytes installed, so that other bytes at the path do not verify.
bool CMachineBuilder::SealSignatures(std::string& error) {
    const fs::path factsFile = m_folder / "facts.json";
    nlohmann::json facts =
        nlohmann::json::parse(platform::ReadWholeFile(factsFile).value_or(""), nullptr, false);
    const auto signatures = facts.is_object() ? facts.find("fileSignatures") : facts.end();
    if (!facts.is_object() || signatures == facts.end()) {
        return true;
    }
    for (auto& [path, signature] : signatures->items()) {
        const auto host = HostPathOf(path, error);
        const auto digest = host ? platform::SignedFileDigest(*host) : std::nullopt;
        if (!digest || !signature.is_object()) {
            error = error.empty() ? "cannot sign the file " + path : error;
            return false;
        }
        signature["digest"] = *digest;
    }
    if (!platform::ReplaceFileAtomically(factsFile, facts.dump(2) + "\n")) {
        error = "cannot write the machine's facts in " + m_folder.string();
        return false;
    }
    return true;
}

bool CMachineBuilder::WriteRegistry(std::string& error) {
    for (const auto& [keyPath, key] : SectionOf(m_profile.Data(), "registry").items()) {
        if (!WriteRegistryKey(keyPath, key, error)) {
            return false;
        }
    }
    return true;
}

bool CMachineBuilder::WriteRegistryKey(const std::string& keyPath, const nlohmann::json& key,
                                       std::string& error) {
    HKEY root = nullptr;
    std::wstring subKey;
    if (!platform::SplitRegistryPath(platform::FromUtf8(keyPath), root, subKey) || !key.is_object()) {
        error = "malformed registry key " + keyPath;
        return false;
    }
    HKEY opened = nullptr;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                        &opened, nullptr) != ERROR_SUCCESS) {
        error = "cannot create the registry key " + keyPath;
        return false;
    }
    bool ok = true;
    for (const auto& [name, value] : SectionOf(key, "values").items()) {
        DWORD type = REG_NONE;
        std::vector<BYTE> bytes;
        if (!EncodeValue(value, type, bytes) ||
            RegSetValueExW(opened, platform::FromUtf8(name).c_str(), 0, type, bytes.data(),
                           static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS) {
            error = "cannot set the registry value " + keyPath + "\\" + name;
            ok = false;
            break;
        }
    }
    RegCloseKey(opened);
    if (ok && key.value("readOnly", false) &&
        platform::SetRegistryKeyReadOnly(root, subKey.c_str(), true) != ERROR_SUCCESS) {
        error = "cannot mark the registry key " + keyPath + " read-only";
        ok = false;
    }
    return ok;
}

bool CMachineBuilder::WriteFirmware(std::string& error) {
    const nlohmann::json& firmware = SectionOf(m_profile.Data(), "firmware");
    if (!firmware.contains("smbios")) {
        return true;
    }
    std::string data;
    if (!BuildSmbiosTable(firmware["smbios"], data, error)) {
        return false;
    }
    if (!platform::ReplaceFileAtomically(m_folder / platform::kSmbiosTableFile, data)) {
        error = "cannot write the machine's SMBIOS data";
        return false;
    }
    return true;
}
