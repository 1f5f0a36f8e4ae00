// The Windows version test over the machine's version facts.
#include <bit>

#include "platform/internal.h"
#include "platform/version.h"

namespace platform {

namespace {

constexpr int kConditionBits = 3;
constexpr DWORD kKnownTypes = VER_MINORVERSION | VER_MAJORVERSION | VER_BUILDNUMBER | VER_PLATFORMID |
                              VER_SERVICEPACKMINOR | VER_SERVICEPACKMAJOR | VER_SUITENAME | VER_PRODUCT_TYPE;

BYTE ConditionOf(ULONGLONG conditionMask, DWORD typeBit) {
    const int shift = std::countr_zero(typeBit) * kConditionBits;
    return static_cast<BYTE>((conditionMask >> shift) & ((1u << kConditionBits) - 1));
}

bool IsComparison(BYTE condition) {
    return condition >= VER_EQUAL && condition <= VER_LESS_EQUAL;
}

bool Meets(int comparison, BYTE condition) {
    switch (condition) {
    case VER_EQUAL:
        return comparison == 0;
    case VER_GREATER:
        return comparison > 0;
    case VER_GREATER_EQUAL:
        return comparison >= 0;
    case VER_LESS:
        return comparison < 0;
    default:
        return comparison <= 0;
    }
}

int Compare(DWORD machine, DWORD wanted) {
    return machine < wanted ? -1 : machine > wanted ? 1 : 0;
}

DWORD VersionFact(const char* pointer) {
    const nlohmann::json fact = MachineFact(pointer);
    return fact.is_number_unsigned() && fact.get<std::uint64_t>() <= 0xFFFFFFFFu ? fact.get<DWORD>() : 0;
}

struct CVersionPart {
    DWORD type;
    DWORD machine;
    DWORD wanted;
};

// Major, minor and service-pack versions, highest first: the first that differs decides, under the
// condition of the highest one asked for.
bool MeetsVersion(const OSVERSIONINFOEXW& wanted, DWORD typeMask, ULONGLONG conditionMask) {
    const CVersionPart parts[] = {
        {VER_MAJORVERSION, VersionFact("/windows/major"), wanted.dwMajorVersion},
        {VER_MINORVERSION, VersionFact("/windows/minor"), wanted.dwMinorVersion},
        {VER_SERVICEPACKMAJOR, VersionFact("/windows/servicePackMajor"), wanted.wServicePackMajor},
        {VER_SERVICEPACKMINOR, VersionFact("/windows/servicePackMinor"), wanted.wServicePackMinor},
    };
    BYTE condition = 0;
    int comparison = 0;
    for (const auto& part : parts) {
        if ((typeMask & part.type) == 0) {
            continue;
        }
        if (condition == 0) {
            condition = ConditionOf(conditionMask, part.type);
        }
        if (comparison == 0) {
            comparison = Compare(part.machine, part.wanted);
        }
    }
    return condition == 0 || Meets(comparison, condition);
}

bool MeetsSingle(DWORD typeMask, ULONGLONG conditionMask, DWORD type, DWORD machine, DWORD wanted) {
    return (typeMask & type) == 0 || Meets(Compare(machine, wanted), ConditionOf(conditionMask, type));
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

} // namespace platform

ULONGLONG VerSetConditionMask(ULONGLONG ConditionMask, DWORD TypeMask, BYTE Condition) {
    const ULONGLONG field = (1u << platform::kConditionBits) - 1;
    for (DWORD types = TypeMask & platform::kKnownTypes; types != 0; types &= types - 1) {
        const int shift = std::countr_zero(types) * platform::kConditionBits;
        ConditionMask =
            (ConditionMask & ~(field << shift)) | (static_cast<ULONGLONG>(Condition & field) << shift);
    }
    return ConditionMask;
}

BOOL VerifyVersionInfoW(LPOSVERSIONINFOEXW lpVersionInformation, DWORD dwTypeMask,
                        DWORDLONG dwlConditionMask) {
    using platform::Fail;
    if (!lpVersionInformation || lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW) ||
        dwTypeMask == 0 || (dwTypeMask & ~platform::kKnownTypes) != 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if ((dwTypeMask & (VER_SUITENAME | VER_PRODUCT_TYPE)) != 0) {
        return Fail(ERROR_NOT_SUPPORTED);
    }
    for (DWORD types = dwTypeMask; types != 0; types &= types - 1) {
        if (!platform::IsComparison(platform::ConditionOf(dwlConditionMask, types & ~(types - 1)))) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
    }
    const OSVERSIONINFOEXW& wanted = *lpVersionInformation;
    const bool met = platform::MeetsVersion(wanted, dwTypeMask, dwlConditionMask) &&
                     platform::MeetsSingle(dwTypeMask, dwlConditionMask, VER_BUILDNUMBER,
                                           platform::VersionFact("/windows/build"), wanted.dwBuildNumber) &&
                     platform::MeetsSingle(dwTypeMask, dwlConditionMask, VER_PLATFORMID,
                                           VER_PLATFORM_WIN32_NT, wanted.dwPlatformId);
    return met ? TRUE : Fail(ERROR_OLD_WIN_VERSION);
}
