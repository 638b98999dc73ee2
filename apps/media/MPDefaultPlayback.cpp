// The music page's playback (play, pause, next, repeat, end of file, audio CD tracks, resume of
// the last run) and its playlist editing buttons. Browsing is in MPDefaultDlg.cpp.
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

using mediapage::FindItem;
using mediapage::FindRow;
using mediapage::FolderOf;
using mediapage::IsPlaceholderName;
using mediapage::JoinWide;
using mediapage::ListCount;
using mediapage::ListCountOf;
using mediapage::ListCurrent;
using mediapage::NameOf;
using mediapage::SameFolder;
using pageui::ReleaseAndClear;

}  // namespace

// ---- Playing ---------------------------------------------------------------------------------

namespace {

// The track a "TrackNN.cda" name stands for; 0 for none.
int TrackOfName(const std::u16string& name) {
    for (int t = 1; t <= 255; ++t)
        if (plat::StrCmpNoCase(name, plat::FormatStr(u"Track%02d.cda", t)) == 0)
            return t;
    return 0;
}

}  // namespace

std::u16string CMPDefaultDlg::CutStamp(const std::u16string& path) {
    return CutPlaylistStamp(path);
}

std::u16string CMPDefaultDlg::StampName(const std::u16string& name) {
    const plat::SystemTime t = plat::GetClock().Local();
    return name + std::u16string(50, u' ') +
           plat::FormatStr(u"[%02d%02d%02d%03d]", t.hour, t.minute, t.second, t.milliseconds);
}

int CMPDefaultDlg::RandomIndex(int count) {
    if (count <= 0)
        return -1;
    return static_cast<int>(std::uniform_int_distribution<int>(0, count - 1)(m_Random));
}

void CMPDefaultDlg::SetStatus(uint32_t word) {
    if (word == m_dwStatusWord)
        return;
    m_dwStatusWord = word;
    WriteStatus(word);
}

void CMPDefaultDlg::WriteStatus(uint32_t word) {
    m_dwStatusWord = word;
    const uint32_t full = word ? (word | (m_bySeat == 1 ? MP_STATUS_REAR : 0u)) : 0u;
    if (m_pOwner)
        m_pOwner->m_dwMonitorStatus = full;
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    kernel->SetRegistryDword("Status", full);
    KvMultimedia::KvPlayerTime t = {};
    if (word && m_pPlayer && m_pPlayer->GetTime(&t) == RZ_OK && t.szCurrent[0])
        kernel->SetRegistryString("TimeCurrent", t.szCurrent);
    else if (!word)
        kernel->SetRegistryString("TimeCurrent", u"00:00:00");
}

void CMPDefaultDlg::StopPlayback() {
    m_iEndTries = 0;
    SetStatus(MP_STATUS_STOPPED);
    if (m_pPlayer) {
        const uint16_t status = m_pPlayer->GetStatus();
        if (status == IKvPlayer::STATUS_PLAYING || status == IKvPlayer::STATUS_PAUSED ||
            status == IKvPlayer::STATUS_COMPLETED)
            m_pPlayer->Stop();
    }
    m_strCurrentPath.clear();
    ShowPlayButton(false);
}

void CMPDefaultDlg::RefillFolderList() {
    CKernel* kernel = CKernel::Instance();
    if (!m_pFolderList &&
        (!kernel || !kernel->m_pRoot || kernel->m_pRoot->CreatePlaylist(&m_pFolderList) != RZ_OK))
        return;
    mediapage::FillWithFileRows(m_pFolderList, FileList());
}

bool CMPDefaultDlg::BuildPlayingList() {
    if (m_pPlayingList)
        return true;
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot || kernel->m_pRoot->CreatePlaylist(&m_pPlayingList) != RZ_OK ||
        !m_pPlayingList)
        return false;
    if (m_bySourceMode == MP_SOURCE_FOLDERS) {
        std::vector<std::u16string> folders;
        const int count = ListCount(DriveList());
        for (int i = 0; i < count; ++i) {
            const UI_LIST_ROW* row = ListRowAt(DriveList(), i);
            if (!row || row->wKind != ROW_NAVIGATION || !row->szFolder[0] || IsDiscRow(*row) ||
                IsPlaceholderName(row->szFolder))
                continue;
            std::u16string folder = row->szFolder;
            bool seen = false;
            for (const std::u16string& f : folders)
                seen = seen || SameFolder(f, folder);
            if (seen)
                continue;
            folders.push_back(folder);
            std::vector<std::u16string> names;
            if (folder.size() > 3 && (folder.back() == u'\\' || folder.back() == u'/'))
                folder.pop_back();
            if (!ScanMediaNames(MEDIA_KIND_MUSIC, folder, names))
                continue;
            for (const std::u16string& name : names)
                m_pPlayingList->AddItem(name.c_str(), folder.c_str());
        }
    } else if (m_pContainer) {
        int lists = 0;
        m_pContainer->GetCount(&lists);
        for (int i = 0; i < lists; ++i) {
            IKvPlaylist* list = nullptr;
            char16_t* listName = nullptr;
            if (m_pContainer->GetPlaylistAt(&list, i) != RZ_OK || !list ||
                (m_pContainer->GetNameAt(&listName, i) == RZ_OK && listName &&
                 plat::StrCmp(listName, TEMP_PLAYLIST_NAME) == 0))
                continue;
            int entries = 0;
            list->GetCount(&entries);
            for (int e = 0; e < entries; ++e) {
                char16_t* name = nullptr;
                char16_t* folder = nullptr;
                uint8_t type = 0;
                if (list->GetItem(&name, &folder, &type, e) == RZ_OK && name && folder)
                    m_pPlayingList->AddItem(name, folder);
            }
        }
    }
    return true;
}

