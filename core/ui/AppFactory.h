// The page factory: the thirteen page kinds that the main dialog builds by kind number. A
// kind answers false until its page is built: each page adds its registration line to
// RegisterBuiltApplications in AppFactory.cpp, which the factory runs before its first use.
#pragma once

#include <memory>
#include <new>

#include "core/VelkoraAppDlg.h"

enum APPKIND {
    APPKIND_MUSIC = 0,              // CMPDefaultDlg, APPTYPE_MUSIC
    APPKIND_MOVIE = 1,              // CMoviePlayDlg, APPTYPE_MOVIE
    APPKIND_PHOTO = 2,              // CPhotoDlg, APPTYPE_PHOTO
    APPKIND_SOUND_EFFECT = 3,       // CSoundEffect, APPTYPE_AUDIO_SET
    APPKIND_RADIO = 4,              // CRadioDlg, APPTYPE_RADIO
    APPKIND_DISPLAY = 5,            // CDisplayDlg, APPTYPE_DISPLAY_SET and APPTYPE_DISPLAY_MANU
    APPKIND_SYSTEM_SET = 6,         // CSystemSetDlg, APPTYPE_SYSTEM_SET
    APPKIND_APPLICATION_SET = 7,    // CApplicationSetDlg, APPTYPE_APPLICATION_SET
    APPKIND_PHONE = 8,              // CPhone, APPTYPE_PHONE
    APPKIND_AUX = 9,                // CAUXDlg, APPTYPE_AUX and APPTYPE_AUX2
    APPKIND_KB = 10,                // CKBDlg, APPTYPE_KB
    APPKIND_DUAL_SET = 11,          // CDualSetDlg, APPTYPE_DUAL_SET
    APPKIND_INTERNET_SERVICE = 12,  // CInternetServiceDlg, APPTYPE_INTERNET_SERVICE
};
#define APPKIND_COUNT 13

// Makes one page of a kind; null when it cannot be made.
typedef std::unique_ptr<CVelkoraAppDlg> (*PFN_CREATE_APPLICATION)();

// The usual maker: a new T, or null when memory runs out.
template <typename T>
std::unique_ptr<CVelkoraAppDlg> NewApplicationDlg() {
    return std::unique_ptr<CVelkoraAppDlg>(new (std::nothrow) T());
}

// A new page of the kind: false for a kind outside 0..12, a kind not built yet, or a page that
// cannot be made; `out` is then left empty.
bool CreateApplicationDlg(std::unique_ptr<CVelkoraAppDlg>& out, int kind);

// Sets the maker of a kind (null takes it away); false for a kind outside 0..12.
bool RegisterApplicationDlg(int kind, PFN_CREATE_APPLICATION create);
