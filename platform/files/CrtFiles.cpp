// The run-time's wide file functions: access tests, folders and streams of machine files.
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/files.h"
#include "platform/files/FileSystem.h"
#include "platform/internal.h"

namespace {

constexpr int kWriteAccess = 2;
constexpr int kValidAccessModes = 6;

// Sets errno and answers it.
errno_t Failed(errno_t error) {
    errno = error;
    return error;
}

// A stream mode as the run-time reads it: "r", "w" or "a", then "+", "t", "b", "x" and hints, then an
// optional ", ccs=ENCODING". The encoding is checked, not applied; a stream without "b" is a text stream.
struct CStreamMode {
    std::string hostMode;
    bool creates = false;
    bool writes = false;
    bool exclusive = false;
    bool text = false;
};

std::wstring_view TrimmedBlanks(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == L' ') {
        text.remove_suffix(1);
    }
    return text;
}

bool IsEncodingClause(std::wstring_view clause) {
    const size_t equals = clause.find(L'=');
    if (equals == std::wstring_view::npos || TrimmedBlanks(clause.substr(0, equals)) != L"ccs") {
        return false;
    }
    const auto encoding = TrimmedBlanks(clause.substr(equals + 1));
    return platform::EqualsNoCase(encoding, L"UTF-8") || platform::EqualsNoCase(encoding, L"UTF-16LE") ||
           platform::EqualsNoCase(encoding, L"UNICODE");
}

std::optional<CStreamMode> ParseStreamMode(std::wstring_view mode) {
    const size_t comma = mode.find(L',');
    if (comma != std::wstring_view::npos && !IsEncodingClause(mode.substr(comma + 1))) {
        return std::nullopt;
    }
    const std::wstring_view flags = TrimmedBlanks(mode.substr(0, comma));
    if (flags.empty() || std::wstring_view(L"rwa").find(flags.front()) == std::wstring_view::npos) {
        return std::nullopt;
    }
    // Each flag at most once; "D" (delete on close) is not supported.
    std::wstring seen;
    for (wchar_t flag : flags.substr(1)) {
        if (std::wstring_view(L"+tbxcnNSRT").find(flag) == std::wstring_view::npos ||
            seen.find(flag) != std::wstring::npos) {
            return std::nullopt;
        }
        seen += flag;
    }
    const auto has = [&seen](wchar_t flag) { return seen.find(flag) != std::wstring::npos; };
    if ((has(L't') && has(L'b')) || (has(L'S') && has(L'R')) || (has(L'x') && flags.front() != L'w')) {
        return std::nullopt;
    }
    CStreamMode parsed;
    parsed.creates = flags.front() != L'r';
    parsed.writes = parsed.creates || has(L'+');
    parsed.exclusive = has(L'x');
    parsed.text = !has(L'b');
    parsed.hostMode = std::string(1, static_cast<char>(flags.front())) + (has(L'+') ? "+" : "") +
                      (parsed.exclusive ? "x" : "") + "e";
    return parsed;
}

// Whether the stream may open the file: ERROR_SUCCESS or the Win32 error Windows gives.
DWORD CheckStreamTarget(const platform::CMappedPath& mapped, const CStreamMode& mode) {
    switch (platform::KindOf(mapped.hostPath)) {
    case platform::EntryKind::Directory:
        return ERROR_ACCESS_DENIED;
    case platform::EntryKind::Missing:
        return mode.creates ? platform::CheckFolderWritable(mapped.hostPath)
                            : platform::MissingEntryError(mapped.hostPath);
    case platform::EntryKind::File:
        if (mode.exclusive) {
            return ERROR_FILE_EXISTS;
        }
        return mode.writes && platform::IsReadOnly(mapped.hostPath) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    }
    return ERROR_SUCCESS;
}

// A text stream over a file, as the Windows run-time keeps one: a line feed written is a carriage
// return and a line feed in the file, and reading gives a line feed for each such pair and ends at a
// Ctrl-Z. File positions are the file's own.
class CTextStream {
public:
    explicit CTextStream(FILE* pFile) : m_pFile(pFile) {}

    static FILE* Open(FILE* pFile, const char* pszMode) {
        const cookie_io_functions_t functions{Read, Write, Seek, Close};
        FILE* pStream = fopencookie(new CTextStream(pFile), pszMode, functions);
        if (!pStream) {
            std::fclose(pFile);
        }
        return pStream;
    }

private:
    static constexpr int kEndOfText = 0x1A;

