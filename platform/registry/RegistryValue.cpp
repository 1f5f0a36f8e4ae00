#include "platform/registry/RegistryValue.h"

#include <cstring>

#include "platform/internal.h"
#include "platform/registry.h"

namespace platform::registry {

namespace {

using nlohmann::json;

struct STypeName {
    DWORD type;
    const char* name;
};
constexpr STypeName kTypeNames[] = {{REG_NONE, "REG_NONE"},           {REG_SZ, "REG_SZ"},
                                    {REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {REG_BINARY, "REG_BINARY"},
                                    {REG_DWORD, "REG_DWORD"},         {REG_MULTI_SZ, "REG_MULTI_SZ"},
                                    {REG_QWORD, "REG_QWORD"}};

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

std::wstring WideChars(const std::vector<BYTE>& data) {
    std::wstring chars(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(chars.data(), data.data(), chars.size() * sizeof(wchar_t));
    return chars;
}

void AppendTerminated(std::vector<BYTE>& data, const std::wstring& text) {
    const auto* begin = reinterpret_cast<const BYTE*>(text.c_str());
    data.insert(data.end(), begin, begin + (text.size() + 1) * sizeof(wchar_t));
}

template <typename Number> std::vector<BYTE> NumberBytes(Number number) {
    std::vector<BYTE> data(sizeof(number));
    std::memcpy(data.data(), &number, sizeof(number));
    return data;
}

template <typename Number> Number BytesNumber(const std::vector<BYTE>& data) {
    Number number = 0;
    std::memcpy(&number, data.data(), sizeof(number));
    return number;
}

// The natural form of the data, when the type has one that fits the data's shape; whether it is exact
// is checked by decoding it again.
std::optional<json> NaturalData(const SRegValue& value) {
    const bool whole = value.data.size() % sizeof(wchar_t) == 0;
    if (IsTextType(value.type) && whole && !value.data.empty()) {
        std::wstring chars = WideChars(value.data);
        chars.pop_back();
        return json(ToUtf8(chars));
    }
    if (value.type == REG_MULTI_SZ && whole && !value.data.empty()) {
        std::wstring chars = WideChars(value.data);
        chars.pop_back();
        json entries = json::array();
        size_t start = 0;
        while (start < chars.size()) {
            const size_t end = chars.find(L'\0', start);
            entries.push_back(ToUtf8(chars.substr(start, end - start)));
            start = end == std::wstring::npos ? chars.size() : end + 1;
        }
        return entries;
    }
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        return json(BytesNumber<DWORD>(value.data));
    }
    if (value.type == REG_QWORD && value.data.size() == sizeof(QWORD)) {
        return json(BytesNumber<QWORD>(value.data));
    }
    if (value.type == REG_BINARY) {
        return json(ToHex(value.data));
    }
    return std::nullopt;
}

std::optional<std::vector<BYTE>> DecodeNatural(DWORD type, const json& data) {
    if (IsTextType(type) && data.is_string()) {
        std::vector<BYTE> bytes;
        AppendTerminated(bytes, FromUtf8(data.get<std::string>()));
        return bytes;
    }
    if (type == REG_MULTI_SZ && data.is_array()) {
        std::vector<BYTE> bytes;
        for (const auto& entry : data) {
            if (!entry.is_string()) {
                return std::nullopt;
            }
            AppendTerminated(bytes, FromUtf8(entry.get<std::string>()));
        }
        AppendTerminated(bytes, std::wstring());
        return bytes;
    }
    if (type == REG_DWORD && data.is_number_unsigned() && data.get<std::uint64_t>() <= 0xFFFFFFFFu) {
        return NumberBytes(static_cast<DWORD>(data.get<std::uint64_t>()));
    }
    if (type == REG_QWORD && data.is_number_unsigned()) {
        return NumberBytes(data.get<QWORD>());
    }
    if (type == REG_BINARY && data.is_string()) {
        return FromHex(data.get<std::string>());
    }
    return std::nullopt;
}

std::optional<DWORD> EntryType(const json& entry) {
    const auto type = entry.find("type");
    if (type == entry.end()) {
        return std::nullopt;
    }
    if (type->is_string()) {
        return TypeFromName(type->get<std::string>());
    }
    if (type->is_number_unsigned() && type->get<std::uint64_t>() <= 0xFFFFFFFFu) {
        return static_cast<DWORD>(type->get<std::uint64_t>());
    }
    return std::nullopt;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

json EncodeValue(const SRegValue& value) {
    json entry = json::object();
    const std::string name = TypeName(value.type);
    if (TypeFromName(name)) {
        entry["type"] = name;
    } else {
        entry["type"] = value.type;
    }
    const auto natural = NaturalData(value);
    if (natural && DecodeNatural(value.type, *natural) == value.data) {
        entry["data"] = *natural;
    } else {
        entry["hex"] = ToHex(value.data);
    }
    return entry;
}

std::optional<SRegValue> DecodeValue(const json& entry) {
    if (!entry.is_object()) {
        return std::nullopt;
    }
    const auto type = EntryType(entry);
    if (!type) {
        return std::nullopt;
    }
    std::optional<std::vector<BYTE>> data;
    if (const auto hex = entry.find("hex"); hex != entry.end()) {
        data = hex->is_string() ? FromHex(hex->get<std::string>()) : std::nullopt;
    } else if (const auto natural = entry.find("data"); natural != entry.end()) {
        data = DecodeNatural(*type, *natural);
    }
    if (!data) {
        return std::nullopt;
    }
    return SRegValue{*type, std::move(*data)};
}

std::string TypeName(DWORD type) {
    for (const auto& known : kTypeNames) {
        if (known.type == type) {
            return known.name;
        }
    }
    return std::to_string(type);
}

std::optional<DWORD> TypeFromName(std::string_view name) {
    for (const auto& known : kTypeNames) {
        if (name == known.name) {
            return known.type;
        }
    }
    return std::nullopt;
}

std::string ToHex(const std::vector<BYTE>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (BYTE b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

std::optional<std::vector<BYTE>> FromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<BYTE> bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<BYTE>(high << 4 | low));
    }
    return bytes;
}

} // namespace platform::registry
