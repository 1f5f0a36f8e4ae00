// WinVerifyTrust on the machine's files: the result of each signature state, files that are missing or
// unsigned, files changed since they were signed, the same file by other spellings of its path, the
// state handle, malformed requests, and the signatures the profiles give their modules.
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/security.h"
#include "tests/platform/ComTestServer.h"
#include "tests/platform/FilesTestSupport.h"
#include "tests/platform/TrustTestSupport.h"

namespace {

using testing_support::CTestMachine;

const wchar_t* const kSignedFile = L"C:\\Program Files (x86)\\Test\\Signed.dll";

// One verification as a careful caller makes it: verify, then close the state.
struct CVerification {
    explicit CVerification(const wchar_t* path, DWORD revocationChecks = WTD_REVOKE_WHOLECHAIN) {
        file.cbStruct = sizeof(file);
        file.pcwszFilePath = path;
        data.cbStruct = sizeof(data);
        data.dwUIChoice = WTD_UI_NONE;
        data.fdwRevocationChecks = revocationChecks;
        data.dwUnionChoice = WTD_CHOICE_FILE;
        data.pFile = &file;
        data.dwStateAction = WTD_STATEACTION_VERIFY;
        data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN | WTD_CACHE_ONLY_URL_RETRIEVAL;
    }
    LONG Verify() {
        const LONG result = WinVerifyTrust(nullptr, &action, &data);
        lastError = GetLastError();
        EXPECT_NE(data.hWVTStateData, nullptr) << "a verification leaves its state";
        data.dwStateAction = WTD_STATEACTION_CLOSE;
        EXPECT_EQ(WinVerifyTrust(nullptr, &action, &data), ERROR_SUCCESS);
        EXPECT_EQ(data.hWVTStateData, nullptr) << "closing releases it";
        data.dwStateAction = WTD_STATEACTION_VERIFY;
        return result;
    }

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file = {};
    WINTRUST_DATA data = {};
    DWORD lastError = 0;
};

LONG Verify(const wchar_t* path) {
    return CVerification(path).Verify();
}

class FileTrust : public testing::Test {
protected:
    void SetUp() override { files_test::WriteHostFile(machine.HostPath(kSignedFile), "module"); }

