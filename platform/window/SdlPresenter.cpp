// The window presenter: its own thread owns the SDL window, shows the newest screen the user-interface
// thread handed over, and turns SDL's input events into the same input calls a test makes (never a
// window procedure directly). The window's logical size is the screen's, so SDL scales the mouse's
// coordinates when the window is smaller.
#include "platform/window/SdlPresenter.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>

namespace platform::desktop {

namespace {

struct CKeyMapping {
    SDL_Keycode key;
    BYTE vk;
};

const CKeyMapping kKeys[] = {
    {SDLK_RETURN, VK_RETURN},  {SDLK_ESCAPE, VK_ESCAPE}, {SDLK_TAB, VK_TAB},      {SDLK_SPACE, VK_SPACE},
    {SDLK_BACKSPACE, VK_BACK}, {SDLK_DELETE, VK_DELETE}, {SDLK_LEFT, VK_LEFT},    {SDLK_RIGHT, VK_RIGHT},
    {SDLK_UP, VK_UP},          {SDLK_DOWN, VK_DOWN},     {SDLK_HOME, VK_HOME},    {SDLK_END, VK_END},
    {SDLK_PAGEUP, VK_PRIOR},   {SDLK_PAGEDOWN, VK_NEXT}, {SDLK_LSHIFT, VK_SHIFT}, {SDLK_RSHIFT, VK_SHIFT},
    {SDLK_LCTRL, VK_CONTROL},  {SDLK_RCTRL, VK_CONTROL}, {SDLK_LALT, VK_MENU},    {SDLK_RALT, VK_MENU},
};

BYTE VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return static_cast<BYTE>('A' + (key - SDLK_a));
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return static_cast<BYTE>('0' + (key - SDLK_0));
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return static_cast<BYTE>(VK_F1 + (key - SDLK_F1));
    }
    for (const auto& mapping : kKeys) {
        if (mapping.key == key) {
            return mapping.vk;
        }
    }
    return 0;
}

EButton ButtonOf(Uint8 button) {
    return button == SDL_BUTTON_RIGHT    ? EButton::Right
           : button == SDL_BUTTON_MIDDLE ? EButton::Middle
                                         : EButton::Left;
}

// The screen point of a point in the window's logical (screen-sized) coordinates.
POINT ScreenPoint(const RECT& bounds, int x, int y) {
    return POINT{std::clamp<LONG>(bounds.left + x, bounds.left, bounds.right - 1),
                 std::clamp<LONG>(bounds.top + y, bounds.top, bounds.bottom - 1)};
}

// Delivers one SDL event as the system's input on the screen of those bounds; false when the window was
// closed.
bool DeliverInput(const SDL_Event& event, const RECT& bounds) {
    switch (event.type) {
    case SDL_MOUSEMOTION:
        MoveMouse(ScreenPoint(bounds, event.motion.x, event.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        Button(ButtonOf(event.button.button), event.type == SDL_MOUSEBUTTONDOWN,
               ScreenPoint(bounds, event.button.x, event.button.y));
        break;
    case SDL_MOUSEWHEEL: {
        POINT cursor{};
        GetCursorPos(&cursor);
        Wheel(cursor, event.wheel.y * WHEEL_DELTA);
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (const BYTE vk = VirtualKey(event.key.keysym.sym)) {
            Key(vk, event.type == SDL_KEYDOWN);
        }
        break;
    case SDL_WINDOWEVENT:
        // The person turned to another window: the program loses the foreground to the desktop.
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            SetForegroundWindow(GetDesktopWindow());
        }
        break;
    case SDL_QUIT:
        return false;
    default:
        break;
    }
    return true;
}

// The window and what draws into it, made and used on the presenter's thread only.
struct CSdlWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    // The screen the texture shows.
    RECT bounds{};

    ~CSdlWindow() {
        if (texture) {
            SDL_DestroyTexture(texture);
        }
        if (renderer) {
            SDL_DestroyRenderer(renderer);
        }
        if (window) {
            SDL_DestroyWindow(window);
        }
    }

    int Width() const { return bounds.right - bounds.left; }
    int Height() const { return bounds.bottom - bounds.top; }

    bool Open(const RECT& screen) {
        window =
            SDL_CreateWindow("FlipdeckEx", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             screen.right - screen.left, screen.bottom - screen.top, SDL_WINDOW_RESIZABLE);
        renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
        return renderer && Resize(screen);
    }

    // A texture of the screen's size; the window keeps its size, and SDL scales to it.
    bool Resize(const RECT& screen) {
        if (texture && EqualRect(&screen, &bounds)) {
            return true;
        }
        if (texture) {
            SDL_DestroyTexture(texture);
        }
        bounds = screen;
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, Width(),
                                    Height());
        return texture && SDL_RenderSetLogicalSize(renderer, Width(), Height()) == 0;
    }
};

