// BSTR allocation: the length prefix in bytes, embedded nulls, the terminator, null handling.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/com.h"

namespace {

DWORD PrefixOf(BSTR bstr) {
    DWORD prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const BYTE*>(bstr) - sizeof(DWORD), sizeof(DWORD));
    return prefix;
}

struct LengthCase {
    const wchar_t* text;
    UINT length;
};

class BstrLength : public testing::TestWithParam<LengthCase> {};

TEST_P(BstrLength, KeepsCharactersPrefixAndTerminator) {
    const LengthCase& c = GetParam();
    BSTR bstr = SysAllocStringLen(c.text, c.length);
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(SysStringLen(bstr), c.length);
    EXPECT_EQ(SysStringByteLen(bstr), c.length * sizeof(WCHAR));
    EXPECT_EQ(PrefixOf(bstr), c.length * sizeof(WCHAR));
    EXPECT_EQ(bstr[c.length], L'\0');
    if (c.text) {
        EXPECT_EQ(std::wmemcmp(bstr, c.text, c.length), 0);
    } else {
        EXPECT_EQ(std::wstring(bstr, c.length), std::wstring(c.length, L'\0'));
    }
    SysFreeString(bstr);
}

INSTANTIATE_TEST_SUITE_P(Texts, BstrLength,
                         testing::Values(LengthCase{L"", 0}, LengthCase{L"answer", 6},
                                         LengthCase{L"a\0b\0c", 5}, // embedded nulls are characters
                                         LengthCase{nullptr, 0}, LengthCase{nullptr, 3}));

TEST(Bstr, SysAllocStringStopsAtTheFirstNull) {
    BSTR bstr = SysAllocString(L"ab\0cd");
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(SysStringLen(bstr), 2u);
    SysFreeString(bstr);
}

TEST(Bstr, NullIsTheEmptyString) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(Bstr, ByteLengthNeedNotBeWholeCharacters) {
    const char bytes[] = "abcdefg";
    BSTR bstr = SysAllocStringByteLen(bytes, 7);
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(SysStringByteLen(bstr), 7u);
    EXPECT_EQ(SysStringLen(bstr), 1u);
    EXPECT_EQ(std::memcmp(bstr, bytes, 7), 0);
    EXPECT_EQ(reinterpret_cast<const char*>(bstr)[7], '\0');
    SysFreeString(bstr);
}

TEST(Bstr, LengthsBeyondThe32BitPrefixFail) {
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x40000000u), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, ReAllocCopiesFromInsideTheOldString) {
    BSTR bstr = SysAllocString(L"prefix-answer");
    ASSERT_TRUE(SysReAllocString(&bstr, bstr + 7));
    EXPECT_STREQ(bstr, L"answer");
    EXPECT_EQ(SysStringLen(bstr), 6u);

    ASSERT_TRUE(SysReAllocString(&bstr, nullptr));
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(SysStringLen(bstr), 0u);
    SysFreeString(bstr);

    EXPECT_FALSE(SysReAllocString(nullptr, L"x"));
}

TEST(TaskMemory, AllocReallocFree) {
    auto* block = static_cast<char*>(CoTaskMemAlloc(4));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "abc", 4);
    block = static_cast<char*>(CoTaskMemRealloc(block, 64));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abc");
    EXPECT_EQ(CoTaskMemRealloc(block, 0), nullptr); // frees it
    CoTaskMemFree(nullptr);
}

} // namespace
