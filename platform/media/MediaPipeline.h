// One playback pipeline: a media file, an audio CD or a DVD, decoded into the configured audio
// output and a VideoSurface. Every wait on the engine is bounded, so a bad file or disc gives a
// failure, never a hang. All calls come from one thread (the owner's); the engine's own
// threads only fill the video surface and raise flags.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// DVD navigation commands.
enum class DvdCommand {
    TitleMenu,
    RootMenu,
    Resume,  // back from a menu to where the title was left
    Activate,
    NextChapter,
    PreviousChapter,
};

// What a DVD shows at the moment (the navigator itself reads about two seconds ahead).
enum class DvdScreen {
    Nothing,  // not started
    Menu,
    Title,
};

// Streams of the part of a DVD being read, by logical number.
struct DvdStreams {
    std::vector<std::string> languages;  // two-letter codes; "" when the disc gives none
    int current = -1;
    bool hidden = false;  // sub-pictures: only the forced ones are shown
};

class MediaPipeline {
public:
    MediaPipeline();
    ~MediaPipeline();
    MediaPipeline(const MediaPipeline&) = delete;
    MediaPipeline& operator=(const MediaPipeline&) = delete;

    // Starts the media engine ahead of the first open, on a thread of its own, so that neither
    // the start-up nor the first tap waits for it; opening waits for it when needed, and
    // reports a failure.
    static void StartEngine();

    // Opens a local media file and leaves it paused at its start with the first frame in
    // `video`. On failure the pipeline is closed and `error` (if given) says why.
    bool OpenFile(const std::string& path, std::shared_ptr<VideoSurface> video,
                  std::string* error = nullptr);
    // Opens the audio tracks of a CD (device node or BIN/CUE image) as one stream whose time 0
    // is the start of the first audio track, paused there.
    bool OpenAudioCd(const std::string& device, std::string* error = nullptr);
    // A DVD in a drive or a folder holding VIDEO_TS, through its navigator. It starts at the
    // disc's menu (or its first title) and stops there, prerolled.
    bool OpenDvd(const std::string& device, std::shared_ptr<VideoSurface> video,
                 std::string* error = nullptr);
    void Close();
    bool IsOpen() const;
    bool IsDvd() const;

    // False when the engine refuses or reports an error while changing state.
    bool Play();
    bool Pause();
    // Flushing, accurate seek to `ns` from the start at the current rate; returns once the
    // new position is ready to play (or after a bounded wait).
    bool Seek(int64_t ns);
    // A flushing seek to `ns`, started only: the new place plays when the engine has it ready,
    // and the caller does not wait for that.
    bool SeekAhead(int64_t ns);
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
    // Reads the size of the picture being decoded now (a DVD's menus and titles may differ);
    // false when there is none.
    bool UpdateVideoSize();

    // DVD: back to the very start of the disc; the next Play starts it afresh.
    bool Rewind();
    // DVD navigation. Commands that jump return once the new place is ready to play.
    bool SendDvdCommand(DvdCommand command);
    // Moves the pointer to (x, y) of the picture; true when that is over a menu button.
    bool DvdPointerMove(int x, int y);
    // Presses the menu button at (x, y) of the picture; false when there is none.
    bool DvdPointerClick(int x, int y);
    bool SelectDvdAudio(int stream);
    bool SelectDvdSubpicture(int stream, bool show);
    bool SeekDvdTitle(int title);
    // A chapter of the title being played, from 1.
    bool SeekDvdChapter(int chapter);
    // True while the disc shows the video manager's menus (or its first-play program's
    // pictures) and has not yet entered any title set: the navigator cannot name its place then.
    bool DvdInVideoManagerOnly() const;
    // The title the navigator reads (from 1), which runs ahead of the picture; false in a
    // menu or when it cannot say.
    bool DvdReadingTitle(int* title) const;
    // What is on screen and, for a title, which one (from 1).
    DvdScreen DvdOnScreen(int* title = nullptr) const;
    // The menu the navigator is in: 2 title menu, 3 root, 4 sub-picture, 5 audio, 6 angle,
    // 7 chapter; 0 when unknown or not in a menu.
    int DvdMenuId() const;
    // The user operations the disc's newest navigation data forbids (bit n: operation n of
    // DVD-Video), beside those of its program chains.
    uint32_t DvdNavigationForbids() const;
    DvdStreams DvdAudioStreams() const;
    DvdStreams DvdSubpictureStreams() const;

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
    bool OpenPlaybin(const char* uri, std::shared_ptr<VideoSurface> video, std::string* error);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace plat
