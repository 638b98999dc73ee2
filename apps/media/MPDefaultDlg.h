// The music page (APPTYPE_MUSIC, on both seats): a drive list of storage places and folders, a
// file list of the music of one folder or playlist, a playlist list, four texts and twenty
// buttons. It browses drives, folders, playlists and audio CD tracks, watches drives and discs
// from its tick, and plays music through the library player.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "apps/media/MediaListHandlers.h"
#include "core/kernel/KernelDrives.h"
#include "core/ui/MPlayerDlg.h"

// Buttons, in the order of their skin keys.
enum : int {
    MP_BTN_VOL_ADD = 0,
    MP_BTN_VOL_ICON = 1,
    MP_BTN_VOL_DEL = 2,
    MP_BTN_PREVIOUS = 3,
    MP_BTN_PLAY = 4,
    MP_BTN_PAUSE = 5,
    MP_BTN_NEXT = 6,
    MP_BTN_REPEAT = 7,
    MP_BTN_SOUND_EFFECT = 8,
    MP_BTN_RET_MENU = 9,
    MP_BTN_SOURCE = 10,
    MP_BTN_PLAY_LIST = 11,
    MP_BTN_ADD_LIST = 12,
    MP_BTN_EDIT_LIST = 13,
    MP_BTN_DEL_LIST = 14,
    MP_BTN_EDIT_LIST_NAME = 15,
    MP_BTN_ADD_FILE = 16,
    MP_BTN_DEL_FILE = 17,
    MP_BTN_SAVE = 18,
    MP_BTN_EXIT = 19,
    MP_BTN_COUNT = 20,
    MP_BTN_NONE = 255,
};

// Texts.
enum : int {
    MP_TEXT_PLAYLIST_TITLE = 0,
    MP_TEXT_PLAYLIST_COUNT = 1,
    MP_TEXT_ELAPSED = 2,
    MP_TEXT_TOTAL = 3,
    MP_TEXT_COUNT = 4,
};

// Source modes.
enum : uint8_t {
    MP_SOURCE_FOLDERS = 0,
    MP_SOURCE_PLAYLISTS = 1,
    MP_SOURCE_NEW_PLAYLIST = 2,
    MP_SOURCE_EDIT_PLAYLIST = 3,
};

// Status words of the music page, for the outside monitor program; the rear seat adds
// MP_STATUS_REAR.
enum : uint32_t {
    MP_STATUS_STOPPED = 0,
    MP_STATUS_PLAYING = 0x30101,
    MP_STATUS_PAUSED = 0x30201,
    MP_STATUS_REAR = 0x01000000,
};

// What a playlist entry made by Add-File carries after the file name.
#define MP_STAMP_CHARS PLAYLIST_STAMP_CHARS

// Tries at the end of a file before playback stays stopped.
#define MP_END_TRIES 5

#define MP_SKIN_FOLDER u"mplayer"
#define MP_SKIN_FILE u"mplayer\\mplayer.ini"

class CMPDefaultDlg : public IMPlayerDlg {
public:
    CMPDefaultDlg();
    ~CMPDefaultDlg() override;

    void ResetDefault() override;
    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    short GetPlayState() override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void SetOwner(CSeatCtrlDlg* owner) override;
    void Show(bool visible, uint8_t param) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;
    void StopAll() override;
    void PauseIfPlaying(bool pause) override;
    void OnBack() override;
    void KeyHandler(int command) override;

    // A tap on the drive list's current row.
    void OnDriveListTap();
    // Folders <-> playlists; the way to the folders forgets the current playlist unless it is
    // to be kept.
    void ToggleSource(bool keepPlaylist = false);
    // The lists again after a drive change, with the current file reselected.
    void RefreshLists();
    // Opens and plays the file list's current row.
    bool PlaySelected();
    // Runs the action of a released button (from Render).
    void RunButton(int button);

    // Play/Pause, Previous/Next and the repeat change of the buttons and keys.
    void PlayPause();
    void HandleNextFile(bool next);
    void ChangeRepeat();
    // The work of a file's end (and of a broken file), from the 250 ms tick.
    void HandleEndOfFile(uint16_t status);
    // The audio CD track watch, from the 250 ms tick.
    void WatchCdTrack();
    // The status word of the seat, with "Status" and "TimeCurrent" written.
    void WriteStatus(uint32_t word);
    // Random picks (repeat mode 3) come from here; tests seed it.
    void SeedRandom(uint32_t seed) { m_Random.seed(seed); }

    // A playlist entry's path without its stamp; a path without one stays as it is.
    static std::u16string CutStamp(const std::u16string& path);
    // "name" + fifty blanks + "[hhmmssmmm]" of the local time.
    static std::u16string StampName(const std::u16string& name);

    KvUserInterface::IKvListbox* DriveList() const { return m_pListbox[0]; }
    KvUserInterface::IKvListbox* FileList() const { return m_pListbox[1]; }
    KvUserInterface::IKvListbox* PlaylistList() const { return m_pPlaylistBox; }
    KvUserInterface::IKvButton* Button(int i) const {
        return i >= 0 && i < MP_BTN_COUNT ? m_pButtons[i] : nullptr;
    }
    KvMultimedia::IKvPlayer* Player() const { return m_pPlayer; }
    CDriveListHandler* DriveHandler() const { return m_pDriveHandler.get(); }

