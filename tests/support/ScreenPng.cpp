#include "tests/support/ScreenPng.h"

#include <cairo.h>

namespace testing_support {

platform::desktop::CScreenImage ReadScreenPng(const std::filesystem::path& file) {
    platform::desktop::CScreenImage image;
    cairo_surface_t* surface = cairo_image_surface_create_from_png(file.c_str());
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        image.width = cairo_image_surface_get_width(surface);
        image.height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        for (int y = 0; y < image.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
            image.pixels.insert(image.pixels.end(), row, row + image.width);
        }
        for (auto& pixel : image.pixels) {
            pixel &= 0x00FFFFFFu;
        }
    }
    cairo_surface_destroy(surface);
    return image;
}

} // namespace testing_support
