// The cryptographic service provider's SHA-256 hashes: values, the size rules of the hash parameters,
// and the errors of contexts and hashes.
#include <string>

#include <gtest/gtest.h>

#include "platform/security.h"

namespace {

std::string Hex(const BYTE* bytes, DWORD size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (DWORD i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0xF];
    }
    return hex;
}

class CryptHash : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT));
        ASSERT_TRUE(CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash));
    }
    void TearDown() override {
        if (hash) {
            CryptDestroyHash(hash);
        }
        CryptReleaseContext(provider, 0);
    }

    std::string Value() {
        BYTE value[32] = {};
        DWORD size = sizeof(value);
        EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0)) << std::hex << GetLastError();
        return Hex(value, size);
    }

    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
};

TEST_F(CryptHash, GivesTheSha256OfEverythingHashed) {
    EXPECT_EQ(Value(), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855") << "nothing";

    HCRYPTHASH pieces = 0;
    ASSERT_TRUE(CryptCreateHash(provider, CALG_SHA_256, 0, 0, &pieces));
    ASSERT_TRUE(CryptHashData(pieces, reinterpret_cast<const BYTE*>("a"), 1, 0));
    ASSERT_TRUE(CryptHashData(pieces, nullptr, 0, 0));
    ASSERT_TRUE(CryptHashData(pieces, reinterpret_cast<const BYTE*>("bc"), 2, 0));
    BYTE value[32] = {};
    DWORD size = sizeof(value);
    ASSERT_TRUE(CryptGetHashParam(pieces, HP_HASHVAL, value, &size, 0));
    EXPECT_EQ(Hex(value, size), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_TRUE(CryptDestroyHash(pieces));
}

TEST_F(CryptHash, ParametersFollowTheSizeRules) {
    DWORD size = 0;
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, nullptr, &size, 0));
    EXPECT_EQ(size, 32u) << "a null buffer asks for the size";

    BYTE small[31] = {};
    size = sizeof(small);
    SetLastError(0);
    EXPECT_FALSE(CryptGetHashParam(hash, HP_HASHVAL, small, &size, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 32u);
    EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("abc"), 3, 0))
        << "asking for the size does not finish the hash";

    DWORD number = 0;
    size = sizeof(number);
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHSIZE, reinterpret_cast<BYTE*>(&number), &size, 0));
    EXPECT_EQ(number, 32u);
    EXPECT_TRUE(CryptGetHashParam(hash, HP_ALGID, reinterpret_cast<BYTE*>(&number), &size, 0));
    EXPECT_EQ(number, CALG_SHA_256);

    const std::string first = Value();
    EXPECT_EQ(first, "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_EQ(Value(), first) << "the value can be read again";
    SetLastError(0);
    EXPECT_FALSE(CryptHashData(hash, reinterpret_cast<const BYTE*>("d"), 1, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NTE_BAD_HASH_STATE)) << "no data once the value was read";
}

TEST_F(CryptHash, RefusesWhatTheProviderDoesNotOffer) {
    struct Case {
        const char* what;
        BOOL (*call)(HCRYPTPROV provider, HCRYPTHASH hash);
        HRESULT error;
    };
    const Case cases[] = {
        {"named container",
         [](HCRYPTPROV, HCRYPTHASH) {
             HCRYPTPROV other = 0;
             return CryptAcquireContextW(&other, L"keys", nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
         },
         NTE_BAD_KEYSET},
        {"not verify-only",
         [](HCRYPTPROV, HCRYPTHASH) {
             HCRYPTPROV other = 0;
             return CryptAcquireContextW(&other, nullptr, nullptr, PROV_RSA_AES, 0);
         },
         NTE_BAD_KEYSET},
        {"another provider type",
         [](HCRYPTPROV, HCRYPTHASH) {
             HCRYPTPROV other = 0;
             return CryptAcquireContextW(&other, nullptr, nullptr, 1, CRYPT_VERIFYCONTEXT);
         },
         NTE_BAD_PROV_TYPE},
        {"a named provider",
         [](HCRYPTPROV, HCRYPTHASH) {
             HCRYPTPROV other = 0;
             return CryptAcquireContextW(&other, nullptr, L"Other Provider", PROV_RSA_AES,
                                         CRYPT_VERIFYCONTEXT);
         },
         NTE_KEYSET_NOT_DEF},
        {"another algorithm",
         [](HCRYPTPROV provider, HCRYPTHASH) {
             HCRYPTHASH other = 0;
             return CryptCreateHash(provider, 0x8004, 0, 0, &other);
         },
         NTE_BAD_ALGID},
        {"a key",
         [](HCRYPTPROV provider, HCRYPTHASH) {
             HCRYPTHASH other = 0;
             return CryptCreateHash(provider, CALG_SHA_256, 1, 0, &other);
         },
         NTE_BAD_KEY},
        {"a hash of no provider",
         [](HCRYPTPROV, HCRYPTHASH hash) {
             HCRYPTHASH other = 0;
             return CryptCreateHash(hash, CALG_SHA_256, 0, 0, &other);
         },
         NTE_BAD_UID},
        {"a provider destroyed as a hash",
         [](HCRYPTPROV provider, HCRYPTHASH) { return CryptDestroyHash(provider); }, NTE_BAD_HASH},
        {"an unknown parameter",
         [](HCRYPTPROV, HCRYPTHASH hash) {
             DWORD size = 4;
             BYTE value[4];
             return CryptGetHashParam(hash, 0x0003, value, &size, 0);
         },
         NTE_BAD_TYPE},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(c.call(provider, hash)) << c.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error)) << c.what;
    }
    EXPECT_TRUE(CryptDestroyHash(hash));
    SetLastError(0);
    EXPECT_FALSE(CryptHashData(hash, reinterpret_cast<const BYTE*>("a"), 1, 0)) << "a destroyed hash";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NTE_BAD_HASH));
    hash = 0;
}

} // namespace
