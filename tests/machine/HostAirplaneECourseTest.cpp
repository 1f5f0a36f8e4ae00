// The host's airplane power mode and interactive e-course calls: the power manager's capability and
// settings answers and SetAirplaneMode; the audio plug-in's profile capabilities (keyed by the attribute
// "Key"), its e-course settings and SetECourseMode, which the missing audio driver refuses; each made
// from the features' states in their form and with their answer texts, and the host's failing and
// malformed modes for them.
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

nlohmann::json& Airplane(nlohmann::json& state) {
    return state[host::kFeaturesKey]["AirplanePowerMode"];
}

nlohmann::json& Dolby(nlohmann::json& state) {
    return state[host::kFeaturesKey]["DolbyAudio"];
}

nlohmann::json& ECourse(nlohmann::json& state) {
    return state[host::kFeaturesKey]["ECourseMode"];
}

int StateOf(const char* feature) {
    return ReadHostState()[host::kFeaturesKey][feature].value(host::kStateKey, -1);
}

AnswerList Capabilities(const _bstr_t& answer) {
    return ReadAnswerList(answer, "CapabilityList", "Capability");
}

AnswerList Settings(const _bstr_t& answer) {
    return ReadAnswerList(answer, "SettingList", "Setting");
}

// The audio plug-in's capabilities by their attribute "Key": each key and text in order; whether the
// list stood in the answer itself.
struct AudioCapabilities {
    bool found = false;
    bool direct = false;
    KeyedTexts entries;
};

AudioCapabilities ReadAudioCapabilities(const _bstr_t& answer) {
    AudioCapabilities read;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* root = nullptr;
    const TiXmlElement* list = nullptr;
    if (!LoadXmlRoot(answer, document, root) ||
        !FindElementInAnswer(root, "CapabilityList", list, dataDocument)) {
        return read;
    }
    read.found = true;
    read.direct = list->GetDocument() == &document;
    for (const TiXmlElement* entry = list->FirstChildElement("Capability"); entry;
         entry = entry->NextSiblingElement("Capability")) {
        const char* key = entry->Attribute("Key");
        const char* text = GetElementText(entry);
        EXPECT_EQ(entry->Attribute("key"), nullptr) << "only the attribute Key";
        read.entries.emplace_back(key ? key : "<no Key>", text ? text : "");
    }
    return read;
}

class HostAirplaneECourseTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateContract(m_contract), S_OK); }

    // The machine's host state, then the case's change.
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

struct AnswerCase {
    const char* name;
    StateEdit edit;
    bool direct;
    KeyedTexts capabilities;
    KeyedTexts settings;
};

