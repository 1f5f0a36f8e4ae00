// Resources of the program, the thread's UI language, global memory, memory streams and dialog templates,
// with resource tables of the tests' own.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "platform/internal.h"
#include "platform/resources.h"
#include "platform/resources/DialogTemplates.h"
#include "platform/resources/ModuleResources.h"
#include "tests/support/TestMachine.h"

namespace {

using platform::EmbeddedFile;

template <size_t N> EmbeddedFile File(const char* name, const char (&text)[N]) {
    return EmbeddedFile{name, reinterpret_cast<const unsigned char*>(text), N - 1};
}

const char kPng[] = "\x89PNG\r\n\x1a\nbytes";
const char kEnglish[] =
    R"({"language": 1033, "strings": {"1": "One", "2": "Two", "3": "Three", "x": "bad id", "4": 4}})";
const char kGerman[] = R"({"language": 1031, "strings": {"1": "Eins"}})";
const char kBrokenTable[] = "{ not json";
const char kDialog[] = R"({"id": 7, "style": "DS_SETFONT | WS_CHILD | 0x4", "exStyle": "WS_EX_CONTROLPARENT",
  "rect": [0, 0, 100, 50], "font": {"face": "MS Shell Dlg", "pointSize": 8, "weight": 400, "italic": 0, "charset": 1},
  "controls": [{"id": 1002, "class": "Button", "text": "Close", "style": "BS_PUSHBUTTON | WS_TABSTOP", "rect": [1, 2, 30, 14]}]})";
const char kUnknownStyleDialog[] = R"({"id": 8, "style": "WS_NOSUCHSTYLE", "rect": [0, 0, 1, 1]})";
const char kMisnamedDialog[] = R"({"id": 10, "style": "WS_CHILD", "rect": [0, 0, 1, 1]})";
const char kControlWithoutRectDialog[] =
    R"({"id": 11, "rect": [0, 0, 1, 1], "controls": [{"id": 1, "class": "Static"}]})";

const EmbeddedFile kImages[] = {File("170.png", kPng),
                                EmbeddedFile{"5.png", reinterpret_cast<const unsigned char*>(""), 0},
                                EmbeddedFile{nullptr, nullptr, 0}};
const EmbeddedFile kStrings[] = {File("en-US.json", kEnglish), File("de-DE.json", kGerman),
                                 File("broken.json", kBrokenTable), EmbeddedFile{nullptr, nullptr, 0}};
const EmbeddedFile kDialogs[] = {File("7.json", kDialog), File("8.json", kUnknownStyleDialog),
                                 File("9.json", kMisnamedDialog), File("11.json", kControlWithoutRectDialog),
                                 EmbeddedFile{nullptr, nullptr, 0}};
const platform::ModuleResources kResources{kImages, kStrings, kDialogs};

// The tests' tables stand in for the program's while the fixture lives.
class ResourceTest : public testing::Test {
protected:
    ResourceTest() : m_previous(platform::SetProgramResources(&kResources)) {}
    ~ResourceTest() override {
        platform::SetProgramResources(m_previous);
        SetThreadUILanguage(0);
    }

    static std::optional<std::wstring> Load(UINT id) {
        wchar_t buffer[64];
        const int length = LoadStringW(nullptr, id, buffer, 64);
        return length > 0 ? std::optional(std::wstring(buffer, static_cast<size_t>(length))) : std::nullopt;
    }

    testing_support::CTestMachine m_machine;
    const platform::ModuleResources* m_previous;
};

// ---- Resources by name and type ----

struct FindCase {
    const char* name;
    HMODULE module;
    LPCWSTR resourceName;
    LPCWSTR type;
    DWORD error; // 0 when found
};

class ResourceFindTest : public ResourceTest, public testing::WithParamInterface<FindCase> {};

