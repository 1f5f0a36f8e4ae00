// Pictures of the panels that the program's own body keeps out, for a person to look at: each panel in
// each of its forms, created from its template in a container on the simulated machine and host, written
// as PNG files to <build>/artifacts/panels/.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/EyecareModeDlg.h"
#include "app/MossveilPrivacyDlg.h"
#include "app/WardlightDlg.h"
#include "platform/registry.h"
#include "platform/window/Desktop.h"
#include "tests/app/PanelTestSupport.h"

namespace {

using namespace panels_test;
namespace fs = std::filesystem;

// The window's part of the screen as it shows now, written to <pictures>/<name>.png; the number of its
// pixels that are not white.
int WritePicture(const CWnd& window, const std::string& strName) {
    const platform::desktop::CScreenImage screen = platform::desktop::ComposeScreen();
    CRect rc;
    window.GetWindowRect(&rc);
    platform::desktop::CScreenImage picture;
    picture.width = rc.Width();
    picture.height = rc.Height();
    int nInk = 0;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) {
            const COLORREF cr = screen.At(x, y);
            picture.pixels.push_back((GetRValue(cr) << 16) | (GetGValue(cr) << 8) | GetBValue(cr));
            nInk += cr == RGB(255, 255, 255) ? 0 : 1;
        }
    }
    const fs::path folder = FLIPDECK_PICTURES_DIR;
    fs::create_directories(folder);
    EXPECT_TRUE(picture.WritePng(folder / (strName + ".png"))) << strName;
    return nInk;
}

template <typename Panel> struct CPanelDeleter {
    void operator()(Panel* pPanel) const {
        if (pPanel->m_hWnd) {
            pPanel->DestroyWindow();
        }
        delete pPanel;
    }
};
template <typename Panel> using PanelPtr = std::unique_ptr<Panel, CPanelDeleter<Panel>>;

class PanelPicturesTest : public CPanelTest {
protected:
    void SetUp() override {
        CPanelTest::SetUp();
        StartContract();
    }
    // Shows the panel, runs its messages until it has painted, and writes its picture.
    void Picture(CWnd& panel, const std::string& strName) {
        panel.ShowWindow(SW_SHOW);
        Settle();
        EXPECT_TRUE(Painted(panel));
        EXPECT_GT(WritePicture(panel, strName), 100) << strName << ": more than a white panel";
    }
};

TEST_F(PanelPicturesTest, EyeCarePanelOffAndOn) {
    for (const char* pszState : {"off", "on"}) {
        RunMachineTool(std::string("feature EyeCareMode --state ") + pszState);
        PanelPtr<CEyecareModeDlg> pPanel(new CEyecareModeDlg);
        ASSERT_TRUE(pPanel->Create(CEyecareModeDlg::IDD, &m_container));
        ASSERT_TRUE(PumpUntil([] { return !ReadMachineEvents("contract.GetEyeCareModeStatusEx").empty(); }));
        Picture(*pPanel, std::string("eyecare-") + pszState);
    }
}

TEST_F(PanelPicturesTest, PrivacyPanelInEachForm) {
    const struct {
        const char* pszName;
        const char* pszPrivacy;
        int nBlock; // 0: as it starts
        bool bTabs;
    } forms[] = {
        {"privacy-dashboard", "form dashboard", 0, true},
        {"privacy-rotating-block1", "form rotating", 1, true},
        {"privacy-rotating-block2", "form rotating", 2, true},
        {"privacy-rotating-block3", "form rotating", 3, true},
        {"privacy-rotating-no-tabs", "form rotating", 0, false},
        {"privacy-good-job", "form good-job", 0, true},
        {"privacy-single", "form single", 0, true},
        {"privacy-unavailable", "form unavailable", 0, true},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.pszName);
        RunMachineTool(std::string("privacy ") + form.pszPrivacy);
        PanelPtr<CMossveilPrivacyDlg> pPanel(new CMossveilPrivacyDlg);
        pPanel->m_pOwner = &m_container;
        pPanel->m_bShowSecurityHeading = form.bTabs;
        ASSERT_TRUE(pPanel->Create(CMossveilPrivacyDlg::IDD, &m_container));
        pPanel->ShowWindow(SW_SHOW);
        Settle();
        if (form.nBlock) {
            ClickOnCentre(*pPanel->GetDlgItem(CMossveilPrivacyDlg::IDC_DOT1 + form.nBlock - 1));
            EXPECT_EQ(pPanel->m_nCurrentBlock, form.nBlock);
        }
        Picture(*pPanel, form.pszName);
    }
}

TEST_F(PanelPicturesTest, SecurityPanelInEachBand) {
    const struct {
        const char* pszName;
        int nScore; // -1: no value
        bool bTabs;
    } bands[] = {
        {"security-no-score", -1, true}, {"security-low", 20, true},       {"security-fair", 45, true},
        {"security-good", 70, true},     {"security-protected", 90, true}, {"security-full", 100, true},
        {"security-no-tabs", 45, false},
    };
    for (const auto& band : bands) {
        SCOPED_TRACE(band.pszName);
        HKEY hKey = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\AmpwiseToast", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        const DWORD dwScore = static_cast<DWORD>(band.nScore);
        if (band.nScore < 0) {
            RegDeleteValueW(hKey, L"SecurityScore");
        } else {
            RegSetValueExW(hKey, L"SecurityScore", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwScore),
                           sizeof(dwScore));
        }
        RegCloseKey(hKey);
        PanelPtr<CWardlightDlg> pPanel(new CWardlightDlg);
        pPanel->m_bTabs = band.bTabs;
        ASSERT_TRUE(pPanel->Create(CWardlightDlg::IDD, &m_container));
        Picture(*pPanel, band.pszName);
    }
}

} // namespace
