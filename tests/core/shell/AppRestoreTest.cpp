// The restore of the last run, on the whole program: what the end of one run records in the
// settings block and what the next run brings back from it.
#include "core/shell/AppRestore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>

#include "core/kernel/Kernel.h"
#include "core/kernel/KernelData.h"
#include "core/kernel/SysSettings.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/AppType.h"
#include "platform/io/File.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"
#include "tests/harness/HeadUnit.h"
#include "tests/support/TestSupport.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;

namespace {

// The restore is the program's own; each test puts it in and takes it out again.
struct RestoreInstalled {
    RestoreInstalled() { SetRestoreHooks(AppRestoreHooks()); }
    ~RestoreInstalled() { SetRestoreHooks(RESTORE_HOOKS()); }
};

bool Has(const std::string& log, const std::string& text) {
    return log.find(text) != std::string::npos;
}

size_t Count(const std::string& log, const std::string& text) {
    size_t n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++n;
    return n;
}

// Moves the program's clock by whole restore passes until the restore thread has ended.
bool RunRestoreToEnd(HeadUnit& unit, int passes) {
    for (int i = 0; i < passes; ++i) {
        if (Has(unit.Log(), "===> ThreadProcActivateApp() done"))
            return true;
        // One jump: the pages need no ticks meanwhile, only the restore thread's clock.
        unit.Clock().Advance(RESTORE_PASS_MS);
        unit.WaitFor([&] { return Count(unit.Log(), "ThreadProcActivateApp():") > size_t(i); },
                     2000);
    }
    return unit.WaitFor([&] { return Has(unit.Log(), "===> ThreadProcActivateApp() done"); }, 2000);
}

HeadUnitOptions WithStatus(uint32_t status, int currentApp,
                           std::function<void(const std::string&)> prepare = nullptr) {
    HeadUnitOptions options;
    options.settings = [status, currentApp](SYS_SETTINGS& s) {
        s.dwAppStatus = status;
        s.iCurrentApp = currentApp;
    };
    options.prepare = std::move(prepare);
    return options;
}

// A program that notes the folder it was started in, next to the head unit's files.
void MakeProgram(const std::string& dir, const std::string& folder, const std::string& exe) {
    plat::MakeDirectory(dir + "/" + folder);
    const std::string path = dir + "/" + folder + "/" + exe;
    testsupport::WriteText(path, "#!/bin/sh\npwd > \"" + dir + "/" + exe + ".started\"\n");
    ::chmod(path.c_str(), 0755);
}

}  // namespace

TEST(AppRestore, ThePhotoPageComesBackAtTheNextStart) {
    RestoreInstalled restore;
    std::string saved;
    {
        HeadUnit unit;
        ASSERT_TRUE(unit.Start());
        CSeatCtrlDlg* front = unit.Seat(0);
        front->m_iPending = APPTYPE_PHOTO;
        plat::ui::InvalidateRect(front->Id());
        ASSERT_TRUE(unit.WaitFor([&] { return front->m_iCurrentApp == APPTYPE_PHOTO; }));
        ASSERT_EQ(unit.Kernel()->m_Settings.iCurrentApp, APPTYPE_PHOTO);
        unit.Close();
        EXPECT_TRUE(Has(unit.Log(), "SaveAppStatus(): 0x1000"));
        EXPECT_TRUE(Has(unit.Log(), "SaveMediaPosition: 0"));
        ASSERT_TRUE(plat::ReadFileToEnd(unit.File(SYS_SETTINGS_DB), saved));
    }
    ASSERT_EQ(saved.size(), sizeof(SYS_SETTINGS));
    SYS_SETTINGS s = {};
    ASSERT_TRUE(ReadSettingsBlock(reinterpret_cast<const uint8_t*>(saved.data()), saved.size(), s));
    EXPECT_EQ(s.dwAppStatus, APP_STATUS_PHOTO);
    EXPECT_EQ(s.byPhotoResume, 0);  // no slideshow ran

    HeadUnitOptions options;
    options.prepare = [&](const std::string& dir) {
        testsupport::WriteText(dir + "/" + SYS_SETTINGS_DB, saved);
    };
    HeadUnit again(options);
    ASSERT_TRUE(again.Start());
    CSeatCtrlDlg* front = again.Seat(0);
    ASSERT_TRUE(again.WaitFor([&] { return front->m_iCurrentApp == APPTYPE_PHOTO; }));
    EXPECT_EQ(again.Kernel()->m_Settings.iCurrentApp, APPTYPE_PHOTO);
    // Only the photo was asked for: the thread ends once the photo page has reported.
    ASSERT_TRUE(
        again.WaitFor([&] { return (again.Kernel()->m_dwResumeDone & APP_STATUS_PHOTO) != 0; }));
    ASSERT_TRUE(RunRestoreToEnd(again, 3));
    EXPECT_EQ(Count(again.Log(), "ThreadProcActivateApp():"), 1u);
    EXPECT_FALSE(Has(again.Log(), "WaitForSingleObject"));
}