    CTestMachine machine;
};

TEST_F(FileTrust, EachSignatureStateGivesItsResult) {
    struct Case {
        nlohmann::json chain;
        LONG result;
    };
    const Case cases[] = {
        {"trusted", ERROR_SUCCESS},
        {"incomplete", CERT_E_CHAINING},
        {"untrustedRoot", CERT_E_UNTRUSTEDROOT},
        {"expired", CERT_E_EXPIRED},
        {"revoked", CERT_E_REVOKED},
        {"distrusted", TRUST_E_EXPLICIT_DISTRUST},
        {"forged", TRUST_E_NOSIGNATURE}, // a state the machine does not know
        {nullptr, TRUST_E_NOSIGNATURE},
    };
    for (const Case& c : cases) {
        if (c.chain.is_null()) {
            trust_test::SetSignature(machine, kSignedFile, nullptr);
        } else {
            trust_test::SetSignature(machine, kSignedFile, c.chain);
        }
        EXPECT_EQ(Verify(kSignedFile), c.result) << c.chain;
    }
    testing_support::SetMachineFact(machine.Folder(), trust_test::SignaturePointer(kSignedFile), "trusted");
    EXPECT_EQ(Verify(kSignedFile), TRUST_E_NOSIGNATURE) << "a record that is no object";
}

TEST_F(FileTrust, MissingFilesAndFoldersAreNotSigned) {
    const std::wstring folder = L"C:\\Program Files (x86)\\Test";
    trust_test::SetSignature(machine, folder, "trusted");
    struct Case {
        const wchar_t* path;
        DWORD lastError;
    };
    const Case cases[] = {
        {L"C:\\Program Files (x86)\\Test\\Missing.dll", ERROR_FILE_NOT_FOUND},
        {L"C:\\No Such Folder\\Missing.dll", ERROR_PATH_NOT_FOUND},
        {folder.c_str(), ERROR_ACCESS_DENIED},
        {L"D:\\Signed.dll", ERROR_PATH_NOT_FOUND},
        {L"", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        CVerification verification(c.path);
        EXPECT_EQ(verification.Verify(), TRUST_E_NOSIGNATURE) << platform::ToUtf8(c.path);
        EXPECT_EQ(verification.lastError, c.lastError) << platform::ToUtf8(c.path);
    }
}

TEST_F(FileTrust, AnotherSpellingOfThePathIsTheSameFile) {
    trust_test::SetSignature(machine, kSignedFile, "trusted");
    files_test::WriteHostFile(machine.HostPath(L"C:\\Users\\Alex\\Signed.dll"), "module");
    const wchar_t* const spellings[] = {
        L"c:/program files (x86)/test/SIGNED.DLL",
        L"C:\\Program Files (x86)\\Other\\..\\Test\\.\\Signed.dll",
        L"C:\\Program Files (x86)\\Test\\\\Signed.dll",
        L"C:\\Program Files (x86)\\Test\\Signed.dll. ",
        L"\\\\?\\C:\\Program Files (x86)\\Test\\Signed.dll",
    };
    for (const wchar_t* path : spellings) {
        EXPECT_EQ(Verify(path), ERROR_SUCCESS) << platform::ToUtf8(path);
    }
    EXPECT_EQ(Verify(L"C:\\Users\\Alex\\Signed.dll"), TRUST_E_NOSIGNATURE)
        << "a copy elsewhere is another file";
    ASSERT_EQ(SetCurrentDirectoryW(L"C:\\Program Files (x86)\\Test"), TRUE);
    EXPECT_EQ(Verify(L"Signed.dll"), ERROR_SUCCESS) << "relative to the current directory";
}

TEST_F(FileTrust, ARevokedCertificateCountsOnlyWhenRevocationIsChecked) {
    trust_test::SetSignature(machine, kSignedFile, "revoked");
    EXPECT_EQ(CVerification(kSignedFile, WTD_REVOKE_WHOLECHAIN).Verify(), CERT_E_REVOKED);
    EXPECT_EQ(CVerification(kSignedFile, WTD_REVOKE_NONE).Verify(), ERROR_SUCCESS);
}

TEST_F(FileTrust, RefusesOtherActionsSubjectsAndMalformedData) {
    trust_test::SetSignature(machine, kSignedFile, "trusted");
    CVerification request(kSignedFile);
    GUID otherAction = {0x12345678u, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    EXPECT_EQ(WinVerifyTrust(nullptr, &otherAction, &request.data), TRUST_E_PROVIDER_UNKNOWN);
    EXPECT_EQ(WinVerifyTrust(nullptr, nullptr, &request.data), TRUST_E_PROVIDER_UNKNOWN);
    EXPECT_EQ(WinVerifyTrust(nullptr, &request.action, nullptr), static_cast<LONG>(E_INVALIDARG));

    request.data.cbStruct = 8;
    EXPECT_EQ(WinVerifyTrust(nullptr, &request.action, &request.data), static_cast<LONG>(E_INVALIDARG));
    request.data.cbStruct = sizeof(WINTRUST_DATA);
    request.data.dwUIChoice = 0;
    EXPECT_EQ(WinVerifyTrust(nullptr, &request.action, &request.data), static_cast<LONG>(E_INVALIDARG));
    request.data.dwUIChoice = WTD_UI_NONE;

    request.data.dwUnionChoice = 2; // a catalog
    EXPECT_EQ(WinVerifyTrust(nullptr, &request.action, &request.data), TRUST_E_SUBJECT_FORM_UNKNOWN);
    request.data.dwUnionChoice = WTD_CHOICE_FILE;
    request.file.pcwszFilePath = nullptr;
    EXPECT_EQ(WinVerifyTrust(nullptr, &request.action, &request.data), TRUST_E_SUBJECT_FORM_UNKNOWN);
    request.file.pcwszFilePath = kSignedFile;
    EXPECT_EQ(request.data.hWVTStateData, nullptr) << "refused requests leave no state";

    request.data.dwStateAction = WTD_STATEACTION_CLOSE;
    request.data.hWVTStateData = reinterpret_cast<HANDLE>(0x1234);
    EXPECT_EQ(WinVerifyTrust(nullptr, &request.action, &request.data), static_cast<LONG>(E_INVALIDARG))
        << "closing a state that is none";
    request.data.hWVTStateData = nullptr;
    EXPECT_EQ(WinVerifyTrust(nullptr, &request.action, &request.data), ERROR_SUCCESS) << "nothing to close";
}

// A small PE image: its headers at 0x40, the checksum, and a certificate table at 0x180 of 0x80 bytes.
constexpr size_t kPeHeaders = 0x40;
constexpr size_t kPeChecksum = kPeHeaders + 88;
constexpr size_t kCertificates = 0x180;

std::string PeImage() {
    std::string bytes(0x200, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 13 + 1);
    }
    bytes.replace(0, 2, "MZ");
    const auto put = [&bytes](size_t at, std::uint32_t value) { std::memcpy(&bytes[at], &value, 4); };
    put(60, kPeHeaders);
    bytes.replace(kPeHeaders, 4, std::string("PE\0\0", 4));
    put(kPeHeaders + 24, 0x10B); // a 32-bit image
    put(kPeHeaders + 152, kCertificates);
    put(kPeHeaders + 156, 0x80);
    return bytes;
}

TEST_F(FileTrust, ASignatureHoldsOnlyForTheBytesThatWereSigned) {
    struct Case {
        const char* name;
        std::string (*change)(std::string bytes);
        LONG result;
    };
    const Case cases[] = {
        {"the same bytes written again", [](std::string bytes) { return bytes; }, ERROR_SUCCESS},
        {"a byte of the code changed",
         [](std::string bytes) {
             bytes[0x120] ^= 0x5A;
             return bytes;
         },
         TRUST_E_BAD_DIGEST},
        {"a byte appended", [](std::string bytes) { return bytes + "x"; }, TRUST_E_BAD_DIGEST},
        {"other bytes altogether", [](std::string) { return std::string("another module"); },
         TRUST_E_BAD_DIGEST},
        // The parts that signing itself writes are left out of what a signature covers.
        {"a new checksum",
         [](std::string bytes) {
             bytes[kPeChecksum] ^= 0x5A;
             return bytes;
         },
         ERROR_SUCCESS},
        {"a new certificate table",
         [](std::string bytes) { return bytes.replace(kCertificates, 0x80, std::string(0x80, 'S')); },
         ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files_test::WriteHostFile(machine.HostPath(kSignedFile), PeImage());
        trust_test::SetSignature(machine, kSignedFile, "trusted");
        files_test::WriteHostFile(machine.HostPath(kSignedFile), c.change(PeImage()));
        EXPECT_EQ(Verify(kSignedFile), c.result);
    }
    testing_support::SetMachineFact(machine.Folder(), trust_test::SignaturePointer(kSignedFile),
                                    nlohmann::json{{"signer", "Corvex"}, {"chain", "trusted"}});
    EXPECT_EQ(Verify(kSignedFile), TRUST_E_BAD_DIGEST) << "a record without the bytes it was made for";
}

TEST(ProfileSignatures, TheBusinessNotebooksPowerManagerLibraryIsSignedByTheMaker) {
    const wchar_t* const library = L"C:\\Program Files (x86)\\Corvex\\Voltaro\\VOLTLINK.DLL";
    {
        CTestMachine machine("business-win10");
        EXPECT_EQ(Verify(library), ERROR_SUCCESS);
        const nlohmann::json signature = platform::MachineFact(trust_test::SignaturePointer(library));
        EXPECT_EQ(signature.value("signer", ""), "Corvex");
        EXPECT_EQ(signature.value("chain", ""), "trusted");
        EXPECT_EQ(signature.value("digest", ""), "module:libvoltlink.so")
            << "the module the machine installed";

        // Another library in its place is not what was signed.
        std::filesystem::remove(machine.HostPath(library));
        com_test::InstallLibrary(machine, library, com_test::TestServerLibrary());
        EXPECT_EQ(Verify(library), TRUST_E_BAD_DIGEST);
    }
    CTestMachine machine("consumer-win11");
    EXPECT_EQ(Verify(library), TRUST_E_NOSIGNATURE) << "the consumer notebook has no such library";
}

} // namespace
