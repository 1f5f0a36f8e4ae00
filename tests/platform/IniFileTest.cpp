// Initialisation files: Windows' reading rules, changes that keep the rest of the file, encodings,
// failures, and concurrent writers in threads and in another process.
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/inifile.h"
#include "platform/internal.h"
#include "tests/platform/FilesTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestMachine.h"

namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kIniPath = L"C:\\Users\\Alex\\AppData\\Local\\ShowEx.cfg";

class IniFileTest : public testing::Test {
protected:
    fs::path IniHost() const { return machine.Folder() / "drive_c/Users/Alex/AppData/Local/ShowEx.cfg"; }
    void WriteIni(std::string_view bytes) const { files_test::WriteHostFile(IniHost(), bytes); }
    std::string IniBytes() const { return files_test::ReadHostFile(IniHost()); }

    testing_support::CTestMachine machine;
};

struct ReadCase {
    const char* name;
    std::optional<std::string> file; // nullopt: no file
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* defaultText;
    DWORD size;
    std::wstring expected; // the buffer up to the answer's length, then the nulls that end it
};

using namespace std::string_literals;

const ReadCase kReadCases[] = {
    {"names ignore case", "[Sec]\r\nKey=value\r\n", L"sEC", L"kEY", L"d", 256, L"value"},
    {"values are trimmed", "[s]\r\n  key \t=   spaced value \t\r\n", L"s", L"key", L"", 256, L"spaced value"},
    {"section names are trimmed", "[  s  ]\r\nk=v\r\n", L"S", L"K", L"", 256, L"v"},
    {"double quotes stripped", "[s]\r\nk=\" quoted \"\r\n", L"s", L"k", L"", 256, L" quoted "},
    {"single quotes stripped", "[s]\r\nk='x'\r\n", L"s", L"k", L"", 256, L"x"},
    {"one pair only", "[s]\r\nk=\"\"x\"\"\r\n", L"s", L"k", L"", 256, L"\"x\""},
    {"unmatched quote stays", "[s]\r\nk=\"x'\r\n", L"s", L"k", L"", 256, L"\"x'"},
    {"empty value", "[s]\r\nk=\r\n", L"s", L"k", L"d", 256, L""},
    {"first of two keys", "[s]\r\nk=1\r\nK=2\r\n", L"s", L"k", L"", 256, L"1"},
    {"keys of other sections", "[a]\r\nk=1\r\n[b]\r\nk=2\r\n", L"b", L"k", L"", 256, L"2"},
    {"comments are no keys", "[s]\r\n;k=1\r\n", L"s", L";k", L"none", 256, L"none"},
    {"lines with LF only", "[s]\nk=lf\n", L"s", L"k", L"", 256, L"lf"},
    {"default for a missing key", "[s]\r\nk=1\r\n", L"s", L"other", L"fallback  ", 256, L"fallback"},
    {"default for a missing section", "[s]\r\nk=1\r\n", L"t", L"k", L"d", 256, L"d"},
    {"null default", "[s]\r\n", L"s", L"k", nullptr, 256, L""},
    {"default for a missing file", std::nullopt, L"s", L"k", L"d", 256, L"d"},
    {"value cut to the buffer", "[s]\r\nk=abcdef\r\n", L"s", L"k", L"", 4, L"abc"},
    {"default cut to the buffer", std::nullopt, L"s", L"k", L"abcdef", 3, L"ab"},
    {"section list", "[a]\r\nk=1\r\n[B]\r\n[A]\r\n", nullptr, nullptr, L"d", 256, L"a\0B\0"s},
    {"section list cut", "[abc]\r\n[de]\r\n", nullptr, nullptr, L"", 4, L"ab"s},
    {"empty section list", "", nullptr, nullptr, L"d", 256, L""},
    {"key list", "[s]\r\nk1=1\r\n;c=2\r\nK1=3\r\nk2\r\n[t]\r\nk3=4", L"S", nullptr, L"d", 256, L"k1\0k2\0"s},
    {"key list cut", "[s]\r\nlong=1\r\nk=2\r\n", L"s", nullptr, L"", 5, L"lon"s},
    {"key list of a missing section", "[s]\r\nk=1\r\n", L"t", nullptr, L"d", 256, L""},
    {"UTF-16LE file", "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\xE9\0\x2C\x4E\r\0\n\0"s, L"s", L"k", L"", 256,
     L"\u00E9\u4E2C"},
    {"UTF-8 file with BOM", "\xEF\xBB\xBF[s]\r\nk=\xE2\x82\xAC\r\n", L"s", L"k", L"", 256, L"\u20AC"},
    {"UTF-8 file", "[s]\r\nk=\xC3\xA9\r\n", L"s", L"k", L"", 256, L"\u00E9"},
    {"ANSI file", "[s]\r\nk=\xE9\x80\r\n", L"s", L"k", L"", 256, L"\u00E9\u20AC"},
};

