// A tap on a band button of the radio page until the seat has drawn the band's preset grid and
// the band code has reached the board simulator, in the whole head unit (headless, the
// program's clock held still). Goal: at most 40 ms.
#include <benchmark/benchmark.h>

#include "apps/radio/RadioDlg.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "tests/harness/HeadUnit.h"

static void BM_RadioBandTapToGridAndBoard(benchmark::State& state) {
    harness::HeadUnitOptions options;
    options.model.clear();
    harness::HeadUnit unit(options);
    if (!unit.Start()) {
        state.SkipWithError("the head unit did not start");
        return;
    }
    plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, 0, APPTYPE_RADIO);
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(200);
    auto* radio = static_cast<CRadioDlg*>(unit.Page(0, APPTYPE_RADIO));
    if (!radio || unit.Seat(0)->m_iCurrentApp != APPTYPE_RADIO) {
        state.SkipWithError("no radio page");
        return;
    }
    plat::Point centre[2];
    for (int i = 0; i < 2; ++i) {
        plat::Rect r;
        radio->m_pButton[RADIO_BTN_FM1 + i]->GetRect(&r);
        centre[i] = plat::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    int n = 0;
    for (auto _ : state) {
        const int band = ++n % 2;
        plat::ui::InjectPen(plat::ui::PenAction::Down, centre[band]);
        unit.Pump();
        plat::ui::InjectPen(plat::ui::PenAction::Up, centre[band]);
        unit.Pump();
        // The board's band codes are 0x00 and 0x01 for FM1 and FM2.
        for (int i = 0; i < 1000 && unit.Board().Get("band") != band; ++i)
            unit.Pump();
        if (unit.Board().Get("band") != band || radio->m_byBand != band) {
            state.SkipWithError("the band did not change");
            break;
        }
    }
}
BENCHMARK(BM_RadioBandTapToGridAndBoard)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
