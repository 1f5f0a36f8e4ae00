// flipdeck-machine audio: the machine's microphone as audio.json keeps it, and the on-screen display's
// registry value that follows its mute.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/audio/Microphone.h"
#include "platform/internal.h"
#include "platform/registry.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;
using testing_support::RunTool;

std::optional<DWORD> OnScreenDisplayMute() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\OnScreenDisplay", 0, KEY_READ | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegQueryValueExW(key, L"MicrophoneMuteState", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD ? std::optional(value) : std::nullopt;
}

struct ToolCase {
    const char* arguments;
    int exitCode;
    const char* output; // a part of it
    bool present;       // the microphone afterwards
    bool muted;
    std::optional<DWORD> displayed; // the on-screen display's value afterwards
};

// One machine through the whole table: each row starts from what the rows before left.
TEST(AudioTool, ChangesTheMicrophoneAndTheOnScreenDisplayFollowsItsMute) {
    const CTestMachine machine;
    const ToolCase cases[] = {
        {"audio", 0, "microphone: present, live", true, false, 0},
        {"audio mute on", 0, "microphone: present, muted", true, true, 1},
        {"audio mute on", 0, "microphone: present, muted", true, true, 1},
        {"audio microphone absent", 0, "microphone: absent, muted", false, true, 1},
        {"audio mute off", 1, "has no microphone", false, true, 1},
        {"audio microphone present", 0, "microphone: present, muted", true, true, 1},
        {"audio mute off", 0, "microphone: present, live", true, false, 0},
        {"audio mute", 2, "usage:", true, false, 0},
        {"audio mute yes", 2, "usage:", true, false, 0},
        {"audio microphone on", 2, "usage:", true, false, 0},
        {"audio volume 3", 2, "usage:", true, false, 0},
        {"audio --help", 0, "MicrophoneMuteState", true, false, 0},
    };
    for (const ToolCase& c : cases) {
        const testing_support::ToolResult result = RunTool(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments << ": " << result.output;
        EXPECT_NE(result.output.find(c.output), std::string::npos) << c.arguments << ": " << result.output;
        const platform::audio::SMicrophone microphone = platform::audio::CurrentMicrophone();
        EXPECT_EQ(microphone.present, c.present) << c.arguments;
        EXPECT_EQ(microphone.muted, c.muted) << c.arguments;
        EXPECT_EQ(OnScreenDisplayMute(), c.displayed) << c.arguments;
    }
    EXPECT_TRUE(testing_support::ReadMachineEvents("audio.").empty()) << "the tool's changes are no acts";
}

TEST(AudioTool, WithoutTheOnScreenDisplayOnlyTheMicrophoneChanges) {
    const CTestMachine machine;
    ASSERT_EQ(RunTool("reg delete 'HKLM\\SOFTWARE\\Corvex\\OnScreenDisplay'").exitCode, 0);
    EXPECT_EQ(RunTool("audio mute on").exitCode, 0);
    EXPECT_TRUE(platform::audio::CurrentMicrophone().muted);
    EXPECT_EQ(OnScreenDisplayMute(), std::nullopt) << "no key is made for software that is not there";
}

TEST(AudioTool, AStateFileThatIsNoObjectIsLeftAsItIs) {
    const CTestMachine machine;
    const std::filesystem::path file = machine.Folder() / platform::audio::kAudioStateFile;
    ASSERT_TRUE(platform::ReplaceFileAtomically(file, "not json"));
    const testing_support::ToolResult result = RunTool("audio mute on");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("is not a JSON object"), std::string::npos) << result.output;
    EXPECT_EQ(platform::ReadWholeFile(file), std::optional<std::string>("not json"));
    EXPECT_NE(RunTool("audio").output.find("microphone: absent"), std::string::npos);
}

} // namespace
