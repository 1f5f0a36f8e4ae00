// The base of every round feature toggle of the features grid: the feature's support and state with
// up to five state images, the state cache in ShowEx.cfg, the probe worker that asks the host, hover
// and cursor, the mouse-or-keyboard flag and the round double-buffered paint. A subclass adds its key
// and texts (constructor), its images (Init), its probe, its click rule and its set worker.
#pragma once

#include <atomic>
#include <memory>

#include "controls/ControlNarratorText.h"
#include "features/ButtonWorkers.h"
#include "features/FeatureImage.h"
#include "features/GuardedString.h"
#include "platform/framework_controls.h"
#include "platform/gdiplus.h"

// The word the buttons append to their names for the disabled caption and tip: "Disabled" until the
// first button is made, then the string table's (id 468).
extern CString g_strDisabled;

class CDeckFeatureButton : public CButton, public CControlNarratorText {
public:
    CDeckFeatureButton();
    // Waits for the button's workers. A subclass whose workers use members of its own waits for them
    // in its destructor too (WaitForWorkers).
    ~CDeckFeatureButton() override;

    // Called once by the grid on the user-interface thread: SetImages with the parent and the images;
    // true.
    virtual bool Init(CWnd* pParent) = 0;
    // A click or Enter on the button. An override does nothing unless m_bInited is 1 and m_bDisabled 0;
    // else it takes the next state with its image, caption, tip and narrator text, starts its set
    // worker and sends its telemetry event.
    virtual void ClicktoSwitch();
    // The probe at once on the calling thread: a change of support resizes the grid and repaints the
    // button. The result of SaveCachedState.
    virtual int RefreshNow();
    // The paint covers every pixel: the background is never erased.
    virtual BOOL OnEraseBkgnd(CDC* pDC);
    // The feature's probe, on the probe worker: sets m_nSupport (above 0: supported) and m_nStatus and
    // runs the status routine. Its result is the worker's exit code.
    virtual int DoJudgeSupportCallback();
    // The four values of the section m_strKey of ShowEx.cfg; the rest only when "support" is there.
    virtual void LoadCachedState();
    // Writes the four values; the result of the last write (of the first when it fails).
    virtual BOOL SaveCachedState();

    // Hover and leave, and the mouse-or-keyboard flag.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The common body of every Init: the parent, the off, on, disabled and fourth images (0: none) with
    // their circle colours (0: the slot's default), the cached state, the square size, the probe worker.
    // False, the button unsupported and no probe, when no image loads.
    bool SetImages(CWnd* pParent, int nOffId, int nOnId, int nDisabledId, int nFourthId, COLORREF crOff = 0,
                   COLORREF crOn = 0, COLORREF crDisabled = 0, COLORREF crFourth = 0);
    // Shows the image of that id (the first slot that has it) in the state type (2: disabled); a negative
    // id changes nothing. From any thread.
    void SetIconState(int nImageId, int nStateType);
    // m_strIniPath from the process's one ShowEx.cfg path; whether the file exists.
    bool GetIniPath();

    // The probe worker's procedure (the argument is the button).
    static unsigned __stdcall ProbeThread(void* pParam);

    // The state the probe worker hands over to the user-interface thread is atomic, the texts it writes
    // are guarded; m_bInited is written last.
    std::atomic<BYTE> m_bInited = 0;   // 1 once the probe worker has finished
    std::atomic<BYTE> m_bDisabled = 0; // 1 while the state type is 2
    CString m_strOnTip;
    CString m_strOffTip;
    CString m_strDisabledTip;
    CWnd* m_pParent = nullptr; // the grid: WM_SIZE when support changes
    CGuardedString m_strIniPath;
    // Slot 1 off, 2 on, 3 disabled, 4 a fourth state, 5 filled by a subclass itself before SetImages.
    std::unique_ptr<FeatureImage> m_pImages[5];
    std::atomic<FeatureImage*> m_pCurImage = nullptr;
    float m_fIconScale = 0; // the icon's size as a fraction of the circle; 0: 14/16
    BOOL m_bHover = FALSE;
    BOOL m_bTracking = FALSE;   // hover and leave asked for since the last leave
    CRect m_rcClient;           // where the cursor rule applies
    BOOL m_bMouseInput = FALSE; // set by the mouse, cleared by a key: no focus frame meanwhile
    std::atomic<int> m_nSupport = 0;
    std::atomic<int> m_nStatus = 0; // a FeatureState, or a subclass's own level
    std::atomic<int> m_nStatusIconID = 0;
    std::atomic<int> m_nStateIconType = 999; // 0 off, 1 on, 2 disabled, 999 not known yet
    CString m_strKey;                        // also the section in ShowEx.cfg
    CString m_strName;
    CGuardedString m_strCaption; // shown under the button after a click, read by the narrator
    CGuardedString m_strTip;
    Gdiplus::RectF m_rcHover; // the hover circle in client coordinates, reaching past the button

protected:
    void OnPaint();
    void OnDestroy();
    void OnMouseMove(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

    // _beginthreadex for the button's own workers (set workers, watchers), the handle closed at once:
    // the button and its images outlive them. False when the thread cannot start.
    bool StartButtonThread(_beginthreadex_proc_type pfnProc, void* pArg);
    void WaitForWorkers();

private:
    int RunProbe();
    int JudgeSupport();
    bool IsCacheAtHand();
    void InvalidateClient();
    void SendSizeToParent();
    void FreeImages();

    FeatureImage m_blankImage; // shown until a state image is chosen
    CButtonWorkers m_workers;
};
