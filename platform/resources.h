// Resources of the program (PNG images by id, string tables by language), the thread's user-interface
// language that picks them, and the movable global memory and memory streams that carry resource bytes.
#pragma once

#include "platform/base.h"
#include "platform/com.h"
#include "platform/time.h"

// ---- Resource names and types ----
FLIPDECK_DECLARE_HANDLE(HRSRC);
#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_RCDATA MAKEINTRESOURCEW(10)

#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_LANG_NOT_FOUND 1815L

// Resources of the module NULL, the program; other modules have none (ERROR_RESOURCE_DATA_NOT_FOUND).
// The types held are the images of type "PNG" (named by integer id or "#id").
HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
#define FindResource FindResourceW
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID LockResource(HGLOBAL hResData);
DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);
// Resources stay loaded with their module: FALSE, as on 32-bit Windows.
BOOL FreeResource(HGLOBAL hResData);

// The string of that id in the string table of the thread's user-interface language (the table of
// the same primary language, then English, when there is none for the language itself). Copies at
// most cchBufferMax - 1 characters and a terminator; with cchBufferMax 0, *lpBuffer receives a
// read-only pointer to the string. The number of characters; 0 when the table has no such entry.
int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
#define LoadString LoadStringW

// ---- User-interface language ----
#define LANG_ENGLISH 0x09
#define LANG_GERMAN 0x07
#define LANG_KOREAN 0x12
#define SUBLANG_ENGLISH_US 0x01
#define SUBLANG_GERMAN 0x01
#define PRIMARYLANGID(lgid) (static_cast<WORD>(lgid) & 0x3ff)
#define SUBLANGID(lgid) (static_cast<WORD>(lgid) >> 10)

// The profile's user-interface language (1033 when it names none).
LANGID GetUserDefaultUILanguage();
// The thread's language: the one it set, else the user's.
LANGID GetThreadUILanguage();
// Sets the thread's language and returns it; 0 goes back to the user's. 0 with
// ERROR_INVALID_PARAMETER for an identifier without a primary language.
LANGID SetThreadUILanguage(LANGID LangId);

// ---- Global memory ----
#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define ERROR_DISCARDED 157L
#define ERROR_NOT_LOCKED 158L

// A fixed block's handle is its address; a movable one is reached through GlobalLock.
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
LPVOID GlobalLock(HGLOBAL hMem);
// Nonzero while the block is still locked; 0 with NO_ERROR when this was the last lock.
BOOL GlobalUnlock(HGLOBAL hMem);
SIZE_T GlobalSize(HGLOBAL hMem);
// NULL when freed; the handle again, with ERROR_INVALID_HANDLE, for a handle that is no block.
HGLOBAL GlobalFree(HGLOBAL hMem);

// ---- Streams ----
#define STG_E_INVALIDFUNCTION (static_cast<HRESULT>(0x80030001u))
#define STG_E_INVALIDPOINTER (static_cast<HRESULT>(0x80030009u))
#define STG_E_MEDIUMFULL (static_cast<HRESULT>(0x80030070u))
#define STG_E_INVALIDFLAG (static_cast<HRESULT>(0x800300FFu))

enum tagSTREAM_SEEK : DWORD { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };
enum tagSTGTY : DWORD { STGTY_STORAGE = 1, STGTY_STREAM = 2, STGTY_LOCKBYTES = 3, STGTY_PROPERTY = 4 };
enum tagSTATFLAG : DWORD { STATFLAG_DEFAULT = 0, STATFLAG_NONAME = 1 };

struct STATSTG {
    LPOLESTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

FLIPDECK_DECLARE_UUID(ISequentialStream, "{0C733A30-2A1C-11CE-ADE5-00AA0044773D}")
struct ISequentialStream : IUnknown {
    STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) PURE;
    STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) PURE;
};

FLIPDECK_DECLARE_UUID(IStream, "{0000000C-0000-0000-C000-000000000046}")
struct IStream : ISequentialStream {
    STDMETHOD(Seek)(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) PURE;
    STDMETHOD(SetSize)(ULARGE_INTEGER libNewSize) PURE;
    STDMETHOD(CopyTo)
    (IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) PURE;
    STDMETHOD(Commit)(DWORD grfCommitFlags) PURE;
    STDMETHOD(Revert)() PURE;
    STDMETHOD(LockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) PURE;
    STDMETHOD(UnlockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) PURE;
    STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) PURE;
    STDMETHOD(Clone)(IStream** ppstm) PURE;
};
using LPSTREAM = IStream*;
constexpr IID IID_ISequentialStream = __uuidof(ISequentialStream);
constexpr IID IID_IStream = __uuidof(IStream);

// A stream over the bytes of a movable block (NULL: a new, empty one), starting at offset 0. Writing
// past the end grows the block. With fDeleteOnRelease the block is freed with the last reference.
// Region locks, CopyTo and Clone are not supported (STG_E_INVALIDFUNCTION).
HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm);
