// The framework's string class, for wide and narrow text.
#include "platform/strings.h"

#include <algorithm>
#include <climits>

namespace {

template <typename Char> std::basic_string_view<Char> ViewOf(const Char* text) {
    return text ? std::basic_string_view<Char>(text) : std::basic_string_view<Char>();
}

// The other width, through the machine's ANSI code page.
std::wstring ToOtherWidth(std::string_view text) {
    return platform::CodePageToWide(text, CP_ACP);
}
std::string ToOtherWidth(std::wstring_view text) {
    return platform::WideToCodePage(text, CP_ACP);
}

int CompareIgnoringCase(const wchar_t* a, const wchar_t* b) {
    return _wcsicmp(a, b);
}
int CompareIgnoringCase(const char* a, const char* b) {
    return _stricmp(a, b);
}

// The "C" locale's white space.
template <typename Char> constexpr Char kWhitespace[] = {' ', '\t', '\n', '\v', '\f', '\r', 0};

template <typename Char> constexpr Char kEmpty[] = {0};

int IndexOrNone(size_t position) {
    return position == std::string_view::npos ? -1 : static_cast<int>(position);
}

// An index clamped into [0, length].
size_t ClampIndex(int index, size_t length) {
    return index < 0 ? 0 : std::min(static_cast<size_t>(index), length);
}

} // namespace

template <typename XCHAR> CStringT<XCHAR>::CStringT(PCXSTR text) : m_text(ViewOf(text)) {}

template <typename XCHAR>
CStringT<XCHAR>::CStringT(PCXSTR text, int length)
    : m_text(text && length > 0 ? View(text, static_cast<size_t>(length)) : View()) {}

template <typename XCHAR> CStringT<XCHAR>::CStringT(PCYSTR text) : m_text(ToOtherWidth(ViewOf(text))) {}

template <typename XCHAR>
CStringT<XCHAR>::CStringT(const CStringT<YCHAR>& other)
    : m_text(ToOtherWidth(
          std::basic_string_view<YCHAR>(other.GetString(), static_cast<size_t>(other.GetLength())))) {}

template <typename XCHAR>
CStringT<XCHAR>::CStringT(XCHAR ch, int repeat) : m_text(static_cast<size_t>(std::max(repeat, 0)), ch) {}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::operator=(PCXSTR text) {
    m_text = ViewOf(text);
    return *this;
}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::operator=(PCYSTR text) {
    m_text = ToOtherWidth(ViewOf(text));
    return *this;
}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::operator=(const CStringT<YCHAR>& other) {
    return *this = CStringT(other);
}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::operator=(XCHAR ch) {
    m_text.assign(1, ch);
    return *this;
}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::operator+=(const CStringT& other) {
    m_text += other.m_text;
    return *this;
}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::operator+=(PCXSTR text) {
    m_text += ViewOf(text);
    return *this;
}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::operator+=(XCHAR ch) {
    m_text += ch;
    return *this;
}

template <typename XCHAR> typename CStringT<XCHAR>::PXSTR CStringT<XCHAR>::GetBuffer() {
    return m_text.data();
}

template <typename XCHAR> typename CStringT<XCHAR>::PXSTR CStringT<XCHAR>::GetBuffer(int minLength) {
    if (minLength > GetLength()) {
        m_text.resize(static_cast<size_t>(minLength));
    }
    return m_text.data();
}

template <typename XCHAR> typename CStringT<XCHAR>::PXSTR CStringT<XCHAR>::GetBufferSetLength(int length) {
    m_text.resize(static_cast<size_t>(std::max(length, 0)));
    return m_text.data();
}

template <typename XCHAR> void CStringT<XCHAR>::ReleaseBuffer(int newLength) {
    // The buffer always ends with a terminator, so the search stays inside it.
    const size_t length = newLength < 0 ? std::char_traits<XCHAR>::length(m_text.c_str())
                                        : ClampIndex(newLength, m_text.size());
    m_text.resize(length);
}

