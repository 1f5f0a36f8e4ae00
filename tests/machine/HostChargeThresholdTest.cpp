// The host's battery charge threshold calls: the capability and the status of up to two batteries made
// from the feature's state in its form and with its answer texts; SetChargeThreshold, which switches the
// threshold and takes the batteries' percentages when switching on; and the host's failing and
// malformed modes for them.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/machine/HostTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace host_test;
using testing_support::CTestMachine;

using StateEdit = std::function<void(nlohmann::json&)>;

// The charge modes' capabilities of the business notebook, which has none.
const std::pair<std::string, std::string> kNoChargeModes[] = {{"ChargeMode-Storage", "false"},
                                                              {"ChargeMode-StorageLimited", "false"}};

nlohmann::json& Threshold(nlohmann::json& state) {
    return state[host::kFeaturesKey]["BatteryChargeThreshold"];
}

int HostThresholdState() {
    return ReadHostState()[host::kFeaturesKey]["BatteryChargeThreshold"].value(host::kStateKey, -1);
}

AnswerList Capabilities(IContractInterface* contract) {
    return ReadAnswerList(contract->IsSupportBatteryEx(), "CapabilityList", "Capability");
}

// One battery's part of the status answer: "IsEnabled,StartValue,StopValue" and its reset setting.
struct BatteryStatus {
    std::string threshold;
    std::string resetRunning;
    bool operator==(const BatteryStatus&) const = default;
};

void PrintTo(const BatteryStatus& battery, std::ostream* out) {
    *out << "{" << battery.threshold << ", reset " << battery.resetRunning << "}";
}

std::string ChildText(const TiXmlElement* parent, const char* name) {
    const char* text = GetElementText(parent->FirstChildElement(name));
    return text ? text : "<none>";
}

// The status answer as the program's finders read it; found is false when it holds no threshold.
struct StatusAnswer {
    bool found = false;
    bool direct = false;
    std::vector<BatteryStatus> batteries;
};

StatusAnswer ReadStatus(const _bstr_t& answer) {
    StatusAnswer read;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    TiXmlDocument resetDocument;
    const TiXmlElement* root = nullptr;
    const TiXmlElement* threshold = nullptr;
    const TiXmlElement* reset = nullptr;
    if (!LoadXmlRoot(answer, document, root) ||
        !FindElementInAnswer(root, "BatteryChargeThreshold", threshold, dataDocument) ||
        !FindElementInAnswer(root, "BatteryResetStatus", reset, resetDocument)) {
        return read;
    }
    read.found = true;
    read.direct = threshold->GetDocument() == &document;
    for (; threshold && reset; threshold = threshold->NextSiblingElement("BatteryChargeThreshold"),
                               reset = reset->NextSiblingElement("BatteryResetStatus")) {
        const char* running = GetElementText(reset->FirstChildElement("Setting"));
        read.batteries.push_back({ChildText(threshold, "IsEnabled") + "," +
                                      ChildText(threshold, "StartValue") + "," +
                                      ChildText(threshold, "StopValue"),
                                  running ? running : "<none>"});
    }
    EXPECT_EQ(threshold, nullptr) << "a reset status for each battery";
    EXPECT_EQ(reset, nullptr) << "a threshold for each battery";
    return read;
}

class HostChargeThresholdTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateContract(m_contract), S_OK); }

    // The business notebook's host state, then the case's change.
    void StartFrom(const StateEdit& edit) {
        EditHostState([&](nlohmann::json& state) {
            state = m_fresh;
            edit(state);
        });
    }

    CTestMachine m_machine{"business-win10"};
    CApartment m_apartment;
    IContractInterfacePtr m_contract;
    const nlohmann::json m_fresh = ReadHostState();
};

struct AnswerCase {
    const char* name;
    StateEdit edit;
    bool direct;
    KeyedTexts capabilities;
    std::vector<BatteryStatus> batteries;
};

