#include "core/ui/PageSetup.h"

#include "core/kernel/Kernel.h"
#include "core/ui/MPlayerDlg.h"
#include "library/include/Vantrel.h"

namespace pageui {

namespace {

IVantrel* Root() {
    CKernel* kernel = CKernel::Instance();
    return kernel ? kernel->m_pRoot : nullptr;
}

}  // namespace

bool LoadBackground(KvMultimedia::IKvImage*& slot, const std::u16string& ini,
                    const std::u16string& folder) {
    IVantrel* root = Root();
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
    IVantrel* root = Root();
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

KvUserInterface::IKvButton* NewButton(const std::u16string& ini, const char16_t* section,
                                      const char16_t* name, const std::u16string& folder,
                                      uint8_t align) {
    KvUserInterface::IKvButton* button = nullptr;
    IVantrel* root = Root();
    if (!root || root->CreateButton(&button) != RZ_OK || !button)
        return nullptr;
    if (button->LoadLayout(ini.c_str(), section, name, folder.c_str()) != RZ_OK) {
        button->Release();
        return nullptr;
    }
    button->SetTitleAlign(align);
    return button;
}

KvUserInterface::IKvText* NewText(int x, int y, int w, int h, int size, uint8_t r, uint8_t g,
                                  uint8_t b, uint8_t align) {
    KvUserInterface::IKvText* text = nullptr;
    IVantrel* root = Root();
    if (!root || root->CreateText(&text) != RZ_OK || !text)
        return nullptr;
    text->SetRect(x, y, w, h);
    text->SetFont(size, r, g, b);
    text->SetAlign(align);
    return text;
}

KvUserInterface::IKvListbox* NewListbox(const std::u16string& ini, const char16_t* section,
                                        const std::u16string& folder) {
    KvUserInterface::IKvListbox* list = nullptr;
    IVantrel* root = Root();
    if (!root || root->CreateListbox(&list) != RZ_OK || !list)
        return nullptr;
    if (list->LoadLayout(ini.c_str(), section, folder.c_str()) != RZ_OK) {
        list->Release();
        return nullptr;
    }
    return list;
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
