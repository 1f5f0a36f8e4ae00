// The skinned controls' window tests: a parent window away from the screen origin, the thread's
// messages run as the framework's modal loop runs them (pre-translation first), and the pixels the
// controls put on the screen, compared with a reference drawn on a memory surface.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/window/Desktop.h"
#include "services/DrawingRoutines.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/platform/GdiTestSupport.h"

namespace controls_test {

// Every message the thread has now, each offered to the framework's pre-translation first.
inline void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// Runs the thread's messages until the condition holds or the time is up. The first idle moment
// presents the whole screen, which takes a while under the sanitizers, so the bound is generous.
template <typename Condition>
bool PumpUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (PumpMessages(); !condition() && std::chrono::steady_clock::now() < deadline; PumpMessages()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

inline bool HasUpdate(const CWnd& window) {
    RECT rc{};
    return ::GetUpdateRect(window.m_hWnd, &rc, FALSE) != FALSE;
}

inline HCURSOR ClassCursorOf(const CWnd& window) {
    return reinterpret_cast<HCURSOR>(::GetClassLongPtrW(window.m_hWnd, GCLP_HCURSOR));
}

// The window's client area as the screen shows it now.
class CClientPixels {
public:
    explicit CClientPixels(const CWnd& window) : m_screen(platform::desktop::ComposeScreen()) {
        ::ClientToScreen(window.m_hWnd, &m_origin);
        ::GetClientRect(window.m_hWnd, &m_client);
    }

    COLORREF At(int x, int y) const { return m_screen.At(m_origin.x + x, m_origin.y + y); }
    int Width() const { return m_client.right; }
    int Height() const { return m_client.bottom; }

    // How many pixels of the area have (or, with bEqual false, lack) the colour.
    int Count(COLORREF color, const RECT& area, bool bEqual = true) const {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                count += (At(x, y) == color) == bEqual ? 1 : 0;
            }
        }
        return count;
    }
    int Count(COLORREF color) const { return Count(color, m_client); }

    // How many pixels of the client area differ from the reference surface's.
    int Differences(const gdi_test::CSurface& reference) const {
        int count = 0;
        for (int y = 0; y < m_client.bottom; ++y) {
            for (int x = 0; x < m_client.right; ++x) {
                count += At(x, y) == reference.Pixel(x, y) ? 0 : 1;
            }
        }
        return count;
    }

private:
    platform::desktop::CScreenImage m_screen;
    POINT m_origin{0, 0};
    RECT m_client{};
};

// The PNG of that id stretched into the rectangle, for a reference surface.
inline void DrawPng(Gdiplus::Graphics& graphics, int nId, int x, int y, int cx, int cy) {
    Gdiplus::Bitmap* pImage = nullptr;
    ASSERT_TRUE(LoadPngFromResource(nId, &pImage));
    graphics.DrawImage(pImage, x, y, cx, cy);
    delete pImage;
}

// A test with a visible parent popup at (100, 100) on a 96-DPI screen, the mouse away from it.
class CControlWindowTest : public CControlsTest {
protected:
    void SetUp() override {
        CControlsTest::SetUp();
        SetDpi(96);
        platform::desktop::MoveMouse(POINT{1, 1});
    }

    CWnd& MakeParent(int cx = 300, int cy = 120) { return MakeWindow(cx, cy); }

    // The screen point of a client point of the window.
    static POINT OnScreen(const CWnd& window, POINT client) {
        ::ClientToScreen(window.m_hWnd, &client);
        return client;
    }

    // Runs the messages until the window has nothing left to paint.
    static bool Painted(const CWnd& window) {
        return PumpUntil([&window] { return !HasUpdate(window); });
    }
};

} // namespace controls_test
