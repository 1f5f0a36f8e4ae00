// The strsafe functions: counted copies, concatenation, length and formatting, always terminated.
#include "platform/strings.h"

#include <algorithm>

namespace {

template <typename Char> bool IsValidDestination(const Char* dest, size_t cchDest) {
    return dest && cchDest > 0 && cchDest <= STRSAFE_MAX_CCH;
}

// The length of a text within max characters; nullopt when no terminator lies within.
template <typename Char> std::optional<size_t> LengthWithin(const Char* text, size_t max) {
    for (size_t length = 0; length < max; ++length) {
        if (text[length] == 0) {
            return length;
        }
    }
    return std::nullopt;
}

// Copies as much as fits in room characters with the terminator.
template <typename Char> HRESULT CopyInto(Char* dest, size_t room, const Char* src) {
    size_t i = 0;
    for (; i + 1 < room && src[i] != 0; ++i) {
        dest[i] = src[i];
    }
    dest[i] = 0;
    return src[i] == 0 ? S_OK : STRSAFE_E_INSUFFICIENT_BUFFER;
}

template <typename Char> HRESULT CchCopy(Char* dest, size_t cchDest, const Char* src) {
    if (!IsValidDestination(dest, cchDest)) {
        if (dest && cchDest > 0) {
            dest[0] = 0;
        }
        return STRSAFE_E_INVALID_PARAMETER;
    }
    if (!src) {
        dest[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    return CopyInto(dest, cchDest, src);
}

} // namespace

HRESULT StringCchVPrintfW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszFormat,
                          va_list argList) {
    if (!IsValidDestination(pszDest, cchDest) || !pszFormat) {
        if (pszDest && cchDest > 0) {
            pszDest[0] = L'\0';
        }
        return STRSAFE_E_INVALID_PARAMETER;
    }
    const size_t room = cchDest - 1;
    std::wstring text;
    const int length = platform::FormatV(text, pszFormat, argList, room);
    *std::copy(text.begin(), text.end(), pszDest) = L'\0';
    // A failed format counts as a cut text, as with the run-time call strsafe makes.
    return length < 0 || static_cast<size_t>(length) > room ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

HRESULT StringCchPrintfW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    const HRESULT result = StringCchVPrintfW(pszDest, cchDest, pszFormat, args);
    va_end(args);
    return result;
}

HRESULT StringCchCopyW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszSrc) {
    return CchCopy(pszDest, cchDest, pszSrc);
}

HRESULT StringCchCopyA(STRSAFE_LPSTR pszDest, size_t cchDest, STRSAFE_LPCSTR pszSrc) {
    return CchCopy(pszDest, cchDest, pszSrc);
}

HRESULT StringCchCatW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszSrc) {
    if (!IsValidDestination(pszDest, cchDest) || !pszSrc) {
        return STRSAFE_E_INVALID_PARAMETER;
    }
    const std::optional<size_t> used = LengthWithin(pszDest, cchDest);
    if (!used) {
        return STRSAFE_E_INVALID_PARAMETER;
    }
    return CopyInto(pszDest + *used, cchDest - *used, pszSrc);
}

HRESULT StringCchLengthW(STRSAFE_LPCWSTR psz, size_t cchMax, size_t* pcchLength) {
    const std::optional<size_t> length =
        psz && cchMax <= STRSAFE_MAX_CCH ? LengthWithin(psz, cchMax) : std::nullopt;
    if (pcchLength) {
        *pcchLength = length.value_or(0);
    }
    return length ? S_OK : STRSAFE_E_INVALID_PARAMETER;
}
