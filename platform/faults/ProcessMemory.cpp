// WriteProcessMemory on the calling process. Code is never written: the one patch the layer knows, a
// relative jump over the entry of SetUnhandledExceptionFilter, is kept and followed by that export.
#include <link.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/faults/FaultHandling.h"
#include "platform/processes.h"

namespace {

constexpr BYTE kRelativeJump = 0xE9;
constexpr SIZE_T kJumpSize = 5;
constexpr uintptr_t kLow32Bits = 0xFFFFFFFFu;
constexpr uintptr_t k4GiB = uintptr_t{1} << 32;

std::atomic<platform::FilterEntry> g_patchedEntry{nullptr};

struct CRange {
    uintptr_t begin;
    uintptr_t end;
    bool Holds(uintptr_t address) const { return address >= begin && address < end; }
    bool Overlaps(const CRange& other) const { return begin < other.end && other.begin < end; }
};

// Calls visit(range) for each executable segment of one loaded object.
template <class Visit> void ForEachCodeSegment(const dl_phdr_info& object, Visit&& visit) {
    for (ElfW(Half) i = 0; i < object.dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = object.dlpi_phdr[i];
        if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X)) {
            const uintptr_t begin = object.dlpi_addr + segment.p_vaddr;
            visit(CRange{begin, begin + segment.p_memsz});
        }
    }
}

int FindOverlappingCode(dl_phdr_info* object, size_t, void* data) {
    auto& [range, found] = *static_cast<std::pair<CRange, bool>*>(data);
    // Captured by name: clang 14 does not capture structured bindings.
    ForEachCodeSegment(*object, [&range = range, &found = found](const CRange& code) {
        found = found || code.Overlaps(range);
    });
    return found ? 1 : 0;
}

bool IsCode(const CRange& range) {
    std::pair<CRange, bool> search{range, false};
    dl_iterate_phdr(FindOverlappingCode, &search);
    return search.second;
}

// The address within the code of the object that holds `caller` whose low 32 bits are targetLow: where a
// near jump lands in a 32-bit address space. 0 when that code holds none.
struct CJumpSearch {
    uintptr_t caller;
    uintptr_t targetLow;
    uintptr_t target;
};

int FindJumpTarget(dl_phdr_info* object, size_t, void* data) {
    auto& search = *static_cast<CJumpSearch*>(data);
    bool holdsCaller = false;
    ForEachCodeSegment(*object,
                       [&](const CRange& code) { holdsCaller = holdsCaller || code.Holds(search.caller); });
    if (!holdsCaller) {
        return 0;
    }
    ForEachCodeSegment(*object, [&](const CRange& code) {
        uintptr_t candidate = (code.begin & ~kLow32Bits) | search.targetLow;
        if (candidate < code.begin) {
            candidate += k4GiB;
        }
        if (code.Holds(candidate)) {
            search.target = candidate;
        }
    });
    return 1;
}

uintptr_t FilterEntryAddress() {
    return reinterpret_cast<uintptr_t>(&SetUnhandledExceptionFilter);
}

// Keeps a jump written over the filter's entry; false when it is no jump into the writer's code.
bool KeepFilterPatch(const BYTE* patch, SIZE_T size, uintptr_t caller) {
    if (size != kJumpSize || patch[0] != kRelativeJump) {
        return false;
    }
    std::uint32_t displacement = 0;
    std::memcpy(&displacement, patch + 1, sizeof(displacement));
    CJumpSearch search{caller, (FilterEntryAddress() + kJumpSize + displacement) & kLow32Bits, 0};
    dl_iterate_phdr(FindJumpTarget, &search);
    if (!search.target) {
        return false;
    }
    g_patchedEntry = reinterpret_cast<platform::FilterEntry>(search.target);
    return true;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL WriteMemory(LPVOID address, LPCVOID buffer, SIZE_T size, SIZE_T* written, uintptr_t caller) {
    const CRange range{reinterpret_cast<uintptr_t>(address), reinterpret_cast<uintptr_t>(address) + size};
    if (range.Overlaps(CRange{FilterEntryAddress(), FilterEntryAddress() + kJumpSize})) {
        if (range.begin != FilterEntryAddress() ||
            !KeepFilterPatch(static_cast<const BYTE*>(buffer), size, caller)) {
            return Fail(ERROR_NOACCESS);
        }
        *written = size;
        return TRUE;
    }
    if (IsCode(range)) {
        return Fail(ERROR_NOACCESS);
    }
    // The kernel checks both ranges: an unwritable destination or unreadable source fails, never faults.
    iovec local{const_cast<void*>(buffer), size};
    iovec remote{address, size};
    const ssize_t copied = process_vm_writev(getpid(), &local, 1, &remote, 1, 0);
    *written = copied > 0 ? static_cast<SIZE_T>(copied) : 0;
    if (*written == size) {
        return TRUE;
    }
    return Fail(*written == 0 ? ERROR_NOACCESS : ERROR_PARTIAL_COPY);
}

} // namespace

platform::FilterEntry platform::PatchedFilterEntry() {
    return g_patchedEntry.load();
}

BOOL WINAPI WriteProcessMemory(HANDLE hProcess, LPVOID lpBaseAddress, LPCVOID lpBuffer, SIZE_T nSize,
                               SIZE_T* lpNumberOfBytesWritten) {
    SIZE_T written = 0;
    const auto caller = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    BOOL result = FALSE;
    if (hProcess != GetCurrentProcess()) {
        result = Fail(ERROR_ACCESS_DENIED);
    } else if (!lpBaseAddress || !lpBuffer) {
        result = Fail(ERROR_NOACCESS);
    } else {
        result = WriteMemory(lpBaseAddress, lpBuffer, nSize, &written, caller);
    }
    if (lpNumberOfBytesWritten) {
        *lpNumberOfBytesWritten = written;
    }
    return result;
}
