#include "core/ui/MessageDlg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/ui/Ui.h"
#include "tests/harness/HeadUnitFixture.h"
#include "tests/support/GfxTestSupport.h"

using namespace pagetest;

namespace {

constexpr uint32_t kFace = plat::Argb(0xFF, 0xF0, 0xF0, 0xF0);

class ProbedMessageDlg : public MessageDlg {
public:
    ~ProbedMessageDlg() override { Destroy(); }
    std::atomic<plat::ui::WindowId> window{plat::ui::kNoWindow};
    std::thread::id thread;

protected:
    bool OnInitDialog() override {
        bool ok = MessageDlg::OnInitDialog();
        thread = std::this_thread::get_id();
        window = Id();
        return ok;
    }
};

void Press(plat::ui::PenAction action, plat::ui::WindowId w, plat::Point client) {
    plat::Rect r = plat::ui::GetWindowRect(w);
    plat::ui::InjectPen(action, plat::Point{r.left + client.x, r.top + client.y});
}

bool Picture(plat::ui::WindowId w, plat::Surface& out) {
    return plat::ui::GetWindowPicture(w, out);
}

class MessageDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ui::Options options;
        options.backend = plat::ui::Backend::Headless;
        ASSERT_TRUE(plat::ui::Init(options));
    }
    void TearDown() override { plat::ui::Terminate(); }
};

}  // namespace

TEST_F(MessageDlgTest, ShowsItsTextLargeAndAnswersOneForOk) {
    ProbedMessageDlg dlg;
    dlg.SetText(u"Set ACCHold timer OK");
    std::thread user([&] {
        ASSERT_TRUE(WaitUntil([&] { return dlg.window.load() != plat::ui::kNoWindow; }));
        plat::ui::WindowId w = dlg.window;
        // Template 103 at its size, centred on the front screen.
        plat::Rect rect = plat::ui::GetWindowRect(w);
        EXPECT_EQ(rect.Width(), 503);
        EXPECT_EQ(rect.Height(), 132);
        EXPECT_EQ(rect.left, (800 - 503) / 2);

        plat::Surface s;
        ASSERT_TRUE(WaitUntil([&] { return Picture(w, s) && s.PixelAt(5, 5) == kFace; }));
        // The text fills most of its line in the large bold face, centred both ways.
        plat::Rect ink = testsupport::InkBox(s, kFace, MessageDlg::TextRect());
        EXPECT_GT(ink.Width(), 200);
        EXPECT_GE(ink.Height(), 14);
        const plat::Rect area = MessageDlg::TextRect();
        EXPECT_NEAR((ink.left + ink.right) / 2, (area.left + area.right) / 2, 4);
        EXPECT_NEAR((ink.top + ink.bottom) / 2, (area.top + area.bottom) / 2, 6);

        // Pressed on the button and released beside it: no answer.
        const plat::Rect ok = MessageDlg::OkButtonRect();
        Press(plat::ui::PenAction::Down, w, {ok.left + 10, ok.top + 10});
        Press(plat::ui::PenAction::Up, w, {ok.right + 30, ok.top + 10});
        // Pressed beside it and released on it: no answer either.
        Press(plat::ui::PenAction::Down, w, {5, 5});
        Press(plat::ui::PenAction::Up, w, {ok.left + 10, ok.top + 10});
        Press(plat::ui::PenAction::Down, w, {ok.left + 10, ok.top + 10});
        Press(plat::ui::PenAction::Up, w, {ok.left + 12, ok.top + 12});
    });
    std::vector<int> results;
    results.push_back(dlg.DoModal());
    user.join();
    EXPECT_EQ(results, std::vector<int>{IDOK});
    EXPECT_EQ(dlg.thread, std::this_thread::get_id());
    EXPECT_FALSE(plat::ui::IsWindow(dlg.window)) << "the window goes with the run";
}

TEST_F(MessageDlgTest, ALongTextIsBrokenIntoLinesThatFit) {
    ProbedMessageDlg dlg;
    dlg.SetText(u"No program is set for this item. Choose one under Settings, Programs.");
    std::thread user([&] {
        ASSERT_TRUE(WaitUntil([&] { return dlg.window.load() != plat::ui::kNoWindow; }));
        plat::ui::WindowId w = dlg.window;
        plat::Surface s;
        ASSERT_TRUE(WaitUntil([&] { return Picture(w, s) && s.PixelAt(5, 5) == kFace; }));
        plat::Rect ink = testsupport::InkBox(s, kFace, plat::Rect{1, 1, 502, 80});
        const plat::Rect area = MessageDlg::TextRect();
        EXPECT_GE(ink.left, area.left);
        EXPECT_LE(ink.right, area.right);
        EXPECT_GT(ink.Height(), 30) << "two lines";
        plat::ui::EndModal(w, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    user.join();
}

TEST_F(MessageDlgTest, AWorkerWaitsForTheAnswerWhileTheBoxRunsOnTheUserInterfaceThread) {
    ProbedMessageDlg dlg;
    dlg.SetText(u"Set ACCHold timer fail");
    std::atomic<int> result{-1};
    std::thread worker([&] { result = dlg.DoModal(); });
    std::thread user([&] {
        ASSERT_TRUE(WaitUntil([&] { return dlg.window.load() != plat::ui::kNoWindow; }));
        EXPECT_EQ(result.load(), -1) << "the worker waits for the answer";
        const plat::Rect ok = MessageDlg::OkButtonRect();
        Press(plat::ui::PenAction::Down, dlg.window, {ok.left + 5, ok.top + 5});
        Press(plat::ui::PenAction::Up, dlg.window, {ok.left + 5, ok.top + 5});
    });
    // The user-interface thread goes on with its own work; the box runs inside it.
    ASSERT_TRUE(WaitUntil([&] {
        plat::ui::PumpOnce();
        return result.load() != -1;
    }));
    worker.join();
    user.join();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.thread, std::this_thread::get_id());
}

TEST_F(MessageDlgTest, EndingTheProgramClosesTheBoxWithTwo) {
    ProbedMessageDlg dlg;
    std::thread ender([&] {
        ASSERT_TRUE(WaitUntil([&] { return dlg.window.load() != plat::ui::kNoWindow; }));
        plat::ui::BeginShutdown();
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ender.join();
    // And once the program is ending, a box gives 2 at once instead of waiting for a tap.
    MessageDlg late;
    EXPECT_EQ(late.DoModal(), IDCANCEL);
}
