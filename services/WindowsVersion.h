// The Windows 11 test: the leading two digits of the build number are 21 or more.
#pragma once

bool IsWindowsBuild21OrLater();
