// The call recorder's capture graph: the car's audio input, an audio compressor and the AVI
// multiplexer into a file. Built once when the phone page takes its skin, run for each
// recording with a new file name, kept until the program ends.
#pragma once

#include <string>

#include "platform/media/AudioCapture.h"

class CCaptureGraph {
public:
    CCaptureGraph() = default;
    ~CCaptureGraph() { Release(); }
    CCaptureGraph(const CCaptureGraph&) = delete;
    CCaptureGraph& operator=(const CCaptureGraph&) = delete;

    // Builds the graph (true at once when it stands). Each step says on standard output what
    // it chose or why it failed.
    bool Init();
    void Release();
    bool IsReady() const { return m_bReady; }

    // Records into `path` (a native path; the file must not exist). False when the graph did not
    // start; `exists` tells a name already taken.
    bool Run(const std::string& path, bool* exists = nullptr);
    // Ends the recording and waits until the file is complete. False when the end did not reach
    // the file in time.
    bool Stop();
    bool IsRunning() const { return m_Graph.IsRunning(); }
    // The compressor in use ("lamemp3enc").
    std::string Compressor() const { return m_Graph.Encoder(); }

private:
    bool m_bReady = false;
    plat::AudioCapture m_Graph;
};

// The program's one capture graph.
CCaptureGraph& GetCaptureGraph();
