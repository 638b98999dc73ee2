#include "apps/media/PhotoDlg.h"

#include <cstring>

#include "apps/media/MediaPage.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/IKvImage.h"
#include "library/include/IKvPlaylist.h"
#include "library/include/Vantrel.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Drives.h"
#include "platform/text/Text.h"

using KvMultimedia::IKvImage;
using KvMultimedia::IKvPlaylist;
using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;
using KvUserInterface::IKvText;

namespace {

struct BUTTON_DEF {
    const char16_t* key;
    uint8_t shown;
};

const BUTTON_DEF kButtons[PH_BTN_COUNT] = {
    {u"Vol-Add", 1},      {u"Vol-Icon", 1}, {u"Vol-Del", 1},      {u"Source", 1},
    {u"Rotate_Photo", 1}, {u"Play", 1},     {u"Pause", 0},        {u"Prev-File", 1},
    {u"Next-File", 1},    {u"Speed", 1},    {u"Sound-Effect", 1}, {u"Ret-Menu", 1},
    {u"OK", 0},           {u"CANCEL", 0},
};

// Grid cells on the front screen, and how far each row moves down on the rear one.
const int kGrid3X[3] = {272, 433, 594};
const int kGrid3Y[3] = {85, 189, 293};
const int kGrid3Rear[3] = {32, 62, 92};
const int kGrid4X[4] = {272, 393, 514, 635};
const int kGrid4Y[4] = {85, 162, 239, 316};
const int kGrid4Rear[4] = {32, 52, 72, 92};

const uint32_t kIntervals[4] = {1500, 1500, 3000, 5000};

using pageui::ReleaseAndClear;

using mediapage::FindRow;
using mediapage::FolderOf;
using mediapage::IsPlaceholderName;
using mediapage::JoinWide;
using mediapage::ListCount;
using mediapage::ListCurrent;
using mediapage::NameOf;
using mediapage::SameFolder;

}  // namespace

CPhotoDlg::CPhotoDlg() = default;

CPhotoDlg::~CPhotoDlg() {
    ReleaseAll();
}

void CPhotoDlg::ReleaseAll() {
    ReleaseAndClear(m_pPicture);
    ReleaseAndClear(m_pCellImage);
    ReleaseAndClear(m_pFolderList);
    ReleaseAndClear(m_pContainer);
    ReleaseAndClear(m_pButtons);
    ReleaseAndClear(m_pCaption);
    // The list boxes hold the handlers: they go first.
    ReleaseAndClear(m_pListbox);
    m_pDriveHandler.reset();
    m_pFileHandler.reset();
}

void CPhotoDlg::ResetDefault() {
    WriteLog("CPhotoDlg::ResetDefault()");
    m_byViewMode = PH_VIEW_GRID3;
    m_bSlideshow = 0;
    m_bPaused = 0;
    m_bySpeedMode = 0;
    m_dwInterval = 1500;
}

// ---- Skin ------------------------------------------------------------------------------------

bool CPhotoDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    IMPlayerDlg::SetSkin(seat, mainWnd, appType);
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    if (!mediapage::MakeLists(m_pListbox[0], m_pListbox[1], MEDIA_KIND_PHOTO, m_pDriveHandler,
                              m_pFileHandler))
        return false;
    FileList()->SetViewMode(KvUserInterface::LISTBOX_VIEW_GRID);
    FileList()->SetGridLayout(KvUserInterface::LISTBOX_GRID_3X3);
    if (!mediapage::MakePlayback(nullptr, m_pContainer))
        return false;
    for (int attempt = 0; attempt < 3; ++attempt)
        if (LoadSkin()) {
            ApplyViewMode();
            return true;
        }
    return false;
}

