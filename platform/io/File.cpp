#include "platform/io/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform/io/Directory.h"
#include "platform/io/Path.h"

namespace plat {

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool File::Open(const std::string& path, int flags, unsigned mode) {
    Close();
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    m_fd = fd;
    return fd >= 0;
}

void File::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

long File::Read(void* buf, size_t size) {
    if (m_fd < 0)
        return -1;
    ssize_t n;
    do {
        n = ::read(m_fd, buf, size);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

long File::Write(const void* buf, size_t size) {
    if (m_fd < 0)
        return -1;
    ssize_t n;
    do {
        n = ::write(m_fd, buf, size);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

bool File::ReadAll(void* buf, size_t size) {
    auto* p = static_cast<uint8_t*>(buf);
    while (size > 0) {
        long n = Read(p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool File::WriteAll(const void* buf, size_t size) {
    auto* p = static_cast<const uint8_t*>(buf);
    while (size > 0) {
        long n = Write(p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int64_t File::Seek(int64_t offset, int whence) {
    if (m_fd < 0)
        return -1;
    return static_cast<int64_t>(::lseek(m_fd, static_cast<off_t>(offset), whence));
}

int64_t File::Size() const {
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

bool File::Sync() {
    return m_fd >= 0 && ::fsync(m_fd) == 0;
}

bool ReadWholeFileWithStatus(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes,
                             struct stat* before, struct stat* after, bool* afterOk) {
    out.clear();
    File f;
    // Non-blocking open, so a named pipe in a file's place cannot stall the reader.
    if (!f.Open(path, O_RDONLY | O_NONBLOCK))
        return false;
    struct stat st;
    if (::fstat(f.Fd(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    ::fcntl(f.Fd(), F_SETFL, ::fcntl(f.Fd(), F_GETFL) & ~O_NONBLOCK);
    if (static_cast<uint64_t>(st.st_size) > maxBytes)
        return false;
    out.resize(static_cast<size_t>(st.st_size));
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
    if (before)
        *before = st;
    if (after) {
        const bool ok = ::fstat(f.Fd(), after) == 0;
        if (afterOk)
            *afterOk = ok;
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes) {
    return ReadWholeFileWithStatus(path, out, maxBytes, nullptr, nullptr, nullptr);
}

bool ReadFileToEnd(const std::string& path, std::string& out, size_t maxBytes) {
    out.clear();
    File f;
    if (!f.Open(path, O_RDONLY))
        return false;
    char buf[4096];
    for (;;) {
        long n = f.Read(buf, sizeof buf);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > maxBytes)
            return false;
    }
}

bool AtomicFile::Begin(const std::string& path, Durability durability) {
    Abort();
    m_path = path;
    m_failed = false;
    m_durability = durability;
    std::string dir = DirName(path);
    std::string tmpl = JoinPath(dir.empty() ? "." : dir, "." + BaseName(path) + ".XXXXXX");
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        m_failed = true;
        return false;
    }
    m_temp = name.data();
    m_file = File(fd);
    // mkostemp makes the file 0600; data files should read like any other file we create.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    return true;
}

bool AtomicFile::Write(const void* data, size_t size) {
    if (m_failed || !m_file.IsOpen()) {
        m_failed = true;
        return false;
    }
    if (!m_file.WriteAll(data, size))
        m_failed = true;
    return !m_failed;
}

bool AtomicFile::Commit() {
    if (m_failed || !m_file.IsOpen()) {
        Abort();
        return false;
    }
    const bool sync = m_durability == Durability::PowerSafe;
    if (sync && !m_file.Sync()) {
        Abort();
        return false;
    }
    m_file.Close();
    if (::rename(m_temp.c_str(), m_path.c_str()) != 0) {
        Abort();
        return false;
    }
    m_temp.clear();
    if (!sync)
        return true;
    std::string dir = DirName(m_path);
    File d;
    if (d.Open(dir.empty() ? "." : dir, O_RDONLY | O_DIRECTORY))
        d.Sync();
    return true;
}

void AtomicFile::Abort() {
    m_file.Close();
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

bool IsAtomicTempName(std::string_view name) {
    // "." + target name + "." + the six letters or digits mkostemp puts in place of XXXXXX.
    constexpr size_t kSuffix = 7;
    if (name.size() < 2 + kSuffix || name[0] != '.' || name[name.size() - kSuffix] != '.')
        return false;
    for (size_t i = name.size() - kSuffix + 1; i < name.size(); ++i) {
        char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

int RemoveInterruptedSaves(const std::string& folder, std::vector<std::string>* removed) {
    // Taken at the first call, early in start-up: what was written before it is no save of ours.
    // File times come from the kernel's coarse clock, so this one does too: a fine reading
    // could lie after the time stamped on a save begun a moment later, in the same tick.
    static const struct timespec kFirstCall = [] {
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        return now;
    }();
    DirectoryReader dir;
    if (!dir.Open(folder))
        return 0;
    int count = 0;
    const char* name = nullptr;
    DirEntryKind kind;
    while (dir.Next(name, kind)) {
        if (kind != DirEntryKind::File || !IsAtomicTempName(name))
            continue;
        const std::string path = JoinPath(folder, name);
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const bool before =
            st.st_mtim.tv_sec < kFirstCall.tv_sec ||
            (st.st_mtim.tv_sec == kFirstCall.tv_sec && st.st_mtim.tv_nsec < kFirstCall.tv_nsec);
        if (before && ::unlink(path.c_str()) == 0) {
            ++count;
            if (removed)
                removed->push_back(name);
        }
    }
    return count;
}

bool WriteFileAtomic(const std::string& path, const void* data, size_t size,
                     Durability durability) {
    AtomicFile f;
    return f.Begin(path, durability) && f.Write(data, size) && f.Commit();
}

bool PathExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool MakeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && IsDirectory(path);
}

std::string CurrentDirectory() {
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf))
        return ".";
    return buf;
}

}  // namespace plat
