// Core Audio on the machine's microphone: the enumerator made through the machine's registration of
// MMDevApi.dll, the default capture endpoint and its mute as audio.json keeps it, the audio.mute record
// and the registry value that follows the mute, a microphone unplugged under live objects, and the
// server let go once its objects are.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/audio/Microphone.h"
#include "platform/comdef.h"
#include "platform/registry.h"
#include "tests/platform/ComTestServer.h"
#include "tests/support/TestMachine.h"

namespace {

_COM_SMARTPTR_TYPEDEF(IMMDeviceEnumerator, __uuidof(IMMDeviceEnumerator));
_COM_SMARTPTR_TYPEDEF(IMMDevice, __uuidof(IMMDevice));
_COM_SMARTPTR_TYPEDEF(IMMDeviceCollection, __uuidof(IMMDeviceCollection));
_COM_SMARTPTR_TYPEDEF(IAudioEndpointVolume, __uuidof(IAudioEndpointVolume));

const wchar_t kFollowerKey[] = L"SOFTWARE\\Corvex\\OnScreenDisplay";
const wchar_t kFollowerValue[] = L"MicrophoneMuteState";

// The on-screen display's copy of the mute (64-bit view); none when it is missing.
std::optional<DWORD> FollowerValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFollowerKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegQueryValueExW(key, kFollowerValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD ? std::optional(value) : std::nullopt;
}

void SetPresent(bool present) {
    std::string error;
    ASSERT_NE(platform::audio::SetMicrophonePresent(present, error),
              platform::audio::EMicrophoneChange::Failed)
        << error;
}

std::vector<nlohmann::json> MuteRecords() {
    return testing_support::ReadMachineEvents("audio.mute");
}

// A machine of the default profile (a microphone, live) and an apartment on the test's thread.
class AudioTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }

    static IMMDeviceEnumeratorPtr MakeEnumerator() {
        IMMDeviceEnumeratorPtr enumerator;
        EXPECT_EQ(enumerator.CreateInstance(CLSID_MMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER), S_OK);
        return enumerator;
    }
    static IAudioEndpointVolumePtr MakeVolume() {
        IMMDevicePtr device;
        EXPECT_EQ(MakeEnumerator()->GetDefaultAudioEndpoint(eCapture, eConsole, &device), S_OK);
        IAudioEndpointVolumePtr volume;
        if (device) {
            EXPECT_EQ(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                                       reinterpret_cast<void**>(&volume)),
                      S_OK);
        }
        return volume;
    }
    static UINT ActiveCaptureEndpoints() {
        IMMDeviceCollectionPtr devices;
        UINT count = 99;
        EXPECT_EQ(MakeEnumerator()->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, &devices), S_OK);
        EXPECT_EQ(devices->GetCount(&count), S_OK);
        return count;
    }

    testing_support::CTestMachine m_machine;
};

TEST_F(AudioTest, TheMuteIsTheMicrophonesAndTheOnScreenDisplayFollowsIt) {
    const IAudioEndpointVolumePtr volume = MakeVolume();
    ASSERT_TRUE(volume);
    BOOL muted = TRUE;
    ASSERT_EQ(volume->GetMute(&muted), S_OK);
    EXPECT_FALSE(muted);
    EXPECT_EQ(ActiveCaptureEndpoints(), 1u);

    const struct {
        BOOL mute;
        HRESULT result;
        bool changed;
    } sets[] = {{TRUE, S_OK, true}, {TRUE, S_FALSE, false}, {FALSE, S_OK, true}};
    std::vector<nlohmann::json> expected;
    for (const auto& set : sets) {
        EXPECT_EQ(volume->SetMute(set.mute, nullptr), set.result);
        ASSERT_EQ(volume->GetMute(&muted), S_OK);
        EXPECT_EQ(muted, set.mute);
        EXPECT_EQ(platform::audio::CurrentMicrophone().muted, set.mute != FALSE) << "kept by the machine";
        EXPECT_EQ(FollowerValue(), std::optional<DWORD>(set.mute ? 1 : 0));
        expected.push_back({{"mute", set.mute != FALSE}, {"changed", set.changed}});
    }
    std::vector<nlohmann::json> recorded;
    for (const nlohmann::json& record : MuteRecords()) {
        recorded.push_back(
            {{"mute", record.value("mute", false)}, {"changed", record.value("changed", false)}});
    }
    EXPECT_EQ(recorded, expected);
}

