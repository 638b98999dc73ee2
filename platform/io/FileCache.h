// What was made from a file (decoded pictures, decoded text) kept while the file stays as it
// was: skin files are read over and over while the pages load, and decoding them again each
// time is most of the start-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace plat {

// Which file, and which state of it: a file changed in place has a new size or times, a file
// replaced by a rename is another inode.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t mtimeNs = 0;
    int64_t ctimeNs = 0;

    bool operator==(const FileStamp& o) const {
        return device == o.device && inode == o.inode && size == o.size && mtimeNs == o.mtimeNs &&
               ctimeNs == o.ctimeNs;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

// The stamp of the regular file `path` names (links followed); false for anything else.
bool StampFile(const std::string& path, FileStamp& out);

// Reads a whole regular file as ReadWholeFile does, with the stamp of what was read. `stable`
// is false when the file changed while it was read: the bytes are then not to be kept.
bool ReadWholeFileStamped(const std::string& path, std::vector<uint8_t>& out, FileStamp& stamp,
                          bool& stable, size_t maxBytes = 256u << 20);

// File times tick coarsely (a kernel tick; two seconds on FAT), so a file written twice within
// one tick keeps its stamp. Only a file last changed more than a tick away from now can be
// trusted to show its next change in its stamp.
bool StampIsSettled(const FileStamp& stamp);

struct FileCacheStats {
    uint64_t hits = 0;
    uint64_t misses = 0;
    size_t entries = 0;
    size_t bytes = 0;
    size_t limit = 0;
};

// A bounded cache, least recently used out first, of immutable values made from files. A file
// is known by its device and inode, whatever path named it; a value made from an earlier state
// of the file is never given out. Safe for any number of threads; the values are shared, never
// changed once in.
template <typename T>
class FileCache {
public:
    explicit FileCache(size_t limitBytes) : m_limit(limitBytes) {}
    FileCache(const FileCache&) = delete;
    FileCache& operator=(const FileCache&) = delete;

    // The value made from the file as it is at `stamp`; null otherwise (and a value of an
    // earlier state of the file is dropped).
    std::shared_ptr<const T> Find(const FileStamp& stamp) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_index.find(Key{stamp.device, stamp.inode});
        if (it == m_index.end()) {
            ++m_misses;
            return nullptr;
        }
        if (it->second->stamp != stamp) {
            Erase(it);
            ++m_misses;
            return nullptr;
        }
        m_lru.splice(m_lru.begin(), m_lru, it->second);
        ++m_hits;
        return it->second->value;
    }

    // Whether the value made from the file as it is at `stamp` is there; counts nothing.
    bool Contains(const FileStamp& stamp) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_index.find(Key{stamp.device, stamp.inode});
        return it != m_index.end() && it->second->stamp == stamp;
    }

    // Keeps `value`, made from the file as it was at `stamp`, unless a change could go unseen
    // (see StampIsSettled) or it would take more than a quarter of the room.
    void Insert(const FileStamp& stamp, std::shared_ptr<const T> value, size_t bytes) {
        if (!value || !StampIsSettled(stamp))
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (bytes > m_limit / 4)
            return;
        const Key key{stamp.device, stamp.inode};
        auto it = m_index.find(key);
        if (it != m_index.end())
            Erase(it);
        m_lru.push_front(Entry{stamp, std::move(value), bytes});
        m_index.emplace(key, m_lru.begin());
        m_bytes += bytes;
        Trim();
    }

    void SetLimit(size_t limitBytes) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_limit = limitBytes;
        Trim();
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_index.clear();
        m_lru.clear();
        m_bytes = 0;
        m_hits = m_misses = 0;
    }

    FileCacheStats Stats() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return FileCacheStats{m_hits, m_misses, m_index.size(), m_bytes, m_limit};
    }

private:
    struct Key {
        uint64_t device;
        uint64_t inode;
        bool operator==(const Key& o) const { return device == o.device && inode == o.inode; }
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<uint64_t>()(k.inode) ^ (std::hash<uint64_t>()(k.device) << 1);
        }
    };
    struct Entry {
        FileStamp stamp;
        std::shared_ptr<const T> value;
        size_t bytes;
    };
    using Index = std::unordered_map<Key, typename std::list<Entry>::iterator, KeyHash>;

    void Erase(typename Index::iterator it) {
        m_bytes -= it->second->bytes;
        m_lru.erase(it->second);
        m_index.erase(it);
    }

    void Trim() {
        while (m_bytes > m_limit && !m_lru.empty()) {
            const Entry& last = m_lru.back();
            m_bytes -= last.bytes;
            m_index.erase(Key{last.stamp.device, last.stamp.inode});
            m_lru.pop_back();
        }
    }

    mutable std::mutex m_mutex;
    std::list<Entry> m_lru;
    Index m_index;
    size_t m_bytes = 0;
    size_t m_limit;
    uint64_t m_hits = 0;
    uint64_t m_misses = 0;
};

}  // namespace plat
