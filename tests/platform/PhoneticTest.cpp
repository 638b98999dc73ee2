// The phonetic engine on the system's dictionary: what the keys of the standard phonetic
// keyboard compose, the candidates, and how a composition ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/text/Phonetic.h"
#include "tests/support/TestSupport.h"

using plat::PhoneticEngine;
using Key = PhoneticEngine::Key;

namespace {

// Types US keys: a blank is the first tone (Space), the rest the keys by their US character.
void TypeKeys(PhoneticEngine& engine, const std::string& keys) {
    for (char c : keys) {
        if (c == ' ')
            engine.Press(Key::Space);
        else
            engine.Type(c);
    }
}

class Phonetic : public ::testing::Test {
protected:
    void SetUp() override {
        // Whatever the engine might write goes where the test can see it.
        const char* home = std::getenv("HOME");
        m_oldHome = home ? home : "";
        setenv("HOME", m_home.Path().c_str(), 1);
        ASSERT_TRUE(engine.Open()) << "the engine or its dictionary is missing";
    }
    void TearDown() override { setenv("HOME", m_oldHome.c_str(), 1); }

    testsupport::TempDir m_home;
    std::string m_oldHome;
    PhoneticEngine engine;
};

}  // namespace

TEST_F(Phonetic, ASyllableShowsAsSymbolsUntilItsToneConvertsIt) {
    engine.Type('5');
    engine.Type('j');
    engine.Type('/');
    EXPECT_EQ(engine.Preedit(), u"ㄓㄨㄥ");
    EXPECT_EQ(engine.PreeditCursor(), 3u);
    EXPECT_TRUE(engine.Candidates().empty()) << "no candidates for an unfinished syllable";

    engine.Press(Key::Space);
    engine.Type('j');
    engine.Type('p');
    EXPECT_EQ(engine.Preedit(), u"中ㄨㄣ");
    EXPECT_EQ(engine.PreeditCursor(), 3u);

    engine.Type('6');
    EXPECT_EQ(engine.Preedit(), u"中文");
    EXPECT_EQ(engine.PreeditCursor(), 2u);
    EXPECT_TRUE(engine.TakeCommitted().empty()) << "nothing is given up while composing";

    // The phrase that ends at the cursor comes first, then the single characters.
    const auto& candidates = engine.Candidates();
    ASSERT_GT(candidates.size(), 3u);
    EXPECT_EQ(candidates[0], u"中文");
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), u"聞"), candidates.end());
}

TEST_F(Phonetic, ChoosingACandidateGivesUpTheWholePreedit) {
    TypeKeys(engine, "5j/ jp6");
    const auto& candidates = engine.Candidates();
    const auto wen = std::find(candidates.begin(), candidates.end(), u"聞");
    ASSERT_NE(wen, candidates.end());
    EXPECT_TRUE(engine.Choose(static_cast<size_t>(wen - candidates.begin())));
    EXPECT_EQ(engine.TakeCommitted(), u"中聞");
    EXPECT_FALSE(engine.IsComposing());
    EXPECT_TRUE(engine.Candidates().empty());
    EXPECT_TRUE(engine.TakeCommitted().empty()) << "given up once";
    EXPECT_FALSE(engine.Choose(0)) << "nothing left to choose from";
}

TEST_F(Phonetic, BackspaceEditsThePreeditAndEndsWithIt) {
    TypeKeys(engine, "5j/ jp");
    EXPECT_TRUE(engine.Press(Key::Backspace));
    EXPECT_EQ(engine.Preedit(), u"中ㄨ");
    EXPECT_TRUE(engine.Press(Key::Backspace));
    EXPECT_TRUE(engine.Press(Key::Backspace));
    EXPECT_EQ(engine.Preedit(), u"");
    // With nothing composed the key is the caller's.
    EXPECT_FALSE(engine.Press(Key::Backspace));
    EXPECT_FALSE(engine.Press(Key::Space));
    EXPECT_FALSE(engine.Press(Key::Enter));
    EXPECT_TRUE(engine.TakeCommitted().empty());
}

TEST_F(Phonetic, TheEndsOfAComposition) {
    // A change of focus: converted characters go, the unfinished syllable is dropped.
    TypeKeys(engine, "5j/ jp");
    engine.Complete();
    EXPECT_EQ(engine.TakeCommitted(), u"中");
    EXPECT_FALSE(engine.IsComposing());

    // Enter: the pre-edit as it stands, symbols and all.
    TypeKeys(engine, "5j/ jp");
    EXPECT_TRUE(engine.Press(Key::Enter));
    EXPECT_EQ(engine.TakeCommitted(), u"中ㄨㄣ");
    TypeKeys(engine, "5j/ jp6");
    EXPECT_TRUE(engine.Press(Key::Enter));
    EXPECT_EQ(engine.TakeCommitted(), u"中文");

    // Reset: nothing at all.
    TypeKeys(engine, "5j/ jp6");
    engine.Reset();
    EXPECT_FALSE(engine.IsComposing());
    EXPECT_TRUE(engine.TakeCommitted().empty());
    engine.Complete();
    EXPECT_TRUE(engine.TakeCommitted().empty());
}

TEST_F(Phonetic, ALongPreeditGivesUpItsOldestCharactersAndNothingIsWritten) {
    // Twenty syllables of ㄓㄨㄥ: the engine holds only so many converted characters.
    std::u16string given;
    for (int i = 0; i < 20; ++i) {
        TypeKeys(engine, "5j/ ");
        given += engine.TakeCommitted();
    }
    engine.Complete();
    given += engine.TakeCommitted();
    EXPECT_EQ(given.size(), 20u);
    EXPECT_FALSE(given.empty());
    // The phrases learnt stay in memory: no phrase file in the user's folder.
    EXPECT_TRUE(std::filesystem::is_empty(m_home.Path()));
}
