// The test server's class and its dual interface, with the wrappers a type library import would make:
// each wrapper calls the raw method and raises _com_error on a failed HRESULT.
#pragma once

#include "platform/comdef.h"

namespace test_server {

FLIPDECK_DECLARE_UUID(TestAnswers, "{5B8E2D41-7C3A-4F19-B6E0-2A9D4C7F1E83}")
FLIPDECK_DECLARE_UUID(ITestAnswers, "{C41F6A27-9E3B-4D85-A1C7-6B0E2F9D3A54}")
// An interface the class does not have.
FLIPDECK_DECLARE_UUID(ITestMissing, "{0E7D3B92-4A16-4C58-9F2E-D83B6A1C5F07}")

struct ITestAnswers : IDispatch {
    _bstr_t Echo(const _bstr_t& text);
    HRESULT Fail(HRESULT result);
    int LiveObjects();

    // Answers a copy of the text (embedded nulls kept); a null text gives a null answer.
    STDMETHOD(raw_Echo)(BSTR text, BSTR* answer) PURE;
    // Returns the HRESULT it is given.
    STDMETHOD(raw_Fail)(HRESULT result) PURE;
    // The objects of the server alive now.
    STDMETHOD(raw_LiveObjects)(int* count) PURE;
};

struct ITestMissing : IUnknown {};

_COM_SMARTPTR_TYPEDEF(ITestAnswers, __uuidof(ITestAnswers));
_COM_SMARTPTR_TYPEDEF(ITestMissing, __uuidof(ITestMissing));

inline _bstr_t ITestAnswers::Echo(const _bstr_t& text) {
    BSTR answer = nullptr;
    const HRESULT hr = raw_Echo(text, &answer);
    if (FAILED(hr)) {
        _com_issue_errorex(hr, this, __uuidof(ITestAnswers));
    }
    return _bstr_t(answer, false);
}

inline HRESULT ITestAnswers::Fail(HRESULT result) {
    const HRESULT hr = raw_Fail(result);
    if (FAILED(hr)) {
        _com_issue_errorex(hr, this, __uuidof(ITestAnswers));
    }
    return hr;
}

inline int ITestAnswers::LiveObjects() {
    int count = 0;
    const HRESULT hr = raw_LiveObjects(&count);
    if (FAILED(hr)) {
        _com_issue_errorex(hr, this, __uuidof(ITestAnswers));
    }
    return count;
}

} // namespace test_server
