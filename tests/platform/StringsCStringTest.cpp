// CString: the members' edge indexes and counts, searching, replacing, trimming, tokenizing, the
// buffer protocol, formatting and the operators.
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/strings.h"

namespace {

struct TextCase {
    const char* what;
    std::function<CString(CString&)> operation;
    const wchar_t* text;
    const wchar_t* expected;
};

TEST(StringsCString, MembersMakeTheExpectedText) {
    const TextCase cases[] = {
        {"Left", [](CString& s) { return s.Left(3); }, L"abcdef", L"abc"},
        {"Left negative", [](CString& s) { return s.Left(-1); }, L"abcdef", L""},
        {"Left past the end", [](CString& s) { return s.Left(10); }, L"abcdef", L"abcdef"},
        {"Right", [](CString& s) { return s.Right(2); }, L"abcdef", L"ef"},
        {"Right negative", [](CString& s) { return s.Right(-1); }, L"abcdef", L""},
        {"Right past the start", [](CString& s) { return s.Right(99); }, L"abcdef", L"abcdef"},
        {"Mid to the end", [](CString& s) { return s.Mid(2); }, L"abcdef", L"cdef"},
        {"Mid", [](CString& s) { return s.Mid(2, 2); }, L"abcdef", L"cd"},
        {"Mid negative start", [](CString& s) { return s.Mid(-1, 2); }, L"abcdef", L"ab"},
        {"Mid count past the end", [](CString& s) { return s.Mid(4, 10); }, L"abcdef", L"ef"},
        {"Mid start past the end", [](CString& s) { return s.Mid(7); }, L"abcdef", L""},
        {"Mid negative count", [](CString& s) { return s.Mid(2, -1); }, L"abcdef", L""},
        {"Trim white space", [](CString& s) { return s.Trim(); }, L" \t x y \r\n", L"x y"},
        {"TrimLeft", [](CString& s) { return s.TrimLeft(); }, L"  x  ", L"x  "},
        {"TrimRight", [](CString& s) { return s.TrimRight(); }, L"  x  ", L"  x"},
        {"Trim characters", [](CString& s) { return s.Trim(L"xy"); }, L"xyaxbyx", L"axb"},
        {"Trim one character", [](CString& s) { return s.TrimRight(L'-'); }, L"-a--", L"-a"},
        {"Trim all", [](CString& s) { return s.Trim(); }, L"   ", L""},
        {"MakeUpper folds A-Z only", [](CString& s) { return s.MakeUpper(); }, L"abc\xE9", L"ABC\xE9"},
        {"MakeLower folds A-Z only", [](CString& s) { return s.MakeLower(); }, L"ABC\xC9", L"abc\xC9"},
        {"Insert char", [](CString& s) { return s.Insert(1, L'x'), s; }, L"ab", L"axb"},
        {"Insert past the end appends", [](CString& s) { return s.Insert(9, L"yz"), s; }, L"ab", L"abyz"},
        {"Insert at negative prepends", [](CString& s) { return s.Insert(-3, L"yz"), s; }, L"ab", L"yzab"},
        {"Delete", [](CString& s) { return s.Delete(1, 2), s; }, L"abcd", L"ad"},
        {"Delete past the end", [](CString& s) { return s.Delete(2, 99), s; }, L"abcd", L"ab"},
        {"Delete from past the end", [](CString& s) { return s.Delete(9), s; }, L"abcd", L"abcd"},
        {"Remove", [](CString& s) { return s.Remove(L'a'), s; }, L"banana", L"bnn"},
        {"SetAt", [](CString& s) { return s.SetAt(1, L'X'), s; }, L"abc", L"aXc"},
        {"SetAt outside writes nothing", [](CString& s) { return s.SetAt(3, L'X'), s; }, L"abc", L"abc"},
        {"concatenation", [](CString& s) { return s + L"-" + CString(L"x") + L'!'; }, L"ab", L"ab-x!"},
        {"text first", [](CString& s) { return L"<" + s; }, L"ab", L"<ab"},
        {"char first", [](CString& s) { return L'<' + s; }, L"ab", L"<ab"},
        {"Format", [](CString& s) { return s.Format(L"%s=%03d", L"k", 7), s; }, L"old", L"k=007"},
        {"AppendFormat", [](CString& s) { return s.AppendFormat(L"+%I64d", 5LL), s; }, L"n", L"n+5"},
        {"self append", [](CString& s) { return s += s.GetString(), s; }, L"ab", L"abab"},
    };
    for (const TextCase& c : cases) {
        CString text(c.text);
        EXPECT_STREQ(c.operation(text).GetString(), c.expected) << c.what;
    }
}

TEST(StringsCString, SearchesAnswerIndexesOrMinusOne) {
    struct Case {
        const char* what;
        int actual;
        int expected;
    };
    const CString s(L"abcabc");
    const Case cases[] = {
        {"char", s.Find(L'c'), 2},
        {"char from a start", s.Find(L'c', 3), 5},
        {"char not found", s.Find(L'z'), -1},
        {"substring", s.Find(L"ca"), 2},
        {"substring from a start", s.Find(L"ab", 1), 3},
        {"empty substring at the end", s.Find(L"", 6), 6},
        {"start past the end", s.Find(L'a', 7), -1},
        {"negative start", s.Find(L'a', -1), -1},
        {"null substring", s.Find(static_cast<const wchar_t*>(nullptr)), -1},
        {"ReverseFind", s.ReverseFind(L'a'), 3},
        {"ReverseFind not found", s.ReverseFind(L'z'), -1},
        {"GetAt", s.GetAt(1), L'b'},
        {"GetAt the terminator", s.GetAt(6), 0},
        {"GetAt outside", s.GetAt(7), 0},
        {"operator[]", s[2], L'c'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.actual, c.expected) << c.what;
    }
}

TEST(StringsCString, ReplaceCountsNonOverlappingMatches) {
    struct Case {
        const wchar_t* text;
        const wchar_t* from;
        const wchar_t* to;
        int count;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"ababab", L"ab", L"X", 3, L"XXX"},
        {L"aaaa", L"aa", L"a", 2, L"aa"},
        {L"abc", L"", L"X", 0, L"abc"},
        {L"abc", L"b", nullptr, 1, L"ac"},
        {L"abc", L"abc", L"abcabc", 1, L"abcabc"},
        {L"abc", L"z", L"X", 0, L"abc"},
    };
    for (const Case& c : cases) {
        CString s(c.text);
        EXPECT_EQ(s.Replace(c.from, c.to), c.count) << c.text << "/" << c.from;
        EXPECT_STREQ(s.GetString(), c.expected) << c.text << "/" << c.from;
    }
    CString chars(L"banana");
    EXPECT_EQ(chars.Replace(L'a', L'o'), 3);
    EXPECT_STREQ(chars.GetString(), L"bonono");
    EXPECT_EQ(chars.Replace(L'o', L'o'), 0);
}

