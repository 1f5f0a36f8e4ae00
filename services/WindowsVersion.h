// The Windows version tests: Windows 8 or later, and Windows 11 (the leading two digits of the build
// number are 21 or more).
#pragma once

bool IsWindows8OrLater();
bool IsWindowsBuild21OrLater();
