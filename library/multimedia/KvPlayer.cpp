#include "library/multimedia/KvPlayer.h"

#include <cmath>
#include <new>
#include <string>

#include "library/KvLog.h"
#include "library/LibFactory.h"
#include "platform/io/Path.h"
#include "platform/media/MediaConfig.h"
#include "platform/text/Text.h"

namespace KvMultimedia {

namespace {

// Positions cross the interface in 100-nanosecond units.
constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kNsPerUnit = 100;
// Forward and Backward jump this far.
constexpr int64_t kSkipUnits = 50000000;

// Event codes as the log has always shown them.
constexpr unsigned kEventComplete = 0x01;
constexpr unsigned kEventErrorAbort = 0x03;

void FormatHms(char16_t (&out)[13], int64_t units) {
    if (units < 0)
        units = 0;
    const int64_t s = units / kUnitsPerSecond;
    plat::Format(out, u"%02d:%02d:%02d", static_cast<int>(s / 3600),
                 static_cast<int>((s % 3600) / 60), static_cast<int>((s % 3600) % 60));
}

void ClearTexts(KvPlayerTime* t) {
    plat::StrCopy(t->szTotal, u"00:00:00");
    plat::StrCopy(t->szCurrent, u"00:00:00");
}

}  // namespace

RZRESULT NewPlayer(IKvPlayer** out) {
    KV_NEW_OBJECT(CKvPlayer, IKvPlayer, out);
}

// --- the host's mutex ---------------------------------------------------------------------

void CKvPlayerMutex::Lock() {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto self = std::this_thread::get_id();
    if (m_depth > 0 && m_owner == self) {
        ++m_depth;
        return;
    }
    m_free.wait(lock, [this] { return m_depth == 0; });
    m_owner = self;
    m_depth = 1;
}

void CKvPlayerMutex::Unlock() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_depth == 0 || m_owner != std::this_thread::get_id())
        return;
    if (--m_depth == 0)
        m_free.notify_one();
}

// --- object -------------------------------------------------------------------------------

CKvPlayer::CKvPlayer() : m_pVideoWindow(plat::VideoSurface::Create(0)) {}

CKvPlayer::~CKvPlayer() = default;

RZRESULT CKvPlayer::AddRef() {
    return CKvObject::AddRef();
}

RZRESULT CKvPlayer::Release() {
    const uint16_t count = CKvObject::Release();
    if (count == 0) {
        Close();
        delete this;
    }
    return count;
}

RZRESULT CKvPlayer::Init(uint32_t /*reserved*/, uintptr_t owner) {
    m_hOwner = owner;
    m_pVideoWindow->SetOwner(owner);
    // The engine starts here rather than on the first tap; a failure shows at the open.
    std::string error;
    if (!plat::MediaPipeline::StartEngine(&error))
        KvWriteLog("media engine: %s", error.c_str());
    return RZ_OK;
}

// --- video window -------------------------------------------------------------------------

RZRESULT CKvPlayer::ShowVideo(uint8_t show) {
    if (m_byStatus == STATUS_NONE || !m_bHasVideo || !m_pVideoWindow)
        return RZ_FAIL;
    m_pVideoWindow->SetVisible(show != 0);
    return RZ_OK;
}

RZRESULT CKvPlayer::SetVideoPos(int x, int y, int w, int h) {
    const KvRect rect{x, y, x + w, y + h};
    return SetVideoRect(&rect);
}

RZRESULT CKvPlayer::SetVideoRect(const KvRect* rect) {
    if (!rect || m_byStatus == STATUS_NONE || !m_bHasVideo || !m_pVideoWindow)
        return RZ_FAIL;
    m_pVideoWindow->SetRect(plat::Rect{rect->left, rect->top, rect->right, rect->bottom});
    return RZ_OK;
}

RZRESULT CKvPlayer::GetVideoSize(uint32_t* width, uint32_t* height) {
    if (!m_bHasVideo || m_byStatus == STATUS_NONE)
        return RZ_FAIL;
    if (width)
        *width = m_uVideoWidth;
    if (height)
        *height = m_uVideoHeight;
    return RZ_OK;
}

// --- opening and closing ------------------------------------------------------------------

RZRESULT CKvPlayer::OpenDisc(uint8_t mediaType) {
    switch (mediaType) {
        case MEDIA_DVD:
            return RZ_FAIL;  // no DVD engine yet
        case MEDIA_VCD:
        case MEDIA_CD:
            return RZ_OK;
        default:
            return RZ_FAIL;
    }
}

