// "PluginInvokeIndex" under the toolbar's key: 1 or 2 (default 2), decided here for the toolbar.
#pragma once

#include "platform/strings.h"

DWORD ReadPluginInvokeIndex(bool& bMayUpdate);
bool WritePluginInvokeIndex(DWORD dwValue);
// Asks the host whether plug-ins are invoked (the "MENUITEM_CLICK_AW_SHOW" item).
void UpdatePluginInvokeIndex();
// Decides by the plug-ins installed beside the program (every flyout start).
void UpdatePluginInvokeIndexByPath();
// True when the plug-in has only an x64 build in the folder.
bool PluginDllExists(const CString& strFolder, const CString& strPlugin);
bool GetPackageRootFolder(CString& strFolder);
