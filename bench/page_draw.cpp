// One full 800x480 page as a seat paints it: background, 20 skinned buttons, 10 labels.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "library/CVantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

static void BM_DrawPage800x480(benchmark::State& state) {
    testsupport::TempDir dir;
    // An opaque gradient background and a four-frame button strip with soft edges.
    plat::Surface background(800, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 800; ++x)
            background.SetPixel(x, y, plat::Argb(255, uint8_t(x / 4), uint8_t(y / 2), 90));
    testsupport::WritePng(dir.File("bg.png"), background);
    plat::Surface strip(4 * 120, 70);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 480; ++x) {
            const int fx = x % 120;
            const bool edge = fx < 4 || fx >= 116 || y < 4 || y >= 66;
            const uint8_t a = edge ? 96 : 255;
            strip.SetPixel(x, y, plat::Argb(a, a / 2, uint8_t(a * (x / 120 + 1) / 5), a));
        }
    testsupport::WritePng(dir.File("btn.png"), strip);

    std::string skin = "[Page]\r\n";
    for (int i = 0; i < 20; ++i) {
        const int x = 10 + (i % 5) * 156, y = 20 + (i / 5) * 110;
        skin += "B" + std::to_string(i) + " Title = null, 0, 0, 0, 0, 12, 255, 255, 255\r\n";
        skin += "B" + std::to_string(i) + " Pos = " + std::to_string(x) + ", " + std::to_string(y) +
                ", 120, 70\r\n";
        skin += "B" + std::to_string(i) + " Img = btn.png\r\n";
    }
    testsupport::WriteUtf16(dir.File("page.ini"), skin);

    IVantrel* root = CreateIVantrel();
    KvMultimedia::IKvImage* bg = nullptr;
    root->CreateImage(&bg, dir.File16("bg.png").c_str());
    std::vector<KvUserInterface::IKvButton*> buttons(20);
    const std::u16string folder = dir.File16("");
    for (int i = 0; i < 20; ++i) {
        root->CreateButton(&buttons[i]);
        const std::u16string name = u"B" + plat::Utf8ToUtf16(std::to_string(i));
        buttons[i]->LoadLayout(dir.File16("page.ini").c_str(), u"Page", name.c_str(),
                               folder.substr(0, folder.size() - 1).c_str());
        if (i % 3 == 0)
            buttons[i]->SetPressed();
    }
    const char16_t* texts[10] = {
        u"12:45",    u"PM",        u"Track 03 / 12", u"Rock & Roll",   u"00:03:21",
        u"00:04:58", u"Volume 18", u"STEREO",        u"FM 101.70 MHz", u"中文歌曲 日本語"};
    std::vector<KvUserInterface::IKvText*> labels(10);
    for (int i = 0; i < 10; ++i) {
        root->CreateText(&labels[i]);
        labels[i]->SetRect(20 + (i % 2) * 400, 440 - (i / 2) * 24, 360, 24);
        labels[i]->SetFont(10 + i % 3 * 2, 255, 255, 255);
        labels[i]->SetAlign(i % 2 ? 0x26 : 0x24);
        labels[i]->SetText(texts[i]);
    }

    plat::Surface page(800, 480);
    auto canvas = plat::MakeCanvas(page);
    for (auto _ : state) {
        bg->Draw(canvas.get(), 0, 0, 0, 0);
        for (auto* b : buttons)
            b->Draw(canvas.get(), 0, 0);
        for (auto* t : labels)
            t->Draw(canvas.get());
        benchmark::DoNotOptimize(page.Pixels());
    }

    for (auto* t : labels)
        t->Release();
    for (auto* b : buttons)
        b->Release();
    bg->Release();
    root->Release();
}
BENCHMARK(BM_DrawPage800x480)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
