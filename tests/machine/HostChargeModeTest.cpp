// The host's battery plug-in beside the charge threshold: the one charge mode of conservation mode and
// rapid charge (its capabilities, its settings, SetBatteryChargeMode), the batteries' times to full
// charge of GetBatteryStatus from the machine's power facts, and the power manager's airplane-mode
// event that follows the host's airplane power mode.
#include <functional>
#include <string>
#include <vector>

#include "platform/threads.h"
#include "tests/machine/HostTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace host_test;
using testing_support::CTestMachine;
using testing_support::SetMachineFact;

using StateEdit = std::function<void(nlohmann::json&)>;

nlohmann::json& Feature(nlohmann::json& state, const char* name) {
    return state[host::kFeaturesKey][name];
}

int HostState(const char* name) {
    return ReadHostState()[host::kFeaturesKey][name].value(host::kStateKey, -1);
}

class HostChargeModeTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateContract(m_contract), S_OK); }

    // The consumer notebook's host state, then the case's change.
    void StartFrom(const StateEdit& edit) {
        EditHostState([&](nlohmann::json& state) {
            state = m_fresh;
            edit(state);
        });
    }

    CTestMachine m_machine{"consumer-win11"};
    CApartment m_apartment;
    IContractInterfacePtr m_contract;
    const nlohmann::json m_fresh = ReadHostState();
};

struct ModeCase {
    const char* name;
    StateEdit edit;
    bool direct;
    KeyedTexts settings;
    KeyedTexts chargeModeCapabilities;
};