RZRESULT CKvPlayer::OpenFile(const char16_t* path, uint8_t mediaType) {
    Close();
    if (m_byStatus != STATUS_NONE)
        Close();
    m_byStatus = STATUS_NONE;
    m_byMediaType = mediaType;
    if (!path || !*path) {
        Close();
        return RZ_FAIL;
    }
    const std::string native = plat::NativePath(path);
    auto graph = std::make_unique<plat::MediaPipeline>();
    std::string error;
    if (!graph->OpenFile(native, m_pVideoWindow, &error)) {
        KvWriteLog("OpenFile failed: %s (%s)", native.c_str(), error.c_str());
        Close();
        return RZ_FAIL;
    }
    m_pGraph = std::move(graph);
    m_bHasVideo = m_pGraph->HasVideo();
    if (m_bHasVideo) {
        m_uVideoWidth = static_cast<uint32_t>(m_pGraph->VideoWidth());
        m_uVideoHeight = static_cast<uint32_t>(m_pGraph->VideoHeight());
    }
    // A new picture starts hidden and unplaced: the owner places and shows it.
    m_pVideoWindow->SetVisible(false);
    m_pVideoWindow->SetRect(plat::Rect{});
    m_byStatus = STATUS_STOPPED;
    return RZ_OK;
}

RZRESULT CKvPlayer::Close() {
    // Tearing the engine down stops it and waits for its threads: no stop, seek or fixed
    // sleeps are needed first.
    m_pGraph.reset();
    m_pVideoWindow->SetVisible(false);
    m_byDVDStatus = STATUS_DVD_IDLE;
    m_bHasVideo = 0;
    m_byStatus = STATUS_NONE;
    if (IsCD())
        CloseCD();
    m_byMediaType = MEDIA_NONE;
    return RZ_OK;
}

// --- audio CD -----------------------------------------------------------------------------

bool CKvPlayer::OpenCDPipeline() {
    auto graph = std::make_unique<plat::MediaPipeline>();
    std::string error;
    if (!graph->OpenAudioCd(plat::OpticalDevice(), &error)) {
        KvWriteLog("OpenCD failed: %s", error.c_str());
        return false;
    }
    m_pGraph = std::move(graph);
    return true;
}

RZRESULT CKvPlayer::OpenCD(uint8_t startTrack) {
    Close();
    m_byCDStartTrack = startTrack;
    m_byMediaType = MEDIA_CD;
    // Read on every open: the disc in the drive may have changed since the last one.
    std::string error;
    if (!plat::ReadCdToc(plat::OpticalDevice(), &m_cdToc, &error)) {
        KvWriteLog("OpenCD failed: %s", error.c_str());
        return RZ_FAIL;
    }
    if (!OpenCDPipeline())
        return RZ_FAIL;
    m_bCDDeviceOpen = 1;
    m_byStatus = STATUS_STOPPED;
    return RZ_OK;
}

RZRESULT CKvPlayer::CloseCD() {
    if (!IsCD())
        return RZ_OK;
    // Stops, rewinds and lets go of the drive; a later Play opens it again from the start.
    if (m_pGraph)
        m_pGraph.reset();
    if (m_byStatus == STATUS_PLAYING || m_byStatus == STATUS_PAUSED)
        m_byStatus = STATUS_STOPPED;
    return RZ_OK;
}

RZRESULT CKvPlayer::PlayCD() {
    if (m_byStatus == STATUS_PLAYING)
        return RZ_OK;
    if (!m_pGraph && !OpenCDPipeline()) {
        Close();
        return RZ_FAIL;
    }
    if (m_byCDStartTrack > 1) {
        // Jump before starting, so the first track is not heard for a moment.
        int32_t first = -1;
        for (const auto& track : m_cdToc.tracks) {
            if (!track.audio)
                continue;
            if (first < 0)
                first = track.startSector;
            if (track.number == m_byCDStartTrack) {
                const int64_t sectors = track.startSector - first;
                m_pGraph->Seek(sectors * 1000000000 / plat::kCdSectorsPerSecond);
                break;
            }
        }
        m_byCDStartTrack = 0;
    }
    // Started whether it was paused or stopped, so PLAYING always means sound.
    if (!m_pGraph->Play()) {
        Close();
        return RZ_FAIL;
    }
    m_byStatus = STATUS_PLAYING;
    return RZ_OK;
}

