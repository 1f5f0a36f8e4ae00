// RegNotifyChangeKeyValue: what fires an arming, once per arming, from this process and from another.
#include <atomic>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/registry.h"
#include "platform/threads.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace registry_test;

constexpr wchar_t kWatched[] = L"Software\\Corvex\\Watched";
constexpr DWORD kAllFilters = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES |
                              REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;
constexpr DWORD kCrossProcessWaitMs = 10000;

class CEvent {
public:
    CEvent() : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CEvent() { CloseHandle(m_handle); }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;
    HANDLE Get() const { return m_handle; }
    bool IsSet() const { return WaitForSingleObject(m_handle, 0) == WAIT_OBJECT_0; }

private:
    HANDLE m_handle;
};

// Watched\{Value}, Watched\Sub\{Value}, Watched\Sub\Deep; the watched key open for notification only, as the
// program opens it.
class RegistryNotify : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SetIn(HKEY_CURRENT_USER, kWatched, L"Value", Dword(1)), ERROR_SUCCESS);
        ASSERT_EQ(SetIn(HKEY_CURRENT_USER, L"Software\\Corvex\\Watched\\Sub", L"Value", Dword(1)),
                  ERROR_SUCCESS);
        ASSERT_EQ(SetIn(HKEY_CURRENT_USER, L"Software\\Corvex\\Watched\\Sub\\Deep", L"Value", Dword(1)),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kWatched, 0, KEY_NOTIFY, m_key.Out()), ERROR_SUCCESS);
    }

    LONG Arm(bool subtree, DWORD filter) {
        return RegNotifyChangeKeyValue(m_key.Get(), subtree, filter, m_event.Get(), TRUE);
    }

    testing_support::CTestMachine m_machine;
    CKey m_key;
    CEvent m_event;
};

struct SChangeCase {
    const char* label;
    bool subtree;
    DWORD filter;
    std::function<LONG()> change;
    bool fires;
};

LONG SetWatched(const wchar_t* below, DWORD number) {
    const std::wstring path = std::wstring(kWatched) + below;
    return SetIn(HKEY_CURRENT_USER, path.c_str(), L"Value", Dword(number));
}

LONG MakeWatched(const wchar_t* below) {
    CKey key;
    return Create(HKEY_CURRENT_USER, (std::wstring(kWatched) + below).c_str(), key);
}

class RegistryNotifyChanges : public RegistryNotify, public testing::WithParamInterface<SChangeCase> {};

TEST_P(RegistryNotifyChanges, FireWhenTheFilterAndTheSubtreeCoverTheChange) {
    const SChangeCase& c = GetParam();
    ASSERT_EQ(Arm(c.subtree, c.filter), ERROR_SUCCESS);
    ASSERT_EQ(c.change(), ERROR_SUCCESS);
    // This process's own writes are checked before they return.
    EXPECT_EQ(m_event.IsSet(), c.fires) << c.label;
}

