// Images: PNG bitmaps decoded from streams into Cairo surfaces.
#include <cstring>
#include <string>
#include <utility>

#include "platform/gdi/Raster.h"
#include "platform/gdiplus/Native.h"

namespace Gdiplus {

namespace {

constexpr size_t kReadChunk = 64 * 1024;
// Streams longer than this are not taken for images.
constexpr size_t kMaxImageBytes = 256u * 1024 * 1024;
constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool ReadAll(IStream* stream, std::string& bytes) {
    char chunk[kReadChunk];
    while (bytes.size() <= kMaxImageBytes) {
        ULONG read = 0;
        if (FAILED(stream->Read(chunk, sizeof(chunk), &read))) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        bytes.append(chunk, read);
    }
    return false;
}

struct PngReader {
    const std::string& bytes;
    size_t offset = 0;
};

cairo_status_t ReadPngBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->bytes.size() - reader->offset < length) {
        return CAIRO_STATUS_READ_ERROR;
    }
    std::memcpy(data, reader->bytes.data() + reader->offset, length);
    reader->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

// Opaque PNGs decode to RGB24; every image is kept as ARGB32.
platform::gdi::SurfacePtr ToArgb32(cairo_surface_t* decoded) {
    platform::gdi::SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                                                 cairo_image_surface_get_width(decoded),
                                                                 cairo_image_surface_get_height(decoded)));
    cairo_t* cr = cairo_create(surface.get());
    cairo_set_source_surface(cr, decoded, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    return surface;
}

Status DecodePng(IStream* stream, GpImage*& image) {
    std::string bytes;
    if (!stream || !ReadAll(stream, bytes)) {
        return InvalidParameter;
    }
    if (bytes.size() < sizeof(kPngSignature) ||
        std::memcmp(bytes.data(), kPngSignature, sizeof(kPngSignature)) != 0) {
        return UnknownImageFormat;
    }
    PngReader reader{bytes};
    const platform::gdi::SurfacePtr decoded(
        cairo_image_surface_create_from_png_stream(ReadPngBytes, &reader));
    if (cairo_surface_status(decoded.get()) != CAIRO_STATUS_SUCCESS) {
        return InvalidParameter;
    }
    image = new GpImage{ToArgb32(decoded.get())};
    return Ok;
}

} // namespace

Image::~Image() {
    delete nativeImage;
}

UINT Image::GetWidth() const {
    return nativeImage ? static_cast<UINT>(cairo_image_surface_get_width(nativeImage->surface.get())) : 0;
}

UINT Image::GetHeight() const {
    return nativeImage ? static_cast<UINT>(cairo_image_surface_get_height(nativeImage->surface.get())) : 0;
}

Status Image::GetLastStatus() const {
    return std::exchange(lastResult, Ok);
}

Bitmap::Bitmap(IStream* stream, BOOL useEmbeddedColorManagement) {
    lastResult = StartStatus();
    if (lastResult == Ok) {
        lastResult = DecodePng(stream, nativeImage);
    }
}

Bitmap* Bitmap::FromStream(IStream* stream, BOOL useEmbeddedColorManagement) {
    return new Bitmap(stream, useEmbeddedColorManagement);
}

Status Bitmap::GetPixel(INT x, INT y, Color* color) const {
    if (!nativeImage || !color || x < 0 || y < 0 || static_cast<UINT>(x) >= GetWidth() ||
        static_cast<UINT>(y) >= GetHeight()) {
        return lastResult = InvalidParameter;
    }
    *color = Color(platform::gdi::SurfacePixel(nativeImage->surface.get(), x, y));
    return Ok;
}

} // namespace Gdiplus
