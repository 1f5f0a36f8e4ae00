// The host's contract server on a test machine: made through the profile's registration, its answers,
// the events of the calls that reach the host, the host's modes and the interface's table.
#include <dlfcn.h>

#include <chrono>
#include <thread>

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
    EXPECT_TRUE(RecordedEvents().empty());
}

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
    EXPECT_EQ(m_contract->raw_GetWifiSecurityStatus(&answer), E_NOTIMPL);
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
