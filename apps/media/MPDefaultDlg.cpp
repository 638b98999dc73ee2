// The music page: its skin, views, pen, browsing of drives, folders and playlists, the tick's
// drive and disc work, and its paint. Playback and playlist editing are in MPDefaultPlayback.cpp.
#include "apps/media/MPDefaultDlg.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "apps/media/MediaPage.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/HWAudio.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Drives.h"
#include "platform/text/Text.h"

using KvMultimedia::IKvPlayer;
using KvMultimedia::IKvPlaylist;
using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;
using KvUserInterface::IKvText;

namespace {

struct BUTTON_DEF {
    const char16_t* key;
    uint8_t group;  // first button of its press group; MP_BTN_NONE for none
    uint8_t last;   // last button of the group
    uint8_t shown;
};

const BUTTON_DEF kButtons[MP_BTN_COUNT] = {
    {u"Vol-Add", 0, 6, 1},
    {u"Vol-Icon", 0, 6, 1},
    {u"Vol-Del", 0, 6, 1},
    {u"Previous-File", 0, 6, 1},
    {u"Play", 0, 6, 1},
    {u"Pause", 0, 6, 0},
    {u"Next-File", 0, 6, 1},
    {u"Repeat", 7, 9, 1},
    {u"Sound-Effect", 7, 9, 1},
    {u"Ret-Menu", 7, 9, 1},
    {u"Source", 10, 11, 0},
    {u"Play-List", 10, 11, 0},
    {u"Add-List", 12, 13, 0},
    {u"Edit-List", 12, 13, 0},
    {u"Del-List", MP_BTN_NONE, 0, 0},
    {u"Edit-List-Name", MP_BTN_NONE, 0, 0},
    {u"Add-File", MP_BTN_NONE, 0, 0},
    {u"Del-File", MP_BTN_NONE, 0, 0},
    {u"Save", MP_BTN_NONE, 0, 0},
    {u"Exit", MP_BTN_NONE, 0, 0},
};

using pageui::ReleaseAndClear;

bool SameRow(const UI_LIST_ROW& a, const UI_LIST_ROW& b) {
    return plat::StrCmp(a.szName, b.szName) == 0 && plat::StrCmp(a.szFolder, b.szFolder) == 0;
}

using mediapage::FolderOf;
using mediapage::JoinWide;
using mediapage::ListCount;
using mediapage::ListCurrent;
using mediapage::NameOf;
using mediapage::SameFolder;

using mediapage::FindItem;
using mediapage::FindRow;
using mediapage::ListCountOf;

}  // namespace

CMPDefaultDlg::CMPDefaultDlg() : m_Random(static_cast<uint32_t>(std::time(nullptr))) {}

CMPDefaultDlg::~CMPDefaultDlg() {
    ReleaseAll();
}

void CMPDefaultDlg::ReleaseAll() {
    // The list boxes hold the handlers: they go first.
    if (m_pPlayer) {
        m_pPlayer->Close();
        ReleaseAndClear(m_pPlayer);
    }
    ReleaseAndClear(m_pPlayingList);
    ReleaseAndClear(m_pFolderList);
    ReleaseAndClear(m_pContainer);
    ReleaseAndClear(m_pButtons);
    ReleaseAndClear(m_pTexts);
    ReleaseAndClear(m_pPlaylistBox);
    ReleaseAndClear(m_pListbox);
    m_pDriveHandler.reset();
    m_pFileHandler.reset();
    m_pPlaylistHandler.reset();
}

void CMPDefaultDlg::ResetDefault() {
    WriteLog("CMPDefaultDlg::ResetDefault()");
    m_bySourceMode = MP_SOURCE_FOLDERS;
    m_iCDTrack = -1;
    m_byRepeatMode = 0;
}

short CMPDefaultDlg::GetPlayState() {
    if (!m_pPlayer)
        return PLAYSTATE_NONE;
    return static_cast<short>(m_pPlayer->GetStatus());
}

// ---- Skin ------------------------------------------------------------------------------------

bool CMPDefaultDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    IMPlayerDlg::SetSkin(seat, mainWnd, appType);
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    IVantrel* root = kernel->m_pRoot;
    if (!mediapage::MakeLists(m_pListbox[0], m_pListbox[1], MEDIA_KIND_MUSIC, m_pDriveHandler,
                              m_pFileHandler))
        return false;
    if (!m_pPlaylistBox && (root->CreateListbox(&m_pPlaylistBox) != RZ_OK || !m_pPlaylistBox))
        return false;
    m_pPlaylistBox->Show(0);
    m_pPlaylistHandler = std::make_unique<CPlaylistHandler>(m_pPlaylistBox, FileList());
    m_pPlaylistBox->SetHandler(m_pPlaylistHandler.get());
    if (!mediapage::MakePlayback(&m_pPlayer, m_pContainer))
        return false;
    if (!LoadSkin())
        return false;
    const int repeat = kernel->m_Settings.iMusicRepeatMode;
    m_byRepeatMode = repeat >= 0 && repeat <= 3 ? static_cast<uint8_t>(repeat) : 0;
    if (IKvButton* button = Button(MP_BTN_REPEAT)) {
        button->SetFixedFrame(1);
        button->SetFrame(m_byRepeatMode);
    }
    ShowFolderView();
    return true;
}

