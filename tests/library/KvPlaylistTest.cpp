#include <gtest/gtest.h>

#include <set>
#include <string>

#include "library/include/Vantrel.h"
#include "library/multimedia/KvPlaylist.h"

using KvMultimedia::IKvPlaylist;

namespace {

class KvPlaylist : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = CreateIVantrel();
        ASSERT_EQ(m_root->CreatePlaylist(&m_list), RZ_OK);
    }
    void TearDown() override {
        EXPECT_EQ(m_list->Release(), 0);  // the factory gave exactly one reference
        m_root->Release();
    }
    void Fill(std::initializer_list<const char16_t*> names) {
        for (const char16_t* n : names)
            ASSERT_EQ(m_list->AddItem(n, u"D:\\Music"), RZ_OK);
    }
    // The name a read operation gives, or "FAIL" after checking what a failure leaves.
    std::u16string Got(RZRESULT result) {
        if (result != RZ_OK) {
            EXPECT_EQ(m_name, nullptr);
            EXPECT_EQ(m_folder, nullptr);
            EXPECT_EQ(m_type, 0);
            return u"FAIL";
        }
        EXPECT_EQ(std::u16string(m_folder), u"D:\\Music");
        EXPECT_EQ(m_type, 0);
        return m_name;
    }
    std::u16string Next(uint8_t wrap) {
        return Got(m_list->NextItem(&m_name, &m_folder, &m_type, wrap));
    }
    std::u16string Prev(uint8_t wrap) {
        return Got(m_list->PrevItem(&m_name, &m_folder, &m_type, wrap));
    }
    std::u16string Get(int index) {
        return Got(m_list->GetItem(&m_name, &m_folder, &m_type, index));
    }
    std::u16string Random() { return Got(m_list->RandomItem(&m_name, &m_folder, &m_type)); }
    int Cursor() {
        int c = -99;
        m_list->GetCurrentIndex(&c);
        return c;
    }
    int Count() {
        int c = -1;
        m_list->GetCount(&c);
        return c;
    }

    IVantrel* m_root = nullptr;
    IKvPlaylist* m_list = nullptr;
    char16_t* m_name = nullptr;
    char16_t* m_folder = nullptr;
    uint8_t m_type = 7;
};

}  // namespace

TEST_F(KvPlaylist, EmptyAndOneEntryWalks) {
    for (uint8_t wrap : {0, 1}) {
        EXPECT_EQ(Next(wrap), u"FAIL");
        EXPECT_EQ(Prev(wrap), u"FAIL");
    }
    EXPECT_EQ(Get(-1), u"FAIL");
    EXPECT_EQ(Random(), u"FAIL");
    m_list->RemoveAll();
    Fill({u"only.mp3"});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Next(1), u"only.mp3");
        EXPECT_EQ(Prev(1), u"only.mp3");
        EXPECT_EQ(Random(), u"only.mp3");
    }
    EXPECT_EQ(Next(0), u"FAIL");
    EXPECT_EQ(Prev(0), u"FAIL");
    EXPECT_EQ(Cursor(), 0);
}

TEST_F(KvPlaylist, ForwardAndBackwardWalksWrap) {
    Fill({u"A", u"B", u"C"});
    EXPECT_EQ(Get(-1), u"A");
    EXPECT_EQ(Prev(0), u"FAIL");
    EXPECT_EQ(Prev(1), u"C");
    EXPECT_EQ(Next(0), u"FAIL");
    EXPECT_EQ(Cursor(), 2);
    EXPECT_EQ(Next(1), u"A");
    EXPECT_EQ(Next(1), u"B");
    EXPECT_EQ(Get(-1), u"B");
    EXPECT_EQ(Get(2), u"C");
    EXPECT_EQ(Cursor(), 1);  // reading does not move it
    EXPECT_EQ(Get(3), u"FAIL");
    for (int cursor : {-3, 3, 9000}) {  // a cursor off the entries reads nothing
        m_list->SetCurrentIndex(cursor);
        EXPECT_EQ(Get(-1), u"FAIL") << cursor;
    }
}

