// flipdeck-machine feature: the features the host keeps, their states and what their answers carry, as
// the contract server then answers them.
#include "machine/host/HostFeatures.h"
#include "tests/machine/HostTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace host_test;
using testing_support::CTestMachine;

nlohmann::json StoredFeature(const char* name) {
    return ReadHostState()[host::kFeaturesKey].value(name, nlohmann::json());
}

TEST(FeatureTool, HelpNamesEveryFeatureTheOptionsAndTheLocationConsents) {
    const ToolResult help = RunTool("feature --help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* feature :
         {"WiFiSecurity", "Microphone", "DolbyAudio", "KeyboardBacklight", "KeyboardTopRowKey", "Touchpad",
          "PrivacyGuard", "BatteryChargeThreshold", "AirplanePowerMode", "ConservationMode", "RapidCharge",
          "IntelligentCooling", "ECourseMode", "EyeCareMode"}) {
        EXPECT_NE(help.output.find("\n  " + std::string(feature) + " "), std::string::npos) << feature;
    }
    for (const char* word : {"--supported", "--state", "disabled", "--form", "--answer", "--no-answer"}) {
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    }
    for (const wchar_t* key : host::kLocationConsentKeys) {
        EXPECT_NE(help.output.find(platform::ToUtf8(key)), std::string::npos);
    }
}

struct FeatureCase {
    const char* arguments;
    const char* feature;
    nlohmann::json stored; // the feature's entry in host.json afterwards
};

// One machine through the whole table: each row starts from what the rows before left.
TEST(FeatureTool, ChangesWhatItsOptionsSayOfTheFeatureTheyName) {
    CTestMachine machine;
    const FeatureCase cases[] = {
        {"feature WiFiSecurity --state on",
         "WiFiSecurity",
         {{"supported", true}, {"state", 1}, {"disabled", false}, {"form", "data"}}},
        {"feature wifisecurity --state off --form direct",
         "WiFiSecurity",
         {{"supported", true}, {"state", 0}, {"disabled", false}, {"form", "direct"}}},
        {"feature WiFiSecurity --supported no --answer LocationPermission= --answer Note=a=b",
         "WiFiSecurity",
         {{"supported", false},
          {"state", 0},
          {"disabled", false},
          {"form", "direct"},
          {"answer", {{"LocationPermission", ""}, {"Note", "a=b"}}}}},
        {"feature WiFiSecurity --no-answer Note --supported yes",
         "WiFiSecurity",
         {{"supported", true},
          {"state", 0},
          {"disabled", false},
          {"form", "direct"},
          {"answer", {{"LocationPermission", ""}}}}},
        // Levels, and the disabled flag beside the state.
        {"feature KeyboardBacklight --state 3",
         "KeyboardBacklight",
         {{"supported", true}, {"state", 3}, {"disabled", false}}},
        {"feature KeyboardBacklight --state disabled",
         "KeyboardBacklight",
         {{"supported", true}, {"state", 3}, {"disabled", true}}},
        {"feature KeyboardBacklight --state off",
         "KeyboardBacklight",
         {{"supported", true}, {"state", 0}, {"disabled", false}}},
        // The two charge modes exclude each other.
        {"feature RapidCharge --state on",
         "RapidCharge",
         {{"supported", true}, {"state", 1}, {"disabled", false}}},
        {"feature ConservationMode --state on",
         "RapidCharge",
         {{"supported", true}, {"state", 0}, {"disabled", false}}},
        {"feature ConservationMode --state off",
         "ConservationMode",
         {{"supported", true}, {"state", 0}, {"disabled", false}}},
        // "EyecareMode" is the host's "EyeCareMode".
        {"feature EyecareMode --state disabled",
         "EyeCareMode",
         {{"supported", true}, {"state", 0}, {"disabled", true}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments);
        const ToolResult result = RunTool(test.arguments);
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(StoredFeature(test.feature), test.stored);
    }
    EXPECT_EQ(ReadHostState()[host::kBrandKey], "Ixor") << "the rest stays";
}

struct RefusedCase {
    const char* arguments;
    int exitCode;
};

TEST(FeatureTool, AWrongOptionOrAFeatureTheHostDoesNotKeepChangesNothing) {
    CTestMachine machine;
    const RefusedCase cases[] = {
        {"feature WiFiSecurity --state on --supported maybe", 2}, // not even the right option beside it
        {"feature WiFiSecurity --state disabled", 2},
        {"feature WiFiSecurity --state 2", 2},
        {"feature WiFiSecurity --state On", 2},
        {"feature WiFiSecurity --state", 2},
        {"feature WiFiSecurity --form xml", 2},
        {"feature WiFiSecurity --answer =x", 2},
        {"feature WiFiSecurity --answer x", 2},
        {"feature WiFiSecurity --no-answer ''", 2},
        {"feature WiFiSecurity --colour red", 2},
        {"feature KeyboardBacklight --state 4", 2},
        {"feature KeyboardBacklight --state -1", 2},
        {"feature Bluetooth --state on", 2},
        {"feature Microphone --state on", 1},
        {"feature IntelligentCooling --supported no", 1},
    };
    const nlohmann::json before = ReadHostState();
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments);
        EXPECT_EQ(RunTool(test.arguments).exitCode, test.exitCode);
        EXPECT_EQ(ReadHostState(), before);
    }
    EXPECT_NE(RunTool("feature Microphone").output.find("kept by the audio capture device"),
              std::string::npos);
}

TEST(FeatureTool, ShowsOneFeatureOrEveryFeature) {
    CTestMachine machine("business-win10");
    const ToolResult one = RunTool("feature privacyguard");
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_EQ(one.output, "PrivacyGuard: {\"state\":0,\"supported\":true}\n");
    const ToolResult all = RunTool("feature");
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_NE(all.output.find(one.output), std::string::npos) << all.output;
    EXPECT_NE(all.output.find("Microphone: kept by"), std::string::npos) << all.output;
    EXPECT_EQ(RunTool("feature list").output, all.output);
}

TEST(FeatureTool, TheServerAnswersWhatTheToolSetAndTheDocumentedConsentWithdrawsTheLocation) {
    CTestMachine machine;
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);

    ASSERT_EQ(RunTool("feature WiFiSecurity --state on --form direct").exitCode, 0);
    AnswerList status = ReadAnswerList(contract->GetWifiSecurityStatus());
    EXPECT_TRUE(status.direct);
    EXPECT_EQ(EntryText(status, "IsEnabled"), "true");

    ASSERT_EQ(RunTool("feature WiFiSecurity --supported no --answer SystemPolicy=false").exitCode, 0);
    status = ReadAnswerList(contract->GetWifiSecurityStatus());
    EXPECT_EQ(EntryText(status, "IsSupported"), "false");
    EXPECT_EQ(EntryText(status, "SystemPolicy"), "false");

    ASSERT_EQ(RunTool("reg set 'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\"
                      "ConsentStore\\location' Value REG_SZ Deny")
                  .exitCode,
              0);
    EXPECT_EQ(EntryText(ReadAnswerList(contract->GetWifiSecurityStatus()), "LocationPermission"),
              "allow,deny,allow");
}

} // namespace
