// The built program run as a process of its own, as the system runs it: in a base folder, with
// its own environment, its output kept in files, its exit status and its CPU time readable.
#pragma once

#include <string>
#include <vector>

namespace harness {

class Program {
public:
    Program() = default;
    // Kills the process if it still runs.
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts `path` with `args` in `dir`; `env` (NAME=value) is added to the test's own
    // environment. Standard output and error go to files in `dir`.
    bool Start(const std::string& path, const std::vector<std::string>& args,
               const std::string& dir, const std::vector<std::string>& env = {});
    int Pid() const { return m_pid; }
    bool Running();
    // Waits up to `ms` for the end; false when it still runs.
    bool Wait(int ms);
    // The exit status; -1 while running, 128 + n after signal n.
    int Status() const { return m_status; }
    bool Signal(int sig);
    // User and system time used so far, in milliseconds (from /proc).
    long CpuMs() const;
    std::string Stdout() const;
    std::string Stderr() const;

private:
    int m_pid = -1;
    int m_status = -1;
    std::string m_out;
    std::string m_err;
};

// The built program.
std::string VelkoraPath();

// Waits up to `ms` for the program running in the base folder `dir` to log the end of its
// start-up; false when it did not.
bool WaitForStartUp(const std::string& dir, int ms);

}  // namespace harness
