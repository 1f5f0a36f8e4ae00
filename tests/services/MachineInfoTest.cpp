// The machine-information cache and its sources (the contract, the host's tags and its
// MachineInformation.xml), and the model and power-manager tests, on fresh machines.
#include <cstdlib>
#include <optional>
#include <ostream>

#include <gtest/gtest.h>

#include "platform/inifile.h"
#include "platform/registry.h"
#include "services/ContractClient.h"
#include "services/Folders.h"
#include "services/MachineInfo.h"
#include "tests/machine/HostTestSupport.h"
#include "tests/platform/FilesTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using host_test::CApartment;
using host_test::EditHostState;
using testing_support::CTestMachine;

const wchar_t* const kSection = L"BasicMachineInfo";
const wchar_t* const kXmlPath = L"C:\\ProgramData\\Corvex\\Plexhost\\shared\\MachineInformation.xml";
const wchar_t* const kTagsKey = L"SOFTWARE\\Wow6432Node\\Corvex\\Plexhost\\Applicability\\Tags";

// The contract instance of the process for a test's lifetime, as the start-up creates it.
class CContractInstance {
public:
    // A failing host refuses InitializeContract, and the instance stays all the same.
    CContractInstance() {
        CreateContractInterfaceInstance();
        EXPECT_TRUE(g_pContractInterface);
    }
    ~CContractInstance() { ReleaseContractInterface(); }
    CContractInstance(const CContractInstance&) = delete;
    CContractInstance& operator=(const CContractInstance&) = delete;

private:
    CApartment m_apartment;
};

// Another start of the program: the globals back at their start values.
void ResetMachineInfo() {
    g_nKobalBrand = -1;
    g_nGamingDevice = -1;
    g_nAioDesktop = -1;
    g_strFamilyName.clear();
    g_strSerialNumber.clear();
    g_strMTM.clear();
}

std::optional<std::wstring> CachedValue(const wchar_t* key) {
    wchar_t value[256] = {};
    GetPrivateProfileStringW(kSection, key, L"<missing>", value, 256, GetShowExCfgPath().c_str());
    return std::wstring(value) == L"<missing>" ? std::nullopt : std::optional<std::wstring>(value);
}

void WriteCache(const wchar_t* key, const wchar_t* value) {
    WritePrivateProfileStringW(kSection, key, value, GetShowExCfgPath().c_str());
}

// Sets (or with null removes) a string value of a machine key, made when missing.
void SetMachineString(const wchar_t* subKey, REGSAM view, const wchar_t* name, const wchar_t* value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    if (value) {
        const std::wstring text = value;
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    } else {
        RegDeleteValueW(key, name);
    }
    RegCloseKey(key);
}

// The contract calls that reached the host, in order.
std::vector<std::string> ContractQueries() {
    std::vector<std::string> queries;
    for (const auto& record : host_test::RecordedEvents()) {
        const std::string event = record.value("event", "");
        if (event == "contract.GetMachineBrand" || event == "contract.GetMachineTypeModel") {
            queries.push_back(event);
        }
    }
    return queries;
}

void WriteMachineInformation(const CTestMachine& machine, const std::string& xml) {
    files_test::WriteHostFile(machine.HostPath(kXmlPath), xml);
}

std::string MachineInformation(const std::string& elements) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<MachineInformation>" + elements +
           "</MachineInformation>\n";
}

// The six values, as the globals hold them or as the cache does ("" for a missing key).
struct MachineInfoValues {
    std::wstring brand, gaming, aioDesktop, family, serial, mtm;
    bool operator==(const MachineInfoValues&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const MachineInfoValues& v) {
        for (const auto* value : {&v.brand, &v.gaming, &v.aioDesktop, &v.family, &v.serial, &v.mtm}) {
            out << "[" << platform::ToUtf8(*value) << "]";
        }
        return out;
    }
};

MachineInfoValues GlobalValues() {
    return {std::to_wstring(g_nKobalBrand),
            std::to_wstring(g_nGamingDevice),
            std::to_wstring(g_nAioDesktop),
            g_strFamilyName,
            g_strSerialNumber,
            g_strMTM};
}

