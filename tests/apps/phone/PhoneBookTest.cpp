// The phone book's store on real files: sorted by name in UTF-16 order, the 1 MiB image,
// doubles found by their last nine characters, and files that do not keep to the layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "apps/phone/PhoneBook.h"
#include "platform/io/File.h"
#include "tests/support/TestSupport.h"

using testsupport::TempDir;

namespace {

std::vector<std::u16string> Names(const CPhoneBook& book) {
    std::vector<std::u16string> out;
    for (size_t i = 0; i < book.Count(); ++i)
        out.push_back(book.At(i).szName);
    return out;
}

using List = std::vector<std::u16string>;

}  // namespace

TEST(PhoneBook, KeepsNamesInUnitOrderThroughInsertUpdateRemoveAndTheFile) {
    TempDir dir;
    const std::string file = dir.File("Phonebook.db");
    CPhoneBook book;
    EXPECT_FALSE(book.Load(file)) << "no file yet";
    EXPECT_EQ(book.Insert(u"adam", u"0301111111"), 0);
    EXPECT_EQ(book.Insert(u"Zed", u"0302222222"), 0) << "upper case sorts first";
    EXPECT_EQ(book.Insert(u"Maria", u"0303333333"), 0);
    EXPECT_EQ(book.Insert(u"", u"1"), -1);
    EXPECT_EQ(book.Insert(u"x", u""), -1);
    EXPECT_EQ(Names(book), (List{u"Maria", u"Zed", u"adam"}));

    // An edit that renames moves the entry to its new place.
    EXPECT_EQ(book.Update(2, u"Alice", u"0304444444"), 0);
    EXPECT_EQ(Names(book), (List{u"Alice", u"Maria", u"Zed"}));

    // Doubles: the same last nine characters, or the whole of a shorter number.
    EXPECT_EQ(book.FindDouble(u"+49 304444444"), 0);
    EXPECT_EQ(book.FindDouble(u"0303333333"), 1);
    EXPECT_EQ(book.FindDouble(u"0309999999"), -1);

    ASSERT_TRUE(book.Save(file));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(plat::ReadWholeFile(file, bytes));
    ASSERT_EQ(bytes.size(), 1048576u);
    EXPECT_EQ(bytes[0], 'A');
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[256], '0');
    EXPECT_EQ(bytes[512], 'M');
    EXPECT_EQ(bytes[3 * 512], 0) << "zeros after the last entry";

    CPhoneBook again;
    ASSERT_TRUE(again.Load(file));
    EXPECT_EQ(Names(again), (List{u"Alice", u"Maria", u"Zed"}));
    EXPECT_EQ(std::u16string(again.At(2).szNumber), u"0302222222");

    // Removing the last, a middle and the only entry.
    EXPECT_TRUE(again.Remove(2));
    EXPECT_TRUE(again.Remove(0));
    EXPECT_EQ(Names(again), (List{u"Maria"}));
    EXPECT_TRUE(again.Remove(0));
    EXPECT_FALSE(again.Remove(0));
    EXPECT_EQ(again.Count(), 0u);
}

TEST(PhoneBook, AFileThatBreaksTheLayoutLoadsWithinTheBook) {
    TempDir dir;
    const std::string file = dir.File("Phonebook.db");
    // Longer than the book, every field filled to its last unit with no end, no empty name.
    std::vector<uint8_t> bytes(1048576 + 4096, 'A');
    ASSERT_TRUE(plat::WriteFileAtomic(file, bytes));
    CPhoneBook book;
    book.Insert(u"old", u"0300000000");
    ASSERT_TRUE(book.Load(file));
    ASSERT_EQ(book.Count(), 2048u) << "the book's limit, nothing of what it held before";
    EXPECT_EQ(std::u16string(book.At(0).szName).size(), 127u);
    EXPECT_EQ(std::u16string(book.At(2047).szNumber).size(), 127u);
    EXPECT_TRUE(book.Full());
    EXPECT_EQ(book.Insert(u"one more", u"0301234567"), -1) << "a 2049th entry is refused";
    EXPECT_EQ(book.Count(), 2048u);

    // A short file: the entries it holds whole.
    std::vector<uint8_t> part(512 + 300, 0);
    part[0] = 'B';
    part[256] = '5';
    part[512] = 'C';
    ASSERT_TRUE(plat::WriteFileAtomic(file, part));
    ASSERT_TRUE(book.Load(file));
    EXPECT_EQ(Names(book), (List{u"B"}));
}
