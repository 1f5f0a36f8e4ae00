// Kernel objects and threads: handles, events, waits, mutexes (named ones across processes), threads
// with the run-time's _beginthreadex and the layer's count of live workers, Sleep, process and thread ids.
#pragma once

#include "platform/base.h"

BOOL CloseHandle(HANDLE hObject);
HANDLE CreateEventW(void* lpEventAttributes, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
