// The phone page: a keypad for the hands-free module, dial, answer and hang up, tones during a
// call, the module's pairing and connection, and the front seat's incoming-call handling that
// brings the page up over whatever was showing and gives the seat back when the call ends.
// Both seats have one; only the front seat's opens and closes the module link.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "apps/phone/BTModule.h"
#include "apps/phone/CallRecorder.h"
#include "apps/phone/PhoneBook.h"
#include "core/ui/InfoDialog.h"
#include "core/ui/MPlayerDlg.h"
#include "core/ui/UiLink.h"

enum {
    PH_VOL_ADD = 0,
    PH_VOL_ICON = 1,
    PH_VOL_DEL = 2,
    PH_RET_MENU = 3,
    PH_PHONE_ENTRY = 4,
    PH_SKYPE = 5,
    PH_BT_PAIR = 6,
    PH_BT_CONNECT = 7,
    PH_BT_DISCONNECT = 8,
    PH_SWITCH_CELL = 9,
    PH_PHONEBOOK = 10,
    PH_REC = 11,
    PH_DIAL = 12,
    PH_HANG = 13,
    PH_DIGIT_0 = 14,  // .. PH_DIGIT_0 + 9
    PH_DIGIT_STAR = 24,
    PH_DIGIT_WELL = 25,
    PH_DIGIT_MEMORY = 26,
    PH_DIGIT_SPACE = 27,
    PH_DIGIT_REDIAL = 28,
    PH_DIGIT_BACK = 29,
    PH_BUTTON_COUNT = 30,
    // The phone-book editor's buttons.
    PH_KB_NAME = 31,
    PH_KB_NUMBER = 32,
    PH_SAVE = 33,
    PH_EXIT = 34,
    PH_DEL = 35,
    PH_EDITOR_FIRST = PH_KB_NAME,
    PH_EDITOR_COUNT = 5,
};

// The keyboard page's requests of the editor.
enum : int { PH_KB_REQUEST_NAME = 1, PH_KB_REQUEST_NUMBER = 2 };

// Bluetooth states of the page.
enum : uint8_t {
    PH_BT_NO_MODULE = 160,
    PH_BT_NOT_PAIRED = 161,
    PH_BT_PAIRED = 162,
    PH_BT_CONNECTED = 163,
};

// What a pop-up request asks (kept in the record's second byte).
enum : uint8_t {
    PH_INFO_CONNECT = 192,     // pairing or connecting: waits for the link
    PH_INFO_DISCONNECT = 193,  // the disconnect notice
    PH_INFO_INCOMING = 194,    // the incoming call: accept or reject
};

#define PH_NUMBER_DIGITS 12  // digits the keypad takes
#define PH_TEXT_CHARS 64     // the page's text fields, terminator included
#define PH_EDIT_LIMIT 16     // characters the editor's fields take from the keyboard

class CPhone : public IMPlayerDlg {
public:
    CPhone();
    ~CPhone() override;

    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void Show(bool visible, uint8_t param) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;
    // Leaves the phone-book editor (Exit, Menu, the seat's back key).
    void OnBack() override;

    // Answers a ringing phone, or dials the typed number when no call is active.
    void HandleDial();
    // Enables the call buttons for a connected phone, the pairing buttons otherwise.
    void UpdateCallButtons();

    // What the seat and the tests read of the page.
    bool Skinned() const { return m_bSkinned; }
    bool Keep51() const { return m_bKeep51; }
    uint8_t BTState() const { return m_byBTState; }
    bool InCall() const { return m_bInCall; }
    const char16_t* TypedNumber() const { return m_szNumber; }
    const char16_t* DtmfText() const { return m_szDtmf; }
    std::u16string NumberText() const;
    std::u16string StateText() const;
    std::u16string CallLabel() const;
    // The page's buttons 0..29 and the editor's 31..35.
    KvUserInterface::IKvButton* Button(int index) const;
    const CCallRecorder& Recorder() const { return m_Recorder; }
    const CPhoneBook& Book() const { return m_Book; }
    // Rows of the phone-book list.
    int ListCount() const;
    // Takes the number of phone-book row `index` as the typed number (a tap on the row).
    void TakeRow(int index);
    // The phone-book editor: shown, the entry it edits (-1 a new one) and its two fields.
    bool EditMode() const { return m_bEditMode; }
    int EditedEntry() const { return m_iEditedEntry; }
    std::u16string NameEdit() const;
    std::u16string NumberEdit() const;
    // The list's selected row, -1 when none, and where row `index` shows.
    int ListSelection() const;
    plat::Rect RowRect(int index) const;
    // Downloads the phone's memory `kind` (3 the phone, then 2 the SIM).
    void RequestPhonebook(int kind);
    bool Downloading() const { return m_iDownloadKind != 0; }
    // The memory being downloaded (3 the phone, 2 the SIM), 0 when none.
    int DownloadKind() const { return m_iDownloadKind; }
    // The page the incoming call took the seat from, or -1 when none did.
    int AppBeforeCall() const { return m_iAppBeforeCall; }
    // The page's pop-up: held from its request until its thread is done with it.
    std::shared_ptr<CInfoDialog> PopUp() const { return m_InfoSlot.Get(); }
    // Pop-ups running modal now, and how many have run so far.
    int PopUpsShowing() const { return m_iPopUpsShowing.load(); }
    int PopUpsShown() const { return m_iPopUpsShown.load(); }

private:
    void ReleaseObjects();
    void RunAction(int action);
    void PressDigit(char16_t c);
    void SetNumberText(const char16_t* text);
    void SetTyped(const char16_t* text);
    void Pair();
    // "p", and the port closed a second later (the module restarts its link).
    void SendPairing();
    void Connect();
    void Disconnect();
    void SecondPass(uint32_t now);
    // What the recorder's thread did since the last tick; true when the page looks different.
    bool TakeRecorderNews();
    void IncomingCall();
    void CallGone();
    const char16_t* Text(int id) const;
    // The book from its file into the list, the list's choice kept where it still fits.
    void FillPhonebookRows();
    // The same, then the last row chosen and its number taken as the typed number.
    void LoadPhonebook();
    void SavePhonebook();
    void StoreDownloadedEntries();
    void StartMessaging();
    void StoreLine(const BT_DOWNLOAD_ENTRY& entry, int index);
    // ---- the phone-book editor
    void SetEditMode(bool on);
    void OpenEntry();
    void NewEntry();
    void AskKeyboard(int request);
    void TakeKeyboardResult();
    void SaveEntry();
    void DeleteEntry();
    void SelectRow(int index);

