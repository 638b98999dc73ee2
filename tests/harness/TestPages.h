// Pages for the kinds whose real pages are not built yet: each draws itself in one colour of
// its type (so pictures tell which page a seat shows), has a play state a test can set, and
// counts what the main dialog and the seats asked of it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "core/ui/AppFactory.h"
#include "core/ui/VelkoraAppDlg.h"

namespace harness {

class CTestPage : public CVelkoraAppDlg {
public:
    explicit CTestPage(int kind) : m_iKind(kind) {}

    // The colour of a page of `appType`.
    static uint32_t Colour(int appType);

    short GetPlayState() override { return m_sPlayState; }
    void Render(plat::Canvas* hdc) override;
    void StopAll() override;
    void PauseIfPlaying(bool pause) override;
    void OnBack() override { ++m_iBacks; }
    void Refresh() override { ++m_iRefreshes; }
    void SetAudioMode(int mode) override { m_AudioModes.push_back(mode); }
    void KeyHandler(int command) override { m_Keys.push_back(command); }
    void ResetDefault() override { ++m_iResets; }

    int m_iKind;
    short m_sPlayState = PLAYSTATE_NONE;
    int m_iStops = 0;
    int m_iPauses = 0;
    int m_iBacks = 0;
    int m_iRefreshes = 0;
    int m_iResets = 0;
    std::vector<int> m_AudioModes;
    std::vector<int> m_Keys;
};

// The page of a seat as a test page; null when that page is no test page.
CTestPage* TestPage(CVelkoraAppDlg* page);

// Makes the factory build test pages for `kinds` (APPKIND_*) until the object goes, when the
// makers they replaced are registered again.
class TestPageKinds {
public:
    explicit TestPageKinds(std::initializer_list<int> kinds);
    ~TestPageKinds();
    TestPageKinds(const TestPageKinds&) = delete;
    TestPageKinds& operator=(const TestPageKinds&) = delete;

private:
    std::vector<int> m_kinds;
    std::vector<PFN_CREATE_APPLICATION> m_replaced;
};

}  // namespace harness
