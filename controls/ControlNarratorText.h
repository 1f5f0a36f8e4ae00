// The text a control exposes to the Windows narrator: in narrator mode it becomes the control's window
// text; without the narrator nothing happens.
#pragma once

#include <mutex>
#include <type_traits>

#include "platform/framework_window.h"

// Set once at start-up when the narrator is configured: controls then publish window texts for it and
// draw no focus frame of their own.
extern bool g_bNarrator;

class CControlNarratorText {
public:
    explicit CControlNarratorText(CWnd* pOwner) : m_pOwner(pOwner) {}
    CControlNarratorText(const CControlNarratorText&) = delete;
    CControlNarratorText& operator=(const CControlNarratorText&) = delete;

    // With arguments, a printf-style format (at most 1023 characters are kept); without, a ready text
    // taken as it stands (a "%" in it is not a directive). Pass strings as pointers (GetString()).
    template <typename... Args> void SetNarratorText(LPCWSTR pszFormat, Args... args) {
        static_assert((std::is_trivially_copyable_v<Args> && ...), "only plain values pass through a format");
        if constexpr (sizeof...(Args) == 0) {
            FormatNarratorText(L"%s", pszFormat ? pszFormat : L"");
        } else {
            FormatNarratorText(pszFormat, args...);
        }
    }

    CString GetNarratorText() const;

protected:
    CWnd* m_pOwner;

private:
    void FormatNarratorText(LPCWSTR pszFormat, ...);

    // Feature buttons set their text from worker threads as well as from the user-interface thread.
    mutable std::mutex m_textLock;
    CString m_strNarratorText;
};
