// What the windowing layer adds to one full repaint of both seats (the pages' own drawing not
// counted), and what loading the pop-up's animated GIF costs.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/ui/PictureEx.h"
#include "platform/ui/Ui.h"

namespace {

class Seat : public plat::ui::Window {
protected:
    void OnPaint(plat::Surface& s, const plat::Rect&) override { s.Fill(0xFF202020u); }
};

// The headless windowing layer with both seats' windows open, for as long as the object lives.
struct BothSeats {
    BothSeats() {
        plat::ui::Options o;
        o.backend = plat::ui::Backend::Headless;
        plat::ui::Init(o);
        plat::ui::CreateParams p;
        p.visible = true;
        p.rect = plat::Rect::FromXYWH(0, 0, 800, 480);
        front.Create(p);
        p.rect = plat::Rect::FromXYWH(800, 0, 800, 600);
        rear.Create(p);
    }
    ~BothSeats() { plat::ui::Terminate(); }
    Seat front, rear;
};

// Both seats invalidated whole and painted once: the paint pass and the copy that makes each
// picture readable by the screens.
void BM_RepaintBothSeats(benchmark::State& state) {
    BothSeats seats;
    for (auto _ : state) {
        plat::ui::InvalidateRect(seats.front.Id());
        plat::ui::InvalidateRect(seats.rear.Id());
        plat::ui::PumpUntilIdle();
    }
}
BENCHMARK(BM_RepaintBothSeats)->Unit(benchmark::kMicrosecond);

// Composing both screens from the window pictures, as the per-screen SDL mode does per frame.
void BM_ComposeBothScreens(benchmark::State& state) {
    BothSeats seats;
    plat::ui::PumpUntilIdle();
    plat::Surface s0, s1;
    for (auto _ : state) {
        plat::ui::CaptureScreen(0, s0);
        plat::ui::CaptureScreen(1, s1);
        benchmark::DoNotOptimize(s1.Pixels());
    }
}
BENCHMARK(BM_ComposeBothScreens)->Unit(benchmark::kMicrosecond);

// A 94x94 "please wait" animation of 12 frames, each a spoke of the wheel in its own colour.
std::vector<uint8_t> WaitingGif() {
    std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a', 94, 0, 94, 0, 0xF3, 0, 0};
    for (int i = 0; i < 16; ++i)
        b.insert(b.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 8)});
    for (int f = 0; f < 12; ++f) {
        b.insert(b.end(), {0x21, 0xF9, 4, 0x09, 8, 0, 0, 0});  // 80 ms, restore to background
        b.insert(b.end(), {0x2C, 0, 0, 0, 0, 94, 0, 94, 0, 0, 4});
        // Literal codes only, with a clear code every 14 so the code size stays at 5 bits.
        std::vector<uint8_t> data;
        uint32_t acc = 0;
        int bits = 0;
        auto emit = [&](int code) {
            acc |= uint32_t(code) << bits;
            for (bits += 5; bits >= 8; bits -= 8, acc >>= 8)
                data.push_back(uint8_t(acc));
        };
        for (int i = 0; i < 94 * 94; ++i) {
            if (i % 14 == 0)
                emit(16);
            emit(((i % 94) / 8 + f + (i / 94) / 8) % 16);
        }
        emit(17);
        if (bits)
            data.push_back(uint8_t(acc));
        for (size_t i = 0; i < data.size(); i += 255) {
            size_t n = std::min<size_t>(255, data.size() - i);
            b.push_back(uint8_t(n));
            b.insert(b.end(), data.begin() + i, data.begin() + i + n);
        }
        b.push_back(0);
    }
    b.push_back(0x3B);
    return b;
}

void BM_LoadWaitingAnimation(benchmark::State& state) {
    std::vector<uint8_t> gif = WaitingGif();
    CPictureEx picture;
    for (auto _ : state) {
        if (!picture.LoadMemory(gif.data(), gif.size()) || picture.GetFrames().size() != 12)
            state.SkipWithError("the animation did not load");
    }
}
BENCHMARK(BM_LoadWaitingAnimation)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
