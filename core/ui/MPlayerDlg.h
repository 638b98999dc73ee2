// The base of the pages with list boxes (music, movie, photo, radio, the settings pages...):
// two list boxes that follow the pen while it is down, and the volume buttons every page has.
#pragma once

#include "core/ui/VelkoraAppDlg.h"

class IMPlayerDlg : public CVelkoraAppDlg {
public:
    IMPlayerDlg();
    ~IMPlayerDlg() override;

    // Drags the visible list boxes while the pen is down on the page.
    void OnMouseMove(int x, int y) override;

    // The volume buttons of `page`: step 0 toggles the mute (and sets the mute button's frame),
    // -1 and +1 move the volume within 0..32 unless muted. Each change is announced to the
    // main window with WM_VOLUME_CHANGED.
    static void StepVolume(int step, KvUserInterface::IKvButton* muteButton, CVelkoraAppDlg* page);

    KvUserInterface::IKvListbox* m_pListbox[2] = {nullptr, nullptr};
};
