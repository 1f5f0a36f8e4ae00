// Firmware tables: the raw SMBIOS data of the machine's firmware.
#pragma once

#include "platform/base.h"

#ifndef ERROR_NOT_FOUND
#define ERROR_NOT_FOUND 1168L
#endif

// Copies the table of the provider into the buffer and answers its size. Only the raw SMBIOS provider
// ('RSMB', 0x52534D42) exists; its table id is not looked at, and its data is the 8-byte header
// (calling method, major and minor SMBIOS version, DMI revision, table length) followed by the
// structure table, as the firmware gives it. A buffer too small (or none) answers the size needed
// with ERROR_INSUFFICIENT_BUFFER. 0 with ERROR_INVALID_FUNCTION for another provider, ERROR_NOT_FOUND
// on a machine without SMBIOS data.
UINT GetSystemFirmwareTable(DWORD FirmwareTableProviderSignature, DWORD FirmwareTableID,
                            PVOID pFirmwareTableBuffer, DWORD BufferSize);
