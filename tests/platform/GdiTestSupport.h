// Memory surfaces for the drawing tests: a memory DC with a white bitmap, read pixel by pixel.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/gdi.h"
#include "platform/gdi/Surface.h"

namespace gdi_test {

const COLORREF kWhite = RGB(255, 255, 255);

class CSurface {
public:
    CSurface(int width, int height) : m_nWidth(width), m_nHeight(height) {
        m_hdc = CreateCompatibleDC(nullptr);
        m_hBitmap = CreateCompatibleBitmap(m_hdc, width, height);
        m_hOld = SelectObject(m_hdc, m_hBitmap);
        const RECT all{0, 0, width, height};
        FillRect(m_hdc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~CSurface() {
        SelectObject(m_hdc, m_hOld);
        DeleteObject(m_hBitmap);
        DeleteDC(m_hdc);
    }
    CSurface(const CSurface&) = delete;
    CSurface& operator=(const CSurface&) = delete;

    HDC Dc() const { return m_hdc; }
    HBITMAP Bitmap() const { return m_hBitmap; }
    COLORREF Pixel(int x, int y) const { return platform::gdi::PixelAt(m_hdc, x, y); }

    // The smallest rectangle holding every pixel that is not the background; empty when there is none.
    RECT InkBounds(COLORREF background = kWhite) const {
        RECT bounds{m_nWidth, m_nHeight, 0, 0};
        for (int y = 0; y < m_nHeight; ++y) {
            for (int x = 0; x < m_nWidth; ++x) {
                if (Pixel(x, y) != background) {
                    bounds = RECT{std::min<LONG>(bounds.left, x), std::min<LONG>(bounds.top, y),
                                  std::max<LONG>(bounds.right, x + 1), std::max<LONG>(bounds.bottom, y + 1)};
                }
            }
        }
        return bounds.right > bounds.left ? bounds : RECT{};
    }

    int Count(COLORREF color) const {
        int count = 0;
        for (int y = 0; y < m_nHeight; ++y) {
            for (int x = 0; x < m_nWidth; ++x) {
                count += Pixel(x, y) == color ? 1 : 0;
            }
        }
        return count;
    }

private:
    int m_nWidth;
    int m_nHeight;
    HDC m_hdc;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOld;
};

inline bool IsEmpty(const RECT& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

} // namespace gdi_test
