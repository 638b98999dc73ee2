#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "library/include/Vantrel.h"
#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

using KvMultimedia::IKvPlaylist;
using KvMultimedia::IKvPListContainer;
using testsupport::Exists;
using testsupport::ReadBytes;
using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

using Pairs = std::vector<std::pair<std::u16string, std::u16string>>;

// A playlist file as the units write it, built here unit by unit.
std::vector<uint8_t> FileBytes(const Pairs& pairs) {
    std::vector<uint8_t> out;
    auto unit = [&out](char16_t c) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    };
    for (auto& p : pairs) {
        for (const std::u16string* line : {&p.first, &p.second}) {
            for (char16_t c : *line)
                unit(c);
            unit(u'\n');
            unit(0);
        }
    }
    return out;
}

// Raw UTF-16LE of a text, for files that break the usual shape.
std::vector<uint8_t> Units(const std::u16string& text) {
    std::vector<uint8_t> out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

Pairs Entries(IKvPlaylist* list) {
    Pairs out;
    int count = 0;
    list->GetCount(&count);
    for (int i = 0; i < count; ++i) {
        char16_t* name = nullptr;
        char16_t* folder = nullptr;
        uint8_t type = 9;
        EXPECT_EQ(list->GetItem(&name, &folder, &type, i), RZ_OK);
        EXPECT_EQ(type, 0);
        out.emplace_back(name, folder);
    }
    return out;
}

class KvPListContainer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::mkdir(m_tmp.File("PLAYLIST").c_str(), 0777), 0);
        m_root = CreateIVantrel();
        ASSERT_EQ(m_root->CreatePListContainer(&m_box), RZ_OK);
    }
    void TearDown() override {
        if (m_box) {
            EXPECT_EQ(m_box->Release(), 0);
        }
        m_root->Release();
    }
    std::string PlaylistFile(const std::string& name) { return m_tmp.File("PLAYLIST/" + name); }
    IKvPlaylist* Create(const char16_t* name, const Pairs& pairs) {
        IKvPlaylist* list = nullptr;
        int index = -1;
        EXPECT_EQ(m_box->CreatePlaylist(name, &list, &index), RZ_OK);
        for (auto& p : pairs)
            EXPECT_EQ(list->AddItem(p.first.c_str(), p.second.c_str()), RZ_OK);
        return list;
    }
    int Count() {
        int n = -1;
        m_box->GetCount(&n);
        return n;
    }
    IKvPlaylist* Find(const char16_t* name) {
        IKvPlaylist* list = nullptr;
        int index = -1;
        return m_box->FindPlaylist(name, &list, &index, 0) == RZ_OK ? list : nullptr;
    }
    std::u16string NameAt(int index) {
        char16_t* name = nullptr;
        return m_box->GetNameAt(&name, index) == RZ_OK ? name : u"(none)";
    }

    TempDir m_tmp;
    ScopedCwd m_cwd{m_tmp.Path()};
    IVantrel* m_root = nullptr;
    IKvPListContainer* m_box = nullptr;
};

}  // namespace

TEST_F(KvPListContainer, SavesTheDocumentedBytes) {
    Create(u"Playlist01", {{u"a.mp3", u"D:\\Music"}});
    ASSERT_EQ(m_box->SavePlaylist(u"Playlist01"), RZ_OK);
    const std::vector<uint8_t> expected = {0x61, 0x00, 0x2E, 0x00, 0x6D, 0x00, 0x70, 0x00, 0x33,
                                           0x00, 0x0A, 0x00, 0x00, 0x00, 0x44, 0x00, 0x3A, 0x00,
                                           0x5C, 0x00, 0x4D, 0x00, 0x75, 0x00, 0x73, 0x00, 0x69,
                                           0x00, 0x63, 0x00, 0x0A, 0x00, 0x00, 0x00};
    EXPECT_EQ(ReadBytes(PlaylistFile("Playlist01")), expected);

    // Loading the folder again yields that one playlist, named like its file.
    ASSERT_EQ(m_box->LoadAll(u"PLAYLIST"), RZ_OK);
    ASSERT_EQ(Count(), 1);
    EXPECT_EQ(NameAt(0), u"Playlist01");
    EXPECT_EQ(Entries(Find(u"Playlist01")), (Pairs{{u"a.mp3", u"D:\\Music"}}));
}

