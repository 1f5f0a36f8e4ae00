// ReadFile and SetFilePointerEx on the machine's files: reads from the position on, the end of the file,
// moves from each starting point, and the handles and requests they refuse.
#include <string>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/threads.h"
#include "tests/platform/FilesTestSupport.h"

namespace {

using testing_support::CTestMachine;

const wchar_t* const kFile = L"C:\\Users\\Alex\\data.bin";

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 31 + 7);
    }
    return bytes;
}

class FileRead : public testing::Test {
protected:
    void SetUp() override {
        files_test::WriteHostFile(machine.HostPath(kFile), content);
        file = CreateFileW(kFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    }
    void TearDown() override { CloseHandle(file); }

    std::string Read(DWORD size) {
        std::string bytes(size, '\0');
        DWORD read = 0xDEAD;
        EXPECT_TRUE(ReadFile(file, bytes.data(), size, &read, nullptr)) << GetLastError();
        bytes.resize(read == 0xDEAD ? 0 : read);
        return bytes;
    }

    LONGLONG Seek(LONGLONG distance, DWORD from) {
        LARGE_INTEGER move = {};
        move.QuadPart = distance;
        LARGE_INTEGER position = {};
        position.QuadPart = -1;
        EXPECT_TRUE(SetFilePointerEx(file, move, &position, from)) << GetLastError();
        return position.QuadPart;
    }

    CTestMachine machine;
    const std::string content = Pattern(200000);
    HANDLE file = INVALID_HANDLE_VALUE;
};

TEST_F(FileRead, ReadsOnFromThePositionUntilTheEnd) {
    EXPECT_EQ(Read(65536), content.substr(0, 65536));
    EXPECT_EQ(Read(100000), content.substr(65536, 100000));
    EXPECT_EQ(Read(65536), content.substr(165536)) << "the rest of the file";
    EXPECT_EQ(Read(10), "") << "at the end a read succeeds with nothing";
}

TEST_F(FileRead, MovesFromEachStartingPoint) {
    EXPECT_EQ(Seek(150000, FILE_BEGIN), 150000);
    EXPECT_EQ(Read(4), content.substr(150000, 4));
    EXPECT_EQ(Seek(-8, FILE_CURRENT), 149996);
    EXPECT_EQ(Read(4), content.substr(149996, 4));
    EXPECT_EQ(Seek(-3, FILE_END), 199997);
    EXPECT_EQ(Read(10), content.substr(199997));
    EXPECT_EQ(Seek(1000, FILE_END), 201000) << "beyond the end is allowed";
    EXPECT_EQ(Read(10), "");

    LARGE_INTEGER move = {};
    move.QuadPart = -1;
    SetLastError(0);
    EXPECT_FALSE(SetFilePointerEx(file, move, nullptr, FILE_BEGIN));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_FALSE(SetFilePointerEx(file, move, nullptr, 3)) << "no such starting point";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Seek(0, FILE_CURRENT), 201000) << "failed moves leave the position";
}

TEST_F(FileRead, RefusesHandlesAndRequestsItCannotServe) {
    HANDLE writeOnly = CreateFileW(kFile, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[16];
    struct Case {
        const char* what;
        HANDLE handle;
        LPVOID buffer;
        bool overlapped;
        DWORD error;
    };
    const Case cases[] = {
        {"opened for writing only", writeOnly, buffer, false, ERROR_ACCESS_DENIED},
        {"not a file", event, buffer, false, ERROR_INVALID_HANDLE},
        {"no handle", nullptr, buffer, false, ERROR_INVALID_HANDLE},
        {"no buffer", file, nullptr, false, ERROR_INVALID_PARAMETER},
        {"overlapped", file, buffer, true, ERROR_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        DWORD read = 0xDEAD;
        SetLastError(0);
        EXPECT_FALSE(ReadFile(c.handle, c.buffer, sizeof(buffer), &read,
                              c.overlapped ? reinterpret_cast<OVERLAPPED*>(buffer) : nullptr))
            << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
        EXPECT_EQ(read, 0u) << c.what;
    }
    CloseHandle(event);
    CloseHandle(writeOnly);
    EXPECT_EQ(Read(3), content.substr(0, 3)) << "the refused reads moved nothing";
}

} // namespace