TEST_F(KvPlaylist, RandomWalkVisitsEveryEntryAndMovesTheCursorToIt) {
    Fill({u"0", u"1", u"2", u"3", u"4"});
    std::set<std::u16string> seen;
    for (int i = 0; i < 300; ++i) {
        std::u16string name = Random();
        EXPECT_EQ(name, std::u16string(1, static_cast<char16_t>(u'0' + Cursor())));
        seen.insert(name);
    }
    EXPECT_EQ(seen.size(), 5u);
}

TEST_F(KvPlaylist, DuplicatesAndRemovalByName) {
    Fill({u"a.mp3", u"b.mp3", u"a.mp3"});
    m_list->SetCurrentIndex(2);
    EXPECT_EQ(m_list->RemoveItem(u"a.mp3"), RZ_OK);  // only the first
    EXPECT_EQ(Get(0) + Get(1), u"b.mp3a.mp3");
    EXPECT_EQ(Cursor(), 2);
    EXPECT_EQ(m_list->RemoveItem(u"A.MP3"), RZ_OK);  // exact, case and all
    EXPECT_EQ(m_list->RemoveItem(u"missing.mp3"), RZ_OK);
    EXPECT_EQ(Count(), 2);
}

TEST_F(KvPlaylist, PlainListOperationsAreBlockedThroughBothViews) {
    Fill({u"A", u"B"});
    m_list->SetCurrentIndex(1);
    auto* object = static_cast<KvMultimedia::CKvPlaylist*>(m_list);
    KvUtility::IKvList* views[2] = {m_list, static_cast<KvUtility::CKvList*>(object)};
    for (KvUtility::IKvList* view : views) {
        void* data = nullptr;
        uint8_t flag = 5;
        int v = 1;
        EXPECT_EQ(view->Next(&data, 1), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->Prev(&data, 1), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->GetAt(&data, 0), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->Random(&data), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->Add(&v, sizeof v, nullptr), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->SetFlag(1), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->GetFlag(&flag), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->SetAt(0, &v, sizeof v, nullptr), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->ClearAt(0), RZ_NOT_SUPPORTED);
        EXPECT_EQ(data, nullptr);
        EXPECT_EQ(flag, 5);
        EXPECT_EQ(Cursor(), 1);
        EXPECT_EQ(Get(0) + Get(1), u"AB");
    }
    EXPECT_EQ(views[1]->RemoveAt(0), RZ_OK);  // the working ones reach the same entries
    EXPECT_EQ(Get(0), u"B");
}

TEST_F(KvPlaylist, TextLimitAndCapacity) {
    std::u16string name(1000, u'n');
    std::u16string folder(1044, u'f');
    EXPECT_EQ(m_list->AddItem(name.c_str(), folder.c_str()), RZ_OK);
    folder += u'f';
    EXPECT_EQ(m_list->AddItem(name.c_str(), folder.c_str()), RZ_FAIL);
    EXPECT_EQ(m_list->AddItem(std::u16string(100000, u'x').c_str(), u""), RZ_FAIL);
    EXPECT_EQ(m_list->AddItem(nullptr, u"D:\\"), RZ_FAIL);
    EXPECT_EQ(m_list->AddItem(u"a", nullptr), RZ_FAIL);
    ASSERT_EQ(Count(), 1);
    ASSERT_EQ(m_list->GetItem(&m_name, &m_folder, &m_type, 0), RZ_OK);
    EXPECT_EQ(std::u16string(m_folder).size(), 1044u);

    m_list->RemoveAll();
    for (int i = 0; i < 8192; ++i)
        ASSERT_EQ(m_list->AddItem(u"x.mp3", u"D:\\Music"), RZ_OK);
    EXPECT_EQ(m_list->AddItem(u"one-too-many.mp3", u"D:\\Music"), RZ_OK);  // dropped quietly
    EXPECT_EQ(Count(), 8192);
    EXPECT_EQ(Get(8191), u"x.mp3");
}

TEST_F(KvPlaylist, HandedOutTextsSurviveLaterAdditions) {
    Fill({u"first.mp3"});
    ASSERT_EQ(m_list->GetItem(&m_name, &m_folder, &m_type, 0), RZ_OK);
    char16_t* name = m_name;
    for (int i = 0; i < 1000; ++i)  // the entry storage grows several times
        m_list->AddItem(u"more.mp3", u"D:\\Music");
    EXPECT_EQ(std::u16string(name), u"first.mp3");
}
