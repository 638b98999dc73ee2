// The movie page (APPTYPE_MOVIE, on both seats): a drive list of storage places and folders, a
// file list of the video files of one folder, time labels and fifteen buttons. It plays the
// files through the library player, steps through every file it lists, plays fast at the speed
// steps, fits the video into the file list's place or onto the whole screen, and switches to
// full screen when nobody has touched the page for a while.
// MoviePlayDlg.cpp holds the page, its files and Video CDs; MovieDvd.cpp the DVD (opening,
// prompt, bookmarks, menus by pen, setup view); MovieVideo.cpp the video window, the drive
// watching, the timer work and the end of an item.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "apps/media/MediaListHandlers.h"
#include "core/kernel/KernelDrives.h"
#include "core/ui/MPlayerDlg.h"
#include "library/include/IKvPlayer.h"

// Buttons, in the order of their skin keys.
enum : int {
    MV_BTN_VOL_ADD = 0,
    MV_BTN_VOL_ICON = 1,
    MV_BTN_VOL_DEL = 2,
    MV_BTN_PLAY = 3,
    MV_BTN_PAUSE = 4,
    MV_BTN_PREV = 5,
    MV_BTN_NEXT = 6,
    MV_BTN_SPEED = 7,
    MV_BTN_SPEED_ICON = 8,
    MV_BTN_SOUND_EFFECT = 9,
    MV_BTN_RET_MENU = 10,
    MV_BTN_RATIO = 11,
    MV_BTN_DVD_SETUP = 12,
    MV_BTN_SAVE = 13,
    MV_BTN_EXIT = 14,
    MV_BTN_COUNT = 15,
    // The resume prompt's two buttons.
    MV_BTN_PLAY_BEGIN = 16,
    MV_BTN_PLAY_CONTINUE = 17,
    MV_BTN_NONE = 255,
};

#define MV_SKIN_FOLDER u"movie-player"
#define MV_SKIN_FILE u"movie-player\\movie-player.ini"

// Idle time, while playing windowed, before the video covers the screen.
#define MV_IDLE_FULL_SCREEN_MS 6000
// Tries of the next item at the end of one before the page gives up.
#define MV_NEXT_TRIES 5
// How often a playing disc's place is saved.
#define MV_RESUME_SAVE_MS 5000
// The sections of a Video CD the page plays (its MPEGAV folder's files).
#define MV_VCD_SECTIONS 64
// Status words of the seat while a medium plays or waits paused.
#define MV_STATUS_PLAYING 0x70101u
#define MV_STATUS_PAUSED 0x70201u

// A video of w x h fitted into an area of W x H as the page places it: grown by 1.2 while
// smaller, shrunk by 0.96 while larger. Sizes too small for a truncated x1.2 to change grow
// one pixel a step, so the fit always ends.
void FitVideoSize(int areaW, int areaH, bool growWhileBothSmaller, int& w, int& h);
// A DVD picture on the whole screen: grown by 1.2 until 800 wide, then shrunk by 0.96 while
// wider (a picture wider than 799 is only shrunk).
void FitDvdSize(int& w, int& h);
// The aspect rule on a fitted size whose height the mode already set: on the whole screen
// grown by 1.2 until 800 wide, then shrunk by 0.98 while taller than the area; windowed
// shrunk by 0.98 while larger than the area.
void AspectFitSize(bool fullScreen, int areaW, int areaH, int& w, int& h);

class CMoviePlayDlg : public IMPlayerDlg {
public:
    CMoviePlayDlg();
    ~CMoviePlayDlg() override;

    void ResetDefault() override;
    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    short GetPlayState() override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void SetOwner(CSeatCtrlDlg* owner) override;
    void Show(bool visible, uint8_t param) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;
    void PostRender() override;
    void StopAll() override;
    void PauseIfPlaying(bool leaveVideo) override;
    void KeyHandler(int command) override;

