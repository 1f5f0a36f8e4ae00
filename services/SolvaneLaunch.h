// Pages of the maker's Solvane and settings applications, opened through their URI schemes, and the
// store-package test that tells which of those applications is installed.
#pragma once

#include <string>

#include "platform/base.h"

// Store package families of the Solvane application, its beta and the enterprise settings application.
inline constexpr wchar_t kSolvanePackageFamily[] = L"A7C30B21.CorvexConsort_q7m3ztv8250n4";
inline constexpr wchar_t kSolvaneBetaPackageFamily[] = L"A7C30B21.CorvexConsortBeta_q7m3ztv8250n4";
inline constexpr wchar_t kEnterpriseSettingsPackageFamily[] =
    L"A7C30B21.CorvexSettingsforEnterprise_q7m3ztv8250n4";

// True when the scheme is one of the Solvane schemes, ignoring case.
bool IsSolvaneUriScheme(const wchar_t* pszScheme);
// True when the URI's scheme (the text before its first ":", or the whole URI without one) is a Solvane
// scheme; false for an empty URI.
bool CanLaunchSolvaneUri(std::wstring strUri);
// Opens an allowed URI through the shell, maximised; false for a null or refused URI. The shell's own
// result is not looked at.
bool LaunchSolvaneUri(const wchar_t* pszUri);
// True when the scheme is registered by an installed store package.
bool IsUriSchemeRegistered(const wchar_t* pszScheme);
// True when a package of the family is installed for the user; wMajorVersion is the major version of the
// first one, 0 when there is none or its identity cannot be read.
bool IsPackageFamilyInstalled(const wchar_t* pszFamilyName, WORD& wMajorVersion);
