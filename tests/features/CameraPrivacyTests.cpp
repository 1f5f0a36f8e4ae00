// The camera privacy setter: the state the grid sets on the host at every start, with and without the
// host, and what the log then holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "features/CameraPrivacyBtn.h"
#include "platform/com.h"
#include "services/ContractClient.h"
#include "tests/features/HostButtonTestSupport.h"

namespace {

using features_test::RecordedStates;

const char kNoInstanceLine[] =
    "[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][CCameraPrivacyBtn::SetCamera]";

class CameraPrivacyTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        features_test::StartMachineLog(m_machine);
    }
    void TearDown() override {
        ReleaseContractInterface();
        CoUninitialize();
        g_bLogEnabled = false;
    }

    void StartContract() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }
    std::string LogText() const { return features_test::MachineLogText(m_machine); }

    testing_support::CTestMachine m_machine;
};

TEST_F(CameraPrivacyTest, TheGridsStateIsOne) {
    EXPECT_EQ(g_nCameraPrivacyState, 1);
}

TEST_F(CameraPrivacyTest, WithoutAContractInstanceTheSetterLogsAndEndsWithMinusOne) {
    EXPECT_EQ(CCameraPrivacyBtn::SetCamera(&g_nCameraPrivacyState), static_cast<unsigned>(-1));
    EXPECT_NE(LogText().find(kNoInstanceLine), std::string::npos) << LogText();
}

TEST_F(CameraPrivacyTest, TheHostIsToldTheStateAndItsAnswerIsLogged) {
    StartContract();
    EXPECT_EQ(CCameraPrivacyBtn::SetCamera(&g_nCameraPrivacyState), 0u);
    EXPECT_EQ(RecordedStates("contract.SetCamera"), std::vector<int>{1});
    EXPECT_NE(LogText().find("[SetCamera nCurState=1, resonse:<?xml"), std::string::npos) << LogText();
    EXPECT_EQ(LogText().find(kNoInstanceLine), std::string::npos);
}

TEST_F(CameraPrivacyTest, AHostWithoutAnAnswerLeavesNoLogLine) {
    features_test::RunMachineTool("host mode failing");
    StartContract();
    EXPECT_EQ(CCameraPrivacyBtn::SetCamera(&g_nCameraPrivacyState), 0u);
    EXPECT_TRUE(RecordedStates("contract.SetCamera").empty());
    EXPECT_EQ(LogText().find("[SetCamera"), std::string::npos) << LogText();
}

TEST_F(CameraPrivacyTest, WithoutAStateNothingIsSet) {
    StartContract();
    EXPECT_EQ(CCameraPrivacyBtn::SetCamera(nullptr), static_cast<unsigned>(-1));
    EXPECT_TRUE(RecordedStates("contract.SetCamera").empty());
}

} // namespace
