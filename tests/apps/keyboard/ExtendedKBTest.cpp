// The rear seat's extended keyboard button: its place, its picture on the rear screen, and the
// outside keyboard program a tap starts.
#include "apps/keyboard/ExtendedKB.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/gfx/ImageFile.h"
#include "platform/io/File.h"
#include "tests/apps/keyboard/KeyboardFixture.h"

using namespace kbtest;

namespace {

class ExtendedKBTest : public KeyboardTest {};

TEST_F(ExtendedKBTest, ShowsItsPictureAtItsPlaceOnTheRearScreenAndStartsTheProgram) {
    // The outside program: a script that leaves a mark in the base folder.
    WriteText("ESKB.exe", "#!/bin/sh\necho \"$#\" > eskb-started.txt\n");
    ASSERT_EQ(::chmod("ESKB.exe", 0755), 0);

    std::unique_ptr<plat::ui::Window> made = CExtendedKB::Make();
    ASSERT_NE(made, nullptr);
    auto* button = static_cast<CExtendedKB*>(made.get());
    EXPECT_NE(button->m_pImage, nullptr);
    EXPECT_EQ(plat::ui::GetWindowRect(button->Id()), plat::Rect::FromXYWH(1300, 480, 262, 100));
    EXPECT_FALSE(plat::ui::IsWindowVisible(button->Id()));

    // The rear seat shows it while it is folded away.
    plat::ui::ShowWindow(button->Id(), true);
    plat::ui::PumpUntilIdle();
    plat::Surface screen, picture;
    ASSERT_TRUE(plat::ui::CaptureScreen(1, screen));
    ASSERT_TRUE(plat::LoadImageFile("Skin/Test/ScreenKB/EKB.jpg", picture));
    ASSERT_EQ(picture.Width(), 262);
    ASSERT_EQ(picture.Height(), 100);
    for (plat::Point p :
         {plat::Point{0, 0}, plat::Point{131, 50}, plat::Point{80, 30}, plat::Point{261, 99}})
        EXPECT_EQ(screen.PixelAt(500 + p.x, 480 + p.y), picture.PixelAt(p.x, p.y));

    EXPECT_FALSE(testsupport::Exists("eskb-started.txt"));
    Down(plat::Point{1300 + 131, 480 + 50});
    Up(plat::Point{1300 + 131, 480 + 50});
    ASSERT_TRUE(WaitUntil([] { return testsupport::Exists("eskb-started.txt"); }));
    EXPECT_TRUE(WaitUntil([] { return ReadText("eskb-started.txt") == "0\n"; }));  // no arguments
}

TEST_F(ExtendedKBTest, WithoutItsPictureTheButtonIsStillThere) {
    plat::RemoveFile("Skin/Test/ScreenKB/EKB.jpg");
    CExtendedKB button;
    EXPECT_FALSE(button.Initial());
    ASSERT_TRUE(plat::ui::IsWindow(button.Id()));
    plat::ui::ShowWindow(button.Id(), true);
    plat::ui::PumpUntilIdle();
    plat::Surface screen;
    ASSERT_TRUE(plat::ui::CaptureScreen(1, screen));
    EXPECT_EQ(screen.PixelAt(600, 520), 0xFF000000u);
    // A tap with no program to start changes nothing.
    Down(plat::Point{1400, 520});
    Up(plat::Point{1400, 520});
    EXPECT_TRUE(plat::ui::IsWindow(button.Id()));
    EXPECT_NE(Log().find("CExtendedKB: cannot start ESKB.exe"), std::string::npos);
}

}  // namespace
