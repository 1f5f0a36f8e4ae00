// The framework's collection classes the program uses: the typed array CArray and the map of strings to
// strings CMapStringToString, walked by POSITION.
#pragma once

#include <vector>

#include "platform/strings.h"

// An opaque place in a collection; NULL past the last element.
struct __POSITION {};
using POSITION = __POSITION*;

// A growing array of TYPE, whose elements are passed as ARG_TYPE. An index outside the array is a fault
// of the caller, as with the framework (which asserts).
template <class TYPE, class ARG_TYPE = const TYPE&> class CArray {
public:
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_elements.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    BOOL IsEmpty() const { return m_elements.empty(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    // The index of the new element.
    INT_PTR Add(ARG_TYPE newElement) {
        m_elements.push_back(newElement);
        return GetUpperBound();
    }
    const TYPE& GetAt(INT_PTR nIndex) const { return m_elements.at(static_cast<size_t>(nIndex)); }
    TYPE& ElementAt(INT_PTR nIndex) { return m_elements.at(static_cast<size_t>(nIndex)); }
    const TYPE& operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
    TYPE& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }
    void RemoveAll() { m_elements.clear(); }

private:
    std::vector<TYPE> m_elements;
};

// Keys compare exactly (with case). The walk visits the entries in the order their keys were first set.
class CMapStringToString {
public:
    // The framework grows the map by blocks of that many entries; here it only reserves them.
    explicit CMapStringToString(INT_PTR nBlockSize = 10);

    INT_PTR GetCount() const;
    INT_PTR GetSize() const { return GetCount(); }
    BOOL IsEmpty() const;
    // FALSE, rValue unchanged, when the key is not in the map.
    BOOL Lookup(LPCTSTR key, CString& rValue) const;
    void SetAt(LPCTSTR key, LPCTSTR newValue);
    // The value of the key, an empty one made first when the key is new.
    CString& operator[](LPCTSTR key);
    BOOL RemoveKey(LPCTSTR key);
    void RemoveAll();

    // NULL for an empty map.
    POSITION GetStartPosition() const;
    // The entry at rNextPosition; rNextPosition then names the next one, NULL after the last.
    void GetNextAssoc(POSITION& rNextPosition, CString& rKey, CString& rValue) const;

private:
    struct CAssoc {
        CString key;
        CString value;
    };
    const CAssoc* Find(LPCTSTR key) const;

    std::vector<CAssoc> m_assocs;
};
