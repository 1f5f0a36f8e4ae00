// The diagnostic log: its switch, its header, its records and its restart past 3 MiB.
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/registry.h"
#include "platform/time.h"
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

// A record's time text, "%04d-%02d-%02d %02d:%02d:%02d.%03d  ": year, month, day, hour, minute, second,
// milliseconds, two blanks.
const std::string kTimeText = R"((\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})\.(\d{3})  )";
const std::string kStarLine =
    "*********************************Related Information*********************************";

using LocalTime = std::tuple<int, int, int, int, int, int, int>;

LocalTime LocalTimeNow() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

// The time of a match of kTimeText whose seven groups start at the group given.
LocalTime TimeOf(const std::smatch& match, size_t first = 1) {
    const auto part = [&](size_t n) { return std::stoi(match[first + n].str()); };
    return {part(0), part(1), part(2), part(3), part(4), part(5), part(6)};
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; at = end + 1, end = text.find('\n', at)) {
        lines.push_back(text.substr(at, end - at));
    }
    lines.push_back(text.substr(at));
    return lines;
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

// A version line's file and its version on the test machine (the 64-bit build's, else the 32-bit one's);
// null: any "a.b.c.d" or "File not found".
struct VersionLine {
    const char* file;
    const char* version;
};

TEST_F(LogTest, StartsWithTheHeaderAndAddsRecordsWithTheirTime) {
    const LocalTime started = LocalTimeNow();
    StartLog(true, L"0");
    WriteLog(L"[SetWiFiStatus #2 nCurState=%d, resonse:%s]", 1, L"<ok/>");
    const LocalTime written = LocalTimeNow();
    const std::string text = LogText();
    const std::vector<std::string> lines = LinesOf(text);
    ASSERT_EQ(lines.size(), 29u) << text;

    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, std::regex(kTimeText + R"(Restart log\.\.\.\.)")))
        << lines[0];
    EXPECT_GE(TimeOf(match), started);
    EXPECT_LE(TimeOf(match), written);
    EXPECT_EQ(lines[1], kStarLine);
    EXPECT_EQ(lines[2], "******    MachineInfo: BIOSVersion=[NRCN31VX], SystemFamily=[Ixor Aeris 14 G8], "
                        "SystemProductName=[83DA], SystemSKU=[IXOR_MT_83DA_FM_Ixor Aeris 14 G8]");
    EXPECT_EQ(lines[3], "******    PlexhostService Running: [ Yes ]");
    EXPECT_TRUE(std::regex_match(
        lines[4],
        std::regex(
            R"(\*{6}    FlipdeckEx CompileTime: \[ [A-Z][a-z]{2} [ \d]\d \d{4} \d{2}:\d{2}:\d{2} \])")))
        << lines[4];
    const VersionLine versions[] = {
        {"FlipdeckEx.exe", "2.1.0.86"},         {"CorvexAmpwisePackage.dll", "2.1.0.86"},
        {"DolbySoundPlugin.dll", nullptr},      {"WavesSoundPlugin.dll", "File not found"},
        {"IxorNotebookPlugin.dll", nullptr},    {"IxorBatteryPlugin.dll", nullptr},
        {"KobalBatteryPlugin.dll", nullptr},    {"CorvexMobileHotspotPlugin.dll", nullptr},
        {"IxorKeyboardPlugin.dll", "1.0.22.4"}, {"KobalKeyboardPlugin.dll", nullptr},
        {"CommonBasePlugin.dll", nullptr},      {"CorvexVisionProtectionPlugin.dll", "1.2.92.14"},
        {"IxorPowerPlugin.dll", nullptr},       {"KobalPowerPlugin.dll", nullptr},
        {"KobalSmartSensePlugin.dll", nullptr}, {"IxorTouchPadPlugin.dll", nullptr},
        {"KobalTouchPadPlugin.dll", nullptr},   {"CorvexWiFiSecurityPlugin.dll", nullptr}};
    size_t line = 5;
    for (const auto& version : versions) {
        const std::string prefix = std::string("******    ") + version.file + " version: [ ";
        ASSERT_EQ(lines[line].substr(0, prefix.size()), prefix);
        const std::string rest = lines[line].substr(prefix.size());
        if (version.version) {
            EXPECT_EQ(rest, std::string(version.version) + " ]");
        } else {
            EXPECT_TRUE(std::regex_match(rest, std::regex(R"((\d+\.\d+\.\d+\.\d+|File not found) \])")))
                << rest;
        }
        ++line;
    }
    EXPECT_EQ(lines[23], kStarLine);
    EXPECT_EQ(lines[24], "");

    ASSERT_TRUE(std::regex_match(
        lines[25], match, std::regex(kTimeText + R"(\[SetWiFiStatus #2 nCurState=1, resonse:<ok/>\])")))
        << lines[25];
    EXPECT_GE(TimeOf(match), started);
    EXPECT_LE(TimeOf(match), written);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 26, lines.end()),
              (std::vector<std::string>{"", "", ""}))
        << "the message, two line feeds and the line end";
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
    const LocalTime started = LocalTimeNow();
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
    const LocalTime written = LocalTimeNow();
    const std::string text = LogText();
    const std::string headerEnd = kStarLine + "\n\n";
    size_t at = text.find(headerEnd);
    ASSERT_NE(at, std::string::npos) << text;
    at += headerEnd.size();
    // Everything after the header is whole records, one after the other, each writer's in its order.
    const std::regex record(kTimeText + R"(\[writer (\d) record (\d+) end\]\n\n\n)");
    std::vector<int> next(8, 0);
    size_t records = 0;
    for (std::smatch match; at < text.size(); at += static_cast<size_t>(match.length(0)), ++records) {
        ASSERT_TRUE(std::regex_search(text.cbegin() + static_cast<std::ptrdiff_t>(at), text.cend(), match,
                                      record, std::regex_constants::match_continuous))
            << "not a whole record at " << at << ": " << text.substr(at, 80);
        EXPECT_GE(TimeOf(match), started);
        EXPECT_LE(TimeOf(match), written);
        const int writer = std::stoi(match[8].str());
        EXPECT_EQ(std::stoi(match[9].str()), next[writer]++) << "writer " << writer;
    }
    EXPECT_EQ(records, 400u);
    EXPECT_EQ(next, std::vector<int>(8, 50));
}

} // namespace