int CMPDefaultDlg::PlayingIndexOf(const std::u16string& name, const std::u16string& folder) {
    return FindItem(m_pPlayingList, [&](const char16_t* n, const char16_t* f) {
        return name == n && SameFolder(folder, f);
    });
}

bool CMPDefaultDlg::NextEntry(IKvPlaylist* list, uint8_t how, std::u16string& name,
                              std::u16string& folder) {
    if (!list)
        return false;
    char16_t* n = nullptr;
    char16_t* f = nullptr;
    uint8_t type = 0;
    RZRESULT r = RZ_FAIL;
    switch (how) {
        case 0:
            r = list->NextItem(&n, &f, &type, 1);
            break;
        case 1:
            r = list->PrevItem(&n, &f, &type, 1);
            break;
        case 2:
            r = list->GetItem(&n, &f, &type, -1);
            break;
        default: {
            int count = 0;
            list->GetCount(&count);
            const int index = RandomIndex(count);
            if (index >= 0) {
                list->SetCurrentIndex(index);
                r = list->GetItem(&n, &f, &type, index);
            }
            break;
        }
    }
    if (r != RZ_OK || !n || !f)
        return false;
    name = n;
    folder = f;
    return true;
}

bool CMPDefaultDlg::OpenAndPlay(const std::u16string& path) {
    if (!m_pPlayer)
        return false;
    const std::u16string file = m_bySourceMode == MP_SOURCE_FOLDERS ? path : CutStamp(path);
    if (m_pPlayer->OpenFile(file.c_str(), IKvPlayer::MEDIA_FILE) != RZ_OK) {
        WriteLog("Music: cannot open %s", plat::Utf16ToUtf8(file).c_str());
        SetStatus(MP_STATUS_STOPPED);
        ShowPlayButton(false);
        return false;
    }
    m_dwPlayStart = plat::GetTickCount();
    if (m_pPlayer->Play() != RZ_OK) {
        WriteLog("Music: cannot play %s", plat::Utf16ToUtf8(file).c_str());
        SetStatus(MP_STATUS_STOPPED);
        ShowPlayButton(false);
        return false;
    }
    m_bAudioCD = 0;
    SetStatus(MP_STATUS_PLAYING);
    ShowPlayButton(true);
    m_dwPlayEvents.fetch_add(1);
    return true;
}

void CMPDefaultDlg::MarkPlaying(const std::u16string& path) {
    CKernel* kernel = CKernel::Instance();
    m_strCurrentPath = path;
    const std::u16string name = NameOf(path);
    const std::u16string folder = FolderOf(path);
    // The row of the file in the list shown, when it is there.
    const int row = FindRow(FileList(), [&](const UI_LIST_ROW& r) {
        return r.wKind == ROW_FILE && name == r.szName && SameFolder(folder, r.szFolder);
    });
    m_iPlayIndex = row;
    m_bPlayDriveRow = false;
    m_bPlayPlaylistRow = false;
    if (row >= 0) {
        FileList()->SetCurrentIndex(row);
        FileList()->SetFlag(0);
        if (m_pFolderList)
            m_pFolderList->SetCurrentIndex(row);
        if (const UI_LIST_ROW* drive = ListRowAt(DriveList())) {
            m_PlayDriveRow = *drive;
            m_bPlayDriveRow = true;
        }
        if (m_bySourceMode != MP_SOURCE_FOLDERS) {
            if (const UI_LIST_ROW* playlist = ListRowAt(m_pPlaylistBox)) {
                m_PlayPlaylistRow = *playlist;
                m_bPlayPlaylistRow = true;
            }
        }
    } else if (FileList()) {
        FileList()->SetFlag(1);
    }
    const int playing = PlayingIndexOf(name, folder);
    if (playing >= 0)
        m_pPlayingList->SetCurrentIndex(playing);
    if (!kernel)
        return;
    SYS_SETTINGS& s = kernel->m_Settings;
    // A path that does not fit the settings is not stored: cut, it would resume another file.
    if (path.size() < SYS_PATH_CHARS)
        plat::StrCopy(s.szCurrentMusic, path);
    s.iMediaType = 0;
    const UI_LIST_ROW* list =
        m_bySourceMode == MP_SOURCE_PLAYLISTS ? ListRowAt(m_pPlaylistBox) : nullptr;
    if (list && plat::StrLen(list->szName) < SYS_PATH_CHARS)
        plat::StrCopy(s.szCurrentPlaylist, list->szName);
    else
        s.szCurrentPlaylist[0] = 0;
    SaveSettings();
}

bool CMPDefaultDlg::PlayPath(const std::u16string& folder, const std::u16string& name) {
    const std::u16string path = JoinWide(folder, name);
    if (!OpenAndPlay(path))
        return false;
    MarkPlaying(path);
    return true;
}

