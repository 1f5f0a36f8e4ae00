// The battery picture's data: the charge picture by percentage and battery flag, the mode badge, the
// remaining time and the time to full charge (host, power-manager library), the host's battery-status
// answer, the toolbar's values, the one-shot host queries, the picture, badge and narrator line a refresh
// shows, refreshes that meet, and a close that does not wait for a held host.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/BatteryStatusDisplay.h"
#include "controls/PNGBatteryStatic.h"
#include "platform/com.h"
#include "platform/registry.h"
#include "services/ContractClient.h"
#include "services/Log.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::PumpUntil;
using features_test::RunMachineTool;
using testing_support::ReadMachineEvents;
using testing_support::SetMachineFact;

constexpr auto kLongWait = std::chrono::seconds(60);

SYSTEM_POWER_STATUS Status(BYTE acLine, BYTE flag, BYTE percent, DWORD seconds = BATTERY_LIFE_UNKNOWN) {
    SYSTEM_POWER_STATUS status{};
    status.ACLineStatus = acLine;
    status.BatteryFlag = flag;
    status.BatteryLifePercent = percent;
    status.BatteryLifeTime = seconds;
    return status;
}

// ---- Tables ----

TEST(BatteryPicture, TheChargePictureByPercentageAndTheErrorPicturesByFlag) {
    const struct {
        BYTE flag;
        BYTE percent;
        int nImage;
        const wchar_t* pszError; // null: a charge picture
    } cases[] = {
        {BATTERY_FLAG_CHARGING, 100, 155, nullptr},
        {0, 98, 155, nullptr},
        {0, 97, 154, nullptr},
        {0, 85, 154, nullptr},
        {0, 84, 153, nullptr},
        {0, 75, 153, nullptr},
        {0, 74, 152, nullptr},
        {0, 65, 152, nullptr},
        {0, 64, 151, nullptr},
        {0, 55, 151, nullptr},
        {0, 54, 150, nullptr},
        {0, 45, 150, nullptr},
        {0, 44, 149, nullptr},
        {0, 35, 149, nullptr},
        {0, 34, 148, nullptr},
        {0, 25, 148, nullptr},
        {0, 24, 147, nullptr},
        {0, 15, 147, nullptr},
        {0, 14, 146, nullptr},
        {0, 5, 146, nullptr},
        {BATTERY_FLAG_CRITICAL, 4, 145, nullptr},
        {0, 0, 145, nullptr},
        {BATTERY_FLAG_NO_BATTERY, 50, 180, L"No system battery"},
        {BATTERY_FLAG_NO_BATTERY, 255, 180, L"No system battery"},
        {BATTERY_FLAG_UNKNOWN, 50, 179, L"Battery voltage incorrect"},
        {BATTERY_FLAG_HIGH, 255, 179, L"Battery voltage incorrect"},
        {BATTERY_FLAG_HIGH, 101, 179, L"Battery voltage incorrect"},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.flag) + "/" + std::to_string(c.percent);
        int nImage = 0;
        CString strError = L"before";
        EXPECT_EQ(CBatteryStatusDisplay::SelectBatteryImage(Status(AC_LINE_OFFLINE, c.flag, c.percent),
                                                            nImage, strError),
                  c.pszError == nullptr)
            << strCase;
        EXPECT_EQ(nImage, c.nImage) << strCase;
        EXPECT_EQ(strError, CString(c.pszError ? c.pszError : L"")) << strCase;
    }
}

TEST(BatteryPicture, TheBadgeOfTheChargeModesFirstMatchWinning) {
    const struct {
        bool bCharging;
        int nAirplane, nRapid, nConservation, nThreshold;
        int nBadge;
    } cases[] = {
        {true, 0, 0, 0, 0, 163}, {true, 1, 1, 0, 0, 164}, {true, 0, 1, 1, 0, 166},  {true, 0, 0, 1, 0, 165},
        {true, 0, 0, 0, 1, 165}, {false, 0, 0, 0, 0, 0},  {false, 1, 0, 0, 0, 144}, {false, 0, 1, 1, 1, 0},
    };
    for (const auto& c : cases) {
        CBatteryStatusDisplay display;
        display.m_nAirplaneOn = c.nAirplane;
        display.m_nRapidOn = c.nRapid;
        display.m_nConservationOn = c.nConservation;
        display.m_nThresholdEnabled = c.nThreshold;
        int nBadge = 0;
        display.SelectModeBadge(c.bCharging, nBadge);
        EXPECT_EQ(nBadge, c.nBadge) << c.bCharging << c.nAirplane << c.nRapid << c.nConservation
                                    << c.nThreshold;
    }
}

