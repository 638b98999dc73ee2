// Listing a folder of 10,000 files with the music extension filter, as the folder browsers do.
#include <benchmark/benchmark.h>

#include <string>

#include "library/include/Vantrel.h"
#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

namespace {

// 10,000 files: half of them music in mixed case, the rest pictures, videos and notes.
const testsupport::TempDir& Folder() {
    static testsupport::TempDir dir;
    static bool made = false;
    if (!made) {
        const char* kinds[] = {".mp3", ".MP3", ".wav", ".Wma", ".jpg", ".avi", ".txt", ".nfo"};
        for (int i = 0; i < 10000; ++i)
            testsupport::WriteText(
                dir.File("Track " + std::to_string(i) + " - Artist Name" + kinds[i % 8]), "");
        made = true;
    }
    return dir;
}

void ScanFolder(benchmark::State& state, bool filter) {
    std::u16string path = plat::Utf8ToUtf16(Folder().Path());
    IVantrel* root = CreateIVantrel();
    const char16_t* music[] = {u"mp3", u"wav", u"wma", u"cda"};
    char16_t name[KvUtility::KVDIR_NAME_CHARS];
    uint16_t type = 0;
    int listed = 0;
    for (auto _ : state) {
        KvUtility::IKvDirectory* dir = nullptr;
        root->CreateDirectory(&dir);
        dir->SetPath(path.c_str());
        if (filter)
            dir->SetFilter(4, music);
        dir->Scan();
        listed = 0;
        for (RZRESULT r = dir->GetFirst(name, KvUtility::KVDIR_NAME_CHARS, &type); r == RZ_OK;
             r = dir->GetNext(name, KvUtility::KVDIR_NAME_CHARS, &type))
            ++listed;
        dir->Release();
    }
    state.counters["listed"] = listed;
    root->Release();
}

void BM_Scan10000FilesMusicFilter(benchmark::State& state) {
    ScanFolder(state, true);
}
void BM_Scan10000FilesNoFilter(benchmark::State& state) {
    ScanFolder(state, false);
}

}  // namespace

BENCHMARK(BM_Scan10000FilesMusicFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan10000FilesNoFilter)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
