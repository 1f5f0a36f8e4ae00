// The host's privacy guard and camera calls: the capability and setting answers made from the feature's
// state, SetPrivacyGuard and the screen-privacy driver's registry value that follows every change of the
// state (by the host or by the tool), SetCamera, and the host's failing and malformed modes for them.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "machine/host/HostFeatures.h"
#include "platform/registry.h"
#include "tests/machine/HostTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace host_test;
using testing_support::CTestMachine;

using StateEdit = std::function<void(nlohmann::json&)>;

nlohmann::json& GuardEntry(nlohmann::json& state) {
    return state[host::kFeaturesKey]["PrivacyGuard"];
}

int HostGuardState() {
    return ReadHostState()[host::kFeaturesKey]["PrivacyGuard"].value(host::kStateKey, -1);
}

// The driver's REG_DWORD "State" (64-bit view); none without the key or the value.
std::optional<DWORD> DriverState() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegQueryValueExW(key, L"State", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD ? std::optional(value) : std::nullopt;
}

AnswerList Capabilities(IContractInterface* contract) {
    return ReadAnswerList(contract->IsSupportPrivacyGuard(), "CapabilityList", "Capability");
}

AnswerList Settings(const _bstr_t& answer) {
    return ReadAnswerList(answer, "SettingList", "Setting");
}

class HostPrivacyGuardTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateContract(m_contract), S_OK); }

    CTestMachine m_machine;
    CApartment m_apartment;
    IContractInterfacePtr m_contract;
};

struct AnswerCase {
    const char* name;
    StateEdit edit;
    bool direct;
    KeyedTexts capabilities;
    KeyedTexts settings;
};

TEST_F(HostPrivacyGuardTest, TheCapabilityAndSettingAnswersCarryTheFeaturesStateInItsForm) {
    const AnswerCase cases[] = {
        {"the consumer notebook's",
         [](nlohmann::json&) {},
         true,
         {{"PrivacyGuard", "False"}, {"PrivacyGuardOnPassword", "False"}},
         {{"PrivacyGuard", "False"}, {"PrivacyGuardOnPassword", "False"}}},
        {"on, in Data",
         [](nlohmann::json& s) {
             GuardEntry(s) = {{"supported", true}, {"state", 1}, {"form", "data"}};
         },
         false,
         {{"PrivacyGuard", "True"}, {"PrivacyGuardOnPassword", "True"}},
         {{"PrivacyGuard", "True"}, {"PrivacyGuardOnPassword", "False"}}},
        {"off",
         [](nlohmann::json& s) {
             GuardEntry(s) = {{"supported", true}, {"state", 0}};
         },
         true,
         {{"PrivacyGuard", "True"}, {"PrivacyGuardOnPassword", "True"}},
         {{"PrivacyGuard", "False"}, {"PrivacyGuardOnPassword", "False"}}},
        {"on but not supported",
         [](nlohmann::json& s) {
             GuardEntry(s) = {{"supported", false}, {"state", 1}};
         },
         true,
         {{"PrivacyGuard", "False"}, {"PrivacyGuardOnPassword", "False"}},
         {{"PrivacyGuard", "False"}, {"PrivacyGuardOnPassword", "False"}}},
        // The feature's answer texts stand in both lists, in place of the host's or after them.
        {"answer texts",
         [](nlohmann::json& s) {
             GuardEntry(s) = {{"supported", true},
                              {"state", 1},
                              {"answer", {{"PrivacyGuardOnPassword", "true"}, {"privacyguard", "<x>"}}}};
         },
         true,
         {{"PrivacyGuard", "True"}, {"PrivacyGuardOnPassword", "true"}, {"privacyguard", "<x>"}},
         {{"PrivacyGuard", "True"}, {"PrivacyGuardOnPassword", "true"}, {"privacyguard", "<x>"}}},
    };
    const nlohmann::json fresh = ReadHostState();
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        EditHostState([&](nlohmann::json& state) {
            state = fresh;
            test.edit(state);
        });
        const AnswerList capabilities = Capabilities(m_contract);
        const AnswerList settings = Settings(m_contract->GetPrivacyGuardStatus());
        EXPECT_TRUE(capabilities.found);
        EXPECT_TRUE(settings.found);
        EXPECT_EQ(capabilities.direct, test.direct);
        EXPECT_EQ(settings.direct, test.direct);
        EXPECT_EQ(capabilities.entries, test.capabilities);
        EXPECT_EQ(settings.entries, test.settings);
    }
    const std::vector<nlohmann::json> pair = {{{"event", "contract.IsSupportPrivacyGuard"}},
                                              {{"event", "contract.GetPrivacyGuardStatus"}}};
    std::vector<nlohmann::json> expected;
    for (size_t i = 0; i < std::size(cases); ++i) {
        expected.insert(expected.end(), pair.begin(), pair.end());
    }
    EXPECT_EQ(RecordedEvents(), expected);
}

TEST_F(HostPrivacyGuardTest, SetPrivacyGuardTurnsTheStateOverAndTheDriverPublishesIt) {
    EditHostState([](nlohmann::json& s) { GuardEntry(s)[host::kSupportedKey] = true; });
    ASSERT_EQ(DriverState(), std::nullopt)
        << "the consumer notebook has no driver key until the guard is set";

    for (const int state : {1, 0}) {
        SCOPED_TRACE(state);
        const AnswerList answer = Settings(m_contract->SetPrivacyGuard(state));
        EXPECT_EQ(EntryText(answer, "PrivacyGuard"), state ? "True" : "False")
            << "the settings after the change";
        EXPECT_EQ(HostGuardState(), state);
        EXPECT_EQ(DriverState(), std::optional<DWORD>(state));
        EXPECT_EQ(RecordedEvents().back(),
                  (nlohmann::json{{"event", "contract.SetPrivacyGuard"}, {"state", state}}));
    }
}

