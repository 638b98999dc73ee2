// RadioSettings.db and the frequency texts the radio page reads back, on arbitrary bytes.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "apps/radio/RadioSettings.h"
#include "fuzz/FuzzCheck.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Taken only when whole; then every preset is what its entry says, and storing the presets
    // again gives the same bytes.
    uint8_t image[RADIO_SETTINGS_SIZE];
    FillRadioImageDefaults(image);
    double presets[RADIO_BANDS][RADIO_PRESETS + 1] = {};
    const bool taken = ReadRadioSettings(data, size, image, presets);
    Check(taken == (data && size == RADIO_SETTINGS_SIZE));
    if (taken) {
        uint8_t again[RADIO_SETTINGS_SIZE];
        for (int band = 0; band < RADIO_BANDS; ++band) {
            for (int i = 0; i < RADIO_PRESETS; ++i) {
                Check(std::isfinite(presets[band][i]) && presets[band][i] >= 0);
                SetRadioImageEntry(again, band, i, RadioStoredValue(band, presets[band][i]));
            }
        }
        Check(std::memcmp(again, data, RADIO_SETTINGS_SIZE) == 0);
    } else {
        Check(RadioImageEntry(image, RADIO_BAND_FM1, 0) == RADIO_IMAGE_DEFAULT_FM);
        Check(RadioImageEntry(image, RADIO_BAND_AM2, 8) == RADIO_IMAGE_DEFAULT_AM);
    }

    // The same bytes as a shown frequency: a number or nothing, never a crash.
    std::u16string text;
    for (size_t i = 0; i + 1 < size && text.size() < 64; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    double value = 0;
    if (ParseRadioFrequency(text, &value)) {
        Check(std::isfinite(value));
        (void)RadioStoredValue(RADIO_BAND_FM1, value);
        (void)RadioStoredValue(RADIO_BAND_AM1, value);
    }
    return 0;
}
