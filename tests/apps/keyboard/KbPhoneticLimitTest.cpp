// What the phonetic input method gives is held to the limit the typed text is checked against:
// its narrow (UTF-8) form must fit the 128-byte buffer with its terminator. A Han character is
// three bytes there, so that limit comes before the box's 127 characters; what does not fit is
// cut at a whole character.
#include <gtest/gtest.h>

#include <string>

#include "apps/keyboard/KBDlg.h"
#include "tests/apps/keyboard/KeyboardFixture.h"

using namespace kbtest;

namespace {

class KbPhoneticLimit : public KeyboardTest {
protected:
    // The input method mode the test ends in is the process's: the next test starts without.
    void TearDown() override {
        KeyboardTest::TearDown();
        KbResetForTesting();
    }
    void TypeUs(const std::string& keys) {
        for (char c : keys) {
            for (int k = 0; k < KB_KEY_COUNT; ++k) {
                const uint8_t vk = g_KbKeys[k].vk;
                if (c == ' ' ? vk == VK_SPACE : KbUsCharacter(vk) == c) {
                    Tap(k);
                    break;
                }
            }
        }
    }
    void TapCandidate(size_t cell) {
        const plat::Rect r = m_page->CandidateCells().at(cell).rect;
        const plat::Point p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        Down(p);
        Up(p);
    }
};

}  // namespace

TEST_F(KbPhoneticLimit, ACommitThatWouldPassTheNarrowLimitIsCutAtAWholeCharacter) {
    MakePage();
    // 41 Han characters: 123 bytes of UTF-8. 中文 would make 129.
    const std::u16string initial(41, u'中');
    Ask(u"名稱", initial);
    ShowFor(APPTYPE_MUSIC);
    Tap(KB_KEY_IME);
    TypeUs("5j/ jp6");
    ASSERT_EQ(m_page->Edit()->Composition(), u"中文");
    ASSERT_FALSE(m_page->CandidateCells().empty());
    TapCandidate(0);
    EXPECT_EQ(EditText(), initial + u"中");
    EXPECT_FALSE(m_page->Edit()->IsComposing());

    // Full now (126 bytes): what is composed next does not go in, nothing else is lost.
    TypeUs("jp6");
    m_page->Edit()->EndComposition(true);
    EXPECT_EQ(EditText(), initial + u"中");
    Tap(KB_KEY_SAVE);
    EXPECT_EQ(std::u16string(m_kernel->m_szKbResult), initial + u"中");
}
