// Skin files are parsed once while they stay as they were, and read anew once changed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "library/utility/IniReader.h"
#include "platform/gfx/ImageFile.h"
#include "platform/text/Text.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;

namespace {

class IniCache : public ::testing::Test {
protected:
    void SetUp() override { KvUtility::ClearIniCache(); }
    void TearDown() override {
        KvUtility::SetIniCacheLimit(KvUtility::kDefaultIniCacheBytes);
        KvUtility::ClearIniCache();
    }

    std::u16string Get(const std::string& file, const char16_t* section, const char16_t* key,
                       RZRESULT* rc = nullptr) {
        char16_t out[128];
        const std::u16string path = m_dir.File16(file);
        RZRESULT r = KvUtility::IniGetString(path.c_str(), section, key, out, 128);
        if (rc)
            *rc = r;
        return r == RZ_OK ? std::u16string(out) : u"<fail>";
    }

    TempDir m_dir;
};

}  // namespace

TEST_F(IniCache, RepeatedLookupsReadTheFileOnceAndAnswerAsTheTextDoes) {
    // Quirks included: a header found inside a value, a row with "[" ending a section, a
    // comment, a section asked for twice and a missing one asked for twice.
    const std::string text =
        "; skin\r\n[Main]\r\nA = 1, 2 ; c\r\nB == x\r\n[Other]\r\nA = 3\r\nLink = see [Main]\r\n"
        "C = 4\r\n[Last]\r\nZ = 9\r\n";
    WriteUtf16(m_dir.File("s.ini"), text);
    AgeFile(m_dir.File("s.ini"));
    const std::u16string wide = plat::Utf8ToUtf16(text);
    struct Ask {
        const char16_t* section;
        const char16_t* key;
    };
    const Ask asks[] = {{u"Main", u"A"}, {u"Main", u"B"},    {u"Other", u"A"}, {u"Other", u"C"},
                        {u"Last", u"Z"}, {u"Nope", u"A"},    {u"Main", u"Q"},  {u"Main", u"A"},
                        {u"Nope", u"A"}, {u"Other", u"Link"}};
    for (int round = 0; round < 2; ++round) {
        for (const Ask& a : asks) {
            char16_t want[128];
            const RZRESULT wantRc =
                KvUtility::IniGetStringFromText(wide.c_str(), a.section, a.key, want, 128);
            RZRESULT rc = RZ_OK;
            const std::u16string got = Get("s.ini", a.section, a.key, &rc);
            EXPECT_EQ(rc, wantRc) << plat::Utf16ToUtf8(a.section) << "/"
                                  << plat::Utf16ToUtf8(a.key);
            if (rc == RZ_OK) {
                EXPECT_EQ(got, std::u16string(want));
            }
        }
    }
    EXPECT_EQ(Get("s.ini", u"Main", u"A"), u"1, 2");
    EXPECT_EQ(Get("s.ini", u"Other", u"C"), u"");  // the "[" row ended the section
    const plat::FileCacheStats stats = KvUtility::IniCacheStats();
    EXPECT_EQ(stats.entries, 1u);
    EXPECT_EQ(stats.misses, 1u);
    EXPECT_GE(stats.hits, 20u);
}

TEST_F(IniCache, FileWrittenOverWithTheSameSizeIsReadAnew) {
    const std::string path = m_dir.File("k.ini");
    WriteUtf16(path, "[Keys]\r\nA Img = key-1.png\r\n");
    AgeFile(path);
    EXPECT_EQ(Get("k.ini", u"Keys", u"A Img"), u"key-1.png");
    EXPECT_EQ(Get("k.ini", u"Keys", u"A Img"), u"key-1.png");
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    WriteUtf16(path, "[Keys]\r\nA Img = key-2.png\r\n");
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    ASSERT_EQ(before.st_size, after.st_size);
    ASSERT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(Get("k.ini", u"Keys", u"A Img"), u"key-2.png");
    EXPECT_EQ(Get("k.ini", u"Keys", u"A Img"), u"key-2.png");
}

TEST_F(IniCache, FileReplacedByRenameIsReadAnewAndAGoneFileFails) {
    const std::string path = m_dir.File("r.ini");
    WriteUtf16(path, "[S]\r\nv = old\r\n");
    AgeFile(path, 100);
    EXPECT_EQ(Get("r.ini", u"S", u"v"), u"old");
    struct stat old;
    ASSERT_EQ(::stat(path.c_str(), &old), 0);
    // The same size and modification time: only the inode differs, as after an atomic save.
    const std::string next = m_dir.File("r.new");
    WriteUtf16(next, "[S]\r\nv = new\r\n");
    const struct timespec times[2] = {old.st_mtim, old.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, next.c_str(), times, 0), 0);
    ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
    EXPECT_EQ(Get("r.ini", u"S", u"v"), u"new");

    ASSERT_EQ(std::remove(path.c_str()), 0);
    RZRESULT rc = RZ_OK;
    Get("r.ini", u"S", u"v", &rc);
    EXPECT_EQ(rc, RZ_FAIL);
}

