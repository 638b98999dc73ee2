#include "library/multimedia/KvPlayer.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "library/KvLog.h"
#include "library/LibFactory.h"
#include "platform/io/Binary.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/media/LanguageNames.h"
#include "platform/media/MediaConfig.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"

namespace KvMultimedia {

namespace {

// Positions cross the interface in 100-nanosecond units.
constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kNsPerUnit = 100;
// Forward and Backward jump this far.
constexpr int64_t kSkipUnits = 50000000;
// Fast play of a DVD steps the title on this often.
constexpr auto kDvdStepInterval = std::chrono::milliseconds(500);
// The last second of a title fast play leaves to play out, so that the title ends as at normal
// speed and the disc's own command after it runs.
constexpr int64_t kDvdStepEndNs = 1000000000;

// Event codes as the log has always shown them.
constexpr unsigned kEventComplete = 0x01;
constexpr unsigned kEventErrorAbort = 0x03;
// A stream error the media plays on through: how the engine's warnings are logged.
constexpr unsigned kEventStreamErrorStillPlaying = 0x07;
constexpr unsigned kEventDvdDomainChange = 0x101;
constexpr unsigned kEventDvdTitleChange = 0x102;
constexpr unsigned kEventDvdChapterStart = 0x103;
constexpr unsigned kEventDvdError = 0x10C;
constexpr unsigned kEventDvdRateChange = 0x110;
constexpr unsigned kEventDvdPlaybackStopped = 0x112;
constexpr unsigned kEventDvdDiscEjected = 0x118;

constexpr char kBookmarkMagic[4] = {'K', 'v', 'B', 'm'};
constexpr uint16_t kBookmarkVersion = 1;

// A box without an owner, as the diagnostics have always shown; the log keeps a copy.
void ShowMessage(const char* text, const char* caption) {
    KvWriteLog("%s: %s", caption, text);
    plat::ui::MessageBox(plat::ui::kNoWindow, plat::Utf8ToUtf16(text), plat::Utf8ToUtf16(caption),
                         plat::ui::kMbOk);
}

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
    if (!m_pLanguageTable)
        m_pLanguageTable.reset(new (std::nothrow) CKvLanguageTable());
    // The engine starts here rather than on the first tap; a failure shows at the open.
    plat::MediaPipeline::StartEngine();
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
    if (IsDVD()) {
        // The size of the picture being decoded, which menus and titles may change. Before
        // the first picture of a menu or title there is none yet; the disc still has video, so
        // its window can be placed and shown meanwhile.
        if (!m_pGraph || !m_pGraph->UpdateVideoSize())
            return RZ_FAIL;
        m_uVideoWidth = static_cast<uint32_t>(m_pGraph->VideoWidth());
        m_uVideoHeight = static_cast<uint32_t>(m_pGraph->VideoHeight());
        if (width)
            *width = m_uVideoWidth;
        if (height)
            *height = m_uVideoHeight;
    }
    return RZ_OK;
}

// --- opening and closing ------------------------------------------------------------------

RZRESULT CKvPlayer::OpenDisc(uint8_t mediaType) {
    switch (mediaType) {
        case MEDIA_DVD:
            return OpenDVD();
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

void CKvPlayer::DropGraph() {
    m_pGraph.reset();
    m_wPendingStreams = 0;
    StopDVDStepping();
}

RZRESULT CKvPlayer::Close() {
    // Tearing the engine down stops it and waits for its threads: no stop, seek or fixed
    // sleeps are needed first.
    DropGraph();
    m_pVideoWindow->SetVisible(false);
    m_bDVDReady = false;
    m_dvdDisc = plat::DvdDisc();
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
    if (IsDVD()) {
        if (!EnsureDVDOpen()) {
            // An unreadable or encrypted disc: the player is closed, as for a file.
            KvWriteLog("DVD: Play failed");
            Close();
            return RZ_FAIL;
        }
        // Play is always at normal speed; the kept rate follows.
        if (m_dRate != 1.0)
            m_bRateChanged = true;
        StopDVDStepping();
        m_dRate = 1.0;
        m_bHasVideo = 1;
    }
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
        // A prepared DVD is opened here, so that a bookmark can be loaded while it waits.
        if (IsDVD() && m_bDVDReady)
            EnsureDVDOpen();
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
    if (IsDVD())
        return DVDSkip(true);
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
    if (IsDVD())
        return DVDSkip(false);
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
    if (IsDVD()) {
        // The next Play starts the disc from its beginning, at normal speed.
        StopDVDStepping();
        m_pGraph->Rewind();
        m_byStatus = STATUS_STOPPED;
        return RZ_OK;
    }
    m_pGraph->Pause();
    m_pGraph->Seek(0);
    m_byStatus = STATUS_STOPPED;
    return RZ_OK;
}

RZRESULT CKvPlayer::SetRate(double rate) {
    if (IsDVD()) {
        // The rate is kept. Normal speed is the navigator's own; a faster one is stepped, in a
        // title whose disc allows forward play. Anywhere else the disc goes on as it was.
        const bool wasStepping = m_bDVDStepping;
        const double before = m_dRate;
        StopDVDStepping();
        m_dRate = rate;
        if (rate > 1.0 && std::isfinite(rate) && !StartDVDStepping())
            KvWriteLog("DVD: SetRate(%.2f) refused", rate);
        if (wasStepping != m_bDVDStepping || (m_bDVDStepping && before != rate))
            m_bRateChanged = true;
        return RZ_OK;
    }
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
    if (IsDVD()) {
        int title = 0;
        int64_t ns = 0;
        if (!DVDPlace(&title, nullptr, &ns))
            return RZ_FAIL;
        const plat::DvdTitle* info = m_dvdDisc.Title(title);
        int64_t total = 0;
        if (info)
            total = info->duration;
        else if (!m_pGraph->Duration(&total))
            return RZ_FAIL;
        FormatHms(t->szCurrent, ns / kNsPerUnit);
        FormatHms(t->szTotal, total / kNsPerUnit);
        return RZ_OK;
    }
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
    if (IsDVD()) {
        HandleDVDEvents();
        return m_byStatus;
    }
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
                KvWriteLog("evCode = 0x%x", kEventStreamErrorStillPlaying);
                KvWriteLog("%s", event.text.c_str());
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

RZRESULT CKvPlayer::OpenDVD() {
    if (m_byStatus != STATUS_NONE)
        Close();
    DropGraph();
    m_dvdDisc = plat::DvdDisc();
    m_byMediaType = MEDIA_DVD;
    m_bHasVideo = 1;
    m_byStatus = STATUS_NONE;
    // The navigator is ready even with an empty drive: the movie page names a folder next
    // (SetDVDDirectory), and the disc is opened when something needs it.
    m_strDVDSource = plat::OpticalDevice();
    m_bDVDReady = true;
    m_pVideoWindow->SetVisible(false);
    m_pVideoWindow->SetRect(plat::Rect{});
    m_eLastDomain = DVD_DOMAIN_Stop;
    m_iLastTitle = 0;
    m_iLastChapter = 0;
    m_byAC3Channels = 0;
    if (m_dvdDisc.Open(m_strDVDSource))
        FindAC3Channels();
    m_byStatus = STATUS_STOPPED;
    return RZ_OK;
}

void CKvPlayer::FindAC3Channels() {
    // The channels of the AC-3 sound the disc starts with: its first title's first stream.
    const plat::DvdTitle* first = m_dvdDisc.Title(1);
    if (first && !first->audio.empty() && first->audio[0].format == 0)
        m_byAC3Channels = static_cast<uint8_t>(first->audio[0].channels);
}

bool CKvPlayer::EnsureDVDOpen() {
    if (m_pGraph)
        return true;
    if (!m_bDVDReady)
        return false;
    std::string error;
    if (!m_dvdDisc.IsOpen()) {
        if (!m_dvdDisc.Open(m_strDVDSource, &error)) {
            KvWriteLog("DVD: %s", error.c_str());
            return false;
        }
        FindAC3Channels();
    }
    auto graph = std::make_unique<plat::MediaPipeline>();
    if (!graph->OpenDvd(m_strDVDSource, m_pVideoWindow, &error)) {
        KvWriteLog("DVD: %s", error.c_str());
        return false;
    }
    m_pGraph = std::move(graph);
    m_bHasVideo = m_pGraph->HasVideo();
    if (m_bHasVideo) {
        m_uVideoWidth = static_cast<uint32_t>(m_pGraph->VideoWidth());
        m_uVideoHeight = static_cast<uint32_t>(m_pGraph->VideoHeight());
    }
    return true;
}

void CKvPlayer::DVDFailed() {
    KvWriteLog("EC_DVD_ERROR | EC_DVD_DISC_EJECTED | EC_DVD_WARNING | EC_DVD_PLAYBACK_STOPPED");
    Close();
    m_byStatus = STATUS_ERROR;
}

bool CKvPlayer::DVDPlace(int* title, int* chapter, int64_t* position) {
    if (!m_pGraph)
        return false;
    int shown = 0;
    if (m_pGraph->DvdOnScreen(&shown) != plat::DvdScreen::Title || shown < 1)
        return false;
    // Times and chapters of the picture on screen: the navigator itself reads ahead.
    int64_t ns = 0;
    if (!m_pGraph->Position(&ns))
        ns = 0;
    if (title)
        *title = shown;
    if (chapter) {
        const int at = m_dvdDisc.ChapterAt(shown, ns);
        *chapter = at > 0 ? at : 1;
    }
    if (position)
        *position = ns;
    return true;
}

KvDvdDomain CKvPlayer::DVDDomain() {
    if (!m_pGraph || m_byStatus == STATUS_STOPPED || m_pGraph->ReachedEnd())
        return DVD_DOMAIN_Stop;
    switch (m_pGraph->DvdOnScreen()) {
        case plat::DvdScreen::Title:
            return DVD_DOMAIN_Title;
        case plat::DvdScreen::Menu: {
            if (m_pGraph->DvdInVideoManagerOnly())
                return DVD_DOMAIN_VideoManagerMenu;
            // The title menu belongs to the video manager, every other menu to a title set.
            const int menu = m_pGraph->DvdMenuId();
            if (menu == 2)
                return DVD_DOMAIN_VideoManagerMenu;
            if (menu == 0 && m_eLastDomain == DVD_DOMAIN_VideoManagerMenu)
                return DVD_DOMAIN_VideoManagerMenu;
            return DVD_DOMAIN_VideoTitleSetMenu;
        }
        case plat::DvdScreen::Nothing:
            break;
    }
    return DVD_DOMAIN_FirstPlay;
}

bool CKvPlayer::HandleDVDEvents() {
    // A disc taken out, or a folder that went away.
    if (!plat::DvdPresent(m_strDVDSource)) {
        KvWriteLog("evCode = 0x%x", kEventDvdDiscEjected);
        DVDFailed();
        return false;
    }
    plat::MediaEvent event;
    while (m_pGraph && m_pGraph->NextEvent(&event)) {
        if (event.kind == plat::MediaEventKind::Error) {
            KvWriteLog("evCode = 0x%x", kEventDvdError);
            KvWriteLog("%s", event.text.c_str());
            DVDFailed();
            return false;
        }
        if (event.kind == plat::MediaEventKind::Warning) {
            // The navigator plays on: logged like every event, not a reason to close.
            KvWriteLog("evCode = 0x%x", kEventStreamErrorStillPlaying);
            KvWriteLog("%s", event.text.c_str());
            continue;
        }
        if (event.kind == plat::MediaEventKind::EndOfStream) {
            KvWriteLog("evCode = 0x%x", kEventDvdDomainChange);
            KvWriteLog("DVD_DOMAIN_Stop");
            KvWriteLog("evCode = 0x%x", kEventDvdPlaybackStopped);
            DVDFailed();
            return false;
        }
    }
    StepDVD();
    if (m_bRateChanged) {
        m_bRateChanged = false;
        KvWriteLog("evCode = 0x%x", kEventDvdRateChange);
        KvWriteLog("EC_DVD_PLAYBACK_RATE_CHANGE");
    }
    const KvDvdDomain domain = DVDDomain();
    if (domain != m_eLastDomain) {
        m_eLastDomain = domain;
        KvWriteLog("evCode = 0x%x", kEventDvdDomainChange);
        switch (domain) {
            case DVD_DOMAIN_FirstPlay:
                KvWriteLog("DVD_DOMAIN_FirstPlay");
                break;
            case DVD_DOMAIN_VideoManagerMenu:
            case DVD_DOMAIN_VideoTitleSetMenu:
                m_byDVDStatus = STATUS_DVD_MENU;
                KvWriteLog("m_byDVDStatus = STATUS_DVD_MENU | DVD_DOMAIN_VideoTitleSetMenu");
                break;
            case DVD_DOMAIN_Title:
                m_byDVDStatus = STATUS_PLAYING;
                m_bMenuToggle = 0;
                KvWriteLog("DVD_DOMAIN_Title");
                break;
            case DVD_DOMAIN_Stop:
                KvWriteLog("DVD_DOMAIN_Stop");
                break;
        }
    }
    ApplyPendingStreams();
    int title = 0;
    int chapter = 0;
    if (DVDPlace(&title, &chapter, nullptr)) {
        if (title != m_iLastTitle) {
            m_iLastTitle = title;
            m_iLastChapter = 0;
            KvWriteLog("evCode = 0x%x", kEventDvdTitleChange);
            KvWriteLog("EC_DVD_TITLE_CHANGE");
        }
        if (chapter != m_iLastChapter) {
            m_iLastChapter = chapter;
            KvWriteLog("evCode = 0x%x", kEventDvdChapterStart);
            KvWriteLog("EC_DVD_CHAPTER_START");
        }
    }
    return true;
}

RZRESULT CKvPlayer::DvdMouse(uint32_t message, int32_t x, int32_t y) {
    if (m_byDVDStatus != STATUS_DVD_MENU || !m_pGraph)
        return RZ_FAIL;
    if (message != KV_MOUSE_MOVE && message != KV_LBUTTON_UP)
        return RZ_OK;
    // The page gives owner-window points; the menu's buttons are placed on the picture.
    if (DVDForbids(UOP_FLAG_Select_Or_Activate_Button))
        return RZ_FAIL;
    // Mapped with the size of the frame on screen: a menu may differ from the first picture.
    const plat::VideoView view = m_pVideoWindow->View();
    const int width = view.width;
    const int height = view.height;
    int px = x;
    int py = y;
    if (!view.rect.IsEmpty() && width > 0 && height > 0) {
        if (!view.rect.Contains(plat::Point{x, y})) {
            if (message != KV_LBUTTON_UP)
                return RZ_OK;
            KvWriteLog("DVD: pen up at %d,%d is off the picture", x, y);
            return RZ_FAIL;
        }
        px = static_cast<int>(int64_t(x - view.rect.left) * width / view.rect.Width());
        py = static_cast<int>(int64_t(y - view.rect.top) * height / view.rect.Height());
    }
    if (message == KV_MOUSE_MOVE) {
        m_pGraph->DvdPointerMove(px, py);
        return RZ_OK;
    }
    const bool taken = m_pGraph->DvdPointerClick(px, py);
    KvWriteLog("DVD: pen up at %d,%d -> %d,%d of the %dx%d picture: %s", x, y, px, py, width,
               height, taken ? "button" : "no button");
    return taken ? RZ_OK : RZ_FAIL;
}

RZRESULT CKvPlayer::DVDMenu(bool title) {
    if (!m_pGraph)
        return RZ_FAIL;
    StopDVDStepping();
    if (!m_bMenuToggle) {
        if (DVDForbids(title ? UOP_FLAG_ShowMenu_Title : UOP_FLAG_ShowMenu_Root) ||
            !m_pGraph->SendDvdCommand(title ? plat::DvdCommand::TitleMenu
                                            : plat::DvdCommand::RootMenu))
            return RZ_FAIL;
        m_byStatus = STATUS_PLAYING;
        m_bMenuToggle = 1;
    } else {
        if (DVDForbids(UOP_FLAG_Resume))
            return RZ_FAIL;
        m_pGraph->SendDvdCommand(plat::DvdCommand::Resume);
        m_byStatus = STATUS_PLAYING;
        m_bMenuToggle = 0;
    }
    return RZ_OK;
}

RZRESULT CKvPlayer::ShowTitleMenu() {
    if (m_byStatus == STATUS_STOPPED || m_byStatus == STATUS_PAUSED || !m_bDVDReady)
        return RZ_FAIL;
    return DVDMenu(true);
}

RZRESULT CKvPlayer::ShowRootMenu() {
    if (m_byStatus != STATUS_PLAYING || !m_bDVDReady)
        return RZ_FAIL;
    return DVDMenu(false);
}

RZRESULT CKvPlayer::GetDvdText(uint32_t /*reserved*/, uint32_t* languages) {
    if (!IsDVD() || !m_bDVDReady)
        return RZ_FAIL;
    if ((!m_dvdDisc.IsOpen() && !m_dvdDisc.Open(m_strDVDSource)) || !m_dvdDisc.TextReadable()) {
        ShowMessage("GetDVDTextNumberOfLanguages() fail", "Error");
        return RZ_OK;
    }
    const int count = m_dvdDisc.TextLanguages();
    if (count == 0) {
        ShowMessage("There is no text on this disc", "No Text Present");
        return RZ_OK;
    }
    if (languages)
        *languages = static_cast<uint32_t>(count);
    const plat::DvdTextLanguage& first = m_dvdDisc.Text().front();
    if (!first.readable) {
        ShowMessage("There was an error getting the number of Strings", "Error!");
        return RZ_OK;
    }
    // The structure marks (types up to 0x20) carry no text; the names and titles do.
    for (const plat::DvdTextString& s : first.strings) {
        if (s.type > 0x20)
            plat::ui::MessageBox(plat::ui::kNoWindow, s.text, u"buffer", plat::ui::kMbOk);
    }
    return RZ_OK;
}

void CKvPlayer::NameLanguage(const std::string& code, char16_t* out, int outChars) {
    if (const char* name = plat::EnglishLanguageName(code)) {
        plat::StrCopy(out, static_cast<size_t>(outChars), plat::Utf8ToUtf16(name));
        return;
    }
    if (!m_pLanguageTable)
        m_pLanguageTable.reset(new (std::nothrow) CKvLanguageTable());
    if (m_pLanguageTable)
        m_pLanguageTable->GetName(code.c_str(), out, outChars);
    else
        plat::StrCopy(out, static_cast<size_t>(outChars), u"Unknown");
}

RZRESULT CKvPlayer::GetStreams(bool audio, char16_t (*names)[KV_STREAM_NAME_CHARS], uint32_t* count,
                               uint32_t* current, int* disabled) {
    if (!IsDVD() || !m_bDVDReady)
        return RZ_FAIL;
    KvWriteLog(audio ? "\nGet DVD audio stream .............................."
                     : "\nGet DVD SP stream ..................................");
    if (!m_pGraph) {
        ShowMessage("Not ready to find language information", "Warning");
        return RZ_FAIL;
    }
    plat::DvdStreams streams =
        audio ? m_pGraph->DvdAudioStreams() : m_pGraph->DvdSubpictureStreams();
    // In a title the disc's own tables count the streams: the navigator announces a
    // placeholder sub-picture stream where there is none.
    int title = 0;
    if (DVDPlace(&title, nullptr, nullptr)) {
        if (const plat::DvdTitle* info = m_dvdDisc.Title(title)) {
            std::vector<std::string> own;
            if (audio) {
                for (const auto& stream : info->audio)
                    own.push_back(stream.language);
            } else {
                own = info->subpictures;
            }
            for (size_t i = 0; i < own.size() && i < streams.languages.size(); ++i) {
                if (own[i].empty())
                    own[i] = streams.languages[i];
            }
            streams.languages = own;
        }
    }
    std::vector<std::u16string> rows;
    for (const std::string& code : streams.languages) {
        char16_t name[KV_STREAM_NAME_CHARS];
        NameLanguage(code, name, KV_STREAM_NAME_CHARS);
        rows.emplace_back(name);
    }
    const uint32_t filled = FillStreamNames(rows, names);
    if (count)
        *count = filled;
    if (current)
        *current = streams.current < 0 ? 0 : static_cast<uint32_t>(streams.current);
    if (disabled)
        *disabled = streams.hidden ? 1 : 0;
    return RZ_OK;
}

RZRESULT CKvPlayer::GetSubpictureStreams(char16_t (*names)[KV_STREAM_NAME_CHARS], uint32_t* count,
                                         uint32_t* current, int* disabled) {
    return GetStreams(false, names, count, current, disabled);
}

RZRESULT CKvPlayer::GetAudioStreams(char16_t (*names)[KV_STREAM_NAME_CHARS], uint32_t* count,
                                    uint32_t* current) {
    return GetStreams(true, names, count, current, nullptr);
}

RZRESULT CKvPlayer::SetSubpicture(int on, uint32_t stream) {
    if (!m_bDVDReady || !m_pGraph || DVDForbids(UOP_FLAG_Select_SubPic_Stream))
        return RZ_FAIL;
    if (on) {
        m_pGraph->SelectDvdSubpicture(static_cast<int>(stream), true);
    } else {
        const int current = m_pGraph->DvdSubpictureStreams().current;
        m_pGraph->SelectDvdSubpicture(current < 0 ? 0 : current, false);
    }
    return RZ_OK;
}

RZRESULT CKvPlayer::SelectAudio(uint32_t stream) {
    if (!m_bDVDReady || !m_pGraph || DVDForbids(UOP_FLAG_Select_Audio_Stream))
        return RZ_FAIL;
    m_pGraph->SelectDvdAudio(static_cast<int>(stream));
    return RZ_OK;
}

RZRESULT CKvPlayer::SaveBookmark(const char16_t* path) {
    if (!path || !*path)
        return RZ_OK;
    if (!m_bDVDReady)
        return RZ_FAIL;
    int title = 0;
    int chapter = 0;
    int64_t ns = 0;
    // Outside a title there is no place to come back to.
    if (!DVDPlace(&title, &chapter, &ns))
        return RZ_OK;
    DvdBookmark bookmark;
    bookmark.title = title;
    bookmark.chapter = chapter;
    bookmark.streams = StreamChoice();
    bookmark.position = ns / kNsPerUnit;
    // Saved every few seconds while playing: a power cut leaves the old bookmark or the new.
    return plat::WriteFileAtomic(plat::NativePath(path), MakeBookmark(bookmark)) ? RZ_OK : RZ_FAIL;
}

std::vector<uint8_t> CKvPlayer::MakeBookmark(const DvdBookmark& bookmark) {
    plat::BinWriter w;
    w.Bytes(kBookmarkMagic, sizeof kBookmarkMagic);
    w.U16(kBookmarkVersion);
    w.U16(static_cast<uint16_t>(bookmark.title));
    w.U16(static_cast<uint16_t>(bookmark.chapter));
    w.U16(bookmark.streams);
    w.I64(bookmark.position);
    return w.Data();
}

bool CKvPlayer::ParseBookmark(const uint8_t* data, size_t size, DvdBookmark* out) {
    if (!data || !out || size != kBookmarkSize)
        return false;
    plat::BinReader r(data, size);
    char magic[sizeof kBookmarkMagic];
    r.Bytes(magic, sizeof magic);
    const uint16_t version = r.U16();
    DvdBookmark b;
    b.title = r.U16();
    b.chapter = r.U16();
    b.streams = r.U16();
    b.position = r.I64();
    if (!r.Ok() || std::memcmp(magic, kBookmarkMagic, sizeof magic) != 0 ||
        version != kBookmarkVersion || b.title < 1 || b.chapter < 1 || b.position < 0)
        return false;
    *out = b;
    return true;
}

RZRESULT CKvPlayer::LoadBookmark(const char16_t* path) {
    if (!path || !*path)
        return RZ_OK;
    if (!m_bDVDReady)
        return RZ_FAIL;
    std::vector<uint8_t> data;
    DvdBookmark bookmark;
    if (!plat::ReadWholeFile(plat::NativePath(path), data, 4096) ||
        !ParseBookmark(data.data(), data.size(), &bookmark))
        return RZ_FAIL;
    const int title = bookmark.title;
    const int chapter = bookmark.chapter;
    const uint16_t streams = bookmark.streams;
    const int64_t units = bookmark.position;
    if (!EnsureDVDOpen())
        return RZ_FAIL;
    // A bookmark of another disc.
    if (m_dvdDisc.IsOpen() && !m_dvdDisc.Title(title))
        return RZ_FAIL;
    StopDVDStepping();
    // The navigator jumps only while it runs: a stopped disc is started, paused.
    if (m_byStatus != STATUS_PLAYING && m_byStatus != STATUS_PAUSED)
        m_pGraph->Pause();
    if (!m_pGraph->SeekDvdTitle(title))
        return RZ_FAIL;
    // The time first; discs without a time map still get the chapter. When neither can be
    // reached the disc stands at the title's start, and the caller is told.
    bool placed = units > 0 && m_pGraph->Seek(units * kNsPerUnit);
    if (!placed)
        placed = chapter == 1 ? units == 0 : m_pGraph->SeekDvdChapter(chapter);
    if (!placed) {
        KvWriteLog("DVD: the bookmark's place in title %d cannot be reached", title);
        return RZ_FAIL;
    }
    // The choice is made against the title's own streams, which the navigator announces when
    // it gets there: kept until then, so a slow disc neither stalls the caller nor loses it.
    m_wPendingStreams = streams;
    m_iPendingStreamsTitle = title;
    m_pendingStreamsUntil = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    m_pendingStreamsRetry = {};
    ApplyPendingStreams();
    return RZ_OK;
}

uint16_t CKvPlayer::StreamChoice() const {
    if (!m_pGraph)
        return 0;
    const plat::DvdStreams audio = m_pGraph->DvdAudioStreams();
    const plat::DvdStreams subpictures = m_pGraph->DvdSubpictureStreams();
    if (audio.current < 0 || audio.current > 7 || subpictures.current > 31)
        return 0;
    uint16_t value = kStreamsKept | static_cast<uint16_t>(audio.current);
    if (subpictures.current >= 0) {
        value |= kSubpictureKept | static_cast<uint16_t>(subpictures.current << 3);
        if (!subpictures.hidden)
            value |= kSubpictureShown;
    }
    return value;
}

void CKvPlayer::ApplyPendingStreams() {
    if (!(m_wPendingStreams & kStreamsKept) || !m_pGraph)
        return;
    const auto now = std::chrono::steady_clock::now();
    // Given up on: the disc keeps its own choice rather than being pushed for ever.
    if (now >= m_pendingStreamsUntil) {
        m_wPendingStreams = 0;
        return;
    }
    const plat::DvdTitle* info = m_dvdDisc.Title(m_iPendingStreamsTitle);
    const plat::DvdStreams audio = m_pGraph->DvdAudioStreams();
    if (info && audio.languages.size() != info->audio.size())
        return;
    const uint16_t showing = StreamChoice();
    const uint16_t kept = static_cast<uint16_t>(
        kStreamsKept | 0x07 |
        (m_wPendingStreams & kSubpictureKept ? kSubpictureKept | kSubpictureShown | 0xF8 : 0));
    if ((showing & kept) == (m_wPendingStreams & kept)) {
        m_wPendingStreams = 0;
        return;
    }
    // A choice made while the navigator is still settling after the jump can be lost: made
    // again until the disc shows it.
    if (now < m_pendingStreamsRetry)
        return;
    m_pendingStreamsRetry = now + std::chrono::milliseconds(500);
    ApplyStreamChoice(m_wPendingStreams);
}

void CKvPlayer::ApplyStreamChoice(uint16_t streams) {
    // Bookmarks of before the streams were kept leave the disc's own choice.
    if (!(streams & kStreamsKept) || !m_pGraph)
        return;
    m_pGraph->SelectDvdAudio(streams & 0x07);
    if (streams & kSubpictureKept)
        m_pGraph->SelectDvdSubpicture((streams >> 3) & 0x1F, (streams & kSubpictureShown) != 0);
}

RZRESULT CKvPlayer::SetDVDDirectory(const char16_t* path) {
    if (!m_bDVDReady)
        return RZ_FAIL;
    m_byMediaType = MEDIA_DVD;
    if (path && *path) {
        DropGraph();
        m_dvdDisc = plat::DvdDisc();
        m_strDVDSource = plat::DvdSourcePath(plat::NativePath(path));
        m_eLastDomain = DVD_DOMAIN_Stop;
        m_iLastTitle = 0;
        m_iLastChapter = 0;
        // Opened now so that a bookmark can be loaded before Play; a folder that cannot be
        // read makes Play fail.
        EnsureDVDOpen();
        if (m_byStatus == STATUS_NONE)
            m_byStatus = STATUS_STOPPED;
    }
    return RZ_OK;
}

bool CKvPlayer::DVDForbids(uint32_t operation) {
    uint32_t mask = 0;
    if (GetCurrentUOPs(&mask) != RZ_OK)
        return false;
    if (mask & operation) {
        KvWriteLog("DVD: the disc forbids operation 0x%x now", operation);
        return true;
    }
    return false;
}

RZRESULT CKvPlayer::DVDSkip(bool forward) {
    if (DVDForbids(forward ? UOP_FLAG_PlayNext_Chapter : UOP_FLAG_PlayPrev_Or_Replay_Chapter))
        return RZ_FAIL;
    // From the chapter on screen: the navigator's own place runs ahead of the picture.
    int title = 0;
    int chapter = 0;
    if (!DVDPlace(&title, &chapter, nullptr))
        return RZ_FAIL;
    const plat::DvdTitle* info = m_dvdDisc.Title(title);
    const int chapters = info ? static_cast<int>(info->chapterStarts.size()) : 0;
    int target = forward ? chapter + 1 : chapter - 1;
    // Backward in the first chapter starts it again.
    if (target < 1)
        target = 1;
    if (target > chapters)
        return RZ_FAIL;
    // The navigator may have read on into the next title: bring it back to the one on screen.
    int reading = 0;
    if (m_pGraph->DvdReadingTitle(&reading) && reading != title && !m_pGraph->SeekDvdTitle(title))
        return RZ_FAIL;
    if (!m_pGraph->SeekDvdChapter(target))
        return RZ_FAIL;
    // Fast play goes on from the chapter's start.
    if (m_bDVDStepping) {
        StopDVDStepping();
        StartDVDStepping();
    }
    return RZ_OK;
}

bool CKvPlayer::StartDVDStepping() {
    int title = 0;
    int64_t ns = 0;
    if (!m_pGraph || m_byStatus != STATUS_PLAYING || !DVDPlace(&title, nullptr, &ns) ||
        DVDForbids(UOP_FLAG_Play_Forwards))
        return false;
    m_bDVDStepping = true;
    m_iStepTitle = title;
    m_llStepFromNs = ns;
    m_stepStart = std::chrono::steady_clock::now();
    m_nextStep = m_stepStart + kDvdStepInterval;
    return true;
}

void CKvPlayer::StopDVDStepping() {
    m_bDVDStepping = false;
}

void CKvPlayer::StepDVD() {
    if (!m_bDVDStepping || !m_pGraph || m_byStatus != STATUS_PLAYING)
        return;
    int title = 0;
    if (!DVDPlace(&title, nullptr, nullptr) || title != m_iStepTitle) {
        // The title has ended: whatever the disc shows next plays at normal speed.
        StopDVDStepping();
        m_dRate = 1.0;
        m_bRateChanged = true;
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextStep)
        return;
    m_nextStep = now + kDvdStepInterval;
    const int64_t elapsed =
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_stepStart).count();
    const int64_t target = m_llStepFromNs + static_cast<int64_t>(m_dRate * elapsed);
    const plat::DvdTitle* info = m_dvdDisc.Title(title);
    if (info && info->duration > 0 && target >= info->duration - kDvdStepEndNs)
        return;
    // Not waited for: the page's tick must not stall on a slow drive.
    m_pGraph->SeekAhead(target);
}

RZRESULT CKvPlayer::GetAudioChannels() {
    return m_byAC3Channels;
}

RZRESULT CKvPlayer::GetCurrentUOPs(uint32_t* out) {
    if (!m_bDVDReady || !out)
        return RZ_FAIL;
    uint32_t mask = 0;
    switch (DVDDomain()) {
        case DVD_DOMAIN_Title: {
            // The program chain of the chapter on screen.
            int title = 0;
            int chapter = 0;
            DVDPlace(&title, &chapter, nullptr);
            if (const plat::DvdTitle* info = m_dvdDisc.Title(title)) {
                const size_t index = static_cast<size_t>(chapter > 0 ? chapter - 1 : 0);
                mask = index < info->chapterProhibited.size() ? info->chapterProhibited[index]
                                                              : info->prohibited;
            }
            break;
        }
        case DVD_DOMAIN_VideoManagerMenu:
            mask = m_dvdDisc.MenuProhibited(0, 2);
            break;
        case DVD_DOMAIN_VideoTitleSetMenu: {
            const plat::DvdTitle* last = m_dvdDisc.Title(m_iLastTitle > 0 ? m_iLastTitle : 1);
            const int menu = m_pGraph ? m_pGraph->DvdMenuId() : 0;
            mask = m_dvdDisc.MenuProhibited(last ? last->titleSet : 1, menu > 0 ? menu : 3);
            break;
        }
        default:
            break;
    }
    // The navigation data forbids more for parts of a chain (a warning that cannot be
    // skipped).
    if (m_pGraph && DVDDomain() != DVD_DOMAIN_Stop)
        mask |= m_pGraph->DvdNavigationForbids();
    // As the disc has it: a set bit means the disc forbids that operation now.
    *out = mask;
    return RZ_OK;
}

RZRESULT CKvPlayer::GetCurrentDomain(KvDvdDomain* out) {
    if (!m_bDVDReady || !out)
        return RZ_FAIL;
    *out = DVDDomain();
    return RZ_OK;
}

RZRESULT CKvPlayer::ActivateButton() {
    if (!m_bDVDReady || DVDForbids(UOP_FLAG_Select_Or_Activate_Button))
        return RZ_FAIL;
    if (m_pGraph)
        m_pGraph->SendDvdCommand(plat::DvdCommand::Activate);
    return RZ_OK;
}

}  // namespace KvMultimedia
