// Parsing and changing initialisation files line by line.
#include "platform/inifile/IniDocument.h"

#include <algorithm>

#include "platform/internal.h"

namespace platform {

namespace {

enum class LineKind { Blank, Comment, Section, Entry };

struct CParsedLine {
    LineKind kind = LineKind::Blank;
    std::wstring_view name;
    std::wstring_view value;
};

std::wstring_view TrimmedBlanks(std::wstring_view text) {
    constexpr std::wstring_view kBlanks = L" \t";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::wstring_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

CParsedLine ParseLine(std::wstring_view text) {
    const std::wstring_view line = TrimmedBlanks(text);
    if (line.empty()) {
        return {};
    }
    if (line.front() == L';') {
        return {LineKind::Comment, {}, {}};
    }
    if (line.front() == L'[') {
        const size_t close = line.find(L']');
        return {LineKind::Section,
                TrimmedBlanks(line.substr(1, close == std::wstring_view::npos ? close : close - 1)),
                {}};
    }
    const size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
        return {LineKind::Entry, line, {}};
    }
    return {LineKind::Entry, TrimmedBlanks(line.substr(0, equals)), TrimmedBlanks(line.substr(equals + 1))};
}

void AddOnce(std::vector<std::wstring>& names, std::wstring_view name) {
    for (const auto& known : names) {
        if (EqualsNoCase(known, name)) {
            return;
        }
    }
    names.emplace_back(name);
}

std::wstring EntryText(std::wstring_view key, std::wstring_view value) {
    return std::wstring(key) + L"=" + std::wstring(value);
}

// An entry line with another value: the line keeps its text up to where its value starts (indentation,
// the key's spelling, the blanks around "=").
std::wstring WithValue(std::wstring_view line, std::wstring_view value) {
    const size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
        return EntryText(TrimmedBlanks(line), value);
    }
    const size_t start = std::min(line.find_first_not_of(L" \t", equals + 1), line.size());
    return std::wstring(line.substr(0, start)) + std::wstring(value);
}

} // namespace

CIniDocument::CIniDocument(std::wstring_view text) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t newline = text.find(L'\n', start);
        if (newline == std::wstring_view::npos) {
            m_lines.push_back({std::wstring(text.substr(start)), L""});
            break;
        }
        const bool crlf = newline > start && text[newline - 1] == L'\r';
        const size_t end = crlf ? newline - 1 : newline;
        m_lines.push_back({std::wstring(text.substr(start, end - start)), crlf ? L"\r\n" : L"\n"});
        start = newline + 1;
    }
    // New lines follow the file's first line end; a new file gets Windows line ends.
    m_lineEnding = !m_lines.empty() && m_lines.front().ending == L"\n" ? L"\n" : L"\r\n";
}

std::wstring CIniDocument::Text() const {
    std::wstring text;
    for (const auto& line : m_lines) {
        text += line.text;
        text += line.ending;
    }
    return text;
}

std::vector<CIniDocument::CRange> CIniDocument::SectionRanges(std::wstring_view section) const {
    std::vector<CRange> ranges;
    bool inSection = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const CParsedLine parsed = ParseLine(m_lines[i].text);
        if (parsed.kind != LineKind::Section) {
            continue;
        }
        if (inSection) {
            ranges.back().end = i;
        }
        inSection = EqualsNoCase(parsed.name, section);
        if (inSection) {
            ranges.push_back({i, m_lines.size()});
        }
    }
    return ranges;
}

