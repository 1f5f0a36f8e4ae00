#include "platform/com.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr size_t kPrefixBytes = sizeof(DWORD);
// The largest byte length whose block (prefix, characters rounded up, terminator) keeps a 32-bit prefix.
constexpr size_t kMaxByteLength = std::numeric_limits<DWORD>::max() - kPrefixBytes - 2 * sizeof(OLECHAR);

// A block [byte length][bytes, zero padding to whole characters][null character]; the BSTR points
// behind the length. Without a source the bytes are zero.
BSTR AllocateBytes(const void* source, size_t byteLength) {
    if (byteLength > kMaxByteLength) {
        return nullptr;
    }
    const size_t padded = (byteLength + sizeof(OLECHAR) - 1) / sizeof(OLECHAR) * sizeof(OLECHAR);
    const size_t total = kPrefixBytes + padded + sizeof(OLECHAR);
    auto* block = static_cast<BYTE*>(std::malloc(total));
    if (!block) {
        return nullptr;
    }
    const auto prefix = static_cast<DWORD>(byteLength);
    std::memcpy(block, &prefix, kPrefixBytes);
    BYTE* data = block + kPrefixBytes;
    if (source) {
        std::memcpy(data, source, byteLength);
    } else {
        std::memset(data, 0, byteLength);
    }
    std::memset(data + byteLength, 0, total - kPrefixBytes - byteLength);
    return reinterpret_cast<BSTR>(data);
}

BYTE* BlockOf(BSTR bstr) {
    return reinterpret_cast<BYTE*>(bstr) - kPrefixBytes;
}

} // namespace

BSTR SysAllocString(const OLECHAR* psz) {
    return psz ? SysAllocStringLen(psz, std::wcslen(psz)) : nullptr;
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    return AllocateBytes(strIn, static_cast<size_t>(ui) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) {
    return AllocateBytes(psz, len);
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (!pbstr) {
        return FALSE;
    }
    // Made before the old one is freed: the new text may lie inside it.
    BSTR fresh = SysAllocStringLen(psz, psz ? static_cast<UINT>(std::wcslen(psz)) : 0);
    if (!fresh) {
        return FALSE;
    }
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

void SysFreeString(BSTR bstrString) {
    if (bstrString) {
        std::free(BlockOf(bstrString));
    }
}

UINT SysStringByteLen(BSTR bstr) {
    if (!bstr) {
        return 0;
    }
    DWORD byteLength = 0;
    std::memcpy(&byteLength, BlockOf(bstr), kPrefixBytes);
    return byteLength;
}

UINT SysStringLen(BSTR pbstr) {
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}