TEST_F(IniFileTest, ReadsAsWindows) {
    for (const auto& entry : kReadCases) {
        SCOPED_TRACE(entry.name);
        std::error_code ec;
        fs::remove(IniHost(), ec);
        if (entry.file) {
            WriteIni(*entry.file);
        }
        std::wstring buffer(300, L'#');
        const DWORD length = GetPrivateProfileStringW(entry.section, entry.key, entry.defaultText,
                                                      buffer.data(), entry.size, kIniPath);
        EXPECT_EQ(length, entry.expected.size());
        EXPECT_EQ(buffer.substr(0, length), entry.expected);
        EXPECT_EQ(buffer[length], L'\0');
        if (!entry.section || !entry.key) {
            const bool endsWithTwoNulls =
                (length > 0 && buffer[length - 1] == L'\0') || buffer[length + 1] == L'\0';
            EXPECT_TRUE(endsWithTwoNulls);
        }
    }
}

TEST_F(IniFileTest, ReadsIntegersAsWindows) {
    WriteIni("[s]\r\nplain=42\r\nneg=-7\r\nlead=12abc\r\ntext=abc\r\nempty=\r\nquoted=\"5\"\r\n"
             "hex=0x1F\r\nhexLower=0x1f\r\noctal=0o17\r\nbinary=0b101\r\nzeroFirst=010\r\nnegHex=-0x10\r\n"
             "hexEnd=0x1G\r\nbinaryEnd=0b102\r\nprefixOnly=0x\r\nbig=2147483648\r\nlargest=4294967295\r\n"
             "hexUpper=0X1F\r\n");
    struct {
        const wchar_t* key;
        UINT expected;
    } const cases[] = {{L"plain", 42u},
                       {L"neg", static_cast<UINT>(-7)},
                       {L"lead", 12u},
                       {L"text", 0u},
                       {L"empty", 99u},
                       {L"quoted", 5u},
                       {L"missing", 99u},
                       {L"hex", 31u},
                       {L"hexLower", 31u},
                       {L"octal", 15u},
                       {L"binary", 5u},
                       {L"zeroFirst", 10u},
                       {L"negHex", static_cast<UINT>(-16)},
                       {L"hexEnd", 1u},
                       {L"binaryEnd", 2u},
                       {L"prefixOnly", 0u},
                       {L"big", 2147483648u},
                       {L"largest", 4294967295u},
                       {L"hexUpper", 0u}}; // the base marks are lower case only
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.key));
        EXPECT_EQ(GetPrivateProfileIntW(L"S", entry.key, 99, kIniPath), entry.expected);
    }
    EXPECT_EQ(GetPrivateProfileIntW(L"s", L"plain", -1, L"C:\\missing.ini"), static_cast<UINT>(-1));
}

TEST_F(IniFileTest, FirstWriteMakesTheFile) {
    ASSERT_TRUE(WritePrivateProfileStringW(L"EyecareMode", L"support", L"1", kIniPath));
    ASSERT_TRUE(WritePrivateProfileStringW(L"EyecareMode", L"status", L"\u00E9\u4E2C", kIniPath));
    EXPECT_EQ(IniBytes(), "[EyecareMode]\r\nsupport=1\r\nstatus=\xC3\xA9\xE4\xB8\xAC\r\n");
}

TEST_F(IniFileTest, ChangesKeepEveryOtherLine) {
    WriteIni(
        "; state cache\r\n[First]\r\nkeep = 1\r\nSupport=0\r\n\r\n[Second]\n; note\nk=v\n[Third]\r\nx=1");
    ASSERT_TRUE(WritePrivateProfileStringW(L"first", L"support", L"1", kIniPath));
    ASSERT_TRUE(WritePrivateProfileStringW(L"First", L"status", L"2", kIniPath));
    ASSERT_TRUE(WritePrivateProfileStringW(L"second", L"K", nullptr, kIniPath));
    ASSERT_TRUE(WritePrivateProfileStringW(L"THIRD", nullptr, nullptr, kIniPath));
    ASSERT_TRUE(WritePrivateProfileStringW(L"Fourth", L"new", L"n", kIniPath));
    EXPECT_EQ(IniBytes(),
              "; state cache\r\n[First]\r\nkeep = 1\r\nSupport=1\r\nstatus=2\r\n\r\n[Second]\n; note\n"
              "[Fourth]\r\nnew=n\r\n");
}