TEST_F(IniCache, StaysWithinItsBound) {
    KvUtility::SetIniCacheLimit(4096);
    for (int i = 0; i < 30; ++i) {
        const std::string name = "f" + std::to_string(i) + ".ini";
        std::string text = "[S]\r\n";
        for (int k = 0; k < 10; ++k)
            text += "key" + std::to_string(k) + " = " + std::to_string(i * 100 + k) + "\r\n";
        WriteUtf16(m_dir.File(name), text);
        AgeFile(m_dir.File(name));
    }
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 30; ++i) {
            const std::string name = "f" + std::to_string(i) + ".ini";
            for (int k = 0; k < 10; k += 3) {
                const std::u16string key = u"key" + plat::Utf8ToUtf16(std::to_string(k));
                EXPECT_EQ(Get(name, u"S", key.c_str()),
                          plat::Utf8ToUtf16(std::to_string(i * 100 + k)));
            }
            EXPECT_LE(KvUtility::IniCacheStats().bytes, 4096u);
        }
    }
    EXPECT_GT(KvUtility::IniCacheStats().entries, 0u);
}

TEST_F(IniCache, ThreadsReadingWhileTheFileIsReplacedSeeOneVersionOrTheOther) {
    // Both seats' pages read the same skin files; a skin update replaces them meanwhile.
    const std::string path = m_dir.File("seat.ini");
    auto version = [](int v) {
        std::string text = "[Page]\r\n";
        for (int k = 0; k < 40; ++k)
            text += "Item" + std::to_string(k) + " Pos = " + std::to_string(v) + ", " +
                    std::to_string(k) + "\r\n";
        return text;
    };
    WriteUtf16(path, version(1));
    AgeFile(path);
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 6; ++t) {
        readers.emplace_back([&, t] {
            for (int n = 0; n < 3000 && (!stop || n < 100); ++n) {
                const int k = (t * 7 + n) % 40;
                const std::u16string key = u"Item" + plat::Utf8ToUtf16(std::to_string(k)) + u" Pos";
                char16_t out[64];
                const std::u16string file = plat::Utf8ToUtf16(path);
                if (KvUtility::IniGetString(file.c_str(), u"Page", key.c_str(), out, 64) != RZ_OK) {
                    ++bad;
                    continue;
                }
                const std::u16string tail = u", " + plat::Utf8ToUtf16(std::to_string(k));
                const std::u16string got(out);
                if (got != u"1" + tail && got != u"2" + tail)
                    ++bad;
            }
        });
    }
    for (int round = 0; round < 30; ++round) {
        const std::string temp = path + ".new";
        WriteUtf16(temp, version(round % 2 == 0 ? 2 : 1));
        AgeFile(temp, 100 + round);
        ASSERT_EQ(std::rename(temp.c_str(), path.c_str()), 0);
    }
    stop = true;
    for (std::thread& t : readers)
        t.join();
    EXPECT_EQ(bad.load(), 0);
    // Round 29 wrote version 1.
    EXPECT_EQ(Get("seat.ini", u"Page", u"Item5 Pos"), u"1, 5");
}

TEST_F(IniCache, PicturesNamedBesideTheFileAreDecodedAhead) {
    plat::ClearImageCache();
    const std::vector<uint8_t> png = EncodePngStored(2, 2, std::vector<uint8_t>(16, 200));
    for (const char* name : {"bg.png", "key-48.PNG", "elsewhere.png"}) {
        WriteBytes(m_dir.File(name), png);
        AgeFile(m_dir.File(name));
    }
    // Names with folders and names of things that are not there are left alone.
    WriteUtf16(m_dir.File("page.ini"),
               "[Property]\r\nBackground = bg.png\r\n[Buttons]\r\nK Img = key-48.PNG\r\n"
               "L Img = sub\\elsewhere.png\r\nM Img = missing.png\r\nTitle = v1.2, .png\r\n");
    AgeFile(m_dir.File("page.ini"));
    EXPECT_EQ(Get("page.ini", u"Buttons", u"K Img"), u"key-48.PNG");
    ASSERT_TRUE(WaitFor([] { return plat::ImageCacheStats().entries == 2; }));
    plat::Surface s;
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("bg.png"), s));
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("key-48.PNG"), s));
    EXPECT_EQ(plat::ImageCacheStats().hits, 2u);
    EXPECT_EQ(plat::ImageCacheStats().entries, 2u);
    plat::ClearImageCache();
}