const SChangeCase kChangeCases[] = {
    {"a value set in the key", false, REG_NOTIFY_CHANGE_LAST_SET, [] { return SetWatched(L"", 2); }, true},
    {"a value deleted", false, REG_NOTIFY_CHANGE_LAST_SET,
     [] {
         CKey key;
         RegOpenKeyExW(HKEY_CURRENT_USER, kWatched, 0, KEY_SET_VALUE, key.Out());
         return RegDeleteValueW(key.Get(), L"Value");
     },
     true},
    {"a value set in a sub-key, not watched", false, REG_NOTIFY_CHANGE_LAST_SET,
     [] { return SetWatched(L"\\Sub", 2); }, false},
    {"a value set in a sub-key, subtree watched", true, REG_NOTIFY_CHANGE_LAST_SET,
     [] { return SetWatched(L"\\Sub\\Deep", 2); }, true},
    {"a value set again with the same data", false, REG_NOTIFY_CHANGE_LAST_SET,
     [] { return SetWatched(L"", 1); }, true},
    {"a value set again with the same data in a sub-key, subtree watched", true, REG_NOTIFY_CHANGE_LAST_SET,
     [] { return SetWatched(L"\\Sub", 1); }, true},
    {"a value set, names watched", true, REG_NOTIFY_CHANGE_NAME, [] { return SetWatched(L"", 2); }, false},
    {"a value set again with the same data, names watched", true, REG_NOTIFY_CHANGE_NAME,
     [] { return SetWatched(L"", 1); }, false},
    {"a sub-key made", false, REG_NOTIFY_CHANGE_NAME, [] { return MakeWatched(L"\\New"); }, true},
    {"a sub-key made, values watched", true, REG_NOTIFY_CHANGE_LAST_SET, [] { return MakeWatched(L"\\New"); },
     false},
    {"a deeper key made, not watched", false, REG_NOTIFY_CHANGE_NAME,
     [] { return MakeWatched(L"\\Sub\\New"); }, false},
    {"a deeper key made, subtree watched", true, REG_NOTIFY_CHANGE_NAME,
     [] { return MakeWatched(L"\\Sub\\New"); }, true},
    {"a sub-key deleted", true, REG_NOTIFY_CHANGE_NAME,
     [] { return RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Corvex\\Watched\\Sub\\Deep"); }, true},
    {"a key marked read-only", true, REG_NOTIFY_CHANGE_SECURITY,
     [] {
         return platform::SetRegistryKeyReadOnly(HKEY_CURRENT_USER, L"Software\\Corvex\\Watched\\Sub", true);
     },
     true},
    {"the watched key deleted", false, REG_NOTIFY_CHANGE_LAST_SET,
     [] { return RegDeleteTreeW(HKEY_CURRENT_USER, kWatched); }, true},
    {"another key changed", true, kAllFilters,
     [] { return SetIn(HKEY_CURRENT_USER, L"Software\\Corvex\\Other", L"Value", Dword(1)); }, false},
};
INSTANTIATE_TEST_SUITE_P(Cases, RegistryNotifyChanges, testing::ValuesIn(kChangeCases));

TEST_F(RegistryNotify, AnArmingFiresOnceAndTheNextArmingFiresAgain) {
    ASSERT_EQ(Arm(true, kAllFilters), ERROR_SUCCESS);
    ASSERT_EQ(SetWatched(L"", 2), ERROR_SUCCESS);
    ASSERT_TRUE(m_event.IsSet());
    ResetEvent(m_event.Get());
    ASSERT_EQ(SetWatched(L"", 3), ERROR_SUCCESS);
    EXPECT_FALSE(m_event.IsSet()) << "the arming was spent";
    ASSERT_EQ(Arm(true, kAllFilters), ERROR_SUCCESS);
    EXPECT_FALSE(m_event.IsSet()) << "a change before arming does not count";
    ASSERT_EQ(SetWatched(L"\\Sub", 4), ERROR_SUCCESS);
    EXPECT_TRUE(m_event.IsSet());
}

// Sets "Value" in each key named, in order.
FLIPDECK_CHILD_ACTION(RegistryNotifyWrite) {
    for (const auto& path : args) {
        if (SetIn(HKEY_CURRENT_USER, platform::FromUtf8(path).c_str(), L"Value", Dword(42)) !=
            ERROR_SUCCESS) {
            return 1;
        }
    }
    return 0;
}

TEST_F(RegistryNotify, AWriteByAnotherProcessFiresOnlyTheArmingsItConcerns) {
    CKey other;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Corvex\\Other", other, KEY_NOTIFY), ERROR_SUCCESS);
    CEvent otherEvent;
    ASSERT_EQ(Arm(false, REG_NOTIFY_CHANGE_LAST_SET), ERROR_SUCCESS);
    ASSERT_EQ(RegNotifyChangeKeyValue(other.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, otherEvent.Get(), TRUE),
              ERROR_SUCCESS);

    ASSERT_EQ(testing_support::RunChild("RegistryNotifyWrite",
                                        {"Software\\Corvex\\Watched\\Sub", "Software\\Corvex\\Other"}),
              0);
    ASSERT_EQ(WaitForSingleObject(otherEvent.Get(), kCrossProcessWaitMs), WAIT_OBJECT_0);
    // Every arming on the store is checked in the same pass as the one that fired, and the write below the
    // watched key came before.
    EXPECT_FALSE(m_event.IsSet());

    ASSERT_EQ(testing_support::RunChild("RegistryNotifyWrite", {"Software\\Corvex\\Watched"}), 0);
    EXPECT_EQ(WaitForSingleObject(m_event.Get(), kCrossProcessWaitMs), WAIT_OBJECT_0);

    // The same data written again by the other process fires as well.
    ResetEvent(m_event.Get());
    ASSERT_EQ(Arm(false, REG_NOTIFY_CHANGE_LAST_SET), ERROR_SUCCESS);
    ASSERT_EQ(testing_support::RunChild("RegistryNotifyWrite", {"Software\\Corvex\\Watched"}), 0);
    EXPECT_EQ(WaitForSingleObject(m_event.Get(), kCrossProcessWaitMs), WAIT_OBJECT_0);
}

TEST_F(RegistryNotify, ClosingTheKeyOrEndingTheArmingThreadSignals) {
    ASSERT_EQ(Arm(true, kAllFilters), ERROR_SUCCESS);
    m_key.Close();
    EXPECT_TRUE(m_event.IsSet());

    struct SCase {
        DWORD extraFlag;
        bool fires;
    };
    for (const SCase c : {SCase{0, true}, SCase{REG_NOTIFY_THREAD_AGNOSTIC, false}}) {
        CKey key;
        CEvent event;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kWatched, 0, KEY_NOTIFY, key.Out()), ERROR_SUCCESS);
        LONG status = ERROR_INVALID_FUNCTION;
        std::thread([&] {
            status = RegNotifyChangeKeyValue(key.Get(), TRUE, kAllFilters | c.extraFlag, event.Get(), TRUE);
        }).join();
        ASSERT_EQ(status, ERROR_SUCCESS);
        EXPECT_EQ(event.IsSet(), c.fires) << "flags " << c.extraFlag;
    }
}

