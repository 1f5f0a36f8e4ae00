#include "platform/registry/RegistryStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "platform/internal.h"

namespace platform::registry {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr char kKeysMember[] = "keys";
constexpr char kValuesMember[] = "values";
constexpr char kReadOnlyMember[] = "readOnly";
// How often the key's values were written: Windows changes a key's last-write time with every write of a
// value, the same data again included, and that is what a notification of value changes follows.
constexpr char kValueWritesMember[] = "valueWrites";
// Deeper documents than a full-depth key tree needs are refused, so that no walk over one runs out of
// stack.
constexpr size_t kMaxDocumentDepth = 2 * (kMaxKeyDepth + 1) + 8;

// The identity of a version of the store file; an atomic replacement always gives a new inode.
struct SFileStamp {
    bool present = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const SFileStamp& other) const {
        return present == other.present && device == other.device && inode == other.inode &&
               size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

SFileStamp StampOf(const struct stat& info) {
    return SFileStamp{true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

SFileStamp StampOfFile(const fs::path& file) {
    struct stat info {};
    return stat(file.c_str(), &info) == 0 ? StampOf(info) : SFileStamp{};
}

struct SCache {
    std::mutex lock;
    fs::path file;
    SFileStamp stamp;
    StoreSnapshot snapshot;
};

SCache& Cache() {
    static SCache cache;
    return cache;
}

bool WithinDepth(const json& document) {
    std::vector<std::pair<const json*, size_t>> pending{{&document, 1}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (depth > kMaxDocumentDepth) {
            return false;
        }
        if (node->is_structured()) {
            for (const auto& child : *node) {
                pending.emplace_back(&child, depth + 1);
            }
        }
    }
    return true;
}

StoreSnapshot MalformedSnapshot() {
    auto snapshot = std::make_shared<SStoreSnapshot>();
    snapshot->malformed = true;
    return snapshot;
}

StoreSnapshot ParseSnapshot(const std::string& text) {
    json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !WithinDepth(document)) {
        return MalformedSnapshot();
    }
    auto snapshot = std::make_shared<SStoreSnapshot>();
    snapshot->document = std::move(document);
    return snapshot;
}

// Reads the file through one descriptor, so that the stamp and the content are of the same version.
StoreSnapshot LoadSnapshot(const fs::path& file, SFileStamp& stamp) {
    stamp = SFileStamp{};
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? std::make_shared<SStoreSnapshot>() : MalformedSnapshot();
    }
    struct stat info {};
    std::string text;
    bool complete = fstat(fd, &info) == 0;
    if (complete) {
        stamp = StampOf(info);
        char buffer[65536];
        ssize_t n = 0;
        while ((n = read(fd, buffer, sizeof(buffer))) > 0) {
            text.append(buffer, static_cast<size_t>(n));
        }
        complete = n == 0;
    }
    close(fd);
    return complete ? ParseSnapshot(text) : MalformedSnapshot();
}

void RememberSnapshot(const fs::path& file, const SFileStamp& stamp, StoreSnapshot snapshot) {
    SCache& cache = Cache();
    std::lock_guard guard(cache.lock);
    cache.file = file;
    cache.stamp = stamp;
    cache.snapshot = std::move(snapshot);
}

template <typename Json> auto FindNamed(Json& object, std::wstring_view name) -> decltype(object.begin()) {
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        if (EqualsNoCase(FromUtf8(entry.key()), name)) {
            return entry;
        }
    }
    return object.end();
}

// The key's "keys" or "values" object; nullptr when absent or malformed.
const json* Member(const json& key, const char* member) {
    const auto found = key.find(member);
    return found != key.end() && found->is_object() ? &*found : nullptr;
}

// The same for a change: made when absent (with make) or ERROR_FILE_NOT_FOUND; ERROR_BADDB when malformed.
LONG MemberForChange(json& key, const char* member, bool make, json*& object) {
    const auto found = key.find(member);
    if (found == key.end()) {
        if (!make) {
            return ERROR_FILE_NOT_FOUND;
        }
        object = &(key[member] = json::object());
        return ERROR_SUCCESS;
    }
    object = found->is_object() ? &*found : nullptr;
    return object ? ERROR_SUCCESS : ERROR_BADDB;
}

LONG WalkForChange(json& document, const KeyPath& path, bool make, json*& key, bool& created) {
    created = false;
    if (path.empty() || path.size() > kMaxKeyDepth + 1) {
        return ERROR_INVALID_PARAMETER;
    }
    json* container = &document;
    for (size_t i = 0; i < path.size(); ++i) {
        auto found = FindNamed(*container, path[i]);
        if (found == container->end()) {
            if (!make) {
                return ERROR_FILE_NOT_FOUND;
            }
            found = container->emplace(ToUtf8(path[i]), json::object()).first;
            created = true;
        } else if (!found->is_object()) {
            return ERROR_BADDB;
        }
        key = &*found;
        if (i + 1 < path.size()) {
            if (const LONG status = MemberForChange(*key, kKeysMember, make, container);
                status != ERROR_SUCCESS) {
                return status;
            }
        }
    }
    return ERROR_SUCCESS;
}

bool IsMarkedReadOnly(const json& key) {
    const auto mark = key.find(kReadOnlyMember);
    return mark != key.end() && *mark == true;
}

// Walks down the path, calling stop on each key reached; the last key, or nullptr when the path breaks off
// or stop returned true.
template <typename Stop> const json* WalkPath(const json& document, const KeyPath& path, Stop&& stop) {
    const json* container = &document;
    const json* key = nullptr;
    for (const auto& name : path) {
        if (!container) {
            return nullptr;
        }
        const auto found = FindNamed(*container, name);
        if (found == container->end() || !found->is_object()) {
            return nullptr;
        }
        key = &*found;
        if (stop(*key)) {
            return nullptr;
        }
        container = Member(*key, kKeysMember);
    }
    return key;
}

void CountValueWrite(json& key) {
    const auto found = key.find(kValueWritesMember);
    const std::uint64_t writes =
        found != key.end() && found->is_number_unsigned() ? found->get<std::uint64_t>() : 0;
    key[kValueWritesMember] = writes + 1;
}

void AppendItem(std::string& digest, const std::string& item) {
    digest += std::to_string(item.size());
    digest += ':';
    digest += item;
}

void DescribeKey(const json& key, const std::string& path, DWORD filter, bool subtree, std::string& digest) {
    if (filter & REG_NOTIFY_CHANGE_LAST_SET) {
        if (const json* values = Member(key, kValuesMember); values && !values->empty()) {
            AppendItem(digest, "V" + path + values->dump(-1, ' ', false, json::error_handler_t::replace));
        }
        if (const auto writes = key.find(kValueWritesMember); writes != key.end()) {
            AppendItem(digest, "W" + path + writes->dump());
        }
    }
    if ((filter & REG_NOTIFY_CHANGE_SECURITY) && IsMarkedReadOnly(key)) {
        AppendItem(digest, "S" + path);
    }
    const json* keys = Member(key, kKeysMember);
    if (!keys) {
        return;
    }
    for (const auto& [name, subKey] : keys->items()) {
        if (!subKey.is_object()) {
            continue;
        }
        const std::string subPath = path + "\\" + name;
        if (filter & REG_NOTIFY_CHANGE_NAME) {
            AppendItem(digest, "N" + subPath);
        }
        if (subtree) {
            DescribeKey(subKey, subPath, filter, subtree, digest);
        }
    }
}

} // namespace

