// The framework's map of strings to strings.
#include "platform/framework_collections.h"

#include <algorithm>

namespace {

// A position is the index of its entry plus one, so that NULL is none.
POSITION PositionOf(size_t index) {
    return reinterpret_cast<POSITION>(index + 1);
}

size_t IndexOf(POSITION position) {
    return reinterpret_cast<size_t>(position) - 1;
}

CString KeyText(LPCTSTR key) {
    return key ? CString(key) : CString();
}

} // namespace

CMapStringToString::CMapStringToString(INT_PTR nBlockSize) {
    m_assocs.reserve(nBlockSize > 0 ? static_cast<size_t>(nBlockSize) : 0);
}

INT_PTR CMapStringToString::GetCount() const {
    return static_cast<INT_PTR>(m_assocs.size());
}

BOOL CMapStringToString::IsEmpty() const {
    return m_assocs.empty();
}

const CMapStringToString::CAssoc* CMapStringToString::Find(LPCTSTR key) const {
    const CString wanted = KeyText(key);
    const auto found = std::find_if(m_assocs.begin(), m_assocs.end(),
                                    [&wanted](const CAssoc& assoc) { return assoc.key == wanted; });
    return found == m_assocs.end() ? nullptr : &*found;
}

BOOL CMapStringToString::Lookup(LPCTSTR key, CString& rValue) const {
    const CAssoc* pAssoc = Find(key);
    if (!pAssoc) {
        return FALSE;
    }
    rValue = pAssoc->value;
    return TRUE;
}

void CMapStringToString::SetAt(LPCTSTR key, LPCTSTR newValue) {
    (*this)[key] = newValue ? CString(newValue) : CString();
}

CString& CMapStringToString::operator[](LPCTSTR key) {
    if (const CAssoc* pAssoc = Find(key)) {
        return const_cast<CAssoc*>(pAssoc)->value;
    }
    m_assocs.push_back({KeyText(key), CString()});
    return m_assocs.back().value;
}

BOOL CMapStringToString::RemoveKey(LPCTSTR key) {
    const CAssoc* pAssoc = Find(key);
    if (!pAssoc) {
        return FALSE;
    }
    m_assocs.erase(m_assocs.begin() + (pAssoc - m_assocs.data()));
    return TRUE;
}

void CMapStringToString::RemoveAll() {
    m_assocs.clear();
}

POSITION CMapStringToString::GetStartPosition() const {
    return m_assocs.empty() ? nullptr : PositionOf(0);
}

void CMapStringToString::GetNextAssoc(POSITION& rNextPosition, CString& rKey, CString& rValue) const {
    const size_t index = IndexOf(rNextPosition);
    if (!rNextPosition || index >= m_assocs.size()) {
        rNextPosition = nullptr;
        return;
    }
    rKey = m_assocs[index].key;
    rValue = m_assocs[index].value;
    rNextPosition = index + 1 < m_assocs.size() ? PositionOf(index + 1) : nullptr;
}
