#include "tools/skin/Script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/gfx/ImageFile.h"
#include "tests/support/TestSupport.h"
#include "tools/skin/GifEncode.h"
#include "tools/skin/Raster.h"

using testsupport::TempDir;
using testsupport::WriteText;

namespace {

// Draws the script's only image and reads it back as its file holds it.
plat::Surface Draw(const std::string& text, std::string* error = nullptr) {
    skin::Script script;
    std::string why;
    plat::Surface out;
    if (!script.LoadText(text, "test.draw", &why) || script.Images().size() != 1) {
        if (error)
            *error = why;
        return out;
    }
    std::vector<uint8_t> bytes;
    if (!script.Encode(script.Images()[0], bytes, &why)) {
        if (error)
            *error = why;
        return out;
    }
    EXPECT_TRUE(plat::LoadImageData(bytes.data(), bytes.size(), out));
    return out;
}

std::string Mistake(const std::string& text) {
    skin::Script script;
    std::string error;
    if (script.LoadText(text, "test.draw", &error)) {
        for (const auto& image : script.Images()) {
            std::vector<uint8_t> bytes;
            if (!script.Encode(image, bytes, &error))
                return error;
        }
        return std::string();
    }
    return error;
}

uint32_t Alpha(uint32_t p) {
    return p >> 24;
}

}  // namespace

TEST(SkinScript, EachFrameOfAStripTakesItsOwnColours) {
    plat::Surface s = Draw(
        "colour face #102030 #405060 #708090 #A0B0C0\n"
        "colour ink #FF0000\n"
        "image b.png 20 10 frames 4\n"
        "  fill face\n"
        "  rect 0 0 2 H ink   # a mark on the left of every frame\n"
        "end\n");
    ASSERT_EQ(s.Width(), 80);
    ASSERT_EQ(s.Height(), 10);
    const uint32_t faces[] = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0};
    for (int f = 0; f < 4; ++f) {
        EXPECT_EQ(s.PixelAt(f * 20 + 10, 5), faces[f]) << f;
        EXPECT_EQ(s.PixelAt(f * 20 + 1, 5), 0xFFFF0000u) << f;
        EXPECT_EQ(s.PixelAt(f * 20 + 2, 5), faces[f]) << f;
    }
}

TEST(SkinScript, NumbersAreExpressionsOverTheFrameAndMacrosKeepTheirSense) {
    plat::Surface s = Draw(
        "define half-bar\n"
        "  rect 0 0 $1/2 H $2\n"
        "end\n"
        "image e.png 40 20\n"
        "  fill #000000\n"
        "  use half-bar W-10 #00FF00\n"
        "  rect (W-4)/2 H/4 4 H/2 #0000FF\n"
        "end\n");
    ASSERT_EQ(s.Width(), 40);
    // (W-10)/2 = 15, not W-10/2 = 35.
    EXPECT_EQ(s.PixelAt(14, 1), 0xFF00FF00u);
    EXPECT_EQ(s.PixelAt(15, 1), 0xFF000000u);
    EXPECT_EQ(s.PixelAt(18, 5), 0xFF0000FFu);
    EXPECT_EQ(s.PixelAt(21, 14), 0xFF0000FFu);
    EXPECT_EQ(s.PixelAt(22, 10), 0xFF000000u);
    EXPECT_EQ(s.PixelAt(20, 4), 0xFF000000u);
}

TEST(SkinScript, EdgesAreSmoothAndOutlinesInsideOthersAreHoles) {
    plat::Surface s = Draw(
        "image r.png 40 40\n"
        "  ring 20 20 18 6 #FFFFFF\n"
        "end\n");
    EXPECT_EQ(Alpha(s.PixelAt(20, 20)), 0u) << "the middle of a ring is open";
    EXPECT_EQ(Alpha(s.PixelAt(20, 4)), 255u);
    EXPECT_EQ(Alpha(s.PixelAt(0, 0)), 0u);
    // Somewhere along the outer edge the cover is partial.
    int partial = 0;
    for (int x = 0; x < 40; ++x) {
        uint32_t a = Alpha(s.PixelAt(x, 8));
        partial += a > 0 && a < 255;
    }
    EXPECT_GT(partial, 0);

    // Outlines that overlap are one shape: a translucent paint is laid once.
    plat::Surface t(20, 10);
    skin::Shape shape = skin::Rectangle(0, 0, 12, 10);
    shape.Append(skin::Rectangle(8, 0, 12, 10));
    skin::Fill(t, shape, skin::Paint::Colour(0x80FFFFFF), t.Bounds());
    EXPECT_EQ(Alpha(t.PixelAt(10, 5)), Alpha(t.PixelAt(2, 5)));
    EXPECT_EQ(Alpha(t.PixelAt(2, 5)), 0x80u);
}

TEST(SkinScript, GradientsRunAcrossTheShape) {
    plat::Surface s = Draw(
        "image g.png 10 101\n"
        "  rect 0 0 W H v:#000000:#FFFFFF\n"
        "end\n");
    EXPECT_LT(s.PixelAt(5, 0) & 0xFF, 4u);
    EXPECT_GT(s.PixelAt(5, 100) & 0xFF, 251u);
    EXPECT_NEAR(static_cast<int>(s.PixelAt(5, 50) & 0xFF), 128, 4);
}

