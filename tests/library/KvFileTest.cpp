#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "library/CVantrel.h"
#include "tests/support/TestSupport.h"

using KvUtility::IKvFile;
using testsupport::ReadText;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

class KvFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = CreateIVantrel();
        ASSERT_EQ(m_root->CreateFile(&m_file), RZ_OK);
    }
    void TearDown() override {
        if (m_file)
            m_file->Release();
        m_root->Release();
    }
    std::u16string Path(const std::string& name) { return m_dir.File16(name); }

    TempDir m_dir;
    IVantrel* m_root = nullptr;
    IKvFile* m_file = nullptr;
};

}  // namespace

TEST_F(KvFile, CreationRules) {
    EXPECT_EQ(m_file->Open(Path("a.bin").c_str(), 0x14), RZ_FAIL);  // must exist
    EXPECT_EQ(m_file->Close(), RZ_NOT_OPEN);
    EXPECT_EQ(m_file->Open(Path("a.bin").c_str(), 0x08 | 0x20), RZ_OK);  // created
    EXPECT_TRUE(testsupport::Exists(m_dir.File("a.bin")));
    EXPECT_EQ(m_file->Close(), RZ_OK);
    EXPECT_EQ(m_file->Close(), RZ_NOT_OPEN);
    EXPECT_EQ(m_file->Open(Path("a.bin").c_str(), 0x01 | 0x20), RZ_FAIL);  // exists already
    EXPECT_EQ(m_file->Open(Path("b.bin").c_str(), 0x01 | 0x20), RZ_OK);
}

TEST_F(KvFile, TruncatingAndOverwritingWrites) {
    WriteText(m_dir.File("t.txt"), "0123456789");
    uint32_t done = 0;
    ASSERT_EQ(m_file->Open(Path("t.txt").c_str(), 0x28), RZ_OK);  // no truncation
    ASSERT_EQ(m_file->Write("ab", 2, &done), RZ_OK);
    EXPECT_EQ(done, 2u);
    m_file->Close();
    EXPECT_EQ(ReadText(m_dir.File("t.txt")), "ab23456789");
    ASSERT_EQ(m_file->Open(Path("t.txt").c_str(), 0x22), RZ_OK);  // truncated
    m_file->Close();
    EXPECT_EQ(ReadText(m_dir.File("t.txt")), "");
}

TEST_F(KvFile, ShortReadsSizeAndSeeks) {
    WriteText(m_dir.File("r.bin"), "abcdefghij");
    ASSERT_EQ(m_file->Open(Path("r.bin").c_str(), 0x14), RZ_OK);
    char buf[32] = {};
    uint32_t done = 99;
    ASSERT_EQ(m_file->Read(buf, 4, &done), RZ_OK);
    EXPECT_EQ(done, 4u);
    uint64_t size = 0;
    ASSERT_EQ(m_file->GetSize(&size), RZ_OK);
    EXPECT_EQ(size, 10u);
    // The size query leaves the position at the start.
    ASSERT_EQ(m_file->Read(buf, 2, &done), RZ_OK);
    EXPECT_EQ(std::string(buf, 2), "ab");
    uint64_t pos = 0;
    ASSERT_EQ(m_file->Seek(3, &pos), RZ_OK);
    EXPECT_EQ(pos, 5u);
    ASSERT_EQ(m_file->Seek(-1, &pos), RZ_OK);
    EXPECT_EQ(pos, 4u);
    ASSERT_EQ(m_file->Read(buf, 32, &done), RZ_OK);
    EXPECT_EQ(done, 6u);  // short read at the end is normal
    EXPECT_EQ(std::string(buf, 6), "efghij");
    ASSERT_EQ(m_file->Read(buf, 32, &done), RZ_OK);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(m_file->SeekToEnd(), RZ_OK);
    EXPECT_EQ(m_file->Seek(0, &pos), RZ_OK);
    EXPECT_EQ(pos, 10u);
    EXPECT_EQ(m_file->SeekToBegin(), RZ_OK);
    EXPECT_EQ(m_file->Seek(0, &pos), RZ_OK);
    EXPECT_EQ(pos, 0u);
    // A write on a read-only handle reports no bytes moved.
    EXPECT_EQ(m_file->Write("x", 1, &done), RZ_OK);
    EXPECT_EQ(done, 0xFFFFFFFFu);
}

