// The phone page's call recording: the REC button, the once-a-second blink and count, and the
// recordings' names, on the program's capture graph. The page holds one and shows its state.
#pragma once

#include <cstdint>
#include <string>

#include "apps/phone/CaptureGraph.h"

// Where recordings go, a stored path like every other.
#define PHONE_RECORD_FOLDER u"d:\\Velkora Media\\Music"
// A recording stops by itself once it has run longer than this.
#define PHONE_RECORD_MAX_SECONDS 59

class CCallRecorder {
public:
    explicit CCallRecorder(CCaptureGraph& graph = GetCaptureGraph()) : m_Graph(graph) {}

    // From the page's SetSkin: builds the graph once; false when it cannot be built (the page
    // says "Audio cap initialize fail" and REC does nothing).
    bool InitCapture();
    // The REC button: starts or stops a recording; nothing without a graph.
    void OnRecButton();
    // A new recording "YYYYMMDD_NNN.wma" in the folder, numbered one above the day's highest.
    // False, and not recording, when it did not start.
    bool StartRecording();
    // Ends the recording; returns once the file is complete.
    void StopRecording();
    // The page's once-a-second tick: the blink turns, the seconds count, and a recording past
    // its limit stops.
    void OnSecond();

    bool m_bCaptureReady = false;
    bool m_bRecording = false;
    bool m_bBlink = false;  // the REC button shows its highlighted image
    int32_t m_iRecordSeconds = 0;
    std::u16string m_strRecordFolder = PHONE_RECORD_FOLDER;
    std::u16string m_strRecordFile;  // the last recording's stored path

private:
    CCaptureGraph& m_Graph;
};

// The day's recordings in `nativeFolder`: the highest sequence number of the files named
// "YYYYMMDD_NNN.wma" for that date (0 when there is none).
int HighestRecordingNumber(const std::string& nativeFolder, int year, int month, int day);
