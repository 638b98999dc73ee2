#include <gtest/gtest.h>

#include <string>

#include "library/CVantrel.h"
#include "library/userinterface/KvButton.h"
#include "library/userinterface/KvText.h"
#include "platform/gfx/Canvas.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using KvMultimedia::IKvImage;
using KvUserInterface::CKvButton;
using KvUserInterface::IKvButton;
using KvUserInterface::IKvText;
using plat::Argb;
using plat::Rect;

namespace {

constexpr uint32_t kBack = Argb(255, 0, 0, 0);
// Frame colours of the strip: normal, highlighted, pressed, disabled.
const std::vector<uint32_t> kFrames = {Argb(255, 200, 0, 0), Argb(255, 0, 200, 0),
                                       Argb(255, 0, 0, 200), Argb(255, 90, 90, 90)};

class KvButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = CreateIVantrel();
        ASSERT_EQ(m_root->CreateButton(&m_button), RZ_OK);
        m_target = SolidImage(300, 200, kBack);
        m_canvas = plat::MakeCanvas(m_target);
        WritePng(m_dir.File("strip.png"), StripImage(40, 30, kFrames));
    }
    void TearDown() override {
        if (m_button)
            m_button->Release();
        m_root->Release();
    }
    CKvButton* Impl() { return static_cast<CKvButton*>(m_button); }
    IKvImage* Strip() {
        IKvImage* image = nullptr;
        EXPECT_EQ(m_root->CreateImage(&image, m_dir.File16("strip.png").c_str()), RZ_OK);
        return image;
    }
    // A 40 x 30 button at (10, 10) painted from the strip.
    void Plain() {
        IKvImage* image = Strip();
        m_button->SetImage(image);
        image->Release();
        m_button->SetRect(10, 10, 40, 30);
    }
    void Skin(const std::string& text) { WriteUtf16(m_dir.File("skin.ini"), text); }
    RZRESULT Load(const char16_t* name, bool withImages = true) {
        const std::u16string dir = m_dir.File16("");
        return m_button->LoadLayout(m_dir.File16("skin.ini").c_str(), u"Buttons", name,
                                    withImages ? dir.substr(0, dir.size() - 1).c_str() : nullptr);
    }
    // Colour of the frame drawn at the button's place, after clearing the target.
    uint32_t DrawnFrame() {
        m_target.Fill(kBack);
        EXPECT_EQ(m_button->Draw(m_canvas.get(), 0, 0), RZ_OK);
        return m_target.PixelAt(30, 25);
    }
    uint8_t State() {
        uint8_t s = 0xEE;
        m_button->GetState(&s);
        return s;
    }
    uint8_t Dirty() {
        uint8_t d = 0xEE;
        m_button->IsDirty(&d);
        return d;
    }

    TempDir m_dir;
    IVantrel* m_root = nullptr;
    IKvButton* m_button = nullptr;
    plat::Surface m_target;
    std::unique_ptr<plat::Canvas> m_canvas;
};

}  // namespace

TEST_F(KvButtonTest, NewButtonIsVisibleNormalDirtyAndEmpty) {
    EXPECT_EQ(m_button->IsVisible(), 1);
    EXPECT_EQ(State(), KvUserInterface::BUTTON_NORMAL);
    EXPECT_EQ(Dirty(), 1);
    EXPECT_EQ(Impl()->Image(), nullptr);
    EXPECT_EQ(Impl()->Caption(), nullptr);
    EXPECT_EQ(m_button->GetFixedFrame(), 0);
    Rect r{1, 2, 3, 4};
    EXPECT_EQ(m_button->GetRect(&r), RZ_OK);
    EXPECT_EQ(r, (Rect{0, 0, 0, 0}));
}

