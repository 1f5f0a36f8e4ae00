// The file functions on the machine's drive: access tests, folders, attributes, deletion, streams, file
// handles and path splitting, with the errors Windows and its run-time report.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/internal.h"
#include "platform/shell.h"
#include "platform/threads.h"
#include "tests/platform/FilesTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

namespace fs = std::filesystem;

// A folder with a file, a read-only file and a read-only folder.
class FilesFunctionsTest : public testing::Test {
protected:
    fs::path Host(const char* belowDrive) const { return machine.Folder() / "drive_c" / belowDrive; }
    bool MakeEntries() const {
        files_test::WriteHostFile(Host("Data/file.txt"), "text");
        files_test::WriteHostFile(Host("Data/locked.txt"), "locked");
        return fs::create_directories(Host("Data/Sealed"));
    }

    testing_support::CTestMachine machine;
    bool made = MakeEntries();
    files_test::CReadOnlyEntry lockedFile{Host("Data/locked.txt")};
    files_test::CReadOnlyEntry sealedFolder{Host("Data/Sealed")};
};

TEST_F(FilesFunctionsTest, AccessTestsAnswerAsTheRunTime) {
    struct {
        const wchar_t* path;
        int mode;
        errno_t result;
    } const cases[] = {
        {L"C:\\DATA\\File.txt", 0, 0},
        {L"C:\\Data\\file.txt", 2, 0},
        {L"C:\\Data\\file.txt", 4, 0},
        {L"C:\\Data\\file.txt", 6, 0},
        {L"C:\\Data\\locked.txt", 4, 0},
        {L"C:\\Data\\locked.txt", 2, EACCES},
        {L"C:\\Data\\locked.txt", 6, EACCES},
        {L"C:\\Data\\Sealed", 6, 0},
        {L"C:\\Data\\missing.txt", 0, ENOENT},
        {L"C:\\Nowhere\\missing.txt", 0, ENOENT},
        {L"D:\\Data\\file.txt", 0, ENOENT},
        {L"C:\\Data\\file.txt", 1, EINVAL},
        {nullptr, 0, EINVAL},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.path ? platform::ToUtf8(entry.path) + " mode " + std::to_string(entry.mode)
                                : "null");
        EXPECT_EQ(_waccess_s(entry.path, entry.mode), entry.result);
        if (entry.result != 0) {
            EXPECT_EQ(errno, entry.result);
        }
        EXPECT_EQ(_waccess(entry.path, entry.mode), entry.result == 0 ? 0 : -1);
    }
}

TEST_F(FilesFunctionsTest, MakeDirectoryMakesOnlyTheLastLevel) {
    EXPECT_EQ(_wmkdir(L"c:\\data\\New"), 0);
    EXPECT_TRUE(fs::is_directory(Host("Data/New")));
    struct {
        const wchar_t* path;
        int error;
    } const cases[] = {{L"C:\\Data\\new", EEXIST},
                       {L"C:\\Data\\file.txt", EEXIST},
                       {L"C:\\Data\\Missing\\Deeper", ENOENT},
                       {L"C:\\Data\\Sealed\\Inner", EACCES},
                       {L"Q:\\Folder", ENOENT}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.path));
        errno = 0;
        EXPECT_EQ(_wmkdir(entry.path), -1);
        EXPECT_EQ(errno, entry.error);
    }
    EXPECT_FALSE(fs::exists(Host("Data/Missing")));
}

TEST_F(FilesFunctionsTest, CreateDirectoryReportsWin32Errors) {
    EXPECT_TRUE(CreateDirectoryW(L"C:\\Data\\Made", nullptr));
    struct {
        const wchar_t* path;
        DWORD error;
    } const cases[] = {{L"C:\\DATA\\MADE", ERROR_ALREADY_EXISTS},
                       {L"C:\\Data\\Missing\\Deeper", ERROR_PATH_NOT_FOUND},
                       {L"C:\\Data\\Sealed\\Inner", ERROR_ACCESS_DENIED},
                       {L"C:\\Data\\bad?name", ERROR_INVALID_NAME}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.path));
        EXPECT_FALSE(CreateDirectoryW(entry.path, nullptr));
        EXPECT_EQ(GetLastError(), entry.error);
    }
}