bool CMPDefaultDlg::PlayCdTrack(int track) {
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || track < 1 || track > 255)
        return false;
    m_bAudioCD = 1;
    if (m_pPlayer->OpenCD(static_cast<uint8_t>(track)) != RZ_OK || m_pPlayer->Play() != RZ_OK) {
        WriteLog("Music: cannot play track %d", track);
        SetStatus(MP_STATUS_STOPPED);
        ShowPlayButton(false);
        return false;
    }
    m_iCDTrack = track;
    const std::u16string name = plat::FormatStr(u"Track%02d.cda", track);
    const int row = FindRow(
        FileList(), [&](const UI_LIST_ROW& r) { return plat::StrCmpNoCase(r.szName, name) == 0; });
    std::u16string folder = CDriveListHandler::DiscRoot();
    if (row >= 0) {
        folder = ListRowAt(FileList(), row)->szFolder;
        FileList()->SetCurrentIndex(row);
        FileList()->SetFlag(0);
        if (m_pFolderList)
            m_pFolderList->SetCurrentIndex(row);
    }
    m_iPlayIndex = row;
    m_strCurrentPath = JoinWide(folder, name);
    if (const UI_LIST_ROW* drive = ListRowAt(DriveList())) {
        m_PlayDriveRow = *drive;
        m_bPlayDriveRow = true;
    }
    m_dwPlayStart = plat::GetTickCount();
    SetStatus(MP_STATUS_PLAYING);
    ShowPlayButton(true);
    m_dwPlayEvents.fetch_add(1);
    if (kernel) {
        if (m_strCurrentPath.size() < SYS_PATH_CHARS)
            plat::StrCopy(kernel->m_Settings.szCurrentMusic, m_strCurrentPath);
        kernel->m_Settings.iMediaType = 1;
        kernel->m_Settings.iCurrentTrackId = track;
        SaveSettings();
    }
    return true;
}

bool CMPDefaultDlg::PlaySelected() {
    const UI_LIST_ROW* current = ListRowAt(FileList());
    if (!current || current->wKind != ROW_FILE || !m_pPlayer)
        return false;
    const UI_LIST_ROW row = *current;
    const std::u16string name = row.szName;
    if (IsPlaceholderName(name))
        return false;
    m_iEndTries = 0;
    // The row opens as what the drive list shows, whatever plays now.
    if (IsAudioCdRowCurrent()) {
        const int track = TrackOfName(name);
        if (!track)
            return false;
        if (m_byRepeatMode == 0)
            SetRepeat(1);
        RefillFolderList();
        return PlayCdTrack(track);
    }
    if (m_bySourceMode != MP_SOURCE_FOLDERS && m_bySourceMode != MP_SOURCE_PLAYLISTS)
        return false;
    RefillFolderList();
    BuildPlayingList();
    return PlayPath(row.szFolder, name);
}

void CMPDefaultDlg::PlayPause() {
    if (!m_pPlayer)
        return;
    const uint16_t status = m_pPlayer->GetStatus();
    const UI_LIST_ROW* row = ListRowAt(FileList());
    if (row && row->wKind == ROW_FILE && !IsPlaceholderName(row->szName)) {
        const std::u16string path = JoinWide(row->szFolder, row->szName);
        if (path != m_strCurrentPath || status == IKvPlayer::STATUS_NONE ||
            status == IKvPlayer::STATUS_ERROR) {
            PlaySelected();
            return;
        }
    }
    if (status == IKvPlayer::STATUS_PLAYING) {
        if (m_pPlayer->Pause() == RZ_OK) {
            SetStatus(MP_STATUS_PAUSED);
            ShowPlayButton(false);
        }
    } else if (status == IKvPlayer::STATUS_PAUSED || status == IKvPlayer::STATUS_STOPPED ||
               status == IKvPlayer::STATUS_COMPLETED) {
        // What is open plays on (a finished file from its start).
        const bool ok = m_pPlayer->Play() == RZ_OK;
        SetStatus(ok ? MP_STATUS_PLAYING : MP_STATUS_STOPPED);
        ShowPlayButton(ok);
    }
}

void CMPDefaultDlg::SetRepeat(uint8_t mode) {
    m_byRepeatMode = mode;
    if (IKvButton* b = Button(MP_BTN_REPEAT))
        b->SetFrame(m_byRepeatMode);
    if (CKernel* kernel = CKernel::Instance()) {
        kernel->m_Settings.iMusicRepeatMode = m_byRepeatMode;
        SaveSettings();
    }
}

void CMPDefaultDlg::ChangeRepeat() {
    uint8_t mode = static_cast<uint8_t>(m_byRepeatMode + 1);
    if (mode > 3) {
        mode = m_bAudioCD || IsAudioCdRowCurrent() ? 1 : 0;
    }
    SetRepeat(mode);
}

void CMPDefaultDlg::CdStep(bool next) {
    if (!m_pFolderList || ListCountOf(m_pFolderList) == 0)
        RefillFolderList();
    std::u16string name;
    std::u16string folder;
    if (!NextEntry(m_pFolderList, m_byRepeatMode == 3 ? 3 : (next ? 0 : 1), name, folder))
        return;
    const int track = TrackOfName(name);
    if (track)
        PlayCdTrack(track);
}

