// The board simulator module: answers every slot of the board device module like a quiet,
// well-behaved board, keeps a tuner with stations where the script puts them, a key queue and
// a status byte, and logs every call. See BoardSim.h for the script and the log.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "devices/BoardModule.h"
#include "devices/BoardSim.h"

#define SIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr size_t kMaxLogLines = 100000;
constexpr int kBands = 5;
constexpr int kChannels = 9;

struct Station {
    uint16_t frequency;
    bool stereo;
    int strength;  // auto-store keeps the strongest nine
};

struct KeyEntry {
    bool gap;
    int polls;
    uint8_t group;
    uint8_t code;
};

struct Range {
    uint16_t low, high, step;
};

constexpr Range kFm = {8750, 10800, 10};
constexpr Range kAm = {522, 1620, 9};

bool IsAm(int bandIndex) {
    return bandIndex >= 3;
}

const Range& RangeOf(int bandIndex) {
    return IsAm(bandIndex) ? kAm : kFm;
}

// Band codes as the program passes them: 0, 1, 2 for FM1..FM3, 0x10 and 0x11 for AM1, AM2.
int BandIndex(int code) {
    switch (code) {
        case 0x00:
            return 0;
        case 0x01:
            return 1;
        case 0x02:
            return 2;
        case 0x10:
            return 3;
        case 0x11:
            return 4;
        default:
            return -1;
    }
}

const int kBandCodes[kBands] = {0x00, 0x01, 0x02, 0x10, 0x11};

struct Board {
    // What the script sets.
    bool ready;
    int openResult;
    bool makeDevice;
    std::string version;
    uint8_t status;
    std::deque<KeyEntry> keys;
    int pendingGap;
    int seekPolls;
    int scanPolls;
    std::vector<Station> stations;

    // Audio.
    int source, volume, mute, eqPreset, loudness, fader, balance, surround;
    std::map<int, int> eqGains;
    // Video.
    int input, brightness, contrast, saturation, backlight, backlightPower, autoLight, night;
    // Radio.
    int band;
    uint16_t tuned[kBands];
    uint16_t channels[kBands][kChannels];
    int seekLeft;  // status reads until the seek ends; -1 no seek
    int seekTarget;
    int scanLeft;  // -1 no scan
    bool found;
    long seekMs, scanMs;  // -1: seek and scan end by status reads instead of time
    uint64_t seekEnd, scanEnd;
    int tunerFault;  // 0 none, 1 status unreadable, 2 every radio call fails
    // Counters.
    int commits, restores, devices;

    void Reset() {
        ready = true;
        openResult = 0;
        makeDevice = true;
        version = "SIM-1.00";
        status = 0;
        keys.clear();
        pendingGap = 0;
        seekPolls = 0;
        scanPolls = 2;
        stations.clear();
        source = 0, volume = 16, mute = 0, eqPreset = 0, loudness = 0, fader = 0, balance = 0;
        surround = 0;
        eqGains.clear();
        input = 0, brightness = 5, contrast = 5, saturation = 5, backlight = 9;
        backlightPower = 1, autoLight = 1, night = 0;
        band = 0;
        for (int b = 0; b < kBands; ++b) {
            tuned[b] = RangeOf(b).low;
            for (int c = 0; c < kChannels; ++c)
                channels[b][c] = RangeOf(b).low;
        }
        seekLeft = -1;
        seekTarget = -1;
        scanLeft = -1;
        found = false;
        seekMs = -1, scanMs = -1;
        seekEnd = 0, scanEnd = 0;
        tunerFault = 0;
        commits = 0, restores = 0, devices = 0;
    }
};

struct Sim {
    std::mutex mutex;
    Board board;
    std::deque<std::string> log;
    FILE* logFile = nullptr;

    Sim();
    ~Sim() {
        if (logFile)
            std::fclose(logFile);
    }
};

int RunCommandLocked(Sim& sim, const std::string& line);

// The tuner's clock: the program's own when a test installs it, else the monotonic clock.
std::atomic<uint64_t (*)(void)> g_tunerClock{nullptr};

