#include "apps/media/MoviePlayDlg.h"

#include <algorithm>
#include <filesystem>
#include <cstring>
#include <vector>

#include "apps/media/MediaPage.h"
#include "apps/media/MovieResume.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/HWAudio.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/Language.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using KvMultimedia::IKvPlayer;
using KvMultimedia::IKvPlaylist;
using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;
using KvUserInterface::IKvText;
using mediapage::JoinWide;
using mediapage::ListCount;
using mediapage::ListCurrent;
using pageui::ReleaseAndClear;

namespace {

const char16_t* const kButtonKeys[MV_BTN_COUNT] = {
    u"Vol-Add",      u"Vol-Icon",     u"Vol-Del",   u"Play",       u"Pause",
    u"Prev-Section", u"Next-Section", u"Speed",     u"Speed-Icon", u"Sound-Effect",
    u"Ret-Menu",     u"Ratio",        u"DVD-Setup", u"Save",       u"Exit",
};

// The sound card's mixer: the film's sound is the PC's wave output, which only the mixer
// (not the board's stand-in) can select and mute.
IHWAudio* WaveMixer() {
    CHWAudioHolder* holder = CHWAudioHolder::GetInstance();
    return holder ? holder->m_pAudio[1].get() : nullptr;
}

bool SamePath(const std::u16string& a, const std::u16string& b) {
    return plat::StrCmpNoCase(a, b) == 0;
}

// The video files of one folder in name order, as the file list shows them.
std::vector<std::u16string> MovieFilesOf(std::u16string folder) {
    std::vector<std::u16string> names;
    CKernel* kernel = CKernel::Instance();
    KvUtility::IKvDirectory* dir = nullptr;
    if (folder.empty() || !kernel || !kernel->m_pRoot ||
        kernel->m_pRoot->CreateDirectory(&dir) != RZ_OK || !dir)
        return names;
    if (folder.size() == 2 && folder[1] == u':')
        folder += u"\\";
    int count = 0;
    const char16_t* const* extensions = MediaExtensions(MEDIA_KIND_MOVIE, &count);
    dir->SetPath(plat::Utf8ToUtf16(plat::NativePath(folder)).c_str());
    dir->SetFilter(count, const_cast<const char16_t**>(extensions));
    if (dir->Scan() == RZ_OK) {
        char16_t name[KvUtility::KVDIR_NAME_CHARS];
        uint16_t type = 0;
        for (RZRESULT r = dir->GetFirst(name, KvUtility::KVDIR_NAME_CHARS, &type); r == RZ_OK;
             r = dir->GetNext(name, KvUtility::KVDIR_NAME_CHARS, &type))
            if (type == KvUtility::DIR_ENTRY_FILE)
                names.emplace_back(name);
    }
    dir->Release();
    std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
        return plat::StrCmpNoCase(a, b) < 0;
    });
    return names;
}

bool IsDvdFolderStart(const std::u16string& name) {
    return plat::StrCmpNoCase(name, u"VIDEO_TS.IFO") == 0;
}

// With the marker file in the base folder, every film started from the list or at the end of
// another is logged.
void LogPlay(const std::u16string& path) {
    if (plat::PathExists(MARKER_PLAY_LOG))
        WriteLog("Play: [%s]", plat::Utf16ToUtf8(path).c_str());
}

// Makes `name` in `folder` the current entry of `playlist`.
void MakeCurrent(IKvPlaylist* playlist, const std::u16string& name, const std::u16string& folder) {
    if (!playlist)
        return;
    int count = 0;
    playlist->GetCount(&count);
    for (int i = 0; i < count; ++i) {
        char16_t* n = nullptr;
        char16_t* f = nullptr;
        uint8_t type = 0;
        if (playlist->GetItem(&n, &f, &type, i) == RZ_OK && n && f &&
            SamePath(JoinWide(f, n), JoinWide(folder, name))) {
            playlist->SetCurrentIndex(i);
            return;
        }
    }
}

}  // namespace

void FitVideoSize(int areaW, int areaH, bool growWhileBothSmaller, int& w, int& h) {
    if (w < 1 || h < 1 || areaW < 1 || areaH < 1)
        return;
    auto grow = [&](double f) {
        const int nw = static_cast<int>(w * f);
        const int nh = static_cast<int>(h * f);
        // A size so small that the product truncates back to it still moves on.
        w = nw > w ? nw : w + 1;
        h = nh > h ? nh : h + 1;
    };
    if (growWhileBothSmaller) {
        while (w < areaW && h < areaH)
            grow(1.2);
    } else if (w < areaW) {
        while (h < areaH && w < areaW)
            grow(1.2);
    }
    while ((w > areaW || h > areaH) && w > 1 && h > 1) {
        w = static_cast<int>(w * 0.96);
        h = static_cast<int>(h * 0.96);
    }
}

void FitDvdSize(int& w, int& h) {
    if (w < 1 || h < 1)
        return;
    if (w <= 799) {
        while (w < 800) {
            const int nw = static_cast<int>(w * 1.2);
            const int nh = static_cast<int>(h * 1.2);
            w = nw > w ? nw : w + 1;
            h = nh > h ? nh : h + 1;
        }
    }
    while (w > 800 && h > 1) {
        w = static_cast<int>(w * 0.96);
        h = static_cast<int>(h * 0.96);
    }
}

void AspectFitSize(bool fullScreen, int areaW, int areaH, int& w, int& h) {
    if (w < 1 || h < 1 || areaW < 1 || areaH < 1)
        return;
    if (fullScreen) {
        while (w < 800) {
            const int nw = static_cast<int>(static_cast<float>(w) * 1.2f);
            const int nh = static_cast<int>(static_cast<float>(h) * 1.2f);
            w = nw > w ? nw : w + 1;
            h = nh > h ? nh : h + 1;
        }
        while (h > areaH && w > 1 && h > 1) {
            w = static_cast<int>(static_cast<float>(w) * 0.98f);
            h = static_cast<int>(static_cast<float>(h) * 0.98f);
        }
        return;
    }
    while ((w > areaW || h > areaH) && w > 1 && h > 1) {
        w = static_cast<int>(static_cast<float>(w) * 0.98f);
        h = static_cast<int>(static_cast<float>(h) * 0.98f);
    }
}

CMoviePlayDlg::CMoviePlayDlg() = default;

CMoviePlayDlg::~CMoviePlayDlg() {
    ReleaseAll();
}

void CMoviePlayDlg::ReleaseAll() {
    // The mixer outlives the page: a film ended at fast play must not leave the sound off.
    if (m_bySpeed != 0) {
        m_bySpeed = 0;
        if (IHWAudio* mixer = WaveMixer())
            mixer->MuteWaveOut(false);
    }
    ReleasePlaylists();
    if (m_pPlayer) {
        m_pPlayer->Close();
        ReleaseAndClear(m_pPlayer);
    }
    ReleaseAndClear(m_pContainer);
    for (IKvButton*& button : m_pButtons)
        ReleaseAndClear(button);
    for (IKvText*& text : m_pTimes)
        ReleaseAndClear(text);
    ReleaseAndClear(m_pStatusText);
    for (IKvButton*& button : m_pPromptButtons)
        ReleaseAndClear(button);
    ReleaseAndClear(m_pPromptImage);
    ReleaseAndClear(m_p51Icon);
    for (IKvListbox*& list : m_pListbox)
        ReleaseAndClear(list);
    m_pDriveHandler.reset();
    m_pFileHandler.reset();
}

void CMoviePlayDlg::ReleasePlaylists() {
    ReleaseAndClear(m_pFolderPlaylist);
    ReleaseAndClear(m_pAllPlaylist);
    if (m_pContainer)
        m_pContainer->RemoveAll();
    m_strFolderOfPlaylist.clear();
}

void CMoviePlayDlg::ResetDefault() {
    WriteLog("CMoviePlayDlg::ResetDefault()");
    m_bySpeed = 0;
    m_byAspect = 0;
    m_bDvdSetupMode = 0;
}

short CMoviePlayDlg::GetPlayState() {
    if (!m_pPlayer)
        return -1;
    return static_cast<short>(m_pPlayer->GetStatus());
}

void CMoviePlayDlg::Action(uint32_t word, const std::u16string* path, int bytes) {
    if (m_bySeat == 1)
        word |= 0x01000000;
    if (m_pOwner)
        m_pOwner->SetMonitorAction(this, word, path ? path->c_str() : nullptr, bytes);
}

void CMoviePlayDlg::SaveSettings() {
    if (CKernel* kernel = CKernel::Instance())
        kernel->SaveSettings();
}

// ---- Skin ------------------------------------------------------------------------------------

bool CMoviePlayDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    IMPlayerDlg::SetSkin(seat, mainWnd, appType);
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    if (!mediapage::MakeLists(m_pListbox[0], m_pListbox[1], MEDIA_KIND_MOVIE, m_pDriveHandler,
                              m_pFileHandler) ||
        !mediapage::MakePlayback(&m_pPlayer, m_pContainer))
        return false;
    if (!LoadSkin())
        return false;
    if (appType == APPTYPE_MOVIE) {
        plat::Rect r;
        if (FileList()->GetRect(&r) == RZ_OK) {
            m_rcVideo[0] = r.left;
            m_rcVideo[1] = r.top;
            m_rcVideo[2] = r.right;
            m_rcVideo[3] = r.bottom;
        }
    }
    return true;
}

