// Helpers of the files, shell and INI tests.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/internal.h"
#include "tests/support/TestMachine.h"

namespace files_test {

// Marks a host file or folder read-only (no write permission) for the helper's lifetime.
class CReadOnlyEntry {
public:
    explicit CReadOnlyEntry(std::filesystem::path host) : m_host(std::move(host)) {
        chmod(m_host.c_str(), S_ISDIR(Mode()) ? 0555 : 0444);
    }
    ~CReadOnlyEntry() { chmod(m_host.c_str(), S_ISDIR(Mode()) ? 0755 : 0644); }
    CReadOnlyEntry(const CReadOnlyEntry&) = delete;
    CReadOnlyEntry& operator=(const CReadOnlyEntry&) = delete;

private:
    mode_t Mode() const {
        struct stat info {};
        stat(m_host.c_str(), &info);
        return info.st_mode;
    }
    std::filesystem::path m_host;
};

inline void WriteHostFile(const std::filesystem::path& host, std::string_view bytes) {
    std::filesystem::create_directories(host.parent_path());
    platform::ReplaceFileAtomically(host, bytes);
}

inline std::string ReadHostFile(const std::filesystem::path& host) {
    return platform::ReadWholeFile(host).value_or("<missing>");
}

using testing_support::SetMachineFact;

} // namespace files_test