uint64_t TunerNow() {
    if (uint64_t(*clock)(void) = g_tunerClock.load())
        return clock();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

Sim::Sim() {
    board.Reset();
    if (const char* path = std::getenv("VELKORA_BOARD_LOG"); path && *path)
        logFile = std::fopen(path, "a");
    if (const char* path = std::getenv("VELKORA_BOARD_SCRIPT"); path && *path) {
        if (FILE* f = std::fopen(path, "r")) {
            char line[1024];
            while (std::fgets(line, sizeof line, f))
                RunCommandLocked(*this, line);
            std::fclose(f);
        }
    }
}

Sim& TheSim() {
    // Built on first use, so the environment's script runs when the module is first called.
    static Sim sim;
    return sim;
}

void AddLog(Sim& sim, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AddLog(Sim& sim, const char* format, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (sim.log.size() >= kMaxLogLines)
        sim.log.pop_front();
    sim.log.emplace_back(buf);
    if (sim.logFile) {
        std::fprintf(sim.logFile, "%s\n", buf);
        std::fflush(sim.logFile);
    }
}

void SetStatus(uint8_t* status, uint8_t value) {
    if (status)
        *status = value;
}

void SplitFrequency(uint16_t f, uint8_t* high, uint8_t* low) {
    if (high)
        *high = static_cast<uint8_t>(f >> 8);
    if (low)
        *low = static_cast<uint8_t>(f & 0xFF);
}

bool StationAt(const Board& b, uint16_t f, bool* stereo) {
    for (const Station& s : b.stations) {
        if (s.frequency == f) {
            if (stereo)
                *stereo = s.stereo;
            return true;
        }
    }
    return false;
}

// Stations of the current band's kind, in order of frequency.
std::vector<uint16_t> StationsInBand(const Board& b) {
    const Range& r = RangeOf(b.band);
    std::vector<uint16_t> out;
    for (const Station& s : b.stations) {
        if (s.frequency >= r.low && s.frequency <= r.high)
            out.push_back(s.frequency);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

void Tune(Board& b, uint16_t f) {
    b.tuned[b.band] = f;
    b.found = false;
}

void FinishSeek(Board& b) {
    if (b.seekTarget >= 0) {
        b.tuned[b.band] = static_cast<uint16_t>(b.seekTarget);
        b.found = true;
    } else {
        b.found = false;
    }
    b.seekLeft = -1;
    b.seekTarget = -1;
}

void FinishScan(Board& b) {
    // The strongest nine of the band, stored in order of frequency.
    const Range& r = RangeOf(b.band);
    std::vector<Station> heard;
    for (const Station& s : b.stations) {
        if (s.frequency >= r.low && s.frequency <= r.high &&
            std::none_of(heard.begin(), heard.end(),
                         [&](const Station& h) { return h.frequency == s.frequency; }))
            heard.push_back(s);
    }
    std::stable_sort(heard.begin(), heard.end(), [](const Station& x, const Station& y) {
        return x.strength != y.strength ? x.strength > y.strength : x.frequency < y.frequency;
    });
    if (heard.size() > static_cast<size_t>(kChannels))
        heard.resize(kChannels);
    std::vector<uint16_t> found;
    for (const Station& s : heard)
        found.push_back(s.frequency);
    std::sort(found.begin(), found.end());
    for (size_t i = 0; i < found.size(); ++i)
        b.channels[b.band][i] = found[i];
    b.tuned[b.band] = b.channels[b.band][0];
    b.found = false;
    b.scanLeft = -1;
}

void StartSeek(Board& b, bool up) {
    std::vector<uint16_t> list = StationsInBand(b);
    uint16_t from = b.tuned[b.band];
    b.seekTarget = -1;
    if (!list.empty()) {
        if (up) {
            auto it = std::upper_bound(list.begin(), list.end(), from);
            b.seekTarget = it == list.end() ? list.front() : *it;
        } else {
            auto it = std::lower_bound(list.begin(), list.end(), from);
            b.seekTarget = it == list.begin() ? list.back() : *(it - 1);
        }
    }
    b.found = false;
    b.scanLeft = -1;
    if (b.seekMs >= 0) {
        b.seekLeft = 0;
        b.seekEnd = TunerNow() + static_cast<uint64_t>(b.seekMs);
        if (b.seekMs == 0)
            FinishSeek(b);
        return;
    }
    b.seekLeft = b.seekPolls;
    if (b.seekLeft <= 0)
        FinishSeek(b);
}

uint8_t TunerStatus(Board& b) {
    // A status read is what moves a running seek or scan along: by the time scripted for it,
    // or by the number of reads.
    if (b.seekLeft >= 0 && b.seekMs >= 0) {
        if (TunerNow() >= b.seekEnd)
            FinishSeek(b);
    } else if (b.seekLeft > 0) {
        --b.seekLeft;
    } else if (b.seekLeft == 0) {
        FinishSeek(b);
    }
    if (b.scanLeft >= 0 && b.scanMs >= 0) {
        if (TunerNow() >= b.scanEnd)
            FinishScan(b);
    } else if (b.scanLeft > 0) {
        --b.scanLeft;
    } else if (b.scanLeft == 0) {
        FinishScan(b);
    }
    uint8_t s = 0;
    if (b.seekLeft >= 0)
        s |= 0x80;
    if (b.found)
        s |= 0x40;
    bool stereo = false;
    if (b.seekLeft < 0 && b.scanLeft < 0 && !IsAm(b.band) &&
        StationAt(b, b.tuned[b.band], &stereo) && stereo)
        s |= 0x20;
    if (b.scanLeft >= 0)
        s |= 0x10;
    return s;
}

uint16_t Step(const Board& b, int direction, int steps) {
    const Range& r = RangeOf(b.band);
    int span = (r.high - r.low) / r.step + 1;
    int index = (b.tuned[b.band] - r.low) / r.step;
    index = ((index + direction * steps) % span + span) % span;
    return static_cast<uint16_t>(r.low + index * r.step);
}

// ---- script ----

bool ParseNumber(const std::string& word, long& out) {
    if (word.empty())
        return false;
    char* end = nullptr;
    bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    bool negative = word[0] == '-';
    out = std::strtol(word.c_str(), &end, hex ? 16 : 10);
    return end && *end == '\0' && (negative || word[0] != '+');
}

std::string RestOfLine(std::istringstream& in) {
    std::string rest;
    std::getline(in, rest);
    size_t start = rest.find_first_not_of(" \t");
    if (start == std::string::npos)
        return std::string();
    rest = rest.substr(start);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
        rest.pop_back();
    return rest;
}

int RunCommandLocked(Sim& sim, const std::string& rawLine) {
    std::string line = rawLine;
    if (size_t hash = line.find('#'); hash != std::string::npos)
        line.resize(hash);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    std::istringstream in(line);
    std::string verb;
    if (!(in >> verb))
        return 0;  // blank lines and comments are fine
    Board& b = sim.board;
    auto number = [&in](long& v, long low, long high) {
        std::string word;
        return static_cast<bool>(in >> word) && ParseNumber(word, v) && v >= low && v <= high;
    };
    auto done = [&in]() {
        std::string extra;
        return !(in >> extra);
    };
    long v = 0, w = 0;
    if (verb == "reset") {
        b.Reset();
        g_tunerClock = nullptr;
        sim.log.clear();
        return done() ? 0 : -1;
    }
    if (verb == "ready" && number(v, 0, 1) && done()) {
        b.ready = v != 0;
        return 0;
    }
    if (verb == "open-result" && number(v, -1000000, 1000000) && done()) {
        b.openResult = static_cast<int>(v);
        return 0;
    }
    if (verb == "device" && number(v, 0, 1) && done()) {
        b.makeDevice = v != 0;
        return 0;
    }
    if (verb == "version") {
        b.version = RestOfLine(in);
        return 0;
    }
    if (verb == "status" && number(v, 0, 255) && done()) {
        b.status = static_cast<uint8_t>(v);
        return 0;
    }
    if (verb == "key" && number(v, 0, 255) && number(w, 0, 255) && done()) {
        b.keys.push_back({false, 0, static_cast<uint8_t>(v), static_cast<uint8_t>(w)});
        return 0;
    }
    if (verb == "key-gap" && number(v, 0, 1000000) && done()) {
        b.keys.push_back({true, static_cast<int>(v), 0, 0});
        return 0;
    }
    if (verb == "volume" && number(v, 0, 32) && done()) {
        b.volume = static_cast<int>(v);
        return 0;
    }
    if (verb == "night" && number(v, 0, 1) && done()) {
        b.night = static_cast<int>(v);
        return 0;
    }
    if (verb == "auto-light" && number(v, 0, 1) && done()) {
        b.autoLight = static_cast<int>(v);
        return 0;
    }
    if (verb == "station" && number(v, 0, 65535)) {
        bool inFm = v >= kFm.low && v <= kFm.high;
        bool inAm = v >= kAm.low && v <= kAm.high;
        if (!inFm && !inAm)
            return -1;
        std::string flag;
        bool stereo = false;
        long strength = 0;
        while (in >> flag) {
            if (flag == "stereo" && !stereo)
                stereo = true;
            else if (flag == "strength" && number(strength, 0, 100))
                continue;
            else
                return -1;
        }
        b.stations.push_back({static_cast<uint16_t>(v), stereo, static_cast<int>(strength)});
        return 0;
    }
    if (verb == "clear-stations" && done()) {
        b.stations.clear();
        return 0;
    }
    if (verb == "seek-polls" && number(v, 0, 1000000) && done()) {
        b.seekPolls = static_cast<int>(v);
        b.seekMs = -1;
        return 0;
    }
    if (verb == "scan-polls" && number(v, 0, 1000000) && done()) {
        b.scanPolls = static_cast<int>(v);
        b.scanMs = -1;
        return 0;
    }
    if (verb == "seek-time" && number(v, 0, 100000000) && done()) {
        b.seekMs = v;
        return 0;
    }
    if (verb == "scan-time" && number(v, 0, 100000000) && done()) {
        b.scanMs = v;
        return 0;
    }
    if (verb == "tuner-fault") {
        std::string what;
        in >> what;
        const int fault = what == "none" ? 0 : what == "status" ? 1 : what == "all" ? 2 : -1;
        if (fault < 0 || !done())
            return -1;
        b.tunerFault = fault;
        return 0;
    }
    if (verb == "log-file") {
        std::string path = RestOfLine(in);
        if (sim.logFile) {
            std::fclose(sim.logFile);
            sim.logFile = nullptr;
        }
        if (path.empty() || path == "\"\"")
            return 0;
        sim.logFile = std::fopen(path.c_str(), "a");
        return sim.logFile ? 0 : -1;
    }
    return -1;
}

// ---- audio ----

#define LOCK()                                   \
    Sim& sim = TheSim();                         \
    std::lock_guard<std::mutex> hold(sim.mutex); \
    Board& b = sim.board;                        \
    (void)b

#define RESERVED(iface, type, slot)                      \
    int iface##Reserved##slot(type*, uint8_t* status) {  \
        LOCK();                                          \
        SetStatus(status, 0);                            \
        AddLog(sim, #iface " " #slot " reserved() = 0"); \
        return 0;                                        \
    }

RESERVED(audio, BoardAudio, 0)
RESERVED(audio, BoardAudio, 1)
RESERVED(audio, BoardAudio, 3)
RESERVED(audio, BoardAudio, 6)
RESERVED(audio, BoardAudio, 8)
RESERVED(audio, BoardAudio, 9)
RESERVED(audio, BoardAudio, 10)
RESERVED(audio, BoardAudio, 12)
RESERVED(audio, BoardAudio, 13)
RESERVED(audio, BoardAudio, 14)
RESERVED(audio, BoardAudio, 15)
RESERVED(audio, BoardAudio, 17)
RESERVED(audio, BoardAudio, 18)
RESERVED(audio, BoardAudio, 19)
RESERVED(audio, BoardAudio, 20)
RESERVED(audio, BoardAudio, 21)
RESERVED(audio, BoardAudio, 22)
RESERVED(audio, BoardAudio, 24)
RESERVED(audio, BoardAudio, 25)
RESERVED(audio, BoardAudio, 27)
RESERVED(audio, BoardAudio, 29)
RESERVED(audio, BoardAudio, 30)
RESERVED(audio, BoardAudio, 32)
RESERVED(audio, BoardAudio, 33)
RESERVED(audio, BoardAudio, 34)
RESERVED(audio, BoardAudio, 37)

int AudioSelectSource(BoardAudio*, uint8_t source, uint8_t* status) {
    LOCK();
    b.source = source;
    // The board echoes the source it switched to.
    SetStatus(status, source);
    AddLog(sim, "audio 2 SelectSource(%d) = 0", source);
    return 0;
}

int AudioGetVolume(BoardAudio*, uint8_t* level, uint8_t* status) {
    LOCK();
    if (level)
        *level = static_cast<uint8_t>(b.volume);
    SetStatus(status, 0);
    AddLog(sim, "audio 4 GetVolume() = 0 -> 0x%02X", b.volume);
    return 0;
}

int AudioSetVolume(BoardAudio*, uint8_t level, uint8_t* status) {
    LOCK();
    int rc = level <= 32 ? 0 : 1;
    if (rc == 0)
        b.volume = level;
    SetStatus(status, static_cast<uint8_t>(rc));
    AddLog(sim, "audio 5 SetVolume(%d) = %d", level, rc);
    return rc;
}

int AudioMute(BoardAudio*, uint8_t on, uint8_t* status) {
    LOCK();
    b.mute = on ? 1 : 0;
    SetStatus(status, 0);
    AddLog(sim, "audio 7 Mute(%d) = 0", on);
    return 0;
}

int AudioSelectEQ(BoardAudio*, uint8_t preset, uint8_t* status) {
    LOCK();
    b.eqPreset = preset;
    SetStatus(status, 0);
    AddLog(sim, "audio 11 SelectEQ(%d) = 0", preset);
    return 0;
}

int AudioSetEQValue(BoardAudio*, uint8_t band, int gain, uint8_t* status) {
    LOCK();
    b.eqGains[band] = gain;
    SetStatus(status, 0);
    AddLog(sim, "audio 16 SetEQValue(%d, %d) = 0", band, gain);
    return 0;
}

int AudioSetLoudness(BoardAudio*, uint8_t value, uint8_t* status) {
    LOCK();
    b.loudness = value;
    SetStatus(status, 0);
    AddLog(sim, "audio 23 SetLoudness(%d) = 0", value);
    return 0;
}

int AudioSetFader(BoardAudio*, int value, uint8_t* status) {
    LOCK();
    b.fader = value;
    SetStatus(status, 0);
    AddLog(sim, "audio 26 SetFader(%d) = 0", value);
    return 0;
}

int AudioSetBalance(BoardAudio*, int value, uint8_t* status) {
    LOCK();
    b.balance = value;
    SetStatus(status, 0);
    AddLog(sim, "audio 28 SetBalance(%d) = 0", value);
    return 0;
}

int AudioSetSurround(BoardAudio*, uint8_t on, uint8_t* status) {
    LOCK();
    b.surround = on ? 1 : 0;
    SetStatus(status, 0);
    AddLog(sim, "audio 31 SetSurround(%d) = 0", on);
    return 0;
}

int AudioOpen(BoardAudio*, const char* port, uint32_t baud) {
    LOCK();
    int rc = b.openResult;
    AddLog(sim, "audio 35 Open(%s, %u) = %d", port ? port : "(null)", baud, rc);
    return rc;
}

int AudioShutdown(BoardAudio*) {
    LOCK();
    AddLog(sim, "audio 36 Shutdown() = 0");
    return 0;
}

int AudioGetVersion(BoardAudio*, char* text, size_t size, uint8_t* status) {
    LOCK();
    if (text && size > 0) {
        size_t n = std::min(size - 1, b.version.size());
        std::memcpy(text, b.version.data(), n);
        text[n] = '\0';
    }
    SetStatus(status, 0);
    AddLog(sim, "audio 38 GetVersion() = 0 -> %s", b.version.c_str());
    return 0;
}

int AudioIsReady(BoardAudio*) {
    LOCK();
    int rc = b.ready ? 1 : 0;
    AddLog(sim, "audio 39 IsReady() = %d", rc);
    return rc;
}

const BoardAudioOps kAudioOps = {
    audioReserved0,  audioReserved1,   AudioSelectSource, audioReserved3,   AudioGetVolume,
    AudioSetVolume,  audioReserved6,   AudioMute,         audioReserved8,   audioReserved9,
    audioReserved10, AudioSelectEQ,    audioReserved12,   audioReserved13,  audioReserved14,
    audioReserved15, AudioSetEQValue,  audioReserved17,   audioReserved18,  audioReserved19,
    audioReserved20, audioReserved21,  audioReserved22,   AudioSetLoudness, audioReserved24,
    audioReserved25, AudioSetFader,    audioReserved27,   AudioSetBalance,  audioReserved29,
    audioReserved30, AudioSetSurround, audioReserved32,   audioReserved33,  audioReserved34,
    AudioOpen,       AudioShutdown,    audioReserved37,   AudioGetVersion,  AudioIsReady,
};

// ---- video ----

RESERVED(video, BoardVideo, 0)
RESERVED(video, BoardVideo, 1)
RESERVED(video, BoardVideo, 2)
RESERVED(video, BoardVideo, 3)
RESERVED(video, BoardVideo, 14)

int VideoSelectInput(BoardVideo*, uint8_t source, uint8_t* status) {
    LOCK();
    b.input = source;
    SetStatus(status, 0);
    AddLog(sim, "video 4 SelectInput(%d) = 0", source);
    return 0;
}

int GetValue(Sim& sim, int slot, const char* name, int value, uint8_t* out, uint8_t* status) {
    if (out)
        *out = static_cast<uint8_t>(value);
    SetStatus(status, 0);
    AddLog(sim, "video %d %s() = 0 -> 0x%02X", slot, name, value);
    return 0;
}

int SetValue(Sim& sim, int slot, const char* name, int& field, uint8_t value, uint8_t* status) {
    int rc = value <= 10 ? 0 : 1;
    if (rc == 0)
        field = value;
    SetStatus(status, static_cast<uint8_t>(rc));
    AddLog(sim, "video %d %s(%d) = %d", slot, name, value, rc);
    return rc;
}

int VideoGetBrightness(BoardVideo*, uint8_t* v, uint8_t* s) {
    LOCK();
    return GetValue(sim, 5, "GetBrightness", b.brightness, v, s);
}
int VideoSetBrightness(BoardVideo*, uint8_t v, uint8_t* s) {
    LOCK();
    return SetValue(sim, 6, "SetBrightness", b.brightness, v, s);
}
int VideoGetContrast(BoardVideo*, uint8_t* v, uint8_t* s) {
    LOCK();
    return GetValue(sim, 7, "GetContrast", b.contrast, v, s);
}
int VideoSetContrast(BoardVideo*, uint8_t v, uint8_t* s) {
    LOCK();
    return SetValue(sim, 8, "SetContrast", b.contrast, v, s);
}
int VideoGetSaturation(BoardVideo*, uint8_t* v, uint8_t* s) {
    LOCK();
    return GetValue(sim, 9, "GetSaturation", b.saturation, v, s);
}
int VideoSetSaturation(BoardVideo*, uint8_t v, uint8_t* s) {
    LOCK();
    return SetValue(sim, 10, "SetSaturation", b.saturation, v, s);
}
int VideoGetBacklight(BoardVideo*, uint8_t* v, uint8_t* s) {
    LOCK();
    return GetValue(sim, 11, "GetBacklight", b.backlight, v, s);
}
int VideoSetBacklight(BoardVideo*, uint8_t v, uint8_t* s) {
    LOCK();
    return SetValue(sim, 12, "SetBacklight", b.backlight, v, s);
}

int VideoBacklightPower(BoardVideo*, uint8_t on, uint8_t* status) {
    LOCK();
    b.backlightPower = on ? 1 : 0;
    SetStatus(status, 0);
    AddLog(sim, "video 13 BacklightPower(%d) = 0", on);
    return 0;
}

int VideoGetNightMode(BoardVideo*, uint8_t* v, uint8_t* s) {
    LOCK();
    return GetValue(sim, 15, "GetNightMode", b.night, v, s);
}

int VideoSetAutoLight(BoardVideo*, uint8_t on, uint8_t* status) {
    LOCK();
    b.autoLight = on ? 1 : 0;
    SetStatus(status, 0);
    AddLog(sim, "video 16 SetAutoLight(%d) = 0", on);
    return 0;
}

int VideoGetAutoLight(BoardVideo*, uint8_t* v, uint8_t* s) {
    LOCK();
    return GetValue(sim, 17, "GetAutoLight", b.autoLight, v, s);
}

int VideoRefreshManualLight(BoardVideo*) {
    LOCK();
    // The display reset: the picture values back to the board's own, the sensor in charge.
    b.brightness = 5, b.contrast = 5, b.saturation = 5;
    b.backlight = b.night ? 3 : 9;
    b.autoLight = 1;
    AddLog(sim, "video 18 RefreshManualLight() = 0");
    return 0;
}

const BoardVideoOps kVideoOps = {
    videoReserved0,    videoReserved1,      videoReserved2,          videoReserved3,
    VideoSelectInput,  VideoGetBrightness,  VideoSetBrightness,      VideoGetContrast,
    VideoSetContrast,  VideoGetSaturation,  VideoSetSaturation,      VideoGetBacklight,
    VideoSetBacklight, VideoBacklightPower, videoReserved14,         VideoGetNightMode,
    VideoSetAutoLight, VideoGetAutoLight,   VideoRefreshManualLight,
};

// ---- keys ----

int KeysGetKey(BoardKeys*, uint8_t* group, uint8_t* code, uint8_t* status) {
    LOCK();
    SetStatus(status, 0);
    for (;;) {
        if (b.pendingGap > 0) {
            --b.pendingGap;
            break;
        }
        if (b.keys.empty())
            break;
        KeyEntry e = b.keys.front();
        b.keys.pop_front();
        if (e.gap) {
            b.pendingGap = e.polls;
            continue;
        }
        if (group)
            *group = e.group;
        if (code)
            *code = e.code;
        AddLog(sim, "keys 0 GetKey() = 0 -> 0x%02X 0x%02X", e.group, e.code);
        return 0;
    }
    AddLog(sim, "keys 0 GetKey() = 1");
    return 1;
}

const BoardKeysOps kKeysOps = {KeysGetKey};

// ---- radio ----

RESERVED(radio, BoardRadio, 0)
RESERVED(radio, BoardRadio, 2)
RESERVED(radio, BoardRadio, 4)
RESERVED(radio, BoardRadio, 5)
RESERVED(radio, BoardRadio, 10)
RESERVED(radio, BoardRadio, 15)
RESERVED(radio, BoardRadio, 16)
RESERVED(radio, BoardRadio, 18)

// A tuner that fails on demand: the call does nothing and reports 1.
#define TUNER_FAULT(level, slot, name)                         \
    if (b.tunerFault >= (level)) {                             \
        SetStatus(status, 1);                                  \
        AddLog(sim, "radio " #slot " " name "() = 1 (fault)"); \
        return 1;                                              \
    }

int RadioSetBand(BoardRadio*, uint8_t band, uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 1, "SetBand");
    int index = BandIndex(band);
    int rc = index >= 0 ? 0 : 1;
    if (rc == 0 && index != b.band) {
        b.band = index;
        b.found = false;
        b.seekLeft = -1;
        b.scanLeft = -1;
    }
    SetStatus(status, static_cast<uint8_t>(rc));
    AddLog(sim, "radio 1 SetBand(%d) = %d", band, rc);
    return rc;
}

int RadioGetFrequency(BoardRadio*, uint8_t* high, uint8_t* low, uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 3, "GetFrequency");
    // A seek that has had its time is on its station, whatever is read first.
    if (b.seekLeft >= 0 && b.seekMs >= 0 && TunerNow() >= b.seekEnd)
        FinishSeek(b);
    uint16_t f = b.tuned[b.band];
    SplitFrequency(f, high, low);
    SetStatus(status, 0);
    AddLog(sim, "radio 3 GetFrequency() = 0 -> 0x%02X 0x%02X", f >> 8, f & 0xFF);
    return 0;
}

int RadioStep(Sim& sim, int slot, int direction, uint8_t steps, uint8_t* high, uint8_t* low,
              uint8_t* status) {
    Board& b = sim.board;
    b.seekLeft = -1;
    Tune(b, Step(b, direction, steps));
    uint16_t f = b.tuned[b.band];
    SplitFrequency(f, high, low);
    SetStatus(status, 0);
    AddLog(sim, "radio %d %s(%d) = 0 -> 0x%02X 0x%02X", slot, direction > 0 ? "StepUp" : "StepDown",
           steps, f >> 8, f & 0xFF);
    return 0;
}

int RadioStepDown(BoardRadio*, uint8_t steps, uint8_t* high, uint8_t* low, uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 6, "StepDown");
    return RadioStep(sim, 6, -1, steps, high, low, status);
}

int RadioStepUp(BoardRadio*, uint8_t steps, uint8_t* high, uint8_t* low, uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 7, "StepUp");
    return RadioStep(sim, 7, 1, steps, high, low, status);
}

int RadioSeekUp(BoardRadio*, uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 8, "SeekUp");
    StartSeek(b, true);
    SetStatus(status, 0);
    AddLog(sim, "radio 8 SeekUp() = 0");
    return 0;
}

