// The keyboard's caption tables: the text form of the files (line ends, the "Do" end, blanks,
// limits) and finding the three files in the skin's folder.
#include "apps/keyboard/WordTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "apps/keyboard/KBDlg.h"
#include "platform/text/Text.h"
#include "tests/apps/keyboard/KeyboardFixture.h"

using namespace kbtest;

namespace {

std::vector<uint8_t> Utf16(const std::u16string& text, bool bom = false) {
    std::vector<uint8_t> out;
    if (bom)
        out = {0xFF, 0xFE};
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

struct Parsed {
    int lines = 0;
    KB_CAPTION_TABLE table;
};

Parsed Parse(const std::vector<uint8_t>& bytes) {
    Parsed p;
    p.lines = ParseWordTable(bytes.data(), bytes.size(), p.table);
    return p;
}

Parsed Parse(const std::u16string& text) {
    return Parse(Utf16(text));
}

std::u16string Entry(const Parsed& p, int k) {
    return p.table[k];
}

TEST(WordTable, CrLfAndCrAndLfLineEndsReadAlike) {
    const Parsed crlf = Parse(u"`\r\n1\r\n2\r\n  Back\r\n");
    for (const std::u16string& text :
         {std::u16string(u"`\n1\n2\n  Back\n"), std::u16string(u"`\r1\r2\r  Back\r"),
          std::u16string(u"`\r\n1\n2\r  Back\r\n")}) {
        const Parsed other = Parse(text);
        ASSERT_EQ(other.lines, 4);
        for (int k = 0; k < KB_KEY_COUNT; ++k)
            EXPECT_EQ(Entry(other, k), Entry(crlf, k)) << k;
    }
    EXPECT_EQ(crlf.lines, 4);
    EXPECT_EQ(Entry(crlf, 1), u"1");
    EXPECT_EQ(Entry(crlf, 3), u"Back");
    EXPECT_EQ(Entry(crlf, 4), u"");
    // Two line ends in a row make an empty caption, whichever their form.
    const Parsed gap = Parse(u"a\n\nb\r\r\nc\n");
    ASSERT_EQ(gap.lines, 5);
    EXPECT_EQ(Entry(gap, 1), u"");
    EXPECT_EQ(Entry(gap, 2), u"b");
    EXPECT_EQ(Entry(gap, 3), u"");
    EXPECT_EQ(Entry(gap, 4), u"c");
}

TEST(WordTable, TheTextEndsWhereDAndOFollowEachOther) {
    const Parsed fourth = Parse(u"a\r\nb\r\nc\r\nDone\r\nd\r\ne\r\n");
    EXPECT_EQ(fourth.lines, 3);
    EXPECT_EQ(Entry(fourth, 2), u"c");
    EXPECT_EQ(Entry(fourth, 3), u"");
    // Inside a line the line is cut off and, having no end, not stored.
    const Parsed inside = Parse(u"a\r\nUnDo\r\nc\r\n");
    EXPECT_EQ(inside.lines, 1);
    EXPECT_EQ(Entry(inside, 1), u"");
    // Only "D" then "o": other cases and separated letters are text.
    const Parsed other = Parse(u"DO\r\ndo\r\nD o\r\nD\r\no\r\n");
    EXPECT_EQ(other.lines, 5);
    EXPECT_EQ(Entry(other, 0), u"DO");
    EXPECT_EQ(Entry(other, 3), u"D");
}

TEST(WordTable, BlanksStartingALineAreSkippedAndLongLinesCut) {
    const Parsed p = Parse(u" \t Shift \r\n\t\r\n" + std::u16string(200, u'x') + u"\r\nz\r\n");
    ASSERT_EQ(p.lines, 4);
    EXPECT_EQ(Entry(p, 0), u"Shift ");  // blanks after the text are kept
    EXPECT_EQ(Entry(p, 1), u"");
    EXPECT_EQ(Entry(p, 2), std::u16string(127, u'x'));
    EXPECT_EQ(Entry(p, 3), u"z");
    // A cut never splits a character made of two units.
    std::u16string wide(126, u'x');
    wide += u"😀\r\n";
    EXPECT_EQ(Entry(Parse(wide), 0), std::u16string(126, u'x'));
}

TEST(WordTable, AtMost65LinesAndTheLastNeedsItsLineEnd) {
    std::u16string text;
    for (int k = 0; k < 70; ++k)
        text += plat::FormatStr(u"k%d\r\n", k);
    const Parsed many = Parse(text);
    EXPECT_EQ(many.lines, KB_KEY_COUNT);
    EXPECT_EQ(Entry(many, 64), u"k64");

    const Parsed open = Parse(u"a\r\nb\r\nlast");
    EXPECT_EQ(open.lines, 2);
    EXPECT_EQ(Entry(open, 2), u"");
}

TEST(WordTable, AByteOrderMarkAZeroAndAnOddByte) {
    Parsed p = Parse(Utf16(u"`\r\n1\r\n", true));
    ASSERT_EQ(p.lines, 2);
    EXPECT_EQ(Entry(p, 0), u"`");
    // A zero character ends the text.
    p = Parse(Utf16(std::u16string(u"a\r\nb\0c\r\n", 8)));
    EXPECT_EQ(p.lines, 1);
    std::vector<uint8_t> odd = Utf16(u"a\r\nb\r\n");
    odd.push_back('c');
    EXPECT_EQ(Parse(odd).lines, 2);
    EXPECT_EQ(Parse(std::vector<uint8_t>()).lines, 0);
    EXPECT_EQ(ParseWordTable(nullptr, 0, p.table), 0);
}

TEST(WordTable, TheShippedTablesCaptionEveryKeyThatTypes) {
    for (const char* name : {"WT_01_normal.txt", "WT_01_shift.txt", "WT_01_ime.txt"}) {
        const std::vector<uint8_t> bytes = testsupport::ReadBytes(
            plat::JoinPath(RunFolder(), std::string("Skin/Default/ScreenKB/WORDTABLE/") + name));
        const Parsed p = Parse(bytes);
        EXPECT_EQ(p.lines, KB_KEY_COUNT) << name;
        for (int k = 0; k <= KB_KEY_IME; ++k) {
            const bool captioned = k != KB_KEY_WINDOWS && k != KB_KEY_SPACE && k != KB_KEY_IME;
            EXPECT_EQ(Entry(p, k).empty(), !captioned) << name << " key " << k;
        }
    }
}

// Finding the files in the skin's folder, through the page.
class WordTableFolderTest : public KeyboardTest {
protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        std::filesystem::remove_all(kFolder);
        std::filesystem::create_directories(kFolder);
        m_page = std::make_unique<CKBDlg>();
        ASSERT_TRUE(m_page->SetSkin(0, m_main.Id(), APPTYPE_KB));
    }

    void Write(const std::string& name, const std::u16string& text) {
        testsupport::WriteBytes(kFolder + name, Utf16(text, true));
    }

    const std::string kFolder = "Skin/Test/ScreenKB/WORDTABLE/";
};

TEST_F(WordTableFolderTest, AllThreeFilesMustBeThereByTheirExactNames) {
    Write("WT_01_normal.txt", u"n0\r\n");
    Write("wt_01_shift.txt", u"s0\r\n");
    Write("WT_01_ime.txt", u"i0\r\n");
    EXPECT_FALSE(m_page->LoadWordTables());
    EXPECT_EQ(std::u16string(m_page->m_szCaptions[KB_TABLE_NORMAL][0]), u"n0");

    Write("WT_01_shift.txt", u"s0\r\n");
    EXPECT_TRUE(m_page->LoadWordTables());
    EXPECT_EQ(std::u16string(m_page->m_szCaptions[KB_TABLE_SHIFT][0]), u"s0");
    EXPECT_EQ(std::u16string(m_page->m_szCaptions[KB_TABLE_IME][0]), u"i0");
}

TEST_F(WordTableFolderTest, AnEmptyOrUnreadableFileCountsAsThereWithNoCaptions) {
    Write("WT_01_normal.txt", u"n0\r\n");
    testsupport::WriteBytes(kFolder + "WT_01_shift.txt", std::vector<uint8_t>());
    std::filesystem::create_directories(kFolder + "WT_01_ime.txt");  // a folder: not a file
    EXPECT_FALSE(m_page->LoadWordTables());
    std::filesystem::remove(kFolder + "WT_01_ime.txt");
    Write("WT_01_ime.txt", u"i0\r\n");
    EXPECT_TRUE(m_page->LoadWordTables());
    EXPECT_EQ(std::u16string(m_page->m_szCaptions[KB_TABLE_SHIFT][0]), u"");
    std::filesystem::remove_all(kFolder);
    EXPECT_FALSE(m_page->LoadWordTables());
}

}  // namespace
