// The BIOS version from the firmware's raw SMBIOS tables.
#pragma once

#include <string>

#include "platform/base.h"

// The structure's string of that number (1-based), counted from the first byte after its formatted
// area; null for number 0, for a structure without strings, and for a string that does not end within
// the table (pTableEnd is the first byte after it).
const char* GetSmbiosString(BYTE nString, const BYTE* pStructure, const BYTE* pTableEnd);
// The version string of the BIOS information structure (type 0); false when there is none or the
// table is malformed.
bool GetBiosVersionFromSmbios(std::string& strVersion);
