// Routines that look at the system around the program: services, the host's plug-in folder, file
// versions, other running copies of the program, the UI-language override, elapsed-time text.
#pragma once

#include <string>

#include "platform/time.h"

bool IsServiceRunning(const wchar_t* pszServiceName);
// The host's plug-ins folder with its trailing backslash: the executable's path less its file name,
// its architecture folder and its package folder.
bool GetPluginRootFolder(std::wstring& strFolder);
// "%03d.%03d.%03d.%03d" when padded, else "%d.%d.%d.%d"; "File not found" for a missing file.
bool GetFileVersionString(std::wstring& strVersion, bool bPadded, const std::wstring& strPath);
void GetVisionProtectionPluginVersion(std::wstring& strVersion);
// Ends the other processes of that name started from the host's plug-in folder; true when another
// process of that name was seen.
bool KillInstancesFromPluginFolder(const wchar_t* pszExeName);
void ApplyUiLanguage();
void FormatElapsedSinceFileTime(const FILETIME& ftStart, std::wstring& strElapsed);
// The file time as one count of 100-nanosecond ticks.
LONGLONG FileTimeTicks(const FILETIME& ft);
// The local time now, as a file time.
FILETIME LocalFileTimeNow();
