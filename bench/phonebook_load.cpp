// A full "Phonebook.db" (2048 entries) read into the phone book, as the phone page does at
// every show. Goal: at most 20 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "apps/phone/PhoneBook.h"
#include "tests/support/TestSupport.h"

namespace {

void BM_LoadFullPhonebook(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string file = dir.File(PHONEBOOK_FILE);
    CPhoneBook full;
    for (int i = 0; i < PHONEBOOK_ENTRIES; ++i) {
        const std::string n = std::to_string(100000 + i);
        full.Insert(std::u16string(u"Name ") + std::u16string(n.begin(), n.end()),
                    std::u16string(u"0301") + std::u16string(n.begin(), n.end()));
    }
    if (!full.Save(file)) {
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
