// The page registry: the thirteen page kinds that the main dialog builds through the factory by
// kind number, and the pages it makes by their own constructors (homepage, settings menu, light
// settings, about, clock), found by their type. Both read one table of makers, filled from the
// program's list of built pages (core/shell/Pages.cpp) before the first use: a page is built
// into the program by one line there.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

#include "core/ui/VelkoraAppDlg.h"

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
// The kind of a page that the main dialog makes by its own constructor.
#define APPKIND_OWN (-1)

// Makes one page; null when it cannot be made.
typedef std::unique_ptr<CVelkoraAppDlg> (*PFN_CREATE_APPLICATION)();

// The usual maker: a new T, or null when memory runs out.
template <typename T>
std::unique_ptr<CVelkoraAppDlg> NewApplicationDlg() {
    return std::unique_ptr<CVelkoraAppDlg>(new (std::nothrow) T());
}

// One line of the list of built pages: a factory kind (appType unused), or APPKIND_OWN and the
// type of a page the main dialog makes itself.
struct PAGE_MAKER {
    int kind;
    int appType;
    PFN_CREATE_APPLICATION create;
};

// The pages built into the program, in core/shell/Pages.cpp.
extern const PAGE_MAKER g_BuiltPages[];
extern const size_t g_nBuiltPages;

// A new page of the kind: false for a kind outside 0..12, a kind with no maker, or a page that
// cannot be made; `out` is then left empty.
bool CreateApplicationDlg(std::unique_ptr<CVelkoraAppDlg>& out, int kind);

// Sets the maker of a kind (null takes it away); false for a kind outside 0..12.
bool RegisterApplicationDlg(int kind, PFN_CREATE_APPLICATION create);

// The maker of a kind now (null: none, or a kind outside 0..12).
PFN_CREATE_APPLICATION ApplicationDlgMaker(int kind);

// The same three for the pages the main dialog makes itself, by their type (APPTYPE_*).
bool CreateOwnPageDlg(std::unique_ptr<CVelkoraAppDlg>& out, int appType);
bool RegisterOwnPageDlg(int appType, PFN_CREATE_APPLICATION create);
PFN_CREATE_APPLICATION OwnPageDlgMaker(int appType);