TEST_F(KvButtonTest, EdgesBelongToNoButton) {
    m_button->SetRect(10, 10, 20, 20);
    EXPECT_EQ(m_button->HitTest(10, 15), RZ_MISS);
    EXPECT_EQ(m_button->HitTest(30, 15), RZ_MISS);
    EXPECT_EQ(m_button->HitTest(11, 15), RZ_HIT);
    EXPECT_EQ(m_button->HitTest(29, 15), RZ_HIT);
    EXPECT_EQ(m_button->HitTest(15, 10), RZ_MISS);
    EXPECT_EQ(m_button->HitTest(15, 30), RZ_MISS);
    EXPECT_EQ(m_button->HitTest(15, 11), RZ_HIT);
    EXPECT_EQ(m_button->HitTest(15, 29), RZ_HIT);
    // Moving keeps the size.
    m_button->SetPos(100, 100);
    EXPECT_EQ(m_button->HitTest(101, 101), RZ_HIT);
    EXPECT_EQ(m_button->HitTest(15, 15), RZ_MISS);
    int x, y, w, h;
    m_button->GetBounds(&x, &y, &w, &h);
    EXPECT_EQ((Rect{x, y, w, h}), (Rect{100, 100, 20, 20}));
}

TEST_F(KvButtonTest, HiddenAndDisabledButtonsMissEverywhereAndKeepTheirState) {
    m_button->SetRect(10, 10, 20, 20);
    m_button->SetHighlighted();
    m_button->Show(0);
    EXPECT_EQ(m_button->IsVisible(), 0);
    EXPECT_EQ(m_button->OnLButtonDown(20, 20), RZ_MISS);
    EXPECT_EQ(m_button->OnLButtonUp(20, 20), RZ_MISS);
    EXPECT_EQ(m_button->HitTest(20, 20), RZ_MISS);
    EXPECT_EQ(State(), KvUserInterface::BUTTON_HIGHLIGHTED);

    m_button->Show(1);
    m_button->Disable();
    EXPECT_EQ(m_button->OnLButtonDown(20, 20), RZ_MISS);
    EXPECT_EQ(m_button->OnLButtonUp(20, 20), RZ_MISS);
    EXPECT_EQ(m_button->HitTest(20, 20), RZ_MISS);
    EXPECT_EQ(State(), KvUserInterface::BUTTON_DISABLED);
    // The setters are unconditional: SetNormal enables it again.
    m_button->SetNormal();
    EXPECT_EQ(m_button->HitTest(20, 20), RZ_HIT);
}

TEST_F(KvButtonTest, PressThenReleaseShowsTheHighlightedFrame) {
    Plain();
    EXPECT_EQ(DrawnFrame(), kFrames[0]);
    EXPECT_EQ(Dirty(), 0);
    EXPECT_EQ(m_button->OnLButtonDown(30, 25), RZ_HIT);
    EXPECT_EQ(State(), KvUserInterface::BUTTON_PRESSED);
    EXPECT_EQ(Dirty(), 0);  // the pen does not mark it for repainting
    EXPECT_EQ(DrawnFrame(), kFrames[2]);
    EXPECT_EQ(m_button->OnLButtonUp(30, 25), RZ_HIT);
    EXPECT_EQ(State(), KvUserInterface::BUTTON_HIGHLIGHTED);
    EXPECT_EQ(DrawnFrame(), kFrames[1]);
    // A release elsewhere leaves the state alone.
    m_button->SetPressed();
    EXPECT_EQ(Dirty(), 1);
    EXPECT_EQ(m_button->OnLButtonUp(200, 200), RZ_MISS);
    EXPECT_EQ(State(), KvUserInterface::BUTTON_PRESSED);
    m_button->Disable();
    EXPECT_EQ(DrawnFrame(), kFrames[3]);
    // The whole frame, unscaled, exactly at the button's rectangle.
    EXPECT_EQ(InkBox(m_target, kBack), (Rect{10, 10, 50, 40}));
    EXPECT_EQ(CountPixels(m_target, m_target.Bounds(), kFrames[3]), 40 * 30);
}

TEST_F(KvButtonTest, FrameOverrideAndFixedFrame) {
    Plain();
    m_button->SetHighlighted();
    m_button->SetFrame(2);
    EXPECT_EQ(DrawnFrame(), kFrames[2]);
    m_button->SetFrame(0);
    EXPECT_EQ(DrawnFrame(), kFrames[1]);  // the larger of state and override
    m_button->SetFrame(9);                // beyond the strip: counts as 0
    EXPECT_EQ(DrawnFrame(), kFrames[1]);
    m_button->SetFrame(0);
    m_button->SetFixedFrame(1);
    EXPECT_EQ(m_button->GetFixedFrame(), 1);
    EXPECT_EQ(DrawnFrame(), kFrames[0]);  // fixed: the override whatever the state
    m_button->SetPressed();
    m_button->SetFrame(3);
    EXPECT_EQ(DrawnFrame(), kFrames[3]);
}

