// The host's keyboard calls: the backlight's capability, status and auto-mode answers and the top row's
// capability and setting answers of both brands, made from the features' states in their form and with
// their answer texts; the set calls, which change the states as the plug-ins do (a level, the auto
// mode, the Fn lock by the keys that lead); and the host's failing and malformed modes for them.
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

nlohmann::json& Backlight(nlohmann::json& state) {
    return state[host::kFeaturesKey]["KeyboardBacklight"];
}

nlohmann::json& TopRow(nlohmann::json& state) {
    return state[host::kFeaturesKey]["KeyboardTopRowKey"];
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

class HostKeyboardTest : public testing::Test {
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

struct BacklightAnswerCase {
    const char* name;
    StateEdit edit;
    bool direct;
    KeyedTexts capability;
    KeyedTexts status;
    KeyedTexts autoMode;
};

TEST_F(HostKeyboardTest, TheBacklightAnswersCarryTheLevelTheAutoModeAndTheDisabledFlag) {
    const BacklightAnswerCase cases[] = {
        {"the consumer notebook's, off",
         [](nlohmann::json&) {},
         true,
         {{"KeyboardBacklightControl", "True"}},
         {{"KeyboardBacklightLevel", "TwoLevelsAuto"}, {"KeyboardBacklightStatus", "Off"}},
         {{"IsAutoModeEnabled", "True"}, {"IsAutoModeOn", "False"}}},
        {"level 1, in Data",
         [](nlohmann::json& s) {
             Backlight(s) = {{"supported", true}, {"state", 1}, {"form", "data"}};
         },
         false,
         {{"KeyboardBacklightControl", "True"}},
         {{"KeyboardBacklightLevel", "TwoLevelsAuto"}, {"KeyboardBacklightStatus", "Level_1"}},
         {{"IsAutoModeEnabled", "True"}, {"IsAutoModeOn", "False"}}},
        {"level 2",
         [](nlohmann::json& s) { Backlight(s)["state"] = 2; },
         true,
         {{"KeyboardBacklightControl", "True"}},
         {{"KeyboardBacklightLevel", "TwoLevelsAuto"}, {"KeyboardBacklightStatus", "Level_2"}},
         {{"IsAutoModeEnabled", "True"}, {"IsAutoModeOn", "False"}}},
        {"auto",
         [](nlohmann::json& s) { Backlight(s)["state"] = 3; },
         true,
         {{"KeyboardBacklightControl", "True"}},
         {{"KeyboardBacklightLevel", "TwoLevelsAuto"}, {"KeyboardBacklightStatus", "Auto"}},
         {{"IsAutoModeEnabled", "True"}, {"IsAutoModeOn", "True"}}},
        {"auto, disabled",
         [](nlohmann::json& s) {
             Backlight(s) = {{"supported", true}, {"state", 3}, {"disabled", true}};
         },
         true,
         {{"KeyboardBacklightControl", "True"}},
         {{"KeyboardBacklightLevel", "TwoLevelsAuto"}, {"KeyboardBacklightStatus", "DisabledOff"}},
         {{"IsAutoModeEnabled", "True"}, {"IsAutoModeOn", "False"}}},
        {"auto but not supported",
         [](nlohmann::json& s) {
             Backlight(s) = {{"supported", false}, {"state", 3}, {"disabled", true}};
         },
         true,
         {{"KeyboardBacklightControl", "False"}},
         {{"KeyboardBacklightLevel", "None"}, {"KeyboardBacklightStatus", "Off"}},
         {{"IsAutoModeEnabled", "False"}, {"IsAutoModeOn", "False"}}},
        // The answer texts stand in all three lists, in place of the host's or after them.
        {"answer texts",
         [](nlohmann::json& s) {
             Backlight(s)["answer"] = {{"KeyboardBacklightLevel", "OneLevel"},
                                       {"IsAutoModeEnabled", "False"},
                                       {"Result", "PluginInvokeError1"}};
         },
         true,
         {{"KeyboardBacklightControl", "True"},
          {"IsAutoModeEnabled", "False"},
          {"KeyboardBacklightLevel", "OneLevel"},
          {"Result", "PluginInvokeError1"}},
         {{"KeyboardBacklightLevel", "OneLevel"},
          {"KeyboardBacklightStatus", "Off"},
          {"IsAutoModeEnabled", "False"},
          {"Result", "PluginInvokeError1"}},
         {{"IsAutoModeEnabled", "False"},
          {"IsAutoModeOn", "False"},
          {"KeyboardBacklightLevel", "OneLevel"},
          {"Result", "PluginInvokeError1"}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const AnswerList lists[] = {Capabilities(m_contract->IsSupportBacklightEx()),
                                    Settings(m_contract->GetBacklightStatusEx()),
                                    Settings(m_contract->GetAutoKBDBacklightEx())};
        for (const AnswerList& list : lists) {
            EXPECT_TRUE(list.found);
            EXPECT_EQ(list.direct, test.direct);
        }
        EXPECT_EQ(lists[0].entries, test.capability);
        EXPECT_EQ(lists[1].entries, test.status);
        EXPECT_EQ(lists[2].entries, test.autoMode);
    }
    EXPECT_EQ(RecordedEvents().size(), 3 * std::size(cases));
    EXPECT_EQ(RecordedEvents().front(), (nlohmann::json{{"event", "contract.IsSupportBacklightEx"}}));
}

struct SetCase {
    const char* name;
    StateEdit edit;
    std::function<_bstr_t(IContractInterface*)> call;
    const char* event;
    int argument;
    int stateAfter;
    const char* answerKey;
    const char* answerText; // the answer's text of the key, after the change
};

// From the consumer notebook's states: backlight off, top row on its special functions.
TEST_F(HostKeyboardTest, TheSetCallsChangeTheStateAsThePluginsDoAndAnswerTheStateAfterwards) {
    const auto setBackLight = [](int level) {
        return [level](IContractInterface* c) { return c->SetBackLight(level); };
    };
    const auto setSmartSense = [](int state) {
        return [state](IContractInterface* c) { return c->SetSmartSense(state); };
    };
    const auto setKobalFnLock = [](int state) {
        return [state](IContractInterface* c) { return c->SetKobalFnLock(state); };
    };
    const auto setIxorFnLock = [](int state) {
        return [state](IContractInterface* c) { return c->SetIxorFnLock(state); };
    };
    const auto at = [](int state) { return [state](nlohmann::json& s) { Backlight(s)["state"] = state; }; };
    const auto topRowAt = [](int state, nlohmann::json answer = nlohmann::json::object()) {
        return [state, answer](nlohmann::json& s) {
            TopRow(s)["state"] = state;
            TopRow(s)["answer"] = answer;
        };
    };
    const SetCase cases[] = {
        {"a level", at(0), setBackLight(2), "contract.SetBackLight", 2, 2, "KeyboardBacklightStatus",
         "Level_2"},
        {"auto as a level", at(1), setBackLight(3), "contract.SetBackLight", 3, 3, "KeyboardBacklightStatus",
         "Auto"},
        {"a level ends the auto mode", at(3), setBackLight(1), "contract.SetBackLight", 1, 1,
         "KeyboardBacklightStatus", "Level_1"},
        {"a level leaves a backlight off by hardware",
         [](nlohmann::json& s) {
             Backlight(s) = {{"supported", true}, {"state", 2}, {"disabled", true}};
         },
         setBackLight(1), "contract.SetBackLight", 1, 2, "KeyboardBacklightStatus", "DisabledOff"},
        {"no such level", at(2), setBackLight(4), "contract.SetBackLight", 4, 2, "KeyboardBacklightStatus",
         "Level_2"},
        {"a negative level", at(2), setBackLight(-1), "contract.SetBackLight", -1, 2,
         "KeyboardBacklightStatus", "Level_2"},
        {"not supported", [](nlohmann::json& s) { Backlight(s)["supported"] = false; }, setBackLight(1),
         "contract.SetBackLight", 1, 0, "KeyboardBacklightStatus", "Off"},
        {"smart sense on", at(2), setSmartSense(1), "contract.SetSmartSense", 1, 3, "IsAutoModeOn", "True"},
        {"smart sense off ends the auto mode", at(3), setSmartSense(0), "contract.SetSmartSense", 0, 0,
         "IsAutoModeOn", "False"},
        {"smart sense off leaves a level", at(2), setSmartSense(0), "contract.SetSmartSense", 0, 2,
         "IsAutoModeOn", "False"},
        {"smart sense leaves a backlight off by hardware",
         [](nlohmann::json& s) {
             Backlight(s) = {{"supported", true}, {"state", 1}, {"disabled", true}};
         },
         setSmartSense(1), "contract.SetSmartSense", 1, 1, "IsAutoModeOn", "False"},
        {"no such smart sense", at(1), setSmartSense(2), "contract.SetSmartSense", 2, 1, "IsAutoModeOn",
         "False"},
        // The host's keyboards put the special functions first: the Fn lock brings the F1-F12 keys.
        {"business Fn lock on", topRowAt(1), setKobalFnLock(1), "contract.SetKobalFnLock", 1, 0, "FnLock",
         "true"},
        {"business Fn lock off", topRowAt(0), setKobalFnLock(0), "contract.SetKobalFnLock", 0, 1, "FnLock",
         "false"},
        {"business F1-F12 keys first", topRowAt(0, {{"PrimaryFunction", "SELECT"}}), setKobalFnLock(1),
         "contract.SetKobalFnLock", 1, 1, "FnLock", "true"},
        {"no such business Fn lock", topRowAt(1), setKobalFnLock(2), "contract.SetKobalFnLock", 2, 1,
         "FnLock", "false"},
        {"consumer Fn lock on", topRowAt(1), setIxorFnLock(1), "contract.SetIxorFnLock", 1, 0, "FnLock",
         "true"},
        {"consumer F1-F12 keys first", topRowAt(1, {{"PrimeKey", "FnKey"}}), setIxorFnLock(0),
         "contract.SetIxorFnLock", 0, 0, "FnLock", "false"},
        {"the consumer's prime key is not the business one", topRowAt(1, {{"PrimaryFunction", "select"}}),
         setIxorFnLock(1), "contract.SetIxorFnLock", 1, 0, "FnLock", "true"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const AnswerList answer = Settings(test.call(m_contract));
        EXPECT_EQ(EntryText(answer, test.answerKey), test.answerText);
        const bool backlight = std::string(test.event).find("FnLock") == std::string::npos;
        EXPECT_EQ(StateOf(backlight ? "KeyboardBacklight" : "KeyboardTopRowKey"), test.stateAfter);
        EXPECT_EQ(RecordedEvents().back(), (nlohmann::json{{"event", test.event}, {"state", test.argument}}));
    }
}

struct TopRowAnswerCase {
    const char* name;
    StateEdit edit;
    KeyedTexts kobalCapability;
    KeyedTexts kobalSettings;
    KeyedTexts ixorCapability;
    KeyedTexts ixorPrimeKey;
    KeyedTexts ixorFnLock;
};

TEST_F(HostKeyboardTest, TheTopRowAnswersGiveTheFnLockThatShowsTheStateByTheKeysThatLead) {
    const TopRowAnswerCase cases[] = {
        {"special functions",
         [](nlohmann::json&) {},
         {{"PrimaryFunction", "true"}, {"FnLock", "true"}, {"FnStickKey", "false"}},
         {{"PrimaryFunction", "unselect"}, {"FnLock", "false"}, {"FnStickKey", "false"}},
         {{"PrimeKey", "true"}, {"FnLock", "true"}},
         {{"PrimeKey", "hotkey"}},
         {{"FnLock", "false"}}},
        {"F1-F12 keys",
         [](nlohmann::json& s) { TopRow(s)["state"] = 0; },
         {{"PrimaryFunction", "true"}, {"FnLock", "true"}, {"FnStickKey", "false"}},
         {{"PrimaryFunction", "unselect"}, {"FnLock", "true"}, {"FnStickKey", "false"}},
         {{"PrimeKey", "true"}, {"FnLock", "true"}},
         {{"PrimeKey", "hotkey"}},
         {{"FnLock", "true"}}},
        {"not supported",
         [](nlohmann::json& s) { TopRow(s)["supported"] = false; },
         {{"PrimaryFunction", "false"}, {"FnLock", "false"}, {"FnStickKey", "false"}},
         {{"PrimaryFunction", "unselect"}, {"FnLock", "false"}, {"FnStickKey", "false"}},
         {{"PrimeKey", "false"}, {"FnLock", "false"}},
         {{"PrimeKey", "hotkey"}},
         {{"FnLock", "false"}}},
        // The F1-F12 keys first turn the Fn lock over; the texts stand in every list of the feature.
        {"F1-F12 keys first, sticky key",
         [](nlohmann::json& s) {
             TopRow(s)["answer"] = {
                 {"PrimaryFunction", "Select"}, {"PrimeKey", "fnkey"}, {"FnStickKey", "TRUE"}};
         },
         {{"PrimaryFunction", "Select"}, {"FnLock", "true"}, {"FnStickKey", "TRUE"}, {"PrimeKey", "fnkey"}},
         {{"PrimaryFunction", "Select"}, {"FnLock", "true"}, {"FnStickKey", "TRUE"}, {"PrimeKey", "fnkey"}},
         {{"PrimeKey", "fnkey"}, {"FnLock", "true"}, {"FnStickKey", "TRUE"}, {"PrimaryFunction", "Select"}},
         {{"PrimeKey", "fnkey"}, {"FnStickKey", "TRUE"}, {"PrimaryFunction", "Select"}},
         {{"FnLock", "true"}, {"FnStickKey", "TRUE"}, {"PrimaryFunction", "Select"}, {"PrimeKey", "fnkey"}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        EXPECT_EQ(Capabilities(m_contract->GetKobalKBDCapability()).entries, test.kobalCapability);
        EXPECT_EQ(Settings(m_contract->GetKobalKBDSettings()).entries, test.kobalSettings);
        EXPECT_EQ(Capabilities(m_contract->GetIxorKBDCapability()).entries, test.ixorCapability);
        EXPECT_EQ(Settings(m_contract->GetIxorPrimeKeySettings()).entries, test.ixorPrimeKey);
        EXPECT_EQ(Settings(m_contract->GetIxorFnLockSettings()).entries, test.ixorFnLock);
    }
    StartFrom([](nlohmann::json& s) { TopRow(s)["form"] = "data"; });
    const AnswerList inData = Settings(m_contract->GetIxorFnLockSettings());
    EXPECT_TRUE(inData.found);
    EXPECT_FALSE(inData.direct);
}

// The twelve calls, raw, each with the event it records.
std::vector<std::pair<const char*, std::function<HRESULT(IContractInterface*, BSTR*)>>> KeyboardCalls() {
    return {
        {"contract.IsSupportBacklightEx",
         [](IContractInterface* c, BSTR* a) { return c->raw_IsSupportBacklightEx(a); }},
        {"contract.GetBacklightStatusEx",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetBacklightStatusEx(a); }},
        {"contract.SetBackLight", [](IContractInterface* c, BSTR* a) { return c->raw_SetBackLight(2, a); }},
        {"contract.GetAutoKBDBacklightEx",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetAutoKBDBacklightEx(a); }},
        {"contract.SetSmartSense", [](IContractInterface* c, BSTR* a) { return c->raw_SetSmartSense(1, a); }},
        {"contract.GetIxorKBDCapability",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetIxorKBDCapability(a); }},
        {"contract.GetIxorPrimeKeySettings",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetIxorPrimeKeySettings(a); }},
        {"contract.GetIxorFnLockSettings",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetIxorFnLockSettings(a); }},
        {"contract.SetIxorFnLock", [](IContractInterface* c, BSTR* a) { return c->raw_SetIxorFnLock(1, a); }},
        {"contract.GetKobalKBDCapability",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetKobalKBDCapability(a); }},
        {"contract.GetKobalKBDSettings",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetKobalKBDSettings(a); }},
        {"contract.SetKobalFnLock",
         [](IContractInterface* c, BSTR* a) { return c->raw_SetKobalFnLock(0, a); }},
    };
}

