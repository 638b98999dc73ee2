// Loading the playlist folder when one playlist holds the most entries a playlist can.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "library/include/Vantrel.h"
#include "tests/support/TestSupport.h"

namespace {

void AppendLine(std::vector<uint8_t>& out, const std::u16string& text) {
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    for (uint8_t b : {0x0A, 0x00, 0x00, 0x00})
        out.push_back(b);
}

void BM_LoadPlaylist8192Entries(benchmark::State& state) {
    testsupport::TempDir dir;
    ::mkdir(dir.File("PLAYLIST").c_str(), 0777);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 8192; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%04d - Some Artist - A Song Title.mp3", i);
        AppendLine(bytes, std::u16string(name, name + std::char_traits<char>::length(name)));
        AppendLine(bytes, u"D:\\Music\\Some Artist\\Album " + std::u16string(1, u'A' + i % 26));
    }
    testsupport::WriteBytes(dir.File("PLAYLIST/Playlist01"), bytes);
    testsupport::ScopedCwd cwd(dir.Path());

    IVantrel* root = CreateIVantrel();
    KvMultimedia::IKvPListContainer* box = nullptr;
    root->CreatePListContainer(&box);
    int entries = 0;
    for (auto _ : state) {
        box->LoadAll(u"PLAYLIST");
        KvMultimedia::IKvPlaylist* list = nullptr;
        box->GetPlaylistAt(&list, 0);
        list->GetCount(&entries);
    }
    state.counters["entries"] = entries;
    state.counters["file_kB"] = static_cast<double>(bytes.size()) / 1024;
    box->Release();
    root->Release();
}

}  // namespace

BENCHMARK(BM_LoadPlaylist8192Entries)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
