// Firmware tables from the machine folder: the raw SMBIOS data the profile's firmware describes.
#include <algorithm>
#include <climits>

#include "platform/firmware.h"
#include "platform/internal.h"

namespace {

constexpr DWORD kRawSmbiosProvider = 0x52534D42u; // 'RSMB'

UINT Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

} // namespace

UINT GetSystemFirmwareTable(DWORD FirmwareTableProviderSignature, DWORD /*FirmwareTableID*/,
                            PVOID pFirmwareTableBuffer, DWORD BufferSize) {
    if (FirmwareTableProviderSignature != kRawSmbiosProvider) {
        return Fail(ERROR_INVALID_FUNCTION);
    }
    const auto table = platform::ReadWholeFile(platform::MachineFolder() / platform::kSmbiosTableFile);
    if (!table || table->empty() || table->size() > UINT_MAX) {
        return Fail(ERROR_NOT_FOUND);
    }
    const auto size = static_cast<UINT>(table->size());
    if (!pFirmwareTableBuffer || BufferSize < size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::copy(table->begin(), table->end(), static_cast<char*>(pFirmwareTableBuffer));
    return size;
}
