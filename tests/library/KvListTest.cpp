#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "library/include/Vantrel.h"
#include "library/utility/KvList.h"
#include "platform/text/Text.h"

using KvUtility::IKvList;

namespace {

// A list as the root hands it out, with one reference that the fixture gives back.
class KvList : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = CreateIVantrel();
        ASSERT_EQ(m_root->CreateList(&m_list), RZ_OK);
    }
    void TearDown() override {
        if (m_list) {
            EXPECT_EQ(m_list->Release(), 0);
        }
        m_root->Release();
    }
    void AddInts(std::initializer_list<int> values) {
        for (int v : values)
            ASSERT_EQ(m_list->Add(&v, sizeof v, nullptr), RZ_OK);
    }
    static int Value(void* data) { return data ? *static_cast<int*>(data) : -999; }
    int Cursor() {
        int c = -1234;
        m_list->GetCurrentIndex(&c);
        return c;
    }
    int Count() {
        int c = -1;
        m_list->GetCount(&c);
        return c;
    }

    IVantrel* m_root = nullptr;
    IKvList* m_list = nullptr;
};

// What the list box does with the item list: keeps a display text in each record.
class TextList : public KvUtility::CKvList {
public:
    void SetText(int index, const char16_t* text) {
        KvUtility::KvListItem* item = Item(index);
        ASSERT_NE(item, nullptr);
        std::free(item->pText);
        size_t bytes = (plat::StrLen(text) + 1) * sizeof(char16_t);
        item->pText = static_cast<char16_t*>(std::malloc(bytes));
        std::memcpy(item->pText, text, bytes);
    }
    std::u16string Text(int index) {
        KvUtility::KvListItem* item = Item(index);
        return item && item->pText ? item->pText : u"(none)";
    }
};

}  // namespace

TEST_F(KvList, NextWrapsOnlyWhenAsked) {
    AddInts({10, 20, 30});
    void* data = nullptr;
    ASSERT_EQ(m_list->SetCurrentIndex(2), RZ_OK);
    EXPECT_EQ(m_list->Next(&data, 0), RZ_FAIL);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(Cursor(), 2);
    EXPECT_EQ(m_list->Next(&data, 1), RZ_OK);
    EXPECT_EQ(Value(data), 10);
    EXPECT_EQ(Cursor(), 0);
    EXPECT_EQ(m_list->Next(&data, 0), RZ_OK);
    EXPECT_EQ(Value(data), 20);
    EXPECT_EQ(Cursor(), 1);
}

TEST_F(KvList, PrevWrapsOnlyWhenAsked) {
    AddInts({10, 20, 30});
    void* data = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_list->Prev(&data, 0), RZ_FAIL);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(Cursor(), 0);
    EXPECT_EQ(m_list->Prev(&data, 1), RZ_OK);
    EXPECT_EQ(Value(data), 30);
    EXPECT_EQ(Cursor(), 2);
    EXPECT_EQ(m_list->Prev(&data, 0), RZ_OK);
    EXPECT_EQ(Value(data), 20);
}

TEST_F(KvList, EmptyListStepsGiveNoPayload) {
    void* data = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_list->GetAt(&data, -1), RZ_OK);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(m_list->Prev(&data, 0), RZ_FAIL);
    EXPECT_EQ(Cursor(), 0);
    EXPECT_EQ(m_list->Prev(&data, 1), RZ_FAIL);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(Cursor(), -1);
    // Reading at a cursor of -1 finds nothing rather than the memory before the items.
    data = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_list->GetAt(&data, -1), RZ_OK);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(m_list->Next(&data, 1), RZ_OK);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(Cursor(), 0);
    EXPECT_EQ(m_list->Next(&data, 0), RZ_FAIL);
}

TEST_F(KvList, CursorOutsideTheItemsReadsNothing) {
    AddInts({10, 20});
    void* data = reinterpret_cast<void*>(1);
    for (int cursor : {-7, -2, 2, 5, 8191, 8192, 100000, -2147483647 - 1}) {
        m_list->SetCurrentIndex(cursor);
        data = reinterpret_cast<void*>(1);
        EXPECT_EQ(m_list->GetAt(&data, -1), RZ_OK) << cursor;
        EXPECT_EQ(data, nullptr) << cursor;
    }
    for (int index : {2, 3, 8191, 8192, 1 << 30}) {
        data = reinterpret_cast<void*>(1);
        EXPECT_EQ(m_list->GetAt(&data, index), RZ_OK);
        EXPECT_EQ(data, nullptr) << index;
    }
    // Stepping from far outside lands outside too and still reads nothing.
    m_list->SetCurrentIndex(-5);
    EXPECT_EQ(m_list->Next(&data, 0), RZ_OK);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(Cursor(), -4);
    m_list->SetCurrentIndex(2147483647);
    EXPECT_EQ(m_list->Next(&data, 1), RZ_OK);
    EXPECT_EQ(Value(data), 10);
    m_list->SetCurrentIndex(9);
    EXPECT_EQ(m_list->Prev(&data, 0), RZ_OK);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(Cursor(), 8);
}

TEST_F(KvList, RandomPicksEveryItemAndMovesTheCursor) {
    void* data = reinterpret_cast<void*>(1);
    int cursor = Cursor();
    EXPECT_EQ(m_list->Random(&data), RZ_FAIL);  // empty: no division by zero
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(Cursor(), cursor);

    AddInts({0, 1, 2, 3});
    std::set<int> seen;
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(m_list->Random(&data), RZ_OK);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(Value(data), Cursor());
        seen.insert(Value(data));
    }
    EXPECT_EQ(seen.size(), 4u);
}

