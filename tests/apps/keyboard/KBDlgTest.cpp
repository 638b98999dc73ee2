// The keyboard page on a seat: the shipped skin, caption tables and layouts, pen taps at
// desktop co-ordinates, the key events they make, the text that reaches the edit box, what the
// seat shows, and the text-input block handed back.
#include "apps/keyboard/KBDlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/io/File.h"
#include "tests/apps/keyboard/KeyboardFixture.h"

using namespace kbtest;
using KvUserInterface::BUTTON_HIGHLIGHTED;
using KvUserInterface::BUTTON_NORMAL;
using KvUserInterface::BUTTON_PRESSED;
using KvUserInterface::IKvButton;

namespace {

class KBDlgTest : public KeyboardTest {
protected:
    uint8_t State(int key) {
        uint8_t s = 0xFF;
        m_page->Key(key)->GetState(&s);
        return s;
    }

    // The key as the seat shows it: the same pixels as a button made from the same skin entry
    // with `caption`, in the key's present state, drawn over the page's background.
    bool KeyShows(int key, const std::u16string& caption) {
        IVantrel* root = m_kernel->m_pRoot;
        IKvButton* b = nullptr;
        if (root->CreateButton(&b) != RZ_OK)
            return false;
        const std::u16string base = m_kernel->m_szBaseDir;
        b->LoadLayout((base + u"\\Skin\\Test\\ScreenKB\\ScreenKB.ini").c_str(), u"Buttons",
                      g_KbKeys[key].name, (base + u"\\Skin\\Test\\ScreenKB").c_str());
        b->SetTitleAlign(0x26);
        b->SetTitle(caption.c_str());
        const uint8_t state = State(key);
        if (state == BUTTON_PRESSED)
            b->SetPressed();
        else if (state == BUTTON_HIGHLIGHTED)
            b->SetHighlighted();
        plat::Surface alone(800, m_seatNo ? 600 : 480);
        auto canvas = plat::MakeCanvas(alone);
        m_page->m_pBackground->Draw(canvas.get(), 0, 0, 0, 0);
        b->Draw(canvas.get(), 0, 0);
        plat::Rect r;
        b->GetRect(&r);
        b->Release();
        const plat::Surface shown = SeatPicture();
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (shown.PixelAt(x, y) != alone.PixelAt(x, y))
                    return false;
        return true;
    }

    // The key events since the last call.
    std::vector<KbKeyEvent> TakeEvents() {
        std::vector<KbKeyEvent> out;
        out.swap(events);
        return out;
    }

