#include "controls/PNGToggleButton.h"

#include "controls/FocusFrame.h"
#include "controls/SkinnedControl.h"
#include "services/DrawingRoutines.h"

namespace {

// The labels: "1" white near the top of the "on" track, "0" grey near the bottom of the "off" track.
struct LabelSetup {
    const wchar_t* text;
    int nVAlign;
    int nOffsetX;
    int nOffsetY;
    Gdiplus::ARGB crColor;
};

constexpr LabelSetup kOnLabel = {L"1", -1, -4, 2, 0xFFFFFFFFu};
constexpr LabelSetup kOffLabel = {L"0", 1, 7, -3, 0xFF6D6D6Du};

void SetUpLabel(CControlTextItem& label, const LabelSetup& setup) {
    label.m_strText = setup.text;
    label.m_nHAlign = 0;
    label.m_nVAlign = setup.nVAlign;
    label.m_nOffsetX = ScaleByMonitorDpiX(setup.nOffsetX);
    label.m_nOffsetY = ScaleByMonitorDpiX(setup.nOffsetY);
    CreateDpiFont(label.m_font);
    label.m_crColor = setup.crColor;
}

} // namespace

BEGIN_MESSAGE_MAP(CPNGToggleButton, CButton)
ON_WM_PAINT()
ON_WM_DESTROY()
END_MESSAGE_MAP()

CPNGToggleButton::CPNGToggleButton() : CControlNarratorText(this) {}

CPNGToggleButton::~CPNGToggleButton() {
    DeleteImages();
}

void CPNGToggleButton::LoadImages() {
    if (m_nOnImageId == kOnImageId && m_nOffImageId == kOffImageId) {
        return;
    }
    m_nOnImageId = kOnImageId;
    m_nOffImageId = kOffImageId;
    LoadPngFromResource(kOnImageId, &m_pOnImage);
    LoadPngFromResource(kOffImageId, &m_pOffImage);
}

void CPNGToggleButton::SetupSwitch() {
    LoadImages();
    SetUpLabel(m_labelOn, kOnLabel);
    SetUpLabel(m_labelOff, kOffLabel);
}

void CPNGToggleButton::OnPaint() {
    PaintSkinned(this, RGB(255, 255, 255),
                 [this](CDC& dc, Gdiplus::Graphics& graphics, const CRect& rcClient) {
                     if (m_pOnImage && m_pOffImage) {
                         graphics.DrawImage(m_bOn ? m_pOnImage : m_pOffImage, 0, 0, rcClient.Width(),
                                            rcClient.Height());
                     }
                     DrawFocusFrame(this, &dc, rcClient);
                 });
}

void CPNGToggleButton::OnDestroy() {
    CButton::OnDestroy();
    DeleteImages();
}

void CPNGToggleButton::DeleteImages() {
    DeleteBitmap(&m_pOnImage);
    DeleteBitmap(&m_pOffImage);
    // A window made again loads them again.
    m_nOnImageId = 0;
    m_nOffImageId = 0;
}
