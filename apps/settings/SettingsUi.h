// What the settings pages share in building their screens: buttons and labels from the skin,
// text rows for their list boxes, and the release of what they made.
#pragma once

#include <cstdint>
#include <string>

#include "core/ui/PageSetup.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvImage.h"
#include "library/include/IKvListbox.h"
#include "library/include/IKvText.h"

class IVantrel;

namespace settingsui {

// Size of a list row's record (kind, name, folder, two links), as every list of the program
// hands it to its list boxes.
constexpr int kRowRecordBytes = 1548;

using pageui::ReleaseAndClear;

// A button of the skin file's `section` under `name`, its pictures in `folder`, with the
// title alignment given; null when it cannot be made.
KvUserInterface::IKvButton* MakeButton(IVantrel* root, const std::u16string& iniFile,
                                       const char16_t* section, const char16_t* name,
                                       const std::u16string& folder, uint8_t align);
// The same for `count` buttons at once, `names[i]` into `slots[i]`; false at the first that
// cannot be made.
bool MakeButtons(IVantrel* root, KvUserInterface::IKvButton** slots, const char16_t* const* names,
                 int count, const std::u16string& iniFile, const char16_t* section,
                 const std::u16string& folder, uint8_t align);
// A label in the widget font; null when it cannot be made.
KvUserInterface::IKvText* MakeLabel(IVantrel* root, int x, int y, int w, int h, int size, uint8_t r,
                                    uint8_t g, uint8_t b, uint8_t align);
// A list box laid out from the skin file's `section`; null when it cannot be made.
KvUserInterface::IKvListbox* MakeListbox(IVantrel* root, const std::u16string& iniFile,
                                         const char16_t* section, const std::u16string& folder);
// An image of the library; null when it cannot be loaded.
KvMultimedia::IKvImage* MakeImage(IVantrel* root, const std::u16string& path);

// One text row: a navigation row record carrying `text` as its name.
bool AddTextRow(KvUserInterface::IKvListbox* list, const char16_t* text);

// The button took the pen: its press or release answered RZ_HIT.
inline bool PressHit(KvUserInterface::IKvButton* button, int x, int y) {
    return button && button->OnLButtonDown(x, y) == RZ_HIT;
}
inline bool ReleaseHit(KvUserInterface::IKvButton* button, int x, int y) {
    return button && button->OnLButtonUp(x, y) == RZ_HIT;
}

}  // namespace settingsui
