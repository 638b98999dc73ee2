#include "core/ui/InfoDialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/text/Text.h"
#include "tests/harness/HeadUnitFixture.h"

using namespace pagetest;
using testsupport::SolidImage;
using testsupport::StripImage;

namespace {

constexpr uint32_t kBackground = plat::Argb(0xFF, 0x20, 0x40, 0x60);
// The four frames of each button's strip: normal, highlighted, pressed, disabled.
const std::vector<uint32_t> kYesFrames = {0xFF00C000, 0xFF00E000, 0xFF008000, 0xFF404040};
const std::vector<uint32_t> kNoFrames = {0xFFC00000, 0xFFE00000, 0xFF800000, 0xFF404040};
const std::vector<uint32_t> kCentreFrames = {0xFF0000C0, 0xFF0000E0, 0xFF000080, 0xFF404040};
constexpr uint32_t kPicture = plat::Argb(0xFF, 0xF0, 0xA0, 0x10);

// The dialog with a window onto its run, for the thread that drives it.
class ProbedInfoDialog : public CInfoDialog {
public:
    using CInfoDialog::CInfoDialog;
    ~ProbedInfoDialog() override { Destroy(); }

    std::atomic<bool> opened{false};
    std::atomic<bool> ended{false};
    std::atomic<plat::ui::WindowId> window{plat::ui::kNoWindow};
    std::thread::id thread;

protected:
    bool OnInitDialog() override {
        bool ok = CInfoDialog::OnInitDialog();
        thread = std::this_thread::get_id();
        window = Id();
        opened = true;
        return ok;
    }
    void OnEndDialog() override {
        ended = true;
        CInfoDialog::OnEndDialog();
    }
};

// Waits until the user-interface thread has handled everything queued before (pen included).
void Sync() {
    std::atomic<bool> done{false};
    ASSERT_TRUE(plat::ui::PostToUiThread([&] { done = true; }));
    ASSERT_TRUE(WaitUntil([&] { return done.load(); }));
}

void Tap(plat::ui::WindowId window, int x, int y) {
    plat::Rect r = plat::ui::GetWindowRect(window);
    plat::ui::InjectPen(plat::ui::PenAction::Down, plat::Point{r.left + x, r.top + y});
    plat::ui::InjectPen(plat::ui::PenAction::Up, plat::Point{r.left + x, r.top + y});
}

uint32_t PixelOf(plat::ui::WindowId window, int x, int y) {
    plat::Surface s;
    if (!plat::ui::GetWindowPicture(window, s))
        return 0;
    return s.PixelAt(x, y);
}

class InfoDialogTest : public HeadUnitTest {
protected:
    void SetUp() override {
        HeadUnitTest::SetUp();
        const std::string folder = "Skin/Default 01/InfoDialog/";
        std::filesystem::create_directories(folder);
        testsupport::WritePng(folder + "info-bg.png", SolidImage(636, 416, kBackground));
        testsupport::WritePng(folder + "yes.png", StripImage(160, 90, kYesFrames));
        testsupport::WritePng(folder + "no.png", StripImage(160, 90, kNoFrames));
        testsupport::WritePng(folder + "centre.png", StripImage(160, 90, kCentreFrames));
        testsupport::WritePng(folder + "picture.png", SolidImage(64, 48, kPicture));
        ASSERT_TRUE(CKernel::GetInstance()->Create());
    }

    INFODLG_RECORD Record(uint8_t flags, const char* text = "Continue?") {
        INFODLG_RECORD r;
        std::memset(&r, 0, sizeof r);
        r.byFlags = flags;
        plat::StrCopy(r.szText, plat::Utf8ToUtf16(text));
        plat::StrCopy(r.szPicture, CInfoDialog::SkinFile(u"picture.png"));
        plat::StrCopy(r.szButton[0], CInfoDialog::SkinFile(u"yes.png"));
        plat::StrCopy(r.szButton[1], CInfoDialog::SkinFile(u"no.png"));
        plat::StrCopy(r.szButton[2], CInfoDialog::SkinFile(u"centre.png"));
        plat::StrCopy(r.szButton[3], CInfoDialog::SkinFile(u"centre.png"));
        return r;
    }

