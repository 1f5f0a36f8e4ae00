// CoCreateInstance through the machine's registry and the test server: calls through the vtable and
// the wrappers, the failures of a missing or broken registration, apartments of worker threads, and a
// server that stays loaded while its objects live.
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "platform/libraries.h"
#include "platform/registry.h"
#include "tests/platform/ComTestServer.h"
#include "tests/platform/module/TestAnswers.h"

namespace {

using namespace com_test;
using namespace test_server;

// A class no server provides.
FLIPDECK_DECLARE_UUID(UnknownClass, "{9C2E4A61-8B3D-4F07-A5E9-1D7C3B5F0E28}")

_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));

enum class View { Redirected, Native };

// Writes the class's server path where a 32-bit registration lies (the 64-bit view's literal path
// HKLM\SOFTWARE\Wow6432Node\...), or where only a 64-bit process would find it.
void Register(REFCLSID clsid, const std::wstring& serverPath, View view = View::Redirected) {
    wchar_t text[39];
    StringFromGUID2(clsid, text, 39);
    const std::wstring root =
        view == View::Redirected ? L"SOFTWARE\\Wow6432Node\\Classes\\CLSID\\" : L"SOFTWARE\\Classes\\CLSID\\";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (root + text + L"\\InprocServer32").c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const auto bytes = static_cast<DWORD>((serverPath.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(serverPath.c_str()), bytes),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

HRESULT ErrorOf(const auto& action) {
    try {
        action();
    } catch (const _com_error& e) {
        return e.Error();
    }
    return S_OK;
}

class ComCreation : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }

    void InstallServer() {
        InstallLibrary(machine, kServerPath, TestServerLibrary());
        Register(__uuidof(TestAnswers), kServerPath);
    }

    testing_support::CTestMachine machine;
};

TEST_F(ComCreation, CreatesTheObjectAndCallsThroughTheWrappers) {
    InstallServer();
    ITestAnswersPtr answers;
    ASSERT_EQ(answers.CreateInstance(__uuidof(TestAnswers)), S_OK);
    ASSERT_TRUE(answers);

    EXPECT_TRUE(answers->Echo(L"<CapabilityList/>") == L"<CapabilityList/>");
    const _bstr_t embedded(SysAllocStringLen(L"a\0b", 3), false);
    EXPECT_EQ(answers->Echo(embedded).length(), 3u) << "a BSTR crosses the module whole";
    const _bstr_t null = answers->Echo(_bstr_t());
    EXPECT_EQ(static_cast<const wchar_t*>(null), nullptr) << "a null answer stays null";
    EXPECT_EQ(answers->Fail(S_FALSE), S_FALSE) << "success codes are no error";
}

TEST_F(ComCreation, AFailedHresultRaisesComError) {
    InstallServer();
    ITestAnswersPtr answers;
    ASSERT_EQ(answers.CreateInstance(__uuidof(TestAnswers)), S_OK);
    for (const HRESULT failure : {E_ACCESSDENIED, E_FAIL, static_cast<HRESULT>(0x80040201u)}) {
        EXPECT_EQ(ErrorOf([&] { answers->Fail(failure); }), failure);
    }
}

TEST_F(ComCreation, ArrowOnANullPointerRaisesEPointer) {
    ITestAnswersPtr answers;
    EXPECT_EQ(ErrorOf([&] { answers->Echo(L"x"); }), E_POINTER);
}

// The function at a position of an object's method table, called with the object as first argument.
template <typename Function> Function* Slot(ITestAnswers* object, int index) {
    return reinterpret_cast<Function*>((*reinterpret_cast<void***>(object))[index]);
}

TEST_F(ComCreation, MethodsStandAtTheSystemsVtablePositions) {
    InstallServer();
    ITestAnswersPtr answers(__uuidof(TestAnswers));
    ITestAnswers* object = answers;

    EXPECT_EQ(Slot<ULONG(ITestAnswers*)>(object, 1)(object), 2u); // AddRef
    EXPECT_EQ(Slot<ULONG(ITestAnswers*)>(object, 2)(object), 1u); // Release
    UINT count = 7;
    EXPECT_EQ(Slot<HRESULT(ITestAnswers*, UINT*)>(object, 3)(object, &count), S_OK); // GetTypeInfoCount
    EXPECT_EQ(count, 0u);
    EXPECT_EQ((Slot<HRESULT(ITestAnswers*, UINT, LCID, ITypeInfo**)>(object, 4)(object, 0, 0, nullptr)),
              E_NOTIMPL); // GetTypeInfo
    // The interface's own methods follow IDispatch's seven.
    _bstr_t text(L"slot");
    BSTR answer = nullptr;
    EXPECT_EQ((Slot<HRESULT(ITestAnswers*, BSTR, BSTR*)>(object, 7)(object, text, &answer)), S_OK);
    EXPECT_TRUE(_bstr_t(answer, false) == text);
    EXPECT_EQ((Slot<HRESULT(ITestAnswers*, HRESULT)>(object, 8)(object, E_ABORT)), E_ABORT);
    int live = 0;
    EXPECT_EQ((Slot<HRESULT(ITestAnswers*, int*)>(object, 9)(object, &live)), S_OK);
    EXPECT_EQ(live, 1);
}

TEST_F(ComCreation, SmartPointersAskTheObjectForOtherInterfaces) {
    InstallServer();
    IUnknownPtr unknown;
    ASSERT_EQ(unknown.CreateInstance(__uuidof(TestAnswers), nullptr, CLSCTX_INPROC_SERVER), S_OK);
    const ITestAnswersPtr answers(unknown);
    ASSERT_TRUE(answers);
    EXPECT_TRUE(answers == unknown);
    EXPECT_TRUE(!ITestMissingPtr(unknown));
    EXPECT_EQ(answers->LiveObjects(), 1);
}

