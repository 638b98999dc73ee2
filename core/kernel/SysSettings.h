// The system settings block: kept in memory as SYS_SETTINGS, stored whole as "SysSettings.db"
// (factory copy "SysSettings.def", first filled from "SysSettings.ini").
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#define SYS_SETTINGS_SIZE 13680
#define SYS_PATH_CHARS 512
#define SYS_INTERNET_SLOTS 9
#define SYS_EQ_PRESETS 8
#define SYS_EQ_BANDS 3
#define SYS_SPEAKER_PRESETS 4
#define SYS_SPEAKER_VALUES 4

#define SYS_SETTINGS_DB "SysSettings.db"
#define SYS_SETTINGS_DEF "SysSettings.def"
#define SYS_SETTINGS_INI "SysSettings.ini"

// Limits of the values that the pages use as indices or show as levels.
#define SYS_VOLUME_MAX 32
#define SYS_APPTYPE_COUNT 36
#define SYS_LANGUAGE_COUNT 4
#define SYS_LEVEL_MAX 10
#define SYS_EQ_GAIN_MAX 12
#define SYS_FADER_MAX 6

// Internet service slots (slot 0, 7 and 8 have no ini key).
enum {
    INTERNET_TRAFFIC = 1,
    INTERNET_WEATHER = 2,
    INTERNET_RADIO = 3,
    INTERNET_TV = 4,
    INTERNET_YOUTUBE = 5,
    INTERNET_FAVORITE1 = 6,
};

// Equaliser presets and speaker presets in stored order.
enum { EQ_FLAT, EQ_JAZZ, EQ_POP, EQ_BASS, EQ_ROCK, EQ_CUSTOM1, EQ_CUSTOM2, EQ_CUSTOM3 };
enum { SPEAKER_NORMAL, SPEAKER_DRIVER, SPEAKER_FRONT, SPEAKER_REAR };
// Elements of a speaker preset row.
enum { SPEAKER_FADER = 0, SPEAKER_BALANCE = 1 };

// In memory the fields lie at their stored offsets (checked below), but the file is always read
// and written field by field: padding bytes are written as zeros.
struct SYS_SETTINGS {
    int32_t iCurrentApp;                              // 0: APPTYPE of the front seat
    uint8_t byCurrentSource;                          // 4
    int32_t iAudioLevel;                              // 8: 0..32
    int32_t iMusicRepeatMode;                         // 12
    int32_t iPhotoSpeedMode;                          // 16
    uint8_t byPhotoResume;                            // 20
    int32_t iRadioBand;                               // 24
    int32_t iAMChannel[2];                            // 28: AM1, AM2
    int32_t iFMChannel[3];                            // 36: FM1, FM2, FM3
    int32_t iMediaType;                               // 48
    char16_t szCurrentMusic[SYS_PATH_CHARS];          // 52
    int32_t iCurrentTrackId;                          // 1076
    char16_t szCurrentPlaylist[SYS_PATH_CHARS];       // 1080
    char16_t szCurrentMovie[SYS_PATH_CHARS];          // 2104
    int32_t iBrightness;                              // 3128: manual set
    int32_t iBrightnessNight;                         // 3132
    int32_t iBrightnessDay;                           // 3136
    int32_t iContrast;                                // 3140
    int32_t iContrastNight;                           // 3144
    int32_t iContrastDay;                             // 3148
    int32_t iRGB[3];                                  // 3152
    int32_t iSaturation;                              // 3164
    int32_t iSaturationNight;                         // 3168
    int32_t iSaturationDay;                           // 3172
    int32_t iBacklight;                               // 3176
    int32_t iBacklightNight;                          // 3180
    int32_t iBacklightDay;                            // 3184
    int32_t iEQSelect;                                // 3188
    int32_t iEQPreset[SYS_EQ_PRESETS][SYS_EQ_BANDS];  // 3192: bass, middle, treble
    int32_t iSpeakerSelect;                           // 3288
    int32_t iSpeakerPreset[SYS_SPEAKER_PRESETS][SYS_SPEAKER_VALUES];  // 3292
    int32_t iLoudness;                                                // 3356
    int32_t i51Priority;                                              // 3360: 0 stereo, 1 5.1
    int32_t iLanguage;                                                // 3364: 0..3
    int32_t iDelayOn;                                                 // 3368: seconds
    int32_t iDelayOff;                                                // 3372
    int32_t iAccHold;                                                 // 3376
    int32_t iReserved;                                                // 3380
    int64_t llMoviePosition;                                          // 3384
    uint8_t byMediaSeat;                                              // 3392: movie page state byte
    char16_t chDrive;                                                 // 3394
    uint32_t dwAppStatus;                                             // 3396
    char16_t szPicturePath[SYS_PATH_CHARS];                           // 3400
    char16_t szInternet[SYS_INTERNET_SLOTS][SYS_PATH_CHARS];          // 4424
    uint8_t byMixerCheck;                                             // 13640
    int32_t iShowCursor;                                              // 13644
    int32_t iLog;                                                     // 13648
    uint8_t byReserved[28];                                           // 13652
};

