// The run-time's formatter, one engine for wide and narrow formats.
#include "platform/strings.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>

namespace platform {

namespace {

enum class ESize { Default, Short, Long, LongLong, Int32, Int64, Pointer, SizeT, Wide };

struct CSpec {
    bool left = false;
    bool plus = false;
    bool blank = false;
    bool alternate = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    ESize size = ESize::Default;
    char type = 0;
};

// Collects the output up to a limit while counting the whole length.
template <typename Char> class COutput {
public:
    COutput(std::basic_string<Char>& text, size_t limit) : m_text(text), m_limit(limit) { m_text.clear(); }

    void Append(std::basic_string_view<Char> part) {
        m_total += part.size();
        m_text.append(part.substr(0, Room()));
    }
    void AppendAscii(std::string_view part) {
        for (char c : part) {
            Repeat(static_cast<Char>(c), 1);
        }
    }
    void Repeat(Char ch, size_t count) {
        m_total += count;
        m_text.append(std::min(count, Room()), ch);
    }
    size_t Total() const { return m_total; }

private:
    size_t Room() const { return m_limit - m_text.size(); }

    std::basic_string<Char>& m_text;
    size_t m_limit;
    size_t m_total = 0;
};

// A string argument bounded by the precision; a null pointer prints "(null)".
template <typename T> std::basic_string_view<T> StringArgument(const T* text, int precision) {
    static constexpr T kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
    const size_t limit = precision < 0 ? SIZE_MAX : static_cast<size_t>(precision);
    if (!text) {
        return std::basic_string_view<T>(kNull).substr(0, limit);
    }
    if (precision < 0) {
        return std::basic_string_view<T>(text);
    }
    const T* end = std::char_traits<T>::find(text, limit, T(0));
    return std::basic_string_view<T>(text, end ? static_cast<size_t>(end - text) : limit);
}

template <typename Char> class CFormatter {
public:
    using View = std::basic_string_view<Char>;
    static constexpr bool kWide = std::is_same_v<Char, wchar_t>;

    CFormatter(COutput<Char>& out, va_list args) : m_out(out) { va_copy(m_args, args); }
    ~CFormatter() { va_end(m_args); }
    CFormatter(const CFormatter&) = delete;
    CFormatter& operator=(const CFormatter&) = delete;

    // False on failure, with the errno value in Error().
    bool Run(const Char* p) {
        while (*p) {
            const Char* percent = p;
            while (*percent && *percent != '%') {
                ++percent;
            }
            m_out.Append(View(p, static_cast<size_t>(percent - p)));
            if (!*percent) {
                break;
            }
            p = percent + 1;
            if (*p == '%') {
                m_out.Repeat('%', 1);
                ++p;
                continue;
            }
            CSpec spec;
            if (!ParseSpec(p, spec) || !Convert(spec)) {
                return false;
            }
        }
        return true;
    }
    int Error() const { return m_error; }

private:
    bool Fail(int error) {
        m_error = error;
        return false;
    }

    bool ParseSpec(const Char*& p, CSpec& spec) {
        for (;; ++p) {
            switch (*p) {
            case '-':
                spec.left = true;
                continue;
            case '+':
                spec.plus = true;
                continue;
            case ' ':
                spec.blank = true;
                continue;
            case '#':
                spec.alternate = true;
                continue;
            case '0':
                spec.zero = true;
                continue;
            default:
                break;
            }
            break;
        }
        if (!ParseWidth(p, spec)) {
            return false;
        }
        if (*p == '.') {
            ++p;
            if (!ParsePrecision(p, spec)) {
                return false;
            }
        }
        spec.size = ParseSize(p);
        if (*p < 0x20 || *p > 0x7E) {
            return Fail(EINVAL);
        }
        spec.type = static_cast<char>(*p++);
        return true;
    }

    // Digits up to INT_MAX; an empty run reads as 0.
    bool ParseDigits(const Char*& p, int& value) {
        long long number = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            number = number * 10 + (*p - '0');
            if (number > INT_MAX) {
                return Fail(EINVAL);
            }
        }
        value = static_cast<int>(number);
        return true;
    }

    bool ParseWidth(const Char*& p, CSpec& spec) {
        if (*p != '*') {
            return ParseDigits(p, spec.width);
        }
        ++p;
        const long long width = va_arg(m_args, int);
        if (width < 0) {
            spec.left = true;
        }
        if (-width > INT_MAX) {
            return Fail(EINVAL);
        }
        spec.width = static_cast<int>(width < 0 ? -width : width);
        return true;
    }

    bool ParsePrecision(const Char*& p, CSpec& spec) {
        if (*p != '*') {
            return ParseDigits(p, spec.precision);
        }
        ++p;
        const int precision = va_arg(m_args, int);
        spec.precision = precision < 0 ? -1 : precision;
        return true;
    }

