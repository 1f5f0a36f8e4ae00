// The trust check before a foreign library is loaded: the decision over signed, unsigned and missing
// files and other spellings of their paths, the older systems' chain rule, the validation library's part
// in it, and the digest of a PE image that signing does not change.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "services/AssemblyValidator.h"
#include "services/LibraryTrustCheck.h"
#include "services/PeImageHash.h"
#include "tests/platform/ComTestServer.h"
#include "tests/platform/FilesTestSupport.h"
#include "tests/platform/TrustTestSupport.h"

namespace {

using testing_support::CTestMachine;
using testing_support::SetMachineFact;

const wchar_t* const kLibrary = L"C:\\Program Files (x86)\\Corvex\\Voltaro\\VOLTLINK.DLL";
const wchar_t* const kProgramFolder =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexAmpwisePackage\\x86\\";

// The business notebook, whose power-manager library the maker signed.
class LibraryTrust : public testing::Test {
protected:
    void Install(const std::wstring& path, const nlohmann::json& chain) {
        com_test::InstallLibrary(machine, path, com_test::BuiltLibrary("libvoltlink.so"));
        if (!chain.is_null()) {
            trust_test::SetSignature(machine, path, chain);
        }
    }

    CTestMachine machine{"business-win10"};
};

TEST_F(LibraryTrust, TrustsOnlyFilesWhoseSignatureVerifies) {
    const std::wstring copies = L"C:\\Users\\Alex\\Downloads\\";
    Install(copies + L"Unsigned.dll", nullptr);
    Install(copies + L"OtherRoot.dll", "untrustedRoot");
    Install(copies + L"Revoked.dll", "revoked");
    Install(copies + L"Expired.dll", "expired");
    Install(copies + L"Distrusted.dll", "distrusted");
    Install(copies + L"Incomplete.dll", "incomplete");
    ASSERT_EQ(SetCurrentDirectoryW(L"C:\\Program Files (x86)\\Corvex"), TRUE);
    struct Case {
        std::wstring path;
        bool trusted;
    };
    const Case cases[] = {
        {kLibrary, true},
        {L"c:/program files (x86)/corvex/voltaro/voltlink.dll", true},
        {L"C:\\Program Files (x86)\\Corvex\\Elsewhere\\..\\Voltaro\\VOLTLINK.DLL", true},
        {L"C:\\Program Files (x86)\\Corvex\\Voltaro\\VOLTLINK.DLL.", true},
        {L"Voltaro\\VOLTLINK.DLL", true}, // from the current directory
        {copies + L"Unsigned.dll", false},
        {copies + L"OtherRoot.dll", false}, // a publisher the machine does not trust
        {copies + L"Revoked.dll", false},
        {copies + L"Expired.dll", false},
        {copies + L"Distrusted.dll", false},
        {copies + L"Incomplete.dll", false}, // Windows 10
        {copies + L"Missing.dll", false},
        {L"C:\\Program Files (x86)\\Corvex\\Voltaro", false}, // the folder
        {L"VOLTLINK.DLL", false},                             // not in the current directory
        {L"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsTrustedModuleFile(c.path.c_str()), c.trusted) << platform::ToUtf8(c.path);
    }
    EXPECT_FALSE(IsTrustedModuleFile(nullptr));
}

TEST_F(LibraryTrust, AChainWithoutRootIsTrustedOnlyBeforeWindows8) {
    const std::wstring path = L"C:\\Users\\Alex\\Incomplete.dll";
    Install(path, "incomplete");
    struct Case {
        int major;
        int minor;
        bool trusted;
    };
    const Case cases[] = {{6, 1, true}, {6, 2, false}, {10, 0, false}};
    for (const Case& c : cases) {
        SetMachineFact(machine.Folder(), "/windows",
                       {{"major", c.major}, {"minor", c.minor}, {"build", 7601}});
        EXPECT_EQ(VerifyFileSignature(path.c_str()), c.trusted) << c.major << "." << c.minor;
        EXPECT_EQ(IsTrustedModuleFile(path.c_str()), c.trusted) << c.major << "." << c.minor;
    }
}

TEST_F(LibraryTrust, TheImagePathDecidesWhetherItIsAnX64Program) {
    struct Case {
        const char* image;
        bool x64;
    };
    const Case cases[] = {
        {"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexAmpwisePackage\\x86\\FlipdeckEx.exe", false},
        {"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexAmpwisePackage\\x64\\FlipdeckEx.exe", true},
        {"C:\\Apps\\X64\\FlipdeckEx.exe", true},
        {"C:\\Apps\\FlipdeckEx_x64.exe", true},
        {"C:\\Apps\\X_64\\FlipdeckEx.exe", false},
    };
    for (const Case& c : cases) {
        SetMachineFact(machine.Folder(), "/program/path", c.image);
        EXPECT_EQ(IsImagePathX64(), c.x64) << c.image;
    }
}

TEST_F(LibraryTrust, TheModuleFolderIsTheProgramsOwnFull) {
    EXPECT_EQ(GetModuleFolder(), kProgramFolder);
    SetMachineFact(machine.Folder(), "/program/path", "C:/Apps/Old/../Deck/FlipdeckEx.exe");
    EXPECT_EQ(GetModuleFolder(), L"C:\\Apps\\Deck\\");
    SetMachineFact(machine.Folder(), "/program/path", "C:\\" + std::string(300, 'a') + "\\FlipdeckEx.exe");
    EXPECT_EQ(GetModuleFolder(), L"") << "a path cut at 260 characters names no folder";
    EXPECT_EQ(GetFullPathString(L"C:\\a\\.\\b\\..\\c"), L"C:\\a\\c");
}

// A validation library that has been loaded, as the process-wide validator holds it, for one test.
class LoadedValidator : public LibraryTrust {
protected:
    void SetUp() override {
        CAssemblyValidator* validator = GetAssemblyValidator();
        saved = *validator;
        validator->m_hModule = reinterpret_cast<HMODULE>(&saved);
        validator->m_pfnValidateAssembly = &Validate;
    }
    void TearDown() override { *GetAssemblyValidator() = saved; }

    // Accepts the files named "Accepted.dll".
    static int Validate(const wchar_t* path) {
        const std::wstring name = path;
        return name.size() >= 12 && name.substr(name.size() - 12) == L"Accepted.dll" ? 0 : 1;
    }

    CAssemblyValidator saved;
};

TEST_F(LoadedValidator, ItsVerdictCountsOnlyForAnX86Image) {
    const std::wstring accepted = L"C:\\Users\\Alex\\Accepted.dll";
    const std::wstring refused = L"C:\\Users\\Alex\\Refused.dll";
    Install(accepted, nullptr);
    Install(refused, "trusted");
    EXPECT_TRUE(IsTrustedModuleFile(accepted.c_str())) << "accepted, though unsigned";
    EXPECT_TRUE(IsTrustedModuleFile(refused.c_str())) << "refused, but its signature verifies";
    EXPECT_FALSE(IsTrustedModuleFile(L"")) << "an empty path is not asked";

    SetMachineFact(machine.Folder(), "/program/path", "C:\\Apps\\x64\\FlipdeckEx.exe");
    EXPECT_FALSE(IsTrustedModuleFile(accepted.c_str())) << "an x64 image asks only the signature";
    EXPECT_TRUE(IsTrustedModuleFile(refused.c_str()));
}

// A PE image of the given size: a DOS header pointing at the PE headers at 0x80, their checksum, and
// the security directory entry naming the certificate table; every other byte from a pattern.
constexpr std::uint32_t kNtHeaders = 0x80;
constexpr std::uint32_t kChecksum = kNtHeaders + 88;
constexpr std::uint32_t kSecurityEntry = kNtHeaders + 152;

void PutDword(std::string& bytes, std::uint32_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<char>(value >> (8 * i));
    }
}

std::string PeImage(std::uint32_t size, std::uint32_t certificatesOffset, std::uint32_t certificatesSize) {
    std::string bytes(size, '\0');
    for (std::uint32_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 + 3);
    }
    bytes.replace(0, 2, "MZ");
    PutDword(bytes, 60, kNtHeaders);
    bytes.replace(kNtHeaders, 4, std::string("PE\0\0", 4));
    PutDword(bytes, kChecksum, 0x12345678);
    PutDword(bytes, kSecurityEntry, certificatesOffset);
    PutDword(bytes, kSecurityEntry + 4, certificatesSize);
    return bytes;
}

