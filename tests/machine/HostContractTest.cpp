// The host's contract server on a test machine: made through the profile's registration, its answers,
// the events of the calls that reach the host, the host's modes and the interface's table.
#include <dlfcn.h>

#include <chrono>
#include <cstring>
#include <future>
#include <optional>
#include <thread>
#include <utility>

#include "machine/host/HostFeatures.h"
#include "platform/registry.h"
#include "tests/machine/HostTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace host_test;
using testing_support::CTestMachine;

// The answer's text; "<null>" for a null answer.
std::wstring Text(const _bstr_t& answer) {
    const wchar_t* text = answer;
    return text ? text : L"<null>";
}

bool Contains(const _bstr_t& answer, const wchar_t* text) {
    return static_cast<const wchar_t*>(answer) && std::wcsstr(static_cast<const wchar_t*>(answer), text);
}

class HostContractTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateContract(m_contract), S_OK); }

    CTestMachine m_machine;
    CApartment m_apartment;
    IContractInterfacePtr m_contract;
};

// ---- Each profile's host ----

struct ProfileCase {
    const char* profile;
    const wchar_t* brand;
    const wchar_t* mtm;
};

class HostProfileTest : public testing::TestWithParam<ProfileCase> {};

TEST_P(HostProfileTest, TheProgramsCreationFindsTheServerAndEachServedMethodAnswers) {
    CTestMachine machine(GetParam().profile);
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);

    EXPECT_EQ(contract->InitializeContract("CorvexAmpwisePackage", "0.0.0.0"), S_OK);
    EXPECT_EQ(Text(contract->GetMachineBrand()), GetParam().brand);
    EXPECT_EQ(Text(contract->GetMachineTypeModel()), GetParam().mtm);
    const _bstr_t invoke = contract->CheckPluginInvoke();
    EXPECT_TRUE(Contains(invoke, L"PluginInvokeSuccess"));
    EXPECT_FALSE(Contains(invoke, L"PluginInvokeError1"));
    const _bstr_t eyeCare = contract->GetEyeCareModeStatusEx(1);
    EXPECT_TRUE(Contains(eyeCare, L"<SettingList><CTempSettings>"));
    EXPECT_TRUE(Contains(eyeCare, L"<Settings key=\"APICapability\">true</Settings>"));
    EXPECT_TRUE(Contains(eyeCare, L"<Settings key=\"EyeModeState\">false</Settings>"));

    const std::vector<nlohmann::json> expected = {
        {{"event", "contract.InitializeContract"},
         {"package", "CorvexAmpwisePackage"},
         {"version", "0.0.0.0"}},
        {{"event", "contract.GetMachineBrand"}},
        {{"event", "contract.GetMachineTypeModel"}},
        {{"event", "contract.CheckPluginInvoke"}},
        {{"event", "contract.GetEyeCareModeStatusEx"}, {"type", 1}},
    };
    EXPECT_EQ(RecordedEvents(), expected);
}

// The plug-in installed and the security add-in not, all three location consents allowed, the service
// supported and off, its settings inside the host's "Data" document.
TEST_P(HostProfileTest, OffersWiFiSecurityAsTheButtonLooksForIt) {
    CTestMachine machine(GetParam().profile);
    EXPECT_TRUE(
        std::filesystem::exists(machine.HostPath(L"C:"
                                                 L"\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexWiFiSecuri"
                                                 L"tyPlugin\\x64\\CorvexWiFiSecurityPlugin.dll")));
    EXPECT_FALSE(std::filesystem::exists(machine.HostPath(
        L"C:\\ProgramData\\Corvex\\Solvane\\Addins\\CorvexSecurityAddin\\AddinManifest.xml")));
    CApartment apartment;
    IContractInterfacePtr contract;
    ASSERT_EQ(CreateContract(contract), S_OK);
    const AnswerList status = ReadAnswerList(contract->GetWifiSecurityStatus());
    EXPECT_TRUE(status.found);
    EXPECT_FALSE(status.direct);
    const KeyedTexts expected = {{"IsSupported", "true"},
                                 {"IsEnabled", "false"},
                                 {"SystemPolicy", "true"},
                                 {"UserPreference", "false"},
                                 {"LocationPermission", "allow,allow,allow"}};
    EXPECT_EQ(status.entries, expected);
}

INSTANTIATE_TEST_SUITE_P(Profiles, HostProfileTest,
                         testing::Values(ProfileCase{"consumer-win11", L"Ixor", L"83DA0012US"},
                                         ProfileCase{"business-win10", L"Kobal", L"KT420041GE"}));

// ---- Telemetry ----

struct TelemetryCase {
    const char* name;
    std::function<HRESULT(IContractInterface*)> send;
    nlohmann::json expected;
};

