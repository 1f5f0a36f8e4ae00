// The diagnostic log: quickpanel.log in the "log" folder of the per-user data folder, written only when
// that folder exists and the host's log switch is "0".
#pragma once

#include <cstdio>
#include <string>

extern std::wstring g_strLogFolder;
extern bool g_bLogEnabled;

void InitLogFolder();
void InitLog();
// Appends one record: the local time, the formatted message (cut at 8,191 characters), an empty line.
void WriteLog(const wchar_t* pszFormat, ...);
// Truncates the file and writes the header of machine information and plug-in versions.
void RestartLog();
bool IsLogSwitchOn();
void GetMachineInfoText(std::wstring& strText);
void WritePluginVersionLine(FILE* pStream, const std::wstring& strRoot, const wchar_t* pszFolder,
                            const wchar_t* pszFile);
