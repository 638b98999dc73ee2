#include "apps/phone/CaptureGraph.h"

#include <cstdio>

#include "core/kernel/LogWriter.h"

CCaptureGraph::~CCaptureGraph() {
    {
        std::lock_guard<std::mutex> hold(m_jobMutex);
        m_bStopping = true;
    }
    m_jobCv.notify_all();
    if (m_Worker.joinable())
        m_Worker.join();
    Release();
}

bool CCaptureGraph::Init() {
    if (m_bReady)
        return true;
    // The recorder has always spoken to standard output, not to the program's log.
    bool ok = m_Graph.Build([](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    });
    m_bReady = ok;
    return ok;
}

void CCaptureGraph::Release() {
    m_Graph.Release();
    m_bReady = false;
}

bool CCaptureGraph::Run(const std::string& path, bool* exists, const std::atomic<bool>* cancel) {
    if (exists)
        *exists = false;
    if (!m_bReady)
        return false;
    std::string why;
    plat::CaptureStart r = m_Graph.Start(path, &why, cancel);
    if (exists)
        *exists = r == plat::CaptureStart::Exists;
    if (r != plat::CaptureStart::Running) {
        WriteLog("CCaptureGraph::Run(%s): %s", path.c_str(), why.c_str());
        return false;
    }
    return true;
}

bool CCaptureGraph::Stop() {
    if (!m_bReady || !m_Graph.IsRunning())
        return false;
    bool ok = m_Graph.Stop();
    if (!ok)
        WriteLog("CCaptureGraph::Stop(): the recording did not end cleanly");
    return ok;
}

bool CCaptureGraph::Post(std::function<void()> job) {
    std::lock_guard<std::mutex> hold(m_jobMutex);
    if (m_bStopping)
        return false;
    m_Jobs.push_back(std::move(job));
    // The thread comes with the first job: a unit that never records never has one.
    if (!m_Worker.joinable())
        m_Worker = std::thread([this] { Work(); });
    m_jobCv.notify_all();
    return true;
}

void CCaptureGraph::Work() {
    std::unique_lock<std::mutex> hold(m_jobMutex);
    for (;;) {
        m_jobCv.wait(hold, [this] { return m_bStopping || !m_Jobs.empty(); });
        // What was asked before the end is still done: a recording is closed, not cut off.
        if (m_Jobs.empty())
            return;
        std::function<void()> job = std::move(m_Jobs.front());
        m_Jobs.pop_front();
        hold.unlock();
        job();
        hold.lock();
    }
}

CCaptureGraph& GetCaptureGraph() {
    static CCaptureGraph graph;
    return graph;
}
