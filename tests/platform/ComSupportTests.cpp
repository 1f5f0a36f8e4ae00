// The compiler's COM support classes: _bstr_t sharing and conversions, _com_error, and the reference
// counting and null rules of _com_ptr_t.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/comdef.h"

namespace {

// ---- _bstr_t ----

TEST(BstrT, NullConvertsToNullPointers) {
    const _bstr_t null;
    EXPECT_EQ(static_cast<const wchar_t*>(null), nullptr);
    EXPECT_EQ(static_cast<const char*>(null), nullptr);
    EXPECT_TRUE(!null);
    EXPECT_EQ(null.length(), 0u);
    EXPECT_EQ(null.copy(), nullptr);
    EXPECT_EQ(static_cast<const wchar_t*>(_bstr_t(static_cast<const char*>(nullptr))), nullptr);
    EXPECT_EQ(static_cast<const wchar_t*>(_bstr_t(static_cast<BSTR>(nullptr), false)), nullptr);

    const _bstr_t empty(L"");
    EXPECT_FALSE(!empty) << "an empty string is not a null one";
    EXPECT_STREQ(static_cast<const wchar_t*>(empty), L"");
    EXPECT_TRUE(null == empty);
}

TEST(BstrT, NarrowAndWideForms) {
    const _bstr_t fromNarrow("<CapabilityList/>");
    EXPECT_STREQ(static_cast<const wchar_t*>(fromNarrow), L"<CapabilityList/>");
    const _bstr_t fromWide(L"<Data>1</Data>");
    const char* narrow = fromWide;
    EXPECT_STREQ(narrow, "<Data>1</Data>");
    EXPECT_EQ(static_cast<const char*>(fromWide), narrow) << "made once and kept";
    EXPECT_EQ(fromWide.length(), 14u);
}

TEST(BstrT, CopiesShareOneString) {
    _bstr_t first(L"answer");
    _bstr_t second = first;
    EXPECT_EQ(static_cast<const wchar_t*>(first), static_cast<const wchar_t*>(second));
    _bstr_t third;
    third = second;
    first = L"other";
    EXPECT_STREQ(static_cast<const wchar_t*>(second), L"answer");
    EXPECT_STREQ(static_cast<const wchar_t*>(third), L"answer");
    EXPECT_STREQ(static_cast<const wchar_t*>(first), L"other");
}

TEST(BstrT, AttachTakesOwnershipAndCopyDuplicates) {
    BSTR owned = SysAllocStringLen(L"a\0b", 3);
    _bstr_t attached(owned, false);
    EXPECT_EQ(static_cast<wchar_t*>(attached), owned);

    _bstr_t copied(owned, true);
    EXPECT_NE(static_cast<wchar_t*>(copied), owned);
    EXPECT_EQ(copied.length(), 3u) << "embedded nulls are copied";
    EXPECT_TRUE(copied == attached);

    BSTR duplicate = attached.copy();
    EXPECT_NE(duplicate, owned);
    EXPECT_EQ(SysStringLen(duplicate), 3u);
    SysFreeString(duplicate);
    EXPECT_EQ(attached.copy(false), owned);
}

TEST(BstrT, DetachGivesUpAnUnsharedString) {
    _bstr_t text(L"answer");
    BSTR held = text;
    BSTR detached = text.Detach();
    EXPECT_EQ(detached, held);
    EXPECT_TRUE(!text);
    SysFreeString(detached);

    const auto errorOfDetach = [](_bstr_t& b) {
        try {
            SysFreeString(b.Detach());
        } catch (const _com_error& e) {
            return e.Error();
        }
        return S_OK;
    };
    _bstr_t null;
    EXPECT_EQ(errorOfDetach(null), E_POINTER);
    _bstr_t shared(L"shared");
    const _bstr_t other = shared;
    EXPECT_EQ(errorOfDetach(shared), E_POINTER);
    EXPECT_STREQ(static_cast<const wchar_t*>(other), L"shared");
}

TEST(BstrT, GetAddressFreesAndReceivesAnOutString) {
    _bstr_t answer(L"old");
    const _bstr_t keeper = answer;
    BSTR* slot = answer.GetAddress();
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(*slot, nullptr);
    *slot = SysAllocString(L"new");
    EXPECT_STREQ(static_cast<const wchar_t*>(answer), L"new");
    EXPECT_STREQ(static_cast<const wchar_t*>(keeper), L"old") << "a shared string is left to the others";

    _bstr_t null;
    EXPECT_EQ(null.GetBSTR(), nullptr);
    null.GetBSTR() = SysAllocString(L"set");
    EXPECT_STREQ(static_cast<const wchar_t*>(null), L"set");
}

TEST(BstrT, ConcatenationKeepsEmbeddedNulls) {
    const _bstr_t left(SysAllocStringLen(L"a\0", 2), false);
    const _bstr_t joined = left + L"b";
    EXPECT_EQ(joined.length(), 3u);
    EXPECT_EQ(std::wmemcmp(static_cast<const wchar_t*>(joined), L"a\0b", 3), 0);

    _bstr_t grown("x");
    grown += _bstr_t(L"y");
    grown += _bstr_t();
    EXPECT_TRUE(grown == L"xy");
    EXPECT_TRUE(L"<" + grown == "<xy");
    EXPECT_TRUE(!(_bstr_t() + _bstr_t())) << "two null strings join to a null one";
}

TEST(BstrT, ComparesContent) {
    struct Case {
        _bstr_t a;
        _bstr_t b;
        bool equal;
    };
    const Case cases[] = {
        {L"abc", L"abc", true},
        {L"abc", L"abd", false},
        {L"abc", L"ab", false},
        {_bstr_t(SysAllocStringLen(L"a\0b", 3), false), _bstr_t(SysAllocStringLen(L"a\0c", 3), false), false},
        {_bstr_t(), L"", true},
        {_bstr_t(), L"a", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a == c.b, c.equal)
            << static_cast<const char*>(c.a) << " / " << static_cast<const char*>(c.b);
        EXPECT_EQ(c.a != c.b, !c.equal);
    }
}

// ---- _com_error ----

TEST(ComError, MessagesOfKnownDispatchAndUnknownCodes) {
    struct Case {
        HRESULT hr;
        const wchar_t* message;
        WORD wCode;
    };
    const Case cases[] = {
        {E_POINTER, L"Invalid pointer", 0},
        {REGDB_E_CLASSNOTREG, L"Class not registered", 0},
        {static_cast<HRESULT>(0x80040201u), L"IDispatch error #1", 1},
        {static_cast<HRESULT>(0x80001234u), L"Unknown error 0x80001234", 0},
    };
    for (const Case& c : cases) {
        const _com_error error(c.hr);
        EXPECT_EQ(error.Error(), c.hr);
        EXPECT_STREQ(error.ErrorMessage(), c.message);
        EXPECT_EQ(error.WCode(), c.wCode);
    }
}

TEST(ComError, IssueErrorThrowsIt) {
    try {
        _com_issue_error(E_ACCESSDENIED);
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_ACCESSDENIED);
    }
}