MachineInfoValues CachedValues() {
    const auto text = [](const wchar_t* key) { return CachedValue(key).value_or(L"<missing>"); };
    return {text(L"KobalBrand"), text(L"GamingDevice"), text(L"AioDesktop"),
            text(L"FamilyName"), text(L"Serialnumber"), text(L"MTM")};
}

class MachineInfoTest : public testing::Test {
protected:
    MachineInfoTest() { ResetMachineInfo(); }
    ~MachineInfoTest() override { ResetMachineInfo(); }
};

// ---- LoadMachineInfo ----

class FullCacheTest : public MachineInfoTest, public testing::WithParamInterface<const wchar_t*> {};

TEST_P(FullCacheTest, IsOnlyReadNeitherTheContractNorTheFileIsAsked) {
    CTestMachine machine("business-win10");
    CContractInstance contract;
    WriteCache(L"KobalBrand", L"0");
    WriteCache(L"GamingDevice", L"1");
    WriteCache(L"AioDesktop", GetParam());
    WriteCache(L"FamilyName", L"Cached Family");
    WriteCache(L"Serialnumber", L"CACHED01");
    WriteCache(L"MTM", L"CACHEDMTM");
    const auto before = platform::ReadWholeFile(machine.HostPath(GetShowExCfgPath()));

    EXPECT_TRUE(LoadMachineInfo());

    EXPECT_EQ(GlobalValues(),
              (MachineInfoValues{L"0", L"1", GetParam(), L"Cached Family", L"CACHED01", L"CACHEDMTM"}));
    EXPECT_EQ(platform::ReadWholeFile(machine.HostPath(GetShowExCfgPath())), before);
    EXPECT_TRUE(ContractQueries().empty());
}

INSTANTIATE_TEST_SUITE_P(Enclosures, FullCacheTest, testing::Values(L"0", L"1"));

TEST_F(MachineInfoTest, AFirstStartFillsAndWritesEveryValueFromTheHost) {
    CTestMachine machine("business-win10");
    CContractInstance contract;

    EXPECT_TRUE(LoadMachineInfo());

    const MachineInfoValues expected{L"1", L"0", L"0", L"Kobal Terra K4 Gen 2", L"PW0AB12C", L"KT420041GE"};
    EXPECT_EQ(GlobalValues(), expected);
    EXPECT_EQ(CachedValues(), expected);
    // The file's MTM is long enough: the contract is asked for the brand only.
    EXPECT_EQ(ContractQueries(), std::vector<std::string>{"contract.GetMachineBrand"});
}

TEST_F(MachineInfoTest, WithoutAContractTheBrandIsLeftForTheNextStartToAsk) {
    CTestMachine machine("business-win10");
    LoadMachineInfo();
    EXPECT_EQ(g_nKobalBrand, 0);
    EXPECT_EQ(CachedValue(L"KobalBrand"), std::nullopt);
    EXPECT_EQ(CachedValue(L"AioDesktop"), L"0");

    ResetMachineInfo();
    CContractInstance contract;
    LoadMachineInfo();
    EXPECT_EQ(g_nKobalBrand, 1);
    EXPECT_EQ(CachedValue(L"KobalBrand"), L"1");
}

struct BrandCase {
    const char* answer;
    const char* mode; // of the host
    int brand;
    std::optional<std::wstring> cached;
};

class BrandTest : public MachineInfoTest, public testing::WithParamInterface<BrandCase> {};

TEST_P(BrandTest, TheWholeAnswerIsTheBrandWordIgnoringCase) {
    CTestMachine machine;
    EditHostState([](nlohmann::json& state) {
        state[host::kBrandKey] = GetParam().answer;
        state[host::kModeKey] = GetParam().mode;
    });
    CContractInstance contract;
    LoadMachineInfo();
    EXPECT_EQ(g_nKobalBrand, GetParam().brand);
    EXPECT_EQ(CachedValue(L"KobalBrand"), GetParam().cached);
}

