// RadioSettings.db's values and the frequency texts the page reads back.
#include "apps/radio/RadioSettings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

TEST(RadioSettings, PresetsAreStoredRoundedHighByteFirst) {
    EXPECT_EQ(RadioStoredValue(RADIO_BAND_FM1, 87.60), 8760);  // 8759.999... in binary
    EXPECT_EQ(RadioStoredValue(RADIO_BAND_FM3, 107.90), 10790);
    EXPECT_EQ(RadioStoredValue(RADIO_BAND_AM1, 1008.4), 1008);
    EXPECT_EQ(RadioStoredValue(RADIO_BAND_AM2, -5), 0);
    EXPECT_EQ(RadioStoredValue(RADIO_BAND_FM2, 900.0), 65535);
    uint8_t image[RADIO_SETTINGS_SIZE] = {};
    SetRadioImageEntry(image, RADIO_BAND_FM3, 8, 10790);
    EXPECT_EQ(image[52], 0x2A);
    EXPECT_EQ(image[53], 0x26);
    EXPECT_EQ(RadioImageEntry(image, RADIO_BAND_FM3, 8), 10790);
}

TEST(RadioSettings, OnlyAWholeFileIsTaken) {
    std::vector<uint8_t> bytes(RADIO_SETTINGS_SIZE, 0);
    bytes[0] = 0x23;
    bytes[1] = 0x96;  // FM1 preset 0: 9110
    bytes[88] = 0x06;
    bytes[89] = 0x54;  // AM2 preset 8: 1620
    double presets[RADIO_BANDS][RADIO_PRESETS + 1] = {};
    uint8_t image[RADIO_SETTINGS_SIZE];
    FillRadioImageDefaults(image);
    for (size_t size : {size_t(0), size_t(60), size_t(89), size_t(91), size_t(120)}) {
        std::vector<uint8_t> other(size, 0x11);
        EXPECT_FALSE(ReadRadioSettings(other.data(), other.size(), image, presets)) << size;
        EXPECT_EQ(RadioImageEntry(image, RADIO_BAND_FM1, 0), RADIO_IMAGE_DEFAULT_FM);
        EXPECT_EQ(presets[0][0], 0.0);
    }
    ASSERT_TRUE(ReadRadioSettings(bytes.data(), bytes.size(), image, presets));
    EXPECT_DOUBLE_EQ(presets[RADIO_BAND_FM1][0], 91.10);
    EXPECT_DOUBLE_EQ(presets[RADIO_BAND_AM2][8], 1620.0);
    EXPECT_EQ(RadioImageEntry(image, RADIO_BAND_AM2, 8), 1620);
}

TEST(RadioSettings, FrequencyTextsAreReadWhateverTheLocale) {
    // Where a locale with a decimal comma is installed, it must change nothing.
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    double v = 0;
    EXPECT_TRUE(ParseRadioFrequency(u"87.50", &v));
    EXPECT_DOUBLE_EQ(v, 87.5);
    EXPECT_TRUE(ParseRadioFrequency(u"87,50", &v));
    EXPECT_DOUBLE_EQ(v, 87.5);
    std::setlocale(LC_NUMERIC, old.c_str());
    EXPECT_TRUE(ParseRadioFrequency(u"1008 KHz", &v));
    EXPECT_DOUBLE_EQ(v, 1008.0);
    EXPECT_FALSE(ParseRadioFrequency(u"", &v));
    EXPECT_FALSE(ParseRadioFrequency(u"Loading ...", &v));
}
