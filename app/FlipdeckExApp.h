// The application object: start-up from the toolbar's command line, the one-shot menu items, the
// single instance, and shut-down.
#pragma once

#include <string>

#include "controls/ControlNarratorText.h"
#include "platform/framework.h"

class CFlipdeckExApp : public CWinApp {
public:
    CFlipdeckExApp();

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // 0 for the first instance, 1 when another one holds the mutex.
    int CheckSingleInstance();

    HANDLE m_hMutex = nullptr;
    ULONG_PTR m_gdiplusToken = 0;

private:
    void BringRunningInstanceForward();
    void RunFlyout(int nNoBattery);
};

extern CFlipdeckExApp theApp;

// The toolbar's name: the flyout's title without a family name, and its window text for the narrator.
extern CString g_strToolbarName;

// Splits "PATH ITEM,VALUE|CONTEXT"; CONTEXT goes to g_strLaunchContext.
bool SplitLaunchArguments(const std::wstring& strLine, std::wstring& strItem, std::wstring& strValue);
// 1 for a one-shot run, 0 to start the flyout; sets *pNoBattery for the no-battery item.
int ParseCommandLine(std::wstring strLine, int* pNoBattery);
bool DetectNarrator();
