// The phone page's call recording: the REC button, the once-a-second blink and count, and the
// recordings' names, on the program's capture graph. The page holds one and shows its state.
//
// The capture's waits never hold the page: building the graph, starting (which lasts until the
// input's first sound, or a few seconds on an input that stays mute) and stopping (until the
// file is complete) run on the graph's thread. The page asks with OnRecButton and learns the
// outcome from Poll on its own thread; only a recording whose input has sounded shows.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "apps/phone/CaptureGraph.h"

// Where recordings go, a stored path like every other.
#define PHONE_RECORD_FOLDER u"d:\\Velkora Media\\Music"
// A recording stops by itself once it has run longer than this.
#define PHONE_RECORD_MAX_SECONDS 59

class CCallRecorder {
public:
    // What the graph's thread did with a request, as Poll hands it to the page.
    enum class Event {
        None,
        InitFailed,   // the graph could not be built: "Audio cap initialize fail"
        Started,      // the input sounds: the recording shows from now on
        StartFailed,  // nothing was recorded, and no file is left
        Stopped,      // a recording's file is complete
    };

    explicit CCallRecorder(CCaptureGraph& graph = GetCaptureGraph());
    // A running recording is ended and its file completed; a start still waiting is called off,
    // and one whose input sounded before the call-off reached it is ended like a running one.
    ~CCallRecorder();
    CCallRecorder(const CCallRecorder&) = delete;
    CCallRecorder& operator=(const CCallRecorder&) = delete;

    // The REC button. Idle: the graph is built at the first use and a recording is asked for.
    // While that start waits for the input: it is called off. Recording: it ends (the file is
    // completed on the graph's thread).
    void OnRecButton();
    // The next outcome of what was asked, taken on the page's thread.
    Event Poll();
    // The page's once-a-second tick: the blink turns, the seconds count, and a recording past
    // its limit stops.
    void OnSecond();
    // Something asked of the graph's thread is not done yet.
    bool Busy() const;
    // A start waits for the input's first sound.
    bool Starting() const { return m_bStarting; }
    // Waits (up to `timeoutMs`) until the graph's thread has done all that was asked, then
    // takes the outcomes; false on time-out.
    bool Settle(int timeoutMs = 15000);

    bool m_bCaptureReady = false;
    bool m_bRecording = false;
    bool m_bBlink = false;  // the REC button shows its highlighted image
    int32_t m_iRecordSeconds = 0;
    std::u16string m_strRecordFolder = PHONE_RECORD_FOLDER;
    std::u16string m_strRecordFile;  // the last recording's stored path

private:
    struct Shared;

    void RequestStart();
    void RequestStop();

    CCaptureGraph& m_Graph;
    std::shared_ptr<Shared> m_pShared;
    // A start was asked for and its outcome not yet taken; m_bRecording tells the rest.
    bool m_bStarting = false;
};

// The day's recordings in `nativeFolder`: the highest sequence number of the files named
// "YYYYMMDD_NNN.wma" for that date (0 when there is none).
int HighestRecordingNumber(const std::string& nativeFolder, int year, int month, int day);