    static bool IsDown(uint8_t vk) { return KbGetKeyState(vk) < 0; }
};

MATCHER_P2(KeyEvent, vk, up, "") {
    return arg.vk == vk && ((arg.flags & KEYEVENTF_KEYUP) != 0) == up &&
           (arg.flags & KEYEVENTF_EXTENDEDKEY) != 0 && arg.scan == KbMapVirtualKey(vk);
}

TEST_F(KBDlgTest, TappedKeysTypeIntoTheEditBoxShownOverTheKeyboard) {
    MakePage();
    // Until the page is shown for a request, the seat shows no edit box.
    EXPECT_NE(SeatPicture().PixelAt(34, 94), CKbEdit::kBackground);
    Ask(u"Playlist Name", u"");
    ShowFor(APPTYPE_MUSIC);
    Type("hello 42");
    EXPECT_EQ(EditText(), u"hello 42");
    Tap(KB_KEY_DELETE);
    EXPECT_EQ(EditText(), u"hello 4");
    // Ordinary keys send their key-down only.
    const auto sent = TakeEvents();
    ASSERT_EQ(sent.size(), 9u);
    EXPECT_THAT(sent[0], KeyEvent(0x48, false));
    EXPECT_THAT(sent[5], KeyEvent(VK_SPACE, false));
    EXPECT_THAT(sent[8], KeyEvent(VK_BACK, false));
    EXPECT_EQ(sent[0].target, m_page->Edit()->Id());

    const plat::Surface seat = SeatPicture();
    EXPECT_EQ(seat.PixelAt(34, 94), CKbEdit::kBackground);
    EXPECT_EQ(seat.PixelAt(478, 158), CKbEdit::kBackground);
    EXPECT_GT(testsupport::CountInk(seat, plat::Rect{36, 95, 300, 155}, CKbEdit::kBackground), 300);
    // The title of the request, in the page's title colour.
    char16_t* title = nullptr;
    ASSERT_EQ(m_page->m_pTitle->GetText(&title), RZ_OK);
    EXPECT_EQ(std::u16string(title), u"Playlist Name");

    m_page->Show(false, 255);
    plat::ui::PumpUntilIdle();
    EXPECT_NE(SeatPicture().PixelAt(34, 94), CKbEdit::kBackground);
}

TEST_F(KBDlgTest, AKeyActsOnlyWhenPressedAndReleasedOnItselfAtTheNextPaint) {
    MakePage();
    Ask(u"Name", u"");
    ShowFor(APPTYPE_MUSIC);
    const int a = KeyFor('a'), s = KeyFor('s');
    // Press on one key, release on another: nothing acts, the release key waits.
    Down(KeyCentre(a));
    EXPECT_EQ(State(a), BUTTON_PRESSED);
    Up(KeyCentre(s));
    EXPECT_TRUE(TakeEvents().empty());
    EXPECT_EQ(EditText(), u"");
    EXPECT_EQ(State(a), BUTTON_NORMAL);
    EXPECT_EQ(m_page->m_byPressed, s);
    // A release on the pressed key acts, but only when the page is painted.
    plat::ui::InjectPen(plat::ui::PenAction::Down, KeyCentre(s));
    plat::ui::InjectPen(plat::ui::PenAction::Up, KeyCentre(s));
    EXPECT_TRUE(TakeEvents().empty());
    plat::ui::PumpUntilIdle();
    EXPECT_EQ(EditText(), u"s");
    EXPECT_EQ(m_page->m_byPressed, KB_NO_KEY);
    // Only the key typed last stays lit.
    Tap(a);
    EXPECT_EQ(State(a), BUTTON_HIGHLIGHTED);
    EXPECT_EQ(State(s), BUTTON_NORMAL);
}

TEST_F(KBDlgTest, ShiftLatchesUntilPressedAgain) {
    MakePage();
    Ask(u"Name", u"");
    ShowFor(APPTYPE_MUSIC);
    TakeEvents();
    Tap(KB_KEY_LEFT_SHIFT);
    auto sent = TakeEvents();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_THAT(sent[0], KeyEvent(VK_LSHIFT, false));
    EXPECT_TRUE(IsDown(VK_LSHIFT));
    EXPECT_EQ(State(KB_KEY_LEFT_SHIFT), BUTTON_PRESSED);
    EXPECT_EQ(State(KB_KEY_RIGHT_SHIFT), BUTTON_PRESSED);
    EXPECT_TRUE(KeyShows(KeyFor('a'), u"A"));
    EXPECT_TRUE(KeyShows(1, u"!"));
    EXPECT_TRUE(KeyShows(KB_KEY_CTRL, u"Ctrl"));
    Type("a1");
    EXPECT_EQ(EditText(), u"A!");
    TakeEvents();

    // The right Shift key is the same key to the system.
    Tap(KB_KEY_RIGHT_SHIFT);
    sent = TakeEvents();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_THAT(sent[0], KeyEvent(VK_LSHIFT, false));
    EXPECT_THAT(sent[1], KeyEvent(VK_LSHIFT, true));
    EXPECT_FALSE(IsDown(VK_LSHIFT));
    EXPECT_EQ(State(KB_KEY_LEFT_SHIFT), BUTTON_NORMAL);
    EXPECT_EQ(State(KB_KEY_RIGHT_SHIFT), BUTTON_NORMAL);
    EXPECT_TRUE(KeyShows(KeyFor('a'), u"a"));
    EXPECT_TRUE(KeyShows(1, u"1"));
    Type("a1");
    EXPECT_EQ(EditText(), u"A!a1");
}

TEST_F(KBDlgTest, CapsLockTurnsOnlyTheLetters) {
    MakePage();
    Ask(u"Name", u"");
    ShowFor(APPTYPE_MUSIC);
    TakeEvents();
    Tap(KB_KEY_CAPS);
    auto sent = TakeEvents();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_THAT(sent[0], KeyEvent(VK_CAPITAL, false));
    EXPECT_THAT(sent[1], KeyEvent(VK_CAPITAL, true));
    EXPECT_EQ(KbGetKeyState(VK_CAPITAL), 1);
    EXPECT_EQ(State(KB_KEY_CAPS), BUTTON_PRESSED);
    EXPECT_TRUE(KeyShows(KeyFor('q'), u"Q"));
    EXPECT_TRUE(KeyShows(1, u"1"));
    Type("q1");
    // With Shift too, the letters come from the normal table and the others from Shift's.
    Tap(KB_KEY_LEFT_SHIFT);
    EXPECT_TRUE(KeyShows(KeyFor('q'), u"q"));
    EXPECT_TRUE(KeyShows(KeyFor('m'), u"m"));
    EXPECT_TRUE(KeyShows(1, u"!"));
    EXPECT_TRUE(KeyShows(0, u"~"));
    Type("q1");
    EXPECT_EQ(EditText(), u"Q1q!");
    Tap(KB_KEY_LEFT_SHIFT);
    Tap(KB_KEY_CAPS);
    EXPECT_EQ(KbGetKeyState(VK_CAPITAL), 0);
    EXPECT_TRUE(KeyShows(KeyFor('q'), u"q"));
}

TEST_F(KBDlgTest, InputMethodModeTypesThePhoneticSymbolsOnItsKeys) {
    MakePage();
    Ask(u"Name", u"");
    ShowFor(APPTYPE_MUSIC);
    const HKL us = KbGetKeyboardLayout();
    Tap(KB_KEY_IME);
    EXPECT_EQ(State(KB_KEY_IME), BUTTON_PRESSED);
    EXPECT_EQ(KbLayoutId(KbGetKeyboardLayout()), u"E0010404");
    EXPECT_TRUE(KeyShows(KeyFor('q'), u"ㄆ"));
    EXPECT_TRUE(KeyShows(KeyFor('3'), u"ˇ"));
    EXPECT_TRUE(KeyShows(KB_KEY_CAPS, u"Caps"));
    TakeEvents();
    // The latching keys do nothing in this mode.
    for (int key : {KB_KEY_CAPS, KB_KEY_LEFT_SHIFT, KB_KEY_RIGHT_SHIFT, KB_KEY_CTRL, KB_KEY_ALT})
        Tap(key);
    EXPECT_TRUE(TakeEvents().empty());
    EXPECT_EQ(m_page->m_bCapsLock + m_page->m_bShiftLatched + m_page->m_bCtrlLatched +
                  m_page->m_bAltLatched,
              0);
    EXPECT_EQ(KbGetKeyState(VK_CAPITAL), 0);
    // Letters still send their key codes; the phonetic engine composes their symbols.
    Type("su3cl3");
    EXPECT_EQ(m_page->Edit()->Composition(), u"你好");
    EXPECT_EQ(EditText(), u"");
    auto sent = TakeEvents();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_THAT(sent[0], KeyEvent(0x53, false));
    // The Windows key works in this mode too.
    Tap(KB_KEY_WINDOWS);
    sent = TakeEvents();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_THAT(sent[0], KeyEvent(VK_LWIN, false));
    EXPECT_THAT(sent[1], KeyEvent(VK_LWIN, true));
    // The mode key stays shown pressed while typing.
    EXPECT_EQ(State(KB_KEY_IME), BUTTON_PRESSED);

    Tap(KB_KEY_IME);
    EXPECT_EQ(State(KB_KEY_IME), BUTTON_NORMAL);
    EXPECT_EQ(KbGetKeyboardLayout(), us);
    EXPECT_TRUE(KeyShows(KeyFor('q'), u"q"));
    Type("a");
    EXPECT_EQ(EditText(), u"你好a");
}

TEST_F(KBDlgTest, WithoutThePhoneticLayoutInstalledTheLayoutStays) {
    // The unit's registry lists the US layout only.
    m_kernel->Registry().SetString(KB_PRELOAD_KEY, "1", u"00000409");
    MakePage();
    ASSERT_EQ(m_page->m_Layouts.size(), 1u);
    Ask(u"Name", u"");
    ShowFor(APPTYPE_MUSIC);
    Tap(KB_KEY_IME);
    EXPECT_TRUE(KeyShows(KeyFor('s'), u"ㄋ"));
    EXPECT_EQ(KbLayoutId(KbGetKeyboardLayout()), u"00000409");
    Type("s");
    EXPECT_EQ(EditText(), u"s");
}

TEST_F(KBDlgTest, CtrlIsLetGoWhenInputMethodModeStarts) {
    MakePage();
    Ask(u"Name", u"abc");
    ShowFor(APPTYPE_MUSIC);
    Tap(KB_KEY_CTRL);
    EXPECT_TRUE(IsDown(VK_LCONTROL));
    // Ctrl+A selects everything, so the next letter replaces it.
    Tap(KeyFor('a'));
    int from = -1, to = -1;
    m_page->Edit()->GetSel(&from, &to);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, 3);
    TakeEvents();
    Tap(KB_KEY_IME);
    auto sent = TakeEvents();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_THAT(sent[0], KeyEvent(VK_LCONTROL, true));
    EXPECT_FALSE(IsDown(VK_LCONTROL));
    EXPECT_EQ(State(KB_KEY_CTRL), BUTTON_NORMAL);
    Type("s");
    EXPECT_EQ(m_page->Edit()->Composition(), u"ㄋ");
}

