// Fills of rectangles and regions, and lines in the selected pen.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/gdi/Raster.h"

namespace {

using namespace platform::gdi;

// The on and off runs of the styled one-pixel pens.
struct DashPattern {
    int runs[6];
    int count;
};

const DashPattern* PatternOf(int style) {
    static const DashPattern dash{{18, 6}, 2};
    static const DashPattern dot{{3, 3}, 2};
    static const DashPattern dashDot{{9, 6, 3, 6}, 4};
    static const DashPattern dashDotDot{{9, 3, 3, 3, 3, 3}, 6};
    switch (style) {
    case PS_DASH:
        return &dash;
    case PS_DOT:
        return &dot;
    case PS_DASHDOT:
        return &dashDot;
    case PS_DASHDOTDOT:
        return &dashDotDot;
    default:
        return nullptr;
    }
}

// Whether the pixel at this phase of the pattern is drawn (even runs) or a gap (odd runs).
bool IsDashOn(const DashPattern& pattern, int phase) {
    int length = 0;
    for (int i = 0; i < pattern.count; ++i) {
        length += pattern.runs[i];
    }
    phase %= length;
    for (int i = 0; i < pattern.count; ++i) {
        if (phase < pattern.runs[i]) {
            return i % 2 == 0;
        }
        phase -= pattern.runs[i];
    }
    return true;
}

void PutPenPixel(CPixelWriter& writer, const CPenObject& pen, int x, int y, COLORREF color) {
    if (pen.m_nWidth <= 1) {
        writer.Put(x, y, color);
        return;
    }
    const int half = pen.m_nWidth / 2;
    writer.Fill(RECT{x - half, y - half, x - half + pen.m_nWidth, y - half + pen.m_nWidth}, color);
}

// A Bresenham line from the current position to the end point, which is not drawn.
void DrawLine(CDeviceContext& dc, POINT to) {
    const CPenObject& pen = *dc.m_pPen;
    if (pen.m_nStyle == PS_NULL) {
        return;
    }
    const DashPattern* pattern = PatternOf(pen.m_nStyle);
    CPixelWriter writer(dc);
    int x = dc.m_position.x;
    int y = dc.m_position.y;
    const int dx = std::abs(to.x - x);
    const int dy = -std::abs(to.y - y);
    const int sx = x < to.x ? 1 : -1;
    const int sy = y < to.y ? 1 : -1;
    int error = dx + dy;
    while (x != to.x || y != to.y) {
        if (!pattern || IsDashOn(*pattern, dc.m_nDashPhase)) {
            PutPenPixel(writer, pen, x, y, pen.m_color);
        } else if (dc.m_nBkMode == OPAQUE) {
            PutPenPixel(writer, pen, x, y, dc.m_bkColor);
        }
        ++dc.m_nDashPhase;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
}

RECT BoundsOf(const CRegionObject& region) {
    RECT bounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const auto& shape : region.m_shapes) {
        for (const POINT& point : shape.points) {
            bounds.left = std::min(bounds.left, point.x);
            bounds.top = std::min(bounds.top, point.y);
            bounds.right = std::max(bounds.right, point.x);
            bounds.bottom = std::max(bounds.bottom, point.y);
        }
    }
    return bounds;
}

} // namespace

int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hDC);
    const auto* brush = CGdiTable::Instance().Find<CBrushObject>(hbr, ObjectKind::Brush);
    if (!dc || !brush || !lprc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!brush->m_bNull) {
        CPixelWriter(*dc).Fill(*lprc, brush->m_color);
    }
    return 1;
}

BOOL FillRgn(HDC hdc, HRGN hrgn, HBRUSH hbr) {
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hdc);
    const auto* region = CGdiTable::Instance().Find<CRegionObject>(hrgn, ObjectKind::Region);
    const auto* brush = CGdiTable::Instance().Find<CBrushObject>(hbr, ObjectKind::Brush);
    if (!dc || !region || !brush) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (brush->m_bNull || region->m_shapes.empty()) {
        return TRUE;
    }
    const RECT bounds = BoundsOf(*region);
    const RECT clip = dc->Clip();
    const POINT origin = dc->Origin();
    CPixelWriter writer(*dc);
    for (LONG y = std::max(bounds.top, clip.top - origin.y);
         y < std::min(bounds.bottom, clip.bottom - origin.y); ++y) {
        for (LONG x = std::max(bounds.left, clip.left - origin.x);
             x < std::min(bounds.right, clip.right - origin.x); ++x) {
            if (region->Contains(x, y)) {
                writer.Put(x, y, brush->m_color);
            }
        }
    }
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT lppt) {
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hdc);
    if (!dc) {
        return FALSE;
    }
    if (lppt) {
        *lppt = dc->m_position;
    }
    dc->m_position = POINT{x, y};
    dc->m_nDashPhase = 0;
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hdc);
    if (!dc) {
        return FALSE;
    }
    DrawLine(*dc, POINT{x, y});
    dc->m_position = POINT{x, y};
    return TRUE;
}
