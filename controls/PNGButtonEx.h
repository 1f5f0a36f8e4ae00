// A push button with a normal and a hover image over a solid background that changes colour while the
// mouse rests on it, and the hand cursor inside its hover rectangle.
#pragma once

#include "controls/ControlNarratorText.h"
#include "platform/framework_controls.h"
#include "platform/gdiplus.h"

class CPNGButtonEx : public CButton, public CControlNarratorText {
public:
    CPNGButtonEx();
    ~CPNGButtonEx() override;

    // The two images (an id below 1: none) and backgrounds; nothing changes when both ids are the ones
    // set already. The client rectangle becomes the hover rectangle.
    void SetImages(int nNormalId, int nHoverId, Gdiplus::ARGB normalBackground,
                   Gdiplus::ARGB hoverBackground);
    // Where the image is drawn, in fractions of the client width and height.
    void SetImagePlacement(double dLeft, double dTop, double dWidth, double dHeight);
    void SetHoverRect(const RECT& rc);
    BOOL PreTranslateMessage(MSG* pMsg) override;

    bool m_bHover = false;

protected:
    void OnPaint();
    void OnDestroy();
    void OnMouseMove(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

    Gdiplus::Bitmap* m_pNormalImage = nullptr;
    int m_nNormalImageId = 0;
    Gdiplus::ARGB m_argbNormalBackground = 0xFFFFFFFFu;
    Gdiplus::Bitmap* m_pHoverImage = nullptr;
    int m_nHoverImageId = 0;
    Gdiplus::ARGB m_argbHoverBackground = 0xFFFFFFFFu;
    double m_dImageLeft = 0.0;
    double m_dImageTop = 0.0;
    double m_dImageWidth = 1.0;
    double m_dImageHeight = 1.0;
    bool m_bTracking = false; // hover and leave asked for since the last leave
    CRect m_rcHover;
    bool m_bMouseInput = false; // set by the mouse, cleared by a key: no focus frame meanwhile

private:
    void DeleteImages();
};
