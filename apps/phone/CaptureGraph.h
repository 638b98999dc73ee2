// The call recorder's capture graph: the car's audio input, an audio compressor and the AVI
// multiplexer into a file. Built once, run for each recording with a new file name, kept until
// the program ends. Its waits (a source's first sound, the end of a file) are seconds long, so
// the recorder hands them to the graph's own thread, where every use of the graph runs in turn.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/media/AudioCapture.h"

class CCaptureGraph {
public:
    CCaptureGraph() = default;
    // Waits for the jobs given to the graph's thread, then releases the graph.
    ~CCaptureGraph();
    CCaptureGraph(const CCaptureGraph&) = delete;
    CCaptureGraph& operator=(const CCaptureGraph&) = delete;

    // Builds the graph (true at once when it stands). Each step says on standard output what
    // it chose or why it failed.
    bool Init();
    void Release();
    bool IsReady() const { return m_bReady.load(); }

    // Records into `path` (a native path; the file must not exist). False when the graph did not
    // start; `exists` tells a name already taken. Setting `cancel` calls off a start that waits
    // for the source's first sound.
    bool Run(const std::string& path, bool* exists = nullptr,
             const std::atomic<bool>* cancel = nullptr);
    // Ends the recording and waits until the file is complete. False when the end did not reach
    // the file in time.
    bool Stop();
    bool IsRunning() const { return m_Graph.IsRunning(); }
    // The compressor in use ("lamemp3enc").
    std::string Compressor() const { return m_Graph.Encoder(); }

    // Runs `job` on the graph's thread once the jobs given before it are done; false (and
    // nothing run) once the graph is going.
    bool Post(std::function<void()> job);

private:
    void Work();

    std::atomic<bool> m_bReady{false};
    plat::AudioCapture m_Graph;

    std::mutex m_jobMutex;
    std::condition_variable m_jobCv;
    std::deque<std::function<void()>> m_Jobs;
    bool m_bStopping = false;
    std::thread m_Worker;
};

// The program's one capture graph.
CCaptureGraph& GetCaptureGraph();