TEST_F(RegistryNotify, ASynchronousCallReturnsAfterTheChange) {
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        CKey key;
        RegOpenKeyExW(HKEY_CURRENT_USER, kWatched, 0, KEY_NOTIFY, key.Out());
        EXPECT_EQ(RegNotifyChangeKeyValue(key.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, nullptr, FALSE),
                  ERROR_SUCCESS);
        returned = true;
    });
    // The waiter may arm after any of these writes; one of them comes after it.
    for (DWORD n = 2; !returned && n < 5000; ++n) {
        ASSERT_EQ(SetWatched(L"", n), ERROR_SUCCESS);
        Sleep(1);
    }
    waiter.join();
    EXPECT_TRUE(returned);
}

TEST_F(RegistryNotify, BadArgumentsAreRefused) {
    EXPECT_EQ(RegNotifyChangeKeyValue(m_key.Get(), TRUE, kAllFilters, nullptr, TRUE),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Arm(TRUE, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Arm(TRUE, 0x100), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegNotifyChangeKeyValue(m_key.Get(), TRUE, kAllFilters, reinterpret_cast<HANDLE>(0x7777), TRUE),
              ERROR_INVALID_HANDLE);
    CKey reader;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kWatched, 0, KEY_QUERY_VALUE, reader.Out()), ERROR_SUCCESS);
    EXPECT_EQ(RegNotifyChangeKeyValue(reader.Get(), TRUE, kAllFilters, m_event.Get(), TRUE),
              ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kWatched), ERROR_SUCCESS);
    EXPECT_EQ(Arm(TRUE, kAllFilters), ERROR_KEY_DELETED);
    EXPECT_FALSE(m_event.IsSet());
}

} // namespace
