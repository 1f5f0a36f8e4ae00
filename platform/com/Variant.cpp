// VARIANT values: made empty, and cleared with what they hold.
#include "platform/com.h"

void VariantInit(VARIANT* pvarg) {
    if (pvarg) {
        *pvarg = VARIANT{};
    }
}

HRESULT VariantClear(VARIANT* pvarg) {
    if (!pvarg) {
        return E_INVALIDARG;
    }
    switch (pvarg->vt) {
    case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
    case VT_UNKNOWN:
        if (pvarg->punkVal) {
            pvarg->punkVal->Release();
        }
        break;
    case VT_DISPATCH:
        if (pvarg->pdispVal) {
            pvarg->pdispVal->Release();
        }
        break;
    default:
        break;
    }
    *pvarg = VARIANT{};
    return S_OK;
}
