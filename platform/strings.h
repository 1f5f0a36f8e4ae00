// Strings: the C run-time's formatter and its safe string functions, the strsafe functions, the
// framework's CString, and the code-page conversions.
//
// The run-time stays in its "C" locale (the program never calls setlocale): its own narrow <-> wide
// conversions (%hs in a wide format, %ls in a narrow one, wcstombs_s, mbstowcs_s) map byte b to the
// character U+00bb, and a character above U+00FF has no narrow form. CString and the Win32 conversions
// use the machine's ANSI code page.
#pragma once

#include <compare>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/base.h"

using LPCCH = const char*;
using LPCWCH = const wchar_t*;
using LPBOOL = BOOL*;
using STRSAFE_LPWSTR = wchar_t*;
using STRSAFE_LPCWSTR = const wchar_t*;
using STRSAFE_LPSTR = char*;
using STRSAFE_LPCSTR = const char*;

#ifndef ERROR_INVALID_FLAGS
#define ERROR_INVALID_FLAGS 1004L
#endif
#ifndef ERROR_NO_UNICODE_TRANSLATION
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#endif

// Code pages and conversion flags.
#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_THREAD_ACP 3u
#define CP_UTF8 65001u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_NO_BEST_FIT_CHARS 0x00000400u

// Run-time constants.
#define _TRUNCATE (static_cast<size_t>(-1))
#ifndef STRUNCATE
#define STRUNCATE 80
#endif
#define _NLSCMPERROR 2147483647

#define STRSAFE_MAX_CCH 2147483647u

namespace platform {

// Where the run-time reports an invalid parameter (a null buffer, a zero size, a bad format) before
// it returns the documented failure result: it calls the invalid-parameter handler (faults.h).
void InvalidParameter();

// Formats with the Windows run-time rules into `out` (replaced), keeping at most maxChars characters.
// Returns the length of the whole formatted text (even when it was cut), or -1 for an invalid format
// or a character without a narrow form; `out` then holds the text made before the failing directive.
int FormatV(std::wstring& out, const wchar_t* format, va_list args, size_t maxChars = SIZE_MAX);
int FormatV(std::string& out, const char* format, va_list args, size_t maxChars = SIZE_MAX);

// The run-time's "C" locale conversions.
std::wstring CrtWiden(std::string_view text);
// nullopt when a character has no narrow form.
std::optional<std::string> CrtNarrow(std::wstring_view text);

// The code page that CP_ACP, CP_THREAD_ACP and CP_OEMCP stand for on this machine (the facts
// "/codePage", default 1252, and "/oemCodePage", default 437); other code pages unchanged.
UINT ResolveCodePage(UINT codePage);
// Conversions for the layer. Characters the code page cannot hold become '?' (U+FFFD for UTF-8), as
// Windows' default character; an unknown code page gives an empty text.
std::string WideToCodePage(std::wstring_view text, UINT codePage);
std::wstring CodePageToWide(std::string_view text, UINT codePage);

} // namespace platform

// ---- Code pages ----
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar);

// ---- Formatted output (run-time) ----
int swprintf_s(wchar_t* buffer, size_t sizeOfBuffer, const wchar_t* format, ...);
int vswprintf_s(wchar_t* buffer, size_t sizeOfBuffer, const wchar_t* format, va_list argptr);
int _snwprintf_s(wchar_t* buffer, size_t sizeOfBuffer, size_t count, const wchar_t* format, ...);
int _vsnwprintf_s(wchar_t* buffer, size_t sizeOfBuffer, size_t count, const wchar_t* format, va_list argptr);
int _snwprintf(wchar_t* buffer, size_t count, const wchar_t* format, ...);
int _vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list argptr);
int sprintf_s(char* buffer, size_t sizeOfBuffer, const char* format, ...);
int _snprintf_s(char* buffer, size_t sizeOfBuffer, size_t count, const char* format, ...);
// The window system's formatter: at most 1024 characters with the terminator.
int wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...);