TEST_F(KvButtonTest, DrawToScalesTheFrameIntoTheRectangle) {
    Plain();
    m_button->SetPressed();
    EXPECT_EQ(m_button->DrawTo(m_canvas.get(), 200, 20, 236, 180), RZ_OK);
    EXPECT_EQ(Dirty(), 0);
    EXPECT_EQ(InkBox(m_target, kBack), (Rect{200, 20, 236, 180}));
    EXPECT_EQ(CountPixels(m_target, m_target.Bounds(), kFrames[2]), 36 * 160);
}

TEST_F(KvButtonTest, HiddenButtonDrawsNothingAndStaysDirty) {
    Plain();
    m_button->Show(0);
    EXPECT_EQ(m_button->Draw(m_canvas.get(), 0, 0), RZ_OK);
    EXPECT_TRUE(InkBox(m_target, kBack).IsEmpty());
    EXPECT_EQ(Dirty(), 1);
}

TEST_F(KvButtonTest, LoadLayoutReadsTitlePositionAndImage) {
    Skin(
        "[Buttons]\r\nPlay Title = Play, 10, 120, 200, 40, 14, 255, 255, 255\r\n"
        "Play Pos = 10, 10, 40, 30\r\nPlay Img = strip.png\r\n");
    EXPECT_EQ(Load(u"Play"), RZ_OK);
    ASSERT_NE(Impl()->Caption(), nullptr);
    ASSERT_NE(Impl()->Image(), nullptr);
    Rect r;
    m_button->GetRect(&r);
    EXPECT_EQ(r, (Rect{10, 10, 50, 40}));
    char16_t* text = nullptr;
    ASSERT_EQ(Impl()->Caption()->GetText(&text), RZ_OK);
    EXPECT_EQ(std::u16string(text), u"Play");

    // Draw(5, 5) moves the frame, not the caption.
    m_button->Draw(m_canvas.get(), 0, 0);
    const Rect frame0 = InkBox(m_target, kBack, Rect{0, 0, 300, 100});
    const Rect caption0 = InkBox(m_target, kBack, Rect{0, 100, 300, 200});
    EXPECT_EQ(frame0, (Rect{10, 10, 50, 40}));
    ASSERT_FALSE(caption0.IsEmpty());
    EXPECT_GE(caption0.top, 120);
    m_target.Fill(kBack);
    m_button->Draw(m_canvas.get(), 5, 5);
    EXPECT_EQ(InkBox(m_target, kBack, Rect{0, 0, 300, 100}), (Rect{15, 15, 55, 45}));
    EXPECT_EQ(InkBox(m_target, kBack, Rect{0, 100, 300, 200}), caption0);

    // Title and alignment go to the caption.
    m_button->SetTitle(u"Pause");
    ASSERT_EQ(Impl()->Caption()->GetText(&text), RZ_OK);
    EXPECT_EQ(std::u16string(text), u"Pause");
    m_button->SetTitleAlign(0x26);
    m_target.Fill(kBack);
    m_button->Draw(m_canvas.get(), 0, 0);
    const Rect centred = InkBox(m_target, kBack, Rect{0, 100, 300, 200});
    EXPECT_NEAR((centred.left + centred.right) / 2.0, 110, 2.5);
}

TEST_F(KvButtonTest, LoadLayoutTwiceKeepsOneCaptionAndReplacesTheImage) {
    Skin(
        "[Buttons]\r\nOk Title = OK, 0, 0, 50, 20, 10, 1, 2, 3\r\nOk Pos = 1, 2, 3, 4\r\n"
        "Ok Img = strip.png\r\n");
    ASSERT_EQ(Load(u"Ok"), RZ_OK);
    IKvText* caption = Impl()->Caption();
    IKvImage* first = Impl()->Image();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->AddRef(), 2);  // held once, by the button
    ASSERT_EQ(Load(u"Ok"), RZ_OK);
    EXPECT_EQ(Impl()->Caption(), caption);
    EXPECT_EQ(caption->AddRef(), 2);
    caption->Release();
    EXPECT_NE(Impl()->Image(), nullptr);
    EXPECT_EQ(first->Release(), 0);  // the button let go of the first image
}