    void PlayPause();
    bool PlayFromList();
    void PreviousItem();
    void HandleNextSect();
    // Previous or next: a chapter or section of a disc, else the all-files playlist's item.
    void StepItem(bool forward);
    // One speed step on, or back to normal speed with `reset`.
    void StepSpeed(bool reset);
    void StepAspect();
    void Stop();
    void FitVideoWindow(bool fullScreen, bool repaint);
    // The end-of-item poll: advances through the all-files playlist.
    void HandleDShow();
    // The end of a Video CD section: the next one, or the first, stopped, after the last.
    void NextVcdSection();
    void RunButton(int button);
    // Selects the drive, folder and file rows of `path`; a file at a drive's root also plays.
    bool SelectMovie(const std::u16string& path, bool play = false);
    // The drive list again after drives came or went; a film whose drive went is closed.
    void RefreshDrives();
    // True while the player holds a DVD.
    bool IsDvd() const;
    // A title of the disc plays and the disc allows playing it forwards fast.
    bool DvdAllowsFastPlay();
    // The "Play DVD" row: opens the disc at the paint after next, or pauses, resumes or presses
    // the menu's default button when it is open already.
    void PlayDvdRow();
    // Opens the pending disc and plays it from its first-play program.
    void OpenPendingDvd();
    // The DVD setup view: audio stream, sub-picture and the disc's root menu, chosen from the
    // two lists while the disc waits paused.
    void OpenDvdSetup();
    void FillSetupOptions();
    void OnSetupOption(int index);
    void SaveDvdSetup();
    // Leaves the setup view and plays on.
    void OnBack() override;
    // The "Play VCD" row: plays the disc's sections from the first, or pauses and resumes.
    void PlayVcdRow();
    // Selects the drive row of that name, lists `folder` and selects its first row.
    bool SelectDriveRow(const char16_t* name, const char16_t* folder);
    void PlayVcd();
    // The paths of the files of the disc's MPEGAV folder, in name order; at most 64.
    void ListVcdSections();
    bool IsVcd() const;
    // A VIDEO_TS folder on storage, played as a disc.
    void PlayDvdFolder(const std::u16string& ifoPath);
    // The begin/continue prompt's choice: the disc from its start or from its resume file.
    void RunPromptChoice(bool resume);
    // Saves the playing disc's place (DVD bookmark or VCD resume file).
    void SaveResume();
    // The seat's status word ("Status"), 0 when nothing plays.
    void SetStatus(uint32_t word);
    void ToggleStatus();

    KvUserInterface::IKvListbox* DriveList() const { return m_pListbox[0]; }
    KvUserInterface::IKvListbox* FileList() const { return m_pListbox[1]; }
    KvUserInterface::IKvButton* Button(int i) const {
        return i >= 0 && i < MV_BTN_COUNT ? m_pButtons[i] : nullptr;
    }
    KvMultimedia::IKvPlayer* Player() const { return m_pPlayer; }
    KvMultimedia::IKvPlaylist* AllPlaylist() const { return m_pAllPlaylist; }
    KvUserInterface::IKvButton* PromptButton(bool resume) const {
        return m_pPromptButtons[resume ? 1 : 0];
    }
    // 0: the current position, 1: the total length.
    KvUserInterface::IKvText* TimeLabel(int index) const { return m_pTimes[index ? 1 : 0]; }

