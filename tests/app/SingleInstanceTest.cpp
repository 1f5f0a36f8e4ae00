// The single-instance check when another instance holds the mutex.
#include <gtest/gtest.h>

#include "app/FlipdeckExApp.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

// A minimised top-level window such as the running instance shows, with or without its marker property.
HWND RunningInstanceWindow(bool marked) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = L"RunningInstanceTest";
    RegisterClassExW(&windowClass);
    HWND hWnd = CreateWindowExW(0, L"RunningInstanceTest", L"Flyout", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100,
                                nullptr, nullptr, nullptr, nullptr);
    ShowWindow(hWnd, SW_MINIMIZE);
    if (marked) {
        SetPropW(hWnd, L"FlipdeckEx", reinterpret_cast<HANDLE>(1));
    }
    return hWnd;
}

TEST(SingleInstance, TheFirstInstanceIsAloneAndALaterOneFindsIt) {
    CTestMachine machine("business-win10");
    CFlipdeckExApp first;
    EXPECT_EQ(first.CheckSingleInstance(), 0);
    CFlipdeckExApp second;
    EXPECT_EQ(second.CheckSingleInstance(), 1);
    CloseHandle(second.m_hMutex);
    CloseHandle(first.m_hMutex);
}

TEST(SingleInstance, OnWindows11OnlyTheMarkedWindowIsRestoredAndBroughtForward) {
    for (const bool marked : {true, false}) {
        CTestMachine machine("consumer-win11");
        HANDLE held = CreateMutexW(nullptr, FALSE, L"FlipdeckAppInstance");
        HWND hWnd = RunningInstanceWindow(marked);
        CFlipdeckExApp app;
        AfxWinInit(nullptr, nullptr, const_cast<LPTSTR>(L""), SW_SHOW);
        EXPECT_EQ(app.CheckSingleInstance(), 1) << marked;
        EXPECT_EQ(IsIconic(hWnd), !marked) << marked;
        EXPECT_EQ(GetForegroundWindow() == hWnd, marked) << marked;
        DestroyWindow(hWnd);
        CloseHandle(app.m_hMutex);
        CloseHandle(held);
    }
}

} // namespace
