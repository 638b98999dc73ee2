#include <gtest/gtest.h>

#include "core/kernel/LogWriter.h"
#include "platform/sys/Clock.h"
#include "tests/support/TestSupport.h"

using testsupport::Exists;
using testsupport::ReadText;
using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

class LogWriter : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLogForTesting();
        SetLogFlagSource(nullptr);
        plat::SetClock(&m_clock);
    }
    void TearDown() override {
        plat::SetClock(nullptr);
        SetLogFlagSource(nullptr);
        ResetLogForTesting();
    }
    void SetUtc(int y, int mo, int d, int h, int mi, int s) {
        plat::SystemTime t;
        t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
        m_clock.SetUtc(t);
    }

    TempDir m_dir;
    ScopedCwd m_cwd{m_dir.Path()};
    plat::ManualClock m_clock;
};

bool g_flag = false;
bool Flag() {
    return g_flag;
}

}  // namespace

TEST_F(LogWriter, NothingWithoutMarkerOrFlag) {
    SetUtc(2026, 12, 31, 17, 30, 0);
    EXPECT_EQ(WriteLog("hello"), 0);
    EXPECT_FALSE(Exists("zz-log-1231.log"));
    g_flag = true;
    SetLogFlagSource(&Flag);
    EXPECT_GT(WriteLog("flagged"), 0);
    EXPECT_TRUE(Exists("zz-log-1231.log"));
}

TEST_F(LogWriter, NameFromFirstLineAndUtcPlusEightHour) {
    WriteText("log.txt", "");
    SetUtc(2026, 12, 31, 17, 30, 0);
    WriteLog("first %d", 1);
    SetUtc(2027, 1, 1, 2, 0, 9);  // the run goes on into the new year: same file
    WriteLog("second");
    EXPECT_EQ(ReadText("zz-log-1231.log"), "[12/31 01:30:00]: first 1\n[ 1/ 1 10:00:09]: second\n");
    EXPECT_FALSE(Exists("zz-log-0101.log"));
}

TEST_F(LogWriter, ClockMarkerStampsTicks) {
    WriteText("log.txt", "");
    WriteText("zz-clock.txt", "");
    SetUtc(2026, 5, 6, 7, 8, 9);
    uint32_t tick = plat::GetTickCount();
    WriteLog("tick");
    EXPECT_EQ(ReadText("zz-log-0506.log"), "[" + std::to_string(tick) + "] - tick\n");
}

TEST_F(LogWriter, LongMessagesAreCut) {
    WriteText("log.txt", "");
    SetUtc(2026, 5, 6, 7, 8, 9);
    WriteLog("%s", std::string(3000, 'm').c_str());
    std::string text = ReadText("zz-log-0506.log");
    EXPECT_EQ(text.size(), std::string("[ 5/ 6 15:08:09]: ").size() + 1023 + 1);
}

TEST_F(LogWriter, CleanupKeepsFourDaysAndLastYearsDecember) {
    auto make = [](const char* name) { WriteText(name, "x"); };
    for (int today : {4, 5, 6}) {
        make("zz-log-0101.log");
        make("zz-log-1230.log");  // last year's: 5 days before 4 January
        make("zz-log-1231.log");
        make("zz-log-0103.log");
        make("zz-other.log");
        SetUtc(2027, 1, today, 12, 0, 0);
        CleanupLogs();
        EXPECT_EQ(Exists("zz-log-0101.log"), today < 6) << today;
        EXPECT_FALSE(Exists("zz-log-1230.log")) << today;
        EXPECT_EQ(Exists("zz-log-1231.log"), today < 5) << today;
        EXPECT_TRUE(Exists("zz-log-0103.log"));
        EXPECT_TRUE(Exists("zz-other.log"));
    }
}

TEST_F(LogWriter, CleanupWithNoPowerModuleMarkerDeletesEveryLog) {
    WriteText("edevp.txt", "");
    WriteText("zz-log-0101.log", "x");
    WriteText("zz-log-1207.log", "x");
    SetUtc(2026, 12, 8, 12, 0, 0);
    CleanupLogs();
    EXPECT_FALSE(Exists("zz-log-0101.log"));
    EXPECT_FALSE(Exists("zz-log-1207.log"));
}
