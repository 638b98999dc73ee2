// The photo page (APPTYPE_PHOTO, on both seats): the drive list and the file list of pictures,
// the file list as text or as a grid of thumbnails, one picture at a time in the full view, a
// slideshow at three speeds, and a quarter turn of the picture shown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "apps/media/MediaListHandlers.h"
#include "core/kernel/KernelDrives.h"
#include "core/ui/MPlayerDlg.h"

// Buttons, in the order of their skin keys.
enum : int {
    PH_BTN_VOL_ADD = 0,
    PH_BTN_VOL_ICON = 1,
    PH_BTN_VOL_DEL = 2,
    PH_BTN_SOURCE = 3,
    PH_BTN_ROTATE = 4,
    PH_BTN_PLAY = 5,
    PH_BTN_PAUSE = 6,
    PH_BTN_PREV = 7,
    PH_BTN_NEXT = 8,
    PH_BTN_SPEED = 9,
    PH_BTN_SOUND_EFFECT = 10,
    PH_BTN_RET_MENU = 11,
    PH_BTN_OK = 12,
    PH_BTN_CANCEL = 13,
    PH_BTN_COUNT = 14,
    PH_BTN_NONE = 255,
};

// View modes.
enum : uint8_t {
    PH_VIEW_LIST = 1,
    PH_VIEW_GRID3 = 2,
    PH_VIEW_GRID4 = 3,
};

#define PH_SKIN_FOLDER u"photo"
#define PH_SKIN_FILE u"photo\\photo.ini"
#define PH_FOLDER_LIST_PREFIX u"(sysfolder)"

class CPhotoDlg : public IMPlayerDlg {
public:
    CPhotoDlg();
    ~CPhotoDlg() override;

    void ResetDefault() override;
    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void Show(bool visible, uint8_t param) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;
    void KeyHandler(int command) override;
    void StopAll() override;
    void PauseIfPlaying(bool pause) override;
    void OnBack() override;

    // The grid cell (0-based, on the page) strictly inside which the point lies; -1 for none.
    int HitTestGrid(int x, int y) const;
    // The size a picture of w x h is drawn at in the full view.
    void FitToScreen(uint32_t w, uint32_t h, int* outW, int* outH) const;

    void RunButton(int button);
    void NextViewMode();
    void NextSpeed();
    void PlayPause();
    void StepPicture(bool forward);
    void RotatePicture();
    void OnDriveListTap();
    void OnFileListTap(int x, int y);
    // Loads the picture; false (nothing shown) when it cannot be read. With `decodeNow` false
    // only its header is read, for a picture that is not shown yet: a damaged body is then
    // found by the draw that would show it.
    bool LoadPicture(const std::u16string& folder, const std::u16string& name,
                     bool decodeNow = true);
    void ClosePicture();
    void StopSlideshow();

    KvUserInterface::IKvListbox* DriveList() const { return m_pListbox[0]; }
    KvUserInterface::IKvListbox* FileList() const { return m_pListbox[1]; }
    KvUserInterface::IKvButton* Button(int i) const {
        return i >= 0 && i < PH_BTN_COUNT ? m_pButtons[i] : nullptr;
    }
    KvMultimedia::IKvImage* Picture() const { return m_pPicture; }
    KvMultimedia::IKvPlaylist* FolderList() const { return m_pFolderList; }

    std::unique_ptr<CDriveListHandler> m_pDriveHandler;
    std::unique_ptr<CFileListHandler> m_pFileHandler;
    KvMultimedia::IKvPListContainer* m_pContainer = nullptr;
    KvMultimedia::IKvPlaylist* m_pFolderList = nullptr;  // own reference
    KvMultimedia::IKvImage* m_pCellImage[2] = {nullptr, nullptr};
    KvMultimedia::IKvImage* m_pPicture = nullptr;
    std::u16string m_strPicture;
    KvUserInterface::IKvText* m_pCaption = nullptr;
    KvUserInterface::IKvButton* m_pButtons[PH_BTN_COUNT] = {};

    uint8_t m_byViewMode = PH_VIEW_GRID3;
    uint8_t m_bySpeedMode = 0;
    uint32_t m_dwInterval = 1500;
    uint8_t m_bSlideshow = 0;
    uint8_t m_bPaused = 0;
    uint8_t m_bPictureShown = 0;
    uint8_t m_bPictureDrawn = 0;
    uint8_t m_bConfirmMode = 0;
    int m_iFolderDepth = 0;

    DRIVE_SNAPSHOT m_DriveSnapshot = {};
    uint8_t m_bVolumeReadable = 0;
    uint8_t m_bDiscCleared = 0;  // the disc's leaving was handled (until a disc comes)
    uint32_t m_dwLast1000 = 0;
    uint32_t m_dwLast500 = 0;
    uint32_t m_dwLast250 = 0;
    uint32_t m_dwLastStep = 0;
    uint32_t m_dwShowTick = 0;
    uint8_t m_bStartCheck = 0;
    uint8_t m_bPendingShow = 0;
    uint8_t m_bFirstShow = 1;
    uint8_t m_bResumePending = 0;
    // Picture-disc selection: the steps still to run, 500 ms apart.
    uint8_t m_bDiscStep[3] = {0, 0, 0};
    int m_iLongPress = 0;
    uint8_t m_byPending = PH_BTN_NONE;
    uint8_t m_bActionReady = 0;
    int m_iPenX = 0;
    int m_iPenY = 0;

private:
    void ReleaseAll();
    void ShowPlayButton(bool playing);
    void ApplyViewMode();
    void RebuildFolderList();
    bool LoadCurrentFileRow(bool decodeNow = true);
    bool ShowFolderEntry(bool forward);
    void FollowFolderCursor();
    void StartSlideshow();
    void SlideshowStep();
    void Tick1000();
    void RunDiscStep();
    bool ResumeSavedPicture();
    bool IsPhoneCurrent() const;
};
