// The window system's message semantics: sent and posted messages across threads, modal runs, WM_SIZE,
// timers, the framework's pre-translation chain, dialog navigation, hover tracking and button clicks.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/display.h"
#include "platform/framework_controls.h"
#include "platform/framework_window.h"
#include "platform/resources/ModuleResources.h"
#include "platform/threads.h"
#include "platform/window/Desktop.h"
#include "tests/platform/DisplayTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using platform::EmbeddedFile;

template <size_t N> EmbeddedFile File(const char* name, const char (&text)[N]) {
    return EmbeddedFile{name, reinterpret_cast<const unsigned char*>(text), N - 1};
}

// A dialog with two buttons, and a control-parent child dialog with one more button and a black box.
const char kOuterDialog[] =
    R"({"id": 901, "style": "DS_SETFONT | WS_POPUP | WS_VISIBLE", "rect": [10, 10, 200, 120],
  "font": {"face": "MS Shell Dlg", "pointSize": 8, "weight": 400, "italic": 0, "charset": 1},
  "controls": [
    {"id": 1001, "class": "Button", "text": "One", "style": "BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP", "rect": [10, 10, 50, 14]},
    {"id": 1002, "class": "Button", "text": "Two", "style": "BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP", "rect": [70, 10, 50, 14]},
    {"id": 1003, "class": "Static", "text": "", "style": "0x4 | WS_VISIBLE", "rect": [10, 40, 40, 20]}
  ]})";
const char kInnerDialog[] =
    R"({"id": 902, "style": "DS_SETFONT | DS_CONTROL | WS_CHILD | WS_VISIBLE", "rect": [0, 70, 200, 40],
  "font": {"face": "MS Shell Dlg", "pointSize": 8, "weight": 400, "italic": 0, "charset": 1},
  "controls": [
    {"id": 1101, "class": "Button", "text": "Three", "style": "BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP", "rect": [10, 5, 50, 14]}
  ]})";
const EmbeddedFile kNone[] = {EmbeddedFile{nullptr, nullptr, 0}};
const EmbeddedFile kDialogs[] = {File("901.json", kOuterDialog), File("902.json", kInnerDialog),
                                 EmbeddedFile{nullptr, nullptr, 0}};
const platform::ModuleResources kResources{kNone, kNone, kDialogs};

// Messages a test window received, by the thread that ran its procedure.
struct CRecord {
    std::atomic<int> sizes{0};
    std::atomic<int> timers{0};
    std::atomic<DWORD> sentOn{0};
    std::vector<UINT> messages;
    std::vector<HELPINFO> helps;
};
CRecord* g_pRecord = nullptr;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        ++g_pRecord->sizes;
        break;
    case WM_TIMER:
        ++g_pRecord->timers;
        return 0;
    case WM_USER + 1:
        g_pRecord->sentOn = GetCurrentThreadId();
        return 42;
    case WM_MOUSEHOVER:
    case WM_MOUSELEAVE:
        g_pRecord->messages.push_back(message);
        return 0;
    case WM_HELP:
        g_pRecord->helps.push_back(*reinterpret_cast<const HELPINFO*>(lParam));
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class WindowTest : public testing::Test {
protected:
    WindowTest() : m_previous(platform::SetProgramResources(&kResources)) {
        g_pRecord = &m_record;
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = L"RecordingWindow";
        RegisterClassExW(&wc);
    }
    ~WindowTest() override {
        for (HWND hwnd : m_windows) {
            DestroyWindow(hwnd);
        }
        g_pRecord = nullptr;
        platform::SetProgramResources(m_previous);
    }

    HWND MakeWindow(int x = 100, int y = 100, int cx = 200, int cy = 100) {
        const HWND hwnd = CreateWindowExW(0, L"RecordingWindow", L"", WS_POPUP | WS_VISIBLE, x, y, cx, cy,
                                          nullptr, nullptr, nullptr, nullptr);
        m_windows.push_back(hwnd);
        return hwnd;
    }

    // Runs the thread's messages until the condition holds or the time is up. The first idle moment
    // presents the whole screen, which takes a while under the sanitizers, so the bound is generous.
    template <typename Condition>
    static bool PumpUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        MSG msg;
        while (!condition() && std::chrono::steady_clock::now() < deadline) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return condition();
    }
    // Runs the thread's messages for a while, for what must not happen.
    static void PumpFor(std::chrono::milliseconds time) {
        PumpUntil([] { return false; }, time);
    }

    testing_support::CTestMachine m_machine;
    CRecord m_record;
    std::vector<HWND> m_windows;