RZRESULT CKvPlayer::GetCDTime(KvPlayerTime* t) {
    ClearTexts(t);
    t->byTrack = 0xFF;
    const plat::CdTrack* firstAudio = nullptr;
    for (const auto& track : m_cdToc.tracks) {
        if (track.audio) {
            firstAudio = &track;
            break;
        }
    }
    // No disc, or the disc could not be read any more (taken out).
    if (!firstAudio || (m_pGraph && m_pGraph->HasFailed()))
        return RZ_FAIL;
    // Without a pipeline (after CloseCD) the disc stands at its start.
    int64_t ns = 0;
    if (m_pGraph && !m_pGraph->Position(&ns))
        ns = 0;
    const int64_t sector = firstAudio->startSector + ns * plat::kCdSectorsPerSecond / 1000000000;
    const plat::CdTrack* current = firstAudio;
    for (const auto& track : m_cdToc.tracks) {
        if (track.startSector <= sector)
            current = &track;
    }
    t->byTrack = static_cast<uint8_t>(current->number);
    const int lengthSeconds = current->sectors / plat::kCdSectorsPerSecond;
    plat::Format(t->szTotal, u"00:%02d:%02d", lengthSeconds / 60, lengthSeconds % 60);
    // A position before the track's start (a pre-gap) shows as its start.
    int64_t into = (sector - current->startSector) / plat::kCdSectorsPerSecond;
    if (into < 0)
        into = 0;
    if (into > lengthSeconds)
        into = lengthSeconds;
    plat::Format(t->szCurrent, u"00:%02d:%02d", static_cast<int>(into / 60),
                 static_cast<int>(into % 60));
    if ((m_pGraph && m_pGraph->ReachedEnd()) || sector >= m_cdToc.leadOutSector)
        t->byTrack = 0xFF;
    return RZ_OK;
}

// --- transport ----------------------------------------------------------------------------

RZRESULT CKvPlayer::Play() {
    if (m_byStatus == STATUS_NONE)
        return RZ_FAIL;
    if (IsCD())
        return PlayCD();
    if (!m_pGraph || !m_pGraph->Play()) {
        Close();
        return RZ_FAIL;
    }
    m_byStatus = STATUS_PLAYING;
    return RZ_OK;
}

RZRESULT CKvPlayer::Pause() {
    if (m_byStatus == STATUS_NONE)
        return RZ_FAIL;
    if (IsCD()) {
        if (m_byStatus == STATUS_PLAYING && m_pGraph)
            m_pGraph->Pause();
    } else {
        if (!m_pGraph)
            return RZ_FAIL;
        m_pGraph->Pause();
    }
    m_byStatus = STATUS_PAUSED;
    return RZ_OK;
}

RZRESULT CKvPlayer::Forward() {
    if (m_byStatus != STATUS_PLAYING || IsCD() || !m_pGraph)
        return RZ_FAIL;
    int64_t current = 0;
    if (!m_pGraph->Position(&current))
        return RZ_FAIL;
    const int64_t target = current / kNsPerUnit + kSkipUnits;
    int64_t stop = 0;
    if (m_pGraph->Duration(&stop) && target >= stop / kNsPerUnit)
        return RZ_FAIL;
    m_pGraph->Seek(target * kNsPerUnit);
    return RZ_OK;
}

RZRESULT CKvPlayer::Backward() {
    if (m_byStatus != STATUS_PLAYING || IsCD() || !m_pGraph)
        return RZ_FAIL;
    int64_t current = 0;
    if (!m_pGraph->Position(&current))
        return RZ_FAIL;
    const int64_t target = current / kNsPerUnit - kSkipUnits;
    if (target <= 0)
        return RZ_FAIL;
    m_pGraph->Seek(target * kNsPerUnit);
    return RZ_OK;
}

RZRESULT CKvPlayer::Stop() {
    if (m_byStatus == STATUS_STOPPED)
        return RZ_OK;
    // A closed player has nothing to stop.
    if (m_byStatus == STATUS_NONE || !m_pGraph)
        return RZ_OK;
    m_pGraph->Pause();
    m_pGraph->Seek(0);
    m_byStatus = STATUS_STOPPED;
    return RZ_OK;
}

RZRESULT CKvPlayer::SetRate(double rate) {
    m_dRate = rate;
    if (m_pGraph && !IsCD())
        m_pGraph->SetRate(rate);
    return RZ_OK;
}

