// The language table: the texts the pages show, read from "Language/<name>.ini" (UTF-16LE).
// A page shows entry n of the table; the MSG_ names below are those indices.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#define LANGUAGE_ENTRIES 115
#define LANGUAGE_ENTRY_CHARS 128
#define LANGUAGE_FOLDER "Language"

typedef char16_t LANGUAGE_TABLE[LANGUAGE_ENTRIES][LANGUAGE_ENTRY_CHARS];
static_assert(sizeof(LANGUAGE_TABLE) == LANGUAGE_ENTRIES * 256, "language table size");

enum LANGUAGE_TEXT {
    // APP_ITEMS
    MSG_HOMEPAGE = 0,
    MSG_MUSIC = 1,
    MSG_MOVIE = 2,
    MSG_PHOTO = 3,
    MSG_AUX = 4,
    MSG_AUX2 = 5,
    MSG_RADIO = 6,
    MSG_TV = 7,
    MSG_WINDOWS = 8,
    MSG_PHONE = 9,
    MSG_NAVI = 10,
    MSG_SKYPE = 11,
    MSG_SETTING = 12,
    MSG_LIGHT_SETTING = 13,
    MSG_LIGHT_AUTO = 14,
    MSG_LIGHT_MANU = 15,
    MSG_BROWSER = 16,
    MSG_INTERNET_SERVICE = 17,
    MSG_BACKLIGHT = 18,
    MSG_AUDIO_SET = 19,
    MSG_DISPLAY_SET = 20,
    MSG_SYSTEM_SET = 21,
    MSG_HOMEPAGE_SET = 22,
    MSG_APPLICATION_SET = 23,
    MSG_APP_1 = 24,
    MSG_SKIN_SET = 25,
    MSG_TPMS = 26,
    MSG_EXPLORER = 27,
    MSG_DATETIME_SET = 28,
    MSG_LANG_SET = 29,
    MSG_BLUETOOTH = 30,
    MSG_POWER = 31,
    MSG_CALIBRATION = 32,
    // LANGUAGES
    MSG_LANG_ENG = 33,
    MSG_LANG_ROC = 34,
    MSG_LANG_PRC = 35,
    MSG_LANG_JAP = 36,
    // 37, 38 and 39 are never filled.
    // SYSTEM_SET
    MSG_POWERON_PROTECT = 40,
    MSG_POWEROFF_PROTECT = 41,
    MSG_ACC_HOLD = 42,
    MSG_MANUFACTURE_DEFAULT = 43,
    // SOUND_EFFECT
    MSG_SOUND_BASS = 44,
    MSG_SOUND_JAZZ = 45,
    MSG_SOUND_POP = 46,
    MSG_SOUND_FLAT = 47,
    MSG_SOUND_ROCK = 48,
    MSG_SOUND_CUSTOM1 = 49,
    MSG_SOUND_CUSTOM2 = 50,
    MSG_SOUND_CUSTOM3 = 51,
    MSG_SOUND_NORMAL = 52,
    MSG_SOUND_DRIVER = 53,
    MSG_SOUND_FRONT = 54,
    MSG_SOUND_REAR = 55,
    MSG_SOUND_LOW_BOOST = 56,
    MSG_SOUND_HIGH_BOOST = 57,
    // OTHER
    MSG_AM = 58,
    MSG_PM = 59,
    MSG_WARNING_DELETE = 60,
    MSG_APP_TOUCHPANEL = 61,
    MSG_APP_OTHER = 62,
    MSG_PATH_EMPTY = 63,
    // ABOUT
    MSG_ABOUT = 64,
    MSG_VELKORA_VER = 65,
    MSG_FIRMWARE_VER = 66,
    MSG_AD060_VER = 67,
    MSG_POWERMODULE_VER = 68,
    // DVD
    MSG_DVD_AUDIO = 69,
    MSG_DVD_SUBPICTURE = 70,
    MSG_DVD_ROOT_MENU = 71,
    MSG_DVD_NO_SUBPICTURE = 72,
    MSG_DVD_ROOT_MENU_ENTER = 73,
    MSG_DVD_PLAY_BEGIN = 74,
    MSG_DVD_PLAY_CONTINUE = 75,
    MSG_DVD_INCOMPATIBLE_AUDIO = 76,
    // KB
    MSG_KB_EDIT_PLAYLIST_NAME = 77,
    MSG_KB_PHONEBOOK_NAME = 78,
    MSG_KB_PHONEBOOK_NUMBER = 79,
    // MSG
    MSG_MSG_STARTING = 80,
    MSG_MSG_SAVE_DONE = 81,
    MSG_MSG_UNKNOWN = 82,
    MSG_MSG_PHONEENTRY_EMPTY = 83,
    MSG_MSG_DISPLAY1 = 84,
    MSG_MSG_DISPLAY2 = 85,
    MSG_MSG_LOCK = 86,
    MSG_MSG_SKYPE_PENDING = 87,
    // BLUETOOTH
    MSG_BT_NODEVICE = 88,
    MSG_BT_UNPAIRED = 89,
    MSG_BT_CONNECTED = 90,
    MSG_BT_DISCONNECTED = 91,
    MSG_BT_NEED_PAIR = 92,
    MSG_BT_CALLING = 93,
    MSG_BT_NEW_MESSAGE = 94,
    MSG_BT_CONNECT_FAIL = 95,
    MSG_BT_CALLING_NUMBER = 96,
    MSG_BT_DISCONNECT_DEVICE = 97,
    MSG_BT_SEARCHING = 98,
    MSG_BT_CONNECTING = 99,
    // SETTING
    MSG_SETTING_SOUND = 100,
    MSG_SETTING_DISPLAY = 101,
    MSG_SETTING_MISC = 102,
    MSG_SETTING_LAYOUT = 103,
    MSG_SETTING_APP = 104,
    MSG_SETTING_DUAL = 105,
    MSG_SETTING_INFO = 106,
    // RADIO
    MSG_RADIO_SAVE_INFO = 107,
    MSG_RADIO_AS_INFO = 108,
    // INTERNET
    MSG_INTERNET_WEB = 109,
    // DISPLAY
    MSG_DISPLAY_DAY = 110,
    MSG_DISPLAY_NIGHT = 111,
    MSG_DISPLAY_MODE = 112,
    MSG_DISPLAY_AUTO = 113,
    MSG_DISPLAY_MANUAL = 114,
};

// Where each entry comes from: section and key of the language file.
struct LANGUAGE_KEY {
    int index;
    const char16_t* section;
    const char16_t* key;
};
#define LANGUAGE_KEY_COUNT 112
extern const LANGUAGE_KEY g_LanguageKeys[LANGUAGE_KEY_COUNT];

// File of a language setting (0 english, 1 roc, 2 prc, 3 japanese), or null.
const char* LanguageFileName(int language);

// Finds `key` in section `section` of language file text: the key's own row in the section's
// own "[name]" block. The value starts after "=" and the blanks after it and runs to the line
// end or ";"; at most 127 characters. Returns false (out emptied) when not found.
bool FindLangEntry(std::u16string_view text, const char16_t* section, const char16_t* key,
                   char16_t (&out)[LANGUAGE_ENTRY_CHARS]);

// The same from a file; a file that cannot be read leaves the entry empty.
void ReadLangEntry(const char16_t* section, const std::string& path, const char16_t* key,
                   char16_t (&out)[LANGUAGE_ENTRY_CHARS]);

// Empties the table and fills every entry from language file text.
void FillLanguageTable(std::u16string_view text, LANGUAGE_TABLE& table);
