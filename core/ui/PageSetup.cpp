#include "core/ui/PageSetup.h"

#include "core/kernel/Kernel.h"
#include "core/ui/MPlayerDlg.h"
#include "library/include/Vantrel.h"

namespace pageui {

bool LoadBackground(KvMultimedia::IKvImage*& slot, const std::u16string& ini,
                    const std::u16string& folder) {
    CKernel* kernel = CKernel::Instance();
    IVantrel* root = kernel ? kernel->m_pRoot : nullptr;
    char16_t name[512] = {};
    // A failed look-up leaves the name empty.
    if (!root || root->GetIniString(ini.c_str(), u"Property", u"Background", name, 512) != RZ_OK ||
        !name[0])
        return false;
    ReleaseAndClear(slot);
    const std::u16string path = folder + u"\\" + name;
    if (root->CreateImage(&slot, path.c_str()) != RZ_OK)
        slot = nullptr;
    return slot != nullptr;
}

bool MakeButton(KvUserInterface::IKvButton*& slot, const std::u16string& ini,
                const char16_t* section, const char16_t* name, const std::u16string& folder,
                uint8_t align) {
    ReleaseAndClear(slot);
    CKernel* kernel = CKernel::Instance();
    IVantrel* root = kernel ? kernel->m_pRoot : nullptr;
    if (!root || root->CreateButton(&slot) != RZ_OK || !slot) {
        slot = nullptr;
        return false;
    }
    slot->LoadLayout(ini.c_str(), section, name, folder.c_str());
    slot->SetTitleAlign(align);
    return true;
}

bool MakeButtons(KvUserInterface::IKvButton** slots, const char16_t* const* names, int count,
                 const std::u16string& ini, const char16_t* section, const std::u16string& folder,
                 uint8_t align) {
    for (int i = 0; i < count; ++i) {
        if (names[i] && !MakeButton(slots[i], ini, section, names[i], folder, align))
            return false;
    }
    return true;
}

void UseMuteButton(CVelkoraAppDlg* page, KvUserInterface::IKvButton* icon) {
    icon->SetFixedFrame(1);
    icon->SetFrame(0);
    page->m_pMuteButton = icon;
}

void ShowMuteState(CVelkoraAppDlg* page, KvUserInterface::IKvButton* icon) {
    if (CKernel* kernel = CKernel::Instance())
        page->m_bMute = kernel->m_bMute.load();
    if (icon)
        icon->SetFrame(page->m_bMute ? 1 : 0);
}

bool VolumeButton(int offset, KvUserInterface::IKvButton* icon, CVelkoraAppDlg* page) {
    if (offset < 0 || offset > 2)
        return false;
    // Vol-Add steps up, Vol-Icon toggles the mute, Vol-Del steps down.
    IMPlayerDlg::StepVolume(1 - offset, icon, page);
    return true;
}

}  // namespace pageui