bool CMoviePlayDlg::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    if (!CVelkoraAppDlg::LoadSkin())
        return false;
    const mediapage::MediaSkin skin{SkinPath(MV_SKIN_FILE), SkinPath(MV_SKIN_FOLDER),
                                    m_bySeat == 1};
    pageui::LoadBackground(m_pBackground, skin.file, skin.folder);
    for (int i = 0; i < MV_BTN_COUNT; ++i) {
        if (!mediapage::MakeButton(m_pButtons[i], skin, kButtonKeys[i], 1))
            return false;
    }
    // The DVD setup view comes with DVD playing; until then its buttons stay hidden.
    for (int i : {MV_BTN_PAUSE, MV_BTN_SPEED, MV_BTN_SAVE, MV_BTN_EXIT, MV_BTN_DVD_SETUP})
        m_pButtons[i]->Show(0);
    for (int i : {MV_BTN_VOL_ICON, MV_BTN_RATIO, MV_BTN_SPEED}) {
        m_pButtons[i]->SetFixedFrame(1);
        m_pButtons[i]->SetFrame(0);
    }
    m_pButtons[MV_BTN_RATIO]->SetFrame(m_byAspect);
    mediapage::LayOutLists(DriveList(), FileList(), skin);
    const mediapage::Label times[2] = {{10, 15, 300, 24, 14, 164, 164, 164, 1, 0},
                                       {10, 40, 300, 24, 14, 108, 108, 108, 1, 0}};
    for (int i = 0; i < 2; ++i) {
        if (!mediapage::MakeLabelOnce(m_pTimes[i], times[i]))
            return false;
    }
    // The prompt's buttons come from the front section on both seats.
    const char16_t* const promptKeys[2] = {u"Play_Begin", u"Play_Continue"};
    for (int i = 0; i < 2; ++i) {
        if (!mediapage::MakeButton(m_pPromptButtons[i], skin, promptKeys[i], 1, u"Buttons"))
            return false;
    }
    ReleaseAndClear(m_pPromptImage);
    m_pPromptImage = LoadImage(plat::FormatStr(u"%s\\imgbookmark.png", skin.folder.c_str()));
    ReleaseAndClear(m_p51Icon);
    m_p51Icon = LoadImage(plat::FormatStr(u"%s\\51icon.png", skin.folder.c_str()));
    if (!mediapage::MakeLabelOnce(m_pStatusText, {0, 200, 800, 36, 16, 255, 255, 255, 1, 6}))
        return false;
    WriteLog("CMoviePlayDlg: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

void CMoviePlayDlg::SetOwner(CSeatCtrlDlg* owner) {
    IMPlayerDlg::SetOwner(owner);
    if (m_pPlayer)
        m_pPlayer->Init(0, static_cast<uintptr_t>(OwnerWindow()));
}

void CMoviePlayDlg::ShowPlayButton(bool playing) {
    if (IKvButton* b = Button(MV_BTN_PLAY))
        b->Show(playing ? 0 : 1);
    if (IKvButton* b = Button(MV_BTN_PAUSE))
        b->Show(playing ? 1 : 0);
}

void CMoviePlayDlg::ShowVideo(bool show) {
    m_bVideoShown = show ? 1 : 0;
    if (m_pPlayer)
        m_pPlayer->ShowVideo(m_bVideoShown);
    // Without its picture the whole screen would be a black page: the page comes back.
    if (!show && m_bFullScreen) {
        m_bFullScreen = 0;
        InvalidateOwner();
    }
}

// ---- Show ------------------------------------------------------------------------------------

void CMoviePlayDlg::Show(bool visible, uint8_t param) {
    Action(0x70400);
    if (param != 255)
        m_byShowParam = param;
    if (!visible) {
        m_bVisible = 0;
        m_bTicking = 0;
        ShowVideo(false);
        return;
    }
    m_bVisible = 1;
    CKernel* kernel = CKernel::Instance();
    m_dwIdle = plat::GetTickCount();
    UpdateVolume(false);
    m_bTicking = 1;
    if (IHWAudio* mixer = WaveMixer())
        mixer->SelectSource(0, false);
    if (kernel) {
        m_bMute = kernel->m_bMute.load();
        if (IKvButton* b = Button(MV_BTN_VOL_ICON))
            b->SetFrame(m_bMute ? 1 : 0);
    }
    plat::ui::SendMessage(m_hMainWnd, WM_STOP_MUSIC, m_bySeat, 0);
    m_iSeatActionPending = 2;
    const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
    if (!m_bDvdSetupMode && !m_bPrompt &&
        (status == IKvPlayer::STATUS_PLAYING || status == IKvPlayer::STATUS_PAUSED))
        ShowVideo(true);
    if (m_bFirstShow) {
        m_bFirstShow = 0;
        if (m_pDriveHandler && !m_pDriveHandler->Head())
            m_pDriveHandler->ListDrives();
        if (kernel) {
            // The restore of the last run waits for this before it stops asking for the movie.
            if (m_bySeat == 0)
                kernel->m_dwResumeDone |= 0x200;
            m_DriveSnapshot = kernel->GetDriveSnapshot();
            if (kernel->m_Settings.szCurrentMovie[0])
                SelectMovie(kernel->m_Settings.szCurrentMovie);
        }
    }
    m_bFullScreen = 0;
    FitVideoWindow(false, false);
    InvalidateOwner();
}

// ---- Paint -----------------------------------------------------------------------------------

void CMoviePlayDlg::Render(plat::Canvas* hdc) {
    if (m_iDvdOpenPending) {
        CVelkoraAppDlg::Render(hdc);
        if (m_pStatusText) {
            m_pStatusText->SetText(u"Loading DVD ...");
            m_pStatusText->Draw(hdc);
        }
    } else if (m_bPrompt) {
        CVelkoraAppDlg::Render(hdc);
        if (m_pPromptImage) {
            uint32_t w = 0, h = 0;
            m_pPromptImage->GetSize(&w, &h);
            m_pPromptImage->Draw(hdc, 220, 140, static_cast<int>(w), static_cast<int>(h));
        }
        for (IKvButton* button : m_pPromptButtons)
            if (button)
                button->Draw(hdc, 0, 0);
    } else if (m_bFullScreen) {
        // The picture may be narrower or lower than the screen: nothing of the page is left
        // beside it.
        hdc->FillRect(plat::Rect::FromXYWH(0, 0, 800, m_bySeat == 1 ? 600 : 480), 0xFF000000);
    } else {
        CVelkoraAppDlg::Render(hdc);
        if (IKvButton* mute = Button(MV_BTN_VOL_ICON))
            mute->SetFrame(m_bMute ? 1 : 0);
        for (IKvButton* button : m_pButtons)
            if (button)
                button->Draw(hdc, 0, 0);
        if (DriveList())
            DriveList()->Draw(hdc);
        if (FileList() && !m_bVideoShown)
            FileList()->Draw(hdc);
        for (IKvText* text : m_pTimes)
            if (text)
                text->Draw(hdc);
        CKernel* kernel = CKernel::Instance();
        if (kernel && kernel->m_Settings.i51Priority == 1) {
            kernel->Enable51Priority();
            if (m_p51Icon) {
                uint32_t w = 0, h = 0;
                m_p51Icon->GetSize(&w, &h);
                m_p51Icon->Draw(hdc, 150, 18, static_cast<int>(w), static_cast<int>(h));
            }
        }
    }
    if (m_bActionReady && m_byPending == MV_BTN_RET_MENU) {
        m_bActionReady = 0;
        m_byPending = MV_BTN_NONE;
        // Not pressed any more when the page shows again.
        if (IKvButton* b = Button(MV_BTN_RET_MENU))
            b->SetNormal();
        RunButton(MV_BTN_RET_MENU);
    }
    if (m_iSeatActionPending == 2) {
        m_iSeatActionPending = 0;
        plat::ui::SendMessage(m_hMainWnd, WM_SEAT_ACTION, m_bySeat, 0x20002);
    }
}

void CMoviePlayDlg::PostRender() {
    if (m_iDvdOpenPending) {
        OpenPendingDvd();
        return;
    }
    if (!m_bActionReady || m_byPending == MV_BTN_NONE)
        return;
    const int button = m_byPending;
    m_bActionReady = 0;
    m_byPending = MV_BTN_NONE;
    if (IKvButton* b = Button(button))
        b->SetNormal();
    if (button == MV_BTN_PLAY_BEGIN || button == MV_BTN_PLAY_CONTINUE) {
        RunPromptChoice(button == MV_BTN_PLAY_CONTINUE);
        InvalidateOwner();
        return;
    }
    RunButton(button);
    InvalidateOwner();
}

// ---- Pen -------------------------------------------------------------------------------------

void CMoviePlayDlg::OnLButtonDown(int x, int y) {
    m_dwIdle = plat::GetTickCount();
    m_bPenDown = 1;
    m_iPenX = x;
    m_iPenY = y;
    m_iLongPress = 0;
    if (m_bPrompt) {
        for (IKvButton* button : m_pPromptButtons)
            if (button && button->OnLButtonDown(x, y) == RZ_HIT) {
                button->SetPressed();
                InvalidateOwner();
                break;
            }
        return;
    }
    if (m_bFullScreen)
        return;
    for (int i = 0; i < MV_BTN_COUNT; ++i) {
        if (!m_pButtons[i] || m_pButtons[i]->OnLButtonDown(x, y) != RZ_HIT)
            continue;
        if ((i == MV_BTN_RATIO || i == MV_BTN_DVD_SETUP) && m_bySpeed != 0) {
            StepSpeed(true);
            m_byPending = MV_BTN_NONE;
            return;
        }
        m_pButtons[i]->SetPressed();
        m_byPending = static_cast<uint8_t>(i);
        m_bActionReady = 0;
        InvalidateOwner();
        return;
    }
    m_byPending = MV_BTN_NONE;
    const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
    const bool pausedVideo = status == IKvPlayer::STATUS_PAUSED && m_bVideoShown;
    uint8_t action = 0;
    if (DriveList() && !pausedVideo)
        DriveList()->OnLButtonDown(x, y, &action);
    // The file list hides under a paused video: the tap there takes the video away first.
    // Otherwise, playing or not, the list needs the pen-down for a tap on a row to count.
    if (pausedVideo) {
        ShowVideo(false);
    } else if (FileList()) {
        action = 0;
        FileList()->OnLButtonDown(x, y, &action);
    }
    InvalidateOwner();
}

void CMoviePlayDlg::OnMouseMove(int x, int y) {
    IMPlayerDlg::OnMouseMove(x, y);
    // The disc menu highlights the button under the pen.
    if (IsDvd() && m_bVideoShown && !m_bDvdSetupMode)
        m_pPlayer->DvdMouse(0x200, x, y);
}

void CMoviePlayDlg::OnLButtonUp(int x, int y) {
    // A release whose press went to another page (the homepage's icon that opened this one)
    // must not reach a disc menu or a list that happens to lie under it.
    const bool ownGesture = m_bPenDown != 0;
    m_bPenDown = 0;
    if (!ownGesture)
        return;
    if (m_bPrompt) {
        for (int i = 0; i < 2; ++i) {
            IKvButton* button = m_pPromptButtons[i];
            if (!button || !button->IsVisible())
                continue;
            const bool hit = button->OnLButtonUp(x, y) == RZ_HIT;
            button->SetNormal();
            if (hit) {
                m_byPending =
                    static_cast<uint8_t>(i == 0 ? MV_BTN_PLAY_BEGIN : MV_BTN_PLAY_CONTINUE);
                m_bActionReady = 1;
            }
        }
        InvalidateOwner();
        return;
    }
    // A menu button under the pen takes the release and nothing else does.
    if (IsDvd() && m_bVideoShown && !m_bDvdSetupMode && m_pPlayer->DvdMouse(0x202, x, y) == RZ_OK) {
        m_dwIdle = plat::GetTickCount();
        return;
    }
    if (m_bFullScreen) {
        FitVideoWindow(false, true);
        m_dwIdle = plat::GetTickCount();
        return;
    }
    bool onButton = false;
    for (int i = 0; i < MV_BTN_COUNT; ++i) {
        if (!m_pButtons[i] || m_pButtons[i]->OnLButtonUp(x, y) != RZ_HIT)
            continue;
        onButton = true;
        if (m_byPending == i)
            m_bActionReady = 1;
        else
            m_byPending = static_cast<uint8_t>(i);
        break;
    }
    if (!onButton) {
        const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
        uint8_t action = 0;
        if (status == IKvPlayer::STATUS_PAUSED && m_bVideoShown) {
            ShowVideo(false);
        } else {
            if (DriveList())
                DriveList()->OnLButtonUp(x, y, &action);
            if (action == KvUserInterface::LISTBOX_ACTION_ROW) {
                OnDriveListTap();
            } else if (action == KvUserInterface::LISTBOX_ACTION_NONE && FileList()) {
                FileList()->OnLButtonUp(x, y, &action);
                if (action == KvUserInterface::LISTBOX_ACTION_ROW && m_bDvdSetupMode) {
                    OnSetupOption(ListCurrent(FileList()));
                } else if (action == KvUserInterface::LISTBOX_ACTION_ROW) {
                    m_dwIdle = plat::GetTickCount();
                    m_byPending = MV_BTN_PLAY;
                    m_bActionReady = 1;
                }
            }
        }
    }
    for (IKvButton* button : m_pButtons) {
        uint8_t state = 0;
        if (button && button->GetState(&state) == RZ_OK &&
            state == KvUserInterface::BUTTON_PRESSED &&
            !(m_bActionReady && button == Button(m_byPending)))
            button->SetNormal();
    }
    InvalidateOwner();
}

void CMoviePlayDlg::OnDriveListTap() {
    const int index = ListCurrent(DriveList());
    const UI_LIST_ROW* current = ListRowAt(DriveList());
    if (!current || !m_pDriveHandler || !m_pFileHandler)
        return;
    const UI_LIST_ROW row = *current;
    if (m_bDvdSetupMode) {
        m_iSetupRow = index;
        FillSetupOptions();
        InvalidateOwner();
        return;
    }
    const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
    const bool playing = status == IKvPlayer::STATUS_PLAYING;
    if (!playing && !m_bDvdSetupMode)
        ShowVideo(false);
    if (index == 0 && m_pDriveHandler->Inside()) {
        m_pDriveHandler->GoUp();
        m_iFolderDepth = static_cast<int>(m_pDriveHandler->Depth());
        if (const UI_LIST_ROW* head = m_pDriveHandler->Head())
            m_pFileHandler->FillFolder(head->szFolder);
    } else if (m_pDriveHandler->Inside()) {
        m_pFileHandler->FillFolder(row.szFolder);
    } else if (plat::StrCmp(row.szName, u"DVD") == 0) {
        // A video disc is played as a whole: its one row opens it.
        m_pFileHandler->FillFolder(ROW_PLAY_DVD);
    } else if (plat::StrCmp(row.szName, u"VCD") == 0) {
        m_pFileHandler->FillFolder(ROW_PLAY_VCD);
    } else {
        m_iFolderDepth = 1;
        m_pDriveHandler->EnterSelected();
        if (const UI_LIST_ROW* head = m_pDriveHandler->Head())
            m_pFileHandler->FillFolder(head->szFolder);
        BuildAllPlaylist();
    }
    if (playing || status == IKvPlayer::STATUS_PAUSED)
        SelectPlayingRow();
    InvalidateOwner();
}

void CMoviePlayDlg::SelectPlayingRow() {
    if (!FileList())
        return;
    const int count = ListCount(FileList());
    for (int i = 0; i < count; ++i) {
        const UI_LIST_ROW* r = ListRowAt(FileList(), i);
        if (r && r->wKind == ROW_FILE &&
            SamePath(JoinWide(r->szFolder, r->szName), m_strCurrentPath)) {
            FileList()->SetCurrentIndex(i);
            FileList()->SetFlag(0);
            return;
        }
    }
    FileList()->SetFlag(1);
}

// ---- Playlists -------------------------------------------------------------------------------

void CMoviePlayDlg::BuildAllPlaylist() {
    if (!m_pContainer)
        return;
    ReleaseAndClear(m_pAllPlaylist);
    if (m_pContainer->NewPlaylist(&m_pAllPlaylist) != RZ_OK || !m_pAllPlaylist)
        return;
    // Each file once: the listed folder may also be a row of the drive list.
    std::vector<std::u16string> added;
    auto add = [&](const std::u16string& name, const std::u16string& folder) {
        // A DVD folder's start file is no film to open: it plays as a disc from its own row.
        if (IsDvdFolderStart(name))
            return;
        const std::u16string path = JoinWide(folder, name);
        for (const std::u16string& p : added)
            if (SamePath(p, path))
                return;
        added.push_back(path);
        m_pAllPlaylist->AddItem(name.c_str(), folder.c_str());
    };
    const int files = ListCount(FileList());
    for (int i = 0; i < files; ++i) {
        const UI_LIST_ROW* r = ListRowAt(FileList(), i);
        if (r && r->wKind == ROW_FILE && plat::StrCmp(r->szName, ROW_NO_FILES) != 0 &&
            plat::StrCmp(r->szName, ROW_PLAY_DVD) != 0 &&
            plat::StrCmp(r->szName, ROW_PLAY_VCD) != 0)
            add(r->szName, r->szFolder);
    }
    const int drives = ListCount(DriveList());
    const bool inside = m_pDriveHandler && m_pDriveHandler->Inside();
    for (int i = inside ? 1 : 0; i < drives; ++i) {
        const UI_LIST_ROW* r = ListRowAt(DriveList(), i);
        if (!r || !r->szFolder[0])
            continue;
        const std::u16string folder = r->szFolder;
        for (const std::u16string& name : MovieFilesOf(folder))
            add(name, folder);
    }
    if (const UI_LIST_ROW* r = ListRowAt(FileList()))
        MakeCurrent(m_pAllPlaylist, r->szName, r->szFolder);
}

// ---- Playing ---------------------------------------------------------------------------------

void CMoviePlayDlg::UseSavedPosition(const std::u16string& path, bool fromList) {
    CKernel* kernel = CKernel::Instance();
    // The place kept at the end of the last run is the front seat's film's.
    if (!kernel || m_bySeat != 0)
        return;
    int64_t& saved = kernel->m_Settings.llMoviePosition;
    if (saved == 0)
        return;
    // Only the film it was kept for goes on from there; any other film starts at its
    // beginning and the place is dropped.
    const bool ours = fromList && saved > 0 && SamePath(path, kernel->m_Settings.szCurrentMovie);
    if (ours) {
        WriteLog("MEDIA_POSITION: %lld", static_cast<long long>(saved));
        m_pPlayer->SetPosition(saved);
    }
    // While a disc or stick that has just come is being started, the drive refresh starts the
    // same film again: the place stays for that start.
    if (!ours || !(m_bAutoPlayPending || m_bRefreshPending))
        saved = 0;
}

bool CMoviePlayDlg::StartPath(const std::u16string& path, uint32_t action, int bytes,
                              bool fromList) {
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || !kernel)
        return false;
    if (m_bySpeed)
        StepSpeed(true);
    const std::u16string native = plat::Utf8ToUtf16(plat::NativePath(path));
    if (m_pPlayer->OpenFile(native.c_str(), IKvPlayer::MEDIA_FILE) != RZ_OK) {
        WriteLog("Movie: cannot open %s", plat::Utf16ToUtf8(path).c_str());
        ShowPlayButton(false);
        return false;
    }
    UseSavedPosition(path, fromList);
    m_dwIdle = plat::GetTickCount();
    Action(action, &path, bytes);
    SetStatus(MV_STATUS_PLAYING);
    if (m_pPlayer->Play() != RZ_OK) {
        ShowPlayButton(false);
        return false;
    }
    m_strCurrentPath = path;
    if (path.size() < SYS_PATH_CHARS)
        plat::StrCopy(kernel->m_Settings.szCurrentMovie, path);
    kernel->m_Settings.iMediaType = 2;
    kernel->m_Settings.byMediaSeat = m_bySeat;
    SaveSettings();
    ShowPlayButton(true);
    m_bPlayDriveRow = false;
    if (const UI_LIST_ROW* drive = ListRowAt(DriveList())) {
        m_PlayDriveRow = *drive;
        m_bPlayDriveRow = true;
    }
    FitVideoWindow(m_bFullScreen != 0, false);
    ShowVideo(m_bVisible != 0);
    InvalidateOwner();
    return true;
}

