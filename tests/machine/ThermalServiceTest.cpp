// The thermal service of the consumer notebook: its values as the profile makes them, the control codes
// that reach its handler through the service control manager (recorded as service.control), and
// flipdeck-machine feature IntelligentCooling, which shows the values or sets a mode as the hotkey does.
#include <string>
#include <vector>

#include "machine/thermal/ThermalService.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/servicecontrol.h"
#include "tests/machine/HostTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace host_test;
using testing_support::CTestMachine;
using testing_support::ToolResult;

const nlohmann::json kProfileStatus = {{"version", 20480},
                                       {"capability", 10},
                                       {"currentSetting", 1},
                                       {"automaticModeSetting", 2},
                                       {"mode", "intelligent"}};

std::string ShownStatus(const nlohmann::json& status) {
    return std::string("IntelligentCooling: ") + status.dump() + "\n";
}

std::vector<nlohmann::json> ServiceControls() {
    std::vector<nlohmann::json> controls;
    for (const nlohmann::json& record : RecordedEvents()) {
        if (record.value("event", "") == "service.control") {
            controls.push_back(record);
        }
    }
    return controls;
}

nlohmann::json ControlRecord(int code) {
    return {{"event", "service.control"}, {"service", "QRMDSVC"}, {"control", code}};
}

// Sends a control code to the thermal service as the program does; the call's last error (0: done).
DWORD SendControl(DWORD code) {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service = OpenServiceW(manager, L"QRMDSVC", SERVICE_USER_DEFINED_CONTROL);
    EXPECT_NE(service, nullptr);
    SERVICE_STATUS status = {};
    const DWORD error = ControlService(service, code, &status) ? ERROR_SUCCESS : GetLastError();
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return error;
}

TEST(ThermalService, TheConsumerNotebookHasAVersion4SolutionInIntelligentModeAndItsDriver) {
    {
        CTestMachine machine;
        EXPECT_EQ(thermal::ReadStatus(), kProfileStatus);
        const HANDLE driver =
            CreateFileW(L"\\\\.\\VexlorDrv", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(driver, INVALID_HANDLE_VALUE);
        CloseHandle(driver);
    }
    CTestMachine business("business-win10");
    EXPECT_EQ(thermal::ReadStatus(), (nlohmann::json{{"version", nullptr},
                                                     {"capability", nullptr},
                                                     {"currentSetting", nullptr},
                                                     {"automaticModeSetting", nullptr},
                                                     {"mode", nullptr}}));
}

// One machine through the table: each code starts from what the codes before left.
TEST(ThermalService, ItsHandlerRecordsEveryControlCodeAndTakesTheModes) {
    CTestMachine machine;
    const struct {
        DWORD code;
        DWORD error;
        nlohmann::json currentSetting;
        nlohmann::json automatic;
        nlohmann::json mode;
    } cases[] = {
        {148, ERROR_SUCCESS, 3, 1, "performance"}, {146, ERROR_SUCCESS, 1, 1, "cool-quiet"},
        {135, ERROR_SUCCESS, 1, 2, "intelligent"}, // the fixed mode is kept for later
        {148, ERROR_SUCCESS, 3, 1, "performance"}, {200, ERROR_CALL_NOT_IMPLEMENTED, 3, 1, "performance"},
    };
    std::vector<nlohmann::json> records;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(SendControl(c.code), c.error);
        const nlohmann::json status = thermal::ReadStatus();
        EXPECT_EQ(status["currentSetting"], c.currentSetting);
        EXPECT_EQ(status["automaticModeSetting"], c.automatic);
        EXPECT_EQ(status["mode"], c.mode);
        records.push_back(ControlRecord(static_cast<int>(c.code)));
        EXPECT_EQ(ServiceControls(), records);
    }
}

TEST(ThermalService, AModeItCannotWriteFailsTheControl) {
    CTestMachine machine;
    ASSERT_EQ(platform::SetRegistryKeyReadOnly(HKEY_LOCAL_MACHINE, thermal::kMmcKey, true), ERROR_SUCCESS);
    EXPECT_EQ(SendControl(146), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(thermal::ReadStatus(), kProfileStatus);
    EXPECT_EQ(ServiceControls(), std::vector<nlohmann::json>{ControlRecord(146)}) << "received all the same";
    ASSERT_EQ(platform::SetRegistryKeyReadOnly(HKEY_LOCAL_MACHINE, thermal::kMmcKey, false), ERROR_SUCCESS);

    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, thermal::kMmcKey), ERROR_SUCCESS);
    EXPECT_EQ(SendControl(135), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(ThermalFeatureTool, ShowsTheValuesAndSetsAModeByEitherNameOrCodeWithoutAnEvent) {
    CTestMachine machine;
    const ToolResult shown = RunTool("feature intelligentcooling");
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.output, ShownStatus(kProfileStatus));

    const struct {
        const char* mode;
        nlohmann::json currentSetting;
        nlohmann::json automatic;
        nlohmann::json shown;
    } cases[] = {
        {"performance", 3, 1, "performance"}, {"battery-saving", 1, 1, "cool-quiet"},
        {"135", 1, 2, "intelligent"},         {"extreme-performance", 3, 1, "performance"},
        {"cool-quiet", 1, 1, "cool-quiet"},   {"intelligent", 1, 2, "intelligent"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const ToolResult changed = RunTool(std::string("feature IntelligentCooling --mode ") + c.mode);
        EXPECT_EQ(changed.exitCode, 0) << changed.output;
        nlohmann::json status = kProfileStatus;
        status["currentSetting"] = c.currentSetting;
        status["automaticModeSetting"] = c.automatic;
        status["mode"] = c.shown;
        EXPECT_EQ(thermal::ReadStatus(), status);
        EXPECT_EQ(changed.output, ShownStatus(status));
    }
    EXPECT_TRUE(ServiceControls().empty());
}

TEST(ThermalFeatureTool, RefusesWhatIsNoModeAndAMachineWithoutTheSolution) {
    {
        CTestMachine machine;
        for (const char* arguments :
             {"feature IntelligentCooling --mode turbo", "feature IntelligentCooling --mode",
              "feature IntelligentCooling --mode 147", "feature IntelligentCooling --mode 0x87",
              "feature IntelligentCooling --mode intelligent --mode performance"}) {
            SCOPED_TRACE(arguments);
            const ToolResult refused = RunTool(arguments);
            EXPECT_EQ(refused.exitCode, 2);
            EXPECT_NE(refused.output.find("148 performance (extreme-performance"), std::string::npos);
            EXPECT_EQ(thermal::ReadStatus(), kProfileStatus);
        }
        // The host's own options stay refused: the host does not keep the feature.
        EXPECT_EQ(RunTool("feature IntelligentCooling --state on").exitCode, 1);
        EXPECT_NE(RunTool("feature --help").output.find("IntelligentCooling [--mode MODE]"),
                  std::string::npos);
    }
    CTestMachine business("business-win10");
    EXPECT_EQ(RunTool("feature IntelligentCooling --mode intelligent").exitCode, 1);
}

} // namespace