bool CMPDefaultDlg::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    if (!CVelkoraAppDlg::LoadSkin())
        return false;
    const mediapage::MediaSkin skin{SkinPath(MP_SKIN_FILE), SkinPath(MP_SKIN_FOLDER),
                                    m_bySeat == 1};
    pageui::LoadBackground(m_pBackground, skin.file, skin.folder);
    for (int i = 0; i < MP_BTN_COUNT; ++i) {
        if (!mediapage::MakeButton(m_pButtons[i], skin, kButtons[i].key,
                                   mediapage::KeptShown(m_pButtons[i], kButtons[i].shown)))
            return false;
    }
    if (m_pButtons[MP_BTN_SOURCE])
        m_pButtons[MP_BTN_SOURCE]->SetHighlighted();
    if (m_pButtons[MP_BTN_VOL_ICON])
        m_pButtons[MP_BTN_VOL_ICON]->SetFixedFrame(1);
    if (m_pButtons[MP_BTN_REPEAT]) {
        m_pButtons[MP_BTN_REPEAT]->SetFixedFrame(1);
        m_pButtons[MP_BTN_REPEAT]->SetFrame(m_byRepeatMode);
    }

    mediapage::LayOutLists(DriveList(), FileList(), skin);
    if (m_pPlaylistBox)
        m_pPlaylistBox->LoadLayout(skin.file.c_str(), u"Drive Listbox", skin.folder.c_str());
    if (!MakeTexts())
        return false;
    WriteLog("CMPDefaultDlg: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

namespace {

// The page's labels: place, font size, colour, shown at first.
const mediapage::Label kLabels[MP_TEXT_COUNT] = {
    {280, 20, 420, 35, 18, 255, 255, 255, 0, 0},
    {550, 20, 80, 35, 18, 0, 255, 255, 0, 0},
    {10, 15, 300, 24, 14, 164, 164, 164, 1, 0},
    {10, 40, 300, 24, 14, 108, 108, 108, 1, 0},
};

plat::Rect LabelRect(int i) {
    const mediapage::Label& l = kLabels[i];
    return plat::Rect::FromXYWH(l.x, l.y, l.w, l.h);
}

// Sets a label's text; true when that changed it.
bool ChangeText(IKvText* label, const char16_t* text) {
    if (!label)
        return false;
    char16_t* shown = nullptr;
    if (label->GetText(&shown) == RZ_OK && shown && std::u16string_view(shown) == text)
        return false;
    label->SetText(text);
    return true;
}

}  // namespace

bool CMPDefaultDlg::MakeTexts() {
    for (int i = 0; i < MP_TEXT_COUNT; ++i) {
        if (!mediapage::MakeLabelOnce(m_pTexts[i], kLabels[i]))
            return false;
    }
    return true;
}

void CMPDefaultDlg::SetOwner(CSeatCtrlDlg* owner) {
    IMPlayerDlg::SetOwner(owner);
    if (m_pPlayer)
        m_pPlayer->Init(0, static_cast<uintptr_t>(OwnerWindow()));
}

// ---- Views -----------------------------------------------------------------------------------

void CMPDefaultDlg::ShowFolderView() {
    if (DriveList())
        DriveList()->Show(1);
    if (m_pPlaylistBox)
        m_pPlaylistBox->Show(0);
    // The folder view offers the way into the playlists.
    if (IKvButton* b = Button(MP_BTN_PLAY_LIST))
        b->Show(1);
    for (int i : {MP_BTN_SOURCE, MP_BTN_ADD_LIST, MP_BTN_EDIT_LIST})
        if (IKvButton* b = Button(i))
            b->Show(0);
    if (m_pTexts[MP_TEXT_PLAYLIST_TITLE])
        m_pTexts[MP_TEXT_PLAYLIST_TITLE]->Show(0);
    if (m_pTexts[MP_TEXT_PLAYLIST_COUNT])
        m_pTexts[MP_TEXT_PLAYLIST_COUNT]->Show(0);
}

void CMPDefaultDlg::ShowPlaylistView() {
    if (m_pPlaylistBox)
        m_pPlaylistBox->Show(1);
    if (DriveList())
        DriveList()->Show(0);
    if (IKvButton* b = Button(MP_BTN_PLAY_LIST))
        b->Show(0);
    if (IKvButton* b = Button(MP_BTN_SOURCE))
        b->Show(1);
    for (int i : {MP_BTN_ADD_LIST, MP_BTN_EDIT_LIST}) {
        if (IKvButton* b = Button(i)) {
            b->Show(1);
            b->SetNormal();
        }
    }
}

void CMPDefaultDlg::ShowPlayButton(bool playing) {
    if (IKvButton* b = Button(MP_BTN_PLAY))
        b->Show(playing ? 0 : 1);
    if (IKvButton* b = Button(MP_BTN_PAUSE))
        b->Show(playing ? 1 : 0);
}

// ---- Pen -------------------------------------------------------------------------------------

void CMPDefaultDlg::OnLButtonDown(int x, int y) {
    m_dwLastPen = plat::GetTickCount();
    m_bPenDown = 1;
    m_iPenX = x;
    m_iPenY = y;
    m_iLongPress = 0;
    for (int i = 0; i < MP_BTN_COUNT; ++i) {
        if (!m_pButtons[i] || m_pButtons[i]->OnLButtonDown(x, y) != RZ_HIT)
            continue;
        m_pButtons[i]->SetPressed();
        if (kButtons[i].group != MP_BTN_NONE) {
            for (int j = kButtons[i].group; j <= kButtons[i].last; ++j)
                if (j != i && m_pButtons[j])
                    m_pButtons[j]->SetNormal();
        }
        m_byPending = static_cast<uint8_t>(i);
        m_bActionReady = 0;
        InvalidateOwner();
        return;
    }
    m_byPending = MP_BTN_NONE;
    uint8_t action = 0;
    if (DriveList() && DriveList()->IsVisible())
        DriveList()->OnLButtonDown(x, y, &action);
    action = 0;
    if (m_pPlaylistBox && m_pPlaylistBox->IsVisible())
        m_pPlaylistBox->OnLButtonDown(x, y, &action);
    action = 0;
    if (FileList() && FileList()->IsVisible())
        FileList()->OnLButtonDown(x, y, &action);
    InvalidateOwner();
}

void CMPDefaultDlg::OnLButtonUp(int x, int y) {
    m_bPenDown = 0;
    m_dwLastPen = plat::GetTickCount();
    bool onButton = false;
    for (int i = 0; i < MP_BTN_COUNT; ++i) {
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
        uint8_t action = 0;
        if (DriveList() && DriveList()->IsVisible())
            DriveList()->OnLButtonUp(x, y, &action);
        if (action == KvUserInterface::LISTBOX_ACTION_ROW) {
            OnDriveListTap();
        } else if (action == KvUserInterface::LISTBOX_ACTION_NONE) {
            if (m_pPlaylistBox && m_pPlaylistBox->IsVisible())
                m_pPlaylistBox->OnLButtonUp(x, y, &action);
            if (action == KvUserInterface::LISTBOX_ACTION_ROW) {
                CompareWithPlaying();
            } else if (action == KvUserInterface::LISTBOX_ACTION_NONE && FileList() &&
                       FileList()->IsVisible()) {
                FileList()->OnLButtonUp(x, y, &action);
                // Play/Pause, as the button: the playing song's row pauses it, another row
                // plays that song.
                if (action != KvUserInterface::LISTBOX_ACTION_NONE &&
                    action != KvUserInterface::LISTBOX_ACTION_SCROLL) {
                    m_byPending = MP_BTN_PLAY;
                    m_bActionReady = 1;
                }
            }
        }
    }
    for (IKvButton* button : m_pButtons) {
        uint8_t state = 0;
        if (button && button->GetState(&state) == RZ_OK && state == KvUserInterface::BUTTON_PRESSED)
            button->SetNormal();
    }
    InvalidateOwner();
}

// ---- Browsing --------------------------------------------------------------------------------

bool CMPDefaultDlg::IsDiscRow(const UI_LIST_ROW& row) const {
    const std::u16string disc = CDriveListHandler::DiscRoot();
    return !disc.empty() && plat::StrCmpNoCase(row.szFolder, disc) == 0;
}

bool CMPDefaultDlg::IsUpRow(int index) const {
    return index == 0 && m_pDriveHandler && m_pDriveHandler->Inside();
}

void CMPDefaultDlg::FillFilesOf(const UI_LIST_ROW& row) {
    if (m_pFileHandler)
        m_pFileHandler->FillFolder(row.szFolder);
}

void CMPDefaultDlg::OnDriveListTap() {
    const int index = ListCurrent(DriveList());
    const UI_LIST_ROW* current = ListRowAt(DriveList());
    if (!current || !m_pDriveHandler || !m_pFileHandler)
        return;
    const UI_LIST_ROW row = *current;  // the list is filled again below
    CKernel* kernel = CKernel::Instance();
    // While a playlist is edited, the files of the folder tapped are what Add-File adds from.
    if (m_bySourceMode == MP_SOURCE_NEW_PLAYLIST || m_bySourceMode == MP_SOURCE_EDIT_PLAYLIST)
        m_bAddingView = 1;
    if (IsUpRow(index)) {
        m_pDriveHandler->GoUp();
        m_iFolderDepth = static_cast<int>(m_pDriveHandler->Depth());
        if (const UI_LIST_ROW* head = m_pDriveHandler->Head())
            m_pFileHandler->FillFolder(head->szFolder);
    } else if (!m_pDriveHandler->Inside() && IsDiscRow(row) && kernel) {
        const uint8_t disc = kernel->GetDriveSnapshot().byDiscType;
        if (disc == DISC_VCD || disc == DISC_DVD) {
            m_pFileHandler->FillFolder(ROW_NO_FILES);
        } else if (disc == DISC_AUDIO_CD) {
            OpenAudioCdRow(row);
        } else {
            m_iFolderDepth = 1;
            m_pDriveHandler->EnterSelected();
            FillFilesOf(*m_pDriveHandler->Head());
            FileList()->SetFlag(0);
        }
    } else {
        if (!m_pDriveHandler->Inside()) {
            m_iFolderDepth = 1;
            m_pDriveHandler->EnterSelected();
            if (const UI_LIST_ROW* head = m_pDriveHandler->Head())
                FillFilesOf(*head);
        } else {
            FillFilesOf(row);
        }
        FileList()->SetFlag(0);
    }
    CompareWithPlaying();
    InvalidateOwner();
}

bool CMPDefaultDlg::IsAudioCdRowCurrent() const {
    const UI_LIST_ROW* drive = ListRowAt(DriveList());
    CKernel* kernel = CKernel::Instance();
    return drive && m_bySourceMode == MP_SOURCE_FOLDERS && m_pDriveHandler &&
           !m_pDriveHandler->Inside() && IsDiscRow(*drive) && kernel &&
           kernel->GetDriveSnapshot().byDiscType == DISC_AUDIO_CD;
}

void CMPDefaultDlg::OpenAudioCdRow(const UI_LIST_ROW& row) {
    m_pFileHandler->FillFolder(row.szFolder);
    m_iCDTrackCount = ListCount(FileList());
    // Only a player with nothing going takes the disc: a song that plays or pauses goes on,
    // and the tracks are only on show.
    const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
    if (m_pPlayer && status != IKvPlayer::STATUS_PLAYING && status != IKvPlayer::STATUS_PAUSED &&
        m_iCDTrackCount > 0) {
        if (m_pPlayer->OpenCD(1) == RZ_OK) {
            m_bAudioCD = 1;
            m_iCDTrack = 1;
            FileList()->SetCurrentIndex(0);
            FileList()->SetFlag(0);
        }
        ShowPlayButton(false);
    }
}

void CMPDefaultDlg::CompareWithPlaying() {
    const UI_LIST_ROW* now = nullptr;
    const UI_LIST_ROW* then = nullptr;
    if (m_bySourceMode == MP_SOURCE_FOLDERS) {
        now = ListRowAt(DriveList());
        then = m_bPlayDriveRow ? &m_PlayDriveRow : nullptr;
    } else {
        now = ListRowAt(m_pPlaylistBox);
        then = m_bPlayPlaylistRow ? &m_PlayPlaylistRow : nullptr;
    }
    if (!now || !then || !FileList())
        return;
    if (SameRow(*now, *then) && m_iPlayIndex >= 0 && m_iPlayIndex < ListCount(FileList())) {
        FileList()->SetCurrentIndex(m_iPlayIndex);
        FileList()->SetFlag(0);
    } else {
        FileList()->SetFlag(1);
    }
}

// ---- Sources ---------------------------------------------------------------------------------

void CMPDefaultDlg::ToggleSource(bool keepPlaylist) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    StopAll();
    if (m_bySourceMode == MP_SOURCE_FOLDERS) {
        m_bySourceMode = MP_SOURCE_PLAYLISTS;
        if (m_pContainer)
            m_pContainer->LoadAll(plat::FormatStr(u"%s\\PLAYLIST", kernel->m_szBaseDir).c_str());
        ShowPlaylistView();
        if (m_pPlaylistHandler) {
            m_pPlaylistHandler->FillPlaylists(m_pContainer);
            const std::u16string saved = kernel->m_Settings.szCurrentPlaylist;
            int select = FindRow(m_pPlaylistBox, [&](const UI_LIST_ROW& r) {
                return !saved.empty() && saved == r.szName;
            });
            if (select < 0 && ListCount(m_pPlaylistBox) > 0)
                select = 0;
            if (select >= 0) {
                m_pPlaylistBox->SetCurrentIndex(select);
                m_pPlaylistHandler->OpenPlaylist();
            } else if (FileList()) {
                FileList()->RemoveAll();
            }
        }
        const UI_LIST_ROW* row = ListRowAt(m_pPlaylistBox);
        if (!row || plat::StrLen(row->szName) < SYS_PATH_CHARS)
            plat::StrCopy(kernel->m_Settings.szCurrentPlaylist, row ? row->szName : u"");
    } else {
        m_bySourceMode = MP_SOURCE_FOLDERS;
        if (!keepPlaylist)
            kernel->m_Settings.szCurrentPlaylist[0] = 0;
        ShowFolderView();
        if (const UI_LIST_ROW* row = ListRowAt(DriveList())) {
            const UI_LIST_ROW copy = *row;
            if (IsUpRow(ListCurrent(DriveList())) && m_pDriveHandler->Head())
                FillFilesOf(*m_pDriveHandler->Head());
            else if (m_pDriveHandler->Inside())
                FillFilesOf(copy);
            else if (FileList())
                FileList()->RemoveAll();
        }
    }
    ShowPlayButton(false);
    SaveSettings();
    InvalidateOwner();
}