TEST_P(ResourceFindTest, FindResourceFindsPngImagesOfTheProgramOnly) {
    const FindCase& c = GetParam();
    SetLastError(0);
    HRSRC resource = FindResourceW(c.module, c.resourceName, c.type);
    EXPECT_EQ(resource != nullptr, c.error == 0);
    EXPECT_EQ(GetLastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ResourceFindTest,
    testing::Values(
        FindCase{"ById", nullptr, MAKEINTRESOURCEW(170), L"PNG", 0},
        FindCase{"ByHashName", nullptr, L"#170", L"PNG", 0},
        FindCase{"TypeInAnyCase", nullptr, MAKEINTRESOURCEW(170), L"png", 0},
        FindCase{"ByProgramHandle", platform::ProgramInstanceHandle(), MAKEINTRESOURCEW(170), L"PNG", 0},
        FindCase{"MissingId", nullptr, MAKEINTRESOURCEW(171), L"PNG", ERROR_RESOURCE_NAME_NOT_FOUND},
        FindCase{"TextName", nullptr, L"CLOSE", L"PNG", ERROR_RESOURCE_NAME_NOT_FOUND},
        FindCase{"OtherType", nullptr, MAKEINTRESOURCEW(170), RT_RCDATA, ERROR_RESOURCE_TYPE_NOT_FOUND},
        FindCase{"OtherModule", reinterpret_cast<HMODULE>(0x1234), MAKEINTRESOURCEW(170), L"PNG",
                 ERROR_RESOURCE_DATA_NOT_FOUND}),
    [](const testing::TestParamInfo<FindCase>& info) { return std::string(info.param.name); });

TEST_F(ResourceTest, LoadedResourcesAreTheEmbeddedBytes) {
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(170), L"PNG");
    ASSERT_EQ(SizeofResource(nullptr, resource), sizeof(kPng) - 1);
    const void* data = LockResource(LoadResource(nullptr, resource));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::memcmp(data, kPng, sizeof(kPng) - 1), 0);
    EXPECT_EQ(SizeofResource(nullptr, FindResourceW(nullptr, MAKEINTRESOURCEW(5), L"PNG")), 0u);
    EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(0x1234)), nullptr);
    EXPECT_FALSE(FreeResource(LoadResource(nullptr, resource)));
}

TEST_F(ResourceTest, WithoutResourcesNothingIsFound) {
    platform::SetProgramResources(nullptr);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(170), L"PNG"), nullptr);
    EXPECT_EQ(Load(1), std::nullopt);
    EXPECT_EQ(platform::FindDialogTemplate(7), std::nullopt);
}

// ---- String tables by language ----

struct StringCase {
    const char* name;
    LANGID language;
    UINT id;
    const wchar_t* text; // null: no entry
};

class ResourceStringTest : public ResourceTest, public testing::WithParamInterface<StringCase> {};