TEST(AppRestore, NoStatusLogsOnePassAndEnds) {
    RestoreInstalled restore;
    HeadUnit unit(WithStatus(0, APPTYPE_PHONE));
    ASSERT_TRUE(unit.Start());
    ASSERT_TRUE(unit.WaitFor([&] { return Has(unit.Log(), "ThreadProcActivateApp() start"); }));
    // The phone is not brought back: the homepage is current and saved at once.
    ASSERT_TRUE(
        unit.WaitFor([&] { return unit.Kernel()->m_Settings.iCurrentApp == APPTYPE_HOMEPAGE; }));
    std::string raw;
    ASSERT_TRUE(unit.WaitFor([&] {
        SYS_SETTINGS s = {};
        return plat::ReadFileToEnd(unit.File(SYS_SETTINGS_DB), raw) &&
               ReadSettingsBlock(reinterpret_cast<const uint8_t*>(raw.data()), raw.size(), s) &&
               s.iCurrentApp == APPTYPE_HOMEPAGE;
    }));
    ASSERT_TRUE(RunRestoreToEnd(unit, 2));
    EXPECT_EQ(Count(unit.Log(), "ThreadProcActivateApp():"), 1u);
    EXPECT_TRUE(Has(unit.Log(), "(int:0, "));
}

TEST(AppRestore, ProgramsAreStartedInTheirFoldersAndTheLastThroughTheSeat) {
    RestoreInstalled restore;
    HeadUnit unit(WithStatus(0x0001 | 0x0002, APPTYPE_HOMEPAGE, [](const std::string& dir) {
        MakeProgram(dir, "Navi", "navigation.exe");
        MakeProgram(dir, "Talk", "talk.exe");
        CKernelData data;
        data.SetBaseDir(dir);
        plat::StrCopy(data.m_AppPaths.szPath[APP_PATH_NAVIGATION], APP_PATH_CHARS,
                      u"C:\\Navi\\navigation.exe");
        plat::StrCopy(data.m_AppPaths.szPath[APP_PATH_SKYPE], APP_PATH_CHARS,
                      u"C:\\Talk\\talk.exe");
        ASSERT_TRUE(data.SaveAppPath());
    }));
    ASSERT_TRUE(unit.Start());
    // The messaging program is the last one, but the seat has no way to start it: it is
    // started directly like the other.
    ASSERT_TRUE(unit.WaitFor([&] {
        return plat::PathExists(unit.File("navigation.exe.started")) &&
               plat::PathExists(unit.File("talk.exe.started"));
    }));
    EXPECT_TRUE(Has(testsupport::ReadText(unit.File("navigation.exe.started")), "/Navi"));
    EXPECT_TRUE(Has(testsupport::ReadText(unit.File("talk.exe.started")), "/Talk"));
    EXPECT_TRUE(Has(unit.Log(), "ShellExecute: 5"));
    EXPECT_TRUE(Has(unit.Log(), "ShellExecute: 16"));
    ASSERT_TRUE(RunRestoreToEnd(unit, 2));
}

TEST(AppRestore, RadioAndPhotoAreAskedForWithoutWaiting) {
    RestoreInstalled restore;
    HeadUnit unit(WithStatus(APP_STATUS_RADIO | APP_STATUS_PHOTO, APPTYPE_RADIO));
    ASSERT_TRUE(unit.Start());
    CSeatCtrlDlg* front = unit.Seat(0);
    ASSERT_TRUE(unit.WaitFor([&] { return front->m_iCurrentApp == APPTYPE_PHOTO; }));
    EXPECT_FALSE(Has(unit.Log(), "WaitForSingleObject"));
    EXPECT_EQ(unit.Kernel()->m_Settings.iCurrentApp, APPTYPE_PHOTO);
}

TEST(AppRestore, TheEndStopsTheRestoreAtOnce) {
    RestoreInstalled restore;
    // Music that never plays: the photo restore waits for it, and the end cuts the wait.
    HeadUnit unit(WithStatus(APP_STATUS_MUSIC | APP_STATUS_PHOTO, APPTYPE_PHOTO));
    ASSERT_TRUE(unit.Start());
    unit.Advance(1000);
    unit.Close();
    EXPECT_FALSE(Has(unit.Log(), "===> ThreadProcActivateApp() done"));
    EXPECT_TRUE(Has(unit.Log(), "SaveAppStatus(): 0x"));
}

TEST(AppRestore, MusicThatNeverPlaysHoldsThePhotoBackOnlyForAWhile) {
    RestoreInstalled restore;
    // No music to play: the photo restore waits for the music's start, but not for ever.
    HeadUnit unit(WithStatus(APP_STATUS_MUSIC | APP_STATUS_PHOTO, APPTYPE_PHOTO));
    ASSERT_TRUE(unit.Start());
    CSeatCtrlDlg* front = unit.Seat(0);
    unit.Advance(200);
    EXPECT_NE(front->m_iCurrentApp, APPTYPE_PHOTO);
    EXPECT_FALSE(Has(unit.Log(), "WaitForSingleObject"));
    unit.Clock().Advance(RESTORE_PLAY_WAIT_MS);
    ASSERT_TRUE(unit.WaitFor([&] { return front->m_iCurrentApp == APPTYPE_PHOTO; }));
    EXPECT_TRUE(Has(unit.Log(), "WaitForSingleObject( hPlayEvent, INFINITE ): done"));
}
