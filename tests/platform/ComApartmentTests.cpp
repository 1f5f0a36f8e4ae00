// Apartments: per-thread initialisation counts, mode changes, OLE on top of COM. Each case runs on a
// thread of its own, so that no state is left to the next.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/com.h"

namespace {

enum class Call { Sta, Mta, Uninit, Ole, OleUninit };

struct Step {
    Call call;
    HRESULT expected; // ignored for the uninitialising calls
};

HRESULT Perform(Call call) {
    switch (call) {
    case Call::Sta:
        return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    case Call::Mta:
        return CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    case Call::Ole:
        return OleInitialize(nullptr);
    case Call::Uninit:
        CoUninitialize();
        break;
    case Call::OleUninit:
        OleUninitialize();
        break;
    }
    return S_OK;
}

struct Sequence {
    const char* name;
    std::vector<Step> steps;
};

class ApartmentSequence : public testing::TestWithParam<Sequence> {};

TEST_P(ApartmentSequence, AnswersEachCallAsTheSystemDoes) {
    std::thread([] {
        int index = 0;
        for (const Step& step : GetParam().steps) {
            EXPECT_EQ(Perform(step.call), step.expected) << "step " << index;
            ++index;
        }
    }).join();
}

INSTANTIATE_TEST_SUITE_P(Calls, ApartmentSequence,
                         testing::Values(Sequence{"CountsNestedInitialisations",
                                                  {{Call::Sta, S_OK},
                                                   {Call::Sta, S_FALSE},
                                                   {Call::Uninit, S_OK},
                                                   {Call::Mta, RPC_E_CHANGED_MODE},
                                                   {Call::Uninit, S_OK},
                                                   {Call::Mta, S_OK},
                                                   {Call::Uninit, S_OK}}},
                                         Sequence{"RefusesAModeChangeWithoutCountingIt",
                                                  {{Call::Mta, S_OK},
                                                   {Call::Sta, RPC_E_CHANGED_MODE},
                                                   {Call::Uninit, S_OK},
                                                   {Call::Sta, S_OK},
                                                   {Call::Uninit, S_OK}}},
                                         Sequence{"UninitialiseWithoutInitialiseIsHarmless",
                                                  {{Call::Uninit, S_OK},
                                                   {Call::Uninit, S_OK},
                                                   {Call::Mta, S_OK},
                                                   {Call::Uninit, S_OK}}},
                                         Sequence{"OleInitialiseEntersTheSingleThreadedApartment",
                                                  {{Call::Ole, S_OK},
                                                   {Call::Sta, S_FALSE},
                                                   {Call::Uninit, S_OK},
                                                   {Call::OleUninit, S_OK},
                                                   {Call::Mta, S_OK},
                                                   {Call::Uninit, S_OK}}},
                                         Sequence{"OleInitialiseInTheMultithreadedApartmentFails",
                                                  {{Call::Mta, S_OK},
                                                   {Call::Ole, RPC_E_CHANGED_MODE},
                                                   {Call::OleUninit, S_OK},
                                                   {Call::Uninit, S_OK},
                                                   {Call::Sta, S_OK},
                                                   {Call::Uninit, S_OK}}}),
                         [](const testing::TestParamInfo<Sequence>& info) { return info.param.name; });

TEST(Apartment, ReservedArgumentsAndUnknownFlagsAreRefused) {
    std::thread([] {
        int reserved = 0;
        EXPECT_EQ(CoInitialize(&reserved), E_INVALIDARG);
        EXPECT_EQ(OleInitialize(&reserved), E_INVALIDARG);
        EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "the failures entered nothing";
        CoUninitialize();
    }).join();
}

TEST(Apartment, CreationNeedsAnApartment) {
    std::thread([] {
        void* object = &object;
        EXPECT_EQ(CoCreateInstance(IID_IUnknown, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(CoCreateInstance(IID_IUnknown, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_INVALIDARG);
    }).join();
}

TEST(Apartment, OleRunOfAnInProcessObjectSucceeds) {
    struct CObject final : IUnknown {
        STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return 1; }
        STDMETHODIMP_(ULONG) Release() override { return 1; }
    } object;
    EXPECT_EQ(OleRun(&object), S_OK);
    EXPECT_EQ(OleRun(nullptr), E_INVALIDARG);
}

} // namespace
