// Processes: listed through /proc, started with posix_spawn, ended through a pidfd.
//
// Programs started here carry an owner tag in their environment (VELKORA_OWNER, the base
// folder by default), so that the system can tell the programs it started, in this run or an
// earlier one, from everything else running on the machine with the same name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

using ProcessId = int32_t;

// Every process id of /proc, ascending. Children started here that have ended are reaped first.
std::vector<ProcessId> ListProcesses();

// The program file a process runs (the target of /proc/PID/exe, without " (deleted)");
// empty when it cannot be read (ended, a kernel thread, another user's process).
std::string ProcessExePath(ProcessId pid);

// The program files mapped into a process: its executable first, then its shared libraries
// in the order they are mapped.
std::vector<std::string> ProcessModules(ProcessId pid);

// True while the process exists and has not ended (a zombie has ended).
bool ProcessRunning(ProcessId pid);

// Starts `path` with `args` (argv[1..]; no shell) in the folder `workDir` (empty: the current
// one), in a session of its own so that it outlives us like any program the user started.
// A path without '/' is looked for in the current folder, then in PATH. Returns the id, or -1.
ProcessId StartProcess(const std::string& path, const std::vector<std::string>& args,
                       const std::string& workDir);

// The tag written into started programs. Default: the working directory when first needed.
void SetProcessOwnerTag(const std::string& tag);
std::string ProcessOwnerTag();

// A process pinned by a pidfd, so that what is checked is what gets ended even if the id is
// reused meanwhile.
class ProcessHandle {
public:
    ProcessHandle() = default;
    ~ProcessHandle();
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    bool Open(ProcessId pid);
    void Close();
    ProcessId Id() const { return m_pid; }
    // Its environment carries this system's owner tag.
    bool StartedByUs() const;
    // Ends the process at once and waits up to timeoutMs for it to be gone. False when it
    // could not be signalled.
    bool Kill(int timeoutMs);

private:
    ProcessId m_pid = -1;
    int m_pidfd = -1;
};

}  // namespace plat