TEST_F(KvFile, ClosedObjectAnswersNotOpen) {
    char buf[4];
    uint32_t done = 7;
    uint64_t v = 0;
    EXPECT_EQ(m_file->Read(buf, 4, &done), RZ_NOT_OPEN);
    EXPECT_EQ(done, 7u);
    EXPECT_EQ(m_file->Write(buf, 4, &done), RZ_NOT_OPEN);
    EXPECT_EQ(m_file->GetSize(&v), RZ_NOT_OPEN);
    EXPECT_EQ(m_file->Seek(1, &v), RZ_NOT_OPEN);
    EXPECT_EQ(m_file->SeekToBegin(), RZ_NOT_OPEN);
    EXPECT_EQ(m_file->SeekToEnd(), RZ_NOT_OPEN);
    // No creation rule: answers OK but stays closed.
    WriteText(m_dir.File("n.bin"), "x");
    EXPECT_EQ(m_file->Open(Path("n.bin").c_str(), 0x10), RZ_OK);
    EXPECT_EQ(m_file->Read(buf, 1, &done), RZ_NOT_OPEN);
    EXPECT_EQ(m_file->Open(nullptr, 0x14), RZ_FAIL);
}

TEST_F(KvFile, ReadingNeedsNoWriteAccessAndChangesNoMode) {
    mode_t old = ::umask(022);
    ASSERT_EQ(m_file->Open(Path("new.bin").c_str(), 0x22), RZ_OK);
    ::umask(old);
    m_file->Close();
    struct stat st;
    ASSERT_EQ(::stat(m_dir.File("new.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);  // created files are not made read-only

    WriteText(m_dir.File("ro.bin"), "data");
    ::chmod(m_dir.File("ro.bin").c_str(), 0444);
    ASSERT_EQ(m_file->Open(Path("ro.bin").c_str(), 0x14), RZ_OK);
    m_file->Close();
    ASSERT_EQ(::stat(m_dir.File("ro.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST_F(KvFile, ReopeningClosesTheFirstDescriptor) {
    WriteText(m_dir.File("x.bin"), "x");
    ASSERT_EQ(m_file->Open(Path("x.bin").c_str(), 0x14), RZ_OK);
    int before = ::open("/dev/null", O_RDONLY);
    ::close(before);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(m_file->Open(Path("x.bin").c_str(), 0x14), RZ_OK);
    int after = ::open("/dev/null", O_RDONLY);
    ::close(after);
    EXPECT_EQ(before, after) << "descriptors leaked by repeated Open";
}

TEST_F(KvFile, DescriptorZeroIsAnOpenFile) {
    WriteText(m_dir.File("z.bin"), "zero");
    std::u16string path = Path("z.bin");
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(0);  // the next descriptor handed out is 0
        char buf[8] = {};
        uint32_t done = 0;
        bool ok = m_file->Open(path.c_str(), 0x14) == RZ_OK &&
                  m_file->Read(buf, 4, &done) == RZ_OK && done == 4 && std::string(buf) == "zero" &&
                  m_file->Close() == RZ_OK;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(KvFile, ReleaseDestroysWhateverTheCount) {
    WriteText(m_dir.File("y.bin"), "y");
    ASSERT_EQ(m_file->Open(Path("y.bin").c_str(), 0x14), RZ_OK);
    m_file->AddRef();
    m_file->AddRef();
    EXPECT_EQ(m_file->Release(), RZ_OK);  // LeakSanitizer reports it if it stayed alive
    m_file = nullptr;
}