std::optional<size_t> CIniDocument::KeyLine(const CRange& range, std::wstring_view key) const {
    for (size_t i = range.header + 1; i < range.end; ++i) {
        const CParsedLine parsed = ParseLine(m_lines[i].text);
        if (parsed.kind == LineKind::Entry && EqualsNoCase(parsed.name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

size_t CIniDocument::InsertionPoint(const CRange& range) const {
    size_t at = range.end;
    while (at > range.header + 1 && ParseLine(m_lines[at - 1].text).kind == LineKind::Blank) {
        --at;
    }
    return at;
}

std::optional<std::wstring> CIniDocument::Value(std::wstring_view section, std::wstring_view key) const {
    const auto ranges = SectionRanges(section);
    if (ranges.empty()) {
        return std::nullopt;
    }
    const auto line = KeyLine(ranges.front(), key);
    if (!line) {
        return std::nullopt;
    }
    return std::wstring(ParseLine(m_lines[*line].text).value);
}

std::vector<std::wstring> CIniDocument::SectionNames() const {
    std::vector<std::wstring> names;
    for (const auto& line : m_lines) {
        const CParsedLine parsed = ParseLine(line.text);
        if (parsed.kind == LineKind::Section) {
            AddOnce(names, parsed.name);
        }
    }
    return names;
}

std::vector<std::pair<std::wstring, std::wstring>>
CIniDocument::NamedEntries(std::wstring_view section) const {
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    const auto ranges = SectionRanges(section);
    if (ranges.empty()) {
        return entries;
    }
    for (size_t i = ranges.front().header + 1; i < ranges.front().end; ++i) {
        const CParsedLine parsed = ParseLine(m_lines[i].text);
        if (parsed.kind == LineKind::Entry) {
            entries.emplace_back(parsed.name, parsed.value);
        }
    }
    return entries;
}

std::vector<std::wstring> CIniDocument::KeyNames(std::wstring_view section) const {
    std::vector<std::wstring> names;
    for (const auto& [name, value] : NamedEntries(section)) {
        AddOnce(names, name);
    }
    return names;
}

std::vector<std::wstring> CIniDocument::Entries(std::wstring_view section) const {
    std::vector<std::wstring> entries;
    for (const auto& [name, value] : NamedEntries(section)) {
        entries.push_back(EntryText(name, value));
    }
    return entries;
}

void CIniDocument::SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    const auto ranges = SectionRanges(section);
    if (ranges.empty()) {
        AppendSection(section, {EntryText(key, value)});
        return;
    }
    if (const auto line = KeyLine(ranges.front(), key)) {
        m_lines[*line].text = WithValue(m_lines[*line].text, value);
        return;
    }
    InsertLine(InsertionPoint(ranges.front()), EntryText(key, value));
}

void CIniDocument::DeleteKey(std::wstring_view section, std::wstring_view key) {
    const auto ranges = SectionRanges(section);
    for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
        for (size_t i = range->end; i > range->header + 1; --i) {
            const CParsedLine parsed = ParseLine(m_lines[i - 1].text);
            if (parsed.kind == LineKind::Entry && EqualsNoCase(parsed.name, key)) {
                EraseLines(i - 1, i);
            }
        }
    }
}

void CIniDocument::DeleteSection(std::wstring_view section) {
    const auto ranges = SectionRanges(section);
    for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
        EraseLines(range->header, range->end);
    }
}

void CIniDocument::ReplaceEntries(std::wstring_view section, const std::vector<std::wstring>& entries) {
    const auto ranges = SectionRanges(section);
    if (ranges.empty()) {
        AppendSection(section, entries);
        return;
    }
    const CRange& range = ranges.front();
    EraseLines(range.header + 1, InsertionPoint(range));
    for (size_t i = 0; i < entries.size(); ++i) {
        InsertLine(range.header + 1 + i, entries[i]);
    }
}

void CIniDocument::AppendSection(std::wstring_view section, const std::vector<std::wstring>& entries) {
    InsertLine(m_lines.size(), L"[" + std::wstring(section) + L"]");
    for (const auto& entry : entries) {
        InsertLine(m_lines.size(), entry);
    }
}

void CIniDocument::InsertLine(size_t at, std::wstring text) {
    if (at > 0 && m_lines[at - 1].ending.empty()) {
        m_lines[at - 1].ending = m_lineEnding;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), CLine{std::move(text), m_lineEnding});
}

void CIniDocument::EraseLines(size_t from, size_t to) {
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(from),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(to));
}

std::wstring WithoutQuotes(std::wstring_view value) {
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::wstring(value);
}

} // namespace platform
