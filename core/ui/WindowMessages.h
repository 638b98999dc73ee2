// Messages to the main dialog. Senders use a blocking send; the handlers answer 0 unless their
// description says otherwise. The Skype connector's messages (WM_USER+110 to +113 and +500)
// are in core/SkypeClient.h.
#pragma once

#include <cstdint>

#include "platform/ui/Ui.h"

enum : uint32_t {
    // wParam seat 0/1; lParam (param << 16) | APPTYPE, param as a rule the APPTYPE to return to.
    WM_SWITCH_APP = plat::ui::kWmUser + 101,
    WM_STOP_MOVIE = plat::ui::kWmUser + 102,   // wParam seat
    WM_STOP_MUSIC = plat::ui::kWmUser + 103,   // wParam seat
    WM_STOP_MEDIA = plat::ui::kWmUser + 104,   // wParam seat
    WM_PAUSE_MEDIA = plat::ui::kWmUser + 105,  // wParam seat
    // wParam seat; lParam (param << 16) | code.
    WM_SEAT_ACTION = plat::ui::kWmUser + 106,
    // wParam 0 level changed, 255 muted, 254 unmuted.
    WM_VOLUME_CHANGED = plat::ui::kWmUser + 107,
    WM_RELOAD_HOMEPAGE = plat::ui::kWmUser + 108,
    WM_APPLY_LOCKS = plat::ui::kWmUser + 109,
    // wParam 0 show, 1 hide.
    WM_SHOW_REAR_BACKDROP = plat::ui::kWmUser + 114,
    // lParam the key command.
    WM_KEY_COMMAND = plat::ui::kWmUser + 115,
};

// The volume notification's wParam.
#define VOLUME_CHANGED_LEVEL 0
#define VOLUME_CHANGED_UNMUTED 254
#define VOLUME_CHANGED_MUTED 255
