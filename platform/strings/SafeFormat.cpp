// The run-time's formatted output into buffers, and the window system's wsprintfW, all on the one
// formatter.
#include "platform/strings.h"

#include <algorithm>
#include <cerrno>

namespace {

constexpr size_t kWsprintfLimit = 1024;

int InvalidResult(int error) {
    platform::InvalidParameter();
    errno = error;
    return -1;
}

template <typename Char> void Store(const std::basic_string<Char>& text, Char* buffer) {
    *std::copy(text.begin(), text.end(), buffer) = 0;
}

// swprintf_s: the whole text with its terminator must fit, else the buffer is emptied.
template <typename Char> int FormatFitting(Char* buffer, size_t size, const Char* format, va_list args) {
    if (!format || !buffer || size == 0) {
        return InvalidResult(EINVAL);
    }
    std::basic_string<Char> text;
    const int length = platform::FormatV(text, format, args, size);
    if (length < 0) {
        buffer[0] = 0;
        return -1;
    }
    if (static_cast<size_t>(length) >= size) {
        buffer[0] = 0;
        return InvalidResult(ERANGE);
    }
    Store(text, buffer);
    return length;
}

// _snwprintf_s: at most count characters (or what fits, with _TRUNCATE), cut text answers -1; a text
// that does not fit the buffer when count does not limit it empties the buffer.
template <typename Char>
int FormatCounted(Char* buffer, size_t size, size_t count, const Char* format, va_list args) {
    if (count == 0 && !buffer && size == 0) {
        return 0;
    }
    if (!format || !buffer || size == 0) {
        return InvalidResult(EINVAL);
    }
    const size_t room = std::min(count, size - 1);
    std::basic_string<Char> text;
    const int length = platform::FormatV(text, format, args, room);
    if (length < 0) {
        buffer[0] = 0;
        return -1;
    }
    if (static_cast<size_t>(length) <= room) {
        Store(text, buffer);
        return length;
    }
    if (count == _TRUNCATE || count < size) {
        Store(text, buffer);
        return -1;
    }
    buffer[0] = 0;
    return InvalidResult(ERANGE);
}

} // namespace

int swprintf_s(wchar_t* buffer, size_t sizeOfBuffer, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = FormatFitting(buffer, sizeOfBuffer, format, args);
    va_end(args);
    return result;
}

int vswprintf_s(wchar_t* buffer, size_t sizeOfBuffer, const wchar_t* format, va_list argptr) {
    return FormatFitting(buffer, sizeOfBuffer, format, argptr);
}

int sprintf_s(char* buffer, size_t sizeOfBuffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = FormatFitting(buffer, sizeOfBuffer, format, args);
    va_end(args);
    return result;
}

int _snwprintf_s(wchar_t* buffer, size_t sizeOfBuffer, size_t count, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = FormatCounted(buffer, sizeOfBuffer, count, format, args);
    va_end(args);
    return result;
}

int _vsnwprintf_s(wchar_t* buffer, size_t sizeOfBuffer, size_t count, const wchar_t* format, va_list argptr) {
    return FormatCounted(buffer, sizeOfBuffer, count, format, argptr);
}

int _snprintf_s(char* buffer, size_t sizeOfBuffer, size_t count, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = FormatCounted(buffer, sizeOfBuffer, count, format, args);
    va_end(args);
    return result;
}

// The older form: up to count characters, terminated only when there is room; -1 when cut. A null
// buffer with count 0 asks for the length.
int _vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list argptr) {
    if (!format || (!buffer && count > 0)) {
        return InvalidResult(EINVAL);
    }
    std::wstring text;
    const int length = platform::FormatV(text, format, argptr, count);
    if (!buffer) {
        return length;
    }
    std::copy(text.begin(), text.end(), buffer);
    if (text.size() < count) {
        buffer[text.size()] = L'\0';
    }
    return length >= 0 && static_cast<size_t>(length) <= count ? length : -1;
}

int _snwprintf(wchar_t* buffer, size_t count, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = _vsnwprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...) {
    if (!lpOut) {
        return 0;
    }
    std::wstring text;
    if (lpFmt) {
        va_list args;
        va_start(args, lpFmt);
        platform::FormatV(text, lpFmt, args, kWsprintfLimit - 1);
        va_end(args);
    }
    Store(text, lpOut);
    return static_cast<int>(text.size());
}
