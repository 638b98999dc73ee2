// The dual-seat page on the whole unit: paging, the rules of what may be flipped on which
// screen, Exit that keeps homepage.db as it was, Save that both homepages show, the lock on the
// front screen only, and a skin asking for more rows than the page holds.
#include "apps/settings/DualSetDlg.h"

#include <gtest/gtest.h>

#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "library/include/IKvListbox.h"
#include "library/include/IKvText.h"
#include "platform/gfx/ImageFile.h"
#include "tests/apps/settings/SettingsTestUtil.h"
#include "tests/harness/SkinProbe.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;
using settingstest::Switch;
using settingstest::TapButton;

namespace {

CDualSetDlg* Dual(HeadUnit& unit) {
    return static_cast<CDualSetDlg*>(unit.Page(0, APPTYPE_DUAL_SET));
}

// The row of `app` in the table; -1 when it is not listed.
int RowOf(CDualSetDlg* page, int app) {
    for (int i = 0; i < page->m_byListed; ++i)
        if (page->m_App[i].iApp == app)
            return i;
    return -1;
}

// A tap on the icon of row `row` of the page shown.
void TapRow(HeadUnit& unit, CDualSetDlg* page, int row) {
    const plat::Rect& r = page->m_rcRow[row - page->m_byFirstRow];
    unit.Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    unit.Advance(60);
}

void ChooseScreen(HeadUnit& unit, CDualSetDlg* page, int screen) {
    plat::Rect r;
    ASSERT_EQ(page->m_pListbox[0]->GetItemRect(screen, &r), RZ_OK);
    unit.Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    unit.Advance(60);
    ASSERT_EQ(page->m_iScreen, screen);
}

std::u16string LabelText(CDualSetDlg* page, int row) {
    char16_t* text = nullptr;
    page->m_pLabel[row - page->m_byFirstRow]->GetText(&text);
    return text ? std::u16string(text) : std::u16string();
}

std::string HomepageDb(HeadUnit& unit) {
    return unit.File("Skin/Default/Homepage/homepage.db");
}

}  // namespace

TEST(DualSetPage, PagesFlipsByTheRulesAndExitLeavesTheLayoutAsItWas) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    const std::vector<uint8_t> saved = testsupport::ReadBytes(HomepageDb(unit));
    ASSERT_EQ(saved.size(), static_cast<size_t>(HOMEPAGE_LAYOUT_SIZE));
    Switch(unit, 0, APPTYPE_DUAL_SET, APPTYPE_SETTINGS);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_DUAL_SET);
    CDualSetDlg* page = Dual(unit);
    ASSERT_TRUE(page->m_bSkinned);
    ASSERT_EQ(page->m_byRowsPerPage, 9);
    ASSERT_EQ(page->m_byListed, 16) << "the default skin's homepage offers 16 applications";

    // Paging: 0..8, then 9..17 (rows past the 16th empty), no further, and back.
    TapButton(unit, page->m_pButton[DUALSET_NEXT_PAGE]);
    EXPECT_EQ(page->m_byFirstRow, 9);
    EXPECT_EQ(page->m_byEndRow, 18);
    const plat::Surface second = unit.Screen(0);
    TapButton(unit, page->m_pButton[DUALSET_NEXT_PAGE]);
    EXPECT_EQ(page->m_byFirstRow, 9);
    // The empty rows draw nothing and a tap there flips nothing.
    const plat::Rect empty = page->m_rcRow[8];
    EXPECT_EQ(settingstest::Differences(second, unit.Screen(0), empty), 0);
    TapRow(unit, page, 17);
    EXPECT_EQ(page->m_App[17].iApp, 0);
    EXPECT_EQ(page->m_App[17].byFront, 0);
    TapButton(unit, page->m_pButton[DUALSET_PREV_PAGE]);
    EXPECT_EQ(page->m_byFirstRow, 0);
    EXPECT_EQ(page->m_byEndRow, 9);
    TapButton(unit, page->m_pButton[DUALSET_PREV_PAGE]);
    EXPECT_EQ(page->m_byFirstRow, 0);

    const int settingsRow = RowOf(page, APPTYPE_SETTINGS);
    const int naviRow = RowOf(page, APPTYPE_NAVIGATION);
    const int musicRow = RowOf(page, APPTYPE_MUSIC);
    ASSERT_TRUE(settingsRow >= 0 && settingsRow < 9 && naviRow >= 0 && naviRow < 9);
    TapRow(unit, page, settingsRow);
    EXPECT_EQ(page->m_App[settingsRow].byFront, 1) << "Settings never flips";
    ChooseScreen(unit, page, 1);
    TapRow(unit, page, settingsRow);
    TapRow(unit, page, naviRow);
    EXPECT_EQ(page->m_App[settingsRow].byRear, 0);
    EXPECT_EQ(page->m_App[naviRow].byRear, 0) << "navigation is never the rear's";
    TapRow(unit, page, musicRow);
    EXPECT_EQ(page->m_App[musicRow].byRear, 0);
    ChooseScreen(unit, page, 0);
    TapRow(unit, page, naviRow);
    EXPECT_EQ(page->m_App[naviRow].byFront, 0) << "on the front it flips";

    TapButton(unit, page->m_pButton[DUALSET_EXIT]);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
    EXPECT_EQ(testsupport::ReadBytes(HomepageDb(unit)), saved);
    // The next visit starts from the layout again.
    Switch(unit, 0, APPTYPE_DUAL_SET, APPTYPE_SETTINGS);
    EXPECT_EQ(page->m_App[naviRow].byFront, 1);
    EXPECT_EQ(page->m_App[musicRow].byRear, 1);
}

