// The table of the program's images in resources/images/README.md: for each PNG id its drawing, its size
// in pixels, the size and the grounds it is drawn on, read by the image test and the contact sheet.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace image_table {

struct Size {
    int width = 0;
    int height = 0;
};

struct ImageEntry {
    int id = 0;
    std::string file;                   // the SVG drawing, in resources/images
    Size pixels;                        // of the PNG the build makes
    Size shown;                         // drawn at on a 96-DPI screen
    bool circle = false;                // drawn over a feature button's circle of the ground colour
    std::vector<std::uint32_t> grounds; // 0xRRGGBB, one or more
    std::string shows;
    std::string usedBy;
};

struct ImageTable {
    std::vector<ImageEntry> entries;
    std::string error; // the first malformed row, empty when every row reads
};

// The rows of the table whose first cell is an id, in their order.
ImageTable ReadImageTable(const std::filesystem::path& readme);

} // namespace image_table