// A host that fails the call leaves the brand to be asked again, as a start without a host does.
INSTANTIATE_TEST_SUITE_P(
    Answers, BrandTest,
    testing::Values(BrandCase{"Kobal", "normal", 1, L"1"}, BrandCase{"KOBAL", "normal", 1, L"1"},
                    BrandCase{"Kobal Pro", "normal", 0, L"0"}, BrandCase{"Ixor", "normal", 0, L"0"},
                    BrandCase{"", "normal", 0, L"0"}, BrandCase{"Kobal", "failing", 0, std::nullopt}));

TEST_F(MachineInfoTest, AShortMtmIsAskedOfTheContractOnEveryStartUntilItIsLongEnough) {
    CTestMachine machine;
    WriteMachineInformation(machine,
                            MachineInformation("<Family>Ixor Aeris 14 G8</Family>"
                                               "<Serialnumber>PF4XK2ZD</Serialnumber><MTM> 83D </MTM>"));
    EditHostState([](nlohmann::json& state) { state[host::kMtmKey] = "83D"; });
    CContractInstance contract;
    LoadMachineInfo();
    EXPECT_EQ(g_strMTM, L"83D");
    EXPECT_EQ(CachedValue(L"MTM"), L"83D");
    // No enclosure in the file: unknown, and written so.
    EXPECT_EQ(CachedValue(L"AioDesktop"), L"-1");

    ResetMachineInfo();
    EditHostState([](nlohmann::json& state) { state[host::kMtmKey] = "83DA0012US"; });
    LoadMachineInfo();
    EXPECT_EQ(g_strMTM, L"83DA0012US");
    EXPECT_EQ(CachedValue(L"MTM"), L"83DA0012US");
    EXPECT_EQ(ContractQueries(),
              (std::vector<std::string>{"contract.GetMachineBrand", "contract.GetMachineTypeModel",
                                        "contract.GetMachineTypeModel"}));
}

// A program started from elsewhere finds no host folder: what the cache holds stays.
TEST_F(MachineInfoTest, APathWithoutPluginsKeepsTheCachedTextsAndWritesAnUnknownEnclosure) {
    CTestMachine machine;
    WriteCache(L"FamilyName", L"Cached Family");
    WriteCache(L"Serialnumber", L"CACHED01");
    setenv("FLIPDECK_IMAGE_PATH", "C:\\Program Files\\Corvex\\FlipdeckEx.exe", 1);
    LoadMachineInfo();
    unsetenv("FLIPDECK_IMAGE_PATH");
    // The brand is not written without a contract.
    EXPECT_EQ(GlobalValues(), (MachineInfoValues{L"0", L"0", L"-1", L"Cached Family", L"CACHED01", L""}));
    EXPECT_EQ(CachedValues(),
              (MachineInfoValues{L"<missing>", L"0", L"-1", L"Cached Family", L"CACHED01", L""}));
}

// ---- MachineInformation.xml ----

struct XmlCase {
    const char* name;
    std::string xml;
    int aioDesktop;
    const wchar_t* family;
    const wchar_t* serial;
    const wchar_t* mtm;
};

class MachineInformationXmlTest : public MachineInfoTest, public testing::WithParamInterface<XmlCase> {};

TEST_P(MachineInformationXmlTest, SetsWhatTheFileHolds) {
    CTestMachine machine;
    WriteMachineInformation(machine, GetParam().xml);
    g_strFamilyName = L"before";
    g_strSerialNumber = L"before";
    g_strMTM = L"before";
    ParseMachineInformationXml();
    EXPECT_EQ(g_nAioDesktop, GetParam().aioDesktop);
    EXPECT_EQ(g_strFamilyName, GetParam().family);
    EXPECT_EQ(g_strSerialNumber, GetParam().serial);
    EXPECT_EQ(g_strMTM, GetParam().mtm);
}