bool CPhotoDlg::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    if (!CVelkoraAppDlg::LoadSkin())
        return false;
    const mediapage::MediaSkin skin{SkinPath(PH_SKIN_FILE), SkinPath(PH_SKIN_FOLDER),
                                    m_bySeat == 1};
    pageui::LoadBackground(m_pBackground, skin.file, skin.folder);
    for (int i = 0; i < PH_BTN_COUNT; ++i) {
        if (!mediapage::MakeButton(m_pButtons[i], skin, kButtons[i].key,
                                   mediapage::KeptShown(m_pButtons[i], kButtons[i].shown)))
            return false;
    }
    m_pButtons[PH_BTN_VOL_ICON]->SetFixedFrame(1);
    m_pButtons[PH_BTN_VOL_ICON]->SetFrame(m_bMute ? 1 : 0);
    m_pButtons[PH_BTN_SOURCE]->SetFixedFrame(1);
    m_pButtons[PH_BTN_SOURCE]->SetFrame(m_byViewMode);
    m_pButtons[PH_BTN_SPEED]->SetFixedFrame(1);
    m_pButtons[PH_BTN_SPEED]->SetFrame(m_bySpeedMode);

    mediapage::LayOutLists(DriveList(), FileList(), skin);
    for (int i = 0; i < 2; ++i) {
        ReleaseAndClear(m_pCellImage[i]);
        m_pCellImage[i] = LoadImage(plat::FormatStr(u"%s\\%s", skin.folder.c_str(),
                                                    i == 0 ? u"ImageBkg1.jpg" : u"ImageBkg2.jpg"));
    }
    if (!mediapage::MakeLabelOnce(m_pCaption, {150, 250, 500, 40, 18, 255, 255, 255, 0, 0}))
        return false;
    if (CKernel* kernel = CKernel::Instance())
        m_pCaption->SetText(kernel->m_Language[MSG_WARNING_DELETE]);
    WriteLog("CPhotoDlg: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

// ---- Views -----------------------------------------------------------------------------------

void CPhotoDlg::ShowPlayButton(bool playing) {
    if (IKvButton* b = Button(PH_BTN_PLAY))
        b->Show(playing ? 0 : 1);
    if (IKvButton* b = Button(PH_BTN_PAUSE))
        b->Show(playing ? 1 : 0);
}

void CPhotoDlg::ApplyViewMode() {
    IKvListbox* list = FileList();
    if (!list)
        return;
    if (m_byViewMode == PH_VIEW_LIST) {
        list->SetViewMode(KvUserInterface::LISTBOX_VIEW_TEXT);
    } else {
        list->SetViewMode(KvUserInterface::LISTBOX_VIEW_GRID);
        list->SetGridLayout(m_byViewMode == PH_VIEW_GRID3 ? KvUserInterface::LISTBOX_GRID_3X3
                                                          : KvUserInterface::LISTBOX_GRID_4X4);
        list->SetShifted(m_bySeat == 1 ? 1 : 0);
    }
    if (IKvButton* b = Button(PH_BTN_SOURCE))
        b->SetFrame(m_byViewMode);
}

void CPhotoDlg::NextViewMode() {
    if (m_bSlideshow && m_bPaused)
        StopSlideshow();
    m_byViewMode = m_byViewMode >= PH_VIEW_GRID4 ? PH_VIEW_LIST : m_byViewMode + 1;
    const int index = ListCurrent(FileList());
    ApplyViewMode();
    // The thumbnails (or their absence) come with the rows: the list is filled again.
    const UI_LIST_ROW* row = ListRowAt(FileList(), 0);
    if (row && m_pFileHandler) {
        const std::u16string folder = row->szFolder;
        m_pFileHandler->FillFolder(folder);
        if (index >= 0 && index < ListCount(FileList()))
            FileList()->SetCurrentIndex(index);
    }
    InvalidateOwner();
}

int CPhotoDlg::HitTestGrid(int x, int y) const {
    const bool grid3 = m_byViewMode == PH_VIEW_GRID3;
    if (!grid3 && m_byViewMode != PH_VIEW_GRID4)
        return -1;
    const int n = grid3 ? 3 : 4;
    const int w = grid3 ? 160 : 120;
    const int h = grid3 ? 102 : 76;
    for (int r = 0; r < n; ++r) {
        const int top = (grid3 ? kGrid3Y[r] : kGrid4Y[r]) +
                        (m_bySeat == 1 ? (grid3 ? kGrid3Rear[r] : kGrid4Rear[r]) : 0);
        if (!(y > top && y < top + h))
            continue;
        for (int c = 0; c < n; ++c) {
            const int left = grid3 ? kGrid3X[c] : kGrid4X[c];
            if (x > left && x < left + w)
                return r * n + c;
        }
    }
    return -1;
}

void CPhotoDlg::FitToScreen(uint32_t w, uint32_t h, int* outW, int* outH) const {
    double fw = w, fh = h;
    const double maxH = m_bySeat == 1 ? 600 : 480;
    while (fw > 800 || fh > maxH) {
        fw *= 0.98;
        fh *= 0.98;
    }
    *outW = static_cast<int>(fw);
    *outH = static_cast<int>(fh);
}

// ---- Pictures --------------------------------------------------------------------------------

bool CPhotoDlg::LoadPicture(const std::u16string& folder, const std::u16string& name,
                            bool decodeNow) {
    ReleaseAndClear(m_pPicture);
    m_strPicture.clear();
    m_bPictureDrawn = 0;
    if (IsPlaceholderName(name) || name.empty())
        return false;
    const std::u16string path = JoinWide(folder, name);
    IKvImage* image = LoadImage(path);
    // IsLoaded decodes the whole picture (a camera's photo at screen size): only worth it
    // when the picture is about to be drawn, which then uses those pixels.
    int loaded = 0;
    uint32_t w = 0, h = 0;
    const bool usable = image && (decodeNow ? image->IsLoaded(&loaded) == RZ_OK && loaded
                                            : image->GetSize(&w, &h) == RZ_OK && w && h);
    if (!usable) {
        ReleaseAndClear(image);
        WriteLog("Photo: cannot load %s", plat::Utf16ToUtf8(path).c_str());
        return false;
    }
    m_pPicture = image;
    m_strPicture = path;
    return true;
}

void CPhotoDlg::ClosePicture() {
    m_bPictureShown = 0;
    ReleaseAndClear(m_pPicture);
    m_strPicture.clear();
}

bool CPhotoDlg::LoadCurrentFileRow(bool decodeNow) {
    const UI_LIST_ROW* row = ListRowAt(FileList());
    if (!row || row->wKind != ROW_FILE)
        return false;
    const UI_LIST_ROW copy = *row;
    return LoadPicture(copy.szFolder, copy.szName, decodeNow);
}

void CPhotoDlg::RebuildFolderList() {
    if (!m_pContainer)
        return;
    const UI_LIST_ROW* head = m_pDriveHandler ? m_pDriveHandler->Head() : nullptr;
    const std::u16string name =
        std::u16string(PH_FOLDER_LIST_PREFIX) + (head ? head->szFolder : u"");
    if (!m_pFolderList) {
        IKvPlaylist* list = nullptr;
        if (m_pContainer->GetPlaylist(&list, PH_FOLDER_LIST_PREFIX, 1) == RZ_OK && list) {
            m_pContainer->RenamePlaylist(list, name.c_str());
        } else {
            int index = 0;
            list = nullptr;
            if (m_pContainer->CreatePlaylist(name.c_str(), &list, &index) != RZ_OK || !list)
                return;
        }
        list->AddRef();
        m_pFolderList = list;
    } else {
        m_pContainer->RenamePlaylist(m_pFolderList, name.c_str());
    }
    mediapage::FillWithFileRows(m_pFolderList, FileList());
}

void CPhotoDlg::FollowFolderCursor() {
    int index = -1;
    if (m_pFolderList && m_pFolderList->GetCurrentIndex(&index) == RZ_OK && index >= 0 &&
        index < ListCount(FileList())) {
        FileList()->SetCurrentIndex(index);
        FileList()->SetFlag(0);
    }
}

bool CPhotoDlg::ShowFolderEntry(bool forward) {
    if (!m_pFolderList)
        return false;
    char16_t* name = nullptr;
    char16_t* folder = nullptr;
    uint8_t type = 0;
    const RZRESULT r = forward ? m_pFolderList->NextItem(&name, &folder, &type, 1)
                               : m_pFolderList->PrevItem(&name, &folder, &type, 1);
    if (r != RZ_OK || !name || !folder)
        return false;
    const bool ok = LoadPicture(folder, name);
    FollowFolderCursor();
    return ok;
}

// ---- Slideshow -------------------------------------------------------------------------------

void CPhotoDlg::StopSlideshow() {
    m_bSlideshow = 0;
    m_bPaused = 0;
    m_bPendingShow = 0;
    ShowPlayButton(false);
}

void CPhotoDlg::StartSlideshow() {
    if (!m_pFolderList)
        RebuildFolderList();
    char16_t* name = nullptr;
    char16_t* folder = nullptr;
    uint8_t type = 0;
    if (!m_pFolderList || m_pFolderList->GetItem(&name, &folder, &type, -1) != RZ_OK || !name)
        return;
    m_bSlideshow = 1;
    m_bPaused = 0;
    m_bPictureShown = 1;
    m_dwLastStep = plat::GetTickCount();
    if (!LoadPicture(folder, name)) {
        StopSlideshow();
        m_bPictureShown = 0;
        return;
    }
    FollowFolderCursor();
    ShowPlayButton(true);
}

void CPhotoDlg::SlideshowStep() {
    if (!m_bSlideshow || !m_bVisible || m_bPaused)
        return;
    m_bPictureShown = 1;
    if (!ShowFolderEntry(true)) {
        StopSlideshow();
        m_bPictureShown = 0;
    }
    InvalidateOwner();
}

void CPhotoDlg::PlayPause() {
    if (m_bySpeedMode == 0) {
        if (LoadCurrentFileRow()) {
            RebuildFolderList();
            m_bPictureShown = 1;
        }
    } else if (m_bSlideshow) {
        m_bPaused = m_bPaused ? 0 : 1;
        ShowPlayButton(!m_bPaused);
        m_dwLastStep = plat::GetTickCount();
    } else {
        StartSlideshow();
    }
}

void CPhotoDlg::StepPicture(bool forward) {
    if (m_bySpeedMode != 0) {
        if (!m_bSlideshow || !m_bPaused)
            return;
    } else if (!m_bPictureShown) {
        return;
    }
    ShowFolderEntry(forward);
}

void CPhotoDlg::NextSpeed() {
    m_bySpeedMode = m_bySpeedMode >= 3 ? 0 : m_bySpeedMode + 1;
    m_dwInterval = kIntervals[m_bySpeedMode];
    if (m_bySpeedMode == 0)
        StopSlideshow();
    if (IKvButton* b = Button(PH_BTN_SPEED))
        b->SetFrame(m_bySpeedMode);
    m_bStartCheck = 1;
    CKernel* kernel = CKernel::Instance();
    if (m_bySeat == 0 && kernel) {
        kernel->m_Settings.iPhotoSpeedMode = m_bySpeedMode;
        kernel->SaveSettings();
    }
}

void CPhotoDlg::RotatePicture() {
    if (m_bSlideshow)
        m_bPaused = 1;
    if (m_bSlideshow)
        ShowPlayButton(false);
    CKernel* kernel = CKernel::Instance();
    if (!m_pPicture || m_byViewMode == PH_VIEW_LIST || !kernel)
        return;
    const size_t dot = m_strPicture.find_last_of(u'.');
    std::u16string ext = dot == std::u16string::npos ? u"" : m_strPicture.substr(dot);
    for (char16_t& c : ext)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    const char16_t* temp = nullptr;
    if (ext == u".jpg" || ext == u".jpeg")
        temp = u"temp.jpg";
    else if (ext == u".bmp")
        temp = u"temp.bmp";
    // The picture may be known by its header alone: a damaged body turns nothing.
    int loaded = 0;
    if (!temp || m_pPicture->IsLoaded(&loaded) != RZ_OK || !loaded)
        return;
    if (m_pPicture->Rotate90() != RZ_OK)
        return;
    const std::u16string tempPath = plat::FormatStr(u"%s\\%s", kernel->m_szBaseDir, temp);
    if (m_pPicture->Save(tempPath.c_str()) != RZ_OK) {
        WriteLog("Photo: cannot save %s", plat::Utf16ToUtf8(tempPath).c_str());
        return;
    }
    // The row keeps its name; its thumbnail is the turned picture.
    const int index = ListCurrent(FileList());
    const UI_LIST_ROW* row = ListRowAt(FileList(), index);
    if (row) {
        const UI_LIST_ROW copy = *row;
        int top = 0, end = 0;
        FileList()->GetTopIndex(&top);
        FileList()->GetEndIndex(&end);
        FileList()->SetItem(index, copy.szName, &copy, sizeof copy, tempPath.c_str());
        FileList()->SetTopIndex(top);
        FileList()->SetEndIndex(end);
        FileList()->SetCurrentIndex(index);
    }
    // The turned picture is what the full view shows now.
    const std::u16string own = m_strPicture;
    ReleaseAndClear(m_pPicture);
    m_pPicture = LoadImage(tempPath);
    m_strPicture = m_pPicture ? own : std::u16string();
    m_bPictureDrawn = 0;
}

// ---- Pen -------------------------------------------------------------------------------------

void CPhotoDlg::OnLButtonDown(int x, int y) {
    m_bPenDown = 1;
    m_iPenX = x;
    m_iPenY = y;
    m_iLongPress = 0;
    for (int i = 0; i < PH_BTN_COUNT; ++i) {
        if (!m_pButtons[i] || m_pButtons[i]->OnLButtonDown(x, y) != RZ_HIT)
            continue;
        m_pButtons[i]->SetPressed();
        m_byPending = static_cast<uint8_t>(i);
        m_bActionReady = 0;
        InvalidateOwner();
        return;
    }
    m_byPending = PH_BTN_NONE;
    uint8_t action = 0;
    if (DriveList() && DriveList()->IsVisible())
        DriveList()->OnLButtonDown(x, y, &action);
    action = 0;
    if (!m_bPictureShown && FileList() && FileList()->IsVisible())
        FileList()->OnLButtonDown(x, y, &action);
    InvalidateOwner();
}

void CPhotoDlg::OnLButtonUp(int x, int y) {
    m_bPenDown = 0;
    bool onButton = false;
    for (int i = 0; i < PH_BTN_COUNT; ++i) {
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
        if (m_bSlideshow && !m_bPaused && m_bPendingShow && !m_bPictureDrawn) {
            // The slideshow's picture has not been drawn yet: the tap only pauses it.
            m_bPaused = 1;
            ShowPlayButton(false);
        } else {
            uint8_t action = 0;
            if (DriveList() && DriveList()->IsVisible())
                DriveList()->OnLButtonUp(x, y, &action);
            if (action == KvUserInterface::LISTBOX_ACTION_ROW) {
                OnDriveListTap();
            } else if (action == KvUserInterface::LISTBOX_ACTION_NONE && FileList() &&
                       FileList()->IsVisible()) {
                if (m_bPictureShown && !m_bSlideshow) {
                    // A tap on the full view closes it.
                    ClosePicture();
                } else {
                    FileList()->OnLButtonUp(x, y, &action);
                    if (action == KvUserInterface::LISTBOX_ACTION_ROW)
                        OnFileListTap(x, y);
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

void CPhotoDlg::OnDriveListTap() {
    const int index = ListCurrent(DriveList());
    const UI_LIST_ROW* current = ListRowAt(DriveList());
    if (!current || !m_pDriveHandler || !m_pFileHandler)
        return;
    const UI_LIST_ROW row = *current;
    if (m_bPictureShown && !m_bSlideshow)
        ClosePicture();
    if (m_bSlideshow && m_bPaused)
        StopSlideshow();
    CKernel* kernel = CKernel::Instance();
    const std::u16string disc = CDriveListHandler::DiscRoot();
    const bool discRow =
        !m_pDriveHandler->Inside() && !disc.empty() && plat::StrCmpNoCase(row.szFolder, disc) == 0;
    const uint8_t discType = kernel ? kernel->GetDriveSnapshot().byDiscType : 0;
    if (index == 0 && m_pDriveHandler->Inside()) {
        if (m_iFolderDepth > 0)
            --m_iFolderDepth;
        m_pDriveHandler->GoUp();
        if (const UI_LIST_ROW* head = m_pDriveHandler->Head())
            m_pFileHandler->FillFolder(head->szFolder);
        if (m_pFolderList)
            m_pFolderList->RemoveAll();
    } else if (discRow && (discType == DISC_VCD || discType == DISC_DVD)) {
        // The disc's row, not the row's name: a folder "DVD Covers" opens as a folder.
        m_pFileHandler->FillFolder(ROW_NO_FILES);
    } else {
        if (!m_pDriveHandler->Inside()) {
            m_iFolderDepth = 1;
            m_pDriveHandler->EnterSelected();
            if (const UI_LIST_ROW* head = m_pDriveHandler->Head())
                m_pFileHandler->FillFolder(head->szFolder);
        } else {
            m_pFileHandler->FillFolder(row.szFolder);
        }
        if (ListCount(FileList()) > 0)
            FileList()->SetCurrentIndex(0);
        RebuildFolderList();
        // The grid stays on the screen: the folder's first picture is shown only when asked
        // for, which loads it again.
        LoadCurrentFileRow(false);
        FollowFolderCursor();
    }
    InvalidateOwner();
}

void CPhotoDlg::OnFileListTap(int x, int y) {
    int index = -1;
    if (m_byViewMode == PH_VIEW_LIST) {
        index = ListCurrent(FileList());
    } else {
        const int cell = HitTestGrid(x, y);
        if (cell >= 0) {
            int top = 0;
            FileList()->GetTopIndex(&top);
            index = top + cell;
        }
    }
    if (index < 0 || index >= ListCount(FileList()))
        return;
    if (m_bySpeedMode != 0) {
        if (m_bSlideshow) {
            m_bPaused = m_bPaused ? 0 : 1;
            ShowPlayButton(!m_bPaused);
            return;
        }
        FileList()->SetCurrentIndex(index);
        RebuildFolderList();
        LoadCurrentFileRow();
        return;
    }
    FileList()->SetCurrentIndex(index);
    FileList()->SetFlag(0);
    StopSlideshow();
    RebuildFolderList();
    if (!LoadCurrentFileRow()) {
        m_bPictureShown = 0;
        return;
    }
    m_bPictureShown = 1;
    CKernel* kernel = CKernel::Instance();
    if (kernel && m_strPicture.size() < SYS_PATH_CHARS) {
        plat::StrCopy(kernel->m_Settings.szPicturePath, m_strPicture);
        kernel->SaveSettings();
    }
}

// ---- Buttons and keys ------------------------------------------------------------------------

void CPhotoDlg::RunButton(int button) {
    if (button <= PH_BTN_VOL_DEL)
        UpdateVolume(false);
    switch (button) {
        case PH_BTN_VOL_ADD:
            StepVolume(1, Button(PH_BTN_VOL_ICON), this);
            break;
        case PH_BTN_VOL_ICON:
            StepVolume(0, Button(PH_BTN_VOL_ICON), this);
            break;
        case PH_BTN_VOL_DEL:
            StepVolume(-1, Button(PH_BTN_VOL_ICON), this);
            break;
        case PH_BTN_SOURCE:
            NextViewMode();
            break;
        case PH_BTN_ROTATE:
            RotatePicture();
            break;
        case PH_BTN_PLAY:
        case PH_BTN_PAUSE:
            PlayPause();
            break;
        case PH_BTN_PREV:
            StepPicture(false);
            break;
        case PH_BTN_NEXT:
            StepPicture(true);
            break;
        case PH_BTN_SPEED:
            NextSpeed();
            break;
        case PH_BTN_SOUND_EFFECT:
            PauseIfPlaying(true);
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, 0x30014);
            break;
        case PH_BTN_RET_MENU:
            PauseIfPlaying(true);
            m_bPendingShow = 0;
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, 0);
            break;
        case PH_BTN_OK:
            if (m_bConfirmMode) {
                if (const UI_LIST_ROW* row = ListRowAt(FileList())) {
                    const UI_LIST_ROW copy = *row;
                    plat::RemoveFile(plat::NativePath(JoinWide(copy.szFolder, copy.szName)));
                    m_pFileHandler->FillFolder(copy.szFolder);
                }
            }
            break;
        case PH_BTN_CANCEL:
            m_bConfirmMode = 0;
            Button(PH_BTN_OK)->Show(0);
            Button(PH_BTN_CANCEL)->Show(0);
            break;
        default:
            break;
    }
    InvalidateOwner();
}

void CPhotoDlg::KeyHandler(int command) {
    switch (command) {
        case 0x1002:
        case 0x2010:
            StepPicture(false);
            break;
        case 0x1003:
        case 0x2000:
            StepPicture(true);
            break;
        case 0x1046:
            PlayPause();
            break;
        default:
            return;
    }
    InvalidateOwner();
}

void CPhotoDlg::StopAll() {
    StopSlideshow();
}

void CPhotoDlg::PauseIfPlaying(bool pause) {
    if (!m_bSlideshow)
        return;
    m_bPaused = pause ? 1 : 0;
    ShowPlayButton(!pause);
}

void CPhotoDlg::OnBack() {
    RunButton(PH_BTN_RET_MENU);
}

// ---- Show and tick ---------------------------------------------------------------------------

void CPhotoDlg::Show(bool visible, uint8_t param) {
    if (!visible) {
        m_bVisible = 0;
        m_bStartCheck = 0;
        m_bPendingShow = 0;
        return;
    }
    m_bVisible = 1;
    UpdateVolume(false);
    CKernel* kernel = CKernel::Instance();
    if (kernel) {
        m_bMute = kernel->m_bMute.load();
        if (IKvButton* b = Button(PH_BTN_VOL_ICON))
            b->SetFrame(m_bMute ? 1 : 0);
    }
    m_bStartCheck = 1;
    m_dwShowTick = plat::GetTickCount();
    if (m_bFirstShow) {
        m_bFirstShow = 0;
        if (m_pDriveHandler)
            m_pDriveHandler->ListDrives();
        // The saved picture is opened on the next tick: the page's own tick must run first.
        m_bResumePending = 1;
    }
    if (param != 255)
        m_byShowParam = param;
}

bool CPhotoDlg::ResumeSavedPicture() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !m_pDriveHandler || !m_pFileHandler)
        return false;
    bool shown = false;
    const std::u16string path = kernel->m_Settings.szPicturePath;
    if (path.size() > 3 && path[1] == u':') {
        while (m_pDriveHandler->Inside())
            m_pDriveHandler->GoUp();
        m_pDriveHandler->ListDrives();
        const int drive = FindRow(DriveList(), [&](const UI_LIST_ROW& r) {
            const size_t n = plat::StrLen(r.szFolder);
            return n > 0 && n <= path.size() &&
                   plat::StrCmpNoCase(std::u16string_view(r.szFolder, n),
                                      std::u16string_view(path).substr(0, n)) == 0;
        });
        if (drive >= 0) {
            DriveList()->SetCurrentIndex(drive);
            m_pDriveHandler->EnterSelected();
            m_iFolderDepth = 1;
            const std::u16string folder = FolderOf(path);
            const int row = FindRow(DriveList(), [&](const UI_LIST_ROW& r) {
                return r.wKind == ROW_NAVIGATION && SameFolder(r.szFolder, folder);
            });
            if (row > 0)
                DriveList()->SetCurrentIndex(row);
            m_pFileHandler->FillFolder(folder);
            const std::u16string name = NameOf(path);
            const int file =
                FindRow(FileList(), [&](const UI_LIST_ROW& r) { return name == r.szName; });
            if (file >= 0) {
                FileList()->SetCurrentIndex(file);
                FileList()->SetFlag(0);
                RebuildFolderList();
                shown = LoadCurrentFileRow();
                m_bPictureShown = shown ? 1 : 0;
            }
        }
    }
    if (m_bySeat == 0) {
        kernel->m_dwResumeDone |= 0x1000;
        const int speed = kernel->m_Settings.iPhotoSpeedMode;
        m_bySpeedMode = speed >= 0 && speed <= 3 ? static_cast<uint8_t>(speed) : 0;
        m_dwInterval = kIntervals[m_bySpeedMode];
        if (IKvButton* b = Button(PH_BTN_SPEED))
            b->SetFrame(m_bySpeedMode);
        // The flag says a slideshow was running (and not paused) when the program ended.
        if (kernel->m_Settings.byPhotoResume && m_bySpeedMode != 0)
            StartSlideshow();
    }
    return shown;
}

bool CPhotoDlg::IsPhoneCurrent() const {
    CKernel* kernel = CKernel::Instance();
    return (kernel && kernel->m_Settings.iCurrentApp == APPTYPE_PHONE) ||
           (m_pOwner && m_pOwner->m_iCurrentApp == APPTYPE_PHONE);
}

void CPhotoDlg::OnTick() {
    IMPlayerDlg::OnTick();
    const uint32_t now = plat::GetTickCount();
    if (m_bResumePending) {
        m_bResumePending = 0;
        ResumeSavedPicture();
        InvalidateOwner();
    }
    if (now - m_dwLast1000 > 1000) {
        m_dwLast1000 = now;
        Tick1000();
    }
    if (now - m_dwLast500 >= 500 && (m_bDiscStep[0] || m_bDiscStep[1] || m_bDiscStep[2])) {
        m_dwLast500 = now;
        RunDiscStep();
    }
    if (m_bSlideshow && now - m_dwLastStep >= m_dwInterval) {
        m_dwLastStep = now;
        SlideshowStep();
    }
    if (now - m_dwLast250 > 250) {
        m_dwLast250 = now;
        if (m_bPenDown && m_byPending == PH_BTN_NONE && ++m_iLongPress >= 2) {
            uint8_t action = 0;
            for (IKvListbox* list : {DriveList(), FileList()}) {
                action = 0;
                if (list && list->IsVisible())
                    list->OnLButtonDown(m_iPenX, m_iPenY, &action);
            }
            InvalidateOwner();
        }
        if (m_bStartCheck) {
            m_bStartCheck = 0;
            if (m_bySpeedMode != 0 && !m_bSlideshow && now - m_dwShowTick > 5000)
                StartSlideshow();
        }
    }
    if (m_bSlideshow && !m_bPaused && !m_bPictureDrawn && now - m_dwLastStep >= 3000) {
        m_bPendingShow = 1;
        InvalidateOwner();
    }
}

void CPhotoDlg::Tick1000() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    if (m_bySeat == 0) {
        kernel->CheckDiscChange();
        const int code = kernel->m_iAutoLaunch.load();
        // The disc went. Code 0 says so to whichever page reads it first, and the music page
        // takes it (it ticks first while this page is hidden): the page also watches the
        // snapshot's disc kind itself, and clears once for each disc that goes.
        const uint8_t discType = kernel->GetDriveSnapshot().byDiscType;
        const bool discGone =
            code == 0 || (m_DriveSnapshot.byDiscType != DISC_NONE && discType == DISC_NONE);
        if (discType != DISC_NONE)
            m_bDiscCleared = 0;
        if (discGone && !m_bDiscCleared) {
            m_bDiscCleared = 1;
            WriteLog("Photo :: CD/DVD Clear");
            const UI_LIST_ROW* row = ListRowAt(DriveList());
            const std::u16string disc = CDriveListHandler::DiscRoot();
            if (row && !disc.empty() &&
                plat::StrCmpNoCase(std::u16string_view(row->szFolder).substr(0, disc.size()),
                                   disc) == 0) {
                StopSlideshow();
                FileList()->RemoveAll();
            }
        } else if (code == 6 && !IsPhoneCurrent() && kernel->TakeAutoLaunch(6)) {
            const int current = m_pOwner ? m_pOwner->m_iCurrentApp : APPTYPE_HOMEPAGE;
            if (current != APPTYPE_PHOTO)
                plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, 0x30003);
            m_bDiscStep[0] = m_bDiscStep[1] = m_bDiscStep[2] = 1;
            m_dwLast500 = plat::GetTickCount();
        }
    }
    const DRIVE_SNAPSHOT snap = kernel->GetDriveSnapshot();
    uint8_t readable = 0;
    if (snap.byCount > 0)
        readable = plat::Drives().GetVolumeInformation(snap.szDrive[0], nullptr, nullptr) ? 1 : 0;
    if (std::memcmp(&snap, &m_DriveSnapshot, sizeof snap) != 0 || readable != m_bVolumeReadable) {
        m_DriveSnapshot = snap;
        m_bVolumeReadable = readable;
        // Inside a storage place its folders are listed again: a stick pulled takes its rows.
        // The row that was current stays so where it is still listed.
        if (m_pDriveHandler) {
            const UI_LIST_ROW* current = ListRowAt(DriveList());
            const std::u16string folder = current ? current->szFolder : u"";
            m_pDriveHandler->ListDrives();
            const int row = FindRow(DriveList(), [&](const UI_LIST_ROW& r) {
                return !folder.empty() && folder == r.szFolder;
            });
            if (row >= 0)
                DriveList()->SetCurrentIndex(row);
        }
        InvalidateOwner();
    }
}

