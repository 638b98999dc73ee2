#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "tests/support/TestSupport.h"

using namespace plat;
using testsupport::ReadText;
using testsupport::TempDir;
using testsupport::WriteText;

TEST(AtomicFile, ReplacesWholeAndLeavesNoTemporaryFile) {
    TempDir dir;
    std::string path = dir.File("settings.db");
    WriteText(path, "old contents");
    std::string fresh(5000, 'n');
    ASSERT_TRUE(WriteFileAtomic(path, fresh.data(), fresh.size()));
    EXPECT_EQ(ReadText(path), fresh);
    size_t entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        (void)e, ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST(AtomicFile, NewFileGetsUmaskModeNotPrivateTemporaryMode) {
    TempDir dir;
    mode_t old = ::umask(022);
    std::string path = dir.File("a.db");
    ASSERT_TRUE(WriteFileAtomic(path, "x", 1));
    ::umask(old);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(AtomicFile, FailedWriteKeepsOldFile) {
    // A write that runs into the file-size limit fails part way, like a full disk.
    TempDir dir;
    std::string path = dir.File("playlist.txt");
    WriteText(path, "keep me");
    std::string big(64 * 1024, 'z');
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = WriteFileAtomic(path, big.data(), big.size());
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadText(path), "keep me");
    size_t entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        (void)e, ++entries;
    EXPECT_EQ(entries, 1u) << "the temporary file must be removed";
}

TEST(AtomicFile, UnwritableFolderFailsAndOldFileStays) {
    TempDir dir;
    std::string path = dir.File("x.db");
    WriteText(path, "old");
    ::chmod(dir.Path().c_str(), 0555);
    int result = testsupport::RunWithPermissionsEnforced(
        [&] { return !WriteFileAtomic(path, "new", 3) && ReadText(path) == "old"; }, dir.Path());
    ::chmod(dir.Path().c_str(), 0755);
    if (result == 2)
        GTEST_SKIP() << "permissions cannot be enforced here";
    EXPECT_EQ(result, 0);
}

TEST(AtomicFile, AbandonedWriterRemovesItsTemporaryFile) {
    TempDir dir;
    std::string path = dir.File("x.db");
    WriteText(path, "old");
    {
        AtomicFile f;
        ASSERT_TRUE(f.Begin(path));
        ASSERT_TRUE(f.Write("new", 3));
    }  // no Commit
    EXPECT_EQ(ReadText(path), "old");
    size_t entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        (void)e, ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST(AtomicFile, KilledWriterNeverLeavesAHalfFile) {
    TempDir dir;
    std::string path = dir.File("state.db");
    std::string a(100000, 'a'), b(100000, 'b');
    ASSERT_TRUE(WriteFileAtomic(path, a.data(), a.size()));
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        for (;;) {
            WriteFileAtomic(path, b.data(), b.size());
            WriteFileAtomic(path, a.data(), a.size());
        }
    }
    for (int i = 0; i < 50; ++i) {
        ::usleep(2000);
        std::string now = ReadText(path);
        ASSERT_TRUE(now == a || now == b) << "size " << now.size();
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    std::string last = ReadText(path);
    EXPECT_TRUE(last == a || last == b);
}

TEST(ReadWholeFile, RefusesPipesAndFoldersWithoutBlocking) {
    TempDir dir;
    std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    std::vector<uint8_t> out;
    EXPECT_FALSE(ReadWholeFile(fifo, out));  // would block for ever without a writer
    EXPECT_FALSE(ReadWholeFile(dir.Path(), out));
    WriteText(dir.File("f"), "abc");
    ASSERT_TRUE(ReadWholeFile(dir.File("f"), out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "abc");
}

TEST(ReadFileToEnd, ReadsKernelFilesThatReportNoSizeAndRefusesLargeOnes) {
    std::string status;
    ASSERT_TRUE(ReadFileToEnd("/proc/self/status", status));
    EXPECT_EQ(status.compare(0, 5, "Name:"), 0);
    EXPECT_NE(status.find("\nPid:"), std::string::npos);

    TempDir dir;
    WriteText(dir.File("f"), std::string(5000, 'x'));
    std::string text = "old";
    ASSERT_TRUE(ReadFileToEnd(dir.File("f"), text, 5000));
    EXPECT_EQ(text.size(), 5000u);
    EXPECT_FALSE(ReadFileToEnd(dir.File("f"), text, 4999));
    EXPECT_FALSE(ReadFileToEnd(dir.File("missing"), text));
    EXPECT_TRUE(text.empty());
}

TEST(FileObject, ReadsWritesAndSeeks) {
    TempDir dir;
    File f;
    ASSERT_TRUE(f.Open(dir.File("f.bin"), O_RDWR | O_CREAT));
    ASSERT_TRUE(f.WriteAll("0123456789", 10));
    EXPECT_EQ(f.Size(), 10);
    EXPECT_EQ(f.Seek(4, SEEK_SET), 4);
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 6);
    EXPECT_STREQ(buf, "456789");
    EXPECT_EQ(f.Read(buf, sizeof buf), 0);
    File moved = std::move(f);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_TRUE(moved.IsOpen());
}

TEST(Path, ResolvesComponentsWithoutRegardToCase) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("Skin/Default/Music"));
    WriteText(dir.File("Skin/Default/Music/Music.ini"), "x");
    EXPECT_EQ(ResolvePath(dir.File("skin/DEFAULT/music/music.INI")),
              dir.File("Skin/Default/Music/Music.ini"));
    // A missing file in an existing folder keeps its given name, so it can be created.
    EXPECT_EQ(ResolvePath(dir.File("SKIN/default/New.ini")), dir.File("Skin/Default/New.ini"));
    EXPECT_EQ(ResolvePath(dir.File("nothere/x")), dir.File("nothere/x"));
}

TEST(Path, StoredPathsAcceptBothSeparators) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("PLAYLIST"));
    WriteText(dir.File("PLAYLIST/Rock.txt"), "x");
    std::u16string stored = dir.File16("") + u"playlist\\rock.TXT";
    EXPECT_EQ(NativePath(stored), dir.File("PLAYLIST/Rock.txt"));
    EXPECT_EQ(ToNativeSeparators("a\\b\\c"), "a/b/c");
}

TEST(Path, NamePieces) {
    EXPECT_EQ(DirName("a/b/c.txt"), "a/b");
    EXPECT_EQ(DirName("c.txt"), "");
    EXPECT_EQ(DirName("/c"), "/");
    EXPECT_EQ(BaseName("a/b/c.txt"), "c.txt");
    EXPECT_EQ(JoinPath("a/", "b"), "a/b");
    EXPECT_EQ(JoinPath("a", "b"), "a/b");
}