struct TimeTexts {
    std::string label;
    std::string time;
    std::string status;
    bool operator==(const TimeTexts&) const = default;
};

void PrintTo(const TimeTexts& texts, std::ostream* pOut) {
    *pOut << "{" << texts.label << " | " << texts.time << " | " << texts.status << "}";
}

TimeTexts FormatTimes(CBatteryStatusDisplay& display, const SYSTEM_POWER_STATUS& status) {
    CString strLabel;
    CString strTime;
    CString strStatus;
    EXPECT_TRUE(display.FormatRemainingTime(status, strLabel, strTime, strStatus));
    return {platform::ToUtf8(strLabel.GetString()), platform::ToUtf8(strTime.GetString()),
            platform::ToUtf8(strStatus.GetString())};
}

TEST(BatteryTime, OnBatteryTheRemainingTimeInHoursAndMinutesUnlessUnknownOrDelayed) {
    const struct {
        DWORD seconds;
        bool bDelay;
        TimeTexts texts;
    } cases[] = {
        {3660, false, {"REMAINING TIME", "1 hour 1 minute", "Battery remaining"}},
        {7200, false, {"REMAINING TIME", "2 hours 0 minutes", "Battery remaining"}},
        {59, false, {"REMAINING TIME", "0 minutes", "Battery remaining"}},
        {60, false, {"REMAINING TIME", "1 minute", "Battery remaining"}},
        {86399, false, {"REMAINING TIME", "23 hours 59 minutes", "Battery remaining"}},
        {BATTERY_LIFE_UNKNOWN - 1,
         false,
         {"REMAINING TIME", "1193046 hours 28 minutes", "Battery remaining"}},
        {BATTERY_LIFE_UNKNOWN, false, {"", "", "Battery remaining"}},
        {3660, true, {"", "", "Battery remaining"}},
    };
    for (const auto& c : cases) {
        CBatteryStatusDisplay display;
        display.m_bDelayShowRemainTime = c.bDelay ? 1 : 0;
        EXPECT_EQ(FormatTimes(display, Status(AC_LINE_OFFLINE, 0, 50, c.seconds)), c.texts) << c.seconds;
    }
}

