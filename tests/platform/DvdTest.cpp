#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/media/DvdDisc.h"
#include "platform/media/LanguageNames.h"
#include "tests/media/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace {
constexpr int64_t kSecond = 1000000000;
}

TEST(DvdDisc, ReadsTitlesChaptersStreamsAndMenusOfTheTestDisc) {
    plat::DvdDisc disc;
    std::string error;
    ASSERT_TRUE(disc.Open(testmedia::Dvd(), &error)) << error;
    ASSERT_EQ(disc.TitleCount(), 2);
    const plat::DvdTitle* title = disc.Title(1);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(disc.Title(0), nullptr);
    EXPECT_EQ(disc.Title(3), nullptr);
    EXPECT_EQ(title->titleSet, 1);
    EXPECT_NEAR(title->duration, 4 * kSecond, kSecond / 20);
    ASSERT_EQ(title->chapterStarts.size(), 2u);
    EXPECT_EQ(title->chapterStarts[0], 0);
    EXPECT_NEAR(title->chapterStarts[1], 18 * kSecond / 10, kSecond / 10);
    EXPECT_EQ(disc.ChapterAt(1, 0), 1);
    EXPECT_EQ(disc.ChapterAt(1, 17 * kSecond / 10), 1);
    EXPECT_EQ(disc.ChapterAt(1, 2 * kSecond), 2);
    EXPECT_EQ(disc.ChapterAt(1, 60 * kSecond), 2);
    EXPECT_EQ(disc.ChapterAt(3, 0), 0);

    ASSERT_EQ(title->audio.size(), 2u);
    EXPECT_EQ(title->audio[0].language, "en");
    EXPECT_EQ(title->audio[1].language, "sv");
    EXPECT_EQ(title->audio[0].format, 0);  // AC-3
    EXPECT_EQ(title->audio[0].channels, 2);
    ASSERT_EQ(title->subpictures.size(), 1u);
    EXPECT_EQ(title->subpictures[0], "de");
    EXPECT_EQ(title->prohibited, 0u);
    EXPECT_EQ(title->chapterProhibited, std::vector<uint32_t>(2, 0u));
    EXPECT_EQ(disc.MenuProhibited(0, 2), 0u);

    // Title 2 has a title set of its own, without sub-pictures.
    const plat::DvdTitle* second = disc.Title(2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->titleSet, 2);
    EXPECT_EQ(second->audio.size(), 1u);
    EXPECT_TRUE(second->subpictures.empty());
    EXPECT_EQ(disc.TextLanguages(), 0);

    // The same disc named by its VIDEO_TS folder or its VIDEO_TS.IFO.
    plat::DvdDisc again;
    ASSERT_TRUE(again.Open(testmedia::Dvd() + "/VIDEO_TS/VIDEO_TS.IFO"));
    EXPECT_EQ(again.TitleCount(), 2);
}

