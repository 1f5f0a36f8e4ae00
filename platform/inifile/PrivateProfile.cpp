// The private-profile functions. Reads need no lock: a file is only ever replaced whole, by a rename.
// Changes run read, change, replace under one lock of the machine, so concurrent changes of threads and
// processes are applied one after the other and none is lost.
#include <algorithm>
#include <climits>
#include <functional>

#include "platform/files/FileSystem.h"
#include "platform/inifile.h"
#include "platform/inifile/IniDocument.h"
#include "platform/inifile/IniEncoding.h"
#include "platform/internal.h"

namespace {

namespace fs = std::filesystem;

using platform::CIniDocument;

// A file name without a folder names a file of the Windows folder.
DWORD LocateProfileFile(LPCWSTR fileName, platform::CMappedPath& mapped) {
    if (!fileName || !*fileName) {
        return ERROR_INVALID_PARAMETER;
    }
    std::wstring path = fileName;
    if (path.find_first_of(L"\\/:") == std::wstring::npos) {
        const auto windows = platform::MachineFact("/folders/windows");
        if (!windows.is_string()) {
            return ERROR_PATH_NOT_FOUND;
        }
        path = platform::FromUtf8(windows.get<std::string>()) + L"\\" + path;
    }
    return platform::MapMachinePath(path, mapped);
}

// The file's text; `exists` false (and ERROR_SUCCESS) when there is no such file.
DWORD LoadProfileFile(const fs::path& host, platform::CIniText& text, bool& exists) {
    exists = false;
    switch (platform::KindOf(host)) {
    case platform::EntryKind::Missing:
        return ERROR_SUCCESS;
    case platform::EntryKind::Directory:
        return ERROR_ACCESS_DENIED;
    case platform::EntryKind::File:
        break;
    }
    const auto bytes = platform::ReadWholeFile(host);
    if (!bytes) {
        return ERROR_ACCESS_DENIED;
    }
    text = platform::DecodeIniFile(*bytes);
    exists = true;
    return ERROR_SUCCESS;
}

// The file as it is now; an empty document when it cannot be read (the last error tells why).
CIniDocument ReadProfileFile(LPCWSTR fileName) {
    platform::CMappedPath mapped;
    platform::CIniText text;
    bool exists = false;
    DWORD error = LocateProfileFile(fileName, mapped);
    if (error == ERROR_SUCCESS) {
        error = LoadProfileFile(mapped.hostPath, text, exists);
    }
    if (error != ERROR_SUCCESS || !exists) {
        SetLastError(error != ERROR_SUCCESS ? error : ERROR_FILE_NOT_FOUND);
    }
    return CIniDocument(text.text);
}

std::optional<std::string> EncodedForFile(const std::wstring& text, platform::IniEncoding encoding) {
    auto bytes = platform::EncodeIniFile(text, encoding);
    if (!bytes && encoding == platform::IniEncoding::Ansi1252) {
        // A value beyond the code page: the file becomes UTF-8 rather than lose it.
        bytes = platform::EncodeIniFile(text, platform::IniEncoding::Utf8);
    }
    return bytes;
}

DWORD WriteChange(const fs::path& host, bool createsFile, const std::function<void(CIniDocument&)>& change) {
    platform::CIniText text;
    bool exists = false;
    if (const DWORD error = LoadProfileFile(host, text, exists); error != ERROR_SUCCESS) {
        return error;
    }
    if (!exists && !createsFile) {
        return ERROR_SUCCESS;
    }
    if (exists && platform::IsReadOnly(host)) {
        return ERROR_ACCESS_DENIED;
    }
    if (const DWORD error = platform::CheckFolderWritable(host); error != ERROR_SUCCESS) {
        return error;
    }
    if (!text.roundTrips) {
        // Bytes that no encoding reproduces: rewriting would change them.
        return ERROR_INVALID_DATA;
    }
    CIniDocument document(text.text);
    change(document);
    const std::wstring changed = document.Text();
    if (exists && changed == text.text) {
        return ERROR_SUCCESS;
    }
    const auto bytes = EncodedForFile(changed, text.encoding);
    if (!bytes) {
        return ERROR_INVALID_DATA;
    }
    return platform::ReplaceFileAtomically(host, *bytes) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

BOOL ChangeProfileFile(LPCWSTR fileName, bool createsFile, const std::function<void(CIniDocument&)>& change) {
    platform::CMappedPath mapped;
    DWORD error = LocateProfileFile(fileName, mapped);
    if (error == ERROR_SUCCESS) {
        platform::CFileLock lock(platform::MachineFolder() / "locks" / "inifiles.lock");
        error = lock.IsHeld() ? WriteChange(mapped.hostPath, createsFile, change) : ERROR_ACCESS_DENIED;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

bool HasLineBreak(std::wstring_view text) {
    return text.find_first_of(L"\r\n") != std::wstring_view::npos;
}

// Names and values that would read back as other lines are refused, so that a write never changes
// another entry of the file.
bool IsStorableSection(std::wstring_view section) {
    return !HasLineBreak(section) && section.find(L']') == std::wstring_view::npos;
}

bool StartsAsHeaderOrComment(std::wstring_view line) {
    const size_t first = line.find_first_not_of(L" \t");
    return first != std::wstring_view::npos && (line[first] == L'[' || line[first] == L';');
}

bool IsStorableKey(std::wstring_view key) {
    return !HasLineBreak(key) && key.find(L'=') == std::wstring_view::npos && !StartsAsHeaderOrComment(key);
}

bool IsStorableEntry(std::wstring_view entry) {
    return !HasLineBreak(entry) && !StartsAsHeaderOrComment(entry);
}

DWORD CopyValue(std::wstring_view text, LPWSTR buffer, DWORD size) {
    platform::CopyTruncated(text, buffer, size);
    return static_cast<DWORD>(std::min<size_t>(text.size(), size - 1));
}

// Strings each ended by a null, then one more null. A list that does not fit is cut, still ended by two
// nulls, and the answer is size - 2.
DWORD CopyList(const std::vector<std::wstring>& items, LPWSTR buffer, DWORD size) {
    std::wstring list;
    for (const auto& item : items) {
        list += item;
        list += L'\0';
    }
    if (list.size() < size) {
        list.copy(buffer, list.size());
        buffer[list.size()] = L'\0';
        if (list.empty() && size >= 2) {
            buffer[1] = L'\0';
        }
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = L'\0';
        return 0;
    }
    list.copy(buffer, size - 2);
    buffer[size - 2] = L'\0';
    buffer[size - 1] = L'\0';
    return size - 2;
}

std::wstring DefaultText(LPCWSTR defaultText) {
    std::wstring text = defaultText ? defaultText : L"";
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) {
        text.pop_back();
    }
    return text;
}

int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) {
        return (c | 0x20) - L'a' + 10;
    }
    return INT_MAX;
}

// The number a value starts with, as the system's string-to-integer conversion reads it: a sign, then
// "0x", "0o" or "0b" for hexadecimal, octal or binary, else decimal digits (a leading 0 is no octal
// mark); the digits end at the first that is not one of the base. The sum wraps at 32 bits.
UINT LeadingInteger(std::wstring_view text) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == L'-';
    if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) {
        ++i;
    }
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == L'0') {
        const wchar_t mark = text[i + 1];
        base = mark == L'x' ? 16 : mark == L'o' ? 8 : mark == L'b' ? 2 : 10;
        i += base == 10 ? 0 : 2;
    }
    UINT number = 0;
    for (; i < text.size() && static_cast<unsigned>(DigitValue(text[i])) < base; ++i) {
        number = number * base + static_cast<UINT>(DigitValue(text[i]));
    }
    return negative ? 0u - number : number;
}

} // namespace

