// The battery picture: a PNG background, an optional small overlay (a charging or mode badge) and
// either the charge level in large digits with a "%" sign over two lines, or one message, laid out in
// proportion to the control's size. Its owner repaints it after setting; the setters may be called from
// any thread.
#pragma once

#include <mutex>

#include "controls/ControlNarratorText.h"
#include "platform/framework_controls.h"
#include "platform/gdiplus.h"

class CPNGBatteryStatic : public CStatic, public CControlNarratorText {
public:
    CPNGBatteryStatic();
    ~CPNGBatteryStatic() override;

    // Shows one message (null: an empty one) instead of the level and its lines.
    void SetText(LPCWSTR pszText);
    // Shows the level digits and the two lines under them; a null argument keeps that text.
    void SetTexts(LPCWSTR pszLevel, LPCWSTR pszSecond, LPCWSTR pszThird);
    // The picture and the overlay (an id below 1: none); nothing happens when both are set already.
    void SetImages(int nImageId, int nOverlayId);

protected:
    void OnPaint();
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

    Gdiplus::Bitmap* m_pImage = nullptr;
    int m_nImageId = 0;
    Gdiplus::Bitmap* m_pOverlay = nullptr;
    int m_nOverlayId = 0;
    CString m_strLevel; // drawn with a "%" after it
    CString m_strSecond;
    CString m_strThird;
    CString m_strSingle;
    bool m_bSingleText = false;

private:
    void DrawImages(Gdiplus::Graphics& graphics, int nWidth, int nHeight) const;
    void DrawSingleText(CDC& dc, int nWidth, int nHeight) const;
    void DrawThreeTexts(CDC& dc, int nWidth, int nHeight) const;
    void DeleteImages();

    // The battery panel's workers set the picture while the user-interface thread paints it.
    mutable std::mutex m_lock;
};