TEST_F(FilesFunctionsTest, AttributesAndExistence) {
    struct {
        const wchar_t* path;
        DWORD attributes;
        DWORD error; // when the attributes are invalid
    } const cases[] = {
        {L"C:\\data", FILE_ATTRIBUTE_DIRECTORY, 0},
        {L"C:\\data\\FILE.TXT", FILE_ATTRIBUTE_NORMAL, 0},
        {L"C:\\data\\locked.txt", FILE_ATTRIBUTE_READONLY, 0},
        {L"C:\\data\\sealed", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY, 0},
        {L"C:\\data\\missing.txt", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
        {L"C:\\nowhere\\missing.txt", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
        {L"C:\\data\\file.txt\\inner", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
        // A trailing backslash names a folder: a file by that name does not answer to it.
        {L"C:\\data\\", FILE_ATTRIBUTE_DIRECTORY, 0},
        {L"C:\\data\\file.txt\\", INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME},
        {L"C:\\data\\FILE.TXT/", INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME},
        {L"C:\\data\\missing.txt\\", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.path));
        EXPECT_EQ(GetFileAttributesW(entry.path), entry.attributes);
        if (entry.attributes == INVALID_FILE_ATTRIBUTES) {
            EXPECT_EQ(GetLastError(), entry.error);
        }
        EXPECT_EQ(PathFileExistsW(entry.path), entry.attributes != INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(FilesFunctionsTest, DeleteFileRemovesFilesOnly) {
    EXPECT_TRUE(DeleteFileW(L"C:\\DATA\\file.TXT"));
    EXPECT_FALSE(fs::exists(Host("Data/file.txt")));
    struct {
        const wchar_t* path;
        DWORD error;
    } const cases[] = {{L"C:\\Data\\file.txt", ERROR_FILE_NOT_FOUND},
                       {L"C:\\Nowhere\\file.txt", ERROR_PATH_NOT_FOUND},
                       {L"C:\\Data\\Sealed", ERROR_ACCESS_DENIED},
                       {L"C:\\Data\\locked.txt", ERROR_ACCESS_DENIED}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.path));
        EXPECT_FALSE(DeleteFileW(entry.path));
        EXPECT_EQ(GetLastError(), entry.error);
    }
    EXPECT_TRUE(fs::exists(Host("Data/locked.txt")));
}

TEST_F(FilesFunctionsTest, StreamsOpenTheMappedFile) {
    FILE* out = _wfopen(L"c:\\data\\Sub.txt", L"wt, ccs=UTF-8");
    ASSERT_NE(out, nullptr);
    std::fputs("written", out);
    std::fclose(out);
    EXPECT_EQ(files_test::ReadHostFile(Host("Data/Sub.txt")), "written");

    FILE* in = nullptr;
    ASSERT_EQ(_wfopen_s(&in, L"C:\\DATA\\SUB.TXT", L"rb"), 0);
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof(text), in), 7u);
    std::fclose(in);
}

// A stream without "b" is a text stream: line feeds are carriage return and line feed in the file, and
// reading turns each such pair back into a line feed and stops at a Ctrl-Z.
TEST_F(FilesFunctionsTest, TextStreamsTranslateLineEndsAsTheRunTime) {
    const struct {
        const wchar_t* mode;
        const char* written;
        const char* inFile;
    } writes[] = {
        {L"w", "a\nb\r\nc\n", "a\r\nb\r\r\nc\r\n"},
        {L"wt", "\n\n", "\r\n\r\n"},
        {L"wb", "a\nb\r\n", "a\nb\r\n"},
    };
    for (const auto& c : writes) {
        SCOPED_TRACE(platform::ToUtf8(c.mode));
        FILE* out = _wfopen(L"C:\\Data\\lines.txt", c.mode);
        ASSERT_NE(out, nullptr);
        std::fputs(c.written, out);
        std::fflush(out);
        EXPECT_EQ(std::ftell(out), static_cast<long>(std::strlen(c.inFile))) << "positions are the file's";
        std::fclose(out);
        EXPECT_EQ(files_test::ReadHostFile(Host("Data/lines.txt")), c.inFile);
    }
    FILE* append = _wfopen(L"C:\\Data\\lines.txt", L"a");
    ASSERT_NE(append, nullptr);
    std::fputs("d\n", append);
    std::fclose(append);
    EXPECT_EQ(files_test::ReadHostFile(Host("Data/lines.txt")), "a\nb\r\nd\r\n");

    const struct {
        const wchar_t* mode;
        std::string read;
    } reads[] = {{L"r", "x\ny\rz\n"}, {L"rb", std::string("x\r\ny\rz\r\n\x1Atail", 13)}};
    for (const auto& c : reads) {
        SCOPED_TRACE(platform::ToUtf8(c.mode));
        FILE* out = _wfopen(L"C:\\Data\\lines.txt", L"wb");
        ASSERT_NE(out, nullptr);
        std::fwrite("x\r\ny\rz\r\n\x1Atail", 1, 13, out);
        std::fclose(out);
        FILE* in = _wfopen(L"C:\\Data\\lines.txt", c.mode);
        ASSERT_NE(in, nullptr);
        char text[32] = {};
        const size_t read = std::fread(text, 1, sizeof(text), in);
        std::fclose(in);
        EXPECT_EQ(std::string(text, read), c.read);
    }
}

TEST_F(FilesFunctionsTest, StreamsFailAsTheRunTime) {
    struct {
        const wchar_t* path;
        const wchar_t* mode;
        errno_t error;
    } const cases[] = {
        {L"C:\\Data\\missing.txt", L"r", ENOENT},         {L"C:\\Nowhere\\new.txt", L"w", ENOENT},
        {L"C:\\Data\\locked.txt", L"a", EACCES},          {L"C:\\Data\\locked.txt", L"r+", EACCES},
        {L"C:\\Data\\Sealed\\new.txt", L"w", EACCES},     {L"C:\\Data", L"r", EACCES},
        {L"C:\\Data\\file.txt", L"wx", EEXIST},           {L"C:\\Data\\file.txt", L"q", EINVAL},
        {L"C:\\Data\\file.txt", L"rtb", EINVAL},          {L"C:\\Data\\file.txt", L"rD", EINVAL},
        {L"C:\\Data\\file.txt", L"r,ccs=KOI8-R", EINVAL},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.path) + " " + platform::ToUtf8(entry.mode));
        FILE* file = reinterpret_cast<FILE*>(1);
        EXPECT_EQ(_wfopen_s(&file, entry.path, entry.mode), entry.error);
        EXPECT_EQ(file, nullptr);
    }
    EXPECT_EQ(files_test::ReadHostFile(Host("Data/locked.txt")), "locked");
    EXPECT_EQ(_wfopen_s(nullptr, L"C:\\Data\\file.txt", L"r"), EINVAL);
}

