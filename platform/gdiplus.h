// GDI+: graphics on a device context, PNG bitmaps from streams, solid and linear-gradient brushes, paths,
// fonts from LOGFONTs and string formats, drawn with Cairo and Pango. Objects made before GdiplusStartup
// (or after the last GdiplusShutdown) carry GdiplusNotInitialized and draw nothing.
#pragma once

#include "platform/base.h"
#include "platform/gdi.h"
#include "platform/resources.h"

using UINT32 = std::uint32_t;

namespace Gdiplus {

using REAL = float;
using ARGB = DWORD;

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20
};

// ---- Start-up ----
using DebugEventProc = void (*)(int level, char* message);
using NotificationHookProc = Status (*)(ULONG_PTR* token);
using NotificationUnhookProc = void (*)(ULONG_PTR token);

struct GdiplusStartupInput {
    UINT32 GdiplusVersion = 1;
    DebugEventProc DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

struct GdiplusStartupOutput {
    NotificationHookProc NotificationHook;
    NotificationUnhookProc NotificationUnhook;
};

// Version 1 only (UnsupportedGdiplusVersion otherwise); suppressing the background thread needs an
// output structure. Start-ups nest; each token is shut down once.
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

// ---- Geometry and colour ----
struct Point {
    Point() = default;
    Point(INT x, INT y) : X(x), Y(y) {}
    INT X = 0;
    INT Y = 0;
};

struct PointF {
    PointF() = default;
    PointF(REAL x, REAL y) : X(x), Y(y) {}
    REAL X = 0;
    REAL Y = 0;
};

struct Rect {
    Rect() = default;
    Rect(INT x, INT y, INT width, INT height) : X(x), Y(y), Width(width), Height(height) {}
    INT X = 0;
    INT Y = 0;
    INT Width = 0;
    INT Height = 0;
};

struct RectF {
    RectF() = default;
    RectF(REAL x, REAL y, REAL width, REAL height) : X(x), Y(y), Width(width), Height(height) {}
    void Offset(REAL dx, REAL dy) {
        X += dx;
        Y += dy;
    }
    REAL X = 0;
    REAL Y = 0;
    REAL Width = 0;
    REAL Height = 0;
};

class Color {
public:
    enum { AlphaShift = 24, RedShift = 16, GreenShift = 8, BlueShift = 0 };
    Color() = default;
    Color(BYTE r, BYTE g, BYTE b) : Argb(MakeARGB(255, r, g, b)) {}
    Color(BYTE a, BYTE r, BYTE g, BYTE b) : Argb(MakeARGB(a, r, g, b)) {}
    Color(ARGB argb) : Argb(argb) {}

    BYTE GetA() const { return static_cast<BYTE>(Argb >> AlphaShift); }
    BYTE GetR() const { return static_cast<BYTE>(Argb >> RedShift); }
    BYTE GetG() const { return static_cast<BYTE>(Argb >> GreenShift); }
    BYTE GetB() const { return static_cast<BYTE>(Argb >> BlueShift); }
    ARGB GetValue() const { return Argb; }
    void SetValue(ARGB argb) { Argb = argb; }
    static ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b) {
        return (static_cast<ARGB>(a) << AlphaShift) | (static_cast<ARGB>(r) << RedShift) |
               (static_cast<ARGB>(g) << GreenShift) | (static_cast<ARGB>(b) << BlueShift);
    }

protected:
    ARGB Argb = 0xFF000000u;
};

// ---- Enumerations ----
enum SmoothingMode {
    SmoothingModeInvalid = -1,
    SmoothingModeDefault = 0,
    SmoothingModeHighSpeed = 1,
    SmoothingModeHighQuality = 2,
    SmoothingModeNone = 3,
    SmoothingModeAntiAlias = 4,
    SmoothingModeAntiAlias8x8 = 5
};
enum Unit {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6
};
enum FontStyle {
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleBoldItalic = 3,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8
};
enum StringAlignment { StringAlignmentNear = 0, StringAlignmentCenter = 1, StringAlignmentFar = 2 };
enum StringFormatFlags { StringFormatFlagsNoWrap = 0x00001000, StringFormatFlagsNoClip = 0x00004000 };
enum WrapMode {
    WrapModeTile = 0,
    WrapModeTileFlipX = 1,
    WrapModeTileFlipY = 2,
    WrapModeTileFlipXY = 3,
    WrapModeClamp = 4
};
enum LinearGradientMode {
    LinearGradientModeHorizontal = 0,
    LinearGradientModeVertical = 1,
    LinearGradientModeForwardDiagonal = 2,
    LinearGradientModeBackwardDiagonal = 3
};
enum FillMode { FillModeAlternate = 0, FillModeWinding = 1 };

// ---- Objects ----
struct GpImage;
struct GpBrush;
struct GpPath;
struct GpFont;
struct GpStringFormat;
struct GpGraphics;

// Images: PNG only (UnknownImageFormat for other data).
class Image {
public:
    virtual ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    UINT GetWidth() const;
    UINT GetHeight() const;
    Status GetLastStatus() const;

protected:
    Image() = default;
    friend class Graphics;
    GpImage* nativeImage = nullptr;
    mutable Status lastResult = Ok;
};

