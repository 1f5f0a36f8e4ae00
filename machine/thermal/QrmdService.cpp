// The thermal service's control handler, the one export of its module: every control code it receives
// is recorded in events.jsonl as service.control, then taken.
#include <type_traits>

#include "machine/thermal/ThermalService.h"
#include "platform/internal.h"
#include "platform/servicecontrol.h"

#define QRMDSVC_EXPORT __attribute__((visibility("default")))

extern "C" QRMDSVC_EXPORT DWORD ServiceControlHandler(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData,
                                                      LPVOID lpContext) {
    platform::AppendMachineEvent(
        "service.control", {{"service", platform::ToUtf8(thermal::kServiceName)}, {"control", dwControl}});
    return thermal::ApplyControl(dwControl);
}

// The handler's form is the one ControlService calls.
static_assert(std::is_same_v<decltype(&ServiceControlHandler), LPHANDLER_FUNCTION_EX>);
