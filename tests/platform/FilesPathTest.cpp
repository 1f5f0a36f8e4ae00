// Windows paths on the machine: mapping into drive_c/, full paths, the current directory and the
// program's module path.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/libraries.h"
#include "platform/internal.h"
#include "tests/platform/ComTestServer.h"
#include "tests/platform/FilesTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kProgramPath =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexAmpwisePackage\\x86\\FlipdeckEx.exe";

class FilesPathTest : public testing::Test {
protected:
    fs::path Drive() const { return machine.Folder() / "drive_c"; }
    testing_support::CTestMachine machine;
};

struct MappingCase {
    const wchar_t* windowsPath;
    std::optional<const char*> hostBelowDrive; // nullopt: no drive of the machine holds it
};

TEST_F(FilesPathTest, MapsWindowsPathsIntoTheDrive) {
    const MappingCase cases[] = {
        // Existing names are found whatever their case, missing ones keep the case given.
        {L"c:\\USERS\\alex\\appdata\\LOCAL\\New Folder\\File.TXT",
         "Users/Alex/AppData/Local/New Folder/File.TXT"},
        {L"C:/Users/Alex/AppData", "Users/Alex/AppData"},
        {L"C:\\Users\\\\Alex\\.\\AppData\\", "Users/Alex/AppData"},
        {L"C:\\Users\\Alex\\..\\..\\..\\..\\Windows", "Windows"},
        {L"C:\\Users\\Alex\\notes.txt. . ", "Users/Alex/notes.txt"},
        {L"C:\\Users\\Alex.\\x", "Users/Alex/x"},
        {L"\\\\?\\C:\\Users\\Alex", "Users/Alex"},
        {L"C:\\", ""},
        // Relative paths start in the current directory: the program's folder.
        {L"FlipdeckEx.exe", "ProgramData/Corvex/Plexhost/Plugins/CorvexAmpwisePackage/x86/FlipdeckEx.exe"},
        {L"..\\x64", "ProgramData/Corvex/Plexhost/Plugins/CorvexAmpwisePackage/x64"},
        {L"c:x.dll", "ProgramData/Corvex/Plexhost/Plugins/CorvexAmpwisePackage/x86/x.dll"},
        {L"\\Windows\\System32", "Windows/System32"},
        {L"D:\\data", std::nullopt},
        {L"\\\\server\\share\\file", std::nullopt},
        {L"\\\\.\\VexlorDrv", std::nullopt},
        {L"\\\\?\\UNC\\server\\share", std::nullopt},
        {L"C:\\Users\\a<b", std::nullopt},
        {L"C:\\Users\\a|b", std::nullopt},
        {L"", std::nullopt},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.windowsPath));
        const auto host = platform::MapWindowsPath(entry.windowsPath);
        if (!entry.hostBelowDrive) {
            EXPECT_FALSE(host.has_value());
            continue;
        }
        ASSERT_TRUE(host.has_value());
        const std::string below = *entry.hostBelowDrive;
        EXPECT_EQ(host->lexically_normal(), below.empty() ? Drive() : (Drive() / below).lexically_normal());
    }
}

TEST_F(FilesPathTest, NamesThatDifferOnlyInCaseResolveTheSameWayEveryTime) {
    for (const char* name : {"case", "CASE", "Case"}) {
        fs::create_directories(Drive() / "Data" / name);
    }
    EXPECT_EQ(platform::MapWindowsPath(L"C:\\data\\case"), Drive() / "Data" / "case");
    // Without an exact match the first in byte order wins.
    EXPECT_EQ(platform::MapWindowsPath(L"C:\\data\\cAsE"), Drive() / "Data" / "CASE");
}

struct FullPathCase {
    const wchar_t* given;
    const wchar_t* full;
    std::optional<const wchar_t*> filePart; // nullopt: the path ends in a separator
};

TEST_F(FilesPathTest, FullPathNamesFoldRelativePartsAsWindowsDoes) {
    const FullPathCase cases[] = {
        {L"C:\\a\\b\\..\\c.txt", L"C:\\a\\c.txt", L"c.txt"},
        {L"c:/a/./b/", L"c:\\a\\b\\", std::nullopt},
        {L"C:\\..\\..", L"C:\\", std::nullopt},
        {L"D:\\x\\y\\..\\z. ", L"D:\\x\\z", L"z"},
        {L"\\\\server\\share\\a\\..\\b", L"\\\\server\\share\\b", L"b"},
        {L"\\\\?\\C:\\a\\..\\b", L"\\\\?\\C:\\a\\..\\b", L"b"},
        {L"sub\\f.ini", L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexAmpwisePackage\\x86\\sub\\f.ini",
         L"f.ini"},
        {L"\\Windows", L"C:\\Windows", L"Windows"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.given));
        wchar_t buffer[MAX_PATH] = {};
        LPWSTR filePart = nullptr;
        const DWORD length = GetFullPathNameW(entry.given, MAX_PATH, buffer, &filePart);
        EXPECT_EQ(std::wstring(buffer), entry.full);
        EXPECT_EQ(length, std::wcslen(entry.full));
        if (entry.filePart) {
            ASSERT_NE(filePart, nullptr);
            EXPECT_STREQ(filePart, *entry.filePart);
        } else {
            EXPECT_EQ(filePart, nullptr);
        }
    }
}