TEST_F(HostKeyboardTest, AFailingHostReachesNothingAndAMalformedOneActsButCutsItsAnswers) {
    StartFrom([](nlohmann::json& s) { s[host::kModeKey] = "failing"; });
    for (const auto& [event, call] : KeyboardCalls()) {
        SCOPED_TRACE(event);
        BSTR answer = nullptr;
        EXPECT_EQ(call(m_contract, &answer), kServerFault);
        EXPECT_EQ(answer, nullptr);
        EXPECT_EQ(call(m_contract, nullptr), E_POINTER);
    }
    EXPECT_TRUE(RecordedEvents().empty());
    EXPECT_EQ(StateOf("KeyboardBacklight"), 0);
    EXPECT_EQ(StateOf("KeyboardTopRowKey"), 1);

    StartFrom([](nlohmann::json& s) { s[host::kModeKey] = "malformed"; });
    std::vector<nlohmann::json> expected;
    for (const auto& [event, call] : KeyboardCalls()) {
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
    EXPECT_EQ(StateOf("KeyboardBacklight"), 3) << "the sets were done: level 2, then smart sense on";
    EXPECT_EQ(StateOf("KeyboardTopRowKey"), 1) << "Fn lock on, then off: the special functions again";
}

TEST(HostKeyboardTool, TheHelpNamesTheKeysOfTheKeyboardAnswers) {
    const ToolResult help = RunTool("feature --help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"GetAutoKBDBacklightEx", "KeyboardBacklightLevel", "DisabledOff",
                             "SetKobalFnLock", "PrimaryFunction", "GetIxorFnLockSettings", "PrimeKey"}) {
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    }
}

} // namespace
