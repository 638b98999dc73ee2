// The application paths page on the whole head unit: the path lines, the edit copy against the
// live paths, Save into "AppPath.db", and the program chooser on a temporary tree, driven by a
// second thread as a user would while its modal run holds the user-interface thread.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "apps/settings/ApplicationSetDlg.h"
#include "apps/settings/ChooseExecutable.h"
#include "core/kernel/AppPaths.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"
#include "tests/apps/settings/SettingsPages.h"
#include "tests/support/TestSupport.h"

using namespace settingstest;
using harness::HeadUnitOptions;

namespace {

bool WaitReal(const std::function<bool()>& done, int limitMs = 5000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void MakeProgram(const std::string& path, bool runnable) {
    testsupport::WriteBytes(path, "#!/bin/sh\n", 10);
    ::chmod(path.c_str(), runnable ? 0755 : 0644);
}

std::u16string U(const std::string& s) {
    return plat::Utf8ToUtf16(s);
}

std::u16string Repeat(char c, size_t n) {
    return std::u16string(n, static_cast<char16_t>(c));
}

void SetPath(APP_PATHS& paths, int row, const std::u16string& path) {
    std::memset(paths.szPath[row], 0, sizeof paths.szPath[row]);
    std::memcpy(paths.szPath[row], path.data(), path.size() * sizeof(char16_t));
}

std::u16string PathOf(const APP_PATHS& paths, int row) {
    return std::u16string(paths.szPath[row]);
}

CApplicationSetDlg* Page(HeadUnit& unit, int seat = 0) {
    return dynamic_cast<CApplicationSetDlg*>(unit.Page(seat, APPTYPE_APPLICATION_SET));
}

// A tap in the chooser's window at a point of its own.
void TapChooser(CChooseExecutableDlg* dlg, plat::Point client) {
    const plat::Rect r = plat::ui::GetWindowRect(dlg->Id());
    const plat::Point p{r.left + client.x, r.top + client.y};
    plat::ui::InjectPen(plat::ui::PenAction::Down, p);
    plat::ui::InjectPen(plat::ui::PenAction::Up, p);
}

void TapRow(CChooseExecutableDlg* dlg, int row) {
    plat::Rect r{};
    dlg->Listbox()->GetItemRect(row, &r);
    TapChooser(dlg, plat::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void TapButtonOf(CChooseExecutableDlg* dlg, KvUserInterface::IKvButton* button) {
    TapChooser(dlg, Middle(button));
}

// Runs `user` on a second thread against the chooser that the tap on Edit opens; the test's
// thread stays in the chooser's modal run until the user thread has ended it.
void WithChooser(HeadUnit& unit, CApplicationSetDlg* page,
                 const std::function<void(CChooseExecutableDlg*)>& user) {
    std::atomic<bool> seen{false};
    std::thread driver([&] {
        if (!WaitReal([] { return CChooseExecutableDlg::Running() != nullptr; })) {
            ADD_FAILURE() << "no chooser";
            return;
        }
        seen = true;
        user(CChooseExecutableDlg::Running());
        if (!WaitReal([] { return CChooseExecutableDlg::Running() == nullptr; })) {
            ADD_FAILURE() << "the chooser stays open";
            if (CChooseExecutableDlg* dlg = CChooseExecutableDlg::Running())
                plat::ui::EndModal(dlg->Id(), IDCANCEL);
        }
    });
    TapButton(unit, 0, page->Button(AS_EDIT));
    unit.WaitFor([&] { return seen.load() && CChooseExecutableDlg::Running() == nullptr; }, 6000);
    driver.join();
    unit.Advance(100);
}

bool ShowsFolder(CChooseExecutableDlg* dlg, const std::string& folder) {
    return WaitReal([&] { return dlg->Folder() == U(folder); });
}

std::vector<std::u16string> Names(CChooseExecutableDlg* dlg) {
    std::vector<std::u16string> out;
    for (const CHOOSER_ENTRY& e : dlg->Entries())
        out.push_back(e.folder ? e.name + u"/" : e.name);
    return out;
}

}  // namespace

TEST(ApplicationSetPage, ShowsPathsOnThreeLinesEditsACopyAndSavesBothRowsToAppPathDb) {
    testsupport::TempDir tree;
    ASSERT_EQ(::mkdir(tree.File("sub").c_str(), 0755), 0);
    MakeProgram(tree.File("prog"), true);
    MakeProgram(tree.File("notes.txt"), false);
    MakeProgram(tree.File("sub/tool"), true);
    // A folder deep enough that a program in it has a path of more than 259 characters.
    std::string deep = tree.Path();
    while (deep.size() < 270) {
        deep += "/" + std::string(100, 'd');
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
    }
    MakeProgram(deep + "/far", true);

    const std::u16string p36 = u"/" + Repeat('a', 35);
    const std::u16string p37 = u"/" + Repeat('b', 36);
    std::u16string p120 = u"/";
    for (int i = 1; i < 120; ++i)
        p120 += static_cast<char16_t>(u'A' + i % 26);
    HeadUnitOptions options;
    options.prepare = [&](const std::string& base) {
        APP_PATHS paths{};
        SetPath(paths, 0, p36);
        SetPath(paths, 1, p37);
        SetPath(paths, 2, p120);
        testsupport::WriteBytes(base + "/" APP_PATHS_DB, WriteAppPathsBlock(paths));
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    CKernel* k = unit.Kernel();
    CApplicationSetDlg::SetChooserFolder(U(tree.Path()));
    Open(unit, 0, APPTYPE_APPLICATION_SET, APPTYPE_SETTINGS);
    CApplicationSetDlg* page = Page(unit);
    ASSERT_TRUE(page && page->Skinned());

    // 36 characters: centred on line 1.
    EXPECT_EQ(page->Selected(), 0);
    EXPECT_EQ(page->PathLine(0), p36);
    EXPECT_EQ(page->PathLineAlign(0), 2);
    EXPECT_EQ(page->PathLine(1), u"");
    // 37 characters: 36 + 1, left-aligned.
    plat::Rect row = page->RowRect(1);
    unit.Tap((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    unit.Advance(100);
    EXPECT_EQ(page->Selected(), 1);
    EXPECT_EQ(page->PathLine(0), p37.substr(0, 36));
    EXPECT_EQ(page->PathLineAlign(0), 1);
    EXPECT_EQ(page->PathLine(1), u"b");
    EXPECT_EQ(page->PathLine(2), u"");
    // 120 characters: 108 shown over three lines, all 120 kept.
    row = page->RowRect(2);
    unit.Tap((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    unit.Advance(100);
    EXPECT_EQ(page->PathLine(0) + page->PathLine(1) + page->PathLine(2), p120.substr(0, 108));
    EXPECT_EQ(page->PathLine(2).size(), 36u);
    EXPECT_EQ(PathOf(k->m_AppPathsEdit, 2), p120);
    // A tap on the selected row changes nothing.
    unit.Tap((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    unit.Advance(100);
    EXPECT_EQ(page->Selected(), 2);
    EXPECT_EQ(page->PathLine(0), p120.substr(0, 36));

    // The chooser lists folders and runnable files only, goes down and up; cancel keeps.
    WithChooser(unit, page, [&](CChooseExecutableDlg* dlg) {
        ASSERT_TRUE(ShowsFolder(dlg, tree.Path()));
        std::vector<std::u16string> names = Names(dlg);
        ASSERT_GE(names.size(), 3u);
        EXPECT_EQ(names.back(), u"prog");
        EXPECT_EQ(std::count(names.begin(), names.end(), u"notes.txt"), 0);
        EXPECT_EQ(names[1], u"sub/");
        TapRow(dlg, 1);
        ASSERT_TRUE(ShowsFolder(dlg, tree.File("sub")));
        EXPECT_EQ(Names(dlg), std::vector<std::u16string>{u"tool"});
        TapButtonOf(dlg, dlg->UpButton());
        ASSERT_TRUE(ShowsFolder(dlg, tree.Path()));
        TapButtonOf(dlg, dlg->CancelButton());
    });
    EXPECT_EQ(PathOf(k->m_AppPathsEdit, 2), p120);
    EXPECT_EQ(page->PathLine(0), p120.substr(0, 36));

    // A program chosen for row 2, then Exit: the live paths stay, and the next visit shows them.
    WithChooser(unit, page, [&](CChooseExecutableDlg* dlg) {
        ASSERT_TRUE(ShowsFolder(dlg, tree.Path()));
        TapRow(dlg, static_cast<int>(dlg->Entries().size()) - 1);
    });
    EXPECT_EQ(PathOf(k->m_AppPathsEdit, 2), U(tree.File("prog")));
    TapButton(unit, 0, page->Button(AS_EXIT));
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
    EXPECT_EQ(PathOf(k->m_AppPaths, 2), p120);
    Open(unit, 0, APPTYPE_APPLICATION_SET, APPTYPE_SETTINGS);
    EXPECT_EQ(page->Selected(), 2);
    EXPECT_EQ(page->PathLine(0), p120.substr(0, 36));

    // A choice longer than the stored field holds is refused with a message.
    unit.TakeBoxes();
    CApplicationSetDlg::SetChooserFolder(U(deep));
    WithChooser(unit, page, [&](CChooseExecutableDlg* dlg) {
        ASSERT_TRUE(ShowsFolder(dlg, deep));
        TapRow(dlg, 0);
    });
    EXPECT_EQ(PathOf(k->m_AppPathsEdit, 2), p120);
    EXPECT_EQ(unit.TakeBoxes().size(), 1u);
    CApplicationSetDlg::SetChooserFolder(U(tree.Path()));

    // Two rows edited, then Save: both in the live paths and in AppPath.db, back to the opener.
    WithChooser(unit, page, [&](CChooseExecutableDlg* dlg) {
        ASSERT_TRUE(ShowsFolder(dlg, tree.Path()));
        TapRow(dlg, static_cast<int>(dlg->Entries().size()) - 1);
    });
    row = page->RowRect(4);
    unit.Tap((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    unit.Advance(100);
    ASSERT_EQ(page->Selected(), 4);
    WithChooser(unit, page, [&](CChooseExecutableDlg* dlg) {
        ASSERT_TRUE(ShowsFolder(dlg, tree.Path()));
        TapRow(dlg, 1);
        ASSERT_TRUE(ShowsFolder(dlg, tree.File("sub")));
        TapRow(dlg, 0);
    });
    EXPECT_EQ(page->PathLine(0), U(tree.File("sub/tool")).substr(0, 36));
    TapButton(unit, 0, page->Button(AS_SAVE));
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
    const std::vector<uint8_t> disk = testsupport::ReadBytes(unit.File(APP_PATHS_DB));
    ASSERT_EQ(disk.size(), static_cast<size_t>(APP_PATHS_SIZE));
    auto stored = [&](int r) {
        std::u16string s;
        for (size_t at = r * APP_PATH_CHARS * 2; disk[at] || disk[at + 1]; at += 2)
            s += static_cast<char16_t>(disk[at] | disk[at + 1] << 8);
        return s;
    };
    EXPECT_EQ(stored(2), U(tree.File("prog")));
    EXPECT_EQ(stored(4), U(tree.File("sub/tool")));
    EXPECT_EQ(stored(0), p36);
    EXPECT_EQ(PathOf(k->m_AppPaths, 4), U(tree.File("sub/tool")));
}

TEST(ApplicationSetPage, TheRearSeatsPageDrawsItsBackgroundAndGoesHome) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Open(unit, 1, APPTYPE_APPLICATION_SET, APPTYPE_SETTINGS);
    CApplicationSetDlg* page = Page(unit, 1);
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->Skinned());
    unit.Tap(SeatX(1) + 400, 300);
    unit.Advance(200);
    EXPECT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_HOMEPAGE);
}