TEST_F(HostChargeModeTest, TheSettingsAndCapabilitiesCarryTheSupportedModesAndTheCurrentOne) {
    const ModeCase cases[] = {
        {"the consumer notebook's, normal charging",
         [](nlohmann::json&) {},
         true,
         {{"Supported-BatteryChargeMode", "Normal,Quick,Storage"}, {"BatteryChargeMode", "Normal"}},
         {{"ChargeMode-Storage", "true"}, {"ChargeMode-StorageLimited", "false"}}},
        {"conservation on, in Data",
         [](nlohmann::json& s) {
             Feature(s, "ConservationMode") = {{"supported", true}, {"state", 1}, {"form", "data"}};
         },
         false,
         {{"Supported-BatteryChargeMode", "Normal,Quick,Storage"}, {"BatteryChargeMode", "Storage"}},
         {{"ChargeMode-Storage", "true"}, {"ChargeMode-StorageLimited", "false"}}},
        {"rapid charge on",
         [](nlohmann::json& s) { Feature(s, "RapidCharge")[host::kStateKey] = 1; },
         true,
         {{"Supported-BatteryChargeMode", "Normal,Quick,Storage"}, {"BatteryChargeMode", "Quick"}},
         {{"ChargeMode-Storage", "true"}, {"ChargeMode-StorageLimited", "false"}}},
        {"only rapid charge, on but its mode unsupported is none",
         [](nlohmann::json& s) {
             Feature(s, "ConservationMode") = {{"supported", false}, {"state", 1}};
         },
         true,
         {{"Supported-BatteryChargeMode", "Normal,Quick"}, {"BatteryChargeMode", "Normal"}},
         {{"ChargeMode-Storage", "false"}, {"ChargeMode-StorageLimited", "false"}}},
        {"neither",
         [](nlohmann::json& s) {
             Feature(s, "ConservationMode")[host::kSupportedKey] = false;
             Feature(s, "RapidCharge")[host::kSupportedKey] = false;
         },
         true,
         {{"Supported-BatteryChargeMode", "Normal"}, {"BatteryChargeMode", "Normal"}},
         {{"ChargeMode-Storage", "false"}, {"ChargeMode-StorageLimited", "false"}}},
        // Each answer takes the texts of its keys from both features.
        {"answer texts",
         [](nlohmann::json& s) {
             Feature(s, "ConservationMode")[host::kAnswerKey] = {{"ChargeMode-StorageLimited", "true"},
                                                                 {"BatteryChargeMode", "Storage,Quick"}};
             Feature(s, "RapidCharge")[host::kAnswerKey] = {{"Supported-BatteryChargeMode", "Quick"}};
         },
         true,
         {{"Supported-BatteryChargeMode", "Quick"}, {"BatteryChargeMode", "Storage,Quick"}},
         {{"ChargeMode-Storage", "true"}, {"ChargeMode-StorageLimited", "true"}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const AnswerList settings = ReadAnswerList(m_contract->GetBatteryChargeModeEx());
        EXPECT_TRUE(settings.found);
        EXPECT_EQ(settings.direct, test.direct);
        EXPECT_EQ(settings.entries, test.settings);
        const AnswerList capabilities =
            ReadAnswerList(m_contract->IsSupportBatteryEx(), "CapabilityList", "Capability");
        KeyedTexts chargeModes;
        for (const auto& entry : capabilities.entries) {
            if (entry.first.starts_with("ChargeMode-")) {
                chargeModes.push_back(entry);
            }
        }
        EXPECT_EQ(chargeModes, test.chargeModeCapabilities);
    }
}

TEST_F(HostChargeModeTest, SetBatteryChargeModeSwitchesTheSupportedModeOnAndTheOtherOff) {
    const struct {
        const char* name;
        StateEdit edit;
        int mode;
        int conservation;
        int rapid;
        const char* current;
    } cases[] = {
        {"conservation", [](nlohmann::json&) {}, 2, 1, 0, "Storage"},
        {"rapid charge ends conservation",
         [](nlohmann::json& s) { Feature(s, "ConservationMode")[host::kStateKey] = 1; }, 1, 0, 1, "Quick"},
        {"conservation ends rapid charge",
         [](nlohmann::json& s) { Feature(s, "RapidCharge")[host::kStateKey] = 1; }, 2, 1, 0, "Storage"},
        {"normal ends both", [](nlohmann::json& s) { Feature(s, "RapidCharge")[host::kStateKey] = 1; }, 0, 0,
         0, "Normal"},
        {"an unsupported mode changes nothing",
         [](nlohmann::json& s) {
             Feature(s, "ConservationMode")[host::kSupportedKey] = false;
             Feature(s, "RapidCharge")[host::kStateKey] = 1;
         },
         2, 0, 1, "Quick"},
        {"an unknown mode changes nothing",
         [](nlohmann::json& s) { Feature(s, "ConservationMode")[host::kStateKey] = 1; }, 3, 1, 0, "Storage"},
        {"a negative mode changes nothing",
         [](nlohmann::json& s) { Feature(s, "RapidCharge")[host::kStateKey] = 1; }, -1, 0, 1, "Quick"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const size_t recorded = RecordedEvents().size();
        const AnswerList after = ReadAnswerList(m_contract->SetBatteryChargeMode(test.mode));
        EXPECT_EQ(EntryText(after, "BatteryChargeMode"), test.current) << "the settings after the change";
        EXPECT_EQ(HostState("ConservationMode"), test.conservation);
        EXPECT_EQ(HostState("RapidCharge"), test.rapid);
        const std::vector<nlohmann::json> records = RecordedEvents();
        ASSERT_EQ(records.size(), recorded + 1);
        EXPECT_EQ(records.back(),
                  (nlohmann::json{{"event", "contract.SetBatteryChargeMode"}, {"mode", test.mode}}));
    }
}

// The "ChargeCompletionTimeinMins" of each "BatteryStatus" element, in order.
std::vector<std::string> ChargeCompletionTimes(const _bstr_t& answer) {
    std::vector<std::string> times;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* root = nullptr;
    const TiXmlElement* status = nullptr;
    if (!LoadXmlRoot(answer, document, root) ||
        !FindElementInAnswer(root, "BatteryStatus", status, dataDocument)) {
        return times;
    }
    for (; status; status = status->NextSiblingElement("BatteryStatus")) {
        const TiXmlElement* setting = status->FirstChildElement("Setting");
        const char* key = setting ? setting->Attribute("key") : nullptr;
        const char* text = GetElementText(setting);
        times.push_back(std::string(key ? key : "<no key>") + "=" + (text ? text : ""));
    }
    return times;
}

TEST_F(HostChargeModeTest, TheBatteryStatusGivesEachBatterysMinutesToFullChargeOnMains) {
    const struct {
        const char* name;
        nlohmann::json power;
        std::vector<std::string> times;
    } cases[] = {
        {"55 % at 120 minutes for a full charge",
         {{"acLine", true}, {"batteryPercent", 55}},
         {"ChargeCompletionTimeinMins=54"}},
        {"55 % at 100 minutes",
         {{"acLine", true}, {"batteryPercent", 55}, {"chargeMinutes", 100}},
         {"ChargeCompletionTimeinMins=45"}},
        {"a second battery",
         {{"acLine", true}, {"batteryPercent", 99}, {"secondBatteryPercent", 80}, {"chargeMinutes", 100}},
         {"ChargeCompletionTimeinMins=1", "ChargeCompletionTimeinMins=20"}},
        {"full", {{"acLine", true}, {"batteryPercent", 100}}, {"ChargeCompletionTimeinMins=0"}},
        {"on battery", {{"acLine", false}, {"batteryPercent", 55}}, {"ChargeCompletionTimeinMins=0"}},
        {"no system battery", {{"acLine", true}, {"battery", "none"}, {"batteryPercent", 55}}, {}},
        {"its data unknown, a second one there",
         {{"acLine", true}, {"battery", "unknown"}, {"secondBatteryPercent", 50}, {"chargeMinutes", 100}},
         {"ChargeCompletionTimeinMins=50"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        SetMachineFact(m_machine.Folder(), "/power", test.power);
        EXPECT_EQ(ChargeCompletionTimes(m_contract->GetBatteryStatus()), test.times);
    }
    SetMachineFact(m_machine.Folder(), "/power",
                   {{"acLine", true}, {"batteryPercent", 50}, {"chargeMinutes", 100}});
    StartFrom([](nlohmann::json& s) {
        Feature(s, "RapidCharge")[host::kAnswerKey] = {{"ChargeCompletionTimeinMins2", "-5"}};
    });
    EXPECT_EQ(ChargeCompletionTimes(m_contract->GetBatteryStatus()),
              (std::vector<std::string>{"ChargeCompletionTimeinMins=50", "ChargeCompletionTimeinMins=-5"}))
        << "an answer text in place of a battery's minutes, or for a battery the machine lacks";
    EXPECT_EQ(EntryText(ReadAnswerList(m_contract->GetBatteryChargeModeEx()), "ChargeCompletionTimeinMins2"),
              "<none>");
    StartFrom([](nlohmann::json& s) { Feature(s, "ConservationMode")[host::kFormKey] = "data"; });
    SetMachineFact(m_machine.Folder(), "/power", {{"acLine", true}, {"batteryPercent", 55}});
    EXPECT_EQ(ChargeCompletionTimes(m_contract->GetBatteryStatus()),
              std::vector<std::string>{"ChargeCompletionTimeinMins=54"})
        << "inside Data";
    EXPECT_EQ(RecordedEvents().back(), (nlohmann::json{{"event", "contract.GetBatteryStatus"}}));
}

TEST_F(HostChargeModeTest, AFailingHostReachesNothingAndAMalformedOneActsButCutsItsAnswers) {
    const std::pair<const char*, std::function<HRESULT(IContractInterface*, BSTR*)>> calls[] = {
        {"GetBatteryChargeModeEx",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetBatteryChargeModeEx(a); }},
        {"GetBatteryStatus", [](IContractInterface* c, BSTR* a) { return c->raw_GetBatteryStatus(a); }},
        {"SetBatteryChargeMode",
         [](IContractInterface* c, BSTR* a) { return c->raw_SetBatteryChargeMode(2, a); }},
    };
    StartFrom([](nlohmann::json& s) { s[host::kModeKey] = "failing"; });
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        BSTR answer = nullptr;
        EXPECT_EQ(call(m_contract, &answer), kServerFault);
        EXPECT_EQ(answer, nullptr);
        EXPECT_EQ(call(m_contract, nullptr), E_POINTER);
    }
    EXPECT_TRUE(RecordedEvents().empty());
    EXPECT_EQ(HostState("ConservationMode"), 0);

    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = "malformed"; });
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        BSTR answer = nullptr;
        EXPECT_EQ(call(m_contract, &answer), S_OK);
        EXPECT_FALSE(Parses(_bstr_t(answer, false)));
    }
    EXPECT_EQ(RecordedEvents().size(), std::size(calls));
    EXPECT_EQ(HostState("ConservationMode"), 1) << "the set was done";
}

