// Helpers of the framework window tests: dialog templates as the program's resources for the test's
// lifetime, and the thread's message pump with the framework's pre-translation.
#pragma once

#include <chrono>
#include <cstddef>
#include <thread>

#include "platform/framework_window.h"
#include "platform/resources/ModuleResources.h"

namespace window_test {

template <std::size_t N> platform::EmbeddedFile File(const char* name, const char (&text)[N]) {
    return platform::EmbeddedFile{name, reinterpret_cast<const unsigned char*>(text), N - 1};
}

// Puts the dialog table (ended by a null entry) in place of the program's resources while it lives.
class CDialogResources {
public:
    explicit CDialogResources(const platform::EmbeddedFile* dialogs)
        : m_resources{kNone, kNone, dialogs}, m_pPrevious(platform::SetProgramResources(&m_resources)) {}
    ~CDialogResources() { platform::SetProgramResources(m_pPrevious); }
    CDialogResources(const CDialogResources&) = delete;
    CDialogResources& operator=(const CDialogResources&) = delete;

private:
    static constexpr platform::EmbeddedFile kNone[] = {platform::EmbeddedFile{nullptr, nullptr, 0}};
    const platform::ModuleResources m_resources;
    const platform::ModuleResources* m_pPrevious;
};

// Runs the thread's messages as the framework's pump does (pre-translation first) until the condition
// holds or the time is up. The first idle moment presents the whole screen, which takes a while under
// the sanitizers, so the bound is generous.
template <typename Condition>
bool PumpUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    MSG msg;
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

// Runs the thread's messages for a while, for what must not happen.
inline void PumpFor(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, time);
}

} // namespace window_test
