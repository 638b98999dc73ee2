#include "platform/io/FileCache.h"

#include <fcntl.h>
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
    out.clear();
    stable = false;
    File f;
    // Non-blocking open, so a named pipe in a file's place cannot stall the reader.
    if (!f.Open(path, O_RDONLY | O_NONBLOCK))
        return false;
    struct stat before;
    if (::fstat(f.Fd(), &before) != 0 || !S_ISREG(before.st_mode))
        return false;
    ::fcntl(f.Fd(), F_SETFL, ::fcntl(f.Fd(), F_GETFL) & ~O_NONBLOCK);
    if (static_cast<uint64_t>(before.st_size) > maxBytes)
        return false;
    out.resize(static_cast<size_t>(before.st_size));
    size_t got = 0;
    while (got < out.size()) {
        long n = f.Read(out.data() + got, out.size() - got);
        if (n < 0)
            return false;
        if (n == 0)
            break;  // the file shrank under us: keep what is there
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    stamp = FromStat(before);
    struct stat after;
    stable = static_cast<int64_t>(got) == stamp.size && ::fstat(f.Fd(), &after) == 0 &&
             FromStat(after) == stamp;
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
