// The movie page's DVD: the disc and VIDEO_TS folders opened and played, the begin/continue
// prompt, bookmarks, the disc menus worked by pen, and the setup view of audio, sub-picture and
// root menu.
#include "apps/media/MoviePlayDlg.h"

#include <algorithm>

#include "apps/media/MediaPage.h"
#include "apps/media/MovieResume.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/Language.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/PageSetup.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using KvMultimedia::IKvPlayer;
using KvUserInterface::IKvButton;
using mediapage::ListCount;

// ---- DVD -------------------------------------------------------------------------------------

void CMoviePlayDlg::OnMouseMove(int x, int y) {
    IMPlayerDlg::OnMouseMove(x, y);
    // The disc menu highlights the button under the pen.
    if (IsDvd() && m_bVideoShown && !m_bDvdSetupMode)
        m_pPlayer->DvdMouse(0x200, x, y);
}

bool CMoviePlayDlg::IsDvd() const {
    return m_pPlayer && m_pPlayer->GetMediaType() == IKvPlayer::MEDIA_DVD;
}

bool CMoviePlayDlg::DvdAllowsFastPlay() {
    KvMultimedia::KvDvdDomain domain = KvMultimedia::DVD_DOMAIN_Stop;
    uint32_t forbidden = 0;
    return IsDvd() && m_pPlayer->GetCurrentDomain(&domain) == RZ_OK &&
           domain == KvMultimedia::DVD_DOMAIN_Title &&
           m_pPlayer->GetCurrentUOPs(&forbidden) == RZ_OK &&
           !(forbidden & KvMultimedia::UOP_FLAG_Play_Forwards);
}

void CMoviePlayDlg::PlayDvdRow() {
    CKernel* kernel = CKernel::Instance();
    if (!m_pPlayer || !kernel || m_bDvdSetupMode)
        return;
    const uint16_t status = m_pPlayer->GetStatus();
    const bool open =
        IsDvd() && (status == IKvPlayer::STATUS_PLAYING || status == IKvPlayer::STATUS_PAUSED);
    // The disc's row plays the disc, also while a VIDEO_TS folder of a stick is open; the
    // folder's own row (its start file, which plays) pauses and resumes that folder.
    const UI_LIST_ROW* row = ListRowAt(FileList());
    const bool discRow = !row || plat::StrCmp(row->szName, ROW_PLAY_DVD) == 0;
    const bool same =
        discRow ? m_strCurrentPath == ROW_PLAY_DVD && !m_bFolderDvd : m_bFolderDvd != 0;
    if (!open || !same) {
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
    // Shown before the fit, which gives only a shown picture its aspect.
    ShowVideo(m_bVisible != 0);
    FitVideoWindow(m_bFullScreen != 0, true);
    ShowPlayButton(true);
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

bool CMoviePlayDlg::PromptForBookmark() {
    if (m_strBookmark.empty() || !plat::IsRegularFile(plat::NativePath(m_strBookmark)))
        return false;
    Action(0x70204);
    ToggleStatus();
    m_pPlayer->Pause();
    ShowPrompt();
    return true;
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
    // Shown first: the fit gives a shown picture its aspect, and so keeps it on the screen.
    ShowVideo(true);
    FitVideoWindow(true, false);
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
    m_pPlayer->SetDVDDirectory(ifoPath.c_str());
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
    if (PromptForBookmark()) {
        m_iDvdOpenPending = 0;
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
    // Shown before the fit, which gives only a shown picture its aspect.
    ShowVideo(m_bVisible != 0);
    FitVideoWindow(m_bFullScreen != 0, false);
    ShowPlayButton(true);
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
    ToggleStatus();
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
    ShowSetupButtons(true);
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
        ShowVideo(true);
        FitVideoWindow(true, false);
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
    ShowSetupButtons(false);
    if (m_pDriveHandler)
        m_pDriveHandler->ListDrives();
    if (const UI_LIST_ROW* r = ListRowAt(DriveList()))
        m_pFileHandler->FillFolder(r->szFolder);
    InvalidateOwner();
}

void CMoviePlayDlg::OnBack() {
    m_bDvdSetupMode = 0;
    ShowSetupButtons(false);
    Action(0x70100);
    SetStatus(MV_STATUS_PLAYING);
    if (!m_pPlayer || m_pPlayer->Play() != RZ_OK) {
        ShowPlayButton(false);
    } else {
        ShowPlayButton(true);
        ShowVideo(true);
    }
    if (m_bFolderDvd) {
        // A DVD folder of a stick: the lists show its rows again, not the setup view's.
        if (m_pDriveHandler)
            m_pDriveHandler->ListDrives();
        SelectCurrentRows();
        if (const UI_LIST_ROW* r = ListRowAt(DriveList()))
            m_pFileHandler->FillFolder(r->szFolder);
        SelectPlayingRow();
    } else {
        SelectDiscRow();
    }
    FitVideoWindow(true, false);
    InvalidateOwner();
}
