// The registry store: the form of values in the file, a malformed store, sharing between processes and
// concurrent writers.
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/internal.h"
#include "platform/registry.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace registry_test;
using nlohmann::json;

constexpr wchar_t kCrowdKey[] = L"Software\\Corvex\\Crowd";

class RegistryStore : public testing::Test {
protected:
    std::filesystem::path StoreFile() const { return m_machine.Folder() / "registry.json"; }
    std::string StoreText() const { return platform::ReadWholeFile(StoreFile()).value_or("<missing>"); }
    // Replaces the file by a copy of itself, so that the next read parses the file again.
    void ReloadFromDisk() const { ASSERT_TRUE(platform::ReplaceFileAtomically(StoreFile(), StoreText())); }
    void WriteStore(const std::string& text) const {
        ASSERT_TRUE(platform::ReplaceFileAtomically(StoreFile(), text));
    }

    testing_support::CTestMachine m_machine;
};

struct STypeCase {
    const char* label;
    SValue value;
    const char* storedEntry;
};

class RegistryValueTypes : public RegistryStore, public testing::WithParamInterface<STypeCase> {};

TEST_P(RegistryValueTypes, RoundTripThroughTheFileInTheirNaturalFormOrExactly) {
    const STypeCase& c = GetParam();
    ASSERT_EQ(
        SetIn(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Types", L"Value", c.value, KEY_ALL_ACCESS | KEY_WOW64_64KEY),
        ERROR_SUCCESS);
    ReloadFromDisk();
    EXPECT_EQ(QueryIn(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Types", L"Value", KEY_READ | KEY_WOW64_64KEY), c.value)
        << c.label;
    const json stored = json::parse(StoreText());
    EXPECT_EQ(stored["HKEY_LOCAL_MACHINE"]["keys"]["SOFTWARE"]["keys"]["Types"]["values"]["Value"],
              json::parse(c.storedEntry))
        << c.label;
}

std::vector<BYTE> Bytes(std::initializer_list<int> bytes) {
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}

std::vector<BYTE> Chars(std::initializer_list<wchar_t> chars) {
    return WideBytes(std::wstring(chars.begin(), chars.end()), false);
}

const STypeCase kTypeCases[] = {
    {"text", Text(L"Ampwise"), R"({"type":"REG_SZ","data":"Ampwise"})"},
    {"expandable text",
     {REG_EXPAND_SZ, WideBytes(L"%ProgramData%\\Corvex")},
     R"({"type":"REG_EXPAND_SZ","data":"%ProgramData%\\Corvex"})"},
    {"text beyond the BMP", Text(L"Gr\u00fc\u00dfe \U0001D11E"),
     "{\"type\":\"REG_SZ\",\"data\":\"Gr\u00fc\u00dfe \U0001D11E\"}"},
    {"empty text", Text(L""), R"({"type":"REG_SZ","data":""})"},
    {"text with an inner zero",
     {REG_SZ, Chars({L'a', 0, L'b', 0})},
     R"({"type":"REG_SZ","data":"a\u0000b"})"},
    {"text without terminator",
     {REG_SZ, Chars({L'a', L'b'})},
     R"({"type":"REG_SZ","hex":"6100000062000000"})"},
    {"text of no bytes", {REG_SZ, {}}, R"({"type":"REG_SZ","hex":""})"},
    {"text of an odd byte count",
     {REG_SZ, Bytes({0x41, 0, 0, 0, 0})},
     R"({"type":"REG_SZ","hex":"4100000000"})"},
    {"text with a lone surrogate",
     {REG_SZ, Chars({0xD800, 0})},
     R"({"type":"REG_SZ","hex":"00d8000000000000"})"},
    {"dword", Dword(0xFFFFFFFFu), R"({"type":"REG_DWORD","data":4294967295})"},
    {"dword of two bytes", {REG_DWORD, Bytes({1, 2})}, R"({"type":"REG_DWORD","hex":"0102"})"},
    {"qword",
     {REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0x80})},
     R"({"type":"REG_QWORD","data":9223372036854775809})"},
    {"binary", {REG_BINARY, Bytes({0, 1, 0xFE})}, R"({"type":"REG_BINARY","data":"0001fe"})"},
    {"empty binary", {REG_BINARY, {}}, R"({"type":"REG_BINARY","data":""})"},
    {"multi-string",
     {REG_MULTI_SZ, Chars({L'a', 0, L'b', L'c', 0, 0})},
     R"({"type":"REG_MULTI_SZ","data":["a","bc"]})"},
    {"empty multi-string", {REG_MULTI_SZ, Chars({0})}, R"({"type":"REG_MULTI_SZ","data":[]})"},
    {"multi-string without final terminator",
     {REG_MULTI_SZ, Chars({L'a', 0})},
     R"({"type":"REG_MULTI_SZ","hex":"6100000000000000"})"},
    {"none", {REG_NONE, Bytes({9})}, R"({"type":"REG_NONE","hex":"09"})"},
    {"a type without a name", {0x12345, Bytes({7})}, R"({"type":74565,"hex":"07"})"},
};
INSTANTIATE_TEST_SUITE_P(Cases, RegistryValueTypes, testing::ValuesIn(kTypeCases));

TEST_F(RegistryStore, IsAReadableTreeThatKeepsTheCaseOfNames) {
    ASSERT_EQ(SetIn(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Flipdeck", L"Language", Text(L"de-DE"),
                    KEY_ALL_ACCESS | KEY_WOW64_64KEY),
              ERROR_SUCCESS);
    const std::string text = StoreText();
    EXPECT_NE(text.find("\n  \"HKEY_LOCAL_MACHINE\": {\n"), std::string::npos) << "pretty-printed";
    const json stored = json::parse(text);
    EXPECT_EQ(stored["HKEY_LOCAL_MACHINE"]["keys"]["SOFTWARE"]["keys"]["Corvex"]["keys"]["Flipdeck"]["values"]
                    ["Language"]["data"],
              "de-DE");
}

// {"a":{"a":...{}...}}: a tree far deeper than any key tree may be.
std::string DeeplyNested(size_t depth) {
    std::string text;
    for (size_t i = 0; i < depth; ++i) {
        text += "{\"a\":";
    }
    return text + "{}" + std::string(depth, '}');
}

class RegistryMalformedStore : public RegistryStore, public testing::WithParamInterface<std::string> {};

TEST_P(RegistryMalformedStore, ReadsAsEmptyAndRefusesChangesWithoutTouchingTheFile) {
    WriteStore(GetParam());
    CKey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ | KEY_WOW64_64KEY, key.Out()),
              ERROR_FILE_NOT_FOUND);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, L"Anything", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Create(HKEY_CURRENT_USER, kCrowdKey, key), ERROR_BADDB);
    EXPECT_EQ(Set(HKEY_CURRENT_USER, L"Bits", Dword(1)), ERROR_BADDB);
    EXPECT_EQ(platform::SetRegistryKeyReadOnly(HKEY_LOCAL_MACHINE, L"SOFTWARE", true), ERROR_BADDB);
    EXPECT_EQ(StoreText(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Contents, RegistryMalformedStore,
                         testing::Values(std::string("{ \"HKEY_LOCAL_MACHINE\": "), std::string(),
                                         std::string("[]"), std::string("\"text\""),
                                         std::string("{\"a\":\"\xff\xfe\"}"), DeeplyNested(100000)));

TEST_F(RegistryStore, AMalformedEntryReadsAsMissingAndIsKeptByChangesElsewhere) {
    const std::string broken =
        R"({"HKEY_LOCAL_MACHINE":{"keys":{"SYSTEM":{"keys":{"Bad":5,"Good":{"values":{)"
        R"("Word":{"type":"REG_DWORD","data":"seven"},"Old":{"type":"REG_SZ","data":"x"}}}}}}}})";
    WriteStore(broken);
    const json good = json::parse(broken)["HKEY_LOCAL_MACHINE"]["keys"]["SYSTEM"]["keys"]["Good"];

    EXPECT_EQ(QueryIn(HKEY_LOCAL_MACHINE, L"SYSTEM\\Good", L"Word"), std::nullopt);
    EXPECT_EQ(QueryIn(HKEY_LOCAL_MACHINE, L"SYSTEM\\Good", L"Old"), Text(L"x"));
    CKey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\Bad", 0, KEY_READ, key.Out()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Create(HKEY_LOCAL_MACHINE, L"SYSTEM\\Bad\\Below", key), ERROR_BADDB);

    ASSERT_EQ(SetIn(HKEY_LOCAL_MACHINE, L"SYSTEM\\Good", L"New", Dword(1)), ERROR_SUCCESS);
    EXPECT_EQ(SetIn(HKEY_LOCAL_MACHINE, L"SYSTEM\\Good", L"Word", Dword(7)), ERROR_SUCCESS);
    const json after = json::parse(StoreText());
    const json& system = after["HKEY_LOCAL_MACHINE"]["keys"]["SYSTEM"]["keys"];
    EXPECT_EQ(system["Bad"], 5);
    EXPECT_EQ(system["Good"]["values"]["Old"], good["values"]["Old"]);
    // Setting a malformed value replaces it, as the caller asked.
    EXPECT_EQ(QueryIn(HKEY_LOCAL_MACHINE, L"SYSTEM\\Good", L"Word"), Dword(7));
}

FLIPDECK_CHILD_ACTION(RegistryWriteDword) {
    return SetIn(HKEY_CURRENT_USER, platform::FromUtf8(args.at(0)).c_str(),
                 platform::FromUtf8(args.at(1)).c_str(), Dword(static_cast<DWORD>(std::stoul(args.at(2)))));
}

FLIPDECK_CHILD_ACTION(RegistryReadDword) {
    const auto value = QueryIn(HKEY_CURRENT_USER, platform::FromUtf8(args.at(0)).c_str(),
                               platform::FromUtf8(args.at(1)).c_str());
    return value == Dword(static_cast<DWORD>(std::stoul(args.at(2)))) ? 0 : 1;
}

TEST_F(RegistryStore, AValueWrittenByOneProcessIsReadByAnother) {
    ASSERT_EQ(SetIn(HKEY_CURRENT_USER, L"Software\\Corvex\\Ampwise", L"PowerStatusInfo", Dword(5)),
              ERROR_SUCCESS);
    EXPECT_EQ(
        testing_support::RunChild("RegistryReadDword", {"Software\\Corvex\\Ampwise", "PowerStatusInfo", "5"}),
        0);
    // The parent's cache has the old store; the child's replacement must be seen.
    ASSERT_EQ(QueryIn(HKEY_CURRENT_USER, L"Software\\Corvex\\Ampwise", L"PowerStatusInfo"), Dword(5));
    EXPECT_EQ(testing_support::RunChild("RegistryWriteDword",
                                        {"Software\\Corvex\\Ampwise", "PowerStatusInfo", "9"}),
              0);
    EXPECT_EQ(QueryIn(HKEY_CURRENT_USER, L"Software\\Corvex\\Ampwise", L"PowerStatusInfo"), Dword(9));
}

constexpr int kValuesPerWriter = 20;

// The first failing status, or ERROR_SUCCESS.
LONG WriteMany(const std::string& prefix) {
    CKey key;
    LONG status = Create(HKEY_CURRENT_USER, kCrowdKey, key);
    for (int i = 0; i < kValuesPerWriter && status == ERROR_SUCCESS; ++i) {
        const std::wstring name = platform::FromUtf8(prefix + "-" + std::to_string(i));
        status = Set(key.Get(), name.c_str(), Dword(static_cast<DWORD>(i)));
    }
    return status;
}

FLIPDECK_CHILD_ACTION(RegistryWriteMany) {
    return WriteMany(args.at(0)) == ERROR_SUCCESS ? 0 : 1;
}

TEST_F(RegistryStore, ConcurrentWritersFromThreadsAndProcessesLoseNoValue) {
    const std::vector<std::string> writers = {"thread0", "thread1", "thread2", "thread3",  "thread4",
                                              "thread5", "thread6", "thread7", "process0", "process1"};
    testing_support::CChildProcess first("RegistryWriteMany", {"process0"});
    testing_support::CChildProcess second("RegistryWriteMany", {"process1"});
    std::vector<LONG> results(8, ERROR_SUCCESS);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&, t] { results[t] = WriteMany(writers[t]); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(results, std::vector<LONG>(8, ERROR_SUCCESS));
    ReloadFromDisk();
    CKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kCrowdKey, 0, KEY_READ, key.Out()), ERROR_SUCCESS);
    for (const auto& writer : writers) {
        for (int i = 0; i < kValuesPerWriter; ++i) {
            const std::wstring name = platform::FromUtf8(writer + "-" + std::to_string(i));
            EXPECT_EQ(Query(key.Get(), name.c_str()), Dword(static_cast<DWORD>(i))) << writer << " " << i;
        }
    }
}

} // namespace
