// The dual-seat rules: whether what one seat shows can stay while the other seat asks for an
// application. Both are application types 0..12 (HOMEPAGE .. BROWSER); outside that range
// nothing conflicts.
#pragma once

#define SEAT_CONFLICT_TYPES 13

// Row: the type shown on the seat being checked; column: the type the other seat asks for.
// 0 conflict; 1 and 2 no conflict (the two mean the same).
extern const int g_iSeatConflict[SEAT_CONFLICT_TYPES][SEAT_CONFLICT_TYPES];

// True when the table gives a conflict for the pair; false for types outside 0..12.
bool IsSeatConflict(int shownType, int askedType);

class CSeatCtrlDlg;

// The other seat asked for `askedType`: what this seat must give up for it. A call on the
// other seat pauses this seat's music and sends its media, radio and AUX pages home; a
// conflict in the table stops this seat's media for a media request and sends it home unless
// it shows AUX or the phone; both seats on the sound page send this one back. Returns true.
bool ResolveSeatConflict(CSeatCtrlDlg* seat, int askedType);
