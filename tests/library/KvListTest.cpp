#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "library/include/Vantrel.h"
#include "library/utility/KvList.h"

using KvUtility::IKvList;

namespace {

void* const kUntouched = reinterpret_cast<void*>(1);

// A list as the root hands it out; the fixture gives back its one reference.
class KvList : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = CreateIVantrel();
        ASSERT_EQ(m_root->CreateList(&m_list), RZ_OK);
        for (int v : {10, 20, 30})
            ASSERT_EQ(m_list->Add(&v, sizeof v, nullptr), RZ_OK);
    }
    void TearDown() override {
        EXPECT_EQ(m_list->Release(), 0);
        m_root->Release();
    }
    // Value of an item's payload; 0 for none.
    static int Value(void* data) { return data ? *static_cast<int*>(data) : 0; }
    int At(int index) {
        void* data = kUntouched;
        EXPECT_EQ(m_list->GetAt(&data, index), RZ_OK);
        return Value(data);
    }
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
    void* m_data = nullptr;
};

}  // namespace

TEST_F(KvList, StepsWrapOnlyWhenAsked) {
    m_list->SetCurrentIndex(2);
    EXPECT_EQ(m_list->Next(&m_data, 0), RZ_FAIL);
    EXPECT_EQ(m_data, nullptr);
    EXPECT_EQ(Cursor(), 2);
    EXPECT_EQ(m_list->Next(&m_data, 1), RZ_OK);
    EXPECT_EQ(Value(m_data), 10);
    EXPECT_EQ(Cursor(), 0);
    EXPECT_EQ(m_list->Prev(&m_data, 0), RZ_FAIL);
    EXPECT_EQ(Cursor(), 0);
    EXPECT_EQ(m_list->Prev(&m_data, 1), RZ_OK);
    EXPECT_EQ(Value(m_data), 30);
    EXPECT_EQ(m_list->Prev(&m_data, 0), RZ_OK);
    EXPECT_EQ(Value(m_data), 20);
    EXPECT_EQ(At(-1), 20);  // reading does not move the cursor
    EXPECT_EQ(Cursor(), 1);
}

TEST_F(KvList, EmptyListGivesNoPayloadAndNoRandomPick) {
    m_list->RemoveAll();
    EXPECT_EQ(At(-1), 0);
    m_data = kUntouched;
    EXPECT_EQ(m_list->Random(&m_data), RZ_FAIL);  // no division by zero
    EXPECT_EQ(m_data, nullptr);
    EXPECT_EQ(m_list->Prev(&m_data, 1), RZ_FAIL);
    EXPECT_EQ(Cursor(), -1);
    EXPECT_EQ(At(-1), 0);  // a cursor of -1 reads nothing, not what lies before the items
    EXPECT_EQ(m_list->Next(&m_data, 1), RZ_OK);
    EXPECT_EQ(m_data, nullptr);
    EXPECT_EQ(Cursor(), 0);
}

TEST_F(KvList, ReadsOutsideTheItemsGiveNoPayload) {
    for (int cursor : {-7, 3, 8191, 8192, 100000, -2147483647 - 1}) {
        m_list->SetCurrentIndex(cursor);
        EXPECT_EQ(At(-1), 0) << cursor;
    }
    for (int index : {3, 8191, 8192, 1 << 30})
        EXPECT_EQ(At(index), 0) << index;
    m_list->SetCurrentIndex(-5);
    EXPECT_EQ(m_list->Next(&m_data, 0), RZ_OK);
    EXPECT_EQ(m_data, nullptr);
    m_list->SetCurrentIndex(2147483647);
    EXPECT_EQ(m_list->Next(&m_data, 1), RZ_OK);  // no overflow: wraps to the first item
    EXPECT_EQ(Value(m_data), 10);
    m_list->SetCurrentIndex(9);
    EXPECT_EQ(m_list->Prev(&m_data, 0), RZ_OK);
    EXPECT_EQ(m_data, nullptr);
}

TEST_F(KvList, RandomPickVisitsEveryItemAndMovesTheCursor) {
    std::set<int> seen;
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(m_list->Random(&m_data), RZ_OK);
        EXPECT_EQ(Value(m_data), At(-1));
        seen.insert(Value(m_data));
    }
    EXPECT_EQ(seen, (std::set<int>{10, 20, 30}));
}

