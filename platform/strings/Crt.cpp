// The run-time's string functions: safe copies, comparisons, numbers and its "C" locale conversions.
#include "platform/strings.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cwchar>
#include <optional>

namespace platform {

std::wstring CrtWiden(std::string_view text) {
    std::wstring wide(text.size(), L'\0');
    std::transform(text.begin(), text.end(), wide.begin(),
                   [](char c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); });
    return wide;
}

std::optional<std::string> CrtNarrow(std::wstring_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        if (static_cast<std::uint32_t>(c) > 0xFF) {
            return std::nullopt;
        }
        narrow += static_cast<char>(c);
    }
    return narrow;
}

} // namespace platform

namespace {

// The run-time's answer to an invalid parameter: the handler, then errno and the error code.
errno_t Invalid(errno_t error) {
    platform::InvalidParameter();
    errno = error;
    return error;
}

errno_t EmptyAndFail(wchar_t* dest, errno_t error) {
    dest[0] = L'\0';
    return Invalid(error);
}

template <typename Char> int FoldAscii(Char c) {
    const auto value = static_cast<int>(static_cast<std::make_unsigned_t<Char>>(c));
    return value >= 'A' && value <= 'Z' ? value - 'A' + 'a' : value;
}

template <typename Char> int CompareNoCase(const Char* a, const Char* b, size_t count) {
    if (!a || !b) {
        Invalid(EINVAL);
        return _NLSCMPERROR;
    }
    for (size_t i = 0; i < count; ++i) {
        const int difference = FoldAscii(a[i]) - FoldAscii(b[i]);
        if (difference != 0 || a[i] == 0) {
            return difference;
        }
    }
    return 0;
}

bool IsCrtSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

int DigitOf(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) {
        return (c | 0x20) - L'a' + 10;
    }
    return 36;
}

// A number's text as the run-time reads it: leading blanks, a sign, then digits of the base; base 0
// takes "0x" as hexadecimal and a leading 0 as octal, base 16 allows "0x". A magnitude beyond 64 bits is
// marked as an overflow.
struct CNumberText {
    bool negative = false;
    bool overflow = false;
    unsigned long long magnitude = 0;
    size_t length = 0; // 0 when no digits were found
};

template <typename Char> CNumberText ReadNumber(const Char* text, int base) {
    CNumberText number;
    const Char* p = text;
    while (IsCrtSpace(static_cast<wchar_t>(*p))) {
        ++p;
    }
    number.negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    const bool hexPrefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitOf(p[2]) < 16;
    if ((base == 0 || base == 16) && hexPrefix) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = p[0] == '0' ? 8 : 10;
    }
    const Char* digits = p;
    for (; DigitOf(static_cast<wchar_t>(*p)) < base; ++p) {
        const auto digit = static_cast<unsigned>(DigitOf(static_cast<wchar_t>(*p)));
        if (number.magnitude > (ULLONG_MAX - digit) / static_cast<unsigned>(base)) {
            number.overflow = true;
        } else {
            number.magnitude = number.magnitude * static_cast<unsigned>(base) + digit;
        }
    }
    number.length = p > digits ? static_cast<size_t>(p - text) : 0;
    return number;
}

// The number for strtol and its kin, with *end after its text (at the text itself without digits);
// nullopt for a null text or a base other than 0 or 2 to 36, which are invalid parameters.
template <typename Char> std::optional<CNumberText> ReadNumberAt(const Char* text, Char** end, int base) {
    if (end) {
        *end = const_cast<Char*>(text);
    }
    if (!text || base == 1 || base < 0 || base > 36) {
        Invalid(EINVAL);
        return std::nullopt;
    }
    const CNumberText number = ReadNumber(text, base);
    if (end) {
        *end = const_cast<Char*>(text + number.length);
    }
    return number;
}

// Bounded to [minimum, maximum], with ERANGE beyond.
template <typename Char>
long long SignedNumber(const Char* text, Char** end, int base, long long minimum, long long maximum) {
    const auto number = ReadNumberAt(text, end, base);
    if (!number) {
        return 0;
    }
    const unsigned long long limit = number->negative ? 0ull - static_cast<unsigned long long>(minimum)
                                                      : static_cast<unsigned long long>(maximum);
    if (number->overflow || number->magnitude > limit) {
        errno = ERANGE;
        return number->negative ? minimum : maximum;
    }
    return number->negative ? static_cast<long long>(0ull - number->magnitude)
                            : static_cast<long long>(number->magnitude);
}

