#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "platform/media/DvdDisc.h"
#include "platform/media/MediaConfig.h"
#include "platform/media/MediaPipeline.h"
#include "tests/media/TestMedia.h"

namespace {
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 8000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
}  // namespace

TEST(Dvd, Explore) {
    plat::SetAudioOutput("fakesink sync=true");
    const std::string disc = testmedia::Dvd();
    auto video = plat::VideoSurface::Create(1);
    plat::MediaPipeline p;
    std::string error;
    ASSERT_TRUE(p.OpenDvd(disc, video, &error)) << error;
    printf("video %dx%d\n", p.VideoWidth(), p.VideoHeight());
    ASSERT_TRUE(p.Play());
    int title = -1;
    ASSERT_TRUE(WaitFor([&] { return p.DvdOnScreen(&title) == plat::DvdScreen::Menu; }));
    printf("menu id %d\n", p.DvdMenuId());
    ASSERT_TRUE(WaitFor([&] { return p.DvdPointerMove(100, 90); }));
    EXPECT_FALSE(p.DvdPointerMove(300, 20));
    EXPECT_TRUE(p.DvdPointerClick(100, 210));
    ASSERT_TRUE(WaitFor([&] { return p.DvdOnScreen(&title) == plat::DvdScreen::Title; }));
    int64_t pos = 0;
    p.Position(&pos);
    printf("title %d pos %.2f\n", title, pos / 1e9);
    auto a = p.DvdAudioStreams();
    printf("audio %zu current %d:", a.languages.size(), a.current);
    for (auto& l : a.languages) printf(" %s", l.c_str());
    auto sp = p.DvdSubpictureStreams();
    printf("\nsp %zu current %d hidden %d:", sp.languages.size(), sp.current, sp.hidden);
    for (auto& l : sp.languages) printf(" %s", l.c_str());
    printf("\n");
    EXPECT_TRUE(p.SendDvdCommand(plat::DvdCommand::TitleMenu));
    ASSERT_TRUE(WaitFor([&] { return p.DvdOnScreen(&title) == plat::DvdScreen::Menu; }));
    EXPECT_TRUE(p.SendDvdCommand(plat::DvdCommand::Activate));
    ASSERT_TRUE(WaitFor([&] { return p.DvdOnScreen(&title) == plat::DvdScreen::Title; }));
    EXPECT_TRUE(p.SelectDvdSubpicture(0, true));
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        plat::Surface f; video->CopyFrame(f); p.Position(&pos);
        auto sp2 = p.DvdSubpictureStreams();
        printf("%.2f box %08x below %08x sp cur %d hidden %d\n", pos/1e9, f.PixelAt(176, 144), f.PixelAt(176, 200), sp2.current, sp2.hidden);
    }
    EXPECT_TRUE(p.SendDvdCommand(plat::DvdCommand::TitleMenu));
    ASSERT_TRUE(WaitFor([&] { return p.DvdOnScreen(&title) == plat::DvdScreen::Menu; }));
    printf("menu id %d\n", p.DvdMenuId());
    EXPECT_TRUE(p.SendDvdCommand(plat::DvdCommand::Resume));
    ASSERT_TRUE(WaitFor([&] { return p.DvdOnScreen(&title) == plat::DvdScreen::Title; }));
    EXPECT_TRUE(p.SendDvdCommand(plat::DvdCommand::RootMenu));
    ASSERT_TRUE(WaitFor([&] { return p.DvdOnScreen(&title) == plat::DvdScreen::Menu; }));
    printf("menu id %d\n", p.DvdMenuId());
    EXPECT_TRUE(p.SendDvdCommand(plat::DvdCommand::Activate));
    ASSERT_TRUE(WaitFor([&] { return p.DvdOnScreen(&title) == plat::DvdScreen::Title; }));
    p.Position(&pos);
    printf("title %d pos %.2f\n", title, pos / 1e9);
    plat::DvdDisc d;
    ASSERT_TRUE(d.Open(disc, &error)) << error;
    printf("titles %d chapters %zu dur %.2f\n", d.TitleCount(), d.Title(1)->chapterStarts.size(), d.Title(1)->duration / 1e9);
}
