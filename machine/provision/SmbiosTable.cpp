#include "machine/provision/SmbiosTable.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr size_t kMaxByte = std::numeric_limits<unsigned char>::max();

struct CNumberField {
    const char* name;
    int size;
};

const CNumberField kNumberFields[] = {{"word", 2}, {"dword", 4}, {"qword", 8}};

void AppendLittleEndian(std::string& bytes, unsigned long long value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A whole number from 0 that fits in that many bytes.
bool FitsIn(const nlohmann::json& value, int size) {
    const bool natural =
        value.is_number_unsigned() || (value.is_number_integer() && value.get<long long>() >= 0);
    return natural && (size == 8 || value.get<unsigned long long>() < (1ull << (8 * size)));
}

bool AppendHex(const std::string& hex, std::string& bytes) {
    if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    for (size_t i = 0; i < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return true;
}

bool AppendObjectField(const nlohmann::json& field, std::string& formatted) {
    if (field.size() != 1) {
        return false;
    }
    const auto entry = field.begin();
    const std::string& name = entry.key();
    const nlohmann::json& value = entry.value();
    if (name == "hex") {
        return value.is_string() && AppendHex(value.get<std::string>(), formatted);
    }
    for (const auto& number : kNumberFields) {
        if (name == number.name && FitsIn(value, number.size)) {
            AppendLittleEndian(formatted, value.get<unsigned long long>(), number.size);
            return true;
        }
    }
    return false;
}

// One field of the formatted area; a text joins the structure's strings.
bool AppendField(const nlohmann::json& field, std::string& formatted, std::vector<std::string>& strings) {
    if (field.is_string()) {
        const std::string text = field.get<std::string>();
        if (text.find('\0') != std::string::npos || strings.size() == kMaxByte) {
            return false;
        }
        if (!text.empty()) {
            strings.push_back(text);
        }
        formatted.push_back(static_cast<char>(text.empty() ? 0 : strings.size()));
        return true;
    }
    if (FitsIn(field, 1)) {
        formatted.push_back(static_cast<char>(field.get<unsigned>()));
        return true;
    }
    return field.is_object() && AppendObjectField(field, formatted);
}

// The formatted area, then each string with its terminator, then one more zero (two for none).
bool BuildStructure(const nlohmann::json& structure, std::string& bytes) {
    const nlohmann::json fields = structure.value("fields", nlohmann::json::array());
    if (!FitsIn(structure.value("type", nlohmann::json()), 1) ||
        !FitsIn(structure.value("handle", nlohmann::json()), 2) || !fields.is_array()) {
        return false;
    }
    std::string formatted;
    formatted.push_back(static_cast<char>(structure["type"].get<unsigned>()));
    formatted.push_back('\0');
    AppendLittleEndian(formatted, structure["handle"].get<unsigned>(), 2);
    std::vector<std::string> strings;
    for (const auto& field : fields) {
        if (!AppendField(field, formatted, strings)) {
            return false;
        }
    }
    if (formatted.size() > kMaxByte) {
        return false;
    }
    formatted[1] = static_cast<char>(formatted.size());
    bytes += formatted;
    for (const auto& text : strings) {
        bytes += text;
        bytes.push_back('\0');
    }
    bytes.append(strings.empty() ? 2 : 1, '\0');
    return true;
}

} // namespace

bool BuildSmbiosTable(const nlohmann::json& smbios, std::string& data, std::string& error) {
    const nlohmann::json major = smbios.value("major", nlohmann::json());
    const nlohmann::json minor = smbios.value("minor", nlohmann::json());
    const nlohmann::json structures = smbios.value("structures", nlohmann::json());
    if (!FitsIn(major, 1) || !FitsIn(minor, 1) || !structures.is_object()) {
        error = "the SMBIOS data needs a major and a minor version and its structures";
        return false;
    }
    std::vector<std::pair<unsigned, std::string>> order;
    for (const auto& [name, structure] : structures.items()) {
        const nlohmann::json handle =
            structure.is_object() ? structure.value("handle", nlohmann::json()) : nullptr;
        order.emplace_back(FitsIn(handle, 2) ? handle.get<unsigned>() : 0u, name);
    }
    std::sort(order.begin(), order.end());
    std::string table;
    for (size_t i = 0; i < order.size(); ++i) {
        const auto& [handle, name] = order[i];
        if ((i > 0 && order[i - 1].first == handle) || !BuildStructure(structures[name], table)) {
            error = "malformed SMBIOS structure '" + name + "' (or its handle is taken)";
            return false;
        }
    }
    data.clear();
    AppendLittleEndian(data, 0, 1); // not made by the SMBIOS 2.0 calling method
    AppendLittleEndian(data, major.get<unsigned>(), 1);
    AppendLittleEndian(data, minor.get<unsigned>(), 1);
    AppendLittleEndian(data, 0, 1); // DMI revision
    AppendLittleEndian(data, table.size(), 4);
    data += table;
    return true;
}
