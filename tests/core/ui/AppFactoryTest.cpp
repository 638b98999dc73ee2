#include "core/ui/AppFactory.h"

#include <gtest/gtest.h>

namespace {

class RadioPage : public CVelkoraAppDlg {};
class DisplayPage : public CVelkoraAppDlg {};

std::unique_ptr<CVelkoraAppDlg> NoMemory() {
    return nullptr;
}

}  // namespace

TEST(AppFactory, OnlyKindsZeroToTwelveThatAreBuiltGiveAPage) {
    std::unique_ptr<CVelkoraAppDlg> page;
    for (int kind : {-1, 13, 255, 1000}) {
        EXPECT_FALSE(CreateApplicationDlg(page, kind)) << kind;
        EXPECT_FALSE(RegisterApplicationDlg(kind, &NewApplicationDlg<RadioPage>)) << kind;
    }
    // Kinds whose pages are not built yet answer false.
    for (int kind = 0; kind < APPKIND_COUNT; ++kind) {
        if (ApplicationDlgMaker(kind))  // built into the program
            continue;
        EXPECT_FALSE(CreateApplicationDlg(page, kind)) << kind;
        EXPECT_EQ(page, nullptr);
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