TEST(DualSetPage, SaveReloadsBothHomepagesAndTheLockShowsOnTheFrontOnly) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    EXPECT_TRUE(harness::ShowsHomepageIcon(unit.Screen(1), 1, "APPTYPE_MUSIC", 0));
    Switch(unit, 0, APPTYPE_DUAL_SET, APPTYPE_SETTINGS);
    CDualSetDlg* page = Dual(unit);

    // The default lock table holds the movie: the lock over its front icon and its label on
    // both screens.
    const int movieRow = RowOf(page, APPTYPE_MOVIE);
    const int musicRow = RowOf(page, APPTYPE_MUSIC);
    CKernel* k = unit.Kernel();
    EXPECT_EQ(page->m_App[movieRow].byLocked, 1);
    EXPECT_EQ(LabelText(page, movieRow), std::u16string(k->m_Language[MSG_MSG_LOCK]));
    EXPECT_EQ(LabelText(page, musicRow), u"");
    const plat::Surface front = unit.Screen(0);
    // The lock is the first frame of the skin's lock strip, laid over the icon's box.
    plat::Surface lock;
    ASSERT_TRUE(plat::LoadImageFile(unit.File("Skin/Default/Homepage/lock.png"), lock));
    ASSERT_EQ(lock.Width() % 4, 0);
    const plat::Rect box = page->m_rcRow[movieRow];
    ASSERT_EQ(lock.Width() / 4, box.Width()) << "the skin draws the lock for the page's box";
    int opaque = 0, wrong = 0;
    for (int y = 0; y < lock.Height() && y < box.Height(); ++y) {
        for (int x = 0; x < box.Width(); ++x) {
            const uint32_t want = lock.PixelAt(x, y);
            if (want >> 24 != 0xFF)
                continue;
            ++opaque;
            wrong += front.PixelAt(box.left + x, box.top + y) != want;
        }
    }
    EXPECT_GT(opaque, 50);
    EXPECT_EQ(wrong, 0);
    ChooseScreen(unit, page, 1);
    const plat::Surface rear = unit.Screen(0);
    EXPECT_GT(settingstest::Differences(front, rear, page->m_rcRow[movieRow]), 50);
    EXPECT_EQ(settingstest::Differences(front, rear, page->m_rcRow[musicRow]), 0);
    EXPECT_EQ(LabelText(page, movieRow), std::u16string(k->m_Language[MSG_MSG_LOCK]));

    // Music off for the rear seat, saved.
    TapRow(unit, page, musicRow);
    EXPECT_GT(settingstest::Differences(rear, unit.Screen(0), page->m_rcRow[musicRow]), 50)
        << "the icon greys out";
    TapButton(unit, page->m_pButton[DUALSET_SAVE]);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
    unit.Advance(100);
    EXPECT_TRUE(harness::ShowsHomepageIcon(unit.Screen(1), 1, "APPTYPE_MUSIC", 3))
        << "the rear homepage shows the music disabled";

    std::vector<uint8_t> bytes = testsupport::ReadBytes(HomepageDb(unit));
    HOMEPAGE_LAYOUT stored{};
    ASSERT_TRUE(ReadHomepageLayout(bytes.data(), bytes.size(), stored));
    int rearMusic = -1, frontMusic = -1;
    for (int p = 0; p < stored.byPages; ++p) {
        for (int i = 0; i < stored.byItems; ++i) {
            if (stored.cell[1][p][i].byApp == APPTYPE_MUSIC && rearMusic < 0)
                rearMusic = stored.cell[1][p][i].byEnabled;
            if (stored.cell[0][p][i].byApp == APPTYPE_MUSIC && frontMusic < 0)
                frontMusic = stored.cell[0][p][i].byEnabled;
        }
    }
    EXPECT_EQ(rearMusic, 0);
    EXPECT_EQ(frontMusic, 1);

    // The table's unused entries (type 0, both flags 0) leave a cell of type 0 alone.
    HOMEPAGE_CELL& cell = GetCfgData()->m_Layout.cell[0][1][7];
    const uint8_t app = cell.byApp;
    cell.byApp = APPTYPE_HOMEPAGE;
    cell.byEnabled = 1;
    page->WriteFlags();
    EXPECT_EQ(cell.byEnabled, 1);
    cell.byApp = app;

    Switch(unit, 0, APPTYPE_HOMEPAGE);
    EXPECT_TRUE(harness::ShowsHomepageIcon(unit.Screen(0), 0, "APPTYPE_MUSIC", 0) ||
                harness::ShowsHomepageIcon(unit.Screen(0), 0, "APPTYPE_MUSIC", 1));
}