DWORD GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                               LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const CIniDocument document = ReadProfileFile(lpFileName);
    if (!lpAppName) {
        return CopyList(document.SectionNames(), lpReturnedString, nSize);
    }
    if (!lpKeyName) {
        return CopyList(document.KeyNames(lpAppName), lpReturnedString, nSize);
    }
    const auto value = document.Value(lpAppName, lpKeyName);
    if (!value) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return CopyValue(DefaultText(lpDefault), lpReturnedString, nSize);
    }
    return CopyValue(platform::WithoutQuotes(*value), lpReturnedString, nSize);
}

UINT GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName) {
    if (!lpAppName || !lpKeyName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<UINT>(nDefault);
    }
    const auto value = ReadProfileFile(lpFileName).Value(lpAppName, lpKeyName);
    const std::wstring text = value ? platform::WithoutQuotes(*value) : std::wstring();
    return text.empty() ? static_cast<UINT>(nDefault) : LeadingInteger(text);
}

BOOL WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString, LPCWSTR lpFileName) {
    if (!lpAppName && !lpKeyName && !lpString) {
        // Nothing is cached: every change is in the file already.
        return TRUE;
    }
    if (!lpAppName || !IsStorableSection(lpAppName) || (lpKeyName && !IsStorableKey(lpKeyName)) ||
        (lpString && HasLineBreak(lpString))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring section = lpAppName;
    if (!lpKeyName) {
        return ChangeProfileFile(lpFileName, false,
                                 [&](CIniDocument& document) { document.DeleteSection(section); });
    }
    const std::wstring key = lpKeyName;
    if (!lpString) {
        return ChangeProfileFile(lpFileName, false,
                                 [&](CIniDocument& document) { document.DeleteKey(section, key); });
    }
    const std::wstring value = lpString;
    return ChangeProfileFile(lpFileName, true,
                             [&](CIniDocument& document) { document.SetValue(section, key, value); });
}

DWORD GetPrivateProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName) {
    if (!lpAppName || !lpReturnedString || nSize == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return CopyList(ReadProfileFile(lpFileName).Entries(lpAppName), lpReturnedString, nSize);
}

BOOL WritePrivateProfileSectionW(LPCWSTR lpAppName, LPCWSTR lpString, LPCWSTR lpFileName) {
    if (!lpAppName || !IsStorableSection(lpAppName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring section = lpAppName;
    if (!lpString) {
        return ChangeProfileFile(lpFileName, false,
                                 [&](CIniDocument& document) { document.DeleteSection(section); });
    }
    std::vector<std::wstring> entries;
    for (LPCWSTR entry = lpString; *entry; entry += entries.back().size() + 1) {
        entries.emplace_back(entry);
        if (!IsStorableEntry(entries.back())) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    return ChangeProfileFile(lpFileName, true,
                             [&](CIniDocument& document) { document.ReplaceEntries(section, entries); });
}
