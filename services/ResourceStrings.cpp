#include "services/ResourceStrings.h"

#include <cstring>

#include "platform/resources.h"

namespace {

// The string-table entry of that id; false when there is none.
bool LoadTableString(int nStringId, CString& strEntry) {
    const wchar_t* pszEntry = nullptr;
    const int nLength =
        LoadStringW(nullptr, static_cast<UINT>(nStringId), reinterpret_cast<LPWSTR>(&pszEntry), 0);
    if (nLength <= 0) {
        return false;
    }
    strEntry = CString(pszEntry, nLength);
    return true;
}

} // namespace

bool LoadResStringToBuffer(wchar_t* pszBuffer, int nStringId, const wchar_t* pszDefault) {
    if (!pszBuffer || nStringId < 1) {
        return false;
    }
    CString strEntry;
    const bool bFound = LoadTableString(nStringId, strEntry);
    std::memset(pszBuffer, 0, kResStringBufferLength * sizeof(wchar_t));
    const wchar_t* pszText = bFound ? strEntry.GetString() : (pszDefault ? pszDefault : L"");
    return SUCCEEDED(StringCchPrintfW(pszBuffer, kResStringBufferLength - 1, L"%s", pszText));
}

bool LoadResString(CString& strText, const wchar_t* pszDefault, int nStringId) {
    if (nStringId < 1) {
        return false;
    }
    CString strEntry;
    strText = LoadTableString(nStringId, strEntry) ? strEntry : CString(pszDefault ? pszDefault : L"");
    return true;
}

CString ResString(const wchar_t* pszDefault, int nStringId) {
    CString strText;
    LoadResString(strText, pszDefault, nStringId);
    return strText;
}

CString ResStringOfLanguage(LANGID language, const wchar_t* pszDefault, int nStringId) {
    const LANGID previous = GetThreadUILanguage();
    SetThreadUILanguage(language);
    CString strText = ResString(pszDefault, nStringId);
    SetThreadUILanguage(previous);
    return strText;
}
