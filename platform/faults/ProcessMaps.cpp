#include "platform/faults/ProcessMaps.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Reads the fields of one line of the maps list in order.
class CFieldReader {
public:
    explicit CFieldReader(std::string_view line) : m_rest(line) {}

    bool Number(uint64_t& value, int base) {
        size_t digits = 0;
        value = 0;
        for (; digits < m_rest.size(); ++digits) {
            const int digit = DigitOf(m_rest[digits]);
            if (digit < 0 || digit >= base) {
                break;
            }
            value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        }
        m_rest.remove_prefix(digits);
        return digits > 0;
    }

    bool Expect(char separator) {
        if (m_rest.empty() || m_rest.front() != separator) {
            return false;
        }
        m_rest.remove_prefix(1);
        return true;
    }

    std::string_view Word() {
        const size_t end = std::min(m_rest.find(' '), m_rest.size());
        const std::string_view word = m_rest.substr(0, end);
        m_rest.remove_prefix(end);
        return word;
    }

    std::string_view RestAfterBlanks() {
        while (!m_rest.empty() && m_rest.front() == ' ') {
            m_rest.remove_prefix(1);
        }
        return m_rest;
    }

private:
    static int DigitOf(char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    }

    std::string_view m_rest;
};

// "begin-end perms offset major:minor inode   path"
bool ParseMapping(std::string_view line, platform::CMapping& mapping) {
    CFieldReader fields(line);
    uint64_t begin = 0;
    uint64_t end = 0;
    uint64_t major = 0;
    uint64_t minor = 0;
    if (!fields.Number(begin, 16) || !fields.Expect('-') || !fields.Number(end, 16) || !fields.Expect(' ')) {
        return false;
    }
    const std::string_view permissions = fields.Word();
    if (permissions.size() != 4 || !fields.Expect(' ') || !fields.Number(mapping.offset, 16) ||
        !fields.Expect(' ') || !fields.Number(major, 16) || !fields.Expect(':') ||
        !fields.Number(minor, 16) || !fields.Expect(' ') || !fields.Number(mapping.inode, 10)) {
        return false;
    }
    mapping.begin = static_cast<uintptr_t>(begin);
    mapping.end = static_cast<uintptr_t>(end);
    mapping.readable = permissions[0] == 'r';
    mapping.device = major << 32 | minor;
    mapping.path = fields.RestAfterBlanks();
    return mapping.begin < mapping.end;
}

} // namespace

namespace platform {

bool CProcessMaps::Open() {
    Close();
    m_descriptor = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    m_begin = m_end = 0;
    return m_descriptor >= 0;
}

void CProcessMaps::Close() {
    if (m_descriptor >= 0) {
        close(m_descriptor);
        m_descriptor = -1;
    }
}

bool CProcessMaps::Next(CMapping& mapping) {
    std::string_view line;
    while (NextLine(line)) {
        if (ParseMapping(line, mapping)) {
            return true;
        }
    }
    return false;
}

bool CProcessMaps::NextLine(std::string_view& line) {
    if (m_descriptor < 0) {
        return false;
    }
    for (;;) {
        const char* start = m_buffer + m_begin;
        if (const void* newline = std::memchr(start, '\n', m_end - m_begin)) {
            const size_t length = static_cast<size_t>(static_cast<const char*>(newline) - start);
            line = std::string_view(start, length);
            m_begin += length + 1;
            return true;
        }
        std::memmove(m_buffer, start, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
        if (m_end == sizeof(m_buffer)) {
            m_end = 0; // a line longer than the buffer: its pieces do not parse and are skipped
        }
        const ssize_t got = read(m_descriptor, m_buffer + m_end, sizeof(m_buffer) - m_end);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        m_end += static_cast<size_t>(got);
    }
}

} // namespace platform
