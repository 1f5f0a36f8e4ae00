// Helpers of the registry tests: a key that closes itself and short value reads and writes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace registry_test {

class CKey {
public:
    CKey() = default;
    ~CKey() { Close(); }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
    HKEY Get() const { return m_key; }
    PHKEY Out() {
        Close();
        return &m_key;
    }
    void Close() {
        if (m_key) {
            RegCloseKey(m_key);
            m_key = nullptr;
        }
    }

private:
    HKEY m_key = nullptr;
};

struct SValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const SValue&) const = default;
};

inline std::vector<BYTE> WideBytes(const std::wstring& text, bool terminated = true) {
    const auto* begin = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(begin, begin + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

inline std::vector<BYTE> DwordBytes(DWORD number) {
    const auto* begin = reinterpret_cast<const BYTE*>(&number);
    return std::vector<BYTE>(begin, begin + sizeof(number));
}

inline LONG Create(HKEY root, const wchar_t* path, CKey& key, REGSAM access = KEY_ALL_ACCESS) {
    return RegCreateKeyExW(root, path, 0, nullptr, 0, access, nullptr, key.Out(), nullptr);
}

inline LONG Set(HKEY key, const wchar_t* name, const SValue& value) {
    return RegSetValueExW(key, name, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
}

// Makes the key (in the view the access asks for) and sets one value in it.
inline LONG SetIn(HKEY root, const wchar_t* path, const wchar_t* name, const SValue& value,
                  REGSAM access = KEY_ALL_ACCESS) {
    CKey key;
    const LONG status = Create(root, path, key, access);
    return status == ERROR_SUCCESS ? Set(key.Get(), name, value) : status;
}

// The value read the way the program reads: size first, then the data.
inline std::optional<SValue> Query(HKEY key, const wchar_t* name) {
    SValue value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    if (RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

inline std::optional<SValue> QueryIn(HKEY root, const wchar_t* path, const wchar_t* name,
                                     REGSAM access = KEY_READ) {
    CKey key;
    if (RegOpenKeyExW(root, path, 0, access, key.Out()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return Query(key.Get(), name);
}

inline SValue Dword(DWORD number) {
    return SValue{REG_DWORD, DwordBytes(number)};
}
inline SValue Text(const std::wstring& text) {
    return SValue{REG_SZ, WideBytes(text)};
}

} // namespace registry_test