class Bitmap : public Image {
public:
    explicit Bitmap(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
    static Bitmap* FromStream(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
    Status GetPixel(INT x, INT y, Color* color) const;
};

class Brush {
public:
    virtual ~Brush();
    Brush(const Brush&) = delete;
    Brush& operator=(const Brush&) = delete;
    Status GetLastStatus() const;

protected:
    Brush() = default;
    friend class Graphics;
    GpBrush* nativeBrush = nullptr;
    mutable Status lastResult = Ok;
};

class SolidBrush : public Brush {
public:
    explicit SolidBrush(const Color& color);
    Status GetColor(Color* color) const;
    Status SetColor(const Color& color);
};

class LinearGradientBrush : public Brush {
public:
    // An empty rectangle gives OutOfMemory.
    LinearGradientBrush(const RectF& rect, const Color& color1, const Color& color2, LinearGradientMode mode);
    LinearGradientBrush(const Rect& rect, const Color& color1, const Color& color2, LinearGradientMode mode);
    // WrapModeClamp is refused (InvalidParameter), as a gradient has no clamped form.
    Status SetWrapMode(WrapMode wrapMode);
    WrapMode GetWrapMode() const;
};

// Figures of lines and elliptical arcs; each new part of a figure joins the previous one.
class GraphicsPath {
public:
    explicit GraphicsPath(FillMode fillMode = FillModeAlternate);
    ~GraphicsPath();
    GraphicsPath(const GraphicsPath&) = delete;
    GraphicsPath& operator=(const GraphicsPath&) = delete;

    Status AddLine(REAL x1, REAL y1, REAL x2, REAL y2);
    Status AddLine(INT x1, INT y1, INT x2, INT y2);
    // Angles in degrees, clockwise from the x axis.
    Status AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
    Status AddArc(INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle);
    Status AddArc(const RectF& rect, REAL startAngle, REAL sweepAngle);
    Status StartFigure();
    Status CloseFigure();
    Status GetLastStatus() const;

private:
    friend class Graphics;
    GpPath* nativePath = nullptr;
    mutable Status lastResult = Ok;
};

// A font from a LOGFONT for a device context (InvalidParameter without a DC or a LOGFONT); its size is
// the em height in pixels.
class Font {
public:
    Font(HDC hdc, const LOGFONTW* logfont);
    Font(HDC hdc, HFONT hfont);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    REAL GetSize() const;
    INT GetStyle() const;
    Status GetLastStatus() const;

private:
    friend class Graphics;
    GpFont* nativeFont = nullptr;
    mutable Status lastResult = Ok;
};

class StringFormat {
public:
    explicit StringFormat(INT formatFlags = 0, LANGID language = LANG_NEUTRAL);
    ~StringFormat();
    StringFormat(const StringFormat&) = delete;
    StringFormat& operator=(const StringFormat&) = delete;

    Status SetAlignment(StringAlignment align);
    StringAlignment GetAlignment() const;
    Status SetLineAlignment(StringAlignment align);
    StringAlignment GetLineAlignment() const;
    Status GetLastStatus() const;

private:
    friend class Graphics;
    GpStringFormat* nativeFormat = nullptr;
    mutable Status lastResult = Ok;
};

// Drawing on a device context. A failing call's status is kept for GetLastStatus.
class Graphics {
public:
    explicit Graphics(HDC hdc);
    static Graphics* FromHDC(HDC hdc);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    Status SetSmoothingMode(SmoothingMode smoothingMode);
    SmoothingMode GetSmoothingMode() const;

    // The image stretched to the rectangle; (x, y) alone draws it at its own size.
    Status DrawImage(Image* image, const Rect& rect);
    Status DrawImage(Image* image, const RectF& rect);
    Status DrawImage(Image* image, INT x, INT y, INT width, INT height);
    Status DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height);
    Status DrawImage(Image* image, INT x, INT y);

    Status FillRectangle(const Brush* brush, const Rect& rect);
    Status FillRectangle(const Brush* brush, const RectF& rect);
    Status FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height);
    Status FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height);
    Status FillEllipse(const Brush* brush, const Rect& rect);
    Status FillEllipse(const Brush* brush, const RectF& rect);
    Status FillEllipse(const Brush* brush, INT x, INT y, INT width, INT height);
    Status FillEllipse(const Brush* brush, REAL x, REAL y, REAL width, REAL height);
    Status FillPath(const Brush* brush, const GraphicsPath* path);

    // The text laid out in the rectangle (wrapped at words within its width, aligned and clipped to
    // it), with the default format's padding of one sixth of the em at each side. A length of -1 means
    // up to the terminator.
    Status DrawString(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                      const StringFormat* stringFormat, const Brush* brush);

    // The status of the last failing call, which it then forgets.
    Status GetLastStatus() const;

private:
    Status SetStatus(Status status) const;
    GpGraphics* nativeGraphics = nullptr;
    mutable Status lastResult = Ok;
};

} // namespace Gdiplus
