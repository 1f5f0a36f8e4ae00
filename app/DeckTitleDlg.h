// The title strip at the top of the flyout: the device's title on blue and the Close button.
#pragma once

#include "app/DeckBaseDialog.h"
#include "controls/PNGButtonEx.h"
#include "controls/TitleStatic.h"

class CDeckTitleDlg : public CDeckBaseDialog {
public:
    enum { IDD = 140 };

    explicit CDeckTitleDlg(CWnd* pParent = nullptr);

    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // "My" and the family name when the family is known, else the toolbar's name.
    static void GetTitleText(CString& strTitle);
    void LayoutControls();
    void HandleKey(UINT nKey);

    void OnPaint();
    void OnBnClickedClose();

    Gdiplus::Bitmap* m_pBackground = nullptr;
    CTitleStatic m_titleStatic;
    CPNGButtonEx m_closeBtn;
    CWnd* m_pOwnerWnd = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()

private:
    void CloseOwner();
};
