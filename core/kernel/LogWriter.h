// The program's diagnostic log and the marker files whose presence switches behaviours.
#pragma once

#include <string>

// Marker files in the working directory; only their existence counts.
#define MARKER_LOG "log.txt"
#define MARKER_LOG_CLOCK "zz-clock.txt"
#define MARKER_NO_POWER_MODULE "edevp.txt"
#define MARKER_SHOW "show.txt"
#define MARKER_BOARD_COM3 "ccom3.txt"
#define MARKER_RADIO_MODE "RadioMode.txt"
#define MARKER_PLAY_LOG "zz-play.txt"

// printf-style; writes one line to "zz-log-MMDD.log" while "log.txt" exists or the settings'
// Log flag is set, nothing otherwise. Returns the number of characters written.
int WriteLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The settings block's Log flag, read on every call; the kernel installs it.
void SetLogFlagSource(bool (*source)());

// Deletes logs more than four days old ("edevp.txt": every log). Run once at start, before
// anything is logged.
void CleanupLogs();

bool FileExists(const char* path);
bool FileExists(const char16_t* path);

// Forgets the file name chosen for this run (tests start a new "run").
void ResetLogForTesting();
