// The toolbar's "PluginInvokeIndex" as the program reads it: a REG_DWORD, or missing (then 2 is stored).
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "services/PluginInvokeIndex.h"
#include "tests/support/TestMachine.h"

namespace {

const wchar_t* const kToolbarKey = L"Software\\Corvex\\Ampwise";

void StoreValue(std::optional<DWORD> type, const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kToolbarKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegDeleteValueW(key, L"PluginInvokeIndex");
    if (type) {
        ASSERT_EQ(
            RegSetValueExW(key, L"PluginInvokeIndex", 0, *type, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

// The stored value's type and its first DWORD.
std::pair<DWORD, DWORD> StoredValue() {
    HKEY key = nullptr;
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, L"PluginInvokeIndex", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
    }
    return {type, value};
}

TEST(PluginInvokeIndex, AStoredDwordIsReadAndAnythingElseCountsAsMissing) {
    testing_support::CTestMachine machine;
    const struct {
        const char* name;
        std::optional<DWORD> type;
        std::vector<BYTE> data;
        DWORD read;
        bool mayUpdate;
        std::pair<DWORD, DWORD> storedAfter;
    } cases[] = {
        {"one", REG_DWORD, {1, 0, 0, 0}, 1, true, {REG_DWORD, 1}},
        {"two", REG_DWORD, {2, 0, 0, 0}, 2, false, {REG_DWORD, 2}},
        {"missing", std::nullopt, {}, 2, true, {REG_DWORD, 2}},
        {"a text", REG_SZ, {'1', 0, 0, 0}, 2, true, {REG_DWORD, 2}},
        {"two bytes", REG_BINARY, {1, 0}, 2, true, {REG_DWORD, 2}},
    };
    for (const auto& c : cases) {
        StoreValue(c.type, c.data);
        bool mayUpdate = !c.mayUpdate;
        EXPECT_EQ(ReadPluginInvokeIndex(mayUpdate), c.read) << c.name;
        EXPECT_EQ(mayUpdate, c.mayUpdate) << c.name;
        EXPECT_EQ(StoredValue(), c.storedAfter) << c.name;
    }
}

} // namespace