TEST(BatteryTime, TheBatteryStatusAnswerGivesTheMinutesOfTheFirstTwoBatteries) {
    const struct {
        const char* pszName;
        const char* pszAnswer; // null: a null answer
        bool bParsed;
        int nFirst;
        int nSecond;
    } cases[] = {
        {"one battery",
         "<?xml version=\"1.0\"?><BatteryInformation><BatteryStatus><Setting "
         "key=\"ChargeCompletionTimeinMins\">45"
         "</Setting></BatteryStatus></BatteryInformation>",
         true, 45, 0},
        {"two, among other settings, the last one counting",
         "<BatteryInformation><BatteryStatus><Setting key=\"Other\">9</Setting><Setting "
         "key=\"ChargeCompletionTimeinMins\">10</Setting><Setting "
         "key=\"ChargeCompletionTimeinMins\">20</Setting>"
         "</BatteryStatus><Other/><BatteryStatus><Setting key=\"ChargeCompletionTimeinMins\">30</Setting>"
         "</BatteryStatus><BatteryStatus><Setting "
         "key=\"ChargeCompletionTimeinMins\">99</Setting></BatteryStatus>"
         "</BatteryInformation>",
         true, 20, 30},
        {"inside Data",
         "<ContractResponse><Data>&lt;BatteryStatus&gt;&lt;Setting "
         "key=\"ChargeCompletionTimeinMins\"&gt;7&lt;/"
         "Setting&gt;&lt;/BatteryStatus&gt;</Data></ContractResponse>",
         true, 7, 0},
        {"the number a text begins with, none without one",
         "<R><BatteryStatus><Setting key=\"ChargeCompletionTimeinMins\"> 45 min</Setting></BatteryStatus>"
         "<BatteryStatus><Setting key=\"ChargeCompletionTimeinMins\">soon</Setting></BatteryStatus></R>",
         true, 45, 0},
        {"negative and beyond the range",
         "<R><BatteryStatus><Setting key=\"ChargeCompletionTimeinMins\">-5</Setting></BatteryStatus>"
         "<BatteryStatus><Setting "
         "key=\"ChargeCompletionTimeinMins\">99999999999</Setting></BatteryStatus></R>",
         true, -5, 2147483647},
        {"no text", "<BatteryStatus><Setting key=\"ChargeCompletionTimeinMins\"/></BatteryStatus>", true, 0,
         0},
        {"the key in another case",
         "<BatteryStatus><Setting key=\"chargecompletiontimeinmins\">45</Setting></BatteryStatus>", true, 0,
         0},
        {"no status", "<BatteryInformation/>", false, 0, 0},
        {"malformed", "<BatteryStatus><Setting key=\"ChargeCompletionTimeinMins\">45</Setting>", false, 0, 0},
        {"null", nullptr, false, 0, 0},
    };
    for (const auto& c : cases) {
        int nFirst = 7;
        int nSecond = 7;
        const ContractAnswer answer = c.pszAnswer ? ContractAnswer(c.pszAnswer) : ContractAnswer();
        EXPECT_EQ(CBatteryStatusDisplay::ParseBatteryStatusAnswer(answer, nFirst, nSecond), c.bParsed)
            << c.pszName;
        EXPECT_EQ(nFirst, c.nFirst) << c.pszName;
        EXPECT_EQ(nSecond, c.nSecond) << c.pszName;
    }
}

// ---- On the machine ----

// The picture the display shows on, its fields open to the test.
class CPictureProbe : public CPNGBatteryStatic {
public:
    using CPNGBatteryStatic::m_bSingleText;
    using CPNGBatteryStatic::m_nImageId;
    using CPNGBatteryStatic::m_nOverlayId;
    using CPNGBatteryStatic::m_strLevel;
    using CPNGBatteryStatic::m_strSecond;
    using CPNGBatteryStatic::m_strSingle;
    using CPNGBatteryStatic::m_strThird;
};

// A consumer machine with the log on, an apartment, a window with the picture and a display attached to
// it (Attach takes the contract instance as it is then).
class BatteryStatusDisplayTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        features_test::StartMachineLog(m_machine);
        CWnd& parent = MakeParent(400, 120);
        ASSERT_TRUE(m_picture.Create(L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 357, 84}, &parent, 1052));
    }
    void TearDown() override {
        if (m_pDisplay) {
            m_pDisplay->Close(kBoundMs);
        }
        m_pDisplay.reset();
        ReleaseContractInterface();
        CoUninitialize();
        g_bLogEnabled = false;
        CControlWindowTest::TearDown();
    }
    void StartContract() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }
    CBatteryStatusDisplay& Attach(int nBrand = 0, std::shared_ptr<CPowerManagerLib> pLibrary = nullptr) {
        m_pDisplay = std::make_shared<CBatteryStatusDisplay>();
        m_pDisplay->Attach(&m_picture, L"MY BATTERY", nBrand, std::move(pLibrary));
        return *m_pDisplay;
    }
    void SetPower(const nlohmann::json& power) const { SetMachineFact(m_machine.Folder(), "/power", power); }
    std::string LogText() const { return features_test::MachineLogText(m_machine); }

    static constexpr DWORD kBoundMs = 300;
    CPictureProbe m_picture;
    std::shared_ptr<CBatteryStatusDisplay> m_pDisplay;
};

