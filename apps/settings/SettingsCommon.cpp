#include "apps/settings/SettingsCommon.h"

#include "core/kernel/Kernel.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Clock.h"

namespace settings {

namespace {

IVantrel* Root() {
    CKernel* kernel = CKernel::Instance();
    return kernel ? kernel->m_pRoot : nullptr;
}

}  // namespace

using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;
using KvUserInterface::IKvText;

bool NewButtons(IKvButton** slots, const char16_t* const* names, int count,
                const std::u16string& ini, const char16_t* section, const std::u16string& folder,
                uint8_t align) {
    for (int i = 0; i < count; ++i) {
        slots[i] = pageui::NewButton(ini, section, names[i], folder, align);
        if (!slots[i])
            return false;
    }
    return true;
}

bool MakeText(IKvText*& slot, int x, int y, int w, int h, int size, uint8_t r, uint8_t g,
              uint8_t b) {
    ReleaseAndClear(slot);
    slot = pageui::NewText(x, y, w, h, size, r, g, b);
    return slot != nullptr;
}

bool AddTextRow(IKvListbox* list, const char16_t* text) {
    if (!list || !text)
        return false;
    // kind 0 (a navigation row), then the name as UTF-16LE from byte 2, at most 255 characters
    // and its terminator.
    uint8_t record[kRowRecordBytes] = {};
    for (size_t i = 0; i < 255 && text[i]; ++i) {
        record[2 + 2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        record[3 + 2 * i] = static_cast<uint8_t>(text[i] >> 8);
    }
    return list->AddItem(text, record, kRowRecordBytes, nullptr) == RZ_OK;
}

int IniInt(const std::u16string& ini, const char16_t* section, const char16_t* key, int fallback) {
    IVantrel* root = Root();
    char16_t line[512] = {};
    if (!root || root->GetIniString(ini.c_str(), section, key, line, 512) != RZ_OK || !line[0])
        return fallback;
    int value = fallback;
    if (root->GetFieldInt(line, 1, &value) != RZ_OK)
        return fallback;
    return value;
}

bool IniRect(const std::u16string& ini, const char16_t* section, const char16_t* key, int* x,
             int* y, int* w, int* h) {
    IVantrel* root = Root();
    char16_t line[512] = {};
    if (!root || root->GetIniString(ini.c_str(), section, key, line, 512) != RZ_OK || !line[0])
        return false;
    int* out[4] = {x, y, w, h};
    for (int i = 0; i < 4; ++i) {
        *out[i] = 0;
        root->GetFieldInt(line, i + 1, out[i]);
    }
    return true;
}

void RenderWithoutSkin(CVelkoraAppDlg* page, plat::Canvas* hdc) {
    if (!hdc)
        return;
    (void)page;
    hdc->FillRect(plat::Rect{0, 0, hdc->Width(), hdc->Height()}, kNoSkinBackground);
}

void TapWithoutSkin(CVelkoraAppDlg* page) {
    plat::ui::SendMessage(page->m_hMainWnd, WM_SWITCH_APP, page->m_bySeat, APPTYPE_HOMEPAGE);
    page->InvalidateOwner();
}

const char16_t* LanguageText(int index) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || index < 0 || index >= LANGUAGE_ENTRIES)
        return u"";
    return kernel->m_Language[index];
}

uint64_t NowMs() {
    return plat::GetClock().TickMs();
}

}  // namespace settings