TEST_F(KBDlgTest, TheTypedTextIsHeldTo128NarrowBytesAndBackspaceStillWorks) {
    MakePage();
    // 42 three-byte characters: 126 bytes, so two more letters go in and the third does not.
    Ask(u"Name", std::u16string(42, u'歌'));
    ShowFor(APPTYPE_MUSIC);
    TakeEvents();
    Type("abc");
    EXPECT_EQ(EditText(), std::u16string(42, u'歌') + u"ab");
    EXPECT_EQ(TakeEvents().size(), 2u);
    Tap(KB_KEY_DELETE);
    Tap(KB_KEY_DELETE);
    EXPECT_EQ(EditText(), std::u16string(42, u'歌'));
    Type("x");
    EXPECT_EQ(EditText(), std::u16string(42, u'歌') + u"x");

    // A text already past the limit takes nothing more, though it has few characters.
    Ask(u"Name", std::u16string(43, u'歌'));
    ShowFor(APPTYPE_MUSIC);
    TakeEvents();
    Type("a");
    EXPECT_TRUE(TakeEvents().empty());
    Tap(KB_KEY_DELETE);
    EXPECT_EQ(EditText(), std::u16string(42, u'歌'));
}

TEST_F(KBDlgTest, SaveHandsTheTextBackAndBackCancels) {
    MakePage();
    Ask(u"Contact Name", u"", 2);
    ShowFor(APPTYPE_PHONE);
    // Save with nothing typed warns and stays.
    plat::ui::TakeMessageBoxes();
    Tap(KB_KEY_SAVE);
    auto boxes = plat::ui::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"\tThe input cannot be empty !\t\t");
    EXPECT_EQ(boxes[0].caption, u"Warning");
    EXPECT_EQ(boxes[0].owner, m_seat->Id());
    EXPECT_TRUE(Switches().empty());

    Type("anna");
    Tap(KB_KEY_SAVE);
    auto sent = Switches();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].wParam, 0u);
    EXPECT_EQ(sent[0].lParam, (APPTYPE_KB << 16) | APPTYPE_PHONE);
    EXPECT_EQ(std::u16string(m_kernel->m_szKbResult), u"anna");
    EXPECT_EQ(m_kernel->m_iKbResult, 2);  // the asking page's index, untouched

    // Back always cancels, whatever was typed; the block's result is kept as it was.
    Ask(u"Contact Name", u"anna", 1);
    m_page->Show(false, 255);
    ShowFor(APPTYPE_INTERNET_SERVICE);
    Type("x");
    Tap(KB_KEY_EXIT);
    sent = Switches();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].lParam, (APPTYPE_KB << 16) | APPTYPE_INTERNET_SERVICE);
    EXPECT_EQ(m_kernel->m_iKbResult, -1);
    EXPECT_EQ(std::u16string(m_kernel->m_szKbResult), u"anna");
    m_page->OnBack();
    EXPECT_EQ(Switches().size(), 3u);
    EXPECT_EQ(State(KB_KEY_SAVE), BUTTON_NORMAL);
    EXPECT_EQ(State(KB_KEY_EXIT), BUTTON_NORMAL);
}