TEST_F(BatteryStatusDisplayTest, OnMainsTheTimeToFullChargeIsTheHostsOnceReadyTheLibrarysOnBusinessMachines) {
    const struct {
        const char* pszName;
        nlohmann::json power;
        const char* pszFeature; // flipdeck-machine command before, or ""
        bool bReady;
        TimeTexts texts;
    } cases[] = {
        {"45 minutes",
         {{"acLine", true}, {"batteryPercent", 55}, {"chargeMinutes", 100}},
         "",
         true,
         {"TIME TO FULL CHARGE", "45 minutes", "Battery available"}},
        {"two batteries",
         {{"acLine", true}, {"batteryPercent", 80}, {"secondBatteryPercent", 60}, {"chargeMinutes", 100}},
         "",
         true,
         {"TIME TO FULL CHARGE", "1 hour 0 minutes", "Battery available"}},
        {"0 minutes: full",
         {{"acLine", true}, {"batteryPercent", 100}},
         "",
         true,
         {"", "", "Battery available"}},
        {"not ready yet",
         {{"acLine", true}, {"batteryPercent", 55}},
         "",
         false,
         {"", "", "Battery available"}},
        {"a negative time counts as none",
         {{"acLine", true}, {"batteryPercent", 100}},
         "feature RapidCharge --answer ChargeCompletionTimeinMins=-90 --answer "
         "ChargeCompletionTimeinMins2=30",
         true,
         {"TIME TO FULL CHARGE", "30 minutes", "Battery available"}},
        {"beyond the range",
         {{"acLine", true}, {"batteryPercent", 50}},
         "feature RapidCharge --answer ChargeCompletionTimeinMins=99999999999 --answer "
         "ChargeCompletionTimeinMins2=99999999999",
         true,
         {"TIME TO FULL CHARGE", "35791394 hours 7 minutes", "Battery available"}},
        {"a failing host",
         {{"acLine", true}, {"batteryPercent", 55}},
         "host mode failing",
         true,
         {"", "", "Battery available"}},
        {"a malformed host",
         {{"acLine", true}, {"batteryPercent", 55}},
         "host mode malformed",
         true,
         {"", "", "Battery available"}},
    };
    StartContract();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        SetPower(c.power);
        RunMachineTool("host mode normal");
        RunMachineTool("feature RapidCharge --no-answer ChargeCompletionTimeinMins --no-answer "
                       "ChargeCompletionTimeinMins2");
        if (*c.pszFeature) {
            RunMachineTool(c.pszFeature);
        }
        CBatteryStatusDisplay& display = Attach();
        display.m_bChargeTimeReady = c.bReady ? 1 : 0;
        const size_t nCalls = ReadMachineEvents("contract.GetBatteryStatus").size();
        EXPECT_EQ(FormatTimes(display, Status(AC_LINE_ONLINE, BATTERY_FLAG_CHARGING, 55)), c.texts);
        if (!c.bReady) {
            EXPECT_EQ(ReadMachineEvents("contract.GetBatteryStatus").size(), nCalls)
                << "the host is not asked";
        }
    }
}

TEST_F(BatteryStatusDisplayTest, WithoutAContractInstanceOnlyTheLibraryGivesATimeToFullCharge) {
    SetPower({{"acLine", true}, {"batteryPercent", 55}, {"chargeMinutes", 100}});
    CBatteryStatusDisplay& consumer = Attach();
    consumer.m_bChargeTimeReady = 1;
    EXPECT_EQ(FormatTimes(consumer, Status(AC_LINE_ONLINE, BATTERY_FLAG_CHARGING, 55)),
              (TimeTexts{"", "", "Battery available"}));

    testing_support::CTestMachine business("business-win10");
    SetMachineFact(business.Folder(), "/power", {{"acLine", true}, {"batteryPercent", 55}});
    SetMachineFact(business.Folder(), "/powerManager/answers/main", {{"minutes", 77}});
    auto pLibrary = std::make_shared<CPowerManagerLib>();
    ASSERT_TRUE(pLibrary->LoadPowerManagerDll());
    CBatteryStatusDisplay& kobal = Attach(1, pLibrary);
    EXPECT_EQ(FormatTimes(kobal, Status(AC_LINE_ONLINE, BATTERY_FLAG_CHARGING, 55)),
              (TimeTexts{"TIME TO FULL CHARGE", "1 hour 17 minutes", "Battery available"}))
        << "the library's minutes, whether ready or not";
    SetMachineFact(business.Folder(), "/powerManager/answers/main", {{"minutes", 0}});
    EXPECT_EQ(FormatTimes(kobal, Status(AC_LINE_ONLINE, BATTERY_FLAG_CHARGING, 55)),
              (TimeTexts{"", "", "Battery available"}));
    m_pDisplay->Close(kBoundMs);
}

