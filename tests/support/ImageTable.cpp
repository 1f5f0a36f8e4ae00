#include "tests/support/ImageTable.h"

#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

namespace image_table {

namespace {

constexpr std::string_view kTimes = "\xC3\x97"; // U+00D7, between width and height
constexpr std::string_view kCircle = "circle ";
constexpr std::size_t kColumns = 7;

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "| a | b |" as {"a", "b"}.
std::vector<std::string_view> Cells(std::string_view line) {
    std::vector<std::string_view> cells;
    line = Trim(line);
    if (line.size() < 2 || line.front() != '|' || line.back() != '|') {
        return cells;
    }
    line = line.substr(1, line.size() - 2);
    for (std::size_t start = 0;;) {
        const std::size_t bar = line.find('|', start);
        cells.push_back(Trim(line.substr(start, bar - start)));
        if (bar == std::string_view::npos) {
            return cells;
        }
        start = bar + 1;
    }
}

std::optional<int> Number(std::string_view text, int base = 10) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "96 × 96".
std::optional<Size> SizeOf(std::string_view text) {
    const std::size_t times = text.find(kTimes);
    if (times == std::string_view::npos) {
        return std::nullopt;
    }
    const auto width = Number(Trim(text.substr(0, times)));
    const auto height = Number(Trim(text.substr(times + kTimes.size())));
    if (!width || !height || *width < 1 || *height < 1) {
        return std::nullopt;
    }
    return Size{*width, *height};
}

// "#4377EE / #E91022" or "circle #4A81FD".
bool ReadGrounds(std::string_view text, ImageEntry& entry) {
    if (text.starts_with(kCircle)) {
        entry.circle = true;
        text.remove_prefix(kCircle.size());
    }
    for (std::size_t start = 0; start != std::string_view::npos;) {
        const std::size_t slash = text.find('/', start);
        const std::string_view colour = Trim(text.substr(start, slash - start));
        const auto value =
            colour.size() == 7 && colour[0] == '#' ? Number(colour.substr(1), 16) : std::nullopt;
        if (!value) {
            return false;
        }
        entry.grounds.push_back(static_cast<std::uint32_t>(*value));
        start = slash == std::string_view::npos ? slash : slash + 1;
    }
    return !entry.grounds.empty();
}

std::optional<ImageEntry> ReadRow(const std::vector<std::string_view>& cells) {
    if (cells.size() != kColumns) {
        return std::nullopt;
    }
    ImageEntry entry;
    const auto id = Number(cells[0]);
    const auto pixels = SizeOf(cells[2]);
    const auto shown = SizeOf(cells[3]);
    if (!id || !pixels || !shown || cells[1].empty() || !ReadGrounds(cells[4], entry)) {
        return std::nullopt;
    }
    entry.id = *id;
    entry.file = cells[1];
    entry.pixels = *pixels;
    entry.shown = *shown;
    entry.shows = cells[5];
    entry.usedBy = cells[6];
    return entry;
}

bool IsImageRow(const std::vector<std::string_view>& cells) {
    return !cells.empty() && !cells[0].empty() &&
           cells[0].find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

ImageTable ReadImageTable(const std::filesystem::path& readme) {
    ImageTable table;
    std::ifstream input(readme);
    if (!input) {
        table.error = "cannot read " + readme.string();
        return table;
    }
    std::string line;
    for (int number = 1; std::getline(input, line); ++number) {
        const std::vector<std::string_view> cells = Cells(line);
        if (!IsImageRow(cells)) {
            continue;
        }
        if (auto entry = ReadRow(cells)) {
            table.entries.push_back(std::move(*entry));
        } else if (table.error.empty()) {
            std::ostringstream message;
            message << readme.filename().string() << ":" << number << ": malformed image row";
            table.error = message.str();
        }
    }
    return table;
}

} // namespace image_table
