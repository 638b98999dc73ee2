// The sound-effect page on the whole head unit: what each control sends to the board at once,
// what Save keeps and what Exit, Ret-Menu and back put back, on both seats.
#include "apps/settings/SoundEffect.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/kernel/SysSettings.h"
#include "tests/apps/settings/SettingsPages.h"
#include "tests/harness/SkinProbe.h"
#include "tests/harness/TestPages.h"
#include "tests/support/TestSupport.h"

using namespace settingstest;
using harness::HeadUnitOptions;
using harness::TestPageKinds;

namespace {

CSoundEffect* Sound(HeadUnit& unit, int seat) {
    return dynamic_cast<CSoundEffect*>(unit.Page(seat, APPTYPE_AUDIO_SET));
}

// Row `row` of the page's list (both seats lay it out at (14, 162), 29 pixels a row).
void TapRow(HeadUnit& unit, int seat, int row) {
    unit.Tap(SeatX(seat) + 100, 162 + 29 * row + 14);
    unit.Advance(100);
}

void TapAction(HeadUnit& unit, int seat, int action) {
    TapButton(unit, seat, Sound(unit, seat)->Button(action));
}

// The board's audio state is what the settings say.
void ExpectBoardFollowsSettings(HeadUnit& unit) {
    const SYS_SETTINGS& s = unit.Kernel()->m_Settings;
    auto& board = unit.Board();
    EXPECT_EQ(board.Get("eq-preset"), s.iEQSelect);
    EXPECT_EQ(board.Get("loudness"), s.iLoudness);
    EXPECT_EQ(board.Get("fader"), s.iSpeakerPreset[s.iSpeakerSelect][SPEAKER_FADER]);
    EXPECT_EQ(board.Get("balance"), s.iSpeakerPreset[s.iSpeakerSelect][SPEAKER_BALANCE]);
    EXPECT_EQ(board.Get("surround"), s.i51Priority);
    if (s.iEQSelect >= EQ_CUSTOM1) {
        for (int band = 0; band < SYS_EQ_BANDS; ++band)
            EXPECT_EQ(board.Get("eq-gain " + std::to_string(band)), s.iEQPreset[s.iEQSelect][band])
                << "band " << band;
    }
}

// Nothing the board was told lies outside what it takes.
void ExpectNothingOutOfRange(HeadUnit& unit) {
    for (const std::string& line : Calls(unit, "audio 11 SelectEQ("))
        EXPECT_TRUE(Argument(line) >= 0 && Argument(line) <= 7) << line;
    for (const std::string& line : Calls(unit, "audio 23 SetLoudness("))
        EXPECT_TRUE(Argument(line) >= 0 && Argument(line) <= 1) << line;
    for (const char* call : {"audio 26 SetFader(", "audio 28 SetBalance("}) {
        for (const std::string& line : Calls(unit, call))
            EXPECT_TRUE(Argument(line) >= -6 && Argument(line) <= 6) << line;
    }
}

std::vector<uint8_t> Block(const SYS_SETTINGS& s) {
    return WriteSettingsBlock(s);
}

SYS_SETTINGS OnDisk(HeadUnit& unit) {
    SYS_SETTINGS s{};
    EXPECT_TRUE(ReadSettingsBlock(testsupport::ReadBytes(unit.File(SYS_SETTINGS_DB)), s));
    return s;
}

HeadUnitOptions WithSettings(std::function<void(SYS_SETTINGS&)> change) {
    HeadUnitOptions options;
    options.settings = std::move(change);
    return options;
}

class SoundSeat : public ::testing::TestWithParam<int> {};

std::string SeatName(const ::testing::TestParamInfo<int>& info) {
    return info.param == 0 ? "Front" : "Rear";
}

}  // namespace