fs::path CurrentStoreFile() {
    return MachineFolder() / "registry.json";
}

StoreSnapshot ReadStore(const fs::path& file) {
    const SFileStamp current = StampOfFile(file);
    {
        SCache& cache = Cache();
        std::lock_guard guard(cache.lock);
        if (cache.snapshot && cache.file == file && cache.stamp == current) {
            return cache.snapshot;
        }
    }
    SFileStamp loaded;
    StoreSnapshot snapshot = LoadSnapshot(file, loaded);
    RememberSnapshot(file, loaded, snapshot);
    return snapshot;
}

LONG ModifyStore(const fs::path& file, const StoreChange& change) {
    const CFileLock lock(fs::path(file).replace_filename("registry.lock"));
    if (!lock.IsHeld()) {
        return ERROR_REGISTRY_IO_FAILED;
    }
    const StoreSnapshot latest = ReadStore(file);
    if (latest->malformed) {
        return ERROR_BADDB;
    }
    auto changed = std::make_shared<SStoreSnapshot>(*latest);
    const LONG status = change(changed->document);
    if (status != ERROR_SUCCESS || changed->document == latest->document) {
        return status;
    }
    const std::string text = changed->document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    if (!ReplaceFileAtomically(file, text)) {
        return ERROR_REGISTRY_IO_FAILED;
    }
    RememberSnapshot(file, StampOfFile(file), std::move(changed));
    return ERROR_SUCCESS;
}

const json* FindKey(const json& document, const KeyPath& path) {
    return WalkPath(document, path, [](const json&) { return false; });
}

