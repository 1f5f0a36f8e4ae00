// The window presenter: its own thread owns the SDL window, shows the newest screen the user-interface
// thread handed over, and turns SDL's input events into the same input calls a test makes (never a
// window procedure directly). The window's logical size is the screen's, so SDL scales the mouse's
// coordinates when the window is smaller.
#include "platform/window/SdlPresenter.h"

#include <SDL2/SDL.h>

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

// Delivers one SDL event as the system's input; false when the window was closed.
bool DeliverInput(const SDL_Event& event) {
    switch (event.type) {
    case SDL_MOUSEMOTION:
        MoveMouse(POINT{event.motion.x, event.motion.y});
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        Button(ButtonOf(event.button.button), event.type == SDL_MOUSEBUTTONDOWN,
               POINT{event.button.x, event.button.y});
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

class CWindowPresenter : public CPresenter {
public:
    CWindowPresenter() : m_presentEvent(SDL_RegisterEvents(1)) {}

    ~CWindowPresenter() override {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
        if (m_thread.joinable()) {
            m_thread.join();
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool Start() {
        std::promise<bool> opened;
        std::future<bool> result = opened.get_future();
        m_thread = std::thread([this, &opened] { Run(opened); });
        return result.get();
    }

    void Present(const CScreenImage& screen) override {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_screen = screen;
        }
        SDL_Event event{};
        event.type = m_presentEvent;
        SDL_PushEvent(&event);
    }

private:
    void Run(std::promise<bool>& opened) {
        const RECT bounds = ScreenRect();
        const int width = bounds.right - bounds.left;
        const int height = bounds.bottom - bounds.top;
        SDL_Window* window = SDL_CreateWindow("FlipdeckEx", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                              width, height, SDL_WINDOW_RESIZABLE);
        SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
        SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888,
                                                            SDL_TEXTUREACCESS_STREAMING, width, height)
                                        : nullptr;
        opened.set_value(texture != nullptr);
        if (texture) {
            SDL_RenderSetLogicalSize(renderer, width, height);
            Loop(renderer, texture, width, height);
        }
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

    void Loop(SDL_Renderer* renderer, SDL_Texture* texture, int width, int height) {
        SDL_Event event;
        while (SDL_WaitEvent(&event)) {
            if (event.type == m_presentEvent || event.type == SDL_WINDOWEVENT) {
                Show(renderer, texture, width, height);
            }
            if (event.type != m_presentEvent && !DeliverInput(event)) {
                return;
            }
        }
    }

    void Show(SDL_Renderer* renderer, SDL_Texture* texture, int width, int height) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_screen.width == width && m_screen.height == height) {
                SDL_UpdateTexture(texture, nullptr, m_screen.pixels.data(), width * 4);
            }
        }
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
    }

    const Uint32 m_presentEvent;
    std::mutex m_mutex;
    CScreenImage m_screen;
    std::thread m_thread;
};

} // namespace

bool DisplayIsSet() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

std::unique_ptr<CPresenter> MakeWindowPresenter() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return nullptr;
    }
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
