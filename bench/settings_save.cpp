// The settings pages' saves on the whole unit (tests/harness), headless, with the power-module
// emulator answering at once on a pseudo-terminal:
//
//   BM_AccHoldSaveUntilMessage   system settings page, Save with a changed ACC hold until its
//                                "Set ACCHold timer OK" message shows (goal: 100 ms)
//   BM_DualSetSaveUntilRedrawn   dual-seat page, Save until both homepages have loaded the
//                                layout again and the seats have painted (goal: 50 ms)
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "apps/settings/DualSetDlg.h"
#include "apps/settings/SystemSetDlg.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/MessageDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvListbox.h"
#include "platform/sys/TimeSetter.h"
#include "tests/harness/HeadUnit.h"

namespace {

using Clock = std::chrono::steady_clock;

// No benchmark sets the machine's clock.
class NoClockSetter final : public plat::TimeSetter {
public:
    bool SetLocalTime(const plat::SystemTime&, std::string*) override { return true; }
};

plat::Point Centre(KvUserInterface::IKvButton* button) {
    plat::Rect r;
    button->GetRect(&r);
    return plat::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void Open(harness::HeadUnit& unit, int app) {
    plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, 0, (APPTYPE_SETTINGS << 16) | app);
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(100);
}

// The first visible window of a dialog's size, or an empty rectangle.
plat::Rect DialogShown() {
    for (plat::ui::WindowId id = 1; id < 256; ++id) {
        const plat::Rect r = plat::ui::GetWindowRect(id);
        if (plat::ui::IsWindowVisible(id) && r.Width() > 300 && r.Width() < 800 &&
            r.Height() > 80 && r.Height() < 480)
            return r;
    }
    return plat::Rect{};
}

}  // namespace

static void BM_AccHoldSaveUntilMessage(benchmark::State& state) {
    NoClockSetter noClock;
    plat::SetTimeSetter(&noClock);
    {
        harness::HeadUnit unit;
        if (!unit.Start()) {
            state.SkipWithError("the unit did not start");
            plat::SetTimeSetter(nullptr);
            return;
        }
        auto* page = static_cast<CSystemSetDlg*>(unit.Page(0, APPTYPE_SYSTEM_SET));
        bool up = false;
        for (auto _ : state) {
            Open(unit, APPTYPE_SYSTEM_SET);
            const plat::Point power = Centre(page->m_pButton[SYSSET_POWER]);
            unit.Tap(power.x, power.y);
            // 1800 and 1200 in turn: every save changes the value.
            const plat::Point step = Centre(page->m_pButton[up ? SYSSET_PLUS : SYSSET_MINUS]);
            unit.Tap(step.x, step.y);
            up = !up;
            const plat::Point save = Centre(page->m_pButton[SYSSET_SAVE]);
            unit.PenDown(save.x, save.y);
            unit.Advance(40);

            std::atomic<int64_t> shownNs{0};
            const Clock::time_point start = Clock::now();
            std::thread user([&] {
                plat::Rect box;
                const Clock::time_point until = start + std::chrono::seconds(10);
                while ((box = DialogShown()).IsEmpty() && Clock::now() < until)
                    std::this_thread::yield();
                shownNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start)
                              .count();
                const plat::Rect ok = MessageDlg::OkButtonRect();
                const plat::Point at{box.left + (ok.left + ok.right) / 2,
                                     box.top + (ok.top + ok.bottom) / 2};
                plat::ui::InjectPen(plat::ui::PenAction::Down, at);
                plat::ui::InjectPen(plat::ui::PenAction::Up, at);
            });
            unit.PenUp(save.x, save.y);
            user.join();
            unit.Advance(60);
            state.SetIterationTime(static_cast<double>(shownNs.load()) / 1e9);
            if (page->m_strLastMessage != SYSSET_MSG_ACC_OK) {
                state.SkipWithError("no OK message");
                break;
            }
        }
    }
    plat::SetTimeSetter(nullptr);
}
BENCHMARK(BM_AccHoldSaveUntilMessage)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

static void BM_DualSetSaveUntilRedrawn(benchmark::State& state) {
    // homepage.db is written into the base folder's own copy of the skin's Homepage folder.
    harness::HeadUnit unit;
    if (!unit.Start()) {
        state.SkipWithError("the unit did not start");
        return;
    }
    auto* page = static_cast<CDualSetDlg*>(unit.Page(0, APPTYPE_DUAL_SET));
    for (auto _ : state) {
        Open(unit, APPTYPE_DUAL_SET);
        // The rear screen, and the music flipped there: each save changes the layout.
        plat::Rect row;
        page->m_pListbox[0]->GetItemRect(1, &row);
        unit.Tap((row.left + row.right) / 2, (row.top + row.bottom) / 2);
        const plat::Rect& icon = page->m_rcRow[0];
        unit.Tap((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
        const plat::Point save = Centre(page->m_pButton[DUALSET_SAVE]);
        unit.PenDown(save.x, save.y);
        unit.Advance(40);
        const Clock::time_point start = Clock::now();
        unit.PenUp(save.x, save.y);
        // The seat paints, runs the save, the homepages reload, both seats paint again.
        unit.Pump();
        plat::ui::InvalidateRect(unit.Seat(1)->Id());
        unit.Pump();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        unit.Advance(60);
        if (unit.Seat(0)->m_iCurrentApp != APPTYPE_SETTINGS) {
            state.SkipWithError("Save did not go back");
            break;
        }
    }
}
BENCHMARK(BM_DualSetSaveUntilRedrawn)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

BENCHMARK_MAIN();
