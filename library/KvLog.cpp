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

void AppendLine(const char* file, const std::string& line) {
    // One append per line, so lines of different threads interleave only whole.
    FILE* f = std::fopen(file, "a");
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
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    // Stamped in the maker's time zone (UTC+8); only the hour is moved, the date stays UTC.
    plat::SystemTime t = plat::GetClock().Utc();
    int hour = t.hour + 8;
    if (hour >= 24)
        hour -= 24;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%02d.%02d %02d:%02d:%02d]: ", t.month, t.day, hour,
                  t.minute, t.second);
    AppendLine(kLogFile, std::string(stamp) + message + "\n");
}

void KvWriteMemLog(const char* format, ...) {
    if (!KvFileExists(kMemLogSwitch))
        return;
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    AppendLine(kMemLogFile, std::string(message) + "\n");
}

void KvDeleteLogs() {
    plat::RemoveFile(kLogFile);
    plat::RemoveFile(kMemLogFile);
}
