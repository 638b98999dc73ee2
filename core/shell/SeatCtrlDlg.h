// A seat: the window of one screen (front 800x480 at (0, 0), rear 800x600 at (800, 0)). It
// holds a table of 36 pages by application type, draws the visible one into its off-screen
// picture under the kernel's render lock, forwards the pen to it and carries out the switch
// requests the main dialog stores in it. It can fold into a small button that opens into a
// volume bar, so that an outside program has the screen; it starts and places those programs,
// selects the board's source, switches the backlight and keeps the status values that an
// outside monitor program reads.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/ui/AppType.h"
#include "platform/gfx/Surface.h"
#include "platform/sys/Process.h"
#include "platform/ui/Ui.h"

class CVelkoraAppDlg;
namespace plat {
class Canvas;
}
namespace KvMultimedia {
class IKvImage;
}
namespace KvUserInterface {
class IKvText;
}

// The seat's pictures, formatted with the kernel's base folder and the skin name.
#define SEAT_BAR_IMAGE u"%s\\Skin\\%s\\Velkora-op2.png"        // bar with sound
#define SEAT_BAR_MUTED_IMAGE u"%s\\Skin\\%s\\Velkora-op3.png"  // bar muted
#define SEAT_BUTTON_IMAGE u"%s\\Skin\\%s\\Velkora-s.png"       // the folded seat's button

// Sizes of the folded seat.
#define SEAT_BUTTON_W 80
#define SEAT_BUTTON_H 60
#define SEAT_BAR_W 800
#define SEAT_BAR_H 150

// The web browser the seat starts: the system's default browser.
#define SEAT_BROWSER_PROGRAM u"x-www-browser"

// The seat's timers.
enum : uint32_t {
    SEAT_TIMER_PLACE_TV = 160,          // places the TV program's window
    SEAT_TIMER_PLACE_BROWSER = 161,     // places the browser's window
    SEAT_TIMER_PLACE_NAVIGATION = 162,  // places the navigation program's window
    SEAT_TIMER_PLACE_APP_1 = 163,       // places the user program's window, once
    SEAT_TIMER_SLIDE = 170,             // one step of the bar opening or closing
};

// The close request a seat passes to the main dialog, which ends the program.
#define SEAT_WM_CLOSE 0x0010u

class CSeatCtrlDlg;

// What a seat needs from particular pages and windows beyond the page operations; each is
// installed (CSeatCtrlDlg::Hooks()) by the code that builds that page or window, before the
// seats are made. A missing one is skipped.
struct SEAT_HOOKS {
    // The rear seat's extended keyboard button; null means it could not be made.
    std::unique_ptr<plat::ui::Window> (*pfnCreateExtendedKB)() = nullptr;
    // The phone page's keep-5.1 flag (the 5.1 priority was on when the page was last shown).
    bool (*pfnKeep51)(CVelkoraAppDlg* phone) = nullptr;
    // The internet shortcuts page's current address (the shortcut last tapped).
    std::u16string (*pfnBrowserAddress)(CVelkoraAppDlg* internet) = nullptr;
    // The movie page fits its video window to the seat again.
    void (*pfnRefitMovieVideo)(CVelkoraAppDlg* movie) = nullptr;
    // The homepage forgets its selected item (its m_byCurrItem := 0).
    void (*pfnClearHomeSelection)(CVelkoraAppDlg* home) = nullptr;
};

class CSeatCtrlDlg : public plat::ui::Window {
public:
    CSeatCtrlDlg();
    ~CSeatCtrlDlg() override;

    // The process's hooks: each area sets its own member, e.g.
    // CSeatCtrlDlg::Hooks().pfnKeep51 = &PhoneKeeps51;
    static SEAT_HOOKS& Hooks();

    // The window: borderless, top-most, hidden until shown (the main dialog places it).
    bool Create();
    // Keeps the seat (0 front, 1 rear) and the main dialog's window, loads the seat's three
    // pictures and makes the bar's volume text; the rear seat makes its extended keyboard.
    // False when a picture or the text cannot be made.
    bool Initial(uint8_t seat, plat::ui::WindowId mainWnd);
    // Registers `page` under `app`. Types that have no page of their own are refused with
    // the box "No constructor (%d)".
    void SetApplication(uint8_t app, CVelkoraAppDlg* page);
    // Full screen, or folded to the button.
    void ShowExpanded(bool on);
    // From the main dialog's 30 ms timer.
    void OnTick();
    // Carries out the stored switch request (run by paint, after the page was drawn).
    void SwitchApp();
    // Carries out the stored seat action (run by paint).
    void RunSeatAction();
    // An outside call rings: leave the radio and the AUX inputs, light the screen, pause the
    // media and hand the sound to the PC.
    void PrepareForCall();

    // Status words for the outside monitor program ("Status").
    void MonitorStop();        // music page stopped
    void MonitorStopMovie();   // movie page stopped
    void MonitorStopStatus();  // the word only
    void MonitorPause();
    // "ActionF"/"ActionR" := action, and "ParamF"/"ParamR" := the text (of `bytes` bytes) when
    // there is one, on the seat that draws `page`.
    void SetMonitorAction(CVelkoraAppDlg* page, uint32_t action, const char16_t* text, int bytes);

    void SetBacklight(bool on);
    void RestoreStereo();
    void RestoreSurround();

    // The main dialog's volume notifications, for the first visible page.
    void OnVolumeChanged();
    void OnMuted();
    void OnUnmuted();

