#include "platform/com.h"

#include <cwchar>

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) {
        return E_INVALIDARG;
    }
    if (!lpsz) {
        *pclsid = CLSID_NULL;
        return S_OK;
    }
    const std::wstring_view text(lpsz);
    GUID parsed{};
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}' ||
        !platform::ParseGuidDigits(text.substr(1, 36), parsed)) {
        return CO_E_CLASSSTRING;
    }
    *pclsid = parsed;
    return S_OK;
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    constexpr int kLength = 39;
    if (!lpsz || cchMax < kLength) {
        return 0;
    }
    std::swprintf(lpsz, static_cast<size_t>(cchMax), L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(rguid.Data1), rguid.Data2, rguid.Data3, rguid.Data4[0],
                  rguid.Data4[1], rguid.Data4[2], rguid.Data4[3], rguid.Data4[4], rguid.Data4[5],
                  rguid.Data4[6], rguid.Data4[7]);
    return kLength;
}