// Bounded to maximum, with ERANGE beyond; a negative number is its magnitude negated.
template <typename Char>
unsigned long long UnsignedNumber(const Char* text, Char** end, int base, unsigned long long maximum) {
    const auto number = ReadNumberAt(text, end, base);
    if (!number) {
        return 0;
    }
    if (number->overflow || number->magnitude > maximum) {
        errno = ERANGE;
        return maximum;
    }
    return (number->negative ? 0ull - number->magnitude : number->magnitude) & maximum;
}

template <typename Char> size_t BoundedLength(const Char* text, size_t bound) {
    size_t length = 0;
    while (length < bound && text[length] != 0) {
        ++length;
    }
    return length;
}

// The shared rules of wcstombs_s and mbstowcs_s: at most `count` characters (or what fits, with
// _TRUNCATE) are stored with a terminator; the size stored (with the terminator) goes to *stored.
template <typename To, typename From, typename Convert>
errno_t ConvertCrt(size_t* stored, To* out, size_t outSize, const From* in, size_t count, Convert convert) {
    if (stored) {
        *stored = 0;
    }
    if ((out == nullptr) != (outSize == 0)) {
        return Invalid(EINVAL);
    }
    if (out) {
        out[0] = 0;
    }
    if (!in) {
        return Invalid(EINVAL);
    }
    const size_t limit = out ? std::min(count, outSize - 1) : SIZE_MAX;
    // One character past the limit tells whether the text was cut.
    const size_t available = BoundedLength(in, out ? limit + 1 : SIZE_MAX);
    const std::basic_string_view<From> text(in, std::min(available, limit));
    const auto converted = convert(text);
    if (!converted) {
        errno = EILSEQ;
        return EILSEQ;
    }
    const bool cut = available > limit;
    if (cut && count >= outSize && count != _TRUNCATE) {
        return Invalid(ERANGE);
    }
    if (out) {
        std::copy(converted->begin(), converted->end(), out);
        out[converted->size()] = 0;
    }
    if (stored) {
        *stored = converted->size() + 1;
    }
    return cut && count == _TRUNCATE ? STRUNCATE : 0;
}

} // namespace

errno_t wcscpy_s(wchar_t* dest, size_t destSize, const wchar_t* src) {
    if (!dest || destSize == 0) {
        return Invalid(EINVAL);
    }
    if (!src) {
        return EmptyAndFail(dest, EINVAL);
    }
    const size_t length = wcsnlen(src, destSize);
    if (length == destSize) {
        return EmptyAndFail(dest, ERANGE);
    }
    std::copy(src, src + length + 1, dest);
    return 0;
}

errno_t wcscat_s(wchar_t* dest, size_t destSize, const wchar_t* src) {
    if (!dest || destSize == 0) {
        return Invalid(EINVAL);
    }
    if (!src) {
        return EmptyAndFail(dest, EINVAL);
    }
    const size_t used = wcsnlen(dest, destSize);
    if (used == destSize) {
        return EmptyAndFail(dest, EINVAL);
    }
    const size_t length = wcsnlen(src, destSize - used);
    if (length == destSize - used) {
        return EmptyAndFail(dest, ERANGE);
    }
    std::copy(src, src + length + 1, dest + used);
    return 0;
}

errno_t wcsncpy_s(wchar_t* dest, size_t destSize, const wchar_t* src, size_t count) {
    if (count == 0 && !dest && destSize == 0) {
        return 0;
    }
    if (!dest || destSize == 0) {
        return Invalid(EINVAL);
    }
    if (count == 0) {
        dest[0] = L'\0';
        return 0;
    }
    if (!src) {
        return EmptyAndFail(dest, EINVAL);
    }
    const bool truncate = count == _TRUNCATE;
    const size_t length = wcsnlen(src, truncate ? destSize : count);
    const bool cut = length >= destSize;
    if (cut && !truncate) {
        return EmptyAndFail(dest, ERANGE);
    }
    const size_t copied = cut ? destSize - 1 : length;
    std::copy(src, src + copied, dest);
    dest[copied] = L'\0';
    return cut ? STRUNCATE : 0;
}

int _wcsicmp(const wchar_t* string1, const wchar_t* string2) {
    return CompareNoCase(string1, string2, SIZE_MAX);
}

int _wcsnicmp(const wchar_t* string1, const wchar_t* string2, size_t count) {
    return CompareNoCase(string1, string2, count);
}

int _stricmp(const char* string1, const char* string2) {
    return CompareNoCase(string1, string2, SIZE_MAX);
}

int _wtoi(const wchar_t* str) {
    return static_cast<int>(SignedNumber<wchar_t>(str, nullptr, 10, INT_MIN, INT_MAX));
}

long _wtol(const wchar_t* str) {
    return static_cast<long>(SignedNumber<wchar_t>(str, nullptr, 10, INT32_MIN, INT32_MAX));
}