void CMPDefaultDlg::HandleNextFile(bool next) {
    if (!ListRowAt(DriveList()) && m_bySourceMode == MP_SOURCE_FOLDERS) {
        WriteLog("CMPDefaultDlg::HandleNextFile() - 1");
        StopPlayback();
        return;
    }
    m_iEndTries = 0;
    if (m_bAudioCD) {
        CdStep(next);
        return;
    }
    if (m_bySourceMode != MP_SOURCE_FOLDERS && m_bySourceMode != MP_SOURCE_PLAYLISTS)
        return;
    if (!m_pFolderList || ListCountOf(m_pFolderList) == 0)
        RefillFolderList();
    BuildPlayingList();
    IKvPlaylist* list = nullptr;
    uint8_t how = next ? 0 : 1;
    switch (m_byRepeatMode) {
        case 0:
            list = m_pPlayingList;
            break;
        case 1:
        case 2:
            list = m_pFolderList;
            break;
        case 3:
            list = m_pPlayingList;
            how = 3;
            break;
        default:
            WriteLog("HandleNextFile() default: Should not be here )");
            return;
    }
    if (!list || ListCountOf(list) == 0) {
        WriteLog("CMPDefaultDlg::_HandleFilePlayPrevNext() - 1");
        return;
    }
    std::u16string name;
    std::u16string folder;
    if (!NextEntry(list, how, name, folder)) {
        WriteLog("CMPDefaultDlg::_HandleFilePlayPrevNext() - 2");
        return;
    }
    const std::u16string path = JoinWide(folder, name);
    if (OpenAndPlay(path))
        MarkPlaying(path);
}

void CMPDefaultDlg::HandleEndOfFile(uint16_t status) {
    if (status == IKvPlayer::STATUS_ERROR) {
        WriteLog("MUSIC dwStatus == IKvPlayer::STATUS_ERROR");
        if (FileList())
            FileList()->RemoveAll();
        if (m_pFolderList)
            m_pFolderList->RemoveAll();
        ReleaseAndClear(m_pPlayingList);
        StopPlayback();
        InvalidateOwner();
        return;
    }
    // Only a file that played to its end moves on. A status of none means that nothing is
    // open (a stop, or a file that failed to open); taken as an end too, it would start the
    // next song after the user stopped, and a failed open would start a new round of tries at
    // every tick for ever. The tries after a failed open go on here instead, one open per
    // tick and five at most, so a folder of broken files never holds the screen.
    if (m_iEndTries == 0 && status != IKvPlayer::STATUS_COMPLETED)
        return;
    IKvPlaylist* list = m_byRepeatMode == 1 || m_byRepeatMode == 2 ? m_pFolderList : m_pPlayingList;
    uint8_t how = m_byRepeatMode == 3 ? 3 : 0;
    // The same file again, unless it is the one that just failed.
    if (m_byRepeatMode == 2 && m_iEndTries == 0)
        how = 2;
    ++m_iEndTries;
    std::u16string name;
    std::u16string folder;
    if (!NextEntry(list, how, name, folder) || name.empty() || folder.empty()) {
        WriteLog("!path || !name");
        m_iEndTries = 0;
        return;
    }
    const std::u16string path = JoinWide(folder, name);
    if (OpenAndPlay(path)) {
        m_iEndTries = 0;
        MarkPlaying(path);
        InvalidateOwner();
        return;
    }
    if (m_iEndTries >= MP_END_TRIES) {
        // Stays stopped until the user starts something.
        m_iEndTries = 0;
        if (m_pPlayer)
            m_pPlayer->Close();
        StopPlayback();
    }
    InvalidateOwner();
}

void CMPDefaultDlg::WatchCdTrack() {
    if (!m_pPlayer || !ListRowAt(DriveList()))
        return;
    CKernel* kernel = CKernel::Instance();
    if (m_pPlayer->GetStatus() != IKvPlayer::STATUS_PLAYING) {
        ShowPlayButton(false);
        return;
    }
    KvMultimedia::KvPlayerTime t = {};
    if (m_pPlayer->GetTime(&t) != RZ_OK || t.byTrack == 0)
        return;
    if (m_iCDTrack <= 0 || m_iCDTrack == 255 || t.byTrack == m_iCDTrack)
        return;
    int track = t.byTrack;
    if (m_byRepeatMode == 2) {
        PlayCdTrack(m_iCDTrack);
        return;
    }
    if (m_byRepeatMode == 3 && m_iCDTrackCount > 0) {
        PlayCdTrack(RandomIndex(m_iCDTrackCount) + 1);
        return;
    }
    if (track == 255) {
        PlayCdTrack(1);
        return;
    }
    // The disc moved on by itself: follow it without saving.
    m_iCDTrack = track;
    const std::u16string name = plat::FormatStr(u"Track%02d.cda", track);
    const int row = FindRow(
        FileList(), [&](const UI_LIST_ROW& r) { return plat::StrCmpNoCase(r.szName, name) == 0; });
    // The disc's own folder: the drive list may show another place meanwhile.
    std::u16string disc = CDriveListHandler::DiscRoot();
    if (disc.empty())
        disc = ListRowAt(DriveList())->szFolder;
    m_strCurrentPath = JoinWide(disc, name);
    if (row >= 0) {
        FileList()->SetCurrentIndex(row);
        FileList()->SetFlag(0);
        m_iPlayIndex = row;
        if (m_pFolderList)
            m_pFolderList->SetCurrentIndex(row);
    }
    if (kernel) {
        if (m_strCurrentPath.size() < SYS_PATH_CHARS)
            plat::StrCopy(kernel->m_Settings.szCurrentMusic, m_strCurrentPath);
        kernel->m_Settings.iCurrentTrackId = track;
        kernel->m_Settings.iMediaType = 1;
    }
    InvalidateOwner();
}

