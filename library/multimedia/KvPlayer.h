// The media player behind IKvPlayer: files through a playback pipeline, audio CDs through the
// CD pipeline and the disc's table of contents, DVDs through the DVD pipeline.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "library/KvObject.h"
#include "library/include/IKvPlayer.h"
#include "library/multimedia/KvLanguageTable.h"
#include "platform/media/AudioCd.h"
#include "platform/media/DvdDisc.h"
#include "platform/media/MediaPipeline.h"
#include "platform/media/VideoSurface.h"

namespace KvMultimedia {

// The host's mutex: recursive for its owner thread; an Unlock from a thread that does not own
// it does nothing (as a foreign release of a Windows mutex fails).
class CKvPlayerMutex {
public:
    void Lock();
    void Unlock();

private:
    std::mutex m_mutex;
    std::condition_variable m_free;
    std::thread::id m_owner;
    unsigned m_depth = 0;
};

class CKvPlayer final : public IKvPlayer, public CKvObject {
public:
    CKvPlayer();
    ~CKvPlayer();

    RZRESULT Init(uint32_t reserved, uintptr_t owner) override;
    RZRESULT ShowVideo(uint8_t show) override;
    RZRESULT SetVideoPos(int x, int y, int w, int h) override;
    RZRESULT SetVideoRect(const KvRect* rect) override;
    RZRESULT OpenDisc(uint8_t mediaType) override;
    RZRESULT OpenFile(const char16_t* path, uint8_t mediaType) override;
    RZRESULT OpenCD(uint8_t startTrack) override;
    RZRESULT CloseCD() override;
    RZRESULT Play() override;
    RZRESULT Pause() override;
    RZRESULT Forward() override;
    RZRESULT Backward() override;
    RZRESULT Stop() override;
    RZRESULT SetRate(double rate) override;
    RZRESULT GetVideoSize(uint32_t* width, uint32_t* height) override;
    RZRESULT Close() override;
    RZRESULT GetTime(KvPlayerTime* time) override;
    RZRESULT SetVolume(int32_t volume) override;
    RZRESULT Lock() override;
    RZRESULT Unlock() override;
    RZRESULT GetStatus() override;
    RZRESULT GetMediaType() override;
    RZRESULT HandleEvent() override;
    RZRESULT DvdMouse(uint32_t message, int32_t x, int32_t y) override;
    RZRESULT ShowTitleMenu() override;
    RZRESULT ShowRootMenu() override;
    RZRESULT GetDvdText(uint32_t reserved, uint32_t* languages) override;
    RZRESULT GetSubpictureStreams(char16_t (*names)[KV_STREAM_NAME_CHARS], uint32_t* count,
                                  uint32_t* current, int* disabled) override;
    RZRESULT GetAudioStreams(char16_t (*names)[KV_STREAM_NAME_CHARS], uint32_t* count,
                             uint32_t* current) override;
    RZRESULT SetSubpicture(int on, uint32_t stream) override;
    RZRESULT SelectAudio(uint32_t stream) override;
    RZRESULT SaveBookmark(const char16_t* path) override;
    RZRESULT LoadBookmark(const char16_t* path) override;
    RZRESULT SetDVDDirectory(const char16_t* path) override;
    RZRESULT SetPosition(int64_t position) override;
    RZRESULT AddRef() override;
    RZRESULT Release() override;
    RZRESULT GetGraph(void** out) override;
    RZRESULT GetAudioChannels() override;
    RZRESULT GetCurrentUOPs(uint32_t* out) override;
    RZRESULT GetCurrentDomain(KvDvdDomain* out) override;
    RZRESULT ActivateButton() override;

    // The picture the window layer draws for this player.
    std::shared_ptr<plat::VideoSurface> VideoWindow() const { return m_pVideoWindow; }