TEST_F(BatteryStatusDisplayTest, TheToolbarsValuesSetTheModeFlagsOnlyAsRegDwords) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Corvex\\Ampwise", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    const auto setDword = [hKey](const wchar_t* pszName, DWORD value) {
        RegSetValueExW(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    };
    const auto setText = [hKey](const wchar_t* pszName, const wchar_t* pszText) {
        RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszText),
                       static_cast<DWORD>((wcslen(pszText) + 1) * sizeof(wchar_t)));
    };
    CBatteryStatusDisplay& display = Attach();
    const auto flags = [&display] {
        return std::to_string(display.m_nAirplaneOn) + std::to_string(display.m_nThresholdEnabled) +
               std::to_string(display.m_nConservationOn) + std::to_string(display.m_nRapidOn);
    };
    setDword(L"PowerStatusInfo", 0x6);
    display.ReadPowerStatusInfo(false);
    EXPECT_EQ(flags(), "0110");
    EXPECT_EQ(m_picture.m_nOverlayId, 165) << "the machine charges at 80 %";
    setText(L"PowerStatusInfo", L"9");
    display.ReadPowerStatusInfo(false);
    EXPECT_EQ(flags(), "0110") << "a text is no value";
    setDword(L"PowerStatusInfo", 0x9);
    display.ReadPowerStatusInfo(false);
    EXPECT_EQ(flags(), "1001");
    EXPECT_EQ(m_picture.m_nOverlayId, 164);

    const struct {
        bool bDword;
        DWORD value;
        bool bDelay;
    } delays[] = {{true, 1, true}, {false, 0, true}, {true, 0, false}, {true, 7, true}};
    for (const auto& delay : delays) {
        if (delay.bDword) {
            setDword(L"DelayShowRemainTime", delay.value);
        } else {
            setText(L"DelayShowRemainTime", L"0");
        }
        EXPECT_EQ(display.ReadDelayShowRemainTime(), delay.bDelay) << delay.bDword << delay.value;
        EXPECT_EQ(display.m_bDelayShowRemainTime, delay.bDelay ? 1 : 0);
    }
    RegCloseKey(hKey);
}

TEST_F(BatteryStatusDisplayTest, TheOneShotQueriesTakeTheHostsChargeModesAndThreshold) {
    StartContract();
    RunMachineTool("feature ConservationMode --state on");
    CBatteryStatusDisplay& display = Attach();
    display.RequestRefresh(); // the refresh worker starts, as with the panel
    EXPECT_EQ(display.JudgeConservationMode(), 0);
    EXPECT_EQ(display.m_bConservationSupported, 1);
    EXPECT_EQ(display.m_nConservationOn, 1);
    EXPECT_EQ(display.JudgeRapidCharge(), 0);
    EXPECT_EQ(display.m_bRapidSupported, 1);
    EXPECT_EQ(display.m_nRapidOn, 0);
    EXPECT_TRUE(PumpUntil([this] { return m_picture.m_nImageId == 153; }, kLongWait))
        << "a supported rapid charge asks for a refresh";
    EXPECT_EQ(display.JudgeChargeThreshold(), 0);
    EXPECT_EQ(display.m_nThresholdEnabled, 0) << "the consumer notebook has none";

    RunMachineTool("host mode failing");
    RunMachineTool("feature ConservationMode --state off");
    EXPECT_EQ(display.JudgeConservationMode(), -2);
    EXPECT_EQ(display.JudgeRapidCharge(), -2);
    EXPECT_EQ(display.JudgeChargeThreshold(), -2);
    EXPECT_EQ(display.m_nConservationOn, 1) << "a failed call changes nothing";
    RunMachineTool("host mode malformed");
    EXPECT_EQ(display.JudgeConservationMode(), 0);
    EXPECT_EQ(display.m_nConservationOn, 1) << "nor does an answer that does not parse";
}

