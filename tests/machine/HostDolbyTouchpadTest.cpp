// The host's Dolby audio and touchpad calls: the audio plug-in's profile settings and SetDolby; the
// touchpad plug-in's capability, its settings ("NoCapability" without the device), SetTouchPad and the
// business brand's SetKobalTouchPad; each made from the features' states in their form and with their
// answer texts, each set recorded and applied; and the host's failing and malformed modes for them.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/machine/HostTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace host_test;
using testing_support::CTestMachine;

using StateEdit = std::function<void(nlohmann::json&)>;

nlohmann::json& Feature(nlohmann::json& state, const char* name) {
    return state[host::kFeaturesKey][name];
}

int StateOf(const char* feature) {
    return ReadHostState()[host::kFeaturesKey][feature].value(host::kStateKey, -1);
}

AnswerList Capabilities(const _bstr_t& answer) {
    return ReadAnswerList(answer, "CapabilityList", "Capability");
}

// The "errorCode" attributes of the answer's settings, in order ("" for none).
std::vector<std::string> ErrorCodes(const _bstr_t& answer) {
    std::vector<std::string> codes;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* root = nullptr;
    const TiXmlElement* list = nullptr;
    if (LoadXmlRoot(answer, document, root) && FindElementInAnswer(root, "SettingList", list, dataDocument)) {
        for (const TiXmlElement* entry = list->FirstChildElement("Setting"); entry;
             entry = entry->NextSiblingElement("Setting")) {
            const char* code = entry->Attribute("errorCode");
            codes.emplace_back(code ? code : "");
        }
    }
    return codes;
}

class HostDolbyTouchpadTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateContract(m_contract), S_OK); }

    void StartFrom(const StateEdit& edit) {
        EditHostState([&](nlohmann::json& state) {
            state = m_fresh;
            edit(state);
        });
    }

    CTestMachine m_machine;
    CApartment m_apartment;
    IContractInterfacePtr m_contract;
    const nlohmann::json m_fresh = ReadHostState();
};