template <typename XCHAR> void CStringT<XCHAR>::Format(PCXSTR format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

template <typename XCHAR> void CStringT<XCHAR>::FormatV(PCXSTR format, va_list args) {
    std::basic_string<XCHAR> text;
    platform::FormatV(text, format, args);
    m_text = std::move(text);
}

template <typename XCHAR> void CStringT<XCHAR>::AppendFormat(PCXSTR format, ...) {
    va_list args;
    va_start(args, format);
    AppendFormatV(format, args);
    va_end(args);
}

template <typename XCHAR> void CStringT<XCHAR>::AppendFormatV(PCXSTR format, va_list args) {
    std::basic_string<XCHAR> text;
    platform::FormatV(text, format, args);
    m_text += text;
}

template <typename XCHAR> CStringT<XCHAR> CStringT<XCHAR>::Left(int count) const {
    return CStringT(View(m_text).substr(0, ClampIndex(count, m_text.size())));
}

template <typename XCHAR> CStringT<XCHAR> CStringT<XCHAR>::Right(int count) const {
    return CStringT(View(m_text).substr(m_text.size() - ClampIndex(count, m_text.size())));
}

template <typename XCHAR> CStringT<XCHAR> CStringT<XCHAR>::Mid(int first) const {
    return CStringT(View(m_text).substr(ClampIndex(first, m_text.size())));
}

template <typename XCHAR> CStringT<XCHAR> CStringT<XCHAR>::Mid(int first, int count) const {
    return CStringT(View(m_text).substr(ClampIndex(first, m_text.size()), ClampIndex(count, m_text.size())));
}

template <typename XCHAR> int CStringT<XCHAR>::Find(XCHAR ch, int start) const {
    return FindView(View(&ch, 1), start);
}

template <typename XCHAR> int CStringT<XCHAR>::Find(PCXSTR sub, int start) const {
    return sub ? FindView(View(sub), start) : -1;
}

template <typename XCHAR> int CStringT<XCHAR>::FindView(View sub, int start) const {
    if (start < 0 || start > GetLength()) {
        return -1;
    }
    return IndexOrNone(m_text.find(sub, static_cast<size_t>(start)));
}

template <typename XCHAR> int CStringT<XCHAR>::ReverseFind(XCHAR ch) const {
    return IndexOrNone(m_text.rfind(ch));
}

template <typename XCHAR> int CStringT<XCHAR>::Replace(XCHAR oldChar, XCHAR newChar) {
    if (oldChar == newChar) {
        return 0;
    }
    int count = 0;
    for (XCHAR& ch : m_text) {
        if (ch == oldChar) {
            ch = newChar;
            ++count;
        }
    }
    return count;
}

template <typename XCHAR> int CStringT<XCHAR>::Replace(PCXSTR oldText, PCXSTR newText) {
    const View from = ViewOf(oldText);
    const View to = ViewOf(newText);
    if (from.empty()) {
        return 0;
    }
    std::basic_string<XCHAR> result;
    int count = 0;
    size_t done = 0;
    for (size_t found = m_text.find(from); found != View::npos; found = m_text.find(from, done)) {
        result.append(m_text, done, found - done).append(to);
        done = found + from.size();
        ++count;
    }
    result.append(m_text, done);
    m_text = std::move(result);
    return count;
}

template <typename XCHAR> int CStringT<XCHAR>::Remove(XCHAR ch) {
    return static_cast<int>(std::erase(m_text, ch));
}

template <typename XCHAR> int CStringT<XCHAR>::Insert(int index, XCHAR ch) {
    m_text.insert(ClampIndex(index, m_text.size()), 1, ch);
    return GetLength();
}

template <typename XCHAR> int CStringT<XCHAR>::Insert(int index, PCXSTR text) {
    m_text.insert(ClampIndex(index, m_text.size()), std::basic_string<XCHAR>(ViewOf(text)));
    return GetLength();
}

template <typename XCHAR> int CStringT<XCHAR>::Delete(int index, int count) {
    const size_t first = ClampIndex(index, m_text.size());
    m_text.erase(first, ClampIndex(count, m_text.size()));
    return GetLength();
}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::TrimIf(bool left, bool right, View targets) {
    if (right) {
        const size_t last = m_text.find_last_not_of(targets);
        m_text.erase(last == View::npos ? 0 : last + 1);
    }
    if (left) {
        m_text.erase(0, std::min(m_text.find_first_not_of(targets), m_text.size()));
    }
    return *this;
}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::Trim() {
    return TrimIf(true, true, kWhitespace<XCHAR>);
}
template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::Trim(XCHAR target) {
    return TrimIf(true, true, View(&target, 1));
}
template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::Trim(PCXSTR targets) {
    return TrimIf(true, true, ViewOf(targets));
}
template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::TrimLeft() {
    return TrimIf(true, false, kWhitespace<XCHAR>);
}
template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::TrimLeft(XCHAR target) {
    return TrimIf(true, false, View(&target, 1));
}
template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::TrimLeft(PCXSTR targets) {
    return TrimIf(true, false, ViewOf(targets));
}
template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::TrimRight() {
    return TrimIf(false, true, kWhitespace<XCHAR>);
}
template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::TrimRight(XCHAR target) {
    return TrimIf(false, true, View(&target, 1));
}
template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::TrimRight(PCXSTR targets) {
    return TrimIf(false, true, ViewOf(targets));
}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::MakeLower() {
    for (XCHAR& ch : m_text) {
        ch = (ch >= 'A' && ch <= 'Z') ? static_cast<XCHAR>(ch - 'A' + 'a') : ch;
    }
    return *this;
}

template <typename XCHAR> CStringT<XCHAR>& CStringT<XCHAR>::MakeUpper() {
    for (XCHAR& ch : m_text) {
        ch = (ch >= 'a' && ch <= 'z') ? static_cast<XCHAR>(ch - 'a' + 'A') : ch;
    }
    return *this;
}

template <typename XCHAR> int CStringT<XCHAR>::Compare(PCXSTR text) const {
    const int order = View(m_text).compare(ViewOf(text));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

template <typename XCHAR> int CStringT<XCHAR>::CompareNoCase(PCXSTR text) const {
    return CompareIgnoringCase(GetString(), text ? text : kEmpty<XCHAR>);
}

template <typename XCHAR> XCHAR CStringT<XCHAR>::GetAt(int index) const {
    // The terminator at GetLength() may be read, as in the framework.
    return index >= 0 && index <= GetLength() ? m_text.c_str()[index] : XCHAR(0);
}

template <typename XCHAR> void CStringT<XCHAR>::SetAt(int index, XCHAR ch) {
    if (index >= 0 && index < GetLength()) {
        m_text[static_cast<size_t>(index)] = ch;
    }
}

template <typename XCHAR> CStringT<XCHAR> CStringT<XCHAR>::Tokenize(PCXSTR tokens, int& start) const {
    const View delimiters = ViewOf(tokens);
    const size_t from =
        start < 0 ? View::npos : m_text.find_first_not_of(delimiters, static_cast<size_t>(start));
    if (from == View::npos) {
        start = -1;
        return CStringT();
    }
    const size_t to = std::min(m_text.find_first_of(delimiters, from), m_text.size());
    start = static_cast<int>(to + 1);
    return CStringT(View(m_text).substr(from, to - from));
}

template class CStringT<wchar_t>;
template class CStringT<char>;