// ---- Show ------------------------------------------------------------------------------------

void CMPDefaultDlg::Show(bool visible, uint8_t param) {
    CKernel* kernel = CKernel::Instance();
    if (!visible) {
        m_bVisible = 0;
        return;
    }
    m_bVisible = 1;
    UpdateVolume(false);
    if (CHWAudioHolder* holder = CHWAudioHolder::GetInstance())
        if (holder->m_pAudio[1])
            holder->m_pAudio[1]->SelectSource(0, true);
    if (kernel) {
        m_bMute = kernel->m_bMute.load();
        if (IKvButton* b = Button(MP_BTN_VOL_ICON))
            b->SetFrame(m_bMute ? 1 : 0);
    }
    plat::ui::SendMessage(m_hMainWnd, WM_STOP_MOVIE, m_bySeat, 0);
    m_bSeatActionPending = 1;
    if (kernel && kernel->m_iKbResult == 0) {
        if (m_pTexts[MP_TEXT_PLAYLIST_TITLE])
            m_pTexts[MP_TEXT_PLAYLIST_TITLE]->SetText(kernel->m_szKbResult);
        kernel->m_iKbResult = -1;
    }
    if (m_bFirstShow) {
        m_bFirstShow = 0;
        if (m_bySeat == 0 && kernel)
            kernel->m_dwResumeDone |= 0x100;
        if (kernel && kernel->m_Settings.szCurrentMusic[0]) {
            if (m_pDriveHandler && !m_pDriveHandler->Head())
                m_pDriveHandler->ListDrives();
            const std::u16string music = kernel->m_Settings.szCurrentMusic;
            // A file right in a drive's root plays at once; one deeper waits for the first
            // refresh of the lists.
            const bool playing = m_pPlayer && m_pPlayer->GetStatus() == IKvPlayer::STATUS_PLAYING &&
                                 m_strCurrentPath == music;
            if (!playing && SelectDriveRowOfPath(music) && m_bySeat == 0 &&
                kernel->m_Settings.iMediaType == 0 && !kernel->m_Settings.szCurrentPlaylist[0] &&
                FolderOf(music).size() == 3)
                PlaySelected();
        }
    }
    if (param != 255)
        m_byShowParam = param;
}

