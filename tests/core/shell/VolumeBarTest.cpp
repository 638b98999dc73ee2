#include "core/shell/VolumeBar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "library/include/Vantrel.h"
#include "tests/harness/SeatTestEnv.h"

namespace {

const char* kFolder = "Skin/Default 01/common_png/";

class VolumeBarTest : public seattest::SeatEnvTest {
protected:
    void TearDown() override {
        CVolumeBar::DestroyInstance();
        SeatEnvTest::TearDown();
    }

    // Every overlay picture but the level `missing` (-1: none).
    void Pictures(int missing = -1) {
        Picture(std::string(kFolder) + "Vol-Button.png", 75, 40, 0xFF3FC8E8);
        Picture(std::string(kFolder) + "Vol-Scale.png", 340, 40, 0xFF222C38);
        for (int i = 0; i < VOLUME_BAR_LEVELS; ++i) {
            if (i == missing)
                continue;
            char name[32];
            std::snprintf(name, sizeof name, "Vol-%02d.png", i);
            Picture(std::string(kFolder) + name, 340, 40, 0xFF000000 | uint32_t(i));
        }
    }

    static void KnobBounds(CVolumeBar* overlay, int* x, int* y, int* w, int* h) {
        ASSERT_NE(overlay->m_pKnob, nullptr);
        ASSERT_EQ(overlay->m_pKnob->GetBounds(x, y, w, h), RZ_OK);
    }

    static int Loaded(const CVolumeBar* overlay) {
        int n = 0;
        for (auto* level : overlay->m_pLevel)
            n += level != nullptr;
        return n;
    }
};

}  // namespace

TEST_F(VolumeBarTest, TheKnobStandsAtTheBoardsVolumeAndTheWholeScaleLoads) {
    Pictures();
    ASSERT_TRUE(m_sim.Command("volume 16"));
    StartKernel();
    CVolumeBar* overlay = CVolumeBar::GetInstance();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(CVolumeBar::GetInstance(), overlay) << "one overlay for the process";

    int x, y, w, h;
    KnobBounds(overlay, &x, &y, &w, &h);
    EXPECT_EQ(x, 420) << "255 + 16 x 10.3125";
    EXPECT_EQ(y, 20);
    EXPECT_EQ(w, 75);
    EXPECT_EQ(h, 40);
    EXPECT_NE(overlay->m_pKnobImage, nullptr);
    EXPECT_NE(overlay->m_pScale, nullptr);
    EXPECT_EQ(Loaded(overlay), VOLUME_BAR_LEVELS);
    EXPECT_EQ(overlay->m_iVolume, 0) << "a complete load sets the volume back";
    EXPECT_EQ(overlay->m_iState1, 0);
    EXPECT_EQ(overlay->m_iState2, 0);

    // The pictures really are the files: level 32 has its own colour.
    uint32_t iw = 0, ih = 0;
    ASSERT_EQ(overlay->m_pLevel[32]->GetSize(&iw, &ih), RZ_OK);
    EXPECT_EQ(iw, 340u);
    EXPECT_EQ(ih, 40u);

    CVolumeBar::Release(overlay);
    EXPECT_EQ(overlay->m_pKnob, nullptr);
    EXPECT_EQ(overlay->m_pKnobImage, nullptr);
    EXPECT_EQ(overlay->m_pScale, nullptr);
    EXPECT_EQ(Loaded(overlay), 0);
    EXPECT_EQ(CVolumeBar::GetInstance(), overlay) << "the overlay itself stays";
    CVolumeBar::Release(overlay);  // a second release finds nothing to give back
}

TEST_F(VolumeBarTest, TheKnobPositionIsTruncatedAlongTheScale) {
    EXPECT_EQ(CVolumeBar::KnobX(0), 255);
    EXPECT_EQ(CVolumeBar::KnobX(1), 265);   // 10.3125
    EXPECT_EQ(CVolumeBar::KnobX(3), 285);   // 30.9375
    EXPECT_EQ(CVolumeBar::KnobX(16), 420);  // 165
    EXPECT_EQ(CVolumeBar::KnobX(31), 574);  // 319.6875
    EXPECT_EQ(CVolumeBar::KnobX(32), 585);  // 330
}