TEST_F(KvPListContainer, NonAsciiRoundTripMatchesAHandWrittenFile) {
    const Pairs pairs = {
        {u"Caf\u00e9 del Mar.mp3", u"E:\\M\u00fcsik\\\u65e5\u672c"},
        {u"\u6b4c.wav", u"F:\\"},
        {u"\U0001F3B5 note.mp3", u"D:\\\u00c5r"},  // outside the basic plane: a surrogate pair
        {u"trailing blank ", u"D:\\x\r"},
    };
    const std::u16string name = u"Mix \u00dc\u6b4c";
    Create(name.c_str(), pairs);
    ASSERT_EQ(m_box->SavePlaylist(name.c_str()), RZ_OK);
    const std::string fileName = plat::Utf16ToUtf8(name);
    EXPECT_EQ(ReadBytes(PlaylistFile(fileName)), FileBytes(pairs));

    // A file written by hand in the same format loads to the same entries.
    WriteBytes(PlaylistFile("by hand"), FileBytes(pairs));
    IKvPListContainer* other = nullptr;
    ASSERT_EQ(m_root->CreatePListContainer(&other), RZ_OK);
    ASSERT_EQ(other->LoadAll(u"PLAYLIST"), RZ_OK);
    int count = 0;
    other->GetCount(&count);
    EXPECT_EQ(count, 2);
    IKvPlaylist* loaded = nullptr;
    int index = -1;
    ASSERT_EQ(other->FindPlaylist(name.c_str(), &loaded, &index, 0), RZ_OK);
    EXPECT_EQ(Entries(loaded), pairs);
    ASSERT_EQ(other->FindPlaylist(u"by hand", &loaded, &index, 0), RZ_OK);
    EXPECT_EQ(Entries(loaded), pairs);
    other->Release();
}

TEST_F(KvPListContainer, LoaderLineRules) {
    // Last line without a line feed: lost.
    WriteBytes(PlaylistFile("no-final-lf"),
               Units(std::u16string(u"a.mp3\n\0D:\\A\n\0b.mp3\n\0D:\\B", 24)));
    // Odd number of lines: the unpaired name is lost.
    WriteBytes(PlaylistFile("odd"), FileBytes({{u"a.mp3", u"D:\\A"}, {u"b.mp3", u"x"}}));
    std::vector<uint8_t> odd = ReadBytes(PlaylistFile("odd"));
    odd.resize(odd.size() - 6);  // drop the last folder line "x\n\0"
    WriteBytes(PlaylistFile("odd"), odd);
    // Leading blanks and tabs go, trailing ones stay; a carriage return stays in the line.
    WriteBytes(PlaylistFile("blanks"), FileBytes({{u" \t a.mp3 \t", u"\t D:\\A\r"}}));
    // An odd byte at the end and text after the last line feed are ignored.
    std::vector<uint8_t> tail = FileBytes({{u"a.mp3", u"D:\\A"}});
    for (uint8_t b : Units(u"junk"))
        tail.push_back(b);
    tail.push_back(0x41);
    WriteBytes(PlaylistFile("tail"), tail);
    // A line ends early at a NUL.
    WriteBytes(PlaylistFile("nul"), Units(std::u16string(u"a.mp3\0xx\n\0D:\\A\n\0", 17)));

    ASSERT_EQ(m_box->LoadAll(u"PLAYLIST"), RZ_OK);
    EXPECT_EQ(Count(), 5);
    EXPECT_EQ(Entries(Find(u"no-final-lf")), (Pairs{{u"a.mp3", u"D:\\A"}}));
    EXPECT_EQ(Entries(Find(u"odd")), (Pairs{{u"a.mp3", u"D:\\A"}}));
    EXPECT_EQ(Entries(Find(u"blanks")), (Pairs{{u"a.mp3 \t", u"D:\\A\r"}}));
    EXPECT_EQ(Entries(Find(u"tail")), (Pairs{{u"a.mp3", u"D:\\A"}}));
    EXPECT_EQ(Entries(Find(u"nul")), (Pairs{{u"a.mp3", u"D:\\A"}}));
}

