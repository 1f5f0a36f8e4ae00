#include "services/CrashDump.h"

#include <cstring>

#include "platform/com.h"
#include "platform/files.h"
#include "platform/libraries.h"
#include "platform/shell.h"
#include "platform/strings.h"
#include "platform/time.h"

namespace {

const wchar_t* const kDumpFolderTail = L"Low\\Corvex\\ampwise\\dump";
const wchar_t* const kDumpFilePrefix = L"flipdeck";
const wchar_t* const kDumpPathFormat = L"%s\\%s-%04d%02d%02d-%02d%02d%02d-%ld-%ld.dmp";
const wchar_t* const kDumpNameFormat = L"%s-%04d%02d%02d-%02d%02d%02d-%ld-%ld.dmp";
const size_t kSystemPathChars = 1024;
const BYTE kRelativeJump = 0xE9;
const size_t kJumpSize = 5;

// Formats into the buffer; false when the text does not fit (it is then not used as a path).
template <size_t N> bool FormatPath(wchar_t (&szBuffer)[N], const wchar_t* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    const int nLength = _vsnwprintf_s(szBuffer, N, _TRUNCATE, pszFormat, args);
    va_end(args);
    return nLength >= 0;
}

// The dump folder beside the local application data folder, made when missing; false without it.
bool GetDumpFolder(wchar_t (&szFolder)[MAX_PATH]) {
    wchar_t szLocalAppData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                szLocalAppData))) {
        return false;
    }
    if (!FormatPath(szFolder, L"%s%s", szLocalAppData, kDumpFolderTail)) {
        return false;
    }
    return _waccess(szFolder, 0) == 0 || _wmkdir(szFolder) == 0;
}

// The length of the file name without extension that _wsplitpath_s finds. A name too long for its buffer
// is no ntdll, and must not reach _wsplitpath_s: it reports that as an invalid parameter, which the
// installed handler turns into an exception inside the dump writer.
size_t FileNameLength(const wchar_t* pszPath) {
    const wchar_t* pszName = pszPath[0] && pszPath[1] == L':' ? pszPath + 2 : pszPath;
    for (const wchar_t* p = pszName; *p; ++p) {
        if (*p == L'\\' || *p == L'/') {
            pszName = p + 1;
        }
    }
    const wchar_t* pszDot = wcsrchr(pszName, L'.');
    return pszDot ? static_cast<size_t>(pszDot - pszName) : wcslen(pszName);
}

} // namespace

LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* pExceptionInfo) {
    SYSTEMTIME st = {};
    GetLocalTime(&st);
    const long nProcessId = static_cast<long>(GetCurrentProcessId());
    const long nThreadId = static_cast<long>(GetCurrentThreadId());
    wchar_t szFolder[MAX_PATH] = {};
    wchar_t szDumpFile[MAX_PATH] = {};
    const bool bInFolder =
        GetDumpFolder(szFolder) &&
        FormatPath(szDumpFile, kDumpPathFormat, szFolder, kDumpFilePrefix, st.wYear, st.wMonth, st.wDay,
                   st.wHour, st.wMinute, st.wSecond, nProcessId, nThreadId);
    if (!bInFolder) {
        FormatPath(szDumpFile, kDumpNameFormat, kDumpFilePrefix, st.wYear, st.wMonth, st.wDay, st.wHour,
                   st.wMinute, st.wSecond, nProcessId, nThreadId);
    }
    WriteCrashDump(pExceptionInfo, szDumpFile);
    return EXCEPTION_EXECUTE_HANDLER;
}

void WriteCrashDump(EXCEPTION_POINTERS* pExceptionInfo, const wchar_t* pszDumpFile) {
    HANDLE hFile = CreateFileW(pszDumpFile, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return;
    }
    MINIDUMP_EXCEPTION_INFORMATION exceptionInfo = {GetCurrentThreadId(), pExceptionInfo, FALSE};
    MINIDUMP_CALLBACK_INFORMATION callbackInfo = {MiniDumpModuleCallback, nullptr};
    MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), hFile, MiniDumpNormal,
                      pExceptionInfo ? &exceptionInfo : nullptr, nullptr, &callbackInfo);
    CloseHandle(hFile);
}

