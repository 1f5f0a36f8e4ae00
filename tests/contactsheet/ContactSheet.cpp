// flipdeck-contact-sheet README OUTPUT: draws every image of the table in README (resources/images) on
// each ground it is drawn on, at 96 DPI and then at 144 DPI, with the layer's GDI+ as the program draws
// it, and writes the sheet to the PNG file OUTPUT. A feature button's image is drawn over its circle on
// the grid's ground.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/gdi/Surface.h"
#include "platform/gdiplus.h"
#include "services/DrawingRoutines.h"
#include "tests/support/ImageTable.h"

namespace {

using image_table::ImageEntry;

constexpr int kSheetWidth = 1600;
constexpr int kMargin = 16;
constexpr int kGap = 10;     // between the tiles of one image
constexpr int kCellGap = 24; // between images
constexpr int kLabelHeight = 18;
constexpr int kTitleHeight = 40;
constexpr int kTilePadding = 6; // ground around an image, at 96 DPI
constexpr int kButtonSize = 48; // a feature button at 96 DPI
const COLORREF kSheetColour = RGB(250, 250, 250);
const COLORREF kLabelColour = RGB(0x34, 0x4A, 0x5E);
const COLORREF kGridGround = RGB(0xEB, 0xF1, 0xF4);
const double kScales[] = {1.0, 1.5};

struct Tile {
    int width;
    int height;
};

struct Cell {
    const ImageEntry* entry;
    int x;
    int y;
    int width;
    int height;
};

COLORREF ColourOf(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int Scaled(int length, double scale) {
    return static_cast<int>(std::lround(length * scale));
}

Tile TileOf(const ImageEntry& entry, double scale) {
    if (entry.circle) {
        return {Scaled(kButtonSize, scale), Scaled(kButtonSize, scale)};
    }
    const int padding = 2 * Scaled(kTilePadding, scale);
    return {Scaled(entry.shown.width, scale) + padding, Scaled(entry.shown.height, scale) + padding};
}

// Every tile of an image side by side: each ground at 96 DPI, then each at 144 DPI.
Tile CellOf(const ImageEntry& entry) {
    Tile cell{0, 0};
    for (double scale : kScales) {
        const Tile tile = TileOf(entry, scale);
        cell.width += static_cast<int>(entry.grounds.size()) * (tile.width + kGap);
        cell.height = std::max(cell.height, tile.height);
    }
    return {cell.width - kGap, cell.height + kLabelHeight};
}

// The cells in rows across the sheet; the height of the sheet.
int LayOut(const std::vector<ImageEntry>& entries, std::vector<Cell>& cells) {
    int x = kMargin;
    int y = kMargin + kTitleHeight;
    int rowHeight = 0;
    for (const ImageEntry& entry : entries) {
        const Tile size = CellOf(entry);
        if (x > kMargin && x + size.width > kSheetWidth - kMargin) {
            x = kMargin;
            y += rowHeight + kCellGap;
            rowHeight = 0;
        }
        cells.push_back({&entry, x, y, size.width, size.height});
        x += std::max(size.width, 110) + kCellGap;
        rowHeight = std::max(rowHeight, size.height);
    }
    return y + rowHeight + kMargin;
}

void DrawLabel(HDC hdc, const std::wstring& text, RECT rect, int height, int weight) {
    HFONT font = CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                             FF_SWISS, L"Segoe UI");
    HGDIOBJ old = SelectObject(hdc, font);
    SetTextColor(hdc, kLabelColour);
    SetBkMode(hdc, TRANSPARENT);
    DrawTextW(hdc, text.c_str(), -1, &rect, DT_SINGLELINE | DT_END_ELLIPSIS);
    SelectObject(hdc, old);
    DeleteObject(font);
}

void FillGround(HDC hdc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(hdc, &rect, brush);
    DeleteObject(brush);
}

// One tile: the ground, then the image at the program's place in it. The width of the tile.
int DrawTile(HDC hdc, Gdiplus::Bitmap* image, const ImageEntry& entry, std::uint32_t ground, double scale,
             int x, int y) {
    const Tile tile = TileOf(entry, scale);
    const int width = Scaled(entry.shown.width, scale);
    const int height = Scaled(entry.shown.height, scale);
    Gdiplus::Graphics graphics(hdc);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    if (entry.circle) {
        // As a feature button paints itself: the grid's ground, the circle, the icon centred in it.
        FillGround(hdc, RECT{x, y, x + tile.width, y + tile.height}, kGridGround);
        const int diameter = tile.width - 1;
        const Gdiplus::SolidBrush brush(Gdiplus::Color(0xFF000000u | ground));
        graphics.FillEllipse(&brush, x, y, diameter, diameter);
        const Gdiplus::REAL offset = (diameter - width) / 2.0f;
        graphics.DrawImage(image, Gdiplus::RectF(x + offset, y + offset, static_cast<Gdiplus::REAL>(width),
                                                 static_cast<Gdiplus::REAL>(height)));
    } else {
        FillGround(hdc, RECT{x, y, x + tile.width, y + tile.height}, ColourOf(ground));
        const int padding = Scaled(kTilePadding, scale);
        graphics.DrawImage(image, x + padding, y + padding, width, height);
    }
    return tile.width;
}

// The tiles of one image and its label under them; false when the image does not load.
bool DrawCell(HDC hdc, const Cell& cell) {
    const ImageEntry& entry = *cell.entry;
    Gdiplus::Bitmap* image = nullptr;
    if (!LoadPngFromResource(entry.id, &image)) {
        return false;
    }
    int x = cell.x;
    for (double scale : kScales) {
        for (std::uint32_t ground : entry.grounds) {
            x += DrawTile(hdc, image, entry, ground, scale, x, cell.y) + kGap;
        }
    }
    delete image;
    const std::string name = entry.file.substr(0, entry.file.rfind('.'));
    const int labelTop = cell.y + cell.height - kLabelHeight + 3;
    DrawLabel(hdc, std::wstring(name.begin(), name.end()),
              RECT{cell.x, labelTop, cell.x + std::max(cell.width, 110), labelTop + kLabelHeight}, 12, 400);
    return true;
}

bool DrawSheet(const std::vector<ImageEntry>& entries, const char* output) {
    std::vector<Cell> cells;
    const int height = LayOut(entries, cells);
    HDC hdc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(hdc, kSheetWidth, height);
    HGDIOBJ old = SelectObject(hdc, bitmap);
    FillGround(hdc, RECT{0, 0, kSheetWidth, height}, kSheetColour);
    DrawLabel(hdc, L"FlipdeckEx images: each at 96 DPI, then at 144 DPI, on the grounds it is drawn on",
              RECT{kMargin, kMargin, kSheetWidth - kMargin, kMargin + kTitleHeight}, 18, 700);
    bool ok = true;
    for (const Cell& cell : cells) {
        if (!DrawCell(hdc, cell)) {
            std::fprintf(stderr, "image %d (%s) does not load\n", cell.entry->id, cell.entry->file.c_str());
            ok = false;
        }
    }
    ok = platform::gdi::WriteSurfacePng(hdc, output) && ok;
    SelectObject(hdc, old);
    DeleteObject(bitmap);
    DeleteDC(hdc);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s README OUTPUT.png\n", argv[0]);
        return 2;
    }
    const image_table::ImageTable table = image_table::ReadImageTable(argv[1]);
    if (!table.error.empty()) {
        std::fprintf(stderr, "%s\n", table.error.c_str());
        return 1;
    }
    ULONG_PTR token = 0;
    const Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
        std::fprintf(stderr, "GDI+ does not start\n");
        return 1;
    }
    const bool ok = DrawSheet(table.entries, argv[2]);
    Gdiplus::GdiplusShutdown(token);
    return ok ? 0 : 1;
}
