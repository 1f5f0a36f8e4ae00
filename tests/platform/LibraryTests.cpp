// LoadLibraryW and friends: Windows paths mapped into the machine, the search for bare names, one
// handle per module with a reference count, exports of the module itself, and the Windows errors.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/libraries.h"
#include "platform/libraries/LoadedModules.h"
#include "tests/platform/ComTestServer.h"

namespace {

using namespace com_test;

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring FactPath(const char* pointer) {
    return platform::FromUtf8(platform::MachineFact(pointer).get<std::string>());
}

class Libraries : public testing::Test {
protected:
    testing_support::CTestMachine machine;
    const std::wstring programFolder = FolderOf(platform::ProcessImagePath());
    const std::wstring systemFolder = FactPath("/folders/system");
};

TEST_F(Libraries, OneHandlePerModuleUntilTheLastFree) {
    InstallLibrary(machine, kServerPath, TestServerLibrary());
    HMODULE first = LoadLibraryW(kServerPath);
    ASSERT_NE(first, nullptr) << GetLastError();
    EXPECT_TRUE(IsLoaded(TestServerLibrary()));
    HMODULE second = LoadLibraryW(L"c:/PROGRAM FILES (X86)/test/testmodule.DLL");
    EXPECT_EQ(second, first) << "another spelling of the same path";
    EXPECT_EQ(platform::LoadedModulePath(first), std::optional<std::wstring>(kServerPath));

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(IsLoaded(TestServerLibrary())) << "one reference is left";
    EXPECT_NE(GetProcAddress(first, "DllGetClassObject"), nullptr);
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_FALSE(IsLoaded(TestServerLibrary()));

    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(platform::LoadedModulePath(first), std::nullopt);
}

TEST_F(Libraries, GetProcAddressFindsOnlyTheModulesOwnExports) {
    InstallLibrary(machine, kServerPath, TestServerLibrary());
    HMODULE module = LoadLibraryW(kServerPath);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "DllCanUnloadNow"), nullptr);

    struct Case {
        HMODULE module;
        const char* name;
        DWORD error;
    };
    int unrelated = 0;
    const Case cases[] = {
        {module, "NoSuchExport", ERROR_PROC_NOT_FOUND},
        {module, "SysAllocString", ERROR_PROC_NOT_FOUND}, // defined by a library the module uses
        {module, reinterpret_cast<const char*>(static_cast<ULONG_PTR>(1)),
         ERROR_PROC_NOT_FOUND}, // an ordinal
        {module, nullptr, ERROR_PROC_NOT_FOUND},
        {nullptr, "DllGetClassObject", ERROR_PROC_NOT_FOUND}, // the process image exports nothing
        {reinterpret_cast<HMODULE>(&unrelated), "DllGetClassObject", ERROR_MOD_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(c.module, c.name), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(FreeLibrary(module));
}

struct FailureCase {
    const char* name;
    const wchar_t* file;
    DWORD flags;
    DWORD error;
};

class LibraryFailure : public Libraries, public testing::WithParamInterface<FailureCase> {};

TEST_P(LibraryFailure, ReportsTheWindowsError) {
    WriteFile(machine, L"C:\\Test\\Notes.dll", "not a module");
    std::filesystem::create_directories(machine.HostPath(L"C:\\Test\\Folder.dll"));
    InstallLibrary(machine, L"C:\\Test\\Server.dll", TestServerLibrary());

    const FailureCase& c = GetParam();
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExW(c.file, nullptr, c.flags), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LibraryFailure,
    testing::Values(FailureCase{"MissingPath", L"C:\\Test\\Missing.dll", 0, ERROR_MOD_NOT_FOUND},
                    FailureCase{"MissingFolder", L"C:\\Nowhere\\Server.dll", 0, ERROR_MOD_NOT_FOUND},
                    FailureCase{"MissingName", L"Missing.dll", 0, ERROR_MOD_NOT_FOUND},
                    FailureCase{"OtherDrive", L"D:\\Test\\Server.dll", 0, ERROR_MOD_NOT_FOUND},
                    FailureCase{"NotAModule", L"C:\\Test\\Notes.dll", 0, ERROR_BAD_EXE_FORMAT},
                    FailureCase{"Folder", L"C:\\Test\\Folder.dll", 0, ERROR_ACCESS_DENIED},
                    FailureCase{"EmptyName", L"", 0, ERROR_INVALID_PARAMETER},
                    FailureCase{"DataFileLoad", L"C:\\Test\\Server.dll", 0x2, ERROR_INVALID_PARAMETER},
                    FailureCase{"AlteredPathWithSearchFlags", L"C:\\Test\\Server.dll",
                                LOAD_WITH_ALTERED_SEARCH_PATH | LOAD_LIBRARY_SEARCH_SYSTEM32,
                                ERROR_INVALID_PARAMETER},
                    FailureCase{"LoadDirWithoutFullPath", L"Server.dll", LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR,
                                ERROR_INVALID_PARAMETER}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(Libraries, RefusesAFileHandleAndANullName) {
    InstallLibrary(machine, kServerPath, TestServerLibrary());
    int file = 0;
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExW(kServerPath, &file, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
}

// Where a bare name is found: which folders hold the file, the flags, and the folder it is loaded from.
struct SearchCase {
    const char* name;
    bool inProgramFolder;
    bool inSystemFolder;
    const wchar_t* request;
    DWORD flags;
    enum { Program, System, None } found;
};

class LibrarySearch : public Libraries, public testing::WithParamInterface<SearchCase> {};

TEST_P(LibrarySearch, FindsTheFileInTheFirstFolderThatHasIt) {
    const SearchCase& c = GetParam();
    if (c.inProgramFolder) {
        InstallLibrary(machine, programFolder + L"\\Helper.dll", TestServerLibrary());
    }
    if (c.inSystemFolder) {
        InstallLibrary(machine, systemFolder + L"\\Helper.dll", TestServerLibrary());
    }
    HMODULE module = LoadLibraryExW(c.request, nullptr, c.flags);
    if (c.found == SearchCase::None) {
        EXPECT_EQ(module, nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
        return;
    }
    ASSERT_NE(module, nullptr) << GetLastError();
    const std::wstring folder = c.found == SearchCase::Program ? programFolder : systemFolder;
    EXPECT_TRUE(
        platform::EqualsNoCase(platform::LoadedModulePath(module).value_or(L""), folder + L"\\Helper.dll"));
    EXPECT_TRUE(FreeLibrary(module));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, LibrarySearch,
    testing::Values(SearchCase{"ProgramFolderFirst", true, true, L"helper.dll", 0, SearchCase::Program},
                    SearchCase{"SystemFolder", false, true, L"Helper.dll", 0, SearchCase::System},
                    SearchCase{"DefaultExtension", true, false, L"Helper", 0, SearchCase::Program},
                    SearchCase{"TrailingDotMeansNoExtension", true, false, L"Helper.", 0, SearchCase::None},
                    SearchCase{"AlteredSearchPathSearchesAsUsual", true, true, L"Helper.dll",
                               LOAD_WITH_ALTERED_SEARCH_PATH, SearchCase::Program},
                    SearchCase{"System32Only", true, true, L"Helper.dll", LOAD_LIBRARY_SEARCH_SYSTEM32,
                               SearchCase::System},
                    SearchCase{"System32OnlyMissing", true, false, L"Helper.dll",
                               LOAD_LIBRARY_SEARCH_SYSTEM32, SearchCase::None},
                    SearchCase{"ApplicationFolderOnly", false, true, L"Helper.dll",
                               LOAD_LIBRARY_SEARCH_APPLICATION_DIR, SearchCase::None},
                    SearchCase{"DefaultFolders", false, true, L"Helper.dll", LOAD_LIBRARY_SEARCH_DEFAULT_DIRS,
                               SearchCase::System}),
    [](const testing::TestParamInfo<SearchCase>& info) { return info.param.name; });

TEST_F(Libraries, ABareNameMatchesALoadedModuleFirst) {
    InstallLibrary(machine, L"C:\\Elsewhere\\Helper.dll", TestServerLibrary());
    HMODULE byPath = LoadLibraryW(L"C:\\Elsewhere\\Helper.dll");
    ASSERT_NE(byPath, nullptr);
    EXPECT_EQ(LoadLibraryExW(L"HELPER.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), byPath)
        << "found although no searched folder has it";
    EXPECT_TRUE(FreeLibrary(byPath));
    EXPECT_TRUE(FreeLibrary(byPath));
    EXPECT_EQ(LoadLibraryW(L"Helper.dll"), nullptr);
}

} // namespace
