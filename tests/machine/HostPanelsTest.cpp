// What the host answers the panels that the program's body keeps out: the privacy monitoring's state,
// counts and mode as flipdeck-machine privacy sets them, the eye-care panel's support, the eye-care state
// the plug-in publishes in the registry, and the failing host.
#include <array>
#include <string>

#include "machine/host/HostFeatures.h"
#include "platform/registry.h"
#include "tests/machine/HostTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace host_test;
using testing_support::CTestMachine;

struct PrivacyAnswer {
    HRESULT hrState = E_FAIL;
    int nState = -99;
    HRESULT hrStatus = E_FAIL;
    std::array<int, 7> counts{-99, -99, -99, -99, -99, -99, -99};
    int nMode = -99;
};

class HostPanelsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateContract(m_contract), S_OK); }

    PrivacyAnswer AskPrivacy() {
        PrivacyAnswer answer;
        answer.hrState = m_contract->raw_GetPrivacyMonitorState(&answer.nState);
        int* c = answer.counts.data();
        answer.hrStatus = m_contract->raw_GetPrivacyMonitorStatus(&c[0], &c[1], &c[2], &c[3], &c[4], &c[5],
                                                                  &c[6], &answer.nMode);
        return answer;
    }
    static void Tool(const std::string& strArguments) {
        const ToolResult result = RunTool(strArguments);
        ASSERT_EQ(result.exitCode, 0) << strArguments << ": " << result.output;
    }

    CTestMachine m_machine;
    CApartment m_apartment;
    IContractInterfacePtr m_contract;
};

TEST_F(HostPanelsTest, ThePrivacyMonitorAnswersAsTheToolSetsIt) {
    const struct {
        const char* pszArguments;
        int nState;
        std::array<int, 7> counts;
        int nMode;
    } cases[] = {
        {"", 0, {0, 0, 0, 0, 0, 0, 0}, 0}, // the profile's: not available
        {"form dashboard", 1, {1, 3, 2, 7, 3, 128, 42}, 2},
        {"form rotating", 1, {2, -1, 0, 7, 3, 128, 42}, 1},
        {"form good-job", 1, {0, 0, 4, 7, 3, 128, 42}, 1},
        {"form single", 1, {-1, -1, -1, 0, 0, 0, 0}, 0},
        {"--mode 2 --counts 5,6,7,8,9,10,11", 1, {5, 6, 7, 8, 9, 10, 11}, 2},
        {"--state 0", 0, {5, 6, 7, 8, 9, 10, 11}, 2},
        {"form unavailable", 0, {0, 0, 0, 0, 0, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszArguments);
        if (*c.pszArguments) {
            Tool(std::string("privacy ") + c.pszArguments);
        }
        const PrivacyAnswer answer = AskPrivacy();
        EXPECT_EQ(answer.hrState, S_OK);
        EXPECT_EQ(answer.nState, c.nState);
        EXPECT_EQ(answer.hrStatus, S_OK);
        EXPECT_EQ(answer.counts, c.counts);
        EXPECT_EQ(answer.nMode, c.nMode);
    }
    const auto events = RecordedEvents();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2], nlohmann::json({{"event", "contract.GetPrivacyMonitorState"}}));
    EXPECT_EQ(events.back(), nlohmann::json({{"event", "contract.GetPrivacyMonitorStatus"}}));
}

TEST_F(HostPanelsTest, TheToolRefusesWhatIsNoMonitorAndChangesNothing) {
    Tool("privacy form rotating");
    const nlohmann::json before = ReadHostState();
    for (const char* pszArguments :
         {"form nothing", "--state", "--state x", "--mode 1.5", "--counts 1,2,3", "--counts 1,2,3,4,5,6,7,8",
          "--counts 1,,3,4,5,6,7", "--colour red", "--state 1 --mode"}) {
        const ToolResult result = RunTool(std::string("privacy ") + pszArguments);
        EXPECT_EQ(result.exitCode, 2) << pszArguments << ": " << result.output;
    }
    EXPECT_EQ(ReadHostState(), before);
    const ToolResult shown = RunTool("privacy");
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.output.find("\"counts\":[2,-1,0,7,3,128,42]"), std::string::npos) << shown.output;
}

