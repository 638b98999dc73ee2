// The whole program, headless: a player made through the library the kernel loaded plays video
// on the seats' screens. The player lives in the library's copy of the platform layer and the
// seats in the program's, so this is the one test of the seam between them.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <string>

#include "core/kernel/Kernel.h"
#include "core/shell/SeatCtrlDlg.h"
#include "library/include/Vantrel.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/media/TestMedia.h"

using KvMultimedia::IKvPlayer;

namespace {

bool Near(uint32_t pixel, uint32_t want) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(int((pixel >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 40)
            return false;
    }
    return true;
}

// Top row of the 320x240 bars: white, yellow, cyan at these columns of the frame.
constexpr int kWhiteX = 22;
constexpr int kYellowX = 68;
constexpr int kCyanX = 114;

}  // namespace

TEST(SeatVideo, BarsPlayInARectangleOfTheFrontSeatThenFullScreenOnTheRear) {
    // The library's copy of the media settings reads the output from the environment.
    setenv("VELKORA_AUDIO_SINK", "fakesink sync=true", 1);
    harness::HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    IVantrel* root = unit.Kernel()->m_pRoot;
    ASSERT_NE(root, nullptr);
    IKvPlayer* player = nullptr;
    ASSERT_EQ(root->CreatePlayer(&player), RZ_OK);
    ASSERT_EQ(player->Init(0, unit.Seat(0)->Id()), RZ_OK);
    const std::u16string path = plat::Utf8ToUtf16(testmedia::VideoMp4());
    ASSERT_EQ(player->OpenFile(path.c_str(), IKvPlayer::MEDIA_FILE), RZ_OK);

    const plat::Surface frontBefore = unit.Screen(0);
    const plat::Surface rearBefore = unit.Screen(1);
    // At its own size at (200, 100) of the front seat.
    ASSERT_EQ(player->SetVideoPos(200, 100, 320, 240), RZ_OK);
    ASSERT_EQ(player->ShowVideo(1), RZ_OK);
    ASSERT_EQ(player->Play(), RZ_OK);
    ASSERT_TRUE(
        unit.WaitFor([&] { return Near(unit.Screen(0).PixelAt(200 + kWhiteX, 160), 0xFFFFFF); }));
    plat::Surface front = unit.Screen(0);
    EXPECT_TRUE(Near(front.PixelAt(200 + kYellowX, 160), 0xFFFF00));
    EXPECT_TRUE(Near(front.PixelAt(200 + kCyanX, 160), 0x00FFFF));
    // Outside the rectangle the page's own pixels.
    for (const plat::Point p : {plat::Point{199, 160}, plat::Point{520, 160}, plat::Point{300, 99},
                                plat::Point{300, 340}, plat::Point{10, 10}, plat::Point{790, 470}})
        EXPECT_EQ(front.PixelAt(p.x, p.y), frontBefore.PixelAt(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_EQ(unit.Screen(1).PixelAt(400, 300), rearBefore.PixelAt(400, 300));

    // Given to the rear seat, full screen: the bars at 2.5 times their width.
    ASSERT_EQ(player->Init(0, unit.Seat(1)->Id()), RZ_OK);
    ASSERT_EQ(player->SetVideoPos(0, 0, 800, 600), RZ_OK);
    ASSERT_TRUE(unit.WaitFor([&] {
        const plat::Surface rear = unit.Screen(1);
        return Near(rear.PixelAt(kWhiteX * 5 / 2, 200), 0xFFFFFF) &&
               Near(rear.PixelAt(kYellowX * 5 / 2, 200), 0xFFFF00) &&
               Near(rear.PixelAt(kCyanX * 5 / 2, 200), 0x00FFFF);
    }));
    front = unit.Screen(0);
    EXPECT_EQ(front.PixelAt(200 + kWhiteX, 160), frontBefore.PixelAt(200 + kWhiteX, 160));

    // Hidden: the rear seat's page again, while the sound plays on.
    ASSERT_EQ(player->ShowVideo(0), RZ_OK);
    unit.Pump();
    const plat::Surface rear = unit.Screen(1);
    for (const plat::Point p :
         {plat::Point{kWhiteX * 5 / 2, 200}, plat::Point{400, 300}, plat::Point{790, 590}})
        EXPECT_EQ(rear.PixelAt(p.x, p.y), rearBefore.PixelAt(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_EQ(player->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(player->Release(), 0);
    unsetenv("VELKORA_AUDIO_SINK");
}