TEST_F(HostAirplaneECourseTest, TheAirplaneAnswersCarryItsSupportAndStateInItsForm) {
    const AnswerCase cases[] = {
        {"the consumer notebook's",
         [](nlohmann::json&) {},
         true,
         {{"AirplanePowerMode", "False"}},
         {{"AirplanePowerMode", "False"}}},
        {"supported and off",
         [](nlohmann::json& s) {
             Airplane(s) = {{"supported", true}, {"state", 0}};
         },
         true,
         {{"AirplanePowerMode", "True"}},
         {{"AirplanePowerMode", "False"}}},
        {"on, in Data",
         [](nlohmann::json& s) {
             Airplane(s) = {{"supported", true}, {"state", 1}, {"form", "data"}};
         },
         false,
         {{"AirplanePowerMode", "True"}},
         {{"AirplanePowerMode", "True"}}},
        {"on but not supported",
         [](nlohmann::json& s) {
             Airplane(s) = {{"supported", false}, {"state", 1}};
         },
         true,
         {{"AirplanePowerMode", "False"}},
         {{"AirplanePowerMode", "False"}}},
        // The answer texts stand in both lists, in place of the host's or after them.
        {"answer texts",
         [](nlohmann::json& s) {
             Airplane(s) = {{"supported", true},
                            {"state", 1},
                            {"answer", {{"AirplanePowerMode", "true"}, {"airplanepowermode", "<x>"}}}};
         },
         true,
         {{"AirplanePowerMode", "true"}, {"airplanepowermode", "<x>"}},
         {{"AirplanePowerMode", "true"}, {"airplanepowermode", "<x>"}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const AnswerList capabilities = Capabilities(m_contract->GetAirplaneModeCapability());
        const AnswerList settings = Settings(m_contract->GetAllPowerSettings());
        EXPECT_TRUE(capabilities.found);
        EXPECT_TRUE(settings.found);
        EXPECT_EQ(capabilities.direct, test.direct);
        EXPECT_EQ(settings.direct, test.direct);
        EXPECT_EQ(capabilities.entries, test.capabilities);
        EXPECT_EQ(settings.entries, test.settings);
    }
    const std::vector<nlohmann::json> pair = {{{"event", "contract.GetAirplaneModeCapability"}},
                                              {{"event", "contract.GetAllPowerSettings"}}};
    std::vector<nlohmann::json> expected;
    for (size_t i = 0; i < std::size(cases); ++i) {
        expected.insert(expected.end(), pair.begin(), pair.end());
    }
    EXPECT_EQ(RecordedEvents(), expected);
}

TEST_F(HostAirplaneECourseTest, TheAudioAnswersCarryTheProfileAndTheECourseModeInTheirForms) {
    const KeyedTexts dolbyProfile = {{"IsDolbyAudioProfile", "True"},
                                     {"IsMaxwaveAudioProfile", "False"},
                                     {"AudioProfilesSupported", "Dynamic,Movie,Music,Game,Voice"}};
    const KeyedTexts noProfile = {
        {"IsDolbyAudioProfile", "False"}, {"IsMaxwaveAudioProfile", "False"}, {"AudioProfilesSupported", ""}};
    const AnswerCase cases[] = {
        {"the consumer notebook's",
         [](nlohmann::json&) {},
         true,
         dolbyProfile,
         {{"IsAudioProfileEnabled", "true"}, {"DriverAvailability", "true"}, {"ECourseStatus", "false"}}},
        // Each answer in its own feature's form: the profile in DolbyAudio's, the mode in ECourseMode's.
        {"on, both in Data",
         [](nlohmann::json& s) {
             ECourse(s) = {{"supported", true}, {"state", 1}, {"form", "data"}};
             Dolby(s)["form"] = "data";
         },
         false,
         dolbyProfile,
         {{"IsAudioProfileEnabled", "true"}, {"DriverAvailability", "true"}, {"ECourseStatus", "true"}}},
        {"no audio driver",
         [](nlohmann::json& s) {
             ECourse(s) = {{"supported", true}, {"state", 1}, {"disabled", true}};
         },
         true,
         dolbyProfile,
         {{"IsAudioProfileEnabled", "true"}, {"DriverAvailability", "false"}, {"ECourseStatus", "true"}}},
        {"neither offered",
         [](nlohmann::json& s) {
             ECourse(s)["supported"] = false;
             Dolby(s)["supported"] = false;
         },
         true,
         noProfile,
         {{"IsAudioProfileEnabled", "false"}, {"DriverAvailability", "true"}, {"ECourseStatus", "false"}}},
        // A Maxwave machine: its profile is DolbyAudio's answer text.
        {"answer texts",
         [](nlohmann::json& s) {
             Dolby(s) = {{"supported", false},
                         {"answer", {{"IsMaxwaveAudioProfile", "TRUE"}, {"Note", "<x>"}}}};
             ECourse(s)["answer"] = {{"ECourseStatus", "unknown"}};
         },
         true,
         {{"IsDolbyAudioProfile", "False"},
          {"IsMaxwaveAudioProfile", "TRUE"},
          {"AudioProfilesSupported", ""},
          {"Note", "<x>"}},
         {{"IsAudioProfileEnabled", "true"}, {"DriverAvailability", "true"}, {"ECourseStatus", "unknown"}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const AudioCapabilities capabilities = ReadAudioCapabilities(m_contract->IsSupportDolbyEx());
        const AnswerList settings = Settings(m_contract->GetECourseStatusEx());
        EXPECT_TRUE(capabilities.found);
        EXPECT_TRUE(settings.found);
        EXPECT_EQ(capabilities.direct, test.direct);
        EXPECT_EQ(settings.direct, test.direct);
        EXPECT_EQ(capabilities.entries, test.capabilities);
        EXPECT_EQ(settings.entries, test.settings);
    }
    EXPECT_EQ(RecordedEvents().back(), (nlohmann::json{{"event", "contract.GetECourseStatusEx"}}));
}

struct SetCase {
    const char* name;
    StateEdit edit;
    std::function<_bstr_t(IContractInterface*)> call;
    const char* event;
    const char* feature;
    int argument;
    int stateAfter;
    const char* answerKey;
    const char* answerText;
};

// From the consumer notebook's states: the e-course mode off, the airplane power mode not offered.
TEST_F(HostAirplaneECourseTest, TheSetCallsSwitchWhatTheFeatureTakesAndAnswerTheSettingsAfterwards) {
    const auto setAirplane = [](int state) {
        return [state](IContractInterface* c) { return c->SetAirplaneMode(state); };
    };
    const auto setECourse = [](int state) {
        return [state](IContractInterface* c) { return c->SetECourseMode(state); };
    };
    const auto airplaneAt = [](int state) {
        return [state](nlohmann::json& s) { Airplane(s) = {{"supported", true}, {"state", state}}; };
    };
    const auto eCourseAt = [](int state) {
        return [state](nlohmann::json& s) { ECourse(s)["state"] = state; };
    };
    const SetCase cases[] = {
        {"airplane on", airplaneAt(0), setAirplane(1), "contract.SetAirplaneMode", "AirplanePowerMode", 1, 1,
         "AirplanePowerMode", "True"},
        {"airplane off", airplaneAt(1), setAirplane(0), "contract.SetAirplaneMode", "AirplanePowerMode", 0, 0,
         "AirplanePowerMode", "False"},
        {"no such airplane state", airplaneAt(1), setAirplane(2), "contract.SetAirplaneMode",
         "AirplanePowerMode", 2, 1, "AirplanePowerMode", "True"},
        {"a negative airplane state", airplaneAt(0), setAirplane(-1), "contract.SetAirplaneMode",
         "AirplanePowerMode", -1, 0, "AirplanePowerMode", "False"},
        {"airplane not offered", [](nlohmann::json&) {}, setAirplane(1), "contract.SetAirplaneMode",
         "AirplanePowerMode", 1, 0, "AirplanePowerMode", "False"},
        {"e-course on", eCourseAt(0), setECourse(1), "contract.SetECourseMode", "ECourseMode", 1, 1,
         "ECourseStatus", "true"},
        {"e-course off", eCourseAt(1), setECourse(0), "contract.SetECourseMode", "ECourseMode", 0, 0,
         "ECourseStatus", "false"},
        {"no such e-course state", eCourseAt(1), setECourse(7), "contract.SetECourseMode", "ECourseMode", 7,
         1, "ECourseStatus", "true"},
        // The missing driver keeps the mode, and stays missing.
        {"no audio driver", [](nlohmann::json& s) { ECourse(s)["disabled"] = true; }, setECourse(1),
         "contract.SetECourseMode", "ECourseMode", 1, 0, "DriverAvailability", "false"},
        {"e-course not offered", [](nlohmann::json& s) { ECourse(s)["supported"] = false; }, setECourse(1),
         "contract.SetECourseMode", "ECourseMode", 1, 0, "ECourseStatus", "false"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const AnswerList answer = Settings(test.call(m_contract));
        EXPECT_EQ(EntryText(answer, test.answerKey), test.answerText);
        EXPECT_EQ(StateOf(test.feature), test.stateAfter);
        EXPECT_EQ(RecordedEvents().back(), (nlohmann::json{{"event", test.event}, {"state", test.argument}}));
    }
}

// The calls of this file, raw.
std::vector<std::pair<const char*, std::function<HRESULT(IContractInterface*, BSTR*)>>> Calls() {
    return {
        {"contract.GetAirplaneModeCapability",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetAirplaneModeCapability(a); }},
        {"contract.GetAllPowerSettings",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetAllPowerSettings(a); }},
        {"contract.SetAirplaneMode",
         [](IContractInterface* c, BSTR* a) { return c->raw_SetAirplaneMode(1, a); }},
        {"contract.IsSupportDolbyEx",
         [](IContractInterface* c, BSTR* a) { return c->raw_IsSupportDolbyEx(a); }},
        {"contract.GetECourseStatusEx",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetECourseStatusEx(a); }},
        {"contract.SetECourseMode",
         [](IContractInterface* c, BSTR* a) { return c->raw_SetECourseMode(1, a); }},
    };
}

TEST_F(HostAirplaneECourseTest, AFailingHostReachesNothingAndAMalformedOneActsButCutsItsAnswers) {
    StartFrom([](nlohmann::json& s) {
        Airplane(s)["supported"] = true;
        s[host::kModeKey] = "failing";
    });
    for (const auto& [event, call] : Calls()) {
        SCOPED_TRACE(event);
        BSTR answer = nullptr;
        EXPECT_EQ(call(m_contract, &answer), kServerFault);
        EXPECT_EQ(answer, nullptr);
        EXPECT_EQ(call(m_contract, nullptr), E_POINTER);
    }
    EXPECT_TRUE(RecordedEvents().empty());
    EXPECT_EQ(StateOf("AirplanePowerMode"), 0);
    EXPECT_EQ(StateOf("ECourseMode"), 0);

    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = "malformed"; });
    std::vector<nlohmann::json> expected;
    for (const auto& [event, call] : Calls()) {
        SCOPED_TRACE(event);
        BSTR answer = nullptr;
        EXPECT_EQ(call(m_contract, &answer), S_OK);
        EXPECT_FALSE(Parses(_bstr_t(answer, false)));
        expected.push_back({{"event", event}});
    }
    std::vector<nlohmann::json> recorded = RecordedEvents();
    for (nlohmann::json& record : recorded) {
        record.erase("state");
    }
    EXPECT_EQ(recorded, expected);
    EXPECT_EQ(StateOf("AirplanePowerMode"), 1) << "the sets were done";
    EXPECT_EQ(StateOf("ECourseMode"), 1);
}

