// Active accessibility: the role and name of each kind of window as a client reads them, the framework's
// windows that answer WM_GETOBJECT themselves while their flag is set, and the references handed out.
#include <gtest/gtest.h>

#include <string>

#include "platform/accessibility.h"
#include "platform/framework_controls.h"
#include "tests/platform/WindowTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

const char kControlsDialog[] =
    R"({"id": 960, "style": "DS_SETFONT | WS_POPUP | WS_VISIBLE", "caption": "Quick settings", "rect": [20, 20, 200, 120],
  "font": {"face": "MS Shell Dlg", "pointSize": 8, "weight": 400, "italic": 0, "charset": 1},
  "controls": [
    {"id": 1001, "class": "Button", "text": "Close", "style": "BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP", "rect": [10, 10, 50, 14]},
    {"id": 1002, "class": "Button", "text": "Owner", "style": "BS_OWNERDRAW | WS_VISIBLE", "rect": [70, 10, 50, 14]},
    {"id": 1003, "class": "Button", "text": "Keep", "style": "0x2 | WS_VISIBLE", "rect": [130, 10, 50, 14]},
    {"id": 1004, "class": "Button", "text": "Group", "style": "0x7 | WS_VISIBLE", "rect": [10, 30, 50, 14]},
    {"id": 1005, "class": "Static", "text": "Battery", "style": "SS_LEFT | WS_VISIBLE", "rect": [70, 30, 50, 14]},
    {"id": 1006, "class": "SysLink", "text": "<a href=\"x\">More</a>", "style": "WS_VISIBLE", "rect": [130, 30, 50, 14]},
    {"id": 1007, "class": "ScrollBar", "text": "", "style": "SBS_VERT | WS_VISIBLE", "rect": [10, 50, 10, 40]},
    {"id": 1008, "class": "Button", "text": "Warranty", "style": "BS_PUSHBUTTON | WS_VISIBLE", "rect": [70, 50, 50, 14]}
  ]})";
const platform::EmbeddedFile kDialogs[] = {window_test::File("960.json", kControlsDialog),
                                           platform::EmbeddedFile{nullptr, nullptr, 0}};

VARIANT Self() {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = CHILDID_SELF;
    return child;
}

// The role and name a client reads from the window's client object; -1 and "?" when it cannot.
struct CAnswer {
    LONG role = -1;
    std::wstring name = L"?";
};
CAnswer Ask(HWND hwnd) {
    CAnswer answer;
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&object)))) {
        return answer;
    }
    VARIANT role;
    VariantInit(&role);
    if (SUCCEEDED(object->get_accRole(Self(), &role)) && role.vt == VT_I4) {
        answer.role = role.lVal;
    }
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(Self(), &name))) {
        answer.name = name ? name : L"";
        SysFreeString(name);
    }
    object->Release();
    return answer;
}

// A link that announces itself as a link, as a program's hyperlink does.
class CAnnouncedLink : public CMFCLinkCtrl {
public:
    HRESULT get_accRole(VARIANT, VARIANT* pvarRole) override {
        pvarRole->vt = VT_I4;
        pvarRole->lVal = ROLE_SYSTEM_LINK;
        return S_OK;
    }
};

class CControlsDlg : public CDialog {
public:
    explicit CControlsDlg(bool accessible) : CDialog(960) {
        if (accessible) {
            EnableActiveAccessibility();
        }
    }
    CAnnouncedLink m_link;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, 1008, m_link); }
};

class AccessibilityTest : public testing::Test {
protected:
    testing_support::CTestMachine m_machine;
    window_test::CDialogResources m_resources{kDialogs};
};

