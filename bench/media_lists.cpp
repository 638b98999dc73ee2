// The music page's lists after a tap: a folder of 10,000 music files into the file list, and a
// stick of 2,000 folders and 20,000 files flattened into the drive list, each until the list
// box has drawn itself.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "apps/media/MediaListHandlers.h"
#include "core/kernel/Kernel.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Surface.h"
#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

using KvUserInterface::IKvListbox;

namespace {

const testsupport::TempDir& MusicFolder() {
    static testsupport::TempDir dir;
    static bool made = false;
    if (!made) {
        const char* kinds[] = {".mp3", ".MP3", ".wav", ".Wma"};
        for (int i = 0; i < 10000; ++i)
            testsupport::WriteText(
                dir.File("Track " + std::to_string(i) + " - Artist Name" + kinds[i % 4]), "");
        made = true;
    }
    return dir;
}

// 40 artists of 50 albums of 10 songs: 2,000 folders holding music, 20,000 files.
const testsupport::TempDir& Stick() {
    static testsupport::TempDir dir;
    static bool made = false;
    if (!made) {
        for (int a = 0; a < 40; ++a) {
            const std::string artist = dir.File("Artist " + std::to_string(a));
            for (int b = 0; b < 50; ++b) {
                const std::string album = artist + "/Album " + std::to_string(b);
                std::filesystem::create_directories(album);
                for (int s = 0; s < 10; ++s)
                    testsupport::WriteText(album + "/Song " + std::to_string(s) + ".mp3", "");
            }
        }
        made = true;
    }
    return dir;
}

// The kernel with the library's root object, as the pages reach it.
IVantrel* Root() {
    CKernel* kernel = CKernel::GetInstance();
    if (!kernel->m_pRoot)
        kernel->m_pRoot = CreateIVantrel();
    return kernel->m_pRoot;
}

IKvListbox* MakeList(int x, int y, int w, int h) {
    IKvListbox* list = nullptr;
    Root()->CreateListbox(&list);
    list->SetRect(x, y, w, h);
    list->SetRowHeight(38);
    list->SetFont(12, 232, 238, 244);
    list->Show(1);
    return list;
}

void BM_TapOnFolderOf10000Songs(benchmark::State& state) {
    const std::u16string path = plat::Utf8ToUtf16(MusicFolder().Path());
    IKvListbox* list = MakeList(278, 86, 480, 308);
    CFileListHandler files(list, MEDIA_KIND_MUSIC);
    plat::Surface page(800, 480);
    auto canvas = plat::MakeCanvas(page);
    int rows = 0;
    for (auto _ : state) {
        files.FillFolder(path);
        list->Draw(canvas.get());
        list->GetCount(&rows);
    }
    state.counters["rows"] = rows;
    list->Release();
}

void BM_TapOnStickOf2000Folders(benchmark::State& state) {
    const std::u16string path = plat::Utf8ToUtf16(Stick().Path());
    IKvListbox* list = MakeList(12, 162, 222, 232);
    CDriveListHandler drives(list, MEDIA_KIND_MUSIC);
    plat::Surface page(800, 480);
    auto canvas = plat::MakeCanvas(page);
    UI_LIST_ROW row;
    MakeListRow(ROW_NAVIGATION, u"Stick", path, row);
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        while (drives.Inside())
            drives.GoUp();
        list->RemoveAll();
        list->AddItem(u"Stick", &row, sizeof row, nullptr);
        list->SetCurrentIndex(0);
        state.ResumeTiming();
        drives.EnterSelected();
        list->Draw(canvas.get());
        list->GetCount(&rows);
    }
    state.counters["rows"] = rows;
    list->Release();
}

}  // namespace

BENCHMARK(BM_TapOnFolderOf10000Songs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TapOnStickOf2000Folders)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