// A text of `n` characters made of `phrase` over and over.
std::u16string Repeat(const std::u16string& phrase, size_t n) {
    std::u16string s;
    while (s.size() < n)
        s += phrase;
    return s.substr(0, n);
}

struct LanguageCase {
    int language;
    const char* file;
    const char16_t* phrase;
};

void PrintTo(const LanguageCase& c, std::ostream* os) {
    *os << c.file;
}

class KBDlgLanguageTest : public KBDlgTest, public ::testing::WithParamInterface<LanguageCase> {};

// In each language: a request titled in that language, a text in its script of 127 characters
// comes back whole, one of 128 (an initial text that fills the whole field, with no terminator)
// comes back as its first 127, terminated; typing adds nothing past the limits.
TEST_P(KBDlgLanguageTest, TheResultHoldsAtMost127CharactersAndIsTerminated) {
    const LanguageCase& lc = GetParam();
    std::filesystem::copy_file(plat::JoinPath(RunFolder(), std::string("Language/") + lc.file),
                               std::string("Language/") + lc.file,
                               std::filesystem::copy_options::overwrite_existing);
    m_kernel->m_Settings.iLanguage = lc.language;
    m_kernel->LoadLanguage();
    const std::u16string title = m_kernel->m_Language[MSG_KB_EDIT_PLAYLIST_NAME];
    ASSERT_FALSE(title.empty());
    MakePage();

    const std::u16string text127 = Repeat(lc.phrase, 127);
    Ask(title, text127, 0);
    std::fill(std::begin(m_kernel->m_szKbResult), std::end(m_kernel->m_szKbResult), u'Z');
    ShowFor(APPTYPE_MUSIC);
    char16_t* shown = nullptr;
    m_page->m_pTitle->GetText(&shown);
    EXPECT_EQ(std::u16string(shown), title);
    Type("q");
    EXPECT_EQ(EditText(), text127);
    Tap(KB_KEY_SAVE);
    EXPECT_EQ(std::u16string(m_kernel->m_szKbResult), text127);
    EXPECT_EQ(m_kernel->m_iKbResult, 0);

    const std::u16string text128 = Repeat(lc.phrase, 128);
    std::memcpy(m_kernel->m_szKbInitial, text128.data(), sizeof m_kernel->m_szKbInitial);
    std::fill(std::begin(m_kernel->m_szKbResult), std::end(m_kernel->m_szKbResult), u'Z');
    m_page->Show(false, 255);
    ShowFor(APPTYPE_MUSIC);
    EXPECT_EQ(EditText(), text127);
    Type("q");
    Tap(KB_KEY_SAVE);
    EXPECT_EQ(std::u16string(m_kernel->m_szKbResult), text127);
    EXPECT_EQ(m_kernel->m_szKbResult[127], 0);
    const auto sent = Switches();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].lParam, (APPTYPE_KB << 16) | APPTYPE_MUSIC);
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, KBDlgLanguageTest,
                         ::testing::Values(LanguageCase{0, "english.ini", u"Road trip songs "},
                                           LanguageCase{1, "roc.ini", u"我的最愛歌單，"},
                                           LanguageCase{2, "prc.ini", u"我的最爱歌单，"},
                                           LanguageCase{3, "japanese.ini", u"ドライブの歌、"}),
                         [](const ::testing::TestParamInfo<LanguageCase>& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

TEST_F(KBDlgTest, WithoutItsCaptionTablesTheKeyboardOnlySavesAndCancels) {
    std::filesystem::remove_all("Skin/Test/ScreenKB/WORDTABLE");
    plat::ui::TakeMessageBoxes();
    MakePage();
    auto boxes = plat::ui::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"WordTable file invalid");
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(boxes[0].owner, plat::ui::kNoWindow);
    EXPECT_EQ(m_page->m_bTablesInvalid, 1);

    Ask(u"Name", u"kept");
    ShowFor(APPTYPE_MUSIC);
    EXPECT_TRUE(KeyShows(KeyFor('a'), u""));
    EXPECT_TRUE(KeyShows(KB_KEY_IME, u"注音"));  // its caption is the skin's
    TakeEvents();
    Type("ab");
    Tap(KB_KEY_LEFT_SHIFT);
    Tap(KB_KEY_IME);
    EXPECT_TRUE(TakeEvents().empty());
    EXPECT_EQ(m_page->m_bShiftLatched + m_page->m_bImeMode, 0);
    Tap(KB_KEY_SAVE);
    EXPECT_EQ(std::u16string(m_kernel->m_szKbResult), u"kept");
    EXPECT_EQ(Switches().size(), 1u);
}

