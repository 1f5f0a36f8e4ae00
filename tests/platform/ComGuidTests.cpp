// GUID text in both directions and the uuids that FLIPDECK_DECLARE_UUID attaches to types.
#include <string>

#include <gtest/gtest.h>

#include "platform/com.h"

namespace {

namespace declared {
FLIPDECK_DECLARE_UUID(IDeclaredInNamespace, "7d1b3e55-2c9a-4b07-8e64-f19a0c3d5b72")
}

constexpr GUID kContract = {0x7D1B3E55, 0x2C9A, 0x4B07, {0x8E, 0x64, 0xF1, 0x9A, 0x0C, 0x3D, 0x5B, 0x72}};

static_assert(__uuidof(declared::IDeclaredInNamespace) == kContract);
static_assert(__uuidof(IUnknown) == GUID{0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}});
static_assert(!(IID_IDispatch == IID_IUnknown));

TEST(Guid, StringFromGuid2WritesTheBracedUpperCaseForm) {
    wchar_t text[39];
    EXPECT_EQ(StringFromGUID2(kContract, text, 39), 39);
    EXPECT_STREQ(text, L"{7D1B3E55-2C9A-4B07-8E64-F19A0C3D5B72}");
    EXPECT_EQ(StringFromGUID2(kContract, text, 38), 0);
}

TEST(Guid, ClsidFromStringReadsWhatStringFromGuid2Wrote) {
    wchar_t text[39];
    StringFromGUID2(__uuidof(IClassFactory), text, 39);
    CLSID parsed{};
    EXPECT_EQ(CLSIDFromString(text, &parsed), S_OK);
    EXPECT_TRUE(IsEqualGUID(parsed, IID_IClassFactory));
    EXPECT_EQ(CLSIDFromString(L"{7d1b3e55-2c9a-4b07-8e64-f19a0c3d5b72}", &parsed), S_OK);
    EXPECT_EQ(parsed, kContract);
}

TEST(Guid, ClsidFromStringRefusesMalformedText) {
    const wchar_t* malformed[] = {
        L"",
        L"7D1B3E55-2C9A-4B07-8E64-F19A0C3D5B72",    // no braces
        L"{7D1B3E55-2C9A-4B07-8E64-F19A0C3D5B7}",   // a digit short
        L"{7D1B3E55-2C9A-4B07-8E64-F19A0C3D5B722}", // a digit too many
        L"{7D1B3E55-2C9A-4B07-8E64F-19A0C3D5B72}",  // a dash out of place
        L"{7D1B3E55-2C9A-4B07-8E64-F19A0C3D5BX2}",  // not hexadecimal
        L"Pactbridge.Contract",                     // a name, not a GUID
    };
    for (const wchar_t* text : malformed) {
        CLSID parsed = kContract;
        EXPECT_EQ(CLSIDFromString(text, &parsed), CO_E_CLASSSTRING) << std::wstring(text).size();
        EXPECT_EQ(parsed, kContract) << "left unchanged";
    }
}

TEST(Guid, ClsidFromStringOfNullIsClsidNull) {
    CLSID parsed = kContract;
    EXPECT_EQ(CLSIDFromString(nullptr, &parsed), S_OK);
    EXPECT_EQ(parsed, CLSID_NULL);
    EXPECT_EQ(CLSIDFromString(L"{7D1B3E55-2C9A-4B07-8E64-F19A0C3D5B72}", nullptr), E_INVALIDARG);
}

} // namespace