// ---- CreateFileW ----

TEST_F(FilesFunctionsTest, CreateFileOpensCreatesAndTruncatesAsWindowsDoes) {
    constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
    struct {
        const wchar_t* path;
        DWORD access;
        DWORD disposition;
        DWORD error; // the last error, also after success
        bool opened;
        const char* hostFile; // below C:
        const char* content;  // of hostFile afterwards
    } const cases[] = {
        {L"C:\\data\\FILE.txt", kReadWrite, CREATE_ALWAYS, ERROR_ALREADY_EXISTS, true, "Data/file.txt", ""},
        {L"C:\\Data\\new.txt", kReadWrite, CREATE_ALWAYS, ERROR_SUCCESS, true, "Data/new.txt", ""},
        {L"C:\\Data\\file.txt", GENERIC_READ, OPEN_EXISTING, ERROR_SUCCESS, true, "Data/file.txt", "text"},
        {L"C:\\Data\\new.txt", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND, false, "Data/new.txt",
         "<missing>"},
        {L"C:\\Data\\file.txt", kReadWrite, CREATE_NEW, ERROR_FILE_EXISTS, false, "Data/file.txt", "text"},
        {L"C:\\Data\\new.txt", GENERIC_WRITE, CREATE_NEW, ERROR_SUCCESS, true, "Data/new.txt", ""},
        {L"C:\\Data\\file.txt", GENERIC_ALL, OPEN_ALWAYS, ERROR_ALREADY_EXISTS, true, "Data/file.txt",
         "text"},
        {L"C:\\Data\\new.txt", kReadWrite, OPEN_ALWAYS, ERROR_SUCCESS, true, "Data/new.txt", ""},
        {L"C:\\Data\\file.txt", GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_SUCCESS, true, "Data/file.txt", ""},
        {L"C:\\Data\\file.txt", GENERIC_READ, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER, false,
         "Data/file.txt", "text"},
        {L"C:\\Data\\new.txt", GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND, false, "Data/new.txt",
         "<missing>"},
        {L"C:\\Nowhere\\new.txt", kReadWrite, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND, false, "Nowhere/new.txt",
         "<missing>"},
        {L"C:\\Data\\Sealed", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED, false, "Data/file.txt",
         "text"},
        {L"C:\\Data\\Sealed\\new.txt", kReadWrite, CREATE_ALWAYS, ERROR_ACCESS_DENIED, false,
         "Data/Sealed/new.txt", "<missing>"},
        {L"C:\\Data\\locked.txt", GENERIC_READ, OPEN_EXISTING, ERROR_SUCCESS, true, "Data/locked.txt",
         "locked"},
        {L"C:\\Data\\locked.txt", GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED, false, "Data/locked.txt",
         "locked"},
        {L"C:\\Data\\file.txt", 0x80 /* FILE_READ_ATTRIBUTES */, OPEN_EXISTING, ERROR_NOT_SUPPORTED, false,
         "Data/file.txt", "text"},
        {L"C:\\Data\\file.txt", GENERIC_READ, 0, ERROR_INVALID_PARAMETER, false, "Data/file.txt", "text"},
        {L"D:\\file.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND, false, "Data/file.txt", "text"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.path) + " disposition " + std::to_string(entry.disposition));
        files_test::WriteHostFile(Host("Data/file.txt"), "text");
        fs::remove(Host("Data/new.txt"));
        SetLastError(12345);
        HANDLE file = CreateFileW(entry.path, entry.access, FILE_SHARE_READ, nullptr, entry.disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(GetLastError(), entry.error);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, entry.opened);
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(file));
        }
        EXPECT_EQ(files_test::ReadHostFile(Host(entry.hostFile)), entry.content);
    }
}

