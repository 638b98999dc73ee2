// One playback pipeline: a media file, an audio CD or a DVD, decoded into the configured audio
// output and a VideoSurface. Every wait on the engine is bounded, so a bad file or disc gives a
// failure, never a hang. All calls come from one thread (the owner's); the engine's own
// threads only fill the video surface and raise flags.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/media/VideoSurface.h"

namespace plat {

enum class MediaEventKind {
    EndOfStream,  // the media played to its end
    Error,        // playback failed; text says why
    Warning,
};

struct MediaEvent {
    MediaEventKind kind = MediaEventKind::Warning;
    std::string text;
};

class MediaPipeline {
public:
    MediaPipeline();
    ~MediaPipeline();
    MediaPipeline(const MediaPipeline&) = delete;
    MediaPipeline& operator=(const MediaPipeline&) = delete;

    // Starts the media engine ahead of the first open, so that the first tap does not pay
    // for it; opening does it anyway when needed.
    static bool StartEngine(std::string* error = nullptr);

    // Opens a local media file and leaves it paused at its start with the first frame in
    // `video`. On failure the pipeline is closed and `error` (if given) says why.
    bool OpenFile(const std::string& path, std::shared_ptr<VideoSurface> video,
                  std::string* error = nullptr);
    // Opens the audio tracks of a CD (device node or BIN/CUE image) as one stream whose time 0
    // is the start of the first audio track, paused there.
    bool OpenAudioCd(const std::string& device, std::string* error = nullptr);
    void Close();
    bool IsOpen() const;

    // False when the engine refuses or reports an error while changing state.
    bool Play();
    bool Pause();
    // Flushing, accurate seek to `ns` from the start at the current rate; returns once the
    // new position is ready to play (or after a bounded wait).
    bool Seek(int64_t ns);
    // Rates above 0; applied at the current position.
    bool SetRate(double rate);
    double Rate() const;
    // Linear gain, 0 silent, 1 unchanged.
    void SetVolume(double gain);

    bool Position(int64_t* ns) const;
    // False while the length is unknown.
    bool Duration(int64_t* ns) const;
    bool IsSeekable() const;
    bool HasVideo() const;
    int VideoWidth() const;
    int VideoHeight() const;

    // The end of the media was reached since the last open, seek or play from a stop.
    bool ReachedEnd() const;
    // The engine reported an error since the open.
    bool HasFailed() const;
    // Next pending event, without waiting.
    bool NextEvent(MediaEvent* event);
    // Buffers that have reached the audio output since the open: it keeps growing while
    // sound is really played.
    uint64_t AudioBuffers() const;
    // When the first of them arrived (std::chrono::steady_clock, ns); 0 before that.
    int64_t FirstAudioBufferTime() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace plat
