#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "library/include/Vantrel.h"
#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

using KvUtility::DIR_ENTRY_FILE;
using KvUtility::DIR_ENTRY_FOLDER;
using KvUtility::IKvDirectory;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

using Listing = std::vector<std::pair<std::string, uint16_t>>;

class KvDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = CreateIVantrel();
        ASSERT_EQ(m_root->CreateDirectory(&m_dir), RZ_OK);
    }
    void TearDown() override {
        m_dir->Release();
        m_root->Release();
    }
    void Touch(const std::string& name) { WriteText(m_tmp.File(name), "data"); }
    void MakeFolder(const std::string& name) {
        ASSERT_EQ(::mkdir(m_tmp.File(name).c_str(), 0777), 0) << name;
    }
    void SetFilter(std::vector<const char16_t*> extensions) {
        ASSERT_EQ(m_dir->SetFilter(static_cast<int>(extensions.size()), extensions.data()), RZ_OK);
    }
    // Scans `path` and reads every entry back, in the scanner's order.
    Listing ScanList(const std::u16string& path) {
        EXPECT_EQ(m_dir->SetPath(path.c_str()), RZ_OK);
        EXPECT_EQ(m_dir->Scan(), RZ_OK);
        return Read();
    }
    Listing Read() {
        Listing out;
        char16_t name[KvUtility::KVDIR_NAME_CHARS];
        uint16_t type = 0;
        for (RZRESULT r = m_dir->GetFirst(name, KvUtility::KVDIR_NAME_CHARS, &type); r == RZ_OK;
             r = m_dir->GetNext(name, KvUtility::KVDIR_NAME_CHARS, &type))
            out.emplace_back(plat::Utf16ToUtf8(name), type);
        return out;
    }
    static bool Has(const Listing& l, const std::string& name, uint16_t type) {
        for (auto& e : l)
            if (e.first == name && e.second == type)
                return true;
        return false;
    }
    static bool HasName(const Listing& l, const std::string& name) {
        for (auto& e : l)
            if (e.first == name)
                return true;
        return false;
    }

    TempDir m_tmp;
    IVantrel* m_root = nullptr;
    IKvDirectory* m_dir = nullptr;
};

}  // namespace

TEST_F(KvDirectory, ExtensionFilterIgnoresCaseAndNeedsARealExtension) {
    for (const char* f : {"Song.MP3", "song", ".mp3", "a.b.wav", "x.WaV", "notes.txt",
                          ".hidden.mp3", "Caf\xC3\xA9.mp3", "\xE6\xAD\x8C.Mp3", "trailing."})
        Touch(f);
    SetFilter({u"mp3", u"wav"});
    Listing l = ScanList(plat::Utf8ToUtf16(m_tmp.Path()));
    for (const char* f :
         {"Song.MP3", "a.b.wav", "x.WaV", ".hidden.mp3", "Caf\xC3\xA9.mp3", "\xE6\xAD\x8C.Mp3"})
        EXPECT_TRUE(Has(l, f, DIR_ENTRY_FILE)) << f;
    for (const char* f : {"song", ".mp3", "notes.txt", "trailing."})
        EXPECT_FALSE(HasName(l, f)) << f;
    EXPECT_EQ(l.size(), 8u);  // the six files, "." and ".."
}

TEST_F(KvDirectory, FoldersAreAlwaysListedWithTheDotsFirst) {
    Touch("z.mp3");
    MakeFolder("Album");
    MakeFolder("b.txt");  // a folder's name is never filtered
    SetFilter({u"mp3"});
    Listing l = ScanList(plat::Utf8ToUtf16(m_tmp.Path()));
    ASSERT_GE(l.size(), 2u);
    // Callers take the first entry for the folder's own ".".
    EXPECT_EQ(l[0], Listing::value_type(".", DIR_ENTRY_FOLDER));
    EXPECT_EQ(l[1], Listing::value_type("..", DIR_ENTRY_FOLDER));
    EXPECT_TRUE(Has(l, "Album", DIR_ENTRY_FOLDER));
    EXPECT_TRUE(Has(l, "b.txt", DIR_ENTRY_FOLDER));
    EXPECT_TRUE(Has(l, "z.mp3", DIR_ENTRY_FILE));
    EXPECT_EQ(l.size(), 5u);
}