TEST(SkinScript, AnimationsKeepEveryFrameAndTheirPixels) {
    // Noise in 200 colours is more than the code table holds, so the table restarts
    // many times.
    std::mt19937 rng(7);
    std::vector<plat::Surface> frames;
    for (int f = 0; f < 3; ++f) {
        plat::Surface s(120, 90);
        for (int i = 0; i < 120 * 90; ++i) {
            uint32_t v = rng() % 200;
            s.Pixels()[i] = 0xFF000000u | (v << 16) | ((v * 7 % 256) << 8) | (255 - v);
        }
        frames.push_back(s);
    }
    std::vector<uint8_t> gif;
    ASSERT_TRUE(skin::EncodeGif(frames, 8, gif));
    plat::Surface first;
    ASSERT_TRUE(plat::LoadImageData(gif.data(), gif.size(), first));
    ASSERT_EQ(first.Width(), 120);
    for (int i = 0; i < 120 * 90; ++i)
        ASSERT_EQ(first.Pixels()[i], frames[0].Pixels()[i]) << i;

    // More colours than a palette holds: every pixel gets the nearest one kept.
    plat::Surface smooth(256, 4);
    for (int x = 0; x < 256; ++x)
        for (int y = 0; y < 4; ++y)
            smooth.SetPixel(x, y, 0xFF000000u | (x << 16) | (y * 60 << 8) | (255 - x));
    ASSERT_TRUE(skin::EncodeGif({smooth}, 0, gif));
    plat::Surface back;
    ASSERT_TRUE(plat::LoadImageData(gif.data(), gif.size(), back));
    for (int x = 0; x < 256; x += 5)
        EXPECT_NEAR(static_cast<int>((back.PixelAt(x, 3) >> 16) & 0xFF), x, 24) << x;
}

TEST(SkinScript, MistakesNameTheirFileAndLine) {
    EXPECT_EQ(Mistake("image a.png 4 4\n  fill #000000\n  blot 1 2\nend\n"),
              "test.draw:3: unknown command: blot");
    EXPECT_EQ(Mistake("\nimage a.png 4 4\n  fill #000000\n"), "test.draw:2: image without end");
    EXPECT_EQ(Mistake("colour x #12345\n"), "test.draw:1: not a colour: #12345");
    EXPECT_EQ(Mistake("image a.png 4 4\n  fill nothing\nend\n"),
              "test.draw:2: not a colour: nothing");
    EXPECT_EQ(Mistake("image a.png 4 4\n  rect 0 0 W/0 1 #000000\nend\n"),
              "test.draw:2: not a number: W/0");
    EXPECT_EQ(Mistake("image a.tif 4 4\nend\n"),
              "test.draw:1: images are .png, .jpg, .bmp or .gif");
    EXPECT_EQ(Mistake("image ../a.png 4 4\nend\n"),
              "test.draw:1: an image is written beside its script");
    EXPECT_EQ(Mistake("image a.png 4 4\nend\nimage a.png 4 4\nend\n"),
              "test.draw:3: a.png is drawn twice");
    EXPECT_EQ(Mistake("image a.png 4 4\n  icon kettle 0 0 4 #000000\nend\n"),
              "test.draw:2: no icon kettle");
    EXPECT_EQ(Mistake("image a.png 4 4\n  text 0 0 4 4 3 #000000 left \"open\nend\n"),
              "test.draw:2: unterminated text");
    // A macro that uses itself stops instead of running for ever.
    std::string loop = Mistake("define m\n  use m\nend\nimage a.png 4 4\n  use m\nend\n");
    EXPECT_NE(loop.find("macros nest too deep"), std::string::npos) << loop;
}

TEST(SkinScript, IncludedDefinitionsAndEveryImageWrittenBesideTheScript) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("style"));
    WriteText(dir.File("style/colours.drawinc"), "colour brand #123456\n");
    WriteText(dir.File("page.draw"),
              "include \"style/colours.drawinc\"\n"
              "image one.png 4 4\n  fill brand\nend\n"
              "image two.jpg 8 8\n  fill #FFFFFF\nend\n"
              "image three.gif 6 6 frames 2 delay 5\n  fill #000000\nend\n");
    skin::Script script;
    std::string error;
    ASSERT_TRUE(script.LoadFile(dir.File("page.draw"), &error)) << error;
    ASSERT_TRUE(script.WriteAll(dir.File("out/Page"), &error)) << error;
    plat::Surface one, two, three;
    ASSERT_TRUE(plat::LoadImageFile(dir.File("out/Page/one.png"), one));
    ASSERT_TRUE(plat::LoadImageFile(dir.File("out/Page/two.jpg"), two));
    ASSERT_TRUE(plat::LoadImageFile(dir.File("out/Page/three.gif"), three));
    EXPECT_EQ(one.PixelAt(1, 1), 0xFF123456u);
    EXPECT_EQ(two.Width(), 8);
    EXPECT_EQ(three.Width(), 6);
}
