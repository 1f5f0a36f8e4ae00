// The window presenter on a display of the test's own (Xvfb): a dialog made from a template shows in the
// real window with the headless screen's pixels, a click sent to the X window reaches the dialog, and the
// window losing the keyboard focus deactivates the program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/framework_controls.h"
#include "platform/window/Desktop.h"
#include "platform/window/SdlPresenter.h"
#include "tests/platform/DisplayTestSupport.h"
#include "tests/platform/WindowTestSupport.h"
#include "tests/platform/XServerTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using platform::desktop::CScreenImage;
using window_test::PumpUntil;

// A button to press and a black box, so that the screen shows more than the desktop.
const char kPresentedDialog[] =
    R"({"id": 970, "style": "DS_SETFONT | WS_POPUP | WS_VISIBLE", "caption": "Presented", "rect": [40, 40, 160, 80],
  "font": {"face": "MS Shell Dlg", "pointSize": 8, "weight": 400, "italic": 0, "charset": 1},
  "controls": [
    {"id": 1001, "class": "Button", "text": "Press", "style": "BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP", "rect": [10, 10, 60, 16]},
    {"id": 1002, "class": "Static", "text": "", "style": "0x4 | WS_VISIBLE", "rect": [80, 10, 40, 20]}
  ]})";
const platform::EmbeddedFile kDialogs[] = {window_test::File("970.json", kPresentedDialog),
                                           platform::EmbeddedFile{nullptr, nullptr, 0}};

class CPresentedDlg : public CDialog {
public:
    CPresentedDlg() : CDialog(970) {}
    void OnPress() { ++m_nPresses; }
    void OnActivateApp(BOOL bActive, DWORD dwThreadID) {
        m_activations.push_back(bActive);
        CDialog::OnActivateApp(bActive, dwThreadID);
    }

    int m_nPresses = 0;
    std::vector<BOOL> m_activations;

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPresentedDlg, CDialog)
ON_BN_CLICKED(1001, &CPresentedDlg::OnPress)
ON_WM_ACTIVATEAPP()
END_MESSAGE_MAP()

// How many pixels of the X window differ from the screen; -1 when the sizes differ.
long Differences(const CScreenImage& screen, const x_test::CXImage& shown) {
    if (screen.width != shown.width || screen.height != shown.height) {
        return -1;
    }
    long differences = 0;
    for (size_t i = 0; i < screen.pixels.size(); ++i) {
        differences += screen.pixels[i] != shown.pixels[i] ? 1 : 0;
    }
    return differences;
}

// The screens the presenter shows: one monitor, and a smaller one left of the primary, so that the
// screen's origin is not the window's. The desktop takes the monitors it finds when it is made, as the
// process's first window test (each test runs in a process of its own) makes it.
struct SScreen {
    const char* name;
    nlohmann::json monitors;
};
void PrintTo(const SScreen& screen, std::ostream* os) {
    *os << screen.name;
}
std::vector<SScreen> Screens() {
    nlohmann::json left = display_test::Monitor(96, -640);
    left["device"] = "\\\\.\\DISPLAY2";
    left["width"] = 640;
    left["height"] = 480;
    return {{"OneMonitor", nlohmann::json::array({display_test::Monitor(96)})},
            {"MonitorLeftOfThePrimary", nlohmann::json::array({display_test::Monitor(96), left})}};
}

class SdlPresenterTest : public testing::TestWithParam<SScreen> {
protected:
    void SetUp() override {
        if (!x_test::CXServer::IsInstalled()) {
            GTEST_SKIP() << "Xvfb is not installed";
        }
        m_server = std::make_unique<x_test::CXServer>();
        ASSERT_TRUE(m_server->IsRunning());
        if (const char* display = std::getenv("DISPLAY")) {
            m_previousDisplay = display;
        }
        setenv("DISPLAY", m_server->DisplayName().c_str(), 1);
        display_test::SetMonitors(m_machine, GetParam().monitors);
        std::unique_ptr<platform::desktop::CPresenter> presenter = platform::desktop::MakeWindowPresenter();
        ASSERT_TRUE(presenter);
        m_previousPresenter = platform::desktop::SetPresenter(std::move(presenter));
        m_bPresenting = true;
        ASSERT_TRUE(m_dialog.Create(970));
        ASSERT_TRUE(PumpUntil([&] { return (m_window = m_server->FindViewableWindow("FlipdeckEx")) != 0; }));
    }

