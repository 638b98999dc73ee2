// The library's two pictures answer the interface alike: the same file gives the same size,
// the same drawing, the same turn and the same saved file, whichever kind holds it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "library/LibFactory.h"
#include "library/multimedia/KvListImage.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/File.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using KvMultimedia::IKvImage;
using plat::Argb;

namespace {

constexpr uint32_t kBack = Argb(255, 0, 0, 0);

// 120 x 60: red left half with a blue 10 x 10 corner mark, green right half.
plat::Surface Marked() {
    plat::Surface s = StripImage(60, 60, {Argb(255, 255, 0, 0), Argb(255, 0, 255, 0)});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            s.SetPixel(x, y, Argb(255, 0, 0, 255));
    return s;
}

bool SamePixels(const plat::Surface& a, const plat::Surface& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::equal(a.Pixels(), a.Pixels() + size_t(a.Width()) * size_t(a.Height()), b.Pixels());
}

struct Both {
    IKvImage* whole = nullptr;
    IKvImage* list = nullptr;
    ~Both() {
        if (whole)
            whole->Release();
        if (list)
            list->Release();
    }
};

// What one call draws on a fresh canvas.
template <typename F>
plat::Surface Drawn(F draw) {
    plat::Surface target = SolidImage(300, 200, kBack);
    std::unique_ptr<plat::Canvas> canvas = plat::MakeCanvas(target);
    draw(canvas.get());
    return target;
}

}  // namespace

TEST(KvImageBase, BothKindsAnswerTheInterfaceAlike) {
    TempDir dir;
    WritePng(dir.File("marked.png"), Marked());
    Both both;
    ASSERT_EQ(KvMultimedia::NewImage(&both.whole, dir.File16("marked.png").c_str()), RZ_OK);
    ASSERT_EQ(KvMultimedia::NewListImage(&both.list, dir.File16("marked.png").c_str(), 800, 600),
              RZ_OK);
    for (int turn = 0; turn < 2; ++turn) {
        SCOPED_TRACE(turn);
        uint32_t w1 = 0, h1 = 0, w2 = 0, h2 = 0;
        ASSERT_EQ(both.whole->GetSize(&w1, &h1), RZ_OK);
        ASSERT_EQ(both.list->GetSize(&w2, &h2), RZ_OK);
        EXPECT_EQ(w1, turn ? 60u : 120u);
        EXPECT_EQ(h1, turn ? 120u : 60u);
        EXPECT_EQ(w1, w2);
        EXPECT_EQ(h1, h2);
        int l1 = 0, l2 = 0;
        both.whole->IsLoaded(&l1);
        both.list->IsLoaded(&l2);
        EXPECT_EQ(l1, 1);
        EXPECT_EQ(l2, 1);
        // Own size, stretched, a part; and no canvas: nothing drawn, no failure.
        for (IKvImage* image : {both.whole, both.list}) {
            EXPECT_EQ(image->Draw(nullptr, 0, 0, 0, 0), RZ_OK);
            EXPECT_EQ(image->DrawPart(nullptr, 0, 0, 1, 1, 0, 0, 1, 1), RZ_OK);
        }
        const auto own = [&](IKvImage* image) {
            return Drawn([&](plat::Canvas* c) { EXPECT_EQ(image->Draw(c, 7, 9, 0, 0), RZ_OK); });
        };
        const auto stretched = [&](IKvImage* image) {
            return Drawn(
                [&](plat::Canvas* c) { EXPECT_EQ(image->Draw(c, 3, 4, 240, 150), RZ_OK); });
        };
        const auto part = [&](IKvImage* image) {
            return Drawn([&](plat::Canvas* c) {
                EXPECT_EQ(image->DrawPart(c, 50, 50, 70, 70, 0, 0, 20, 20), RZ_OK);
            });
        };
        const plat::Surface ownWhole = own(both.whole);
        EXPECT_EQ(CountPixels(ownWhole, ownWhole.Bounds(), Argb(255, 0, 0, 255)), 100);
        EXPECT_EQ(ownWhole.Pixels()[0], kBack);
        EXPECT_TRUE(SamePixels(ownWhole, own(both.list)));
        EXPECT_TRUE(SamePixels(stretched(both.whole), stretched(both.list)));
        EXPECT_TRUE(SamePixels(part(both.whole), part(both.list)));

        // Saved alike: by the extension, and nothing for an unknown one.
        const std::string a = "whole" + std::to_string(turn) + ".bmp";
        const std::string b = "list" + std::to_string(turn) + ".bmp";
        ASSERT_EQ(both.whole->Save(dir.File16(a).c_str()), RZ_OK);
        ASSERT_EQ(both.list->Save(dir.File16(b).c_str()), RZ_OK);
        EXPECT_EQ(ReadBytes(dir.File(a)), ReadBytes(dir.File(b)));
        EXPECT_EQ(both.whole->Save(dir.File16("x.png").c_str()), RZ_FAIL);
        EXPECT_EQ(both.list->Save(dir.File16("x.png").c_str()), RZ_FAIL);
        EXPECT_EQ(both.whole->Save(nullptr), RZ_FAIL);
        EXPECT_EQ(both.list->Save(nullptr), RZ_FAIL);
        EXPECT_FALSE(plat::PathExists(dir.File("x.png")));

        EXPECT_EQ(both.whole->Rotate90(), RZ_OK);
        EXPECT_EQ(both.list->Rotate90(), RZ_OK);
    }
}
