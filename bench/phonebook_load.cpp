// A full "Phonebook.db" (2048 entries) read into the phone book, as the phone page does at
// every show; and the same on the whole head unit (headless): the phone page shown until its
// list holds every row and the seat has painted it, against the same switch with no book (the
// page's switch alone). Goal: at most 20 ms for the book, read and listed.
#include <benchmark/benchmark.h>

#include <string>

#include "apps/phone/Phone.h"
#include "apps/phone/PhoneBook.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "tests/harness/HeadUnit.h"
#include "tests/support/TestSupport.h"

namespace {

CPhoneBook FullBook(int entries = PHONEBOOK_ENTRIES) {
    CPhoneBook full;
    for (int i = 0; i < entries; ++i) {
        const std::string n = std::to_string(100000 + i);
        full.Insert(std::u16string(u"Name ") + std::u16string(n.begin(), n.end()),
                    std::u16string(u"0301") + std::u16string(n.begin(), n.end()));
    }
    return full;
}

void Switch(harness::HeadUnit& unit, int app) {
    plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, 0, (APPTYPE_HOMEPAGE << 16) | app);
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Pump();
}

void BM_ShowFullPhonebookInThePage(benchmark::State& state) {
    harness::HeadUnitOptions options;
    options.model.clear();
    // The empty book measures the page's switch alone.
    const int entries = static_cast<int>(state.range(0));
    options.prepare = [entries](const std::string& base) {
        if (entries > 0)
            FullBook(entries).Save(base + "/" + PHONEBOOK_FILE);
    };
    harness::HeadUnit unit(options);
    if (!unit.Start()) {
        state.SkipWithError("the head unit did not start");
        return;
    }
    auto* page = dynamic_cast<CPhone*>(unit.Page(0, APPTYPE_PHONE));
    if (!page || !page->Skinned()) {
        state.SkipWithError("no phone page");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        Switch(unit, APPTYPE_HOMEPAGE);
        state.ResumeTiming();
        Switch(unit, APPTYPE_PHONE);
        if (page->ListCount() != entries) {
            state.SkipWithError("not every row listed");
            break;
        }
    }
}
BENCHMARK(BM_ShowFullPhonebookInThePage)
    ->Unit(benchmark::kMillisecond)
    ->Arg(0)
    ->Arg(PHONEBOOK_ENTRIES);

void BM_LoadFullPhonebook(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string file = dir.File(PHONEBOOK_FILE);
    if (!FullBook().Save(file)) {
        state.SkipWithError("Phonebook.db not written");
        return;
    }
    CPhoneBook book;
    for (auto _ : state) {
        book.Load(file);
        benchmark::DoNotOptimize(book.Count());
    }
    if (book.Count() != PHONEBOOK_ENTRIES)
        state.SkipWithError("not every entry loaded");
}
BENCHMARK(BM_LoadFullPhonebook)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