TEST_P(ResourceStringTest, TheThreadsLanguagePicksTheTable) {
    const StringCase& c = GetParam();
    ASSERT_EQ(SetThreadUILanguage(c.language), c.language);
    EXPECT_EQ(Load(c.id), c.text ? std::optional<std::wstring>(c.text) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Languages, ResourceStringTest,
                         testing::Values(StringCase{"English", 0x0409, 1, L"One"},
                                         StringCase{"German", 0x0407, 1, L"Eins"},
                                         StringCase{"SwissGermanTakesTheGermanTable", 0x0807, 1, L"Eins"},
                                         StringCase{"FrenchWithoutATableTakesEnglish", 0x040C, 1, L"One"},
                                         StringCase{"AMissingGermanEntryIsMissing", 0x0407, 2, nullptr},
                                         StringCase{"AMissingId", 0x0409, 99, nullptr},
                                         StringCase{"AMalformedEntryIsLeftOut", 0x0409, 4, nullptr}),
                         [](const testing::TestParamInfo<StringCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ResourceTest, LoadStringCutsToTheBufferOrLendsTheTablesOwnText) {
    wchar_t buffer[3] = {L'x', L'x', L'x'};
    EXPECT_EQ(LoadStringW(nullptr, 3, buffer, 3), 2);
    EXPECT_STREQ(buffer, L"Th");
    const wchar_t* text = nullptr;
    ASSERT_EQ(LoadStringW(nullptr, 3, reinterpret_cast<LPWSTR>(&text), 0), 5);
    EXPECT_EQ(std::wstring(text, 5), L"Three");
    EXPECT_EQ(LoadStringW(nullptr, 99, buffer, 3), 0);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadStringW(nullptr, 1, nullptr, 3), 0);
}

TEST_F(ResourceTest, TheUserLanguageIsTheProfilesAndTheThreadsIsItsOwn) {
    EXPECT_EQ(GetUserDefaultUILanguage(), 1033);
    EXPECT_EQ(GetThreadUILanguage(), 1033);
    EXPECT_EQ(SetThreadUILanguage(0x0407), 0x0407);
    LANGID otherThread = 0;
    std::thread([&] { otherThread = GetThreadUILanguage(); }).join();
    EXPECT_EQ(otherThread, 1033);
    EXPECT_EQ(GetThreadUILanguage(), 0x0407);
    SetLastError(0);
    EXPECT_EQ(SetThreadUILanguage(0x0400), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetThreadUILanguage(0), 1033);
}

TEST_F(ResourceTest, AUsableProfileLanguageIsTakenAndAnyOtherIsEnglish) {
    const std::filesystem::path file = m_machine.Folder() / "facts.json";
    for (auto [fact, expected] :
         {std::pair{nlohmann::json(1031), LANGID{1031}}, std::pair{nlohmann::json("German"), LANGID{1033}},
          std::pair{nlohmann::json(70000), LANGID{1033}}}) {
        nlohmann::json facts = nlohmann::json::parse(*platform::ReadWholeFile(file));
        facts["uiLanguage"] = fact;
        ASSERT_TRUE(platform::ReplaceFileAtomically(file, facts.dump()));
        EXPECT_EQ(GetUserDefaultUILanguage(), expected) << fact.dump();
    }
}

// ---- Global memory ----

TEST(GlobalMemoryTest, AMovableBlockCountsItsLocks) {
    HGLOBAL block = GlobalAlloc(GHND, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 16u);
    auto* bytes = static_cast<BYTE*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[15], 0);
    EXPECT_EQ(GlobalLock(block), bytes);
    EXPECT_TRUE(GlobalUnlock(block));
    SetLastError(1);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalFree(block), block);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalLock(block), nullptr);
}

TEST(GlobalMemoryTest, AFixedBlockIsItsAddressAndBadRequestsFail) {
    HGLOBAL fixed = GlobalAlloc(GPTR, 8);
    EXPECT_EQ(GlobalLock(fixed), fixed);
    EXPECT_EQ(static_cast<BYTE*>(fixed)[7], 0);
    EXPECT_EQ(GlobalFree(fixed), nullptr);
    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    EXPECT_EQ(GlobalLock(empty), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISCARDED));
    GlobalFree(empty);
    EXPECT_EQ(GlobalAlloc(0x8000, 8), nullptr);
    EXPECT_EQ(GlobalSize(reinterpret_cast<HGLOBAL>(0x1234)), 0u);
}

// ---- Memory streams ----

TEST(MemoryStreamTest, WritesGrowTheBlockAndReadsFollowSeeks) {
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ULONG count = 0;
    ASSERT_EQ(stream->Write("abcdef", 6, &count), S_OK);
    EXPECT_EQ(count, 6u);
    LARGE_INTEGER move{};
    move.QuadPart = -4;
    ULARGE_INTEGER position{};
    ASSERT_EQ(stream->Seek(move, STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 2u);
    char read[8] = {};
    ASSERT_EQ(stream->Read(read, sizeof(read), &count), S_OK);
    EXPECT_EQ(count, 4u);
    EXPECT_STREQ(read, "cdef");
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
    EXPECT_EQ(stat.cbSize.QuadPart, 6u);
    move.QuadPart = -1;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);
    ULARGE_INTEGER size{};
    size.QuadPart = 2;
    ASSERT_EQ(stream->SetSize(size), S_OK);
    stream->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.cbSize.QuadPart, 2u);
    EXPECT_EQ(stream->Release(), 0u);
}

