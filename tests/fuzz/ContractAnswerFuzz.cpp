// Fuzzes the contract answer parsers with whatever a host may answer: any bytes, read as the narrow answer
// text and, decoded as UTF-8, as the wide answer a query returns. The sanitizers and libFuzzer's leak check
// catch crashes, undefined behaviour and leaks; these checks catch wrong answers:
// - a root or found element is named by a part of the text it was parsed from, and its text is no longer
//   than that text (and made of its words when the text holds no entity);
// - FindElementByName finds what a plain recursive pre-order search finds from the same start, and leaves
//   the out pointer alone when there is none;
// - FindElementInAnswer takes the answer's own element when there is one, without parsing "Data", else
//   the one of the document that the first "Data" text holds;
// - keyed entries are the first of their list with that key;
// - an answer reads the same into fresh documents and into documents that held another answer, and the
//   same as a wide answer when it is ASCII.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/strings.h"
#include "services/ContractAnswer.h"

namespace {

// The lists of the feature parsers, their entries and the attributes that key them.
struct CListShape {
    const char* pszList;
    const char* pszEntry;
};
constexpr CListShape kListShapes[] = {{"CapabilityList", "Capability"}, {"SettingList", "Setting"}};
constexpr const char* kKeyAttributes[] = {"key", "Key", "errorCode"};
constexpr const char* kWantedNames[] = {"CapabilityList", "SettingList", "Capability",
                                        "Setting",        "Data",        "Status"};

// Bounds on the searches of one input, which keep a run of many inputs short.
constexpr size_t kMaxStarts = 8;
constexpr size_t kMaxEntries = 16;

// What a document or out pointer held before: the checks tell whether a routine replaced it.
const char* const kStaleAnswer = "<Response><CapabilityList><Capability key=\"FnLock\">stale</Capability>"
                                 "</CapabilityList><Data>&lt;SettingList&gt;&lt;Setting key=\"IsEnabled\"&gt;"
                                 "stale&lt;/Setting&gt;&lt;/SettingList&gt;</Data></Response>";
const char* const kStaleData = "<SettingList><Setting key=\"IsEnabled\">stale</Setting></SettingList>";
const TiXmlElement kUnset("Unset");
constexpr int kUnsetInt = -424242;

void Expect(bool bHolds, const char* pszWhat) {
    if (!bHolds) {
        std::fprintf(stderr, "contract answer: %s\n", pszWhat);
        std::abort();
    }
}

// The search as a plain recursion over the child elements, to compare the routine with.
const TiXmlElement* FirstNamed(const TiXmlElement* pElement, const char* pszName) {
    if (std::strcmp(pElement->Value(), pszName) == 0) {
        return pElement;
    }
    for (const TiXmlElement* pChild = pElement->FirstChildElement(); pChild;
         pChild = pChild->NextSiblingElement()) {
        if (const TiXmlElement* pFound = FirstNamed(pChild, pszName)) {
            return pFound;
        }
    }
    return nullptr;
}

void CollectPreOrder(const TiXmlElement* pElement, std::vector<const TiXmlElement*>& elements) {
    elements.push_back(pElement);
    for (const TiXmlElement* pChild = pElement->FirstChildElement(); pChild;
         pChild = pChild->NextSiblingElement()) {
        CollectPreOrder(pChild, elements);
    }
}

// The element's place in its document, as the indices of it and its ancestors among their sibling elements.
std::string ElementPath(const TiXmlElement* pElement) {
    std::vector<int> indices;
    for (const TiXmlNode* pNode = pElement; pNode && pNode->ToElement(); pNode = pNode->Parent()) {
        int nIndex = 0;
        for (const TiXmlNode* pBefore = pNode->PreviousSibling(); pBefore;
             pBefore = pBefore->PreviousSibling()) {
            nIndex += pBefore->ToElement() ? 1 : 0;
        }
        indices.push_back(nIndex);
    }
    std::string strPath;
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
        strPath += "/" + std::to_string(*it);
    }
    return strPath;
}

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Without entities, a parsed text only drops and condenses blanks, so each of its words is in the source.
bool WordsAreInSource(std::string_view text, std::string_view source) {
    if (source.find('&') != std::string_view::npos) {
        return true;
    }
    size_t nPos = 0;
    while (nPos < text.size()) {
        size_t nEnd = nPos;
        while (nEnd < text.size() && !IsBlank(text[nEnd])) {
            ++nEnd;
        }
        if (nEnd > nPos && source.find(text.substr(nPos, nEnd - nPos)) == std::string_view::npos) {
            return false;
        }
        nPos = nEnd + 1;
    }
    return true;
}

void ExpectFromSource(const TiXmlElement* pElement, std::string_view source) {
    Expect(source.find(pElement->Value()) != std::string_view::npos, "an element name is not in its text");
    if (const char* pszText = GetElementText(pElement)) {
        const std::string_view text(pszText);
        Expect(text.size() <= source.size(), "an element text is longer than the text it was parsed from");
        Expect(WordsAreInSource(text, source), "an element text holds words its source does not");
    }
}