bool IsReadOnly(const json& document, const KeyPath& path) {
    bool readOnly = false;
    WalkPath(document, path, [&](const json& key) { return readOnly = IsMarkedReadOnly(key); });
    return readOnly;
}

std::vector<std::wstring> SubKeyNames(const json& key) {
    std::vector<std::wstring> names;
    if (const json* keys = Member(key, kKeysMember)) {
        for (const auto& [name, subKey] : keys->items()) {
            if (subKey.is_object()) {
                names.push_back(FromUtf8(name));
            }
        }
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const std::wstring& a, const std::wstring& b) { return FoldCase(a) < FoldCase(b); });
    return names;
}

std::vector<std::pair<std::wstring, SRegValue>> KeyValues(const json& key) {
    std::vector<std::pair<std::wstring, SRegValue>> values;
    if (const json* entries = Member(key, kValuesMember)) {
        for (const auto& [name, entry] : entries->items()) {
            if (auto value = DecodeValue(entry)) {
                values.emplace_back(FromUtf8(name), std::move(*value));
            }
        }
    }
    return values;
}

std::optional<SRegValue> FindValue(const json& key, std::wstring_view name) {
    const json* entries = Member(key, kValuesMember);
    if (!entries) {
        return std::nullopt;
    }
    const auto found = FindNamed(*entries, name);
    return found == entries->end() ? std::nullopt : DecodeValue(*found);
}

LONG LocateKey(json& document, const KeyPath& path, json*& key) {
    bool created = false;
    return WalkForChange(document, path, false, key, created);
}

LONG MakeKey(json& document, const KeyPath& path, json*& key, bool& created) {
    return WalkForChange(document, path, true, key, created);
}

LONG SetValue(json& key, std::wstring_view name, const SRegValue& value) {
    json* entries = nullptr;
    if (const LONG status = MemberForChange(key, kValuesMember, true, entries); status != ERROR_SUCCESS) {
        return status;
    }
    // An existing value keeps the case of its name.
    if (const auto found = FindNamed(*entries, name); found != entries->end()) {
        *found = EncodeValue(value);
    } else {
        entries->emplace(ToUtf8(name), EncodeValue(value));
    }
    CountValueWrite(key);
    return ERROR_SUCCESS;
}

LONG DeleteValue(json& key, std::wstring_view name) {
    json* entries = nullptr;
    if (const LONG status = MemberForChange(key, kValuesMember, false, entries); status != ERROR_SUCCESS) {
        return status;
    }
    const auto found = FindNamed(*entries, name);
    // A malformed entry reads as missing, and so is kept.
    if (found == entries->end() || !DecodeValue(*found)) {
        return ERROR_FILE_NOT_FOUND;
    }
    entries->erase(found);
    CountValueWrite(key);
    return ERROR_SUCCESS;
}

LONG RemoveKey(json& document, const KeyPath& path) {
    if (path.size() < 2) {
        return ERROR_ACCESS_DENIED;
    }
    json* parent = nullptr;
    if (const LONG status = LocateKey(document, KeyPath(path.begin(), path.end() - 1), parent);
        status != ERROR_SUCCESS) {
        return status;
    }
    json* keys = nullptr;
    if (const LONG status = MemberForChange(*parent, kKeysMember, false, keys); status != ERROR_SUCCESS) {
        return status;
    }
    const auto found = FindNamed(*keys, path.back());
    if (found == keys->end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    keys->erase(found);
    return ERROR_SUCCESS;
}

void ClearKey(json& key) {
    key.erase(kKeysMember);
    key.erase(kValuesMember);
}

void MarkReadOnly(json& key, bool readOnly) {
    if (readOnly) {
        key[kReadOnlyMember] = true;
    } else {
        key.erase(kReadOnlyMember);
    }
}

bool SubtreeHasReadOnly(const json& key) {
    if (IsMarkedReadOnly(key)) {
        return true;
    }
    const json* keys = Member(key, kKeysMember);
    return keys && std::any_of(keys->begin(), keys->end(), [](const json& subKey) {
               return subKey.is_object() && SubtreeHasReadOnly(subKey);
           });
}

std::size_t ContentDigest(const json& document, const KeyPath& path, DWORD filter, bool subtree) {
    const json* key = FindKey(document, path);
    if (!key) {
        return std::hash<std::string>{}("missing");
    }
    std::string digest = "present";
    DescribeKey(*key, std::string(), filter, subtree, digest);
    return std::hash<std::string>{}(digest);
}

} // namespace platform::registry