TEST_F(KvPListContainer, LongLinesLoadWithoutOverflowAndOverLongPairsAreDropped) {
    const std::u16string longName(1500, u'n');   // far past a 512-unit line buffer
    const std::u16string longFolder(544, u'f');  // 2044 together: still fits
    WriteBytes(PlaylistFile("long"), FileBytes({{u"a.mp3", u"D:\\A"},
                                                {longName, longFolder},
                                                {longName, longFolder + u"f"},
                                                {std::u16string(70000, u'z'), u"D:\\"},
                                                {u"b.mp3", u"D:\\B"}}));
    ASSERT_EQ(m_box->LoadAll(u"PLAYLIST"), RZ_OK);
    EXPECT_EQ(Entries(Find(u"long")),
              (Pairs{{u"a.mp3", u"D:\\A"}, {longName, longFolder}, {u"b.mp3", u"D:\\B"}}));
}

TEST_F(KvPListContainer, LoadingTakesFilesOnlyAndStartsAfresh) {
    WriteBytes(PlaylistFile("one"), FileBytes({{u"1.mp3", u"D:\\"}}));
    WriteBytes(PlaylistFile("two.txt"), FileBytes({{u"2.mp3", u"D:\\"}}));
    std::vector<uint8_t> junk = {0x00, 0xFF, 0x0A, 0x00, 0x00, 0x00, 0x41,
                                 0x00, 0x0A, 0x00, 0x00, 0x00, 0x42};  // not a playlist we wrote
    WriteBytes(PlaylistFile("junk.bin"), junk);
    ASSERT_EQ(::mkdir(PlaylistFile("folder").c_str(), 0777), 0);
    ASSERT_EQ(::mkfifo(PlaylistFile("pipe").c_str(), 0666), 0);
    // What a save cut short by a power loss leaves behind is no playlist.
    WriteBytes(PlaylistFile(".one.Xy12Zw"), FileBytes({{u"half", u"D:\\"}}));
    // Too big to be a playlist: refused whole, never read (a sparse file costs no disk).
    ASSERT_EQ(::truncate(PlaylistFile("one").c_str(), 34), 0);
    WriteBytes(PlaylistFile("huge"), FileBytes({{u"h.mp3", u"D:\\"}}));
    ASSERT_EQ(::truncate(PlaylistFile("huge").c_str(), 65 << 20), 0);

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(m_box->LoadAll(u"PLAYLIST"), RZ_OK);
        EXPECT_EQ(Count(), 3) << round;
        ASSERT_NE(Find(u"one"), nullptr);
        EXPECT_EQ(Entries(Find(u"one")).size(), 1u);
        ASSERT_NE(Find(u"two.txt"), nullptr);
        EXPECT_EQ(Entries(Find(u"junk.bin")), (Pairs{{u"\uff00", u"A"}}));
        EXPECT_EQ(Find(u"folder"), nullptr);
        EXPECT_EQ(Find(u"huge"), nullptr);
    }

    // Nothing to load: the container is simply empty.
    EXPECT_EQ(m_box->LoadAll(u"NoSuchFolder"), RZ_OK);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(m_box->LoadAll(nullptr), RZ_OK);
    EXPECT_EQ(Count(), 0);
}