// ---- strsafe ----
HRESULT StringCchPrintfW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszFormat, ...);
HRESULT StringCchVPrintfW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszFormat, va_list argList);
HRESULT StringCchCopyW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszSrc);
HRESULT StringCchCopyA(STRSAFE_LPSTR pszDest, size_t cchDest, STRSAFE_LPCSTR pszSrc);
HRESULT StringCchCatW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszSrc);
HRESULT StringCchLengthW(STRSAFE_LPCWSTR psz, size_t cchMax, size_t* pcchLength);

// ---- Run-time string functions (_wsplitpath_s is in files.h) ----
errno_t wcscpy_s(wchar_t* dest, size_t destSize, const wchar_t* src);
errno_t wcscat_s(wchar_t* dest, size_t destSize, const wchar_t* src);
errno_t wcsncpy_s(wchar_t* dest, size_t destSize, const wchar_t* src, size_t count);
// Case-insensitive comparisons fold A-Z only, as in the "C" locale; _NLSCMPERROR for a null string.
int _wcsicmp(const wchar_t* string1, const wchar_t* string2);
int _wcsnicmp(const wchar_t* string1, const wchar_t* string2, size_t count);
int _stricmp(const char* string1, const char* string2);
// Decimal conversions; out-of-range values saturate (long is 32 bits, as on Windows).
int _wtoi(const wchar_t* str);
long _wtol(const wchar_t* str);
long long _wtoi64(const wchar_t* str);
errno_t _itow_s(int value, wchar_t* buffer, size_t size, int radix);
errno_t wcstombs_s(size_t* pReturnValue, char* mbstr, size_t sizeInBytes, const wchar_t* wcstr, size_t count);
errno_t mbstowcs_s(size_t* pReturnValue, wchar_t* wcstr, size_t sizeInWords, const char* mbstr, size_t count);

// The run-time's template overloads that take the size from an array.
template <size_t N> int swprintf_s(wchar_t (&buffer)[N], const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = vswprintf_s(buffer, N, format, args);
    va_end(args);
    return result;
}
template <size_t N> int _snwprintf_s(wchar_t (&buffer)[N], size_t count, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = _vsnwprintf_s(buffer, N, count, format, args);
    va_end(args);
    return result;
}
template <size_t N> errno_t wcscpy_s(wchar_t (&dest)[N], const wchar_t* src) {
    return wcscpy_s(dest, N, src);
}
template <size_t N> errno_t wcscat_s(wchar_t (&dest)[N], const wchar_t* src) {
    return wcscat_s(dest, N, src);
}
template <size_t N> errno_t wcsncpy_s(wchar_t (&dest)[N], const wchar_t* src, size_t count) {
    return wcsncpy_s(dest, N, src, count);
}
template <size_t N> errno_t _itow_s(int value, wchar_t (&buffer)[N], int radix) {
    return _itow_s(value, buffer, N, radix);
}
template <size_t N>
errno_t wcstombs_s(size_t* pReturnValue, char (&mbstr)[N], const wchar_t* wcstr, size_t count) {
    return wcstombs_s(pReturnValue, mbstr, N, wcstr, count);
}
template <size_t N>
errno_t mbstowcs_s(size_t* pReturnValue, wchar_t (&wcstr)[N], const char* mbstr, size_t count) {
    return mbstowcs_s(pReturnValue, wcstr, N, mbstr, count);
}