    KvUserInterface::IKvListbox* m_pPlaylistBox = nullptr;
    std::unique_ptr<CDriveListHandler> m_pDriveHandler;
    std::unique_ptr<CFileListHandler> m_pFileHandler;
    std::unique_ptr<CPlaylistHandler> m_pPlaylistHandler;
    KvMultimedia::IKvPlayer* m_pPlayer = nullptr;
    KvMultimedia::IKvPListContainer* m_pContainer = nullptr;
    KvMultimedia::IKvPlaylist* m_pPlayingList = nullptr;  // own reference
    // The files of the current folder (or playlist), in file-list order, cursor on the file
    // playing. Own reference.
    KvMultimedia::IKvPlaylist* m_pFolderList = nullptr;
    std::mt19937 m_Random;
    uint32_t m_dwStatusWord = MP_STATUS_STOPPED;  // without the rear seat's bit
    // Playback starts, counted: what the restore of the last run waits for.
    std::atomic<uint32_t> m_dwPlayEvents{0};
    int m_iEndTries = 0;
    // Playlist editing: the playlist made or edited, the one marked for deletion on Save, and
    // whether the drive and file lists to add from are offered.
    std::u16string m_strEditName;
    std::u16string m_strDeleteName;
    uint8_t m_bAddingView = 0;
    // opens tried in this round at the end of a file
    KvUserInterface::IKvButton* m_pButtons[MP_BTN_COUNT] = {};
    KvUserInterface::IKvText* m_pTexts[MP_TEXT_COUNT] = {};

    uint8_t m_bySourceMode = MP_SOURCE_FOLDERS;
    uint8_t m_byRepeatMode = 0;
    uint8_t m_bAudioCD = 0;
    int m_iCDTrack = -1;
    int m_iCDTrackCount = 0;
    std::u16string m_strCurrentPath;   // the file being played
    std::u16string m_strFollowMissed;  // the file the lists could not be brought to
    // The drive row and the playlist row current when playback started, and the playing
    // file's row in the file list. Copies: a list's rows go when it is filled again.
    UI_LIST_ROW m_PlayDriveRow = {};
    UI_LIST_ROW m_PlayPlaylistRow = {};
    bool m_bPlayDriveRow = false;
    bool m_bPlayPlaylistRow = false;
    int m_iPlayIndex = -1;
    int m_iFolderDepth = 0;

    DRIVE_SNAPSHOT m_DriveSnapshot = {};
    uint8_t m_bVolumeReadable[2] = {0, 0};

    uint32_t m_dwLast1000 = 0;
    uint32_t m_dwLast250 = 0;
    uint32_t m_dwLastPen = 0;
    int m_iLongPress = 0;
    // CD insertion: the three steps still to run, in order.
    uint8_t m_bCDStep[3] = {0, 0, 0};
    // The steps keep the settings' current playlist: no disc song replaced the last music.
    uint8_t m_bKeepPlaylist = 0;
    uint8_t m_bSeatActionPending = 0;
    uint8_t m_bFirstShow = 1;
    uint8_t m_bResumeAfterRefresh = 1;
    uint32_t m_dwPlayStart = 0;
    uint8_t m_byPending = MP_BTN_NONE;
    uint8_t m_bActionReady = 0;
    int m_iPenX = 0;
    int m_iPenY = 0;

private:
    void ReleaseAll();
    bool MakeTexts();
    void ShowFolderView();
    void ShowPlaylistView();
    void ShowPlayButton(bool playing);
    // The file list from the head folder of the drive list, or from a row's folder.
    void FillFilesOf(const UI_LIST_ROW& row);
    // Whether a drive-list row is the optical drive's root.
    bool IsDiscRow(const UI_LIST_ROW& row) const;
    // Whether the current drive row is the audio CD's (in the folder view).
    bool IsAudioCdRowCurrent() const;
    bool IsUpRow(int index) const;
    void CompareWithPlaying();
    void OpenAudioCdRow(const UI_LIST_ROW& row);
    void SelectCurrentFile();
    void ResumeLast();
    bool SelectDriveRowOfPath(const std::u16string& path);
    void Tick1000();
    void RunCdStep();
    // After the pen rested: the file list shows and highlights the song that plays or pauses,
    // in its folder or playlist.
    void FollowPlaying();
    bool ShowsPlaying();
    // Selects and opens a playlist that holds the song that plays; false when none does.
    bool OpenPlaylistOfPlaying();
    bool IsPhoneCurrent() const;
    void SwitchToMusic();
    void SaveSettings();
    bool PlayPath(const std::u16string& folder, const std::u16string& name);
    // Opens the entry (stamp cut in the playlists) and plays it; false when either fails, with
    // the page showing stopped.
    bool OpenAndPlay(const std::u16string& path);
    void StopPlayback();
    void RefillFolderList();
    bool BuildPlayingList();
    // The entry's place in the playing list by name and folder; -1 when none.
    int PlayingIndexOf(const std::u16string& name, const std::u16string& folder);
    // After a start: the lists, the rows remembered and the settings.
    void MarkPlaying(const std::u16string& path);
    void SetStatus(uint32_t word);
    int RandomIndex(int count);
    bool NextEntry(KvMultimedia::IKvPlaylist* list, uint8_t how, std::u16string& name,
                   std::u16string& folder);
    void CdStep(bool next);
    bool PlayCdTrack(int track);
    void SetRepeat(uint8_t mode);
    // Buttons 12-19, the playlist editing.
    void RunEditButton(int button);
    // Out of an edit mode without saving.
    void LeaveEditing();
    void SavePlaylistEdit();
    KvMultimedia::IKvPlaylist* FindPlaylistNamed(const std::u16string& name);
    void ShowCount(KvMultimedia::IKvPlaylist* list);
    void ShowEditView(bool edit);
    void ReturnToPlaylistView();
    void SelectPlaylistRow(const std::u16string& name);
    void EditMessage(const char16_t* text);
};
