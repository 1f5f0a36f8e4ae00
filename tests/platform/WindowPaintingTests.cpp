// What a window's DC may draw on and what invalidating a window reaches, as WS_CLIPCHILDREN and
// WS_CLIPSIBLINGS decide on Windows: a parent with WS_CLIPCHILDREN cannot draw over its children and
// does not invalidate them, one without it does both; a child with WS_CLIPSIBLINGS cannot draw over the
// siblings above it (or above an ancestor of its that has the style).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/gdi.h"
#include "platform/window.h"
#include "platform/window/Desktop.h"
#include "tests/support/TestMachine.h"

namespace {

const COLORREF kBoxColour = RGB(0, 0, 255);
const COLORREF kOtherBoxColour = RGB(0, 160, 0);
const COLORREF kDrawn = RGB(255, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);
constexpr int kLeft = 300;
constexpr int kTop = 300;

// A box paints itself in the colour its user data holds; a plain window paints nothing, or, while its
// user data holds a colour, its whole client area in that colour through its paint DC.
void FillClient(HWND hwnd, HDC hdc, COLORREF colour) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const HBRUSH brush = CreateSolidBrush(colour);
    FillRect(hdc, &client, brush);
    DeleteObject(brush);
}

LRESULT PaintingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        return TRUE;
    }
    if (message != WM_PAINT) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    PAINTSTRUCT ps{};
    const HDC hdc = BeginPaint(hwnd, &ps);
    const LONG_PTR colour = GetWindowLongPtrW(hwnd, GWLP_USERDATA);
    if (hdc && colour) {
        FillClient(hwnd, hdc, static_cast<COLORREF>(colour & 0xFFFFFF));
    }
    EndPaint(hwnd, &ps);
    return 0;
}

class WindowPaintingTest : public testing::Test {
protected:
    WindowPaintingTest() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PaintingProc;
        wc.lpszClassName = L"PaintingWindow";
        RegisterClassExW(&wc);
    }
    ~WindowPaintingTest() override {
        for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
            DestroyWindow(*it);
        }
    }

    // A window at (x, y) in its parent (on the screen without one), 0x1000000 | colour in its user data
    // when it paints itself.
    HWND Make(HWND parent, DWORD style, int x, int y, int cx, int cy, COLORREF colour = CLR_INVALID) {
        const HWND hwnd = CreateWindowExW(0, L"PaintingWindow", L"", style | WS_VISIBLE, x, y, cx, cy, parent,
                                          nullptr, nullptr, nullptr);
        if (colour != CLR_INVALID) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(0x1000000 | colour));
        }
        m_windows.push_back(hwnd);
        return hwnd;
    }
    HWND MakeParent(DWORD style) { return Make(nullptr, WS_POPUP | style, kLeft, kTop, 200, 120, kWhite); }

    // Runs the thread's messages until no window needs painting.
    static void PaintAll() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && std::chrono::steady_clock::now() < deadline) {
            DispatchMessageW(&msg);
        }
    }

    static void DrawThroughDC(HWND hwnd) {
        const HDC hdc = GetDC(hwnd);
        ASSERT_NE(hdc, nullptr);
        FillClient(hwnd, hdc, kDrawn);
        ReleaseDC(hwnd, hdc);
    }

    // The screen's colour at a point of the window's client area.
    static COLORREF ScreenAt(HWND hwnd, int x, int y) {
        POINT point{x, y};
        ClientToScreen(hwnd, &point);
        return platform::desktop::ComposeScreen().At(point.x, point.y);
    }

    testing_support::CTestMachine m_machine;
    std::vector<HWND> m_windows;
};

struct ClipChildrenCase {
    const char* name;
    DWORD parentStyle;
    bool throughPaint; // the parent's paint DC after RedrawWindow without its children, else GetDC
    COLORREF childShows;
};

class WindowClipChildren : public WindowPaintingTest, public testing::WithParamInterface<ClipChildrenCase> {};

TEST_P(WindowClipChildren, TheParentsDcCoversItsChildrenOnlyWithoutTheStyle) {
    const ClipChildrenCase& c = GetParam();
    const HWND parent = MakeParent(c.parentStyle);
    const HWND child = Make(parent, WS_CHILD, 20, 20, 40, 40, kBoxColour);
    const HWND hidden = Make(parent, WS_CHILD, 100, 20, 40, 40, kBoxColour);
    ShowWindow(hidden, SW_HIDE);
    PaintAll();
    ASSERT_EQ(ScreenAt(child, 20, 20), kBoxColour);

    if (c.throughPaint) {
        SetWindowLongPtrW(parent, GWLP_USERDATA, static_cast<LONG_PTR>(0x1000000 | kDrawn));
        ASSERT_TRUE(RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN | RDW_UPDATENOW));
    } else {
        DrawThroughDC(parent);
    }
    EXPECT_EQ(ScreenAt(parent, 5, 5), kDrawn);
    EXPECT_EQ(ScreenAt(child, 20, 20), c.childShows);
    EXPECT_EQ(ScreenAt(parent, 120, 40), kDrawn) << "a hidden child takes nothing from its parent";
}

