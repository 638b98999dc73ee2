#include <gtest/gtest.h>

#include <set>
#include <string>

#include "library/include/Vantrel.h"
#include "library/multimedia/KvPlaylist.h"

using KvMultimedia::IKvPlaylist;

namespace {

struct Entry {
    RZRESULT result;
    std::u16string name;
    std::u16string folder;
    int type;
};

class KvPlaylist : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = CreateIVantrel();
        ASSERT_EQ(m_root->CreatePlaylist(&m_list), RZ_OK);
    }
    void TearDown() override {
        EXPECT_EQ(m_list->Release(), 0);
        m_root->Release();
    }
    void Fill(std::initializer_list<const char16_t*> names) {
        for (const char16_t* n : names)
            ASSERT_EQ(m_list->AddItem(n, u"D:\\Music"), RZ_OK);
    }
    // Runs a read operation and checks the out-parameters it leaves on failure.
    template <typename Op>
    Entry Read(Op op) {
        char16_t* name = reinterpret_cast<char16_t*>(1);
        char16_t* folder = reinterpret_cast<char16_t*>(1);
        uint8_t type = 77;
        Entry e{op(&name, &folder, &type), u"", u"", type};
        if (e.result == RZ_OK) {
            e.name = name;
            e.folder = folder;
        } else {
            EXPECT_EQ(name, nullptr);
            EXPECT_EQ(folder, nullptr);
            EXPECT_EQ(type, 0);
        }
        return e;
    }
    Entry NextItem(uint8_t wrap) {
        return Read([&](char16_t** n, char16_t** f, uint8_t* t) {
            return m_list->NextItem(n, f, t, wrap);
        });
    }
    Entry PrevItem(uint8_t wrap) {
        return Read([&](char16_t** n, char16_t** f, uint8_t* t) {
            return m_list->PrevItem(n, f, t, wrap);
        });
    }
    Entry GetItem(int index) {
        return Read([&](char16_t** n, char16_t** f, uint8_t* t) {
            return m_list->GetItem(n, f, t, index);
        });
    }
    Entry RandomItem() {
        return Read(
            [&](char16_t** n, char16_t** f, uint8_t* t) { return m_list->RandomItem(n, f, t); });
    }
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
};

}  // namespace

TEST_F(KvPlaylist, EmptyPlaylistHasNothingToGive) {
    EXPECT_EQ(NextItem(1).result, RZ_FAIL);
    EXPECT_EQ(NextItem(0).result, RZ_FAIL);
    EXPECT_EQ(PrevItem(1).result, RZ_FAIL);
    EXPECT_EQ(PrevItem(0).result, RZ_FAIL);
    EXPECT_EQ(GetItem(-1).result, RZ_FAIL);
    EXPECT_EQ(GetItem(0).result, RZ_FAIL);
    EXPECT_EQ(RandomItem().result, RZ_FAIL);
}

TEST_F(KvPlaylist, ForwardWalkWrapsToTheFirstEntry) {
    Fill({u"A", u"B", u"C"});
    EXPECT_EQ(GetItem(-1).name, u"A");  // the cursor starts on the first entry
    EXPECT_EQ(NextItem(1).name, u"B");
    EXPECT_EQ(NextItem(1).name, u"C");
    EXPECT_EQ(NextItem(0).result, RZ_FAIL);
    EXPECT_EQ(Cursor(), 2);
    Entry e = NextItem(1);
    EXPECT_EQ(e.result, RZ_OK);
    EXPECT_EQ(e.name, u"A");
    EXPECT_EQ(e.folder, u"D:\\Music");
    EXPECT_EQ(e.type, 0);
    EXPECT_EQ(Cursor(), 0);
}

TEST_F(KvPlaylist, BackwardWalkWrapsToTheLastEntry) {
    Fill({u"A", u"B", u"C"});
    EXPECT_EQ(PrevItem(0).result, RZ_FAIL);
    EXPECT_EQ(Cursor(), 0);
    EXPECT_EQ(PrevItem(1).name, u"C");
    EXPECT_EQ(PrevItem(1).name, u"B");
    EXPECT_EQ(PrevItem(0).name, u"A");
    EXPECT_EQ(Cursor(), 0);
}

TEST_F(KvPlaylist, OneEntryWrapsOntoItself) {
    Fill({u"only.mp3"});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(NextItem(1).name, u"only.mp3");
        EXPECT_EQ(PrevItem(1).name, u"only.mp3");
        EXPECT_EQ(RandomItem().name, u"only.mp3");
    }
    EXPECT_EQ(NextItem(0).result, RZ_FAIL);
    EXPECT_EQ(PrevItem(0).result, RZ_FAIL);
    EXPECT_EQ(Cursor(), 0);
}

TEST_F(KvPlaylist, GetItemReadsWithoutMovingTheCursor) {
    Fill({u"A", u"B", u"C"});
    m_list->SetCurrentIndex(1);
    EXPECT_EQ(GetItem(-1).name, u"B");
    EXPECT_EQ(GetItem(2).name, u"C");
    EXPECT_EQ(GetItem(3).result, RZ_FAIL);
    EXPECT_EQ(GetItem(8192).result, RZ_FAIL);
    EXPECT_EQ(Cursor(), 1);
    // A cursor outside the entries reads nothing, whichever side it is on.
    for (int cursor : {-3, 3, 9000}) {
        m_list->SetCurrentIndex(cursor);
        EXPECT_EQ(GetItem(-1).result, RZ_FAIL) << cursor;
    }
    // Removing entries leaves the cursor where it was.
    m_list->SetCurrentIndex(2);
    ASSERT_EQ(m_list->RemoveAt(0), RZ_OK);
    EXPECT_EQ(Cursor(), 2);
    EXPECT_EQ(GetItem(-1).result, RZ_FAIL);
    EXPECT_EQ(GetItem(0).name, u"B");
}

