// The byte encodings of initialisation files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class IniEncoding { Utf8, Utf8WithBom, Utf16LeWithBom, Ansi1252 };

struct CIniText {
    std::wstring text;
    IniEncoding encoding = IniEncoding::Utf8;
    // The text encodes back to the very bytes it came from, so the file can be rewritten without loss.
    bool roundTrips = true;
};

// A UTF-16LE or UTF-8 byte-order mark decides; else valid UTF-8 is UTF-8 and anything else code page 1252.
CIniText DecodeIniFile(std::string_view bytes);
// nullopt when a character has no form in the encoding.
std::optional<std::string> EncodeIniFile(std::wstring_view text, IniEncoding encoding);

} // namespace platform
