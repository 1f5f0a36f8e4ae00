#include "platform/files/Devices.h"

#include <memory>

#include "platform/internal.h"
#include "platform/threads.h"

namespace platform {

namespace {

constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

class CDeviceObject : public CKernelObject {};

bool IsMachineDevice(std::wstring_view name) {
    const nlohmann::json devices = MachineFact("/devices");
    if (!devices.is_object()) {
        return false;
    }
    for (const auto& [key, device] : devices.items()) {
        if (device.is_object() && EqualsNoCase(FromUtf8(key), name)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool IsDevicePath(std::wstring_view path) {
    if (!path.starts_with(kDevicePrefix)) {
        return false;
    }
    const std::wstring_view name = path.substr(kDevicePrefix.size());
    return !name.empty() && name.find_first_of(L"\\/") == std::wstring_view::npos;
}

HANDLE OpenMachineDevice(std::wstring_view path) {
    if (!IsDevicePath(path) || !IsMachineDevice(path.substr(kDevicePrefix.size()))) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(std::make_shared<CDeviceObject>());
}

} // namespace platform