private:
    const platform::ModuleResources* m_previous;
};

TEST_F(WindowTest, CrossThreadSendWaitsForTheOwnerAndRunsOnlyInsideItsMessageCalls) {
    const HWND hwnd = MakeWindow();
    std::atomic<LRESULT> result{0};
    std::atomic<bool> done{false};
    std::thread sender([&] {
        result = SendMessageW(hwnd, WM_USER + 1, 0, 0);
        done = true;
    });
    Sleep(50);
    EXPECT_FALSE(done) << "a sent message is not run while its owner sleeps";
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    sender.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(m_record.sentOn, GetCurrentThreadId());
}

TEST_F(WindowTest, SendingToADestroyedWindowAnswersZero) {
    const HWND hwnd = MakeWindow();
    DestroyWindow(hwnd);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 0, 0), 0);
    EXPECT_FALSE(PostMessageW(hwnd, WM_USER + 1, 0, 0));
}

TEST_F(WindowTest, WmSizeOnlyWhenTheSizeChanges) {
    const HWND hwnd = MakeWindow();
    const int before = m_record.sizes;
    SetWindowPos(hwnd, nullptr, 100, 100, 200, 100, SWP_NOZORDER);
    MoveWindow(hwnd, 150, 120, 200, 100, TRUE);
    EXPECT_EQ(m_record.sizes, before) << "same size, moved or not";
    MoveWindow(hwnd, 150, 120, 210, 100, TRUE);
    EXPECT_EQ(m_record.sizes, before + 1);
}