    // Runs the dialog on this, the user-interface thread, while `drive` acts on it from
    // another thread once it is open. A dialog that `drive` leaves open fails the test and is
    // ended rather than left hanging.
    int Run(ProbedInfoDialog& dialog, const std::function<void(plat::ui::WindowId)>& drive) {
        std::thread driver([&] {
            if (!WaitUntil([&] { return dialog.opened.load(); })) {
                ADD_FAILURE() << "the dialog never opened";
                return;
            }
            drive(dialog.window.load());
            if (!WaitUntil([&] { return dialog.ended.load(); }, 5000)) {
                ADD_FAILURE() << "the dialog is still open";
                plat::ui::EndModal(dialog.window.load(), -1);
            }
        });
        int result = dialog.DoModal();
        driver.join();
        return result;
    }
};

}  // namespace

TEST_F(InfoDialogTest, ButtonsAnswerWithTheirNumbersAndATapBesideThemDoesNothing) {
    const INFODLG_RECORD record =
        Record(INFODLG_BUTTON1 | INFODLG_BUTTON2 | INFODLG_SHOW_TEXT | INFODLG_SHOW_PICTURE);
    {
        ProbedInfoDialog dialog(0, plat::ui::kNoWindow);
        dialog.SetInfo(&record);
        int result = Run(dialog, [&](plat::ui::WindowId w) {
            // Centred on the front screen at the template's size.
            EXPECT_EQ(plat::ui::GetWindowRect(w), plat::Rect::FromXYWH(82, 32, 636, 416));
            ASSERT_TRUE(WaitUntil([&] { return PixelOf(w, 5, 5) == kBackground; }));
            // Each button at its place in its normal frame, the picture in its own place,
            // the message on its dark ground.
            EXPECT_EQ(PixelOf(w, 151, 281), kYesFrames[0]);
            EXPECT_EQ(PixelOf(w, 309, 369), kYesFrames[0]);
            EXPECT_EQ(PixelOf(w, 331, 281), kNoFrames[0]);
            EXPECT_EQ(PixelOf(w, 149, 300), kBackground);
            EXPECT_EQ(PixelOf(w, 141 + 32, 109 + 24), kPicture);
            EXPECT_EQ(PixelOf(w, 265, 200), plat::Argb(0xFF, 10, 10, 10));
            EXPECT_EQ(dialog.GetMessageText(), u"Continue?");

            Tap(w, 320, 320);  // between the two buttons
            Tap(w, 100, 100);
            Sync();
            EXPECT_FALSE(dialog.ended.load());

            // Held down, the button shows its pressed frame.
            plat::Rect r = plat::ui::GetWindowRect(w);
            plat::ui::InjectPen(plat::ui::PenAction::Down, plat::Point{r.left + 200, r.top + 320});
            EXPECT_TRUE(WaitUntil([&] { return PixelOf(w, 151, 281) == kYesFrames[2]; }));
            plat::ui::InjectPen(plat::ui::PenAction::Up, plat::Point{r.left + 200, r.top + 320});
        });
        EXPECT_EQ(result, INFODLG_RESULT_BUTTON1);
        EXPECT_EQ(dialog.thread, std::this_thread::get_id());
    }
    {
        ProbedInfoDialog dialog(0, plat::ui::kNoWindow);
        dialog.SetInfo(&record);
        EXPECT_EQ(Run(dialog, [](plat::ui::WindowId w) { Tap(w, 489, 369); }),
                  INFODLG_RESULT_BUTTON2);
    }
}

TEST_F(InfoDialogTest, CentreButtonsAnswerTwoHundredTenAndEleven) {
    const std::pair<uint8_t, int> cases[] = {
        {INFODLG_BUTTON3, INFODLG_RESULT_BUTTON3},
        {INFODLG_BUTTON4, INFODLG_RESULT_BUTTON4},
        // Both share one place: the tap is the cancel answer.
        {INFODLG_BUTTON3 | INFODLG_BUTTON4, INFODLG_RESULT_BUTTON4},
    };
    for (const auto& [flags, expected] : cases) {
        ProbedInfoDialog dialog(0, plat::ui::kNoWindow);
        INFODLG_RECORD record = Record(flags);
        dialog.SetInfo(&record);
        EXPECT_EQ(Run(dialog, [](plat::ui::WindowId w) { Tap(w, 320, 320); }), expected)
            << int(flags);
    }
}

