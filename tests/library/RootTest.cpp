#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "library/CVantrel.h"
#include "library/KvLog.h"
#include "library/include/Vantrel.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Module.h"
#include "tests/support/TestSupport.h"

using testsupport::Exists;
using testsupport::ReadText;
using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteText;

TEST(Root, LoadsByNameAndHandsOutOneSharedRoot) {
    plat::Module module;
    ASSERT_TRUE(module.Load(VANTREL_MODULE_NAME)) << module.Error();
    auto create = reinterpret_cast<PFN_CreateIVantrel>(module.Symbol(VANTREL_EXPORT_NAME));
    ASSERT_NE(create, nullptr);
    IVantrel* a = create();
    IVantrel* b = create();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->AddRef(), 3);
    EXPECT_EQ(a->Release(), 2);
    EXPECT_EQ(b->Release(), 1);  // one release leaves the root alive

    char16_t* version = nullptr;
    ASSERT_EQ(a->GetVersion(&version), RZ_OK);
    EXPECT_EQ(std::u16string(version), u"2.00.080311");
    std::free(version);

    KvUtility::IKvFile* file = nullptr;
    ASSERT_EQ(a->CreateFile(&file), RZ_OK);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->AddRef(), 2);  // the factory gave exactly one reference
    file->Release();

    EXPECT_EQ(a->Release(), 0);
    module.Leak();  // the program never unloads the library either
}

TEST(Root, FactoryForKindsNotBuiltAnswersFailWithNull) {
    IVantrel* root = CreateIVantrel();
    KvUtility::IKvFile* file = reinterpret_cast<KvUtility::IKvFile*>(1);
    EXPECT_EQ(root->CreateFile(nullptr), RZ_FAIL);
    ASSERT_EQ(root->CreateFile(&file), RZ_OK);
    file->Release();
    root->Release();
}

TEST(Root, MBToWideClearsAndConverts) {
    IVantrel* root = CreateIVantrel();
    char16_t buf[8];
    for (auto& c : buf)
        c = u'#';
    EXPECT_EQ(root->MBToWide("abc", -1, buf, 8), RZ_OK);
    EXPECT_EQ(std::u16string(buf, 8), std::u16string(u"abc\0\0\0\0\0", 8));
    // UTF-8 is the code page here.
    EXPECT_EQ(root->MBToWide("\xE4\xB8\xAD\xE6\x96\x87", -1, buf, 8), RZ_OK);
    EXPECT_EQ(std::u16string(buf), u"\u4e2d\u6587");
    // An explicit length converts exactly that many bytes.
    EXPECT_EQ(root->MBToWide("abcdef", 2, buf, 8), RZ_OK);
    EXPECT_EQ(std::u16string(buf), u"ab");
    // The output is always terminated: a text that needs every unit does not fit.
    EXPECT_EQ(root->MBToWide("abcd", -1, buf, 4), RZ_OK);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(root->MBToWide("abc", -1, buf, 4), RZ_OK);
    EXPECT_EQ(std::u16string(buf), u"abc");
    // No room at all touches nothing.
    buf[0] = u'#';
    EXPECT_EQ(root->MBToWide("abc", -1, buf, 0), RZ_OK);
    EXPECT_EQ(root->MBToWide("abc", -1, buf, -5), RZ_OK);
    EXPECT_EQ(buf[0], u'#');
    root->Release();
}

TEST(Root, WideToMBClearsAndConverts) {
    IVantrel* root = CreateIVantrel();
    char buf[8];
    std::fill(buf, buf + 8, '#');
    EXPECT_EQ(root->WideToMB(u"\u4e2d\u6587", -1, buf, 8), RZ_OK);
    EXPECT_EQ(std::string(buf, 8), std::string("\xE4\xB8\xAD\xE6\x96\x87\0\0", 8));
    // Six bytes need seven with the terminator.
    EXPECT_EQ(root->WideToMB(u"\u4e2d\u6587", -1, buf, 6), RZ_OK);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(root->WideToMB(u"abcdef", 3, buf, 8), RZ_OK);
    EXPECT_STREQ(buf, "abc");
    root->Release();
}

TEST(LibraryLog, NothingWithoutTheSwitchFile) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    KvWriteLog("hello %d", 1);
    KvWriteMemLog("hello %d", 2);
    EXPECT_FALSE(Exists("zz-Vantrel.log"));
    EXPECT_FALSE(Exists("zz-Vantrel.mem.log"));
}

TEST(LibraryLog, StampIsUtcPlusEightHourOnTheUtcDate) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    WriteText("zz-Vantrel.txt", "");
    WriteText("zz-Vantrel.mem.txt", "");
    plat::ManualClock clock;
    plat::SystemTime t;
    t.year = 2026, t.month = 3, t.day = 3, t.hour = 20, t.minute = 30, t.second = 5;
    clock.SetUtc(t);
    plat::SetClock(&clock);
    KvWriteLog("open %s", "a.mp3");
    t.hour = 9;
    clock.SetUtc(t);
    KvWriteLog("second");
    KvWriteMemLog("mem %d", 7);
    plat::SetClock(nullptr);
    EXPECT_EQ(ReadText("zz-Vantrel.log"),
              "[03.03 04:30:05]: open a.mp3\n[03.03 17:30:05]: second\n");
    EXPECT_EQ(ReadText("zz-Vantrel.mem.log"), "mem 7\n");
}

TEST(LibraryLog, LongMessagesAreCutNotOverflowed) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    WriteText("zz-Vantrel.mem.txt", "");
    std::string big(5000, 'x');
    KvWriteMemLog("%s", big.c_str());
    EXPECT_EQ(ReadText("zz-Vantrel.mem.log"), std::string(1023, 'x') + "\n");
}

TEST(LibraryLog, StartingTheLibraryEmptiesItsLogs) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    WriteText("zz-Vantrel.txt", "");
    WriteText("zz-Vantrel.log", "old run\n");
    WriteText("zz-Vantrel.mem.log", "old run\n");
    IVantrel* root = CreateIVantrel();
    EXPECT_FALSE(Exists("zz-Vantrel.log"));
    EXPECT_FALSE(Exists("zz-Vantrel.mem.log"));
    EXPECT_TRUE(Exists("zz-Vantrel.txt"));
    root->Release();
}
