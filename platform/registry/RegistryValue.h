// A value's type and data, and its form in the store: natural data where it round-trips exactly
// ({"type": "REG_SZ", "data": "text"}, a number, an array of texts, hex for binary), else the exact
// bytes as hex ({"type": "REG_SZ", "hex": "..."}). Types without a name are kept as numbers.
#pragma once

#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/base.h"

namespace platform::registry {

struct SRegValue {
    DWORD type = 0;
    std::vector<BYTE> data;
    bool operator==(const SRegValue&) const = default;
};

nlohmann::json EncodeValue(const SRegValue& value);
// nullopt for a malformed entry (unknown type name, data that does not fit the type, bad hex).
std::optional<SRegValue> DecodeValue(const nlohmann::json& entry);

// The name of a type ("REG_DWORD"), or its number in decimal for types without one.
std::string TypeName(DWORD type);
std::optional<DWORD> TypeFromName(std::string_view name);

std::string ToHex(const std::vector<BYTE>& bytes);
std::optional<std::vector<BYTE>> FromHex(std::string_view hex);

} // namespace platform::registry