int RadioSeekDown(BoardRadio*, uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 9, "SeekDown");
    StartSeek(b, false);
    SetStatus(status, 0);
    AddLog(sim, "radio 9 SeekDown() = 0");
    return 0;
}

int RadioStartAutoStore(BoardRadio*, uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 11, "StartAutoStore");
    b.seekLeft = -1;
    b.found = false;
    if (b.scanMs >= 0) {
        b.scanLeft = 0;
        b.scanEnd = TunerNow() + static_cast<uint64_t>(b.scanMs);
        if (b.scanMs == 0)
            FinishScan(b);
    } else {
        b.scanLeft = b.scanPolls;
        if (b.scanLeft <= 0)
            FinishScan(b);
    }
    SetStatus(status, 0);
    AddLog(sim, "radio 11 StartAutoStore() = 0");
    return 0;
}

int RadioStopAutoStore(BoardRadio*, uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 12, "StopAutoStore");
    b.scanLeft = -1;
    SetStatus(status, 0);
    AddLog(sim, "radio 12 StopAutoStore() = 0");
    return 0;
}

int RadioStopSeek(BoardRadio*, uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 13, "StopSeek");
    if (b.seekLeft >= 0) {
        b.seekLeft = -1;
        b.seekTarget = -1;
        b.found = false;
    }
    SetStatus(status, 0);
    AddLog(sim, "radio 13 StopSeek() = 0");
    return 0;
}

