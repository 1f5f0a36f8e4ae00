// Graphics paths: figures of lines and flattened elliptical arcs.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "platform/gdiplus/Native.h"

namespace Gdiplus {

namespace {

// Arcs are flattened into segments of at most this many degrees.
constexpr double kDegreesPerSegment = 5.0;

// The figure new parts join: the last open one, or a new one.
GpPath::Figure& OpenFigure(GpPath& path) {
    if (path.figures.empty() || path.figures.back().closed) {
        path.figures.emplace_back();
    }
    return path.figures.back();
}

// The point of the ellipse in the box that lies at this angle from its centre (clockwise, y down).
PointF PointOnEllipse(double cx, double cy, double a, double b, double degrees) {
    const double radians = degrees * std::numbers::pi / 180.0;
    const double parametric = std::atan2(a * std::sin(radians), b * std::cos(radians));
    return PointF(static_cast<REAL>(cx + a * std::cos(parametric)),
                  static_cast<REAL>(cy + b * std::sin(parametric)));
}

} // namespace

GraphicsPath::GraphicsPath(FillMode fillMode) {
    lastResult = StartStatus();
    if (lastResult == Ok) {
        nativePath = new GpPath{fillMode, {}};
    }
}

GraphicsPath::~GraphicsPath() {
    delete nativePath;
}

Status GraphicsPath::AddLine(REAL x1, REAL y1, REAL x2, REAL y2) {
    if (!nativePath) {
        return lastResult = InvalidParameter;
    }
    GpPath::Figure& figure = OpenFigure(*nativePath);
    figure.points.emplace_back(x1, y1);
    figure.points.emplace_back(x2, y2);
    return Ok;
}

Status GraphicsPath::AddLine(INT x1, INT y1, INT x2, INT y2) {
    return AddLine(static_cast<REAL>(x1), static_cast<REAL>(y1), static_cast<REAL>(x2),
                   static_cast<REAL>(y2));
}

Status GraphicsPath::AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle) {
    if (!nativePath || width <= 0 || height <= 0) {
        return lastResult = InvalidParameter;
    }
    const double a = width / 2.0;
    const double b = height / 2.0;
    const int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(sweepAngle) / kDegreesPerSegment)));
    GpPath::Figure& figure = OpenFigure(*nativePath);
    for (int i = 0; i <= segments; ++i) {
        figure.points.push_back(PointOnEllipse(x + a, y + b, a, b, startAngle + sweepAngle * i / segments));
    }
    return Ok;
}

Status GraphicsPath::AddArc(INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle) {
    return AddArc(static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(width),
                  static_cast<REAL>(height), startAngle, sweepAngle);
}

Status GraphicsPath::AddArc(const RectF& rect, REAL startAngle, REAL sweepAngle) {
    return AddArc(rect.X, rect.Y, rect.Width, rect.Height, startAngle, sweepAngle);
}

Status GraphicsPath::StartFigure() {
    if (!nativePath) {
        return lastResult = InvalidParameter;
    }
    if (!nativePath->figures.empty() && !nativePath->figures.back().points.empty()) {
        nativePath->figures.emplace_back();
    }
    return Ok;
}

Status GraphicsPath::CloseFigure() {
    if (!nativePath) {
        return lastResult = InvalidParameter;
    }
    if (!nativePath->figures.empty()) {
        nativePath->figures.back().closed = true;
    }
    return Ok;
}

Status GraphicsPath::GetLastStatus() const {
    return std::exchange(lastResult, Ok);
}

} // namespace Gdiplus