    // ---- pop-ups on a worker thread that run on the user-interface thread
    // Starts a pop-up thread for `request` (mode, time-out and the dialog's fields); an open
    // pop-up is asked to close first and the new thread waits for the one before.
    void StartInfo(const INFODLG_RECORD& request);
    void ThreadProcInfo(INFODLG_RECORD request, std::shared_ptr<CInfoDialog> dialog,
                        plat::ui::WindowId parent, std::thread previous);
    int RunPopUp(const std::shared_ptr<CInfoDialog>& dialog);
    void StopInfo();

    bool m_bSkinned = false;
    KvUserInterface::IKvButton* m_pButtons[PH_BUTTON_COUNT] = {};
    KvUserInterface::IKvText* m_pStateText = nullptr;
    KvUserInterface::IKvText* m_pNumberText = nullptr;
    KvUserInterface::IKvText* m_pCallLabel = nullptr;
    KvMultimedia::IKvImage* m_pDigitDisplay = nullptr;
    KvUserInterface::IKvButton* m_pEditorButtons[PH_EDITOR_COUNT] = {};
    KvUserInterface::IKvText* m_pLabels[2] = {};
    KvUserInterface::IKvText* m_pNameEdit = nullptr;
    KvUserInterface::IKvText* m_pNumberEdit = nullptr;
    bool m_bEditMode = false;
    int m_iEditedEntry = -1;
    // The keyboard page was asked for a field of the editor and has not answered yet.
    bool m_bWaitKb = false;
    // Downloaded entries the full book had no room for, told once the download is over.
    int m_iRefused = 0;

    char16_t m_szNumber[PH_TEXT_CHARS] = {};  // typed or taken over; also the redial number
    char16_t m_szDtmf[PH_TEXT_CHARS] = {};    // tones of the current call, the newest kept
    bool m_bInCall = false;
    int32_t m_iCallSeconds = 0;
    uint32_t m_dwLastTick = 0;
    uint32_t m_dwLastCallTick = 0;
    uint32_t m_dwLast5s = 0;
    uint8_t m_byBTState = PH_BT_NO_MODULE;
    bool m_bPrevRinging = false;
    bool m_bKeep51 = false;
    // The pairing command's port close, a second after it was sent (the module needs the
    // time before the port is opened again); 0 when none is due.
    uint32_t m_dwPairCloseAt = 0;
    // The incoming call took the front seat from this page type; -1 when it did not.
    int m_iAppBeforeCall = -1;

    CPhoneBook m_Book;
    CCallRecorder m_Recorder;
    // The recorder could not be built: the next paint says so.
    bool m_bRecorderFailed = false;
    int m_iDownloadKind = 0;     // 3 or 2 while a download runs, else 0
    int m_iDownloadHandled = 0;  // the module's entries already looked at
    int m_iDownloaded = 0;
    uint32_t m_dwLast250 = 0;

    std::shared_ptr<CUiLink> m_pLink;
    CInfoDialogSlot m_InfoSlot;
    std::thread m_InfoThread;
    // Set by an incoming call's pop-up when it is done; the next second pass clears it.
    std::atomic<bool> m_bInfoDone{false};
    std::atomic<int> m_iPopUpsShowing{0};
    std::atomic<int> m_iPopUpsShown{0};

    uint8_t m_byPressedIdx = 255;
    uint8_t m_byPendingAction = 255;
    plat::Point m_ptHeld;
    uint32_t m_dwLastRepeat = 0;
    int m_iRepeatCount = 0;
};