TEST_F(FilesFunctionsTest, CreateFileMakesARelativeNameInTheCurrentDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\Data"));
    HANDLE file =
        CreateFileW(L"made.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_TRUE(fs::exists(Host("Data/made.txt")));
}

TEST(FilesSplitPathTest, SplitsDriveFolderNameAndExtension) {
    struct {
        const wchar_t* path;
        const wchar_t* drive;
        const wchar_t* dir;
        const wchar_t* name;
        const wchar_t* ext;
    } const cases[] = {
        {L"C:\\Windows\\System32\\ntdll.dll", L"C:", L"\\Windows\\System32\\", L"ntdll", L".dll"},
        {L"C:/a.b/file", L"C:", L"/a.b/", L"file", L""},
        {L"name.tar.gz", L"", L"", L"name.tar", L".gz"},
        {L"\\folder\\", L"", L"\\folder\\", L"", L""},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(platform::ToUtf8(entry.path));
        wchar_t drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
        ASSERT_EQ(
            _wsplitpath_s(entry.path, drive, _MAX_DRIVE, dir, _MAX_DIR, name, _MAX_FNAME, ext, _MAX_EXT), 0);
        EXPECT_STREQ(drive, entry.drive);
        EXPECT_STREQ(dir, entry.dir);
        EXPECT_STREQ(name, entry.name);
        EXPECT_STREQ(ext, entry.ext);
    }
}

TEST(FilesSplitPathTest, RefusesShortBuffersAndClearsThemAll) {
    wchar_t drive[_MAX_DRIVE] = L"x", name[4] = L"x";
    EXPECT_EQ(_wsplitpath_s(L"C:\\long-name.txt", drive, _MAX_DRIVE, nullptr, 0, name, 4, nullptr, 0),
              ERANGE);
    EXPECT_STREQ(drive, L"");
    EXPECT_STREQ(name, L"");
    EXPECT_EQ(_wsplitpath_s(L"C:\\a", drive, _MAX_DRIVE, nullptr, 5, nullptr, 0, nullptr, 0), EINVAL);
    EXPECT_EQ(_wsplitpath_s(nullptr, drive, _MAX_DRIVE, nullptr, 0, nullptr, 0, nullptr, 0), EINVAL);
}

} // namespace
