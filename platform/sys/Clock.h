// Time as the system reads it. Everything that reads time goes through GetClock(), so tests
// can run minutes of ticks in milliseconds with a ManualClock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>

namespace plat {

// Calendar time, fields as people write them: month 1..12, day 1..31, dayOfWeek 0 = Sunday.
struct SystemTime {
    int year = 1970;
    int month = 1;
    int dayOfWeek = 4;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

SystemTime ToSystemTime(const struct tm& t, int ms);
// Seconds since 1970 (UTC) of a calendar time read as UTC.
int64_t ToEpoch(const SystemTime& t);
SystemTime FromEpoch(int64_t seconds, int ms = 0);

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic clock; only differences mean anything.
    virtual uint64_t TickMs() = 0;
    virtual SystemTime Utc() = 0;
    virtual SystemTime Local() = 0;
    virtual void Sleep(uint32_t ms) = 0;
};

class SystemClock final : public Clock {
public:
    uint64_t TickMs() override;
    SystemTime Utc() override;
    SystemTime Local() override;
    void Sleep(uint32_t ms) override;
};

// A clock that moves only when told. Sleep either advances the clock itself (the default:
// single-threaded code runs through its waits at once) or, with auto-advance off, waits until
// another thread has advanced the clock far enough.
class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t utcEpochSeconds = 1700000000, int localOffsetMinutes = 0);
    uint64_t TickMs() override;
    SystemTime Utc() override;
    SystemTime Local() override;
    void Sleep(uint32_t ms) override;

    void Advance(uint64_t ms);
    void SetUtc(const SystemTime& t);
    void SetLocalOffsetMinutes(int minutes);
    void SetAutoAdvance(bool on);
    // Threads blocked in Sleep right now (auto-advance off), so a test can wait for them.
    int Sleepers();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    uint64_t m_tick = 1000;
    int64_t m_epochMs;
    int m_offsetMinutes;
    bool m_autoAdvance = true;
    int m_sleepers = 0;
};

Clock& GetClock();
// nullptr restores the system clock. The clock must outlive its use.
void SetClock(Clock* clock);

inline uint32_t GetTickCount() {
    return static_cast<uint32_t>(GetClock().TickMs());
}
inline void SleepMs(uint32_t ms) {
    GetClock().Sleep(ms);
}

}  // namespace plat