BOOL CALLBACK MiniDumpModuleCallback(PVOID pCallbackParam, const PMINIDUMP_CALLBACK_INPUT pCallbackInput,
                                     PMINIDUMP_CALLBACK_OUTPUT pCallbackOutput) {
    if (!pCallbackInput || !pCallbackOutput) {
        return FALSE;
    }
    switch (pCallbackInput->CallbackType) {
    case ModuleCallback:
        if ((pCallbackOutput->ModuleWriteFlags & ModuleWriteDataSeg) &&
            !IsNtdllModule(pCallbackInput->Module.FullPath)) {
            pCallbackOutput->ModuleWriteFlags &= ~ModuleWriteDataSeg;
        }
        return TRUE;
    case ThreadCallback:
    case ThreadExCallback:
    case IncludeThreadCallback:
    case IncludeModuleCallback:
        return TRUE;
    default:
        return FALSE;
    }
}

bool IsNtdllModule(const wchar_t* pszModulePath) {
    if (!pszModulePath) {
        return false;
    }
    wchar_t szName[_MAX_FNAME] = {};
    if (FileNameLength(pszModulePath) >= _MAX_FNAME ||
        _wsplitpath_s(pszModulePath, nullptr, 0, nullptr, 0, szName, _MAX_FNAME, nullptr, 0) != 0) {
        return false;
    }
    return _wcsicmp(szName, L"ntdll") == 0;
}

void ThrowOnRuntimeError() {
    throw 1;
}

void ThrowOnRuntimeError(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {
    ThrowOnRuntimeError();
}

bool LoadSystemKernel32(HMODULE& hModule) {
    hModule = nullptr;
    PWSTR pszSystem = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_System, 0, nullptr, &pszSystem))) {
        return false;
    }
    wchar_t szPath[kSystemPathChars] = {};
    const bool bMade = FormatPath(szPath, L"%s\\kernel32.dll", pszSystem);
    CoTaskMemFree(pszSystem);
    if (!bMade || !PathFileExistsW(szPath)) {
        return false;
    }
    hModule = LoadLibraryW(szPath);
    return hModule != nullptr;
}

bool LockUnhandledExceptionFilter() {
    HMODULE hKernel32 = nullptr;
    if (!LoadSystemKernel32(hKernel32)) {
        return false;
    }
    bool bWritten = false;
    if (FARPROC pfnExport = GetProcAddress(hKernel32, "SetUnhandledExceptionFilter")) {
        const auto uExport = reinterpret_cast<ULONG_PTR>(pfnExport);
        const auto uTarget = reinterpret_cast<ULONG_PTR>(&IgnoreUnhandledExceptionFilter);
        const auto dwDisplacement = static_cast<DWORD>(uTarget - uExport - kJumpSize);
        BYTE patch[kJumpSize] = {kRelativeJump};
        std::memcpy(patch + 1, &dwDisplacement, sizeof(dwDisplacement));
        SIZE_T nWritten = 0;
        bWritten = WriteProcessMemory(GetCurrentProcess(), reinterpret_cast<LPVOID>(pfnExport), patch,
                                      sizeof(patch), &nWritten) &&
                   nWritten == sizeof(patch);
    }
    FreeLibrary(hKernel32);
    return bWritten;
}

LPTOP_LEVEL_EXCEPTION_FILTER WINAPI IgnoreUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER) {
    return nullptr;
}

void InstallCrashHandlers() {
    _set_abort_behavior(0, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
    _set_invalid_parameter_handler(ThrowOnRuntimeError);
    _set_purecall_handler(ThrowOnRuntimeError);
    SetUnhandledExceptionFilter(CrashDumpFilter);
    LockUnhandledExceptionFilter();
}
