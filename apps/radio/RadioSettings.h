// RadioSettings.db: the radio's nine presets of each of its five bands, 90 bytes with no header:
// five blocks of nine unsigned 16-bit values, high byte first, FM1, FM2, FM3 in MHz x 100 and
// AM1, AM2 in kHz. The page keeps the presets as numbers (MHz or kHz) and the file as its image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#define RADIO_SETTINGS_FILE u"RadioSettings.db"
#define RADIO_SETTINGS_SIZE 90
#define RADIO_BANDS 5
#define RADIO_PRESETS 9

enum : uint8_t {
    RADIO_BAND_FM1 = 0,
    RADIO_BAND_FM2 = 1,
    RADIO_BAND_FM3 = 2,
    RADIO_BAND_AM1 = 3,
    RADIO_BAND_AM2 = 4,
};

// What the presets show before anything was stored, and what the file image holds for a
// preset never stored.
#define RADIO_DEFAULT_FM 87.5
#define RADIO_DEFAULT_AM 522.0
#define RADIO_IMAGE_DEFAULT_FM 8750
#define RADIO_IMAGE_DEFAULT_AM 554

inline bool RadioIsFm(int band) {
    return band >= RADIO_BAND_FM1 && band <= RADIO_BAND_FM3;
}

// The stored value of a preset: FM x 100, AM x 1, rounded to the nearest integer and kept
// within 0..65535.
uint16_t RadioStoredValue(int band, double preset);
// The preset of a stored value (FM / 100).
double RadioPresetOf(int band, uint16_t value);

// Entry `preset` of `band` in the 90-byte image.
uint16_t RadioImageEntry(const uint8_t* image, int band, int preset);
void SetRadioImageEntry(uint8_t* image, int band, int preset, uint16_t value);
// 8750 in every FM entry and 554 in every AM entry.
void FillRadioImageDefaults(uint8_t* image);
// The presets of a file's bytes, taken only when the file is exactly 90 bytes; `presets` and
// `image` are left as they were otherwise.
bool ReadRadioSettings(const uint8_t* data, size_t size, uint8_t* image,
                       double (*presets)[RADIO_PRESETS + 1]);

// The number in a frequency text as the page shows it ("87.50 MHz", "1008 KHz"), read the same
// whatever the locale (a decimal comma counts as the point); false when the text does not start
// with one.
bool ParseRadioFrequency(std::u16string_view text, double* out);
