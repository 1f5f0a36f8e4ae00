#include "services/ContractAnswer.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

// TinyXML parses and frees nested elements recursively, so a deep enough document overflows the stack.
// An answer whose elements nest deeper than this is refused; a worker's stack holds this many levels.
constexpr size_t kMaxAnswerDepth = 256;

constexpr TiXmlEncoding kEncoding = TIXML_ENCODING_UTF8;

// Walks a text as TinyXML's parser does, with the parser's own readers for every piece but the elements,
// which it follows without recursion, and tells how deep the elements nest before the parser would stop.
class CNestingScanner : public TiXmlElement {
public:
    CNestingScanner() : TiXmlElement("") {}

    bool IsDeeperThan(const char* pszText, size_t nLimit) {
        size_t nDepth = 0;
        const char* p = SkipWhiteSpace(pszText, kEncoding);
        while (p && *p) {
            if (nDepth > 0 && *p != '<') {
                TiXmlText text("");
                p = text.Parse(p, nullptr, kEncoding);
            } else if (nDepth > 0 && StringEqual(p, "</", false, kEncoding)) {
                // Its element's end tag, or the parser stops at it.
                p = std::strchr(p, '>');
                p = p ? p + 1 : nullptr;
                --nDepth;
            } else {
                const std::unique_ptr<TiXmlNode> pNode(Identify(p, kEncoding));
                if (!pNode) {
                    break;
                }
                if (pNode->ToElement()) {
                    bool bOpens = false;
                    p = SkipStartTag(p, bOpens);
                    if (bOpens && ++nDepth > nLimit) {
                        return true;
                    }
                } else {
                    p = pNode->Parse(p, nullptr, kEncoding);
                }
            }
            p = p ? SkipWhiteSpace(p, kEncoding) : nullptr;
        }
        return false;
    }

private:
    // As the parser reads an element's start tag: its name and attributes, then "/>" or ">".
    static const char* SkipStartTag(const char* p, bool& bOpens) {
        TIXML_STRING name;
        p = ReadName(SkipWhiteSpace(p + 1, kEncoding), &name, kEncoding);
        while (p && *p) {
            p = SkipWhiteSpace(p, kEncoding);
            if (!p || !*p) {
                return nullptr;
            }
            if (*p == '/' || *p == '>') {
                bOpens = *p == '>';
                return bOpens ? p + 1 : (p[1] == '>' ? p + 2 : nullptr);
            }
            TiXmlAttribute attribute;
            p = attribute.Parse(p, nullptr, kEncoding);
        }
        return nullptr;
    }
};

bool IsNestedTooDeeply(const char* pszText) {
    return CNestingScanner().IsDeeperThan(pszText, kMaxAnswerDepth);
}

// TinyXML steps over a UTF-8 sequence by the length its first byte announces, also when the text ends
// inside it; a copy followed by that many more zero bytes keeps every read within the copy.
constexpr size_t kMaxUtf8Sequence = 4;

// Parses the text into the document, replacing what it held; false, the document empty, for a text
// that is null, too deeply nestable or malformed.
bool ParseAnswerText(const char* pszText, TiXmlDocument& document) {
    document.Clear();
    if (!pszText) {
        return false;
    }
    std::string strPadded(pszText);
    strPadded.append(kMaxUtf8Sequence, '\0');
    if (IsNestedTooDeeply(strPadded.c_str())) {
        return false;
    }
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
    // The value of Data's first node, whatever its kind (a comment's text too), is the inner document.
    const TiXmlNode* pFirst = nullptr;
    return FindElementByName(pRoot, "Data", pData) && (pFirst = pData->FirstChild()) &&
           LoadXmlRoot(pFirst->Value(), dataDocument, pInnerRoot) &&
           FindElementByName(pInnerRoot, pszName, pFound) && pFound != nullptr;
}

const TiXmlElement* FindAnswerElement(const ContractAnswer& answer, const char* pszName,
                                      TiXmlDocument& document, TiXmlDocument& dataDocument) {
    const TiXmlElement* pRoot = nullptr;
    const TiXmlElement* pFound = nullptr;
    if (!LoadXmlRoot(answer, document, pRoot) || !FindElementInAnswer(pRoot, pszName, pFound, dataDocument)) {
        return nullptr;
    }
    return pFound;
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
