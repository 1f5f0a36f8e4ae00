// The tests of the panels that the program's own body keeps out: a container that creates them and
// records what they send it, on a machine with the host's contract instance in an apartment.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/PanelTabs.h"
#include "platform/com.h"
#include "services/ContractClient.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"
#include "tests/support/TestMachine.h"

namespace panels_test {

using controls_test::PumpMessages;
using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::RunMachineTool;
using testing_support::ReadMachineEvents;

// The panels' owner: a visible popup that counts the WM_SIZE (0, 0) its panels send and keeps the
// headings they ask for.
class CPanelContainer : public CWnd {
public:
    int m_nRelayouts = 0;
    std::vector<WPARAM> m_headingRequests;

protected:
    void OnSize(UINT nType, int cx, int cy) {
        if (nType == 0 && cx == 0 && cy == 0) {
            ++m_nRelayouts;
        }
    }
    LRESULT OnSwitchHeading(WPARAM wParam, LPARAM) {
        m_headingRequests.push_back(wParam);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

// A tooltip window that asks a panel for the text of one of its controls, as TTN_NEEDTEXTW does.
class CToolTipAsker {
public:
    CToolTipAsker()
        : m_hToolTip(::CreateWindowExW(WS_EX_TOPMOST, L"tooltips_class32", L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                       nullptr, nullptr, nullptr)) {}
    ~CToolTipAsker() { ::DestroyWindow(m_hToolTip); }
    CToolTipAsker(const CToolTipAsker&) = delete;
    CToolTipAsker& operator=(const CToolTipAsker&) = delete;

    // The text the panel gives the control's tool; "<none>" when it gives none.
    std::wstring Ask(CWnd& panel, const CWnd& tool) {
        NMTTDISPINFOW info{};
        info.hdr = NMHDR{m_hToolTip, reinterpret_cast<UINT_PTR>(tool.m_hWnd), TTN_NEEDTEXTW};
        info.uFlags = TTF_IDISHWND;
        panel.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        return info.lpszText ? std::wstring(info.lpszText) : std::wstring(L"<none>");
    }
    LRESULT MaxTipWidth() const { return ::SendMessageW(m_hToolTip, TTM_GETMAXTIPWIDTH, 0, 0); }

private:
    HWND m_hToolTip;
};

// A 96-DPI screen with the container at (100, 100), the mouse away from it, COM and, unless a test
// says otherwise, the host's contract instance.
class CPanelTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_TRUE(m_container.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, RECT{100, 100, 700, 600},
                                         nullptr, 0));
    }
    void TearDown() override {
        DestroyPanels();
        m_container.DestroyWindow();
        ReleaseContractInterface();
        CoUninitialize();
        CControlWindowTest::TearDown();
    }
    // Each test's panels go before the contract instance.
    virtual void DestroyPanels() {}

    static void StartContract() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }
    // The "file" of each URI opened through the shell.
    static std::vector<std::string> OpenedUris() {
        std::vector<std::string> uris;
        for (const nlohmann::json& record : testing_support::ReadMachineEvents("shell.execute")) {
            uris.push_back(record.value("file", ""));
        }
        return uris;
    }
    static CRect PlaceInParent(const CWnd& child) {
        CRect rc;
        child.GetWindowRect(&rc);
        ::MapWindowPoints(nullptr, ::GetParent(child.m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    static CRect ClientRectOf(const CWnd& wnd) {
        CRect rc;
        wnd.GetClientRect(&rc);
        return rc;
    }
    // A click on the child at a point of its client area, as the mouse gives it.
    static void ClickOn(const CWnd& window, POINT client) {
        platform::desktop::Click(OnScreen(window, client));
        PumpMessages();
    }
    static void ClickOnCentre(const CWnd& window) {
        const CRect rc = ClientRectOf(window);
        ClickOn(window, rc.CenterPoint());
    }
    // Runs the messages until nothing is left to do.
    static void Settle() {
        MSG msg;
        PumpUntil([&msg] { return !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); });
    }

    CPanelContainer m_container;
};

} // namespace panels_test