TEST_F(KvButtonTest, NullTitleKeepsNoTextButTakesPlaceAndFont) {
    Skin(
        "[Buttons]\r\nA Title = Hello, 0, 0, 10, 10, 10, 0, 0, 0\r\n"
        "B Title = NULL, 5, 6, 70, 80, 12, 255, 0, 0\r\nB Pos = 0, 0, 40, 30\r\n");
    ASSERT_EQ(Load(u"A"), RZ_OK);
    ASSERT_EQ(Load(u"B"), RZ_OK);
    char16_t* text = nullptr;
    EXPECT_EQ(Impl()->Caption()->GetText(&text), RZ_NONE);
    auto* caption = static_cast<KvUserInterface::CKvText*>(Impl()->Caption());
    EXPECT_EQ(caption->LayoutRect(), (Rect{5, 6, 75, 86}));
    EXPECT_EQ(caption->FontSize(), 12);
    EXPECT_EQ(caption->Color(), 0x0000FFu);
    // No image key read without an image folder.
    EXPECT_EQ(Impl()->Image(), nullptr);
}

TEST_F(KvButtonTest, MissingPosAndImageStillGiveAWorkingButton) {
    Skin(
        "[Buttons]\r\nX Title = Caption, 10, 100, 200, 40, 12, 255, 255, 255\r\n"
        "X Img = missing.png\r\n");
    m_button->SetRect(1, 1, 1, 1);
    ASSERT_EQ(Load(u"X"), RZ_OK);
    EXPECT_EQ(Impl()->Image(), nullptr);
    EXPECT_EQ(Impl()->LayoutRect(), (Rect{0, 0, 0, 0}));  // absent fields are zeros
    m_button->SetRect(10, 10, 40, 30);
    EXPECT_EQ(m_button->HitTest(20, 20), RZ_HIT);
    // Without an image only the caption is drawn.
    EXPECT_EQ(m_button->Draw(m_canvas.get(), 0, 0), RZ_OK);
    EXPECT_TRUE(InkBox(m_target, kBack, Rect{0, 0, 300, 100}).IsEmpty());
    EXPECT_FALSE(InkBox(m_target, kBack, Rect{0, 100, 300, 200}).IsEmpty());
    EXPECT_EQ(Dirty(), 0);
}

TEST_F(KvButtonTest, LongTitlesAreCutTo127Characters) {
    Skin("[Buttons]\r\nL Title = " + std::string(200, 'x') + ", 0, 0, 10, 10, 10, 0, 0, 0\r\n");
    ASSERT_EQ(Load(u"L"), RZ_OK);
    char16_t* text = nullptr;
    ASSERT_EQ(Impl()->Caption()->GetText(&text), RZ_OK);
    EXPECT_EQ(std::u16string(text), std::u16string(127, u'x'));
}

TEST_F(KvButtonTest, SetTitleWithoutCaptionOnlyMarksDirty) {
    Plain();
    m_button->Draw(m_canvas.get(), 0, 0);
    EXPECT_EQ(Dirty(), 0);
    EXPECT_EQ(m_button->SetTitle(u"x"), RZ_OK);
    EXPECT_EQ(m_button->SetTitleAlign(0x26), RZ_OK);
    EXPECT_EQ(Dirty(), 1);
    EXPECT_EQ(Impl()->Caption(), nullptr);
    m_button->Draw(m_canvas.get(), 0, 0);
    m_button->SetFixedFrame(1);
    EXPECT_EQ(Dirty(), 0);  // fixing the frame does not repaint by itself
    m_button->Invalidate();
    EXPECT_EQ(Dirty(), 1);
}

TEST_F(KvButtonTest, ReleaseGivesBackTheImageReference) {
    IKvImage* image = Strip();
    ASSERT_NE(image, nullptr);
    m_button->SetImage(image);
    EXPECT_EQ(image->AddRef(), 3);
    EXPECT_EQ(image->Release(), 2);
    // Setting the image it already holds keeps it alive.
    m_button->SetImage(image);
    EXPECT_EQ(image->AddRef(), 3);
    image->Release();
    EXPECT_EQ(m_button->AddRef(), 2);
    EXPECT_EQ(m_button->Release(), 1);
    EXPECT_EQ(m_button->Release(), 0);
    m_button = nullptr;
    EXPECT_EQ(image->AddRef(), 2);
    image->Release();
    EXPECT_EQ(image->Release(), 0);
}