TEST_F(KvDirectory, DvdVideoFolderShowsOnlyItsStartFile) {
    for (const char* f : {"VIDEO_TS.IFO", "video_ts.vob", "VIDEO_TS.BUP", "VTS_01_0.IFO",
                          "VTS_01_1.VOB", "vts_01_2.vob", "extra.vob"})
        Touch(f);
    std::u16string path = plat::Utf8ToUtf16(m_tmp.Path());
    EXPECT_EQ(ScanList(path).size(), 9u);  // no filter set: every file

    SetFilter({u"vob"});
    Listing l = ScanList(path);
    EXPECT_TRUE(Has(l, "VIDEO_TS.IFO", DIR_ENTRY_FILE));
    EXPECT_TRUE(Has(l, "extra.vob", DIR_ENTRY_FILE));
    EXPECT_TRUE(Has(l, "vts_01_2.vob", DIR_ENTRY_FILE));  // the title prefix is upper case
    for (const char* f : {"video_ts.vob", "VIDEO_TS.BUP", "VTS_01_0.IFO", "VTS_01_1.VOB"})
        EXPECT_FALSE(HasName(l, f)) << f;

    // A filter set with no extensions lets every file through but the menu video.
    ASSERT_EQ(m_dir->SetFilter(0, nullptr), RZ_OK);
    l = ScanList(path);
    EXPECT_FALSE(HasName(l, "video_ts.vob"));
    EXPECT_TRUE(Has(l, "VTS_01_1.VOB", DIR_ENTRY_FILE));
    EXPECT_EQ(l.size(), 8u);
}

TEST_F(KvDirectory, DvdRulesDoNotDependOnWhichNameComesFirst) {
    // A folder with a single file: that file is the first name the system hands out.
    MakeFolder("menu");
    MakeFolder("start");
    WriteText(m_tmp.File("menu/VIDEO_TS.VOB"), "x");
    WriteText(m_tmp.File("start/video_ts.ifo"), "x");
    SetFilter({u"vob"});
    EXPECT_FALSE(HasName(ScanList(plat::Utf8ToUtf16(m_tmp.File("menu"))), "VIDEO_TS.VOB"));
    EXPECT_TRUE(
        Has(ScanList(plat::Utf8ToUtf16(m_tmp.File("start"))), "video_ts.ifo", DIR_ENTRY_FILE));
}

TEST_F(KvDirectory, TrailingBackslashAndForeignSeparatorsListTheSameFolder) {
    MakeFolder("Music");
    WriteText(m_tmp.File("Music/a.mp3"), "x");
    WriteText(m_tmp.File("Music/b.wav"), "x");
    std::u16string base = plat::Utf8ToUtf16(m_tmp.Path());
    Listing plain = ScanList(base + u"/Music");
    EXPECT_EQ(plain.size(), 4u);
    EXPECT_EQ(ScanList(base + u"/Music\\"), plain);
    EXPECT_EQ(ScanList(base + u"\\Music"), plain);
}

TEST_F(KvDirectory, LinksAndSpecialFiles) {
    Touch("real.mp3");
    MakeFolder("sub");
    ASSERT_EQ(::symlink("real.mp3", m_tmp.File("linked.mp3").c_str()), 0);
    ASSERT_EQ(::symlink(".", m_tmp.File("loop").c_str()), 0);
    ASSERT_EQ(::symlink("loop2", m_tmp.File("loop1").c_str()), 0);
    ASSERT_EQ(::symlink("loop1", m_tmp.File("loop2").c_str()), 0);
    ASSERT_EQ(::symlink("gone.mp3", m_tmp.File("dangling.mp3").c_str()), 0);
    ASSERT_EQ(::mkfifo(m_tmp.File("pipe.mp3").c_str(), 0666), 0);
    Listing l = ScanList(plat::Utf8ToUtf16(m_tmp.Path()));
    EXPECT_TRUE(Has(l, "linked.mp3", DIR_ENTRY_FILE));
    EXPECT_TRUE(Has(l, "loop", DIR_ENTRY_FOLDER));  // listed, never followed by the scan
    for (const char* f : {"loop1", "loop2", "dangling.mp3", "pipe.mp3"})
        EXPECT_FALSE(HasName(l, f)) << f;
    EXPECT_EQ(l.size(), 6u);
}

