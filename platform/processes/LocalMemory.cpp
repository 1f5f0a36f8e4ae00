// Local memory: fixed blocks, known to the layer, so that freeing a pointer that is no live block (twice,
// or one never allocated here) fails as on Windows instead of corrupting the heap.
#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "platform/processes.h"

namespace platform {

namespace {

struct CLocalBlocks {
    std::mutex mutex;
    std::unordered_set<void*> live;
};

// Never destroyed: blocks may be freed while the process exits.
CLocalBlocks& Blocks() {
    static auto* blocks = new CLocalBlocks;
    return *blocks;
}

} // namespace

} // namespace platform

HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    if (uFlags & LMEM_MOVEABLE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (uFlags & ~LMEM_ZEROINIT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // A zero-byte block is still a distinct, freeable block.
    void* block =
        (uFlags & LMEM_ZEROINIT) ? std::calloc(uBytes ? uBytes : 1, 1) : std::malloc(uBytes ? uBytes : 1);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto& blocks = platform::Blocks();
    std::lock_guard lock(blocks.mutex);
    blocks.live.insert(block);
    return block;
}

HLOCAL LocalFree(HLOCAL hMem) {
    if (!hMem) {
        return nullptr;
    }
    auto& blocks = platform::Blocks();
    {
        std::lock_guard lock(blocks.mutex);
        if (blocks.live.erase(hMem) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return hMem;
        }
    }
    std::free(hMem);
    return nullptr;
}
