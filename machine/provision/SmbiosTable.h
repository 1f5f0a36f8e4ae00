// The raw SMBIOS data of a profile's firmware, as GetSystemFirmwareTable('RSMB') hands it out: the 8-byte
// header and the structure table.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

// From {"major", "minor", "structures": {NAME: {"type", "handle", "fields"}}}, structures placed in the
// order of their handles. The "fields" fill a structure's formatted area after its 4-byte header, in
// order: a text is one of the structure's strings (its number stands in the byte; "" is 0, no string);
// a number is a byte; {"word": N}, {"dword": N} and {"qword": N} are little-endian numbers; {"hex": "..."}
// raw bytes. False with a message for a malformed entry.
bool BuildSmbiosTable(const nlohmann::json& smbios, std::string& data, std::string& error);