bool CMoviePlayDlg::PlayFromList() {
    m_bFolderDvd = 0;
    const UI_LIST_ROW* current = ListRowAt(FileList());
    if (!current || current->wKind != ROW_FILE || !m_pContainer)
        return false;
    const UI_LIST_ROW row = *current;
    const std::u16string name = row.szName;
    if (name == ROW_NO_FILES || name == ROW_PLAY_DVD || name == ROW_PLAY_VCD)
        return false;
    const std::u16string folder = row.szFolder;
    LogPlay(JoinWide(folder, name));
    if (IsDvdFolderStart(name)) {
        PlayDvdFolder(JoinWide(folder, name));
        return m_pPlayer && m_pPlayer->GetStatus() == IKvPlayer::STATUS_PLAYING;
    }
    if (!m_pFolderPlaylist) {
        const std::u16string title = u"(sysfolder)" + folder;
        if (m_pContainer->CreatePlaylist(title.c_str(), &m_pFolderPlaylist, nullptr) != RZ_OK ||
            !m_pFolderPlaylist)
            return false;
        m_pFolderPlaylist->AddRef();
    }
    if (!SamePath(m_strFolderOfPlaylist, folder)) {
        m_pFolderPlaylist->RemoveAll();
        const int count = ListCount(FileList());
        for (int i = 0; i < count; ++i)
            if (const UI_LIST_ROW* r = ListRowAt(FileList(), i))
                m_pFolderPlaylist->AddItem(r->szName, r->szFolder);
        m_strFolderOfPlaylist = folder;
    }
    if (!m_pAllPlaylist)
        BuildAllPlaylist();
    MakeCurrent(m_pFolderPlaylist, name, folder);
    MakeCurrent(m_pAllPlaylist, name, folder);
    const std::u16string path = JoinWide(folder, name);
    if (!StartPath(path, 0x10070103, 1024, true))
        return false;
    FileList()->SetFlag(0);
    m_bPlayEvent = true;
    return true;
}

