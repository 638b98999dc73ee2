#include <gtest/gtest.h>

#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Module.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using plat::Argb;
using plat::Rect;

// The program and the loaded library each carry their own copy of the platform code: a canvas
// made here must be drawn on correctly by the library's widgets, with fonts made there.
TEST(DrawAcrossModules, LoadedLibraryDrawsIntoTheProgramsCanvas) {
    TempDir dir;
    const uint32_t kBack = Argb(255, 0, 0, 0);
    const std::vector<uint32_t> frames = {Argb(255, 200, 0, 0), Argb(255, 0, 200, 0),
                                          Argb(255, 0, 0, 200), Argb(255, 90, 90, 90)};
    WritePng(dir.File("strip.png"), StripImage(40, 30, frames));
    WriteUtf16(dir.File("skin.ini"),
               "[Page]\r\nPlay Title = Rock & Roll, 10, 100, 280, 50, 16, 255, 255, 255\r\n"
               "Play Pos = 20, 20, 40, 30\r\nPlay Img = strip.png\r\n");

    plat::Module module;
    ASSERT_TRUE(module.Load(VANTREL_MODULE_NAME)) << module.Error();
    auto create = reinterpret_cast<PFN_CreateIVantrel>(module.Symbol(VANTREL_EXPORT_NAME));
    ASSERT_NE(create, nullptr);
    IVantrel* root = create();
    ASSERT_NE(root, nullptr);
    IVantrel* local = CreateIVantrel();
    EXPECT_NE(root, local);  // really the loaded copy, not the one linked into this test
    local->Release();

    plat::Surface page = SolidImage(300, 200, kBack);
    auto canvas = plat::MakeCanvas(page);
    const plat::Font programFont = canvas->GetFont();

    KvMultimedia::IKvImage* image = nullptr;
    ASSERT_EQ(root->CreateImage(&image, dir.File16("strip.png").c_str()), RZ_OK);
    EXPECT_EQ(image->DrawPart(canvas.get(), 200, 10, 240, 40, 80, 0, 120, 30), RZ_OK);
    EXPECT_EQ(CountPixels(page, Rect{200, 10, 240, 40}, frames[2]), 40 * 30);

    KvUserInterface::IKvButton* button = nullptr;
    ASSERT_EQ(root->CreateButton(&button), RZ_OK);
    const std::u16string folder = dir.File16("");
    ASSERT_EQ(button->LoadLayout(dir.File16("skin.ini").c_str(), u"Page", u"Play",
                                 folder.substr(0, folder.size() - 1).c_str()),
              RZ_OK);
    button->SetTitleAlign(0x26);
    EXPECT_EQ(button->OnLButtonDown(30, 30), RZ_HIT);
    EXPECT_EQ(button->Draw(canvas.get(), 0, 0), RZ_OK);
    EXPECT_EQ(CountPixels(page, Rect{20, 20, 60, 50}, frames[2]), 40 * 30);
    // The caption, in the library's font, centred in its rectangle.
    const Rect caption = InkBox(page, kBack, Rect{0, 100, 300, 200});
    ASSERT_FALSE(caption.IsEmpty());
    EXPECT_NEAR((caption.left + caption.right) / 2.0, 150, 2.5);
    EXPECT_GT(caption.Width(), 100);
    // The canvas got its own font back from the library.
    EXPECT_EQ(canvas->GetFont(), programFont);

    // A label without a font of its own uses the font the program selected.
    KvUserInterface::IKvText* text = nullptr;
    ASSERT_EQ(root->CreateText(&text), RZ_OK);
    plat::Font big;
    ASSERT_TRUE(plat::Font::CreateWidgetFont(24, big));
    canvas->SetFont(big);
    text->SetRect(0, 150, 300, 50);
    text->SetText(u"HHH");
    page.Fill(kBack);
    EXPECT_EQ(text->Draw(canvas.get()), RZ_OK);
    EXPECT_GT(InkBox(page, kBack).Height(), 25);  // a 48-pixel cell, not the default 16

    text->Release();
    button->Release();
    image->Release();
    EXPECT_EQ(root->Release(), 0);
    module.Leak();  // the program never unloads the library
}