TEST_F(HostChargeThresholdTest, TheAnswersCarryTheStateTheResetAndEachBatterysPercentages) {
    const AnswerCase cases[] = {
        {"the business notebook's, off",
         [](nlohmann::json&) {},
         true,
         {{"BatteryChargeThreshold", "true"}, kNoChargeModes[0], kNoChargeModes[1]},
         {{"false,75,80", "false"}}},
        {"on, in Data",
         [](nlohmann::json& s) {
             Threshold(s) = {{"supported", true}, {"state", 1}, {"form", "data"}};
         },
         false,
         {{"BatteryChargeThreshold", "true"}, kNoChargeModes[0], kNoChargeModes[1]},
         {{"true,75,80", "false"}}},
        {"on but not supported",
         [](nlohmann::json& s) {
             Threshold(s) = {{"supported", false}, {"state", 1}};
         },
         true,
         {{"BatteryChargeThreshold", "false"}, kNoChargeModes[0], kNoChargeModes[1]},
         {{"false,75,80", "false"}}},
        {"disabled: battery 1 is reset",
         [](nlohmann::json& s) {
             Threshold(s) = {
                 {"supported", true}, {"state", 1}, {"disabled", true}, {"answer", {{"Batteries", "2"}}}};
         },
         true,
         {{"BatteryChargeThreshold", "true"}, kNoChargeModes[0], kNoChargeModes[1]},
         {{"true,75,80", "true"}, {"true,75,80", "false"}}},
        // The status takes its own texts; the capabilities take the others.
        {"answer texts",
         [](nlohmann::json& s) {
             Threshold(s) = {{"supported", true},
                             {"state", 0},
                             {"answer",
                              {{"Batteries", "2"},
                               {"StartValue", "77"},
                               {"StopValue", "<83>"},
                               {"IsEnabled2", "TRUE"},
                               {"StopValue2", "90"},
                               {"IsResetRunning2", "yes"},
                               {"BatteryChargeThreshold", "True"},
                               {"Other", "x"}}}};
         },
         true,
         {{"BatteryChargeThreshold", "True"}, kNoChargeModes[0], kNoChargeModes[1], {"Other", "x"}},
         {{"false,77,<83>", "false"}, {"TRUE,75,90", "yes"}}},
        {"no battery",
         [](nlohmann::json& s) {
             Threshold(s)[host::kAnswerKey] = {{"Batteries", "0"}};
         },
         true,
         {{"BatteryChargeThreshold", "true"}, kNoChargeModes[0], kNoChargeModes[1]},
         {}},
        {"a battery count that is none",
         [](nlohmann::json& s) {
             Threshold(s)[host::kAnswerKey] = {{"Batteries", "3"}};
         },
         true,
         {{"BatteryChargeThreshold", "true"}, kNoChargeModes[0], kNoChargeModes[1]},
         {{"false,75,80", "false"}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const AnswerList capabilities = Capabilities(m_contract);
        const StatusAnswer status = ReadStatus(m_contract->GetChargeThresholdStatusEx());
        EXPECT_TRUE(capabilities.found);
        EXPECT_EQ(capabilities.direct, test.direct);
        EXPECT_EQ(capabilities.entries, test.capabilities);
        EXPECT_EQ(status.found, !test.batteries.empty());
        if (status.found) {
            EXPECT_EQ(status.direct, test.direct);
        }
        EXPECT_EQ(status.batteries, test.batteries);
    }
    const std::vector<nlohmann::json> pair = {{{"event", "contract.IsSupportBatteryEx"}},
                                              {{"event", "contract.GetChargeThresholdStatusEx"}}};
    std::vector<nlohmann::json> expected;
    for (size_t i = 0; i < std::size(cases); ++i) {
        expected.insert(expected.end(), pair.begin(), pair.end());
    }
    EXPECT_EQ(RecordedEvents(), expected);
}

nlohmann::json SetRecord(int enable, const std::string& threshold1, const std::string& threshold2) {
    return {{"event", "contract.SetChargeThreshold"},
            {"enable", enable},
            {"threshold1", threshold1},
            {"threshold2", threshold2}};
}

TEST_F(HostChargeThresholdTest, SwitchingOnTakesEachBatterysPercentagesAndSwitchingOffKeepsThem) {
    StartFrom([](nlohmann::json& s) { Threshold(s)[host::kAnswerKey] = {{"Batteries", "2"}}; });
    const struct {
        int enable;
        const char* threshold1;
        const char* threshold2;
        std::vector<BatteryStatus> batteries;
    } calls[] = {
        {1, "1,60,90", "2,40,55", {{"true,60,90", "false"}, {"true,40,55", "false"}}},
        {0, "1", "2", {{"false,60,90", "false"}, {"false,40,55", "false"}}},
        // Thresholds in either order, one missing.
        {1, "2,75,80", "", {{"true,60,90", "false"}, {"true,75,80", "false"}}},
    };
    std::vector<nlohmann::json> records;
    for (const auto& call : calls) {
        SCOPED_TRACE(std::to_string(call.enable) + " " + call.threshold1 + " " + call.threshold2);
        const StatusAnswer after =
            ReadStatus(m_contract->SetChargeThreshold(call.enable, call.threshold1, call.threshold2));
        EXPECT_EQ(after.batteries, call.batteries) << "the status after the change";
        EXPECT_EQ(ReadStatus(m_contract->GetChargeThresholdStatusEx()).batteries, call.batteries);
        EXPECT_EQ(HostThresholdState(), call.enable);
        records.push_back(SetRecord(call.enable, call.threshold1, call.threshold2));
        records.push_back({{"event", "contract.GetChargeThresholdStatusEx"}});
    }
    EXPECT_EQ(RecordedEvents(), records);
}

TEST_F(HostChargeThresholdTest, AThresholdThatIsNoBatterysPercentagesIsLeftOut) {
    const char* const refused[] = {"1,80,75",   "1,80,80", "1,-5,80", "1,75,101", "3,75,80",
                                   "2,60,90",   "0,75,80", "1,75",    "1,75,80,", "1, 75,80",
                                   "1,75,80,5", "",        "a,75,80", "1,75,80%", ",75,80"};
    for (const char* threshold : refused) {
        SCOPED_TRACE(threshold);
        StartFrom([](nlohmann::json&) {});
        const StatusAnswer after = ReadStatus(m_contract->SetChargeThreshold(1, threshold, threshold));
        EXPECT_EQ(after.batteries, (std::vector<BatteryStatus>{{"true,75,80", "false"}}));
        EXPECT_EQ(HostThresholdState(), 1) << "the switch is taken all the same";
    }
    StartFrom([](nlohmann::json&) {});
    EXPECT_EQ(ReadStatus(m_contract->SetChargeThreshold(1, "1,0,100", "")).batteries,
              (std::vector<BatteryStatus>{{"true,0,100", "false"}}));
}

TEST_F(HostChargeThresholdTest, ASetTheFeatureCannotTakeIsRecordedAndChangesNothing) {
    const struct {
        const char* name;
        StateEdit edit;
        int enable;
    } cases[] = {
        {"enable beyond on", [](nlohmann::json&) {}, 2},
        {"negative enable", [](nlohmann::json&) {}, -1},
        {"not supported", [](nlohmann::json& s) { Threshold(s)[host::kSupportedKey] = false; }, 1},
        {"a battery reset runs", [](nlohmann::json& s) { Threshold(s)[host::kDisabledKey] = true; }, 1},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        StartFrom(test.edit);
        const nlohmann::json before = ReadHostState();
        m_contract->SetChargeThreshold(test.enable, "1,60,90", "2,60,90");
        EXPECT_EQ(ReadHostState(), before);
        EXPECT_EQ(RecordedEvents().back(), SetRecord(test.enable, "1,60,90", "2,60,90"));
    }
}

// The calls of this file, raw.
std::vector<std::pair<const char*, std::function<HRESULT(IContractInterface*, BSTR*)>>> ThresholdCalls() {
    return {
        {"IsSupportBatteryEx", [](IContractInterface* c, BSTR* a) { return c->raw_IsSupportBatteryEx(a); }},
        {"GetChargeThresholdStatusEx",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetChargeThresholdStatusEx(a); }},
        {"SetChargeThreshold",
         [](IContractInterface* c, BSTR* a) {
             const _bstr_t threshold1(L"1,60,90");
             return c->raw_SetChargeThreshold(1, threshold1, nullptr, a);
         }},
    };
}

TEST_F(HostChargeThresholdTest, AFailingHostReachesNothingAndAMalformedOneActsButCutsItsAnswers) {
    StartFrom([](nlohmann::json& s) { s[host::kModeKey] = "failing"; });
    for (const auto& [name, call] : ThresholdCalls()) {
        SCOPED_TRACE(name);
        BSTR answer = nullptr;
        EXPECT_EQ(call(m_contract, &answer), kServerFault);
        EXPECT_EQ(answer, nullptr);
        EXPECT_EQ(call(m_contract, nullptr), E_POINTER);
    }
    EXPECT_TRUE(RecordedEvents().empty());
    EXPECT_EQ(HostThresholdState(), 0);

    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = "malformed"; });
    for (const auto& [name, call] : ThresholdCalls()) {
        SCOPED_TRACE(name);
        BSTR answer = nullptr;
        EXPECT_EQ(call(m_contract, &answer), S_OK);
        EXPECT_FALSE(Parses(_bstr_t(answer, false)));
    }
    EXPECT_EQ(RecordedEvents().size(), ThresholdCalls().size());
    EXPECT_EQ(RecordedEvents().back(), SetRecord(1, "1,60,90", "")) << "a null text is the empty one";
    EXPECT_EQ(HostThresholdState(), 1) << "the set was done";
    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = "normal"; });
    EXPECT_EQ(ReadStatus(m_contract->GetChargeThresholdStatusEx()).batteries,
              (std::vector<BatteryStatus>{{"true,60,90", "false"}}));
}

TEST(HostChargeThresholdTool, TheToolGreysTheFeatureForABatteryResetAndANewStateEndsIt) {
    CTestMachine machine("business-win10");
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);
    ASSERT_EQ(RunTool("feature BatteryChargeThreshold --state disabled").exitCode, 0);
    EXPECT_EQ(ReadStatus(contract->GetChargeThresholdStatusEx()).batteries,
              (std::vector<BatteryStatus>{{"false,75,80", "true"}}));
    ASSERT_EQ(
        RunTool("feature batterychargethreshold --state on --answer Batteries=2 --answer StartValue2=50")
            .exitCode,
        0);
    EXPECT_EQ(ReadStatus(contract->GetChargeThresholdStatusEx()).batteries,
              (std::vector<BatteryStatus>{{"true,75,80", "false"}, {"true,50,80", "false"}}));
    EXPECT_NE(RunTool("feature --help").output.find("GetChargeThresholdStatusEx and SetChargeThreshold"),
              std::string::npos);
}

} // namespace
