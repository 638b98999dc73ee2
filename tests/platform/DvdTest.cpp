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