int RadioGetTunerStatus(BoardRadio*, uint8_t* tuner, uint8_t* status) {
    LOCK();
    TUNER_FAULT(1, 14, "GetTunerStatus");
    uint8_t s = TunerStatus(b);
    if (tuner)
        *tuner = s;
    SetStatus(status, 0);
    AddLog(sim, "radio 14 GetTunerStatus() = 0 -> 0x%02X", s);
    return 0;
}

int RadioLoadChannel(BoardRadio*, uint16_t bandChannel, uint8_t* high, uint8_t* low,
                     uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 17, "LoadChannel");
    int bandCode = bandChannel >> 8;
    int channel = bandChannel & 0xFF;
    int index = bandCode ? BandIndex(bandCode) : b.band;
    int rc = 0;
    if (index < 0 || channel >= kChannels) {
        rc = 1;
    } else {
        b.band = index;
        b.seekLeft = -1;
        b.scanLeft = -1;
        Tune(b, b.channels[index][channel]);
        SplitFrequency(b.tuned[index], high, low);
    }
    SetStatus(status, static_cast<uint8_t>(rc));
    if (rc == 0)
        AddLog(sim, "radio 17 LoadChannel(%d) = 0 -> 0x%02X 0x%02X", bandChannel,
               b.tuned[b.band] >> 8, b.tuned[b.band] & 0xFF);
    else
        AddLog(sim, "radio 17 LoadChannel(%d) = 1", bandChannel);
    return rc;
}