TEST(HostAirplaneECourseBusiness, TheBusinessNotebookOffersTheAirplaneModeOffAndNoAudioProfile) {
    CTestMachine machine("business-win10");
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);
    EXPECT_EQ(EntryText(Capabilities(contract->GetAirplaneModeCapability()), "AirplanePowerMode"), "True");
    EXPECT_EQ(EntryText(Settings(contract->GetAllPowerSettings()), "AirplanePowerMode"), "False");
    EXPECT_EQ(ReadAudioCapabilities(contract->IsSupportDolbyEx()).entries.front(),
              (std::pair<std::string, std::string>{"IsDolbyAudioProfile", "False"}));
    EXPECT_EQ(EntryText(Settings(contract->GetECourseStatusEx()), "IsAudioProfileEnabled"), "false");
}

TEST(HostAirplaneECourseTool, TheToolGreysTheECourseModeButNotTheAirplaneModeAndTheHelpNamesTheKeys) {
    CTestMachine machine;
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);
    ASSERT_EQ(RunTool("feature ecoursemode --state disabled").exitCode, 0);
    EXPECT_EQ(EntryText(Settings(contract->GetECourseStatusEx()), "DriverAvailability"), "false");
    ASSERT_EQ(RunTool("feature ECourseMode --state on").exitCode, 0);
    EXPECT_EQ(EntryText(Settings(contract->GetECourseStatusEx()), "DriverAvailability"), "true")
        << "a new state clears the flag";
    EXPECT_EQ(RunTool("feature AirplanePowerMode --state disabled").exitCode, 2);

    const ToolResult help = RunTool("feature --help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word :
         {"GetAirplaneModeCapability", "GetAllPowerSettings", "SetAirplaneMode", "IsSupportDolbyEx",
          "IsMaxwaveAudioProfile", "GetECourseStatusEx", "DriverAvailability", "ECourseStatus"}) {
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    }
}

} // namespace