    // The first page in table order that is visible, or null.
    CVelkoraAppDlg* FirstVisiblePage() const;
    CVelkoraAppDlg* Page(int app) const {
        return app >= 0 && app < APPTYPE_COUNT ? m_Pages[app] : nullptr;
    }
    // The seat's screen: (0, 0, 800, 480) front, (800, 0, 800, 600) rear.
    plat::Rect SeatRect() const;
    // The page picture (what the seat last drew of its page).
    const plat::Surface& PagePicture() const { return m_PageBitmap; }
    // Draws the page into the page picture while the seat is still hidden, so that the fonts,
    // pictures and memory its drawing needs are ready when it is first shown; the first paint
    // then draws it whole again. Nothing reaches the screen.
    void DrawPageAhead();
    plat::ui::Window* ExtendedKB() const { return m_pExtendedKB.get(); }

    // ---- State (the main dialog, the restore thread and the pages read and write it) ----
    uint8_t m_bOtherInCall = 0;
    std::array<CVelkoraAppDlg*, APPTYPE_COUNT> m_Pages{};
    uint8_t m_bLaunched = 0;
    int m_iOtherApp = APPTYPE_NONE;
    int m_iCurrentApp = APPTYPE_HOMEPAGE;
    // (param << 16) | APPTYPE; the restore thread stores requests here too.
    std::atomic<int> m_iPending{-1};
    plat::ui::WindowId m_hMainWnd = plat::ui::kNoWindow;
    uint8_t m_bCollapsed = 0;
    uint8_t m_bySeat = 255;
    uint8_t m_bMovieLocked = 0;
    int m_iPlacementCount = 0;
    int m_iSeatAction = -1;  // (param << 16) | code
    uint8_t m_bExpanded = 1;
    int m_iBarVolume = 0;
    uint8_t m_bBarMute = 0;
    int m_iBarState = 0;  // 0 button, 1 bar with sound, 2 bar muted
    int m_iButtonX = 0;
    int m_iButtonY = 0;
    int m_iWinW = SEAT_BUTTON_W;
    int m_iWinH = SEAT_BUTTON_H;
    uint8_t m_bSlide = 0;
    uint32_t m_dwLastTap = 0;
    uint8_t m_bDragging = 0;
    uint8_t m_bScreenOff = 0;
    plat::Point m_ptDown;        // pen-down point, client
    plat::Point m_ptDownScreen;  // and desktop
    uint32_t m_dwMonitorStatus = 0;
    uint32_t m_dwLastStatusWrite = 0;
    uint32_t m_dwNow = 0;
    uint8_t m_bEndProgramsOnExpand = 1;

protected:
    void OnPaint(plat::Surface& surface, const plat::Rect& dirty) override;
    void OnPenDown(plat::Point pt) override;
    void OnPenMove(plat::Point pt) override;
    void OnPenUp(plat::Point pt) override;
    void OnTimer(uint32_t timerId) override;
    void OnClose() override;

private:
    // The page picture and its canvas, made at the seat's size when missing.
    void MakePagePicture();
    int X0() const { return m_bySeat == 1 ? 800 : 0; }
    void PaintFolded(plat::Surface& surface);
    void PaintPage(plat::Surface& surface, const plat::Rect& dirty);
    void MakeFoldedPictures();
    void BarTap(int x);
    void SetBarText(int volume);
    void StartSlide();
    void StepSlide();
    // A slide still running jumps to its end.
    void FinishSlide();
    void StopSlide();
    void CheckFrontLocks();
    void SetHomeLockState(int state, bool force);
    void WriteMonitorStatus(const char* what, uint32_t value);
    // Starts the program of `pathIndex`; false when nothing was started.
    bool LaunchProgram(int pathIndex, plat::ProcessId* pid);
    void LaunchBrowser(int param);
    // One try of a placement timer; its place record says what is placed where.
    void PlaceProgramWindow(uint32_t timerId);
    void StartPlacement(uint32_t timerId, uint32_t firstMs, const std::u16string& name,
                        plat::ProcessId pid, int limit, const plat::Rect& rect);
    void SelectMixerSource(int source, bool keep12);
    void SendToMain(uint32_t msg, uintptr_t wParam, intptr_t lParam);

    KvMultimedia::IKvImage* m_pBarImage = nullptr;
    KvMultimedia::IKvImage* m_pBarMutedImage = nullptr;
    KvMultimedia::IKvImage* m_pButtonImage = nullptr;
    KvUserInterface::IKvText* m_pBarText = nullptr;

    // Off-screen pictures and their canvases, made on the first paint that needs them.
    plat::Surface m_PageBitmap;
    plat::Surface m_ButtonBitmap;
    plat::Surface m_BarBitmap[2];
    std::unique_ptr<plat::Canvas> m_pPageCanvas;
    // The page the page picture was last drawn for; only its own later paints may be partial.
    CVelkoraAppDlg* m_pPaintedPage = nullptr;
    std::unique_ptr<plat::Canvas> m_pButtonCanvas;
    std::unique_ptr<plat::Canvas> m_pBarCanvas[2];

    int m_iSlideWidth = 0;      // the bar's width while it slides; 0 when it does not
    int m_iSlideBar = 0;        // the bar picture a closing slide shows
    int m_iHomeLockState = -1;  // the lock state last given to the homepage
    // What each placement timer (160..163) places: the program found by its file name among
    // those this system started, or by its process when there is no name.
    struct Placement {
        std::u16string name;
        plat::ProcessId pid = -1;
        int count = 0;  // placements done
        int limit = 0;  // placements wanted
        int tries = 0;
        plat::Rect rect;
    };
    Placement m_Place[4];
    std::unique_ptr<plat::ui::Window> m_pExtendedKB;
};
