// COM: HRESULT helpers, GUIDs, IUnknown and IDispatch, BSTR, the compiler's COM support classes,
// task memory, apartment initialisation and class creation through the machine's registry.
#pragma once

#include "platform/base.h"

LPVOID CoTaskMemAlloc(SIZE_T cb);
void CoTaskMemFree(LPVOID pv);
