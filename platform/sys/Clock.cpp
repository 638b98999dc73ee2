#include "platform/sys/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace plat {

SystemTime ToSystemTime(const struct tm& t, int ms) {
    SystemTime s;
    s.year = t.tm_year + 1900;
    s.month = t.tm_mon + 1;
    s.dayOfWeek = t.tm_wday;
    s.day = t.tm_mday;
    s.hour = t.tm_hour;
    s.minute = t.tm_min;
    s.second = t.tm_sec;
    s.milliseconds = ms;
    return s;
}

int64_t ToEpoch(const SystemTime& s) {
    struct tm t {};
    t.tm_year = s.year - 1900;
    t.tm_mon = s.month - 1;
    t.tm_mday = s.day;
    t.tm_hour = s.hour;
    t.tm_min = s.minute;
    t.tm_sec = s.second;
    return static_cast<int64_t>(::timegm(&t));
}

SystemTime FromEpoch(int64_t seconds, int ms) {
    time_t tt = static_cast<time_t>(seconds);
    struct tm t {};
    ::gmtime_r(&tt, &t);
    return ToSystemTime(t, ms);
}

uint64_t SystemClock::TickMs() {
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec / 1000000);
}

SystemTime SystemClock::Utc() {
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    struct tm t {};
    ::gmtime_r(&ts.tv_sec, &t);
    return ToSystemTime(t, static_cast<int>(ts.tv_nsec / 1000000));
}

SystemTime SystemClock::Local() {
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    struct tm t {};
    ::localtime_r(&ts.tv_sec, &t);
    return ToSystemTime(t, static_cast<int>(ts.tv_nsec / 1000000));
}

void SystemClock::Sleep(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

ManualClock::ManualClock(int64_t utcEpochSeconds, int localOffsetMinutes)
    : m_epochMs(utcEpochSeconds * 1000), m_offsetMinutes(localOffsetMinutes) {}

uint64_t ManualClock::TickMs() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_tick;
}

SystemTime ManualClock::Utc() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return FromEpoch(m_epochMs / 1000, static_cast<int>(m_epochMs % 1000));
}

SystemTime ManualClock::Local() {
    std::lock_guard<std::mutex> lock(m_mutex);
    int64_t ms = m_epochMs + static_cast<int64_t>(m_offsetMinutes) * 60000;
    return FromEpoch(ms / 1000, static_cast<int>(ms % 1000));
}

void ManualClock::Sleep(uint32_t ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_autoAdvance) {
        m_tick += ms;
        m_epochMs += ms;
        m_cv.notify_all();
        return;
    }
    uint64_t until = m_tick + ms;
    ++m_sleepers;
    m_cv.wait(lock, [&] { return m_tick >= until || m_autoAdvance; });
    --m_sleepers;
}

void ManualClock::Advance(uint64_t ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tick += ms;
    m_epochMs += static_cast<int64_t>(ms);
    m_cv.notify_all();
}

void ManualClock::SetUtc(const SystemTime& t) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_epochMs = ToEpoch(t) * 1000 + t.milliseconds;
}

void ManualClock::SetLocalOffsetMinutes(int minutes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_offsetMinutes = minutes;
}

void ManualClock::SetAutoAdvance(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_autoAdvance = on;
    m_cv.notify_all();
}

int ManualClock::Sleepers() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sleepers;
}

namespace {
SystemClock g_systemClock;
std::atomic<Clock*> g_clock{&g_systemClock};
}  // namespace

Clock& GetClock() {
    return *g_clock.load(std::memory_order_acquire);
}

void SetClock(Clock* clock) {
    g_clock.store(clock ? clock : &g_systemClock, std::memory_order_release);
}

}  // namespace plat
