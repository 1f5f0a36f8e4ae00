// flipdeck-machine host: showing the host, its modes and its simple values, as the server then sees them.
#include "tests/machine/HostTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace host_test;
using testing_support::CTestMachine;

TEST(HostTool, HelpNamesTheModesAndTheKeys) {
    const ToolResult help = RunTool("host --help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"normal", "failing", "absent", "slow", "malformed", "answer METHOD", "null",
                             "error", "brand", "mtm", "plugin-invoke", "delay"}) {
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    }
}

TEST(HostTool, ShowTellsTheRegistrationAndTheState) {
    CTestMachine machine("business-win10");
    const ToolResult shown = RunTool("host");
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.output.find("registration: C:\\Program Files (x86)\\Corvex\\Plexhost\\Pactbridge.dll"),
              std::string::npos)
        << shown.output;
    EXPECT_NE(shown.output.find("\"brand\": \"Kobal\""), std::string::npos) << shown.output;
    EXPECT_EQ(RunTool("host show").output, shown.output);
}

struct SetCase {
    const char* arguments;
    int exitCode;
    const char* stateKey;
    nlohmann::json stored; // the value host.json holds afterwards
};

TEST(HostTool, SetChangesOnlyValidValuesOfKnownKeys) {
    CTestMachine machine;
    const SetCase cases[] = {
        {"host set brand Kobal", 0, host::kBrandKey, "Kobal"},
        {"host set mtm 82XV0001US", 0, host::kMtmKey, "82XV0001US"},
        {"host set plugin-invoke error1", 0, host::kPluginInvokeKey, "error1"},
        {"host set plugin-invoke maybe", 2, host::kPluginInvokeKey, "error1"},
        {"host set plugin-invoke success", 0, host::kPluginInvokeKey, "success"},
        {"host set delay 250", 0, host::kDelayKey, 250},
        {"host set delay -1", 2, host::kDelayKey, 250},
        {"host set delay 60001", 2, host::kDelayKey, 250},
        {"host set delay 12ms", 2, host::kDelayKey, 250},
        {"host set delay ''", 2, host::kDelayKey, 250},
        {"host set delay 0", 0, host::kDelayKey, 0},
        {"host set colour red", 2, host::kBrandKey, "Kobal"},
        {"host set brand", 2, host::kBrandKey, "Kobal"},
        {"host mode sleepy", 2, host::kModeKey, "normal"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments);
        EXPECT_EQ(RunTool(test.arguments).exitCode, test.exitCode);
        const nlohmann::json state = ReadHostState();
        EXPECT_EQ(state.value(test.stateKey, nlohmann::json()), test.stored);
        EXPECT_EQ(state[host::kFeaturesKey]["EyeCareMode"]["supported"], true) << "the rest stays";
    }
}

TEST(HostTool, TheServerAnswersWhatTheToolSet) {
    CTestMachine machine;
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);
    ASSERT_EQ(RunTool("host set brand Kobal").exitCode, 0);
    ASSERT_EQ(RunTool("host set plugin-invoke error1").exitCode, 0);
    EXPECT_STREQ(static_cast<const wchar_t*>(contract->GetMachineBrand()), L"Kobal");
    EXPECT_NE(std::wcsstr(static_cast<const wchar_t*>(contract->CheckPluginInvoke()), L"PluginInvokeError1"),
              nullptr);
}

TEST(HostTool, ModesRemoveAndRestoreTheRegistrationAndMakeCallsFail) {
    CTestMachine machine;
    CApartment apartment;
    IContractInterfacePtr contract;

    ASSERT_EQ(RunTool("host mode absent").exitCode, 0);
    EXPECT_EQ(CreateContract(contract), REGDB_E_CLASSNOTREG);
    EXPECT_NE(RunTool("host").output.find("registration: none"), std::string::npos);
    EXPECT_EQ(RunTool("host mode absent").exitCode, 0) << "absent twice is still absent";

    ASSERT_EQ(RunTool("host mode failing").exitCode, 0);
    ASSERT_EQ(CreateContract(contract), S_OK);
    EXPECT_THROW(contract->GetMachineBrand(), _com_error);

    ASSERT_EQ(RunTool("host mode normal").exitCode, 0);
    EXPECT_STREQ(static_cast<const wchar_t*>(contract->GetMachineBrand()), L"Ixor");
    EXPECT_EQ(ReadHostState()[host::kModeKey], "normal");
}

