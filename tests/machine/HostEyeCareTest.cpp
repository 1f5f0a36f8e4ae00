// The host's SetEyeCareMode: the state it gives the eye-care feature, the settings it answers after the
// change, what it refuses (states beyond on, an unsupported feature, a disabled graphics driver), its
// record with the state and the type, and the failing and malformed hosts.
#include <functional>
#include <string>
#include <vector>

#include "machine/host/HostFeatures.h"
#include "tests/machine/HostTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace host_test;
using testing_support::CTestMachine;

using StateEdit = std::function<void(nlohmann::json&)>;

nlohmann::json& EyeCareEntry(nlohmann::json& state) {
    return state[host::kFeaturesKey]["EyeCareMode"];
}

AnswerList TempSettings(const _bstr_t& answer) {
    return ReadAnswerList(answer, "CTempSettings", "Settings");
}

nlohmann::json SetRecord(int state, int type) {
    return {{"event", "contract.SetEyeCareMode"}, {"state", state}, {"type", type}};
}

class HostEyeCareTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateContract(m_contract), S_OK); }

    CTestMachine m_machine;
    CApartment m_apartment;
    IContractInterfacePtr m_contract;
};

TEST_F(HostEyeCareTest, SetEyeCareModeTurnsTheStateOverAndAnswersTheSettingsAfterTheChange) {
    for (const auto& [state, form] : {std::pair{1, "direct"}, std::pair{0, "data"}}) {
        SCOPED_TRACE(state);
        EditHostState([form](nlohmann::json& s) { EyeCareEntry(s)[host::kFormKey] = form; });
        const AnswerList answer = TempSettings(m_contract->SetEyeCareMode(state, 1));
        EXPECT_TRUE(answer.found);
        EXPECT_EQ(answer.direct, std::string(form) == "direct");
        EXPECT_EQ(EntryText(answer, "EyeModeState"), state ? "true" : "false");
        EXPECT_EQ(EntryText(answer, "Capability"), "Support");
        EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["EyeCareMode"][host::kStateKey], state);
        EXPECT_EQ(RecordedEvents().back(), SetRecord(state, 1));
    }
    EXPECT_EQ(EntryText(TempSettings(m_contract->GetEyeCareModeStatusEx(1)), "EyeModeState"), "false");
}

struct RefusedCase {
    const char* name;
    StateEdit edit;
    int state;
    int type;
    const char* capability;
};

TEST_F(HostEyeCareTest, ASetTheFeatureCannotTakeIsRecordedAndLeavesTheStateAsItIs) {
    const RefusedCase cases[] = {
        {"the panel's reset value", [](nlohmann::json&) {}, 5, 1, "Support"},
        {"negative state", [](nlohmann::json&) {}, -1, 1, "Support"},
        {"not supported", [](nlohmann::json& s) { EyeCareEntry(s)[host::kSupportedKey] = false; }, 1, 1,
         "NotSupport"},
        // The graphics driver stays disabled: the set neither switches the mode nor clears the flag.
        {"driver disabled",
         [](nlohmann::json& s) {
             EyeCareEntry(s) = {{"supported", true}, {"state", 0}, {"disabled", true}};
         },
         1, 1, "NotAvaliable"},
        {"another type, driver disabled", [](nlohmann::json&) {}, 1, 2, "NotAvaliable"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        EditHostState(test.edit);
        const nlohmann::json before = ReadHostState();
        const AnswerList answer = TempSettings(m_contract->SetEyeCareMode(test.state, test.type));
        EXPECT_EQ(EntryText(answer, "EyeModeState"), "false");
        EXPECT_EQ(EntryText(answer, "Capability"), test.capability);
        EXPECT_EQ(ReadHostState(), before);
        EXPECT_EQ(RecordedEvents().back(), SetRecord(test.state, test.type));
    }
}

TEST_F(HostEyeCareTest, TheToolsDisabledFlagHoldsUntilTheToolGivesAStateAgain) {
    ASSERT_EQ(RunTool("feature EyeCareMode --state disabled").exitCode, 0);
    m_contract->SetEyeCareMode(1, 1);
    EXPECT_EQ(EntryText(TempSettings(m_contract->GetEyeCareModeStatusEx(1)), "Capability"), "NotAvaliable");
    ASSERT_EQ(RunTool("feature EyeCareMode --state off").exitCode, 0);
    m_contract->SetEyeCareMode(1, 1);
    const AnswerList settings = TempSettings(m_contract->GetEyeCareModeStatusEx(1));
    EXPECT_EQ(EntryText(settings, "Capability"), "Support");
    EXPECT_EQ(EntryText(settings, "EyeModeState"), "true");
    EXPECT_NE(RunTool("feature --help").output.find("SetEyeCareMode"), std::string::npos);
}

TEST_F(HostEyeCareTest, TheTableHoldsSetEyeCareModeAtPosition42) {
    using SetMethod = HRESULT (*)(IContractInterface*, int, int, BSTR*);
    BSTR answer = nullptr;
    const auto method =
        reinterpret_cast<SetMethod>((*reinterpret_cast<void***>(m_contract.GetInterfacePtr()))[42]);
    ASSERT_EQ(method(m_contract, 1, 1, &answer), S_OK);
    EXPECT_EQ(EntryText(TempSettings(_bstr_t(answer, false)), "EyeModeState"), "true");
    EXPECT_EQ(m_contract->raw_SetEyeCareMode(1, 1, nullptr), E_POINTER);
}

TEST_F(HostEyeCareTest, AFailingHostReachesNothingAndAMalformedOneActsButCutsItsAnswer) {
    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = "failing"; });
    BSTR answer = nullptr;
    EXPECT_EQ(m_contract->raw_SetEyeCareMode(1, 1, &answer), kServerFault);
    EXPECT_EQ(answer, nullptr);
    EXPECT_TRUE(RecordedEvents().empty());

    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = "malformed"; });
    ASSERT_EQ(m_contract->raw_SetEyeCareMode(1, 1, &answer), S_OK);
    EXPECT_FALSE(Parses(_bstr_t(answer, false)));
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["EyeCareMode"][host::kStateKey], 1) << "the set was done";
    EXPECT_EQ(RecordedEvents(), std::vector<nlohmann::json>{SetRecord(1, 1)});
}

} // namespace
