#include "core/ui/UiLink.h"

#include "platform/ui/Ui.h"

bool CUiLink::Call(const std::function<void()>& task) {
    std::shared_ptr<CUiLink> link = shared_from_this();
    struct Done {
        bool finished = false;
        bool ran = false;
    };
    auto done = std::make_shared<Done>();
    // The task is copied into the post: the worker may stop waiting before it runs.
    const bool posted = plat::ui::PostToUiThread([link, done, task] {
        bool alive = false;
        {
            std::lock_guard<std::mutex> lock(link->m_mutex);
            alive = link->m_bAlive;
        }
        if (alive)
            task();
        {
            std::lock_guard<std::mutex> lock(link->m_mutex);
            done->finished = true;
            done->ran = alive;
        }
        link->m_cv.notify_all();
    });
    if (!posted)
        return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [&] { return done->finished || !m_bAlive; });
    return done->ran;
}

void CUiLink::Close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bAlive = false;
    }
    m_cv.notify_all();
}

bool CUiLink::Alive() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bAlive;
}
