// Store packages of the machine's user: listed by family, identities read from full names.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/packages.h"
#include "tests/support/TestMachine.h"

namespace {

const wchar_t kFamily[] = L"A7C30B21.CorvexConsort_q7m3ztv8250n4";
const wchar_t kInstalled[] = L"A7C30B21.CorvexConsort_10.2404.29.0_x64__q7m3ztv8250n4";

class PackagesTest : public testing::Test {
protected:
    testing_support::CTestMachine machine;
};

TEST_F(PackagesTest, FamilyListsItsPackagesAfterASizeQuery) {
    testing_support::SetMachineFact(machine.Folder(),
                                    "/packages/A7C30B21.CorvexConsort_9.1.2.0_x86__q7m3ztv8250n4",
                                    nlohmann::json::object());
    testing_support::SetMachineFact(machine.Folder(), "/packages/Other.App_1.0.0.0_x64__q7m3ztv8250n4",
                                    nlohmann::json::object());
    testing_support::SetMachineFact(machine.Folder(), "/packages/A7C30B21.CorvexConsort_broken",
                                    nlohmann::json::object());

    UINT32 count = 0;
    UINT32 length = 0;
    ASSERT_EQ(
        FindPackagesByPackageFamily(kFamily, PACKAGE_FILTER_HEAD, &count, nullptr, &length, nullptr, nullptr),
        ERROR_INSUFFICIENT_BUFFER);
    ASSERT_EQ(count, 2u);
    const std::wstring older = L"A7C30B21.CorvexConsort_9.1.2.0_x86__q7m3ztv8250n4";
    EXPECT_EQ(length, std::wstring(kInstalled).size() + 1 + older.size() + 1);

    std::vector<PWSTR> names(count);
    std::vector<WCHAR> buffer(length);
    std::vector<UINT32> properties(count, 7);
    // One character short is still too small.
    UINT32 shortLength = length - 1;
    EXPECT_EQ(FindPackagesByPackageFamily(kFamily, PACKAGE_FILTER_HEAD, &count, names.data(), &shortLength,
                                          buffer.data(), properties.data()),
              ERROR_INSUFFICIENT_BUFFER);
    ASSERT_EQ(FindPackagesByPackageFamily(L"a7c30b21.corvexconsort_Q7M3ZTV8250N4", PACKAGE_FILTER_HEAD,
                                          &count, names.data(), &length, buffer.data(), properties.data()),
              ERROR_SUCCESS);
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(names[0], kInstalled);
    EXPECT_STREQ(names[1], older.c_str());
    EXPECT_EQ(properties, std::vector<UINT32>(2, 0));
}

TEST_F(PackagesTest, FamilyWithoutPackagesAnswersNone) {
    struct SCase {
        const wchar_t* family;
        UINT32 filters;
    };
    const SCase cases[] = {{L"A7C30B21.CorvexConsortBeta_q7m3ztv8250n4", PACKAGE_FILTER_HEAD},
                           {L"A7C30B21.CorvexConsort", PACKAGE_FILTER_HEAD},
                           {kFamily, 0}};
    for (const auto& c : cases) {
        UINT32 count = 5;
        UINT32 length = 9;
        EXPECT_EQ(
            FindPackagesByPackageFamily(c.family, c.filters, &count, nullptr, &length, nullptr, nullptr),
            ERROR_SUCCESS);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(length, 0u);
    }
    UINT32 count = 0;
    EXPECT_EQ(
        FindPackagesByPackageFamily(nullptr, PACKAGE_FILTER_HEAD, &count, nullptr, &count, nullptr, nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(
        FindPackagesByPackageFamily(kFamily, PACKAGE_FILTER_HEAD, nullptr, nullptr, &count, nullptr, nullptr),
        ERROR_INVALID_PARAMETER);
}

TEST_F(PackagesTest, IdentityOfAnInstalledPackage) {
    UINT32 length = 0;
    ASSERT_EQ(PackageIdFromFullName(kInstalled, 0, &length, nullptr), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_GT(length, sizeof(PACKAGE_ID));
    std::vector<UINT64> buffer((length + 7) / 8);
    UINT32 shortLength = length - 1;
    EXPECT_EQ(PackageIdFromFullName(kInstalled, 0, &shortLength, reinterpret_cast<BYTE*>(buffer.data())),
              ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(shortLength, length);
    ASSERT_EQ(PackageIdFromFullName(kInstalled, 0, &length, reinterpret_cast<BYTE*>(buffer.data())),
              ERROR_SUCCESS);

    const auto* id = reinterpret_cast<const PACKAGE_ID*>(buffer.data());
    EXPECT_EQ(id->version.Major, 10);
    EXPECT_EQ(id->version.Minor, 2404);
    EXPECT_EQ(id->version.Build, 29);
    EXPECT_EQ(id->version.Revision, 0);
    EXPECT_EQ(id->version.Version, (10ull << 48) | (2404ull << 32) | (29ull << 16));
    EXPECT_EQ(id->processorArchitecture, 9u);
    EXPECT_STREQ(id->name, L"A7C30B21.CorvexConsort");
    EXPECT_STREQ(id->resourceId, L"");
    EXPECT_STREQ(id->publisherId, L"q7m3ztv8250n4");
    // The strings lie inside the caller's buffer.
    const auto* end = reinterpret_cast<const BYTE*>(buffer.data()) + length;
    EXPECT_LT(reinterpret_cast<const BYTE*>(id->publisherId), end);
}

TEST_F(PackagesTest, IdentityIsRefusedForMalformedOrAbsentPackages) {
    struct SCase {
        const wchar_t* fullName;
        UINT32 flags;
        LONG result;
    };
    const SCase cases[] = {
        {L"A7C30B21.CorvexConsortBeta_10.1.0.0_x64__q7m3ztv8250n4", 0, ERROR_NOT_FOUND},
        {kInstalled, 0x1, ERROR_INVALID_PARAMETER},
        {L"A7C30B21.CorvexConsort_10.2404.29_x64__q7m3ztv8250n4", 0, ERROR_INVALID_PARAMETER},
        {L"A7C30B21.CorvexConsort_10.2404.29.70000_x64__q7m3ztv8250n4", 0, ERROR_INVALID_PARAMETER},
        {L"A7C30B21.CorvexConsort_10.2404.29.0_sparc__q7m3ztv8250n4", 0, ERROR_INVALID_PARAMETER},
        {L"A7C30B21.CorvexConsort_q7m3ztv8250n4", 0, ERROR_INVALID_PARAMETER},
        {L"", 0, ERROR_INVALID_PARAMETER},
        {nullptr, 0, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fullName ? testing::PrintToString(std::wstring(c.fullName)) : "(null)");
        UINT32 length = 0;
        EXPECT_EQ(PackageIdFromFullName(c.fullName, c.flags, &length, nullptr), c.result);
    }
}

} // namespace