class PeDigest : public LibraryTrust {
protected:
    // The digest of the bytes as a signed file.
    std::wstring DigestOf(const std::string& bytes) {
        files_test::WriteHostFile(machine.HostPath(kImage), bytes);
        trust_test::SetSignature(machine, kImage, "trusted");
        return GetPeImageHashHex(kImage);
    }

    const wchar_t* const kImage = L"C:\\Users\\Alex\\Image.dll";
    // The certificate table lies in the third block of 65,536 bytes and ends before the file does.
    const std::string signedImage = PeImage(200000, 150000, 20000);
};

TEST_F(PeDigest, LeavesOutTheChecksumTheSecurityEntryAndTheCertificates) {
    // SHA-256 of the image without bytes 216-219, 280-287 and 150000-169999, computed independently.
    const std::wstring digest = DigestOf(signedImage);
    EXPECT_EQ(digest, L"785160471451FA6D6E2E4D013803BB4222E0DD70625D924B98A22F2D16570575");

    std::string resigned = signedImage;
    PutDword(resigned, kChecksum, 0xCAFEF00D);
    resigned.replace(150000, 20000, std::string(20000, 'S'));
    EXPECT_EQ(DigestOf(resigned), digest) << "a new checksum and certificate table";

    // Without a signature the file ends where its certificate table would begin; signing appends it.
    const std::string unsignedImage = PeImage(150000, 0, 0);
    const std::string appended = PeImage(150000, 150000, 4096) + std::string(4096, 'C');
    EXPECT_EQ(DigestOf(unsignedImage), L"81980AB844CF2085142EF619B6B19F0D4BC484F4A838FA70367BF13801A5E933");
    EXPECT_EQ(DigestOf(appended), DigestOf(unsignedImage));
}