TEST_F(KvDirectory, OverLongNamesAreSkippedNeverCut) {
    std::string fits(124, 'a');
    fits += ".mp3";  // 128 characters: fills the name field
    std::string tooLong(125, 'b');
    tooLong += ".mp3";
    // Two bytes in UTF-8, one unit in UTF-16: 100 of them fit.
    std::string wide;
    for (int i = 0; i < 100; ++i)
        wide += "\xC3\xA9";
    wide += ".mp3";
    Touch(fits);
    Touch(tooLong);
    Touch(wide);
    Listing l = ScanList(plat::Utf8ToUtf16(m_tmp.Path()));
    EXPECT_TRUE(Has(l, fits, DIR_ENTRY_FILE));
    EXPECT_TRUE(Has(l, wide, DIR_ENTRY_FILE));
    EXPECT_EQ(l.size(), 4u);
    for (auto& e : l)
        EXPECT_EQ(e.first.find("bbbb"), std::string::npos) << "a cut name was listed";
}

TEST_F(KvDirectory, ReadingPastTheEndAndStartingOver) {
    Touch("a.mp3");
    char16_t name[KvUtility::KVDIR_NAME_CHARS];
    uint16_t type = 0;
    EXPECT_EQ(m_dir->GetFirst(name, KvUtility::KVDIR_NAME_CHARS, &type), RZ_FAIL);
    EXPECT_EQ(m_dir->GetNext(name, KvUtility::KVDIR_NAME_CHARS, &type), RZ_FAIL);
    Listing first = ScanList(plat::Utf8ToUtf16(m_tmp.Path()));
    ASSERT_EQ(first.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(m_dir->GetNext(name, KvUtility::KVDIR_NAME_CHARS, &type), RZ_FAIL);
    EXPECT_EQ(Read(), first);

    // At most `size` units are copied, always terminated.
    char16_t small[6] = {u'#', u'#', u'#', u'#', u'#', u'#'};
    ASSERT_EQ(m_dir->GetFirst(small, 4, &type), RZ_OK);
    ASSERT_EQ(m_dir->GetNext(small, 4, &type), RZ_OK);
    ASSERT_EQ(m_dir->GetNext(small, 4, &type), RZ_OK);  // after "." and "..": a.mp3
    EXPECT_EQ(std::u16string(small), u"a.m");
    EXPECT_EQ(small[4], u'#');
    EXPECT_EQ(type, DIR_ENTRY_FILE);

    EXPECT_EQ(m_dir->Clear(), RZ_OK);
    EXPECT_TRUE(Read().empty());
    EXPECT_EQ(m_dir->AddRef(), 2);  // the factory gave exactly one reference
    EXPECT_EQ(m_dir->Release(), 1);
}

TEST_F(KvDirectory, PathLimitsAndFoldersThatCannotBeListed) {
    MakeFolder("keep");
    WriteText(m_tmp.File("keep/k.mp3"), "x");
    std::u16string keep = plat::Utf8ToUtf16(m_tmp.File("keep"));
    ASSERT_EQ(ScanList(keep).size(), 3u);

    EXPECT_EQ(m_dir->SetPath(nullptr), RZ_NONE);
    EXPECT_EQ(m_dir->SetPath(std::u16string(512, u'x').c_str()), RZ_NONE);
    EXPECT_EQ(m_dir->Scan(), RZ_OK);  // still the old path
    EXPECT_EQ(Read().size(), 3u);
    std::u16string longest = keep + u"/" + std::u16string(511 - keep.size() - 1, u'y');
    EXPECT_EQ(m_dir->SetPath(longest.c_str()), RZ_OK);
    EXPECT_EQ(m_dir->Scan(), RZ_FAIL);  // missing: an empty list
    EXPECT_TRUE(Read().empty());

    EXPECT_EQ(ScanList(keep).size(), 3u);
    EXPECT_EQ(m_dir->SetPath(u""), RZ_OK);
    EXPECT_EQ(m_dir->Scan(), RZ_FAIL);
    EXPECT_EQ(Read().size(), 3u);  // an empty path leaves the old entries

    EXPECT_EQ(m_dir->SetPath(plat::Utf8ToUtf16(m_tmp.File("keep/k.mp3")).c_str()), RZ_OK);
    EXPECT_EQ(m_dir->Scan(), RZ_FAIL);  // a file is no folder
    EXPECT_TRUE(Read().empty());
}