void CMoviePlayDlg::PlayPause() {
    if (m_bySpeed)
        StepSpeed(true);
    const UI_LIST_ROW* row = ListRowAt(FileList());
    if (row && plat::StrCmp(row->szName, ROW_PLAY_DVD) == 0) {
        PlayDvdRow();
        return;
    }
    if (row && plat::StrCmp(row->szName, ROW_PLAY_VCD) == 0) {
        PlayVcdRow();
        return;
    }
    // A DVD folder plays on from its own row.
    const uint16_t now = m_pPlayer ? m_pPlayer->GetStatus() : 0;
    if (row && m_bFolderDvd && IsDvd() &&
        (now == IKvPlayer::STATUS_PLAYING || now == IKvPlayer::STATUS_PAUSED) &&
        IsDvdFolderStart(row->szName) &&
        SamePath(JoinWide(row->szFolder, row->szName), m_strCurrentPath)) {
        PlayDvdRow();
        return;
    }
    const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
    const bool open = status == IKvPlayer::STATUS_PLAYING || status == IKvPlayer::STATUS_PAUSED ||
                      status == IKvPlayer::STATUS_STOPPED;
    if (!row || !m_pPlayer)
        return;
    const std::u16string path = JoinWide(row->szFolder, row->szName);
    if (!open || !SamePath(path, m_strCurrentPath)) {
        PlayFromList();
        return;
    }
    if (status == IKvPlayer::STATUS_PAUSED) {
        Action(0x70103);
        ToggleStatus();
        if (m_pPlayer->Play() != RZ_OK) {
            ShowPlayButton(false);
        } else {
            ShowPlayButton(true);
            ShowVideo(m_bVisible != 0);
        }
    } else {
        Action(0x70203);
        ToggleStatus();
        m_pPlayer->Pause();
        ShowPlayButton(false);
        ShowVideo(false);
    }
    InvalidateOwner();
}

void CMoviePlayDlg::PreviousItem() {
    StepItem(false);
}

void CMoviePlayDlg::HandleNextSect() {
    StepItem(true);
}

void CMoviePlayDlg::StepItem(bool forward) {
    if (m_bySpeed)
        StepSpeed(true);
    if (IsDvd() || IsVcd()) {
        if (m_pPlayer->GetStatus() == IKvPlayer::STATUS_PLAYING) {
            Action((forward ? 0x70600 : 0x70500) | (IsDvd() ? 1 : 2));
            if (forward)
                m_pPlayer->Forward();
            else
                m_pPlayer->Backward();
        }
        return;
    }
    if (!ListRowAt(DriveList()) || !m_pAllPlaylist)
        return;
    char16_t* name = nullptr;
    char16_t* folder = nullptr;
    uint8_t type = 0;
    const RZRESULT got = forward ? m_pAllPlaylist->NextItem(&name, &folder, &type, 1)
                                 : m_pAllPlaylist->PrevItem(&name, &folder, &type, 1);
    if (got != RZ_OK || !name || !folder) {
        if (forward)
            WriteLog("HandleNextSect():m_pAllPlaylist->NextItem() failed");
        return;
    }
    const std::u16string path = JoinWide(folder, name);
    if (StartPath(path, 0x10070103, 1024)) {
        FitVideoWindow(false, false);
        SelectPlayingRow();
    }
}

void CMoviePlayDlg::StepSpeed(bool reset) {
    if (reset) {
        m_bySpeed = 0;
    } else {
        ++m_bySpeed;
        // Fast play of files stops at double speed; a DVD goes up to three steps.
        if (m_bySpeed > (IsDvd() ? 3 : 1))
            m_bySpeed = 0;
    }
    double rate = static_cast<double>(1 << m_bySpeed);
    if (rate > 4)
        rate = 6;
    // A disc the player cannot play faster goes on at normal speed: the page then shows no
    // speed and mutes nothing.
    bool rateSet = false;
    if (m_bySpeed != 0 && IsDvd() && m_pPlayer) {
        rateSet = true;
        if (m_pPlayer->SetRate(rate) != RZ_OK) {
            WriteLog("DVD: no fast play on this disc");
            m_bySpeed = 0;
            rate = 1;
            rateSet = false;
        }
    }
    if (IHWAudio* mixer = WaveMixer())
        mixer->MuteWaveOut(m_bySpeed != 0);
    if (IKvButton* b = Button(MV_BTN_SPEED_ICON))
        b->Show(m_bySpeed == 0 ? 1 : 0);
    if (IKvButton* b = Button(MV_BTN_SPEED)) {
        b->Show(m_bySpeed == 0 ? 0 : 1);
        if (m_bySpeed)
            b->SetFrame(m_bySpeed - 1);
    }
    Action(0x70700 | m_bySpeed);
    if (m_pPlayer && !rateSet)
        m_pPlayer->SetRate(rate);
    InvalidateOwner();
}

void CMoviePlayDlg::StepAspect() {
    m_byAspect = static_cast<uint8_t>(m_byAspect >= 2 ? 0 : m_byAspect + 1);
    if (IKvButton* b = Button(MV_BTN_RATIO))
        b->SetFrame(m_byAspect);
    AspectFit();
    InvalidateOwner();
}

void CMoviePlayDlg::Stop() {
    if (m_bySpeed)
        StepSpeed(true);
    if (m_pPlayer) {
        const uint16_t status = m_pPlayer->GetStatus();
        if (status != IKvPlayer::STATUS_STOPPED && status != IKvPlayer::STATUS_NONE) {
            Action(0x70300);
            m_pPlayer->Stop();
        }
    }
    SetStatus(0);
    m_strCurrentPath.clear();
    ShowPlayButton(false);
    ShowVideo(false);
    // The setup view belongs to a disc that plays.
    if (!m_bDvdSetupMode)
        if (IKvButton* b = Button(MV_BTN_DVD_SETUP))
            b->Show(0);
}

void CMoviePlayDlg::StopAll() {
    // A prompt left up would ask about a disc that is no longer open.
    m_bPrompt = 0;
    m_iDvdOpenPending = 0;
    Stop();
    Action(0x70300);
    if (m_pPlayer)
        m_pPlayer->Close();
    ShowVideo(false);
    ShowPlayButton(false);
    ReleasePlaylists();
}

void CMoviePlayDlg::PauseIfPlaying(bool leaveVideo) {
    if (!m_pPlayer || m_pPlayer->GetStatus() != IKvPlayer::STATUS_PLAYING)
        return;
    PlayPause();
    if (leaveVideo)
        ShowVideo(false);
    FitVideoWindow(false, true);
}

void CMoviePlayDlg::RunButton(int button) {
    if (button <= MV_BTN_VOL_DEL)
        UpdateVolume(false);
    const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
    switch (button) {
        case MV_BTN_VOL_ADD:
            StepVolume(1, Button(MV_BTN_VOL_ICON), this);
            break;
        case MV_BTN_VOL_ICON:
            StepVolume(0, Button(MV_BTN_VOL_ICON), this);
            break;
        case MV_BTN_VOL_DEL:
            StepVolume(-1, Button(MV_BTN_VOL_ICON), this);
            break;
        case MV_BTN_PLAY:
        case MV_BTN_PAUSE:
            if (!m_bDvdSetupMode)
                PlayPause();
            break;
        case MV_BTN_PREV:
            if (!m_bDvdSetupMode)
                PreviousItem();
            break;
        case MV_BTN_NEXT:
            if (!m_bDvdSetupMode)
                HandleNextSect();
            break;
        case MV_BTN_SPEED:
        case MV_BTN_SPEED_ICON:
            if (!m_bDvdSetupMode && status == IKvPlayer::STATUS_PLAYING)
                StepSpeed(false);
            break;
        case MV_BTN_SOUND_EFFECT:
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, 0x20014);
            break;
        case MV_BTN_RET_MENU:
            if (status == IKvPlayer::STATUS_PAUSED && m_pPlayer) {
                SetStatus(0);
                m_pPlayer->Close();
                ShowPlayButton(false);
            }
            Action(0x70800);
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, 0x20000);
            ShowVideo(false);
            break;
        case MV_BTN_RATIO:
            StepAspect();
            break;
        case MV_BTN_DVD_SETUP:
            if (IsDvd() && !m_bDvdSetupMode)
                OpenDvdSetup();
            break;
        case MV_BTN_SAVE:
            SaveDvdSetup();
            break;
        case MV_BTN_EXIT:
            OnBack();
            break;
        default:
            break;
    }
    InvalidateOwner();
}

void CMoviePlayDlg::KeyHandler(int command) {
    // The setup view and the prompt take only the pen.
    if (m_bDvdSetupMode || m_bPrompt)
        return;
    m_dwIdle = plat::GetTickCount();
    const bool playing = m_pPlayer && m_pPlayer->GetStatus() == IKvPlayer::STATUS_PLAYING;
    const int count = ListCount(FileList());
    int index = ListCurrent(FileList());
    switch (command) {
        case 0x1002:
        case 0x2010:
            if (playing)
                PreviousItem();
            else if (count > 0)
                FileList()->SetCurrentIndex(index <= 0 ? count - 1 : index - 1);
            break;
        case 0x1003:
        case 0x2000:
            if (playing)
                HandleNextSect();
            else if (count > 0)
                FileList()->SetCurrentIndex(index + 1 >= count ? 0 : index + 1);
            break;
        case 0x1046:
            if (m_bVisible) {
                m_byPending = MV_BTN_PLAY;
                m_bActionReady = 1;
            } else {
                PlayPause();
            }
            break;
        default:
            break;
    }
    InvalidateOwner();
}

// ---- Video window ----------------------------------------------------------------------------