    void TearDown() override {
        m_dialog.DestroyWindow();
        if (m_bPresenting) {
            platform::desktop::SetPresenter(std::move(m_previousPresenter));
        }
        if (m_previousDisplay) {
            setenv("DISPLAY", m_previousDisplay->c_str(), 1);
        } else {
            unsetenv("DISPLAY");
        }
    }

    // The X window's point of a screen point (the window shows the screen unscaled).
    static POINT WindowPoint(POINT screen) {
        const RECT bounds = platform::desktop::ScreenRect();
        return POINT{screen.x - bounds.left, screen.y - bounds.top};
    }

    testing_support::CTestMachine m_machine;
    window_test::CDialogResources m_resources{kDialogs};
    std::unique_ptr<x_test::CXServer> m_server;
    std::optional<std::string> m_previousDisplay;
    std::unique_ptr<platform::desktop::CPresenter> m_previousPresenter;
    bool m_bPresenting = false;
    CPresentedDlg m_dialog;
    x_test::XWindowId m_window = 0;
};

TEST_P(SdlPresenterTest, TheWindowShowsTheHeadlessScreensPixels) {
    long differences = -1;
    EXPECT_TRUE(PumpUntil([&] {
        differences = Differences(platform::desktop::ComposeScreen(), m_server->Capture(m_window));
        return differences == 0;
    })) << differences
        << " pixels differ";

    // The screen compared holds the dialog: its black box where the template puts it.
    RECT box{80, 10, 120, 30};
    MapDialogRect(m_dialog.m_hWnd, &box);
    CRect dialog;
    m_dialog.GetWindowRect(dialog);
    const POINT at =
        WindowPoint(POINT{dialog.left + (box.left + box.right) / 2, dialog.top + (box.top + box.bottom) / 2});
    const x_test::CXImage shown = m_server->Capture(m_window);
    const size_t index =
        static_cast<size_t>(at.y) * static_cast<size_t>(shown.width) + static_cast<size_t>(at.x);
    ASSERT_LT(index, shown.pixels.size());
    EXPECT_EQ(shown.pixels[index], 0u);
}

TEST_P(SdlPresenterTest, AClickSentToTheXWindowReachesTheDialog) {
    CRect button;
    m_dialog.GetDlgItem(1001)->GetWindowRect(button);
    const POINT at = WindowPoint(button.CenterPoint());
    ASSERT_EQ(x_test::RunProgram({"xdotool", "mousemove", "--window", std::to_string(m_window),
                                  std::to_string(at.x), std::to_string(at.y), "click", "1"}),
              0);
    EXPECT_TRUE(PumpUntil([&] { return m_dialog.m_nPresses == 1; }));
}

TEST_P(SdlPresenterTest, TheWindowLosingTheFocusDeactivatesTheProgram) {
    ASSERT_EQ(GetForegroundWindow(), m_dialog.m_hWnd);
    const x_test::XWindowId other = m_server->MakeOtherWindow();
    ASSERT_NE(other, 0u);
    m_server->SetFocus(m_window);
    m_server->SetFocus(other);
    EXPECT_TRUE(PumpUntil([&] { return !m_dialog.m_activations.empty() && !m_dialog.m_activations.back(); }));
    EXPECT_NE(GetForegroundWindow(), m_dialog.m_hWnd);
}

INSTANTIATE_TEST_SUITE_P(Screens, SdlPresenterTest, testing::ValuesIn(Screens()),
                         [](const testing::TestParamInfo<SScreen>& info) { return info.param.name; });

} // namespace
