#include "platform/display/Screen.h"

#include <algorithm>
#include <optional>

#include "platform/internal.h"

namespace platform {

namespace {

constexpr UINT kDefaultDpi = 96;
constexpr UINT kMinDpi = 48;
constexpr UINT kMaxDpi = 960;

int IntField(const nlohmann::json& entry, const char* name, int fallback) {
    const auto found = entry.find(name);
    return found != entry.end() && found->is_number_integer() ? found->get<int>() : fallback;
}

std::optional<ScreenMonitor> MonitorOf(const nlohmann::json& entry, size_t index) {
    if (!entry.is_object()) {
        return std::nullopt;
    }
    const int left = IntField(entry, "left", 0);
    const int top = IntField(entry, "top", 0);
    const int width = IntField(entry, "width", 0);
    const int height = IntField(entry, "height", 0);
    if (width <= 0 || height <= 0 || width > 65536 || height > 65536) {
        return std::nullopt;
    }
    ScreenMonitor monitor;
    const auto device = entry.find("device");
    monitor.device = device != entry.end() && device->is_string()
                         ? FromUtf8(device->get<std::string>())
                         : L"\\\\.\\DISPLAY" + std::to_wstring(index + 1);
    monitor.bounds = RECT{left, top, left + width, top + height};
    const int dpi = IntField(entry, "dpi", kDefaultDpi);
    monitor.dpi = dpi >= static_cast<int>(kMinDpi) && dpi <= static_cast<int>(kMaxDpi)
                      ? static_cast<UINT>(dpi)
                      : kDefaultDpi;
    const int taskbar = std::clamp(
        MulDiv(std::max(IntField(entry, "taskbarHeight", 0), 0), static_cast<int>(monitor.dpi), 96), 0,
        height);
    monitor.taskbar = RECT{monitor.bounds.left, monitor.bounds.bottom - taskbar, monitor.bounds.right,
                           monitor.bounds.bottom};
    monitor.workArea =
        RECT{monitor.bounds.left, monitor.bounds.top, monitor.bounds.right, monitor.bounds.bottom - taskbar};
    return monitor;
}

} // namespace

std::vector<ScreenMonitor> ScreenMonitors() {
    std::vector<ScreenMonitor> monitors;
    const nlohmann::json entries = MachineFact("/display/monitors");
    if (!entries.is_array()) {
        return monitors;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (auto monitor = MonitorOf(entries[i], i)) {
            monitors.push_back(std::move(*monitor));
        }
    }
    return monitors;
}

} // namespace platform