bool CMPDefaultDlg::SelectDriveRowOfPath(const std::u16string& path) {
    if (!m_pDriveHandler || !m_pFileHandler || path.size() < 3 || path[1] != u':')
        return false;
    // From the top level: the storage place of the path's drive letter.
    while (m_pDriveHandler->Inside())
        m_pDriveHandler->GoUp();
    m_pDriveHandler->ListDrives();
    const std::u16string folder = FolderOf(path);
    // The storage place whose folder holds the path, the configured folder before its drive.
    int drive = FindRow(DriveList(), [&](const UI_LIST_ROW& r) {
        const size_t n = plat::StrLen(r.szFolder);
        return n > 0 && plat::StrCmpNoCase(std::u16string_view(r.szFolder, n),
                                           std::u16string_view(path).substr(0, n)) == 0;
    });
    if (drive < 0)
        return false;
    DriveList()->SetCurrentIndex(drive);
    if (IsDiscRow(*ListRowAt(DriveList(), drive))) {
        CKernel* kernel = CKernel::Instance();
        if (kernel && kernel->GetDriveSnapshot().byDiscType == DISC_AUDIO_CD) {
            m_pFileHandler->FillFolder(ListRowAt(DriveList(), drive)->szFolder);
            m_bAudioCD = 1;
            m_iCDTrackCount = ListCount(FileList());
            return true;
        }
    }
    m_pDriveHandler->EnterSelected();
    m_iFolderDepth = 1;
    const UI_LIST_ROW* head = m_pDriveHandler->Head();
    if (head && SameFolder(head->szFolder, folder)) {
        m_pFileHandler->FillFolder(head->szFolder);
    } else {
        int row = FindRow(DriveList(), [&](const UI_LIST_ROW& r) {
            return r.wKind == ROW_NAVIGATION && SameFolder(r.szFolder, folder);
        });
        if (row <= 0)
            return false;
        DriveList()->SetCurrentIndex(row);
        m_pFileHandler->FillFolder(ListRowAt(DriveList(), row)->szFolder);
    }
    const std::u16string name = NameOf(path);
    const int file = FindRow(FileList(), [&](const UI_LIST_ROW& r) { return name == r.szName; });
    if (file < 0)
        return false;
    FileList()->SetCurrentIndex(file);
    FileList()->SetFlag(0);
    return true;
}

