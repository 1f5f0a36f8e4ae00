// Store packages installed for the machine's user (fact "/packages": an object keyed by package full
// name, "Name_Version_Architecture_ResourceId_PublisherId"); a package's family is "Name_PublisherId".
#pragma once

#include "platform/base.h"

#ifndef ERROR_NOT_FOUND
#define ERROR_NOT_FOUND 1168L
#endif

using UINT32 = std::uint32_t;
using UINT64 = std::uint64_t;

#define PACKAGE_FILTER_HEAD 0x00000010u
#define PACKAGE_INFORMATION_BASIC 0x00000000u
#define PACKAGE_INFORMATION_FULL 0x00000100u

struct PACKAGE_VERSION {
    union {
        UINT64 Version;
        struct {
            USHORT Revision;
            USHORT Build;
            USHORT Minor;
            USHORT Major;
        };
    };
};

struct PACKAGE_ID {
    UINT32 reserved;
    UINT32 processorArchitecture;
    PACKAGE_VERSION version;
    PWSTR name;
    PWSTR publisher;
    PWSTR resourceId;
    PWSTR publisherId;
};

// The full names of the family's packages (every installed package is a head package; without
// PACKAGE_FILTER_HEAD none is listed). *count and *bufferLength (characters, each name with its
// terminator) are in/out: when the arrays are too small (or null) they answer the sizes needed with
// ERROR_INSUFFICIENT_BUFFER; a family without packages answers ERROR_SUCCESS and 0. packageProperties,
// when given, receives 0 for each package. ERROR_INVALID_PARAMETER for a null name or null sizes.
LONG FindPackagesByPackageFamily(PCWSTR packageFamilyName, UINT32 packageFilters, UINT32* count,
                                 PWSTR* packageFullNames, UINT32* bufferLength, WCHAR* buffer,
                                 UINT32* packageProperties);
// The identity of an installed package: a PACKAGE_ID followed by its strings, in *bufferLength bytes
// (answered with ERROR_INSUFFICIENT_BUFFER when too small). ERROR_INVALID_PARAMETER for a malformed
// full name or unknown flags, ERROR_NOT_FOUND for a package not installed for the user.
LONG PackageIdFromFullName(PCWSTR packageFullName, UINT32 flags, UINT32* bufferLength, BYTE* buffer);
