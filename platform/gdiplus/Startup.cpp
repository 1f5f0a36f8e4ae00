#include <atomic>
#include <mutex>
#include <set>

#include "platform/gdiplus/Native.h"

namespace Gdiplus {

namespace {

std::mutex g_startupLock;
std::set<ULONG_PTR> g_tokens;
ULONG_PTR g_lastToken = 0;
std::atomic<bool> g_bStarted{false};

} // namespace

bool IsGdiplusStarted() {
    return g_bStarted.load();
}

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
    if (!token || !input || (input->SuppressBackgroundThread && !output)) {
        return InvalidParameter;
    }
    if (input->GdiplusVersion != 1) {
        return UnsupportedGdiplusVersion;
    }
    // The notification hooks for a program that runs GDI+'s background work itself are not offered.
    if (input->SuppressBackgroundThread) {
        return NotImplemented;
    }
    std::lock_guard guard(g_startupLock);
    *token = ++g_lastToken;
    g_tokens.insert(*token);
    g_bStarted = true;
    if (output) {
        *output = GdiplusStartupOutput{nullptr, nullptr};
    }
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
    std::lock_guard guard(g_startupLock);
    g_tokens.erase(token);
    g_bStarted = !g_tokens.empty();
}

} // namespace Gdiplus
