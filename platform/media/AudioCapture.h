// Recording an audio input into a file: source, conversion, a compressed audio encoder and the
// AVI multiplexer into a file. The pipeline is built once and run once per recording; only the
// file name changes. All calls come from one thread (the owner's); every wait is bounded.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// The source recorded from, as a gst-launch style description ("pulsesrc device=x.monitor",
// "alsasrc device=hw:1"). $VELKORA_CAPTURE_SOURCE, else "": the first audio input device the
// system's device monitor lists.
void SetCaptureSource(const std::string& description);
std::string CaptureSource();

// Encoders tried in order, the first that exists is used. $VELKORA_CAPTURE_ENCODERS (names
// separated by commas), else MP3 ("lamemp3enc"), then WMA version 2 ("avenc_wmav2").
void SetCaptureEncoders(const std::vector<std::string>& names);
std::vector<std::string> CaptureEncoders();

// The step of building that failed.
enum class CaptureStep {
    None,
    Engine,   // the media engine or the pipeline could not be made
    Source,   // no input device, or the source cannot be made or opened
    Encoder,  // none of the encoders exists
    Muxer,    // the AVI multiplexer or the file writer is missing
    Link,     // the elements do not connect
};

enum class CaptureStart {
    Running,
    Exists,  // the file is there already: nothing is overwritten
    Failed,
};

class AudioCapture {
public:
    // One line of progress or failure each, without line end.
    using Report = std::function<void(const std::string&)>;

    AudioCapture();
    ~AudioCapture();
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    // Builds the pipeline with the configured source and encoders, and opens the source; each
    // of the source's inputs is reported ("Input pin: NAME"), followed by "\tENABLED" when it
    // is not muted. False with the failed step; what was built is released again.
    bool Build(const Report& report, CaptureStep* failed = nullptr);
    bool IsBuilt() const;
    // The encoder element used ("lamemp3enc").
    std::string Encoder() const;
    void Release();

    // Creates `path` (it must not exist yet) and records into it until Stop. Running only once
    // the source has delivered sound; a source that stays mute fails after a few seconds, and
    // `cancel`, when it is set while the start waits, fails it at once.
    CaptureStart Start(const std::string& path, std::string* error = nullptr,
                       const std::atomic<bool>* cancel = nullptr);
    // Ends the stream and waits, up to timeoutMs, until the file is complete. False when the
    // end did not come in time or the pipeline failed on the way; the file is closed anyway.
    bool Stop(int timeoutMs = 5000);
    bool IsRunning() const;
    // An error the pipeline reported while recording ("" for none); Stop clears it.
    std::string Failure();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace plat
