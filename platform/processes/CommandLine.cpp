// The process's Windows command line, built once from its real arguments, and CommandLineToArgvW.
#include "platform/processes/CommandLine.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/processes.h"

namespace platform {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

size_t SkipBlanks(std::wstring_view line, size_t at) {
    while (at < line.size() && IsBlank(line[at])) {
        ++at;
    }
    return at;
}

// The program name: up to the next quote when it starts with one, else up to the first blank; no
// backslash or quote rules apply. Returns where the text after it starts.
size_t ParseProgramName(std::wstring_view line, std::wstring& name) {
    if (!line.empty() && line.front() == L'"') {
        const size_t close = line.find(L'"', 1);
        name = line.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1);
        return close == std::wstring_view::npos ? line.size() : close + 1;
    }
    size_t end = 0;
    while (end < line.size() && !IsBlank(line[end])) {
        ++end;
    }
    name = line.substr(0, end);
    return end;
}

// One argument from `at`: 2n backslashes before a quote give n and the quote toggles quoting; 2n+1 give
// n and a literal quote; other backslashes are literal; "" inside quotes is a literal quote that ends the
// quoting.
size_t ParseArgument(std::wstring_view line, size_t at, std::wstring& argument) {
    bool quoted = false;
    while (at < line.size() && (quoted || !IsBlank(line[at]))) {
        if (line[at] == L'\\') {
            size_t count = 0;
            while (at < line.size() && line[at] == L'\\') {
                ++count;
                ++at;
            }
            const bool beforeQuote = at < line.size() && line[at] == L'"';
            argument.append(beforeQuote ? count / 2 : count, L'\\');
            if (beforeQuote && count % 2 == 1) {
                argument += L'"';
                ++at;
            }
        } else if (line[at] == L'"') {
            if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
                argument += L'"';
                at += 2;
                quoted = false;
            } else {
                quoted = !quoted;
                ++at;
            }
        } else {
            argument += line[at++];
        }
    }
    return at;
}

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> arguments(1);
    size_t at = SkipBlanks(line, ParseProgramName(line, arguments.front()));
    while (at < line.size()) {
        arguments.emplace_back();
        at = SkipBlanks(line, ParseArgument(line, at, arguments.back()));
    }
    return arguments;
}

// Quotes an argument so that ParseArgument gives it back.
std::wstring QuoteArgument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
        return std::wstring(argument);
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::vector<std::string> RealArguments() {
    const auto text = ReadWholeFile("/proc/self/cmdline").value_or(std::string());
    std::vector<std::string> arguments;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\0', at);
        arguments.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return arguments;
}

std::wstring BuildCommandLine() {
    const std::wstring image = ProcessImagePath();
    std::wstring line = image.find_first_of(L" \t") == std::wstring::npos ? image : L"\"" + image + L"\"";
    const auto arguments = RealArguments();
    for (size_t i = 1; i < arguments.size(); ++i) {
        line += L' ';
        line += QuoteArgument(FromUtf8(arguments[i]));
    }
    return line;
}

} // namespace

std::wstring_view ArgumentsAfterProgramName(std::wstring_view line) {
    std::wstring name;
    return line.substr(SkipBlanks(line, ParseProgramName(line, name)));
}

} // namespace platform

LPWSTR GetCommandLineW() {
    static std::wstring line = platform::BuildCommandLine();
    return line.data();
}

LPWSTR* CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs) {
    if (!pNumArgs) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::vector<std::wstring> arguments = lpCmdLine && *lpCmdLine
                                                    ? platform::SplitCommandLine(lpCmdLine)
                                                    : std::vector<std::wstring>{platform::ProcessImagePath()};
    // One block: the pointer array (ended by NULL), then the texts it points at.
    size_t bytes = (arguments.size() + 1) * sizeof(LPWSTR);
    for (const auto& argument : arguments) {
        bytes += (argument.size() + 1) * sizeof(WCHAR);
    }
    auto* const block = static_cast<LPWSTR*>(LocalAlloc(LMEM_FIXED, bytes));
    if (!block) {
        return nullptr;
    }
    auto* text = reinterpret_cast<LPWSTR>(block + arguments.size() + 1);
    for (size_t i = 0; i < arguments.size(); ++i) {
        block[i] = text;
        std::memcpy(text, arguments[i].c_str(), (arguments[i].size() + 1) * sizeof(WCHAR));
        text += arguments[i].size() + 1;
    }
    block[arguments.size()] = nullptr;
    *pNumArgs = static_cast<int>(arguments.size());
    return block;
}