    static ssize_t Read(void* pCookie, char* pBuffer, size_t nSize) {
        auto& stream = *static_cast<CTextStream*>(pCookie);
        size_t nRead = 0;
        while (nRead < nSize && !stream.m_bEnded) {
            int c =
                stream.m_nPending != EOF ? std::exchange(stream.m_nPending, EOF) : std::fgetc(stream.m_pFile);
            if (c == EOF || c == kEndOfText) {
                stream.m_bEnded = c == kEndOfText;
                break;
            }
            if (c == '\r') {
                const int next = std::fgetc(stream.m_pFile);
                c = next == '\n' ? '\n' : c;
                stream.m_nPending = next == '\n' ? EOF : next;
            }
            pBuffer[nRead++] = static_cast<char>(c);
        }
        return static_cast<ssize_t>(nRead);
    }

    static ssize_t Write(void* pCookie, const char* pBuffer, size_t nSize) {
        FILE* pFile = static_cast<CTextStream*>(pCookie)->m_pFile;
        for (size_t i = 0; i < nSize; ++i) {
            if ((pBuffer[i] == '\n' && std::fputc('\r', pFile) == EOF) ||
                std::fputc(pBuffer[i], pFile) == EOF) {
                return -1;
            }
        }
        return std::fflush(pFile) == 0 ? static_cast<ssize_t>(nSize) : -1;
    }

    static int Seek(void* pCookie, off64_t* pPosition, int nWhence) {
        auto& stream = *static_cast<CTextStream*>(pCookie);
        stream.m_nPending = EOF;
        stream.m_bEnded = false;
        if (fseeko(stream.m_pFile, *pPosition, nWhence) != 0) {
            return -1;
        }
        *pPosition = ftello(stream.m_pFile);
        return 0;
    }

    static int Close(void* pCookie) {
        std::unique_ptr<CTextStream> pStream(static_cast<CTextStream*>(pCookie));
        return std::fclose(pStream->m_pFile);
    }

    FILE* m_pFile;
    int m_nPending = EOF;
    bool m_bEnded = false;
};

} // namespace

errno_t _waccess_s(const wchar_t* path, int mode) {
    if (!path || (mode & ~kValidAccessModes) != 0) {
        return Failed(EINVAL);
    }
    DWORD error = ERROR_SUCCESS;
    const DWORD attributes = platform::AttributesOf(path, error);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return Failed(platform::ErrnoFromWin32Error(error));
    }
    // Every file is readable; writing needs a file without the read-only attribute. Folders pass always.
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((mode & kWriteAccess) && (attributes & FILE_ATTRIBUTE_READONLY) && !isFolder) {
        return Failed(EACCES);
    }
    return 0;
}

int _waccess(const wchar_t* path, int mode) {
    return _waccess_s(path, mode) == 0 ? 0 : -1;
}

int _wmkdir(const wchar_t* dirname) {
    const DWORD error = dirname ? platform::MakeFolder(dirname) : ERROR_INVALID_PARAMETER;
    if (error != ERROR_SUCCESS) {
        Failed(platform::ErrnoFromWin32Error(error));
        return -1;
    }
    return 0;
}

FILE* _wfopen(const wchar_t* filename, const wchar_t* mode) {
    const auto parsed = filename && mode ? ParseStreamMode(mode) : std::nullopt;
    if (!parsed) {
        Failed(EINVAL);
        return nullptr;
    }
    platform::CMappedPath mapped;
    DWORD error = platform::MapMachinePath(filename, mapped);
    if (error == ERROR_SUCCESS) {
        error = CheckStreamTarget(mapped, *parsed);
    }
    if (error != ERROR_SUCCESS) {
        Failed(platform::ErrnoFromWin32Error(error));
        return nullptr;
    }
    FILE* pFile = std::fopen(mapped.hostPath.c_str(), parsed->hostMode.c_str());
    return pFile && parsed->text ? CTextStream::Open(pFile, parsed->hostMode.c_str()) : pFile;
}

errno_t _wfopen_s(FILE** pFile, const wchar_t* filename, const wchar_t* mode) {
    if (!pFile) {
        return Failed(EINVAL);
    }
    *pFile = _wfopen(filename, mode);
    return *pFile ? 0 : errno;
}
