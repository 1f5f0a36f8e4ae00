// The framework's application object and its run, run-time classes and the start-up calls.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "platform/com.h"
#include "platform/framework.h"
#include "platform/framework/FrameworkState.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

// Records the order of the framework's calls.
class CTestApp : public CWinApp {
public:
    CTestApp(BOOL bInitResult, int nExitCode) : m_bInitResult(bInitResult), m_nExitCode(nExitCode) {}

    BOOL InitInstance() override {
        m_strCalls += "init ";
        return m_bInitResult;
    }
    int Run() override {
        m_strCalls += "run ";
        return CWinApp::Run();
    }
    int ExitInstance() override {
        m_strCalls += "exit";
        return m_nExitCode < 0 ? CWinApp::ExitInstance() : m_nExitCode;
    }

    std::string m_strCalls;

private:
    BOOL m_bInitResult;
    int m_nExitCode;
};

struct RunCase {
    BOOL initResult;
    int exitCode; // of ExitInstance; -1 keeps the framework's
    const char* calls;
    int result;
};

class WinMainTest : public testing::TestWithParam<RunCase> {
protected:
    CTestMachine m_machine;
};

TEST_P(WinMainTest, RunsInitInstanceThenRunOrExitInstance) {
    const RunCase& expected = GetParam();
    CTestApp app(expected.initResult, expected.exitCode);
    ASSERT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(AfxWinMain(nullptr, nullptr, nullptr, 10), expected.result);
    EXPECT_EQ(app.m_strCalls, expected.calls);
}

INSTANTIATE_TEST_SUITE_P(Framework, WinMainTest,
                         testing::Values(RunCase{TRUE, -1, "init run exit", 0},
                                         RunCase{TRUE, 3, "init run exit", 3},
                                         RunCase{FALSE, -1, "init exit", 0},
                                         RunCase{FALSE, 4, "init exit", 4}));

TEST(WinAppTest, WithoutAnApplicationObjectTheRunFails) {
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxWinMain(nullptr, nullptr, nullptr, 10), -1);
}

TEST(WinAppTest, NamesComeFromTheImageAndTheRegistryKey) {
    CTestMachine machine;
    const struct {
        const char* image; // FLIPDECK_IMAGE_PATH, or null for the installed path
        const wchar_t* exeName;
    } cases[] = {{nullptr, L"FlipdeckEx"}, {"C:\\Other Folder\\Copy.Of.Tool.exe", L"Copy.Of.Tool"}};
    for (const auto& c : cases) {
        if (c.image) {
            setenv("FLIPDECK_IMAGE_PATH", c.image, 1);
        }
        CTestApp app(FALSE, -1);
        AfxWinInit(nullptr, nullptr, nullptr, 10);
        unsetenv("FLIPDECK_IMAGE_PATH");
        EXPECT_STREQ(app.m_pszExeName, c.exeName);
        EXPECT_STREQ(app.m_pszAppName, c.exeName);
        app.SetRegistryKey(L"Local AppWizard-Generated Applications");
        EXPECT_STREQ(app.m_pszRegistryKey, L"Local AppWizard-Generated Applications");
        EXPECT_STREQ(app.m_pszProfileName, c.exeName);
        MSG msg = {};
        msg.message = WM_KEYDOWN;
        EXPECT_FALSE(app.PreTranslateMessage(&msg));
        EXPECT_EQ(AfxGetMainWnd(), nullptr);
    }
}

TEST(WinAppTest, OleInitGivesTheMessageFilterUntilTheRunEnds) {
    CTestMachine machine;
    CTestApp app(FALSE, -1);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    EXPECT_EQ(AfxOleGetMessageFilter(), nullptr);
    ASSERT_TRUE(AfxOleInit());
    COleMessageFilter* pFilter = AfxOleGetMessageFilter();
    ASSERT_NE(pFilter, nullptr);
    EXPECT_TRUE(pFilter->m_bRegistered);
    pFilter->EnableBusyDialog(FALSE);
    pFilter->SetBusyReply(SERVERCALL_RETRYLATER);
    pFilter->EnableNotRespondingDialog(TRUE);
    pFilter->SetMessagePendingDelay(0xFFFFFFFFu);
    EXPECT_FALSE(pFilter->m_bEnableBusy);
    EXPECT_EQ(pFilter->m_nBusyReply, SERVERCALL_RETRYLATER);
    EXPECT_TRUE(pFilter->m_bEnableNotResponding);
    EXPECT_EQ(pFilter->m_nTimeout, 0xFFFFFFFFu);

    AfxWinTerm();
    EXPECT_EQ(AfxOleGetMessageFilter(), nullptr);
    CoUninitialize();
}

TEST(FrameworkTest, RuntimeClassesKnowTheirChainAndCreateTheirObjects) {
    CRuntimeClass* pWindows = RUNTIME_CLASS(CMFCVisualManagerWindows);
    EXPECT_STREQ(pWindows->m_lpszClassName, "CMFCVisualManagerWindows");
    EXPECT_TRUE(pWindows->IsDerivedFrom(RUNTIME_CLASS(CMFCVisualManager)));
    EXPECT_TRUE(pWindows->IsDerivedFrom(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(RUNTIME_CLASS(CMFCVisualManager)->IsDerivedFrom(pWindows));
    EXPECT_FALSE(RUNTIME_CLASS(CWinApp)->IsDerivedFrom(RUNTIME_CLASS(CMFCVisualManager)));
    EXPECT_EQ(RUNTIME_CLASS(CWinApp)->CreateObject(), nullptr);

    CMFCVisualManager::SetDefaultManager(RUNTIME_CLASS(CMFCVisualManagerWindows));
    CMFCVisualManager* pManager = CMFCVisualManager::GetInstance();
    ASSERT_NE(pManager, nullptr);
    EXPECT_TRUE(pManager->IsKindOf(RUNTIME_CLASS(CMFCVisualManagerWindows)));
    // A class that is no visual manager leaves the default as it was.
    CMFCVisualManager::SetDefaultManager(RUNTIME_CLASS(CCmdTarget));
    EXPECT_EQ(CMFCVisualManager::GetInstance(), pManager);
}

TEST(FrameworkTest, StartUpCallsRecordWhatTheyEnable) {
    auto& state = platform::FrameworkState();
    const struct {
        DWORD size;
        DWORD classes;
        BOOL result;
    } cases[] = {{8, ICC_WIN95_CLASSES, TRUE},
                 {8, ICC_LINK_CLASS, TRUE},
                 {4, ICC_BAR_CLASSES, FALSE},
                 {8, 0x00010000u, FALSE}};
    for (const auto& c : cases) {
        const INITCOMMONCONTROLSEX icc = {c.size, c.classes};
        EXPECT_EQ(InitCommonControlsEx(&icc), c.result) << c.size << " " << c.classes;
    }
    EXPECT_EQ(state.commonControlClasses, ICC_WIN95_CLASSES | ICC_LINK_CLASS);

    AfxEnableControlContainer();
    EXPECT_TRUE(state.controlContainerEnabled);
    {
        CShellManager shellManager;
        EXPECT_EQ(state.shellManager, &shellManager);
    }
    EXPECT_EQ(state.shellManager, nullptr);
}

} // namespace
