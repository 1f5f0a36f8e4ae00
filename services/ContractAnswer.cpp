#include "services/ContractAnswer.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// TinyXML parses and frees nested elements recursively, so a deep enough document overflows the stack.
// A text with at most this many '<' nests no deeper, which every thread's stack holds.
constexpr size_t kMaxAnswerTags = 4096;

bool HasFewTags(const char* pszText) {
    size_t nTags = 0;
    for (const char* p = std::strchr(pszText, '<'); p; p = std::strchr(p + 1, '<')) {
        if (++nTags > kMaxAnswerTags) {
            return false;
        }
    }
    return true;
}

// TinyXML steps over a UTF-8 sequence by the length its first byte announces, also when the text ends
// inside it; a copy followed by that many more zero bytes keeps every read within the copy.
constexpr size_t kMaxUtf8Sequence = 4;

// Parses the text into the document, replacing what it held; false, the document empty, for a text
// that is null, too deeply nestable or malformed.
bool ParseAnswerText(const char* pszText, TiXmlDocument& document) {
    document.Clear();
    if (!pszText || !HasFewTags(pszText)) {
        return false;
    }
    std::string strPadded(pszText);
    strPadded.append(kMaxUtf8Sequence, '\0');
    document.Parse(strPadded.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (document.Error()) {
        document.Clear();
        return false;
    }
    return true;
}

// The element after pNode in depth-first pre-order within the subtree of pStart, or null.
const TiXmlElement* NextInSubtree(const TiXmlElement* pNode, const TiXmlElement* pStart) {
    if (const TiXmlElement* pChild = pNode->FirstChildElement()) {
        return pChild;
    }
    for (; pNode != pStart; pNode = pNode->Parent()->ToElement()) {
        if (const TiXmlElement* pSibling = pNode->NextSiblingElement()) {
            return pSibling;
        }
    }
    return nullptr;
}

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace

bool LoadXmlRoot(const char* pszAnswer, TiXmlDocument& document, const TiXmlElement*& pRoot) {
    pRoot = ParseAnswerText(pszAnswer, document) ? document.FirstChildElement() : nullptr;
    return pRoot != nullptr;
}

bool LoadXmlRoot(const ContractAnswer& answer, TiXmlDocument& document, const TiXmlElement*& pRoot) {
    return LoadXmlRoot(static_cast<const char*>(answer), document, pRoot);
}

bool FindElementByName(const TiXmlElement* pStart, const char* pszName, const TiXmlElement*& pFound) {
    if (!pszName) {
        return false;
    }
    for (const TiXmlElement* pNode = pStart; pNode; pNode = NextInSubtree(pNode, pStart)) {
        if (std::strcmp(pNode->Value(), pszName) == 0) {
            pFound = pNode;
            return true;
        }
    }
    return false;
}

bool FindElementInAnswer(const TiXmlElement* pRoot, const char* pszName, const TiXmlElement*& pFound,
                         TiXmlDocument& dataDocument) {
    if (!pRoot || !pszName) {
        return false;
    }
    if (FindElementByName(pRoot, pszName, pFound)) {
        return pFound != nullptr;
    }
    const TiXmlElement* pData = nullptr;
    const TiXmlElement* pInnerRoot = nullptr;
    return FindElementByName(pRoot, "Data", pData) &&
           LoadXmlRoot(GetElementText(pData), dataDocument, pInnerRoot) &&
           FindElementByName(pInnerRoot, pszName, pFound) && pFound != nullptr;
}

const TiXmlElement* FindListInAnswer(const ContractAnswer& answer, const char* pszList,
                                     TiXmlDocument& document, TiXmlDocument& dataDocument) {
    const TiXmlElement* pRoot = nullptr;
    const TiXmlElement* pList = nullptr;
    if (!LoadXmlRoot(answer, document, pRoot) || !FindElementInAnswer(pRoot, pszList, pList, dataDocument)) {
        return nullptr;
    }
    return pList;
}

const TiXmlElement* FindKeyedChild(const TiXmlElement* pList, const char* pszChild, const char* pszAttribute,
                                   const char* pszKey) {
    if (!pList || !pszChild || !pszAttribute || !pszKey) {
        return nullptr;
    }
    for (const TiXmlElement* pChild = pList->FirstChildElement(pszChild); pChild;
         pChild = pChild->NextSiblingElement(pszChild)) {
        const char* pszValue = pChild->Attribute(pszAttribute);
        if (pszValue && std::strcmp(pszValue, pszKey) == 0) {
            return pChild;
        }
    }
    return nullptr;
}

const char* GetElementText(const TiXmlElement* pElement) {
    const TiXmlNode* pFirst = pElement ? pElement->FirstChild() : nullptr;
    return pFirst && pFirst->ToText() ? pFirst->Value() : nullptr;
}

bool GetElementInt(const TiXmlElement* pElement, int& nValue) {
    const char* pszText = GetElementText(pElement);
    if (!pszText) {
        return false;
    }
    char* pszEnd = nullptr;
    errno = 0;
    const long nParsed = std::strtol(pszText, &pszEnd, 10);
    if (pszEnd == pszText || errno == ERANGE || nParsed < INT_MIN || nParsed > INT_MAX) {
        return false;
    }
    while (IsBlank(*pszEnd)) {
        ++pszEnd;
    }
    if (*pszEnd != '\0') {
        return false;
    }
    nValue = static_cast<int>(nParsed);
    return true;
}