void CMoviePlayDlg::FitVideoWindow(bool fullScreen, bool repaint) {
    if (!m_pPlayer)
        return;
    uint32_t w = 0, h = 0;
    const bool sized = m_pPlayer->GetVideoSize(&w, &h) == RZ_OK && w > 0 && h > 0;
    int iw = static_cast<int>(w), ih = static_cast<int>(h);
    if (fullScreen) {
        m_Area[0] = 0;
        m_Area[1] = 0;
        m_Area[2] = 800;
        m_Area[3] = m_bySeat == 1 ? 600 : 480;
        RZRESULT placed = RZ_FAIL;
        if (!sized) {
            placed = m_pPlayer->SetVideoPos(0, 0, 800, m_Area[3]);
        } else {
            if (IsDvd())
                FitDvdSize(iw, ih);
            else
                FitVideoSize(800, m_Area[3], true, iw, ih);
            placed = m_pPlayer->SetVideoPos((800 - iw) / 2, (m_Area[3] - ih) / 2, iw, ih);
        }
        if (placed != RZ_OK) {
            // The picture stayed where it was: the page stays too, and a tap on it is the
            // page's, not a way back from a full screen nobody sees.
            m_bFullScreen = 0;
            if (repaint)
                InvalidateOwner();
            return;
        }
        m_bFullScreen = 1;
    } else {
        const int W = m_rcVideo[2] - m_rcVideo[0];
        const int H = m_rcVideo[3] - m_rcVideo[1];
        m_Area[0] = m_rcVideo[0];
        m_Area[1] = m_rcVideo[1];
        m_Area[2] = W;
        m_Area[3] = H;
        if (!sized) {
            KvMultimedia::KvRect r = {m_rcVideo[0], m_rcVideo[1], m_rcVideo[2], m_rcVideo[3]};
            m_pPlayer->SetVideoRect(&r);
        } else {
            FitVideoSize(W, H, false, iw, ih);
            m_pPlayer->SetVideoPos(m_rcVideo[0] + (W - iw) / 2, m_rcVideo[1] + (H - ih) / 2, iw,
                                   ih);
        }
        m_bFullScreen = 0;
    }
    if (sized) {
        m_iFittedW = iw;
        m_iFittedH = ih;
        AspectFit();
    }
    if (!m_bVisible)
        ShowVideo(false);
    if (repaint)
        InvalidateOwner();
}

void CMoviePlayDlg::AspectFit() {
    if (!m_bVideoShown || !m_pPlayer || m_iFittedW < 1 || m_iFittedH < 1)
        return;
    int w = m_iFittedW;
    int h = m_byAspect == 1 ? w * 9 / 16 : m_byAspect == 2 ? w * 3 / 4 : m_iFittedH;
    if (h < 1)
        h = 1;
    AspectFitSize(m_bFullScreen != 0, m_Area[2], m_Area[3], w, h);
    m_pPlayer->SetVideoPos(m_Area[0] + (m_Area[2] - w) / 2, m_Area[1] + (m_Area[3] - h) / 2, w, h);
}

// ---- Drives ----------------------------------------------------------------------------------

bool CMoviePlayDlg::SelectDriveRow(const char16_t* name, const char16_t* folder) {
    const int rows = ListCount(DriveList());
    for (int i = 0; i < rows; ++i) {
        const UI_LIST_ROW* r = ListRowAt(DriveList(), i);
        if (r && plat::StrCmp(r->szName, name) == 0) {
            DriveList()->SetCurrentIndex(i);
            m_pFileHandler->FillFolder(folder);
            if (FileList())
                FileList()->SetCurrentIndex(0);
            return true;
        }
    }
    return false;
}

bool CMoviePlayDlg::SelectMovie(const std::u16string& path, bool play) {
    if (!m_pDriveHandler || !m_pFileHandler || path.size() < 4 || path[1] != u':')
        return false;
    while (m_pDriveHandler->Inside())
        m_pDriveHandler->GoUp();
    m_pDriveHandler->ListDrives();
    m_iFolderDepth = 0;
    const size_t sep = path.find_last_of(u"\\/");
    if (sep == std::u16string::npos)
        return false;
    const std::u16string folder = sep == 2 ? path.substr(0, 3) : path.substr(0, sep);
    const std::u16string name = path.substr(sep + 1);
    // The storage place whose folder starts the path.
    const int drives = ListCount(DriveList());
    int drive = -1;
    for (int i = 0; i < drives && drive < 0; ++i) {
        const UI_LIST_ROW* r = ListRowAt(DriveList(), i);
        const size_t n = r ? plat::StrLen(r->szFolder) : 0;
        if (n > 0 && path.size() > n &&
            plat::StrCmpNoCase(std::u16string_view(r->szFolder, n),
                               std::u16string_view(path).substr(0, n)) == 0)
            drive = i;
    }
    if (drive < 0)
        return false;
    DriveList()->SetCurrentIndex(drive);
    m_pDriveHandler->EnterSelected();
    m_iFolderDepth = 1;
    const UI_LIST_ROW* head = m_pDriveHandler->Head();
    if (!head)
        return false;
    std::u16string headFolder = head->szFolder;
    const bool atRoot = SamePath(headFolder, folder) || SamePath(headFolder + u"\\", folder) ||
                        SamePath(headFolder, folder + u"\\");
    m_pFileHandler->FillFolder(atRoot ? headFolder : folder);
    BuildAllPlaylist();
    if (!atRoot) {
        const int rows = ListCount(DriveList());
        for (int i = 1; i < rows; ++i) {
            const UI_LIST_ROW* r = ListRowAt(DriveList(), i);
            if (r && SamePath(r->szFolder, folder)) {
                DriveList()->SetCurrentIndex(i);
                break;
            }
        }
    }
    const int files = ListCount(FileList());
    for (int i = 0; i < files; ++i) {
        const UI_LIST_ROW* r = ListRowAt(FileList(), i);
        if (r && SamePath(r->szName, name)) {
            FileList()->SetCurrentIndex(i);
            if (atRoot || play)
                return PlayFromList();
            return true;
        }
    }
    return false;
}

void CMoviePlayDlg::RefreshDrives() {
    if (!m_pDriveHandler || !m_pFileHandler)
        return;
    auto present = [&](char16_t letter) {
        letter = static_cast<char16_t>(letter | 0x20);
        if (m_DriveSnapshot.chDvd && (m_DriveSnapshot.chDvd | 0x20) == letter)
            return true;
        for (int i = 0; i < m_DriveSnapshot.byCount && i < 24; ++i)
            if ((m_DriveSnapshot.szDrive[i] | 0x20) == letter)
                return true;
        return false;
    };
    // A film whose stick went is closed, and the lists forget that stick. The disc row is
    // looked after by the disc watch.
    if (!m_strCurrentPath.empty() && m_strCurrentPath != ROW_PLAY_DVD &&
        !present(m_strCurrentPath[0])) {
        StopAll();
        if (FileList())
            FileList()->RemoveAll();
    }
    const UI_LIST_ROW* head = m_pDriveHandler->Head();
    if (m_pDriveHandler->Inside() && head && !present(head->szFolder[0])) {
        while (m_pDriveHandler->Inside())
            m_pDriveHandler->GoUp();
        m_iFolderDepth = 0;
        if (FileList())
            FileList()->RemoveAll();
        ReleasePlaylists();
    }
    if (!m_pDriveHandler->Inside())
        m_pDriveHandler->ListDrives();
    CKernel* kernel = CKernel::Instance();
    // A locked MOVIE item on the front homepage keeps discs and sticks from starting.
    if (kernel && m_bySeat == 0) {
        CCfgData* cfg = GetCfgData();
        if (cfg && cfg->AppCellLock(APPTYPE_MOVIE) == 1 && !kernel->m_bLocksFree.load()) {
            m_bAutoPlayArmed = 0;
            InvalidateOwner();
            return;
        }
    }
    if (kernel && m_bAutoPlayArmed && CurrentApp() == APPTYPE_MOVIE) {
        m_bAutoPlayArmed = 0;
        m_dwIdle = plat::GetTickCount();
        if (kernel->m_Settings.iMediaType == 4 && m_DriveSnapshot.chDvd &&
            m_DriveSnapshot.byDiscType == DISC_DVD) {
            if (SelectDriveRow(u"DVD", ROW_PLAY_DVD)) {
                kernel->Enable51Priority();
                PlayDvdRow();
            }
        } else if (kernel->m_Settings.iMediaType == 3 && m_DriveSnapshot.chDvd &&
                   m_DriveSnapshot.byDiscType == DISC_VCD) {
            if (SelectDriveRow(u"VCD", ROW_PLAY_VCD))
                PlayVcdRow();
        } else if (kernel->m_Settings.iMediaType == 2 && kernel->m_Settings.szCurrentMovie[0]) {
            SelectMovie(kernel->m_Settings.szCurrentMovie, true);
        }
    }
    InvalidateOwner();
}

// ---- DVD -------------------------------------------------------------------------------------

bool CMoviePlayDlg::IsDvd() const {
    return m_pPlayer && m_pPlayer->GetMediaType() == IKvPlayer::MEDIA_DVD;
}

void CMoviePlayDlg::PlayDvdRow() {
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || !kernel || m_bDvdSetupMode)
        return;
    const uint16_t status = m_pPlayer->GetStatus();
    const bool open =
        IsDvd() && (status == IKvPlayer::STATUS_PLAYING || status == IKvPlayer::STATUS_PAUSED);
    if (!open || (m_strCurrentPath != ROW_PLAY_DVD && !m_bFolderDvd)) {
        Stop();
        Action(0x70101);
        m_strCurrentPath = ROW_PLAY_DVD;
        plat::StrCopy(kernel->m_Settings.szCurrentMovie, m_strCurrentPath);
        kernel->m_Settings.iMediaType = 4;
        kernel->m_Settings.byMediaSeat = m_bySeat;
        SaveSettings();
        m_iDvdOpenPending = 1;
        InvalidateOwner();
        return;
    }
    if (status == IKvPlayer::STATUS_PLAYING) {
        KvMultimedia::KvDvdDomain domain = KvMultimedia::DVD_DOMAIN_Stop;
        m_pPlayer->GetCurrentDomain(&domain);
        WriteLog("DVD domman:%d", static_cast<int>(domain));
        if (domain == KvMultimedia::DVD_DOMAIN_VideoManagerMenu ||
            domain == KvMultimedia::DVD_DOMAIN_VideoTitleSetMenu) {
            WriteLog("DVD: Activate default button");
            m_pPlayer->ActivateButton();
        } else {
            Action(0x70201);
            ToggleStatus();
            m_pPlayer->Pause();
            ShowPlayButton(false);
        }
        FitVideoWindow(false, false);
    } else {
        Action(0x70101);
        ToggleStatus();
        if (m_pPlayer->Play() != RZ_OK) {
            ShowPlayButton(false);
        } else {
            ShowVideo(m_bVisible != 0);
            ShowPlayButton(true);
        }
    }
    InvalidateOwner();
}

