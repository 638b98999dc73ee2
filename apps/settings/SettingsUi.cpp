#include "apps/settings/SettingsUi.h"

#include <cstring>
#include <vector>

#include "library/include/Vantrel.h"

namespace settingsui {

using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;
using KvUserInterface::IKvText;

IKvButton* MakeButton(IVantrel* root, const std::u16string& iniFile, const char16_t* section,
                      const char16_t* name, const std::u16string& folder, uint8_t align) {
    IKvButton* button = nullptr;
    if (!root || root->CreateButton(&button) != RZ_OK || !button)
        return nullptr;
    if (button->LoadLayout(iniFile.c_str(), section, name, folder.c_str()) != RZ_OK) {
        button->Release();
        return nullptr;
    }
    button->SetTitleAlign(align);
    return button;
}

bool MakeButtons(IVantrel* root, IKvButton** slots, const char16_t* const* names, int count,
                 const std::u16string& iniFile, const char16_t* section,
                 const std::u16string& folder, uint8_t align) {
    for (int i = 0; i < count; ++i) {
        slots[i] = MakeButton(root, iniFile, section, names[i], folder, align);
        if (!slots[i])
            return false;
    }
    return true;
}

IKvText* MakeLabel(IVantrel* root, int x, int y, int w, int h, int size, uint8_t r, uint8_t g,
                   uint8_t b, uint8_t align) {
    IKvText* text = nullptr;
    if (!root || root->CreateText(&text) != RZ_OK || !text)
        return nullptr;
    text->SetRect(x, y, w, h);
    text->SetFont(size, r, g, b);
    text->SetAlign(align);
    return text;
}

IKvListbox* MakeListbox(IVantrel* root, const std::u16string& iniFile, const char16_t* section,
                        const std::u16string& folder) {
    IKvListbox* list = nullptr;
    if (!root || root->CreateListbox(&list) != RZ_OK || !list)
        return nullptr;
    if (list->LoadLayout(iniFile.c_str(), section, folder.c_str()) != RZ_OK) {
        list->Release();
        return nullptr;
    }
    return list;
}

KvMultimedia::IKvImage* MakeImage(IVantrel* root, const std::u16string& path) {
    KvMultimedia::IKvImage* image = nullptr;
    // Only a picture whose file was read is handed out; it is decoded when first drawn.
    if (!root || root->CreateImage(&image, path.c_str()) != RZ_OK || !image)
        return nullptr;
    return image;
}

bool AddTextRow(IKvListbox* list, const char16_t* text) {
    if (!list || !text)
        return false;
    // kind (16 bits, 0: a navigation row), then the name of 256 wide characters.
    std::vector<uint8_t> row(kRowRecordBytes, 0);
    size_t n = 0;
    while (n < 255 && text[n])
        ++n;
    std::memcpy(row.data() + 2, text, n * sizeof(char16_t));
    return list->AddItem(text, row.data(), kRowRecordBytes, nullptr) == RZ_OK;
}

}  // namespace settingsui
