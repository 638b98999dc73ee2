// The application types: the key of the seats' page tables, the homepage layout, the lock
// table, saved state and switch messages. Their ini names are g_szAppTypeNames (CfgData.h).
#pragma once

#include <cstdint>

enum APPTYPE : uint8_t {
    APPTYPE_HOMEPAGE = 0,
    APPTYPE_MUSIC = 1,
    APPTYPE_MOVIE = 2,
    APPTYPE_PHOTO = 3,
    APPTYPE_RADIO = 4,
    APPTYPE_NAVIGATION = 5,
    APPTYPE_TV = 6,
    APPTYPE_PHONE = 7,
    APPTYPE_SETTINGS = 8,
    APPTYPE_WINDOWS = 9,
    APPTYPE_AUX = 10,
    APPTYPE_AUX2 = 11,
    APPTYPE_BROWSER = 12,
    APPTYPE_INTERNET_SERVICE = 13,
    APPTYPE_BACKLIGHT = 14,
    APPTYPE_APP_1 = 15,
    APPTYPE_SKYPE = 16,
    APPTYPE_BLUETOOTH = 17,
    APPTYPE_TPMS = 18,
    APPTYPE_EXPLORER = 19,
    APPTYPE_AUDIO_SET = 20,
    APPTYPE_DISPLAY_SET = 21,
    APPTYPE_DATE_TIME_SET = 22,
    APPTYPE_LANGUAGE_SET = 23,
    APPTYPE_SKIN_SET = 24,
    APPTYPE_POWER_MODULE = 25,
    APPTYPE_HOMEPAGE_SET = 26,
    APPTYPE_CALIBRATION = 27,
    APPTYPE_SYSTEM_SET = 28,
    APPTYPE_APPLICATION_SET = 29,
    APPTYPE_KB = 30,
    APPTYPE_ABOUT = 31,
    APPTYPE_DUAL_SET = 32,
    APPTYPE_DATETIME = 33,
    APPTYPE_LIGHT_SETTINGS = 34,
    APPTYPE_DISPLAY_MANU = 35,
};

#define APPTYPE_COUNT 36
// Characters of a name in the table of application type names.
#define APPTYPE_NAME_CHARS 64
// "No page" in the byte fields that hold an application type.
#define APPTYPE_NONE 255