TEST_F(KvPListContainer, ReadOnlyPlaylistFolderStillLoads) {
    WriteBytes(PlaylistFile("Playlist01"), FileBytes({{u"a.mp3", u"D:\\Music"}}));
    ASSERT_EQ(::chmod(PlaylistFile("Playlist01").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(m_tmp.File("PLAYLIST").c_str(), 0555), 0);
    int result = testsupport::RunWithPermissionsEnforced(
        [this] {
            return m_box->LoadAll(u"PLAYLIST") == RZ_OK && Count() == 1 &&
                   Entries(Find(u"Playlist01")) == Pairs{{u"a.mp3", u"D:\\Music"}};
        },
        PlaylistFile("Playlist01"));
    if (result == 2)
        GTEST_SKIP() << "file permissions are not enforced here";
    EXPECT_EQ(result, 0);
}

TEST_F(KvPListContainer, SaveIntoAReadOnlyFolderFailsAndKeepsTheOldFile) {
    const std::vector<uint8_t> old = FileBytes({{u"old.mp3", u"D:\\"}});
    WriteBytes(PlaylistFile("Playlist01"), old);
    Create(u"Playlist01", {{u"new.mp3", u"D:\\"}});
    ASSERT_EQ(::chmod(m_tmp.File("PLAYLIST").c_str(), 0555), 0);
    int result = testsupport::RunWithPermissionsEnforced(
        [this] { return m_box->SavePlaylist(u"Playlist01") == RZ_FAIL; }, m_tmp.File("PLAYLIST"));
    if (result == 2)
        GTEST_SKIP() << "file permissions are not enforced here";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(PlaylistFile("Playlist01")), old);
}

