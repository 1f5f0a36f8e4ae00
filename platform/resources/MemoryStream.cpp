// IStream over a global memory block, as CreateStreamOnHGlobal makes it.
#include <atomic>
#include <cstring>

#include "platform/resources/GlobalMemory.h"

namespace {

using namespace platform;

class CHGlobalStream final : public IStream {
public:
    CHGlobalStream(HGLOBAL hGlobal, bool bDeleteOnRelease)
        : m_hGlobal(hGlobal), m_bDeleteOnRelease(bDeleteOnRelease) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
            *ppvObject = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_nReferences; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG remaining = --m_nReferences;
        if (remaining == 0) {
            if (m_bDeleteOnRelease) {
                GlobalFree(m_hGlobal);
            }
            delete this;
        }
        return remaining;
    }

    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (!pv) {
            return STG_E_INVALIDPOINTER;
        }
        const auto count = ReadGlobalBlock(m_hGlobal, m_position, pv, cb);
        if (!count) {
            return E_HANDLE;
        }
        m_position += *count;
        if (pcbRead) {
            *pcbRead = static_cast<ULONG>(*count);
        }
        return S_OK;
    }

    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (!pv) {
            return STG_E_INVALIDPOINTER;
        }
        if (!WriteGlobalBlock(m_hGlobal, m_position, pv, cb)) {
            return STG_E_MEDIUMFULL;
        }
        m_position += cb;
        if (pcbWritten) {
            *pcbWritten = cb;
        }
        return S_OK;
    }

    STDMETHODIMP Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override {
        long long base = 0;
        switch (dwOrigin) {
        case STREAM_SEEK_SET:
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<long long>(m_position);
            break;
        case STREAM_SEEK_END:
            base = static_cast<long long>(GlobalBlockSize(m_hGlobal).value_or(0));
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        const long long target = base + dlibMove.QuadPart;
        if (target < 0) {
            return STG_E_INVALIDFUNCTION;
        }
        m_position = static_cast<SIZE_T>(target);
        if (plibNewPosition) {
            plibNewPosition->QuadPart = m_position;
        }
        return S_OK;
    }

    STDMETHODIMP SetSize(ULARGE_INTEGER libNewSize) override {
        return ResizeGlobalBlock(m_hGlobal, static_cast<SIZE_T>(libNewSize.QuadPart)) ? S_OK
                                                                                      : STG_E_MEDIUMFULL;
    }

    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return STG_E_INVALIDFUNCTION;
    }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return S_OK; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }

    STDMETHODIMP Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
        if (!pstatstg) {
            return STG_E_INVALIDPOINTER;
        }
        if (grfStatFlag & ~static_cast<DWORD>(STATFLAG_NONAME)) {
            return STG_E_INVALIDFLAG;
        }
        *pstatstg = STATSTG{};
        pstatstg->type = STGTY_STREAM;
        pstatstg->cbSize.QuadPart = GlobalBlockSize(m_hGlobal).value_or(0);
        return S_OK;
    }

    STDMETHODIMP Clone(IStream** ppstm) override {
        if (ppstm) {
            *ppstm = nullptr;
        }
        return STG_E_INVALIDFUNCTION;
    }

private:
    ~CHGlobalStream() = default;

    std::atomic<ULONG> m_nReferences{1};
    HGLOBAL m_hGlobal;
    bool m_bDeleteOnRelease;
    SIZE_T m_position = 0;
};

} // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm) {
    if (!ppstm) {
        return E_INVALIDARG;
    }
    *ppstm = nullptr;
    if (!hGlobal) {
        hGlobal = GlobalAlloc(GMEM_MOVEABLE, 0);
        if (!hGlobal) {
            return E_OUTOFMEMORY;
        }
    } else if (!GlobalBlockSize(hGlobal)) {
        return E_INVALIDARG;
    }
    *ppstm = new CHGlobalStream(hGlobal, fDeleteOnRelease != FALSE);
    return S_OK;
}
