// The framework's exception object.
#include "platform/framework.h"

IMPLEMENT_DYNAMIC(CException, CObject)

void CException::Delete() {
    if (m_bAutoDelete) {
        delete this;
    }
}
