// The executable's folder, the per-user data folder with its ShowEx.cfg cache, case-insensitive
// compares and the INI integer reader.
#pragma once

#include <string>

std::wstring GetExeFolder();
// 0 ok; -1 no local application data folder; -2 "Corvex" cannot be made; -3 "ampwise" cannot be made.
// The folder ends with a backslash.
int GetUserDataFolder(std::wstring& strFolder);
std::wstring GetShowExCfgPath();

std::string ToLowerCopyA(const std::string& str);
std::wstring ToLowerCopyW(const std::wstring& str);
bool IsEqualNoCaseA(const std::string& a, const std::string& b);
bool IsEqualNoCaseW(const std::wstring& a, const std::wstring& b);

// Stores the value's _wtoi conversion (0 first); true when a non-empty value was read.
bool ReadIniInt(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszFile, int& nValue);
