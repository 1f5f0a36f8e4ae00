// Reading the XML answers of the contract interface: parse an answer, find an element by name (directly
// or inside the document carried as the text of a "Data" element), and read keyed list entries, texts
// and numbers. Answers come from the host: whatever they hold, every failure is a false or null result.
#pragma once

#include <tinyxml.h>

#include "platform/comdef.h"

// The answer of a contract query; its narrow text is the ANSI conversion of the BSTR.
using ContractAnswer = _bstr_t;

// Parses the answer text (UTF-8) into the caller's document; pRoot is its first child element. False,
// pRoot null, when the text is null, too large to parse safely, malformed or without an element.
bool LoadXmlRoot(const char* pszAnswer, TiXmlDocument& document, const TiXmlElement*& pRoot);
bool LoadXmlRoot(const ContractAnswer& answer, TiXmlDocument& document, const TiXmlElement*& pRoot);

// The first element named exactly pszName in depth-first pre-order from pStart, pStart included.
// False, pFound untouched, when there is none.
bool FindElementByName(const TiXmlElement* pStart, const char* pszName, const TiXmlElement*& pFound);

// FindElementByName from pRoot; when the name is not there, the same search in the document that the
// text of the first "Data" element holds, parsed into dataDocument (which pFound then points into).
bool FindElementInAnswer(const TiXmlElement* pRoot, const char* pszName, const TiXmlElement*& pFound,
                         TiXmlDocument& dataDocument);

// The element named pszList, found as FindElementInAnswer finds it in the answer parsed into document;
// null when the answer does not parse or holds no such element.
const TiXmlElement* FindListInAnswer(const ContractAnswer& answer, const char* pszList,
                                     TiXmlDocument& document, TiXmlDocument& dataDocument);

// The first child element named pszChild whose attribute pszAttribute equals pszKey exactly, or null.
const TiXmlElement* FindKeyedChild(const TiXmlElement* pList, const char* pszChild, const char* pszAttribute,
                                   const char* pszKey);

// The element's text: its first child when that is a text node, else null.
const char* GetElementText(const TiXmlElement* pElement);

// The element's text as a decimal int (blanks around it allowed). False, nValue untouched, when the
// text is missing, not a number or out of the int range.
bool GetElementInt(const TiXmlElement* pElement, int& nValue);