TEST(SoundEffectPage, EveryChangeReachesTheBoardAndExitPutsSettingsAndBoardBack) {
    TestPageKinds kinds{APPKIND_MOVIE};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    CKernel* k = unit.Kernel();
    // Opened from the movie page: 5.1 may be chosen.
    Open(unit, 0, APPTYPE_AUDIO_SET, APPTYPE_MOVIE);
    CSoundEffect* page = Sound(unit, 0);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->Skinned());
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_AUDIO_SET);
    ASSERT_FALSE(page->Locked51());
    const SYS_SETTINGS shown = k->m_Settings;
    ASSERT_NE(shown.iEQSelect, EQ_CUSTOM2);

    // Custom 2: the board gets the preset; a tap on the bass knob raises the bass by one.
    TapRow(unit, 0, EQ_CUSTOM2);
    EXPECT_EQ(unit.Board().Get("eq-preset"), EQ_CUSTOM2);
    const int bass = page->Gain(EQ_CUSTOM2, 0);
    TapButton(unit, 0, page->Slider(0));
    EXPECT_EQ(page->Gain(EQ_CUSTOM2, 0), bass + 1);
    EXPECT_EQ(k->m_Settings.iEQPreset[EQ_CUSTOM2][0], bass + 1);
    EXPECT_EQ(unit.Board().Get("eq-gain 0"), bass + 1);

    // Driver's seat, the fader twice to the front, the balance once to the left.
    TapAction(unit, 0, SE_SPEAKER_SETTING);
    EXPECT_EQ(page->View(), SE_VIEW_SPEAKER);
    TapRow(unit, 0, SPEAKER_DRIVER);
    const int fader = page->Fader(), balance = page->Balance();
    TapAction(unit, 0, SE_FADER_UP);
    TapAction(unit, 0, SE_FADER_UP);
    TapAction(unit, 0, SE_BALANCE_DOWN);
    EXPECT_EQ(unit.Board().Get("fader"), std::min(fader + 2, 6));
    EXPECT_EQ(unit.Board().Get("balance"), std::max(balance - 1, -6));

    // The other loudness, and the other of 5.1 and stereo.
    TapAction(unit, 0, SE_LOUD_SETTING);
    TapRow(unit, 0, shown.iLoudness ? 0 : 1);
    EXPECT_EQ(unit.Board().Get("loudness"), shown.iLoudness ? 0 : 1);
    TapAction(unit, 0, shown.i51Priority ? SE_STEREO_PRIORITY : SE_51_PRIORITY);
    EXPECT_EQ(unit.Board().Get("surround"), shown.i51Priority ? 0 : 1);
    EXPECT_EQ(k->m_Settings.i51Priority, shown.i51Priority ? 0 : 1);
    EXPECT_EQ(OnDisk(unit).iLoudness, shown.iLoudness) << "only Save writes the file";

    // Exit: the settings as they were shown (the seat keeps its own current page in them),
    // and the board as the settings say.
    unit.Board().ClearLog();
    TapAction(unit, 0, SE_EXIT);
    unit.Advance(100);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MOVIE);
    SYS_SETTINGS now = k->m_Settings;
    now.iCurrentApp = shown.iCurrentApp;
    EXPECT_EQ(Block(now), Block(shown));
    ExpectBoardFollowsSettings(unit);
    ExpectNothingOutOfRange(unit);
    EXPECT_EQ(Block(OnDisk(unit)), Block(k->m_Settings));
}

TEST(SoundEffectPage, SaveWritesTheFileOnceAndALaterExitGoesBackToWhatWasSaved) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    CKernel* k = unit.Kernel();
    Open(unit, 0, APPTYPE_AUDIO_SET, APPTYPE_HOMEPAGE);
    CSoundEffect* page = Sound(unit, 0);
    ASSERT_TRUE(page && page->Skinned());
    const int preset = k->m_Settings.iEQSelect == EQ_JAZZ ? EQ_ROCK : EQ_JAZZ;
    TapRow(unit, 0, preset);
    TapAction(unit, 0, SE_LOUD_SETTING);
    TapRow(unit, 0, 1);
    const long commits = unit.Board().Get("commits");
    TapAction(unit, 0, SE_SAVE);
    unit.Advance(200);
    EXPECT_EQ(unit.Board().Get("commits"), commits + 1);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    EXPECT_TRUE(harness::ShowsHomepage(unit.Screen(0), 0));
    const SYS_SETTINGS saved = OnDisk(unit);
    EXPECT_EQ(saved.iEQSelect, preset);
    EXPECT_EQ(saved.iLoudness, 1);

    // Shown again, then the factory settings come back under it, then Exit: this visit's
    // values return, and nothing outside the board's ranges is sent.
    Open(unit, 0, APPTYPE_AUDIO_SET, APPTYPE_HOMEPAGE);
    ASSERT_TRUE(k->LoadDefaults());
    page->ResetDefault();
    unit.Board().ClearLog();
    TapAction(unit, 0, SE_EXIT);
    unit.Advance(100);
    EXPECT_EQ(k->m_Settings.iEQSelect, preset);
    EXPECT_EQ(k->m_Settings.iLoudness, 1);
    ExpectBoardFollowsSettings(unit);
    ExpectNothingOutOfRange(unit);
    EXPECT_EQ(unit.Board().Get("commits"), commits + 1) << "Exit stores nothing on the board";
}