void CMPDefaultDlg::KeyHandler(int command) {
    switch (command) {
        case 0x1046:
            PlayPause();
            break;
        case 0x1002:
        case 0x2010:
        case 0x1003:
        case 0x2000: {
            const bool next = command == 0x1003 || command == 0x2000;
            if (m_pPlayer && m_pPlayer->GetStatus() == IKvPlayer::STATUS_PLAYING) {
                HandleNextFile(next);
                break;
            }
            const int count = ListCount(FileList());
            if (count <= 0)
                break;
            int index = ListCurrent(FileList());
            if (index < 0)
                index = next ? count - 1 : 0;
            FileList()->SetCurrentIndex((index + (next ? 1 : count - 1)) % count);
            break;
        }
        default:
            break;
    }
    InvalidateOwner();
}

void CMPDefaultDlg::RunButton(int button) {
    if (button <= MP_BTN_VOL_DEL)
        UpdateVolume(false);  // a held button steps from the volume now, not the last drawn
    switch (button) {
        case MP_BTN_VOL_ADD:
            StepVolume(1, Button(MP_BTN_VOL_ICON), this);
            break;
        case MP_BTN_VOL_ICON:
            StepVolume(0, Button(MP_BTN_VOL_ICON), this);
            break;
        case MP_BTN_VOL_DEL:
            StepVolume(-1, Button(MP_BTN_VOL_ICON), this);
            break;
        case MP_BTN_PREVIOUS:
            HandleNextFile(false);
            break;
        case MP_BTN_NEXT:
            HandleNextFile(true);
            break;
        case MP_BTN_PLAY:
        case MP_BTN_PAUSE:
            PlayPause();
            break;
        case MP_BTN_REPEAT:
            ChangeRepeat();
            break;
        case MP_BTN_SOUND_EFFECT:
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                                  (intptr_t(APPTYPE_MUSIC) << 16) | APPTYPE_AUDIO_SET);
            break;
        case MP_BTN_RET_MENU:
            if (m_bySourceMode == MP_SOURCE_NEW_PLAYLIST ||
                m_bySourceMode == MP_SOURCE_EDIT_PLAYLIST)
                LeaveEditing();
            if (m_pPlayer)
                m_pPlayer->ShowVideo(0);
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                                  (intptr_t(APPTYPE_MUSIC) << 16) | APPTYPE_HOMEPAGE);
            break;
        case MP_BTN_SOURCE:
        case MP_BTN_PLAY_LIST:
            ToggleSource();
            break;
        default:
            RunEditButton(button);
            break;
    }
    InvalidateOwner();
}

void CMPDefaultDlg::StopAll() {
    StopPlayback();
    if (m_pFolderList)
        m_pFolderList->RemoveAll();
    ReleaseAndClear(m_pPlayingList);
}

void CMPDefaultDlg::PauseIfPlaying(bool pause) {
    if (!m_pPlayer)
        return;
    const uint16_t status = m_pPlayer->GetStatus();
    if (pause && status == IKvPlayer::STATUS_PLAYING) {
        if (m_pPlayer->Pause() == RZ_OK) {
            SetStatus(MP_STATUS_PAUSED);
            ShowPlayButton(false);
        }
    } else if (!pause && status == IKvPlayer::STATUS_PAUSED) {
        const bool ok = m_pPlayer->Play() == RZ_OK;
        SetStatus(ok ? MP_STATUS_PLAYING : MP_STATUS_STOPPED);
        ShowPlayButton(ok);
    }
}

// ---- Playlist editing ------------------------------------------------------------------------

namespace {

// A playlist name that makes a file of its own in the PLAYLIST folder.
bool IsGoodPlaylistName(const std::u16string& name) {
    const size_t first = name.find_first_not_of(u' ');
    return first != std::u16string::npos && name != u"." && name != u".." &&
           name.find_first_of(u"\\/:*?\"<>|") == std::u16string::npos &&
           name != TEMP_PLAYLIST_NAME && name.rfind(u"(sysfolder)", 0) != 0;
}

}  // namespace

IKvPlaylist* CMPDefaultDlg::FindPlaylistNamed(const std::u16string& name) {
    IKvPlaylist* found = nullptr;
    int index = 0;
    if (!m_pContainer || m_pContainer->FindPlaylist(name.c_str(), &found, &index, 0) != RZ_OK)
        return nullptr;
    // An exact name only: "Rock" is not "Rock Classics".
    char16_t* real = nullptr;
    if (m_pContainer->GetNameAt(&real, index) != RZ_OK || !real || name != real)
        return nullptr;
    return found;
}

void CMPDefaultDlg::ShowCount(IKvPlaylist* list) {
    if (m_pTexts[MP_TEXT_PLAYLIST_COUNT])
        m_pTexts[MP_TEXT_PLAYLIST_COUNT]->SetText(
            plat::FormatStr(u"(%02d)", ListCountOf(list)).c_str());
}

