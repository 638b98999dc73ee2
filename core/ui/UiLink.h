// A page's worker threads' way to the user-interface thread: a task posted there runs only while
// the page lives; the page going wakes every worker still waiting for one.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class CUiLink : public std::enable_shared_from_this<CUiLink> {
public:
    // Runs `task` on the user-interface thread and waits for it; false when the page is going
    // (the task then never touches it) or the task could not be posted. Only on a link held by
    // a shared_ptr: the posted task keeps it alive.
    bool Call(const std::function<void()>& task);
    // The page is going: tasks not yet run are skipped and every waiting worker wakes.
    void Close();
    // Not yet closed.
    bool Alive() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bAlive = true;
};
