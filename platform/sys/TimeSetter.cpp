#include "platform/sys/TimeSetter.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace plat {

namespace {

SystemTimeSetter g_systemSetter;
std::atomic<TimeSetter*> g_setter{nullptr};

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

bool IsValidDate(const SystemTime& t) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.month < 1 || t.month > 12 || t.day < 1)
        return false;
    const int days = kDays[t.month - 1] + (t.month == 2 && IsLeap(t.year) ? 1 : 0);
    return t.day <= days && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
           t.second >= 0 && t.second <= 59 && t.milliseconds >= 0 && t.milliseconds <= 999;
}

bool SystemTimeSetter::SetLocalTime(const SystemTime& local, std::string* error) {
    // A program running on a clock of its own (a test's manual clock) never sets the
    // machine's: the time it would set is not the machine's time.
    if (!dynamic_cast<SystemClock*>(&GetClock())) {
        if (error)
            *error = "the program does not run on the machine's clock";
        return false;
    }
    if (!IsValidDate(local)) {
        if (error)
            *error = "no such date";
        return false;
    }
    struct tm tmv = {};
    tmv.tm_year = local.year - 1900;
    tmv.tm_mon = local.month - 1;
    tmv.tm_mday = local.day;
    tmv.tm_hour = local.hour;
    tmv.tm_min = local.minute;
    tmv.tm_sec = local.second;
    tmv.tm_isdst = -1;
    const time_t seconds = ::mktime(&tmv);
    if (seconds == static_cast<time_t>(-1)) {
        if (error)
            *error = "the time cannot be represented";
        return false;
    }
    struct timespec ts = {};
    ts.tv_sec = seconds;
    ts.tv_nsec = static_cast<long>(local.milliseconds) * 1000000L;
    if (::clock_settime(CLOCK_REALTIME, &ts) != 0) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    return true;
}

TimeSetter& GetTimeSetter() {
    TimeSetter* setter = g_setter.load();
    return setter ? *setter : g_systemSetter;
}

void SetTimeSetter(TimeSetter* setter) {
    g_setter = setter;
}

}  // namespace plat