INSTANTIATE_TEST_SUITE_P(
    Styles, WindowClipChildren,
    testing::Values(ClipChildrenCase{"ClientDcWithoutTheStyle", 0, false, kDrawn},
                    ClipChildrenCase{"ClientDcWithTheStyle", WS_CLIPCHILDREN, false, kBoxColour},
                    ClipChildrenCase{"PaintDcWithoutTheStyle", 0, true, kDrawn},
                    ClipChildrenCase{"PaintDcWithTheStyle", WS_CLIPCHILDREN, true, kBoxColour}),
    [](const testing::TestParamInfo<ClipChildrenCase>& info) { return std::string(info.param.name); });

struct InvalidationCase {
    const char* name;
    DWORD parentStyle;
    UINT flags; // RedrawWindow's; 0 for InvalidateRect
    bool reachesChildren;
};

class WindowInvalidation : public WindowPaintingTest, public testing::WithParamInterface<InvalidationCase> {};

TEST_P(WindowInvalidation, InvalidatingTheParentReachesItsChildrenAsRedrawWindowsRulesSay) {
    const InvalidationCase& c = GetParam();
    const HWND parent = MakeParent(c.parentStyle);
    const HWND child = Make(parent, WS_CHILD, 20, 20, 80, 60, kBoxColour);
    const HWND grandchild = Make(child, WS_CHILD, 10, 10, 20, 20, kOtherBoxColour);
    PaintAll();
    ASSERT_FALSE(GetUpdateRect(child, nullptr, FALSE));

    if (c.flags == 0) {
        ASSERT_TRUE(InvalidateRect(parent, nullptr, TRUE));
    } else {
        ASSERT_TRUE(RedrawWindow(parent, nullptr, nullptr, c.flags));
    }
    EXPECT_TRUE(GetUpdateRect(parent, nullptr, FALSE));
    EXPECT_EQ(GetUpdateRect(child, nullptr, FALSE) != FALSE, c.reachesChildren);
    EXPECT_EQ(GetUpdateRect(grandchild, nullptr, FALSE) != FALSE, c.reachesChildren);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, WindowInvalidation,
    testing::Values(InvalidationCase{"InvalidateRectWithoutTheStyle", 0, 0, true},
                    InvalidationCase{"InvalidateRectWithTheStyle", WS_CLIPCHILDREN, 0, false},
                    InvalidationCase{"RedrawWindowWithoutTheStyle", 0, RDW_INVALIDATE, true},
                    InvalidationCase{"RedrawWindowWithTheStyle", WS_CLIPCHILDREN, RDW_INVALIDATE, false},
                    InvalidationCase{"AllChildrenWithTheStyle", WS_CLIPCHILDREN,
                                     RDW_INVALIDATE | RDW_ALLCHILDREN, true},
                    InvalidationCase{"NoChildrenWithoutTheStyle", 0, RDW_INVALIDATE | RDW_NOCHILDREN, false}),
    [](const testing::TestParamInfo<InvalidationCase>& info) { return std::string(info.param.name); });

struct ClipSiblingsCase {
    const char* name;
    DWORD lowerStyle;  // of the window drawn through, or of its parent when drawnInChild
    bool drawnInChild; // through a child of the lower window, in the same overlap
    COLORREF overlapShows;
};

class WindowClipSiblings : public WindowPaintingTest, public testing::WithParamInterface<ClipSiblingsCase> {};

// The first child made stands above the second; they overlap in (60..100, 20..60) of the parent.
TEST_P(WindowClipSiblings, ALowerSiblingsDcCoversTheUpperOneOnlyWithoutTheStyle) {
    const ClipSiblingsCase& c = GetParam();
    const HWND parent = MakeParent(WS_CLIPCHILDREN);
    const HWND upper = Make(parent, WS_CHILD, 60, 20, 80, 80, kBoxColour);
    const HWND lower = Make(parent, WS_CHILD | c.lowerStyle, 10, 10, 90, 50, kOtherBoxColour);
    const HWND inLower = c.drawnInChild ? Make(lower, WS_CHILD, 0, 0, 90, 50, kOtherBoxColour) : nullptr;
    PaintAll();
    ASSERT_EQ(ScreenAt(parent, 80, 40), kBoxColour);

    DrawThroughDC(c.drawnInChild ? inLower : lower);
    EXPECT_EQ(ScreenAt(parent, 20, 20), kDrawn);
    EXPECT_EQ(ScreenAt(parent, 80, 40), c.overlapShows);

    DrawThroughDC(upper);
    EXPECT_EQ(ScreenAt(parent, 80, 40), kDrawn) << "the upper window draws over the lower one";
}

INSTANTIATE_TEST_SUITE_P(
    Styles, WindowClipSiblings,
    testing::Values(ClipSiblingsCase{"WithoutTheStyle", 0, false, kDrawn},
                    ClipSiblingsCase{"WithTheStyle", WS_CLIPSIBLINGS, false, kBoxColour},
                    ClipSiblingsCase{"ChildOfAWindowWithoutTheStyle", 0, true, kDrawn},
                    ClipSiblingsCase{"ChildOfAWindowWithTheStyle", WS_CLIPSIBLINGS, true, kBoxColour}),
    [](const testing::TestParamInfo<ClipSiblingsCase>& info) { return std::string(info.param.name); });

} // namespace
