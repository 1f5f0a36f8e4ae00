// The desktop: its window and the shell's windows from the machine's facts, the composed screen, the
// presenter that shows it when it settles, and the wait for that moment.
#include "platform/window/Desktop.h"

#include <atomic>
#include <chrono>
#include <cstring>

#include "platform/display.h"
#include "platform/display/Screen.h"
#include "platform/gdi/GdiState.h"
#include "platform/internal.h"
#include "platform/threads.h"
#include "platform/window/Controls.h"
#include "platform/window/WindowSystem.h"

namespace platform::window {

namespace {

const COLORREF kTaskbarColor = RGB(32, 32, 32);
const COLORREF kTrayColor = RGB(44, 44, 44);
const COLORREF kToolbarColor = RGB(58, 58, 58);
const COLORREF kToolbarFrame = RGB(96, 96, 96);

std::atomic<unsigned long long> g_screenGeneration{1};
std::atomic<unsigned long long> g_presentedGeneration{0};

std::condition_variable& SettleChanged() {
    static auto* changed = new std::condition_variable;
    return *changed;
}

struct CPresenterSlot {
    std::mutex mutex;
    std::unique_ptr<desktop::CPresenter> presenter = desktop::MakePngPresenter();
};

CPresenterSlot& Presenter() {
    static auto* slot = new CPresenterSlot;
    return *slot;
}

int Scaled(const nlohmann::json& value, int fallback, UINT dpi) {
    const int length = value.is_number_integer() ? value.get<int>() : fallback;
    return MulDiv(std::max(0, length), static_cast<int>(dpi), 96);
}

HWND MakeShellWindow(LPCWSTR className, HWND parent, DWORD style, DWORD exStyle, const RECT& rect) {
    const HWND hwnd =
        CreateWindowExW(exStyle, className, L"", style, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, parent, nullptr, nullptr, nullptr);
    Lock lock = LockWindows();
    if (CWindow* window = FindLocked(hwnd)) {
        window->threadId = 0;
    }
    return hwnd;
}

} // namespace

RECT VirtualScreenRect() {
    RECT bounds{};
    for (const ScreenMonitor& monitor : ScreenMonitors()) {
        UnionRect(&bounds, &bounds, &monitor.bounds);
    }
    return bounds;
}

// The taskbar along the primary monitor's bottom edge: the notification area at its right end, the
// rebar from the start button to it, and in the rebar the toolbar at its right end. The facts
// "/display/shell" give the widths at 96 DPI ({"startWidth", "trayNotifyWidth", "toolbar": {"width"}});
// without a "toolbar" entry the rebar holds no toolbar.
void CreateShellWindows() {
    const std::vector<ScreenMonitor> monitors = ScreenMonitors();
    if (monitors.empty() || IsRectEmpty(&monitors.front().taskbar)) {
        return;
    }
    const ScreenMonitor& primary = monitors.front();
    const nlohmann::json shell = MachineFact("/display/shell");
    const nlohmann::json facts = shell.is_object() ? shell : nlohmann::json::object();
    const RECT bar = primary.taskbar;
    const LONG height = bar.bottom - bar.top;
    const LONG width = bar.right - bar.left;
    const LONG trayWidth =
        std::min<LONG>(width, Scaled(facts.value("trayNotifyWidth", nlohmann::json()), 300, primary.dpi));
    const LONG startWidth = std::min<LONG>(
        width - trayWidth, Scaled(facts.value("startWidth", nlohmann::json()), 48, primary.dpi));

    const HWND tray = MakeShellWindow(L"Shell_TrayWnd", nullptr, WS_POPUP | WS_CLIPCHILDREN,
                                      WS_EX_TOPMOST | WS_EX_TOOLWINDOW, bar);
    MakeShellWindow(L"TrayNotifyWnd", tray, WS_CHILD | WS_VISIBLE, 0,
                    RECT{width - trayWidth, 0, width, height});
    const LONG rebarWidth = width - trayWidth - startWidth;
    const HWND rebar = MakeShellWindow(L"ReBarWindow32", tray, WS_CHILD | WS_VISIBLE, 0,
                                       RECT{startWidth, 0, startWidth + rebarWidth, height});
    const auto toolbar = facts.find("toolbar");
    if (toolbar != facts.end() && toolbar->is_object()) {
        const LONG toolbarWidth =
            std::min<LONG>(rebarWidth, Scaled(toolbar->value("width", nlohmann::json()), 120, primary.dpi));
        MakeShellWindow(L"Corvex Rigpanel Ampwise", rebar, WS_CHILD | WS_VISIBLE, 0,
                        RECT{rebarWidth - toolbarWidth, 0, rebarWidth, height});
    }
    ShowWindow(tray, SW_SHOWNA);
    PaintShellWindow(GetDesktopWindow());
}

LRESULT DesktopProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        if (HDC hdc = BeginPaint(hwnd, &ps)) {
            FillSolid(hdc, ps.rcPaint, GetSysColor(COLOR_BACKGROUND));
            EndPaint(hwnd, &ps);
        }
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT ShellWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    const std::wstring name = className;
    PAINTSTRUCT ps;
    if (HDC hdc = BeginPaint(hwnd, &ps)) {
        RECT client;
        GetClientRect(hwnd, &client);
        if (name == L"TrayNotifyWnd") {
            FillSolid(hdc, client, kTrayColor);
        } else if (name == L"Corvex Rigpanel Ampwise") {
            FillSolid(hdc, client, kToolbarColor);
            DrawFrame(hdc, client, kToolbarFrame);
        } else {
            FillSolid(hdc, client, kTaskbarColor);
        }
        EndPaint(hwnd, &ps);
    }
    return 0;
}