TEST_F(FilesPathTest, FullPathNameTooLongForTheBufferAnswersTheSizeNeeded) {
    wchar_t buffer[8] = L"keep";
    EXPECT_EQ(GetFullPathNameW(L"C:\\Windows\\System32", 8, buffer, nullptr), 20u);
    EXPECT_STREQ(buffer, L"keep");
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetFullPathNameW(L"", 8, buffer, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(FilesPathTest, CurrentDirectoryStartsInTheProgramFolderAndFollowsChanges) {
    wchar_t buffer[MAX_PATH] = {};
    const std::wstring programFolder =
        L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexAmpwisePackage\\x86";
    EXPECT_EQ(GetCurrentDirectoryW(MAX_PATH, buffer), programFolder.size());
    EXPECT_EQ(buffer, programFolder);
    EXPECT_EQ(GetCurrentDirectoryW(4, buffer), programFolder.size() + 1);

    ASSERT_TRUE(SetCurrentDirectoryW(L"c:\\users\\ALEX\\"));
    GetCurrentDirectoryW(MAX_PATH, buffer);
    EXPECT_STREQ(buffer, L"c:\\users\\ALEX");
    EXPECT_EQ(platform::MapWindowsPath(L"AppData"), Drive() / "Users" / "Alex" / "AppData");
}

TEST_F(FilesPathTest, CurrentDirectoryRefusesWhatIsNoFolder) {
    files_test::WriteHostFile(Drive() / "file.txt", "x");
    struct {
        const wchar_t* path;
        DWORD error;
    } const cases[] = {{L"C:\\missing", ERROR_FILE_NOT_FOUND},
                       {L"C:\\missing\\deeper", ERROR_PATH_NOT_FOUND},
                       {L"C:\\file.txt", ERROR_DIRECTORY},
                       {L"E:\\", ERROR_PATH_NOT_FOUND}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.path));
        EXPECT_FALSE(SetCurrentDirectoryW(entry.path));
        EXPECT_EQ(GetLastError(), entry.error);
    }
}

TEST_F(FilesPathTest, ModuleFileNameIsTheInstalledPathCutToTheBuffer) {
    const std::wstring program = kProgramPath;
    const auto length = static_cast<DWORD>(program.size());
    struct {
        DWORD size;
        DWORD result;
        size_t copied; // characters before the terminating null
        bool fits;
    } const cases[] = {{MAX_PATH, length, program.size(), true},
                       {length + 1, length, program.size(), true},
                       {length, length, program.size() - 1, false},
                       {10, 10, 9, false},
                       {1, 1, 0, false}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.size);
        std::wstring buffer(MAX_PATH, L'#');
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetModuleFileNameW(nullptr, buffer.data(), entry.size), entry.result);
        EXPECT_EQ(buffer.substr(0, entry.copied), program.substr(0, entry.copied));
        EXPECT_EQ(buffer[entry.copied], L'\0');
        EXPECT_EQ(GetLastError(), entry.fits ? ERROR_SUCCESS : static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    }
}

TEST_F(FilesPathTest, NarrowModuleFileNameFollowsTheSameRule) {
    char buffer[MAX_PATH] = {};
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, MAX_PATH), std::wcslen(kProgramPath));
    EXPECT_EQ(platform::FromUtf8(buffer), kProgramPath);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 10), 10u);
    EXPECT_STREQ(buffer, "C:\\Progra");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(FilesPathTest, ModuleFileNameOfALoadedModuleIsItsWindowsPath) {
    com_test::InstallLibrary(machine, com_test::kServerPath, com_test::TestServerLibrary());
    HMODULE module = LoadLibraryW(com_test::kServerPath);
    ASSERT_NE(module, nullptr);
    wchar_t buffer[MAX_PATH] = {};
    EXPECT_EQ(GetModuleFileNameW(module, buffer, MAX_PATH), std::wcslen(com_test::kServerPath));
    EXPECT_STREQ(buffer, com_test::kServerPath);
    FreeLibrary(module);
    EXPECT_EQ(GetModuleFileNameW(module, buffer, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(FilesPathTest, ModulePathsHoldBackslashesOnlyWhateverTheFactsSpell) {
    struct {
        const char* image;
        const wchar_t* answered;
    } const cases[] = {
        {"C:/ProgramData/Corvex/FlipdeckEx.exe", L"C:\\ProgramData\\Corvex\\FlipdeckEx.exe"},
        {"C:\\Apps\\Old\\..\\Deck\\.\\FlipdeckEx.exe", L"C:\\Apps\\Deck\\FlipdeckEx.exe"},
        {"C:\\Apps/Deck\\FlipdeckEx.exe", L"C:\\Apps\\Deck\\FlipdeckEx.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image);
        files_test::SetMachineFact(machine.Folder(), "/program/path", c.image);
        wchar_t wide[MAX_PATH] = {};
        EXPECT_EQ(GetModuleFileNameW(nullptr, wide, MAX_PATH), std::wcslen(c.answered));
        EXPECT_STREQ(wide, c.answered);
        char narrow[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, narrow, MAX_PATH);
        EXPECT_EQ(platform::FromUtf8(narrow), c.answered);
    }

    com_test::InstallLibrary(machine, com_test::kServerPath, com_test::TestServerLibrary());
    HMODULE module = LoadLibraryW(L"C:/Program Files (x86)/Other/../Test/TestModule.dll");
    ASSERT_NE(module, nullptr);
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(module, buffer, MAX_PATH);
    EXPECT_STREQ(buffer, com_test::kServerPath);
    FreeLibrary(module);
}

TEST_F(FilesPathTest, ModuleFileNameFollowsTheImagePathATestGivesAndFailsWithoutOne) {
    wchar_t buffer[MAX_PATH] = {};
    setenv("FLIPDECK_IMAGE_PATH", "C:\\Elsewhere\\FlipdeckEx.exe", 1);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, MAX_PATH), 27u);
    EXPECT_STREQ(buffer, L"C:\\Elsewhere\\FlipdeckEx.exe");
    unsetenv("FLIPDECK_IMAGE_PATH");

    files_test::SetMachineFact(machine.Folder(), "/program/path", nullptr);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

} // namespace
