// The kernel inside the whole program: what it loads at start, the factory settings, and the
// settings block while volume keys from the board meet the user-interface thread's saves.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/AppPaths.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/KernelData.h"
#include "core/kernel/SysSettings.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/AppFactory.h"
#include "core/ui/AppType.h"
#include "platform/io/File.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/TestPages.h"
#include "tests/support/TestSupport.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;
using harness::TestPage;
using harness::TestPageKinds;

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    plat::ReadWholeFile(path, bytes, 1u << 20);
    return bytes;
}

}  // namespace

TEST(KernelInUnit, TheNavigationKeyStartsThePathSavedBeforeStart) {
    HeadUnitOptions options;
    options.prepare = [](const std::string& dir) {
        // A folder name with a blank: the program gets it as one argument, never a shell's.
        const std::string folder = dir + "/Navi Maps";
        plat::MakeDirectory(folder);
        testsupport::WriteText(folder + "/navigation.sh",
                               "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$(pwd)\" > started.txt\n");
        ::chmod((folder + "/navigation.sh").c_str(), 0755);
        CKernelData data;
        data.SetBaseDir(dir);
        plat::StrCopy(data.m_AppPaths.szPath[APP_PATH_NAVIGATION], APP_PATH_CHARS,
                      u"C:\\Navi Maps\\navigation.sh");
        ASSERT_TRUE(data.SaveAppPath());
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start()) << unit.StartStatus() << "\n" << unit.Log();
    EXPECT_EQ(plat::Utf16ToUtf8(unit.Kernel()->m_AppPaths.szPath[APP_PATH_NAVIGATION]),
              "C:\\Navi Maps\\navigation.sh");

    ASSERT_TRUE(unit.Board().Command("key 0x10 0x03"));  // NAVI
    const std::string marker = unit.File("Navi Maps/started.txt");
    ASSERT_TRUE(unit.WaitFor([&] { return testsupport::ReadText(marker).size() > 2; }))
        << unit.Log();
    EXPECT_EQ(testsupport::ReadText(marker), "0|" + unit.File("Navi Maps"));
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_NAVIGATION);
}

TEST(KernelInUnit, FactorySettingsResetTheBlockTheRadioAndEveryFrontPageWithoutSaving) {
    TestPageKinds kinds{APPKIND_MUSIC,           APPKIND_MOVIE, APPKIND_PHOTO,
                        APPKIND_SOUND_EFFECT,    APPKIND_RADIO, APPKIND_DISPLAY,
                        APPKIND_PHONE,           APPKIND_AUX,   APPKIND_DUAL_SET,
                        APPKIND_INTERNET_SERVICE};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << unit.StartStatus() << "\n" << unit.Log();
    CKernel* k = unit.Kernel();
    const std::vector<uint8_t> factory = ReadBytes(unit.File(SYS_SETTINGS_DEF));
    ASSERT_EQ(factory.size(), size_t(SYS_SETTINGS_SIZE));

    // The user's changes, saved.
    k->m_Settings.iAudioLevel = 29;
    k->m_Settings.iEQSelect = EQ_ROCK;
    plat::StrCopy(k->m_Settings.szInternet[INTERNET_TRAFFIC], SYS_PATH_CHARS, u"http://x/");
    ASSERT_TRUE(k->SetVolume(29));
    const std::vector<uint8_t> saved = ReadBytes(unit.File(SYS_SETTINGS_DB));
    ASSERT_NE(saved, factory);
    testsupport::WriteText(unit.File(KERNEL_RADIO_SETTINGS), "presets");

    k->RestoreDefaults();
    EXPECT_EQ(WriteSettingsBlock(k->m_Settings), factory);
    EXPECT_EQ(k->m_iVolume.load(), factory[8]);
    EXPECT_EQ(k->m_byVolumeShadow, factory[8]);
    EXPECT_FALSE(testsupport::Exists(unit.File(KERNEL_RADIO_SETTINGS)));
    int testPages = 0;
    for (int app = 0; app < APPTYPE_COUNT; ++app) {
        if (harness::CTestPage* page = TestPage(unit.Page(0, app))) {
            EXPECT_EQ(page->m_iResets, 1) << "front page " << app;
            ++testPages;
        }
        if (harness::CTestPage* page = TestPage(unit.Page(1, app))) {
            EXPECT_EQ(page->m_iResets, 0) << "rear page " << app;
        }
    }
    EXPECT_GE(testPages, 10);
    EXPECT_EQ(ReadBytes(unit.File(SYS_SETTINGS_DB)), saved) << "the caller saves";

    // Without a factory copy the block stays, and the pages are still reset.
    plat::RemoveFile(unit.File(SYS_SETTINGS_DEF));
    k->m_Settings.iEQSelect = EQ_JAZZ;
    k->RestoreDefaults();
    EXPECT_EQ(k->m_Settings.iEQSelect, EQ_JAZZ);
    EXPECT_EQ(TestPage(unit.Page(0, APPTYPE_MUSIC))->m_iResets, 2);
}

TEST(KernelInUnit, VolumeKeysFromTheBoardRaceTheUserInterfaceThreadsSaves) {
    HeadUnitOptions options;
    options.settings = [](SYS_SETTINGS& s) { s.iAudioLevel = 10; };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start()) << unit.StartStatus() << "\n" << unit.Log();
    CKernel* k = unit.Kernel();
    // Keys queued on the board while the user-interface thread keeps changing and saving the
    // block: every saved file is a whole block whose level is one the keys or the pages set.
    std::string script;
    for (int i = 0; i < 6; ++i)
        script += "key 0x10 0x52\n";  // the second row's SEEK/UP steps the volume up
    ASSERT_EQ(unit.Board().Script(script), 0);
    int saves = 0;
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            k->m_Settings.iDelayOn = ++saves;
            k->SaveSettings();
            std::vector<uint8_t> file = ReadBytes(unit.File(SYS_SETTINGS_DB));
            EXPECT_EQ(file.size(), size_t(SYS_SETTINGS_SIZE));
            return k->m_Settings.iAudioLevel == 16;
        },
        10000))
        << unit.Log();
    EXPECT_EQ(k->m_iVolume.load(), 16);
    SYS_SETTINGS stored{};
    ASSERT_TRUE(ReadSettingsBlock(ReadBytes(unit.File(SYS_SETTINGS_DB)), stored));
    EXPECT_EQ(stored.iAudioLevel, 16);
}
