// Pictures loaded from files are kept decoded while the files stay as they were.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/gfx/ImageFile.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using plat::Argb;

namespace {

// An uncompressed PNG of one colour: every colour gives a file of the same size.
std::vector<uint8_t> SolidPng(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgba;
    for (int i = 0; i < w * h; ++i)
        rgba.insert(rgba.end(), {r, g, b, 255});
    return EncodePngStored(w, h, rgba);
}

bool AllPixels(const plat::Surface& s, uint32_t argb) {
    return !s.IsEmpty() && CountPixels(s, s.Bounds(), argb) == s.Width() * s.Height();
}

class ImageCache : public ::testing::Test {
protected:
    void SetUp() override { plat::ClearImageCache(); }
    void TearDown() override {
        plat::SetImageCacheLimit(plat::kDefaultImageCacheBytes);
        plat::ClearImageCache();
    }
    TempDir m_dir;
};

}  // namespace

TEST_F(ImageCache, UnchangedFileIsDecodedOnceAndEachCallerGetsItsOwnPixels) {
    const std::string path = m_dir.File("red.png");
    WriteBytes(path, SolidPng(4, 3, 255, 0, 0));
    AgeFile(path);
    plat::Surface a, b;
    ASSERT_TRUE(plat::LoadImageFile(path, a));
    ASSERT_TRUE(plat::LoadImageFile(path, b));
    EXPECT_TRUE(AllPixels(a, Argb(255, 255, 0, 0)));
    EXPECT_TRUE(AllPixels(b, Argb(255, 255, 0, 0)));
    const plat::FileCacheStats stats = plat::ImageCacheStats();
    EXPECT_EQ(stats.entries, 1u);
    EXPECT_EQ(stats.bytes, 4u * 3u * 4u);
    EXPECT_EQ(stats.hits, 1u);

    // A caller drawing into its copy changes nobody else's.
    a.Fill(Argb(255, 0, 0, 0));
    plat::Surface c;
    ASSERT_TRUE(plat::LoadImageFile(path, c));
    EXPECT_TRUE(AllPixels(c, Argb(255, 255, 0, 0)));
    EXPECT_TRUE(AllPixels(b, Argb(255, 255, 0, 0)));

    // The same file by another path (a link) is the same picture.
    ASSERT_EQ(::symlink(path.c_str(), m_dir.File("link.png").c_str()), 0);
    plat::Surface d;
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("link.png"), d));
    EXPECT_TRUE(AllPixels(d, Argb(255, 255, 0, 0)));
    EXPECT_EQ(plat::ImageCacheStats().entries, 1u);
}

TEST_F(ImageCache, FileWrittenOverWithTheSameSizeIsDecodedAnew) {
    const std::string path = m_dir.File("icon.png");
    const std::vector<uint8_t> red = SolidPng(8, 8, 255, 0, 0);
    const std::vector<uint8_t> blue = SolidPng(8, 8, 0, 0, 255);
    ASSERT_EQ(red.size(), blue.size());
    WriteBytes(path, red);
    AgeFile(path);
    plat::Surface s;
    ASSERT_TRUE(plat::LoadImageFile(path, s));
    EXPECT_TRUE(AllPixels(s, Argb(255, 255, 0, 0)));

    WriteBytes(path, blue);  // in place: same inode, same size
    ASSERT_TRUE(plat::LoadImageFile(path, s));
    EXPECT_TRUE(AllPixels(s, Argb(255, 0, 0, 255)));
    // Still the new picture, whether or not it could be kept yet.
    ASSERT_TRUE(plat::LoadImageFile(path, s));
    EXPECT_TRUE(AllPixels(s, Argb(255, 0, 0, 255)));

    // The size its header gives follows the file as well, though both files are as long.
    plat::Surface wide, tall;
    ASSERT_TRUE(wide.Create(8, 1) && tall.Create(4, 2));
    std::vector<uint8_t> wideBmp, tallBmp;
    ASSERT_TRUE(plat::EncodeImage(wide, plat::ImageFormat::Bmp, 100, wideBmp));
    ASSERT_TRUE(plat::EncodeImage(tall, plat::ImageFormat::Bmp, 100, tallBmp));
    ASSERT_EQ(wideBmp.size(), tallBmp.size());
    const std::string bar = m_dir.File("bar.bmp");
    WriteBytes(bar, wideBmp);
    AgeFile(bar);
    int w = 0, h = 0;
    for (int twice = 0; twice < 2; ++twice) {
        ASSERT_TRUE(plat::ReadImageFileSize(bar, w, h));
        EXPECT_EQ(w, 8);
        EXPECT_EQ(h, 1);
    }
    WriteBytes(bar, tallBmp);
    ASSERT_TRUE(plat::ReadImageFileSize(bar, w, h));
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
}

