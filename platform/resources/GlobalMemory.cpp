// Global memory blocks: fixed ones reached by their address, movable ones by a handle and a lock count.
#include "platform/resources/GlobalMemory.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

// Blocks larger than this are refused, as memory would be.
constexpr SIZE_T kMaxBlockSize = SIZE_T{1} << 31;
// Movable handles are values that are no addresses, stepping by 8 from here.
constexpr uintptr_t kFirstMovableHandle = 0x20008;
constexpr uintptr_t kLastMovableHandle = 0x3FFFFFF8;

struct CGlobalBlock {
    std::vector<BYTE> bytes;
    bool bMoveable = false;
    int nLocks = 0;
};

class CGlobalBlocks {
public:
    static CGlobalBlocks& Instance() {
        static CGlobalBlocks blocks;
        return blocks;
    }

    HGLOBAL Insert(std::unique_ptr<CGlobalBlock> block) {
        uintptr_t value = 0;
        if (block->bMoveable) {
            do {
                m_lastMovable = m_lastMovable >= kLastMovableHandle ? kFirstMovableHandle : m_lastMovable + 8;
            } while (m_blocks.contains(m_lastMovable));
            value = m_lastMovable;
        } else {
            value = reinterpret_cast<uintptr_t>(block->bytes.data());
        }
        m_blocks.emplace(value, std::move(block));
        return reinterpret_cast<HGLOBAL>(value);
    }

    CGlobalBlock* Find(HGLOBAL handle) {
        const auto found = m_blocks.find(reinterpret_cast<uintptr_t>(handle));
        if (found == m_blocks.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        return found->second.get();
    }

    bool Erase(HGLOBAL handle) { return m_blocks.erase(reinterpret_cast<uintptr_t>(handle)) > 0; }

    std::mutex m_mutex;

private:
    uintptr_t m_lastMovable = kFirstMovableHandle;
    std::unordered_map<uintptr_t, std::unique_ptr<CGlobalBlock>> m_blocks;
};

std::unique_lock<std::mutex> LockBlocks() {
    return std::unique_lock(CGlobalBlocks::Instance().m_mutex);
}

bool Grow(CGlobalBlock& block, SIZE_T size) {
    if (size <= block.bytes.size()) {
        return true;
    }
    if (!block.bMoveable || block.nLocks > 0 || size > kMaxBlockSize) {
        return false;
    }
    block.bytes.resize(size);
    return true;
}

} // namespace

std::optional<SIZE_T> GlobalBlockSize(HGLOBAL hMem) {
    const auto lock = LockBlocks();
    const CGlobalBlock* block = CGlobalBlocks::Instance().Find(hMem);
    return block ? std::optional<SIZE_T>(block->bytes.size()) : std::nullopt;
}

std::optional<SIZE_T> ReadGlobalBlock(HGLOBAL hMem, SIZE_T offset, void* buffer, SIZE_T size) {
    const auto lock = LockBlocks();
    const CGlobalBlock* block = CGlobalBlocks::Instance().Find(hMem);
    if (!block) {
        return std::nullopt;
    }
    if (offset >= block->bytes.size()) {
        return 0;
    }
    const SIZE_T count = std::min(size, block->bytes.size() - offset);
    std::memcpy(buffer, block->bytes.data() + offset, count);
    return count;
}

bool WriteGlobalBlock(HGLOBAL hMem, SIZE_T offset, const void* data, SIZE_T size) {
    const auto lock = LockBlocks();
    CGlobalBlock* block = CGlobalBlocks::Instance().Find(hMem);
    if (!block || offset > kMaxBlockSize || size > kMaxBlockSize - offset || !Grow(*block, offset + size)) {
        return false;
    }
    if (size > 0) {
        std::memcpy(block->bytes.data() + offset, data, size);
    }
    return true;
}

bool ResizeGlobalBlock(HGLOBAL hMem, SIZE_T size) {
    const auto lock = LockBlocks();
    CGlobalBlock* block = CGlobalBlocks::Instance().Find(hMem);
    if (!block || !Grow(*block, size)) {
        return false;
    }
    block->bytes.resize(size);
    return true;
}

} // namespace platform

using namespace platform;

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    if (uFlags & ~(GMEM_MOVEABLE | GMEM_ZEROINIT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (dwBytes > kMaxBlockSize) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto block = std::make_unique<CGlobalBlock>();
    block->bMoveable = (uFlags & GMEM_MOVEABLE) != 0;
    // A fixed block is its address, which it needs even when empty.
    block->bytes.reserve(std::max<SIZE_T>(dwBytes, 1));
    block->bytes.resize(dwBytes);
    const auto lock = LockBlocks();
    return CGlobalBlocks::Instance().Insert(std::move(block));
}

LPVOID GlobalLock(HGLOBAL hMem) {
    const auto lock = LockBlocks();
    CGlobalBlock* block = CGlobalBlocks::Instance().Find(hMem);
    if (!block) {
        return nullptr;
    }
    if (!block->bMoveable) {
        return hMem;
    }
    if (block->bytes.empty()) {
        SetLastError(ERROR_DISCARDED);
        return nullptr;
    }
    ++block->nLocks;
    return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL hMem) {
    const auto lock = LockBlocks();
    CGlobalBlock* block = CGlobalBlocks::Instance().Find(hMem);
    if (!block) {
        return FALSE;
    }
    if (block->bMoveable && block->nLocks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (block->bMoveable && --block->nLocks > 0) {
        return TRUE;
    }
    SetLastError(NO_ERROR);
    return FALSE;
}

SIZE_T GlobalSize(HGLOBAL hMem) {
    return GlobalBlockSize(hMem).value_or(0);
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
    const auto lock = LockBlocks();
    if (!CGlobalBlocks::Instance().Erase(hMem)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    return nullptr;
}