TEST(HostTool, SlowAndMalformedHostsKeepTheirRegistration) {
    CTestMachine machine;
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(RunTool("host mode malformed").exitCode, 0);
    ASSERT_EQ(CreateContract(contract), S_OK);
    EXPECT_FALSE(Parses(contract->GetWifiSecurityStatus()));
    ASSERT_EQ(RunTool("host mode slow").exitCode, 0);
    EXPECT_NE(RunTool("host").output.find("registration: C:\\"), std::string::npos);
    EXPECT_EQ(ReadHostState()[host::kModeKey], "slow");
    ASSERT_EQ(RunTool("host mode normal").exitCode, 0);
    EXPECT_TRUE(Parses(contract->GetWifiSecurityStatus()));
}

// One method answers otherwise; the host's other methods, its mode and the method's work stay.
TEST(HostTool, AnswerMakesOneMethodAnswerNothingFailOrAnswerMalformedXml) {
    CTestMachine machine("business-win10");
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);

    ASSERT_EQ(RunTool("host answer GetPrivacyGuardStatus null").exitCode, 0);
    EXPECT_EQ(static_cast<const wchar_t*>(contract->GetPrivacyGuardStatus()), nullptr);
    EXPECT_TRUE(Parses(contract->IsSupportPrivacyGuard())) << "the other methods answer";
    EXPECT_EQ(ReadHostState()[host::kMethodsKey], (nlohmann::json{{"GetPrivacyGuardStatus", "null"}}));

    ASSERT_EQ(RunTool("host answer SetPrivacyGuard null").exitCode, 0);
    EXPECT_EQ(static_cast<const wchar_t*>(contract->SetPrivacyGuard(1)), nullptr);
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["PrivacyGuard"]["state"], 1) << "the set is made";

    ASSERT_EQ(RunTool("host answer GetPrivacyGuardStatus error").exitCode, 0);
    const size_t recorded = RecordedEvents().size();
    try {
        contract->GetPrivacyGuardStatus();
        ADD_FAILURE() << "no COM error";
    } catch (const _com_error& error) {
        EXPECT_EQ(error.Error(), kServerFault);
    }
    EXPECT_EQ(RecordedEvents().size(), recorded) << "a failed call does not reach the host";

    ASSERT_EQ(RunTool("host answer GetPrivacyGuardStatus malformed").exitCode, 0);
    EXPECT_FALSE(Parses(contract->GetPrivacyGuardStatus()));
    EXPECT_TRUE(Parses(contract->IsSupportPrivacyGuard()));

    ASSERT_EQ(RunTool("host answer GetPrivacyGuardStatus normal").exitCode, 0);
    EXPECT_TRUE(Parses(contract->GetPrivacyGuardStatus()));
    EXPECT_EQ(ReadHostState()[host::kMethodsKey], (nlohmann::json{{"SetPrivacyGuard", "null"}}));

    for (const char* refused : {"host answer GetPrivacyGuardStatus maybe", "host answer Get.Status null",
                                "host answer GetPrivacyGuardStatus", "host answer '' null"}) {
        EXPECT_EQ(RunTool(refused).exitCode, 2) << refused;
    }
}

TEST(HostTool, AMalformedStateIsLeftAsItIs) {
    CTestMachine machine;
    WriteHostStateText("{\"brand\": \"Ixor\"");
    for (const char* change : {"host set brand Kobal", "feature WiFiSecurity --state on"}) {
        SCOPED_TRACE(change);
        const ToolResult result = RunTool(change);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.output.find("left as it is"), std::string::npos) << result.output;
        EXPECT_EQ(platform::ReadWholeFile(HostStateFile()), "{\"brand\": \"Ixor\"");
    }
}

} // namespace
