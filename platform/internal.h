// The layer's own plumbing, shared by its areas and by the simulated machine: the machine folder, its
// facts and event record, UTF-8 text, and atomic, locked file replacement. The program never includes it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace platform {

// ---- Text ----
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
// Lower-case copy for case-insensitive comparisons of Windows names.
std::wstring FoldCase(std::wstring_view text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// ---- Machine folder ----
// The folder of the current machine: $FLIPDECK_MACHINE, else $XDG_DATA_HOME/flipdeckex/machine, else
// ~/.local/share/flipdeckex/machine. Resolved at each call, so a test may switch machines.
std::filesystem::path MachineFolderPath();
// The same folder, made from the default profile when it does not exist yet.
std::filesystem::path MachineFolder();
// True when the folder holds a made machine.
bool MachineExists(const std::filesystem::path& folder);
// Makes a machine in the folder from a profile (by loading the machine's library); false on failure.
bool ProvisionMachine(const std::filesystem::path& folder, const std::string& profile, bool force,
                      std::string* error);
inline constexpr const char* kDefaultProfile = "consumer-win11";

// The machine's facts (facts.json: Windows version, user, screen, processes, services, ...), read again
// whenever the file changes. A missing or malformed file gives an empty object.
nlohmann::json MachineFacts();
// One fact by JSON pointer ("/windows/build"); null when absent.
nlohmann::json MachineFact(std::string_view pointer);
// Sets one fact by JSON pointer under the machine's facts lock, replacing facts.json atomically.
enum class EFactUpdate { Changed, Unchanged, Failed };
EFactUpdate UpdateMachineFact(const std::string& pointer, const nlohmann::json& value);

// The machine's raw SMBIOS data (header and structure table), relative to its folder.
inline constexpr const char* kSmbiosTableFile = "firmware/smbios.bin";

// Appends one record to events.jsonl: {"time", "pid", "event", ...fields}.
void AppendMachineEvent(std::string_view event, const nlohmann::json& fields);

// The Windows image path of this process: $FLIPDECK_IMAGE_PATH (so a test can start the program from
// another folder), else the machine's installed program path (fact "/program/path").
std::wstring ProcessImagePath();

// The directory of the running executable and of the layer's shared library.
std::filesystem::path ExecutableDirectory();
std::filesystem::path PlatformLibraryDirectory();

// ---- Files ----
// Maps a Windows path (drive letter, backslashes or slashes, any case) into the machine folder: C:\ is
// drive_c/. Existing components are found whatever their case; missing ones keep the case given.
// A relative path is taken from the process's current directory. nullopt for a path that no drive of
// the machine holds (another drive letter, a UNC or device path).
std::optional<std::filesystem::path> MapWindowsPath(std::wstring_view windowsPath);

// Holds an exclusive advisory lock on a lock file for its lifetime (across threads and processes).
class CFileLock {
public:
    explicit CFileLock(const std::filesystem::path& lockFile);
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;
    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Replaces a file's content atomically: written to a temporary file beside it, synced, then renamed.
bool ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content);
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

// ---- Signatures ----
// What a signature of the file holds of it, so that another file at its path no longer verifies: the
// SHA-256 (hex) of the bytes a signature covers, which of a PE image are all but its checksum, its
// security directory entry and its certificate table. A module the machine installed (a link to one of
// the built libraries, whose bytes change with each build) is named by its library instead.
// nullopt when there is no such file.
std::optional<std::string> SignedFileDigest(const std::filesystem::path& file);

} // namespace platform