void ScreenChangedLocked() {
    ++g_screenGeneration;
}

void NotifySettleWaitersLocked() {
    SettleChanged().notify_all();
}

void OnThreadIdle() {
    {
        Lock lock = LockWindows();
        if (!ThreadHasWindowsLocked(GetCurrentThreadId())) {
            return;
        }
    }
    const unsigned long long generation = g_screenGeneration.load();
    if (g_presentedGeneration.exchange(generation) == generation) {
        return;
    }
    const desktop::CScreenImage screen = desktop::ComposeScreen();
    auto& slot = Presenter();
    const std::lock_guard<std::mutex> lock(slot.mutex);
    if (slot.presenter) {
        slot.presenter->Present(screen);
    }
}

} // namespace platform::window

namespace platform::desktop {

using namespace platform::window;

namespace {

class CPngPresenter : public CPresenter {
public:
    void Present(const CScreenImage& screen) override {
        const std::filesystem::path folder = MachineFolderPath();
        if (!MachineExists(folder) || (screen.width == m_last.width && screen.pixels == m_last.pixels)) {
            return;
        }
        if (screen.WritePng(folder / "screen.png")) {
            m_last = screen;
        }
    }

private:
    CScreenImage m_last;
};

bool IsSettledLocked(DWORD caller) {
    bool settled = true;
    ForEachQueueLocked([&](CThreadQueue& queue) {
        if (queue.threadId == caller || !ThreadHasWindowsLocked(queue.threadId)) {
            return;
        }
        const bool hoverPending = queue.tracking.hwnd && (queue.tracking.flags & TME_HOVER);
        settled = settled && queue.waiting && queue.sent.empty() && queue.posted.empty() &&
                  queue.input.empty() && !queue.quit && !hoverPending &&
                  !NextWindowToPaintLocked(queue.threadId);
    });
    return settled;
}

} // namespace

COLORREF CScreenImage::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return CLR_INVALID;
    }
    const std::uint32_t pixel =
        pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

bool CScreenImage::WritePng(const std::filesystem::path& file) const {
    if (width <= 0 || height <= 0) {
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        std::memcpy(data + static_cast<size_t>(y) * static_cast<size_t>(stride),
                    &pixels[static_cast<size_t>(y) * static_cast<size_t>(width)],
                    static_cast<size_t>(width) * 4);
    }
    cairo_surface_mark_dirty(surface);
    std::filesystem::path temporary = file;
    temporary += ".tmp" + std::to_string(GetCurrentThreadId());
    const bool written = cairo_surface_write_to_png(surface, temporary.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    std::error_code error;
    if (written) {
        std::filesystem::rename(temporary, file, error);
    }
    return written && !error;
}

std::unique_ptr<CPresenter> MakePngPresenter() {
    return std::make_unique<CPngPresenter>();
}

std::unique_ptr<CPresenter> SetPresenter(std::unique_ptr<CPresenter> presenter) {
    auto& slot = Presenter();
    const std::lock_guard<std::mutex> lock(slot.mutex);
    std::unique_ptr<CPresenter> previous = std::move(slot.presenter);
    slot.presenter = presenter ? std::move(presenter) : MakePngPresenter();
    g_presentedGeneration = 0;
    return previous;
}

RECT ScreenRect() {
    EnsureDesktop();
    RECT rect{};
    GetWindowRect(GetDesktopWindow(), &rect);
    return rect;
}

CScreenImage ComposeScreen() {
    EnsureDesktop();
    PaintShellWindow(GetDesktopWindow());
    Lock lock = LockWindows();
    const CWindow* desktop = DesktopLocked();
    const RECT bounds = desktop->rect;
    CScreenImage image;
    image.width = std::max<LONG>(0, bounds.right - bounds.left);
    image.height = std::max<LONG>(0, bounds.bottom - bounds.top);
    if (image.width == 0 || image.height == 0) {
        return image;
    }
    cairo_surface_t* screen = cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height);
    cairo_t* cr = cairo_create(screen);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    {
        const auto gdiLock = platform::gdi::LockGdi();
        auto blit = [&](const CWindow& window, LONG x, LONG y) {
            if (!window.surface) {
                return;
            }
            cairo_surface_flush(window.surface);
            cairo_save(cr);
            cairo_rectangle(cr, x, y, window.rect.right - window.rect.left,
                            window.rect.bottom - window.rect.top);
            cairo_clip(cr);
            cairo_set_source_surface(cr, window.surface, x, y);
            cairo_paint(cr);
            cairo_restore(cr);
        };
        blit(*desktop, 0, 0);
        for (auto it = desktop->children.rbegin(); it != desktop->children.rend(); ++it) {
            if ((*it)->style & WS_VISIBLE) {
                blit(**it, (*it)->rect.left - bounds.left, (*it)->rect.top - bounds.top);
            }
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(screen);
    const unsigned char* data = cairo_image_surface_get_data(screen);
    const int stride = cairo_image_surface_get_stride(screen);
    image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) *
                                                                            static_cast<size_t>(stride));
        for (int x = 0; x < image.width; ++x) {
            image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)] =
                row[x] & 0x00FFFFFFu;
        }
    }
    cairo_surface_destroy(screen);
    return image;
}

bool WaitUntilSettled(DWORD timeoutMs) {
    EnsureDesktop();
    const DWORD caller = GetCurrentThreadId();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Lock lock = LockWindows();
    // Hover deadlines pass without any message: look again now and then.
    while (!IsSettledLocked(caller)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        SettleChanged().wait_for(lock, std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace platform::desktop
