// The diagnostic log: its switch, its header, its records and its restart past 3 MiB.
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/registry.h"
#include "services/Log.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;
namespace fs = std::filesystem;

const wchar_t* const kLogFolder = L"C:\\Users\\Alex\\AppData\\LocalLow\\Corvex\\ampwise\\log";

void SetLogSwitch(const wchar_t* value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Corvex\\Modern\\Logs", 0, nullptr,
                              0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring text = value;
    RegSetValueExW(key, L"Plexhost.Service", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

class LogTest : public testing::Test {
protected:
    void StartLog(bool makeFolder, const wchar_t* logSwitch) {
        if (makeFolder) {
            fs::create_directories(m_machine.HostPath(kLogFolder));
        }
        if (logSwitch) {
            SetLogSwitch(logSwitch);
        }
        g_strLogFolder.clear();
        InitLogFolder();
        InitLog();
    }
    void TearDown() override { g_bLogEnabled = false; }
    std::string LogText() const {
        return platform::ReadWholeFile(m_machine.HostPath(std::wstring(kLogFolder) + L"\\quickpanel.log"))
            .value_or("<no file>");
    }

    CTestMachine m_machine;
};

TEST_F(LogTest, IsOnOnlyWithTheFolderAndTheSwitchZero) {
    struct Case {
        bool folder;
        const wchar_t* logSwitch;
        bool enabled;
    } cases[] = {{true, L"0", true},
                 {true, L"00", false},
                 {true, L" 0", false},
                 {true, nullptr, false},
                 {false, L"0", false}};
    for (const auto& c : cases) {
        CTestMachine machine;
        if (c.folder) {
            fs::create_directories(machine.HostPath(kLogFolder));
        }
        if (c.logSwitch) {
            SetLogSwitch(c.logSwitch);
        }
        g_strLogFolder.clear();
        InitLogFolder();
        InitLog();
        EXPECT_EQ(g_bLogEnabled, c.enabled) << c.folder << " " << (c.logSwitch ? "set" : "absent");
        WriteLog(L"[record %d]", 1);
        EXPECT_EQ(fs::exists(machine.HostPath(kLogFolder)), c.folder) << "the log folder is never made";
    }
}

TEST_F(LogTest, StartsWithTheHeaderAndAddsRecordsWithTheirTime) {
    StartLog(true, L"0");
    WriteLog(L"[SetWiFiStatus #2 nCurState=%d, resonse:%s]", 1, L"<ok/>");
    const std::string text = LogText();
    EXPECT_NE(text.find("Restart log....\n"), std::string::npos);
    EXPECT_NE(text.find("******    MachineInfo: BIOSVersion=[NRCN31VX], SystemFamily=[Ixor Aeris 14 G8], "
                        "SystemProductName=[83DA], SystemSKU=[IXOR_MT_83DA_FM_Ixor Aeris 14 G8]\n"),
              std::string::npos);
    EXPECT_NE(text.find("******    PlexhostService Running: [ Yes ]\n"), std::string::npos);
    EXPECT_NE(text.find("******    FlipdeckEx CompileTime: [ "), std::string::npos);
    EXPECT_NE(text.find("******    WavesSoundPlugin.dll version: [ File not found ]\n"), std::string::npos);
    size_t versionLines = 0;
    for (size_t at = text.find(" version: [ "); at != std::string::npos;
         at = text.find(" version: [ ", at + 1)) {
        ++versionLines;
    }
    EXPECT_EQ(versionLines, 18u);
    const size_t record = text.find("  [SetWiFiStatus #2 nCurState=1, resonse:<ok/>]\n\n\n");
    ASSERT_NE(record, std::string::npos) << text;
    EXPECT_EQ(text[record - 24], '\n') << "a record starts on its own line with its time stamp";
}

TEST_F(LogTest, CutsLongMessagesAndRestartsPastThreeMegabytes) {
    StartLog(true, L"0");
    const std::wstring longText(9000, L'x');
    WriteLog(L"%s", longText.c_str());
    EXPECT_NE(LogText().find(std::string(8191, 'x') + "\n"), std::string::npos);
    EXPECT_EQ(LogText().find(std::string(8192, 'x')), std::string::npos);

    const auto file = m_machine.HostPath(std::wstring(kLogFolder) + L"\\quickpanel.log");
    // Write until a record pushes the file past 3 MiB: the file then shrinks to the new header.
    for (auto size = fs::file_size(file), previous = uintmax_t{0}; size >= previous;
         size = fs::file_size(file)) {
        ASSERT_LE(size, 3145728u + 2 * 8192u);
        previous = size;
        WriteLog(L"%s", longText.c_str());
    }
    const std::string restarted = LogText();
    EXPECT_LT(restarted.size(), 10000u) << "the file holds only the new header";
    EXPECT_NE(restarted.find("Restart log...."), std::string::npos);
}

TEST_F(LogTest, RecordsOfConcurrentThreadsStayWhole) {
    StartLog(true, L"0");
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                WriteLog(L"[writer %d record %d end]", t, i);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    const std::string text = LogText();
    size_t records = 0;
    for (size_t at = text.find("  [writer "); at != std::string::npos; at = text.find("  [writer ", at + 1)) {
        EXPECT_NE(text.find(" end]\n\n\n", at), std::string::npos);
        ++records;
    }
    EXPECT_EQ(records, 400u);
}

} // namespace