void CMoviePlayDlg::OpenPendingDvd() {
    m_iDvdOpenPending = 0;
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || !kernel)
        return;
    m_bFolderDvd = 0;
    m_strBookmark = DiscBookmark();
    // A disc with a place kept waits for the prompt's choice before it is opened.
    if (!m_strBookmark.empty() && plat::IsRegularFile(plat::NativePath(m_strBookmark))) {
        ShowPrompt();
        return;
    }
    m_bPrompt = 0;
    if (m_pPlayer->OpenDisc(IKvPlayer::MEDIA_DVD) != RZ_OK) {
        m_strCurrentPath.clear();
        plat::ui::MessageBox(OwnerWindow(), u"OpenDVD( ) fail", u"Error", plat::ui::kMbOk);
        InvalidateOwner();
        return;
    }
    kernel->Enable51Priority();
    kernel->m_Settings.i51Priority = 1;
    Action(0x70101);
    SetStatus(MV_STATUS_PLAYING);
    const RZRESULT r = m_pPlayer->Play();
    if (r != RZ_OK) {
        WriteLog("DVD: m_pPlayer->Play() != RZ_OK");
        // An unreadable disc is not left open as if it played.
        m_pPlayer->Close();
        SetStatus(0);
        m_strCurrentPath.clear();
        ShowPlayButton(false);
        plat::ui::MessageBox(OwnerWindow(),
                             plat::FormatStr(u"DVD: m_pPlayer->Play() = %d", static_cast<int>(r)),
                             u"Error", plat::ui::kMbOk);
        InvalidateOwner();
        return;
    }
    m_dwLastSave = plat::GetTickCount();
    FitVideoWindow(m_bFullScreen != 0, true);
    ShowVideo(m_bVisible != 0);
    ShowPlayButton(true);
    if (IKvButton* b = Button(MV_BTN_DVD_SETUP))
        b->Show(1);
    m_bPlayEvent = true;
    InvalidateOwner();
}

std::u16string CMoviePlayDlg::DiscBookmark() const {
    CKernel* kernel = CKernel::Instance();
    char16_t id[128] = {};
    // A disc whose id cannot be read keeps no place: it might be offered another disc's.
    if (!kernel || !kernel->GetDiscId(id, 128) || !id[0])
        return std::u16string();
    return ResumeFilePath(kernel->m_szBaseDir, id);
}

void CMoviePlayDlg::ShowPrompt() {
    CKernel* kernel = CKernel::Instance();
    if (kernel) {
        if (m_pPromptButtons[0])
            m_pPromptButtons[0]->SetTitle(kernel->m_Language[MSG_DVD_PLAY_BEGIN]);
        if (m_pPromptButtons[1])
            m_pPromptButtons[1]->SetTitle(kernel->m_Language[MSG_DVD_PLAY_CONTINUE]);
    }
    ShowVideo(false);
    m_bPrompt = 1;
    InvalidateOwner();
}

bool CMoviePlayDlg::OpenDiscForPrompt() {
    const RZRESULT r = m_pPlayer->OpenDisc(IKvPlayer::MEDIA_DVD);
    if (r != RZ_OK) {
        // The prompt goes: nothing is left to choose for.
        m_bPrompt = 0;
        m_strCurrentPath.clear();
        ShowPlayButton(false);
        plat::ui::MessageBox(OwnerWindow(),
                             r == 0xFF01 ? u"No DVD Codec was found" : u"OpenDVD( ) fail", u"Error",
                             plat::ui::kMbOk);
        return false;
    }
    Action(0x70204);
    ToggleStatus();
    m_pPlayer->Pause();
    return true;
}

void CMoviePlayDlg::RunPromptChoice(bool resume) {
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || !kernel || !m_bPrompt)
        return;
    const bool disc = m_strCurrentPath == ROW_PLAY_DVD;
    if (disc && !OpenDiscForPrompt()) {
        InvalidateOwner();
        return;
    }
    const bool dvd = IsDvd();
    FitVideoWindow(true, false);
    ShowVideo(true);
    kernel->m_Settings.i51Priority = dvd ? 1 : 0;
    if (dvd)
        kernel->Enable51Priority();
    bool fromStart = !resume;
    if (resume) {
        Action(0x70109);
        if (dvd) {
            if (m_pPlayer->LoadBookmark(m_strBookmark.c_str()) != RZ_OK) {
                // A bookmark that cannot be used is dropped; the disc plays from its start.
                WriteLog("Load bookmark fail");
                plat::RemoveFile(plat::NativePath(m_strBookmark));
                fromStart = true;
            } else {
                SetStatus(MV_STATUS_PLAYING);
                if (m_pPlayer->Play() != RZ_OK) {
                    plat::ui::MessageBox(OwnerWindow(), u"Play fail (1)", u"Error",
                                         plat::ui::kMbOk);
                    ShowPlayButton(false);
                    m_bPrompt = 0;
                    InvalidateOwner();
                    return;
                }
            }
        } else {
            int64_t position = 0;
            if (ReadVcdResume(plat::NativePath(m_strBookmark), &position))
                m_pPlayer->SetPosition(position);
            SetStatus(MV_STATUS_PLAYING);
            if (m_pPlayer->Play() != RZ_OK)
                fromStart = true;
        }
    } else {
        Action(0x70108);
    }
    if (fromStart) {
        SetStatus(MV_STATUS_PLAYING);
        if (m_pPlayer->Play() != RZ_OK) {
            ShowPlayButton(false);
            InvalidateOwner();
            return;
        }
    }
    ShowPlayButton(true);
    if (dvd)
        if (IKvButton* b = Button(MV_BTN_DVD_SETUP))
            b->Show(1);
    m_bPrompt = 0;
    m_dwIdle = plat::GetTickCount();
    m_dwLastSave = m_dwIdle;
    m_bPlayEvent = true;
    InvalidateOwner();
}

void CMoviePlayDlg::PlayDvdFolder(const std::u16string& ifoPath) {
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || !kernel)
        return;
    if (m_bySpeed)
        StepSpeed(true);
    m_bFolderDvd = 1;
    const RZRESULT opened = m_pPlayer->OpenDisc(IKvPlayer::MEDIA_DVD);
    if (opened != RZ_OK) {
        m_iDvdOpenPending = 0;
        m_bFolderDvd = 0;
        plat::ui::MessageBox(
            OwnerWindow(), opened == 0xFF01 ? u"No DVD Codec was found" : u"Open DVD file( ) fail",
            u"Error", plat::ui::kMbOk);
        return;
    }
    // The library is handed the folder the letter stands for now.
    m_pPlayer->SetDVDDirectory(plat::Utf8ToUtf16(plat::NativePath(ifoPath)).c_str());
    m_dwIdle = plat::GetTickCount();
    m_strCurrentPath = ifoPath;
    if (ifoPath.size() < SYS_PATH_CHARS)
        plat::StrCopy(kernel->m_Settings.szCurrentMovie, ifoPath);
    kernel->m_Settings.iMediaType = 2;
    m_bPlayDriveRow = false;
    if (const UI_LIST_ROW* drive = ListRowAt(DriveList())) {
        m_PlayDriveRow = *drive;
        m_bPlayDriveRow = true;
    }
    std::u16string id;
    m_strBookmark.clear();
    if (DvdFolderId(plat::NativePath(ifoPath), &id))
        m_strBookmark = ResumeFilePath(kernel->m_szBaseDir, id);
    if (!m_strBookmark.empty() && plat::IsRegularFile(plat::NativePath(m_strBookmark))) {
        m_iDvdOpenPending = 0;
        Action(0x70204);
        ToggleStatus();
        m_pPlayer->Pause();
        ShowPrompt();
        return;
    }
    m_bPrompt = 0;
    Action(0x70103);
    SetStatus(MV_STATUS_PLAYING);
    const RZRESULT r = m_pPlayer->Play();
    if (r != RZ_OK) {
        WriteLog("DVD File: m_pPlayer->Play() != RZ_OK");
        m_pPlayer->Close();
        SetStatus(0);
        m_strCurrentPath.clear();
        m_bFolderDvd = 0;
        ShowPlayButton(false);
        plat::ui::MessageBox(
            OwnerWindow(),
            plat::FormatStr(u"DVD File: m_pPlayer->Play() = %d", static_cast<int>(r)), u"Error",
            plat::ui::kMbOk);
        InvalidateOwner();
        return;
    }
    m_dwLastSave = plat::GetTickCount();
    FitVideoWindow(m_bFullScreen != 0, false);
    ShowVideo(m_bVisible != 0);
    ShowPlayButton(true);
    if (IKvButton* b = Button(MV_BTN_DVD_SETUP))
        b->Show(1);
    FileList()->SetFlag(0);
    kernel->m_Settings.byMediaSeat = m_bySeat;
    SaveSettings();
    m_bPlayEvent = true;
    InvalidateOwner();
}

void CMoviePlayDlg::SelectDiscRow() {
    if (!m_pDriveHandler || !m_pFileHandler || !DriveList())
        return;
    if (m_pDriveHandler->Inside()) {
        while (m_pDriveHandler->Inside())
            m_pDriveHandler->GoUp();
        m_iFolderDepth = 0;
    }
    int rows = ListCount(DriveList());
    int disc = -1;
    for (int i = 0; i < rows && disc < 0; ++i) {
        const UI_LIST_ROW* r = ListRowAt(DriveList(), i);
        if (r && plat::StrCmp(r->szName, u"DVD") == 0)
            disc = i;
    }
    if (disc < 0) {
        m_pDriveHandler->ListDrives();
        rows = ListCount(DriveList());
        for (int i = 0; i < rows && disc < 0; ++i) {
            const UI_LIST_ROW* r = ListRowAt(DriveList(), i);
            if (r && plat::StrCmp(r->szName, u"DVD") == 0)
                disc = i;
        }
    }
    if (disc < 0)
        return;
    DriveList()->SetCurrentIndex(disc);
    m_pFileHandler->FillFolder(ROW_PLAY_DVD);
    if (FileList())
        FileList()->SetCurrentIndex(0);
}

void CMoviePlayDlg::SaveResume() {
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || !kernel || m_strBookmark.empty() ||
        m_pPlayer->GetStatus() != IKvPlayer::STATUS_PLAYING)
        return;
    plat::MakeDirectory(
        plat::NativePath(std::u16string(kernel->m_szBaseDir) + u"\\" MV_RESUME_FOLDER));
    if (IsDvd()) {
        m_pPlayer->SaveBookmark(m_strBookmark.c_str());
        // The disc's row stays in reach while the disc plays.
        const UI_LIST_ROW* drive = ListRowAt(DriveList());
        if (!m_bFolderDvd && !m_bDvdSetupMode &&
            (!drive || plat::StrCmp(drive->szName, u"DVD") != 0)) {
            SelectDiscRow();
            m_strCurrentPath = ROW_PLAY_DVD;
        }
    } else if (IsVcd()) {
        KvMultimedia::KvPlayerTime t = {};
        if (m_pPlayer->GetTime(&t) == RZ_OK)
            WriteVcdResume(plat::NativePath(m_strBookmark), t.llPosition);
    }
}

