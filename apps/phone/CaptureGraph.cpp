#include "apps/phone/CaptureGraph.h"

#include <cstdio>

#include "core/kernel/LogWriter.h"

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

bool CCaptureGraph::Run(const std::string& path, bool* exists) {
    if (exists)
        *exists = false;
    if (!m_bReady)
        return false;
    std::string why;
    plat::CaptureStart r = m_Graph.Start(path, &why);
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

CCaptureGraph& GetCaptureGraph() {
    static CCaptureGraph graph;
    return graph;
}