TEST_F(HostDolbyTouchpadTest, TheDolbySettingsCarryTheProfilesStateInItsForm) {
    const struct {
        const char* name;
        StateEdit edit;
        bool direct;
        KeyedTexts settings;
    } cases[] = {
        {"the consumer notebook's",
         [](nlohmann::json&) {},
         true,
         {{"IsAudioProfileEnabled", "True"},
          {"CurrentAudioProfile", "Dynamic"},
          {"DriverAvailability", "true"}}},
        {"off, in Data",
         [](nlohmann::json& s) {
             Feature(s, "DolbyAudio") = {{"supported", true}, {"state", 0}, {"form", "data"}};
         },
         false,
         {{"IsAudioProfileEnabled", "False"},
          {"CurrentAudioProfile", "Dynamic"},
          {"DriverAvailability", "true"}}},
        {"on but not supported",
         [](nlohmann::json& s) {
             Feature(s, "DolbyAudio") = {{"supported", false}, {"state", 1}};
         },
         true,
         {{"IsAudioProfileEnabled", "False"},
          {"CurrentAudioProfile", "Dynamic"},
          {"DriverAvailability", "true"}}},
        {"answer texts",
         [](nlohmann::json& s) {
             Feature(s, "DolbyAudio") = {{"supported", true},
                                         {"state", 1},
                                         {"answer", {{"CurrentAudioProfile", "Cinema"}, {"Extra", ""}}}};
         },
         true,
         {{"IsAudioProfileEnabled", "True"},
          {"CurrentAudioProfile", "Cinema"},
          {"DriverAvailability", "true"},
          {"Extra", ""}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const AnswerList settings = ReadAnswerList(m_contract->GetDolbyStatusEx());
        EXPECT_TRUE(settings.found);
        EXPECT_EQ(settings.direct, test.direct);
        EXPECT_EQ(settings.entries, test.settings);
    }
    EXPECT_EQ(RecordedEvents(),
              std::vector<nlohmann::json>(std::size(cases), {{"event", "contract.GetDolbyStatusEx"}}));
}

TEST_F(HostDolbyTouchpadTest, TheTouchpadAnswersCarryItsSupportAndStateOrNoCapability) {
    const struct {
        const char* name;
        StateEdit edit;
        bool direct;
        KeyedTexts capabilities;
        KeyedTexts settings;
        std::vector<std::string> errorCodes;
    } cases[] = {
        {"the consumer notebook's",
         [](nlohmann::json&) {},
         true,
         {{"TouchPadControl", "True"}},
         {{"TouchPadEnabled", "True"}},
         {""}},
        {"off, in Data",
         [](nlohmann::json& s) {
             Feature(s, "Touchpad") = {{"supported", true}, {"state", 0}, {"form", "data"}};
         },
         false,
         {{"TouchPadControl", "True"}},
         {{"TouchPadEnabled", "False"}},
         {""}},
        {"no touchpad, in Data",
         [](nlohmann::json& s) {
             Feature(s, "Touchpad") = {{"supported", false}, {"state", 1}, {"form", "data"}};
         },
         false,
         {{"TouchPadControl", "False"}},
         {{"TouchPadEnabled", "False"}},
         {"NoCapability"}},
        {"answer texts",
         [](nlohmann::json& s) {
             Feature(s, "Touchpad") = {{"supported", true},
                                       {"state", 1},
                                       {"answer", {{"TouchPadControl", "true"}, {"TouchPadEnabled", "<x>"}}}};
         },
         true,
         {{"TouchPadControl", "true"}, {"TouchPadEnabled", "<x>"}},
         {{"TouchPadEnabled", "<x>"}, {"TouchPadControl", "true"}},
         {"", ""}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const AnswerList capabilities = Capabilities(m_contract->IsSupportTouchPadEx2());
        const _bstr_t status = m_contract->GetTouchPadStatusEx();
        const AnswerList settings = ReadAnswerList(status);
        EXPECT_EQ(capabilities.direct, test.direct);
        EXPECT_EQ(settings.direct, test.direct);
        EXPECT_EQ(capabilities.entries, test.capabilities);
        EXPECT_EQ(settings.entries, test.settings);
        EXPECT_EQ(ErrorCodes(status), test.errorCodes);
    }
}

TEST_F(HostDolbyTouchpadTest, EachSetIsRecordedAppliedAndAnsweredWithTheStateAfterIt) {
    StartFrom([](nlohmann::json& s) { Feature(s, "Touchpad") = {{"supported", true}, {"state", 1}}; });
    const struct {
        const char* event;
        const char* feature;
        std::function<_bstr_t(IContractInterface*, int)> set;
        int argument;
        const char* key;
        const char* answered;
    } sets[] = {
        {"contract.SetDolby", "DolbyAudio", [](IContractInterface* c, int n) { return c->SetDolby(n); }, 0,
         "IsAudioProfileEnabled", "False"},
        {"contract.SetTouchPad", "Touchpad", [](IContractInterface* c, int n) { return c->SetTouchPad(n); },
         0, "TouchPadEnabled", "False"},
        {"contract.SetKobalTouchPad", "Touchpad",
         [](IContractInterface* c, int n) { return c->SetKobalTouchPad(n); }, 1, "TouchPadEnabled", "True"},
        {"contract.SetDolby", "DolbyAudio", [](IContractInterface* c, int n) { return c->SetDolby(n); }, 1,
         "IsAudioProfileEnabled", "True"},
    };
    std::vector<nlohmann::json> expected;
    for (const auto& test : sets) {
        SCOPED_TRACE(test.event);
        EXPECT_EQ(EntryText(ReadAnswerList(test.set(m_contract, test.argument)), test.key), test.answered);
        EXPECT_EQ(StateOf(test.feature), test.argument);
        expected.push_back({{"event", test.event}, {"state", test.argument}});
    }
    EXPECT_EQ(RecordedEvents(), expected);

    // A state out of the feature's range, or a feature the host does not offer, is left as it is.
    m_contract->SetTouchPad(2);
    StartFrom([](nlohmann::json& s) { Feature(s, "Touchpad") = {{"supported", false}, {"state", 0}}; });
    m_contract->SetKobalTouchPad(1);
    EXPECT_EQ(StateOf("Touchpad"), 0);
}

// The calls of this file, raw.
RawCalls Calls() {
    return {
        {"contract.GetDolbyStatusEx",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetDolbyStatusEx(a); }},
        {"contract.SetDolby", [](IContractInterface* c, BSTR* a) { return c->raw_SetDolby(1, a); }},
        {"contract.IsSupportTouchPadEx2",
         [](IContractInterface* c, BSTR* a) { return c->raw_IsSupportTouchPadEx2(a); }},
        {"contract.GetTouchPadStatusEx",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetTouchPadStatusEx(a); }},
        {"contract.SetTouchPad", [](IContractInterface* c, BSTR* a) { return c->raw_SetTouchPad(0, a); }},
        {"contract.SetKobalTouchPad",
         [](IContractInterface* c, BSTR* a) { return c->raw_SetKobalTouchPad(0, a); }},
    };
}

TEST_F(HostDolbyTouchpadTest, AFailingHostReachesNothingAndAMalformedOneActsButCutsItsAnswers) {
    StartFrom([](nlohmann::json& s) { s[host::kModeKey] = "failing"; });
    ExpectEveryCallFails(m_contract, Calls());
    EXPECT_EQ(StateOf("Touchpad"), 1);

    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = "malformed"; });
    ExpectEveryAnswerCut(m_contract, Calls());
    EXPECT_EQ(StateOf("Touchpad"), 0) << "the sets were done";
}

TEST(HostDolbyTouchpadMachines, TheAppScenarioHoldsNoAudioAndWindowsTouchpadSwitchIsOnInEveryProfile) {
    for (const char* profile : {"consumer-win11", "business-win10", "gaming-win11"}) {
        SCOPED_TRACE(profile);
        CTestMachine machine(profile);
        const std::string audio =
            testing_support::RunTool(
                "reg get 'HKCU\\SOFTWARE\\Corvex\\Plexhost\\PluginData\\CorvexAppScenarioPlugin\\Status' "
                "Audio")
                .output;
        EXPECT_NE(audio.find("Close"), std::string::npos) << audio;
        const std::string enabled =
            testing_support::RunTool(
                "reg get 'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\PrecisionTouchPad\\Status' "
                "Enabled")
                .output;
        EXPECT_EQ(enabled, "1\n");
    }
}

TEST(HostDolbyTouchpadTool, TheHelpNamesTheAnswersAndTheRegistryValues) {
    CTestMachine machine;
    const testing_support::ToolResult help = testing_support::RunTool("feature --help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word :
         {"GetDolbyStatusEx", "SetDolby", "CurrentAudioProfile", "CorvexAppScenarioPlugin",
          "IsSupportTouchPadEx2", "SetKobalTouchPad", "NoCapability", "PrecisionTouchPad"}) {
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    }
}

} // namespace
