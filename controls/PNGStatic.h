// A static control that shows one PNG image stretched over its client area on a solid background.
#pragma once

#include "controls/ControlNarratorText.h"
#include "platform/framework_controls.h"
#include "platform/gdiplus.h"

class CPNGStatic : public CStatic, public CControlNarratorText {
public:
    CPNGStatic();
    ~CPNGStatic() override;

    // Loads the picture of that id over the background colour, unless it is the one shown already.
    void SetImage(int nImageId, COLORREF crBackground);
    // Makes the control square (its client height) where it stands.
    void SizeToHeight();

    int m_nImageId = 0;
    COLORREF m_crBackground = RGB(255, 255, 255);

protected:
    void OnPaint();
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

    Gdiplus::Bitmap* m_pImage = nullptr;
};
