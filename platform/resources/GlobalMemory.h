// Access to the bytes of global memory blocks for the memory streams, under the blocks' lock.
#pragma once

#include <optional>

#include "platform/resources.h"

namespace platform {

std::optional<SIZE_T> GlobalBlockSize(HGLOBAL hMem);
// Copies up to size bytes from offset; the number copied, or nullopt for a bad handle.
std::optional<SIZE_T> ReadGlobalBlock(HGLOBAL hMem, SIZE_T offset, void* buffer, SIZE_T size);
// Writes at offset, growing the block as needed; false for a bad handle or a block that cannot grow
// (fixed, or locked while it would have to move).
bool WriteGlobalBlock(HGLOBAL hMem, SIZE_T offset, const void* data, SIZE_T size);
bool ResizeGlobalBlock(HGLOBAL hMem, SIZE_T size);

} // namespace platform
