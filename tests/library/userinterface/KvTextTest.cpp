#include <gtest/gtest.h>

#include <climits>

#include "library/CVantrel.h"
#include "library/userinterface/KvText.h"
#include "platform/gfx/Canvas.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using KvUserInterface::CKvText;
using KvUserInterface::IKvText;
using plat::Argb;
using plat::Rect;

namespace {

constexpr uint32_t kBack = Argb(255, 0, 0, 0);
constexpr uint32_t kWhite = Argb(255, 255, 255, 255);

class KvTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = CreateIVantrel();
        ASSERT_EQ(m_root->CreateText(&m_text), RZ_OK);
        m_target = SolidImage(400, 200, kBack);
        m_canvas = plat::MakeCanvas(m_target);
    }
    void TearDown() override {
        if (m_text)
            m_text->Release();
        m_root->Release();
    }
    CKvText* Impl() { return static_cast<CKvText*>(m_text); }
    void Skin(const std::string& text) { WriteUtf16(m_dir.File("skin.ini"), text); }
    std::u16string SkinPath() { return m_dir.File16("skin.ini"); }
    std::u16string Text() {
        char16_t* p = nullptr;
        return m_text->GetText(&p) == RZ_OK ? std::u16string(p) : u"<none>";
    }
    Rect Ink() { return InkBox(m_target, kBack); }

    TempDir m_dir;
    IVantrel* m_root = nullptr;
    IKvText* m_text = nullptr;
    plat::Surface m_target;
    std::unique_ptr<plat::Canvas> m_canvas;
};

}  // namespace

TEST_F(KvTextTest, NewLabelIsVisibleDirtyWhiteAndWithoutFont) {
    EXPECT_EQ(Impl()->FontSize(), 12);
    EXPECT_EQ(Impl()->Color(), 0xFAFAFAu);
    EXPECT_EQ(Impl()->Format(), 0u);
    EXPECT_FALSE(Impl()->GetFontObject().has_value());
    EXPECT_EQ(m_text->IsVisible(), 1);
    uint8_t dirty = 0;
    EXPECT_EQ(m_text->IsDirty(&dirty), RZ_OK);
    EXPECT_EQ(dirty, 1);
    EXPECT_EQ(Text(), u"<none>");
    // Without a font of its own it draws in the canvas's font, in its own colour.
    m_text->SetRect(10, 10, 200, 40);
    m_text->SetText(u"Label");
    EXPECT_EQ(m_text->Draw(m_canvas.get()), RZ_OK);
    EXPECT_GT(CountInk(m_target, Rect{10, 10, 210, 50}, kBack), 50);
    EXPECT_EQ(m_canvas->GetTextColor(), Argb(255, 0xFA, 0xFA, 0xFA));
}

TEST_F(KvTextTest, SetTextCopiesAndNullClears) {
    EXPECT_EQ(m_text->SetText(u"Rock & Roll"), RZ_OK);
    EXPECT_EQ(Text(), u"Rock & Roll");
    // Its own text, and a part of it, are copied before the old copy goes.
    char16_t* own = nullptr;
    ASSERT_EQ(m_text->GetText(&own), RZ_OK);
    EXPECT_EQ(m_text->SetText(own), RZ_OK);
    EXPECT_EQ(Text(), u"Rock & Roll");
    ASSERT_EQ(m_text->GetText(&own), RZ_OK);
    EXPECT_EQ(m_text->SetText(own + 7), RZ_OK);
    EXPECT_EQ(Text(), u"Roll");

    EXPECT_EQ(m_text->SetText(nullptr), RZ_NONE);
    char16_t* out = reinterpret_cast<char16_t*>(8);
    EXPECT_EQ(m_text->GetText(&out), RZ_NONE);
    EXPECT_EQ(out, reinterpret_cast<char16_t*>(8));
    EXPECT_EQ(m_text->SetText(u""), RZ_OK);
    EXPECT_EQ(Text(), u"");
}

TEST_F(KvTextTest, AlignFlagsBecomeTextFormats) {
    m_text->SetAlign(0x26);
    EXPECT_EQ(Impl()->Format(), 0x25u);
    m_text->SetAlign(0x01);
    EXPECT_EQ(Impl()->Format(), 0u);
    m_text->SetAlign(0x18);
    EXPECT_EQ(Impl()->Format(), 0x0Au);
    m_text->SetAlign(0xFF);
    EXPECT_EQ(Impl()->Format(), 0x2Fu);
    m_text->SetAlign(0xC0);  // bits of no meaning
    EXPECT_EQ(Impl()->Format(), 0u);
}

TEST_F(KvTextTest, CaptionCentredBothWaysLandsInTheMiddle) {
    m_text->SetRect(50, 40, 300, 100);
    m_text->SetFont(16, 255, 255, 255);
    m_text->SetAlign(0x26);
    m_text->SetText(u"Music");
    m_text->Draw(m_canvas.get());
    const Rect ink = Ink();
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 200, 2.5);
    // The cell (32 pixels) is centred; the capitals' ink sits in its upper part.
    EXPECT_GT(ink.top, 40 + (100 - 32) / 2 - 1);
    EXPECT_LT(ink.bottom, 40 + (100 + 32) / 2 + 1);
    // The label's font was only borrowed: the canvas has its own back.
    EXPECT_EQ(m_canvas->GetFont(), plat::Font::Default());
}

