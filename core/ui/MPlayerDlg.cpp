#include "core/ui/MPlayerDlg.h"

#include "core/kernel/Kernel.h"
#include "core/kernel/SysSettings.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"

IMPlayerDlg::IMPlayerDlg() = default;

IMPlayerDlg::~IMPlayerDlg() {
    for (auto*& listbox : m_pListbox) {
        if (listbox) {
            listbox->Release();
            listbox = nullptr;
        }
    }
}

void IMPlayerDlg::OnMouseMove(int x, int y) {
    if (m_bPenDown != 1)
        return;
    for (auto* listbox : m_pListbox) {
        if (listbox && listbox->IsVisible()) {
            uint8_t action = 0;
            listbox->OnMouseMove(x, y, &action);
        }
    }
    InvalidateOwner();
}

void IMPlayerDlg::StepVolume(int step, KvUserInterface::IKvButton* muteButton,
                             CVelkoraAppDlg* page) {
    CKernel* kernel = CKernel::Instance();
    if (!page || !kernel)
        return;
    switch (step) {
        case 0: {
            page->m_bMute = page->m_bMute ? 0 : 1;
            const bool muted = page->m_bMute != 0;
            if (kernel->FirmwareReady()) {
                kernel->m_bMute = page->m_bMute;
                kernel->m_Board.AudioMute(muted);
            }
            if (muteButton)
                muteButton->SetFrame(muted ? 1 : 0);
            kernel->m_bMute = page->m_bMute;
            plat::ui::SendMessage(page->m_hMainWnd, WM_VOLUME_CHANGED,
                                  muted ? VOLUME_CHANGED_MUTED : VOLUME_CHANGED_UNMUTED, 0);
            break;
        }
        case -1:
            if (page->m_bMute)
                return;
            // A volume below the scale (not yet read from the kernel) counts as its bottom.
            if (page->m_iVolume <= 0) {
                page->m_iVolume = 0;
                return;
            }
            kernel->SetVolume(page->m_iVolume - 1);
            plat::ui::SendMessage(page->m_hMainWnd, WM_VOLUME_CHANGED, VOLUME_CHANGED_LEVEL, 0);
            break;
        case 1:
            if (page->m_bMute)
                return;
            if (page->m_iVolume >= SYS_VOLUME_MAX) {
                page->m_iVolume = SYS_VOLUME_MAX;
                return;
            }
            kernel->SetVolume(page->m_iVolume + 1);
            plat::ui::SendMessage(page->m_hMainWnd, WM_VOLUME_CHANGED, VOLUME_CHANGED_LEVEL, 0);
            break;
        default:
            break;
    }
}