TEST_F(KvPlaylist, RandomWalkVisitsEveryEntryAndMovesTheCursorToIt) {
    Fill({u"0", u"1", u"2", u"3", u"4"});
    std::set<std::u16string> seen;
    for (int i = 0; i < 500; ++i) {
        Entry e = RandomItem();
        ASSERT_EQ(e.result, RZ_OK);
        EXPECT_EQ(e.name, GetItem(-1).name);
        EXPECT_EQ(e.name, std::u16string(1, static_cast<char16_t>(u'0' + Cursor())));
        seen.insert(e.name);
    }
    EXPECT_EQ(seen.size(), 5u);
}

TEST_F(KvPlaylist, DuplicatesAndRemovalByName) {
    Fill({u"a.mp3", u"b.mp3", u"a.mp3"});
    ASSERT_EQ(m_list->AddItem(u"a.mp3", u"E:\\Other"), RZ_OK);
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(m_list->RemoveItem(u"a.mp3"), RZ_OK);
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(GetItem(0).name, u"b.mp3");
    EXPECT_EQ(GetItem(1).name, u"a.mp3");
    EXPECT_EQ(GetItem(2).folder, u"E:\\Other");
    EXPECT_EQ(m_list->RemoveItem(u"A.MP3"), RZ_OK);  // exact, case and all
    EXPECT_EQ(m_list->RemoveItem(u"missing.mp3"), RZ_OK);
    EXPECT_EQ(Count(), 3);
    ASSERT_EQ(m_list->RemoveAll(), RZ_OK);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Cursor(), 0);
}

TEST_F(KvPlaylist, PlainListOperationsAreBlockedThroughBothViews) {
    Fill({u"A", u"B"});
    m_list->SetCurrentIndex(1);
    auto* object = static_cast<KvMultimedia::CKvPlaylist*>(m_list);
    KvUtility::IKvList* views[2] = {m_list, static_cast<KvUtility::CKvList*>(object)};
    for (KvUtility::IKvList* view : views) {
        void* data = reinterpret_cast<void*>(1);
        uint8_t flag = 5;
        int v = 1;
        EXPECT_EQ(view->Next(&data, 1), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->Prev(&data, 1), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->GetAt(&data, 0), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->Random(&data), RZ_NOT_SUPPORTED);
        EXPECT_EQ(data, reinterpret_cast<void*>(1));
        EXPECT_EQ(view->Add(&v, sizeof v, nullptr), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->SetFlag(1), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->GetFlag(&flag), RZ_NOT_SUPPORTED);
        EXPECT_EQ(flag, 5);
        EXPECT_EQ(view->SetAt(0, &v, sizeof v, nullptr), RZ_NOT_SUPPORTED);
        EXPECT_EQ(view->ClearAt(0), RZ_NOT_SUPPORTED);
        EXPECT_EQ(Count(), 2);
        EXPECT_EQ(Cursor(), 1);
        EXPECT_EQ(GetItem(0).name, u"A");
        EXPECT_EQ(GetItem(1).name, u"B");
        int count = 0;
        EXPECT_EQ(view->GetCount(&count), RZ_OK);
        EXPECT_EQ(count, 2);
    }
    // The working ones reach the same entries from the base view.
    EXPECT_EQ(views[1]->RemoveAt(0), RZ_OK);
    EXPECT_EQ(GetItem(0).name, u"B");
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
    Entry e = GetItem(0);
    EXPECT_EQ(e.name.size(), 1000u);
    EXPECT_EQ(e.folder.size(), 1044u);
    EXPECT_EQ(m_list->AddItem(u"", u""), RZ_OK);  // empty texts are still an entry
    EXPECT_EQ(GetItem(1).result, RZ_OK);

    m_list->RemoveAll();
    for (int i = 0; i < 8192; ++i)
        ASSERT_EQ(m_list->AddItem(u"x.mp3", u"D:\\"), RZ_OK);
    EXPECT_EQ(m_list->AddItem(u"one-too-many.mp3", u"D:\\"), RZ_OK);  // dropped quietly
    EXPECT_EQ(Count(), 8192);
    EXPECT_EQ(GetItem(8191).name, u"x.mp3");
}

TEST_F(KvPlaylist, HandedOutTextsSurviveLaterAdditions) {
    Fill({u"first.mp3"});
    char16_t* name = nullptr;
    char16_t* folder = nullptr;
    uint8_t type = 0;
    ASSERT_EQ(m_list->GetItem(&name, &folder, &type, 0), RZ_OK);
    for (int i = 0; i < 1000; ++i)  // the entry storage grows several times
        m_list->AddItem(u"more.mp3", u"D:\\Music");
    EXPECT_EQ(std::u16string(name), u"first.mp3");
    EXPECT_EQ(std::u16string(folder), u"D:\\Music");
}

TEST(KvPlaylistObject, FactoryAndConstructionHandOutOneReference) {
    IVantrel* root = CreateIVantrel();
    IKvPlaylist* list = nullptr;
    ASSERT_EQ(root->CreatePlaylist(&list), RZ_OK);
    list->AddItem(u"a.mp3", u"D:\\");
    EXPECT_EQ(list->AddRef(), 2);
    EXPECT_EQ(list->Release(), 1);
    EXPECT_EQ(list->Release(), 0);  // LeakSanitizer checks that this freed it
    EXPECT_EQ(root->CreatePlaylist(nullptr), RZ_FAIL);
    root->Release();
}
