// The keyboard's edit box: what key events do to its text, caret and selection, its limit, and
// what it shows inside its parent.
#include "apps/keyboard/KbEdit.h"

#include <gtest/gtest.h>

#include "apps/keyboard/KbInput.h"
#include "platform/gfx/Font.h"
#include "platform/ui/Ui.h"
#include "tests/support/GfxTestSupport.h"

namespace {

class Parent : public plat::ui::Window {
public:
    ~Parent() override { Destroy(); }

protected:
    void OnPaint(plat::Surface& s, const plat::Rect&) override { s.Fill(0xFF000000); }
};

class KbEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ui::Options options;
        options.backend = plat::ui::Backend::Headless;
        ASSERT_TRUE(plat::ui::Init(options));
        KbResetForTesting();
        plat::ui::CreateParams p;
        p.rect = plat::Rect::FromXYWH(0, 0, 800, 480);
        p.visible = true;
        ASSERT_TRUE(m_parent.Create(p));
        m_edit = std::make_unique<CKbEdit>();
        ASSERT_TRUE(m_edit->CreateEdit(m_parent.Id(), plat::Rect::FromXYWH(30, 90, 450, 70), 1));
        plat::Font font;
        ASSERT_TRUE(plat::Font::Create("Times New Roman", 60, 24, 700, true, font));
        m_edit->SetFont(font);
        plat::ui::ShowWindow(m_edit->Id(), true);
    }

    void TearDown() override {
        m_edit.reset();
        m_parent.Destroy();
        plat::ui::Terminate();
    }

    // A key as the keyboard sends it: a key-down, and a key-up for the modifiers.
    void Key(uint8_t vk, bool up = false) {
        KbEvent(m_edit->Id(), vk, KbMapVirtualKey(vk),
                up ? KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP : KEYEVENTF_EXTENDEDKEY);
        plat::ui::PumpUntilIdle();
    }
    void Keys(const std::string& letters) {
        for (char c : letters)
            Key(static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    }
    void WithModifier(uint8_t modifier, uint8_t vk) {
        Key(modifier);
        Key(vk);
        Key(modifier, true);
    }
    std::u16string Text() const { return m_edit->GetText(100000); }
    std::pair<int, int> Sel() const {
        int a = 0, b = 0;
        m_edit->GetSel(&a, &b);
        return {a, b};
    }
    plat::Surface Picture() {
        plat::ui::PumpUntilIdle();
        plat::Surface s;
        plat::ui::GetWindowPicture(m_parent.Id(), s);
        return s;
    }

    Parent m_parent;
    std::unique_ptr<CKbEdit> m_edit;
};

TEST_F(KbEditTest, LettersGoInAtTheCaretAndBackspaceTakesTheOneBefore) {
    Keys("abc");
    EXPECT_EQ(Text(), u"abc");
    Key(VK_LEFT);
    Key(VK_UP);  // a single line: up moves left
    Keys("x");
    EXPECT_EQ(Text(), u"axbc");
    Key(VK_BACK);
    Key(VK_BACK);
    Key(VK_BACK);  // nothing before the caret
    EXPECT_EQ(Text(), u"bc");
    Key(VK_DOWN);
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    Keys(" ");
    EXPECT_EQ(Text(), u"bc ");
    // Enter, Tab and Escape have no place in one line; Alt makes keys commands.
    Key(VK_RETURN);
    Key(VK_TAB);
    Key(VK_ESCAPE);
    WithModifier(VK_LMENU, 'Q');
    EXPECT_EQ(Text(), u"bc ");
}

TEST_F(KbEditTest, ShiftSelectsAndCtrlCopiesCutsAndPastes) {
    CKbEdit::Clipboard().clear();
    Keys("hello");
    Key(VK_LSHIFT);
    Key(VK_LEFT);
    Key(VK_LEFT);
    Key(VK_LSHIFT, true);
    EXPECT_EQ(Sel(), std::make_pair(3, 5));
    WithModifier(VK_LCONTROL, 'C');
    EXPECT_EQ(CKbEdit::Clipboard(), u"lo");
    Key(VK_LEFT);  // collapses to the selection's start
    EXPECT_EQ(Sel(), std::make_pair(3, 3));
    WithModifier(VK_LCONTROL, 'V');
    EXPECT_EQ(Text(), u"hellolo");
    WithModifier(VK_LCONTROL, 'A');
    EXPECT_EQ(Sel(), std::make_pair(0, 7));
    WithModifier(VK_LCONTROL, 'X');
    EXPECT_EQ(Text(), u"");
    EXPECT_EQ(CKbEdit::Clipboard(), u"hellolo");
    // Other Ctrl letters do nothing.
    WithModifier(VK_LCONTROL, 'B');
    Keys("q");
    EXPECT_EQ(Text(), u"q");
    // Typing over a selection replaces it; Backspace takes a selection whole.
    WithModifier(VK_LCONTROL, 'A');
    Keys("z");
    EXPECT_EQ(Text(), u"z");
    m_edit->SetText(u"abcdef");
    m_edit->SetSel(1, 4);
    Key(VK_BACK);
    EXPECT_EQ(Text(), u"aef");
}

