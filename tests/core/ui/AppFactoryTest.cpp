#include "core/ui/AppFactory.h"

#include <gtest/gtest.h>

#include "core/ui/AppType.h"

namespace {

class RadioPage : public CVelkoraAppDlg {};
class DisplayPage : public CVelkoraAppDlg {};

std::unique_ptr<CVelkoraAppDlg> NoMemory() {
    return nullptr;
}

bool Built(int kind) {
    for (size_t i = 0; i < g_nBuiltPages; ++i) {
        if (g_BuiltPages[i].kind == kind)
            return true;
    }
    return false;
}

// Puts the makers of the kinds a test changes back as they were.
class KeepMakers {
public:
    KeepMakers() {
        for (int kind = 0; kind < APPKIND_COUNT; ++kind)
            m_kinds[kind] = ApplicationDlgMaker(kind);
        for (int type = 0; type < APPTYPE_COUNT; ++type)
            m_types[type] = OwnPageDlgMaker(type);
    }
    ~KeepMakers() {
        for (int kind = 0; kind < APPKIND_COUNT; ++kind)
            RegisterApplicationDlg(kind, m_kinds[kind]);
        for (int type = 0; type < APPTYPE_COUNT; ++type)
            RegisterOwnPageDlg(type, m_types[type]);
    }

private:
    PFN_CREATE_APPLICATION m_kinds[APPKIND_COUNT];
    PFN_CREATE_APPLICATION m_types[APPTYPE_COUNT];
};

}  // namespace

TEST(AppFactory, OnlyKindsZeroToTwelveThatAreBuiltGiveAPage) {
    KeepMakers keep;
    std::unique_ptr<CVelkoraAppDlg> page;
    for (int kind : {-1, 13, 255, 1000}) {
        EXPECT_FALSE(CreateApplicationDlg(page, kind)) << kind;
        EXPECT_FALSE(RegisterApplicationDlg(kind, &NewApplicationDlg<RadioPage>)) << kind;
        EXPECT_EQ(ApplicationDlgMaker(kind), nullptr);
    }
    // Kinds whose pages are not built yet answer false; the built ones give a page.
    for (int kind = 0; kind < APPKIND_COUNT; ++kind) {
        EXPECT_EQ(CreateApplicationDlg(page, kind), Built(kind)) << kind;
        EXPECT_EQ(page != nullptr, Built(kind));
    }

    ASSERT_TRUE(RegisterApplicationDlg(APPKIND_RADIO, &NewApplicationDlg<RadioPage>));
    ASSERT_TRUE(RegisterApplicationDlg(APPKIND_DISPLAY, &NewApplicationDlg<DisplayPage>));
    ASSERT_TRUE(CreateApplicationDlg(page, APPKIND_RADIO));
    EXPECT_NE(dynamic_cast<RadioPage*>(page.get()), nullptr);
    // Each call makes a page of its own (the display kind is made twice, for two types).
    std::unique_ptr<CVelkoraAppDlg> first, second;
    ASSERT_TRUE(CreateApplicationDlg(first, APPKIND_DISPLAY));
    ASSERT_TRUE(CreateApplicationDlg(second, APPKIND_DISPLAY));
    EXPECT_NE(first.get(), second.get());
    EXPECT_NE(dynamic_cast<DisplayPage*>(second.get()), nullptr);

    // A page that cannot be made fails the call and hands out nothing.
    ASSERT_TRUE(RegisterApplicationDlg(APPKIND_RADIO, &NoMemory));
    EXPECT_FALSE(CreateApplicationDlg(page, APPKIND_RADIO));
    EXPECT_EQ(page, nullptr);
    ASSERT_TRUE(RegisterApplicationDlg(APPKIND_RADIO, nullptr));
    EXPECT_FALSE(CreateApplicationDlg(page, APPKIND_RADIO));
}

TEST(AppFactory, PagesTheMainDialogMakesItselfAreFoundByTypeInTheSameTable) {
    KeepMakers keep;
    std::unique_ptr<CVelkoraAppDlg> page;
    ASSERT_TRUE(CreateOwnPageDlg(page, APPTYPE_HOMEPAGE)) << "the homepage is built in";
    for (int type : {-1, APPTYPE_COUNT, 255}) {
        EXPECT_FALSE(CreateOwnPageDlg(page, type)) << type;
        EXPECT_FALSE(RegisterOwnPageDlg(type, &NewApplicationDlg<RadioPage>)) << type;
    }
    // A type's maker and a kind's maker of the same number are two slots.
    PFN_CREATE_APPLICATION kindFour = ApplicationDlgMaker(4);
    ASSERT_TRUE(RegisterOwnPageDlg(4, &NewApplicationDlg<RadioPage>));
    EXPECT_EQ(ApplicationDlgMaker(4), kindFour);
    ASSERT_TRUE(RegisterOwnPageDlg(APPTYPE_ABOUT, &NewApplicationDlg<DisplayPage>));
    ASSERT_TRUE(CreateOwnPageDlg(page, APPTYPE_ABOUT));
    EXPECT_NE(dynamic_cast<DisplayPage*>(page.get()), nullptr);
    ASSERT_TRUE(RegisterOwnPageDlg(APPTYPE_ABOUT, &NoMemory));
    EXPECT_FALSE(CreateOwnPageDlg(page, APPTYPE_ABOUT));
    EXPECT_EQ(page, nullptr);
}