TEST_F(HostContractTest, TelemetryCallsAppendExactlyTheirEvents) {
    const TelemetryCase cases[] = {
        {"feature",
         [](IContractInterface* c) {
             return c->SendFeatureTelemetry(L"Features.Toolbar.Flipdecks.Micphone", L"On",
                                            L"Features.Toolbar.Flipdecks", L"ctx");
         },
         {{"event", "telemetry.feature"},
          {"name", "Features.Toolbar.Flipdecks.Micphone"},
          {"value", "On"},
          {"page", "Features.Toolbar.Flipdecks"},
          {"context", "ctx"}}},
        {"page",
         [](IContractInterface* c) {
             return c->SendPageTelemetry(L"Pages.Toolbar", L"", L"1.5000000", L"ctx");
         },
         {{"event", "telemetry.page"},
          {"page", "Pages.Toolbar"},
          {"from", ""},
          {"value", "1.5000000"},
          {"context", "ctx"}}},
        {"page view",
         [](IContractInterface* c) {
             return c->SendPageView(L"Features.Toolbar.Flipdecks", L"Pages.Toolbar");
         },
         {{"event", "telemetry.pageview"},
          {"feature", "Features.Toolbar.Flipdecks"},
          {"page", "Pages.Toolbar"}}},
        // Null BSTRs are empty texts; wide texts arrive as UTF-8.
        {"null texts",
         [](IContractInterface* c) { return c->raw_SendPageTelemetry(nullptr, nullptr, nullptr, nullptr); },
         {{"event", "telemetry.page"}, {"page", ""}, {"from", ""}, {"value", ""}, {"context", ""}}},
        {"wide texts",
         [](IContractInterface* c) {
             return c->SendPageView(L"Funktion \u00c4\u00df \u4e2d", L"\U0001F50B");
         },
         {{"event", "telemetry.pageview"},
          {"feature", "Funktion \u00c4\u00df \u4e2d"},
          {"page", "\U0001F50B"}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const size_t before = RecordedEvents().size();
        EXPECT_EQ(test.send(m_contract), S_OK);
        const std::vector<nlohmann::json> events = RecordedEvents();
        ASSERT_EQ(events.size(), before + 1);
        EXPECT_EQ(events.back(), test.expected);
    }
}

// ---- The host's state ----

TEST_F(HostContractTest, ALiveObjectAnswersFromTheStateAsItChanges) {
    EXPECT_EQ(Text(m_contract->GetMachineBrand()), L"Ixor");
    EditHostState([](nlohmann::json& state) {
        state[host::kBrandKey] = "Kobal";
        state[host::kPluginInvokeKey] = "error1";
        state[host::kFeaturesKey]["EyeCareMode"]["state"] = 1;
    });
    EXPECT_EQ(Text(m_contract->GetMachineBrand()), L"Kobal");
    EXPECT_TRUE(Contains(m_contract->CheckPluginInvoke(), L"PluginInvokeError1"));
    EXPECT_TRUE(
        Contains(m_contract->GetEyeCareModeStatusEx(1), L"<Settings key=\"EyeModeState\">true</Settings>"));

    EditHostState(
        [](nlohmann::json& state) { state[host::kFeaturesKey]["EyeCareMode"]["supported"] = false; });
    const _bstr_t eyeCare = m_contract->GetEyeCareModeStatusEx(1);
    EXPECT_TRUE(Contains(eyeCare, L"<Settings key=\"APICapability\">false</Settings>"));
    EXPECT_TRUE(Contains(eyeCare, L"<Settings key=\"Capability\">NotSupport</Settings>"));
}

TEST_F(HostContractTest, AMalformedStateIsReadAsTheDefaultsAndKeptAsItIs) {
    const char* states[] = {
        "{not json",
        "[1, 2]",
        R"({"brand": 5, "mtm": null, "pluginInvoke": true, "answerDelayMs": "slow", "features": [1]})",
        R"({"features": {"EyeCareMode": {"supported": "yes", "state": "on"}}})",
    };
    for (const char* text : states) {
        SCOPED_TRACE(text);
        WriteHostStateText(text);
        EXPECT_EQ(Text(m_contract->GetMachineBrand()), L"");
        EXPECT_FALSE(Contains(m_contract->CheckPluginInvoke(), L"PluginInvokeError1"));
        EXPECT_TRUE(Contains(m_contract->GetEyeCareModeStatusEx(1), L"\"APICapability\">false<"));
        EXPECT_EQ(platform::ReadWholeFile(HostStateFile()), text);
    }
}

TEST_F(HostContractTest, ASlowHostAnswersAfterItsDelay) {
    EditHostState([](nlohmann::json& state) { state[host::kDelayKey] = 200; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Text(m_contract->GetMachineBrand()), L"Ixor");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

// ---- Failures ----

struct ServedCall {
    const char* name;
    std::function<void(IContractInterface*)> wrapper;
    std::function<HRESULT(IContractInterface*)> raw;
};

// A raw query whose answer is dropped.
template <typename Query> HRESULT QueryAndDrop(Query query) {
    BSTR answer = nullptr;
    const HRESULT hr = query(&answer);
    SysFreeString(answer);
    return hr;
}

std::vector<ServedCall> ServedCalls() {
    return {
        {"InitializeContract", [](IContractInterface* c) { c->InitializeContract("p", "v"); },
         [](IContractInterface* c) { return c->raw_InitializeContract(nullptr, nullptr); }},
        {"SendPageView", [](IContractInterface* c) { c->SendPageView(L"f", L"p"); },
         [](IContractInterface* c) { return c->raw_SendPageView(nullptr, nullptr); }},
        {"SendFeatureTelemetry",
         [](IContractInterface* c) { c->SendFeatureTelemetry(L"e", L"v", L"p", L"c"); },
         [](IContractInterface* c) {
             return c->raw_SendFeatureTelemetry(nullptr, nullptr, nullptr, nullptr);
         }},
        {"SendPageTelemetry", [](IContractInterface* c) { c->SendPageTelemetry(L"p", L"f", L"v", L"c"); },
         [](IContractInterface* c) { return c->raw_SendPageTelemetry(nullptr, nullptr, nullptr, nullptr); }},
        {"CheckPluginInvoke", [](IContractInterface* c) { c->CheckPluginInvoke(); },
         [](IContractInterface* c) {
             return QueryAndDrop([c](BSTR* a) { return c->raw_CheckPluginInvoke(a); });
         }},
        {"GetMachineBrand", [](IContractInterface* c) { c->GetMachineBrand(); },
         [](IContractInterface* c) {
             return QueryAndDrop([c](BSTR* a) { return c->raw_GetMachineBrand(a); });
         }},
        {"GetMachineTypeModel", [](IContractInterface* c) { c->GetMachineTypeModel(); },
         [](IContractInterface* c) {
             return QueryAndDrop([c](BSTR* a) { return c->raw_GetMachineTypeModel(a); });
         }},
        {"GetEyeCareModeStatusEx", [](IContractInterface* c) { c->GetEyeCareModeStatusEx(1); },
         [](IContractInterface* c) {
             return QueryAndDrop([c](BSTR* a) { return c->raw_GetEyeCareModeStatusEx(1, a); });
         }},
        {"GetWifiSecurityStatus", [](IContractInterface* c) { c->GetWifiSecurityStatus(); },
         [](IContractInterface* c) {
             return QueryAndDrop([c](BSTR* a) { return c->raw_GetWifiSecurityStatus(a); });
         }},
        {"SetWiFiStatus", [](IContractInterface* c) { c->SetWiFiStatus(1); },
         [](IContractInterface* c) {
             return QueryAndDrop([c](BSTR* a) { return c->raw_SetWiFiStatus(1, a); });
         }},
    };
}

struct ModeCase {
    const char* mode;
    HRESULT expected;
};

class HostFailureTest : public HostContractTest, public testing::WithParamInterface<ModeCase> {};

TEST_P(HostFailureTest, EveryServedMethodFailsAndTheWrapperRaisesTheError) {
    EditHostState([](nlohmann::json& state) { state[host::kModeKey] = GetParam().mode; });
    for (const auto& call : ServedCalls()) {
        SCOPED_TRACE(call.name);
        EXPECT_EQ(call.raw(m_contract), GetParam().expected);
        try {
            call.wrapper(m_contract);
            ADD_FAILURE() << "no _com_error";
        } catch (const _com_error& error) {
            EXPECT_EQ(error.Error(), GetParam().expected);
        }
    }
    EXPECT_TRUE(RecordedEvents().empty()) << "a failed call reaches nothing";
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["WiFiSecurity"][host::kStateKey], 0)
        << "nor changes anything";
}

// "absent" here is an object made before the host went away; an unknown mode is a broken host.
INSTANTIATE_TEST_SUITE_P(Modes, HostFailureTest,
                         testing::Values(ModeCase{"failing", kServerFault}, ModeCase{"absent", kDisconnected},
                                         ModeCase{"rebooting", kServerFault}),
                         [](const testing::TestParamInfo<ModeCase>& info) {
                             return std::string(info.param.mode);
                         });

TEST_F(HostContractTest, AQueryWithoutAnAnswerPointerIsRefusedAndReachesNothing) {
    EXPECT_EQ(m_contract->raw_GetMachineBrand(nullptr), E_POINTER);
    EXPECT_EQ(m_contract->raw_GetEyeCareModeStatusEx(1, nullptr), E_POINTER);
    EXPECT_EQ(m_contract->raw_GetWifiSecurityStatus(nullptr), E_POINTER);
    EXPECT_EQ(m_contract->raw_SetWiFiStatus(1, nullptr), E_POINTER);
    EXPECT_TRUE(RecordedEvents().empty());
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["WiFiSecurity"][host::kStateKey], 0);
}

// ---- WiFi security ----

using StateEdit = std::function<void(nlohmann::json&)>;

nlohmann::json& WiFiEntry(nlohmann::json& state) {
    return state[host::kFeaturesKey]["WiFiSecurity"];
}

struct WifiStatusCase {
    const char* name;
    StateEdit edit;
    bool direct;
    KeyedTexts expected;
};

TEST_F(HostContractTest, TheWifiSecurityStatusCarriesTheFeaturesStateInItsForm) {
    const WifiStatusCase cases[] = {
        {"on, direct",
         [](nlohmann::json& s) {
             WiFiEntry(s)[host::kStateKey] = 1;
             WiFiEntry(s)[host::kFormKey] = "direct";
         },
         true,
         {{"IsSupported", "true"},
          {"IsEnabled", "true"},
          {"SystemPolicy", "true"},
          {"UserPreference", "true"},
          {"LocationPermission", "allow,allow,allow"}}},
        {"on but not supported",
         [](nlohmann::json& s) {
             WiFiEntry(s)[host::kStateKey] = 1;
             WiFiEntry(s)[host::kSupportedKey] = false;
         },
         false,
         {{"IsSupported", "false"},
          {"IsEnabled", "false"},
          {"SystemPolicy", "true"},
          {"UserPreference", "true"},
          {"LocationPermission", "allow,allow,allow"}}},
        // Texts of the feature's answer replace the host's in place, or follow them; markup in them is
        // carried as text through both documents.
        {"answer texts",
         [](nlohmann::json& s) {
             WiFiEntry(s)[host::kAnswerKey] = {
                 {"IsSupported", "True"}, {"LocationPermission", ""}, {"Note", "a<b&\"c'</Data>"}};
         },
         false,
         {{"IsSupported", "True"},
          {"IsEnabled", "false"},
          {"SystemPolicy", "true"},
          {"UserPreference", "false"},
          {"LocationPermission", ""},
          {"Note", "a<b&\"c'</Data>"}}},
        // A feature the state does not name is unsupported; a form it does not know is direct.
        {"no entry",
         [](nlohmann::json& s) { s[host::kFeaturesKey].erase("WiFiSecurity"); },
         true,
         {{"IsSupported", "false"},
          {"IsEnabled", "false"},
          {"SystemPolicy", "true"},
          {"UserPreference", "false"},
          {"LocationPermission", "allow,allow,allow"}}},
        {"unknown form",
         [](nlohmann::json& s) {
             WiFiEntry(s) = {{"supported", true}, {"state", 0}, {"form", "Data"}};
         },
         true,
         {{"IsSupported", "true"},
          {"IsEnabled", "false"},
          {"SystemPolicy", "true"},
          {"UserPreference", "false"},
          {"LocationPermission", "allow,allow,allow"}}},
    };
    const nlohmann::json fresh = ReadHostState();
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        EditHostState([&](nlohmann::json& state) {
            state = fresh;
            test.edit(state);
        });
        const AnswerList status = ReadAnswerList(m_contract->GetWifiSecurityStatus());
        EXPECT_TRUE(status.found);
        EXPECT_EQ(status.direct, test.direct);
        EXPECT_EQ(status.entries, test.expected);
    }
    EXPECT_EQ(RecordedEvents(),
              std::vector<nlohmann::json>(std::size(cases), {{"event", "contract.GetWifiSecurityStatus"}}));
}

// Sets a REG_SZ value in the 64-bit view, or deletes it when there is no text.
void SetConsent(const wchar_t* keyPath, const std::optional<std::wstring>& text) {
    HKEY root = nullptr;
    std::wstring subKey;
    ASSERT_TRUE(platform::SplitRegistryPath(keyPath, root, subKey));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, subKey.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key), ERROR_SUCCESS);
    if (text) {
        EXPECT_EQ(RegSetValueExW(key, host::kLocationConsentValue, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text->c_str()),
                                 static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    } else {
        EXPECT_EQ(RegDeleteValueW(key, host::kLocationConsentValue), ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

struct ConsentCase {
    int consent; // which of the three
    std::optional<std::wstring> value;
    const char* expected;
};

TEST_F(HostContractTest, TheLocationPermissionListsWindowsThreeLocationConsents) {
    const ConsentCase cases[] = {
        {0, L"Deny", "deny,allow,allow"},   {1, L"Deny", "allow,deny,allow"},
        {2, L"Deny", "allow,allow,deny"},   {2, std::nullopt, "allow,allow,deny"},
        {0, L"allow", "allow,allow,allow"}, {1, L"Allowed", "allow,deny,allow"},
        {1, L"", "allow,deny,allow"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.expected);
        const wchar_t* key = host::kLocationConsentKeys[test.consent];
        SetConsent(key, test.value);
        EXPECT_EQ(EntryText(ReadAnswerList(m_contract->GetWifiSecurityStatus()), "LocationPermission"),
                  test.expected);
        SetConsent(key, L"Allow");
    }

    // A value of another type is no consent.
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(
            HKEY_CURRENT_USER,
            L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\location",
            0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    const DWORD allow = 1;
    ASSERT_EQ(
        RegSetValueExW(key, L"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&allow), sizeof(allow)),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(EntryText(ReadAnswerList(m_contract->GetWifiSecurityStatus()), "LocationPermission"),
              "allow,deny,allow");
}

TEST_F(HostContractTest, SetWiFiStatusTurnsTheStateOverAnswersTheNewSettingsAndIsRecorded) {
    const AnswerList on = ReadAnswerList(m_contract->SetWiFiStatus(1));
    EXPECT_EQ(EntryText(on, "IsEnabled"), "true");
    EXPECT_EQ(EntryText(on, "UserPreference"), "true");
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["WiFiSecurity"][host::kStateKey], 1);
    EXPECT_EQ(EntryText(ReadAnswerList(m_contract->GetWifiSecurityStatus()), "IsEnabled"), "true");

    EXPECT_EQ(EntryText(ReadAnswerList(m_contract->SetWiFiStatus(0)), "IsEnabled"), "false");
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["WiFiSecurity"][host::kStateKey], 0);

    const std::vector<nlohmann::json> expected = {
        {{"event", "contract.SetWiFiStatus"}, {"state", 1}},
        {{"event", "contract.GetWifiSecurityStatus"}},
        {{"event", "contract.SetWiFiStatus"}, {"state", 0}},
    };
    EXPECT_EQ(RecordedEvents(), expected);
}

struct RefusedSetCase {
    const char* name;
    StateEdit edit;
    int state;
};

TEST_F(HostContractTest, ASetTheFeatureCannotTakeIsRecordedAndChangesNothing) {
    const RefusedSetCase cases[] = {
        {"state beyond on", [](nlohmann::json&) {}, 2},
        {"negative state", [](nlohmann::json&) {}, -1},
        {"not supported", [](nlohmann::json& s) { WiFiEntry(s)[host::kSupportedKey] = false; }, 1},
        {"no entry", [](nlohmann::json& s) { s[host::kFeaturesKey].erase("WiFiSecurity"); }, 1},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        EditHostState(test.edit);
        const nlohmann::json before = ReadHostState();
        const size_t recorded = RecordedEvents().size();
        EXPECT_EQ(EntryText(ReadAnswerList(m_contract->SetWiFiStatus(test.state)), "IsEnabled"), "false");
        EXPECT_EQ(ReadHostState(), before);
        const std::vector<nlohmann::json> events = RecordedEvents();
        ASSERT_EQ(events.size(), recorded + 1);
        EXPECT_EQ(events.back(),
                  (nlohmann::json{{"event", "contract.SetWiFiStatus"}, {"state", test.state}}));
    }
}

TEST_F(HostContractTest, ASetOnAMalformedStateFailsAndLeavesTheStateAsItIs) {
    WriteHostStateText("{not json");
    EXPECT_EQ(QueryAndDrop([this](BSTR* a) { return m_contract->raw_SetWiFiStatus(1, a); }), kServerFault);
    EXPECT_EQ(platform::ReadWholeFile(HostStateFile()), "{not json");
    EXPECT_TRUE(RecordedEvents().empty());
}

TEST_F(HostContractTest, EyeCareAnswersCarryTheDisabledFlagTheFormAndTheAnswerTexts) {
    EditHostState([](nlohmann::json& s) {
        s[host::kFeaturesKey]["EyeCareMode"] = {{"supported", true},
                                                {"state", 1},
                                                {"disabled", true},
                                                {"form", "data"},
                                                {"answer", {{"ColorTemperature", "4800"}}}};
    });
    const AnswerList settings =
        ReadAnswerList(m_contract->GetEyeCareModeStatusEx(1), "CTempSettings", "Settings");
    EXPECT_TRUE(settings.found);
    EXPECT_FALSE(settings.direct);
    EXPECT_EQ(EntryText(settings, "Capability"), "NotAvaliable");
    EXPECT_EQ(EntryText(settings, "EyeModeState"), "true");
    EXPECT_EQ(EntryText(settings, "ColorTemperature"), "4800");
}

// ---- Slow and malformed hosts ----

TEST_F(HostContractTest, AMalformedHostActsButCutsItsXmlAnswersShort) {
    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = "malformed"; });
    for (const char* form : {"data", "direct"}) {
        SCOPED_TRACE(form);
        EditHostState([form](nlohmann::json& s) { WiFiEntry(s)[host::kFormKey] = form; });
        const _bstr_t status = m_contract->GetWifiSecurityStatus();
        EXPECT_TRUE(Contains(status, L"LocationPermission")) << "cut, not emptied";
        EXPECT_FALSE(Parses(status));
    }
    EXPECT_FALSE(Parses(m_contract->GetEyeCareModeStatusEx(1)));
    EXPECT_FALSE(Parses(m_contract->SetWiFiStatus(1)));
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["WiFiSecurity"][host::kStateKey], 1) << "the set was done";
    EXPECT_EQ(RecordedEvents().back(), (nlohmann::json{{"event", "contract.SetWiFiStatus"}, {"state", 1}}));
    EXPECT_EQ(Text(m_contract->GetMachineBrand()), L"Ixor") << "the host's own answers stay whole";
    EXPECT_EQ(Text(m_contract->GetMachineTypeModel()), L"83DA0012US");
    EXPECT_TRUE(Parses(m_contract->CheckPluginInvoke()));
}

