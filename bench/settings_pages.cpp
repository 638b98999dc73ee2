// One paint of the clock page and one of the sound page's equaliser view with its Custom
// sliders, 800x480, with the default skin of the run folder and the board simulator.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "apps/settings/DateTimeDlg.h"
#include "apps/settings/SoundEffect.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "platform/gfx/Canvas.h"
#include "platform/io/Path.h"
#include "platform/sys/Module.h"
#include "platform/ui/Ui.h"
#include "tests/harness/HeadUnit.h"
#include "tests/support/TestSupport.h"

namespace {

// A base folder with the run folder's skin and language files, settings on Custom 1, and the
// kernel started on it.
class Unit {
public:
    Unit() {
        namespace fs = std::filesystem;
        m_cwd = std::make_unique<testsupport::ScopedCwd>(m_dir.Path());
        testsupport::SilenceSoundCard(m_dir.Path());
        const fs::path run = fs::path(plat::ExecutableDir()) / ".." / "run";
        harness::MakeSkinFolder(m_dir.Path());
        fs::create_directory_symlink(fs::absolute(run / "Language"), "Language");
        fs::copy_file(run / "DefaultCfg.ini", "DefaultCfg.ini");
        testsupport::WriteText(MARKER_NO_POWER_MODULE, "");
        SYS_SETTINGS s;
        std::memset(&s, 0, sizeof s);
        s.iAudioLevel = 16;
        s.iEQSelect = EQ_CUSTOM1;
        s.iEQPreset[EQ_CUSTOM1][0] = -4;
        s.iEQPreset[EQ_CUSTOM1][1] = 3;
        s.iEQPreset[EQ_CUSTOM1][2] = 9;
        testsupport::WriteBytes(SYS_SETTINGS_DB, WriteSettingsBlock(s));
        plat::ui::Options options;
        options.backend = plat::ui::Backend::Headless;
        m_ui = plat::ui::Init(options);
        CKernel* k = CKernel::GetInstance();
        m_ok = m_ui && k && k->Create() && k->Initial();
    }
    ~Unit() {
        plat::ui::BeginShutdown();
        DestroyKernel();
        if (m_ui)
            plat::ui::Terminate();
    }
    bool Ok() const { return m_ok; }

private:
    testsupport::TempDir m_dir;
    std::unique_ptr<testsupport::ScopedCwd> m_cwd;
    bool m_ui = false;
    bool m_ok = false;
};

void Paint(benchmark::State& state, CVelkoraAppDlg& page) {
    plat::Surface screen(800, 480);
    auto canvas = plat::MakeCanvas(screen);
    for (auto _ : state) {
        page.Render(canvas.get());
        benchmark::DoNotOptimize(screen.Pixels());
    }
}

}  // namespace

static void BM_ClockPage(benchmark::State& state) {
    Unit unit;
    if (!unit.Ok()) {
        state.SkipWithError("the kernel did not start");
        return;
    }
    CDateTimeDlg page;
    page.SetSkin(0, plat::ui::kNoWindow, APPTYPE_DATETIME);
    page.Show(true, APPTYPE_HOMEPAGE);
    if (!page.Skinned()) {
        state.SkipWithError("no clock skin");
        return;
    }
    Paint(state, page);
}
BENCHMARK(BM_ClockPage)->Unit(benchmark::kMillisecond);

static void BM_SoundPageEqualiser(benchmark::State& state) {
    Unit unit;
    if (!unit.Ok()) {
        state.SkipWithError("the kernel did not start");
        return;
    }
    CSoundEffect page;
    page.SetSkin(0, plat::ui::kNoWindow, APPTYPE_AUDIO_SET);
    page.Show(true, APPTYPE_HOMEPAGE);
    if (!page.Skinned() || page.View() != SE_VIEW_EQ || page.CurrentPreset() != EQ_CUSTOM1) {
        state.SkipWithError("no equaliser view");
        return;
    }
    Paint(state, page);
}
BENCHMARK(BM_SoundPageEqualiser)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
