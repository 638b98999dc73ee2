#include "apps/phone/PhoneBook.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/io/File.h"

namespace {

void SetField(char16_t (&field)[PHONEBOOK_FIELD_CHARS], const std::u16string& text) {
    std::memset(field, 0, sizeof field);
    const size_t n = std::min<size_t>(text.size(), PHONEBOOK_FIELD_CHARS - 1);
    for (size_t i = 0; i < n; ++i)
        field[i] = text[i];
}

PHONEBOOK_ENTRY MakeEntry(const std::u16string& name, const std::u16string& number) {
    PHONEBOOK_ENTRY e;
    SetField(e.szName, name);
    SetField(e.szNumber, number);
    return e;
}

// Ordinal order of UTF-16 units, as the stored book is sorted.
int Compare(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<int>(*a) - static_cast<int>(*b);
}

bool ByName(const PHONEBOOK_ENTRY& a, const PHONEBOOK_ENTRY& b) {
    return Compare(a.szName, b.szName) < 0;
}

// The last 9 characters of a number (the whole number where it is shorter), in place.
std::u16string_view Tail(std::u16string_view s) {
    return s.size() > PHONEBOOK_MATCH_DIGITS ? s.substr(s.size() - PHONEBOOK_MATCH_DIGITS) : s;
}

std::u16string_view Field(const char16_t (&field)[PHONEBOOK_FIELD_CHARS]) {
    size_t n = 0;
    while (n < PHONEBOOK_FIELD_CHARS && field[n])
        ++n;
    return std::u16string_view(field, n);
}

}  // namespace

CPhoneBook::CPhoneBook() {
    m_Entries.reserve(64);
}

void CPhoneBook::Decode(const uint8_t* bytes, size_t size) {
    m_Entries.clear();
    if (!bytes)
        return;
    const size_t records = std::min<size_t>(size / PHONEBOOK_ENTRY_BYTES, PHONEBOOK_ENTRIES);
    for (size_t r = 0; r < records; ++r) {
        const uint8_t* p = bytes + r * PHONEBOOK_ENTRY_BYTES;
        PHONEBOOK_ENTRY e;
        for (int i = 0; i < PHONEBOOK_FIELD_CHARS; ++i) {
            e.szName[i] = static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
            e.szNumber[i] = static_cast<char16_t>(p[256 + 2 * i] | p[256 + 2 * i + 1] << 8);
        }
        // A field that fills its 128 units has no end of its own.
        e.szName[PHONEBOOK_FIELD_CHARS - 1] = 0;
        e.szNumber[PHONEBOOK_FIELD_CHARS - 1] = 0;
        if (!e.szName[0])
            break;
        m_Entries.push_back(e);
    }
}

std::vector<uint8_t> CPhoneBook::Encode() const {
    std::vector<uint8_t> out(PHONEBOOK_FILE_BYTES, 0);
    for (size_t r = 0; r < m_Entries.size() && r < PHONEBOOK_ENTRIES; ++r) {
        uint8_t* p = out.data() + r * PHONEBOOK_ENTRY_BYTES;
        const PHONEBOOK_ENTRY& e = m_Entries[r];
        for (int i = 0; i < PHONEBOOK_FIELD_CHARS; ++i) {
            p[2 * i] = static_cast<uint8_t>(e.szName[i]);
            p[2 * i + 1] = static_cast<uint8_t>(e.szName[i] >> 8);
            p[256 + 2 * i] = static_cast<uint8_t>(e.szNumber[i]);
            p[256 + 2 * i + 1] = static_cast<uint8_t>(e.szNumber[i] >> 8);
        }
    }
    return out;
}

bool CPhoneBook::Load(const std::string& path) {
    m_Entries.clear();
    plat::File file;
    if (!file.Open(path, 0))  // read only
        return false;
    // The book's image at most: whatever a longer file carries after it is not the book's.
    std::vector<uint8_t> bytes(PHONEBOOK_FILE_BYTES);
    size_t got = 0;
    while (got < bytes.size()) {
        const long n = file.Read(bytes.data() + got, bytes.size() - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    Decode(bytes.data(), got);
    return true;
}

bool CPhoneBook::Save(const std::string& path) const {
    return plat::WriteFileAtomic(path, Encode());
}

int CPhoneBook::Insert(const std::u16string& name, const std::u16string& number) {
    if (Full() || name.empty() || number.empty())
        return -1;
    PHONEBOOK_ENTRY e = MakeEntry(name, number);
    auto at = std::upper_bound(m_Entries.begin(), m_Entries.end(), e, ByName);
    const int index = static_cast<int>(at - m_Entries.begin());
    m_Entries.insert(at, e);
    return index;
}

int CPhoneBook::Update(size_t i, const std::u16string& name, const std::u16string& number) {
    if (i >= m_Entries.size() || name.empty() || number.empty())
        return -1;
    m_Entries[i] = MakeEntry(name, number);
    std::stable_sort(m_Entries.begin(), m_Entries.end(), ByName);
    return Find(name);
}

bool CPhoneBook::Remove(size_t i) {
    if (i >= m_Entries.size())
        return false;
    m_Entries.erase(m_Entries.begin() + static_cast<long>(i));
    return true;
}

int CPhoneBook::FindDouble(const std::u16string& number) const {
    // Up to the first terminator, as the stored number is compared.
    const std::u16string_view tail = Tail(std::u16string_view(number.c_str()));
    for (size_t i = 0; i < m_Entries.size(); ++i) {
        if (Tail(Field(m_Entries[i].szNumber)) == tail)
            return static_cast<int>(i);
    }
    return -1;
}

int CPhoneBook::Find(const std::u16string& name) const {
    for (size_t i = 0; i < m_Entries.size(); ++i) {
        if (name == m_Entries[i].szName)
            return static_cast<int>(i);
    }
    return -1;
}