TEST_F(KvList, AddCopiesTheBytesUpToTheCapacity) {
    int v = 40;
    ASSERT_EQ(m_list->Add(&v, sizeof v, u"/no/such/picture.png"), RZ_OK);  // image or not
    v = 41;
    EXPECT_EQ(At(3), 40);
    EXPECT_EQ(m_list->Add(nullptr, 4, nullptr), RZ_FAIL);
    EXPECT_EQ(m_list->Add(&v, -1, nullptr), RZ_FAIL);
    ASSERT_EQ(m_list->Add(nullptr, 0, nullptr), RZ_OK);  // an empty item is still an item
    m_list->GetAt(&m_data, 4);
    EXPECT_NE(m_data, nullptr);

    m_list->RemoveAll();
    for (int i = 0; i < KvUtility::KVLIST_MAX_ITEMS; ++i)
        ASSERT_EQ(m_list->Add(&i, sizeof i, nullptr), RZ_OK) << i;
    EXPECT_EQ(m_list->Add(&v, sizeof v, nullptr), RZ_FAIL);
    EXPECT_EQ(Count(), 8192);
    EXPECT_EQ(At(8191), 8191);
    EXPECT_EQ(At(1234), 1234);  // earlier items survive the storage growing
}

TEST_F(KvList, ChangesAtAnIndexOutsideTheItemsAreRefused) {
    int v = 99;
    for (int index : {-1, 3, 8191, 8192}) {
        EXPECT_EQ(m_list->SetAt(index, &v, sizeof v, nullptr), RZ_FAIL) << index;
        EXPECT_EQ(m_list->ClearAt(index), RZ_FAIL) << index;
        EXPECT_EQ(m_list->RemoveAt(index), RZ_FAIL) << index;
    }
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(At(0) + At(1) + At(2), 60);
}

TEST_F(KvList, SetClearAndRemove) {
    int v = 21;
    ASSERT_EQ(m_list->SetAt(1, &v, sizeof v, u"/no/such/picture.png"), RZ_OK);
    EXPECT_EQ(At(1), 21);
    ASSERT_EQ(m_list->ClearAt(1), RZ_OK);
    EXPECT_EQ(Count(), 3);  // the item stays, empty
    EXPECT_EQ(At(1), 0);
    m_list->SetCurrentIndex(2);
    ASSERT_EQ(m_list->RemoveAt(0), RZ_OK);
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(Cursor(), 2);  // not adjusted: now past the end
    EXPECT_EQ(At(-1), 0);
    EXPECT_EQ(At(1), 30);
    EXPECT_EQ(m_list->AddRef(), 2);  // the factory gave exactly one reference
    EXPECT_EQ(m_list->Release(), 1);
}

// What the list box does with the item list: keeps a display text in each record.
class TextList : public KvUtility::CKvList {
public:
    void SetText(int index, char16_t letter) {
        KvUtility::KvListItem* item = Item(index);
        ASSERT_NE(item, nullptr);
        item->pText = static_cast<char16_t*>(std::malloc(2 * sizeof(char16_t)));
        item->pText[0] = letter;
        item->pText[1] = 0;
    }
    std::u16string Text(int index) {
        KvUtility::KvListItem* item = Item(index);
        return item && item->pText ? item->pText : u"-";
    }
};

TEST(KvListBase, TextsMoveWithTheirItemsInADerivedList) {
    auto* list = new TextList();
    list->AddRef();
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(list->Add(&i, sizeof i, nullptr), RZ_OK);
        list->SetText(i, static_cast<char16_t>(u'A' + i));
    }
    ASSERT_EQ(list->RemoveAt(0), RZ_OK);
    EXPECT_EQ(list->Text(0) + list->Text(1) + list->Text(2), u"BC-");
    ASSERT_EQ(list->ClearAt(0), RZ_OK);  // drops the bytes, keeps the text
    EXPECT_EQ(list->Text(0), u"B");
    EXPECT_EQ(list->Release(), 0);  // LeakSanitizer checks that the texts went with it
}