TEST_F(KvTextTest, FontFollowsTheWidgetRecipe) {
    m_text->SetFont(16, 255, 79, 35);
    EXPECT_EQ(Impl()->FontSize(), 16);
    EXPECT_EQ(Impl()->Color(), 0x234FFFu);
    ASSERT_TRUE(Impl()->GetFontObject().has_value());
    EXPECT_EQ(Impl()->GetFontObject()->Height(), 32);
    plat::Font recipe;
    ASSERT_TRUE(plat::Font::CreateWidgetFont(16, recipe));
    EXPECT_EQ(*Impl()->GetFontObject(), recipe);
    // A size no font can have leaves the label without one, and still answers RZ_OK.
    EXPECT_EQ(m_text->SetFont(INT_MAX, 1, 2, 3), RZ_OK);
    EXPECT_FALSE(Impl()->GetFontObject().has_value());
    EXPECT_EQ(Impl()->Color(), 0x030201u);
}

TEST_F(KvTextTest, NothingDrawnWithoutTextOrWhenHidden) {
    m_text->SetRect(0, 0, 400, 200);
    EXPECT_EQ(m_text->Draw(m_canvas.get()), RZ_OK);
    EXPECT_TRUE(Ink().IsEmpty());
    m_text->SetText(u"Hidden");
    EXPECT_EQ(m_text->Show(0), RZ_OK);
    EXPECT_EQ(m_text->IsVisible(), 0);
    EXPECT_EQ(m_text->Draw(m_canvas.get()), RZ_OK);
    EXPECT_TRUE(Ink().IsEmpty());
    m_text->Show(7);
    EXPECT_EQ(m_text->IsVisible(), 1);
    EXPECT_EQ(m_text->Draw(nullptr), RZ_OK);
}

TEST_F(KvTextTest, LoadLayoutReadsItsFourKeys) {
    Skin(
        "[Title]\r\nShow = yes\r\nPosition = 10, 20, 300, 40\r\nFont Size = 16\r\n"
        "Font Color = 255, 79, 35\r\n"
        "[Shown]\r\nShow = TRUE\r\nPosition = 1, 2, 3, 4\r\n"
        "[Nothing]\r\nOther = 1\r\n");
    EXPECT_EQ(m_text->LoadLayout(SkinPath().c_str(), u"Title"), RZ_OK);
    EXPECT_EQ(m_text->IsVisible(), 0);  // anything but true hides
    int x = 0, y = 0, w = 0, h = 0;
    EXPECT_EQ(Impl()->GetBounds(&x, &y, &w, &h), RZ_OK);
    EXPECT_EQ((Rect{x, y, w, h}), (Rect{10, 20, 300, 40}));
    EXPECT_EQ(Impl()->FontSize(), 16);
    EXPECT_EQ(Impl()->Color(), 0x234FFFu);
    ASSERT_TRUE(Impl()->GetFontObject().has_value());
    EXPECT_EQ(Impl()->GetFontObject()->Height(), 32);

    EXPECT_EQ(m_text->LoadLayout(SkinPath().c_str(), u"Shown"), RZ_OK);
    EXPECT_EQ(m_text->IsVisible(), 1);
    m_text->Show(0);
    // Keys absent: visibility kept, the rest zero (size 0 is a default-sized font).
    EXPECT_EQ(m_text->LoadLayout(SkinPath().c_str(), u"Nothing"), RZ_OK);
    EXPECT_EQ(m_text->IsVisible(), 0);
    EXPECT_EQ(Impl()->LayoutRect(), (Rect{0, 0, 0, 0}));
    EXPECT_EQ(Impl()->FontSize(), 0);
    EXPECT_EQ(Impl()->Color(), 0u);
    EXPECT_TRUE(Impl()->GetFontObject().has_value());
    // A missing file is the same as missing keys.
    EXPECT_EQ(m_text->LoadLayout(m_dir.File16("none.ini").c_str(), u"Title"), RZ_OK);
    EXPECT_EQ(m_text->LoadLayout(nullptr, nullptr), RZ_OK);
}

TEST_F(KvTextTest, WithoutAColourKeyTheTextIsBlack) {
    Skin("[Clock]\r\nPosition = 0, 0, 400, 100\r\nFont Size = 20\r\n");
    m_target.Fill(kWhite);
    m_text->LoadLayout(SkinPath().c_str(), u"Clock");
    m_text->SetText(u"12:45");
    m_text->Draw(m_canvas.get());
    uint32_t darkest = 0xFFFFFF;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 400; ++x)
            darkest = std::min(darkest, m_target.PixelAt(x, y) & 0xFFFFFF);
    EXPECT_EQ(darkest, 0u);
}

TEST_F(KvTextTest, ReferenceCounting) {
    EXPECT_EQ(m_text->AddRef(), 2);
    EXPECT_EQ(m_text->Release(), 1);
    m_text->SetText(u"freed with the label");
    m_text->SetFont(10, 1, 1, 1);
    EXPECT_EQ(m_text->Release(), 0);
    m_text = nullptr;
}
