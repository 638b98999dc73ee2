#include "core/shell/SeatCtrlDlg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "core/kernel/CfgData.h"
#include "core/kernel/HWAudio.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/kernel/ProcessUtil.h"
#include "core/ui/MessageDlg.h"
#include "core/ui/VelkoraAppDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/ExternalWindows.h"
#include "platform/sys/Process.h"
#include "platform/text/Text.h"

using KvMultimedia::IKvImage;
using KvUserInterface::IKvText;

namespace {

SEAT_HOOKS g_hooks;

// One step of the bar's slide: the bar opens 20 pixels a step and closes 40.
const uint32_t kSlideStepMs = 10;
const int kSlideOpenStep = 20;
const int kSlideCloseStep = 40;
// A pen that moved this far in x or in y between press and release drags the button.
const int kDragDistance = 10;
// The bar folds back to the button this long after its last tap.
const uint32_t kBarIdleMs = 3000;
const uint32_t kStatusPeriodMs = 1000;
// A program whose window never shows is looked for this many times, once a second.
const int kPlacementTries = 60;

// Application types that have a page of their own.
bool HasPageType(int app) {
    static const bool kHasPage[APPTYPE_COUNT] = {
        1, 1, 1, 1, 1, 0, 0, 1, 1, 0, 1, 1, 0, 1, 0, 1, 0, 0,  // 0..17
        0, 0, 1, 1, 1, 1, 0, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1,  // 18..35
    };
    return app >= 0 && app < APPTYPE_COUNT && kHasPage[app];
}

bool OneOf(int value, std::initializer_list<int> set) {
    return std::find(set.begin(), set.end(), value) != set.end();
}

template <typename T>
void ReleaseObject(T*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

// Copies the top-left width x height of `from` into `to`, within both.
void CopyPicture(const plat::Surface& from, plat::Surface& to, int width, int height) {
    width = std::min({width, from.Width(), to.Width()});
    height = std::min({height, from.Height(), to.Height()});
    for (int y = 0; y < height; ++y)
        std::copy_n(from.Pixels() + static_cast<size_t>(y) * from.Width(), width,
                    to.Pixels() + static_cast<size_t>(y) * to.Width());
}

// The file name of a stored path, whichever separator it uses.
std::u16string FileNameOf(const std::u16string& path) {
    size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

// The first visible window of a running program with this file name that this system
// started; programs of the same name that the user or another program started are left
// alone.
plat::ExternalWindow FindProgramWindow(const std::u16string& fileName) {
    if (fileName.empty())
        return 0;
    const std::string name = plat::Utf16ToUtf8(fileName);
    for (plat::ProcessId pid : plat::ListProcesses()) {
        if (plat::BaseName(plat::ProcessExePath(pid)) != name)
            continue;
        plat::ProcessHandle process;
        if (!process.Open(pid) || !process.StartedByUs())
            continue;
        if (plat::ExternalWindow window = FindMainWindow(pid))
            return window;
    }
    return 0;
}

CKernel* Kernel() {
    return CKernel::Instance();
}

IHWAudio* MixerAudio() {
    CHWAudioHolder* holder = CHWAudioHolder::GetInstance();
    return holder ? holder->m_pAudio[1].get() : nullptr;
}

plat::ui::WindowId SeatWindowOf(CSeatCtrlDlg* seat) {
    return seat ? seat->Id() : plat::ui::kNoWindow;
}

}  // namespace

// ---- Creation ----------------------------------------------------------------------------

CSeatCtrlDlg::CSeatCtrlDlg() {
    // Pages repaint their seat through this.
    CVelkoraAppDlg::SetSeatWindowResolver(&SeatWindowOf);
}

CSeatCtrlDlg::~CSeatCtrlDlg() {
    if (CKernel* k = CKernel::Instance(); k && m_bySeat == 0)
        k->SetFrontPages(nullptr, 0);
    Destroy();
    m_pExtendedKB.reset();
    ReleaseObject(m_pBarImage);
    ReleaseObject(m_pBarMutedImage);
    ReleaseObject(m_pButtonImage);
    ReleaseObject(m_pBarText);
}

SEAT_HOOKS& CSeatCtrlDlg::Hooks() {
    return g_hooks;
}

bool CSeatCtrlDlg::Create() {
    plat::ui::CreateParams params;
    params.rect = plat::Rect::FromXYWH(0, 0, 800, 480);
    params.visible = false;
    params.topMost = true;
    return plat::ui::Window::Create(params);
}

bool CSeatCtrlDlg::Initial(uint8_t seat, plat::ui::WindowId mainWnd) {
    m_bySeat = seat;
    m_hMainWnd = mainWnd;
    CKernel* k = Kernel();
    if (!k || !k->m_pRoot)
        return false;
    CCfgData* cfg = GetCfgData();
    const char16_t* skin = cfg ? cfg->m_CfgSettings.szSkin : u"";
    auto load = [&](const char16_t* format, IKvImage** out) {
        const std::u16string path = plat::FormatStr(format, k->m_szBaseDir, skin);
        return k->m_pRoot->CreateImage(out, path.c_str()) == RZ_OK && *out;
    };
    if (!load(SEAT_BAR_IMAGE, &m_pBarImage) || !load(SEAT_BAR_MUTED_IMAGE, &m_pBarMutedImage) ||
        !load(SEAT_BUTTON_IMAGE, &m_pButtonImage))
        return false;
    if (k->m_pRoot->CreateText(&m_pBarText) != RZ_OK || !m_pBarText)
        return false;
    m_pBarText->SetFont(20, 64, 255, 255);
    // The factory settings reset the front seat's pages.
    if (seat == 0)
        k->SetFrontPages(m_Pages.data(), m_Pages.size());
    if (seat == 1 && g_hooks.pfnCreateExtendedKB) {
        m_pExtendedKB = g_hooks.pfnCreateExtendedKB();
        if (!m_pExtendedKB) {
            plat::ui::MessageBox(plat::ui::kNoWindow, u"Create Extended screen keyboard Error.",
                                 u"ERROR", plat::ui::kMbIconError);
            // The program ends here, in the middle of its start, with a failure status: nothing
            // is saved, and the process-wide objects are not torn down (the kernel's would log
            // into a log that is already gone).
            std::fflush(nullptr);
            std::_Exit(EXIT_FAILURE);
        }
    }
    return true;
}

void CSeatCtrlDlg::SetApplication(uint8_t app, CVelkoraAppDlg* page) {
    // A type without a page, or beyond the table, is never stored.
    if (!HasPageType(app)) {
        plat::ui::MessageBox(plat::ui::kNoWindow, plat::FormatStr(u"No constructor (%d)", app),
                             u"Velkora", plat::ui::kMbOk);
        return;
    }
    m_Pages[app] = page;
}

CVelkoraAppDlg* CSeatCtrlDlg::FirstVisiblePage() const {
    for (CVelkoraAppDlg* page : m_Pages) {
        if (page && page->IsVisible())
            return page;
    }
    return nullptr;
}

plat::Rect CSeatCtrlDlg::SeatRect() const {
    return m_bySeat == 1 ? plat::Rect::FromXYWH(800, 0, 800, 600)
                         : plat::Rect::FromXYWH(0, 0, 800, 480);
}

void CSeatCtrlDlg::SendToMain(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    plat::ui::SendMessage(m_hMainWnd, msg, wParam, lParam);
}

void CSeatCtrlDlg::OnClose() {
    // Closing a seat ends the program.
    SendToMain(SEAT_WM_CLOSE, 0, 0);
}

// ---- Paint -------------------------------------------------------------------------------

void CSeatCtrlDlg::OnPaint(plat::Surface& surface, const plat::Rect& dirty) {
    CKernel* k = Kernel();
    {
        // The polling thread's command sequence holds the same lock.
        std::unique_lock<std::recursive_mutex> lock;
        if (k)
            lock = std::unique_lock<std::recursive_mutex>(k->m_csRender);
        if (m_bCollapsed) {
            m_pPaintedPage = nullptr;
            PaintFolded(surface);
            return;
        }
        PaintPage(surface, dirty);
    }
    // The old page has been drawn once more; now the switch, then what follows a full paint.
    SwitchApp();
    if (CVelkoraAppDlg* page = FirstVisiblePage())
        page->PostRender();
    RunSeatAction();
}

void CSeatCtrlDlg::MakePagePicture() {
    if (!m_PageBitmap.IsEmpty())
        return;
    const plat::Rect seat = SeatRect();
    m_PageBitmap.Create(seat.Width(), seat.Height());
    m_PageBitmap.Fill(0xFF000000);
    m_pPageCanvas = plat::MakeCanvas(m_PageBitmap);
    m_pPaintedPage = nullptr;
}

void CSeatCtrlDlg::DrawPageAhead() {
    CKernel* k = Kernel();
    std::unique_lock<std::recursive_mutex> lock;
    if (k)
        lock = std::unique_lock<std::recursive_mutex>(k->m_csRender);
    if (m_bCollapsed)
        return;
    MakePagePicture();
    plat::ui::PrepareWindowPicture(Id());
    if (CVelkoraAppDlg* page = FirstVisiblePage()) {
        // Its clock as the first tick sets it: those texts are drawn too.
        page->PrepareClock();
        page->Render(m_pPageCanvas.get());
    }
    // The first paint is a whole one, whatever the page asks for by then.
    m_pPaintedPage = nullptr;
}

void CSeatCtrlDlg::PaintPage(plat::Surface& surface, const plat::Rect& dirty) {
    const plat::Rect seat = SeatRect();
    MakePagePicture();
    CVelkoraAppDlg* page = FirstVisiblePage();
    // Only a page asks for part of the seat (a label that changed): the rest of the picture is
    // still that page's, so only the part is drawn and copied.
    const plat::Rect whole = m_PageBitmap.Bounds().Intersect(surface.Bounds());
    const plat::Rect part = dirty.Intersect(whole);
    const bool partial = page && page == m_pPaintedPage && !part.IsEmpty() && !(part == whole);
    if (partial)
        m_pPageCanvas->SetClip(part);
    if (page)
        page->Render(m_pPageCanvas.get());
    if (partial) {
        m_pPageCanvas->ResetClip();
        for (int y = part.top; y < part.bottom; ++y)
            std::copy_n(
                m_PageBitmap.Pixels() + static_cast<size_t>(y) * m_PageBitmap.Width() + part.left,
                part.Width(),
                surface.Pixels() + static_cast<size_t>(y) * surface.Width() + part.left);
    } else {
        CopyPicture(m_PageBitmap, surface, seat.Width(), seat.Height());
    }
    m_pPaintedPage = page;
}

void CSeatCtrlDlg::MakeFoldedPictures() {
    if (m_ButtonBitmap.IsEmpty()) {
        m_ButtonBitmap.Create(SEAT_BUTTON_W, SEAT_BUTTON_H);
        m_ButtonBitmap.Fill(0xFF000000);
        m_pButtonCanvas = plat::MakeCanvas(m_ButtonBitmap);
    }
    for (int i = 0; i < 2; ++i) {
        if (m_BarBitmap[i].IsEmpty()) {
            m_BarBitmap[i].Create(SEAT_BAR_W, SEAT_BAR_H);
            m_BarBitmap[i].Fill(0xFF000000);
            m_pBarCanvas[i] = plat::MakeCanvas(m_BarBitmap[i]);
        }
    }
}

void CSeatCtrlDlg::PaintFolded(plat::Surface& surface) {
    MakeFoldedPictures();
    if (m_iBarState == 1 || m_iBarState == 2) {
        const int bar = m_iBarState - 1;
        IKvImage* image = bar == 0 ? m_pBarImage : m_pBarMutedImage;
        if (image)
            image->Draw(m_pBarCanvas[bar].get(), 0, 0, 0, 0);
        m_iSlideBar = bar;
        // The window moves before anything is drawn: moving resizes the picture.
        if (m_bSlide)
            StartSlide();
        const int width = m_iSlideWidth ? m_iSlideWidth : SEAT_BAR_W;
        CopyPicture(m_BarBitmap[bar], surface, width, SEAT_BAR_H);
        if (bar == 0 && !m_bBarMute && m_pBarText) {
            std::unique_ptr<plat::Canvas> canvas = plat::MakeCanvas(surface);
            m_pBarText->Draw(canvas.get());
        }
        return;
    }
    if (m_pButtonImage)
        m_pButtonImage->Draw(m_pButtonCanvas.get(), 0, 0, 0, 0);
    if (m_bSlide)
        StartSlide();
    if (m_iSlideWidth) {
        // Closing: the bar it was shrinks towards the button.
        CopyPicture(m_BarBitmap[m_iSlideBar], surface, m_iSlideWidth, SEAT_BAR_H);
        return;
    }
    CopyPicture(m_ButtonBitmap, surface, SEAT_BUTTON_W, SEAT_BUTTON_H);
}

// ---- The bar's slide: one step per timer tick, so the screen keeps being served -------------

void CSeatCtrlDlg::StartSlide() {
    m_bSlide = 0;
    m_iSlideWidth = m_iBarState != 0 ? SEAT_BUTTON_W : SEAT_BAR_W;
    plat::ui::MoveWindow(Id(), X0(), 0, m_iSlideWidth, m_iWinH, true);
    plat::ui::SetTimer(Id(), SEAT_TIMER_SLIDE, kSlideStepMs);
}

void CSeatCtrlDlg::StepSlide() {
    if (!m_iSlideWidth || !m_bCollapsed) {
        StopSlide();
        return;
    }
    if (m_iBarState != 0) {
        m_iSlideWidth += kSlideOpenStep;
        if (m_iSlideWidth >= SEAT_BAR_W) {
            StopSlide();
            plat::ui::MoveWindow(Id(), X0(), 0, SEAT_BAR_W, m_iWinH, true);
            return;
        }
        plat::ui::MoveWindow(Id(), X0(), 0, m_iSlideWidth, m_iWinH, true);
        return;
    }
    m_iSlideWidth -= kSlideCloseStep;
    if (m_iSlideWidth < SEAT_BUTTON_W) {
        StopSlide();
        m_iWinW = SEAT_BUTTON_W;
        m_iWinH = SEAT_BUTTON_H;
        plat::ui::MoveWindow(Id(), m_iButtonX, m_iButtonY, SEAT_BUTTON_W, SEAT_BUTTON_H, true);
        return;
    }
    plat::ui::MoveWindow(Id(), X0(), 0, m_iSlideWidth, m_iWinH, true);
}

void CSeatCtrlDlg::FinishSlide() {
    if (!m_iSlideWidth)
        return;
    // The last step of the slide, whatever the width now.
    m_iSlideWidth = m_iBarState != 0 ? SEAT_BAR_W : SEAT_BUTTON_W;
    StepSlide();
}

void CSeatCtrlDlg::StopSlide() {
    m_iSlideWidth = 0;
    plat::ui::KillTimer(Id(), SEAT_TIMER_SLIDE);
}

void CSeatCtrlDlg::OnTimer(uint32_t timerId) {
    switch (timerId) {
        case SEAT_TIMER_SLIDE:
            StepSlide();
            break;
        case SEAT_TIMER_PLACE_TV:
        case SEAT_TIMER_PLACE_BROWSER:
        case SEAT_TIMER_PLACE_NAVIGATION:
        case SEAT_TIMER_PLACE_APP_1:
            PlaceProgramWindow(timerId);
            break;
        default:
            break;
    }
}

// ---- Expanded and folded -----------------------------------------------------------------

void CSeatCtrlDlg::ShowExpanded(bool on) {
    StopSlide();
    m_bSlide = 0;
    plat::ui::Window* kb = m_pExtendedKB.get();
    if (on) {
        m_bExpanded = 1;
        m_bLaunched = 0;
        if (m_bySeat == 1) {
            SendToMain(WM_SHOW_REAR_BACKDROP, 0, 0);
            if (kb) {
                plat::ui::MoveWindow(kb->Id(), 1300, 480, 262, 100, true);
                plat::ui::ShowWindow(kb->Id(), false);
            }
        }
        m_bCollapsed = 0;
        const plat::Rect r = SeatRect();
        plat::ui::MoveWindow(Id(), r.left, r.top, r.Width(), r.Height(), true);
        plat::ui::ShowWindow(Id(), true);
        plat::ui::SetTopMost(Id(), true);
        return;
    }
    m_bExpanded = 0;
    if (m_bySeat == 1) {
        SendToMain(WM_SHOW_REAR_BACKDROP, 1, 0);
        // Navigation and TV keep the screen to themselves.
        if (kb && m_iCurrentApp != APPTYPE_NAVIGATION && m_iCurrentApp != APPTYPE_TV) {
            plat::ui::MoveWindow(kb->Id(), 1300, 480, 262, 100, true);
            plat::ui::ShowWindow(kb->Id(), true);
        }
    }
    const plat::Point pos = m_bLaunched ? plat::Point{X0() + 200, 0} : plat::ui::GetCursorPos();
    m_bDragging = 0;
    if (plat::ui::GetCapture() == Id())
        plat::ui::ReleaseCapture();
    m_iWinW = SEAT_BUTTON_W;
    m_iWinH = SEAT_BUTTON_H;
    plat::ui::MoveWindow(Id(), pos.x, pos.y, SEAT_BUTTON_W, SEAT_BUTTON_H, true);
    m_bCollapsed = 1;
    m_iBarState = 0;
    plat::ui::SetTopMost(Id(), true);
}

// ---- Pen ---------------------------------------------------------------------------------

void CSeatCtrlDlg::OnPenDown(plat::Point pt) {
    if (m_bScreenOff)
        return;
    if (m_bCollapsed) {
        m_ptDown = pt;
        m_ptDownScreen = plat::ui::GetCursorPos();
        m_bDragging = 1;
        plat::ui::SetCapture(Id());
        return;
    }
    if (CVelkoraAppDlg* page = FirstVisiblePage())
        page->OnLButtonDown(pt.x, pt.y);
}

void CSeatCtrlDlg::OnPenMove(plat::Point pt) {
    if (!m_bCollapsed) {
        if (CVelkoraAppDlg* page = FirstVisiblePage())
            page->OnMouseMove(pt.x, pt.y);
        return;
    }
    if (!m_bDragging) {
        if (plat::ui::GetCapture() == Id())
            plat::ui::ReleaseCapture();
        return;
    }
    if (m_iBarState == 0) {
        const plat::Point at = plat::ui::GetCursorPos();
        plat::ui::MoveWindow(Id(), at.x - m_ptDown.x, at.y - m_ptDown.y, SEAT_BUTTON_W,
                             SEAT_BUTTON_H, true);
    }
}

void CSeatCtrlDlg::OnPenUp(plat::Point pt) {
    CKernel* k = Kernel();
    if (m_bScreenOff) {
        // The first touch only lights the screen again.
        if (k && k->FirmwareReady())
            k->m_Board.VideoBacklightPower(true);
        m_bScreenOff = 0;
        return;
    }
    if (k && k->m_iInputSource == 2) {
        CVelkoraAppDlg* home = m_Pages[APPTYPE_HOMEPAGE];
        // A homepage tap that opens a page with its own picture leaves the video input.
        const bool mediaPressed =
            home && home->IsVisible() &&
            OneOf(home->m_byPressed,
                  {APPTYPE_MUSIC, APPTYPE_MOVIE, APPTYPE_RADIO, APPTYPE_PHONE, APPTYPE_AUX2});
        if (mediaPressed || m_bySeat == 0)
            k->InputSource(0);
    }
    if (!m_bCollapsed) {
        if (CVelkoraAppDlg* page = FirstVisiblePage())
            page->OnLButtonUp(pt.x, pt.y);
        return;
    }
    const plat::Point at = plat::ui::GetCursorPos();
    const bool tap = m_bDragging && std::abs(at.x - m_ptDownScreen.x) < kDragDistance &&
                     std::abs(at.y - m_ptDownScreen.y) < kDragDistance;
    if (tap)
        BarTap(pt.x);
    m_bDragging = 0;
    if (plat::ui::GetCapture() == Id())
        plat::ui::ReleaseCapture();
}

void CSeatCtrlDlg::SetBarText(int volume) {
    if (!m_pBarText)
        return;
    m_pBarText->SetRect(540, 55, 80, 35);
    m_pBarText->SetText(plat::FormatStr(u"%d", volume).c_str());
}

void CSeatCtrlDlg::BarTap(int x) {
    CKernel* k = Kernel();
    if (!k)
        return;
    // A slide still running ends first, so the tap acts on where the seat really is.
    FinishSlide();
    m_dwLastTap = plat::GetTickCount();
    m_bSlide = 0;
    m_bBarMute = k->m_bMute;
    if (m_iBarState == 0) {
        const plat::Rect r = plat::ui::GetWindowRect(Id());
        m_iButtonX = r.left;
        m_iButtonY = r.top;
        m_iBarState = m_bBarMute ? 2 : 1;
        m_iWinW = SEAT_BAR_W;
        m_iWinH = SEAT_BAR_H;
        SetBarText(k->m_iVolume);
        m_bSlide = 1;
    } else if (x < 200) {
        m_iWinW = SEAT_BUTTON_W;
        m_iWinH = SEAT_BUTTON_H;
        m_bCollapsed = 0;
        ShowExpanded(true);
        if (m_bySeat == 0 && m_bEndProgramsOnExpand) {
            for (int path : {APP_PATH_TV, APP_PATH_APP_1}) {
                if (k->m_AppPaths.szPath[path][0])
                    KillProcessByName(k->m_AppPaths.szPath[path]);
            }
        }
    } else if (x < 400) {
        m_iBarVolume = k->m_iVolume;
        if (m_iBarVolume > 0) {
            --m_iBarVolume;
            SetBarText(m_iBarVolume);
            k->SetVolume(m_iBarVolume);
            SendToMain(WM_VOLUME_CHANGED, VOLUME_CHANGED_LEVEL, 0);
        }
    } else if (x < 600) {
        const bool wasMuted = k->m_bMute != 0;
        if (wasMuted) {
            k->SetVolume(254);
            SendToMain(WM_VOLUME_CHANGED, VOLUME_CHANGED_UNMUTED, 0);
        } else {
            if (k->FirmwareReady())
                k->SetVolume(255);
            SendToMain(WM_VOLUME_CHANGED, VOLUME_CHANGED_MUTED, 0);
        }
        k->m_bMute = wasMuted ? 0 : 1;
        // The bar shows the state it has now.
        m_bBarMute = k->m_bMute;
        m_iBarState = m_iBarState == 1 ? 2 : 1;
        plat::ui::MoveWindow(Id(), X0(), 0, SEAT_BAR_W, SEAT_BAR_H, true);
        SetBarText(k->m_iVolume);
    } else {
        m_iBarVolume = k->m_iVolume;
        if (m_iBarVolume < 32) {
            ++m_iBarVolume;
            SetBarText(m_iBarVolume);
            k->SetVolume(m_iBarVolume);
            SendToMain(WM_VOLUME_CHANGED, VOLUME_CHANGED_LEVEL, 0);
        }
    }
    plat::ui::InvalidateRect(Id());
    plat::ui::UpdateWindow(Id());
}

// ---- Tick --------------------------------------------------------------------------------

void CSeatCtrlDlg::OnTick() {
    CKernel* k = Kernel();
    m_dwNow = plat::GetTickCount();
    if (CVelkoraAppDlg* page = FirstVisiblePage())
        page->OnTick();
    if (m_bCollapsed && k) {
        k->CheckDiscChange();
        const int code = k->m_iAutoLaunch;
        if (code == 1 || code == 2 || code == 3) {
            m_iWinW = SEAT_BUTTON_W;
            m_iWinH = SEAT_BUTTON_H;
            m_bCollapsed = 0;
            ShowExpanded(true);
        }
    }
    // The media pages work on while hidden (playlists move on, discs are watched).
    for (int app : {APPTYPE_MUSIC, APPTYPE_MOVIE, APPTYPE_PHOTO}) {
        if (CVelkoraAppDlg* page = m_Pages[app]; page && !page->IsVisible())
            page->OnTick();
    }
    if (m_bySeat == 0) {
        if (CVelkoraAppDlg* phone = m_Pages[APPTYPE_PHONE]; phone && !phone->IsVisible())
            phone->OnTick();
    }
    if (m_bySeat == 0 && k)
        CheckFrontLocks();

    if (k && m_dwNow - m_dwLastStatusWrite > kStatusPeriodMs) {
        m_dwLastStatusWrite = m_dwNow;
        CVelkoraAppDlg* music = m_Pages[APPTYPE_MUSIC];
        CVelkoraAppDlg* movie = m_Pages[APPTYPE_MOVIE];
        if ((music && music->GetPlayState() == PLAYSTATE_PLAYING) ||
            (movie && movie->GetPlayState() == PLAYSTATE_PLAYING)) {
            m_dwMonitorStatus |= 1;
            k->SetRegistryDword("Status", m_dwMonitorStatus);
        } else {
            k->SetRegistryDword("Status", m_bySeat == 1 ? 0x01000001u : 1u);
        }
    }

    if (!m_bExpanded && m_bCollapsed && m_iBarState != 0 && !m_iSlideWidth &&
        m_dwNow - m_dwLastTap > kBarIdleMs) {
        m_bSlide = 1;
        m_iBarState = 0;
        plat::ui::InvalidateRect(Id());
    }
}

void CSeatCtrlDlg::SetHomeLockState(int state, bool force) {
    CVelkoraAppDlg* home = m_Pages[APPTYPE_HOMEPAGE];
    // The homepage redraws (and waits) on every change: tell it only what is new.
    if (!home || (!force && state == m_iHomeLockState))
        return;
    m_iHomeLockState = state;
    home->SetLockState(state);
    if (m_iOtherApp == APPTYPE_PHONE)
        home->SetLockState(2);
}

void CSeatCtrlDlg::CheckFrontLocks() {
    CKernel* k = Kernel();
    const bool changed = k->m_bLocksChanged != 0;
    const bool inForce = k->m_bLocksFreeSeen == 0;
    if (!changed && m_iCurrentApp != APPTYPE_MOVIE && !(inForce && m_iCurrentApp == APPTYPE_PHOTO))
        return;
    k->m_bLocksChanged = 0;
    if (!inForce) {
        SetHomeLockState(1, changed);
        if (m_bMovieLocked) {
            m_bMovieLocked = 0;
            CVelkoraAppDlg* movie = m_Pages[APPTYPE_MOVIE];
            if (movie && movie->GetPlayState() == PLAYSTATE_PLAYING) {
                if (g_hooks.pfnRefitMovieVideo)
                    g_hooks.pfnRefitMovieVideo(movie);
                SendToMain(WM_SWITCH_APP, m_bySeat, APPTYPE_MOVIE);
            }
        }
        return;
    }
    bool locked = false;
    if (const CCfgData* cfg = pCfgData) {
        const HOMEPAGE_LAYOUT& layout = cfg->m_Layout;
        const int pages = std::min<int>(layout.byPages, HOMEPAGE_PAGES);
        const int items = std::min<int>(layout.byItems, HOMEPAGE_ITEMS);
        for (int p = 0; p < pages && !locked; ++p) {
            for (int i = 0; i < items && !locked; ++i) {
                const HOMEPAGE_CELL& cell = layout.cell[0][p][i];
                locked = cell.byLocked && cell.byApp == m_iCurrentApp;
            }
        }
    }
    if (locked) {
        if (m_iCurrentApp == APPTYPE_MOVIE) {
            m_bMovieLocked = 1;
            m_iCurrentApp = APPTYPE_HOMEPAGE;
            if (g_hooks.pfnClearHomeSelection && m_Pages[APPTYPE_HOMEPAGE])
                g_hooks.pfnClearHomeSelection(m_Pages[APPTYPE_HOMEPAGE]);
        }
        SendToMain(WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
    }
    SetHomeLockState(0, changed);
}

// ---- Switching ---------------------------------------------------------------------------

void CSeatCtrlDlg::SelectMixerSource(int source, bool keep12) {
    if (IHWAudio* audio = MixerAudio())
        audio->SelectSource(source, keep12);
}

void CSeatCtrlDlg::SwitchApp() {
    const int pending = m_iPending.load();
    if (pending == -1)
        return;
    const int app = pending & 0xFFFF;
    const int param = (pending >> 16) & 0xFFFF;
    // Only the table's types are carried out; anything else would index past it.
    if (app >= APPTYPE_COUNT) {
        WriteLog("CSeatCtrlDlg::SwitchApp(%d): no application type %d, request dropped", m_bySeat,
                 app);
        m_iPending = -1;
        return;
    }
    CKernel* k = Kernel();

    // Stereo or 5.1.
    CVelkoraAppDlg* audioSet = m_Pages[APPTYPE_AUDIO_SET];
    CVelkoraAppDlg* phone = m_Pages[APPTYPE_PHONE];
    if (param == 2 && app == APPTYPE_AUDIO_SET) {
        if (audioSet)
            audioSet->SetAudioMode(1);
    } else if (phone && g_hooks.pfnKeep51 && g_hooks.pfnKeep51(phone)) {
        SelectMixerSource(0, false);
        if (k)
            k->Enable51Priority();
    } else if (audioSet) {
        audioSet->SetAudioMode(0);
    }

    // The page.
    if (CVelkoraAppDlg* target = m_Pages[app]) {
        for (CVelkoraAppDlg* page : m_Pages) {
            if (page)
                page->Show(false, 255);
        }
        target->Show(true, static_cast<uint8_t>(param));
    }

    // What the front seat resumes at the next start.
    m_iCurrentApp = app;
    if (m_bySeat == 0 && k) {
        // Pages that only make sense while asked for start the next run on the homepage.
        const bool transient =
            OneOf(app, {APPTYPE_PHONE, APPTYPE_WINDOWS, APPTYPE_AUX, APPTYPE_AUX2,
                        APPTYPE_BACKLIGHT, APPTYPE_AUDIO_SET, APPTYPE_KB});
        k->m_Settings.iCurrentApp = transient ? APPTYPE_HOMEPAGE : app;
        k->SaveSettings();
    }

    if (app == APPTYPE_WINDOWS)
        ShowExpanded(false);

    // The board's sources: the PC's sound and picture for the media and the programs.
    if (OneOf(app, {APPTYPE_MUSIC, APPTYPE_MOVIE, APPTYPE_NAVIGATION, APPTYPE_TV, APPTYPE_PHONE,
                    APPTYPE_INTERNET_SERVICE, APPTYPE_APP_1})) {
        plat::RemoveFile(MARKER_RADIO_MODE);
        if (k)
            k->ToMode(0);
    }
    if (k && OneOf(app, {APPTYPE_MUSIC, APPTYPE_MOVIE, APPTYPE_RADIO, APPTYPE_NAVIGATION,
                         APPTYPE_TV, APPTYPE_PHONE, APPTYPE_INTERNET_SERVICE, APPTYPE_APP_1}))
        k->InputSource(0);

    // The sound card's source: the first rule that applies.
    if (app >= APPTYPE_MUSIC && app <= APPTYPE_RADIO) {
        // The media pages and the radio choose their own.
    } else if (app == APPTYPE_TV) {
        SelectMixerSource(0, false);
    } else if (app == APPTYPE_PHONE || m_iOtherApp == APPTYPE_PHONE) {
        SelectMixerSource(9, false);
    } else if (app == APPTYPE_NAVIGATION) {
        SelectMixerSource(0, false);
    } else if (app == APPTYPE_WINDOWS) {
        SelectMixerSource(0, true);
    } else if (app == APPTYPE_SKYPE) {
        SelectMixerSource(0, false);
    } else if (app == APPTYPE_BROWSER || app == APPTYPE_INTERNET_SERVICE || app == APPTYPE_APP_1) {
        SelectMixerSource(0, false);
    }

    // What the type does besides its page.
    m_iPending = -1;
    switch (app) {
        case APPTYPE_AUX:
            WriteLog("CSeatCtrlDlg => ToAUX()");
            plat::RemoveFile(MARKER_RADIO_MODE);
            if (k && k->FirmwareReady()) {
                MonitorStop();
                MonitorStopMovie();
                if (CVelkoraAppDlg* radio = m_Pages[APPTYPE_RADIO])
                    radio->StopAll();
                k->ToMode(18);
            }
            break;
        case APPTYPE_BACKLIGHT:
            if (k && k->FirmwareReady()) {
                k->m_Board.VideoBacklightPower(false);
                m_bScreenOff = 1;
            }
            break;
        case APPTYPE_NAVIGATION:
        case APPTYPE_TV:
        case APPTYPE_APP_1: {
            const int pathIndex = app == APPTYPE_NAVIGATION ? APP_PATH_NAVIGATION
                                  : app == APPTYPE_TV       ? APP_PATH_TV
                                                            : APP_PATH_APP_1;
            plat::ProcessId pid = -1;
            if (!LaunchProgram(pathIndex, &pid))
                return;
            const std::u16string name = FileNameOf(k->m_AppPaths.szPath[pathIndex]);
            if (app == APPTYPE_APP_1) {
                // Once, a second after the start, when its window should be up.
                StartPlacement(SEAT_TIMER_PLACE_APP_1, 1000, name, -1, 1, SeatRect());
            } else {
                m_iPlacementCount = 0;
                StartPlacement(
                    app == APPTYPE_TV ? SEAT_TIMER_PLACE_TV : SEAT_TIMER_PLACE_NAVIGATION, 1000,
                    name, -1, 6, SeatRect());
            }
            m_bLaunched = 1;
            ShowExpanded(false);
            break;
        }
        case APPTYPE_BROWSER:
            LaunchBrowser(param);
            m_bLaunched = 1;
            ShowExpanded(false);
            break;
        default:
            break;
    }

    if (m_iOtherApp == APPTYPE_PHONE && app == APPTYPE_MOVIE)
        SelectMixerSource(9, false);
    plat::ui::InvalidateRect(Id());
}

bool CSeatCtrlDlg::LaunchProgram(int pathIndex, plat::ProcessId* pid) {
    CKernel* k = Kernel();
    if (!k)
        return false;
    const std::u16string path = k->m_AppPaths.szPath[pathIndex];
    if (path.empty()) {
        MessageDlg dlg(Id());
        dlg.SetText(k->m_Language[MSG_PATH_EMPTY]);
        dlg.DoModal();
        return false;
    }
    // The program runs in its own folder; a bare name has none and is not started.
    const size_t cut = path.find_last_of(u"\\/");
    if (cut == std::u16string::npos)
        return false;
    const std::u16string folder = path.substr(0, cut);
    *pid = StartProgram(path.c_str(), {}, folder.empty() ? u"/" : folder.c_str());
    WriteLog("CSeatCtrlDlg::LaunchProgram(%d): %s -> %d", pathIndex,
             plat::Utf16ToUtf8(path).c_str(), static_cast<int>(*pid));
    return true;
}

void CSeatCtrlDlg::LaunchBrowser(int param) {
    // The address is a user's text: it goes to the browser as one argument, never through a
    // shell.
    std::vector<std::u16string> args;
    if (param == APPTYPE_INTERNET_SERVICE && g_hooks.pfnBrowserAddress) {
        if (CVelkoraAppDlg* internet = m_Pages[APPTYPE_INTERNET_SERVICE]) {
            std::u16string address = g_hooks.pfnBrowserAddress(internet);
            if (!address.empty())
                args.push_back(std::move(address));
        }
    }
    const plat::ProcessId pid = StartProgram(SEAT_BROWSER_PROGRAM, args, nullptr);
    WriteLog("CSeatCtrlDlg: browser (%d arguments) -> %d", static_cast<int>(args.size()),
             static_cast<int>(pid));
    m_iPlacementCount = 0;
    if (pid > 0) {
        // Placed as soon as its window is up, four times over to outlast its own placing.
        const plat::Rect r = SeatRect();
        StartPlacement(SEAT_TIMER_PLACE_BROWSER, 700, u"", pid, 4,
                       plat::Rect::FromXYWH(r.left, 0, 800, 480));
    }
}

void CSeatCtrlDlg::StartPlacement(uint32_t timerId, uint32_t firstMs, const std::u16string& name,
                                  plat::ProcessId pid, int limit, const plat::Rect& rect) {
    Placement& place = m_Place[timerId - SEAT_TIMER_PLACE_TV];
    place.name = name;
    place.pid = pid;
    place.count = 0;
    place.tries = 0;
    place.limit = limit;
    place.rect = rect;
    plat::ui::SetTimer(Id(), timerId, firstMs);
}

void CSeatCtrlDlg::PlaceProgramWindow(uint32_t timerId) {
    Placement& place = m_Place[timerId - SEAT_TIMER_PLACE_TV];
    // After the first try the window is looked for once a second.
    plat::ui::SetTimer(Id(), timerId, 1000);
    plat::ExternalWindow window = 0;
    if (place.pid > 0) {
        if (!plat::ProcessRunning(place.pid)) {
            plat::ui::KillTimer(Id(), timerId);
            return;
        }
        window = FindMainWindow(place.pid);
    } else {
        window = FindProgramWindow(place.name);
    }
    if (window) {
        plat::MoveExternalWindow(window, place.rect.left, place.rect.top, place.rect.Width(),
                                 place.rect.Height());
        ++place.count;
        m_iPlacementCount = place.count;
    }
    // The user program is tried once; the others until placed often enough, or given up.
    if (timerId == SEAT_TIMER_PLACE_APP_1 || place.count >= place.limit ||
        ++place.tries >= kPlacementTries)
        plat::ui::KillTimer(Id(), timerId);
}

// ---- Seat actions, backlight, calls --------------------------------------------------------

void CSeatCtrlDlg::RunSeatAction() {
    if (m_iSeatAction == -1)
        return;
    const int code = m_iSeatAction & 0xFFFF;
    const int p = (m_iSeatAction >> 16) & 0xFFFF;
    CKernel* k = Kernel();
    switch (code) {
        case 1:
            RestoreStereo();
            break;
        case 2:
            RestoreSurround();
            break;
        case 16:
            if (k)
                k->RadioSetBand(p);
            break;
        case 17:
            if (k)
                k->RadioSetBand(p | 0x100);
            break;
        case 18:
            if (k)
                k->RadioSetBand(p | 0x200);
            break;
        case 32:
            if (k)
                k->RadioSetBand(p | 0x1000);
            break;
        case 33:
            if (k)
                k->RadioSetBand(p | 0x1100);
            break;
        default:
            break;
    }
    m_iSeatAction = -1;
    plat::ui::InvalidateRect(Id());
}

void CSeatCtrlDlg::RestoreStereo() {
    CKernel* k = Kernel();
    if (!k || !k->FirmwareReady())
        return;
    k->ToMode(0);
    if (CVelkoraAppDlg* audioSet = m_Pages[APPTYPE_AUDIO_SET])
        audioSet->SetAudioMode(0);
}

void CSeatCtrlDlg::RestoreSurround() {
    CKernel* k = Kernel();
    if (!k || !k->FirmwareReady())
        return;
    k->ToMode(0);
    if (CVelkoraAppDlg* audioSet = m_Pages[APPTYPE_AUDIO_SET])
        audioSet->SetAudioMode(1);
}

void CSeatCtrlDlg::SetBacklight(bool on) {
    if (m_bScreenOff == (on ? 0 : 1))
        return;
    CKernel* k = Kernel();
    if (!k || !k->FirmwareReady())
        return;
    k->m_Board.VideoBacklightPower(on);
    m_bScreenOff = on ? 0 : 1;
}

void CSeatCtrlDlg::PrepareForCall() {
    CKernel* k = Kernel();
    if (!k)
        return;
    CVelkoraAppDlg* radio = m_Pages[APPTYPE_RADIO];
    CVelkoraAppDlg* aux2 = m_Pages[APPTYPE_AUX2];
    if ((radio && radio->IsVisible()) || (aux2 && aux2->IsVisible())) {
        SendToMain(WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
        plat::ui::InvalidateRect(Id());
    } else if (k->m_iInputSource == 2) {
        SendToMain(WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
        k->InputSource(0);
        plat::ui::InvalidateRect(Id());
    } else if (m_bScreenOff) {
        if (k->FirmwareReady())
            k->m_Board.VideoBacklightPower(true);
        m_bScreenOff = 0;
    }
    // The status word turns to paused for the side that was playing, once; nothing plays
    // after this, so a side that was not playing leaves the word as it is.
    for (int app : {APPTYPE_MUSIC, APPTYPE_MOVIE}) {
        CVelkoraAppDlg* page = m_Pages[app];
        if (!page)
            continue;
        const bool playing = page->GetPlayState() == PLAYSTATE_PLAYING;
        page->PauseIfPlaying(true);
        if (playing)
            MonitorPause();
    }
    SelectMixerSource(0, false);
}

// ---- Status values -----------------------------------------------------------------------

void CSeatCtrlDlg::WriteMonitorStatus(const char* what, uint32_t value) {
    const uint32_t old = m_dwMonitorStatus;
    m_dwMonitorStatus = value;
    if (CKernel* k = Kernel())
        k->SetRegistryDword("Status", value);
    WriteLog("CSeatCtrlDlg::%s(%d): %x => %x", what, m_bySeat, old, value);
}

void CSeatCtrlDlg::MonitorStop() {
    if (CVelkoraAppDlg* music = m_Pages[APPTYPE_MUSIC])
        music->StopAll();
    WriteMonitorStatus("MonitorStop", 0);
}

void CSeatCtrlDlg::MonitorStopMovie() {
    if (CVelkoraAppDlg* movie = m_Pages[APPTYPE_MOVIE])
        movie->StopAll();
    WriteMonitorStatus("MonitorStop", 0);
}

void CSeatCtrlDlg::MonitorStopStatus() {
    WriteMonitorStatus("MonitorStop", 0);
}

void CSeatCtrlDlg::MonitorPause() {
    const uint32_t s = static_cast<uint32_t>(m_bySeat == 1 ? 1 : 0) << 24;
    WriteMonitorStatus("MonitorPause",
                       m_dwMonitorStatus == (s | 0x30101) ? s | 0x30201 : s | 0x30101);
}

void CSeatCtrlDlg::SetMonitorAction(CVelkoraAppDlg* page, uint32_t action, const char16_t* text,
                                    int bytes) {
    CKernel* k = Kernel();
    if (!k)
        return;
    const CSeatCtrlDlg* seat = page && page->m_pOwner ? page->m_pOwner : this;
    const bool rear = seat->m_bySeat == 1;
    k->SetRegistryDword(rear ? "ActionR" : "ActionF", action);
    if (text) {
        // As many characters as the byte count holds, up to the text's end.
        const size_t chars = bytes > 0 ? plat::StrLenN(text, static_cast<size_t>(bytes) / 2) : 0;
        const std::u16string param(text, chars);
        k->SetRegistryString(rear ? "ParamR" : "ParamF", param.c_str());
    }
}

// ---- Volume notifications ------------------------------------------------------------------

void CSeatCtrlDlg::OnVolumeChanged() {
    if (CVelkoraAppDlg* page = FirstVisiblePage())
        page->UpdateVolume(true);
}

void CSeatCtrlDlg::OnMuted() {
    CVelkoraAppDlg* page = FirstVisiblePage();
    CKernel* k = Kernel();
    if (!page || !k)
        return;
    page->m_iVolume = k->m_iVolume;
    page->m_bMute = 1;
    if (page->m_pMuteButton)
        page->m_pMuteButton->SetFrame(1);
    plat::ui::InvalidateRect(Id());
}

void CSeatCtrlDlg::OnUnmuted() {
    CVelkoraAppDlg* page = FirstVisiblePage();
    if (!page)
        return;
    page->m_bMute = 0;
    if (page->m_pMuteButton)
        page->m_pMuteButton->SetFrame(0);
    plat::ui::InvalidateRect(Id());
}
