// One running copy of the program per user session. The first process to take a name holds it
// for its life (a lock file); it listens on a local socket beside it, through which a later
// copy asks it to come forward before that copy ends.
//
// Both live in the session's runtime folder: $XDG_RUNTIME_DIR, else "velkora-<uid>" in $TMPDIR
// or /tmp. The lock goes with the process, however it ends.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace plat {

class SingleInstance {
public:
    enum class Result {
        First,    // this process holds the name
        Running,  // another process holds it
        Error,    // the runtime folder or the lock file cannot be used
    };

    SingleInstance() = default;
    // Stops listening and lets the name go.
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Result Acquire(const std::string& name);
    bool IsOwner() const { return m_lockFd >= 0; }

    // Owner only: runs `onActivate` on a thread of its own each time a later copy asks. False
    // when the socket cannot be made (later copies then end without being heard).
    bool Listen(std::function<void()> onActivate);
    // Stops the listening thread and waits for it.
    void StopListening();

    // Not the owner: asks the owner to come forward, trying for up to timeoutMs while it may
    // still be starting. True when it confirmed.
    bool ActivateRunning(int timeoutMs = 3000);

    static std::string RuntimeDir();

private:
    void ListenLoop();

    std::string m_lockPath;
    std::string m_socketPath;
    int m_lockFd = -1;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    std::function<void()> m_onActivate;
    std::thread m_thread;
};

}  // namespace plat