TEST(DvdDisc, NothingReadableIsRefused) {
    testsupport::TempDir dir;
    plat::DvdDisc disc;
    std::string error;
    EXPECT_FALSE(disc.Open(dir.File("missing"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(disc.IsOpen());
    ASSERT_TRUE(std::filesystem::create_directories(dir.File("junk/VIDEO_TS")));
    testsupport::WriteText(dir.File("junk/VIDEO_TS/VIDEO_TS.IFO"), std::string(5000, 'j'));
    EXPECT_FALSE(disc.Open(dir.File("junk"), &error));
    EXPECT_EQ(disc.TitleCount(), 0);
    testsupport::WriteText(dir.File("image.iso"), std::string(100, 'i'));
    EXPECT_FALSE(disc.Open(dir.File("image.iso"), &error));
}

TEST(DvdDisc, TextDataIsReadByLanguageWithItsMarks) {
    testsupport::TempDir dir;
    const std::string folder = dir.File("disc");
    std::filesystem::copy(testmedia::Dvd(), folder, std::filesystem::copy_options::recursive);
    ASSERT_TRUE(testmedia::AddDvdText(
        folder, {{"en",
                  0x11,
                  {{0x01, ""},
                   {0x30, "Velkora test disc"},
                   {0x02, ""},
                   {0x30, "Bars"},
                   {0x31, "Caf\xE9 \xE0 la carte"}}},
                 {"ja", 0x12, {{0x01, ""}, {0x30, "\x83\x65\x83\x58\x83\x67 ok"}}}}));
    plat::DvdDisc disc;
    std::string error;
    ASSERT_TRUE(disc.Open(folder, &error)) << error;
    ASSERT_TRUE(disc.TextReadable());
    ASSERT_EQ(disc.TextLanguages(), 2);
    const plat::DvdTextLanguage& en = disc.Text()[0];
    EXPECT_EQ(en.language, "en");
    ASSERT_TRUE(en.readable);
    ASSERT_EQ(en.strings.size(), 5u);
    EXPECT_EQ(en.strings[0].type, 0x01);
    EXPECT_TRUE(en.strings[0].text.empty());
    EXPECT_EQ(en.strings[1].text, u"Velkora test disc");
    EXPECT_EQ(en.strings[2].type, 0x02);
    EXPECT_EQ(en.strings[3].text, u"Bars");
    EXPECT_EQ(en.strings[4].type, 0x31);
    EXPECT_EQ(en.strings[4].text, u"Caf\u00E9 \u00E0 la carte");
    const plat::DvdTextLanguage& ja = disc.Text()[1];
    EXPECT_EQ(ja.language, "ja");
    ASSERT_EQ(ja.strings.size(), 2u);
    EXPECT_EQ(ja.strings[1].text, u"\u30C6\u30B9\u30C8 ok");
    // The rest of the disc reads as before the block was added.
    EXPECT_EQ(disc.TitleCount(), 2);
}

TEST(DvdDisc, BrokenTextDataIsBoundedAndSaysSo) {
    // Built by hand: a header for three languages in a block of 400 bytes.
    std::vector<uint8_t> block(400, 0);
    block[0x0E] = 0;
    block[0x0F] = 3;
    block[0x12] = 0xFF;  // the block's end beyond what there is: what there is counts
    // Language 1: a unit whose string pointers run past the block.
    block[20] = 'e';
    block[21] = 'n';
    block[27] = 44;
    block[45] = 0xFF;
    block[44 + 0xCC] = 0x7F;
    // Language 2: a unit that starts past the block; language 3's pointer is left zero, which
    // points at the header itself and finds no string table there.
    block[28] = 'd';
    block[29] = 'e';
    block[32] = 0x10;
    std::vector<plat::DvdTextLanguage> languages;
    ASSERT_TRUE(plat::ParseDvdText(block.data(), block.size(), &languages));
    ASSERT_EQ(languages.size(), 3u);
    for (const auto& language : languages) {
        EXPECT_FALSE(language.readable);
        EXPECT_TRUE(language.strings.empty());
    }
    EXPECT_EQ(languages[0].language, "en");
    // A string without its end mark stops at the unit's end; one pointing outside has no text.
    const size_t unit = 28;  // after the header and the one language's pointer
    const size_t table = unit + 0xCC;
    block.assign(table + 4 + 8 + 6, 0);
    block[0x0F] = 1;
    block[0x13] = 0xFF;
    block[0x12] = 0xFF;
    block[20] = 'e';
    block[21] = 'n';
    block[23] = 0x01;
    block[27] = unit;
    block[unit + 2] = 0xFF;  // the unit's end beyond the block too
    block[table + 1] = 2;
    block[table + 4] = 0x30;
    block[table + 7] = 12;  // just after the two pointers
    block[table + 8] = 0x30;
    block[table + 10] = 0x7F;
    for (size_t i = table + 12; i < block.size(); ++i)
        block[i] = 'a';
    ASSERT_TRUE(plat::ParseDvdText(block.data(), block.size(), &languages));
    ASSERT_EQ(languages.size(), 1u);
    ASSERT_TRUE(languages[0].readable);
    ASSERT_EQ(languages[0].strings.size(), 2u);
    EXPECT_EQ(languages[0].strings[0].text, std::u16string(6, u'a'));
    EXPECT_TRUE(languages[0].strings[1].text.empty());
    EXPECT_FALSE(plat::ParseDvdText(block.data(), 19, &languages));
    EXPECT_TRUE(languages.empty());
}

TEST(DvdDisc, SourcePathsAndPresence) {
    EXPECT_EQ(plat::DvdSourcePath("/media/disc/VIDEO_TS/VIDEO_TS.IFO"), "/media/disc");
    EXPECT_EQ(plat::DvdSourcePath("/media/disc/video_ts/video_ts.ifo"), "/media/disc");
    EXPECT_EQ(plat::DvdSourcePath("/media/disc/VIDEO_TS/"), "/media/disc");
    EXPECT_EQ(plat::DvdSourcePath("D:\\Films\\VIDEO_TS\\VIDEO_TS.IFO"), "D:/Films");
    EXPECT_EQ(plat::DvdSourcePath("/dev/sr0"), "/dev/sr0");
    EXPECT_EQ(plat::DvdSourcePath("VIDEO_TS"), ".");

    testsupport::TempDir dir;
    EXPECT_FALSE(plat::DvdPresent(dir.File("disc")));
    ASSERT_TRUE(std::filesystem::create_directories(dir.File("disc/video_ts")));
    EXPECT_FALSE(plat::DvdPresent(dir.File("disc")));  // a folder without the disc's files
    testsupport::WriteText(dir.File("disc/video_ts/video_ts.ifo"), "x");
    EXPECT_TRUE(plat::DvdPresent(dir.File("disc")));  // names matched as a disc writes them
    std::filesystem::rename(dir.File("disc"), dir.File("gone"));
    EXPECT_FALSE(plat::DvdPresent(dir.File("disc")));
    testsupport::WriteText(dir.File("image.iso"), "x");
    EXPECT_TRUE(plat::DvdPresent(dir.File("image.iso")));
}

TEST(LanguageNames, TwoLetterCodesInEnglish) {
    EXPECT_STREQ(plat::EnglishLanguageName("sv"), "Swedish");
    EXPECT_STREQ(plat::EnglishLanguageName("EN"), "English");
    EXPECT_STREQ(plat::EnglishLanguageName("aa"), "Afar");
    EXPECT_STREQ(plat::EnglishLanguageName("zu"), "Zulu");
    EXPECT_STREQ(plat::EnglishLanguageName("it"), "Italian");
    EXPECT_EQ(plat::EnglishLanguageName("qq"), nullptr);
    EXPECT_EQ(plat::EnglishLanguageName("eng"), nullptr);
    EXPECT_EQ(plat::EnglishLanguageName(""), nullptr);
}
