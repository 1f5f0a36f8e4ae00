#include "platform/com.h"

#include <cstdlib>

// Task memory is the C heap, shared by the program and the modules it loads.
LPVOID CoTaskMemAlloc(SIZE_T cb) {
    return std::malloc(cb);
}

LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
    if (pv && cb == 0) {
        std::free(pv);
        return nullptr;
    }
    return std::realloc(pv, cb);
}

void CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}
