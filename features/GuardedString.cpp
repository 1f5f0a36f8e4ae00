#include "features/GuardedString.h"

CGuardedString& CGuardedString::operator=(const CGuardedString& other) {
    if (this != &other) {
        *this = other.Get();
    }
    return *this;
}

CGuardedString& CGuardedString::operator=(const CString& strText) {
    const std::lock_guard lock(m_lock);
    m_strText = strText;
    return *this;
}

CGuardedString& CGuardedString::operator=(LPCWSTR pszText) {
    return *this = CString(pszText ? pszText : L"");
}

CString CGuardedString::Get() const {
    const std::lock_guard lock(m_lock);
    return m_strText;
}

bool CGuardedString::IsEmpty() const {
    const std::lock_guard lock(m_lock);
    return m_strText.IsEmpty();
}
