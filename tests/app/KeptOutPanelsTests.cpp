// The eye-care, security-score and privacy panels in the flyout's body: the body constructs them and
// gives none of them a window, on both profiles; a body whose test gives them windows places them as
// their flags, support and availability say; the Windows build gates; the "eyecaremode" cache section.
#include <gtest/gtest.h>

#include <string>

#include "app/FeaturesDlg.h"
#include "platform/inifile.h"
#include "platform/registry.h"
#include "services/Folders.h"
#include "services/MachineInfo.h"
#include "tests/app/PanelTestSupport.h"

namespace {

using namespace panels_test;

const wchar_t kVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kPluginX64[] =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexVisionProtectionPlugin\\x64\\"
    L"CorvexVisionProtectionPlugin.dll";

class KeptOutPanelsTest : public CPanelTest {
protected:
    void SetUp() override {
        CPanelTest::SetUp();
        g_nKobalBrand = 0;
    }
    void TearDown() override {
        CPanelTest::TearDown();
        g_nKobalBrand = m_nBrandBefore;
    }
    void DestroyPanels() override {
        if (m_body.m_hWnd) {
            m_body.DestroyWindow();
        }
    }
    void OpenBody() {
        ASSERT_TRUE(m_body.Create(CFeaturesDlg::IDD, &m_container));
        Settle();
    }
    int GridHeight() const { return ClientRectOf(m_body.m_featuresPanelDlg).Height(); }

    CFeaturesDlg m_body;

private:
    int m_nBrandBefore = g_nKobalBrand;
};

TEST_F(KeptOutPanelsTest, TheBodyMakesNoWindowForThemOnEitherProfile) {
    for (const char* pszProfile : {"consumer-win11", "business-win10"}) {
        SCOPED_TRACE(pszProfile);
        testing_support::CTestMachine machine(pszProfile);
        StartContract();
        RunMachineTool("privacy form rotating");
        g_nKobalBrand = std::string(pszProfile) == "business-win10" ? 1 : 0;
        CFeaturesDlg body;
        ASSERT_TRUE(body.Create(CFeaturesDlg::IDD, &m_container));
        Settle();
        ASSERT_NE(body.m_pEyecareModeDlg, nullptr) << "the older plug-in allows the eye-care panel";
        EXPECT_EQ(body.m_pEyecareModeDlg->m_hWnd, nullptr);
        EXPECT_EQ(body.m_wardlightDlg.m_hWnd, nullptr);
        EXPECT_EQ(body.m_privacyDlg.m_hWnd, nullptr);
        // No child of the body holds the eye-care switch, the "MY SECURITY" tab or the score picture.
        for (HWND hChild = ::GetWindow(body.m_hWnd, GW_CHILD); hChild;
             hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
            for (const int nId : {static_cast<int>(CEyecareModeDlg::IDC_SWITCH),
                                  static_cast<int>(CMossveilPrivacyDlg::IDC_SECURITY_HEADING),
                                  static_cast<int>(CWardlightDlg::IDC_PICTURE)}) {
                EXPECT_EQ(::GetDlgItem(hChild, nId), nullptr) << nId;
            }
        }
        body.DestroyWindow();
        for (const char* pszCall : {"contract.GetPrivacyMonitor", "contract.GetEyeCareTempSettings"}) {
            EXPECT_TRUE(ReadMachineEvents(pszCall).empty()) << pszCall;
        }
        ReleaseContractInterface();
    }
}

TEST_F(KeptOutPanelsTest, WithTheNewerPluginAndItsHandOverDoneTheEyeCarePanelIsNotConstructed) {
    features_test::SetFileVersion(m_machine, kPluginX64, "1.2.92.15");
    const DWORD dwDone = 5;
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\AmpwiseToast", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(hKey, L"ResetEyeCareMode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwDone),
                   sizeof(dwDone));
    RegCloseKey(hKey);
    OpenBody();
    EXPECT_EQ(m_body.m_pEyecareModeDlg, nullptr);
}