// The power manager's event as the program opens it: -1 when it does not open, else 1 while signalled.
int AirplaneEvent() {
    const HANDLE event = OpenEventW(SYNCHRONIZE, TRUE, L"Global\\VoltaroActivateAirplaneModeEvent");
    if (!event) {
        return -1;
    }
    const int signaled = WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? 1 : 0;
    EXPECT_FALSE(SetEvent(event)) << "the program only waits on it";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(event);
    return signaled;
}

TEST(HostAirplaneModeEvent, ThePowerManagersEventIsSignalledWhileTheAirplaneModeIsOn) {
    CTestMachine machine("business-win10");
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);
    EXPECT_EQ(AirplaneEvent(), 0);
    contract->SetAirplaneMode(1);
    EXPECT_EQ(AirplaneEvent(), 1);
    ASSERT_EQ(RunTool("feature AirplanePowerMode --state off").exitCode, 0);
    EXPECT_EQ(AirplaneEvent(), 0) << "however the state changes";
    ASSERT_EQ(RunTool("feature AirplanePowerMode --state on").exitCode, 0);
    const HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"Local\\VoltaroActivateAirplaneModeEvent");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_EQ(RunTool("feature AirplanePowerMode --state off").exitCode, 0);
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "an open handle follows too";
    CloseHandle(event);
}

TEST(HostAirplaneModeEvent, WithoutThePowerManagerTheEventDoesNotOpen) {
    CTestMachine machine("consumer-win11");
    ASSERT_EQ(RunTool("feature AirplanePowerMode --supported yes --state on").exitCode, 0);
    EXPECT_EQ(AirplaneEvent(), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

} // namespace
