#include "core/SeatConflict.h"

// clang-format off
const int g_iSeatConflict[SEAT_CONFLICT_TYPES][SEAT_CONFLICT_TYPES] = {
    //         0  1  2  3  4  5  6  7  8  9 10 11 12   (asked on the other seat)
    /*  0 */ { 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2 },  // HOMEPAGE
    /*  1 */ { 2, 0, 0, 2, 0, 1, 1, 0, 2, 2, 0, 0, 1 },  // MUSIC
    /*  2 */ { 2, 0, 0, 2, 0, 1, 1, 2, 2, 2, 0, 0, 1 },  // MOVIE
    /*  3 */ { 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 2, 2 },  // PHOTO
    /*  4 */ { 2, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0, 0, 1 },  // RADIO
    /*  5 */ { 2, 1, 1, 2, 1, 2, 1, 1, 2, 2, 0, 1, 1 },  // NAVIGATION
    /*  6 */ { 2, 1, 1, 2, 0, 1, 0, 1, 2, 2, 0, 1, 1 },  // TV
    /*  7 */ { 2, 0, 2, 2, 0, 1, 1, 0, 2, 2, 0, 0, 1 },  // PHONE
    /*  8 */ { 2, 2, 2, 2, 2, 2, 2, 2, 2, 0, 2, 2, 2 },  // SETTINGS
    /*  9 */ { 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2 },  // WINDOWS
    /* 10 */ { 2, 0, 0, 1, 0, 0, 0, 0, 2, 2, 0, 0, 1 },  // AUX
    /* 11 */ { 2, 0, 0, 2, 0, 1, 1, 0, 2, 2, 0, 0, 1 },  // AUX2
    /* 12 */ { 2, 1, 1, 2, 1, 1, 1, 1, 2, 2, 1, 1, 1 },  // BROWSER
};
// clang-format on

bool IsSeatConflict(int shownType, int askedType) {
    if (shownType < 0 || shownType >= SEAT_CONFLICT_TYPES || askedType < 0 ||
        askedType >= SEAT_CONFLICT_TYPES)
        return false;
    return g_iSeatConflict[shownType][askedType] == 0;
}
