// Windows path forms and their mapping onto the machine's C: drive (drive_c/ in the machine folder).
#include <sys/stat.h>

#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/internal.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

constexpr std::wstring_view kVerbatimPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
constexpr std::wstring_view kUncPrefix = L"\\\\";
constexpr std::wstring_view kInvalidNameCharacters = L"<>:\"|?*";

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool HasDrive(std::wstring_view path) {
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':';
}

std::wstring WithBackslashes(std::wstring_view path) {
    std::wstring out(path);
    for (auto& c : out) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return out;
}

std::wstring TrimmedName(std::wstring name, bool isLast) {
    if (isLast) {
        // Windows drops every trailing dot and space of the last name.
        while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) {
            name.pop_back();
        }
    } else if (name.size() >= 2 && name.back() == L'.' && name[name.size() - 2] != L'.') {
        // And one trailing dot of a folder name.
        name.pop_back();
    }
    return name;
}

// The names of the part below the root, with "." and ".." folded; ".." stops at the root.
std::vector<std::wstring> FoldedNames(std::wstring_view rest, bool& trailingSeparator) {
    trailingSeparator = !rest.empty() && rest.back() == L'\\';
    std::vector<std::wstring> raw;
    size_t start = 0;
    while (start <= rest.size()) {
        const size_t end = std::min(rest.find(L'\\', start), rest.size());
        if (end > start) {
            raw.emplace_back(rest.substr(start, end - start));
        }
        start = end + 1;
    }
    std::vector<std::wstring> names;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == L".") {
            continue;
        }
        if (raw[i] == L"..") {
            if (!names.empty()) {
                names.pop_back();
            }
            continue;
        }
        std::wstring name = TrimmedName(raw[i], i + 1 == raw.size() && !trailingSeparator);
        if (!name.empty()) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

std::wstring Joined(const std::wstring& root, const std::vector<std::wstring>& names,
                    bool trailingSeparator) {
    std::wstring out = root;
    for (size_t i = 0; i < names.size(); ++i) {
        out += names[i];
        if (i + 1 < names.size() || trailingSeparator) {
            out += L'\\';
        }
    }
    return out;
}

// Length of the root of a UNC path "\\server\share\".
size_t UncRootLength(std::wstring_view path) {
    const size_t server = path.find(L'\\', kUncPrefix.size());
    if (server == std::wstring_view::npos) {
        return path.size();
    }
    const size_t share = path.find(L'\\', server + 1);
    return share == std::wstring_view::npos ? path.size() : share + 1;
}

std::wstring NormalisedBelowRoot(std::wstring_view path, size_t rootLength) {
    std::wstring root(path.substr(0, rootLength));
    if (!root.empty() && root.back() != L'\\') {
        root += L'\\';
    }
    bool trailingSeparator = false;
    const auto names = FoldedNames(path.substr(rootLength), trailingSeparator);
    return Joined(root, names, trailingSeparator);
}

bool IsValidName(std::wstring_view name) {
    for (wchar_t c : name) {
        if (c < 0x20 || kInvalidNameCharacters.find(c) != std::wstring_view::npos) {
            return false;
        }
    }
    return true;
}

// The entry of a folder whose name equals `name` whatever its case: the exact name when it exists, else
// the first of the matches in byte order, so that the answer does not depend on the directory's order.
std::optional<std::string> FindEntryNoCase(const fs::path& folder, const std::wstring& name) {
    std::string exact = ToUtf8(name);
    struct stat info {};
    if (lstat((folder / exact).c_str(), &info) == 0) {
        return exact;
    }
    std::optional<std::string> best;
    std::error_code ec;
    for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end; entry.increment(ec)) {
        const std::string candidate = entry->path().filename().native();
        if (EqualsNoCase(FromUtf8(candidate), name) && (!best || candidate < *best)) {
            best = candidate;
        }
    }
    return best;
}

} // namespace

bool IsDriveAbsolute(std::wstring_view path) {
    return HasDrive(path) && path.size() >= 3 && path[2] == L'\\';
}

std::wstring FullWindowsPath(std::wstring_view given) {
    if (given.empty() || given.starts_with(kVerbatimPrefix)) {
        return std::wstring(given);
    }
    const std::wstring path = WithBackslashes(given);
    if (path.starts_with(kDevicePrefix)) {
        return NormalisedBelowRoot(path, kDevicePrefix.size());
    }
    if (path.starts_with(kUncPrefix)) {
        return NormalisedBelowRoot(path, UncRootLength(path));
    }
    if (IsDriveAbsolute(path)) {
        return NormalisedBelowRoot(path, 3);
    }
    const std::wstring current = CurrentDirectory();
    if (path.size() == 2 && HasDrive(path) && EqualsNoCase(path.substr(0, 1), current.substr(0, 1))) {
        return current;
    }
    if (HasDrive(path)) {
        // "C:name" is relative to the current directory when that is on the same drive.
        const bool sameDrive = EqualsNoCase(path.substr(0, 1), current.substr(0, 1));
        return sameDrive ? NormalisedBelowRoot(current + L'\\' + path.substr(2), 3)
                         : NormalisedBelowRoot(path.substr(0, 2) + L'\\' + path.substr(2), 3);
    }
    if (path.front() == L'\\') {
        return NormalisedBelowRoot(current.substr(0, 3) + path.substr(1), 3);
    }
    return NormalisedBelowRoot(current + L'\\' + path, 3);
}

std::wstring PathForProgram(std::wstring_view path) {
    const std::wstring backslashed = WithBackslashes(path);
    return IsDriveAbsolute(backslashed) ? NormalisedBelowRoot(backslashed, 3) : std::wstring(path);
}

DWORD MapMachinePath(std::wstring_view windowsPath, CMappedPath& mapped) {
    std::wstring_view path = windowsPath;
    if (path.starts_with(kVerbatimPrefix)) {
        path.remove_prefix(kVerbatimPrefix.size());
        if (!IsDriveAbsolute(WithBackslashes(path))) {
            return ERROR_PATH_NOT_FOUND;
        }
    }
    if (path.empty()) {
        return ERROR_PATH_NOT_FOUND;
    }
    const std::wstring full = FullWindowsPath(path);
    if (!IsDriveAbsolute(full) || !EqualsNoCase(full.substr(0, 1), L"C")) {
        return ERROR_PATH_NOT_FOUND;
    }
    bool trailingSeparator = false;
    const auto names = FoldedNames(std::wstring_view(full).substr(3), trailingSeparator);
    fs::path host = MachineFolder() / "drive_c";
    bool parentExists = true;
    for (const auto& name : names) {
        if (!IsValidName(name)) {
            return ERROR_INVALID_NAME;
        }
        const auto entry = parentExists ? FindEntryNoCase(host, name) : std::nullopt;
        parentExists = entry.has_value();
        host /= entry.value_or(ToUtf8(name));
    }
    // A trailing backslash names a folder: a file of that name is no valid name for it.
    if (trailingSeparator && parentExists && !names.empty() && KindOf(host) == EntryKind::File) {
        return ERROR_INVALID_NAME;
    }
    mapped.windowsPath = full;
    mapped.hostPath = std::move(host);
    return ERROR_SUCCESS;
}

std::optional<fs::path> MapWindowsPath(std::wstring_view windowsPath) {
    CMappedPath mapped;
    if (MapMachinePath(windowsPath, mapped) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return mapped.hostPath;
}

} // namespace platform