TEST_F(KbEditTest, TheLimitRefusesTypingAndCutsPastesButNotSetText) {
    m_edit->SetLimitText(5);
    Keys("abcdefg");
    EXPECT_EQ(Text(), u"abcde");
    // Over a selection there is room for what it frees.
    m_edit->SetSel(0, 2);
    Keys("x");
    EXPECT_EQ(Text(), u"xcde");
    CKbEdit::Clipboard() = u"123456";
    WithModifier(VK_LCONTROL, 'V');
    EXPECT_EQ(Text(), u"x1cde");
    // A pair of units is never split by the cut.
    m_edit->SetText(u"abc");
    m_edit->SetSel(3, 3);
    CKbEdit::Clipboard() = u"d😀";
    WithModifier(VK_LCONTROL, 'V');
    EXPECT_EQ(Text(), u"abcd");
    m_edit->SetText(u"a program may set a longer text");
    EXPECT_EQ(Text(), u"a program may set a longer text");
    EXPECT_EQ(Sel(), std::make_pair(0, 0));
    EXPECT_EQ(m_edit->GetText(9), u"a program");
}

TEST_F(KbEditTest, CharactersOfTwoUnitsMoveAndGoWhole) {
    m_edit->SetText(u"a😀b");
    m_edit->SetSel(-1, -1);  // -1 as start keeps the caret where it is
    EXPECT_EQ(Sel(), std::make_pair(0, 0));
    m_edit->SetSel(4, -1);
    EXPECT_EQ(Sel(), std::make_pair(4, 4));
    Key(VK_LEFT);
    Key(VK_LEFT);
    EXPECT_EQ(Sel(), std::make_pair(1, 1));
    Key(VK_RIGHT);
    EXPECT_EQ(Sel(), std::make_pair(3, 3));
    Key(VK_BACK);
    EXPECT_EQ(Text(), u"ab");
    m_edit->SetText(u"a😀");
    EXPECT_EQ(m_edit->GetText(2), u"a");
}

TEST_F(KbEditTest, TheBoxShowsItsTextAndScrollsToKeepTheCaretInView) {
    Keys("hi");
    plat::Surface s = Picture();
    EXPECT_EQ(s.PixelAt(31, 91), CKbEdit::kBackground);
    EXPECT_EQ(s.PixelAt(29, 91), 0xFF000000u);
    EXPECT_EQ(s.PixelAt(479, 159), CKbEdit::kBackground);
    EXPECT_EQ(s.PixelAt(480, 159), 0xFF000000u);
    const plat::Rect ink =
        testsupport::InkBox(s, CKbEdit::kBackground, plat::Rect{30, 90, 480, 160});
    EXPECT_GE(ink.left, 30 + CKbEdit::kMargin);
    EXPECT_LT(ink.right, 140);
    EXPECT_EQ(m_edit->ScrollOffset(), 0);
    // The caret after the text.
    EXPECT_GT(testsupport::CountPixels(s, plat::Rect{30, 90, 200, 160}, CKbEdit::kCaret), 100);

    for (int i = 0; i < 40; ++i)
        Keys("w");
    s = Picture();
    EXPECT_GT(m_edit->ScrollOffset(), 0);
    // The caret is still inside the box, and text fills it to the right.
    EXPECT_GT(testsupport::CountPixels(s, plat::Rect{30, 90, 480, 160}, CKbEdit::kCaret), 100);
    EXPECT_GT(testsupport::CountInk(s, plat::Rect{400, 95, 470, 155}, CKbEdit::kBackground), 100);
    // Back to the start: scrolled back.
    m_edit->SetSel(0, 0);
    m_edit->ScrollCaret();
    EXPECT_EQ(m_edit->ScrollOffset(), 0);

    // A selection is marked.
    m_edit->SetSel(0, 5);
    s = Picture();
    EXPECT_GT(testsupport::CountPixels(s, plat::Rect{30, 90, 480, 160}, CKbEdit::kSelection), 500);

    plat::ui::ShowWindow(m_edit->Id(), false);
    s = Picture();
    EXPECT_EQ(s.PixelAt(31, 91), 0xFF000000u);
}

}  // namespace
