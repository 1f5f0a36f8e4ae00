// The on/off switch of the eye-care panel: a push button painted as its "on" or its "off" picture. It
// never changes its own state: its owner flips m_bOn on a click and repaints it.
#pragma once

#include "controls/ControlNarratorText.h"
#include "controls/ControlTextItem.h"
#include "platform/framework_controls.h"
#include "platform/gdiplus.h"

class CPNGToggleButton : public CButton, public CControlNarratorText {
public:
    enum { kOnImageId = 168, kOffImageId = 167 };

    CPNGToggleButton();
    ~CPNGToggleButton() override;

    // Loads both pictures, unless they are the ones loaded already.
    void LoadImages();
    // The pictures and the two labels at the DPI of the monitor at (10, 10); called once by the owner.
    void SetupSwitch();

    // "1" and "0", kept for an owner that shows them: at the switch's size their places would put them
    // over the track's edge and the knob, so the switch's own paint leaves them out.
    CControlTextItem m_labelOn;
    CControlTextItem m_labelOff;
    // Which picture shows; written by the owner.
    BOOL m_bOn = FALSE;

protected:
    // White, then the picture when both pictures are loaded, then the focus frame.
    void OnPaint();
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

    Gdiplus::Bitmap* m_pOnImage = nullptr;
    int m_nOnImageId = 0;
    Gdiplus::Bitmap* m_pOffImage = nullptr;
    int m_nOffImageId = 0;

private:
    void DeleteImages();
};
