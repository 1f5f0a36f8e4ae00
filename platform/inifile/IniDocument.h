// The lines of an initialisation file, read and changed as Windows does. A change touches only the lines
// it must: every other line, comment (";" first) and line end stays as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class CIniDocument {
public:
    explicit CIniDocument(std::wstring_view text);
    std::wstring Text() const;

    // The value of the first such key in the first such section, trimmed of blanks; quotes stay.
    std::optional<std::wstring> Value(std::wstring_view section, std::wstring_view key) const;
    // Each section name once, in file order.
    std::vector<std::wstring> SectionNames() const;
    // Each key of the first such section once, in file order.
    std::vector<std::wstring> KeyNames(std::wstring_view section) const;
    // The entries of the first such section as "key=value".
    std::vector<std::wstring> Entries(std::wstring_view section) const;

    // Sets the first such key of the first such section, keeping its line up to the old value; a new key
    // goes behind the section's last line that is not blank, a new section at the end.
    void SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    // Delete every such key of every such section, or every such section.
    void DeleteKey(std::wstring_view section, std::wstring_view key);
    void DeleteSection(std::wstring_view section);
    // The first such section gets the given entry lines in place of its own.
    void ReplaceEntries(std::wstring_view section, const std::vector<std::wstring>& entries);

private:
    struct CLine {
        std::wstring text;
        std::wstring ending;
    };
    struct CRange {
        size_t header;
        size_t end; // one past the section's last line
    };

    std::vector<CRange> SectionRanges(std::wstring_view section) const;
    // The (key, value) entries of the first such section.
    std::vector<std::pair<std::wstring, std::wstring>> NamedEntries(std::wstring_view section) const;
    std::optional<size_t> KeyLine(const CRange& range, std::wstring_view key) const;
    // Where a new entry of the section goes: behind its last line that is not blank.
    size_t InsertionPoint(const CRange& range) const;
    void AppendSection(std::wstring_view section, const std::vector<std::wstring>& entries);
    void InsertLine(size_t at, std::wstring text);
    void EraseLines(size_t from, size_t to);

    std::vector<CLine> m_lines;
    std::wstring m_lineEnding;
};

// The value as GetPrivateProfileStringW answers it: one pair of surrounding quotes (" or ') removed.
std::wstring WithoutQuotes(std::wstring_view value);

} // namespace platform
