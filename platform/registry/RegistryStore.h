// The store: one JSON file in the machine folder, a tree of keys
//   {"HKEY_LOCAL_MACHINE": {"readOnly": true, "values": {"Name": {...}}, "keys": {"SOFTWARE": {...}}}}
// read through a cache that follows the file's identity, and changed under a lock by replacing the file.
// A store that is not such a tree reads as empty and refuses every change (ERROR_BADDB); a malformed
// entry inside it reads as missing and is kept as it is by changes elsewhere.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/registry/RegistryPath.h"
#include "platform/registry/RegistryValue.h"

namespace platform::registry {

struct SStoreSnapshot {
    nlohmann::json document = nlohmann::json::object();
    bool malformed = false;
};
using StoreSnapshot = std::shared_ptr<const SStoreSnapshot>;

// The store of the current machine.
std::filesystem::path CurrentStoreFile();

// The store as it is now.
StoreSnapshot ReadStore(const std::filesystem::path& file);

// Applies change to the latest store under the store's lock and replaces the file when change returns
// ERROR_SUCCESS and altered the tree; change's own error otherwise.
using StoreChange = std::function<LONG(nlohmann::json& document)>;
LONG ModifyStore(const std::filesystem::path& file, const StoreChange& change);

// ---- The key tree, for reading: missing and malformed entries are nullptr ----
const nlohmann::json* FindKey(const nlohmann::json& document, const KeyPath& path);
// True when the key or one of its ancestors is marked read-only.
bool IsReadOnly(const nlohmann::json& document, const KeyPath& path);
// The names of the key's sub-keys, in the order Windows enumerates them (case-insensitive).
std::vector<std::wstring> SubKeyNames(const nlohmann::json& key);
// The key's well-formed values with their names, in stored order.
std::vector<std::pair<std::wstring, SRegValue>> KeyValues(const nlohmann::json& key);
std::optional<SRegValue> FindValue(const nlohmann::json& key, std::wstring_view name);

// ---- The key tree, for changing: ERROR_FILE_NOT_FOUND when missing, ERROR_BADDB when malformed ----
LONG LocateKey(nlohmann::json& document, const KeyPath& path, nlohmann::json*& key);
// Locates the key, making it and its missing ancestors; created tells whether it was missing.
LONG MakeKey(nlohmann::json& document, const KeyPath& path, nlohmann::json*& key, bool& created);
LONG SetValue(nlohmann::json& key, std::wstring_view name, const SRegValue& value);
LONG DeleteValue(nlohmann::json& key, std::wstring_view name);
// Removes the key (path below a root) from its parent, with its subtree.
LONG RemoveKey(nlohmann::json& document, const KeyPath& path);
// Removes the key's values and sub-keys.
void ClearKey(nlohmann::json& key);
void MarkReadOnly(nlohmann::json& key, bool readOnly);
// True when the key or something in its subtree is marked read-only.
bool SubtreeHasReadOnly(const nlohmann::json& key);

// A digest of what a notification filter watches in a key (its values, sub-key names, read-only marks;
// its subtree's too when asked); a missing key has a digest of its own.
std::size_t ContentDigest(const nlohmann::json& document, const KeyPath& path, DWORD filter, bool subtree);

} // namespace platform::registry