int RadioReplay(BoardRadio*, uint8_t channel, uint8_t* status) {
    LOCK();
    TUNER_FAULT(2, 19, "Replay");
    // The page has just stored the tuned frequency as preset `channel`; the board keeps it
    // there too, so that the nine channels read back what the page shows.
    int rc = channel < kChannels ? 0 : 1;
    if (rc == 0)
        b.channels[b.band][channel] = b.tuned[b.band];
    SetStatus(status, static_cast<uint8_t>(rc));
    AddLog(sim, "radio 19 Replay(%d) = %d", channel, rc);
    return rc;
}

const BoardRadioOps kRadioOps = {
    radioReserved0,     RadioSetBand,     radioReserved2,      RadioGetFrequency,
    radioReserved4,     radioReserved5,   RadioStepDown,       RadioStepUp,
    RadioSeekUp,        RadioSeekDown,    radioReserved10,     RadioStartAutoStore,
    RadioStopAutoStore, RadioStopSeek,    RadioGetTunerStatus, radioReserved15,
    radioReserved16,    RadioLoadChannel, radioReserved18,     RadioReplay,
};

// ---- status ----

int StatusCommit(BoardStatus*) {
    LOCK();
    ++b.commits;
    AddLog(sim, "status 0 Commit() = 0");
    return 0;
}

