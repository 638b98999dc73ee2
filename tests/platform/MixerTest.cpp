#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/audio/Mixer.h"
#include "tests/support/PulseServer.h"
#include "tests/support/TestSupport.h"

using testsupport::PulseServer;
using testsupport::TempDir;

TEST(AlsaMixer, NoSoundCardGivesNoMixerAndAReason) {
    TempDir dir;
    // An ALSA configuration that names no device at all: the machine has no card.
    testsupport::WriteText(dir.File("empty.conf"), "");
    ::setenv("ALSA_CONFIG_PATH", dir.File("empty.conf").c_str(), 1);
    std::string error;
    EXPECT_EQ(plat::OpenAlsaMixer("default", &error), nullptr);
    EXPECT_NE(error.find("default"), std::string::npos) << error;
    EXPECT_EQ(plat::OpenAlsaMixer("hw:7", nullptr), nullptr);
    ::unsetenv("ALSA_CONFIG_PATH");
}

TEST(AlsaMixer, VolumeAndMuteOnARealMixer) {
    PulseServer server;
    if (!server.Running())
        GTEST_SKIP() << server.Error();
    std::string error;
    auto mixer = plat::OpenAlsaMixer("pulse", &error);
    ASSERT_NE(mixer, nullptr) << error;
    ASSERT_TRUE(mixer->HasControl("Master"));
    EXPECT_FALSE(mixer->HasControl("NoSuchLine"));
    EXPECT_FALSE(mixer->IsMono("Master"));

    ASSERT_TRUE(mixer->SetVolume("Master", 65535, 16384));
    // Another client sees the sink's own volume: full on the left, a quarter on the right.
    std::string volume = server.Pactl(std::string("get-sink-volume ") + PulseServer::Sink());
    EXPECT_NE(volume.find("front-left: 65536 / 100%"), std::string::npos) << volume;
    EXPECT_NE(volume.find("front-right: 16384 /  25%"), std::string::npos) << volume;
    unsigned l = 0, r = 0;
    auto again = plat::OpenAlsaMixer("pulse");
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(again->GetVolume("Master", l, r));
    EXPECT_EQ(l, 65535u);
    EXPECT_EQ(r, 16384u);

    ASSERT_TRUE(mixer->SetMute("Master", true));
    EXPECT_NE(server.Pactl(std::string("get-sink-mute ") + PulseServer::Sink()).find("yes"),
              std::string::npos);
    bool muted = false;
    ASSERT_TRUE(mixer->GetMute("Master", muted));
    EXPECT_TRUE(muted);
    ASSERT_TRUE(mixer->SetMute("Master", false));
    ASSERT_TRUE(mixer->GetMute("Master", muted));
    EXPECT_FALSE(muted);
    EXPECT_FALSE(mixer->SetVolume("NoSuchLine", 1, 1));
    EXPECT_FALSE(mixer->SetMute("NoSuchLine", true));
}