const XmlCase kXmlCases[] = {
    {"Notebook",
     MachineInformation("<Family>Fam</Family><Serialnumber>S1</Serialnumber><MTM>M1</MTM>"
                        "<EnclosureType>Notebook</EnclosureType>"),
     0, L"Fam", L"S1", L"M1"},
    {"TowerAnyCase", MachineInformation("<EnclosureType>TOWER</EnclosureType>"), 1, L"before", L"before",
     L"before"},
    {"AllInOne", MachineInformation("<EnclosureType>allinone</EnclosureType>"), 1, L"before", L"before",
     L"before"},
    {"Workstation", MachineInformation("<EnclosureType>Workstation</EnclosureType>"), 1, L"before", L"before",
     L"before"},
    {"DesktopInAWord", MachineInformation("<EnclosureType>Mini Desktop</EnclosureType>"), 0, L"before",
     L"before", L"before"},
    {"NamesIgnoreCase",
     MachineInformation("<FAMILY>Fam</FAMILY><serialNumber>S1</serialNumber><mtm>M1</mtm>"
                        "<enclosuretype>Desktop</enclosuretype>"),
     1, L"Fam", L"S1", L"M1"},
    {"SerialAndMtmTrimmedFamilyNot",
     MachineInformation(
         "<Family><![CDATA[ Fam ]]></Family><Serialnumber><![CDATA[\t S1 \r\n]]></Serialnumber>"
         "<MTM><![CDATA[ M1 ]]></MTM>"),
     -1, L" Fam ", L"S1", L"M1"},
    {"LaterWinsEmptyKeeps",
     MachineInformation("<MTM>M1</MTM><MTM>M2</MTM><Family>Fam</Family><Family/>"
                        "<EnclosureType>Tower</EnclosureType><EnclosureType/>"),
     1, L"Fam", L"before", L"M2"},
    {"OtherElementsIgnored", MachineInformation("<Brand>Kobal</Brand><Model>Family</Model>"), -1, L"before",
     L"before", L"before"},
    {"Malformed", "<MachineInformation><Family>Fam</Family>", -1, L"before", L"before", L"before"},
    {"NotXml", "Family=Fam", -1, L"before", L"before", L"before"},
};

INSTANTIATE_TEST_SUITE_P(Files, MachineInformationXmlTest, testing::ValuesIn(kXmlCases),
                         [](const testing::TestParamInfo<XmlCase>& info) {
                             return std::string(info.param.name);
                         });

struct ImagePathCase {
    const char* image;
    bool found;
};

class ImagePathTest : public MachineInfoTest, public testing::WithParamInterface<ImagePathCase> {};

TEST_P(ImagePathTest, TheHostFolderHoldsThePluginsFolderOfThePath) {
    CTestMachine machine;
    setenv("FLIPDECK_IMAGE_PATH", GetParam().image, 1);
    ParseMachineInformationXml();
    unsetenv("FLIPDECK_IMAGE_PATH");
    EXPECT_EQ(g_strFamilyName, GetParam().found ? L"Ixor Aeris 14 G8" : L"");
    EXPECT_EQ(g_nAioDesktop, GetParam().found ? 0 : -1);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ImagePathTest,
    testing::Values(ImagePathCase{"C:\\ProgramData\\Corvex\\Plexhost\\PLUGINS\\Other\\x64\\FlipdeckEx.exe",
                                  true},
                    ImagePathCase{"C:\\ProgramData\\Corvex\\Plexhost\\FlipdeckEx.exe", false},
                    ImagePathCase{"plugins\\FlipdeckEx.exe", false}));

// ---- Applicability tags ----

struct TagCase {
    const char* profile;
    const wchar_t* key; // where System.Profile.Gaming is set, or null for the profile's own tags
    REGSAM view;
    const wchar_t* value;
    bool gaming;
};

class GamingTagTest : public MachineInfoTest, public testing::WithParamInterface<TagCase> {};

TEST_P(GamingTagTest, ANonEmptyTagMakesAGamingDevice) {
    CTestMachine machine(GetParam().profile);
    if (GetParam().key) {
        SetMachineString(GetParam().key, GetParam().view, L"System.Profile.Gaming", GetParam().value);
    }
    EXPECT_EQ(IsGamingDeviceByTags(), GetParam().gaming);
    LoadMachineInfo();
    EXPECT_EQ(g_nGamingDevice, GetParam().gaming ? 1 : 0);
    EXPECT_EQ(CachedValue(L"GamingDevice"), GetParam().gaming ? L"1" : L"0");
}