// ---- _com_ptr_t ----

FLIPDECK_DECLARE_UUID(ICounted, "{2F64A8C1-3B5D-4E07-9A12-C6D8E0F4B391}")
FLIPDECK_DECLARE_UUID(IRefused, "{8A0C2E46-1D3F-4B59-8E71-03A5C7E9F2B4}")
FLIPDECK_DECLARE_UUID(IBroken, "{E1B3D5F7-0A2C-4E68-9B4D-7F1A3C5E9D02}")

struct ICounted : IUnknown {};
struct IRefused : IUnknown {};
struct IBroken : IUnknown {};

_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));
_COM_SMARTPTR_TYPEDEF(ICounted, __uuidof(ICounted));
_COM_SMARTPTR_TYPEDEF(IRefused, __uuidof(IRefused));
_COM_SMARTPTR_TYPEDEF(IBroken, __uuidof(IBroken));

// An object on the stack that counts its references; asking it for IBroken fails with E_UNEXPECTED.
class CCounted final : public ICounted {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == __uuidof(ICounted)) {
            *ppv = static_cast<ICounted*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return riid == __uuidof(IBroken) ? E_UNEXPECTED : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    ULONG references = 0;
};

HRESULT ErrorOf(const auto& action) {
    try {
        action();
    } catch (const _com_error& e) {
        return e.Error();
    }
    return S_OK;
}

TEST(ComPtr, NullPointerRaisesEPointer) {
    ICountedPtr null;
    EXPECT_FALSE(null);
    EXPECT_TRUE(!null);
    EXPECT_TRUE(null == nullptr);
    EXPECT_TRUE(null == NULL);
    EXPECT_EQ(ErrorOf([&] { null->AddRef(); }), E_POINTER);
    EXPECT_EQ(ErrorOf([&] { null.Release(); }), E_POINTER);
    EXPECT_EQ(ErrorOf([&] { null.AddRef(); }), E_POINTER);
    EXPECT_EQ(ErrorOf([&] { null.Attach(nullptr, true); }), E_POINTER);
    ICounted* out = nullptr;
    EXPECT_EQ(null.QueryInterface(__uuidof(ICounted), out), E_POINTER);
}

TEST(ComPtr, CopiesMovesAndAssignmentsKeepTheCountBalanced) {
    CCounted object;
    {
        ICountedPtr first(&object);
        EXPECT_EQ(object.references, 1u);
        ICountedPtr second = first;
        ICountedPtr third(std::move(second));
        EXPECT_EQ(object.references, 2u);
        EXPECT_TRUE(!second);
        third = first;
        third = &object;
        EXPECT_EQ(object.references, 2u);
        third = nullptr;
        EXPECT_EQ(object.references, 1u);
        ICountedPtr attached;
        attached.Attach(&object, true);
        EXPECT_EQ(object.references, 2u);
        attached.Release();
        EXPECT_TRUE(attached == nullptr);
        EXPECT_EQ(object.references, 1u);
    }
    EXPECT_EQ(object.references, 0u);
}

TEST(ComPtr, AddressOfReleasesTheHeldPointer) {
    CCounted object;
    ICountedPtr held(&object);
    ICounted** slot = &held;
    EXPECT_EQ(object.references, 0u);
    EXPECT_EQ(*slot, nullptr);
    object.AddRef();
    *slot = &object; // as an out parameter receives it
    EXPECT_EQ(held.Detach(), &object);
    object.Release();
    EXPECT_EQ(object.references, 0u);
}

TEST(ComPtr, OtherInterfacesAreAskedFor) {
    CCounted object;
    {
        const ICountedPtr counted(&object);
        const IUnknownPtr unknown(counted);
        EXPECT_EQ(object.references, 2u);
        EXPECT_TRUE(unknown == counted) << "one object";

        const IRefusedPtr refused(counted);
        EXPECT_TRUE(!refused) << "an interface the object lacks gives null";
        EXPECT_EQ(ErrorOf([&] { IBrokenPtr broken(counted); }), E_UNEXPECTED);
        EXPECT_EQ(ErrorOf([&] { IBrokenPtr broken(static_cast<IUnknown*>(&object)); }), E_UNEXPECTED);
        EXPECT_EQ(object.references, 2u);
    }
    EXPECT_EQ(object.references, 0u);
}

} // namespace
