#include "core/shell/SeatConflict.h"

#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/AppType.h"
#include "core/ui/VelkoraAppDlg.h"
#include "platform/ui/Ui.h"

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

bool ResolveSeatConflict(CSeatCtrlDlg* s, int c) {
    if (!s)
        return true;
    CKernel* k = CKernel::Instance();
    s->m_iOtherApp = c;
    int v = -1;
    for (int i = 0; i < APPTYPE_COUNT; ++i) {
        if (s->m_Pages[i] && s->m_Pages[i]->IsVisible()) {
            v = i;
            break;
        }
    }
    CVelkoraAppDlg* home = s->Page(APPTYPE_HOMEPAGE);
    auto stopMedia = [s] {
        for (int t : {APPTYPE_MUSIC, APPTYPE_MOVIE}) {
            if (CVelkoraAppDlg* page = s->Page(t))
                page->StopAll();
        }
        s->MonitorStopStatus();
    };

    if (c == APPTYPE_PHONE) {
        if (CVelkoraAppDlg* music = s->Page(APPTYPE_MUSIC))
            music->PauseIfPlaying(true);
        s->m_bOtherInCall = 1;
        if (k)
            k->ToMode(0);
        if (v == APPTYPE_PHONE || v == APPTYPE_RADIO || v == APPTYPE_MUSIC || v == APPTYPE_AUX2)
            s->m_iPending = v << 16;
        if (v == APPTYPE_AUX) {
            if (k && k->FirmwareReady()) {
                WriteLog("CKernel::InputSource: %d", 0);
                k->m_Board.VideoSelectInput(0);
                k->m_iInputSource = 0;
            }
            s->m_iPending = APPTYPE_AUX << 16;
        }
        if (home)
            home->SetLockState(2);
        plat::ui::InvalidateRect(s->Id());
        return true;
    }

    if (c != APPTYPE_KB) {
        if (c == APPTYPE_AUX) {
            stopMedia();
        } else if (s->m_bOtherInCall) {
            if (home)
                home->SetLockState(3);
            plat::ui::InvalidateRect(s->Id());
            s->m_bOtherInCall = 0;
        }
    }

    if (v == APPTYPE_AUDIO_SET && c == APPTYPE_AUDIO_SET) {
        if (CVelkoraAppDlg* sound = s->Page(APPTYPE_AUDIO_SET))
            sound->OnBack();
        plat::ui::InvalidateRect(s->Id());
        return true;
    }

    if (IsSeatConflict(v, c)) {
        if (c == APPTYPE_MUSIC || c == APPTYPE_MOVIE || c == APPTYPE_RADIO)
            stopMedia();
        if (v != APPTYPE_AUX && v != APPTYPE_PHONE) {
            s->m_iPending = v << 16;
            plat::ui::InvalidateRect(s->Id());
        }
        return true;
    }
    plat::ui::InvalidateRect(s->Id());
    return true;
}
