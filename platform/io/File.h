// POSIX file descriptors with RAII, whole-file reads and the atomic-replace writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct stat;

namespace plat {

class File {
public:
    File() = default;
    explicit File(int fd) : m_fd(fd) {}
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    File& operator=(File&& other) noexcept;

    // flags as for open(2); O_CLOEXEC is always added. Created files get mode & ~umask.
    bool Open(const std::string& path, int flags, unsigned mode = 0666);
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    void Close();

    // Both retry after signals. Read returns 0 at the end and -1 on error.
    long Read(void* buf, size_t size);
    long Write(const void* buf, size_t size);
    // Whole transfers: false unless every byte moved.
    bool ReadAll(void* buf, size_t size);
    bool WriteAll(const void* buf, size_t size);
    // -1 on failure.
    int64_t Seek(int64_t offset, int whence);
    int64_t Size() const;
    bool Sync();

private:
    int m_fd = -1;
};

// Reads a whole regular file; fails for files above maxBytes.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out,
                   size_t maxBytes = 256u << 20);
// The same, also giving the file's status as it was opened and as it was once read (either may
// be null); `afterOk` is false when the status after reading could not be taken.
bool ReadWholeFileWithStatus(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes,
                             struct stat* before, struct stat* after, bool* afterOk);

// Reads a file until its end, for the files of /proc and /sys, which report a size of 0; fails
// for files above maxBytes.
bool ReadFileToEnd(const std::string& path, std::string& out, size_t maxBytes = 1u << 20);

// What replacing a file promises.
// PowerSafe: a power cut leaves either the old or the new contents (the file and its folder are
// synced, which costs a write to the storage every time).
// ReadersOnly: other programs see either the old or the new contents whole, never a mix, but
// nothing is forced to the storage; the system writes back in its own time, so values that
// change every second cost the flash little. After a power cut the file may hold an earlier
// state, or nothing usable. For values that need not outlast a power cut.
enum class Durability { PowerSafe, ReadersOnly };

// Replaces a file whole: a temporary file in the same folder, renamed over the old one (with
// PowerSafe: fsync before the rename, fsync of the folder after it). Any failure leaves the old
// file as it was and removes the temporary file.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile() { Abort(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Begin(const std::string& path, Durability durability = Durability::PowerSafe);
    // Failures are remembered: Commit then fails.
    bool Write(const void* data, size_t size);
    bool Commit();
    void Abort();

private:
    std::string m_path;
    std::string m_temp;
    File m_file;
    bool m_failed = false;
    Durability m_durability = Durability::PowerSafe;
};

// Whether a file name (without folder) is that of an AtomicFile's temporary file: a power cut
// during a write leaves one behind, and readers of a folder must not take it for data.
bool IsAtomicTempName(std::string_view name);
// Removes from `folder` (not its subfolders) the temporary files of saves that a power cut or a
// kill interrupted: files named as AtomicFile names them and last written before this
// process's first call, so that a save of another program running now is left alone. The names
// removed are added to `removed` when given; the number removed is returned.
int RemoveInterruptedSaves(const std::string& folder, std::vector<std::string>* removed = nullptr);

bool WriteFileAtomic(const std::string& path, const void* data, size_t size,
                     Durability durability = Durability::PowerSafe);
inline bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& data,
                            Durability durability = Durability::PowerSafe) {
    return WriteFileAtomic(path, data.data(), data.size(), durability);
}

bool PathExists(const std::string& path);
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
// A regular file that someone may run (an execute bit set).
bool IsExecutableFile(const std::string& path);
bool RemoveFile(const std::string& path);
// Creates one folder (not its parents); true when it exists afterwards.
bool MakeDirectory(const std::string& path);
std::string CurrentDirectory();

}  // namespace plat
