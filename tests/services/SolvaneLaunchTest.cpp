// Solvane pages: the scheme gate, the shell call behind it, the protocol registrations and the store
// package test, on fresh machines.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "services/SolvaneLaunch.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

// The URIs opened through the shell, each with its show command.
std::vector<nlohmann::json> OpenedUris() {
    std::vector<nlohmann::json> opened;
    for (const auto& record : testing_support::ReadMachineEvents("shell.execute")) {
        opened.push_back({{"file", record["file"]}, {"show", record["show"]}});
    }
    return opened;
}

struct SUriCase {
    const wchar_t* uri;
    bool allowed;
};

const SUriCase kUris[] = {
    {L"corvex-solvane3:power", true},
    {L"CORVEX-SOLVANE3:power", true},
    {L"Corvex-Metro-Settings:battery", true},
    {L"corvex-consort:", true},
    {L"corvex-metro-consort:audio", true},
    {L"corvex-metro-discovery:home", true},
    {L"corvex-settings:wifi-security?x=a:b", true},
    {L"corvex-solvane3", true},
    {L"corvex-solvane:power", false},
    {L"corvex-solvane3 :power", false},
    {L"ms-settings:devices-touchpad", false},
    {L"corvexprivacy:privacy-breaches", false},
    {L":corvex-solvane3", false},
    {L"", false},
};

TEST(SolvaneUriGate, AcceptsOnlyTheSolvaneSchemes) {
    for (const auto& c : kUris) {
        SCOPED_TRACE(platform::ToUtf8(c.uri));
        EXPECT_EQ(CanLaunchSolvaneUri(c.uri), c.allowed);
    }
    EXPECT_FALSE(IsSolvaneUriScheme(nullptr));
    EXPECT_TRUE(IsSolvaneUriScheme(L"Corvex-Consort"));
    EXPECT_FALSE(IsSolvaneUriScheme(L"corvex-solvane3:"));
}

TEST(SolvaneLaunch, AllowedUriIsOpenedMaximisedAndRefusedOneOpensNothing) {
    CTestMachine machine;
    EXPECT_TRUE(LaunchSolvaneUri(L"corvex-solvane3:power"));
    EXPECT_TRUE(LaunchSolvaneUri(L"CORVEX-SOLVANE3:device-settings"));
    EXPECT_FALSE(LaunchSolvaneUri(L"ms-settings:devices-touchpad"));
    EXPECT_FALSE(LaunchSolvaneUri(L"corvex-solvane:power"));
    EXPECT_FALSE(LaunchSolvaneUri(L""));
    EXPECT_FALSE(LaunchSolvaneUri(nullptr));
    const std::vector<nlohmann::json> expected = {{{"file", "corvex-solvane3:power"}, {"show", 3}},
                                                  {{"file", "CORVEX-SOLVANE3:device-settings"}, {"show", 3}}};
    EXPECT_EQ(OpenedUris(), expected);
}

TEST(SolvaneLaunch, AllowedSchemeIsReportedOpenEvenWhenNoApplicationHasIt) {
    CTestMachine machine;
    // The settings application is not installed: the shell opens nothing, the launch still answers true.
    EXPECT_TRUE(LaunchSolvaneUri(L"corvex-settings:battery"));
    EXPECT_TRUE(OpenedUris().empty());
}

TEST(SolvaneProtocolRegistration, SchemesOfTheInstalledApplicationAreRegistered) {
    for (const char* profile : {"consumer-win11", "business-win10"}) {
        SCOPED_TRACE(profile);
        CTestMachine machine(profile);
        EXPECT_TRUE(IsUriSchemeRegistered(L"corvex-solvane3"));
        EXPECT_TRUE(IsUriSchemeRegistered(L"Corvex-Consort"));
        EXPECT_FALSE(IsUriSchemeRegistered(L"corvex-settings"));
        // Neither the repository key itself nor a key below a registered scheme is a scheme.
        EXPECT_FALSE(IsUriSchemeRegistered(L""));
        EXPECT_FALSE(IsUriSchemeRegistered(
            L"corvex-solvane3\\A7C30B21.CorvexConsort_10.2404.29.0_x64__q7m3ztv8250n4!App"));
        EXPECT_FALSE(IsUriSchemeRegistered(nullptr));
    }
}

TEST(SolvanePackages, InstalledFamilyAnswersTheMajorVersionOfItsFirstPackage) {
    CTestMachine machine;
    WORD wMajor = 99;
    EXPECT_TRUE(IsPackageFamilyInstalled(kSolvanePackageFamily, wMajor));
    EXPECT_EQ(wMajor, 10);

    wMajor = 99;
    EXPECT_FALSE(IsPackageFamilyInstalled(kSolvaneBetaPackageFamily, wMajor));
    EXPECT_EQ(wMajor, 0);
    wMajor = 99;
    EXPECT_FALSE(IsPackageFamilyInstalled(nullptr, wMajor));
    EXPECT_EQ(wMajor, 0);

    testing_support::SetMachineFact(machine.Folder(), "/packages", nlohmann::json::object());
    wMajor = 99;
    EXPECT_FALSE(IsPackageFamilyInstalled(kSolvanePackageFamily, wMajor));
    EXPECT_EQ(wMajor, 0);

    testing_support::SetMachineFact(
        machine.Folder(), "/packages/A7C30B21.CorvexSettingsforEnterprise_3.7.1.0_neutral__q7m3ztv8250n4",
        nlohmann::json::object());
    EXPECT_TRUE(IsPackageFamilyInstalled(kEnterpriseSettingsPackageFamily, wMajor));
    EXPECT_EQ(wMajor, 3);
}

// The family can gain a package between the count and the names: it is installed all the same.
TEST(SolvanePackages, AFamilyThatChangesBetweenTheTwoQueriesStillCountsAsInstalled) {
    CTestMachine machine;
    const nlohmann::json one = {
        {"A7C30B21.CorvexConsort_10.2.0.0_x86__q7m3ztv8250n4", nlohmann::json::object()}};
    nlohmann::json two = one;
    two["A7C30B21.CorvexConsort_11.20000.20000.20000_neutral_LongResourceName_q7m3ztv8250n4"] =
        nlohmann::json::object();
    std::atomic<bool> bQuerying = true;
    std::thread changer([&] {
        for (bool bTwo = false; bQuerying; bTwo = !bTwo) {
            testing_support::SetMachineFact(machine.Folder(), "/packages", bTwo ? two : one);
        }
    });
    int nNotInstalled = 0;
    for (int nQuery = 0; nQuery < 300; ++nQuery) {
        WORD wMajor = 99;
        nNotInstalled += IsPackageFamilyInstalled(kSolvanePackageFamily, wMajor) ? 0 : 1;
    }
    bQuerying = false;
    changer.join();
    EXPECT_EQ(nNotInstalled, 0);
}

} // namespace
