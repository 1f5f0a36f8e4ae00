// URIs opened through the shell: the application behind a scheme is outside the machine, so opening
// one is recorded as an event.
#include <cwctype>
#include <string>
#include <string_view>

#include "platform/internal.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace {

// What the shell answers for a URI it handed to its application: any value above 32.
constexpr INT_PTR kOpened = 42;

// The scheme of a URI: the text before its first colon, two or more characters of a letter followed
// by letters, digits, "+", "-" or "."; empty for anything else (a path, "C:\...").
std::wstring_view UriScheme(std::wstring_view file) {
    const size_t colon = file.find(L':');
    if (colon == std::wstring_view::npos || colon < 2 || !std::iswalpha(file[0])) {
        return {};
    }
    const std::wstring_view scheme = file.substr(0, colon);
    for (const wchar_t c : scheme) {
        if (c > 0x7F || !(std::iswalnum(c) || c == L'+' || c == L'-' || c == L'.')) {
            return {};
        }
    }
    return scheme;
}

bool IsSchemeRegistered(std::wstring_view scheme) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, std::wstring(scheme).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS) {
        return false;
    }
    const bool isProtocol =
        RegQueryValueExW(key, L"URL Protocol", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return isProtocol;
}

bool IsOpenVerb(LPCWSTR verb) {
    return verb == nullptr || *verb == L'\0' || platform::EqualsNoCase(verb, L"open");
}

HINSTANCE ShellResult(INT_PTR code) {
    return reinterpret_cast<HINSTANCE>(code);
}

} // namespace

HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                        LPCWSTR lpDirectory, INT nShowCmd) {
    const std::wstring_view scheme = lpFile ? UriScheme(lpFile) : std::wstring_view();
    if (scheme.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return ShellResult(SE_ERR_FNF);
    }
    if (!IsOpenVerb(lpOperation) || !IsSchemeRegistered(scheme)) {
        SetLastError(ERROR_NO_ASSOCIATION);
        return ShellResult(SE_ERR_NOASSOC);
    }
    platform::AppendMachineEvent("shell.execute", {{"file", platform::ToUtf8(lpFile)}, {"show", nShowCmd}});
    return ShellResult(kOpened);
}