TEST_F(KBDlgTest, AKeyWithoutAKeyCodeWarns) {
    MakePage();
    plat::ui::TakeMessageBoxes();
    for (int key : {int(KB_KEY_SAVE), int(KB_KEY_EXIT), 70}) {
        m_page->PressKey(key);
        auto boxes = plat::ui::TakeMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << key;
        EXPECT_EQ(boxes[0].text, u"Unknown key");
        EXPECT_EQ(boxes[0].caption, u"warning");
    }
    EXPECT_TRUE(Switches().empty());
}

TEST_F(KBDlgTest, ShowTakesCapsLockFromTheSystemAndKeepsTheOtherLatches) {
    MakePage();
    Ask(u"Name", u"");
    ShowFor(APPTYPE_MUSIC);
    Tap(KB_KEY_ALT);
    m_page->Show(false, 255);
    // Caps Lock turned on meanwhile by someone else.
    KbEvent(plat::ui::kNoWindow, VK_CAPITAL, KbMapVirtualKey(VK_CAPITAL), 0);
    KbEvent(plat::ui::kNoWindow, VK_CAPITAL, KbMapVirtualKey(VK_CAPITAL), KEYEVENTF_KEYUP);
    ShowFor(APPTYPE_MUSIC);
    EXPECT_EQ(m_page->m_bCapsLock, 1);
    EXPECT_EQ(State(KB_KEY_CAPS), BUTTON_PRESSED);
    EXPECT_TRUE(KeyShows(KeyFor('w'), u"W"));
    EXPECT_EQ(m_page->m_bAltLatched, 1);
    EXPECT_EQ(State(KB_KEY_ALT), BUTTON_PRESSED);
    // Turned on but still held down, Caps Lock does not count as on.
    m_page->Show(false, 255);
    KbEvent(plat::ui::kNoWindow, VK_CAPITAL, KbMapVirtualKey(VK_CAPITAL), 0);
    KbEvent(plat::ui::kNoWindow, VK_CAPITAL, KbMapVirtualKey(VK_CAPITAL), KEYEVENTF_KEYUP);
    KbEvent(plat::ui::kNoWindow, VK_CAPITAL, KbMapVirtualKey(VK_CAPITAL), 0);
    ASSERT_EQ(KbGetKeyState(VK_CAPITAL) & 1, 1);
    ShowFor(APPTYPE_MUSIC);
    EXPECT_EQ(m_page->m_bCapsLock, 0);
}

