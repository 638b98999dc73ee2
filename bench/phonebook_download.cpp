// The phone book's download on the whole head unit (headless): two full memories of the
// emulated phone (512 entries each, the link's limit) at full pseudo-terminal speed, from the
// tap on the download button until the sorted list of all 1024 is shown. The program's clock
// follows real time, so the page's 250 ms download steps count as they would on the unit.
// Goal: at most 2 s.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "apps/phone/Phone.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "devices/BTModuleEmulator.h"
#include "library/include/IKvButton.h"
#include "platform/io/PortMap.h"
#include "tests/harness/HeadUnit.h"

namespace {

constexpr int kPerMemory = 512;

// The clock moved by the real time since the last call, and everything due handled.
class RealTime {
public:
    explicit RealTime(harness::HeadUnit& unit) : m_unit(unit) {}
    void Restart() { m_last = std::chrono::steady_clock::now(); }
    void Follow() {
        const auto now = std::chrono::steady_clock::now();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_last);
        if (ms.count() > 0) {
            m_unit.Advance(static_cast<uint32_t>(ms.count()));
            m_last += ms;
        } else {
            m_unit.Pump();
        }
    }

private:
    harness::HeadUnit& m_unit;
    std::chrono::steady_clock::time_point m_last;
};

void Show(harness::HeadUnit& unit, int app) {
    plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, 0, (APPTYPE_HOMEPAGE << 16) | app);
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(100);
}

void BM_DownloadTwoFullMemoriesToTheSortedList(benchmark::State& state) {
    emu::BTModuleSettings settings;
    settings.paired = true;
    settings.connected = true;
    // Names in falling order: every entry of the phone goes to the front of the book.
    for (int memory : {3, 2}) {
        for (int i = 0; i < kPerMemory; ++i) {
            emu::BTPhoneBookEntry e;
            e.memory = memory;
            char name[32];
            std::snprintf(name, sizeof name, "%s %04d", memory == 3 ? "Phone" : "Sim",
                          kPerMemory - i);
            e.name = name;
            e.number = "0" + std::to_string(300000000 + memory * 10000 + i);
            settings.phoneBook.push_back(e);
        }
    }
    emu::BTModuleEmulator module(settings);
    if (!module.Start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    harness::HeadUnitOptions options;
    options.model.clear();
    const std::string device = module.DevicePath();
    options.prepare = [device](const std::string& base) {
        plat::SetPortMapEntry(base + "/" + plat::kPortMapFile, "com4", device);
    };
    harness::HeadUnit unit(options);
    if (!unit.Start()) {
        state.SkipWithError("the head unit did not start");
        return;
    }
    Show(unit, APPTYPE_PHONE);
    auto* page = dynamic_cast<CPhone*>(unit.Page(0, APPTYPE_PHONE));
    if (!page || !page->Skinned()) {
        state.SkipWithError("no phone page");
        return;
    }
    unit.WaitFor([&] {
        unit.Advance(100);
        return page->BTState() == PH_BT_CONNECTED;
    });
    if (page->BTState() != PH_BT_CONNECTED) {
        state.SkipWithError("the phone did not connect");
        return;
    }
    plat::Rect r;
    page->Button(PH_PHONEBOOK)->GetRect(&r);
    const plat::Point centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    RealTime clock(unit);
    for (auto _ : state) {
        // Each round starts from an empty book.
        state.PauseTiming();
        std::remove(unit.File("Phonebook.db").c_str());
        Show(unit, APPTYPE_HOMEPAGE);
        Show(unit, APPTYPE_PHONE);
        state.ResumeTiming();
        clock.Restart();
        plat::ui::InjectPen(plat::ui::PenAction::Down, centre);
        unit.Pump();
        plat::ui::InjectPen(plat::ui::PenAction::Up, centre);
        unit.Pump();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        do {
            clock.Follow();
        } while ((page->Downloading() || page->ListCount() < 2 * kPerMemory) &&
                 std::chrono::steady_clock::now() < until);
        // The list as drawn.
        plat::ui::InvalidateRect(unit.Seat(0)->Id());
        unit.Pump();
        if (page->ListCount() != 2 * kPerMemory) {
            state.SkipWithError("not every entry stored");
            break;
        }
    }
}
BENCHMARK(BM_DownloadTwoFullMemoriesToTheSortedList)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
