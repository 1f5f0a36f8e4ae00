#include "controls/ControlNarratorText.h"

#include <cstdarg>

bool g_bNarrator = false;

namespace {

// The narrator text's buffer: 1023 characters and the terminator.
constexpr size_t kNarratorTextChars = 1024;

} // namespace

CString CControlNarratorText::GetNarratorText() const {
    const std::lock_guard<std::mutex> lock(m_textLock);
    return m_strNarratorText;
}

void CControlNarratorText::FormatNarratorText(LPCWSTR pszFormat, ...) {
    if (!g_bNarrator) {
        return;
    }
    wchar_t szText[kNarratorTextChars] = {};
    va_list args;
    va_start(args, pszFormat);
    _vsnwprintf_s(szText, kNarratorTextChars, _TRUNCATE, pszFormat, args);
    va_end(args);
    {
        const std::lock_guard<std::mutex> lock(m_textLock);
        m_strNarratorText = szText;
    }
    if (m_pOwner && m_pOwner->m_hWnd) {
        m_pOwner->SetWindowText(szText);
        m_pOwner->Invalidate(TRUE);
    }
}
