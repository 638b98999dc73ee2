// Status values that outside programs read (what the registry holds on other systems): a small
// text file of keys, each holding named 32-bit numbers and texts. Every change replaces the
// whole file, so that a reader sees the old or the new file and never a part of one; a write
// that changes nothing does not touch the disk. Both seats change their status every second,
// and the values need not outlast a power cut, so the file is not synced to the storage: the
// system writes it back in its own time instead of twice a second (a file that a power cut
// left unreadable reads as empty and is replaced by the next change).
//
// File form (UTF-8, one value per line):
//   [SOFTWARE\Orvanel]
//   Status = dword:00030101
//   TimeCurrent = sz:"00:01:02"
// In a text, \\ \" \n \r \t and \xHH stand for themselves; other control characters are
// written as \xHH.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace plat {

class KeyValueStore {
public:
    struct Value {
        bool isText = false;
        uint32_t number = 0;
        std::u16string text;
        bool operator==(const Value& o) const {
            return isText == o.isText && number == o.number && text == o.text;
        }
    };

    KeyValueStore() = default;
    explicit KeyValueStore(std::string path) : m_path(std::move(path)) {}
    KeyValueStore(const KeyValueStore&) = delete;
    KeyValueStore& operator=(const KeyValueStore&) = delete;

    // Chooses the file and reads what it holds. A missing file is an empty store; lines that
    // cannot be understood are dropped, the rest kept. False only when the file exists and
    // cannot be read (the store then starts empty and is written on the next change).
    bool Open(const std::string& path);
    const std::string& Path() const { return m_path; }

    // Key names are matched without regard to ASCII case, as are value names. False when the
    // file could not be written (the value is kept in memory and written with the next change).
    bool SetDword(const std::string& key, const std::string& name, uint32_t value);
    bool SetString(const std::string& key, const std::string& name, const std::u16string& text);
    bool Remove(const std::string& key, const std::string& name);

    // While held, changes stay in memory; the end of each hold writes them at once, and only
    // when the file would then say something else than it does. Several writers that change
    // the same values within one step of the program so replace the file once, with what the
    // step left, or not at all. Holds may nest; the end of any of them writes.
    void Hold();
    void Release();

    // Holds the store for its lifetime.
    class Batch {
    public:
        explicit Batch(KeyValueStore& store) : m_store(store) { m_store.Hold(); }
        ~Batch() { m_store.Release(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        KeyValueStore& m_store;
    };

    bool GetDword(const std::string& key, const std::string& name, uint32_t* out) const;
    bool GetString(const std::string& key, const std::string& name, std::u16string* out) const;

    // The text form of the values, as written to the file.
    std::string Serialize() const;
    // Replaces the values with those of `text`; returns the number of lines dropped.
    int Parse(const std::string& text);

private:
    struct NoCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    using Values = std::map<std::string, Value, NoCase>;

    bool Set(const std::string& key, const std::string& name, const Value& value);
    // Writes unless held (the values stay dirty until the hold ends).
    bool WriteLocked();
    bool WriteNowLocked();

    mutable std::mutex m_mutex;
    std::string m_path;
    std::map<std::string, Values, NoCase> m_keys;
    bool m_bDirty = false;  // in memory differs from what is on disk
    int m_iHolds = 0;
    // The text the file holds, when known (it is not after a failed read or write).
    std::string m_onDisk;
    bool m_bOnDiskKnown = false;
};

}  // namespace plat
