// The skinned pop-up: a background, an optional picture or animation, an optional message and
// up to four image buttons, with a time-out and a close request that other threads may make.
// Pages use it for questions, please-wait notices and the phone's call pop-ups, often from a
// worker thread: it then runs on the user-interface thread while the worker waits for it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/ui/ModalDialog.h"
#include "core/ui/PictureEx.h"
#include "library/include/KvTypes.h"

#define INFODLG_PATH_CHARS 260
#define INFODLG_RECORD_SIZE 3128

// The record's flags.
enum : uint8_t {
    INFODLG_BUTTON4 = 0x01,  // centre, result 211 (the callers' no or cancel)
    INFODLG_BUTTON3 = 0x02,  // centre, result 210
    INFODLG_BUTTON2 = 0x04,  // right, result 209
    INFODLG_BUTTON1 = 0x08,  // left, result 208
    INFODLG_SHOW_TEXT = 0x40,
    INFODLG_SHOW_PICTURE = 0x80,
};

// Results of a run: a button, or IDCANCEL (2) for a time-out, a close request or a close.
enum {
    INFODLG_RESULT_BUTTON1 = 208,
    INFODLG_RESULT_BUTTON2 = 209,
    INFODLG_RESULT_BUTTON3 = 210,
    INFODLG_RESULT_BUTTON4 = 211,
};

// What the caller asks the pop-up to show; zero it, then fill it.
struct INFODLG_RECORD {
    uint8_t byUser0;  // 0: the caller's own (the phone's done flag)
    uint8_t byUser1;  // 1: the caller's own (the phone's request mode)
    uint8_t byFlags;  // 2
    uint8_t byUnused;
    uint32_t dwUser;                           // 4: the caller's own (the phone's time-out)
    char16_t szPicture[INFODLG_PATH_CHARS];    // 8: a picture or an animated GIF
    char16_t szText[INFODLG_PATH_CHARS];       // 528
    char16_t szButton[4][INFODLG_PATH_CHARS];  // 1048: the images of buttons 1 to 4
};
static_assert(sizeof(INFODLG_RECORD) == INFODLG_RECORD_SIZE, "pop-up record size");
static_assert(offsetof(INFODLG_RECORD, byFlags) == 2, "layout");
static_assert(offsetof(INFODLG_RECORD, szPicture) == 8, "layout");
static_assert(offsetof(INFODLG_RECORD, szText) == 528, "layout");
static_assert(offsetof(INFODLG_RECORD, szButton) == 1048, "layout");

// Timers of the pop-up.
#define INFODLG_TIMER_TIMEOUT 160
#define INFODLG_TIMER_EXIT 161
#define INFODLG_TIMER_ELAPSED 162
#define INFODLG_EXIT_PERIOD 300
#define INFODLG_ELAPSED_PERIOD 1000

class CInfoDialog : public CModalDialog {
public:
    // timeoutMs 0: never closes by itself.
    CInfoDialog(int timeoutMs, plat::ui::WindowId parent);
    ~CInfoDialog() override;

    // Copies the record (null: none).
    void SetInfo(const INFODLG_RECORD* record);
    // Asks the dialog to close (result 2) within one check period, whether it already runs or
    // opens later. Meant for other threads.
    void SetExit();
    bool IsExitRequested() const { return m_bExit.load(); }

    // What the message area shows (the record's text, or the time since opening).
    std::u16string GetMessageText() const;

    // "<base>\\Skin\\Default 01\\InfoDialog\\<name>": the dialog and its callers take their
    // pictures from there whatever skin is chosen. Empty without a kernel.
    static std::u16string SkinFile(const char16_t* name);
    // Places in the dialog's client area.
    static plat::Rect ButtonRect(int index);  // 0..3 for buttons 1..4
    static plat::Rect MessageRect();
    static plat::Rect PictureRect();

    // The caller may also fill these directly before the run.
    INFODLG_RECORD m_Record;
    uint8_t m_bHasRecord = 0;

protected:
    bool OnInitDialog() override;
    void OnEndDialog() override;
    void OnPaint(plat::Surface& surface, const plat::Rect& dirty) override;
    void OnTimer(uint32_t timerId) override;
    void OnPenDown(plat::Point pt) override;
    void OnPenUp(plat::Point pt) override;

private:
    void ReleaseSkin();

    CPictureEx m_Picture;
    uint8_t m_bHasTimeout;
    uint32_t m_dwTimeout;
    std::atomic<bool> m_bExit{false};
    uint32_t m_dwStartTick = 0;
    KvUserInterface::IKvButton* m_pButton[4] = {nullptr, nullptr, nullptr, nullptr};
    KvMultimedia::IKvImage* m_pButtonImage[4] = {nullptr, nullptr, nullptr, nullptr};
    KvMultimedia::IKvImage* m_pBackground = nullptr;
    plat::Font m_TextFont;
    mutable std::mutex m_textMutex;
    std::u16string m_strMessage;
};

// The pop-up a page keeps while one of its threads runs it. Other threads end it only through
// SetExit; the dialog lives as long as the page or the running thread holds it, so a close
// request never reaches a dialog that is gone.
class CInfoDialogSlot {
public:
    // A new pop-up in place of the one held (which is dropped, not closed).
    std::shared_ptr<CInfoDialog> Open(int timeoutMs,
                                      plat::ui::WindowId parent = plat::ui::kNoWindow);
    // Asks the held pop-up to close; false when none is held.
    bool SetExit();
    // Drops the held pop-up when it is `dialog`, or whatever is held for null.
    void Release(const std::shared_ptr<CInfoDialog>& dialog = nullptr);
    std::shared_ptr<CInfoDialog> Get() const;

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<CInfoDialog> m_pDialog;
};
