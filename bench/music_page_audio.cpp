// The music page in the whole head unit (headless), with two WAV files generated at run time
// on a stick and played into a synchronised fakesink (it takes buffers at the pace of sound):
// - a tap on a file row until the file's first audio buffer reaches the sink (pen down, pen up,
//   paint, open, play), goal at most 80 ms; the program's clock held still;
// - the end of one file (the sink has taken its last buffer) until the next file's first
//   buffer, goal at most 300 ms; the program's clock follows real time here, since the page
//   notices the end on its 250 ms tick.
// The player alone (OpenFile + Play) is measured by bench_player_first_audio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "apps/media/MPDefaultDlg.h"
#include "apps/media/MediaListHandlers.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "library/include/IKvPlayer.h"
#include "library/include/Vantrel.h"
#include "platform/media/MediaPipeline.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/SkinProbe.h"
#include "tests/media/TestMedia.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double MsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

int IndexOf(KvUserInterface::IKvListbox* list, const std::string& name) {
    int count = 0;
    list->GetCount(&count);
    for (int i = 0; i < count; ++i) {
        const UI_LIST_ROW* r = ListRowAt(list, i);
        if (r && plat::Utf16ToUtf8(r->szName) == name)
            return i;
    }
    return -1;
}

plat::Point RowCentre(KvUserInterface::IKvListbox* list, int index) {
    plat::Rect r;
    list->GetItemRect(index, &r);
    return plat::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

plat::MediaPipeline* Graph(CMPDefaultDlg* page) {
    void* graph = nullptr;
    if (!page->Player() || page->Player()->GetGraph(&graph) != RZ_OK)
        return nullptr;
    return static_cast<plat::MediaPipeline*>(graph);
}

// The head unit with the front seat's music page in the stick's "Album" folder of two files.
class MusicRig {
public:
    MusicRig() {
        ::setenv("VELKORA_AUDIO_SINK", "fakesink sync=true", 1);
        const std::string wav = testmedia::Wav();
        if (wav.empty() || !m_unit.Start()) {
            m_why = "the head unit did not start";
            return;
        }
        const std::string stick = m_unit.Drives().Folder("stick");
        fs::create_directories(stick + "/Album");
        fs::copy_file(wav, stick + "/Album/1.wav", fs::copy_options::overwrite_existing);
        fs::copy_file(wav, stick + "/Album/2.wav", fs::copy_options::overwrite_existing);
        m_unit.Drives().Mount("/dev/sdb1", 8, 17, stick);
        m_unit.Advance(2500);
        const plat::Point icon = harness::HomepageIconCentre(0, "APPTYPE_MUSIC");
        m_unit.Tap(icon.x, icon.y);
        m_unit.Advance(200);
        m_page = static_cast<CMPDefaultDlg*>(m_unit.Page(0, APPTYPE_MUSIC));
        if (!m_page || m_unit.Seat(0)->m_iCurrentApp != APPTYPE_MUSIC) {
            m_why = "no music page";
            return;
        }
        for (const char* row : {"Storage 01", "Album"}) {
            const int index = IndexOf(m_page->DriveList(), row);
            if (index < 0) {
                m_why = std::string("no row ") + row;
                return;
            }
            const plat::Point p = RowCentre(m_page->DriveList(), index);
            m_unit.Tap(p.x, p.y);
            m_unit.Advance(60);
        }
        int count = 0;
        m_page->FileList()->GetCount(&count);
        m_ready = count == 2;
        if (!m_ready)
            m_why = "the folder lists " + std::to_string(count) + " files";
    }
    ~MusicRig() { ::unsetenv("VELKORA_AUDIO_SINK"); }

    bool Ready() const { return m_ready; }
    const std::string& Why() const { return m_why; }
    harness::HeadUnit& Unit() { return m_unit; }
    CMPDefaultDlg* Page() const { return m_page; }
    std::string Playing() const { return plat::Utf16ToUtf8(m_page->m_strCurrentPath); }

private:
    harness::HeadUnit m_unit;
    CMPDefaultDlg* m_page = nullptr;
    bool m_ready = false;
    std::string m_why;
};

void BM_MusicTapToFirstAudio(benchmark::State& state) {
    MusicRig rig;
    if (!rig.Ready()) {
        state.SkipWithError(rig.Why().c_str());
        return;
    }
    harness::HeadUnit& unit = rig.Unit();
    CMPDefaultDlg* page = rig.Page();
    double arrive = 0;
    int n = 0;
    for (auto _ : state) {
        // The other file each time, so that every tap opens one.
        const int row = ++n % 2;
        const std::string want = std::string("e:\\Album\\") + (row ? "2.wav" : "1.wav");
        const plat::Point p = RowCentre(page->FileList(), row);
        const Clock::time_point start = Clock::now();
        unit.PenDown(p.x, p.y);
        unit.PenUp(p.x, p.y);
        plat::MediaPipeline* graph = nullptr;
        const Clock::time_point give_up = start + std::chrono::seconds(5);
        while (Clock::now() < give_up) {
            unit.Pump();
            if (rig.Playing() == want && (graph = Graph(page)) && graph->AudioBuffers() > 0)
                break;
            graph = nullptr;
            std::this_thread::yield();
        }
        if (!graph) {
            state.SkipWithError("the tapped file gave no audio");
            break;
        }
        const Clock::time_point first{std::chrono::nanoseconds(graph->FirstAudioBufferTime())};
        arrive += MsBetween(start, first);
        state.SetIterationTime(std::chrono::duration<double>(first - start).count());
        // The screen settles before the next tap.
        unit.Advance(60);
    }
    state.counters["arrive_ms"] = benchmark::Counter(arrive, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_MusicTapToFirstAudio)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_MusicEndToNextFirstAudio(benchmark::State& state) {
    MusicRig rig;
    if (!rig.Ready()) {
        state.SkipWithError(rig.Why().c_str());
        return;
    }
    harness::HeadUnit& unit = rig.Unit();
    CMPDefaultDlg* page = rig.Page();
    // Repeat mode 1: the folder, wrapping at its end.
    while (page->m_byRepeatMode != 1) {
        const uint8_t before = page->m_byRepeatMode;
        page->RunButton(MP_BTN_REPEAT);
        unit.Advance(60);
        if (page->m_byRepeatMode == before) {
            state.SkipWithError("the repeat mode does not change");
            return;
        }
    }
    const plat::Point p = RowCentre(page->FileList(), 0);
    unit.Tap(p.x, p.y);
    unit.Advance(60);
    double worst = 0;
    double noticed = 0;
    double open = 0;
    for (auto _ : state) {
        const std::string from = rig.Playing();
        plat::MediaPipeline* old = Graph(page);
        Clock::time_point ended{};
        Clock::time_point pumped{};
        Clock::time_point opened{};
        Clock::time_point last = Clock::now();
        bool ok = false;
        const Clock::time_point give_up = last + std::chrono::seconds(10);
        while (Clock::now() < give_up) {
            // The end as seen before the page's tick may act on it (later by one round at
            // most, which counts against the page).
            plat::MediaPipeline* graph = Graph(page);
            if (graph == old && old && ended == Clock::time_point{} && old->ReachedEnd())
                ended = Clock::now();
            // The pump in which the page opened the next file.
            if (graph != old && opened == Clock::time_point{})
                opened = pumped;
            if (graph != old && graph && rig.Playing() != from && graph->AudioBuffers() > 0) {
                ok = ended != Clock::time_point{};
                break;
            }
            const Clock::time_point now = Clock::now();
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - last);
            if (ms.count() > 0) {
                unit.Clock().Advance(static_cast<uint64_t>(ms.count()));
                last += ms;
            }
            pumped = Clock::now();
            unit.Pump();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (!ok) {
            state.SkipWithError("the next file did not start after the end of one");
            break;
        }
        const Clock::time_point first{
            std::chrono::nanoseconds(Graph(page)->FirstAudioBufferTime())};
        const double ms = MsBetween(ended, first);
        worst = std::max(worst, ms);
        noticed += MsBetween(ended, opened);
        open += MsBetween(opened, first);
        state.SetIterationTime(ms / 1000.0);
    }
    // The page looks at the end on its 250 ms tick: the figure spreads with it.
    state.counters["worst_ms"] = worst;
    // Split: the end until the page's tick opened the next file, and that open until its
    // first buffer.
    state.counters["tick_ms"] = benchmark::Counter(noticed, benchmark::Counter::kAvgIterations);
    state.counters["open_ms"] = benchmark::Counter(open, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_MusicEndToNextFirstAudio)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