// The found element as the summary of a reading shows it: its document, place, name, text and number.
std::string Describe(const char* pszWhere, const TiXmlElement* pElement) {
    const char* pszText = GetElementText(pElement);
    int nValue = kUnsetInt;
    const bool bInt = GetElementInt(pElement, nValue);
    Expect(bInt || nValue == kUnsetInt, "GetElementInt changed the number of a text that is none");
    Expect(!bInt || pszText, "GetElementInt read a number without a text");
    return std::string(pszWhere) + ElementPath(pElement) + " <" + pElement->Value() + "> " +
           (pszText ? "\"" + std::string(pszText) + "\"" : "(no text)") +
           (bInt ? " = " + std::to_string(nValue) : "") + "\n";
}

// FindElementByName from the first elements of the answer, for the wanted names and the answer's own.
void CheckSearches(const std::vector<const TiXmlElement*>& elements) {
    std::vector<const char*> names(std::begin(kWantedNames), std::end(kWantedNames));
    const size_t nStarts = std::min(elements.size(), kMaxStarts);
    for (size_t i = 0; i < nStarts; ++i) {
        names.push_back(elements[i]->Value());
    }
    names.push_back(elements.back()->Value());
    for (size_t i = 0; i < nStarts; ++i) {
        for (const char* pszName : names) {
            const TiXmlElement* pFound = &kUnset;
            const bool bFound = FindElementByName(elements[i], pszName, pFound);
            const TiXmlElement* pExpected = FirstNamed(elements[i], pszName);
            Expect(bFound == (pExpected != nullptr), "FindElementByName and the recursive search disagree");
            Expect(pFound == (bFound ? pExpected : &kUnset), "FindElementByName gave another element");
        }
    }
    const TiXmlElement* pFound = &kUnset;
    Expect(!FindElementByName(elements.front(), nullptr, pFound) && pFound == &kUnset,
           "FindElementByName found a null name");
}

// FindElementInAnswer for one name, checked against the direct search and the "Data" document parsed apart.
std::string ReadElement(const TiXmlElement* pRoot, std::string_view answer, const char* pszName,
                        TiXmlDocument& dataDocument) {
    const TiXmlElement* pDataBefore = dataDocument.FirstChildElement();
    const TiXmlElement* pFound = &kUnset;
    const bool bFound = FindElementInAnswer(pRoot, pszName, pFound, dataDocument);
    Expect(!bFound || pFound, "FindElementInAnswer found a null element");

    if (const TiXmlElement* pDirect = FirstNamed(pRoot, pszName)) {
        Expect(bFound && pFound == pDirect, "FindElementInAnswer missed the answer's own element");
        Expect(dataDocument.FirstChildElement() == pDataBefore,
               "the \"Data\" document was parsed needlessly");
        ExpectFromSource(pFound, answer);
        return Describe("answer", pFound);
    }

    const TiXmlElement* pData = FirstNamed(pRoot, "Data");
    const char* pszDataText = GetElementText(pData);
    TiXmlDocument innerDocument;
    const TiXmlElement* pInnerRoot = nullptr;
    const TiXmlElement* pExpected =
        LoadXmlRoot(pszDataText, innerDocument, pInnerRoot) ? FirstNamed(pInnerRoot, pszName) : nullptr;
    Expect(bFound == (pExpected != nullptr), "FindElementInAnswer and the \"Data\" document disagree");
    if (!bFound) {
        return std::string("none <") + pszName + ">\n";
    }
    Expect(pFound->GetDocument() == &dataDocument, "an element of \"Data\" lies outside the second document");
    const std::string strFound = Describe("data", pFound);
    Expect(strFound == Describe("data", pExpected), "FindElementInAnswer took another element of \"Data\"");
    ExpectFromSource(pFound, pszDataText);
    return strFound;
}

// Every entry of a found list, by each key attribute it carries, must be the first entry with that key.
std::string ReadEntries(const TiXmlElement* pList, const char* pszEntry) {
    std::string strEntries;
    size_t nEntries = 0;
    for (const TiXmlElement* pEntry = pList->FirstChildElement(pszEntry); pEntry && nEntries < kMaxEntries;
         pEntry = pEntry->NextSiblingElement(pszEntry), ++nEntries) {
        for (const char* pszAttribute : kKeyAttributes) {
            const char* pszKey = pEntry->Attribute(pszAttribute);
            if (!pszKey) {
                continue;
            }
            const TiXmlElement* pKeyed = FindKeyedChild(pList, pszEntry, pszAttribute, pszKey);
            Expect(pKeyed && std::strcmp(pKeyed->Attribute(pszAttribute), pszKey) == 0,
                   "FindKeyedChild missed an entry's own key");
            for (const TiXmlElement* pBefore = pList->FirstChildElement(pszEntry); pBefore != pKeyed;
                 pBefore = pBefore->NextSiblingElement(pszEntry)) {
                Expect(pBefore != pEntry, "FindKeyedChild took an entry after the first with the key");
            }
            strEntries += std::string(pszAttribute) + "=" + pszKey + ": " + Describe("entry", pKeyed);
        }
    }
    return strEntries;
}