TEST_F(AccessibilityTest, EveryKindOfWindowAnswersItsRoleAndItsTextAsItsName) {
    CControlsDlg dialog(false);
    ASSERT_TRUE(dialog.Create(960));
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&dialog));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"AccessibilityPlainWindow";
    RegisterClassExW(&wc);
    const HWND plain = CreateWindowExW(0, L"AccessibilityPlainWindow", L"Plain", WS_CHILD | WS_VISIBLE, 0, 0,
                                       10, 10, dialog.m_hWnd, nullptr, nullptr, nullptr);

    struct SCase {
        HWND hwnd;
        LONG role;
        const wchar_t* name;
    };
    const SCase cases[] = {
        {dialog.m_hWnd, ROLE_SYSTEM_DIALOG, L"Quick settings"},
        {::GetDlgItem(dialog.m_hWnd, 1001), ROLE_SYSTEM_PUSHBUTTON, L"Close"},
        {::GetDlgItem(dialog.m_hWnd, 1002), ROLE_SYSTEM_PUSHBUTTON, L"Owner"},
        {::GetDlgItem(dialog.m_hWnd, 1003), ROLE_SYSTEM_CHECKBUTTON, L"Keep"},
        {::GetDlgItem(dialog.m_hWnd, 1004), ROLE_SYSTEM_GROUPING, L"Group"},
        {::GetDlgItem(dialog.m_hWnd, 1005), ROLE_SYSTEM_STATICTEXT, L"Battery"},
        {::GetDlgItem(dialog.m_hWnd, 1006), ROLE_SYSTEM_LINK, L"<a href=\"x\">More</a>"},
        {::GetDlgItem(dialog.m_hWnd, 1007), ROLE_SYSTEM_SCROLLBAR, L""},
        {tip.m_hWnd, ROLE_SYSTEM_TOOLTIP, L""},
        {plain, ROLE_SYSTEM_CLIENT, L"Plain"},
    };
    for (const SCase& each : cases) {
        const CAnswer answer = Ask(each.hwnd);
        const auto index = &each - cases;
        EXPECT_EQ(answer.role, each.role) << index;
        EXPECT_EQ(answer.name, each.name) << index;
    }
    dialog.DestroyWindow();
}

TEST_F(AccessibilityTest, TheFrameworkAnswersForItsWindowOnlyWhileTheFlagIsSet) {
    for (const bool accessible : {false, true}) {
        CControlsDlg dialog(accessible);
        ASSERT_TRUE(dialog.Create(960));
        EXPECT_TRUE(dialog.m_link.m_bEnableActiveAccessibility)
            << "the framework's buttons answer themselves";
        dialog.m_link.m_bEnableActiveAccessibility = accessible;
        const CAnswer link = Ask(dialog.m_link.m_hWnd);
        EXPECT_EQ(link.role, accessible ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_PUSHBUTTON) << accessible;
        EXPECT_EQ(link.name, L"Warranty");
        EXPECT_EQ(Ask(dialog.m_hWnd).role, ROLE_SYSTEM_DIALOG) << accessible;
        EXPECT_EQ(dialog.SendMessage(WM_GETOBJECT, 0, OBJID_CLIENT) > 0, accessible);
        EXPECT_EQ(dialog.SendMessage(WM_GETOBJECT, 0, OBJID_WINDOW), 0) << "only the client object";
        dialog.DestroyWindow();
    }
}

TEST_F(AccessibilityTest, AnObjectIsRedeemedOnceAndFailsOnceItsWindowIsGone) {
    CControlsDlg dialog(true);
    ASSERT_TRUE(dialog.Create(960));
    const LRESULT handed = dialog.SendMessage(WM_GETOBJECT, 0, OBJID_CLIENT);
    ASSERT_GT(handed, 0);
    IAccessible* object = nullptr;
    ASSERT_EQ(ObjectFromLresult(handed, IID_IAccessible, 0, reinterpret_cast<void**>(&object)), S_OK);
    void* again = nullptr;
    EXPECT_EQ(ObjectFromLresult(handed, IID_IAccessible, 0, &again), E_INVALIDARG);
    EXPECT_EQ(again, nullptr);

    VARIANT role;
    VariantInit(&role);
    VARIANT child = Self();
    child.lVal = 3;
    EXPECT_EQ(object->get_accRole(child, &role), E_INVALIDARG) << "a dialog's object has no children";
    dialog.DestroyWindow();
    EXPECT_EQ(object->get_accRole(Self(), &role), E_FAIL);
    EXPECT_EQ(role.vt, VT_EMPTY);
    object->Release();
}

} // namespace