    static ESize ParseSize(const Char*& p) {
        switch (*p) {
        case 'h':
            ++p;
            return ESize::Short;
        case 'w':
            ++p;
            return ESize::Wide;
        case 'z':
            ++p;
            return ESize::SizeT;
        case 'l':
            ++p;
            if (*p == 'l') {
                ++p;
                return ESize::LongLong;
            }
            return ESize::Long;
        case 'I':
            ++p;
            if (p[0] == '6' && p[1] == '4') {
                p += 2;
                return ESize::Int64;
            }
            if (p[0] == '3' && p[1] == '2') {
                p += 2;
                return ESize::Int32;
            }
            return ESize::Pointer;
        default:
            return ESize::Default;
        }
    }

    bool Convert(CSpec& spec) {
        switch (spec.type) {
        case 'd':
        case 'i':
            return Signed(spec);
        case 'u':
            return Unsigned(spec, 10, false);
        case 'o':
            return Unsigned(spec, 8, false);
        case 'x':
            return Unsigned(spec, 16, false);
        case 'X':
            return Unsigned(spec, 16, true);
        case 'p':
            return Pointer(spec);
        case 'c':
        case 'C':
            return Character(spec);
        case 's':
        case 'S':
            return String(spec);
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
            return Float(spec);
        default:
            return Fail(EINVAL); // includes %n
        }
    }

    static bool IsIntegerSize(ESize size) { return size != ESize::Wide; }

    // A `long` argument is read as the C type the format names; only its low 32 bits are printed,
    // since Windows' long (LONG) is 32 bits. An int argument fills the same slot, so both agree.
    long long ReadSigned(ESize size) {
        switch (size) {
        case ESize::Short:
            return static_cast<short>(va_arg(m_args, int));
        case ESize::Long:
            return static_cast<std::int32_t>(va_arg(m_args, long));
        case ESize::LongLong:
        case ESize::Int64:
            return va_arg(m_args, long long);
        case ESize::Pointer:
            return va_arg(m_args, std::intptr_t);
        case ESize::SizeT:
            return va_arg(m_args, std::ptrdiff_t);
        default:
            return va_arg(m_args, int);
        }
    }

    unsigned long long ReadUnsigned(ESize size) {
        switch (size) {
        case ESize::Short:
            return static_cast<unsigned short>(va_arg(m_args, int));
        case ESize::Long:
            return static_cast<std::uint32_t>(va_arg(m_args, unsigned long));
        case ESize::LongLong:
        case ESize::Int64:
            return va_arg(m_args, unsigned long long);
        case ESize::Pointer:
            return va_arg(m_args, std::uintptr_t);
        case ESize::SizeT:
            return va_arg(m_args, size_t);
        default:
            return va_arg(m_args, unsigned int);
        }
    }

    bool Signed(const CSpec& spec) {
        if (!IsIntegerSize(spec.size)) {
            return Fail(EINVAL);
        }
        const long long value = ReadSigned(spec.size);
        const unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                                       : static_cast<unsigned long long>(value);
        const std::string_view sign = value < 0 ? "-" : spec.plus ? "+" : spec.blank ? " " : "";
        EmitInteger(spec, magnitude, sign, 10, false);
        return true;
    }

    bool Unsigned(const CSpec& spec, int base, bool upper) {
        if (!IsIntegerSize(spec.size)) {
            return Fail(EINVAL);
        }
        EmitInteger(spec, ReadUnsigned(spec.size), "", base, upper);
        return true;
    }

    // Windows prints a pointer as upper-case hex digits, zero-padded to the pointer's width.
    bool Pointer(CSpec& spec) {
        if (spec.size != ESize::Default) {
            return Fail(EINVAL);
        }
        spec.precision = 2 * sizeof(void*);
        EmitInteger(spec, reinterpret_cast<std::uintptr_t>(va_arg(m_args, void*)), "", 16, true);
        return true;
    }

    // Whether a %c / %s argument is wide: %lc %wc always, %hc never, %c in a wide format and %C in a
    // narrow one.
    std::optional<bool> IsWideArgument(const CSpec& spec) {
        switch (spec.size) {
        case ESize::Long:
        case ESize::Wide:
            return true;
        case ESize::Short:
            return false;
        case ESize::Default:
            return (spec.type == 'c' || spec.type == 's') == kWide;
        default:
            return std::nullopt;
        }
    }

    bool Character(const CSpec& spec) {
        const std::optional<bool> wide = IsWideArgument(spec);
        if (!wide) {
            return Fail(EINVAL);
        }
        const int value = va_arg(m_args, int);
        if (*wide) {
            const wchar_t ch = static_cast<wchar_t>(value);
            return EmitText(spec, std::wstring_view(&ch, 1));
        }
        const char ch = static_cast<char>(value);
        return EmitText(spec, std::string_view(&ch, 1));
    }

    bool String(const CSpec& spec) {
        const std::optional<bool> wide = IsWideArgument(spec);
        if (!wide) {
            return Fail(EINVAL);
        }
        if (*wide) {
            return EmitText(spec, StringArgument(va_arg(m_args, const wchar_t*), spec.precision));
        }
        return EmitText(spec, StringArgument(va_arg(m_args, const char*), spec.precision));
    }

