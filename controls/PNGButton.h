// A square push button drawn from a PNG image, with an optional small second image and up to three
// text items over it.
#pragma once

#include "controls/ControlNarratorText.h"
#include "controls/ControlTextItem.h"
#include "platform/framework_controls.h"
#include "platform/gdiplus.h"

class CPNGButton : public CButton, public CControlNarratorText {
public:
    CPNGButton();
    ~CPNGButton() override;

    // The main image and the overlay (0: none); nothing happens when both are the ones set already.
    void SetImages(int nImageId, int nSecondImageId);
    // Makes the button square (its client height) where it stands.
    void SizeToHeight();

    CControlTextItem m_textItems[3];

protected:
    void OnPaint();
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

    Gdiplus::Bitmap* m_pImage = nullptr;
    int m_nImageId = 0;
    Gdiplus::Bitmap* m_pSecondImage = nullptr;
    int m_nSecondImageId = 0;

private:
    void DeleteImages();
};
