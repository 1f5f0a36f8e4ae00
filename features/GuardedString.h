// A text that one thread may set while another reads it: every access copies under a small lock.
#pragma once

#include <mutex>

#include "platform/strings.h"

class CGuardedString {
public:
    CGuardedString() = default;
    CGuardedString(const CGuardedString&) = delete;

    CGuardedString& operator=(const CGuardedString& other);
    CGuardedString& operator=(const CString& strText);
    CGuardedString& operator=(LPCWSTR pszText);
    // A copy of the text as it is now.
    CString Get() const;
    operator CString() const { return Get(); }
    bool IsEmpty() const;

private:
    mutable std::mutex m_lock;
    CString m_strText;
};
