// The application paths and internet shortcuts pages on the whole unit (tests/harness),
// headless:
//
//   BM_ChooserOpensLargeFolder       the program chooser opening a folder of 10,000 files (one
//                                    in four runnable, the execute test on every one) until
//                                    it has drawn itself (goal: 60 ms)
//   BM_ShortcutTapUntilBrowserRuns   a tap on a shortcut until the browser program it starts
//                                    has run its first command (goal: 100 ms)
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "apps/settings/ChooseExecutable.h"
#include "apps/settings/InternetServiceDlg.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "platform/gfx/Surface.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/support/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kGiveUp{5};

// The chooser as its run starts and paints, without the modal loop around it.
class Chooser : public CChooseExecutableDlg {
public:
    using CChooseExecutableDlg::CChooseExecutableDlg;
    using CChooseExecutableDlg::OnEndDialog;
    using CChooseExecutableDlg::OnInitDialog;
    using CChooseExecutableDlg::OnPaint;
};

void Open(harness::HeadUnit& unit, int app, int caller) {
    plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, 0, (caller << 16) | app);
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(100);
}

}  // namespace

static void BM_ChooserOpensLargeFolder(benchmark::State& state) {
    testsupport::TempDir folder;
    for (int i = 0; i < 10000; ++i) {
        const std::string path = folder.File("program-" + std::to_string(i));
        testsupport::WriteText(path, "");
        ::chmod(path.c_str(), i % 4 == 0 ? 0755 : 0644);
    }
    harness::HeadUnit unit;
    if (!unit.Start()) {
        state.SkipWithError("the unit did not start");
        return;
    }
    CKernel* k = unit.Kernel();
    const std::u16string skin =
        plat::FormatStr(u"%s\\Skin\\%s\\Chooser", k->m_szBaseDir, pCfgData->m_CfgSettings.szSkin);
    const std::u16string start = plat::Utf8ToUtf16(folder.Path());
    plat::Surface surface(600, 400);
    for (auto _ : state) {
        Chooser dlg(plat::ui::kNoWindow, skin, start);
        if (!dlg.OnInitDialog() || dlg.Entries().size() != 2500) {
            state.SkipWithError("the chooser did not list the folder");
            break;
        }
        dlg.OnPaint(surface, plat::Rect{0, 0, 600, 400});
        benchmark::DoNotOptimize(surface.Pixels());
        dlg.OnEndDialog();
    }
}
BENCHMARK(BM_ChooserOpensLargeFolder)->Unit(benchmark::kMillisecond)->Iterations(20);

static void BM_ShortcutTapUntilBrowserRuns(benchmark::State& state) {
    harness::HeadUnitOptions options;
    options.settings = [](SYS_SETTINGS& s) {
        plat::StrCopy(s.szInternet[INTERNET_TRAFFIC], u"http://traffic.example/");
    };
    options.prepare = [](const std::string& base) {
        testsupport::WriteText(base + "/x-www-browser", "#!/bin/sh\n: > started\n");
        ::chmod((base + "/x-www-browser").c_str(), 0755);
    };
    harness::HeadUnit unit(options);
    if (!unit.Start()) {
        state.SkipWithError("the unit did not start");
        return;
    }
    const std::string started = unit.File("started");
    auto* page = static_cast<CInternetServiceDlg*>(unit.Page(0, APPTYPE_INTERNET_SERVICE));
    for (auto _ : state) {
        ::unlink(started.c_str());
        unit.Seat(0)->ShowExpanded(true);
        Open(unit, APPTYPE_INTERNET_SERVICE, APPTYPE_HOMEPAGE);
        const plat::Rect r = page->CellRect(INTERNET_TRAFFIC);
        const int x = (r.left + r.right) / 2;
        const int y = (r.top + r.bottom) / 2;
        unit.PenDown(x, y);
        const Clock::time_point begin = Clock::now();
        unit.PenUp(x, y);
        // Pumped without moving the clock: the seat starts the browser at its next paint.
        bool ran = false;
        while (!(ran = testsupport::Exists(started)) && Clock::now() - begin < kGiveUp) {
            unit.Pump();
            std::this_thread::yield();
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - begin).count());
        if (!ran) {
            state.SkipWithError("the browser did not start");
            break;
        }
    }
}
BENCHMARK(BM_ShortcutTapUntilBrowserRuns)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);

BENCHMARK_MAIN();