void CPhotoDlg::RunDiscStep() {
    if (m_bDiscStep[0]) {
        m_bDiscStep[0] = 0;
        StopSlideshow();
        ClosePicture();
        while (m_pDriveHandler && m_pDriveHandler->Inside())
            m_pDriveHandler->GoUp();
        m_iFolderDepth = 0;
        if (m_pDriveHandler)
            m_pDriveHandler->ListDrives();
    } else if (m_bDiscStep[1]) {
        m_bDiscStep[1] = 0;
        m_bySpeedMode = 1;
        m_dwInterval = 1500;
        if (IKvButton* b = Button(PH_BTN_SPEED))
            b->SetFrame(m_bySpeedMode);
    } else if (m_bDiscStep[2]) {
        m_bDiscStep[2] = 0;
        const std::u16string disc = CDriveListHandler::DiscRoot();
        const int row = FindRow(DriveList(), [&](const UI_LIST_ROW& r) {
            return !disc.empty() && plat::StrCmpNoCase(r.szFolder, disc) == 0;
        });
        if (row < 0 || !m_pDriveHandler || !m_pFileHandler)
            return;
        DriveList()->SetCurrentIndex(row);
        m_pDriveHandler->EnterSelected();
        m_iFolderDepth = 1;
        if (const UI_LIST_ROW* head = m_pDriveHandler->Head())
            m_pFileHandler->FillFolder(head->szFolder);
        if (ListCount(FileList()) == 0)
            return;
        FileList()->SetCurrentIndex(0);
        RebuildFolderList();
        StartSlideshow();
    }
    InvalidateOwner();
}