// Reads a loaded answer as the feature parsers do and sums up what it gave.
std::string ReadAnswer(const char* pszAnswer, bool bLoaded, const TiXmlElement* pRoot,
                       TiXmlDocument& document, TiXmlDocument& dataDocument) {
    Expect(bLoaded == (pRoot != nullptr), "LoadXmlRoot's result and root disagree");
    if (!bLoaded) {
        return "refused\n";
    }
    Expect(pRoot == document.FirstChildElement(), "the root is not the document's first element");
    const std::string_view answer(pszAnswer);
    ExpectFromSource(pRoot, answer);

    std::vector<const TiXmlElement*> elements;
    CollectPreOrder(pRoot, elements);
    CheckSearches(elements);

    std::string strSummary = std::string("root <") + pRoot->Value() + ">\n";
    std::vector<const char*> names(std::begin(kWantedNames), std::end(kWantedNames));
    names.push_back(pRoot->Value());
    names.push_back(elements.back()->Value());
    for (const char* pszName : names) {
        strSummary += ReadElement(pRoot, answer, pszName, dataDocument);
    }
    for (const CListShape& shape : kListShapes) {
        const TiXmlElement* pList = nullptr;
        if (FindElementInAnswer(pRoot, shape.pszList, pList, dataDocument)) {
            strSummary += ReadEntries(pList, shape.pszEntry);
        }
    }
    return strSummary;
}

std::string ReadNarrowAnswer(const char* pszAnswer, TiXmlDocument& document, TiXmlDocument& dataDocument) {
    const TiXmlElement* pRoot = &kUnset;
    const bool bLoaded = LoadXmlRoot(pszAnswer, document, pRoot);
    return ReadAnswer(pszAnswer, bLoaded, pRoot, document, dataDocument);
}

std::wstring FromUtf8(const std::string& strText) {
    const int nLength = MultiByteToWideChar(CP_UTF8, 0, strText.c_str(), -1, nullptr, 0);
    std::wstring strWide(nLength > 0 ? nLength : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, strText.c_str(), -1, strWide.data(), nLength);
    strWide.resize(std::wcslen(strWide.c_str()));
    return strWide;
}

bool IsAscii(const std::string& strText) {
    for (const char c : strText) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

// The answers' ANSI conversion reads the code page from the machine's facts: a machine of its own beside
// the program, on code page 1252, keeps every run alike.
extern "C" int LLVMFuzzerInitialize(int* pArgc, char*** pArgv) {
    const std::filesystem::path folder =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "fuzz-machine";
    std::filesystem::create_directories(folder);
    if (!std::filesystem::exists(folder / "facts.json")) {
        std::ofstream(folder / "facts.json") << "{\"codePage\": 1252}\n";
    }
    setenv("FLIPDECK_MACHINE", folder.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // The parsers take a zero-terminated text: nothing after a zero byte reaches them.
    const char* pszData = reinterpret_cast<const char*>(pData);
    const std::string strAnswer(pszData, strnlen(pszData, nSize));

    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const std::string strFresh = ReadNarrowAnswer(strAnswer.c_str(), document, dataDocument);

    TiXmlDocument staleDocument;
    TiXmlDocument staleDataDocument;
    const TiXmlElement* pStale = nullptr;
    Expect(LoadXmlRoot(kStaleAnswer, staleDocument, pStale) &&
               LoadXmlRoot(kStaleData, staleDataDocument, pStale),
           "the stale answers do not load");
    Expect(ReadNarrowAnswer(strAnswer.c_str(), staleDocument, staleDataDocument) == strFresh,
           "an answer reads otherwise in documents that held another answer");

    const std::wstring strWide = FromUtf8(strAnswer);
    const ContractAnswer answer(strWide.c_str());
    const char* pszAnsi = answer;
    Expect(pszAnsi && std::strlen(pszAnsi) == strWide.size(), "the ANSI answer lost or gained characters");
    TiXmlDocument wideDocument;
    TiXmlDocument wideDataDocument;
    const TiXmlElement* pRoot = &kUnset;
    const bool bLoaded = LoadXmlRoot(answer, wideDocument, pRoot);
    const std::string strWideRead = ReadAnswer(pszAnsi, bLoaded, pRoot, wideDocument, wideDataDocument);
    Expect(!IsAscii(strAnswer) || strWideRead == strFresh,
           "an ASCII answer reads otherwise as a wide answer");
    return 0;
}
