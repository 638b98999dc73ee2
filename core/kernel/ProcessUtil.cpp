#include "core/kernel/ProcessUtil.h"

#include <string_view>

#include "platform/io/Path.h"
#include "platform/text/Text.h"

namespace {

// How long an ended program may take to disappear before we go on without it.
const int kKillWaitMs = 1000;

std::u16string ExeName(plat::ProcessId pid) {
    std::string exe = plat::ProcessExePath(pid);
    return exe.empty() ? std::u16string() : plat::Utf8ToUtf16(plat::BaseName(exe));
}

// The file name of a stored path, whichever separator it uses.
std::u16string_view FileNameOf(std::u16string_view path) {
    size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string_view::npos ? path : path.substr(cut + 1);
}

// Ends `pid` when it still runs `name` and was started by this system. Pinning the process
// before the checks makes sure that the process checked is the one ended.
bool KillIfOurs(plat::ProcessId pid, std::u16string_view name) {
    plat::ProcessHandle process;
    if (!process.Open(pid) || plat::StrCmpNoCase(ExeName(pid), name) != 0 || !process.StartedByUs())
        return false;
    return process.Kill(kKillWaitMs);
}

}  // namespace

size_t CWindowIterator::Enumerate() {
    m_windows.clear();
    m_next = 0;
    for (const plat::ExternalWindowInfo& w : plat::ListExternalWindows())
        Add(w);
    return m_windows.size();
}

plat::ExternalWindow CWindowIterator::First() {
    m_next = 0;
    return Next();
}

plat::ExternalWindow CWindowIterator::Next() {
    return m_next < m_windows.size() ? m_windows[m_next++] : 0;
}

bool CWindowIterator::OnWindow(const plat::ExternalWindowInfo&) {
    return true;
}

void CWindowIterator::Add(const plat::ExternalWindowInfo& window) {
    if (OnWindow(window))
        m_windows.push_back(window.window);
}

bool CMainWindowIterator::OnWindow(const plat::ExternalWindowInfo& window) {
    return window.visible && window.pid == m_pid;
}

plat::ProcessId CProcessIterator::First() {
    m_pids = plat::ListProcesses();
    m_next = 0;
    return Next();
}

plat::ProcessId CProcessIterator::Next() {
    return m_next < m_pids.size() ? m_pids[m_next++] : 0;
}

std::u16string CProcessModuleIterator::First() {
    m_modules = plat::ProcessModules(m_pid);
    m_next = 0;
    return Next();
}

std::u16string CProcessModuleIterator::Next() {
    return m_next < m_modules.size() ? plat::Utf8ToUtf16(m_modules[m_next++]) : std::u16string();
}

plat::ExternalWindow FindMainWindow(plat::ProcessId pid) {
    if (pid <= 0 || !plat::ProcessRunning(pid))
        return 0;
    CMainWindowIterator windows(pid);
    windows.Enumerate();
    return windows.First();
}

plat::ProcessId StartProgram(const char16_t* path, const std::vector<std::u16string>& args,
                             const char16_t* folder) {
    if (!path || !*path)
        return -1;
    std::vector<std::string> argv;
    for (const std::u16string& a : args)
        argv.push_back(plat::Utf16ToUtf8(a));
    std::string dir = folder && *folder ? plat::NativePath(folder) : std::string();
    return plat::StartProcess(plat::NativePath(path), argv, dir);
}

bool KillProcessByName(const char16_t* path) {
    if (!path)
        return false;
    const std::u16string_view name = FileNameOf(path);
    if (name.empty())
        return false;
    CProcessIterator processes;
    for (plat::ProcessId pid = processes.First(); pid; pid = processes.Next()) {
        if (plat::StrCmpNoCase(ExeName(pid), name) == 0 && KillIfOurs(pid, name))
            return true;
    }
    return false;
}

int KillHelperPrograms() {
    int ended = 0;
    CProcessIterator processes;
    for (plat::ProcessId pid = processes.First(); pid; pid = processes.Next()) {
        const std::u16string exe = ExeName(pid);
        for (std::u16string_view helper : {HELPER_SCREEN_KB, HELPER_SYSTEM_TRAY}) {
            if (plat::StrCmpNoCase(exe, helper) == 0 && KillIfOurs(pid, helper)) {
                ++ended;
                break;
            }
        }
    }
    return ended;
}