TEST_F(KeptOutPanelsTest, PanelsGivenWindowsArePlacedAsTheirConditionsSay) {
    StartContract();
    RunMachineTool("privacy form rotating");
    OpenBody();
    ASSERT_NE(m_body.m_pEyecareModeDlg, nullptr);
    CEyecareModeDlg& eyeCare = *m_body.m_pEyecareModeDlg;
    ASSERT_TRUE(eyeCare.Create(CEyecareModeDlg::IDD, &m_body));
    ASSERT_TRUE(m_body.m_wardlightDlg.Create(CWardlightDlg::IDD, &m_body));
    m_body.m_privacyDlg.m_pOwner = &m_body;
    ASSERT_TRUE(m_body.m_privacyDlg.Create(CMossveilPrivacyDlg::IDD, &m_body));
    // The eye-care probe finds the panel wanted (support 1) and lays the body out again.
    ASSERT_TRUE(PumpUntil([&eyeCare] { return eyeCare.m_nSupport == 1 && eyeCare.IsWindowVisible(); }));
    Settle();
    const int nGrid = GridHeight();
    const int nEyeCare = ClientRectOf(eyeCare).Height();
    EXPECT_EQ(PlaceInParent(eyeCare).top, nGrid) << "under the grid";
    EXPECT_FALSE(m_body.m_wardlightDlg.IsWindowVisible()) << "kept out by its flag";
    EXPECT_FALSE(m_body.m_privacyDlg.IsWindowVisible());

    m_body.m_bHideSecurityPanel = 0;
    m_body.m_bHidePrivacyPanel = 0;
    m_body.LayoutPanels();
    Settle();
    const int nSecurity = ClientRectOf(m_body.m_wardlightDlg).Height();
    EXPECT_EQ(PlaceInParent(m_body.m_wardlightDlg).top, nGrid + nEyeCare);
    EXPECT_TRUE(m_body.m_privacyDlg.IsWindowVisible());
    EXPECT_EQ(PlaceInParent(m_body.m_privacyDlg).top, nGrid + nEyeCare + nSecurity);
    const int nAll = nGrid + nEyeCare + nSecurity + ClientRectOf(m_body.m_privacyDlg).Height();
    EXPECT_EQ(ClientRectOf(m_body).Height(), nAll + 20) << "with the margin under the last panel";

    eyeCare.m_nSupport = 0;
    m_body.m_privacyDlg.m_nAvailability = 0;
    m_body.LayoutPanels();
    Settle();
    EXPECT_FALSE(eyeCare.IsWindowVisible()) << "support not 1";
    EXPECT_FALSE(m_body.m_privacyDlg.IsWindowVisible()) << "not available";
    EXPECT_EQ(PlaceInParent(m_body.m_wardlightDlg).top, nGrid);

    m_body.m_nGaming = 1;
    m_body.m_wardlightDlg.ShowWindow(SW_HIDE);
    m_body.m_privacyDlg.m_nAvailability = 1;
    m_body.LayoutPanels();
    Settle();
    EXPECT_FALSE(m_body.m_wardlightDlg.IsWindowVisible()) << "a gaming machine keeps them out";
    EXPECT_FALSE(m_body.m_privacyDlg.IsWindowVisible());
    EXPECT_EQ(ClientRectOf(m_body).Height(), nGrid + 20);
}

TEST_F(KeptOutPanelsTest, OnlyOldWindows10BuildsClearTheFlags) {
    const struct {
        DWORD dwMajor;
        DWORD dwMinor;
        const wchar_t* pszBuild;
        BYTE bBuildOk;
        BYTE bEyeCareOk;
    } cases[] = {
        {10, 0, L"22631", 1, 1}, {10, 0, L"15142", 1, 1}, {10, 0, L"15141", 0, 1},
        {10, 0, L"15002", 0, 1}, {10, 0, L"15001", 0, 0}, {6, 3, L"9600", 1, 1},
    };
    OpenBody();
    for (const auto& c : cases) {
        HKEY hKey = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kVersionKey, 0, nullptr, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(hKey, L"CurrentMajorVersionNumber", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&c.dwMajor), 4);
        RegSetValueExW(hKey, L"CurrentMinorVersionNumber", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&c.dwMinor), 4);
        RegSetValueExW(hKey, L"CurrentBuildNumber", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.pszBuild),
                       static_cast<DWORD>((wcslen(c.pszBuild) + 1) * sizeof(wchar_t)));
        RegCloseKey(hKey);
        m_body.ReadWindowsVersion();
        EXPECT_EQ(m_body.m_bBuildOk, c.bBuildOk) << c.dwMajor << "." << c.dwMinor << " build " << c.pszBuild;
        EXPECT_EQ(m_body.m_bEyeCareOk, c.bEyeCareOk)
            << c.dwMajor << "." << c.dwMinor << " build " << c.pszBuild;
    }
}

TEST_F(KeptOutPanelsTest, TheEyeCareCacheSectionKeepsSupportAndState) {
    // The eye-care button caches its state in the same section (INI sections ignore case): on the
    // business brand the grid has no eye-care button to write it.
    g_nKobalBrand = 1;
    const std::wstring strPath = GetShowExCfgPath();
    OpenBody();
    ASSERT_NE(m_body.m_pEyecareModeDlg, nullptr);
    CEyecareModeDlg& eyeCare = *m_body.m_pEyecareModeDlg;
    eyeCare.m_nSupport = 9;
    ASSERT_TRUE(WritePrivateProfileStringW(L"BasicMachineInfo", L"Family", L"x", strPath.c_str()));
    EXPECT_TRUE(m_body.LoadEyeCareCache());
    EXPECT_EQ(eyeCare.m_nSupport, -1) << "no section";

    ASSERT_TRUE(WritePrivateProfileStringW(L"eyecaremode", L"support", L"1", strPath.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"eyecaremode", L"status", L"1", strPath.c_str()));
    EXPECT_TRUE(m_body.LoadEyeCareCache());
    EXPECT_EQ(eyeCare.m_nSupport, 1);
    EXPECT_EQ(eyeCare.m_nState, 1);

    ASSERT_TRUE(eyeCare.Create(CEyecareModeDlg::IDD, &m_body)); // no host: its probe changes nothing
    eyeCare.m_nSupport = 0;
    eyeCare.m_nState = 0;
    m_body.DestroyWindow();
    EXPECT_EQ(GetPrivateProfileIntW(L"eyecaremode", L"support", 7, strPath.c_str()), 0);
    EXPECT_EQ(GetPrivateProfileIntW(L"eyecaremode", L"status", 7, strPath.c_str()), 0);
}

} // namespace