// ---- CString ----
// The framework's string class. Positions and lengths are ints, clamped into the text as the
// framework does; an index outside the text reads as 0 and writes nothing.
template <typename XCHAR> class CStringT {
public:
    using YCHAR = std::conditional_t<std::is_same_v<XCHAR, wchar_t>, char, wchar_t>;
    using PXSTR = XCHAR*;
    using PCXSTR = const XCHAR*;
    using PCYSTR = const YCHAR*;

    CStringT() = default;
    CStringT(PCXSTR text);
    CStringT(PCXSTR text, int length);
    // Text of the other width, converted through the machine's ANSI code page.
    CStringT(PCYSTR text);
    CStringT(const CStringT<YCHAR>& other);
    explicit CStringT(XCHAR ch, int repeat = 1);

    CStringT& operator=(PCXSTR text);
    CStringT& operator=(PCYSTR text);
    CStringT& operator=(const CStringT<YCHAR>& other);
    CStringT& operator=(XCHAR ch);
    CStringT& operator+=(const CStringT& other);
    CStringT& operator+=(PCXSTR text);
    CStringT& operator+=(XCHAR ch);

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    PCXSTR GetString() const { return m_text.c_str(); }
    operator PCXSTR() const { return m_text.c_str(); }

    // A writable buffer of at least minLength characters plus the terminator; ReleaseBuffer ends the
    // text at newLength, or at the first terminator when -1.
    PXSTR GetBuffer();
    PXSTR GetBuffer(int minLength);
    PXSTR GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    void Format(PCXSTR format, ...);
    void FormatV(PCXSTR format, va_list args);
    void AppendFormat(PCXSTR format, ...);
    void AppendFormatV(PCXSTR format, va_list args);

    CStringT Left(int count) const;
    CStringT Right(int count) const;
    CStringT Mid(int first) const;
    CStringT Mid(int first, int count) const;
    int Find(XCHAR ch, int start = 0) const;
    int Find(PCXSTR sub, int start = 0) const;
    int ReverseFind(XCHAR ch) const;

    int Replace(XCHAR oldChar, XCHAR newChar);
    int Replace(PCXSTR oldText, PCXSTR newText);
    int Remove(XCHAR ch);
    int Insert(int index, XCHAR ch);
    int Insert(int index, PCXSTR text);
    int Delete(int index, int count = 1);

    CStringT& Trim();
    CStringT& Trim(XCHAR target);
    CStringT& Trim(PCXSTR targets);
    CStringT& TrimLeft();
    CStringT& TrimLeft(XCHAR target);
    CStringT& TrimLeft(PCXSTR targets);
    CStringT& TrimRight();
    CStringT& TrimRight(XCHAR target);
    CStringT& TrimRight(PCXSTR targets);
    // Fold A-Z only, as the run-time does in its "C" locale.
    CStringT& MakeLower();
    CStringT& MakeUpper();

    int Compare(PCXSTR text) const;
    int CompareNoCase(PCXSTR text) const;

    XCHAR GetAt(int index) const;
    XCHAR operator[](int index) const { return GetAt(index); }
    void SetAt(int index, XCHAR ch);

    // The next token at or after start, skipping leading delimiters; start moves past it, and is -1
    // with an empty result when no token is left.
    CStringT Tokenize(PCXSTR tokens, int& start) const;

    friend CStringT operator+(const CStringT& a, const CStringT& b) { return Concat(a, b); }
    friend CStringT operator+(const CStringT& a, PCXSTR b) { return Concat(a, b); }
    friend CStringT operator+(PCXSTR a, const CStringT& b) { return Concat(CStringT(a), b); }
    friend CStringT operator+(const CStringT& a, XCHAR b) { return Concat(a, b); }
    friend CStringT operator+(XCHAR a, const CStringT& b) { return Concat(CStringT(a), b); }
    friend bool operator==(const CStringT& a, const CStringT& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CStringT& a, PCXSTR b) { return a.Compare(b) == 0; }
    friend std::strong_ordering operator<=>(const CStringT& a, const CStringT& b) {
        return a.Compare(b) <=> 0;
    }
    friend std::strong_ordering operator<=>(const CStringT& a, PCXSTR b) { return a.Compare(b) <=> 0; }

private:
    using View = std::basic_string_view<XCHAR>;
    explicit CStringT(View text) : m_text(text) {}
    int FindView(View sub, int start) const;
    template <typename Tail> static CStringT Concat(CStringT head, const Tail& tail) {
        head += tail;
        return head;
    }
    CStringT& TrimIf(bool left, bool right, View targets);

    std::basic_string<XCHAR> m_text;
};

extern template class CStringT<wchar_t>;
extern template class CStringT<char>;

using CStringW = CStringT<wchar_t>;
using CStringA = CStringT<char>;
using CString = CStringW;
