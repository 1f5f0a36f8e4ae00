// File version information over the machine's version data.
#include <vector>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/version.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

const wchar_t kPlugins[] = L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\";

struct CVersion {
    WORD major, minor, build, revision;
    bool operator==(const CVersion&) const = default;
};

// The file version through the three calls as a program makes them; nullopt with the last error kept.
std::optional<CVersion> FileVersionOf(const std::wstring& path) {
    DWORD handle = 1;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0) {
        return std::nullopt;
    }
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&fixed), &length)) {
        return std::nullopt;
    }
    EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
    return CVersion{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                    HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
}

struct VersionCase {
    const wchar_t* file; // under the plug-ins folder
    std::optional<CVersion> version;
    DWORD error; // when there is none
};

class VersionInfoTest : public testing::TestWithParam<VersionCase> {
protected:
    CTestMachine m_machine;
};

TEST_P(VersionInfoTest, AnswersTheMachinesVersionData) {
    const VersionCase& expected = GetParam();
    EXPECT_EQ(FileVersionOf(std::wstring(kPlugins) + expected.file), expected.version);
    if (!expected.version) {
        EXPECT_EQ(GetLastError(), expected.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Profile, VersionInfoTest,
    testing::Values(
        VersionCase{L"CorvexVisionProtectionPlugin\\x64\\CorvexVisionProtectionPlugin.dll",
                    CVersion{1, 2, 92, 14}, 0},
        // Paths compare without regard to case.
        VersionCase{L"corvexampwisepackage\\X86\\FLIPDECKEX.EXE", CVersion{2, 1, 0, 86}, 0},
        VersionCase{L"WavesSoundPlugin\\x64\\WavesSoundPlugin.dll", std::nullopt, ERROR_PATH_NOT_FOUND},
        VersionCase{L"IxorKeyboardPlugin\\x64\\IxorKeyboardPlugin.dll", std::nullopt, ERROR_PATH_NOT_FOUND},
        VersionCase{L"IxorKeyboardPlugin\\x86\\Missing.dll", std::nullopt, ERROR_FILE_NOT_FOUND},
        VersionCase{L"IxorKeyboardPlugin\\x86", std::nullopt, ERROR_ACCESS_DENIED}));

TEST(VersionInfoFileTest, FileWithoutVersionDataHasNoBlock) {
    CTestMachine machine;
    ASSERT_TRUE(platform::ReplaceFileAtomically(machine.HostPath(L"C:\\Windows\\notes.txt"), "text"));
    EXPECT_EQ(FileVersionOf(L"C:\\Windows\\notes.txt"), std::nullopt);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

TEST(VersionInfoFileTest, MalformedVersionDataCountsAsNone) {
    CTestMachine machine;
    const auto facts = machine.Folder() / "facts.json";
    auto data = nlohmann::json::parse(*platform::ReadWholeFile(facts));
    const char* malformed[] = {"1.2.3", "1.2.3.4.5", "1.2.x.4", "1.65536.0.0", "", "1..2.3"};
    int index = 0;
    for (const char* version : malformed) {
        const std::wstring path = L"C:\\Windows\\v" + std::to_wstring(index++) + L".dll";
        ASSERT_TRUE(platform::ReplaceFileAtomically(machine.HostPath(path), ""));
        data["fileVersions"][platform::ToUtf8(platform::FoldCase(path))] = version;
    }
    data["fileVersions"]["c:\\windows\\v6.dll"] = 1234;
    ASSERT_TRUE(platform::ReplaceFileAtomically(machine.HostPath(L"C:\\Windows\\v6.dll"), ""));
    ASSERT_TRUE(platform::ReplaceFileAtomically(facts, data.dump()));
    for (int i = 0; i <= 6; ++i) {
        EXPECT_EQ(FileVersionOf(L"C:\\Windows\\v" + std::to_wstring(i) + L".dll"), std::nullopt) << i;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    }
}

TEST(VersionInfoFileTest, BlockAnswersOnlyItsFixedPart) {
    CTestMachine machine;
    const std::wstring path = std::wstring(kPlugins) + L"CommonBasePlugin\\x64\\CommonBasePlugin.dll";
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    EXPECT_FALSE(GetFileVersionInfoW(path.c_str(), 0, size - 1, block.data()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &length));
    EXPECT_EQ(static_cast<VS_FIXEDFILEINFO*>(value)->dwFileType, VFT_DLL);
    // Anything but a version block is refused.
    std::vector<BYTE> garbage(size, 0xAB);
    EXPECT_FALSE(VerQueryValueW(garbage.data(), L"\\", &value, &length));
}

} // namespace