TEST(MemoryStreamTest, TheBlockGoesWithTheLastReferenceOnlyWhenAsked) {
    for (BOOL deleteOnRelease : {TRUE, FALSE}) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
        IStream* stream = nullptr;
        ASSERT_EQ(CreateStreamOnHGlobal(block, deleteOnRelease, &stream), S_OK);
        IUnknown* unknown = nullptr;
        ASSERT_EQ(stream->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
        void* other = nullptr;
        EXPECT_EQ(stream->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
        EXPECT_EQ(stream->Release(), 1u);
        EXPECT_EQ(GlobalSize(block), 4u);
        unknown->Release();
        EXPECT_EQ(GlobalSize(block) == 4u, deleteOnRelease == FALSE);
        if (!deleteOnRelease) {
            GlobalFree(block);
        }
    }
}

TEST(MemoryStreamTest, AFixedOrLockedBlockDoesNotMoveToGrow) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
    void* locked = GlobalLock(block);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(block, TRUE, &stream), S_OK);
    EXPECT_EQ(stream->Write("abcd", 4, nullptr), S_OK);
    EXPECT_EQ(stream->Write("e", 1, nullptr), STG_E_MEDIUMFULL);
    EXPECT_EQ(std::memcmp(locked, "abcd", 4), 0);
    GlobalUnlock(block);
    EXPECT_EQ(stream->Write("e", 1, nullptr), S_OK);
    stream->Release();
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, nullptr), E_INVALIDARG);
    EXPECT_EQ(CreateStreamOnHGlobal(reinterpret_cast<HGLOBAL>(0x1234), TRUE, &stream), E_INVALIDARG);
    EXPECT_EQ(stream, nullptr);
}

// ---- Dialog templates ----

TEST_F(ResourceTest, ADialogTemplateGivesItsStylesFontAndControls) {
    const auto dialog = platform::FindDialogTemplate(7);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->style, 0x40000044u);
    EXPECT_EQ(dialog->exStyle, 0x00010000u);
    EXPECT_EQ(dialog->cx, 100);
    EXPECT_EQ(dialog->cy, 50);
    EXPECT_EQ(dialog->fontFace, L"MS Shell Dlg");
    EXPECT_EQ(dialog->pointSize, 8);
    ASSERT_EQ(dialog->controls.size(), 1u);
    const platform::DialogControlTemplate& control = dialog->controls[0];
    EXPECT_EQ(control.id, 1002);
    EXPECT_EQ(control.className, L"Button");
    EXPECT_EQ(control.text, L"Close");
    EXPECT_EQ(control.style, 0x00010000u);
    EXPECT_EQ(control.x, 1);
    EXPECT_EQ(control.cy, 14);
}

TEST_F(ResourceTest, MalformedMisnamedAndMissingTemplatesAreNone) {
    for (int id : {8, 9, 11, 12, 0, -1}) {
        EXPECT_EQ(platform::FindDialogTemplate(id), std::nullopt) << id;
    }
}

TEST(DialogStyleTest, StyleTextsCombineNamesAndNumbers) {
    EXPECT_EQ(platform::ParseStyle("WS_CHILD | WS_VISIBLE"), 0x50000000u);
    EXPECT_EQ(platform::ParseStyle("  DS_SHELLFONT|0x10 "), 0x58u);
    EXPECT_EQ(platform::ParseStyle(""), 0u);
    EXPECT_EQ(platform::ParseStyle("WS_CHILD | | WS_VISIBLE"), std::nullopt);
    EXPECT_EQ(platform::ParseStyle("ws_child"), std::nullopt);
    EXPECT_EQ(platform::ParseStyle("0xZZ"), std::nullopt);
}

} // namespace
