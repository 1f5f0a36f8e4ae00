// The calling process's memory mappings, read from /proc/self/maps with system calls only, from the
// reader's own storage: usable in a fault handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

struct CMapping {
    uintptr_t begin = 0;
    uintptr_t end = 0;
    bool readable = false;
    uint64_t offset = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    // Valid until the next mapping is read.
    std::string_view path;

    bool Holds(uintptr_t address) const { return address >= begin && address < end; }
};

class CProcessMaps {
public:
    constexpr CProcessMaps() = default;
    ~CProcessMaps() { Close(); }
    CProcessMaps(const CProcessMaps&) = delete;
    CProcessMaps& operator=(const CProcessMaps&) = delete;

    // Starts over at the first mapping; false when the list cannot be read.
    bool Open();
    // The next mapping; false after the last one. Malformed lines are skipped.
    bool Next(CMapping& mapping);
    void Close();

private:
    bool NextLine(std::string_view& line);

    int m_descriptor = -1;
    char m_buffer[8192] = {};
    size_t m_begin = 0;
    size_t m_end = 0;
};

} // namespace platform
