// GetSystemFirmwareTable over the machine's raw SMBIOS data.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/firmware.h"
#include "platform/internal.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

constexpr DWORD kRawSmbios = 0x52534D42u; // 'RSMB'
constexpr DWORD kAcpi = 0x41435049u;      // 'ACPI'

class FirmwareTableTest : public testing::Test {
protected:
    void WriteTable(const std::string& bytes) {
        ASSERT_TRUE(platform::ReplaceFileAtomically(m_machine.Folder() / platform::kSmbiosTableFile, bytes));
    }
    CTestMachine m_machine;
};

TEST_F(FirmwareTableTest, AnswersTheSizeThenCopiesTheWholeTable) {
    const std::string bytes("\x00\x03\x04\x00\x02\x00\x00\x00\x00\x00", 10);
    WriteTable(bytes);
    EXPECT_EQ(GetSystemFirmwareTable(kRawSmbios, 0, nullptr, 0), bytes.size());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    std::vector<char> small(4, 'x');
    SetLastError(0);
    EXPECT_EQ(GetSystemFirmwareTable(kRawSmbios, 0, small.data(), static_cast<DWORD>(small.size())),
              bytes.size());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(small.begin(), small.end()), "xxxx") << "a buffer too small is left alone";

    std::vector<char> buffer(bytes.size() + 4, 'x');
    EXPECT_EQ(GetSystemFirmwareTable(kRawSmbios, 7, buffer.data(), static_cast<DWORD>(buffer.size())),
              bytes.size());
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(bytes.size())), bytes);
}

TEST_F(FirmwareTableTest, AnotherProviderOrAMachineWithoutDataFails) {
    char buffer[64] = {};
    EXPECT_EQ(GetSystemFirmwareTable(kAcpi, 0, buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    std::filesystem::remove(m_machine.Folder() / platform::kSmbiosTableFile);
    EXPECT_EQ(GetSystemFirmwareTable(kRawSmbios, 0, buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_FOUND));
}

} // namespace
