#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <memory>
#include <string>

#include "core/kernel/HWAudio.h"
#include "core/kernel/LogWriter.h"
#include "platform/audio/Mixer.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"
#include "tests/support/PulseServer.h"
#include "tests/support/TestSupport.h"

using testsupport::PulseServer;
using testsupport::ScopedCwd;
using testsupport::TempDir;

namespace {

// A card with the board's lines, which no machine here has: controls kept in memory so that
// the line choices can be read back. The master's arithmetic runs on a real ALSA mixer below.
class CardWithLines : public plat::Mixer {
public:
    struct Control {
        unsigned left = 30000, right = 30000;
        bool muted = false;
        bool mono = false;
    };
    CardWithLines() {
        for (const char* n :
             {"Master", "PCM", "Front", "Surround", "Line", "Phone", "CD", "Video", "Aux"})
            controls[n] = Control{};
        controls["Phone"].mono = true;
    }
    std::vector<std::string> Controls() override {
        std::vector<std::string> out;
        for (auto& c : controls)
            out.push_back(c.first);
        return out;
    }
    bool HasControl(const std::string& n) override { return controls.count(n) != 0; }
    bool IsMono(const std::string& n) override { return HasControl(n) && controls[n].mono; }
    bool GetVolume(const std::string& n, unsigned& l, unsigned& r) override {
        if (!HasControl(n))
            return false;
        l = controls[n].left;
        r = controls[n].mono ? l : controls[n].right;
        return true;
    }
    bool SetVolume(const std::string& n, unsigned l, unsigned r) override {
        if (!HasControl(n) || l > 65535 || r > 65535)
            return false;
        controls[n].left = l;
        controls[n].right = controls[n].mono ? l : r;
        return true;
    }
    bool GetMute(const std::string& n, bool& m) override {
        if (!HasControl(n))
            return false;
        m = controls[n].muted;
        return true;
    }
    bool SetMute(const std::string& n, bool m) override {
        if (!HasControl(n))
            return false;
        controls[n].muted = m;
        return true;
    }

    std::map<std::string, Control> controls;
};

std::string Muted(CardWithLines& card) {
    std::string out;
    for (const char* n : {"PCM", "Line", "Phone", "CD", "Video", "Aux"})
        if (card.controls[n].muted)
            out += std::string(out.empty() ? "" : " ") + n;
    return out;
}

class HWAudio : public ::testing::Test {
protected:
    void SetUp() override {
        plat::SetClock(&m_clock);
        ResetLogForTesting();
        testsupport::WriteText("log.txt", "");
    }
    void TearDown() override {
        plat::SetClock(nullptr);
        ResetLogForTesting();
    }
    std::string Log() {
        plat::SystemTime t = m_clock.Utc();
        return testsupport::ReadText(plat::FormatNarrow("zz-log-%02d%02d.log", t.month, t.day));
    }

    TempDir m_dir;
    ScopedCwd m_cwd{m_dir.Path()};
    plat::ManualClock m_clock;
};

int KernelVolume() {
    return 12;
}

}  // namespace

TEST_F(HWAudio, SelectSourceMutesEveryOtherLine) {
    auto owned = std::make_unique<CardWithLines>();
    CardWithLines& card = *owned;
    CMSAudio audio(std::move(owned));
    audio.Init();

    audio.SelectSource(8, true);  // radio, with AUX kept audible
    EXPECT_EQ(Muted(card), "PCM Phone CD Video");
    audio.SelectSource(0, false);  // the PC's own sound
    EXPECT_EQ(Muted(card), "Line Phone CD Video Aux");
    audio.SelectSource(11, false);
    EXPECT_EQ(Muted(card), "PCM Line Phone CD Aux");

    // Another program unmutes a line; the periodic re-apply puts the choice back.
    card.controls["CD"].muted = false;
    audio.Reapply();
    EXPECT_EQ(Muted(card), "PCM Line Phone CD Aux");

    audio.MuteSource11(true);
    audio.MuteSource9(false);
    EXPECT_EQ(Muted(card), "PCM Line CD Video Aux");
    audio.MuteWaveOut(false);
    EXPECT_FALSE(card.controls["PCM"].muted);
    audio.SetMasterMute(true);
    EXPECT_TRUE(card.controls["Master"].muted);
}