void CMPDefaultDlg::ShowEditView(bool edit) {
    for (int i : {MP_BTN_SOURCE, MP_BTN_PLAY_LIST, MP_BTN_ADD_LIST, MP_BTN_EDIT_LIST,
                  MP_BTN_VOL_ADD, MP_BTN_VOL_ICON, MP_BTN_VOL_DEL, MP_BTN_PREVIOUS, MP_BTN_PLAY,
                  MP_BTN_PAUSE, MP_BTN_NEXT, MP_BTN_REPEAT, MP_BTN_SOUND_EFFECT})
        if (IKvButton* b = Button(i))
            b->Show(0);
    for (int i : {MP_BTN_EDIT_LIST_NAME, MP_BTN_ADD_FILE, MP_BTN_SAVE, MP_BTN_EXIT})
        if (IKvButton* b = Button(i)) {
            b->Show(1);
            b->SetNormal();
        }
    for (int i : {MP_BTN_DEL_LIST, MP_BTN_DEL_FILE})
        if (IKvButton* b = Button(i)) {
            b->Show(edit ? 1 : 0);
            b->SetNormal();
        }
    if (DriveList())
        DriveList()->Show(1);
    if (m_pPlaylistBox)
        m_pPlaylistBox->Show(0);
    for (int i : {MP_TEXT_PLAYLIST_TITLE, MP_TEXT_PLAYLIST_COUNT})
        if (m_pTexts[i])
            m_pTexts[i]->Show(1);
}

void CMPDefaultDlg::ReturnToPlaylistView() {
    CKernel* kernel = CKernel::Instance();
    m_bySourceMode = MP_SOURCE_PLAYLISTS;
    m_bAddingView = 0;
    m_strEditName.clear();
    m_strDeleteName.clear();
    if (m_pDriveHandler)
        m_pDriveHandler->m_bHideDisc = 0;
    for (int i : {MP_BTN_DEL_LIST, MP_BTN_EDIT_LIST_NAME, MP_BTN_ADD_FILE, MP_BTN_DEL_FILE,
                  MP_BTN_SAVE, MP_BTN_EXIT})
        if (IKvButton* b = Button(i))
            b->Show(0);
    for (int i : {MP_BTN_VOL_ADD, MP_BTN_VOL_ICON, MP_BTN_VOL_DEL, MP_BTN_PREVIOUS, MP_BTN_NEXT,
                  MP_BTN_REPEAT, MP_BTN_SOUND_EFFECT})
        if (IKvButton* b = Button(i))
            b->Show(1);
    ShowPlayButton(false);
    if (m_pPlaylistBox)
        m_pPlaylistBox->SetDisabled(0);
    ShowPlaylistView();
    if (FileList())
        FileList()->Show(1);
    for (int i : {MP_TEXT_PLAYLIST_TITLE, MP_TEXT_PLAYLIST_COUNT})
        if (m_pTexts[i])
            m_pTexts[i]->Show(0);
    if (kernel && m_pContainer)
        m_pContainer->LoadAll(plat::FormatStr(u"%s\\PLAYLIST", kernel->m_szBaseDir).c_str());
    if (m_pPlaylistHandler)
        m_pPlaylistHandler->FillPlaylists(m_pContainer);
}

void CMPDefaultDlg::SelectPlaylistRow(const std::u16string& name) {
    int row = FindRow(m_pPlaylistBox, [&](const UI_LIST_ROW& r) { return name == r.szName; });
    if (row < 0 && ListCount(m_pPlaylistBox) > 0)
        row = 0;
    if (FileList())
        FileList()->RemoveAll();
    if (row < 0 || !m_pPlaylistHandler)
        return;
    m_pPlaylistBox->SetCurrentIndex(row);
    m_pPlaylistHandler->OpenPlaylist();
}

void CMPDefaultDlg::EditMessage(const char16_t* text) {
    WriteLog("Music: %s", plat::Utf16ToUtf8(text).c_str());
    plat::ui::MessageBox(OwnerWindow(), text, u"Warning", plat::ui::kMbOk);
}

