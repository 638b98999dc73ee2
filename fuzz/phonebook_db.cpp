// "Phonebook.db" in any shape: the book holds at most its 2048 entries, every name is set and
// every field ends within its 128 units, and the image written back reads as the same book.
#include <cstdint>
#include <vector>

#include "apps/phone/PhoneBook.h"
#include "fuzz/FuzzCheck.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPhoneBook book;
    book.Decode(data, size);
    Check(book.Count() <= PHONEBOOK_ENTRIES);
    for (size_t i = 0; i < book.Count(); ++i) {
        const PHONEBOOK_ENTRY& e = book.At(i);
        Check(e.szName[0] != 0);
        Check(e.szName[PHONEBOOK_FIELD_CHARS - 1] == 0);
        Check(e.szNumber[PHONEBOOK_FIELD_CHARS - 1] == 0);
    }
    const std::vector<uint8_t> image = book.Encode();
    Check(image.size() == PHONEBOOK_FILE_BYTES);
    CPhoneBook again;
    again.Decode(image.data(), image.size());
    Check(again.Count() == book.Count());
    Check(again.Encode() == image);
    return 0;
}
