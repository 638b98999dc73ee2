#include "core/kernel/LogWriter.h"

#include <dirent.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

namespace {

std::atomic<bool (*)()> g_logFlagSource{nullptr};
std::mutex g_nameMutex;
// Made from the date of the first line of the run. A plain array, so it outlives every
// static object that may still log while the process exits.
char g_logName[32];

bool LoggingOn() {
    if (FileExists(MARKER_LOG))
        return true;
    bool (*source)() = g_logFlagSource.load();
    return source && source();
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

void SetLogFlagSource(bool (*source)()) {
    g_logFlagSource.store(source);
}

bool FileExists(const char* path) {
    return path && *path && plat::PathExists(path);
}

bool FileExists(const char16_t* path) {
    return path && *path && plat::PathExists(plat::NativePath(path));
}

int WriteLog(const char* format, ...) {
    if (!LoggingOn())
        return 0;
    plat::SystemTime t = plat::GetClock().Utc();
    // The maker's time zone: the hour moves by eight, the date stays UTC.
    int hour = t.hour + 8;
    if (hour > 23)
        hour -= 24;
    std::string name;
    {
        std::lock_guard<std::mutex> lock(g_nameMutex);
        if (!g_logName[0])
            std::snprintf(g_logName, sizeof g_logName, "zz-log-%02d%02d.log", t.month, t.day);
        name = g_logName;
    }
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::string line;
    if (FileExists(MARKER_LOG_CLOCK)) {
        line = plat::FormatNarrow("[%ld] - %s\n", static_cast<long>(plat::GetTickCount()), message);
    } else {
        line = plat::FormatNarrow("[%2d/%2d %02d:%02d:%02d]: %s\n", t.month, t.day, hour, t.minute,
                                  t.second, message);
    }
    FILE* f = std::fopen(name.c_str(), "a");
    if (!f)
        return 0;
    std::fwrite(line.data(), 1, line.size(), f);
    std::fflush(f);
    std::fclose(f);
    return static_cast<int>(line.size());
}

void CleanupLogs() {
    std::vector<std::string> logs;
    {
        std::unique_ptr<DIR, DirCloser> dir(::opendir("."));
        if (!dir)
            return;
        while (dirent* e = ::readdir(dir.get())) {
            size_t len = std::strlen(e->d_name);
            if (len >= 11 && std::strncmp(e->d_name, "zz-log-", 7) == 0 &&
                std::strcmp(e->d_name + len - 4, ".log") == 0)
                logs.push_back(e->d_name);
        }
    }
    const bool all = FileExists(MARKER_NO_POWER_MODULE);
    plat::SystemTime today = plat::GetClock().Local();
    for (const std::string& name : logs) {
        if (all) {
            plat::RemoveFile(name);
            continue;
        }
        int month = (name[7] - '0') * 10 + (name[8] - '0');
        int day = (name[9] - '0') * 10 + (name[10] - '0');
        if (month < 1 || month > 12 || day < 1 || day > 31)
            continue;
        int year = today.year;
        // A date later in the year than today was written last year (December's logs in January).
        if (month > today.month || (month == today.month && day > today.day))
            --year;
        int64_t age = (plat::ToEpoch(plat::SystemTime{today.year, today.month, 0, today.day, 12}) -
                       plat::ToEpoch(plat::SystemTime{year, month, 0, day, 12})) /
                      86400;
        if (age > 4)
            plat::RemoveFile(name);
    }
}

void ResetLogForTesting() {
    std::lock_guard<std::mutex> lock(g_nameMutex);
    g_logName[0] = 0;
}