class CWindowPresenter : public CPresenter {
public:
    CWindowPresenter() : m_presentEvent(SDL_RegisterEvents(1)) {}

    ~CWindowPresenter() override {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_bRunning) {
                SDL_Event quit{};
                quit.type = SDL_QUIT;
                SDL_PushEvent(&quit);
            }
        }
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    bool Start() {
        std::promise<bool> opened;
        std::future<bool> result = opened.get_future();
        // The desktop is made (when it is not yet) on the caller's thread, not on the presenter's.
        const RECT screen = ScreenRect();
        m_thread = std::thread([this, &opened, screen] { Run(opened, screen); });
        return result.get();
    }

    void Present(const CScreenImage& screen) override {
        const RECT bounds = ScreenRect();
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_screen = screen;
        m_bounds = bounds;
        if (m_bRunning) {
            SDL_Event event{};
            event.type = m_presentEvent;
            SDL_PushEvent(&event);
        }
    }

private:
    // SDL's video belongs to the thread that starts it: the window, its events and the shut-down all
    // happen here.
    void Run(std::promise<bool>& opened, const RECT& screen) {
        // The program's own signals stay the program's.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // The software renderer shows its pixels through the window's own framebuffer, not through an
        // OpenGL renderer behind it: exact pixels, and no graphics driver loaded.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        if (m_presentEvent == static_cast<Uint32>(-1) || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            SDL_TLSCleanup();
            opened.set_value(false);
            return;
        }
        {
            CSdlWindow window;
            const bool open = window.Open(screen);
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_bRunning = open;
            }
            opened.set_value(open);
            if (open) {
                Loop(window);
            }
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_bRunning = false;
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        // The thread is not one SDL made: its per-thread data (the error text) goes with it here.
        SDL_TLSCleanup();
    }

    void Loop(CSdlWindow& window) {
        SDL_Event event;
        while (SDL_WaitEvent(&event)) {
            if (event.type == m_presentEvent || event.type == SDL_WINDOWEVENT) {
                Show(window);
            }
            if (event.type != m_presentEvent && !DeliverInput(event, window.bounds)) {
                return;
            }
        }
    }

    void Show(CSdlWindow& window) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            // A screen composed before the monitors changed waits for the next one.
            if (m_screen.width > 0 && window.Resize(m_bounds) && m_screen.width == window.Width() &&
                m_screen.height == window.Height()) {
                SDL_UpdateTexture(window.texture, nullptr, m_screen.pixels.data(), m_screen.width * 4);
            }
        }
        SDL_RenderClear(window.renderer);
        SDL_RenderCopy(window.renderer, window.texture, nullptr, nullptr);
        SDL_RenderPresent(window.renderer);
    }

    const Uint32 m_presentEvent;
    std::mutex m_mutex;
    CScreenImage m_screen;
    RECT m_bounds{};
    bool m_bRunning = false;
    std::thread m_thread;
};

} // namespace

bool DisplayIsSet() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

std::unique_ptr<CPresenter> MakeWindowPresenter() {
    auto presenter = std::make_unique<CWindowPresenter>();
    return presenter->Start() ? std::move(presenter) : nullptr;
}

void PresentOnDisplayWhenSet() {
    if (!DisplayIsSet()) {
        return;
    }
    if (std::unique_ptr<CPresenter> presenter = MakeWindowPresenter()) {
        SetPresenter(std::move(presenter));
    }
}

} // namespace platform::desktop
