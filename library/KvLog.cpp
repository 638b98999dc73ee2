#include "library/KvLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/io/File.h"
#include "platform/sys/Clock.h"

namespace {

constexpr const char* kLogSwitch = "zz-Vantrel.txt";
constexpr const char* kLogFile = "zz-Vantrel.log";
constexpr const char* kMemLogSwitch = "zz-Vantrel.mem.txt";
constexpr const char* kMemLogFile = "zz-Vantrel.mem.log";

// Formats one message and appends it to the log as a line after `stamp`.
void WriteLine(const char* logFile, const char* stamp, const char* format, va_list args) {
    char message[1024];
    std::vsnprintf(message, sizeof message, format, args);
    const std::string line = std::string(stamp) + message + "\n";
    // One append per line, so lines of different threads interleave only whole.
    FILE* f = std::fopen(logFile, "a");
    if (!f)
        return;
    std::fwrite(line.data(), 1, line.size(), f);
    std::fflush(f);
    std::fclose(f);
}

}  // namespace

bool KvFileExists(const char* name) {
    return name && plat::PathExists(name);
}

void KvWriteLog(const char* format, ...) {
    if (!KvFileExists(kLogSwitch))
        return;
    // Stamped in the maker's time zone (UTC+8); only the hour is moved, the date stays UTC.
    plat::SystemTime t = plat::GetClock().Utc();
    int hour = t.hour + 8;
    if (hour >= 24)
        hour -= 24;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%02d.%02d %02d:%02d:%02d]: ", t.month, t.day, hour,
                  t.minute, t.second);
    va_list args;
    va_start(args, format);
    WriteLine(kLogFile, stamp, format, args);
    va_end(args);
}

void KvWriteMemLog(const char* format, ...) {
    if (!KvFileExists(kMemLogSwitch))
        return;
    va_list args;
    va_start(args, format);
    WriteLine(kMemLogFile, "", format, args);
    va_end(args);
}

void KvDeleteLogs() {
    plat::RemoveFile(kLogFile);
    plat::RemoveFile(kMemLogFile);
}