TEST_F(ImageCache, FileReplacedByRenameIsDecodedAnew) {
    const std::string path = m_dir.File("icon.png");
    WriteBytes(path, SolidPng(8, 8, 255, 0, 0));
    AgeFile(path, 100);
    plat::Surface s;
    ASSERT_TRUE(plat::LoadImageFile(path, s));
    ASSERT_TRUE(AllPixels(s, Argb(255, 255, 0, 0)));

    // Same size and the same modification time: only the inode tells.
    struct stat old;
    ASSERT_EQ(::stat(path.c_str(), &old), 0);
    const std::string next = m_dir.File("next.png");
    WriteBytes(next, SolidPng(8, 8, 0, 255, 0));
    const struct timespec times[2] = {old.st_mtim, old.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, next.c_str(), times, 0), 0);
    ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
    ASSERT_TRUE(plat::LoadImageFile(path, s));
    EXPECT_TRUE(AllPixels(s, Argb(255, 0, 255, 0)));

    // And a file that is gone is not shown from memory.
    ASSERT_EQ(std::remove(path.c_str()), 0);
    plat::Surface none;
    EXPECT_FALSE(plat::LoadImageFile(path, none));
    EXPECT_TRUE(none.IsEmpty());
}

TEST_F(ImageCache, JustWrittenFilesAreNotKeptButStillLoad) {
    const std::string path = m_dir.File("fresh.png");
    WriteBytes(path, SolidPng(2, 2, 10, 20, 30));
    // Stamped to the whole second, as on a file system of coarse times: it counts as just
    // written for seconds, not milliseconds, so a loaded machine cannot age it before the load.
    struct timespec now;
    ASSERT_EQ(::clock_gettime(CLOCK_REALTIME, &now), 0);
    const struct timespec times[2] = {{now.tv_sec, 0}, {now.tv_sec, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    plat::Surface s;
    ASSERT_TRUE(plat::LoadImageFile(path, s));
    EXPECT_TRUE(AllPixels(s, Argb(255, 10, 20, 30)));
    EXPECT_EQ(plat::ImageCacheStats().entries, 0u);
}

TEST_F(ImageCache, StaysWithinItsBound) {
    // Room for four 16x16 pictures (1 KiB each); a quarter of it is one picture.
    plat::SetImageCacheLimit(4 * 1024);
    std::vector<std::string> paths;
    for (int i = 0; i < 10; ++i) {
        paths.push_back(m_dir.File("p" + std::to_string(i) + ".png"));
        WriteBytes(paths.back(), SolidPng(16, 16, uint8_t(i * 20), 0, 0));
        AgeFile(paths.back());
    }
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 10; ++i) {
            plat::Surface s;
            ASSERT_TRUE(plat::LoadImageFile(paths[i], s));
            EXPECT_TRUE(AllPixels(s, Argb(255, uint8_t(i * 20), 0, 0)));
            const plat::FileCacheStats stats = plat::ImageCacheStats();
            EXPECT_LE(stats.bytes, 4u * 1024u);
            EXPECT_LE(stats.entries, 4u);
        }
    }
    // A picture bigger than a quarter of the room is loaded but never kept.
    const std::string big = m_dir.File("big.png");
    WriteBytes(big, SolidPng(32, 32, 1, 2, 3));
    AgeFile(big);
    plat::Surface s;
    ASSERT_TRUE(plat::LoadImageFile(big, s));
    EXPECT_TRUE(AllPixels(s, Argb(255, 1, 2, 3)));
    ASSERT_TRUE(plat::LoadImageFile(big, s));
    EXPECT_LE(plat::ImageCacheStats().bytes, 4u * 1024u);
}

TEST_F(ImageCache, ThreadsLoadingWhileTheFilesAreReplacedSeeWholePictures) {
    // Each file is replaced, again and again, by a picture of the other colour; a reader gets
    // one or the other whole, never a mix and never a failure.
    constexpr int kFiles = 4;
    const uint32_t red = Argb(255, 255, 0, 0), blue = Argb(255, 0, 0, 255);
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        paths.push_back(m_dir.File("f" + std::to_string(i) + ".png"));
        WriteBytes(paths.back(), SolidPng(24, 24, 255, 0, 0));
        AgeFile(paths.back());
    }
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::atomic<int> loads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 6; ++t) {
        readers.emplace_back([&, t] {
            for (int n = 0; !stop || n < 50; ++n) {
                plat::Surface s;
                if (!plat::LoadImageFile(paths[(t + n) % kFiles], s) ||
                    !(AllPixels(s, red) || AllPixels(s, blue)))
                    ++bad;
                ++loads;
                if (n > 2000)
                    break;
            }
        });
    }
    for (int round = 0; round < 40; ++round) {
        const int i = round % kFiles;
        const std::string temp = paths[i] + ".new";
        if (round % 2 == 0)
            WriteBytes(temp, SolidPng(24, 24, 0, 0, 255));
        else
            WriteBytes(temp, SolidPng(24, 24, 255, 0, 0));
        AgeFile(temp, 100 + round);
        ASSERT_EQ(std::rename(temp.c_str(), paths[i].c_str()), 0);
    }
    stop = true;
    for (std::thread& t : readers)
        t.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(loads.load(), 0);
    // Whatever was read last, the files as they are now load as they are now.
    for (int i = 0; i < kFiles; ++i) {
        plat::Surface s;
        ASSERT_TRUE(plat::LoadImageFile(paths[i], s));
        const uint32_t want = ((40 - kFiles + i) % 2 == 0) ? blue : red;
        EXPECT_TRUE(AllPixels(s, want)) << i;
    }
}