void CMPDefaultDlg::RunEditButton(int button) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !m_pContainer || !m_pPlaylistHandler)
        return;
    IKvText* title = m_pTexts[MP_TEXT_PLAYLIST_TITLE];
    switch (button) {
        case MP_BTN_ADD_LIST: {
            if (m_bySourceMode != MP_SOURCE_PLAYLISTS)
                return;
            StopAll();
            m_strDeleteName.clear();
            m_pContainer->RemovePlaylist(TEMP_PLAYLIST_NAME, 0);
            m_pPlaylistHandler->FillPlaylists(m_pContainer);
            m_pPlaylistHandler->CreatePlaylist();
            const int count = ListCount(m_pPlaylistBox);
            if (count <= 0)
                return;
            m_pPlaylistBox->SetCurrentIndex(count - 1);
            if (FileList())
                FileList()->RemoveAll();
            std::u16string name;
            IKvPlaylist* list = nullptr;
            if (!m_pPlaylistHandler->TakeSelected(name, &list) || !list) {
                m_pPlaylistBox->SetFlag(1);
                return;
            }
            m_bySourceMode = MP_SOURCE_NEW_PLAYLIST;
            m_strEditName = name;
            m_bAddingView = 0;
            if (title)
                title->SetText(name.c_str());
            ShowCount(list);
            ShowEditView(false);
            break;
        }
        case MP_BTN_EDIT_LIST: {
            if (m_bySourceMode != MP_SOURCE_PLAYLISTS)
                return;
            StopAll();
            std::u16string name;
            IKvPlaylist* list = nullptr;
            if (!m_pPlaylistHandler->TakeSelected(name, &list) || !list ||
                name == TEMP_PLAYLIST_NAME)
                return;
            m_pContainer->RemovePlaylist(TEMP_PLAYLIST_NAME, 0);
            list = FindPlaylistNamed(name);
            IKvPlaylist* temp = nullptr;
            int index = 0;
            if (!list || m_pContainer->CreatePlaylist(TEMP_PLAYLIST_NAME, &temp, &index) != RZ_OK ||
                !temp || m_pContainer->CopyPlaylist(temp, list) != RZ_OK) {
                m_pContainer->RemovePlaylist(TEMP_PLAYLIST_NAME, 0);
                return;
            }
            m_bySourceMode = MP_SOURCE_EDIT_PLAYLIST;
            m_strEditName = name;
            m_strDeleteName.clear();
            m_bAddingView = 0;
            if (title)
                title->SetText(name.c_str());
            m_pPlaylistHandler->FillFiles(temp);
            ShowCount(temp);
            m_pPlaylistBox->SetDisabled(1);
            ShowEditView(true);
            for (int i : {MP_BTN_EDIT_LIST_NAME, MP_BTN_ADD_FILE, MP_BTN_DEL_FILE})
                if (IKvButton* b = Button(i))
                    b->SetNormal();
            break;
        }
        case MP_BTN_ADD_FILE: {
            if (m_bySourceMode != MP_SOURCE_NEW_PLAYLIST &&
                m_bySourceMode != MP_SOURCE_EDIT_PLAYLIST)
                return;
            const UI_LIST_ROW* row = ListRowAt(FileList());
            const bool offered = m_bAddingView || m_bySourceMode == MP_SOURCE_NEW_PLAYLIST;
            if (!offered || !row) {
                // First the music to add from.
                m_bAddingView = 1;
                if (m_pDriveHandler) {
                    m_pDriveHandler->m_bHideDisc = 1;
                    m_pDriveHandler->ListDrives();
                }
                if (DriveList())
                    DriveList()->Show(1);
                m_pPlaylistBox->Show(0);
                if (FileList())
                    FileList()->RemoveAll();
                return;
            }
            const std::u16string name = row->szName;
            if (row->wKind != ROW_FILE || IsPlaceholderName(name))
                return;
            if (m_bySourceMode == MP_SOURCE_NEW_PLAYLIST) {
                IKvPlaylist* list = FindPlaylistNamed(m_strEditName);
                if (list && list->AddItem(StampName(name).c_str(), row->szFolder) == RZ_OK)
                    ShowCount(list);
            } else {
                IKvPlaylist* temp = FindPlaylistNamed(TEMP_PLAYLIST_NAME);
                if (temp && temp->AddItem(name.c_str(), row->szFolder) == RZ_OK)
                    ShowCount(temp);
            }
            break;
        }
        case MP_BTN_DEL_FILE: {
            IKvPlaylist* temp = FindPlaylistNamed(TEMP_PLAYLIST_NAME);
            const UI_LIST_ROW* row = ListRowAt(FileList());
            if (m_bySourceMode != MP_SOURCE_EDIT_PLAYLIST || !temp || !row)
                return;
            temp->RemoveItem(row->szName);
            // The playlist is on show again, no folder's files to add from.
            m_bAddingView = 0;
            m_pPlaylistHandler->FillFiles(temp);
            ShowCount(temp);
            break;
        }
        case MP_BTN_DEL_LIST:
            if (m_bySourceMode != MP_SOURCE_EDIT_PLAYLIST)
                return;
            m_strDeleteName = m_strEditName;
            if (FileList())
                FileList()->RemoveAll();
            for (int i : {MP_BTN_EDIT_LIST_NAME, MP_BTN_ADD_FILE, MP_BTN_DEL_FILE})
                if (IKvButton* b = Button(i))
                    b->Disable();
            break;
        case MP_BTN_EDIT_LIST_NAME: {
            if (m_bySourceMode != MP_SOURCE_NEW_PLAYLIST &&
                m_bySourceMode != MP_SOURCE_EDIT_PLAYLIST)
                return;
            char16_t* current = nullptr;
            if (title)
                title->GetText(&current);
            plat::StrCopy(kernel->m_szKbTitle, kernel->m_Language[MSG_KB_EDIT_PLAYLIST_NAME]);
            plat::StrCopy(kernel->m_szKbInitial, current ? current : u"");
            kernel->m_iKbResult = 0;
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                                  (intptr_t(APPTYPE_MUSIC) << 16) | APPTYPE_KB);
            break;
        }
        case MP_BTN_SAVE:
            SavePlaylistEdit();
            break;
        case MP_BTN_EXIT:
            LeaveEditing();
            break;
        default:
            break;
    }
}

