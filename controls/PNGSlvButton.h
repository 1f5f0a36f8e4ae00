// The large "Go to Corvex Solvane" push button: a blue pill of two round caps and a bar, each with a
// vertical gradient, as wide as its caption needs, the caption in white bold text, the hand cursor over
// the pill and the focus frame around it after keyboard use.
#pragma once

#include "controls/ControlNarratorText.h"
#include "platform/framework_controls.h"

class CPNGSlvButton : public CButton, public CControlNarratorText {
public:
    CPNGSlvButton();

    // Stores the caption and repaints the button when it has a window.
    void SetText(const CString& strCaption);
    // Whether the mouse was last seen over the pill.
    bool IsHover() const { return m_bHover; }
    // The pill's extent in client coordinates, as the last paint drew it.
    const CRect& GetHoverRect() const { return m_rcHover; }
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void OnPaint();
    void OnMouseMove(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

    CString m_strCaption;
    CRect m_rcHover;
    bool m_bHover = false;
    bool m_bMouseInput = false; // set by the mouse, cleared by a key: no focus frame meanwhile
};