const wchar_t* const kNativeTagsKey = L"SOFTWARE\\Corvex\\Plexhost\\Applicability\\Tags";

INSTANTIATE_TEST_SUITE_P(Tags, GamingTagTest,
                         testing::Values(TagCase{"gaming-win11", nullptr, 0, nullptr, true},
                                         TagCase{"consumer-win11", nullptr, 0, nullptr, false},
                                         TagCase{"consumer-win11", kTagsKey, 0, L"", false},
                                         TagCase{"consumer-win11", kNativeTagsKey, 0, L"1", true},
                                         // Every name tried leads a 32-bit process to the 32-bit key.
                                         TagCase{"consumer-win11", kNativeTagsKey, KEY_WOW64_64KEY, L"1",
                                                 false}));

// ---- One-shot tests ----

TEST_F(MachineInfoTest, TheModelCodeIsLookedForCaseSensitivelyInTheSystemVersion) {
    struct Case {
        const wchar_t* version; // null: no value
        bool h352;
    } cases[] = {{L"Kobal Terra H352 Gen 3", true}, {L"H352", true}, {L"h352", false}, {nullptr, false}};
    for (const auto& c : cases) {
        CTestMachine machine;
        SetMachineString(L"HARDWARE\\DESCRIPTION\\System\\BIOS", 0, L"SystemVersion", c.version);
        EXPECT_EQ(IsModelH352(), c.h352) << (c.version ? c.version : L"(none)");
    }
}

struct PowerManagerCase {
    const char* name;
    nlohmann::json process; // added to the business profile's processes, or null to remove them all
    int brand;
    bool running;
};

class PowerManagerTest : public MachineInfoTest, public testing::WithParamInterface<PowerManagerCase> {};

TEST_P(PowerManagerTest, OnlyTheOneFromTheWindowsFolderOrOneThatDeniesAccessCounts) {
    CTestMachine machine("business-win10");
    nlohmann::json processes = nlohmann::json::array();
    if (!GetParam().process.is_null()) {
        processes.push_back(GetParam().process);
    }
    files_test::SetMachineFact(machine.Folder(), "/processes", processes);
    g_nKobalBrand = GetParam().brand;
    EXPECT_EQ(IsPowerManagerRunning(), GetParam().running);
}

nlohmann::json Voltaro(const char* name, const char* path, const char* access) {
    return {{"name", name}, {"path", path}, {"pid", 4200112}, {"access", access}};
}

INSTANTIATE_TEST_SUITE_P(
    Processes, PowerManagerTest,
    testing::Values(
        PowerManagerCase{"FromSystem32",
                         Voltaro("Voltaro.exe", "C:\\Windows\\System32\\Voltaro.exe", "allowed"), 1, true},
        PowerManagerCase{"NameInOtherCase", Voltaro("VOLTARO.EXE", "c:\\windows\\Voltaro.exe", "allowed"), 1,
                         true},
        PowerManagerCase{"FromAnotherFolder",
                         Voltaro("Voltaro.exe", "C:\\Program Files\\Voltaro\\Voltaro.exe", "allowed"), 1,
                         false},
        PowerManagerCase{"AccessDenied",
                         Voltaro("Voltaro.exe", "C:\\Program Files\\Voltaro\\Voltaro.exe", "denied"), 1,
                         true},
        PowerManagerCase{"NotRunning", nullptr, 1, false},
        PowerManagerCase{"ConsumerBrandNeverLooks", nullptr, 0, true},
        PowerManagerCase{"UnknownBrandNeverLooks", nullptr, -1, true}),
    [](const testing::TestParamInfo<PowerManagerCase>& info) { return std::string(info.param.name); });

TEST_F(MachineInfoTest, TheBusinessProfileRunsThePowerManager) {
    CTestMachine machine("business-win10");
    g_nKobalBrand = 1;
    EXPECT_TRUE(IsPowerManagerRunning());
}

} // namespace
