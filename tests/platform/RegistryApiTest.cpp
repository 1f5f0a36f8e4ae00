// The registry functions' Windows semantics: names, views, types and sizes, access, handles, deletion.
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace registry_test;

class RegistryApi : public testing::Test {
protected:
    testing_support::CTestMachine m_machine;
};

TEST_F(RegistryApi, NamesMatchWhateverTheCaseAndKeepTheCaseTheyWereMadeWith) {
    ASSERT_EQ(SetIn(HKEY_CURRENT_USER, L"Software\\Corvex\\MixedCase", L"ValueName", Dword(1)),
              ERROR_SUCCESS);
    CKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\corvex\\MIXEDCASE", 0, KEY_ALL_ACCESS, key.Out()),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(key.Get(), L"VALUENAME"), Dword(1));
    ASSERT_EQ(Set(key.Get(), L"valuename", Dword(2)), ERROR_SUCCESS);

    wchar_t name[64];
    DWORD length = 64;
    DWORD type = 0;
    ASSERT_EQ(RegEnumValueW(key.Get(), 0, name, &length, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"ValueName");
    EXPECT_EQ(RegEnumValueW(key.Get(), 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(Query(key.Get(), L"ValueName"), Dword(2));

    CKey corvex;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"software\\CORVEX", 0, KEY_READ, corvex.Out()),
              ERROR_SUCCESS);
    std::vector<std::wstring> subKeys;
    for (DWORD index = 0;; ++index) {
        length = 64;
        if (RegEnumKeyExW(corvex.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        subKeys.emplace_back(name, length);
    }
    EXPECT_NE(std::find(subKeys.begin(), subKeys.end(), L"MixedCase"), subKeys.end());
}

struct SViewCase {
    const char* label;
    HKEY root;
    const wchar_t* writePath;
    REGSAM writeView;
    const wchar_t* readPath;
    REGSAM readView;
    bool seen;
};

class RegistryViews : public RegistryApi, public testing::WithParamInterface<SViewCase> {};

TEST_P(RegistryViews, AKeyIsSeenExactlyWhereItsViewPutsIt) {
    const SViewCase& c = GetParam();
    ASSERT_EQ(SetIn(c.root, c.writePath, L"Marker", Dword(7), KEY_ALL_ACCESS | c.writeView), ERROR_SUCCESS);
    EXPECT_EQ(QueryIn(c.root, c.readPath, L"Marker", KEY_READ | c.readView).has_value(), c.seen) << c.label;
}

constexpr REGSAM kDefault = 0;
const SViewCase kViewCases[] = {
    {"default write lands under Wow6432Node", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\T1", kDefault,
     L"SOFTWARE\\Wow6432Node\\Corvex\\T1", KEY_WOW64_64KEY, true},
    {"default write is not at the 64-bit path", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\T2", kDefault,
     L"SOFTWARE\\Corvex\\T2", KEY_WOW64_64KEY, false},
    {"the default view reads its own write", HKEY_LOCAL_MACHINE, L"Software\\Corvex\\T3", kDefault,
     L"SOFTWARE\\Corvex\\T3", kDefault, true},
    {"KEY_WOW64_32KEY forces redirection", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\T4", kDefault,
     L"SOFTWARE\\Corvex\\T4", KEY_WOW64_32KEY, true},
    {"a path already under Wow6432Node is not redirected again", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\T5",
     kDefault, L"SOFTWARE\\WOW6432Node\\Corvex\\T5", kDefault, true},
    {"a 64-bit write is hidden from the default view", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\T6",
     KEY_WOW64_64KEY, L"SOFTWARE\\Corvex\\T6", kDefault, false},
    {"a 64-bit write is seen by the 64-bit view", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\T7",
     KEY_WOW64_64KEY, L"SOFTWARE\\Corvex\\T7", KEY_WOW64_64KEY, true},
    {"HKLM\\SYSTEM is shared", HKEY_LOCAL_MACHINE, L"SYSTEM\\Corvex\\T8", kDefault, L"SYSTEM\\Corvex\\T8",
     KEY_WOW64_64KEY, true},
    {"HKLM\\HARDWARE is shared", HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\T9", KEY_WOW64_64KEY,
     L"HARDWARE\\DESCRIPTION\\T9", kDefault, true},
    {"HKCU\\Software is shared", HKEY_CURRENT_USER, L"Software\\Corvex\\T10", kDefault,
     L"Software\\Corvex\\T10", KEY_WOW64_64KEY, true},
    {"HKCU is shared the other way too", HKEY_CURRENT_USER, L"Software\\Corvex\\T11", KEY_WOW64_64KEY,
     L"Software\\Corvex\\T11", kDefault, true},
};
INSTANTIATE_TEST_SUITE_P(Cases, RegistryViews, testing::ValuesIn(kViewCases));

TEST_F(RegistryApi, ASubKeyKeepsItsParentsViewOnTheFullPath) {
    ASSERT_EQ(SetIn(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Flipdeck", L"Bits", Dword(32)), ERROR_SUCCESS);
    ASSERT_EQ(SetIn(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Flipdeck", L"Bits", Dword(64),
                    KEY_ALL_ACCESS | KEY_WOW64_64KEY),
              ERROR_SUCCESS);
    CKey software32;
    CKey software64;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, software32.Out()), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ | KEY_WOW64_64KEY, software64.Out()),
              ERROR_SUCCESS);
    EXPECT_EQ(QueryIn(software32.Get(), L"Corvex\\Flipdeck", L"Bits"), Dword(32));
    EXPECT_EQ(QueryIn(software64.Get(), L"Corvex\\Flipdeck", L"Bits"), Dword(64));
    // A flag on the relative open chooses the view anew.
    EXPECT_EQ(QueryIn(software32.Get(), L"Corvex\\Flipdeck", L"Bits", KEY_READ | KEY_WOW64_64KEY), Dword(64));
    CKey both;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ | KEY_WOW64_64KEY | KEY_WOW64_32KEY,
                            both.Out()),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryApi, SizeQueryAndTooSmallBuffersAnswerTheNeededSize) {
    CKey key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Corvex\\Ampwise", key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key.Get(), L"AmpwiseName", Text(L"hello")), ERROR_SUCCESS);
    const DWORD needed = 6 * sizeof(wchar_t);

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(key.Get(), L"AmpwiseName", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, needed);

    wchar_t small[2] = {L'x', L'x'};
    size = sizeof(small);
    EXPECT_EQ(
        RegQueryValueExW(key.Get(), L"AmpwiseName", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, needed);

    wchar_t exact[6] = {};
    size = sizeof(exact);
    ASSERT_EQ(
        RegQueryValueExW(key.Get(), L"AmpwiseName", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(exact, L"hello");

    EXPECT_EQ(RegQueryValueExW(key.Get(), L"Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(key.Get(), L"AmpwiseName", nullptr, nullptr, reinterpret_cast<BYTE*>(exact),
                               nullptr),
              ERROR_INVALID_PARAMETER);
    CKey missing;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\Nothing", 0, KEY_READ, missing.Out()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing.Get(), nullptr);
}

TEST_F(RegistryApi, AStringStoredWithoutTerminatorReadsBackExactlyAndSafely) {
    CKey key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Corvex\\Ampwise", key), ERROR_SUCCESS);
    const SValue unterminated{REG_SZ, WideBytes(L"abc", false)};
    ASSERT_EQ(Set(key.Get(), L"Raw", unterminated), ERROR_SUCCESS);
    EXPECT_EQ(Query(key.Get(), L"Raw"), unterminated);

    // The program's reader: a zero-filled buffer one character longer than the reported size.
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(key.Get(), L"Raw", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    ASSERT_EQ(
        RegQueryValueExW(key.Get(), L"Raw", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(size, 3 * sizeof(wchar_t));
    EXPECT_STREQ(buffer.data(), L"abc");
}

TEST_F(RegistryApi, HandlesWithoutTheRightAreRefused) {
    ASSERT_EQ(SetIn(HKEY_CURRENT_USER, L"Software\\Corvex\\Ampwise", L"Bits", Dword(1)), ERROR_SUCCESS);
    CKey reader;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\Ampwise", 0, KEY_READ, reader.Out()),
              ERROR_SUCCESS);
    EXPECT_EQ(Set(reader.Get(), L"Bits", Dword(2)), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(reader.Get(), L"Bits"), ERROR_ACCESS_DENIED);
    CKey writer;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\Ampwise", 0, KEY_SET_VALUE, writer.Out()),
              ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(writer.Get(), L"Bits", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    CKey child;
    EXPECT_EQ(
        RegCreateKeyExW(reader.Get(), L"NewChild", 0, nullptr, 0, KEY_READ, nullptr, child.Out(), nullptr),
        ERROR_ACCESS_DENIED);
    EXPECT_EQ(Query(reader.Get(), L"Bits"), Dword(1));
}

class RegistryReadOnlyKey : public RegistryApi {
protected:
    void SetUp() override {
        ASSERT_EQ(SetIn(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil\\Sub", L"State", Dword(1),
                        KEY_ALL_ACCESS | KEY_WOW64_64KEY),
                  ERROR_SUCCESS);
        ASSERT_EQ(platform::SetRegistryKeyReadOnly(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil", true),
                  ERROR_SUCCESS);
    }
};

class RegistryReadOnlyRights : public RegistryReadOnlyKey, public testing::WithParamInterface<REGSAM> {};

TEST_P(RegistryReadOnlyRights, RefusesEveryWriteRightOnItAndBelowIt) {
    for (const wchar_t* path : {L"SOFTWARE\\Corvex\\Shadeveil", L"SOFTWARE\\Corvex\\Shadeveil\\Sub"}) {
        CKey key;
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, GetParam() | KEY_WOW64_64KEY, key.Out()),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(Create(HKEY_LOCAL_MACHINE, path, key, GetParam() | KEY_WOW64_64KEY), ERROR_ACCESS_DENIED);
    }
}

INSTANTIATE_TEST_SUITE_P(WriteRights, RegistryReadOnlyRights,
                         testing::Values(KEY_SET_VALUE, KEY_CREATE_SUB_KEY, DELETE, WRITE_DAC, WRITE_OWNER,
                                         KEY_WRITE, KEY_ALL_ACCESS, GENERIC_WRITE, KEY_READ | KEY_SET_VALUE));

TEST_F(RegistryReadOnlyKey, OpensForReadingAndKeepsItsTreeUntilTheMarkGoes) {
    for (REGSAM access :
         {REGSAM(KEY_READ), REGSAM(KEY_NOTIFY), REGSAM(KEY_QUERY_VALUE), REGSAM(GENERIC_READ)}) {
        EXPECT_EQ(QueryIn(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil\\Sub", L"State",
                          access | KEY_QUERY_VALUE | KEY_WOW64_64KEY),
                  Dword(1));
    }
    CKey maximum;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil", 0,
                            MAXIMUM_ALLOWED | KEY_WOW64_64KEY, maximum.Out()),
              ERROR_SUCCESS);
    EXPECT_EQ(Set(maximum.Get(), L"State", Dword(2)), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetIn(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil\\New", L"X", Dword(1),
                    KEY_ALL_ACCESS | KEY_WOW64_64KEY),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil\\Sub", KEY_WOW64_64KEY, 0),
              ERROR_ACCESS_DENIED);
    CKey corvex;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex", corvex, KEY_ALL_ACCESS | KEY_WOW64_64KEY),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeW(corvex.Get(), L"Shadeveil"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTreeW(corvex.Get(), nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(QueryIn(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil\\Sub", L"State",
                      KEY_READ | KEY_WOW64_64KEY),
              Dword(1));

    ASSERT_EQ(platform::SetRegistryKeyReadOnly(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil", false),
              ERROR_SUCCESS);
    EXPECT_EQ(SetIn(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil\\Sub", L"State", Dword(3),
                    KEY_ALL_ACCESS | KEY_WOW64_64KEY),
              ERROR_SUCCESS);
    EXPECT_EQ(platform::SetRegistryKeyReadOnly(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Nothing", true),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryApi, CreatingMakesTheMissingKeysAndTellsWhetherTheKeyWasNew) {
    CKey key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.Out(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"software\\corvex\\a\\b\\c", 0, nullptr, 0, KEY_READ,
                              nullptr, key.Out(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    CKey middle;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\A\\B", 0, KEY_READ, middle.Out()),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\V", 0, nullptr, 1 /* volatile */,
                              KEY_ALL_ACCESS, nullptr, key.Out(), nullptr),
              ERROR_NOT_SUPPORTED);
}

TEST_F(RegistryApi, HandlesAreCheckedAndAKeyDeletedUnderAHandleAnswersKeyDeleted) {
    CKey key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Corvex\\Doomed", key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key.Get(), L"Bits", Dword(1)), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvex\\Doomed"), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key.Get(), L"Bits", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(Set(key.Get(), L"Bits", Dword(2)), ERROR_KEY_DELETED);
    CKey child;
    EXPECT_EQ(RegOpenKeyExW(key.Get(), L"Child", 0, KEY_READ, child.Out()), ERROR_KEY_DELETED);

    const HKEY closed = key.Get();
    EXPECT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    *key.Out() = nullptr;
    EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Set(closed, L"Bits", Dword(3)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x12345))), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"", 0, KEY_READ, child.Out()), ERROR_SUCCESS);
    EXPECT_EQ(child.Get(), HKEY_CURRENT_USER);
}

TEST_F(RegistryApi, DeletingKeysAndValues) {
    ASSERT_EQ(SetIn(HKEY_CURRENT_USER, L"Software\\Corvex\\Tree\\Leaf", L"Bits", Dword(1)), ERROR_SUCCESS);
    CKey tree;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\Tree", 0, KEY_ALL_ACCESS, tree.Out()),
              ERROR_SUCCESS);
    ASSERT_EQ(Set(tree.Get(), nullptr, Text(L"default")), ERROR_SUCCESS);
    EXPECT_EQ(Query(tree.Get(), L""), Text(L"default"));
    EXPECT_EQ(RegDeleteValueW(tree.Get(), nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(tree.Get(), L""), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Corvex\\Tree"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(tree.Get(), L"Leaf"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(tree.Get(), L"Leaf"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, L""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvex\\Nothing"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryApi, EnumerationAsksForRoomForTheNameAndItsTerminator) {
    ASSERT_EQ(SetIn(HKEY_CURRENT_USER, L"Software\\Corvex\\Enum\\Beta", L"Name", Dword(1)), ERROR_SUCCESS);
    ASSERT_EQ(SetIn(HKEY_CURRENT_USER, L"Software\\Corvex\\Enum\\alpha", L"Name", Dword(1)), ERROR_SUCCESS);
    CKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\Enum", 0, KEY_READ, key.Out()),
              ERROR_SUCCESS);
    wchar_t name[8];
    DWORD length = 5;
    ASSERT_EQ(RegEnumKeyExW(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    length = 6;
    ASSERT_EQ(RegEnumKeyExW(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"alpha");
    EXPECT_EQ(length, 5u);
    length = 8;
    ASSERT_EQ(RegEnumKeyExW(key.Get(), 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"Beta");
    length = 8;
    EXPECT_EQ(RegEnumKeyExW(key.Get(), 2, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    CKey noEnumerate;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Corvex\\Enum", 0, KEY_QUERY_VALUE, noEnumerate.Out()),
        ERROR_SUCCESS);
    EXPECT_EQ(RegEnumKeyExW(noEnumerate.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
}

} // namespace
