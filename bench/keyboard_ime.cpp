// A key tap on the on-screen keyboard in phonetic input method mode, from the pen leaving the
// key until the seat has drawn the candidate row for it: the tone key that converts a syllable
// (the engine converts, lists the candidates, the edit box and the page with its row repaint).
// The whole head unit runs headless in the benchmark's process (tests/harness). Goal: 16 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "apps/keyboard/KBDlg.h"
#include "core/kernel/Kernel.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/support/TestSupport.h"

namespace {

plat::Point KeyCentre(CKBDlg* kb, int key) {
    plat::Rect r;
    kb->Key(key)->GetRect(&r);
    return plat::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

int KeyFor(char c) {
    for (int k = 0; k < KB_KEY_COUNT; ++k) {
        if (KbUsCharacter(g_KbKeys[k].vk) == c)
            return k;
    }
    return KB_KEY_SPACE;
}

void Tap(harness::HeadUnit& unit, CKBDlg* kb, int key) {
    const plat::Point p = KeyCentre(kb, key);
    unit.PenDown(p.x, p.y);
    unit.PenUp(p.x, p.y);
}

}  // namespace

static void BM_PhoneticTapToCandidateRow(benchmark::State& state) {
    KbResetForTesting();
    harness::HeadUnitOptions options;
    options.settings = [](SYS_SETTINGS& s) { s.iLanguage = 1; };
    options.prepare = [](const std::string& base) {
        testsupport::WriteBytes(base + "/" KB_LAYOUT_FILE,
                                testsupport::ReadBytes(harness::RunFolder() + "/" KB_LAYOUT_FILE));
    };
    harness::HeadUnit unit(options);
    if (!unit.Start()) {
        state.SkipWithError("the head unit did not start");
        return;
    }
    CKernel* kernel = unit.Kernel();
    plat::StrCopy(kernel->m_szKbTitle, u"名稱");
    kernel->m_szKbInitial[0] = 0;
    kernel->m_iKbResult = -1;
    plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, 0, (APPTYPE_MUSIC << 16) | APPTYPE_KB);
    // The seat changes pages at its next paint.
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(100);
    CKBDlg* kb = static_cast<CKBDlg*>(unit.Page(0, APPTYPE_KB));
    if (!kb) {
        state.SkipWithError("no keyboard page");
        return;
    }
    Tap(unit, kb, KB_KEY_IME);
    unit.Advance(40);
    if (!kb->CandidateRowShown()) {
        state.SkipWithError("the phonetic input method did not start");
        return;
    }
    const int syllable = KeyFor('j');  // ㄨ
    const int tone = KeyFor('6');      // second tone: 無
    const plat::Point toneAt = KeyCentre(kb, tone);
    for (auto _ : state) {
        state.PauseTiming();
        Tap(unit, kb, syllable);
        unit.PenDown(toneAt.x, toneAt.y);
        state.ResumeTiming();
        // The release, the key's paint, the key event, the engine, the repaints.
        unit.PenUp(toneAt.x, toneAt.y);
        state.PauseTiming();
        if (kb->CandidateCells().empty()) {
            state.SkipWithError("no candidates drawn");
            break;
        }
        // Back to nothing composed for the next round.
        Tap(unit, kb, KB_KEY_DELETE);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PhoneticTapToCandidateRow)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