// ---- Video CD --------------------------------------------------------------------------------

bool CMoviePlayDlg::IsVcd() const {
    return m_pPlayer && m_pPlayer->GetMediaType() == IKvPlayer::MEDIA_VCD;
}

void CMoviePlayDlg::ListVcdSections() {
    m_VcdSections.clear();
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    const DRIVE_SNAPSHOT snap = kernel->GetDriveSnapshot();
    if (!snap.chDvd)
        return;
    const std::u16string folder = plat::FormatStr(u"%c:\\MPEGAV", snap.chDvd);
    std::vector<std::u16string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(plat::NativePath(folder), ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code fe;
        if (it->is_regular_file(fe))
            names.push_back(plat::Utf8ToUtf16(it->path().filename().string()));
    }
    std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
        return plat::StrCmpNoCase(a, b) < 0;
    });
    for (const std::u16string& name : names) {
        if (m_VcdSections.size() >= MV_VCD_SECTIONS) {
            WriteLog("VCD: %d sections, the rest are left out", MV_VCD_SECTIONS);
            break;
        }
        m_VcdSections.push_back(folder + u"\\" + name);
    }
}

void CMoviePlayDlg::PlayVcdRow() {
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || !kernel)
        return;
    kernel->Disable51Priority();
    kernel->m_Settings.i51Priority = 0;
    const uint16_t status = m_pPlayer->GetStatus();
    const std::u16string section =
        m_iVcdIndex >= 0 && m_iVcdIndex < static_cast<int>(m_VcdSections.size())
            ? m_VcdSections[static_cast<size_t>(m_iVcdIndex)]
            : std::u16string();
    const bool open =
        IsVcd() && (status == IKvPlayer::STATUS_PLAYING || status == IKvPlayer::STATUS_PAUSED);
    if (!open || section.empty() || !SamePath(m_strCurrentPath, section)) {
        PlayVcd();
    } else if (status == IKvPlayer::STATUS_PLAYING) {
        Action(0x70202);
        ToggleStatus();
        m_pPlayer->Pause();
        ShowPlayButton(false);
        FitVideoWindow(false, false);
    } else {
        Action(0x70102);
        ToggleStatus();
        if (m_pPlayer->Play() == RZ_OK) {
            ShowPlayButton(true);
            ShowVideo(m_bVisible != 0);
        }
    }
    InvalidateOwner();
}

void CMoviePlayDlg::PlayVcd() {
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || !kernel)
        return;
    ListVcdSections();
    if (m_VcdSections.empty())
        return;
    m_iVcdIndex = 0;
    Stop();
    m_bFolderDvd = 0;
    const std::u16string& first = m_VcdSections[0];
    m_strCurrentPath = first;
    if (first.size() < SYS_PATH_CHARS)
        plat::StrCopy(kernel->m_Settings.szCurrentMovie, first);
    kernel->m_Settings.iMediaType = 3;
    kernel->m_Settings.byMediaSeat = m_bySeat;
    SaveSettings();
    m_strBookmark = DiscBookmark();
    const std::u16string native = plat::Utf8ToUtf16(plat::NativePath(first));
    if (m_pPlayer->OpenFile(native.c_str(), IKvPlayer::MEDIA_VCD) != RZ_OK) {
        WriteLog("VCD: cannot open %s", plat::Utf16ToUtf8(first).c_str());
        m_strCurrentPath.clear();
        ShowPlayButton(false);
        InvalidateOwner();
        return;
    }
    if (!m_strBookmark.empty() && plat::IsRegularFile(plat::NativePath(m_strBookmark))) {
        Action(0x70204);
        ToggleStatus();
        m_pPlayer->Pause();
        ShowPrompt();
        return;
    }
    m_bPrompt = 0;
    Action(0x70102);
    SetStatus(MV_STATUS_PLAYING);
    if (m_pPlayer->Play() != RZ_OK) {
        ShowPlayButton(false);
        InvalidateOwner();
        return;
    }
    m_dwLastSave = plat::GetTickCount();
    m_dwIdle = m_dwLastSave;
    FitVideoWindow(m_bFullScreen != 0, false);
    ShowVideo(m_bVisible != 0);
    ShowPlayButton(true);
    m_bPlayEvent = true;
    InvalidateOwner();
}

// ---- Status ----------------------------------------------------------------------------------

void CMoviePlayDlg::SetStatus(uint32_t word) {
    m_dwStatusWord = word;
    const uint32_t full = word ? (word | (m_bySeat == 1 ? 0x01000000u : 0u)) : 0u;
    if (m_pOwner)
        m_pOwner->m_dwMonitorStatus = full;
    if (CKernel* kernel = CKernel::Instance())
        kernel->SetRegistryDword("Status", full);
}

void CMoviePlayDlg::ToggleStatus() {
    SetStatus(m_dwStatusWord == MV_STATUS_PLAYING ? MV_STATUS_PAUSED : MV_STATUS_PLAYING);
}

void CMoviePlayDlg::CloseAndClear() {
    m_iDvdOpenPending = 0;
    m_bPrompt = 0;
    if (m_pPlayer)
        m_pPlayer->Close();
    if (FileList())
        FileList()->RemoveAll();
    ReleasePlaylists();
    Stop();
    m_bFolderDvd = 0;
    m_bFullScreen = 0;
    InvalidateOwner();
}

void CMoviePlayDlg::OpenDvdSetup() {
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || !kernel || !DriveList() || !FileList())
        return;
    Action(0x70900);
    if (m_pPlayer->GetSubpictureStreams(m_szSubNames, &m_dwSubCount, &m_dwSubCurrent,
                                        &m_iSubDisabled) != RZ_OK ||
        m_pPlayer->GetAudioStreams(m_szAudioNames, &m_dwAudioCount, &m_dwAudioCurrent) != RZ_OK)
        return;
    m_dwSubCount = std::min<uint32_t>(m_dwSubCount, 64);
    m_dwAudioCount = std::min<uint32_t>(m_dwAudioCount, 64);
    m_dwChosenAudio = m_dwAudioCurrent;
    m_dwChosenSub = m_dwSubCurrent;
    m_pPlayer->Pause();
    ShowVideo(false);
    DriveList()->RemoveAll();
    for (int id : {MSG_DVD_AUDIO, MSG_DVD_SUBPICTURE, MSG_DVD_ROOT_MENU})
        AddListRow(DriveList(), kernel->m_Language[id], ROW_NAVIGATION, kernel->m_Language[id],
                   u"");
    DriveList()->SetCurrentIndex(0);
    m_iSetupRow = 0;
    m_bDvdSetupMode = 1;
    FillSetupOptions();
    for (int i : {MV_BTN_DVD_SETUP, MV_BTN_RATIO})
        if (IKvButton* b = Button(i))
            b->Show(0);
    for (int i : {MV_BTN_SAVE, MV_BTN_EXIT})
        if (IKvButton* b = Button(i))
            b->Show(1);
    InvalidateOwner();
}

void CMoviePlayDlg::FillSetupOptions() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !FileList())
        return;
    FileList()->RemoveAll();
    int selected = 0;
    if (m_iSetupRow == 0) {
        for (uint32_t i = 0; i < m_dwAudioCount; ++i)
            AddListRow(FileList(), m_szAudioNames[i], ROW_FILE, m_szAudioNames[i], u"");
        selected = m_dwChosenAudio > m_dwAudioCount ? 0 : static_cast<int>(m_dwChosenAudio);
    } else if (m_iSetupRow == 1) {
        for (uint32_t i = 0; i < m_dwSubCount; ++i)
            AddListRow(FileList(), m_szSubNames[i], ROW_FILE, m_szSubNames[i], u"");
        const char16_t* none = kernel->m_Language[MSG_DVD_NO_SUBPICTURE];
        AddListRow(FileList(), none, ROW_FILE, none, u"");
        selected = m_iSubDisabled                 ? static_cast<int>(m_dwSubCount)
                   : m_dwChosenSub > m_dwSubCount ? 0
                                                  : static_cast<int>(m_dwChosenSub);
    } else if (m_iSetupRow == 2) {
        const char16_t* enter = kernel->m_Language[MSG_DVD_ROOT_MENU_ENTER];
        AddListRow(FileList(), enter, ROW_FILE, enter, u"");
    }
    FileList()->SetCurrentIndex(selected);
}

void CMoviePlayDlg::OnSetupOption(int index) {
    if (index < 0)
        return;
    if (m_iSetupRow == 0) {
        m_dwChosenAudio = static_cast<uint32_t>(index);
    } else if (m_iSetupRow == 1) {
        m_dwChosenSub = static_cast<uint32_t>(index);
    } else if (m_iSetupRow == 2) {
        SaveDvdSetup();
        FitVideoWindow(true, false);
        ShowVideo(true);
        ShowPlayButton(true);
        if (m_pPlayer)
            m_pPlayer->ShowRootMenu();
    }
    InvalidateOwner();
}

void CMoviePlayDlg::SaveDvdSetup() {
    if (IsDvd()) {
        // The row past the streams is "no sub-picture".
        m_pPlayer->SetSubpicture(m_dwChosenSub != m_dwSubCount, m_dwChosenSub);
        m_pPlayer->SelectAudio(m_dwChosenAudio);
        OnBack();
        return;
    }
    m_bDvdSetupMode = 0;
    for (int i : {MV_BTN_DVD_SETUP, MV_BTN_RATIO})
        if (IKvButton* b = Button(i))
            b->Show(1);
    for (int i : {MV_BTN_SAVE, MV_BTN_EXIT})
        if (IKvButton* b = Button(i))
            b->Show(0);
    if (m_pDriveHandler)
        m_pDriveHandler->ListDrives();
    if (const UI_LIST_ROW* r = ListRowAt(DriveList()))
        m_pFileHandler->FillFolder(r->szFolder);
    InvalidateOwner();
}