int StatusRestoreDefaults(BoardStatus*) {
    LOCK();
    ++b.restores;
    AddLog(sim, "status 1 RestoreDefaults() = 0");
    return 0;
}

int StatusReserved2(BoardStatus*) {
    LOCK();
    AddLog(sim, "status 2 reserved() = 0");
    return 0;
}

int StatusGetStatus(BoardStatus*, uint8_t* status) {
    LOCK();
    if (status)
        *status = b.status;
    AddLog(sim, "status 3 GetStatus() = 0 -> 0x%02X", b.status);
    return 0;
}

const BoardStatusOps kStatusOps = {StatusCommit, StatusRestoreDefaults, StatusReserved2,
                                   StatusGetStatus};

// ---- the objects ----

BoardAudio g_audio = {&kAudioOps};
BoardVideo g_video = {&kVideoOps};
BoardKeys g_keys = {&kKeysOps};
BoardRadio g_radio = {&kRadioOps};
BoardStatus g_status = {&kStatusOps};
BoardDevice g_device = {&g_audio, &g_video, &g_keys, &g_radio, &g_status};

int FactoryReleaseDevice(BoardFactory*, BoardDevice* device) {
    LOCK();
    int rc = device == &g_device && b.devices > 0 ? 0 : 1;
    if (rc == 0)
        --b.devices;
    AddLog(sim, "factory 0 ReleaseDevice() = %d", rc);
    return rc;
}

