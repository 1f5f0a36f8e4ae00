// Code-page conversions through iconv: the Win32 functions and the layer's own helpers.
#include "platform/strings.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/internal.h"

namespace platform {

namespace {

constexpr UINT kDefaultAnsiCodePage = 1252;
constexpr UINT kDefaultOemCodePage = 437;

// An iconv conversion descriptor.
class CIconv {
public:
    CIconv(const std::string& to, const std::string& from) : m_cd(iconv_open(to.c_str(), from.c_str())) {}
    ~CIconv() {
        if (IsOpen()) {
            iconv_close(m_cd);
        }
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

template <typename Char> struct CConverted {
    std::basic_string<Char> text;
    bool clean = true; // false when a replacement character stands for unconvertible input
};

// Runs one conversion; input that cannot be converted (a unit at a time) becomes the replacement.
template <typename Out>
CConverted<Out> RunIconv(iconv_t cd, const char* input, size_t inputBytes, size_t unit,
                         std::basic_string_view<Out> replacement) {
    CConverted<Out> result;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input);
    size_t inLeft = inputBytes;
    Out chunk[256];
    for (;;) {
        char* out = reinterpret_cast<char*>(chunk);
        size_t outLeft = sizeof(chunk);
        // With the input consumed, one more call writes what a stateful code page still holds.
        const bool flushing = inLeft == 0;
        const size_t status =
            flushing ? iconv(cd, nullptr, nullptr, &out, &outLeft) : iconv(cd, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        result.text.append(chunk, (sizeof(chunk) - outLeft) / sizeof(Out));
        if (status != static_cast<size_t>(-1)) {
            if (flushing) {
                return result;
            }
            continue;
        }
        if (error == E2BIG) {
            continue;
        }
        if (flushing) {
            return result;
        }
        // EILSEQ: a sequence the code page cannot convert; EINVAL: one cut short at the end.
        result.clean = false;
        result.text.append(replacement);
        const size_t skip = std::min(unit, inLeft);
        in += skip;
        inLeft -= skip;
    }
}

// The two converters of one code page. A descriptor keeps state, so each is used under the lock.
class CCodePage {
public:
    explicit CCodePage(const std::string& name) : m_toWide("WCHAR_T", name), m_fromWide(name, "WCHAR_T") {}
    bool IsKnown() const { return m_toWide.IsOpen() && m_fromWide.IsOpen(); }

    CConverted<wchar_t> ToWide(std::string_view text, std::wstring_view replacement) {
        std::lock_guard guard(m_lock);
        return RunIconv(m_toWide.Get(), text.data(), text.size(), 1, replacement);
    }
    CConverted<char> FromWide(std::wstring_view text, std::string_view replacement) {
        std::lock_guard guard(m_lock);
        return RunIconv(m_fromWide.Get(), reinterpret_cast<const char*>(text.data()),
                        text.size() * sizeof(wchar_t), sizeof(wchar_t), replacement);
    }

private:
    std::mutex m_lock;
    CIconv m_toWide;
    CIconv m_fromWide;
};

std::string IconvName(UINT codePage) {
    return codePage == CP_UTF8 ? "UTF-8" : "CP" + std::to_string(codePage);
}

// The converters of a code page, made on first use; nullptr for one iconv does not know.
CCodePage* FindCodePage(UINT codePage) {
    static std::mutex lock;
    // Never destroyed: conversions stay available to other objects' destructors at exit.
    static auto* pages = new std::map<UINT, std::unique_ptr<CCodePage>>();
    std::lock_guard guard(lock);
    auto& page = (*pages)[codePage];
    if (!page) {
        page = std::make_unique<CCodePage>(IconvName(codePage));
    }
    return page->IsKnown() ? page.get() : nullptr;
}

UINT CodePageFact(const char* pointer, UINT fallback) {
    const nlohmann::json fact = MachineFact(pointer);
    if (fact.is_number_unsigned()) {
        const auto value = fact.get<std::uint64_t>();
        if (value > CP_THREAD_ACP && value <= 0xFFFF) {
            return static_cast<UINT>(value);
        }
    }
    return fallback;
}

// Windows' ANSI and OEM code pages all extend ASCII, so ASCII text needs no look-up.
bool IsAsciiSuperset(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == CP_OEMCP || codePage == CP_UTF8;
}

template <typename Char> bool IsAscii(std::basic_string_view<Char> text) {
    return std::all_of(text.begin(), text.end(), [](Char c) { return static_cast<std::uint32_t>(c) < 0x80; });
}

std::optional<CConverted<wchar_t>> Decode(std::string_view text, UINT codePage) {
    if (IsAsciiSuperset(codePage) && IsAscii(text)) {
        return CConverted<wchar_t>{std::wstring(text.begin(), text.end())};
    }
    const UINT resolved = ResolveCodePage(codePage);
    CCodePage* page = FindCodePage(resolved);
    if (!page) {
        return std::nullopt;
    }
    return page->ToWide(text, resolved == CP_UTF8 ? L"\xFFFD" : L"?");
}

// defaultChar empty: the code page's own ('?', or U+FFFD for UTF-8).
std::optional<CConverted<char>> Encode(std::wstring_view text, UINT codePage, std::string_view defaultChar) {
    if (IsAsciiSuperset(codePage) && IsAscii(text)) {
        return CConverted<char>{std::string(text.begin(), text.end())};
    }
    const UINT resolved = ResolveCodePage(codePage);
    CCodePage* page = FindCodePage(resolved);
    if (!page) {
        return std::nullopt;
    }
    if (defaultChar.empty()) {
        defaultChar = resolved == CP_UTF8 ? "\xEF\xBF\xBD" : "?";
    }
    return page->FromWide(text, defaultChar);
}

int Failure(DWORD error) {
    SetLastError(error);
    return 0;
}

// Copies a conversion's result out as the Win32 functions do: a capacity of 0 asks for the size.
template <typename Char> int Deliver(const std::basic_string<Char>& text, Char* out, int capacity) {
    if (text.size() > INT_MAX) {
        return Failure(ERROR_INSUFFICIENT_BUFFER);
    }
    const int length = static_cast<int>(text.size());
    if (capacity == 0) {
        return length;
    }
    if (length > capacity) {
        return Failure(ERROR_INSUFFICIENT_BUFFER);
    }
    std::copy(text.begin(), text.end(), out);
    return length;
}

} // namespace

UINT ResolveCodePage(UINT codePage) {
    switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP:
        return CodePageFact("/codePage", kDefaultAnsiCodePage);
    case CP_OEMCP:
        return CodePageFact("/oemCodePage", kDefaultOemCodePage);
    default:
        return codePage;
    }
}

std::string WideToCodePage(std::wstring_view text, UINT codePage) {
    auto encoded = Encode(text, codePage, {});
    return encoded ? std::move(encoded->text) : std::string();
}

std::wstring CodePageToWide(std::string_view text, UINT codePage) {
    auto decoded = Decode(text, codePage);
    return decoded ? std::move(decoded->text) : std::wstring();
}

} // namespace platform

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
    using platform::Failure;
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr)) {
        return Failure(ERROR_INVALID_PARAMETER);
    }
    if ((dwFlags & ~MB_ERR_INVALID_CHARS) != 0) {
        return Failure(ERROR_INVALID_FLAGS);
    }
    // -1: the text ends at its terminator, which is converted too.
    const size_t length =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    const auto decoded = platform::Decode(std::string_view(lpMultiByteStr, length), CodePage);
    if (!decoded) {
        return Failure(ERROR_INVALID_PARAMETER);
    }
    if (!decoded->clean && (dwFlags & MB_ERR_INVALID_CHARS) != 0) {
        return Failure(ERROR_NO_UNICODE_TRANSLATION);
    }
    return platform::Deliver(decoded->text, lpWideCharStr, cchWideChar);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                        LPBOOL lpUsedDefaultChar) {
    using platform::Failure;
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr)) {
        return Failure(ERROR_INVALID_PARAMETER);
    }
    // No best-fit mapping is done, so WC_NO_BEST_FIT_CHARS holds whether given or not.
    if ((dwFlags & ~WC_NO_BEST_FIT_CHARS) != 0) {
        return Failure(ERROR_INVALID_FLAGS);
    }
    // UTF-8 takes no flags and no default character.
    if ((dwFlags != 0 || lpDefaultChar || lpUsedDefaultChar) &&
        platform::ResolveCodePage(CodePage) == CP_UTF8) {
        return Failure(dwFlags != 0 ? ERROR_INVALID_FLAGS : ERROR_INVALID_PARAMETER);
    }
    const size_t length =
        cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
    const auto encoded =
        platform::Encode(std::wstring_view(lpWideCharStr, length), CodePage,
                         lpDefaultChar ? std::string_view(lpDefaultChar, 1) : std::string_view());
    if (!encoded) {
        return Failure(ERROR_INVALID_PARAMETER);
    }
    if (lpUsedDefaultChar) {
        *lpUsedDefaultChar = encoded->clean ? FALSE : TRUE;
    }
    return platform::Deliver(encoded->text, lpMultiByteStr, cbMultiByte);
}