void CMPDefaultDlg::SavePlaylistEdit() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !m_pContainer)
        return;
    char16_t* text = nullptr;
    if (IKvText* title = m_pTexts[MP_TEXT_PLAYLIST_TITLE])
        title->GetText(&text);
    std::u16string name = text && text[0] ? std::u16string(text) : m_strEditName;
    const std::string folder =
        plat::NativePath(plat::FormatStr(u"%s\\PLAYLIST", kernel->m_szBaseDir));
    auto fileOf = [&](const std::u16string& n) { return folder + "/" + plat::Utf16ToUtf8(n); };
    if (m_bySourceMode == MP_SOURCE_EDIT_PLAYLIST && !m_strDeleteName.empty()) {
        if (plat::PathExists(fileOf(m_strDeleteName)) &&
            !plat::RemoveFile(fileOf(m_strDeleteName))) {
            EditMessage(u"\tThe playlist cannot be deleted !\t");
            return;
        }
        if (IKvPlaylist* temp = FindPlaylistNamed(TEMP_PLAYLIST_NAME))
            m_pContainer->RemovePlaylistByPointer(temp);
        if (IKvPlaylist* gone = FindPlaylistNamed(m_strDeleteName))
            m_pContainer->RemovePlaylistByPointer(gone);
        ReturnToPlaylistView();
        SelectPlaylistRow(u"");
        return;
    }
    if (m_bySourceMode != MP_SOURCE_NEW_PLAYLIST && m_bySourceMode != MP_SOURCE_EDIT_PLAYLIST)
        return;
    const bool renamed = name != m_strEditName;
    if (!IsGoodPlaylistName(name) || (renamed && FindPlaylistNamed(name))) {
        EditMessage(u"\tThis playlist name cannot be used !\t");
        return;
    }
    IKvPlaylist* list = FindPlaylistNamed(m_strEditName);
    if (!list) {
        EditMessage(u"\tThe playlist cannot be saved !\t");
        return;
    }
    IKvPlaylist* temp = nullptr;
    if (m_bySourceMode == MP_SOURCE_EDIT_PLAYLIST) {
        temp = FindPlaylistNamed(TEMP_PLAYLIST_NAME);
        if (!temp || m_pContainer->CopyPlaylist(list, temp) != RZ_OK) {
            EditMessage(u"\tThe playlist cannot be saved !\t");
            return;
        }
    }
    if (renamed)
        m_pContainer->RenamePlaylist(list, name.c_str());
    // The new file first; the old one goes only once the new one is written.
    if (m_pContainer->SavePlaylist(name.c_str()) != RZ_OK || !plat::PathExists(fileOf(name))) {
        if (renamed)
            m_pContainer->RenamePlaylist(list, m_strEditName.c_str());
        EditMessage(u"\tThe playlist cannot be saved !\t");
        return;
    }
    if (renamed && m_bySourceMode == MP_SOURCE_EDIT_PLAYLIST &&
        plat::PathExists(fileOf(m_strEditName)))
        plat::RemoveFile(fileOf(m_strEditName));
    if (temp)
        m_pContainer->RemovePlaylistByPointer(temp);
    const bool fresh = m_bySourceMode == MP_SOURCE_NEW_PLAYLIST;
    ReturnToPlaylistView();
    SelectPlaylistRow(name);
    if (fresh && ListCount(FileList()) > 0) {
        FileList()->SetCurrentIndex(0);
        PlayPause();
    }
}

void CMPDefaultDlg::LeaveEditing() {
    if (m_bySourceMode != MP_SOURCE_NEW_PLAYLIST && m_bySourceMode != MP_SOURCE_EDIT_PLAYLIST)
        return;
    const std::u16string edited = m_strEditName;
    // The files stay as they were: the reload below brings back what is stored.
    ReturnToPlaylistView();
    SelectPlaylistRow(edited);
}

void CMPDefaultDlg::OnBack() {
    if (m_bySourceMode == MP_SOURCE_NEW_PLAYLIST || m_bySourceMode == MP_SOURCE_EDIT_PLAYLIST) {
        LeaveEditing();
        InvalidateOwner();
        return;
    }
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (intptr_t(APPTYPE_MUSIC) << 16) | APPTYPE_HOMEPAGE);
}

void CMPDefaultDlg::SaveSettings() {
    if (CKernel* kernel = CKernel::Instance())
        kernel->SaveSettings();
}

// ---- Resume -------------------------------------------------------------------------------------

void CMPDefaultDlg::ResumeLast() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    const SYS_SETTINGS& s = kernel->m_Settings;
    // Already resumed by the first show.
    if (m_pPlayer && m_pPlayer->GetStatus() == IKvPlayer::STATUS_PLAYING &&
        m_strCurrentPath == s.szCurrentMusic)
        return;
    if (s.szCurrentPlaylist[0]) {
        if (m_bySourceMode == MP_SOURCE_FOLDERS)
            ToggleSource();
        const std::u16string music = s.szCurrentMusic;
        const int file = FindRow(FileList(), [&](const UI_LIST_ROW& r) {
            return JoinWide(r.szFolder, r.szName) == music;
        });
        if (file >= 0) {
            FileList()->SetCurrentIndex(file);
            PlaySelected();
        }
        return;
    }
    if (s.iMediaType == 1) {
        while (m_pDriveHandler->Inside())
            m_pDriveHandler->GoUp();
        m_pDriveHandler->ListDrives();
        const int disc = FindRow(DriveList(), [&](const UI_LIST_ROW& r) { return IsDiscRow(r); });
        if (disc < 0 || kernel->GetDriveSnapshot().byDiscType != DISC_AUDIO_CD)
            return;
        DriveList()->SetCurrentIndex(disc);
        m_pFileHandler->FillFolder(ListRowAt(DriveList(), disc)->szFolder);
        m_bAudioCD = 1;
        m_iCDTrackCount = ListCount(FileList());
        if (m_pPlayer)
            m_pPlayer->CloseCD();
        const std::u16string track = plat::FormatStr(u"Track%02d.cda", s.iCurrentTrackId);
        const int row = FindRow(FileList(), [&](const UI_LIST_ROW& r) {
            return plat::StrCmpNoCase(r.szName, track) == 0;
        });
        if (row >= 0) {
            FileList()->SetCurrentIndex(row);
            PlaySelected();
        }
        return;
    }
    if (s.szCurrentMusic[0] && SelectDriveRowOfPath(s.szCurrentMusic))
        PlaySelected();
}