TEST_F(InfoDialogTest, AButtonWhoseImageIsMissingIsStillTapped) {
    INFODLG_RECORD record = Record(INFODLG_BUTTON3 | INFODLG_SHOW_TEXT);
    plat::StrCopy(record.szButton[2], CInfoDialog::SkinFile(u"gone.png"));
    ProbedInfoDialog dialog(0, plat::ui::kNoWindow);
    dialog.SetInfo(&record);
    int result = Run(dialog, [](plat::ui::WindowId w) {
        ASSERT_TRUE(WaitUntil([&] { return PixelOf(w, 5, 5) == kBackground; }));
        EXPECT_EQ(PixelOf(w, 300, 300), kBackground) << "nothing is drawn for it";
        Tap(w, 300, 300);
    });
    EXPECT_EQ(result, INFODLG_RESULT_BUTTON3);
}

TEST_F(InfoDialogTest, ATextThatFillsItsWholeFieldEndsThere) {
    // No terminator: the message is the field, not the button path stored after it.
    INFODLG_RECORD record = Record(INFODLG_BUTTON4 | INFODLG_SHOW_TEXT);
    for (char16_t& c : record.szText)
        c = u'w';
    ProbedInfoDialog dialog(0, plat::ui::kNoWindow);
    dialog.SetInfo(&record);
    int result = Run(dialog, [&](plat::ui::WindowId w) {
        EXPECT_EQ(dialog.GetMessageText(), std::u16string(INFODLG_PATH_CHARS, u'w'));
        Tap(w, 320, 320);
    });
    EXPECT_EQ(result, INFODLG_RESULT_BUTTON4);
}