    // Text of either width, converted to the format's width through the run-time's "C" locale.
    template <typename T> bool EmitText(const CSpec& spec, std::basic_string_view<T> text) {
        if constexpr (std::is_same_v<T, Char>) {
            Emit(spec, "", 0, text, true);
        } else if constexpr (kWide) {
            const std::wstring wide = CrtWiden(text);
            Emit(spec, "", 0, wide, true);
        } else {
            const std::optional<std::string> narrow = CrtNarrow(text);
            if (!narrow) {
                return Fail(EILSEQ);
            }
            Emit(spec, "", 0, *narrow, true);
        }
        return true;
    }

    bool Float(const CSpec& spec) {
        if (spec.size != ESize::Default && spec.size != ESize::Long) {
            return Fail(EINVAL);
        }
        std::string directive = "%";
        directive += spec.plus ? "+" : spec.blank ? " " : "";
        directive += spec.alternate ? "#" : "";
        if (spec.precision >= 0) {
            directive += "." + std::to_string(spec.precision);
        }
        directive += spec.type;
        const double value = va_arg(m_args, double);
        const int length = std::snprintf(nullptr, 0, directive.c_str(), value);
        if (length < 0) {
            return Fail(EINVAL);
        }
        std::string text(static_cast<size_t>(length), '\0');
        std::snprintf(text.data(), text.size() + 1, directive.c_str(), value);
        const size_t signLength =
            (!text.empty() && (text[0] == '-' || text[0] == '+' || text[0] == ' ')) ? 1 : 0;
        const std::basic_string<Char> body(text.begin() + static_cast<std::ptrdiff_t>(signLength),
                                           text.end());
        Emit(spec, std::string_view(text).substr(0, signLength), 0, body, true);
        return true;
    }

    void EmitInteger(const CSpec& spec, unsigned long long magnitude, std::string_view sign, int base,
                     bool upper) {
        char buffer[64];
        const size_t digitCount =
            (spec.precision == 0 && magnitude == 0)
                ? 0
                : static_cast<size_t>(std::to_chars(buffer, buffer + sizeof(buffer), magnitude, base).ptr -
                                      buffer);
        if (upper) {
            std::transform(buffer, buffer + digitCount, buffer,
                           [](char c) { return c >= 'a' ? c - 'a' + 'A' : c; });
        }
        const size_t minDigits = spec.precision < 0 ? 1 : static_cast<size_t>(spec.precision);
        size_t zeros = minDigits > digitCount ? minDigits - digitCount : 0;
        if (base == 8 && spec.alternate && zeros == 0 && (digitCount == 0 || buffer[0] != '0')) {
            zeros = 1;
        }
        std::string prefix(sign);
        if (base == 16 && spec.alternate && magnitude != 0) {
            prefix += upper ? "0X" : "0x";
        }
        const std::basic_string<Char> digits(buffer, buffer + digitCount);
        Emit(spec, prefix, zeros, digits, spec.precision < 0);
    }

    // Pads to the width: blanks before the prefix, or with the 0 flag zeros after it (for every
    // type, as the run-time does, except integers with a precision); blanks after with the - flag.
    void Emit(const CSpec& spec, std::string_view prefix, size_t zeros, View body, bool zeroPadAllowed) {
        const size_t length = prefix.size() + zeros + body.size();
        const size_t width = static_cast<size_t>(spec.width);
        const size_t padding = width > length ? width - length : 0;
        const bool zeroPad = spec.zero && !spec.left && zeroPadAllowed;
        if (!spec.left && !zeroPad) {
            m_out.Repeat(' ', padding);
        }
        m_out.AppendAscii(prefix);
        m_out.Repeat('0', zeros + (zeroPad ? padding : 0));
        m_out.Append(body);
        if (spec.left) {
            m_out.Repeat(' ', padding);
        }
    }

    COutput<Char>& m_out;
    va_list m_args;
    int m_error = 0;
};

template <typename Char>
int FormatWith(std::basic_string<Char>& out, const Char* format, va_list args, size_t maxChars) {
    COutput<Char> output(out, maxChars);
    int error = EINVAL;
    if (format) {
        CFormatter<Char> formatter(output, args);
        if (formatter.Run(format)) {
            error = output.Total() > INT_MAX ? ERANGE : 0;
        } else {
            error = formatter.Error();
        }
    }
    if (error == 0) {
        return static_cast<int>(output.Total());
    }
    if (error == EINVAL) {
        InvalidParameter();
    }
    errno = error;
    return -1;
}

} // namespace

int FormatV(std::wstring& out, const wchar_t* format, va_list args, size_t maxChars) {
    return FormatWith(out, format, args, maxChars);
}

int FormatV(std::string& out, const char* format, va_list args, size_t maxChars) {
    return FormatWith(out, format, args, maxChars);
}

} // namespace platform
