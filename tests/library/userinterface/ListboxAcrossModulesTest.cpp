// The program loads the library by name, implements the list box's handler itself and hands it
// and its own canvas to the library's list box.
#include <gtest/gtest.h>

#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Module.h"
#include "tests/library/userinterface/ListboxFixture.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using listboxtest::RecordingHandler;
using plat::Argb;
using plat::Rect;

TEST(ListboxAcrossModules, LoadedListBoxDrawsIntoTheProgramsCanvasAndCallsItsHandler) {
    TempDir dir;
    const uint32_t kBack = Argb(255, 0, 0, 0);
    WriteUtf16(dir.File("skin.ini"), listboxtest::kSkin);
    WritePng(dir.File("up.png"), StripImage(40, 30, listboxtest::kUpFrames));
    WritePng(dir.File("down.png"), StripImage(40, 30, listboxtest::kDownFrames));
    WritePng(dir.File("thumb.png"), StripImage(36, 480, listboxtest::kThumbFrames));

    plat::Module module;
    ASSERT_TRUE(module.Load(VANTREL_MODULE_NAME)) << module.Error();
    auto create = reinterpret_cast<PFN_CreateIVantrel>(module.Symbol(VANTREL_EXPORT_NAME));
    ASSERT_NE(create, nullptr);
    IVantrel* root = create();
    ASSERT_NE(root, nullptr);

    KvUserInterface::IKvListbox* list = nullptr;
    ASSERT_EQ(root->CreateListbox(&list), RZ_OK);
    const std::u16string folder = dir.File16("");
    ASSERT_EQ(list->LoadLayout(dir.File16("skin.ini").c_str(), u"List",
                               folder.substr(0, folder.size() - 1).c_str()),
              RZ_OK);
    RecordingHandler handler;
    list->SetHandler(&handler);
    for (int i = 0; i < 12; ++i)
        ASSERT_EQ(list->AddItem(u"Track", &i, sizeof i, nullptr), RZ_OK);

    plat::Surface page = SolidImage(800, 480, kBack);
    auto canvas = plat::MakeCanvas(page);
    const plat::Font programFont = canvas->GetFont();
    ASSERT_EQ(list->Draw(canvas.get()), RZ_OK);
    EXPECT_GT(CountPixels(page, Rect{100, 100, 500, 130}, listboxtest::kCurrentRow), 20);
    EXPECT_GT(CountPixels(page, Rect{100, 130, 500, 160}, listboxtest::kWhite), 20);
    EXPECT_EQ(CountPixels(page, Rect{524, 410, 564, 440}, listboxtest::kDownFrames[0]), 40 * 30);
    EXPECT_EQ(canvas->GetFont(), programFont);  // the row font was put back

    uint8_t action = 0;
    list->OnLButtonDown(200, 175, &action);
    EXPECT_EQ(action, 1);
    list->OnLButtonUp(200, 175, &action);
    EXPECT_EQ(action, 1);
    void* data = nullptr;
    list->GetAt(&data, -1);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(*static_cast<int*>(data), 2);
    list->OnLButtonDown(listboxtest::kDownX, listboxtest::kDownY, &action);
    list->OnLButtonUp(listboxtest::kDownX, listboxtest::kDownY, &action);
    EXPECT_EQ(action, 2);
    int top = -1;
    list->GetTopIndex(&top);
    EXPECT_EQ(top, 2);

    EXPECT_EQ(handler.Kinds(), "DPUPU");
    EXPECT_EQ(handler.lastCanvas, canvas.get());
    EXPECT_EQ(handler.calls[2].action, 1);
    EXPECT_EQ(handler.calls[4].action, 2);

    EXPECT_EQ(list->Release(), 0);
    EXPECT_EQ(root->Release(), 0);
    module.Leak();  // the program never unloads the library
}