enum class Registration {
    None,
    NativeViewOnly,
    EmptyValue,
    MissingFile,
    NotAModule,
    NoClassObject,
    OtherClass
};

struct FailureCase {
    const char* name;
    Registration registration;
    DWORD context;
    HRESULT expected;
};

class ComCreationFailure : public ComCreation, public testing::WithParamInterface<FailureCase> {
protected:
    void Prepare(Registration registration) {
        const std::wstring path = kServerPath;
        switch (registration) {
        case Registration::None:
            break;
        case Registration::NativeViewOnly:
            InstallLibrary(machine, path, TestServerLibrary());
            Register(__uuidof(TestAnswers), path, View::Native);
            break;
        case Registration::EmptyValue:
            Register(__uuidof(TestAnswers), L"");
            break;
        case Registration::MissingFile:
            Register(__uuidof(TestAnswers), path);
            break;
        case Registration::NotAModule:
            WriteFile(machine, path, "MZ but no module");
            Register(__uuidof(TestAnswers), path);
            break;
        case Registration::NoClassObject:
            InstallLibrary(machine, path, PlatformLibrary());
            Register(__uuidof(TestAnswers), path);
            break;
        case Registration::OtherClass: // registered to a server that does not make it
            InstallLibrary(machine, path, TestServerLibrary());
            Register(__uuidof(UnknownClass), path);
            break;
        }
    }
};

TEST_P(ComCreationFailure, LeavesThePointerNullWithTheSystemsResult) {
    const FailureCase& c = GetParam();
    Prepare(c.registration);
    const CLSID clsid =
        c.registration == Registration::OtherClass ? __uuidof(UnknownClass) : __uuidof(TestAnswers);
    ITestAnswersPtr answers;
    EXPECT_EQ(answers.CreateInstance(clsid, nullptr, c.context), c.expected);
    EXPECT_TRUE(!answers);

    void* raw = &raw;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, c.context, __uuidof(ITestAnswers), &raw), c.expected);
    EXPECT_EQ(raw, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Registrations, ComCreationFailure,
    testing::Values(
        FailureCase{"NotRegistered", Registration::None, CLSCTX_ALL, REGDB_E_CLASSNOTREG},
        FailureCase{"RegisteredForSixtyFourBitOnly", Registration::NativeViewOnly, CLSCTX_ALL,
                    REGDB_E_CLASSNOTREG},
        FailureCase{"EmptyServerPath", Registration::EmptyValue, CLSCTX_ALL, REGDB_E_CLASSNOTREG},
        FailureCase{"ServerFileMissing", Registration::MissingFile, CLSCTX_ALL,
                    HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        FailureCase{"ServerNotAModule", Registration::NotAModule, CLSCTX_INPROC_SERVER,
                    HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT)},
        FailureCase{"ServerWithoutClassObject", Registration::NoClassObject, CLSCTX_ALL, CO_E_ERRORINDLL},
        FailureCase{"ServerWithoutTheClass", Registration::OtherClass, CLSCTX_ALL, CLASS_E_CLASSNOTAVAILABLE},
        FailureCase{"OutOfProcessOnly", Registration::None, CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(ComCreation, AMissingInterfaceFailsInEitherContext) {
    InstallServer();
    for (const DWORD context : {DWORD{CLSCTX_INPROC_SERVER}, DWORD{CLSCTX_ALL}}) {
        ITestMissingPtr missing;
        EXPECT_EQ(missing.CreateInstance(__uuidof(TestAnswers), nullptr, context), E_NOINTERFACE);
        EXPECT_TRUE(!missing);
    }
    EXPECT_EQ(ErrorOf([] { ITestAnswersPtr answers(__uuidof(UnknownClass)); }), REGDB_E_CLASSNOTREG);
}

TEST_F(ComCreation, WorkersNeedAnApartmentUnlessAMultithreadedOneExists) {
    InstallServer();
    const auto createOnWorker = [] {
        return std::async(std::launch::async,
                          [] {
                              ITestAnswersPtr answers;
                              return answers.CreateInstance(__uuidof(TestAnswers));
                          })
            .get();
    };
    EXPECT_EQ(createOnWorker(), CO_E_NOTINITIALIZED) << "the main thread's apartment is its own";

    std::promise<void> entered;
    std::promise<void> done;
    std::thread multithreaded([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        entered.set_value();
        done.get_future().wait();
        CoUninitialize();
    });
    entered.get_future().wait();
    EXPECT_EQ(createOnWorker(), S_OK) << "a thread without apartment joins the multithreaded one";
    done.set_value();
    multithreaded.join();

    ITestAnswersPtr answers(__uuidof(TestAnswers));
    auto echoOnWorker = std::async(std::launch::async, [&] { return answers->Echo(L"from a worker"); });
    EXPECT_TRUE(echoOnWorker.get() == L"from a worker") << "calls on an existing object need no apartment";
}

TEST_F(ComCreation, TheServerStaysLoadedWhileItsObjectsLive) {
    InstallServer();
    ITestAnswersPtr answers(__uuidof(TestAnswers));
    CoUninitialize(); // the last apartment of the process ends
    EXPECT_TRUE(IsLoaded(TestServerLibrary()));
    EXPECT_EQ(answers->LiveObjects(), 1);
    answers = nullptr;

    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
    EXPECT_FALSE(IsLoaded(TestServerLibrary())) << "unused once its objects are gone";
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
}

} // namespace