TEST_F(AudioTest, OnlyTheCaptureFlowHasAnEndpointAndBadArgumentsAreRefused) {
    const IMMDeviceEnumeratorPtr enumerator = MakeEnumerator();
    ASSERT_TRUE(enumerator);
    IMMDevicePtr device;
    EXPECT_EQ(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device), E_NOTFOUND);
    EXPECT_EQ(enumerator->GetDefaultAudioEndpoint(eAll, eConsole, &device), E_INVALIDARG);
    EXPECT_EQ(enumerator->GetDefaultAudioEndpoint(eCapture, static_cast<ERole>(3), &device), E_INVALIDARG);
    EXPECT_EQ(enumerator->GetDefaultAudioEndpoint(eCapture, eCommunications, nullptr), E_POINTER);
    EXPECT_FALSE(device);

    const struct {
        EDataFlow flow;
        DWORD mask;
        HRESULT result;
        UINT count;
    } lists[] = {
        {eCapture, DEVICE_STATE_ACTIVE, S_OK, 1},
        {eAll, DEVICE_STATEMASK_ALL, S_OK, 1},
        {eRender, DEVICE_STATE_ACTIVE, S_OK, 0},
        {eCapture, DEVICE_STATE_DISABLED, S_OK, 0},
        {eCapture, 0, E_INVALIDARG, 0},
        {eCapture, 0x10, E_INVALIDARG, 0},
        {static_cast<EDataFlow>(3), DEVICE_STATE_ACTIVE, E_INVALIDARG, 0},
    };
    for (const auto& list : lists) {
        IMMDeviceCollectionPtr devices;
        EXPECT_EQ(enumerator->EnumAudioEndpoints(list.flow, list.mask, &devices), list.result)
            << list.flow << "/" << list.mask;
        UINT count = 0;
        if (devices) {
            EXPECT_EQ(devices->GetCount(&count), S_OK);
        }
        EXPECT_EQ(count, list.count) << list.flow << "/" << list.mask;
    }

    ASSERT_EQ(enumerator->GetDefaultAudioEndpoint(eCapture, eMultimedia, &device), S_OK);
    int marker = 0;
    void* object = &marker;
    EXPECT_EQ(device->Activate(__uuidof(IMMDeviceEnumerator), CLSCTX_ALL, nullptr, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    PROPVARIANT* parameters = reinterpret_cast<PROPVARIANT*>(&object);
    EXPECT_EQ(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, parameters, &object),
              E_INVALIDARG);
}

TEST_F(AudioTest, AnUnpluggedMicrophoneIsNotFoundAndInvalidatesItsObjects) {
    IMMDevicePtr device;
    ASSERT_EQ(MakeEnumerator()->GetDefaultAudioEndpoint(eCapture, eConsole, &device), S_OK);
    const IAudioEndpointVolumePtr volume = MakeVolume();
    ASSERT_TRUE(volume);

    SetPresent(false);
    IMMDevicePtr none;
    EXPECT_EQ(MakeEnumerator()->GetDefaultAudioEndpoint(eCapture, eConsole, &none), E_NOTFOUND);
    EXPECT_EQ(ActiveCaptureEndpoints(), 0u);
    BOOL muted = FALSE;
    EXPECT_EQ(volume->GetMute(&muted), AUDCLNT_E_DEVICE_INVALIDATED);
    EXPECT_EQ(volume->SetMute(TRUE, nullptr), AUDCLNT_E_DEVICE_INVALIDATED);
    IAudioEndpointVolumePtr another;
    EXPECT_EQ(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                               reinterpret_cast<void**>(&another)),
              AUDCLNT_E_DEVICE_INVALIDATED);
    EXPECT_TRUE(MuteRecords().empty()) << "a set that reached no microphone is no act";
    EXPECT_EQ(FollowerValue(), std::optional<DWORD>(0));

    // Plugged in again: the objects made before serve it, with its mute as it was.
    SetPresent(true);
    EXPECT_EQ(volume->SetMute(TRUE, nullptr), S_OK);
    EXPECT_EQ(FollowerValue(), std::optional<DWORD>(1));
}