// ---- Tick ------------------------------------------------------------------------------------

bool CMPDefaultDlg::IsPhoneCurrent() const {
    CKernel* kernel = CKernel::Instance();
    return (kernel && kernel->m_Settings.iCurrentApp == APPTYPE_PHONE) ||
           (m_pOwner && m_pOwner->m_iCurrentApp == APPTYPE_PHONE);
}

void CMPDefaultDlg::SwitchToMusic() {
    CKernel* kernel = CKernel::Instance();
    const int current = m_pOwner ? m_pOwner->m_iCurrentApp
                                 : (kernel ? kernel->m_Settings.iCurrentApp : APPTYPE_HOMEPAGE);
    if (current == APPTYPE_MUSIC)
        return;
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (intptr_t(current & 0xFFFF) << 16) | APPTYPE_MUSIC);
}

void CMPDefaultDlg::OnTick() {
    IMPlayerDlg::OnTick();
    const uint32_t now = plat::GetTickCount();
    if (now - m_dwLast1000 > 1000) {
        m_dwLast1000 = now;
        Tick1000();
    }
    // The end of a file is looked for at every tick, so that the next one starts without a
    // gap; the tries after a failed open keep the slower pace below.
    const bool filesPlaying =
        !m_bCDStep[0] && !m_bCDStep[1] && !m_bCDStep[2] && !m_bAudioCD && m_pPlayer &&
        ListCountOf(m_pFolderList) > 0 && m_pPlayingList &&
        (m_bySourceMode == MP_SOURCE_FOLDERS || m_bySourceMode == MP_SOURCE_PLAYLISTS);
    if (filesPlaying && m_iEndTries == 0 && now - m_dwLast250 <= 250) {
        const uint16_t status = static_cast<uint16_t>(m_pPlayer->HandleEvent());
        if (status == IKvPlayer::STATUS_COMPLETED || status == IKvPlayer::STATUS_ERROR)
            HandleEndOfFile(status);
    }
    if (now - m_dwLast250 > 250) {
        m_dwLast250 = now;
        if (m_bCDStep[0] || m_bCDStep[1] || m_bCDStep[2]) {
            RunCdStep();
        } else if (m_bAudioCD) {
            WatchCdTrack();
        } else if (filesPlaying) {
            HandleEndOfFile(static_cast<uint16_t>(m_pPlayer->HandleEvent()));
        }
        if (m_bPenDown && m_byPending != MP_BTN_NONE && ++m_iLongPress >= 2) {
            uint8_t action = 0;
            for (IKvListbox* list : {DriveList(), m_pPlaylistBox, FileList()}) {
                action = 0;
                if (list && list->IsVisible())
                    list->OnLButtonDown(m_iPenX, m_iPenY, &action);
            }
            if (m_byPending == MP_BTN_VOL_ADD || m_byPending == MP_BTN_VOL_DEL)
                RunButton(m_byPending);
        }
        // While the pen rests the lists show the song that plays, wherever it went.
        if (!m_bPenDown && now - m_dwLastPen > 5000)
            FollowPlaying();
    }
}

