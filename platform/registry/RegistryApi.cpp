// The registry functions: handles and views resolved here, the tree kept by the store.
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "platform/registry.h"
#include "platform/registry/RegistryHandles.h"
#include "platform/registry/RegistryNotify.h"
#include "platform/registry/RegistryStore.h"

namespace {

using namespace platform::registry;
using nlohmann::json;

constexpr REGSAM kViewFlags = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;
constexpr REGSAM kDeleteTreeRights = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;
constexpr DWORD kNotifyFilters = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES |
                                 REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;

struct SGenericMapping {
    REGSAM generic;
    REGSAM specific;
};
constexpr SGenericMapping kGenericMappings[] = {{GENERIC_READ, KEY_READ},
                                                {GENERIC_WRITE, KEY_WRITE},
                                                {GENERIC_EXECUTE, KEY_EXECUTE},
                                                {GENERIC_ALL, KEY_ALL_ACCESS}};

const json& EmptyKey() {
    static const json empty = json::object();
    return empty;
}

std::wstring_view NameOf(LPCWSTR name) {
    return name ? std::wstring_view(name) : std::wstring_view();
}

// The rights a request gets on a key; nullopt when the key's read-only mark denies a write right.
std::optional<REGSAM> GrantedAccess(REGSAM desired, bool readOnly) {
    REGSAM granted = desired & ~(kViewFlags | MAXIMUM_ALLOWED);
    for (const auto& mapping : kGenericMappings) {
        if (granted & mapping.generic) {
            granted = (granted & ~mapping.generic) | mapping.specific;
        }
    }
    if (readOnly && (granted & kWriteRights)) {
        return std::nullopt;
    }
    if (desired & MAXIMUM_ALLOWED) {
        granted |= readOnly ? KEY_READ : KEY_ALL_ACCESS;
    }
    return granted;
}

// A predefined key or an open handle; nullopt for anything else.
std::optional<SKeyRef> ResolveKey(HKEY key) {
    const auto path = PredefinedKeyPath(key);
    if (!path) {
        return FindOpenKey(key);
    }
    SKeyRef ref;
    ref.store = CurrentStoreFile();
    ref.logical = *path;
    ref.storage = StoragePath(ref.logical, ref.view);
    ref.predefined = true;
    ref.access = *GrantedAccess(MAXIMUM_ALLOWED, IsReadOnly(ReadStore(ref.store)->document, ref.storage));
    return ref;
}

// The reference of a sub-key: the view asked for, else the parent's; not yet granted any access.
LONG SubKeyRef(const SKeyRef& parent, LPCWSTR subKey, REGSAM desired, SKeyRef& ref) {
    bool valid = true;
    const auto view = RequestedView(desired, valid);
    ref.store = parent.store;
    ref.logical = JoinSubKey(parent.logical, subKey);
    ref.view = view.value_or(parent.view);
    ref.storage = StoragePath(ref.logical, ref.view);
    return valid && ref.storage.size() <= kMaxKeyDepth + 1 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

bool WasDeleted(const SKeyRef& ref, const json& document) {
    return !ref.predefined && !FindKey(document, ref.storage);
}

// The key's entry for reading; a predefined key not in the store yet reads as an empty key.
LONG KeyForReading(const SKeyRef& ref, const json& document, const json*& key) {
    key = FindKey(document, ref.storage);
    if (!key && ref.predefined) {
        key = &EmptyKey();
    }
    return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// The key's entry for a change; a predefined key is made when make is set.
LONG KeyForChange(const SKeyRef& ref, json& document, bool make, json*& key) {
    if (ref.predefined && make) {
        bool created = false;
        return MakeKey(document, ref.storage, key, created);
    }
    const LONG status = LocateKey(document, ref.storage, key);
    return status == ERROR_FILE_NOT_FOUND && !ref.predefined ? ERROR_KEY_DELETED : status;
}

// A deleted key (or tree) may not be a root or a predefined key itself, nor hold a read-only key.
LONG CheckDeletable(const SKeyRef& parent, const SKeyRef& target, const json& document, const json& key) {
    const bool isPredefined = parent.predefined && target.storage == parent.storage;
    if (target.storage.size() < 2 || isPredefined || IsReadOnly(document, target.storage) ||
        SubtreeHasReadOnly(key)) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

LONG ChangeStore(const std::filesystem::path& store, const StoreChange& change) {
    const LONG status = ModifyStore(store, change);
    if (status == ERROR_SUCCESS) {
        CheckArmings(store);
    }
    return status;
}

LONG AnswerData(const SRegValue& value, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpType) {
        *lpType = value.type;
    }
    if (!lpcbData) {
        return ERROR_SUCCESS;
    }
    const auto size = static_cast<DWORD>(value.data.size());
    if (lpData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData && size > 0) {
        std::memcpy(lpData, value.data.data(), size);
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

// Copies a name with its terminator; the count in characters, without the terminator.
LONG AnswerName(const std::wstring& name, LPWSTR buffer, LPDWORD cchBuffer) {
    if (name.size() + 1 > *cchBuffer) {
        return ERROR_MORE_DATA;
    }
    std::wmemcpy(buffer, name.c_str(), name.size() + 1);
    *cchBuffer = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Opens a handle to an existing key with the access asked for.
LONG OpenHandle(SKeyRef ref, REGSAM samDesired, PHKEY phkResult) {
    const auto access = GrantedAccess(samDesired, IsReadOnly(ReadStore(ref.store)->document, ref.storage));
    if (!access) {
        return ERROR_ACCESS_DENIED;
    }
    ref.access = *access;
    ref.predefined = false;
    *phkResult = AddOpenKey(std::move(ref));
    return ERROR_SUCCESS;
}

// Makes the key and its missing ancestors; the parent handle must allow making sub-keys.
LONG CreateMissingKey(const SKeyRef& parent, const SKeyRef& ref, DWORD& disposition) {
    return ChangeStore(ref.store, [&](json& document) -> LONG {
        if (WasDeleted(parent, document)) {
            return ERROR_KEY_DELETED;
        }
        if (FindKey(document, ref.storage)) {
            return ERROR_SUCCESS;
        }
        if (!(parent.access & KEY_CREATE_SUB_KEY) || IsReadOnly(document, ref.storage)) {
            return ERROR_ACCESS_DENIED;
        }
        json* key = nullptr;
        bool created = false;
        const LONG status = MakeKey(document, ref.storage, key, created);
        disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        return status;
    });
}

// Blocks until the arming is signalled, for a synchronous RegNotifyChangeKeyValue.
LONG WaitForNotification(const SArmingOwner& owner, const SWatchedKey& watched) {
    struct SSignal {
        std::mutex lock;
        std::condition_variable changed;
        bool signalled = false;
    };
    auto signal = std::make_shared<SSignal>();
    const LONG status = ArmNotification(owner, watched, [signal] {
        std::lock_guard guard(signal->lock);
        signal->signalled = true;
        signal->changed.notify_all();
    });
    if (status == ERROR_SUCCESS) {
        std::unique_lock lock(signal->lock);
        signal->changed.wait(lock, [&] { return signal->signalled; });
    }
    return status;
}

} // namespace

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    const auto parent = ResolveKey(hKey);
    if (!parent) {
        return ERROR_INVALID_HANDLE;
    }
    if (ulOptions != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (parent->predefined && NameOf(lpSubKey).empty()) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    SKeyRef ref;
    if (const LONG status = SubKeyRef(*parent, lpSubKey, samDesired, ref); status != ERROR_SUCCESS) {
        return status;
    }
    const StoreSnapshot snapshot = ReadStore(ref.store);
    if (WasDeleted(*parent, snapshot->document)) {
        return ERROR_KEY_DELETED;
    }
    if (!FindKey(snapshot->document, ref.storage)) {
        return ERROR_FILE_NOT_FOUND;
    }
    return OpenHandle(std::move(ref), samDesired, phkResult);
}

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                        LPDWORD lpdwDisposition) {
    if (!phkResult || !lpSubKey) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    const auto parent = ResolveKey(hKey);
    if (!parent) {
        return ERROR_INVALID_HANDLE;
    }
    if (Reserved != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    // Volatile keys, classes and security descriptors are not kept.
    if (dwOptions != 0 || (lpClass && *lpClass) || !platform::CheckSecurityAttributes(lpSecurityAttributes)) {
        return ERROR_NOT_SUPPORTED;
    }
    SKeyRef ref;
    if (const LONG status = SubKeyRef(*parent, lpSubKey, samDesired, ref); status != ERROR_SUCCESS) {
        return status;
    }
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    const StoreSnapshot snapshot = ReadStore(ref.store);
    if (WasDeleted(*parent, snapshot->document)) {
        return ERROR_KEY_DELETED;
    }
    if (!FindKey(snapshot->document, ref.storage)) {
        if (const LONG status = CreateMissingKey(*parent, ref, disposition); status != ERROR_SUCCESS) {
            return status;
        }
    }
    const LONG status = OpenHandle(std::move(ref), samDesired, phkResult);
    if (status == ERROR_SUCCESS && lpdwDisposition) {
        *lpdwDisposition = disposition;
    }
    return status;
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (IsPredefinedKey(hKey)) {
        return ERROR_SUCCESS;
    }
    return CloseOpenKey(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
    const auto ref = ResolveKey(hKey);
    if (!ref) {
        return ERROR_INVALID_HANDLE;
    }
    if (lpReserved || (lpData && !lpcbData)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!(ref->access & KEY_QUERY_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    const StoreSnapshot snapshot = ReadStore(ref->store);
    const json* key = nullptr;
    if (const LONG status = KeyForReading(*ref, snapshot->document, key); status != ERROR_SUCCESS) {
        return status;
    }
    const auto value = FindValue(*key, NameOf(lpValueName));
    return value ? AnswerData(*value, lpType, lpData, lpcbData) : ERROR_FILE_NOT_FOUND;
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData) {
    const auto ref = ResolveKey(hKey);
    if (!ref) {
        return ERROR_INVALID_HANDLE;
    }
    if (!(ref->access & KEY_SET_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!lpData && cbData > 0) {
        return ERROR_NOACCESS;
    }
    // Stored as given, whatever the type: Windows checks no size against it.
    const SRegValue value{dwType, lpData ? std::vector<BYTE>(lpData, lpData + cbData) : std::vector<BYTE>()};
    return ChangeStore(ref->store, [&](json& document) -> LONG {
        json* key = nullptr;
        const LONG status = KeyForChange(*ref, document, true, key);
        return status == ERROR_SUCCESS ? SetValue(*key, NameOf(lpValueName), value) : status;
    });
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    const auto ref = ResolveKey(hKey);
    if (!ref) {
        return ERROR_INVALID_HANDLE;
    }
    if (!(ref->access & KEY_SET_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    return ChangeStore(ref->store, [&](json& document) -> LONG {
        json* key = nullptr;
        const LONG status = KeyForChange(*ref, document, false, key);
        return status == ERROR_SUCCESS ? DeleteValue(*key, NameOf(lpValueName)) : status;
    });
}

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    return RegDeleteKeyExW(hKey, lpSubKey, 0, 0);
}

LSTATUS RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved) {
    const auto parent = ResolveKey(hKey);
    if (!parent) {
        return ERROR_INVALID_HANDLE;
    }
    SKeyRef target;
    if (!lpSubKey || Reserved != 0 || SubKeyRef(*parent, lpSubKey, samDesired, target) != ERROR_SUCCESS) {
        return ERROR_INVALID_PARAMETER;
    }
    return ChangeStore(parent->store, [&](json& document) -> LONG {
        if (WasDeleted(*parent, document)) {
            return ERROR_KEY_DELETED;
        }
        const json* key = FindKey(document, target.storage);
        if (!key) {
            return ERROR_FILE_NOT_FOUND;
        }
        // A key with sub-keys is deleted by RegDeleteTreeW only.
        if (const LONG status = CheckDeletable(*parent, target, document, *key); status != ERROR_SUCCESS) {
            return status;
        }
        return SubKeyNames(*key).empty() ? RemoveKey(document, target.storage) : ERROR_ACCESS_DENIED;
    });
}

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    const auto parent = ResolveKey(hKey);
    if (!parent) {
        return ERROR_INVALID_HANDLE;
    }
    if (!lpSubKey && (parent->access & kDeleteTreeRights) != kDeleteTreeRights) {
        return ERROR_ACCESS_DENIED;
    }
    SKeyRef target;
    if (SubKeyRef(*parent, lpSubKey, 0, target) != ERROR_SUCCESS) {
        return ERROR_INVALID_PARAMETER;
    }
    return ChangeStore(parent->store, [&](json& document) -> LONG {
        if (WasDeleted(*parent, document)) {
            return ERROR_KEY_DELETED;
        }
        json* key = nullptr;
        if (const LONG status = LocateKey(document, target.storage, key); status != ERROR_SUCCESS) {
            return status;
        }
        if (!lpSubKey) {
            // Only the key's values and sub-keys go; the key stays.
            if (IsReadOnly(document, target.storage) || SubtreeHasReadOnly(*key)) {
                return ERROR_ACCESS_DENIED;
            }
            ClearKey(*key);
            return ERROR_SUCCESS;
        }
        const LONG status = CheckDeletable(*parent, target, document, *key);
        return status == ERROR_SUCCESS ? RemoveKey(document, target.storage) : status;
    });
}

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    const auto ref = ResolveKey(hKey);
    if (!ref) {
        return ERROR_INVALID_HANDLE;
    }
    if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (lpftLastWriteTime) {
        return ERROR_NOT_SUPPORTED;
    }
    if (!(ref->access & KEY_ENUMERATE_SUB_KEYS)) {
        return ERROR_ACCESS_DENIED;
    }
    const StoreSnapshot snapshot = ReadStore(ref->store);
    const json* key = nullptr;
    if (const LONG status = KeyForReading(*ref, snapshot->document, key); status != ERROR_SUCCESS) {
        return status;
    }
    const auto names = SubKeyNames(*key);
    if (dwIndex >= names.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    if (const LONG status = AnswerName(names[dwIndex], lpName, lpcchName); status != ERROR_SUCCESS) {
        return status;
    }
    return lpClass ? AnswerName(std::wstring(), lpClass, lpcchClass) : ERROR_SUCCESS;
}

LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                      LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    const auto ref = ResolveKey(hKey);
    if (!ref) {
        return ERROR_INVALID_HANDLE;
    }
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!(ref->access & KEY_QUERY_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    const StoreSnapshot snapshot = ReadStore(ref->store);
    const json* key = nullptr;
    if (const LONG status = KeyForReading(*ref, snapshot->document, key); status != ERROR_SUCCESS) {
        return status;
    }
    const auto values = KeyValues(*key);
    if (dwIndex >= values.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const auto& [name, value] = values[dwIndex];
    if (const LONG status = AnswerName(name, lpValueName, lpcchValueName); status != ERROR_SUCCESS) {
        return status;
    }
    return AnswerData(value, lpType, lpData, lpcbData);
}

LSTATUS RegNotifyChangeKeyValue(HKEY hKey, BOOL bWatchSubtree, DWORD dwNotifyFilter, HANDLE hEvent,
                                BOOL fAsynchronous) {
    const auto ref = ResolveKey(hKey);
    if (!ref) {
        return ERROR_INVALID_HANDLE;
    }
    if ((dwNotifyFilter & ~(kNotifyFilters | REG_NOTIFY_THREAD_AGNOSTIC)) != 0 ||
        (dwNotifyFilter & kNotifyFilters) == 0 || (fAsynchronous && !hEvent)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (fAsynchronous && !platform::LookupKernelObject(hEvent)) {
        return ERROR_INVALID_HANDLE;
    }
    if (!(ref->access & KEY_NOTIFY)) {
        return ERROR_ACCESS_DENIED;
    }
    if (WasDeleted(*ref, ReadStore(ref->store)->document)) {
        return ERROR_KEY_DELETED;
    }
    const bool endsWithThread = (dwNotifyFilter & REG_NOTIFY_THREAD_AGNOSTIC) == 0;
    const SArmingOwner owner{ref->id, endsWithThread ? GetCurrentThreadId() : 0};
    const SWatchedKey watched{ref->store, ref->storage, bWatchSubtree != FALSE,
                              dwNotifyFilter & kNotifyFilters};
    if (!fAsynchronous) {
        return WaitForNotification(owner, watched);
    }
    return ArmNotification(owner, watched, [hEvent] { SetEvent(hEvent); });
}

namespace platform {

LONG SetRegistryKeyReadOnly(HKEY root, LPCWSTR subKey, bool readOnly) {
    const auto rootPath = PredefinedKeyPath(root);
    if (!rootPath) {
        return ERROR_INVALID_HANDLE;
    }
    const KeyPath path = JoinSubKey(*rootPath, subKey);
    return ChangeStore(CurrentStoreFile(), [&](json& document) -> LONG {
        json* key = nullptr;
        const LONG status = LocateKey(document, path, key);
        if (status == ERROR_SUCCESS) {
            MarkReadOnly(*key, readOnly);
        }
        return status;
    });
}

} // namespace platform