TEST_F(KvPListContainer, WriteErrorDuringSaveKeepsTheOldFile) {
    const std::vector<uint8_t> old = FileBytes({{u"old.mp3", u"D:\\"}});
    WriteBytes(PlaylistFile("Playlist01"), old);
    Pairs many;
    for (int i = 0; i < 100; ++i)
        many.emplace_back(
            u"song" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u".mp3",
            u"D:\\Music\\Album");
    Create(u"Playlist01", many);
    pid_t pid = ::fork();
    if (pid == 0) {
        // The disk "fills up" after 100 bytes: writes past that fail with EFBIG.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(m_box->SavePlaylist(u"Playlist01") == RZ_FAIL ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a failed write was reported as success";
    EXPECT_EQ(ReadBytes(PlaylistFile("Playlist01")), old);
    // No half-written temporary file is left beside it.
    ASSERT_EQ(m_box->LoadAll(u"PLAYLIST"), RZ_OK);
    EXPECT_EQ(Count(), 1);

    // Without a PLAYLIST folder there is nowhere to save.
    Create(u"Other", {{u"x.mp3", u"D:\\"}});
    testsupport::TempDir elsewhere;
    ScopedCwd cwd(elsewhere.Path());
    EXPECT_EQ(m_box->SavePlaylist(u"Other"), RZ_FAIL);
}

TEST_F(KvPListContainer, SaveMatchesExactNamesFirst) {
    Create(u"Rock Classics", {{u"classic.mp3", u"D:\\"}});
    Create(u"Rock", {{u"rock.mp3", u"D:\\"}});
    ASSERT_EQ(m_box->SavePlaylist(u"Rock"), RZ_OK);
    EXPECT_EQ(ReadBytes(PlaylistFile("Rock")), FileBytes({{u"rock.mp3", u"D:\\"}}));
    // No exact match: the first name containing the text, saved under the text given.
    ASSERT_EQ(m_box->SavePlaylist(u"Classics"), RZ_OK);
    EXPECT_EQ(ReadBytes(PlaylistFile("Classics")), FileBytes({{u"classic.mp3", u"D:\\"}}));
    // No match at all: nothing written, no error.
    EXPECT_EQ(m_box->SavePlaylist(u"Jazz"), RZ_OK);
    EXPECT_FALSE(Exists(PlaylistFile("Jazz")));
    // Leading blanks and tabs are not part of the file name.
    Create(u" \tPlaylist01", {{u"p.mp3", u"D:\\"}});
    ASSERT_EQ(m_box->SavePlaylist(u" \tPlaylist01"), RZ_OK);
    EXPECT_EQ(ReadBytes(PlaylistFile("Playlist01")), FileBytes({{u"p.mp3", u"D:\\"}}));
}

TEST_F(KvPListContainer, SaveRefusesNamesThatLeaveThePlaylistFolder) {
    IKvPListContainer* empty = nullptr;
    ASSERT_EQ(m_root->CreatePListContainer(&empty), RZ_OK);
    EXPECT_EQ(empty->SavePlaylist(u"Playlist01"), RZ_OK);  // no playlists: nothing to do
    EXPECT_EQ(empty->SavePlaylist(u"../x"), RZ_FAIL);
    empty->Release();

    for (const char16_t* name :
         {u"../evil", u"..", u".", u"a/b", u"a\\b", u"..\\evil", u"", u" \t", u" .."}) {
        Create(name, {{u"x.mp3", u"D:\\"}});
        EXPECT_EQ(m_box->SavePlaylist(name), RZ_FAIL) << plat::Utf16ToUtf8(name);
    }
    EXPECT_EQ(m_box->SavePlaylist(nullptr), RZ_FAIL);
    EXPECT_FALSE(Exists(m_tmp.File("evil")));
    EXPECT_FALSE(Exists(PlaylistFile("a")));
    ASSERT_EQ(m_box->LoadAll(u"PLAYLIST"), RZ_OK);
    EXPECT_EQ(Count(), 0);
}

TEST_F(KvPListContainer, CreatingFindingAndNaming) {
    EXPECT_EQ(Count(), 0);
    IKvPlaylist* out = reinterpret_cast<IKvPlaylist*>(1);
    int index = 5;
    EXPECT_EQ(m_box->FindPlaylist(u"x", &out, &index, 1), RZ_FAIL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(m_box->GetPlaylistAt(&out, 0), RZ_FAIL);
    char16_t* name = nullptr;
    EXPECT_EQ(m_box->GetCurrentName(&name), RZ_FAIL);

    IKvPlaylist* first = Create(u"Playlist01", {{u"a.mp3", u"D:\\"}});
    IKvPlaylist* second = Create(u"Playlist02", {});
    IKvPlaylist* play = Create(u"Play", {});
    EXPECT_EQ(Count(), 3);
    // An existing name gives the same playlist back, emptied, at its old place.
    IKvPlaylist* again = nullptr;
    ASSERT_EQ(m_box->CreatePlaylist(u"Playlist01", &again, &index), RZ_OK);
    EXPECT_EQ(again, first);
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(Entries(first).empty());
    EXPECT_EQ(Count(), 3);
    ASSERT_EQ(m_box->GetCurrentName(&name), RZ_OK);
    EXPECT_EQ(std::u16string(name), u"Playlist01");

    ASSERT_EQ(m_box->FindPlaylist(u"Play", &out, &index, 1), RZ_OK);
    EXPECT_EQ(out, first);
    EXPECT_EQ(index, 0);
    ASSERT_EQ(m_box->FindPlaylist(u"Play", &out, &index, 0), RZ_OK);
    EXPECT_EQ(out, play);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(m_box->FindPlaylist(u"play", &out, &index, 1), RZ_FAIL);  // case counts
    ASSERT_EQ(m_box->FindPlaylist(u"", &out, &index, 1), RZ_OK);        // empty text: any
    EXPECT_EQ(index, 0);

    ASSERT_EQ(m_box->GetPlaylistAt(&out, 1), RZ_OK);
    EXPECT_EQ(out, second);
    ASSERT_EQ(m_box->GetPlaylistAt(&out, -1), RZ_OK);  // the current entry
    EXPECT_EQ(out, first);
    EXPECT_EQ(m_box->GetPlaylistAt(&out, 3), RZ_FAIL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(NameAt(2), u"Play");

    ASSERT_EQ(m_box->RenameAt(u"Renamed", 1), RZ_OK);
    EXPECT_EQ(NameAt(1), u"Renamed");
    EXPECT_EQ(m_box->RenameAt(u"x", 7), RZ_FAIL);
    EXPECT_EQ(m_box->RenameAt(nullptr, 1), RZ_FAIL);
    EXPECT_EQ(NameAt(1), u"Renamed");
    EXPECT_EQ(m_box->RenamePlaylist(play, u"Play It"), RZ_OK);
    EXPECT_EQ(NameAt(2), u"Play It");

    // A playlist made outside the container is not entered in it.
    IKvPlaylist* loose = nullptr;
    ASSERT_EQ(m_box->NewPlaylist(&loose), RZ_OK);
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(loose->Release(), 0);
}

TEST_F(KvPListContainer, CopyingPlaylists) {
    IKvPlaylist* src = Create(u"src", {{u"a.mp3", u"D:\\A"}, {u"b.mp3", u"D:\\B"}});
    IKvPlaylist* dst = Create(u"dst", {{u"old.mp3", u"D:\\"}});
    src->SetCurrentIndex(1);
    ASSERT_EQ(m_box->CopyPlaylist(dst, src), RZ_OK);
    EXPECT_EQ(Entries(dst), Entries(src));
    int cursor = -1;
    src->GetCurrentIndex(&cursor);
    EXPECT_EQ(cursor, 1);
    // Onto itself: nothing changes.
    ASSERT_EQ(m_box->CopyPlaylist(src, src), RZ_OK);
    EXPECT_EQ(Entries(src), (Pairs{{u"a.mp3", u"D:\\A"}, {u"b.mp3", u"D:\\B"}}));
}

TEST_F(KvPListContainer, FindItemLooksForFolderAndName) {
    Create(u"one", {{u"a.mp3", u"D:\\Music"}});
    Create(u"two", {{u"b.mp3", u"D:\\Music"}, {u"a.mp3", u"D:\\Music"}});
    int index = 42;
    ASSERT_EQ(m_box->FindItem(u"D:\\Music\\a.mp3", &index, 0), RZ_OK);
    EXPECT_EQ(index, 0);
    ASSERT_EQ(m_box->FindItem(u"D:\\Music\\a.mp3", &index, 1), RZ_OK);
    EXPECT_EQ(index, 1);
    index = 42;
    EXPECT_EQ(m_box->FindItem(u"D:\\music\\a.mp3", &index, 0), RZ_FAIL);
    EXPECT_EQ(m_box->FindItem(u"D:\\Music\\b.mp3", &index, 2), RZ_FAIL);
    EXPECT_EQ(index, 42);
}

TEST_F(KvPListContainer, RemovingReleasesTheContainersReference) {
    IKvPlaylist* kept = Create(u"kept", {{u"k.mp3", u"D:\\"}});
    IKvPlaylist* dropped = Create(u"dropped", {});
    Create(u"other", {});
    Create(u"other two", {});
    kept->AddRef();  // the caller's own reference outlives the entry
    EXPECT_EQ(m_box->RemovePlaylistByPointer(kept), RZ_OK);
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(Entries(kept).size(), 1u);
    EXPECT_EQ(kept->Release(), 0);
    EXPECT_EQ(m_box->RemovePlaylistByPointer(dropped), RZ_OK);
    EXPECT_EQ(m_box->RemovePlaylistByPointer(dropped), RZ_OK);  // gone already: nothing to do
    EXPECT_EQ(m_box->RemovePlaylist(u"oth", 0), RZ_OK);         // no exact match
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(m_box->RemovePlaylist(u"oth", 1), RZ_OK);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(NameAt(0), u"other two");
    EXPECT_EQ(m_box->RemoveAll(), RZ_OK);
    EXPECT_EQ(Count(), 0);

    // The container's last Release gives back every playlist it still holds.
    IKvPlaylist* last = Create(u"last", {});
    last->AddRef();
    EXPECT_EQ(m_box->Release(), 0);
    m_box = nullptr;
    EXPECT_EQ(last->Release(), 0);
}

TEST_F(KvPListContainer, ThousandReloadsLeakNothing) {
    for (int i = 0; i < 5; ++i)
        WriteBytes(PlaylistFile("Playlist0" + std::to_string(i)),
                   FileBytes({{u"a.mp3", u"D:\\"}, {u"b.mp3", u"E:\\"}}));
    ASSERT_EQ(m_box->LoadAll(u"PLAYLIST"), RZ_OK);
    IKvPlaylist* held = Find(u"Playlist00");
    ASSERT_NE(held, nullptr);
    held->AddRef();
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(m_box->LoadAll(u"PLAYLIST"), RZ_OK);
    EXPECT_EQ(Count(), 5);
    // The playlist held from before the reloads is still whole, and only the caller holds it.
    EXPECT_EQ(Entries(held).size(), 2u);
    EXPECT_NE(Find(u"Playlist00"), held);
    EXPECT_EQ(held->Release(), 0);
    // LeakSanitizer, at the end of this process, finds anything the reloads left behind.
}