static_assert(sizeof(char16_t) == 2, "wide text is UTF-16");
static_assert(sizeof(SYS_SETTINGS) == SYS_SETTINGS_SIZE, "settings block size");
static_assert(offsetof(SYS_SETTINGS, szCurrentMusic) == 52, "layout");
static_assert(offsetof(SYS_SETTINGS, iCurrentTrackId) == 1076, "layout");
static_assert(offsetof(SYS_SETTINGS, szCurrentMovie) == 2104, "layout");
static_assert(offsetof(SYS_SETTINGS, iEQPreset) == 3192, "layout");
static_assert(offsetof(SYS_SETTINGS, iSpeakerPreset) == 3292, "layout");
static_assert(offsetof(SYS_SETTINGS, iLanguage) == 3364, "layout");
static_assert(offsetof(SYS_SETTINGS, llMoviePosition) == 3384, "layout");
static_assert(offsetof(SYS_SETTINGS, chDrive) == 3394, "layout");
static_assert(offsetof(SYS_SETTINGS, szInternet) == 4424, "layout");
static_assert(offsetof(SYS_SETTINGS, byMixerCheck) == 13640, "layout");
static_assert(offsetof(SYS_SETTINGS, byReserved) == 13652, "layout");

// Reads a stored block. Anything but exactly SYS_SETTINGS_SIZE bytes is refused and `out` is
// left as it was. The result is sanitised (see SanitizeSettings).
bool ReadSettingsBlock(const uint8_t* data, size_t size, SYS_SETTINGS& out);
inline bool ReadSettingsBlock(const std::vector<uint8_t>& data, SYS_SETTINGS& out) {
    return ReadSettingsBlock(data.data(), data.size(), out);
}
// The block in its stored layout, SYS_SETTINGS_SIZE bytes.
std::vector<uint8_t> WriteSettingsBlock(const SYS_SETTINGS& s);

// Terminates every text and brings every value that the pages use as an index or a level into
// its range, so that a damaged file cannot send a page outside its tables.
void SanitizeSettings(SYS_SETTINGS& s);

// Looks `key` up in section `section` of ini text (`length` units, UTF-16). The value, cut at
// ";" and without surrounding blanks, goes into `out` (SYS_PATH_CHARS units, at most 511
// characters). Returns 0 when found, 1 when not (out untouched).
int ReadSysIni(const char16_t* section, const char16_t* text, size_t length, const char16_t* key,
               char16_t* out);

// Fills `out` (zeroed first) from SysSettings.ini text. Returns the number of keys not found;
// the block is usable only when that is 0.
int SettingsFromIni(const char16_t* text, size_t length, SYS_SETTINGS& out);