TEST_F(AudioTest, AMachineWithoutAReadableAudioStateHasNoMicrophone) {
    const std::filesystem::path file = m_machine.Folder() / platform::audio::kAudioStateFile;
    for (const char* content :
         {"", "[1]", "{\"microphone\": {\"present\": \"yes\"}}", "{\"microphone\": 1}"}) {
        ASSERT_TRUE(platform::ReplaceFileAtomically(file, content));
        IMMDevicePtr device;
        EXPECT_EQ(MakeEnumerator()->GetDefaultAudioEndpoint(eCapture, eConsole, &device), E_NOTFOUND)
            << content;
    }
    std::string error;
    EXPECT_EQ(platform::audio::SetMicrophoneMute(true, error),
              platform::audio::EMicrophoneChange::NoMicrophone);
    ASSERT_TRUE(platform::ReplaceFileAtomically(file, "[1]"));
    EXPECT_EQ(platform::audio::SetMicrophonePresent(true, error), platform::audio::EMicrophoneChange::Failed);
    EXPECT_EQ(platform::ReadWholeFile(file), std::optional<std::string>("[1]")) << "left as it was";

    std::filesystem::remove(file);
    IMMDevicePtr device;
    EXPECT_EQ(MakeEnumerator()->GetDefaultAudioEndpoint(eCapture, eConsole, &device), E_NOTFOUND);
}

// Sets from two threads at once: the on-screen display ends with the mute the machine keeps.
TEST_F(AudioTest, ConcurrentSetsLeaveTheFollowerWithTheMicrophonesMute) {
    auto setMany = [](BOOL mute) {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        {
            const IAudioEndpointVolumePtr volume = MakeVolume();
            for (int i = 0; i < 20 && volume; ++i) {
                EXPECT_TRUE(SUCCEEDED(volume->SetMute(mute, nullptr)));
            }
        }
        CoUninitialize();
    };
    std::thread muting(setMany, TRUE);
    std::thread unmuting(setMany, FALSE);
    muting.join();
    unmuting.join();
    EXPECT_EQ(MuteRecords().size(), 40u);
    EXPECT_EQ(FollowerValue(), std::optional<DWORD>(platform::audio::CurrentMicrophone().muted ? 1 : 0));
}

TEST_F(AudioTest, WithoutTheRegistrationThereIsNoCoreAudio) {
    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                             L"SOFTWARE\\Classes\\CLSID\\{BCDE0395-E52F-467C-8E3D-C4579291692E}"),
              ERROR_SUCCESS);
    IMMDeviceEnumeratorPtr enumerator;
    EXPECT_EQ(enumerator.CreateInstance(CLSID_MMDeviceEnumerator, nullptr, CLSCTX_ALL), REGDB_E_CLASSNOTREG);
}

TEST(AudioServer, IsLetGoWithTheLastApartmentOnceItsObjectsAre) {
    const testing_support::CTestMachine machine;
    const std::filesystem::path server = com_test::BuiltLibrary("libmmdevapi.so");
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    IAudioEndpointVolume* volume = nullptr;
    {
        IMMDeviceEnumeratorPtr enumerator;
        ASSERT_EQ(enumerator.CreateInstance(CLSID_MMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER), S_OK);
        IMMDevicePtr device;
        ASSERT_EQ(enumerator->GetDefaultAudioEndpoint(eCapture, eConsole, &device), S_OK);
        ASSERT_EQ(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                                   reinterpret_cast<void**>(&volume)),
                  S_OK);
    }
    CoUninitialize();
    EXPECT_TRUE(com_test::IsLoaded(server)) << "an object of it lives";

    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    volume->Release();
    CoUninitialize();
    EXPECT_FALSE(com_test::IsLoaded(server));
}

} // namespace