TEST_F(KBDlgTest, TheLayoutListComesFromTheRegistryOrTheLayoutFile) {
    // A new unit: the layout file's list, with its texts.
    MakePage();
    ASSERT_EQ(m_page->m_Layouts.size(), 5u);
    EXPECT_EQ(std::u16string(m_page->m_Layouts[0].szId), u"00000409");
    EXPECT_EQ(std::u16string(m_page->m_Layouts[0].szText), u"US");
    EXPECT_EQ(std::u16string(m_page->m_Layouts[1].szId), u"E0010404");
    EXPECT_EQ(std::u16string(m_page->m_Layouts[4].szText), u"Japanese");

    // The registry's own list wins; a layout without a text anywhere is left out, and the list
    // ends at the first number missing.
    plat::KeyValueStore& reg = m_kernel->Registry();
    reg.SetString(KB_PRELOAD_KEY, "1", u"e0010404");
    reg.SetString(KB_PRELOAD_KEY, "2", u"0000ABCD");
    reg.SetString(KB_PRELOAD_KEY, "3", u"00000411");
    reg.SetString(KB_PRELOAD_KEY, "5", u"00000409");
    reg.SetString(std::string(KB_LAYOUTS_KEY) + "00000411", KB_LAYOUT_TEXT, u"Nihongo");
    m_page->LoadLayoutList();
    ASSERT_EQ(m_page->m_Layouts.size(), 2u);
    EXPECT_EQ(std::u16string(m_page->m_Layouts[0].szId), u"e0010404");
    EXPECT_EQ(std::u16string(m_page->m_Layouts[0].szText), u"Chinese (Traditional) - Phonetic");
    EXPECT_EQ(std::u16string(m_page->m_Layouts[1].szText), u"Nihongo");
    // The id is matched without regard to case.
    Ask(u"Name", u"");
    ShowFor(APPTYPE_MUSIC);
    Tap(KB_KEY_IME);
    Type("1");
    EXPECT_EQ(m_page->Edit()->Composition(), u"ㄅ");
}