TEST(StringsCString, TokenizeSkipsDelimitersAndEndsAtMinusOne) {
    struct Case {
        const wchar_t* text;
        const wchar_t* delimiters;
        std::vector<std::wstring> tokens;
    };
    const Case cases[] = {
        {L"a,,b;c", L",;", {L"a", L"b", L"c"}},
        {L",,a,", L",", {L"a"}},
        {L"", L",", {}},
        {L",,,", L",", {}},
        {L"one", L",", {L"one"}},
        {L"a b", L"", {L"a b"}}, // no delimiters: the rest once
    };
    for (const Case& c : cases) {
        const CString s(c.text);
        std::vector<std::wstring> tokens;
        int start = 0;
        for (CString token = s.Tokenize(c.delimiters, start); start != -1;
             token = s.Tokenize(c.delimiters, start)) {
            tokens.emplace_back(token.GetString());
            ASSERT_LE(tokens.size(), 10u) << c.text;
        }
        EXPECT_EQ(tokens, c.tokens) << c.text;
    }
    int negative = -2;
    EXPECT_TRUE(CString(L"a").Tokenize(L",", negative).IsEmpty());
    EXPECT_EQ(negative, -1);
}

TEST(StringsCString, BufferProtocol) {
    CString s(L"old");
    wchar_t* buffer = s.GetBuffer(10);
    std::wcscpy(buffer, L"hello");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 5);
    EXPECT_STREQ(s.GetString(), L"hello");

    s.GetBuffer()[0] = L'j';
    s.ReleaseBuffer(2);
    EXPECT_STREQ(s.GetString(), L"je");

    // Untouched room beyond the text leaves the text as it was.
    s.GetBuffer(50);
    s.ReleaseBuffer();
    EXPECT_STREQ(s.GetString(), L"je");

    wchar_t* fixed = s.GetBufferSetLength(3);
    fixed[2] = L'!';
    s.ReleaseBuffer(99);
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s.Right(1), L"!");
}

TEST(StringsCString, ComparisonsAreOrdinalOrFoldAscii) {
    const CString a(L"apple");
    const CString b(L"Banana");
    EXPECT_TRUE(a == L"apple");
    EXPECT_TRUE(L"apple" == a);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(b < a); // 'B' sorts before 'a'
    EXPECT_TRUE(L"Z" < a);
    EXPECT_TRUE(a < L"b");
    EXPECT_GT(a.Compare(b), 0);
    EXPECT_LT(a.CompareNoCase(b), 0);
    EXPECT_EQ(CString(L"MiXeD").CompareNoCase(L"mixed"), 0);
    EXPECT_NE(CString(L"\xC9").CompareNoCase(L"\xE9"), 0);
    EXPECT_GT(a.Compare(nullptr), 0);
    EXPECT_TRUE(CString().IsEmpty());
    EXPECT_EQ(CString(L'x', 3), L"xxx");
    EXPECT_EQ(CString(L"abcdef", 2), L"ab");
    CString emptied(L"x");
    emptied.Empty();
    EXPECT_EQ(emptied.GetLength(), 0);
    EXPECT_STREQ(static_cast<const wchar_t*>(emptied), L"");
}

TEST(StringsCString, NarrowTwin) {
    CStringA s("  a,b  ");
    s.Trim();
    int start = 0;
    EXPECT_STREQ(s.Tokenize(",", start).GetString(), "a");
    s.Format("%s-%S-%d", "n", L"w", 3);
    EXPECT_EQ(s, "n-w-3");
    EXPECT_EQ(CStringA("ABC").CompareNoCase("abc"), 0);
}

} // namespace