    // The DVD bookmark file: our own, since the navigator cannot save its state. Little-endian:
    // "KvBm", version 1 (16 bits), title, chapter (16 bits each, from 1), the chosen streams
    // (16 bits, below), position in the title (64 bits, 100-nanosecond units).
    static constexpr size_t kBookmarkSize = 20;
    // The streams field: audio stream in bits 0-2, sub-picture stream in bits 3-7, and flags.
    // Zero (older bookmarks) keeps none.
    static constexpr uint16_t kSubpictureShown = 0x0100;
    static constexpr uint16_t kSubpictureKept = 0x4000;
    static constexpr uint16_t kStreamsKept = 0x8000;
    struct DvdBookmark {
        int title = 0;    // from 1
        int chapter = 0;  // from 1
        uint16_t streams = 0;
        int64_t position = 0;  // in the title, 100-nanosecond units
    };
    static std::vector<uint8_t> MakeBookmark(const DvdBookmark& bookmark);
    // False unless the bytes are a whole bookmark of this version with a title and chapter
    // from 1 and a position from 0.
    static bool ParseBookmark(const uint8_t* data, size_t size, DvdBookmark* out);

private:
    bool IsCD() const { return m_byMediaType == MEDIA_CD; }
    bool IsDVD() const { return m_byMediaType == MEDIA_DVD; }
    RZRESULT PlayCD();
    RZRESULT GetCDTime(KvPlayerTime* time);
    bool OpenCDPipeline();
    RZRESULT OpenDVD();
    // Opens the disc or folder behind a prepared DVD when something needs it.
    bool EnsureDVDOpen();
    void FindAC3Channels();
    // The domain on screen, as GetCurrentDomain gives it.
    KvDvdDomain DVDDomain();
    // The title and chapter on screen (0 when none) and the position in the title (ns).
    bool DVDPlace(int* title, int* chapter, int64_t* position);
    // Operations of HandleEvent on a DVD; false when it closed the player.
    bool HandleDVDEvents();
    void DVDFailed();
    RZRESULT DVDMenu(bool title);
    // The streams field of a bookmark for the streams playing now, and its use on resume.
    uint16_t StreamChoice() const;
    void ApplyStreamChoice(uint16_t streams);
    // Applies a bookmark's stream choice once the navigator has announced the title's streams.
    void ApplyPendingStreams();
    // Whether the disc forbids `operation` (a UOP_FLAG_ bit) now; logged when it does.
    bool DVDForbids(uint32_t operation);
    // The next or previous chapter of the title on screen.
    RZRESULT DVDSkip(bool forward);
    // Fast play of a DVD. The navigator plays a title at normal speed only, so the title is
    // stepped forwards by time seeks at short intervals, each to where the rate has brought it
    // since fast play began (the disc's time map lands a seek up to a second early, which
    // must not add up). Only in a title; a menu, another title or its end stop it.
    bool StartDVDStepping();
    void StopDVDStepping();
    // The engine torn down with what was waiting on it: streams still to come, fast play.
    void DropGraph();
    void StepDVD();
    RZRESULT GetStreams(bool audio, char16_t (*names)[KV_STREAM_NAME_CHARS], uint32_t* count,
                        uint32_t* current, int* disabled);
    void NameLanguage(const std::string& code, char16_t* out, int outChars);

    // The open engine (the graph); null while nothing is open.
    std::unique_ptr<plat::MediaPipeline> m_pGraph;
    // The video window: lives as long as the player, shown and placed by the owner.
    std::shared_ptr<plat::VideoSurface> m_pVideoWindow;
    uint32_t m_uVideoWidth = 0;
    uint32_t m_uVideoHeight = 0;
    uint8_t m_bMenuToggle = 0;
    double m_dRate = 1.0;
    uint8_t m_bCDDeviceOpen = 0;
    uint8_t m_byCDStartTrack = 0;
    // The disc's table of contents, read when the CD is opened.
    plat::CdToc m_cdToc;
    uintptr_t m_hOwner = 0;
    CKvPlayerMutex m_mutex;
    uint8_t m_bHasVideo = 0;
    uint8_t m_byStatus = STATUS_NONE;
    uint8_t m_byMediaType = MEDIA_NONE;
    uint8_t m_byDVDStatus = STATUS_DVD_IDLE;
    uint8_t m_byAC3Channels = 0;

    std::unique_ptr<CKvLanguageTable> m_pLanguageTable;
    // DVD control and information: there from OpenDisc(MEDIA_DVD) until Close. The disc itself
    // (m_pGraph and m_dvdDisc) is opened when something needs it.
    bool m_bDVDReady = false;
    std::string m_strDVDSource;
    plat::DvdDisc m_dvdDisc;
    // What HandleEvent reported last, to tell the navigator's changes.
    KvDvdDomain m_eLastDomain = DVD_DOMAIN_Stop;
    int m_iLastTitle = 0;
    int m_iLastChapter = 0;
    bool m_bRateChanged = false;
    // Fast play of a DVD: the title, its place and the time when it began, the next step.
    bool m_bDVDStepping = false;
    int m_iStepTitle = 0;
    int64_t m_llStepFromNs = 0;
    std::chrono::steady_clock::time_point m_stepStart;
    std::chrono::steady_clock::time_point m_nextStep;
    // A loaded bookmark's stream choice, waiting for its title's streams to be announced.
    uint16_t m_wPendingStreams = 0;
    int m_iPendingStreamsTitle = 0;
    std::chrono::steady_clock::time_point m_pendingStreamsUntil;
    std::chrono::steady_clock::time_point m_pendingStreamsRetry;
};

}  // namespace KvMultimedia