void CMoviePlayDlg::OnBack() {
    m_bDvdSetupMode = 0;
    for (int i : {MV_BTN_DVD_SETUP, MV_BTN_RATIO})
        if (IKvButton* b = Button(i))
            b->Show(1);
    for (int i : {MV_BTN_SAVE, MV_BTN_EXIT})
        if (IKvButton* b = Button(i))
            b->Show(0);
    Action(0x70100);
    if (!m_pPlayer || m_pPlayer->Play() != RZ_OK) {
        ShowPlayButton(false);
    } else {
        ShowPlayButton(true);
        ShowVideo(true);
    }
    if (m_pDriveHandler) {
        while (m_pDriveHandler->Inside())
            m_pDriveHandler->GoUp();
        m_pDriveHandler->ListDrives();
        m_iFolderDepth = 0;
    }
    const int rows = ListCount(DriveList());
    for (int i = 0; i < rows; ++i) {
        const UI_LIST_ROW* r = ListRowAt(DriveList(), i);
        if (r && plat::StrCmp(r->szName, u"DVD") == 0) {
            DriveList()->SetCurrentIndex(i);
            m_pFileHandler->FillFolder(ROW_PLAY_DVD);
            break;
        }
    }
    FitVideoWindow(true, false);
    InvalidateOwner();
}

int CMoviePlayDlg::CurrentApp() const {
    if (m_pOwner)
        return m_pOwner->m_iCurrentApp;
    CKernel* kernel = CKernel::Instance();
    return kernel ? kernel->m_Settings.iCurrentApp : APPTYPE_HOMEPAGE;
}

void CMoviePlayDlg::RunAutoLaunch() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || m_bySeat != 0)
        return;
    kernel->CheckDiscChange();
    const int code = kernel->m_iAutoLaunch.load();
    if (code == 0) {
        if (!kernel->TakeAutoLaunch(0))
            return;
        WriteLog("Movie :: CD/DVD Clear");
        const bool disc = (IsDvd() && !m_bFolderDvd) || IsVcd() || m_strCurrentPath == ROW_PLAY_DVD;
        if (disc || m_iDvdOpenPending) {
            WriteLog("DVD CLEAR");
            const UI_LIST_ROW* drive = ListRowAt(DriveList());
            const bool discRow = drive && (plat::StrCmp(drive->szName, u"DVD") == 0 ||
                                           plat::StrCmp(drive->szName, u"VCD") == 0);
            CloseAndClear();
            m_VcdSections.clear();
            m_iVcdIndex = 0;
            if (discRow && m_pDriveHandler && !m_pDriveHandler->Inside()) {
                m_pDriveHandler->ListDrives();
                if (const UI_LIST_ROW* row = ListRowAt(DriveList()))
                    m_pFileHandler->FillFolder(row->szFolder);
            }
        }
        return;
    }
    if ((code != 2 && code != 3 && code != 4) || !kernel->TakeAutoLaunch(code))
        return;
    // A call in progress keeps its page.
    if (CurrentApp() == APPTYPE_PHONE || kernel->m_Settings.iCurrentApp == APPTYPE_PHONE)
        return;
    kernel->m_Settings.iMediaType = code == 2 ? 3 : code == 3 ? 4 : 2;
    if (code == 4) {
        const DRIVE_SNAPSHOT snap = kernel->GetDriveSnapshot();
        if (snap.chDvd) {
            const std::u16string root = plat::FormatStr(u"%c:\\", snap.chDvd);
            for (const std::u16string& name : MovieFilesOf(root)) {
                std::u16string lower = name;
                for (char16_t& c : lower)
                    c = plat::ToLowerAscii(c);
                if (lower.find(u".avi") == std::u16string::npos)
                    continue;
                const std::u16string path = root + name;
                if (path.size() < SYS_PATH_CHARS)
                    plat::StrCopy(kernel->m_Settings.szCurrentMovie, path);
                break;
            }
        }
    }
    m_bAutoPlayPending = 1;
    if (CurrentApp() != APPTYPE_MOVIE) {
        plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, 0x20002);
        InvalidateOwner();
    }
}

// ---- Tick ------------------------------------------------------------------------------------

void CMoviePlayDlg::OnTick() {
    if (!m_bFullScreen)
        CVelkoraAppDlg::OnTick();
    const uint32_t now = plat::GetTickCount();
    if (m_bPenDown && now - m_dwLast250 > 250) {
        if (++m_iLongPress >= 2) {
            uint8_t action = 0;
            for (IKvListbox* list : m_pListbox)
                if (list)
                    list->OnLButtonUp(m_iPenX, m_iPenY, &action);
            if (m_byPending == MV_BTN_VOL_ADD || m_byPending == MV_BTN_VOL_DEL)
                RunButton(m_byPending);
        }
    }
    const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
    if (now - m_dwLast1000 > (m_bPrompt ? 3000u : 1000u)) {
        m_dwLast1000 = now;
        RunAutoLaunch();
        if (CKernel* kernel = CKernel::Instance()) {
            const DRIVE_SNAPSHOT snap = kernel->GetDriveSnapshot();
            if (std::memcmp(&snap, &m_DriveSnapshot, sizeof snap) != 0) {
                m_DriveSnapshot = snap;
                if (snap.byDiscType == DISC_VCD)
                    ListVcdSections();
                if (!m_bDvdSetupMode)
                    RefreshDrives();
            }
        }
        if (m_bVisible && status == IKvPlayer::STATUS_PLAYING) {
            KvMultimedia::KvPlayerTime t = {};
            // Whatever the answer: a disc menu has no time, and the player then gives zeros
            // rather than leaving the last film's times up.
            m_pPlayer->GetTime(&t);
            m_pTimes[0]->SetText(t.szCurrent);
            m_pTimes[1]->SetText(t.szTotal);
            // The outside monitor follows the playing time.
            CKernel* kernel = CKernel::Instance();
            if (kernel && m_pOwner && (m_pOwner->m_dwMonitorStatus & 0xFF00)) {
                m_pOwner->m_dwMonitorStatus |= 1;
                kernel->SetRegistryDword("Status", m_pOwner->m_dwMonitorStatus);
                kernel->SetRegistryString("TimeCurrent", t.szCurrent);
            }
            InvalidateOwner();
        }
    }
    if (status == IKvPlayer::STATUS_PLAYING && now - m_dwLastSave > MV_RESUME_SAVE_MS) {
        m_dwLastSave = now;
        SaveResume();
    }
    if (now - m_dwLast250 > 250) {
        m_dwLast250 = now;
        // An inserted disc or stick: out of any folder and stopped, then, a step later, the
        // drives again, which start what the settings name.
        if (m_bAutoPlayPending) {
            m_bAutoPlayPending = 0;
            if (m_pDriveHandler && m_pDriveHandler->Inside()) {
                m_pDriveHandler->GoUp();
                m_iFolderDepth = static_cast<int>(m_pDriveHandler->Depth());
                if (const UI_LIST_ROW* head = m_pDriveHandler->Head())
                    m_pFileHandler->FillFolder(head->szFolder);
            }
            Stop();
            FitVideoWindow(false, false);
            m_bRefreshPending = 1;
        } else if (m_bRefreshPending) {
            m_bRefreshPending = 0;
            m_bAutoPlayArmed = 1;
            RefreshDrives();
        } else {
            HandleDShow();
        }
    }
    // The end of an item may have stopped the player during this tick.
    if (m_bTicking && m_pPlayer && m_pPlayer->GetStatus() == IKvPlayer::STATUS_PLAYING) {
        if (m_bySpeed != 0) {
            m_dwIdle = now;
        } else if (!m_bFullScreen && m_bVideoShown && now - m_dwIdle >= MV_IDLE_FULL_SCREEN_MS) {
            FitVideoWindow(true, true);
            m_dwIdle = now;
        }
    }
}

void CMoviePlayDlg::HandleDShow() {
    if (!m_pPlayer)
        return;
    const uint16_t status = m_pPlayer->HandleEvent();
    if (status == IKvPlayer::STATUS_ERROR) {
        Action(0x70105);
        CloseAndClear();
        WriteLog("MOVIE :: dwStatus == IKvPlayer::STATUS_ERROR");
        return;
    }
    if (m_pPlayer->GetMediaType() == IKvPlayer::MEDIA_NONE) {
        if (m_bVideoShown) {
            Action(0x70106);
            m_strCurrentPath.clear();
            ShowPlayButton(false);
            ShowVideo(false);
            m_bFullScreen = 0;
            InvalidateOwner();
        }
        return;
    }
    if (status != IKvPlayer::STATUS_COMPLETED && status != IKvPlayer::STATUS_NONE)
        return;
    if (IsVcd()) {
        Action(0x70107);
        NextVcdSection();
        return;
    }
    if (IsDvd() || !m_pFolderPlaylist || !m_pAllPlaylist)
        return;
    Action(0x70107);
    // Up to five files are tried; a folder of broken files stops without a word.
    for (int attempt = 0; attempt < MV_NEXT_TRIES; ++attempt) {
        char16_t* name = nullptr;
        char16_t* folder = nullptr;
        uint8_t type = 0;
        if (m_pAllPlaylist->NextItem(&name, &folder, &type, 1) != RZ_OK || !name || !folder) {
            WriteLog("HandleDShow():m_pAllPlaylist->NextItem() failed");
            continue;
        }
        const std::u16string path = JoinWide(folder, name);
        LogPlay(path);
        if (StartPath(path, 0x10070103, 512)) {
            SelectPlayingRow();
            return;
        }
    }
    Stop();
    InvalidateOwner();
}

void CMoviePlayDlg::NextVcdSection() {
    CKernel* kernel = CKernel::Instance();
    if (m_bySpeed)
        StepSpeed(true);
    for (int attempt = 0; attempt < MV_NEXT_TRIES; ++attempt) {
        ++m_iVcdIndex;
        if (m_iVcdIndex >= static_cast<int>(m_VcdSections.size())) {
            // The last section ends the disc: back to the first, stopped.
            Stop();
            FitVideoWindow(false, true);
            m_iVcdIndex = 0;
            return;
        }
        const std::u16string path = m_VcdSections[static_cast<size_t>(m_iVcdIndex)];
        const std::u16string native = plat::Utf8ToUtf16(plat::NativePath(path));
        if (m_pPlayer->OpenFile(native.c_str(), IKvPlayer::MEDIA_VCD) != RZ_OK)
            continue;
        m_strCurrentPath = path;
        if (kernel) {
            if (path.size() < SYS_PATH_CHARS)
                plat::StrCopy(kernel->m_Settings.szCurrentMovie, path);
            kernel->m_Settings.iMediaType = 3;
            kernel->m_Settings.byMediaSeat = m_bySeat;
            SaveSettings();
        }
        Action(0x10070102, &path, 512);
        SetStatus(MV_STATUS_PLAYING);
        if (m_pPlayer->Play() != RZ_OK) {
            ShowPlayButton(false);
            continue;
        }
        ShowPlayButton(true);
        FitVideoWindow(m_bFullScreen != 0, true);
        if (m_bVideoShown)
            ShowVideo(true);
        return;
    }
    Stop();
    InvalidateOwner();
}
