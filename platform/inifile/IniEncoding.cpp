// Decoding and encoding of initialisation files, byte-exact for every file they accept.
#include "platform/inifile/IniEncoding.h"

#include "platform/internal.h"

namespace platform {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

// Code page 1252 at 0x80..0x9F; the five unassigned bytes stand for the C1 controls of the same value,
// so that every byte decodes and encodes back to itself.
constexpr char32_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsUnicodeScalar(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// Strict UTF-8: shortest forms of Unicode scalar values only, so that decoding and encoding round-trip.
bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int extra = lead < 0x80             ? 0
                          : (lead & 0xE0) == 0xC0 ? 1
                          : (lead & 0xF0) == 0xE0 ? 2
                          : (lead & 0xF8) == 0xF0 ? 3
                                                  : -1;
        if (extra < 0 || bytes.size() - i <= static_cast<size_t>(extra)) {
            return false;
        }
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            c = (c << 6) | (next & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (c < kSmallest[extra] || !IsUnicodeScalar(c)) {
            return false;
        }
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

std::wstring DecodeUtf16Le(std::string_view bytes) {
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char32_t unit =
            static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (!text.empty() && unit >= 0xDC00 && unit <= 0xDFFF && text.back() >= 0xD800 &&
            text.back() <= 0xDBFF) {
            text.back() = static_cast<wchar_t>(
                0x10000 + ((static_cast<char32_t>(text.back()) - 0xD800) << 10) + (unit - 0xDC00));
        } else {
            text += static_cast<wchar_t>(unit);
        }
    }
    return text;
}

std::optional<std::string> EncodeUtf16Le(std::wstring_view text) {
    std::string bytes(kUtf16LeBom);
    const auto put = [&bytes](char32_t unit) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    };
    for (wchar_t wc : text) {
        const auto c = static_cast<char32_t>(wc);
        if (c > 0x10FFFF) {
            return std::nullopt;
        }
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return bytes;
}

std::wstring DecodeCp1252(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        text += static_cast<wchar_t>(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte);
    }
    return text;
}

std::optional<char> Cp1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (size_t i = 0; i < 32; ++i) {
        if (kCp1252High[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    return std::nullopt;
}

std::optional<std::string> EncodeCp1252(std::wstring_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t wc : text) {
        const auto byte = Cp1252Byte(static_cast<char32_t>(wc));
        if (!byte) {
            return std::nullopt;
        }
        bytes += *byte;
    }
    return bytes;
}

std::optional<std::string> EncodeUtf8(std::wstring_view text) {
    for (wchar_t wc : text) {
        if (!IsUnicodeScalar(static_cast<char32_t>(wc))) {
            return std::nullopt;
        }
    }
    return ToUtf8(text);
}

} // namespace

CIniText DecodeIniFile(std::string_view bytes) {
    CIniText decoded;
    if (bytes.starts_with(kUtf16LeBom)) {
        decoded.encoding = IniEncoding::Utf16LeWithBom;
        decoded.text = DecodeUtf16Le(bytes.substr(kUtf16LeBom.size()));
    } else if (bytes.starts_with(kUtf8Bom) && IsValidUtf8(bytes.substr(kUtf8Bom.size()))) {
        decoded.encoding = IniEncoding::Utf8WithBom;
        decoded.text = FromUtf8(bytes.substr(kUtf8Bom.size()));
    } else if (IsValidUtf8(bytes)) {
        decoded.encoding = IniEncoding::Utf8;
        decoded.text = FromUtf8(bytes);
    } else {
        decoded.encoding = IniEncoding::Ansi1252;
        decoded.text = DecodeCp1252(bytes);
    }
    decoded.roundTrips = EncodeIniFile(decoded.text, decoded.encoding) == std::optional<std::string>(bytes);
    return decoded;
}

std::optional<std::string> EncodeIniFile(std::wstring_view text, IniEncoding encoding) {
    switch (encoding) {
    case IniEncoding::Utf8:
        return EncodeUtf8(text);
    case IniEncoding::Utf8WithBom:
        if (auto bytes = EncodeUtf8(text)) {
            return std::string(kUtf8Bom) + *bytes;
        }
        return std::nullopt;
    case IniEncoding::Utf16LeWithBom:
        return EncodeUtf16Le(text);
    case IniEncoding::Ansi1252:
        return EncodeCp1252(text);
    }
    return std::nullopt;
}

} // namespace platform