TEST_F(PeDigest, AnyOtherByteChangesIt) {
    const std::wstring digest = DigestOf(signedImage);
    const std::uint32_t offsets[] = {
        0,      kChecksum - 1, kChecksum + 4, kSecurityEntry - 1, kSecurityEntry + 8, 65535, 65536,
        149999, 170000,        199999};
    for (std::uint32_t offset : offsets) {
        std::string changed = signedImage;
        changed[offset] = static_cast<char>(changed[offset] ^ 0x5A);
        EXPECT_NE(DigestOf(changed), digest) << offset;
    }
}

TEST_F(PeDigest, IsEmptyForUnsignedOrUnreadableImages) {
    files_test::WriteHostFile(machine.HostPath(kImage), signedImage);
    EXPECT_EQ(GetPeImageHashHex(kImage), L"") << "unsigned";

    std::string farHeaders = signedImage;
    PutDword(farHeaders, 60, 0xFFFFFFF0u);
    const std::string cases[] = {std::string(), signedImage.substr(0, 63),
                                 signedImage.substr(0, kNtHeaders + 247), farHeaders};
    for (const std::string& bytes : cases) {
        EXPECT_EQ(DigestOf(bytes), L"") << bytes.size() << " bytes";
    }
    EXPECT_EQ(GetPeImageHashHex(L"C:\\Users\\Alex\\Missing.dll"), L"");
    EXPECT_EQ(GetPeImageHashHex(nullptr), L"");
}

TEST_F(PeDigest, MalformedCertificateEntriesEndTheDigest) {
    struct Case {
        std::uint32_t offset;
        std::uint32_t size;
    };
    // Before the headers, overlapping the checksum, beyond the end, the largest values.
    const Case cases[] = {{10, 5}, {kChecksum - 2, 100}, {300000, 50}, {0xFFFFFFFFu, 0xFFFFFFFFu}};
    for (const Case& c : cases) {
        EXPECT_EQ(DigestOf(PeImage(70000, c.offset, c.size)).size(), 64u) << c.offset << "+" << c.size;
    }
}

TEST_F(LibraryTrust, AValidationLibraryWithAnotherDigestIsNeverLoaded) {
    const std::wstring path = std::wstring(kProgramFolder) + kAssemblyValidatorFileName;
    CAssemblyValidator validator;
    EXPECT_FALSE(LoadAssemblyValidator(&validator)) << "no validation library";

    Install(path, nullptr);
    EXPECT_FALSE(LoadAssemblyValidator(&validator)) << "unsigned";
    trust_test::SetSignature(machine, path, "trusted");
    EXPECT_FALSE(LoadAssemblyValidator(&validator)) << "signed, another digest";
    EXPECT_EQ(validator.m_hModule, nullptr);
    EXPECT_EQ(validator.m_pfnValidateAssembly, nullptr);
    EXPECT_FALSE(com_test::IsLoaded(com_test::BuiltLibrary("libvoltlink.so")));

    CAssemblyValidator* process = GetAssemblyValidator();
    EXPECT_EQ(GetAssemblyValidator(), process) << "one validator for the process";
    EXPECT_EQ(process->m_hModule, nullptr);
    EXPECT_FALSE(LoadAssemblyValidator(nullptr));
}

} // namespace
