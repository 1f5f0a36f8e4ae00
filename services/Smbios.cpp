#include "services/Smbios.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/firmware.h"
#include "platform/strings.h"

namespace {

constexpr DWORD kRawSmbiosProvider = 0x52534D42u; // 'RSMB'
constexpr BYTE kBiosInformationType = 0;
constexpr size_t kBiosVersionOffset = 5;
// The header that GetSystemFirmwareTable puts before the structure table: calling method, major and
// minor version, DMI revision, then the table's length.
constexpr size_t kRawHeaderSize = 8;
constexpr size_t kTableLengthOffset = 4;
// Type, length and handle.
constexpr size_t kStructureHeaderSize = 4;
constexpr int kMaxVersionChars = 2048;

// The first byte after the string area, which ends at the first two consecutive zero bytes; null when
// the table ends first.
const BYTE* SkipStringArea(const BYTE* p, const BYTE* pTableEnd) {
    for (; pTableEnd - p >= 2; ++p) {
        if (p[0] == 0 && p[1] == 0) {
            return p + 2;
        }
    }
    return nullptr;
}

// The first structure of that type whose formatted area lies within the table.
const BYTE* FindStructure(BYTE nType, const BYTE* p, const BYTE* pTableEnd) {
    while (p && static_cast<size_t>(pTableEnd - p) >= kStructureHeaderSize) {
        const BYTE nLength = p[1];
        if (nLength < kStructureHeaderSize || pTableEnd - p < nLength) {
            return nullptr;
        }
        if (p[0] == nType) {
            return p;
        }
        p = SkipStringArea(p + nLength, pTableEnd);
    }
    return nullptr;
}

bool ReadRawSmbiosData(std::vector<BYTE>& data) {
    const UINT nSize = GetSystemFirmwareTable(kRawSmbiosProvider, 0, nullptr, 0);
    if (nSize == 0) {
        return false;
    }
    data.assign(nSize, 0);
    return GetSystemFirmwareTable(kRawSmbiosProvider, 0, data.data(), nSize) == nSize;
}

} // namespace

const char* GetSmbiosString(BYTE nString, const BYTE* pStructure, const BYTE* pTableEnd) {
    if (nString == 0 || pTableEnd - pStructure < 2 || pTableEnd - pStructure < pStructure[1]) {
        return nullptr;
    }
    const BYTE* p = pStructure + pStructure[1];
    for (BYTE n = 1; p < pTableEnd && *p != 0; ++n) {
        const BYTE* pEnd = std::find(p, pTableEnd, BYTE{0});
        if (pEnd == pTableEnd) {
            return nullptr;
        }
        if (n == nString) {
            return reinterpret_cast<const char*>(p);
        }
        p = pEnd + 1;
    }
    return nullptr;
}

bool GetBiosVersionFromSmbios(std::string& strVersion) {
    strVersion.clear();
    std::vector<BYTE> data;
    if (!ReadRawSmbiosData(data) || data.size() < kRawHeaderSize) {
        return false;
    }
    DWORD dwTableLength = 0;
    std::memcpy(&dwTableLength, data.data() + kTableLengthOffset, sizeof(dwTableLength));
    if (dwTableLength > data.size() - kRawHeaderSize) {
        return false;
    }
    const BYTE* pTable = data.data() + kRawHeaderSize;
    const BYTE* pTableEnd = pTable + dwTableLength;
    const BYTE* pBios = FindStructure(kBiosInformationType, pTable, pTableEnd);
    if (!pBios || pBios[1] <= kBiosVersionOffset) {
        return false;
    }
    const char* pszVersion = GetSmbiosString(pBios[kBiosVersionOffset], pBios, pTableEnd);
    if (!pszVersion) {
        return false;
    }
    wchar_t szWide[kMaxVersionChars] = {};
    if (MultiByteToWideChar(CP_UTF8, 0, pszVersion, -1, szWide, kMaxVersionChars) == 0) {
        return false;
    }
    char szNarrow[kMaxVersionChars] = {};
    size_t nConverted = 0;
    if (wcstombs_s(&nConverted, szNarrow, szWide, _TRUNCATE) == 0) {
        strVersion = szNarrow;
    }
    return !strVersion.empty();
}
