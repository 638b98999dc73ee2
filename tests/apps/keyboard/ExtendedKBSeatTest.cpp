// The extended keyboard button on the real rear seat: made by the seat through the keyboard's
// hook, shown while the seat is folded away, hidden while it is full screen, and starting the
// outside keyboard program when tapped.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "apps/keyboard/ExtendedKB.h"
#include "core/shell/SeatCtrlDlg.h"
#include "platform/gfx/ImageFile.h"
#include "tests/harness/SeatTestEnv.h"

namespace {

class ExtendedKBSeatTest : public seattest::SeatEnvTest {};

TEST_F(ExtendedKBSeatTest, TheRearSeatShowsItsKeyboardButtonWhileFolded) {
    CopyFromRun("Skin");
    testsupport::WriteText("ESKB.exe", "#!/bin/sh\ntouch eskb-started.txt\n");
    ASSERT_EQ(::chmod("ESKB.exe", 0755), 0);
    StartKernel();
    ASSERT_NE(CSeatCtrlDlg::Hooks().pfnCreateExtendedKB, nullptr);

    plat::ui::CreateParams p;
    p.rect = plat::Rect::FromXYWH(0, 0, 1, 1);
    plat::ui::Window main;
    ASSERT_TRUE(main.Create(p));
    CSeatCtrlDlg front, rear;
    ASSERT_TRUE(front.Create());
    ASSERT_TRUE(front.Initial(0, main.Id()));
    EXPECT_EQ(front.ExtendedKB(), nullptr);
    ASSERT_TRUE(rear.Create());
    ASSERT_TRUE(rear.Initial(1, main.Id()));
    auto* button = dynamic_cast<CExtendedKB*>(rear.ExtendedKB());
    ASSERT_NE(button, nullptr);
    EXPECT_NE(button->m_pImage, nullptr);

    rear.ShowExpanded(true);
    plat::ui::PumpUntilIdle();
    EXPECT_FALSE(plat::ui::IsWindowVisible(button->Id()));

    rear.ShowExpanded(false);
    plat::ui::PumpUntilIdle();
    ASSERT_TRUE(plat::ui::IsWindowVisible(button->Id()));
    plat::Surface screen, picture;
    ASSERT_TRUE(plat::ui::CaptureScreen(1, screen));
    ASSERT_TRUE(plat::LoadImageFile("Skin/Default/ScreenKB/EKB.jpg", picture));
    EXPECT_EQ(screen.PixelAt(500 + 131, 480 + 50), picture.PixelAt(131, 50));
    EXPECT_EQ(screen.PixelAt(500 + 5, 480 + 95), picture.PixelAt(5, 95));

    plat::ui::InjectPen(plat::ui::PenAction::Down, plat::Point{1300 + 20, 480 + 20});
    plat::ui::InjectPen(plat::ui::PenAction::Up, plat::Point{1300 + 20, 480 + 20});
    plat::ui::PumpUntilIdle();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!testsupport::Exists("eskb-started.txt") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(testsupport::Exists("eskb-started.txt"));

    rear.ShowExpanded(true);
    EXPECT_FALSE(plat::ui::IsWindowVisible(button->Id()));
}

}  // namespace