void CMPDefaultDlg::Tick1000() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    if (m_bySeat == 0) {
        kernel->CheckDiscChange();
        switch (kernel->m_iAutoLaunch.load()) {
            case 0: {
                if (!kernel->TakeAutoLaunch(0))
                    break;
                WriteLog("Music :: CD/DVD Clear");
                const UI_LIST_ROW* row = ListRowAt(DriveList());
                if (row && !m_pDriveHandler->Inside() && IsDiscRow(*row)) {
                    FileList()->RemoveAll();
                    ShowPlayButton(false);
                }
                if (m_bAudioCD) {
                    WriteLog("CD CLEAR");
                    StopAll();
                    if (m_pPlayer)
                        m_pPlayer->Close();
                    m_bAudioCD = 0;
                    m_iCDTrack = -1;
                }
                break;
            }
            case 1:
                if (!kernel->TakeAutoLaunch(1))
                    break;
                if (IsPhoneCurrent())
                    break;
                WriteLog("\n\n iPlayCD = 1 \n\n");
                m_bKeepPlaylist = 0;
                m_bCDStep[0] = m_bCDStep[1] = m_bCDStep[2] = 1;
                SwitchToMusic();
                kernel->m_Settings.iMediaType = 1;
                kernel->m_Settings.iCurrentTrackId = 1;
                break;
            case 5: {
                if (!kernel->TakeAutoLaunch(5))
                    break;
                if (IsPhoneCurrent())
                    break;
                kernel->m_Settings.iMediaType = 0;
                const DRIVE_SNAPSHOT snap = kernel->GetDriveSnapshot();
                std::vector<std::string> names;
                // Without a song of the disc to take its place (the restore of the last run
                // asks so too), the last music comes back from where it was: its playlist
                // stays.
                m_bKeepPlaylist = 1;
                if (snap.chDvd && plat::Drives().ListRoot(snap.chDvd, names)) {
                    for (const std::string& n : names) {
                        if (n.find(".mp3") == std::string::npos &&
                            n.find(".MP3") == std::string::npos)
                            continue;
                        const std::u16string path =
                            plat::FormatStr(u"%c:\\", snap.chDvd) + plat::Utf8ToUtf16(n);
                        if (path.size() < SYS_PATH_CHARS) {
                            plat::StrCopy(kernel->m_Settings.szCurrentMusic, path);
                            m_bKeepPlaylist = 0;
                        }
                        break;
                    }
                }
                m_bCDStep[0] = m_bCDStep[1] = m_bCDStep[2] = 1;
                SwitchToMusic();
                break;
            }
            default:
                break;
        }
    }
    // Both seats: a drive that came or went.
    const DRIVE_SNAPSHOT snap = kernel->GetDriveSnapshot();
    uint8_t readable = 0;
    if (snap.byCount > 0)
        readable = plat::Drives().GetVolumeInformation(snap.szDrive[0], nullptr, nullptr) ? 1 : 0;
    if (std::memcmp(&snap, &m_DriveSnapshot, sizeof snap) != 0 ||
        readable != m_bVolumeReadable[0]) {
        m_bVolumeReadable[0] = readable;
        if (m_bySourceMode == MP_SOURCE_FOLDERS)
            RefreshLists();
        m_DriveSnapshot = snap;
        // The pause after a refresh is the next tick's: the page never sleeps.
        m_dwLast250 = plat::GetTickCount();
    }
    if (m_pPlayer && m_dwStatusWord == MP_STATUS_PLAYING)
        WriteStatus(m_dwStatusWord);  // "TimeCurrent" goes on with the music
    if (m_bVisible && m_pPlayer) {
        const uint16_t status = m_pPlayer->GetStatus();
        if (status == IKvPlayer::STATUS_PLAYING) {
            KvMultimedia::KvPlayerTime t = {};
            if (m_pPlayer->GetTime(&t) == RZ_OK) {
                // Only the two time labels change here, and only when the second did.
                plat::Rect changed;
                if (ChangeText(m_pTexts[MP_TEXT_ELAPSED], t.szCurrent))
                    changed = LabelRect(MP_TEXT_ELAPSED);
                if (ChangeText(m_pTexts[MP_TEXT_TOTAL], t.szTotal)) {
                    const plat::Rect total = LabelRect(MP_TEXT_TOTAL);
                    changed = changed.IsEmpty()
                                  ? total
                                  : plat::Rect{std::min(changed.left, total.left),
                                               std::min(changed.top, total.top),
                                               std::max(changed.right, total.right),
                                               std::max(changed.bottom, total.bottom)};
                }
                if (!changed.IsEmpty())
                    InvalidateOwner(changed);
            }
        }
    }
}