TEST_F(HWAudio, FaderLowersOneLineAndPutsTheOtherBackToFull) {
    auto owned = std::make_unique<CardWithLines>();
    CardWithLines& card = *owned;
    CMSAudio audio(std::move(owned));
    audio.Init();
    auto lines = [&] {
        auto& front = card.controls["Front"];
        auto& rear = card.controls["Surround"];
        return std::to_string(front.left) + "/" + std::to_string(front.right) + " " +
               std::to_string(rear.left) + "/" + std::to_string(rear.right);
    };
    // Line 2 (front) and line 3 (rear) after each step of -6, 0, +6, 0.
    audio.SetFader(-6, 16);
    EXPECT_EQ(lines(), "10000/10000 16000/16000");
    audio.SetFader(0, 16);
    EXPECT_EQ(lines(), "16000/16000 16000/16000");
    audio.SetFader(6, 16);
    EXPECT_EQ(lines(), "16000/16000 10000/10000");
    audio.SetFader(0, 16);
    EXPECT_EQ(lines(), "16000/16000 16000/16000");

    audio.SetFader(-16, 16);
    EXPECT_EQ(lines(), "0/0 16000/16000");
    audio.SetFader(-40, 16);  // beyond the scale: silent, never a wrapped value
    EXPECT_EQ(lines(), "0/0 16000/16000");
    audio.SetFader(3, 0);  // a scale of 0 counts as 1
    EXPECT_EQ(lines(), "16000/16000 0/0");
}

TEST_F(HWAudio, TheNamesFileRenamesLinesAndKeepsTheRestAtTheirDefaults) {
    testsupport::WriteUtf16(m_dir.File(MIXER_NAMES_FILE),
                            "; a codec of its own\n[OTHER]\nmaster = Wrong\n[MIXER]\n"
                            "card = hw:1\nmaster = Speaker\nline 2 = Rear\nline 9 =\n",
                            true);
    MixerLineNames names = LoadMixerNames(m_dir.File(MIXER_NAMES_FILE));
    EXPECT_EQ(names.card, "hw:1");
    EXPECT_EQ(names.master, "Speaker");
    EXPECT_EQ(names.line[2], "Rear");
    EXPECT_EQ(names.line[9], "") << "an empty name: no such line";
    EXPECT_EQ(names.waveOut, "PCM");
    EXPECT_EQ(names.line[12], "Aux");
    EXPECT_EQ(LoadMixerNames(m_dir.File("missing.ini")).line[3], "Surround");
}

// The fader -6, 0, +6, 0 on a real ALSA mixer, whose one playback control the names file puts
// behind the rear line; the AUX line it names is not on the card.
TEST_F(HWAudio, NamesTheCardLacksAreLoggedOnceAndTheOtherLinesWork) {
    PulseServer server;
    if (!server.Running())
        GTEST_SKIP() << server.Error();
    testsupport::WriteUtf16(m_dir.File(MIXER_NAMES_FILE),
                            "[MIXER]\ncard = pulse\nwave out =\nline 0 =\nline 2 =\n"
                            "line 3 = Master\nline 8 =\nline 9 =\nline 10 =\nline 11 =\n"
                            "line 12 = NoSuchAux\n",
                            true);
    MixerLineNames names = LoadMixerNames(m_dir.File(MIXER_NAMES_FILE));
    CMSAudio audio(names.card, names);
    audio.Init();
    ASSERT_TRUE(audio.HasMixer());
    auto probe = plat::OpenAlsaMixer("pulse");
    ASSERT_NE(probe, nullptr);
    auto rear = [&] {
        unsigned l = 0, r = 0;
        EXPECT_TRUE(probe->GetVolume("Master", l, r));
        return std::to_string(l) + "/" + std::to_string(r);
    };
    audio.SetFader(-6, 16);
    EXPECT_EQ(rear(), "16000/16000");
    audio.SetFader(0, 16);
    EXPECT_EQ(rear(), "16000/16000");
    audio.SetFader(6, 16);
    EXPECT_EQ(rear(), "10000/10000");
    audio.SetFader(0, 16);
    EXPECT_EQ(rear(), "16000/16000");

    audio.SelectSource(12, true);
    audio.Reapply();
    audio.MuteSource12(true);
    const std::string log = Log();
    const std::string line = "the card has no control \"NoSuchAux\" (line 12)";
    size_t at = log.find(line);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find(line, at + 1), std::string::npos) << "said once";
    EXPECT_EQ(log.find("\"Master\""), std::string::npos) << log;
}

