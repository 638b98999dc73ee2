// Keyboard input: the layout file, what keys give with the modifiers and layouts, and key
// events reaching a window in order with the state they were made in.
#include "apps/keyboard/KbInput.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "core/kernel/Utf16File.h"
#include "platform/io/Path.h"
#include "platform/sys/Module.h"
#include "platform/ui/Ui.h"
#include "tests/support/TestSupport.h"

namespace {

std::string RunFolder() {
    return plat::JoinPath(plat::DirName(plat::ExecutableDir()), "run");
}

KbKeyMessage With(bool shift, bool caps = false, HKL layout = 0) {
    KbKeyMessage m;
    m.shift = shift;
    m.caps = caps;
    m.layout = layout;
    return m;
}

TEST(KeyboardLayouts, TheFileListsLayoutsTheirTextsAndTheKeysThatDiffer) {
    KbLayoutFile f;
    ASSERT_TRUE(
        ParseKeyboardLayouts(u"; a comment\r\n"
                             u"[Preload]\r\n1 = 00000409\r\n2 = e0010404\r\n"
                             u"4 = 00000411\r\nx = 1\r\n"
                             u"[e0010404]\r\n"
                             u"Layout Text = Phonetic\r\n"
                             u"31 = ㄅ, !\r\n"
                             u"bc = U+310D, U+002C, caps\r\n"
                             u"4D = U+1F600, M\r\n"
                             u"41 = ab, A\r\n"        // two characters: not a key
                             u"42 = U+0007, B\r\n"    // a control character
                             u"43 = c\r\n"            // no Shift character
                             u"44 = d, D, shout\r\n"  // unknown flag
                             u"345 = e, E\r\n"
                             u"[Broken\r\n"
                             u"46 = f, F\n",
                             f));
    ASSERT_EQ(f.preload.size(), 2u);  // the list ends at the first number missing
    EXPECT_EQ(f.preload[1], u"e0010404");
    ASSERT_EQ(f.layouts.count(u"E0010404"), 1u);
    const KbLayoutDef& phonetic = f.layouts.at(u"E0010404");
    EXPECT_EQ(phonetic.text, u"Phonetic");
    ASSERT_EQ(phonetic.keys.size(), 3u);
    EXPECT_EQ(phonetic.keys.at(0x31).normal, u"ㄅ");
    EXPECT_EQ(phonetic.keys.at(0x31).shift, u"!");
    EXPECT_EQ(phonetic.keys.at(0xBC).normal, u"ㄍ");
    EXPECT_EQ(phonetic.keys.at(0xBC).shift, u",");
    EXPECT_TRUE(phonetic.keys.at(0xBC).caps);
    EXPECT_EQ(phonetic.keys.at(0x4D).normal, u"😀");
    EXPECT_FALSE(ParseKeyboardLayouts(u"1 = 2\r\n", f));
}

TEST(KeyboardLayouts, TheShippedFileInstallsEveryLanguagesLayouts) {
    std::u16string text;
    ASSERT_TRUE(ReadUtf16File(plat::JoinPath(RunFolder(), KB_LAYOUT_FILE), text));
    KbLayoutFile f;
    ASSERT_TRUE(ParseKeyboardLayouts(text, f));
    const std::vector<std::u16string> ids = {u"00000409", u"E0010404", u"00000404", u"00000804",
                                             u"00000411"};
    EXPECT_EQ(f.preload, ids);
    for (const std::u16string& id : ids) {
        ASSERT_EQ(f.layouts.count(id), 1u);
        EXPECT_FALSE(f.layouts.at(id).text.empty());
    }
    // The phonetic layout: the 37 symbols and 4 tones, each on one key, Shift giving the US
    // characters.
    const KbLayoutDef& phonetic = f.layouts.at(u"E0010404");
    ASSERT_EQ(phonetic.keys.size(), 41u);
    std::vector<bool> seen(0x312A - 0x3105, false);
    for (const auto& [vk, key] : phonetic.keys) {
        ASSERT_EQ(key.normal.size(), 1u);
        const char16_t c = key.normal[0];
        if (c >= 0x3105 && c <= 0x3129) {
            EXPECT_FALSE(seen[c - 0x3105]) << int(c);
            seen[c - 0x3105] = true;
        } else {
            EXPECT_TRUE(c == 0x02C7 || c == 0x02CB || c == 0x02CA || c == 0x02D9) << int(c);
        }
        EXPECT_EQ(key.shift, KbKeyText(vk, With(true))) << int(vk);
    }
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_TRUE(seen[i]) << i;
}

TEST(KeyboardLayouts, KeysGiveTheirCharactersWithShiftCapsLockCtrlAndAlt) {
    KbResetForTesting();
    EXPECT_EQ(KbKeyText(0x41, With(false)), u"a");
    EXPECT_EQ(KbKeyText(0x41, With(true)), u"A");
    EXPECT_EQ(KbKeyText(0x41, With(false, true)), u"A");
    EXPECT_EQ(KbKeyText(0x41, With(true, true)), u"a");
    // Caps Lock turns letters only.
    EXPECT_EQ(KbKeyText(0x31, With(false, true)), u"1");
    EXPECT_EQ(KbKeyText(VK_OEM_7, With(true)), u"\"");
    EXPECT_EQ(KbKeyText(VK_SPACE, With(true)), u" ");
    EXPECT_EQ(KbKeyText(VK_BACK, With(false)), u"\b");
    EXPECT_EQ(KbKeyText(VK_LEFT, With(false)), u"");
    KbKeyMessage ctrl;
    ctrl.ctrl = true;
    EXPECT_EQ(KbKeyText(0x56, ctrl), u"\x16");
    EXPECT_EQ(KbKeyText(0x31, ctrl), u"");
    KbKeyMessage alt;
    alt.alt = true;
    EXPECT_EQ(KbKeyText(0x41, alt), u"");
}

TEST(KeyboardLayouts, OnlyInstalledLayoutsLoad) {
    testsupport::TempDir dir;
    testsupport::ScopedCwd cwd(dir.Path());
    KbResetForTesting();
    testsupport::WriteUtf16(KB_LAYOUT_FILE, "[ABCD0001]\r\nLayout Text = Test\r\n41 = X, Y\r\n",
                            true);
    const HKL us = KbGetKeyboardLayout();
    EXPECT_EQ(KbLayoutId(us), u"00000409");
    EXPECT_EQ(KbLoadKeyboardLayout(u"0000FFFF", KLF_ACTIVATE), 0u);
    EXPECT_EQ(KbLoadKeyboardLayout(nullptr, 0), 0u);
    EXPECT_EQ(KbGetKeyboardLayout(), us);
    const HKL test = KbLoadKeyboardLayout(u"abcd0001", 0);
    ASSERT_NE(test, 0u);
    EXPECT_EQ(KbGetKeyboardLayout(), us);  // loaded, not yet current
    EXPECT_EQ(KbLoadKeyboardLayout(u"ABCD0001", 0), test);
    EXPECT_EQ(KbActivateKeyboardLayout(test, KLF_SETFORPROCESS), us);
    EXPECT_EQ(KbKeyText(0x41, With(false, false, test)), u"X");
    EXPECT_EQ(KbKeyText(0x42, With(false, false, test)), u"b");  // the rest is the US keys
    EXPECT_EQ(KbActivateKeyboardLayout(99, 0), 0u);
    EXPECT_EQ(KbGetKeyboardLayout(), test);
}

// A window that keeps the key messages it receives.
class KeyWindow : public plat::ui::Window {
public:
    ~KeyWindow() override { Destroy(); }
    std::vector<std::pair<uint32_t, std::u16string>> keys;

protected:
    intptr_t OnMessage(uint32_t msg, uintptr_t w, intptr_t l) override {
        if (msg == WM_KEYDOWN || msg == WM_KEYUP)
            keys.emplace_back(msg, KbKeyText(static_cast<uint8_t>(w), KbKeyMessage::Unpack(l)));
        return 0;
    }
};

TEST(KeyEvents, ReachTheirWindowInOrderAsTheyWereTyped) {
    plat::ui::Options options;
    options.backend = plat::ui::Backend::Headless;
    ASSERT_TRUE(plat::ui::Init(options));
    KbResetForTesting();
    {
        KeyWindow w;
        plat::ui::CreateParams p;
        p.rect = plat::Rect::FromXYWH(0, 0, 10, 10);
        ASSERT_TRUE(w.Create(p));
        std::vector<KbKeyEvent> seen;
        KbSetEventHook([&](const KbKeyEvent& e) { seen.push_back(e); });
        // Shift down, a, Shift up, a: queued before the window handles any of them, and still
        // read as they were typed.
        KbEvent(w.Id(), VK_LSHIFT, KbMapVirtualKey(VK_LSHIFT), KEYEVENTF_EXTENDEDKEY);
        EXPECT_LT(KbGetKeyState(VK_SHIFT), 0);
        KbEvent(w.Id(), 0x41, KbMapVirtualKey(0x41), 0);
        KbEvent(w.Id(), VK_LSHIFT, KbMapVirtualKey(VK_LSHIFT), KEYEVENTF_KEYUP);
        EXPECT_EQ(KbGetKeyState(VK_SHIFT), 0);
        KbEvent(w.Id(), 0x41, KbMapVirtualKey(0x41), 0);
        EXPECT_TRUE(w.keys.empty());
        plat::ui::PumpUntilIdle();
        ASSERT_EQ(w.keys.size(), 4u);
        EXPECT_EQ(w.keys[1], std::make_pair(uint32_t(WM_KEYDOWN), std::u16string(u"A")));
        EXPECT_EQ(w.keys[2].first, uint32_t(WM_KEYUP));
        EXPECT_EQ(w.keys[3].second, u"a");
        ASSERT_EQ(seen.size(), 4u);
        EXPECT_EQ(seen[0].scan, 0x2A);
        EXPECT_EQ(seen[1].scan, 0x1E);
        EXPECT_EQ(seen[0].flags, KEYEVENTF_EXTENDEDKEY);
        KbSetEventHook(nullptr);
    }
    // A window that is gone takes nothing, and nothing breaks.
    KbEvent(12345, 0x41, 0x1E, 0);
    plat::ui::Terminate();
}

TEST(KeyEvents, TheMessageCarriesTheStateAndLayout) {
    KbKeyMessage m;
    m.scan = 0x1E;
    m.extended = true;
    m.shift = m.alt = m.caps = true;
    m.layout = 7;
    const KbKeyMessage back = KbKeyMessage::Unpack(m.Pack());
    EXPECT_EQ(back.scan, 0x1E);
    EXPECT_TRUE(back.extended && back.shift && back.alt && back.caps);
    EXPECT_FALSE(back.ctrl);
    EXPECT_EQ(back.layout, 7u);
}

}  // namespace