TEST_F(BatteryStatusDisplayTest, TheThresholdQueryTakesTheBusinessHostsStateAndTexts) {
    testing_support::CTestMachine business("business-win10");
    RunMachineTool("feature BatteryChargeThreshold --state on --answer StartValue=60");
    StartContract();
    CBatteryStatusDisplay& display = Attach(1);
    EXPECT_EQ(display.JudgeChargeThreshold(), 0);
    EXPECT_EQ(display.m_nThresholdEnabled, 1);
    EXPECT_EQ(display.m_nThresholdResetRunning, 0);
    std::string strText1;
    std::string strText2;
    display.GetThresholdTexts(strText1, strText2);
    EXPECT_EQ(strText1, "1-[60% - 80%]");
    EXPECT_EQ(strText2, "");

    // The capability answers, then the status call answers nothing or fails: the last state stays.
    RunMachineTool("feature BatteryChargeThreshold --state off");
    for (const char* pszHow : {"null", "error"}) {
        RunMachineTool(std::string("host answer GetChargeThresholdStatusEx ") + pszHow);
        EXPECT_EQ(display.JudgeChargeThreshold(), -2) << pszHow;
        EXPECT_EQ(display.m_nThresholdEnabled, 1) << pszHow;
        display.GetThresholdTexts(strText1, strText2);
        EXPECT_EQ(strText1, "1-[60% - 80%]") << pszHow;
    }
    RunMachineTool("host answer GetChargeThresholdStatusEx normal");
    m_pDisplay->Close(kBoundMs);
    m_pDisplay.reset();
    ReleaseContractInterface();
}

TEST_F(BatteryStatusDisplayTest, WithoutAContractInstanceTheQueriesLogAndEnd) {
    CBatteryStatusDisplay& display = Attach();
    EXPECT_EQ(display.JudgeChargeThreshold(), -1);
    EXPECT_EQ(display.JudgeConservationMode(), -1);
    EXPECT_EQ(display.JudgeRapidCharge(), -1);
    for (const char* pszName : {"JudgeChargeThreshold", "JudgeConservationMode", "JudgeRapidCharge"}) {
        EXPECT_NE(LogText().find(std::string("[Error:IContractInterfacePtr is Null, please register "
                                             "Pactbridge.dll][CBatteryTimeInfoDlg::") +
                                 pszName + "]"),
                  std::string::npos)
            << LogText();
    }
}

struct PictureCase {
    const char* pszName;
    nlohmann::json power;
    int nImage;
    int nBadge;
    std::optional<std::wstring> single; // the one message; none: the three texts
    std::wstring level, second, third;
    std::wstring narrator;
};

