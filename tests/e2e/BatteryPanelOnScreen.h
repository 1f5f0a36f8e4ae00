// The battery panel as the screen shows it: the test draws what a person would look for (a text in the
// panel's font and colour, a badge, the battery's glyph of a picture) the way the program's controls
// draw it, and finds it on the program's screen pixel for pixel.
#pragma once

#include <optional>
#include <vector>

#include "platform/window/Desktop.h"
#include "tests/e2e/ProgramRun.h"

namespace e2e {

// The battery picture's and the headings' colours.
inline constexpr COLORREF kLevelInk = RGB(0x34, 0x49, 0x5E);
inline constexpr COLORREF kCaptionInk = RGB(0x3A, 0x87, 0x95);
inline constexpr COLORREF kMessageInk = RGB(0xF0, 0x55, 0x0A);
inline constexpr COLORREF kHeadingInk = RGB(0x34, 0x4A, 0x5E);
inline constexpr COLORREF kLinkInk = RGB(0x70, 0x82, 0xFD);

// Pixels to look for, row by row.
struct Drawing {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
};

// The text in "Segoe UI" of that design size and weight, in that colour on white, cut to its ink.
Drawing TextDrawing(const wchar_t* pszText, int nSize, int nWeight, COLORREF crText);
// The PNG of that id drawn at that size on white; only the part within the cut.
Drawing ImageDrawing(int nImageId, SIZE size, const RECT& cut);
// The battery picture's own part of a picture (its glyph at the left), drawn at the size of the panel's
// picture; with one message the lower part, where a badge may lie, is left out.
Drawing BatteryGlyphDrawing(int nImageId, bool bOneMessage);
// A badge as the picture draws it with the level and its lines (23 x 30 at 96 DPI).
Drawing BadgeDrawing(int nImageId);

// Where the drawing's top-left corner stands on the screen, searched within the area; none when it is
// not there.
std::optional<POINT> FindDrawing(const platform::desktop::CScreenImage& screen, const RECT& area,
                                 const Drawing& drawing);

// The battery panel's part of the screen: under the title bar, over the grid (the whole body without
// a grid).
RECT BatteryPanelArea(const platform::desktop::CScreenImage& screen, const FlyoutOnScreen& flyout);

// What the panel shows, each item a drawing to find.
struct PanelLook {
    int nPicture = 0;           // the picture's id (its glyph)
    bool bOneMessage = false;   // an error picture with one message
    int nBadge = 0;             // 0: no badge looked for
    std::vector<Drawing> texts; // the level, the time and its label, or the message
};
// The look of the level (digits), the time text and its label, as the picture draws them; an empty
// text is not looked for.
PanelLook LevelLook(int nPicture, int nBadge, const wchar_t* pszLevel, const wchar_t* pszTime,
                    const wchar_t* pszLabel);
PanelLook MessageLook(int nPicture, const wchar_t* pszMessage);
// True when the panel's area shows every item of the look.
bool Shows(const platform::desktop::CScreenImage& screen, const FlyoutOnScreen& flyout,
           const PanelLook& look);
// True when the panel's area shows the text drawn so.
bool ShowsText(const platform::desktop::CScreenImage& screen, const FlyoutOnScreen& flyout,
               const Drawing& text);

// The centre of the ink of the link colour on the row of the heading drawing, right of it (or left of
// the area's middle for the thermal line, given its status text's drawing); none when not found.
std::optional<POINT> FindLinkBeside(const platform::desktop::CScreenImage& screen,
                                    const FlyoutOnScreen& flyout, const Drawing& rowText, bool bLeftOfIt);

} // namespace e2e
