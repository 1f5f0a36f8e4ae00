// The localised string loaders: the string-table entry of the thread's UI language, or the caller's
// English default when the table has none.
#pragma once

#include "platform/resources.h"
#include "platform/strings.h"

// The size of the buffers LoadResStringToBuffer fills.
constexpr int kResStringBufferLength = 2048;

// Zeroes the buffer of kResStringBufferLength characters and copies the entry (or the default; null
// counts as empty) into it, at most 2046 characters. False for a null buffer, an id below 1, or a text
// that had to be cut.
bool LoadResStringToBuffer(wchar_t* pszBuffer, int nStringId, const wchar_t* pszDefault);
// The entry, or the default (null: empty) when there is none; false, the string unchanged, for an id
// below 1.
bool LoadResString(CString& strText, const wchar_t* pszDefault, int nStringId);
// LoadResString's text as a value.
CString ResString(const wchar_t* pszDefault, int nStringId);
// The entry in that UI language, the thread's language left as it was.
CString ResStringOfLanguage(LANGID language, const wchar_t* pszDefault, int nStringId);
