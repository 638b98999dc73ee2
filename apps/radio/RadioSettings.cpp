#include "apps/radio/RadioSettings.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

uint16_t RadioStoredValue(int band, double preset) {
    const double scaled = RadioIsFm(band) ? preset * 100.0 : preset;
    if (!(scaled > 0.0))  // also NaN
        return 0;
    if (scaled >= 65535.0)
        return 65535;
    return static_cast<uint16_t>(std::lround(scaled));
}

double RadioPresetOf(int band, uint16_t value) {
    return RadioIsFm(band) ? value / 100.0 : static_cast<double>(value);
}

uint16_t RadioImageEntry(const uint8_t* image, int band, int preset) {
    const size_t at = static_cast<size_t>(band * RADIO_PRESETS + preset) * 2;
    return static_cast<uint16_t>((image[at] << 8) | image[at + 1]);
}

void SetRadioImageEntry(uint8_t* image, int band, int preset, uint16_t value) {
    const size_t at = static_cast<size_t>(band * RADIO_PRESETS + preset) * 2;
    image[at] = static_cast<uint8_t>(value >> 8);
    image[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

void FillRadioImageDefaults(uint8_t* image) {
    for (int band = 0; band < RADIO_BANDS; ++band)
        for (int i = 0; i < RADIO_PRESETS; ++i)
            SetRadioImageEntry(image, band, i,
                               RadioIsFm(band) ? RADIO_IMAGE_DEFAULT_FM : RADIO_IMAGE_DEFAULT_AM);
}

bool ReadRadioSettings(const uint8_t* data, size_t size, uint8_t* image,
                       double (*presets)[RADIO_PRESETS + 1]) {
    if (!data || size != RADIO_SETTINGS_SIZE)
        return false;
    std::memcpy(image, data, RADIO_SETTINGS_SIZE);
    for (int band = 0; band < RADIO_BANDS; ++band)
        for (int i = 0; i < RADIO_PRESETS; ++i)
            presets[band][i] = RadioPresetOf(band, RadioImageEntry(image, band, i));
    return true;
}

bool ParseRadioFrequency(std::u16string_view text, double* out) {
    // The digits are ASCII whatever the language; anything else ends the number.
    std::string narrow;
    size_t i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    for (; i < text.size() && narrow.size() < 32; ++i) {
        const char16_t c = text[i];
        if ((c >= u'0' && c <= u'9') || (c == u'-' && narrow.empty()))
            narrow.push_back(static_cast<char>(c));
        else if ((c == u'.' || c == u',') && narrow.find('.') == std::string::npos)
            narrow.push_back('.');  // a decimal comma is a decimal point too
        else
            break;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    if (ec != std::errc() || end == narrow.data() || !std::isfinite(value))
        return false;
    *out = value;
    return true;
}