TEST_F(HWAudio, StartLevels) {
    auto owned = std::make_unique<CardWithLines>();
    CardWithLines& card = *owned;
    CMSAudio audio(std::move(owned));
    audio.Init();
    audio.SetDefaultLevels();
    EXPECT_EQ(card.controls["Master"].left, 46000u);
    EXPECT_EQ(card.controls["PCM"].right, 46000u);
    for (const char* n : {"Line", "CD", "Video", "Aux"})
        EXPECT_EQ(card.controls[n].right, 35000u) << n;
    EXPECT_EQ(card.controls["Phone"].left, 35000u);  // mono: one value
    EXPECT_EQ(card.controls["Front"].left, 30000u);  // outputs are left alone
}

TEST_F(HWAudio, MasterVolumeAndBalanceOnARealMixer) {
    PulseServer server;
    if (!server.Running())
        GTEST_SKIP() << server.Error();
    CMSAudio audio("pulse");
    audio.Init();
    ASSERT_TRUE(audio.HasMixer());
    auto probe = plat::OpenAlsaMixer("pulse");
    ASSERT_NE(probe, nullptr);
    // The server tells the probe of a change in its own time: wait until it shows the values.
    auto master = [&](unsigned left, unsigned right) -> ::testing::AssertionResult {
        unsigned l = 0, r = 0;
        if (testsupport::WaitFor(
                [&] { return probe->GetVolume("Master", l, r) && l == left && r == right; }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the master reads " << l << "/" << r;
    };

    audio.SetVolume(16, 32);
    EXPECT_TRUE(master(32768, 32768));
    EXPECT_EQ(audio.GetCachedVol(), 16);

    // The top of the scale is full volume, not 65536 wrapped to silence.
    audio.SetVolume(32, 32);
    EXPECT_TRUE(master(65535, 65535));
    std::string volume = server.Pactl(std::string("get-sink-volume ") + PulseServer::Sink());
    EXPECT_NE(volume.find("100%"), std::string::npos) << volume;

    // A scale of 0 is taken as 1 instead of dividing by zero.
    audio.SetVolume(0, 0);
    EXPECT_TRUE(master(0, 0));
    audio.SetVolume(1, 0);
    EXPECT_TRUE(master(65535, 65535));

    audio.SetVolume(16, 32);
    audio.SetBalance(-8, 16);
    EXPECT_TRUE(master(32768, 16384));
    int left = -1, right = -1;
    EXPECT_EQ(audio.GetVol(&left, &right, true, 32), 16);
    EXPECT_EQ(left, 16);
    EXPECT_EQ(right, 8);
    // A new level keeps the balance.
    audio.SetVolume(8, 32);
    EXPECT_TRUE(master(16384, 8192));
    audio.SetBalance(4, 16);
    EXPECT_TRUE(master(12288, 16384));
    audio.SetBalance(99, 16);  // past the scale: that side silent
    EXPECT_TRUE(master(0, 16384));

    // Someone else turns the sink down; a refreshing read reports it once the news is in.
    ASSERT_TRUE(probe->SetVolume("Master", 4096, 2048));
    EXPECT_TRUE(testsupport::WaitFor([&] {
        return audio.GetVol(&left, &right, true, 16) == 8 && left == 1 && right == 0;
    })) << left
        << "/" << right;
    EXPECT_EQ(audio.GetVol(&left, &right, true, 0), 8);  // scale 0 as 1
    EXPECT_EQ(left, 0);
    audio.SetMasterMute(true);
    EXPECT_NE(server.Pactl(std::string("get-sink-mute ") + PulseServer::Sink()).find("yes"),
              std::string::npos);
    audio.SetMasterMute(false);
    EXPECT_NE(server.Pactl(std::string("get-sink-mute ") + PulseServer::Sink()).find("no"),
              std::string::npos);
    // The sink has none of the board's lines: choosing one changes nothing and harms nothing.
    audio.SelectSource(8, true);
    audio.Release();
    EXPECT_NE(Log().find("CMSAudio::Release()"), std::string::npos);
}

TEST_F(HWAudio, HolderSetsStartLevelsOnTheDefaultCard) {
    PulseServer server;
    if (!server.Running())
        GTEST_SKIP() << server.Error();
    CHWAudioHolder* holder = CHWAudioHolder::GetInstance();
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(CHWAudioHolder::GetInstance(), holder);  // never made twice
    auto probe = plat::OpenAlsaMixer("pulse");
    ASSERT_NE(probe, nullptr);
    unsigned l = 0, r = 0;
    ASSERT_TRUE(probe->GetVolume("Master", l, r));
    EXPECT_EQ(l, 46000u);
    EXPECT_EQ(r, 46000u);
    CHWAudioHolder::DestroyInstance();
}

TEST_F(HWAudio, WithoutASoundCardTheMixerIsAbsentLoggedAndHarmless) {
    // No test touches the machine's own sound card.
    testsupport::SilenceSoundCard(m_dir.Path());
    CHWAudioHolder::SetKernelVolumeSource(&KernelVolume);

    CHWAudioHolder* holder = CHWAudioHolder::GetInstance();
    ASSERT_NE(holder, nullptr);
    IHWAudio* ms = holder->m_pAudio[1].get();
    IHWAudio* fw = holder->m_pAudio[0].get();
    ASSERT_NE(ms, nullptr);
    ASSERT_NE(fw, nullptr);
    EXPECT_FALSE(static_cast<CMSAudio*>(ms)->HasMixer());
    ms->SelectSource(8, true);
    ms->SetMasterMute(true);
    ms->MuteWaveOut(true);
    ms->SetFader(3, 16);
    ms->SetBalance(-2, 16);
    ms->SetVolume(20, 32);
    ms->Reapply();
    int left = -1, right = -1;
    EXPECT_EQ(ms->GetVol(&left, &right, true, 32), 20);
    EXPECT_EQ(ms->GetCachedVol(), 20);
    // The board carries the volume: the stand-in reports the kernel's level.
    EXPECT_EQ(fw->GetVol(&left, &right, true, 32), 12);
    EXPECT_EQ(fw->GetCachedVol(), 12);

    std::string log = Log();
    EXPECT_NE(log.find("CFWAudio::CFWAudio()"), std::string::npos);
    EXPECT_NE(log.find("CMSAudio::Init(): no sound mixer"), std::string::npos) << log;
    EXPECT_NE(log.find("===> CFWAudio::GetVol() - Wrong !!!!!"), std::string::npos);
    CHWAudioHolder::DestroyInstance();
    log = Log();
    EXPECT_NE(log.find("CMSAudio::Release()"), std::string::npos);
    EXPECT_NE(log.find("CFWAudio::Release()"), std::string::npos);
    CHWAudioHolder::SetKernelVolumeSource(nullptr);
    ::unsetenv("ALSA_CONFIG_PATH");
}

namespace {

class RefusingControl : public ICodecControl {
public:
    explicit RefusingControl(int* released) : m_released(released) {}
    void Init(int* result) override { *result = 0; }
    void GetValue(int* value) override { *value = 7; }
    void SetMode(int) override {}
    void Release() override { ++*m_released; }

private:
    int* m_released;
};

}  // namespace

TEST_F(HWAudio, CodecControlStandInLogsModeChanges) {
    CRTWrapper rt;
    EXPECT_EQ(rt.m_iValue, -1);
    ASSERT_TRUE(rt._InitCOM());
    EXPECT_EQ(rt.GetValue(), 0);
    rt.SetMode(1);
    rt.SetMode(3);
    rt.SetMode(3);  // the movie page asks again on every paint
    rt.SetMode(1);
    rt.ReleaseCOM();
    rt.SetMode(3);  // after release: nothing
    std::string log = Log();
    auto count = [&](const std::string& s) {
        size_t n = 0;
        for (size_t p = log.find(s); p != std::string::npos; p = log.find(s, p + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("CRTWrapper::SetMode(3)"), 1u);
    EXPECT_EQ(count("CRTWrapper::SetMode(1)"), 2u);
    EXPECT_EQ(count("CRTWrapper::Release()"), 1u);
}

TEST_F(HWAudio, CodecControlThatRefusesInitIsLogged) {
    int released = 0;
    {
        CRTWrapper rt(std::make_unique<RefusingControl>(&released));
        EXPECT_FALSE(rt._InitCOM());
        EXPECT_EQ(rt.GetValue(), 7);
        EXPECT_NE(Log().find("m_IRTCOMAPI->Init() failed"), std::string::npos);
        EXPECT_EQ(released, 0);
    }
    EXPECT_EQ(released, 1);  // released once, with the wrapper
}
