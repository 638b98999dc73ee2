// The movie page: skin, show, paint and pen, the file list's films and their playlists, play and
// pause, previous and next, speed and aspect steps, Video CDs, and the seat's status word.
#include "apps/media/MoviePlayDlg.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "apps/media/MediaPage.h"
#include "apps/media/MovieHelpers.h"
#include "apps/media/MovieResume.h"
#include "core/kernel/HWAudio.h"
#include "core/kernel/Kernel.h"
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
using moviepage::LogPlay;
using moviepage::MakeCurrent;
using moviepage::MovieFilesOf;
using moviepage::SamePath;
using pageui::ReleaseAndClear;

namespace moviepage {

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
    dir->SetPath(folder.c_str());
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

// With the marker file in the base folder, every film started from the list or at the end of
// another is logged.
void LogPlay(const std::u16string& path) {
    if (plat::PathExists(MARKER_PLAY_LOG))
        WriteLog("Play: [%s]", plat::Utf16ToUtf8(path).c_str());
}

// Makes `name` in `folder` the current entry of `playlist`.
void MakeCurrent(IKvPlaylist* playlist, const std::u16string& name, const std::u16string& folder) {
    const int i = mediapage::FindItem(playlist, [&](const char16_t* n, const char16_t* f) {
        return SamePath(JoinWide(f, n), JoinWide(folder, name));
    });
    if (i >= 0)
        playlist->SetCurrentIndex(i);
}

}  // namespace moviepage

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

bool IsDvdFolderStart(const std::u16string& name) {
    return plat::StrCmpNoCase(name, u"VIDEO_TS.IFO") == 0;
}

}  // namespace

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
    // Models without the setup view have no button for it.
    const CKernel* kernel = CKernel::Instance();
    const bool setupView = !kernel || kernel->m_bModelP;
    for (int i = 0; i < MV_BTN_COUNT; ++i) {
        if (i == MV_BTN_DVD_SETUP && !setupView) {
            ReleaseAndClear(m_pButtons[i]);
            continue;
        }
        if (!mediapage::MakeButton(m_pButtons[i], skin, kButtonKeys[i], 1))
            return false;
    }
    for (int i : {MV_BTN_PAUSE, MV_BTN_SPEED, MV_BTN_SAVE, MV_BTN_EXIT})
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

void CMoviePlayDlg::ShowSetupButtons(bool setupView) {
    for (int i : {MV_BTN_DVD_SETUP, MV_BTN_RATIO})
        if (IKvButton* b = Button(i))
            b->Show(setupView ? 0 : 1);
    for (int i : {MV_BTN_SAVE, MV_BTN_EXIT})
        if (IKvButton* b = Button(i))
            b->Show(setupView ? 1 : 0);
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
    ShowSetupButtons(m_bDvdSetupMode != 0);
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
    m_bListPress = 0;
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
    // While a film plays, or its picture lies over the file list, the lists take no tap: a
    // row hidden under the picture must not start another film. A tap on a paused picture
    // takes it away and shows the list again.
    if (status == IKvPlayer::STATUS_PLAYING || m_bVideoShown) {
        if (status == IKvPlayer::STATUS_PAUSED && m_bVideoShown)
            ShowVideo(false);
        InvalidateOwner();
        return;
    }
    uint8_t action = 0;
    if (DriveList())
        DriveList()->OnLButtonDown(x, y, &action);
    if (FileList()) {
        action = 0;
        FileList()->OnLButtonDown(x, y, &action);
    }
    m_bListPress = 1;
    InvalidateOwner();
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
        if (m_bVideoShown || !m_bListPress) {
            // The picture takes the tap, not the rows under it; paused, it goes away. A tap
            // whose press the lists did not have is not theirs either.
            if (m_bVideoShown && status == IKvPlayer::STATUS_PAUSED)
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
    if (m_pPlayer->OpenFile(path.c_str(), IKvPlayer::MEDIA_FILE) != RZ_OK) {
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
    // Shown before the fit, which gives only a shown picture its aspect.
    ShowVideo(m_bVisible != 0);
    FitVideoWindow(m_bFullScreen != 0, false);
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
        // A disc's menu has no time to go through fast, nor a title whose disc forbids it.
        if (m_bySpeed == 0 && IsDvd() && !DvdAllowsFastPlay())
            return;
        ++m_bySpeed;
        // Fast play of files stops at double speed; a DVD goes up to three steps.
        if (m_bySpeed > (IsDvd() ? 3 : 1))
            m_bySpeed = 0;
    }
    double rate = static_cast<double>(1 << m_bySpeed);
    if (rate > 4)
        rate = 6;
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
    if (m_pPlayer)
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
    if (m_pPlayer->OpenFile(first.c_str(), IKvPlayer::MEDIA_VCD) != RZ_OK) {
        WriteLog("VCD: cannot open %s", plat::Utf16ToUtf8(first).c_str());
        m_strCurrentPath.clear();
        ShowPlayButton(false);
        InvalidateOwner();
        return;
    }
    if (PromptForBookmark())
        return;
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
    // Shown before the fit, which gives only a shown picture its aspect.
    ShowVideo(m_bVisible != 0);
    FitVideoWindow(m_bFullScreen != 0, false);
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
