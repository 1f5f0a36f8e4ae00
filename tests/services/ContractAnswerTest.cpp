// Reading contract answers: parsing, the element search directly and inside "Data", keyed list entries,
// texts and numbers; sound answers and the malformed or hostile ones a host may send.
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "platform/threads.h"
#include "services/ContractAnswer.h"

namespace {

// Names each case of a parameterised test by its name field.
struct CaseName {
    template <typename Case> std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

std::string Repeat(const std::string& text, int nTimes) {
    std::string repeated;
    for (int i = 0; i < nTimes; ++i) {
        repeated += text;
    }
    return repeated;
}

// An element nested nDepth levels deep, left open as a truncated answer would be.
std::string DeeplyNested(int nDepth) {
    return Repeat("<a>", nDepth);
}

// The capability list of an answer carried, escaped, as the text of its "Data" element.
const char* const kDataAnswer = "<Response><Status>0</Status><Data>&lt;CapabilityList&gt;"
                                "&lt;Capability key=\"AirplanePowerMode\"&gt;True&lt;/Capability&gt;"
                                "&lt;/CapabilityList&gt;</Data></Response>";

struct LoadCase {
    const char* name;
    std::string answer;
    const char* root; // null: the answer is refused
};

class LoadXmlRootTest : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadXmlRootTest, TakesTheFirstElementOrRefuses) {
    const LoadCase& c = GetParam();
    TiXmlDocument document;
    const TiXmlElement sentinel("Sentinel");
    const TiXmlElement* pRoot = &sentinel;
    const bool bLoaded = LoadXmlRoot(c.answer.c_str(), document, pRoot);
    EXPECT_EQ(bLoaded, c.root != nullptr);
    if (c.root) {
        ASSERT_NE(pRoot, nullptr);
        EXPECT_STREQ(pRoot->Value(), c.root);
    } else {
        EXPECT_EQ(pRoot, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LoadXmlRootTest,
    testing::Values(
        LoadCase{"Plain", "<SettingList><Setting key=\"IsEnabled\">true</Setting></SettingList>",
                 "SettingList"},
        LoadCase{"AfterDeclarationAndComment", "<?xml version=\"1.0\"?><!-- x --><CapabilityList/>",
                 "CapabilityList"},
        LoadCase{"AnsiBytesInText",
                 "<SettingList><Setting key=\"Name\">Caf\xE9 \xFF\x80</Setting></SettingList>",
                 "SettingList"},
        LoadCase{"ManyFlatEntries",
                 "<SettingList>" + Repeat("<Setting key=\"k\">1</Setting>", 1000) + "</SettingList>",
                 "SettingList"},
        LoadCase{"Empty", "", nullptr}, LoadCase{"Blank", "  \r\n ", nullptr},
        LoadCase{"NotXml", "PluginInvokeError1", nullptr},
        LoadCase{"Truncated", "<SettingList><Setting key=\"IsEn", nullptr},
        LoadCase{"Unclosed", "<SettingList><Setting>true</Setting>", nullptr},
        LoadCase{"MismatchedEnd", "<SettingList></CapabilityList>", nullptr},
        LoadCase{"OnlyDeclaration", "<?xml version=\"1.0\"?>", nullptr},
        LoadCase{"OnlyComment", "<!-- <SettingList/> -->", nullptr},
        LoadCase{"DeeplyNestedTruncated", DeeplyNested(100000), nullptr},
        LoadCase{"DeeplyNestedClosed", DeeplyNested(60000) + Repeat("</a>", 60000), nullptr},
        // The guard counts how deep elements nest, not how many there are.
        LoadCase{"AFlatAnswerOf3000Entries",
                 "<SettingList>" + Repeat("<Setting key=\"k\">1</Setting><Empty/>", 3000) + "</SettingList>",
                 "SettingList"},
        LoadCase{"NestedAtTheLimit", DeeplyNested(256) + Repeat("</a>", 256), "a"},
        LoadCase{"OneLevelTooDeep", DeeplyNested(257) + Repeat("</a>", 257), nullptr},
        // Markup inside comments, texts and attributes does not nest; a UTF-8 lead byte that
        // swallows an end tag's "</" makes the next entry a child, as the parser reads it.
        LoadCase{"MarkupThatDoesNotNest",
                 "<List><!--" + Repeat("<a>", 300) + "--><![CDATA[" + Repeat("<b>", 300) + "]]><e v=\"" +
                     Repeat("<c>", 300) + "\"/></List>",
                 "List"},
        LoadCase{"LeadBytesThatHideEndTags",
                 "<SettingList>" + Repeat("<Setting>caf\xE9</Setting>", 100000) + "</SettingList>", nullptr}),
    CaseName());

// An answer copied to the very end of readable memory, so that a read past its terminator faults.
class CTextAtMemoryEnd {
public:
    explicit CTextAtMemoryEnd(const std::string& strText)
        : m_nPage(static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
        m_pPages = mmap(nullptr, 2 * m_nPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m_pPages == MAP_FAILED) {
            throw std::runtime_error("no pages for the answer");
        }
        char* pEnd = static_cast<char*>(m_pPages) + m_nPage;
        EXPECT_EQ(mprotect(pEnd, m_nPage, PROT_NONE), 0);
        m_pszText = pEnd - (strText.size() + 1);
        std::memcpy(m_pszText, strText.c_str(), strText.size() + 1);
    }
    ~CTextAtMemoryEnd() { munmap(m_pPages, 2 * m_nPage); }
    CTextAtMemoryEnd(const CTextAtMemoryEnd&) = delete;
    CTextAtMemoryEnd& operator=(const CTextAtMemoryEnd&) = delete;
    const char* Get() const { return m_pszText; }

private:
    size_t m_nPage;
    void* m_pPages;
    char* m_pszText;
};

struct CutCase {
    const char* name;
    const char* answer;
};

class LoadXmlRootCutTest : public testing::TestWithParam<CutCase> {};

// TinyXML takes a byte of 0xC0 or more for the start of a UTF-8 sequence and steps over its whole
// length; an answer that ends inside one must still be read within its bounds.
TEST_P(LoadXmlRootCutTest, ASequenceCutByTheEndIsReadWithinTheText) {
    const CTextAtMemoryEnd text(GetParam().answer);
    TiXmlDocument document;
    const TiXmlElement* pRoot = nullptr;
    EXPECT_FALSE(LoadXmlRoot(text.Get(), document, pRoot));
    EXPECT_EQ(pRoot, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Answers, LoadXmlRootCutTest,
                         testing::Values(CutCase{"AnsiLetterEndsTheText", "<Setting key=\"Name\">Caf\xE9"},
                                         CutCase{"FourByteLeadInText", "<SettingList>\xF0"},
                                         CutCase{"InAnAttributeValue", "<Atig key=\"Name\xEF\x9F"},
                                         CutCase{"AfterAnAmpersand", "<Setting>&\xF0"}),
                         CaseName());

TEST(LoadXmlRootTest, NullTextIsRefused) {
    TiXmlDocument document;
    const TiXmlElement* pRoot = nullptr;
    EXPECT_FALSE(LoadXmlRoot(static_cast<const char*>(nullptr), document, pRoot));
    EXPECT_FALSE(LoadXmlRoot(ContractAnswer(), document, pRoot));
    EXPECT_EQ(pRoot, nullptr);
}

TEST(LoadXmlRootTest, TakesTheNarrowTextOfAWideAnswer) {
    TiXmlDocument document;
    const TiXmlElement* pRoot = nullptr;
    ASSERT_TRUE(LoadXmlRoot(ContractAnswer(L"<CapabilityList><Capability key=\"FnLock\">True</Capability>"
                                           L"</CapabilityList>"),
                            document, pRoot));
    EXPECT_STREQ(pRoot->Value(), "CapabilityList");
}

TEST(LoadXmlRootTest, AReusedDocumentHoldsOnlyTheNewAnswer) {
    TiXmlDocument document;
    const TiXmlElement* pRoot = nullptr;
    ASSERT_TRUE(LoadXmlRoot("<CapabilityList/>", document, pRoot));
    ASSERT_TRUE(LoadXmlRoot("<SettingList/>", document, pRoot));
    EXPECT_STREQ(pRoot->Value(), "SettingList");
    EXPECT_EQ(pRoot->NextSiblingElement(), nullptr);

    EXPECT_FALSE(LoadXmlRoot("<Broken", document, pRoot));
    EXPECT_EQ(document.FirstChildElement(), nullptr);
}

// The answer of these searches: a tree with the wanted names at several depths.
const char* const kTree = "<Root>"
                          "<First>text<!-- <InComment/> --><Inner><Wanted id=\"deep\"/></Inner></First>"
                          "<Wanted id=\"shallow\"/>"
                          "<Second><Only id=\"second\"/></Second>"
                          "</Root>";

struct SearchCase {
    const char* name;
    const char* start; // the element the search starts from: "Root" or a child of it
    const char* wanted;
    const char* id; // null: not found
};

class FindElementByNameTest : public testing::TestWithParam<SearchCase> {};

TEST_P(FindElementByNameTest, FindsTheFirstInPreOrderWithinTheStart) {
    const SearchCase& c = GetParam();
    TiXmlDocument document;
    const TiXmlElement* pRoot = nullptr;
    ASSERT_TRUE(LoadXmlRoot(kTree, document, pRoot));
    const TiXmlElement* pStart = std::string(c.start) == "Root" ? pRoot : pRoot->FirstChildElement(c.start);
    ASSERT_NE(pStart, nullptr);

    const TiXmlElement* pFound = pRoot;
    const bool bFound = FindElementByName(pStart, c.wanted, pFound);
    EXPECT_EQ(bFound, c.id != nullptr);
    if (c.id) {
        const char* pszId = pFound->Attribute("id");
        EXPECT_STREQ(pszId ? pszId : pFound->Value(), c.id);
    } else {
        EXPECT_EQ(pFound, pRoot) << "a failed search leaves the out pointer as it was";
    }
}

INSTANTIATE_TEST_SUITE_P(Names, FindElementByNameTest,
                         testing::Values(SearchCase{"StartItself", "Root", "Root", "Root"},
                                         SearchCase{"DeeperFirstWins", "Root", "Wanted", "deep"},
                                         SearchCase{"LastChild", "Root", "Only", "second"},
                                         SearchCase{"CaseDiffers", "Root", "wanted", nullptr},
                                         SearchCase{"PartOfAName", "Root", "Want", nullptr},
                                         SearchCase{"CommentIsNoElement", "Root", "InComment", nullptr},
                                         SearchCase{"StaysInsideTheStart", "First", "Only", nullptr},
                                         SearchCase{"NullName", "Root", nullptr, nullptr}),
                         CaseName());

TEST(FindElementByNameTest, NullStartFindsNothing) {
    const TiXmlElement* pFound = nullptr;
    EXPECT_FALSE(FindElementByName(nullptr, "Data", pFound));
}

struct AnswerCase {
    const char* name;
    const char* answer;
    bool found;
};

class FindElementInAnswerTest : public testing::TestWithParam<AnswerCase> {};

TEST_P(FindElementInAnswerTest, FindsTheListDirectlyOrInsideData) {
    const AnswerCase& c = GetParam();
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    ASSERT_TRUE(LoadXmlRoot(c.answer, document, pRoot));

    const TiXmlElement* pList = nullptr;
    EXPECT_EQ(FindElementInAnswer(pRoot, "CapabilityList", pList, dataDocument), c.found);
    if (c.found) {
        ASSERT_NE(pList, nullptr);
        EXPECT_STREQ(pList->Value(), "CapabilityList");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FindElementInAnswerTest,
    testing::Values(
        AnswerCase{"RootIsTheList", "<CapabilityList/>", true},
        AnswerCase{"Nested", "<Response><Body><CapabilityList/></Body></Response>", true},
        AnswerCase{"InsideData", kDataAnswer, true},
        AnswerCase{"InsideDataAsCdata",
                   "<Response><Data><![CDATA[<Outer><CapabilityList/></Outer>]]></Data></Response>", true},
        AnswerCase{"NowhereNoData", "<Response><SettingList/></Response>", false},
        AnswerCase{"EmptyData", "<Response><Data></Data></Response>", false},
        AnswerCase{"SelfClosedData", "<Response><Data/></Response>", false},
        AnswerCase{"DataNotHoldingIt", "<Response><Data>&lt;SettingList/&gt;</Data></Response>", false},
        AnswerCase{"DataNotXml", "<Response><Data>PluginInvokeError1</Data></Response>", false},
        AnswerCase{"DataTruncated", "<Response><Data>&lt;CapabilityList&gt;&lt;Capab</Data></Response>",
                   false},
        AnswerCase{"DataCutInASequence", "<Response><Data><![CDATA[<CapabilityList>\xF0]]></Data></Response>",
                   false},
        AnswerCase{"DataHoldsAnElementNotText", "<Response><Data><CapabilityLists/></Data></Response>",
                   false},
        // Data's first node is read whatever it is: a comment's text is a document like any other.
        AnswerCase{"DataStartsWithAComment",
                   "<Response><Data><!--<CapabilityList/>-->&lt;SettingList/&gt;</Data></Response>", true},
        AnswerCase{"ListNameInLowerCase",
                   "<Response><capabilitylist/><Data>&lt;capabilitylist/&gt;</Data></Response>", false}),
    CaseName());

TEST(FindElementInAnswerTest, TheDirectListWinsAndDataStaysUnparsed) {
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    ASSERT_TRUE(LoadXmlRoot("<Response><Data>&lt;CapabilityList id=\"inner\"/&gt;</Data>"
                            "<CapabilityList id=\"direct\"/></Response>",
                            document, pRoot));
    const TiXmlElement* pList = nullptr;
    ASSERT_TRUE(FindElementInAnswer(pRoot, "CapabilityList", pList, dataDocument));
    EXPECT_STREQ(pList->Attribute("id"), "direct");
    EXPECT_EQ(dataDocument.FirstChild(), nullptr);
}

TEST(FindElementInAnswerTest, AListInsideDataLivesInTheSecondDocument) {
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    ASSERT_TRUE(LoadXmlRoot(kDataAnswer, document, pRoot));
    const TiXmlElement* pList = nullptr;
    ASSERT_TRUE(FindElementInAnswer(pRoot, "CapabilityList", pList, dataDocument));
    EXPECT_EQ(pList->GetDocument(), &dataDocument);
}

TEST(FindElementInAnswerTest, AHostileDataDocumentIsRefused) {
    const std::string strAnswer = "<Response><Data>" + Repeat("&lt;a&gt;", 100000) + "</Data></Response>";
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    ASSERT_TRUE(LoadXmlRoot(strAnswer.c_str(), document, pRoot));
    const TiXmlElement* pList = nullptr;
    EXPECT_FALSE(FindElementInAnswer(pRoot, "CapabilityList", pList, dataDocument));
}

// A worker has the stack Windows gives it: an answer at the guard's limit parses there.
TEST(LoadXmlRootTest, AnAnswerNestedAtTheLimitParsesOnAWorker) {
    static const std::string strAnswer = DeeplyNested(256) + Repeat("</a>", 256);
    static std::atomic<bool> bLoaded = false;
    const HANDLE hThread = reinterpret_cast<HANDLE>(_beginthreadex(
        nullptr, 0,
        [](void*) -> unsigned {
            TiXmlDocument document;
            const TiXmlElement* pRoot = nullptr;
            bLoaded = LoadXmlRoot(strAnswer.c_str(), document, pRoot);
            return 0;
        },
        nullptr, 0, nullptr));
    ASSERT_NE(hThread, nullptr);
    EXPECT_EQ(WaitForSingleObject(hThread, 60000), WAIT_OBJECT_0);
    CloseHandle(hThread);
    EXPECT_TRUE(bLoaded);
}

TEST(FindElementInAnswerTest, NullRootOrNameFindsNothing) {
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    ASSERT_TRUE(LoadXmlRoot("<CapabilityList/>", document, pRoot));
    const TiXmlElement* pList = nullptr;
    EXPECT_FALSE(FindElementInAnswer(nullptr, "CapabilityList", pList, dataDocument));
    EXPECT_FALSE(FindElementInAnswer(pRoot, nullptr, pList, dataDocument));
}

// A list whose entries show every way a key can fail to match.
const char* const kList = "<CapabilityList>"
                          "<Capability>no key</Capability>"
                          "<Other key=\"FnLock\">other element</Other>"
                          "<Capability key=\"fnlock\">lower case</Capability>"
                          "<Capability key=\"FnLock\">first</Capability>"
                          "<Capability key=\"FnLock\">second</Capability>"
                          "<Capability Key=\"Dolby\">upper-case attribute</Capability>"
                          "</CapabilityList>";

struct KeyCase {
    const char* name;
    const char* attribute;
    const char* key;
    const char* text; // null: no entry
};

class FindKeyedChildTest : public testing::TestWithParam<KeyCase> {};

TEST_P(FindKeyedChildTest, FindsTheFirstEntryWithTheExactKey) {
    const KeyCase& c = GetParam();
    TiXmlDocument document;
    const TiXmlElement* pList = nullptr;
    ASSERT_TRUE(LoadXmlRoot(kList, document, pList));
    const TiXmlElement* pEntry = FindKeyedChild(pList, "Capability", c.attribute, c.key);
    if (c.text) {
        ASSERT_NE(pEntry, nullptr);
        EXPECT_STREQ(GetElementText(pEntry), c.text);
    } else {
        EXPECT_EQ(pEntry, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, FindKeyedChildTest,
                         testing::Values(KeyCase{"FirstOfTwo", "key", "FnLock", "first"},
                                         KeyCase{"KeyInLowerCase", "key", "fnlock", "lower case"},
                                         KeyCase{"OtherAttributeName", "Key", "Dolby",
                                                 "upper-case attribute"},
                                         KeyCase{"AttributeNameIsExact", "key", "Dolby", nullptr},
                                         KeyCase{"AbsentKey", "key", "PrimeKey", nullptr},
                                         KeyCase{"NullKey", "key", nullptr, nullptr},
                                         KeyCase{"NullAttribute", nullptr, "FnLock", nullptr}),
                         CaseName());

TEST(FindKeyedChildTest, NullListHasNoEntries) {
    EXPECT_EQ(FindKeyedChild(nullptr, "Capability", "key", "FnLock"), nullptr);
}

struct ValueCase {
    const char* name;
    const char* element;
    const char* text; // null: no text
    bool isInt;
    int value;
};

class ElementValueTest : public testing::TestWithParam<ValueCase> {};

TEST_P(ElementValueTest, ReadsTextAndNumberOrTreatsThemAsMissing) {
    const ValueCase& c = GetParam();
    TiXmlDocument document;
    const TiXmlElement* pSetting = nullptr;
    ASSERT_TRUE(LoadXmlRoot(c.element, document, pSetting));
    if (c.text) {
        EXPECT_STREQ(GetElementText(pSetting), c.text);
    } else {
        EXPECT_EQ(GetElementText(pSetting), nullptr);
    }
    int nValue = -12345;
    EXPECT_EQ(GetElementInt(pSetting, nValue), c.isInt);
    EXPECT_EQ(nValue, c.isInt ? c.value : -12345);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ElementValueTest,
    testing::Values(ValueCase{"Number", "<Setting>80</Setting>", "80", true, 80},
                    ValueCase{"Negative", "<Setting>-7</Setting>", "-7", true, -7},
                    ValueCase{"Cdata", "<Setting><![CDATA[42]]></Setting>", "42", true, 42},
                    ValueCase{"Largest", "<Setting>2147483647</Setting>", "2147483647", true, 2147483647},
                    ValueCase{"Smallest", "<Setting>-2147483648</Setting>", "-2147483648", true, INT_MIN},
                    ValueCase{"TooLarge", "<Setting>2147483648</Setting>", "2147483648", false, 0},
                    ValueCase{"TooSmall", "<Setting>-2147483649</Setting>", "-2147483649", false, 0},
                    ValueCase{"Huge", "<Setting>99999999999999999999999999</Setting>",
                              "99999999999999999999999999", false, 0},
                    ValueCase{"Word", "<Setting>True</Setting>", "True", false, 0},
                    ValueCase{"TrailingWord", "<Setting>12abc</Setting>", "12abc", false, 0},
                    ValueCase{"Fraction", "<Setting>1.5</Setting>", "1.5", false, 0},
                    ValueCase{"SignOnly", "<Setting>-</Setting>", "-", false, 0},
                    ValueCase{"NoText", "<Setting/>", nullptr, false, 0},
                    ValueCase{"ChildElementFirst", "<Setting><Value>1</Value>2</Setting>", nullptr, false, 0},
                    ValueCase{"CommentFirst", "<Setting><!-- 3 -->4</Setting>", nullptr, false, 0}),
    CaseName());

TEST(ElementValueTest, NullElementHasNoValue) {
    int nValue = 5;
    EXPECT_EQ(GetElementText(nullptr), nullptr);
    EXPECT_FALSE(GetElementInt(nullptr, nValue));
    EXPECT_EQ(nValue, 5);
}

// The way the feature parsers read an answer: the list inside "Data", the entry by key, its text.
TEST(ContractAnswerTest, ACapabilityCarriedInDataIsReadToItsValue) {
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    const TiXmlElement* pList = nullptr;
    ASSERT_TRUE(LoadXmlRoot(ContractAnswer(kDataAnswer), document, pRoot));
    ASSERT_TRUE(FindElementInAnswer(pRoot, "CapabilityList", pList, dataDocument));
    EXPECT_STREQ(GetElementText(FindKeyedChild(pList, "Capability", "key", "AirplanePowerMode")), "True");
    EXPECT_EQ(FindKeyedChild(pList, "Capability", "key", "PrimeKey"), nullptr);
}

} // namespace