TEST(SoundEffectPage, FiveOneIsLockedWhileMusicPlaysAndComesBackWithTheMovie) {
    HeadUnit unit(WithSettings([](SYS_SETTINGS& s) { s.i51Priority = 1; }));
    ASSERT_TRUE(unit.Start());
    Open(unit, 0, APPTYPE_AUDIO_SET, APPTYPE_MOVIE);
    CSoundEffect* page = Sound(unit, 0);
    ASSERT_TRUE(page && !page->Locked51());

    // The music page became active: stereo only, and the 5.1 button takes no tap.
    intptr_t result = 0;
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SEAT_ACTION, 0, 1, &result));
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(100);
    EXPECT_TRUE(page->Locked51());
    uint8_t state = 0;
    page->Button(SE_51_PRIORITY)->GetState(&state);
    EXPECT_EQ(state, KvUserInterface::BUTTON_DISABLED);
    unit.Board().ClearLog();
    TapAction(unit, 0, SE_51_PRIORITY);
    TapAction(unit, 0, SE_STEREO_PRIORITY);
    EXPECT_TRUE(Calls(unit, "audio 31 SetSurround(").empty());
    EXPECT_EQ(unit.Kernel()->m_Settings.i51Priority, 1);

    // The movie page: the settings' 5.1 goes to the board again.
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SEAT_ACTION, 0, 2, &result));
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(100);
    EXPECT_FALSE(page->Locked51());
    EXPECT_EQ(Calls(unit, "audio 31 SetSurround(1)").size(), 1u);
    EXPECT_EQ(unit.Board().Get("surround"), 1);
}

TEST_P(SoundSeat, FaderAndBalanceStopAtSixAndAreInertInNormalMode) {
    const int seat = GetParam();
    HeadUnit unit(WithSettings([](SYS_SETTINGS& s) {
        s.iSpeakerSelect = SPEAKER_NORMAL;
        for (auto& row : s.iSpeakerPreset)
            row[SPEAKER_FADER] = row[SPEAKER_BALANCE] = 0;
    }));
    ASSERT_TRUE(unit.Start());
    Open(unit, seat, APPTYPE_AUDIO_SET, APPTYPE_HOMEPAGE);
    CSoundEffect* page = Sound(unit, seat);
    ASSERT_TRUE(page && page->Skinned());
    TapAction(unit, seat, SE_SPEAKER_SETTING);

    // Normal: the four buttons are hidden and a tap where they would be does nothing.
    unit.Board().ClearLog();
    for (int action = SE_FADER_UP; action <= SE_BALANCE_DOWN; ++action) {
        EXPECT_EQ(page->Button(action)->IsVisible(), 0);
        TapAction(unit, seat, action);
    }
    EXPECT_TRUE(Calls(unit, "audio 26").empty());
    EXPECT_TRUE(Calls(unit, "audio 28").empty());
    EXPECT_EQ(page->Fader(), 0);

    // Rear speakers: the fader runs to the back and stops at 6.
    TapRow(unit, seat, SPEAKER_REAR);
    for (int i = 0; i < 8; ++i)
        TapAction(unit, seat, SE_FADER_DOWN);
    EXPECT_EQ(page->Fader(), -6);
    EXPECT_EQ(page->FaderLabel(), u"R: 6");
    EXPECT_EQ(unit.Board().Get("fader"), -6);
    for (int i = 0; i < 13; ++i)
        TapAction(unit, seat, SE_FADER_UP);
    EXPECT_EQ(page->FaderLabel(), u"F: 6");
    for (int i = 0; i < 7; ++i)
        TapAction(unit, seat, SE_BALANCE_DOWN);
    EXPECT_EQ(page->BalanceLabel(), u"L: 6");
    EXPECT_EQ(unit.Kernel()->m_Settings.iSpeakerPreset[SPEAKER_REAR][SPEAKER_BALANCE], -6);

    // Held, the balance button repeats every quarter second from the second step on.
    const plat::Point at = Middle(page->Button(SE_BALANCE_UP));
    unit.PenDown(SeatX(seat) + at.x, at.y);
    unit.Advance(1300);
    unit.PenUp(SeatX(seat) + at.x, at.y);
    unit.Advance(100);
    EXPECT_GE(page->Balance(), -6 + 3);
    EXPECT_LE(page->Balance(), -6 + 5);
    EXPECT_EQ(unit.Board().Get("balance"), page->Balance());
    for (const std::string& line : Calls(unit, "audio 26 SetFader("))
        EXPECT_TRUE(Argument(line) >= -6 && Argument(line) <= 6) << line;
}