// The children of a window, top of the z-order first.
std::vector<HWND> ChildrenInZOrder(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

TEST_F(WindowTest, SetWindowPosPlacesAfterSiblingsOnlyAndRefusesWhatIsNoWindow) {
    enum Target { kSibling, kParent, kItself, kOtherParentsChild, kNoWindow };
    struct {
        const char* name;
        Target after;
        UINT flags;
        BOOL result;
        bool reordered; // the child moves behind its last sibling
        bool placed;    // it takes the new position and size
    } const cases[] = {
        {"a sibling", kSibling, 0, TRUE, true, true},
        {"its parent", kParent, 0, TRUE, false, true},
        {"itself", kItself, 0, TRUE, false, true},
        {"a child of another window", kOtherParentsChild, 0, TRUE, false, true},
        {"no window", kNoWindow, 0, FALSE, false, false},
        {"no window, no z-order asked", kNoWindow, SWP_NOZORDER, TRUE, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HWND parent = MakeWindow();
        const HWND other = MakeWindow(400, 100);
        HWND children[3] = {};
        for (HWND& child : children) {
            child = CreateWindowExW(0, L"RecordingWindow", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                                    nullptr, nullptr, nullptr);
        }
        const HWND otherChild = CreateWindowExW(0, L"RecordingWindow", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10,
                                                10, other, nullptr, nullptr, nullptr);
        const std::vector<HWND> before = ChildrenInZOrder(parent);
        const HWND moved = before.front();
        const HWND targets[] = {before.back(), parent, moved, otherChild, reinterpret_cast<HWND>(0x7FFF0001)};

        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(SetWindowPos(moved, targets[c.after], 5, 6, 50, 20, c.flags | SWP_NOACTIVATE), c.result);
        if (!c.result) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        }
        std::vector<HWND> expected = before;
        if (c.reordered) {
            std::rotate(expected.begin(), expected.begin() + 1, expected.end());
        }
        EXPECT_EQ(ChildrenInZOrder(parent), expected);
        RECT rect{};
        GetWindowRect(moved, &rect);
        RECT frame{};
        GetWindowRect(parent, &frame);
        EXPECT_EQ(rect.left - frame.left == 5 && rect.right - rect.left == 50, c.placed);
    }
}

TEST_F(WindowTest, ATopLevelWindowPlacedAfterAnotherJoinsItsBand) {
    const HWND topmost = MakeWindow();
    const HWND plain = MakeWindow();
    SetWindowPos(topmost, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const auto isTopmost = [](HWND hwnd) { return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    ASSERT_TRUE(isTopmost(topmost));
    ASSERT_FALSE(isTopmost(plain));

    ASSERT_TRUE(SetWindowPos(plain, topmost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    EXPECT_TRUE(isTopmost(plain)) << "behind a topmost window is in the topmost band";
    EXPECT_EQ(GetWindow(topmost, GW_HWNDNEXT), plain);

    const HWND other = MakeWindow();
    ASSERT_TRUE(SetWindowPos(topmost, other, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    EXPECT_FALSE(isTopmost(topmost)) << "behind a plain window is in the plain band";
    EXPECT_EQ(GetWindow(other, GW_HWNDNEXT), topmost);
}

TEST_F(WindowTest, TimersFireUntilKilled) {
    const HWND hwnd = MakeWindow();
    ASSERT_EQ(SetTimer(hwnd, 7, 10, nullptr), 7u);
    EXPECT_TRUE(PumpUntil([&] { return m_record.timers >= 2; }));
    KillTimer(hwnd, 7);
    const int fired = m_record.timers;
    PumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(m_record.timers, fired);
}

// A busy machine delivers a timer late, never early.
TEST_F(WindowTest, ABusyMachinesTimerFiresNoEarlierThanItsLateness) {
    testing_support::SetMachineFact(m_machine.Folder(), "/session/timerLatenessMs", 1500);
    const HWND hwnd = MakeWindow();
    const auto set = std::chrono::steady_clock::now();
    ASSERT_EQ(SetTimer(hwnd, 7, 10, nullptr), 7u);
    EXPECT_TRUE(PumpUntil([&] { return m_record.timers >= 1; }));
    EXPECT_GE(std::chrono::steady_clock::now() - set, std::chrono::milliseconds(1500));
    KillTimer(hwnd, 7);
}

TEST_F(WindowTest, HoverAfterTheHoverTimeThenLeave) {
    const HWND hwnd = MakeWindow(300, 300, 100, 100);
    platform::desktop::MoveMouse(POINT{320, 320});
    PumpFor(std::chrono::milliseconds(300));
    TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, hwnd, 10};
    ASSERT_TRUE(_TrackMouseEvent(&track));
    EXPECT_TRUE(PumpUntil([&] { return !m_record.messages.empty(); }));
    platform::desktop::MoveMouse(POINT{10, 10});
    EXPECT_TRUE(PumpUntil([&] { return m_record.messages.size() >= 2; }));
    EXPECT_EQ(m_record.messages, (std::vector<UINT>{WM_MOUSEHOVER, WM_MOUSELEAVE}));
}

TEST_F(WindowTest, F1AsksForHelpForTheFocusedControlAndTheRequestClimbsToItsWindow) {
    struct {
        const char* name;
        UINT taken; // the message the thread takes before translation, or 0
        size_t helps;
    } const cases[] = {
        {"every message translated", 0, 1},
        {"the key taken", WM_KEYDOWN, 0},
        {"WM_KEYF1 taken", WM_KEYF1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HWND top = MakeWindow();
        const HWND button = CreateWindowExW(0, L"Button", L"Go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10,
                                            10, 50, 20, top, reinterpret_cast<HMENU>(77), nullptr, nullptr);
        SetForegroundWindow(top);
        SetFocus(button);
        m_record.helps.clear();
        platform::desktop::PressKey(VK_F1);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == c.taken && (c.taken != WM_KEYDOWN || msg.wParam == VK_F1)) {
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        ASSERT_EQ(m_record.helps.size(), c.helps);
        if (c.helps) {
            const HELPINFO& help = m_record.helps.front();
            EXPECT_EQ(help.cbSize, sizeof(HELPINFO));
            EXPECT_EQ(help.iContextType, HELPINFO_WINDOW);
            EXPECT_EQ(help.iCtrlId, 77);
            EXPECT_EQ(help.hItemHandle, button);
        }
    }
}

TEST_F(WindowTest, TheShellsWindowsStandInTheTaskbarWithTheToolbarInTheRebar) {
    const HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    const HWND rebar = FindWindowExW(tray, nullptr, L"ReBarWindow32", nullptr);
    const HWND toolbar = FindWindowExW(rebar, nullptr, L"Corvex Rigpanel Ampwise", nullptr);
    ASSERT_TRUE(tray && FindWindowExW(tray, nullptr, L"TrayNotifyWnd", nullptr) && toolbar);
    RECT bar;
    RECT tool;
    GetWindowRect(tray, &bar);
    GetWindowRect(toolbar, &tool);
    EXPECT_EQ(bar.bottom, 1080);
    EXPECT_TRUE(tool.left >= bar.left && tool.right <= bar.right && tool.top == bar.top);
    EXPECT_EQ(platform::desktop::ComposeScreen().At(tool.left + 5, tool.top + 5), RGB(58, 58, 58));
}

TEST_F(WindowTest, PostQuitMessageEndsAModalRunAndStaysQueued) {
    const INT_PTR result = DialogBoxParamW(
        nullptr, MAKEINTRESOURCEW(901), nullptr,
        [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
            if (message == WM_INITDIALOG) {
                PostQuitMessage(5);
            }
            return FALSE;
        },
        0);
    EXPECT_EQ(result, -1);
    MSG msg;
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 5u);
}

// ---- The framework ----
std::vector<std::string>* g_pTrail = nullptr;
constexpr UINT kQueryFocus = WM_USER + 50;

class CTrailButton : public CButton {
public:
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN && g_pTrail) {
            g_pTrail->push_back("button");
        }
        return CButton::PreTranslateMessage(pMsg);
    }
};

class CInnerDlg : public CDialog {
public:
    CInnerDlg() : CDialog(902) {}
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN && g_pTrail) {
            g_pTrail->push_back("inner");
        }
        return CDialog::PreTranslateMessage(pMsg);
    }
    CTrailButton m_three;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, 1101, m_three); }
};

