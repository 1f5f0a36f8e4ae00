// Known folders answer the machine's folders, made on request, and fail as the shell does.
#include <string>

#include <gtest/gtest.h>

#include "platform/com.h"
#include "platform/internal.h"
#include "platform/shell.h"
#include "tests/platform/FilesTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

namespace fs = std::filesystem;

class ShellFoldersTest : public testing::Test {
protected:
    fs::path Host(const char* belowDrive) const { return machine.Folder() / "drive_c" / belowDrive; }
    testing_support::CTestMachine machine;
};

struct FolderCase {
    int csidl;
    const KNOWNFOLDERID* id;
    const wchar_t* path;
};

const FolderCase kFolders[] = {
    {CSIDL_LOCAL_APPDATA, &FOLDERID_LocalAppData, L"C:\\Users\\Alex\\AppData\\Local"},
    {-1, &FOLDERID_LocalAppDataLow, L"C:\\Users\\Alex\\AppData\\LocalLow"},
    {CSIDL_APPDATA, &FOLDERID_RoamingAppData, L"C:\\Users\\Alex\\AppData\\Roaming"},
    {CSIDL_COMMON_APPDATA, &FOLDERID_ProgramData, L"C:\\ProgramData"},
    {CSIDL_PROFILE, &FOLDERID_Profile, L"C:\\Users\\Alex"},
    {CSIDL_SYSTEM, &FOLDERID_System, L"C:\\Windows\\System32"},
    {CSIDL_WINDOWS, &FOLDERID_Windows, L"C:\\Windows"},
};

TEST_F(ShellFoldersTest, FolderPathsAreTheMachinesFolders) {
    for (const auto& folder : kFolders) {
        SCOPED_TRACE(platform::ToUtf8(folder.path));
        if (folder.csidl >= 0) {
            wchar_t path[MAX_PATH] = {};
            EXPECT_EQ(SHGetFolderPathW(nullptr, folder.csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
            EXPECT_STREQ(path, folder.path);
        }
        PWSTR known = nullptr;
        EXPECT_EQ(SHGetKnownFolderPath(*folder.id, KF_FLAG_DEFAULT, nullptr, &known), S_OK);
        ASSERT_NE(known, nullptr);
        EXPECT_STREQ(known, folder.path);
        CoTaskMemFree(known);
    }
}

TEST_F(ShellFoldersTest, MissingFolderFailsUnlessAskedToMakeIt) {
    fs::remove_all(Host("Users/Alex/AppData"));
    const HRESULT notFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    wchar_t path[MAX_PATH] = L"stale";
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path), notFound);
    EXPECT_STREQ(path, L"");
    PWSTR known = reinterpret_cast<PWSTR>(1);
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppDataLow, 0, nullptr, &known), notFound);
    EXPECT_EQ(known, nullptr);
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_DONT_VERIFY, nullptr, 0, path),
              S_OK);
    EXPECT_FALSE(fs::exists(Host("Users/Alex/AppData")));

    // Every missing level is made.
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
    EXPECT_STREQ(path, L"C:\\Users\\Alex\\AppData\\Local");
    EXPECT_TRUE(fs::is_directory(Host("Users/Alex/AppData/Local")));
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppDataLow, KF_FLAG_CREATE, nullptr, &known), S_OK);
    CoTaskMemFree(known);
    EXPECT_TRUE(fs::is_directory(Host("Users/Alex/AppData/LocalLow")));
}

TEST_F(ShellFoldersTest, FolderThatCannotBeMadeFails) {
    fs::remove_all(Host("Users/Alex/AppData"));
    files_test::CReadOnlyEntry sealed(Host("Users/Alex"));
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_STREQ(path, L"");
}

TEST_F(ShellFoldersTest, FolderWithoutFactFails) {
    files_test::SetMachineFact(machine.Folder(), "/user/localAppData", nullptr);
    files_test::SetMachineFact(machine.Folder(), "/folders/system", 42);
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path), E_FAIL);
    PWSTR known = nullptr;
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_System, 0, nullptr, &known), E_FAIL);
    EXPECT_EQ(known, nullptr);
}

TEST_F(ShellFoldersTest, UnknownFoldersAndArgumentsAreRefused) {
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathW(nullptr, 0x0005 /* documents */, nullptr, 0, path), E_INVALIDARG);
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 7, path), E_INVALIDARG);
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, nullptr), E_INVALIDARG);
    const KNOWNFOLDERID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    PWSTR known = nullptr;
    EXPECT_EQ(SHGetKnownFolderPath(unknown, 0, nullptr, &known), E_INVALIDARG);
    EXPECT_EQ(known, nullptr);
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_Windows, 0, nullptr, nullptr), E_INVALIDARG);
}

} // namespace
