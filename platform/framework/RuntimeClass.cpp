// Run-time classes: the class chain of CObject and its framework subclasses, and dynamic creation.
#include "platform/framework.h"

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
