// The base of every page. A page is not a window: a seat keeps it in its page table, draws it
// into its off-screen picture through Render and forwards the pen to it. The base draws the
// common frame (six frame images, the clock with its AM/PM mark and the volume number).
#pragma once

#include <cstdint>
#include <string>

#include "core/ui/AppType.h"
#include "library/include/KvTypes.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Ui.h"

namespace plat {
class Canvas;
}

class CSeatCtrlDlg;

// Play states that GetPlayState answers.
#define PLAYSTATE_NONE (-1)
#define PLAYSTATE_STOPPED 1
#define PLAYSTATE_PAUSED 2
#define PLAYSTATE_PLAYING 3

// How a page finds the window of the seat that draws it; the seat window installs it.
typedef plat::ui::WindowId (*PFN_SEAT_WINDOW)(CSeatCtrlDlg* seat);

class CVelkoraAppDlg {
public:
    CVelkoraAppDlg();
    CVelkoraAppDlg(const CVelkoraAppDlg&) = delete;
    CVelkoraAppDlg& operator=(const CVelkoraAppDlg&) = delete;

    // The operations through which seats, the main dialog and the kernel reach a page, in
    // their fixed order. The base versions do what every page does, or nothing.
    virtual ~CVelkoraAppDlg();
    // Back to the factory state (the kernel's restore of the defaults).
    virtual void ResetDefault();
    // The common frame; false when an image or text cannot be made.
    virtual bool LoadSkin();
    virtual void OnLButtonUp(int x, int y);
    virtual void OnLButtonDown(int x, int y);
    virtual void OnMouseMove(int x, int y);
    // PLAYSTATE_NONE without a player.
    virtual short GetPlayState();
    // Stores the seat, the main window (target of the page's messages) and the page's type.
    virtual bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType);
    virtual void SetOwner(CSeatCtrlDlg* owner);
    // `param` is the type of the page that asked for this one; 255 keeps the last one.
    virtual void Show(bool visible, uint8_t param);
    virtual bool IsVisible();
    // From the seat's tick (30 ms): the clock.
    virtual void OnTick();
    // The frame images, the clock and the volume; the page's mute button, when it has one,
    // shows the mute state.
    virtual void Render(plat::Canvas* hdc);
    virtual void SetSeat(uint8_t seat);
    virtual void UpdateVolume(bool repaint);
    virtual void SetAudioMode(int mode);
    // After each full paint of the seat.
    virtual void PostRender();
    virtual void StopAll();
    virtual void PauseIfPlaying(bool pause);
    virtual void OnBack();
    // Reload after a layout or lock change.
    virtual void Refresh();
    virtual void SetLockState(int state);
    virtual void KeyHandler(int command);

    // The three clock texts from the local time; a new "hh:mm" sets m_bMinuteChanged.
    void UpdateClockStrings();
    // The clock of a visible page as its next tick would show it (for a page drawn before
    // the seat's first tick).
    void PrepareClock();
    // The volume number, unless muted; with a mute button, its frame shows the mute state.
    void RenderVolume(plat::Canvas* hdc, KvUserInterface::IKvButton* muteButton);
    // Repaints the seat that draws this page (the whole seat, no erase).
    void InvalidateOwner();
    // Repaints only `part` of it (page co-ordinates): the rest of the page did not change.
    void InvalidateOwner(const plat::Rect& part);
    // The window of the seat that draws this page (kNoWindow before SetOwner).
    plat::ui::WindowId OwnerWindow() const;

    static void SetSeatWindowResolver(PFN_SEAT_WINDOW resolver);

    // A page without its skin (the rear seat's front-only pages, or a skin that did not load)
    // draws its background only, and a tap takes its seat back to the homepage: it never
    // reaches for buttons or lists it does not have.
    void RenderWithoutSkin(plat::Canvas* hdc);
    void LeaveWithoutSkin();

    uint8_t m_byPressed = 255;  // the homepage's pressed kind, read by the seat on pen release
    uint8_t m_byReserved = 0;
    uint8_t m_byAppType = APPTYPE_NONE;
    int m_iVolume = -1;
    uint8_t m_bMute = 0;
    uint8_t m_bPenDown = 0;
    int m_iReserved = 0;
    uint8_t m_bVisible = 1;
    uint8_t m_byShowParam = 255;
    uint8_t m_bySeat = 255;
    plat::ui::WindowId m_hMainWnd = plat::ui::kNoWindow;
    CSeatCtrlDlg* m_pOwner = nullptr;
    std::string m_strTime;      // "%I:%M"
    std::string m_strLongTime;  // "%I:%M:%S %p"
    std::string m_strDate;      // "%Y-%m-%d"
    uint32_t m_dwLastClock = 0;
    uint8_t m_bMinuteChanged = 0;
    plat::SystemTime m_tmClock;  // the local time of the last refresh
    KvUserInterface::IKvText* m_pVolumeText = nullptr;
    KvUserInterface::IKvButton* m_pMuteButton = nullptr;  // owned by the derived page
    KvUserInterface::IKvText* m_pAmPmText = nullptr;
    KvUserInterface::IKvText* m_pExtraText = nullptr;  // made by the pages that use it
    KvUserInterface::IKvText* m_pTimeText = nullptr;
    KvMultimedia::IKvImage* m_pBackground = nullptr;  // loaded by the derived page
    KvMultimedia::IKvImage* m_pHorzUp = nullptr;
    KvMultimedia::IKvImage* m_pHorzMiddle = nullptr;
    KvMultimedia::IKvImage* m_pHorzDown = nullptr;
    KvMultimedia::IKvImage* m_pVert = nullptr;  // vert (front) or vertr (rear)
    KvMultimedia::IKvImage* m_pVert2[2] = {nullptr, nullptr};
    int m_iYOffset = 0;  // 60 on the rear seat: its screen is 600 high

protected:
    // "<base>\\Skin\\<skin>\\<relative>" of the kernel's base folder and the configured skin.
    std::u16string SkinPath(const char16_t* relative) const;
    // An image of the library, or null when it cannot be loaded.
    KvMultimedia::IKvImage* LoadImage(const std::u16string& path) const;
    // The time and AM/PM texts from the clock strings.
    void SetClockTexts();
};
