// Run-time classes: the class chain of CObject and its framework subclasses, and dynamic creation.
#include "platform/framework.h"
#include "platform/window.h"

CObject* CRuntimeClass::CreateObject() const {
    return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
    for (const CRuntimeClass* pClass = this; pClass;
         pClass = pClass->m_pfnGetBaseClass ? pClass->m_pfnGetBaseClass() : nullptr) {
        if (pClass == pBaseClass) {
            return TRUE;
        }
    }
    return FALSE;
}

CObject::~CObject() = default;

CRuntimeClass* CObject::GetThisClass() {
    static CRuntimeClass runtimeClass = {"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr,
                                         nullptr};
    return &runtimeClass;
}

CRuntimeClass* CObject::GetRuntimeClass() const {
    return GetThisClass();
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(const AFX_MSGMAP* pMap, UINT nMessage, UINT nCode, UINT nID) {
    for (; pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = pMap->lpEntries; entry && entry->pfn; ++entry) {
            if (entry->nMessage == nMessage && entry->nCode == nCode && nID >= entry->nID && nID <= entry->nLastID) {
                return entry;
            }
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) {
    const AFX_MSGMAP_ENTRY* entry = FindEntry(GetMessageMap(), WM_COMMAND, static_cast<UINT>(nCode), nID);
    return entry ? entry->pfn(this, nID, 0, 0, nullptr) : FALSE;
}