TEST_F(ImageCache, PrefetchedFilesAreReadyAndBadOnesStillFail) {
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        paths.push_back(m_dir.File("k" + std::to_string(i) + ".png"));
        WriteBytes(paths.back(), SolidPng(40, 30, 0, uint8_t(40 * i), 0));
        AgeFile(paths.back());
    }
    const std::string damaged = m_dir.File("damaged.png");
    std::vector<uint8_t> cut = SolidPng(40, 30, 9, 9, 9);
    cut.resize(cut.size() / 2);
    WriteBytes(damaged, cut);
    AgeFile(damaged);

    std::vector<std::string> asked = paths;
    asked.push_back(damaged);
    asked.push_back(m_dir.File("missing.png"));
    asked.push_back(m_dir.Path());
    plat::PrefetchImageFiles(asked);
    ASSERT_TRUE(WaitFor([] { return plat::ImageCacheStats().entries == 6; }));

    for (int i = 0; i < 6; ++i) {
        plat::Surface s;
        ASSERT_TRUE(plat::LoadImageFile(paths[i], s));
        EXPECT_TRUE(AllPixels(s, Argb(255, 0, uint8_t(40 * i), 0)));
    }
    EXPECT_GE(plat::ImageCacheStats().hits, 6u);
    plat::Surface s;
    EXPECT_FALSE(plat::LoadImageFile(damaged, s));
    EXPECT_FALSE(plat::LoadImageFile(m_dir.File("missing.png"), s));
    EXPECT_TRUE(s.IsEmpty());
}

TEST_F(ImageCache, LoadingWhilePrefetchingGivesTheSamePictures) {
    // The loader and the workers ask for the same files at once; each is decoded once and
    // everybody gets it.
    std::vector<std::string> paths;
    for (int i = 0; i < 24; ++i) {
        paths.push_back(m_dir.File("q" + std::to_string(i) + ".png"));
        WriteBytes(paths.back(), SolidPng(64, 64, uint8_t(i * 10), 0, 255));
        AgeFile(paths.back());
    }
    plat::PrefetchImageFiles(paths);
    for (int i = 0; i < 24; ++i) {
        plat::Surface s;
        ASSERT_TRUE(plat::LoadImageFile(paths[i], s));
        EXPECT_TRUE(AllPixels(s, Argb(255, uint8_t(i * 10), 0, 255))) << i;
    }
    EXPECT_EQ(plat::ImageCacheStats().entries, 24u);
}

TEST_F(ImageCache, HoldersOfOneFileShareItsPixelsEvenAfterTheCacheLetItGo) {
    const std::string path = m_dir.File("green.png");
    WriteBytes(path, SolidPng(5, 4, 0, 255, 0));
    AgeFile(path);
    std::shared_ptr<const plat::Surface> a = plat::LoadImageFileShared(path);
    ASSERT_TRUE(a);
    EXPECT_TRUE(AllPixels(*a, Argb(255, 0, 255, 0)));
    plat::ClearImageCache();
    std::shared_ptr<const plat::Surface> b = plat::LoadImageFileShared(path);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(plat::ImageCacheStats().misses, 1u);  // decoded once

    // A changed file is another picture; the first holders keep theirs.
    WriteBytes(path, SolidPng(5, 4, 0, 0, 255));
    AgeFile(path);
    std::shared_ptr<const plat::Surface> c = plat::LoadImageFileShared(path);
    ASSERT_TRUE(c);
    EXPECT_NE(c.get(), a.get());
    EXPECT_TRUE(AllPixels(*c, Argb(255, 0, 0, 255)));
    EXPECT_TRUE(AllPixels(*a, Argb(255, 0, 255, 0)));

    // Nobody holds it and the cache dropped it: decoded afresh, still right.
    a.reset();
    b.reset();
    c.reset();
    plat::ClearImageCache();
    std::shared_ptr<const plat::Surface> d = plat::LoadImageFileShared(path);
    ASSERT_TRUE(d);
    EXPECT_TRUE(AllPixels(*d, Argb(255, 0, 0, 255)));
    EXPECT_FALSE(plat::LoadImageFileShared(m_dir.File("missing.png")));
}