TEST_F(HostPanelsTest, WhatIsMalformedInTheStatesMonitorIsLeftAtItsDefault) {
    const struct {
        const char* pszMonitor;
        int nState;
        std::array<int, 7> counts;
        int nMode;
    } cases[] = {
        {R"({"state": "1", "mode": 1, "counts": [1, 2, 3, 4, 5, 6, 7]})", 0, {1, 2, 3, 4, 5, 6, 7}, 1},
        {R"({"state": 1, "mode": 2, "counts": [1, 2, 3]})", 1, {}, 2},
        {R"({"state": 1, "mode": 1, "counts": [1, "2", 3, 4.5, 5, 6, 7]})", 1, {1, 0, 3, 0, 5, 6, 7}, 1},
        {R"({"state": 99999999999, "mode": -1})", 0, {}, -1},
        {R"([1, 2])", 0, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszMonitor);
        EditHostState([&c](nlohmann::json& s) { s["privacyMonitor"] = nlohmann::json::parse(c.pszMonitor); });
        const PrivacyAnswer answer = AskPrivacy();
        EXPECT_EQ(answer.hrState, S_OK);
        EXPECT_EQ(answer.nState, c.nState);
        EXPECT_EQ(answer.counts, c.counts);
        EXPECT_EQ(answer.nMode, c.nMode);
    }
}

TEST_F(HostPanelsTest, TheEyeCarePanelsSupportFollowsTheFeature) {
    for (const auto& [pszOptions, nSupport] :
         {std::pair{"--supported yes", 1}, std::pair{"--supported no", 0},
          std::pair{"--supported yes --state disabled", 1}}) {
        Tool(std::string("feature EyeCareMode ") + pszOptions);
        int nAnswer = -1;
        EXPECT_EQ(m_contract->raw_GetEyeCareTempSettings(&nAnswer), S_OK);
        EXPECT_EQ(nAnswer, nSupport) << pszOptions;
    }
    EXPECT_EQ(RecordedEvents().back(), nlohmann::json({{"event", "contract.GetEyeCareTempSettings"}}));
}

TEST_F(HostPanelsTest, ThePluginPublishesTheEyeCareStateForThePanel) {
    const auto published = [] {
        HKEY hKey = nullptr;
        DWORD dwState = 99;
        DWORD cbState = sizeof(dwState);
        if (RegOpenKeyExW(HKEY_CURRENT_USER,
                          L"Software\\Corvex\\Plexhost\\PluginData\\CorvexVisionProtectionPlugin", 0,
                          KEY_READ | KEY_WOW64_64KEY, &hKey) != ERROR_SUCCESS) {
            return -1;
        }
        RegQueryValueExW(hKey, L"EyeModeState", nullptr, nullptr, reinterpret_cast<BYTE*>(&dwState),
                         &cbState);
        RegCloseKey(hKey);
        return static_cast<int>(dwState);
    };
    Tool("feature EyeCareMode --state on");
    EXPECT_EQ(published(), 1);
    m_contract->SetEyeCareMode(0, 1);
    EXPECT_EQ(published(), 0) << "a set call's change too";
}

TEST_F(HostPanelsTest, AFailingHostAnswersNothingAndLeavesTheOutputsAlone) {
    Tool("privacy form rotating");
    for (const auto& [pszMode, hrExpected] :
         {std::pair{"failing", kServerFault}, std::pair{"absent", kDisconnected}}) {
        SCOPED_TRACE(pszMode);
        EditHostState([pszMode](nlohmann::json& s) { s[host::kModeKey] = pszMode; });
        const PrivacyAnswer answer = AskPrivacy();
        EXPECT_EQ(answer.hrState, hrExpected);
        EXPECT_EQ(answer.nState, -99);
        EXPECT_EQ(answer.hrStatus, hrExpected);
        EXPECT_EQ(answer.counts[0], -99);
        EXPECT_EQ(answer.nMode, -99);
        int nSupport = -99;
        EXPECT_EQ(m_contract->raw_GetEyeCareTempSettings(&nSupport), hrExpected);
        EXPECT_EQ(nSupport, -99);
    }
}

} // namespace
