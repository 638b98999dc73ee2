// The player's video in an owner window of the test's own, on the headless window layer: placed
// by SetVideoPos, shown by ShowVideo, scaled into its rectangle over the owner's own picture,
// and the pen on it going to the owner.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "library/include/Vantrel.h"
#include "platform/media/MediaConfig.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"
#include "tests/media/TestMedia.h"
#include "tests/support/TestSupport.h"

using KvMultimedia::IKvPlayer;

namespace {

constexpr uint32_t kOwnerColour = plat::Argb(0xFF, 0x20, 0x30, 0x40);

class OwnerWindow : public plat::ui::Window {
public:
    ~OwnerWindow() override { Destroy(); }
    std::vector<plat::Point> downs;

protected:
    void OnPaint(plat::Surface& s, const plat::Rect&) override { s.Fill(kOwnerColour); }
    void OnPenDown(plat::Point pt) override { downs.push_back(pt); }
};

bool Near(uint32_t pixel, uint32_t want) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(int((pixel >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 40)
            return false;
    }
    return true;
}

class KvPlayerVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::SetAudioOutput("fakesink sync=true");
        plat::ui::Options options;
        options.backend = plat::ui::Backend::Headless;
        ASSERT_TRUE(plat::ui::Init(options));
        plat::ui::CreateParams p;
        p.rect = plat::Rect::FromXYWH(0, 0, 800, 480);
        p.visible = true;
        ASSERT_TRUE(m_owner.Create(p));
        plat::ui::PumpUntilIdle();
        m_root = CreateIVantrel();
        ASSERT_NE(m_root, nullptr);
        ASSERT_EQ(m_root->CreatePlayer(&m_player), RZ_OK);
        ASSERT_EQ(m_player->Init(0, m_owner.Id()), RZ_OK);
    }
    void TearDown() override {
        if (m_player) {
            EXPECT_EQ(m_player->Release(), 0);
        }
        if (m_root)
            m_root->Release();
        m_owner.Destroy();
        plat::ui::Terminate();
    }

    uint32_t Pixel(int x, int y) {
        plat::Surface picture;
        EXPECT_TRUE(plat::ui::GetWindowPicture(m_owner.Id(), picture));
        return picture.PixelAt(x, y);
    }

    OwnerWindow m_owner;
    IVantrel* m_root = nullptr;
    IKvPlayer* m_player = nullptr;
};

}  // namespace

TEST_F(KvPlayerVideoTest, BarsAreDrawnInTheRectangleAndHiddenAgain) {
    const std::u16string path = plat::Utf8ToUtf16(testmedia::VideoMp4());
    // Nothing open: nothing to place or show.
    EXPECT_EQ(m_player->SetVideoPos(40, 30, 160, 120), RZ_FAIL);
    EXPECT_EQ(m_player->ShowVideo(1), RZ_FAIL);
    ASSERT_EQ(m_player->OpenFile(path.c_str(), IKvPlayer::MEDIA_FILE), RZ_OK);

    // The 320x240 bars at half their size at (40, 30).
    ASSERT_EQ(m_player->SetVideoPos(40, 30, 160, 120), RZ_OK);
    EXPECT_EQ(Pixel(40 + 11, 60), kOwnerColour);  // placed, not shown yet
    ASSERT_EQ(m_player->ShowVideo(1), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    const struct {
        int x;
        uint32_t colour;
        const char* name;
    } bars[] = {{11, 0xFFFFFF, "white"},
                {34, 0xFFFF00, "yellow"},
                {57, 0x00FFFF, "cyan"},
                {125, 0xFF0000, "red"},
                {148, 0x0000FF, "blue"}};
    ASSERT_TRUE(testsupport::WaitFor([&] { return Near(Pixel(40 + 11, 60), 0xFFFFFF); }));
    for (const auto& bar : bars)
        EXPECT_TRUE(Near(Pixel(40 + bar.x, 60), bar.colour))
            << bar.name << " " << std::hex << Pixel(40 + bar.x, 60);
    // Around the rectangle the owner's own picture.
    EXPECT_EQ(Pixel(39, 60), kOwnerColour);
    EXPECT_EQ(Pixel(200, 60), kOwnerColour);
    EXPECT_EQ(Pixel(60, 29), kOwnerColour);
    EXPECT_EQ(Pixel(60, 150), kOwnerColour);

    // A tap on the picture is the owner's, at its own co-ordinates.
    plat::ui::InjectPen(plat::ui::PenAction::Down, plat::Point{100, 80});
    plat::ui::PumpUntilIdle();
    ASSERT_EQ(m_owner.downs.size(), 1u);
    EXPECT_EQ(m_owner.downs[0].x, 100);
    EXPECT_EQ(m_owner.downs[0].y, 80);

    // Moved and enlarged beyond the owner's edge: drawn as far as the owner reaches.
    ASSERT_EQ(m_player->SetVideoPos(640, 30, 320, 240), RZ_OK);
    EXPECT_TRUE(Near(Pixel(640 + 22, 60), 0xFFFFFF));
    EXPECT_TRUE(Near(Pixel(799, 60), 0x00FF00) || Near(Pixel(799, 60), 0xFF00FF))
        << std::hex << Pixel(799, 60);
    EXPECT_EQ(Pixel(51, 60), kOwnerColour);

    // Hidden, the owner's pixels are there again; closing keeps them so.
    ASSERT_EQ(m_player->ShowVideo(0), RZ_OK);
    EXPECT_EQ(Pixel(640 + 22, 60), kOwnerColour);
    ASSERT_EQ(m_player->ShowVideo(1), RZ_OK);
    ASSERT_EQ(m_player->Close(), RZ_OK);
    EXPECT_EQ(Pixel(640 + 22, 60), kOwnerColour);
}

TEST_F(KvPlayerVideoTest, AnAudioFileHasNoPicture) {
    const std::u16string path = plat::Utf8ToUtf16(testmedia::Wav());
    ASSERT_EQ(m_player->OpenFile(path.c_str(), IKvPlayer::MEDIA_FILE), RZ_OK);
    EXPECT_EQ(m_player->SetVideoPos(0, 0, 800, 480), RZ_FAIL);
    EXPECT_EQ(m_player->ShowVideo(1), RZ_FAIL);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    EXPECT_EQ(Pixel(400, 240), kOwnerColour);
}
