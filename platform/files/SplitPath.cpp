// _wsplitpath_s: a path's drive, folder (with its last separator), file name and extension (with its dot).
#include <cerrno>
#include <string_view>

#include "platform/files.h"
#include "platform/strings.h"

namespace {

struct CPart {
    wchar_t* buffer;
    size_t size;
    std::wstring_view text;
};

bool IsPathSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Empties every buffer and reports the invalid parameter, as the run-time does for each failure.
errno_t Fail(CPart* parts, size_t count, errno_t error) {
    for (size_t i = 0; i < count; ++i) {
        if (parts[i].buffer && parts[i].size > 0) {
            parts[i].buffer[0] = L'\0';
        }
    }
    platform::InvalidParameter();
    errno = error;
    return error;
}

} // namespace

errno_t _wsplitpath_s(const wchar_t* path, wchar_t* drive, size_t driveNumberOfElements, wchar_t* dir,
                      size_t dirNumberOfElements, wchar_t* fname, size_t nameNumberOfElements, wchar_t* ext,
                      size_t extNumberOfElements) {
    CPart parts[] = {{drive, driveNumberOfElements, {}},
                     {dir, dirNumberOfElements, {}},
                     {fname, nameNumberOfElements, {}},
                     {ext, extNumberOfElements, {}}};
    constexpr size_t kParts = sizeof(parts) / sizeof(parts[0]);
    bool validBuffers = true;
    for (const auto& part : parts) {
        validBuffers = validBuffers && ((part.buffer == nullptr) == (part.size == 0));
    }
    if (!path || !validBuffers) {
        return Fail(parts, kParts, EINVAL);
    }
    std::wstring_view rest(path);
    const size_t driveLength = rest.size() >= 2 && rest[1] == L':' ? 2 : 0;
    parts[0].text = rest.substr(0, driveLength);
    rest.remove_prefix(driveLength);
    size_t folderLength = rest.size();
    while (folderLength > 0 && !IsPathSeparator(rest[folderLength - 1])) {
        --folderLength;
    }
    parts[1].text = rest.substr(0, folderLength);
    rest.remove_prefix(folderLength);
    const size_t dot = rest.rfind(L'.');
    parts[2].text = rest.substr(0, dot);
    parts[3].text = dot == std::wstring_view::npos ? std::wstring_view() : rest.substr(dot);
    for (const auto& part : parts) {
        if (part.buffer && part.text.size() >= part.size) {
            return Fail(parts, kParts, ERANGE);
        }
    }
    for (auto& part : parts) {
        if (part.buffer) {
            part.text.copy(part.buffer, part.text.size());
            part.buffer[part.text.size()] = L'\0';
        }
    }
    return 0;
}