int FactoryCreateDevice(BoardFactory*, const char* name, BoardDevice** out) {
    LOCK();
    bool ok = b.makeDevice && name && std::strcmp(name, BOARD_DEVICE_NAME) == 0;
    if (out)
        *out = ok ? &g_device : nullptr;
    if (ok)
        ++b.devices;
    AddLog(sim, "factory 1 CreateDevice(%s) = %d", name ? name : "(null)", ok ? 0 : 1);
    return ok ? 0 : 1;
}

const BoardFactoryOps kFactoryOps = {FactoryReleaseDevice, FactoryCreateDevice};
BoardFactory g_factory = {&kFactoryOps};

long GetLocked(Board& b, const std::string& name) {
    std::istringstream in(name);
    std::string word;
    in >> word;
    if (word == "channel") {
        long band = -1, channel = -1;
        std::string a, c;
        if (!(in >> a >> c) || !ParseNumber(a, band) || !ParseNumber(c, channel))
            return -1;
        int index = BandIndex(static_cast<int>(band));
        if (index < 0 || channel < 0 || channel >= kChannels)
            return -1;
        return b.channels[index][channel];
    }
    if (word == "eq-gain") {
        long band = -1;
        std::string a;
        if (!(in >> a) || !ParseNumber(a, band))
            return -1;
        auto it = b.eqGains.find(static_cast<int>(band));
        return it == b.eqGains.end() ? 0 : it->second;
    }
    const std::map<std::string, long> values = {
        {"volume", b.volume},
        {"mute", b.mute},
        {"source", b.source},
        {"input", b.input},
        {"eq-preset", b.eqPreset},
        {"loudness", b.loudness},
        {"fader", b.fader},
        {"balance", b.balance},
        {"surround", b.surround},
        {"brightness", b.brightness},
        {"contrast", b.contrast},
        {"saturation", b.saturation},
        {"backlight", b.backlight},
        {"backlight-power", b.backlightPower},
        {"auto-light", b.autoLight},
        {"night", b.night},
        {"band", kBandCodes[b.band]},
        {"frequency", b.tuned[b.band]},
        {"status", b.status},
        {"tuner-fault", b.tunerFault},
        {"keys-queued", static_cast<long>(std::count_if(b.keys.begin(), b.keys.end(),
                                                        [](const KeyEntry& e) { return !e.gap; }))},
        {"commits", b.commits},
        {"restores", b.restores},
        {"devices", b.devices},
    };
    auto it = values.find(word);
    return it == values.end() ? -1 : it->second;
}

}  // namespace