TEST_F(VolumeBarTest, AMissingLevelPictureStopsTheLoadingThere) {
    Pictures(7);
    ASSERT_TRUE(m_sim.Command("volume 5"));
    StartKernel();
    CVolumeBar* overlay = CVolumeBar::GetInstance();
    ASSERT_NE(overlay, nullptr);
    for (int i = 0; i < 7; ++i)
        EXPECT_NE(overlay->m_pLevel[i], nullptr) << i;
    for (int i = 7; i < VOLUME_BAR_LEVELS; ++i)
        EXPECT_EQ(overlay->m_pLevel[i], nullptr) << i;
    EXPECT_EQ(overlay->m_iVolume, 5) << "an incomplete load keeps the volume read";
    int x, y, w, h;
    KnobBounds(overlay, &x, &y, &w, &h);
    EXPECT_EQ(x, 306);

    // Release copes with the subset (LeakSanitizer checks that every loaded one went back).
    CVolumeBar::Release(overlay);
    EXPECT_EQ(Loaded(overlay), 0);
    EXPECT_EQ(overlay->m_pKnob, nullptr);
}

TEST_F(VolumeBarTest, WithoutTheKnobPictureNothingElseIsLoaded) {
    Pictures();
    std::remove(m_dir.File(std::string(kFolder) + "Vol-Button.png").c_str());
    StartKernel();
    CVolumeBar* overlay = CVolumeBar::GetInstance();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->m_pKnobImage, nullptr);
    EXPECT_EQ(overlay->m_pScale, nullptr);
    EXPECT_EQ(overlay->m_pKnob, nullptr);
    EXPECT_EQ(Loaded(overlay), 0);
    CVolumeBar::Release(overlay);
}

TEST_F(VolumeBarTest, WithoutTheScaleNoKnobIsMade) {
    Pictures();
    std::remove(m_dir.File(std::string(kFolder) + "Vol-Scale.png").c_str());
    StartKernel();
    CVolumeBar* overlay = CVolumeBar::GetInstance();
    ASSERT_NE(overlay, nullptr);
    EXPECT_NE(overlay->m_pKnobImage, nullptr);
    EXPECT_EQ(overlay->m_pKnob, nullptr);
    EXPECT_EQ(Loaded(overlay), 0);
}

TEST_F(VolumeBarTest, ABoardThatIsNotReadyGivesVolumeZero) {
    Pictures(0);
    ASSERT_TRUE(m_sim.Command("volume 20"));
    ASSERT_TRUE(m_sim.Command("ready 0"));
    StartKernel();
    CVolumeBar* overlay = CVolumeBar::GetInstance();
    ASSERT_NE(overlay, nullptr);
    int x, y, w, h;
    KnobBounds(overlay, &x, &y, &w, &h);
    EXPECT_EQ(x, 255);
    EXPECT_EQ(overlay->m_iVolume, 0);
    for (const std::string& line : m_sim.Log())
        EXPECT_EQ(line.find("GetVolume"), std::string::npos) << line;
}

TEST_F(VolumeBarTest, TheDefaultSkinCarriesEveryOverlayPicture) {
    CopyFromRun("Skin/Default 01/common_png");
    StartKernel();
    CVolumeBar* overlay = CVolumeBar::GetInstance();
    ASSERT_NE(overlay, nullptr);
    EXPECT_NE(overlay->m_pKnobImage, nullptr);
    EXPECT_NE(overlay->m_pScale, nullptr);
    EXPECT_EQ(Loaded(overlay), VOLUME_BAR_LEVELS);
    // The knob fits its button rectangle; the scale and the levels share one size.
    uint32_t w = 0, h = 0;
    ASSERT_EQ(overlay->m_pKnobImage->GetSize(&w, &h), RZ_OK);
    EXPECT_EQ(h, 40u);
    uint32_t sw = 0, sh = 0, lw = 0, lh = 0;
    ASSERT_EQ(overlay->m_pScale->GetSize(&sw, &sh), RZ_OK);
    ASSERT_EQ(overlay->m_pLevel[32]->GetSize(&lw, &lh), RZ_OK);
    EXPECT_EQ(sw, lw);
    EXPECT_EQ(sh, lh);
}