TEST_P(SoundSeat, CustomSlidersStoreTheirEndsAtOnceAndStepInside) {
    const int seat = GetParam();
    HeadUnit unit(WithSettings([](SYS_SETTINGS& s) {
        s.iEQSelect = EQ_CUSTOM1;
        s.iEQPreset[EQ_CUSTOM1][0] = -10;
        s.iEQPreset[EQ_CUSTOM1][1] = 0;
        s.iEQPreset[EQ_CUSTOM1][2] = 0;
    }));
    ASSERT_TRUE(unit.Start());
    Open(unit, seat, APPTYPE_AUDIO_SET, APPTYPE_HOMEPAGE);
    CSoundEffect* page = Sound(unit, seat);
    ASSERT_TRUE(page && page->Skinned());
    const int off = seat ? 60 : 0;
    for (int band = 0; band < SYS_EQ_BANDS; ++band)
        ASSERT_EQ(page->Slider(band)->IsVisible(), 1);

    // The mid knob dragged above its travel: 12, kept in the file and on the board at once.
    plat::Point mid = Middle(page->Slider(1));
    unit.Drag(SeatX(seat) + mid.x, mid.y, SeatX(seat) + mid.x, off + 40, 12);
    unit.Advance(100);
    EXPECT_EQ(page->Gain(EQ_CUSTOM1, 1), 12);
    EXPECT_EQ(OnDisk(unit).iEQPreset[EQ_CUSTOM1][1], 12);
    EXPECT_EQ(unit.Board().Get("eq-gain 1"), 12);

    // The treble knob dragged below its travel: -12.
    plat::Point treble = Middle(page->Slider(2));
    unit.Drag(SeatX(seat) + treble.x, treble.y, SeatX(seat) + treble.x, off + 470, 12);
    unit.Advance(100);
    EXPECT_EQ(page->Gain(EQ_CUSTOM1, 2), -12);
    EXPECT_EQ(OnDisk(unit).iEQPreset[EQ_CUSTOM1][2], -12);

    // The low bass knob moved a little and let go inside: it keeps its place (the limits are
    // the seat's) and steps by one from where it was dragged.
    int x = 0, y = 0, w = 0, h = 0;
    page->Slider(0)->GetBounds(&x, &y, &w, &h);
    EXPECT_EQ(y, off + 185 + 70);
    plat::Point bass = Middle(page->Slider(0));
    unit.Drag(SeatX(seat) + bass.x, bass.y, SeatX(seat) + bass.x, bass.y + 3, 1);
    unit.Advance(100);
    EXPECT_EQ(page->Gain(EQ_CUSTOM1, 0), -10);
    page->Slider(0)->GetBounds(&x, &y, &w, &h);
    EXPECT_EQ(y, off + 185 + 70);
    EXPECT_EQ(unit.Board().Get("eq-gain 0"), -10);
}

INSTANTIATE_TEST_SUITE_P(BothSeats, SoundSeat, ::testing::Values(0, 1), SeatName);

TEST(SoundEffectPage, WithoutItsSkinItDrawsItsBackgroundAndATapGoesHome) {
    HeadUnitOptions options;
    options.prepare = [](const std::string& base) {
        // The run folder's skin, all but the sound page's folder.
        namespace fs = std::filesystem;
        std::error_code ec;
        for (const auto& skin : fs::directory_iterator(fs::path(base) / "Skin"))
            fs::remove(skin.path() / "SoundEffect", ec);
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start());
    for (int seat = 0; seat < 2; ++seat) {
        Open(unit, seat, APPTYPE_AUDIO_SET, APPTYPE_HOMEPAGE);
        CSoundEffect* page = Sound(unit, seat);
        ASSERT_TRUE(page && !page->Skinned());
        ASSERT_EQ(unit.Seat(seat)->m_iCurrentApp, APPTYPE_AUDIO_SET);
        const plat::Rect screen = plat::Rect::FromXYWH(0, 0, 800, seat ? 600 : 480);
        EXPECT_TRUE(harness::Filled(unit.Screen(seat), screen, 0xFF141A22));
        page->SetAudioMode(1);
        page->OnBack();
        unit.Tap(SeatX(seat) + 400, 300);
        unit.Advance(100);
        EXPECT_EQ(unit.Seat(seat)->m_iCurrentApp, APPTYPE_HOMEPAGE);
        EXPECT_TRUE(harness::ShowsHomepage(unit.Screen(seat), seat));
    }
}