SIM_EXPORT BoardFactory* CreateRARA(void) {
    Sim& sim = TheSim();
    std::lock_guard<std::mutex> hold(sim.mutex);
    AddLog(sim, "CreateRARA()");
    return &g_factory;
}

SIM_EXPORT int BoardSim_Command(const char* line) {
    if (!line)
        return -1;
    Sim& sim = TheSim();
    std::lock_guard<std::mutex> hold(sim.mutex);
    return RunCommandLocked(sim, line);
}

SIM_EXPORT int BoardSim_Script(const char* text) {
    if (!text)
        return -1;
    Sim& sim = TheSim();
    std::lock_guard<std::mutex> hold(sim.mutex);
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (RunCommandLocked(sim, line) != 0)
            return number;
    }
    return 0;
}

SIM_EXPORT size_t BoardSim_LogCount(void) {
    Sim& sim = TheSim();
    std::lock_guard<std::mutex> hold(sim.mutex);
    return sim.log.size();
}

SIM_EXPORT int BoardSim_LogLine(size_t index, char* buffer, size_t size) {
    Sim& sim = TheSim();
    std::lock_guard<std::mutex> hold(sim.mutex);
    if (index >= sim.log.size())
        return -1;
    const std::string& line = sim.log[index];
    if (buffer && size > 0) {
        size_t n = std::min(size - 1, line.size());
        std::memcpy(buffer, line.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int>(line.size());
}

SIM_EXPORT void BoardSim_ClearLog(void) {
    Sim& sim = TheSim();
    std::lock_guard<std::mutex> hold(sim.mutex);
    sim.log.clear();
}

SIM_EXPORT void BoardSim_SetClock(uint64_t (*tickMs)(void)) {
    g_tunerClock = tickMs;
}

SIM_EXPORT long BoardSim_Get(const char* name) {
    if (!name)
        return -1;
    Sim& sim = TheSim();
    std::lock_guard<std::mutex> hold(sim.mutex);
    return GetLocked(sim.board, name);
}
