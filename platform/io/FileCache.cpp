#include "platform/io/FileCache.h"

#include <sys/stat.h>
#include <time.h>

#include "platform/io/File.h"

namespace plat {

namespace {

// Longer than a file-time tick: a kernel tick (at most 10 ms) where times keep fractions of a
// second; where they keep whole seconds only (FAT: two), longer than that.
constexpr int64_t kSettleFineNs = 50'000'000;
constexpr int64_t kSettleCoarseNs = 3'000'000'000;

FileStamp FromStat(const struct stat& st) {
    FileStamp s;
    s.device = static_cast<uint64_t>(st.st_dev);
    s.inode = static_cast<uint64_t>(st.st_ino);
    s.size = static_cast<int64_t>(st.st_size);
    s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    s.ctimeNs = int64_t(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return s;
}

}  // namespace

bool StampFile(const std::string& path, FileStamp& out) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    out = FromStat(st);
    return true;
}

bool ReadWholeFileStamped(const std::string& path, std::vector<uint8_t>& out, FileStamp& stamp,
                          bool& stable, size_t maxBytes) {
    stable = false;
    struct stat before, after;
    bool afterOk = false;
    if (!ReadWholeFileWithStatus(path, out, maxBytes, &before, &after, &afterOk))
        return false;
    stamp = FromStat(before);
    stable = static_cast<int64_t>(out.size()) == stamp.size && afterOk && FromStat(after) == stamp;
    return true;
}

bool StampIsSettled(const FileStamp& stamp) {
    struct timespec now;
    if (::clock_gettime(CLOCK_REALTIME, &now) != 0)
        return false;
    const int64_t nowNs = int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    // Either way: a clock set back leaves files stamped in its future, which a change now
    // would stamp differently all the same.
    const int64_t apart = nowNs - stamp.mtimeNs;
    const int64_t settle = stamp.mtimeNs % 1'000'000'000 != 0 ? kSettleFineNs : kSettleCoarseNs;
    return apart > settle || apart < -settle;
}

}  // namespace plat