TEST_F(KBDlgTest, SkinLoadsTakeThreeTriesAndFailWithoutTheBackground) {
    auto page = std::make_unique<CKBDlg>();
    ASSERT_TRUE(page->SetSkin(0, m_main.Id(), APPTYPE_KB));
    ASSERT_TRUE(page->LoadSkin());  // a second load gives back what the first made
    EXPECT_EQ(page->m_iYOffset, 0);
    EXPECT_NE(Log().find("CKBDlg: "), std::string::npos);
    plat::RemoveFile("Skin/Test/ScreenKB/background.png");
    auto bare = std::make_unique<CKBDlg>();
    EXPECT_FALSE(bare->SetSkin(1, m_main.Id(), APPTYPE_KB));
    EXPECT_EQ(bare->m_iYOffset, 60);
}

TEST_F(KBDlgTest, TheRearSeatHasAKeyboardOfItsOwn) {
    MakePage(1);
    EXPECT_EQ(m_page->m_iYOffset, 60);
    Ask(u"Name", u"");
    ShowFor(APPTYPE_INTERNET_SERVICE);
    Type("rear");
    EXPECT_EQ(EditText(), u"rear");
    plat::Surface screen;
    ASSERT_TRUE(plat::ui::CaptureScreen(1, screen));
    EXPECT_EQ(screen.PixelAt(34, 94), CKbEdit::kBackground);
    // The background fills the rear screen's lower rows too.
    EXPECT_NE(screen.PixelAt(400, 590), 0xFF000000u);
    Tap(KB_KEY_SAVE);
    auto sent = Switches();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].wParam, 1u);
    EXPECT_EQ(std::u16string(m_kernel->m_szKbResult), u"rear");
}

}  // namespace
