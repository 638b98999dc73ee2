// Fast play of a DVD: the player steps the title on by time seeks, since the DVD element has
// no rate of its own. On the generated disc (a title of 90 s), at 2x, 4x and 6x:
// - BM_DvdFastPlay: the title's advance over 10 s of real time, as a multiple of real time
//   (goal: within 20% of the rate), with the player's event poll running as the movie page's
//   tick does (every 250 ms); and the longest of those polls, which the page's tick waits for.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "library/include/Vantrel.h"
#include "library/multimedia/KvPlayer.h"
#include "platform/media/MediaConfig.h"
#include "platform/media/MediaPipeline.h"
#include "platform/text/Text.h"
#include "tests/media/TestMedia.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTitleSeconds = 90;
constexpr int kMeasureSeconds = 10;

struct DiscPlayer {
    IVantrel* root = nullptr;
    KvMultimedia::IKvPlayer* player = nullptr;

    DiscPlayer() {
        plat::SetAudioOutput("fakesink sync=true");
        root = CreateIVantrel();
        if (root && root->CreatePlayer(&player) == RZ_OK)
            player->Init(0, 0xD7D);
    }
    ~DiscPlayer() {
        if (player)
            player->Release();
        if (root)
            root->Release();
    }

    // The longest event poll so far.
    double longestPoll = 0;

    // The page's tick: the event poll every 250 ms until `done` or the time is up.
    template <typename Done>
    bool Tick(Done done, std::chrono::milliseconds limit) {
        const Clock::time_point end = Clock::now() + limit;
        while (Clock::now() < end) {
            const Clock::time_point polled = Clock::now();
            player->HandleEvent();
            longestPoll =
                std::max(longestPoll, std::chrono::duration<double>(Clock::now() - polled).count());
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return false;
    }

    KvMultimedia::KvDvdDomain Domain() {
        KvMultimedia::KvDvdDomain domain = KvMultimedia::DVD_DOMAIN_Stop;
        player->GetCurrentDomain(&domain);
        return domain;
    }

    // The title's place on screen (ns), from the engine.
    int64_t Position() {
        void* graph = nullptr;
        int64_t ns = -1;
        if (player->GetGraph(&graph) != RZ_OK || !graph ||
            !static_cast<plat::MediaPipeline*>(graph)->Position(&ns))
            return -1;
        return ns;
    }

    // The disc's folder opened as the movie page opens it, played to its title menu and its
    // first button pressed: the title plays from its start.
    bool StartTitle(const std::string& folder) {
        const std::u16string ifo = plat::Utf8ToUtf16(folder + "/VIDEO_TS/VIDEO_TS.IFO");
        if (player->OpenDisc(KvMultimedia::IKvPlayer::MEDIA_DVD) != RZ_OK ||
            player->SetDVDDirectory(ifo.c_str()) != RZ_OK || player->Play() != RZ_OK)
            return false;
        if (!Tick([&] { return Domain() == KvMultimedia::DVD_DOMAIN_VideoManagerMenu; },
                  std::chrono::seconds(10)))
            return false;
        // The first-play program's intro is a menu of the video manager too: pressed until the
        // title plays.
        return Tick(
            [&] {
                player->ActivateButton();
                return Domain() == KvMultimedia::DVD_DOMAIN_Title && Position() > 500000000;
            },
            std::chrono::seconds(10));
    }
};

void BM_DvdFastPlay(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    const std::string disc = testmedia::Dvd(kTitleSeconds);
    DiscPlayer disc_player;
    if (disc.empty() || !disc_player.player) {
        state.SkipWithError("no disc or no player");
        return;
    }
    double multiples = 0;
    double longest = 0;
    for (auto _ : state) {
        if (!disc_player.StartTitle(disc)) {
            state.SkipWithError("the disc's title does not play");
            break;
        }
        const int64_t from = disc_player.Position();
        disc_player.longestPoll = 0;
        disc_player.player->SetRate(rate);
        const Clock::time_point start = Clock::now();
        disc_player.Tick([] { return false; }, std::chrono::seconds(kMeasureSeconds));
        const int64_t to = disc_player.Position();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        disc_player.player->Close();
        multiples += (to - from) / 1e9 / wall;
        longest = std::max(longest, disc_player.longestPoll);
        state.SetIterationTime(wall);
    }
    state.counters["rate"] = rate;
    state.counters["x_real_time"] =
        benchmark::Counter(multiples, benchmark::Counter::kAvgIterations);
    state.counters["poll_max_ms"] = longest * 1000;
}
BENCHMARK(BM_DvdFastPlay)
    ->Arg(2)
    ->Arg(4)
    ->Arg(6)
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