struct ReleaseCase {
    const char* mode; // the mode the slow host changes to
    HRESULT expected;
    bool parses;
};

class HostReleaseTest : public HostContractTest, public testing::WithParamInterface<ReleaseCase> {};

// Each call waits on its own thread; the held calls are seen to wait, then to end once released.
TEST_P(HostReleaseTest, ASlowHostHoldsEveryCallUntilItLeavesTheSlowMode) {
    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = "slow"; });
    IContractInterface* contract = m_contract;
    const auto call = [contract](bool set) {
        return std::async(std::launch::async, [contract, set] {
            BSTR answer = nullptr;
            const HRESULT hr =
                set ? contract->raw_SetWiFiStatus(1, &answer) : contract->raw_GetWifiSecurityStatus(&answer);
            return std::pair(hr, _bstr_t(answer, false));
        });
    };
    auto query = call(false);
    auto set = call(true);
    EXPECT_EQ(query.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    EXPECT_EQ(set.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    EXPECT_TRUE(RecordedEvents().empty());
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["WiFiSecurity"][host::kStateKey], 0);

    // The host's own calls go on meanwhile (a start-up needs them before any feature asks).
    auto brand = std::async(std::launch::async, [contract] {
        BSTR answer = nullptr;
        const HRESULT hr = contract->raw_GetMachineBrand(&answer);
        return std::pair(hr, _bstr_t(answer, false));
    });
    ASSERT_EQ(brand.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(Text(brand.get().second), L"Ixor");
    EXPECT_EQ(contract->SendPageView(L"f", L"p"), S_OK);
    const size_t ownCalls = RecordedEvents().size();
    EXPECT_EQ(ownCalls, 2u);
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["WiFiSecurity"][host::kStateKey], 0) << "still held";

    EditHostState([](nlohmann::json& s) { s[host::kModeKey] = GetParam().mode; });
    ASSERT_EQ(query.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    ASSERT_EQ(set.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    for (auto* future : {&query, &set}) {
        const auto [hr, answer] = future->get();
        EXPECT_EQ(hr, GetParam().expected);
        EXPECT_EQ(Parses(answer), GetParam().parses);
    }
    const bool served = SUCCEEDED(GetParam().expected);
    EXPECT_EQ(RecordedEvents().size(), ownCalls + (served ? 2u : 0u));
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["WiFiSecurity"][host::kStateKey], served ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, HostReleaseTest,
                         testing::Values(ReleaseCase{"normal", S_OK, true},
                                         ReleaseCase{"malformed", S_OK, false},
                                         ReleaseCase{"failing", kServerFault, false}),
                         [](const testing::TestParamInfo<ReleaseCase>& info) {
                             return std::string(info.param.mode);
                         });

// ---- The interface's table ----

using Slot = void*;

Slot TableSlot(IContractInterface* contract, int position) {
    return (*reinterpret_cast<Slot**>(contract))[position];
}

TEST_F(HostContractTest, TheTableHoldsTheMethodsAtTheProgramsPositions) {
    using AnswerMethod = HRESULT (*)(IContractInterface*, BSTR*);
    BSTR brand = nullptr;
    ASSERT_EQ(reinterpret_cast<AnswerMethod>(TableSlot(m_contract, 13))(m_contract, &brand), S_OK);
    EXPECT_EQ(Text(_bstr_t(brand, false)), Text(m_contract->GetMachineBrand()));

    BSTR wifi = nullptr;
    ASSERT_EQ(reinterpret_cast<AnswerMethod>(TableSlot(m_contract, 66))(m_contract, &wifi), S_OK);
    EXPECT_EQ(Text(_bstr_t(wifi, false)), Text(m_contract->GetWifiSecurityStatus()));
    using SetMethod = HRESULT (*)(IContractInterface*, int, BSTR*);
    BSTR set = nullptr;
    ASSERT_EQ(reinterpret_cast<SetMethod>(TableSlot(m_contract, 67))(m_contract, 1, &set), S_OK);
    SysFreeString(set);
    EXPECT_EQ(ReadHostState()[host::kFeaturesKey]["WiFiSecurity"][host::kStateKey], 1);

    using PageTelemetry = HRESULT (*)(IContractInterface*, BSTR, BSTR, BSTR, BSTR);
    _bstr_t page(L"Pages.Toolbar"), from(L"Pages.Taskbar"), value(L"1"), context(L"ctx");
    ASSERT_EQ(
        reinterpret_cast<PageTelemetry>(TableSlot(m_contract, 78))(m_contract, page, from, value, context),
        S_OK);
    const nlohmann::json expected = {{"event", "telemetry.page"},
                                     {"page", "Pages.Toolbar"},
                                     {"from", "Pages.Taskbar"},
                                     {"value", "1"},
                                     {"context", "ctx"}};
    EXPECT_EQ(RecordedEvents().back(), expected);
}

// The position of a virtual method in its interface's table: a pointer to a virtual member function holds
// one more than the byte offset of its slot, and no adjustment (the Itanium C++ ABI of this platform).
template <typename Method> int PositionOf(Method method) {
    static_assert(sizeof(Method) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t parts[2] = {};
    std::memcpy(parts, &method, sizeof(parts));
    const bool virtualSlot = parts[0] % 2 == 1 && parts[1] == 0;
    return virtualSlot ? static_cast<int>((parts[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(Slot))) : -1;
}

// Calls a slot with the arguments of the signature the contract gives it; an answer is dropped.
using SlotCall = HRESULT (*)(Slot, IContractInterface*);

HRESULT Answer(Slot slot, IContractInterface* c) {
    return QueryAndDrop(
        [&](BSTR* a) { return reinterpret_cast<HRESULT (*)(IContractInterface*, BSTR*)>(slot)(c, a); });
}
HRESULT IntAnswer(Slot slot, IContractInterface* c) {
    return QueryAndDrop([&](BSTR* a) {
        return reinterpret_cast<HRESULT (*)(IContractInterface*, int, BSTR*)>(slot)(c, 1, a);
    });
}
HRESULT TwoIntsAnswer(Slot slot, IContractInterface* c) {
    return QueryAndDrop([&](BSTR* a) {
        return reinterpret_cast<HRESULT (*)(IContractInterface*, int, int, BSTR*)>(slot)(c, 1, 1, a);
    });
}
HRESULT IntTwoTextsAnswer(Slot slot, IContractInterface* c) {
    const _bstr_t start(L"40"), stop(L"80");
    return QueryAndDrop([&](BSTR* a) {
        return reinterpret_cast<HRESULT (*)(IContractInterface*, int, BSTR, BSTR, BSTR*)>(slot)(c, 1, start,
                                                                                                stop, a);
    });
}
HRESULT OutInt(Slot slot, IContractInterface* c) {
    int value = 0;
    return reinterpret_cast<HRESULT (*)(IContractInterface*, int*)>(slot)(c, &value);
}
HRESULT EightOutInts(Slot slot, IContractInterface* c) {
    int v[8] = {};
    return reinterpret_cast<HRESULT (*)(IContractInterface*, int*, int*, int*, int*, int*, int*, int*, int*)>(
        slot)(c, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
}
HRESULT TwoTexts(Slot slot, IContractInterface* c) {
    const _bstr_t first(L"CorvexAmpwisePackage"), second(L"0.0.0.0");
    return reinterpret_cast<HRESULT (*)(IContractInterface*, BSTR, BSTR)>(slot)(c, first, second);
}
HRESULT FourTexts(Slot slot, IContractInterface* c) {
    const _bstr_t first(L"Pages.Toolbar"), second(L""), third(L"1"), fourth(L"ctx");
    return reinterpret_cast<HRESULT (*)(IContractInterface*, BSTR, BSTR, BSTR, BSTR)>(slot)(c, first, second,
                                                                                            third, fourth);
}

struct TableRow {
    int position;
    int declared; // where the interface declares the method
    const char* method;
    SlotCall call;
    const char* event; // what the host records when it serves the method
};

// A row of the method at the position and the event the host records for it: "contract." and its name, or
// the telemetry event given.
#define CONTRACT_ROW(position, method, call)                                                                 \
    TableRow {                                                                                               \
        position, PositionOf(&IContractInterface::raw_##method), #method, call, "contract." #method          \
    }
#define TELEMETRY_ROW(position, method, call, event)                                                         \
    TableRow {                                                                                               \
        position, PositionOf(&IContractInterface::raw_##method), #method, call, event                        \
    }

// The methods the program calls, at their positions in the contract.
std::vector<TableRow> ContractTable() {
    return {
        CONTRACT_ROW(7, IsSupportDolbyEx, Answer),
        CONTRACT_ROW(8, GetDolbyStatusEx, Answer),
        CONTRACT_ROW(9, SetDolby, IntAnswer),
        CONTRACT_ROW(10, GetECourseStatusEx, Answer),
        CONTRACT_ROW(11, SetECourseMode, IntAnswer),
        CONTRACT_ROW(12, CheckPluginInvoke, Answer),
        CONTRACT_ROW(13, GetMachineBrand, Answer),
        CONTRACT_ROW(15, IsSupportBacklightEx, Answer),
        CONTRACT_ROW(16, GetBacklightStatusEx, Answer),
        CONTRACT_ROW(17, SetBackLight, IntAnswer),
        CONTRACT_ROW(18, GetIxorKBDCapability, Answer),
        CONTRACT_ROW(19, GetIxorPrimeKeySettings, Answer),
        CONTRACT_ROW(20, GetIxorFnLockSettings, Answer),
        CONTRACT_ROW(21, SetIxorFnLock, IntAnswer),
        CONTRACT_ROW(22, GetKobalKBDCapability, Answer),
        CONTRACT_ROW(23, GetKobalKBDSettings, Answer),
        CONTRACT_ROW(25, SetKobalFnLock, IntAnswer),
        CONTRACT_ROW(28, SetKobalTouchPad, IntAnswer),
        CONTRACT_ROW(29, IsSupportTouchPadEx2, Answer),
        CONTRACT_ROW(30, GetTouchPadStatusEx, Answer),
        CONTRACT_ROW(31, SetTouchPad, IntAnswer),
        CONTRACT_ROW(34, SetCamera, IntAnswer),
        CONTRACT_ROW(41, GetEyeCareModeStatusEx, IntAnswer),
        CONTRACT_ROW(42, SetEyeCareMode, TwoIntsAnswer),
        CONTRACT_ROW(43, GetEyeCareTempSettings, OutInt),
        CONTRACT_ROW(47, IsSupportBatteryEx, Answer),
        CONTRACT_ROW(48, GetBatteryStatus, Answer),
        CONTRACT_ROW(49, GetBatteryChargeModeEx, Answer),
        CONTRACT_ROW(50, SetBatteryChargeMode, IntAnswer),
        CONTRACT_ROW(55, GetChargeThresholdStatusEx, Answer),
        CONTRACT_ROW(56, SetChargeThreshold, IntTwoTextsAnswer),
        CONTRACT_ROW(57, GetMachineTypeModel, Answer),
        CONTRACT_ROW(59, GetAutoKBDBacklightEx, Answer),
        CONTRACT_ROW(61, SetSmartSense, IntAnswer),
        CONTRACT_ROW(62, GetAirplaneModeCapability, Answer),
        CONTRACT_ROW(63, GetAllPowerSettings, Answer),
        CONTRACT_ROW(65, SetAirplaneMode, IntAnswer),
        CONTRACT_ROW(66, GetWifiSecurityStatus, Answer),
        CONTRACT_ROW(67, SetWiFiStatus, IntAnswer),
        CONTRACT_ROW(69, IsSupportPrivacyGuard, Answer),
        CONTRACT_ROW(70, GetPrivacyGuardStatus, Answer),
        CONTRACT_ROW(71, SetPrivacyGuard, IntAnswer),
        CONTRACT_ROW(73, GetPrivacyMonitorState, OutInt),
        CONTRACT_ROW(74, GetPrivacyMonitorStatus, EightOutInts),
        CONTRACT_ROW(75, InitializeContract, TwoTexts),
        TELEMETRY_ROW(76, SendPageView, TwoTexts, "telemetry.pageview"),
        TELEMETRY_ROW(77, SendFeatureTelemetry, FourTexts, "telemetry.feature"),
        TELEMETRY_ROW(78, SendPageTelemetry, FourTexts, "telemetry.page"),
    };
}

#undef CONTRACT_ROW
#undef TELEMETRY_ROW

TEST(ContractInterfaceTable, DeclaresEveryMethodAtItsPosition) {
    const std::pair<int, int> unknownAndDispatch[] = {{0, PositionOf(&IContractInterface::QueryInterface)},
                                                      {1, PositionOf(&IContractInterface::AddRef)},
                                                      {2, PositionOf(&IContractInterface::Release)},
                                                      {3, PositionOf(&IContractInterface::GetTypeInfoCount)},
                                                      {4, PositionOf(&IContractInterface::GetTypeInfo)},
                                                      {5, PositionOf(&IContractInterface::GetIDsOfNames)},
                                                      {6, PositionOf(&IContractInterface::Invoke)}};
    for (const auto& [position, declared] : unknownAndDispatch) {
        EXPECT_EQ(declared, position);
    }
    for (const TableRow& row : ContractTable()) {
        EXPECT_EQ(row.declared, row.position) << row.method;
    }
}

// Each position the host serves is the method of the contract's table: its call is recorded under that
// method's name. A position the host does not serve yet answers E_NOTIMPL and records nothing.
TEST_F(HostContractTest, EachPositionThatTheHostServesIsTheMethodOfTheTable) {
    size_t served = 0;
    for (const TableRow& row : ContractTable()) {
        SCOPED_TRACE(row.method);
        const size_t before = RecordedEvents().size();
        const HRESULT hr = row.call(TableSlot(m_contract, row.position), m_contract);
        const std::vector<nlohmann::json> events = RecordedEvents();
        if (hr == E_NOTIMPL) {
            EXPECT_EQ(events.size(), before);
            continue;
        }
        ++served;
        EXPECT_EQ(hr, S_OK);
        ASSERT_EQ(events.size(), before + 1);
        EXPECT_EQ(events.back().value("event", ""), row.event);
    }
    EXPECT_GE(served, 36u) << "the methods the host serves today";
}

TEST_F(HostContractTest, UnusedPositionsAndMethodsNotServedAnswerNotImplemented) {
    using NoArguments = HRESULT (*)(IContractInterface*);
    for (const int position :
         {14, 24, 26, 27, 32, 33, 35, 36, 37, 38, 39, 40, 44, 45, 46, 51, 52, 53, 54, 58, 60, 64, 68, 72}) {
        EXPECT_EQ(reinterpret_cast<NoArguments>(TableSlot(m_contract, position))(m_contract), E_NOTIMPL)
            << "position " << position;
    }
    // A method not served leaves no stale answer behind.
    BSTR answer = SysAllocString(L"stale");
    BSTR const stale = answer;
    EXPECT_EQ(m_contract->raw_GetDolbyStatusEx(&answer), E_NOTIMPL);
    EXPECT_EQ(answer, nullptr);
    SysFreeString(stale);
    EXPECT_THROW(m_contract->SetDolby(1), _com_error);
    EXPECT_TRUE(RecordedEvents().empty());
}

// ---- IUnknown and IDispatch ----

TEST_F(HostContractTest, QueryInterfaceKnowsTheObjectsThreeInterfacesOnly) {
    for (const IID& iid : {IID_IUnknown, IID_IDispatch, __uuidof(IContractInterface)}) {
        void* found = nullptr;
        ASSERT_EQ(m_contract->QueryInterface(iid, &found), S_OK);
        EXPECT_EQ(found, static_cast<void*>(m_contract.GetInterfacePtr()));
        static_cast<IUnknown*>(found)->Release();
    }
    void* found = &found;
    EXPECT_EQ(m_contract->QueryInterface(IID_IClassFactory, &found), E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(m_contract->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    UINT count = 7;
    EXPECT_EQ(m_contract->GetTypeInfoCount(&count), E_NOTIMPL);
    EXPECT_EQ(m_contract->GetTypeInfo(0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(m_contract->GetIDsOfNames(IID_NULL, nullptr, 0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(m_contract->Invoke(0, IID_NULL, 0, 0, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
}

TEST_F(HostContractTest, ReferencesCountRightAcrossThreadsAndTheModuleMayGoOnlyWhenTheLastIsReleased) {
    void* module =
        dlopen((platform::ExecutableDirectory() / "libpactbridge.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr) << "the server is loaded";
    const auto canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(module, "DllCanUnloadNow"));
    ASSERT_NE(canUnloadNow, nullptr);

    IContractInterface* contract = m_contract.Detach();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([contract] {
            for (int i = 0; i < 20000; ++i) {
                contract->AddRef();
                contract->Release();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    EXPECT_EQ(contract->AddRef(), 2u);
    EXPECT_EQ(contract->Release(), 1u);
    EXPECT_EQ(contract->Release(), 0u);
    EXPECT_EQ(canUnloadNow(), S_OK);
    dlclose(module);
}

TEST(HostServerModule, IsUnloadedOnceTheLastObjectAndApartmentAreGone) {
    CTestMachine machine;
    const auto isLoaded = [] {
        void* module =
            dlopen((platform::ExecutableDirectory() / "libpactbridge.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (module) {
            dlclose(module);
        }
        return module != nullptr;
    };
    {
        CApartment apartment;
        IContractInterfacePtr contract;
        ASSERT_EQ(CreateContract(contract), S_OK);
        EXPECT_TRUE(isLoaded());
    }
    EXPECT_FALSE(isLoaded());
}

} // namespace