void CMPDefaultDlg::RunCdStep() {
    CKernel* kernel = CKernel::Instance();
    if (m_bCDStep[0]) {
        m_bCDStep[0] = 0;
        if (m_pDriveHandler && m_pDriveHandler->Inside()) {
            while (m_pDriveHandler->Inside())
                m_pDriveHandler->GoUp();
            m_iFolderDepth = 0;
        }
        StopAll();
    } else if (m_bCDStep[1]) {
        m_bCDStep[1] = 0;
        if (m_bySourceMode == MP_SOURCE_PLAYLISTS) {
            ToggleSource(m_bKeepPlaylist != 0);
        }
    } else if (m_bCDStep[2]) {
        m_bCDStep[2] = 0;
        if (kernel && !m_bKeepPlaylist)
            kernel->m_Settings.szCurrentPlaylist[0] = 0;
        m_bKeepPlaylist = 0;
        m_bResumeAfterRefresh = 1;
        RefreshLists();
    }
    InvalidateOwner();
}

void CMPDefaultDlg::RefreshLists() {
    if (!m_pDriveHandler)
        return;
    m_pDriveHandler->ListDrives();
    m_strFollowMissed.clear();  // a stick that came may hold the song
    if (!m_strCurrentPath.empty() && !m_bAudioCD)
        SelectDriveRowOfPath(m_strCurrentPath);
    CKernel* kernel = CKernel::Instance();
    const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
    ShowPlayButton(status == IKvPlayer::STATUS_PLAYING);
    if (!m_bResumeAfterRefresh)
        return;
    if (m_bySeat != 0) {
        m_bResumeAfterRefresh = 0;
        return;
    }
    if (!kernel || kernel->m_Settings.iCurrentApp != APPTYPE_MUSIC)
        return;
    m_bResumeAfterRefresh = 0;
    ResumeLast();
    InvalidateOwner();
}