// ---- Drawing ---------------------------------------------------------------------------------

void CPhotoDlg::Render(plat::Canvas* hdc) {
    CVelkoraAppDlg::Render(hdc);
    if (IKvButton* mute = Button(PH_BTN_VOL_ICON))
        mute->SetFrame(m_bMute ? 1 : 0);
    for (IKvButton* button : m_pButtons)
        if (button)
            button->Draw(hdc, 0, 0);
    if (DriveList())
        DriveList()->Draw(hdc);
    const bool fullView = m_bPictureShown && m_pPicture;
    if (!fullView && m_byViewMode != PH_VIEW_LIST) {
        const bool grid3 = m_byViewMode == PH_VIEW_GRID3;
        IKvImage* cell = m_pCellImage[grid3 ? 0 : 1];
        const int n = grid3 ? 3 : 4;
        for (int r = 0; cell && r < n; ++r) {
            const int y = (grid3 ? kGrid3Y[r] : kGrid4Y[r]) +
                          (m_bySeat == 1 ? (grid3 ? kGrid3Rear[r] : kGrid4Rear[r]) : 0);
            for (int c = 0; c < n; ++c)
                cell->Draw(hdc, grid3 ? kGrid3X[c] : kGrid4X[c], y, grid3 ? 160 : 120,
                           grid3 ? 102 : 76);
        }
    }
    if (!fullView && FileList())
        FileList()->Draw(hdc);
    if (m_bConfirmMode && m_pCaption)
        m_pCaption->Draw(hdc);
    if (fullView) {
        uint32_t w = 0, h = 0;
        if (m_pPicture->GetSize(&w, &h) == RZ_OK && w && h) {
            int dw = 0, dh = 0;
            FitToScreen(w, h, &dw, &dh);
            const int screenH = m_bySeat == 1 ? 600 : 480;
            m_pPicture->Draw(hdc, (800 - dw) / 2, (screenH - dh) / 2, dw, dh);
            m_bPictureDrawn = 1;
        }
    }
    if (m_bActionReady && m_byPending != PH_BTN_NONE) {
        const int button = m_byPending;
        m_bActionReady = 0;
        m_byPending = PH_BTN_NONE;
        RunButton(button);
    }
}