    uint8_t m_bySpeed = 0;
    uint8_t m_byAspect = 0;
    uint8_t m_bDvdSetupMode = 0;
    uint8_t m_bVideoShown = 0;
    uint8_t m_bFullScreen = 0;
    uint8_t m_bTicking = 0;
    uint8_t m_bFirstShow = 1;
    int m_iFolderDepth = 0;
    int m_iSeatActionPending = 0;
    uint32_t m_dwIdle = 0;
    uint32_t m_dwLast1000 = 0;
    uint32_t m_dwLast250 = 0;
    int m_iLongPress = 0;
    uint8_t m_byPending = MV_BTN_NONE;
    uint8_t m_bActionReady = 0;
    // The lists had the press of the pen's gesture, so its release is theirs too.
    uint8_t m_bListPress = 0;
    int m_iPenX = 0;
    int m_iPenY = 0;
    int m_rcVideo[4] = {0, 0, 0, 0};  // left, top, right, bottom
    int m_iFittedW = 0;
    int m_iFittedH = 0;
    int m_Area[4] = {0, 0, 0, 0};  // x, y, w, h of the last fit
    std::u16string m_strCurrentPath;
    std::u16string m_strFolderOfPlaylist;
    UI_LIST_ROW m_PlayDriveRow = {};
    bool m_bPlayDriveRow = false;
    // Set when a file starts from the list; the restore thread may look at it.
    std::atomic<bool> m_bPlayEvent{false};
    // The resume file of the disc or DVD folder that plays (empty: none is kept).
    std::u16string m_strBookmark;
    uint8_t m_bPrompt = 0;
    uint8_t m_bFolderDvd = 0;
    uint32_t m_dwLastSave = 0;
    uint32_t m_dwStatusWord = 0;
    std::vector<std::u16string> m_VcdSections;
    int m_iVcdIndex = 0;
    DRIVE_SNAPSHOT m_DriveSnapshot = {};
    // Whether the selected drive's volume information could be read at the last look.
    uint8_t m_bVolumeReadable = 0;
    uint8_t m_bAutoPlayArmed = 1;
    uint8_t m_bAutoPlayPending = 0;
    uint8_t m_bRefreshPending = 0;
    // 1: the next paint shows "Loading DVD ..." and the one after opens the disc.
    int m_iDvdOpenPending = 0;
    int m_iSetupRow = 99;
    char16_t m_szSubNames[64][KvMultimedia::KV_STREAM_NAME_CHARS] = {};
    uint32_t m_dwSubCount = 0;
    uint32_t m_dwSubCurrent = 0;
    int m_iSubDisabled = 0;
    char16_t m_szAudioNames[64][KvMultimedia::KV_STREAM_NAME_CHARS] = {};
    uint32_t m_dwAudioCount = 0;
    uint32_t m_dwAudioCurrent = 0;
    uint32_t m_dwChosenSub = 0;
    uint32_t m_dwChosenAudio = 0;

private:
    void ReleaseAll();
    // The disc and storage codes of the kernel's drive watch (front seat).
    void RunAutoLaunch();
    int CurrentApp() const;
    void ShowPlayButton(bool playing);
    // `DVD-Setup` and `Ratio`, or in the setup view `Save` and `Exit`.
    void ShowSetupButtons(bool setupView);
    void ShowVideo(bool show);
    void OnDriveListTap();
    void BuildAllPlaylist();
    void ReleasePlaylists();
    void SelectPlayingRow();
    // The playing film's rows selected again in both lists, and made current in the all-files
    // playlist.
    void SelectCurrentRows();
    // The playing film made current in the all-files playlist.
    void MakeCurrentPath();
    void AspectFit();
    // Opens and plays a file; `fromList` for a start from the file list, which may go on from
    // the place kept at the end of the last run.
    bool StartPath(const std::u16string& path, uint32_t action, int bytes, bool fromList = false);
    void UseSavedPosition(const std::u16string& path, bool fromList);
    void Action(uint32_t word, const std::u16string* path = nullptr, int bytes = 0);
    void SaveSettings();
    // Shows the begin/continue prompt with its titles.
    void ShowPrompt();
    // When the opened item has a resume file: paused, with the begin/continue prompt shown.
    bool PromptForBookmark();
    // Opens the disc in the drive for the prompt's choice; false (with the message shown) when
    // it cannot be opened.
    bool OpenDiscForPrompt();
    // The resume file of the disc in the drive, from its id.
    std::u16string DiscBookmark() const;
    // The drive list back at the disc's row, "Play DVD" in the file list.
    void SelectDiscRow();
    // Closes what plays and empties the lists, as after a player error or a disc taken out.
    void CloseAndClear();

    std::unique_ptr<CDriveListHandler> m_pDriveHandler;
    std::unique_ptr<CFileListHandler> m_pFileHandler;
    KvMultimedia::IKvPlayer* m_pPlayer = nullptr;
    KvMultimedia::IKvPListContainer* m_pContainer = nullptr;
    KvMultimedia::IKvPlaylist* m_pFolderPlaylist = nullptr;  // own reference
    KvMultimedia::IKvPlaylist* m_pAllPlaylist = nullptr;     // own reference
    KvUserInterface::IKvButton* m_pButtons[MV_BTN_COUNT] = {};
    KvUserInterface::IKvText* m_pTimes[2] = {nullptr, nullptr};
    KvUserInterface::IKvText* m_pStatusText = nullptr;
    KvUserInterface::IKvButton* m_pPromptButtons[2] = {nullptr, nullptr};
    KvMultimedia::IKvImage* m_pPromptImage = nullptr;
    KvMultimedia::IKvImage* m_p51Icon = nullptr;
};