bool CMPDefaultDlg::ShowsPlaying() {
    IKvListbox* files = FileList();
    const int current = ListCurrent(files);
    const UI_LIST_ROW* row = current >= 0 ? ListRowAt(files, current) : nullptr;
    uint8_t flag = 1;
    if (!row || files->GetFlag(&flag) != RZ_OK || flag != 0 || row->wKind != ROW_FILE ||
        JoinWide(row->szFolder, row->szName) != m_strCurrentPath)
        return false;
    int top = 0;
    int end = 0;
    files->GetTopIndex(&top);
    files->GetEndIndex(&end);
    return current >= top && current < end;
}

bool CMPDefaultDlg::OpenPlaylistOfPlaying() {
    if (!m_pPlaylistBox || !m_pPlaylistHandler)
        return false;
    auto holds = [&](const UI_LIST_ROW& r) {
        return FindItem(FindPlaylistNamed(r.szName),
                        [&](const char16_t* name, const char16_t* folder) {
                            return JoinWide(folder, name) == m_strCurrentPath;
                        }) >= 0;
    };
    // The playlist it was started from first: the same song may stand in several.
    int row = -1;
    if (m_bPlayPlaylistRow)
        row = FindRow(m_pPlaylistBox, [&](const UI_LIST_ROW& r) {
            return SameRow(r, m_PlayPlaylistRow) && holds(r);
        });
    if (row < 0)
        row = FindRow(m_pPlaylistBox, [&](const UI_LIST_ROW& r) {
            return r.wKind == ROW_PLAYLIST && plat::StrCmp(r.szName, TEMP_PLAYLIST_NAME) != 0 &&
                   holds(r);
        });
    if (row < 0)
        return false;
    m_pPlaylistBox->SetCurrentIndex(row);
    m_pPlaylistHandler->OpenPlaylist();
    return true;
}

void CMPDefaultDlg::FollowPlaying() {
    if (!m_pPlayer || !FileList() || m_strCurrentPath.empty() ||
        (m_bySourceMode != MP_SOURCE_FOLDERS && m_bySourceMode != MP_SOURCE_PLAYLISTS))
        return;
    const uint16_t status = m_pPlayer->GetStatus();
    if (status != IKvPlayer::STATUS_PLAYING && status != IKvPlayer::STATUS_PAUSED)
        return;
    // Looked at first, so that a list that already shows the song costs nothing; a song that
    // could not be found is not looked for again.
    if (ShowsPlaying() || m_strFollowMissed == m_strCurrentPath)
        return;
    auto playing = [&](const UI_LIST_ROW& r) {
        return r.wKind == ROW_FILE && JoinWide(r.szFolder, r.szName) == m_strCurrentPath;
    };
    int row = FindRow(FileList(), playing);
    if (row < 0) {
        // Playback moved on into another folder or playlist: the lists go there.
        if (m_bySourceMode == MP_SOURCE_FOLDERS)
            SelectDriveRowOfPath(m_strCurrentPath);
        else
            OpenPlaylistOfPlaying();
        row = FindRow(FileList(), playing);
        if (row < 0) {
            m_strFollowMissed = m_strCurrentPath;
            InvalidateOwner();
            return;
        }
        RefillFolderList();
    }
    m_iPlayIndex = row;
    FileList()->SetCurrentIndex(row);  // also scrolls it into view
    FileList()->SetFlag(0);
    if (m_pFolderList)
        m_pFolderList->SetCurrentIndex(row);
    // The rows it is shown under now, for the taps that come back to it.
    if (m_bySourceMode == MP_SOURCE_FOLDERS) {
        if (const UI_LIST_ROW* drive = ListRowAt(DriveList())) {
            m_PlayDriveRow = *drive;
            m_bPlayDriveRow = true;
        }
    } else if (const UI_LIST_ROW* list = ListRowAt(m_pPlaylistBox)) {
        m_PlayPlaylistRow = *list;
        m_bPlayPlaylistRow = true;
    }
    InvalidateOwner();
}

// ---- Paint -----------------------------------------------------------------------------------

void CMPDefaultDlg::Render(plat::Canvas* hdc) {
    CVelkoraAppDlg::Render(hdc);
    if (IKvButton* mute = Button(MP_BTN_VOL_ICON))
        mute->SetFrame(m_bMute ? 1 : 0);
    for (IKvButton* button : m_pButtons)
        if (button)
            button->Draw(hdc, 0, 0);
    for (IKvText* text : m_pTexts)
        if (text)
            text->Draw(hdc);
    for (IKvListbox* list : {DriveList(), FileList(), m_pPlaylistBox})
        if (list)
            list->Draw(hdc);
    if (m_bActionReady && m_byPending != MP_BTN_NONE) {
        const int button = m_byPending;
        m_bActionReady = 0;
        m_byPending = MP_BTN_NONE;
        RunButton(button);
    }
    if (m_bSeatActionPending) {
        m_bSeatActionPending = 0;
        plat::ui::SendMessage(m_hMainWnd, WM_SEAT_ACTION, m_bySeat, 0x10001);
    }
}
