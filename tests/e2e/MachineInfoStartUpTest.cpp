// The machine-information cache at start-up: filled by a flyout start, not by a one-shot item.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/inifile.h"
#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

const wchar_t* const kShowExCfg = L"C:\\Users\\Alex\\AppData\\LocalLow\\Corvex\\ampwise\\ShowEx.cfg";
const wchar_t* const kKeys[] = {L"KobalBrand", L"GamingDevice", L"AioDesktop",
                                L"FamilyName", L"Serialnumber", L"MTM"};

// The "BasicMachineInfo" values in key order, "-" for a missing one.
std::vector<std::wstring> CachedValues() {
    std::vector<std::wstring> values;
    for (const wchar_t* key : kKeys) {
        wchar_t value[256] = {};
        GetPrivateProfileStringW(L"BasicMachineInfo", key, L"-", value, 256, kShowExCfg);
        values.emplace_back(value);
    }
    return values;
}

struct StartCase {
    const char* profile;
    const char* argument;
    std::vector<std::wstring> cached;
};

class MachineInfoStartUpTest : public testing::TestWithParam<StartCase> {};

TEST_P(MachineInfoStartUpTest, OnlyAFlyoutStartLearnsAndCachesTheMachine) {
    CTestMachine machine(GetParam().profile);
    e2e::RunProgram(GetParam().argument);
    EXPECT_EQ(CachedValues(), GetParam().cached);
    const bool learnt = GetParam().cached.front() != L"-";
    EXPECT_EQ(e2e::ReadEvents("contract.GetMachineBrand").size(), learnt ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, MachineInfoStartUpTest,
    testing::Values(StartCase{"business-win10",
                              "MENUITEM_LAUNCH_TOOLBAR,|",
                              {L"1", L"0", L"0", L"Kobal Terra K4 Gen 2", L"PW0AB12C", L"KT420041GE"}},
                    StartCase{"gaming-win11",
                              "MENUITEM_LAUNCH_TOOLBAR_NOBATTERY,|",
                              {L"0", L"1", L"0", L"Ixor Aeris 14 G8", L"PF4XK2ZD", L"83DA0012US"}},
                    StartCase{"consumer-win11",
                              "MENUITEM_SECOND_CLICK_TO_EXIT,|",
                              {L"-", L"-", L"-", L"-", L"-", L"-"}}));

} // namespace