long long _wtoi64(const wchar_t* str) {
    return SignedNumber<wchar_t>(str, nullptr, 10, LLONG_MIN, LLONG_MAX);
}

errno_t _itow_s(int value, wchar_t* buffer, size_t size, int radix) {
    if (!buffer || size == 0) {
        return Invalid(EINVAL);
    }
    if (radix < 2 || radix > 36) {
        return EmptyAndFail(buffer, EINVAL);
    }
    // Only base 10 has a sign; other bases show the bits of the value.
    const bool negative = radix == 10 && value < 0;
    const unsigned magnitude = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    char digits[40];
    const char* end = std::to_chars(digits, digits + sizeof(digits), magnitude, radix).ptr;
    const size_t length = static_cast<size_t>(end - digits) + (negative ? 1 : 0);
    if (length + 1 > size) {
        return EmptyAndFail(buffer, ERANGE);
    }
    wchar_t* out = buffer;
    if (negative) {
        *out++ = L'-';
    }
    out = std::copy(static_cast<const char*>(digits), end, out);
    *out = L'\0';
    return 0;
}

errno_t wcstombs_s(size_t* pReturnValue, char* mbstr, size_t sizeInBytes, const wchar_t* wcstr,
                   size_t count) {
    return ConvertCrt(pReturnValue, mbstr, sizeInBytes, wcstr, count, platform::CrtNarrow);
}

errno_t mbstowcs_s(size_t* pReturnValue, wchar_t* wcstr, size_t sizeInWords, const char* mbstr,
                   size_t count) {
    return ConvertCrt(pReturnValue, wcstr, sizeInWords, mbstr, count,
                      [](std::string_view text) { return std::optional(platform::CrtWiden(text)); });
}

// The run-time's functions that differ from the host's: the strtol family with Windows' 32-bit long, and
// the conversions of the "C" locale whatever the host's locale. The program and the machine over the
// layer are linked with --wrap for these names (platform/CMakeLists.txt), so their calls land here;
// glibc's newer headers name the strtol family __isoc23_*.
extern "C" {

long __wrap_strtol(const char* str, char** endptr, int base) {
    return static_cast<long>(SignedNumber(str, endptr, base, INT32_MIN, INT32_MAX));
}

long __wrap_wcstol(const wchar_t* str, wchar_t** endptr, int base) {
    return static_cast<long>(SignedNumber(str, endptr, base, INT32_MIN, INT32_MAX));
}

unsigned long __wrap_strtoul(const char* str, char** endptr, int base) {
    return static_cast<unsigned long>(UnsignedNumber(str, endptr, base, UINT32_MAX));
}

unsigned long __wrap_wcstoul(const wchar_t* str, wchar_t** endptr, int base) {
    return static_cast<unsigned long>(UnsignedNumber(str, endptr, base, UINT32_MAX));
}

// wcstombs and mbstowcs in the run-time's "C" locale, not the host's.
size_t __wrap_wcstombs(char* mbstr, const wchar_t* wcstr, size_t count) {
    if (!wcstr) {
        Invalid(EINVAL);
        return static_cast<size_t>(-1);
    }
    const auto narrow = platform::CrtNarrow({wcstr, BoundedLength(wcstr, mbstr ? count : SIZE_MAX)});
    if (!narrow) {
        errno = EILSEQ;
        return static_cast<size_t>(-1);
    }
    if (mbstr) {
        std::copy(narrow->begin(), narrow->end(), mbstr);
        if (narrow->size() < count) {
            mbstr[narrow->size()] = '\0';
        }
    }
    return narrow->size();
}

size_t __wrap_mbstowcs(wchar_t* wcstr, const char* mbstr, size_t count) {
    if (!mbstr) {
        Invalid(EINVAL);
        return static_cast<size_t>(-1);
    }
    const std::wstring wide = platform::CrtWiden({mbstr, BoundedLength(mbstr, wcstr ? count : SIZE_MAX)});
    if (wcstr) {
        std::copy(wide.begin(), wide.end(), wcstr);
        if (wide.size() < count) {
            wcstr[wide.size()] = L'\0';
        }
    }
    return wide.size();
}

long __wrap___isoc23_strtol(const char* str, char** endptr, int base) {
    return __wrap_strtol(str, endptr, base);
}

long __wrap___isoc23_wcstol(const wchar_t* str, wchar_t** endptr, int base) {
    return __wrap_wcstol(str, endptr, base);
}

unsigned long __wrap___isoc23_strtoul(const char* str, char** endptr, int base) {
    return __wrap_strtoul(str, endptr, base);
}

unsigned long __wrap___isoc23_wcstoul(const wchar_t* str, wchar_t** endptr, int base) {
    return __wrap_wcstoul(str, endptr, base);
}

} // extern "C"
