// The phone book of the phone page: up to 2048 entries of a name and a number, kept sorted by
// name (ordinal order of UTF-16 units) in "Phonebook.db", the 1 MiB image of the entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define PHONEBOOK_FILE "Phonebook.db"
#define PHONEBOOK_ENTRIES 2048
#define PHONEBOOK_ENTRY_BYTES 512
#define PHONEBOOK_FIELD_CHARS 128  // each of name and number, terminator included
#define PHONEBOOK_FILE_BYTES (PHONEBOOK_ENTRIES * PHONEBOOK_ENTRY_BYTES)
#define PHONEBOOK_MATCH_DIGITS 9  // a download's double: the same last 9 characters

struct PHONEBOOK_ENTRY {
    char16_t szName[PHONEBOOK_FIELD_CHARS];
    char16_t szNumber[PHONEBOOK_FIELD_CHARS];
};

class CPhoneBook {
public:
    CPhoneBook();

    // The entries of `bytes` (a file image, any size): up to the first empty name and at most
    // the book's 2048, every field ended within its 128 units. What was held before goes.
    void Decode(const uint8_t* bytes, size_t size);
    // The whole 1 MiB image: the entries, zeros after them.
    std::vector<uint8_t> Encode() const;
    // Reads `path`; a missing file gives an empty book (false).
    bool Load(const std::string& path = PHONEBOOK_FILE);
    // Replaces `path` atomically with the image; false when it could not be written.
    bool Save(const std::string& path = PHONEBOOK_FILE) const;

    size_t Count() const { return m_Entries.size(); }
    bool Full() const { return m_Entries.size() >= PHONEBOOK_ENTRIES; }
    const PHONEBOOK_ENTRY& At(size_t i) const { return m_Entries[i]; }
    void Clear() { m_Entries.clear(); }

    // A new entry before the first whose name is greater; -1 when the book is full or a
    // field is empty, else its index.
    int Insert(const std::u16string& name, const std::u16string& number);
    // Overwrites entry `i` and sorts the book again; the entry's new index, or -1.
    int Update(size_t i, const std::u16string& name, const std::u16string& number);
    // Removes entry `i`; false when there is none.
    bool Remove(size_t i);
    // An entry whose number ends in the same 9 characters as `number` (the whole number
    // where either is shorter); -1 when none.
    int FindDouble(const std::u16string& number) const;
    // The first entry named `name`, or -1.
    int Find(const std::u16string& name) const;

private:
    std::vector<PHONEBOOK_ENTRY> m_Entries;
};