TEST_F(BatteryStatusDisplayTest, ARefreshShowsPictureBadgeTextsAndTheNarratorLine) {
    g_bNarrator = true;
    const PictureCase cases[] = {
        {"on battery",
         {{"acLine", false}, {"batteryPercent", 35}, {"batteryLifeSeconds", 3660}},
         149,
         0,
         std::nullopt,
         L"35",
         L"1 hour 1 minute",
         L"REMAINING TIME",
         L"MY BATTERY. 35% Battery remaining. REMAINING TIME. 1 hour 1 minute"},
        {"charging, not ready for the time",
         {{"acLine", true}, {"batteryPercent", 99}},
         155,
         163,
         std::nullopt,
         L"99",
         L"",
         L"",
         L"MY BATTERY. 99% Battery available. . "},
        {"no battery",
         {{"acLine", true}, {"battery", "none"}},
         180,
         163,
         L"No system battery",
         L"",
         L"",
         L"",
         L"No system battery"},
        {"unknown battery",
         {{"acLine", false}, {"battery", "unknown"}},
         179,
         0,
         L"Battery voltage incorrect",
         L"",
         L"",
         L"",
         L"Battery voltage incorrect"},
    };
    CBatteryStatusDisplay& display = Attach();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        SetPower(c.power);
        display.UpdateBatteryInfo();
        EXPECT_EQ(m_picture.m_nImageId, c.nImage);
        EXPECT_EQ(m_picture.m_nOverlayId, c.nBadge);
        EXPECT_EQ(m_picture.m_bSingleText, c.single.has_value());
        if (c.single) {
            EXPECT_EQ(m_picture.m_strSingle, CString(c.single->c_str()));
        } else {
            EXPECT_EQ(m_picture.m_strLevel, CString(c.level.c_str()));
            EXPECT_EQ(m_picture.m_strSecond, CString(c.second.c_str()));
            EXPECT_EQ(m_picture.m_strThird, CString(c.third.c_str()));
        }
        EXPECT_EQ(m_picture.GetNarratorText(), CString(c.narrator.c_str()));
    }
    SetPower({{"readable", false}, {"acLine", true}, {"batteryPercent", 50}});
    display.UpdateBatteryInfo();
    EXPECT_EQ(m_picture.m_nImageId, 156);
    EXPECT_EQ(m_picture.m_nOverlayId, 0);
    EXPECT_EQ(m_picture.m_strSingle, CString(L"Battery voltage incorrect")) << "the texts stay";
}

unsigned __stdcall RefreshOnWorker(void* pParam) {
    static_cast<CBatteryStatusDisplay*>(pParam)->UpdateBatteryInfo();
    return 0;
}

// A refresh that meets one still running leaves the work to it, which repeats with what the machine says
// then: the picture ends with the later state and its whole time texts.
TEST_F(BatteryStatusDisplayTest, ARefreshThatMeetsARunningOneIsRepeatedByIt) {
    g_bNarrator = true;
    StartContract();
    SetPower({{"acLine", true}, {"batteryPercent", 55}, {"chargeMinutes", 100}});
    CBatteryStatusDisplay& display = Attach();
    display.m_bChargeTimeReady = 1;
    const auto hWorker =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RefreshOnWorker, &display, 0, nullptr));
    ASSERT_NE(hWorker, nullptr);
    // Unserviced, the narrator text it gives the picture (a message to this thread's window) holds the
    // worker inside its refresh.
    EXPECT_EQ(WaitForSingleObject(hWorker, 2000), static_cast<DWORD>(WAIT_TIMEOUT));
    SetPower({{"acLine", true}, {"batteryPercent", 35}, {"chargeMinutes", 100}});
    display.UpdateBatteryInfo();
    EXPECT_TRUE(PumpUntil([hWorker] { return WaitForSingleObject(hWorker, 0) == WAIT_OBJECT_0; }, kLongWait));
    CloseHandle(hWorker);
    EXPECT_EQ(m_picture.m_strLevel, CString(L"35"));
    EXPECT_EQ(m_picture.m_strSecond, CString(L"1 hour 5 minutes"));
    EXPECT_EQ(m_picture.m_strThird, CString(L"TIME TO FULL CHARGE"));
    EXPECT_EQ(m_picture.GetNarratorText(),
              CString(L"MY BATTERY. 35% Battery available. TIME TO FULL CHARGE. 1 hour 5 minutes"));
}

TEST_F(BatteryStatusDisplayTest, CloseDoesNotWaitForAHeldHostAndTheWorkerKeepsTheDisplay) {
    StartContract();
    CBatteryStatusDisplay& display = Attach();
    RunMachineTool("host mode slow");
    ASSERT_TRUE(display.BeginDetachedThread(&CBatteryStatusDisplay::JudgeConservationMode));
    const std::weak_ptr<CBatteryStatusDisplay> pHeld = m_pDisplay;
    const auto start = std::chrono::steady_clock::now();
    display.Close(kBoundMs);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    m_pDisplay.reset();
    EXPECT_FALSE(pHeld.expired()) << "the worker in the host call holds it";
    RunMachineTool("host mode normal");
    EXPECT_TRUE(PumpUntil([&pHeld] { return pHeld.expired(); }, kLongWait)) << "and lets it go when done";
}

} // namespace