TEST_F(InfoDialogTest, TimeOutClosesWithTwoAfterItsTimeAndLogsIt) {
    // Without the text flag the message area counts the time since opening.
    INFODLG_RECORD record = Record(INFODLG_BUTTON4);
    ProbedInfoDialog dialog(60000, plat::ui::kNoWindow);
    dialog.SetInfo(&record);
    int result = Run(dialog, [&](plat::ui::WindowId) {
        for (int second = 1; second <= 3; ++second) {
            m_clock.Advance(1000);
            std::u16string expected = plat::FormatStr(u"Passed: %d", second * 1000);
            EXPECT_TRUE(WaitUntil([&] { return dialog.GetMessageText() == expected; }))
                << plat::Utf16ToUtf8(dialog.GetMessageText());
        }
        m_clock.Advance(56999);
        EXPECT_TRUE(WaitUntil([&] { return dialog.GetMessageText() == u"Passed: 59999"; }));
        EXPECT_FALSE(dialog.ended.load());
        m_clock.Advance(1);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_NE(Log().find("CInfoDialog::OnTimer( TIMEOUT )"), std::string::npos);
    EXPECT_EQ(Log().find("CInfoDialog::OnTimer( EXIT )"), std::string::npos);
}

TEST_F(InfoDialogTest, WithoutATimeOutOnlyAButtonOrAnExitRequestCloses) {
    INFODLG_RECORD record = Record(INFODLG_BUTTON4 | INFODLG_SHOW_TEXT);
    ProbedInfoDialog dialog(0, plat::ui::kNoWindow);
    dialog.SetInfo(&record);
    int result = Run(dialog, [&](plat::ui::WindowId) {
        m_clock.Advance(10 * 60 * 1000);
        Sync();
        m_clock.Advance(1000);
        Sync();
        EXPECT_FALSE(dialog.ended.load());
        EXPECT_EQ(dialog.GetMessageText(), u"Continue?") << "the text flag keeps the text";
        dialog.SetExit();
        m_clock.Advance(300);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_NE(Log().find("CInfoDialog::OnTimer( EXIT )"), std::string::npos);
    EXPECT_EQ(Log().find("CInfoDialog::OnTimer( TIMEOUT )"), std::string::npos);
}

TEST_F(InfoDialogTest, AnExitAskedBeforeTheDialogOpensClosesItOnItsFirstCheck) {
    INFODLG_RECORD record = Record(INFODLG_BUTTON4 | INFODLG_SHOW_TEXT);
    ProbedInfoDialog dialog(0, plat::ui::kNoWindow);
    dialog.SetInfo(&record);
    dialog.SetExit();
    int result = Run(dialog, [&](plat::ui::WindowId w) {
        // It opened all the same, and waits for its check.
        EXPECT_TRUE(plat::ui::IsWindowVisible(w));
        m_clock.Advance(INFODLG_EXIT_PERIOD);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_NE(Log().find("CInfoDialog::OnTimer( EXIT )"), std::string::npos);
}

TEST_F(InfoDialogTest, APopUpAskedForByAWorkerRunsOnTheUserInterfaceThread) {
    const std::thread::id uiThread = std::this_thread::get_id();
    INFODLG_RECORD record = Record(INFODLG_BUTTON1 | INFODLG_BUTTON2 | INFODLG_SHOW_TEXT);
    std::atomic<int> workerResult{-1};
    std::atomic<bool> workerDone{false};
    std::thread::id dialogThread;
    std::atomic<plat::ui::WindowId> window{plat::ui::kNoWindow};

    class WorkerDialog : public CInfoDialog {
    public:
        WorkerDialog(std::thread::id* t, std::atomic<plat::ui::WindowId>* w)
            : CInfoDialog(0, plat::ui::kNoWindow), m_thread(t), m_window(w) {}
        ~WorkerDialog() override { Destroy(); }

    protected:
        bool OnInitDialog() override {
            bool ok = CInfoDialog::OnInitDialog();
            *m_thread = std::this_thread::get_id();
            *m_window = Id();
            return ok;
        }

    private:
        std::thread::id* m_thread;
        std::atomic<plat::ui::WindowId>* m_window;
    };

    std::thread worker([&] {
        WorkerDialog dialog(&dialogThread, &window);
        dialog.SetInfo(&record);
        workerResult = dialog.DoModal();
        workerDone = true;
    });
    std::thread tapper([&] {
        ASSERT_TRUE(WaitUntil([&] { return window.load() != plat::ui::kNoWindow; }));
        EXPECT_FALSE(workerDone.load()) << "the worker waits for the answer";
        Tap(window, 480, 300);
    });
    // The user-interface thread goes on with its own work meanwhile.
    ASSERT_TRUE(WaitUntil([&] {
        plat::ui::PumpOnce();
        return workerDone.load();
    }));
    worker.join();
    tapper.join();
    EXPECT_EQ(dialogThread, uiThread);
    EXPECT_EQ(workerResult, INFODLG_RESULT_BUTTON2);
}

TEST_F(InfoDialogTest, ExitRequestsFromAnotherThreadNeverOutliveTheDialog) {
    // A worker runs pop-ups one after another, each dropped when it closes, while another
    // thread keeps asking whatever pop-up is held to close.
    INFODLG_RECORD record = Record(INFODLG_BUTTON4 | INFODLG_SHOW_TEXT);
    CInfoDialogSlot slot;
    std::atomic<bool> stop{false};
    std::atomic<int> asked{0};
    std::vector<int> results;
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i) {
            std::shared_ptr<CInfoDialog> dialog = slot.Open(0);
            dialog->SetInfo(&record);
            results.push_back(dialog->DoModal());
            slot.Release(dialog);
        }
        workerDone = true;
    });
    std::thread page([&] {
        while (!stop.load()) {
            if (slot.SetExit())
                ++asked;
            std::this_thread::yield();
        }
    });
    std::thread ticker([&] {
        while (!workerDone.load()) {
            m_clock.Advance(INFODLG_EXIT_PERIOD);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    ASSERT_TRUE(WaitUntil([&] {
        plat::ui::PumpOnce();
        return workerDone.load();
    }));
    stop = true;
    worker.join();
    page.join();
    ticker.join();
    EXPECT_EQ(results, std::vector<int>(5, IDCANCEL));
    EXPECT_GT(asked.load(), 0);
    EXPECT_EQ(slot.Get(), nullptr);
    EXPECT_FALSE(slot.SetExit()) << "nothing is held once the worker let go";
}
