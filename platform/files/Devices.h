// Driver devices ("\\.\Name"): the machine's fact "/devices" lists the devices its drivers made, as
// {"Name": {}, ...}, names compared without regard to case.
#pragma once

#include <string_view>

#include "platform/base.h"

namespace platform {

// "\\.\" followed by one name.
bool IsDevicePath(std::wstring_view path);
// A handle to the device (closed with CloseHandle; no reads or writes), or INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND when the machine has no such device.
HANDLE OpenMachineDevice(std::wstring_view path);

} // namespace platform
