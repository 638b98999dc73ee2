// The movie page's video window (fitting, aspect, full screen), its drive and disc watching,
// its timer work and the end of an item.
#include "apps/media/MoviePlayDlg.h"

#include <cstring>
#include <vector>

#include "apps/media/MediaPage.h"
#include "apps/media/MovieHelpers.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "platform/io/File.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Drives.h"
#include "platform/text/Text.h"

using KvMultimedia::IKvPlayer;
using KvUserInterface::IKvListbox;
using mediapage::JoinWide;
using mediapage::ListCount;
using moviepage::LogPlay;
using moviepage::MakeCurrent;
using moviepage::MovieFilesOf;
using moviepage::SamePath;

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
        // The aspect rule's area takes in the rectangle's last column and row.
        m_Area[0] = m_rcVideo[0];
        m_Area[1] = m_rcVideo[1];
        m_Area[2] = W + 1;
        m_Area[3] = H + 1;
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
    // The lists show the playing film again, and next, previous and the end of a film reach
    // what came at once (a stick put in while a film plays).
    SelectCurrentRows();
    const UI_LIST_ROW* drive = ListRowAt(DriveList());
    if (drive && drive->szFolder[0] && present(drive->szFolder[0])) {
        BuildAllPlaylist();
        MakeCurrentPath();
    }
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
        // What plays already goes on: a stick put in does not start it again from its start.
        // The place kept from the last run has had its use (it was for this start, or for a
        // film that did not start).
        const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
        if (status == IKvPlayer::STATUS_PLAYING || status == IKvPlayer::STATUS_PAUSED) {
            if (m_bySeat == 0)
                kernel->m_Settings.llMoviePosition = 0;
            InvalidateOwner();
            return;
        }
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

void CMoviePlayDlg::SelectCurrentRows() {
    if (m_strCurrentPath.empty() || !DriveList())
        return;
    // The drive list's row of the disc, or the row whose folder holds the film (the longest).
    const bool disc = m_strCurrentPath == ROW_PLAY_DVD;
    int row = -1;
    size_t longest = 0;
    const int rows = ListCount(DriveList());
    for (int i = 0; i < rows; ++i) {
        const UI_LIST_ROW* r = ListRowAt(DriveList(), i);
        if (!r)
            continue;
        if (disc) {
            if (plat::StrCmp(r->szName, u"DVD") == 0)
                row = i;
            continue;
        }
        const size_t n = plat::StrLen(r->szFolder);
        if (n > longest && m_strCurrentPath.size() > n &&
            (r->szFolder[n - 1] == u'\\' || m_strCurrentPath[n] == u'\\') &&
            SamePath(std::u16string(r->szFolder, n), m_strCurrentPath.substr(0, n))) {
            row = i;
            longest = n;
        }
    }
    if (row >= 0)
        DriveList()->SetCurrentIndex(row);
    if (disc)
        return;
    SelectPlayingRow();
    MakeCurrentPath();
}

void CMoviePlayDlg::MakeCurrentPath() {
    const size_t sep = m_strCurrentPath.find_last_of(u'\\');
    if (sep != std::u16string::npos)
        MakeCurrent(m_pAllPlaylist, m_strCurrentPath.substr(sep + 1),
                    m_strCurrentPath.substr(0, sep));
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
                if (list && m_bListPress)
                    list->OnLButtonUp(m_iPenX, m_iPenY, &action);
            if (m_byPending == MV_BTN_VOL_ADD || m_byPending == MV_BTN_VOL_DEL)
                RunButton(m_byPending);
        }
    }
    const uint16_t status = m_pPlayer ? m_pPlayer->GetStatus() : 0;
    if (now - m_dwLast1000 > (m_bPrompt ? 3000u : 1000u)) {
        m_dwLast1000 = now;
        RunAutoLaunch();
        bool refreshed = false;
        if (CKernel* kernel = CKernel::Instance()) {
            const DRIVE_SNAPSHOT snap = kernel->GetDriveSnapshot();
            if (std::memcmp(&snap, &m_DriveSnapshot, sizeof snap) != 0) {
                m_DriveSnapshot = snap;
                if (snap.byDiscType == DISC_VCD)
                    ListVcdSections();
                if (!m_bDvdSetupMode) {
                    RefreshDrives();
                    refreshed = true;
                }
            }
        }
        // The selected drive's volume can be read again, or no longer (the setup view's rows
        // are no drives). The disc's row is left to the disc watch above: reading the disc
        // every second would keep it spinning and the drive busy.
        const UI_LIST_ROW* drive = m_bDvdSetupMode ? nullptr : ListRowAt(DriveList());
        const bool disc =
            drive && m_DriveSnapshot.chDvd &&
            plat::ToLowerAscii(drive->szFolder[0]) == plat::ToLowerAscii(m_DriveSnapshot.chDvd);
        if (!m_bDvdSetupMode && !disc) {
            const uint8_t readable =
                drive && drive->szFolder[0] &&
                        plat::Drives().GetVolumeInformation(drive->szFolder[0], nullptr, nullptr)
                    ? 1
                    : 0;
            if (readable != m_bVolumeReadable) {
                m_bVolumeReadable = readable;
                if (!refreshed)
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
            // A title played fast has ended (or the disc now forbids fast play): its menu or
            // next title plays at normal speed, with sound.
            if (m_bySpeed != 0 && IsDvd() && !DvdAllowsFastPlay())
                StepSpeed(true);
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
        if (m_pPlayer->OpenFile(path.c_str(), IKvPlayer::MEDIA_VCD) != RZ_OK)
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
