// The library's own diagnostic logs, written only while their switch files exist in the
// current folder: "zz-Vantrel.txt" switches on "zz-Vantrel.log", "zz-Vantrel.mem.txt" switches
// on "zz-Vantrel.mem.log".
#pragma once

bool KvFileExists(const char* name);
void KvWriteLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void KvWriteMemLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Every run starts with empty library logs.
void KvDeleteLogs();
