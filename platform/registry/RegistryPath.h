// Key paths, the predefined keys and the 32-bit view's redirection of HKLM\SOFTWARE.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace platform::registry {

// A key's full path: a root of the store ("HKEY_LOCAL_MACHINE", "HKEY_USERS") and its names below it.
using KeyPath = std::vector<std::wstring>;

// Windows' limit on the depth of the key tree.
inline constexpr size_t kMaxKeyDepth = 512;

enum class EView { Default32, Native64 };

// The view a call asks for with KEY_WOW64_32KEY / KEY_WOW64_64KEY; nullopt when it asks for none;
// false in valid when it asks for both.
std::optional<EView> RequestedView(REGSAM samDesired, bool& valid);

// Where a key of a view lives in the store: in the default view, HKLM\SOFTWARE and what lies below it
// (unless already under Wow6432Node) are kept under HKLM\SOFTWARE\Wow6432Node.
KeyPath StoragePath(const KeyPath& logical, EView view);

// Appends the names of a sub-key ("A\B\C"; empty names from stray backslashes are skipped).
KeyPath JoinSubKey(const KeyPath& base, LPCWSTR subKey);

bool IsPredefinedKey(HKEY key);
// The path a predefined key stands for (HKCU is the user's key under HKEY_USERS, named by the fact
// "/user/sid"); nullopt for any other handle.
std::optional<KeyPath> PredefinedKeyPath(HKEY key);

} // namespace platform::registry