class CTestDlg : public CDialog {
public:
    CTestDlg() : CDialog(901) {}
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_inner.Create(902, this);
        if (m_onInit) {
            m_onInit(*this);
        }
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN && g_pTrail) {
            g_pTrail->push_back("outer");
        }
        return CDialog::PreTranslateMessage(pMsg);
    }
    void OnClickedTwo() { ++m_nClicks; }
    // The focus of the dialog's thread, asked from another thread.
    LRESULT OnQueryFocus(WPARAM, LPARAM) { return ::GetDlgCtrlID(::GetFocus()); }

    CButton m_one;
    CButton m_two;
    CInnerDlg m_inner;
    int m_nClicks = 0;
    std::function<void(CTestDlg&)> m_onInit;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, 1001, m_one);
        DDX_Control(pDX, 1002, m_two);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
ON_BN_CLICKED(1002, &CTestDlg::OnClickedTwo)
ON_MESSAGE(kQueryFocus, &CTestDlg::OnQueryFocus)
END_MESSAGE_MAP()

class CTrailApp : public CWinApp {
public:
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN && g_pTrail) {
            g_pTrail->push_back("app");
        }
        return CWinApp::PreTranslateMessage(pMsg);
    }
};

// Runs the dialog modally while a worker drives it with input and then closes it with WM_CLOSE.
class DialogTest : public WindowTest {
protected:
    INT_PTR RunWith(CTestDlg& dialog, const std::function<void(CTestDlg&)>& script) {
        dialog.m_onInit = [script](CTestDlg& dlg) {
            const HWND hwnd = dlg.m_hWnd;
            std::thread([&dlg, hwnd, script] {
                platform::desktop::WaitUntilSettled();
                script(dlg);
                platform::desktop::WaitUntilSettled();
                PostMessageW(hwnd, WM_CLOSE, 0, 0);
            }).detach();
        };
        return dialog.DoModal();
    }
    static void Keys(std::initializer_list<BYTE> keys) {
        for (BYTE key : keys) {
            platform::desktop::PressKey(key);
            platform::desktop::WaitUntilSettled();
        }
    }
    CTrailApp m_app;
};

