// Outside programs (navigation, TV, Skype, calibration, the keyboards, the tray program): the
// processes are found by executable name, started, and ended by name; their windows are found
// by process and placed by the seats.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/sys/ExternalWindows.h"
#include "platform/sys/Process.h"

// Collects top-level windows. Enumerate passes every window to Add, which keeps those that
// OnWindow accepts (the base accepts every window).
class CWindowIterator {
public:
    CWindowIterator() = default;
    virtual ~CWindowIterator() = default;

    // Collects afresh; returns the number kept.
    size_t Enumerate();
    plat::ExternalWindow First();
    plat::ExternalWindow Next();  // 0 at the end
    size_t Count() const { return m_windows.size(); }

protected:
    virtual bool OnWindow(const plat::ExternalWindowInfo& window);
    void Add(const plat::ExternalWindowInfo& window);

private:
    std::vector<plat::ExternalWindow> m_windows;
    size_t m_next = 0;
};

// The visible top-level windows of one process.
class CMainWindowIterator : public CWindowIterator {
public:
    explicit CMainWindowIterator(plat::ProcessId pid) : m_pid(pid) {}

protected:
    bool OnWindow(const plat::ExternalWindowInfo& window) override;

private:
    plat::ProcessId m_pid;
};

// Every running process, by id.
class CProcessIterator {
public:
    plat::ProcessId First();  // 0 when there is none
    plat::ProcessId Next();   // 0 at the end
    size_t Count() const { return m_pids.size(); }

private:
    std::vector<plat::ProcessId> m_pids;
    size_t m_next = 0;
};

// The program files of one process: its executable first, then its libraries.
class CProcessModuleIterator {
public:
    explicit CProcessModuleIterator(plat::ProcessId pid) : m_pid(pid) {}
    std::u16string First();  // empty when the process cannot be read
    std::u16string Next();   // empty at the end
    size_t Count() const { return m_modules.size(); }

private:
    plat::ProcessId m_pid;
    std::vector<std::string> m_modules;
    size_t m_next = 0;
};

// The first visible top-level window of a process, or 0 (no window, no X server).
plat::ExternalWindow FindMainWindow(plat::ProcessId pid);

// Starts a program with its arguments in `folder` (empty: the current folder). Stored paths
// may use either separator. Returns the process id, or -1.
plat::ProcessId StartProgram(const char16_t* path, const std::vector<std::u16string>& args,
                             const char16_t* folder);

// Ends the first running program, started by this system, whose executable has the name of
// `path` (the part after its last separator, compared without case). False when none.
bool KillProcessByName(const char16_t* path);

// Ends every "ScreenKB.exe" and "MySystemTray.exe" this system started (also those left from
// an earlier run). Returns how many were ended.
int KillHelperPrograms();

#define HELPER_SCREEN_KB u"ScreenKB.exe"
#define HELPER_SYSTEM_TRAY u"MySystemTray.exe"