TEST_F(IniFileTest, WritesKeepTheLayoutOfTheFile) {
    struct {
        const char* name;
        const char* before;
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value; // null deletes the key
        const char* after;
    } const cases[] = {
        {"a new value keeps the line up to the old one", "[s]\r\n  Key =  old value \r\nk2 = 1\r\n", L"S",
         L"key", L"new", "[s]\r\n  Key =  new\r\nk2 = 1\r\n"},
        {"an empty value takes the new one behind the blanks", "[s]\r\nkey = \r\n", L"s", L"key", L"1",
         "[s]\r\nkey = 1\r\n"},
        {"a new key goes before the blank lines", "[a]\r\nx = 1\r\n\r\n\r\n[b]\r\ny=2\r\n", L"a", L"z", L"3",
         "[a]\r\nx = 1\r\nz=3\r\n\r\n\r\n[b]\r\ny=2\r\n"},
        {"a new section follows without a blank line", "[a]\r\nx=1\r\n", L"b", L"k", L"v",
         "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
        {"a deleted key leaves the blank lines", "[a]\r\nx=1\r\ny = 2\r\n\r\n[b]\r\n", L"a", L"y", nullptr,
         "[a]\r\nx=1\r\n\r\n[b]\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteIni(c.before);
        ASSERT_TRUE(WritePrivateProfileStringW(c.section, c.key, c.value, kIniPath));
        EXPECT_EQ(IniBytes(), c.after);
    }
}

TEST_F(IniFileTest, DeletingFromNoFileMakesNone) {
    EXPECT_TRUE(WritePrivateProfileStringW(L"s", L"k", nullptr, kIniPath));
    EXPECT_TRUE(WritePrivateProfileStringW(L"s", nullptr, nullptr, kIniPath));
    EXPECT_FALSE(fs::exists(IniHost()));
}

TEST_F(IniFileTest, FilesKeepTheirEncoding) {
    struct {
        const char* name;
        std::string before;
        const wchar_t* value;
        std::string after;
    } const cases[] = {
        {"UTF-16LE", "\xFF\xFE[\0s\0]\0\r\0\n\0"s, L"\u4E2C",
         "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x2C\x4E\r\0\n\0"s},
        {"UTF-8 with BOM", "\xEF\xBB\xBF[s]\r\n", L"\u00E9", "\xEF\xBB\xBF[s]\r\nk=\xC3\xA9\r\n"},
        {"ANSI", "[s]\r\nold=\xE9\r\n", L"\u20AC", "[s]\r\nold=\xE9\r\nk=\x80\r\n"},
        {"ANSI with nulls and stray line ends", "[s]\r\nx=\0\r\r\n\xFF"s, L"v",
         "[s]\r\nx=\0\r\r\n\xFF\r\nk=v\r\n"s},
        {"ANSI beyond its code page", "[s]\r\nold=\xE9\r\n", L"\u4E2C",
         "[s]\r\nold=\xC3\xA9\r\nk=\xE4\xB8\xAC\r\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        WriteIni(entry.before);
        ASSERT_TRUE(WritePrivateProfileStringW(L"s", L"k", entry.value, kIniPath));
        EXPECT_EQ(IniBytes(), entry.after);
        wchar_t buffer[16] = {};
        GetPrivateProfileStringW(L"s", L"k", L"", buffer, 16, kIniPath);
        EXPECT_STREQ(buffer, entry.value);
    }
}

TEST_F(IniFileTest, WritesThatWouldLoseDataFail) {
    struct {
        const char* name;
        std::string file;
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value;
        DWORD error;
    } const cases[] = {
        {"bytes no encoding reproduces", "\xFF\xFE[\0s\0]\0\r"s, L"s", L"k", L"v", ERROR_INVALID_DATA},
        {"a value that opens a line", "[s]\r\n", L"s", L"k", L"v\r\n[other]", ERROR_INVALID_PARAMETER},
        {"a key with an equals sign", "[s]\r\n", L"s", L"a=b", L"v", ERROR_INVALID_PARAMETER},
        {"a section with a bracket", "[s]\r\n", L"s]x", L"k", L"v", ERROR_INVALID_PARAMETER},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        WriteIni(entry.file);
        EXPECT_FALSE(WritePrivateProfileStringW(entry.section, entry.key, entry.value, kIniPath));
        EXPECT_EQ(GetLastError(), entry.error);
        EXPECT_EQ(IniBytes(), entry.file);
    }
}

TEST_F(IniFileTest, WritesFailWhereTheFileCannotBe) {
    const fs::path sealed = machine.Folder() / "drive_c/Sealed";
    fs::create_directories(sealed);
    files_test::WriteHostFile(sealed.parent_path() / "locked.ini", "[s]\r\n");
    files_test::CReadOnlyEntry sealedFolder(sealed);
    files_test::CReadOnlyEntry lockedFile(sealed.parent_path() / "locked.ini");
    struct {
        const wchar_t* path;
        DWORD error;
    } const cases[] = {{L"C:\\Missing\\x.ini", ERROR_PATH_NOT_FOUND},
                       {L"C:\\Sealed\\x.ini", ERROR_ACCESS_DENIED},
                       {L"C:\\locked.ini", ERROR_ACCESS_DENIED},
                       {L"C:\\Sealed", ERROR_ACCESS_DENIED},
                       {L"D:\\x.ini", ERROR_PATH_NOT_FOUND}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.path));
        EXPECT_FALSE(WritePrivateProfileStringW(L"s", L"k", L"v", entry.path));
        EXPECT_EQ(GetLastError(), entry.error);
    }
    EXPECT_FALSE(fs::exists(machine.Folder() / "drive_c/Missing"));
    EXPECT_EQ(files_test::ReadHostFile(sealed.parent_path() / "locked.ini"), "[s]\r\n");
}

TEST_F(IniFileTest, FileNameAloneLiesInTheWindowsFolder) {
    ASSERT_TRUE(WritePrivateProfileStringW(L"s", L"k", L"v", L"app.ini"));
    EXPECT_EQ(files_test::ReadHostFile(machine.Folder() / "drive_c/Windows/app.ini"), "[s]\r\nk=v\r\n");
    wchar_t buffer[8] = {};
    EXPECT_EQ(GetPrivateProfileStringW(L"s", L"k", L"", buffer, 8, L"C:\\WINDOWS\\APP.INI"), 1u);
}

TEST_F(IniFileTest, SectionsAreReadAndReplacedWhole) {
    WriteIni("[s]\r\n; note\r\na = 1\r\nb=2\r\n\r\n[t]\r\nc=3\r\n");
    wchar_t buffer[32] = {};
    EXPECT_EQ(GetPrivateProfileSectionW(L"S", buffer, 32, kIniPath), 8u);
    EXPECT_EQ(std::wstring(buffer, 9), L"a=1\0b=2\0\0"s);
    ASSERT_TRUE(WritePrivateProfileSectionW(L"s", L"x=9\0y=8\0", kIniPath));
    EXPECT_EQ(IniBytes(), "[s]\r\nx=9\r\ny=8\r\n\r\n[t]\r\nc=3\r\n");
    EXPECT_FALSE(WritePrivateProfileSectionW(L"s", L"[t]\0", kIniPath));
    ASSERT_TRUE(WritePrivateProfileSectionW(L"t", nullptr, kIniPath));
    EXPECT_EQ(IniBytes(), "[s]\r\nx=9\r\ny=8\r\n\r\n");
}

constexpr int kKeysPerWriter = 20;

void WriteKeys(const std::wstring& prefix) {
    for (int i = 0; i < kKeysPerWriter; ++i) {
        const std::wstring key = prefix + std::to_wstring(i);
        WritePrivateProfileStringW(L"Shared", key.c_str(), std::to_wstring(i).c_str(), kIniPath);
    }
}

FLIPDECK_CHILD_ACTION(WriteIniKeys) {
    WriteKeys(platform::FromUtf8(args.at(0)));
    return 0;
}

TEST_F(IniFileTest, ConcurrentWritersLoseNoChange) {
    testing_support::CChildProcess child("WriteIniKeys", {"child_"});
    std::vector<std::thread> writers;
    for (int t = 0; t < 16; ++t) {
        writers.emplace_back(WriteKeys, L"thread" + std::to_wstring(t) + L"_");
    }
    for (auto& writer : writers) {
        writer.join();
    }
    ASSERT_EQ(child.Wait(), 0);
    std::vector<std::wstring> prefixes = {L"child_"};
    for (int t = 0; t < 16; ++t) {
        prefixes.push_back(L"thread" + std::to_wstring(t) + L"_");
    }
    for (const auto& prefix : prefixes) {
        for (int i = 0; i < kKeysPerWriter; ++i) {
            const std::wstring key = prefix + std::to_wstring(i);
            EXPECT_EQ(GetPrivateProfileIntW(L"Shared", key.c_str(), -1, kIniPath), static_cast<UINT>(i))
                << platform::ToUtf8(key);
        }
    }
}

} // namespace