TEST_F(DialogTest, WmCloseEndsTheModalRunWithIdCancel) {
    CTestDlg dialog;
    EXPECT_EQ(RunWith(dialog, [](CTestDlg&) {}), IDCANCEL);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST_F(DialogTest, TabCrossesControlParentChildrenAndWraps) {
    CTestDlg dialog;
    std::vector<int> focused;
    RunWith(dialog, [&](CTestDlg& dlg) {
        focused.push_back(static_cast<int>(SendMessageW(dlg.m_hWnd, kQueryFocus, 0, 0)));
        for (int i = 0; i < 3; ++i) {
            Keys({VK_TAB});
            focused.push_back(static_cast<int>(SendMessageW(dlg.m_hWnd, kQueryFocus, 0, 0)));
        }
    });
    EXPECT_EQ(focused, (std::vector<int>{1001, 1002, 1101, 1001}));
}

TEST_F(DialogTest, SpaceAndEnterOnTheFocusedButtonClickIt) {
    CTestDlg dialog;
    RunWith(dialog, [](CTestDlg&) {
        Keys({VK_TAB});    // from One to Two
        Keys({VK_SPACE});  // click
        Keys({VK_RETURN}); // click
    });
    EXPECT_EQ(dialog.m_nClicks, 2);
}

TEST_F(DialogTest, PreTranslateRunsTheApplicationThenTheTargetAndEachParent) {
    std::vector<std::string> trail;
    g_pTrail = &trail;
    CTestDlg dialog;
    RunWith(dialog, [](CTestDlg&) {
        // The inner dialog's button takes the focus through navigation: One, Two, Three.
        Keys({VK_TAB, VK_TAB});
        Keys({VK_F1});
    });
    g_pTrail = nullptr;
    // The inner dialog's navigation takes the key, so the walk ends there.
    ASSERT_GE(trail.size(), 3u);
    const std::vector<std::string> last(trail.end() - 3, trail.end());
    EXPECT_EQ(last, (std::vector<std::string>{"app", "button", "inner"}));
}

// The black box of the template (control 1003, 40 x 20 dialog units), found on the composed screen.
RECT BlackBoxOnScreen(HWND hDlg) {
    RECT box{10, 40, 50, 60};
    MapDialogRect(hDlg, &box);
    RECT dialog;
    GetWindowRect(hDlg, &dialog);
    OffsetRect(&box, dialog.left, dialog.top);
    return box;
}

TEST_F(DialogTest, TheScreenShowsTheTemplateControlsWhereItPutsThemAtEachDpi) {
    SetProcessDpiAwareness(PROCESS_PER_MONITOR_DPI_AWARE);
    std::vector<LONG> widths;
    for (int dpi : {96, 144}) {
        display_test::SetMonitors(m_machine, nlohmann::json::array({display_test::Monitor(dpi)}));
        CTestDlg dialog;
        RunWith(dialog, [&](CTestDlg& dlg) {
            const RECT box = BlackBoxOnScreen(dlg.m_hWnd);
            const platform::desktop::CScreenImage screen = platform::desktop::ComposeScreen();
            const LONG midY = (box.top + box.bottom) / 2;
            EXPECT_EQ(screen.At(box.left, box.top), RGB(0, 0, 0)) << dpi;
            EXPECT_EQ(screen.At(box.right - 1, box.bottom - 1), RGB(0, 0, 0)) << dpi;
            EXPECT_NE(screen.At(box.left - 1, midY), RGB(0, 0, 0)) << dpi;
            EXPECT_NE(screen.At(box.right, midY), RGB(0, 0, 0)) << dpi;
            widths.push_back(box.right - box.left);
        });
    }
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_NEAR(static_cast<double>(widths[1]), widths[0] * 1.5, 3.0);
}

} // namespace