TEST(DualSetPage, ASkinAskingForAHundredRowsGetsTheSixtyFourThePageHolds) {
    HeadUnitOptions options;
    options.prepare = [](const std::string& dir) {
        settingstest::CopySkinFolder(dir, "DualSet");
        const std::string ini = dir + "/Skin/Default/DualSet/DualSet.ini";
        std::vector<uint8_t> bytes = testsupport::ReadBytes(ini);
        auto wide = [](const std::string& s) {
            std::vector<uint8_t> out;
            for (char c : s) {
                out.push_back(static_cast<uint8_t>(c));
                out.push_back(0);
            }
            return out;
        };
        const std::vector<uint8_t> from = wide("Item Count = 9"), to = wide("Item Count = 100");
        auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
        ASSERT_NE(at, bytes.end());
        at = bytes.erase(at, at + static_cast<long>(from.size()));
        bytes.insert(at, to.begin(), to.end());
        testsupport::WriteBytes(ini, bytes);
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start());
    Switch(unit, 0, APPTYPE_DUAL_SET, APPTYPE_SETTINGS);
    CDualSetDlg* page = Dual(unit);
    ASSERT_TRUE(page->m_bSkinned);
    EXPECT_EQ(page->m_byRowsPerPage, DUALSET_MAX_ROWS);
    TapButton(unit, page->m_pButton[DUALSET_NEXT_PAGE]);
    EXPECT_EQ(page->m_byFirstRow, 0) << "every application is on the first page";
    // Rows without a place in the skin are empty rectangles; taps anywhere flip nothing odd.
    unit.Tap(10, 10);
    unit.Tap(400, 300);
    unit.Advance(100);
    TapButton(unit, page->m_pButton[DUALSET_EXIT]);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
}