TEST_F(KvList, AddCopiesTheBytesAndStopsAtTheCapacity) {
    char text[] = "abc";
    ASSERT_EQ(m_list->Add(text, 4, nullptr), RZ_OK);
    text[0] = 'X';  // the caller's buffer is not the item
    void* data = nullptr;
    m_list->GetAt(&data, 0);
    EXPECT_STREQ(static_cast<char*>(data), "abc");
    ASSERT_EQ(m_list->Add(nullptr, 0, nullptr), RZ_OK);  // an empty item is still an item
    m_list->GetAt(&data, 1);
    EXPECT_NE(data, nullptr);
    EXPECT_EQ(m_list->Add(nullptr, 4, nullptr), RZ_FAIL);
    EXPECT_EQ(m_list->Add(text, -1, nullptr), RZ_FAIL);
    EXPECT_EQ(Count(), 2);

    m_list->RemoveAll();
    for (int i = 0; i < KvUtility::KVLIST_MAX_ITEMS; ++i)
        ASSERT_EQ(m_list->Add(&i, sizeof i, nullptr), RZ_OK) << i;
    int extra = 8192;
    EXPECT_EQ(m_list->Add(&extra, sizeof extra, nullptr), RZ_FAIL);
    EXPECT_EQ(Count(), 8192);
    m_list->GetAt(&data, 8191);
    EXPECT_EQ(Value(data), 8191);
    m_list->GetAt(&data, 1234);
    EXPECT_EQ(Value(data), 1234);  // earlier items survive the storage growing
}

TEST_F(KvList, ImageThatDoesNotLoadStillAddsTheItem) {
    int v = 5;
    EXPECT_EQ(m_list->Add(&v, sizeof v, u"/no/such/picture.png"), RZ_OK);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(m_list->SetAt(0, &v, sizeof v, u"/no/such/other.png"), RZ_OK);
    void* data = nullptr;
    m_list->GetAt(&data, 0);
    EXPECT_EQ(Value(data), 5);
}

TEST_F(KvList, OutOfRangeIndexesChangeNothing) {
    AddInts({10, 20});
    int v = 99;
    for (int index : {-1, 2, 8191, 8192}) {
        EXPECT_EQ(m_list->SetAt(index, &v, sizeof v, nullptr), RZ_FAIL) << index;
        EXPECT_EQ(m_list->ClearAt(index), RZ_FAIL) << index;
        EXPECT_EQ(m_list->RemoveAt(index), RZ_FAIL) << index;
    }
    EXPECT_EQ(Count(), 2);
    void* data = nullptr;
    m_list->GetAt(&data, 0);
    EXPECT_EQ(Value(data), 10);
    m_list->GetAt(&data, 1);
    EXPECT_EQ(Value(data), 20);
}

TEST_F(KvList, SetAtAndClearAt) {
    AddInts({10, 20, 30});
    int v = 21;
    ASSERT_EQ(m_list->SetAt(1, &v, sizeof v, nullptr), RZ_OK);
    void* data = nullptr;
    m_list->GetAt(&data, 1);
    EXPECT_EQ(Value(data), 21);
    ASSERT_EQ(m_list->ClearAt(1), RZ_OK);
    EXPECT_EQ(Count(), 3);  // the item stays, empty
    m_list->GetAt(&data, 1);
    EXPECT_EQ(data, nullptr);
    ASSERT_EQ(m_list->SetAt(1, &v, sizeof v, nullptr), RZ_OK);  // and can be filled again
    m_list->GetAt(&data, 1);
    EXPECT_EQ(Value(data), 21);
}

TEST_F(KvList, RemoveAtShiftsAndLeavesTheCursor) {
    AddInts({10, 20, 30});
    m_list->SetCurrentIndex(2);
    ASSERT_EQ(m_list->RemoveAt(0), RZ_OK);
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(Cursor(), 2);
    void* data = nullptr;
    m_list->GetAt(&data, 0);
    EXPECT_EQ(Value(data), 20);
    m_list->GetAt(&data, 1);
    EXPECT_EQ(Value(data), 30);
    // The cursor now stands past the end.
    data = reinterpret_cast<void*>(1);
    m_list->GetAt(&data, -1);
    EXPECT_EQ(data, nullptr);
    ASSERT_EQ(m_list->RemoveAll(), RZ_OK);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Cursor(), 0);
}

TEST_F(KvList, FlagUserWordAndReferences) {
    uint8_t flag = 7;
    m_list->GetFlag(&flag);
    EXPECT_EQ(flag, 0);
    m_list->SetFlag(1);
    m_list->GetFlag(&flag);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(m_list->SetUserData(0xDEADBEEF), RZ_OK);
    AddInts({1});
    EXPECT_EQ(m_list->AddRef(), 2);  // the factory gave exactly one
    EXPECT_EQ(m_list->Release(), 1);
}

TEST(KvListBase, TextsMoveWithTheirItemsInADerivedList) {
    auto* list = new TextList();
    list->AddRef();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(list->Add(&i, sizeof i, nullptr), RZ_OK);
    list->SetText(0, u"A");
    list->SetText(1, u"B");
    list->SetText(2, u"C");
    list->SetCurrentIndex(1);
    ASSERT_EQ(list->RemoveAt(0), RZ_OK);
    EXPECT_EQ(list->Text(0), u"B");
    EXPECT_EQ(list->Text(1), u"C");
    EXPECT_EQ(list->Text(2), u"(none)");
    int cursor = 0;
    list->GetCurrentIndex(&cursor);
    EXPECT_EQ(cursor, 1);
    // Clearing drops the bytes and keeps the text.
    ASSERT_EQ(list->ClearAt(0), RZ_OK);
    EXPECT_EQ(list->Text(0), u"B");
    // The rest is freed by Release (LeakSanitizer checks).
    EXPECT_EQ(list->Release(), 0);
}