RZRESULT CKvPlayer::SetPosition(int64_t position) {
    if (IsDVD() || IsCD() || !m_pGraph)
        return RZ_OK;
    m_pGraph->Seek(position * kNsPerUnit);
    return RZ_OK;
}

RZRESULT CKvPlayer::SetVolume(int32_t volume) {
    if (!m_pGraph || IsCD())
        return RZ_OK;
    // Hundredths of a decibel; -10000 and below is silence.
    double gain = 0.0;
    if (volume > -10000)
        gain = volume >= 0 ? 1.0 : std::pow(10.0, volume / 2000.0);
    m_pGraph->SetVolume(gain);
    return RZ_OK;
}

RZRESULT CKvPlayer::GetTime(KvPlayerTime* t) {
    if (!t)
        return RZ_FAIL;
    t->byTrack = 0;
    t->llPosition = 0;
    if (IsCD())
        return GetCDTime(t);
    ClearTexts(t);
    if (!m_pGraph)
        return RZ_OK;
    int64_t ns = 0;
    if (!m_pGraph->Position(&ns))
        ns = 0;
    t->llPosition = ns / kNsPerUnit;
    FormatHms(t->szCurrent, t->llPosition);
    // A stream of unknown length keeps "00:00:00" as its total.
    int64_t duration = 0;
    if (m_pGraph->Duration(&duration))
        FormatHms(t->szTotal, duration / kNsPerUnit);
    return RZ_OK;
}

// --- state and events ---------------------------------------------------------------------

RZRESULT CKvPlayer::Lock() {
    m_mutex.Lock();
    return RZ_OK;
}

RZRESULT CKvPlayer::Unlock() {
    m_mutex.Unlock();
    return RZ_OK;
}

RZRESULT CKvPlayer::GetStatus() {
    return m_byStatus;
}

RZRESULT CKvPlayer::GetMediaType() {
    return m_byMediaType;
}

RZRESULT CKvPlayer::HandleEvent() {
    if (!m_pGraph)
        return m_byStatus;
    // Takes what is pending and returns: the page calls this from its tick, which must not
    // stall.
    plat::MediaEvent event;
    while (m_pGraph && m_pGraph->NextEvent(&event)) {
        // An audio CD reports its end only through GetTime.
        if (IsCD())
            continue;
        switch (event.kind) {
            case plat::MediaEventKind::EndOfStream:
                KvWriteLog("evCode = 0x%x", kEventComplete);
                m_pGraph->Pause();
                m_pGraph->Seek(0);
                m_byStatus = STATUS_COMPLETED;
                KvWriteLog("EC_COMPLETE .. CD");
                break;
            case plat::MediaEventKind::Error:
                KvWriteLog("evCode = 0x%x", kEventErrorAbort);
                KvWriteLog("EC_ERRORABORT");
                KvWriteLog("%s", event.text.c_str());
                Close();
                m_byStatus = STATUS_ERROR;
                return m_byStatus;
            case plat::MediaEventKind::Warning:
                break;
        }
    }
    return m_byStatus;
}

RZRESULT CKvPlayer::GetGraph(void** out) {
    if (!out)
        return RZ_FAIL;
    *out = m_pGraph.get();
    return RZ_OK;
}

// --- DVD ----------------------------------------------------------------------------------

RZRESULT CKvPlayer::DvdMouse(uint32_t, int32_t, int32_t) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::ShowTitleMenu() {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::ShowRootMenu() {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::GetDvdText(uint32_t, uint32_t*) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::GetSubpictureStreams(char16_t (*)[KV_STREAM_NAME_CHARS], uint32_t*, uint32_t*,
                                         int*) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::GetAudioStreams(char16_t (*)[KV_STREAM_NAME_CHARS], uint32_t*, uint32_t*) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::SetSubpicture(int, uint32_t) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::SelectAudio(uint32_t) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::SaveBookmark(const char16_t*) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::LoadBookmark(const char16_t*) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::SetDVDDirectory(const char16_t*) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::GetAudioChannels() {
    return m_byAC3Channels;
}
RZRESULT CKvPlayer::GetCurrentUOPs(uint32_t*) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::GetCurrentDomain(KvDvdDomain*) {
    return RZ_FAIL;
}
RZRESULT CKvPlayer::ActivateButton() {
    return RZ_FAIL;
}

}  // namespace KvMultimedia
