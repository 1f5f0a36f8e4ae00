// The command line's program-name rule, shared by CommandLineToArgvW and the program's entry point.
#pragma once

#include <string_view>

namespace platform {

// The text after the program name and the blanks that follow it (WinMain's lpCmdLine).
std::wstring_view ArgumentsAfterProgramName(std::wstring_view line);

} // namespace platform
