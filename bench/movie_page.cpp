// The movie page in the whole head unit (headless), media generated at run time, sound into a
// synchronised fakesink:
// - BM_MovieTapToFirstFrame: a tap on an MP4 row (320x240 colour bars on a stick) until its
//   first frame shows in the front screen's picture, in the file list's place (pen down, pen
//   up, paint, open, play, fit); goal at most 150 ms; the program's clock held still;
// - BM_MovieDvdTapToFirstFrame: a tap on "Play DVD" with the generated disc in the optical
//   drive until its first picture shows (the "Loading DVD ..." paint, the open a paint later,
//   the disc's first-play program); goal at most 2 s.
// A picture counts as shown when a point of the video's place differs clearly from what the
// page showed there before the tap.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "apps/media/MediaListHandlers.h"
#include "apps/media/MoviePlayDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "library/include/IKvPlayer.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/SkinProbe.h"
#include "tests/media/TestMedia.h"
#include "tests/support/ScriptedDrives.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Inside the video's place (the file list's rectangle), below the rows the lists hold and
// beside the "Loading DVD ..." text.
constexpr int kProbeX = 518;
constexpr int kProbeY = 210;

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

uint32_t Probe(harness::HeadUnit& unit) {
    return unit.Screen(0).PixelAt(kProbeX, kProbeY) & 0xFFFFFFu;
}

bool Differs(uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16}) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        if (ca - cb > 40 || cb - ca > 40)
            return true;
    }
    return false;
}

void Tap(harness::HeadUnit& unit, KvUserInterface::IKvListbox* list, int row) {
    const plat::Point p = RowCentre(list, row);
    unit.Tap(p.x, p.y);
    unit.Advance(60);
}

// Taps `row` of the file list and pumps until the probe changes; the time taken, or -1.
// `started` gets the time until the page had the player playing (the rest is the player's
// first picture on its way to the screen).
double TapUntilPicture(harness::HeadUnit& unit, CMoviePlayDlg* page, int row, int giveUpMs,
                       double* started) {
    const uint32_t before = Probe(unit);
    const plat::Point p = RowCentre(page->FileList(), row);
    const Clock::time_point start = Clock::now();
    unit.PenDown(p.x, p.y);
    unit.PenUp(p.x, p.y);
    *started = -1;
    const Clock::time_point give_up = start + std::chrono::milliseconds(giveUpMs);
    while (Clock::now() < give_up) {
        // The DVD opens a paint after "Loading DVD ...": the clock moves a tick each round.
        unit.Advance(10);
        if (*started < 0 && page->Player()->GetStatus() == KvMultimedia::IKvPlayer::STATUS_PLAYING)
            *started = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (page->m_bVideoShown && Differs(Probe(unit), before))
            return std::chrono::duration<double>(Clock::now() - start).count();
        std::this_thread::yield();
    }
    return -1;
}

void BM_MovieTapToFirstFrame(benchmark::State& state) {
    ::setenv("VELKORA_AUDIO_SINK", "fakesink sync=true", 1);
    const std::string mp4 = testmedia::VideoMp4();
    harness::HeadUnit unit;
    if (mp4.empty() || !unit.Start()) {
        state.SkipWithError("the head unit did not start");
        return;
    }
    const std::string stick = unit.Drives().Folder("films");
    fs::create_directories(stick + "/Films");
    fs::copy_file(mp4, stick + "/Films/a.mp4", fs::copy_options::overwrite_existing);
    fs::copy_file(mp4, stick + "/Films/b.mp4", fs::copy_options::overwrite_existing);
    unit.Drives().Mount("/dev/sdb1", 8, 17, stick);
    unit.Advance(2500);
    const plat::Point icon = harness::HomepageIconCentre(0, "APPTYPE_MOVIE");
    unit.Tap(icon.x, icon.y);
    unit.Advance(200);
    CMoviePlayDlg* page = static_cast<CMoviePlayDlg*>(unit.Page(0, APPTYPE_MOVIE));
    if (!page || unit.Seat(0)->m_iCurrentApp != APPTYPE_MOVIE) {
        state.SkipWithError("no movie page");
        return;
    }
    for (const char* row : {"Storage 01", "Films"}) {
        const int index = IndexOf(page->DriveList(), row);
        if (index < 0) {
            state.SkipWithError("the stick's rows are missing");
            return;
        }
        Tap(unit, page->DriveList(), index);
    }
    int n = 0;
    double playing = 0;
    for (auto _ : state) {
        // Nothing plays before the tap: the probe sees the list.
        page->StopAll();
        unit.Advance(60);
        double started = 0;
        const double seconds = TapUntilPicture(unit, page, ++n % 2, 3000, &started);
        playing += started;
        if (seconds < 0) {
            state.SkipWithError("the tapped film showed no picture");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["playing_ms"] = benchmark::Counter(playing, benchmark::Counter::kAvgIterations);
    page->StopAll();
    ::unsetenv("VELKORA_AUDIO_SINK");
}
BENCHMARK(BM_MovieTapToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_MovieDvdTapToFirstFrame(benchmark::State& state) {
    ::setenv("VELKORA_AUDIO_SINK", "fakesink sync=true", 1);
    const std::string source = testmedia::Dvd();
    harness::HeadUnit unit;
    testsupport::ScriptedDrives& drives = unit.Drives();
    const std::string disc = drives.Folder("dvd");
    if (source.empty()) {
        state.SkipWithError("no generated disc");
        return;
    }
    fs::copy(source, disc, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    ::setenv("VELKORA_OPTICAL_DEVICE", disc.c_str(), 1);
    drives.AddOpticalDrive("sr0", 11, 0);
    drives.SetDisc("/dev/sr0", plat::DiscStatus::NoDisc);
    if (!unit.Start()) {
        state.SkipWithError("the head unit did not start");
        return;
    }
    unit.Advance(2500);
    const plat::Point icon = harness::HomepageIconCentre(0, "APPTYPE_MOVIE");
    unit.Tap(icon.x, icon.y);
    unit.Advance(200);
    CMoviePlayDlg* page = static_cast<CMoviePlayDlg*>(unit.Page(0, APPTYPE_MOVIE));
    if (!page) {
        state.SkipWithError("no movie page");
        return;
    }
    // In with the movie page current: it starts the disc; the page is then stopped so that
    // each round begins from the "Play DVD" row.
    drives.Mount("/dev/sr0", 11, 0, disc, "udf");
    drives.SetDisc("/dev/sr0", plat::DiscStatus::Data);
    unit.WaitFor([&] { return IndexOf(page->DriveList(), "DVD") >= 0; }, 6000);
    double playing = 0;
    for (auto _ : state) {
        page->StopAll();
        unit.Advance(300);
        // No kept place: each round opens the disc at once instead of asking.
        if (!page->m_strBookmark.empty())
            fs::remove(plat::NativePath(page->m_strBookmark));
        const int disc_row = IndexOf(page->DriveList(), "DVD");
        if (disc_row < 0) {
            state.SkipWithError("no DVD row");
            break;
        }
        Tap(unit, page->DriveList(), disc_row);
        double started = 0;
        const double seconds = TapUntilPicture(unit, page, 0, 8000, &started);
        playing += started;
        if (seconds < 0) {
            state.SkipWithError("the disc showed no picture");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["playing_ms"] = benchmark::Counter(playing, benchmark::Counter::kAvgIterations);
    page->StopAll();
    ::unsetenv("VELKORA_OPTICAL_DEVICE");
    ::unsetenv("VELKORA_AUDIO_SINK");
}
BENCHMARK(BM_MovieDvdTapToFirstFrame)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
