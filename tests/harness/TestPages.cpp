#include "tests/harness/TestPages.h"

#include <memory>
#include <new>

#include "core/ui/AppFactory.h"
#include "platform/gfx/Canvas.h"

namespace harness {

namespace {

template <int Kind>
std::unique_ptr<CVelkoraAppDlg> MakeTestPage() {
    return std::unique_ptr<CVelkoraAppDlg>(new (std::nothrow) CTestPage(Kind));
}

PFN_CREATE_APPLICATION MakerOf(int kind) {
    static const PFN_CREATE_APPLICATION makers[APPKIND_COUNT] = {
        &MakeTestPage<0>,  &MakeTestPage<1>,  &MakeTestPage<2>,  &MakeTestPage<3>, &MakeTestPage<4>,
        &MakeTestPage<5>,  &MakeTestPage<6>,  &MakeTestPage<7>,  &MakeTestPage<8>, &MakeTestPage<9>,
        &MakeTestPage<10>, &MakeTestPage<11>, &MakeTestPage<12>,
    };
    return kind >= 0 && kind < APPKIND_COUNT ? makers[kind] : nullptr;
}

}  // namespace

uint32_t CTestPage::Colour(int appType) {
    // Distinct, opaque, far from the skin's own colours.
    uint8_t t = static_cast<uint8_t>(appType);
    return plat::Argb(255, static_cast<uint8_t>(40 + 6 * t), static_cast<uint8_t>(250 - 5 * t),
                      static_cast<uint8_t>(t & 1 ? 200 : 20));
}

void CTestPage::Render(plat::Canvas* hdc) {
    if (hdc)
        hdc->FillRect(plat::Rect::FromXYWH(0, 0, 800, 600), Colour(m_byAppType));
}

void CTestPage::StopAll() {
    ++m_iStops;
    if (m_sPlayState != PLAYSTATE_NONE)
        m_sPlayState = PLAYSTATE_STOPPED;
}

void CTestPage::PauseIfPlaying(bool pause) {
    ++m_iPauses;
    if (pause && m_sPlayState == PLAYSTATE_PLAYING)
        m_sPlayState = PLAYSTATE_PAUSED;
}

CTestPage* TestPage(CVelkoraAppDlg* page) {
    return dynamic_cast<CTestPage*>(page);
}

TestPageKinds::TestPageKinds(std::initializer_list<int> kinds) : m_kinds(kinds) {
    for (int kind : m_kinds) {
        m_replaced.push_back(ApplicationDlgMaker(kind));
        RegisterApplicationDlg(kind, MakerOf(kind));
    }
}

TestPageKinds::~TestPageKinds() {
    // The makers they stood in for come back, real pages included, for the rest of the process.
    for (size_t i = m_kinds.size(); i-- > 0;)
        RegisterApplicationDlg(m_kinds[i], m_replaced[i]);
}

}  // namespace harness