struct RefusedCase {
    const char* name;
    StateEdit edit;
    int state;
};

// On the business notebook, whose driver publishes the guard off.
TEST(HostPrivacyGuardBusiness, ASetTheGuardCannotTakeIsRecordedAndChangesNeitherTheHostNorTheDriver) {
    CTestMachine machine("business-win10");
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);
    const RefusedCase cases[] = {
        {"state beyond on", [](nlohmann::json&) {}, 2},
        {"negative state", [](nlohmann::json&) {}, -1},
        {"not supported", [](nlohmann::json& s) { GuardEntry(s)[host::kSupportedKey] = false; }, 1},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        EditHostState(test.edit);
        const nlohmann::json before = ReadHostState();
        EXPECT_EQ(EntryText(Settings(contract->SetPrivacyGuard(test.state)), "PrivacyGuard"), "False");
        EXPECT_EQ(ReadHostState(), before);
        EXPECT_EQ(DriverState(), std::optional<DWORD>(0));
        EXPECT_EQ(RecordedEvents().back(),
                  (nlohmann::json{{"event", "contract.SetPrivacyGuard"}, {"state", test.state}}));
    }
}

TEST(HostPrivacyGuardBusiness, TheDriverAgreesWithTheHostFromTheStart) {
    CTestMachine machine("business-win10");
    EXPECT_EQ(HostGuardState(), 0);
    EXPECT_EQ(DriverState(), std::optional<DWORD>(0));
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);
    EXPECT_EQ(EntryText(Capabilities(contract), "PrivacyGuard"), "True");
    contract->SetPrivacyGuard(1);
    EXPECT_EQ(DriverState(), std::optional<DWORD>(1));
}

TEST(HostPrivacyGuardTool, TheToolsStateIsPublishedByTheDriverAndAnsweredByTheHost) {
    CTestMachine machine;
    ASSERT_EQ(RunTool("feature PrivacyGuard --supported yes").exitCode, 0);
    EXPECT_EQ(DriverState(), std::nullopt) << "support alone is no state";
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);
    for (const char* state : {"on", "off"}) {
        SCOPED_TRACE(state);
        const bool on = std::string(state) == "on";
        ASSERT_EQ(RunTool(std::string("feature privacyguard --state ") + state).exitCode, 0);
        EXPECT_EQ(DriverState(), std::optional<DWORD>(on ? 1 : 0));
        EXPECT_EQ(EntryText(Settings(contract->GetPrivacyGuardStatus()), "PrivacyGuard"),
                  on ? "True" : "False");
    }
    EXPECT_EQ(RunTool("feature PrivacyGuard --state disabled").exitCode, 2) << "the guard is never greyed";
    EXPECT_NE(RunTool("feature --help").output.find("HKLM\\SOFTWARE\\Corvex\\Shadeveil"), std::string::npos);
}

TEST_F(HostPrivacyGuardTest, SetCameraIsRecordedWithItsStateAndAnswersSuccess) {
    const _bstr_t answer = m_contract->SetCamera(1);
    TiXmlDocument document;
    const TiXmlElement* root = nullptr;
    const TiXmlElement* result = nullptr;
    ASSERT_TRUE(LoadXmlRoot(answer, document, root));
    ASSERT_TRUE(FindElementByName(root, "Result", result));
    EXPECT_STREQ(GetElementText(result), "Success");
    EXPECT_EQ(RecordedEvents(),
              (std::vector<nlohmann::json>{{{"event", "contract.SetCamera"}, {"state", 1}}}));
    EXPECT_EQ(m_contract->raw_SetCamera(1, nullptr), E_POINTER);
}

// The calls of this file, raw.
std::vector<std::pair<const char*, std::function<HRESULT(IContractInterface*, BSTR*)>>> GuardCalls() {
    return {
        {"IsSupportPrivacyGuard",
         [](IContractInterface* c, BSTR* a) { return c->raw_IsSupportPrivacyGuard(a); }},
        {"GetPrivacyGuardStatus",
         [](IContractInterface* c, BSTR* a) { return c->raw_GetPrivacyGuardStatus(a); }},
        {"SetPrivacyGuard", [](IContractInterface* c, BSTR* a) { return c->raw_SetPrivacyGuard(1, a); }},
        {"SetCamera", [](IContractInterface* c, BSTR* a) { return c->raw_SetCamera(1, a); }},
    };
}

TEST_F(HostPrivacyGuardTest, AFailingHostReachesNothingAndAMalformedOneActsButCutsItsAnswers) {
    EditHostState([](nlohmann::json& s) {
        GuardEntry(s)[host::kSupportedKey] = true;
        s[host::kModeKey] = "failing";
    });
    for (const auto& [name, call] : GuardCalls()) {
        SCOPED_TRACE(name);
        BSTR answer = nullptr;
        EXPECT_EQ(call(m_contract, &answer), kServerFault);
        EXPECT_EQ(answer, nullptr);
    }
    EXPECT_TRUE(RecordedEvents().empty());
    EXPECT_EQ(HostGuardState(), 0);
    EXPECT_EQ(DriverState(), std::nullopt);

    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = "malformed"; });
    for (const auto& [name, call] : GuardCalls()) {
        SCOPED_TRACE(name);
        BSTR answer = nullptr;
        EXPECT_EQ(call(m_contract, &answer), S_OK);
        EXPECT_FALSE(Parses(_bstr_t(answer, false)));
    }
    EXPECT_EQ(RecordedEvents().size(), GuardCalls().size());
    EXPECT_EQ(HostGuardState(), 1) << "the set was done";
    EXPECT_EQ(DriverState(), std::optional<DWORD>(1));
}

} // namespace
