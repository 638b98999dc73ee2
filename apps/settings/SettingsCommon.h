// What the settings pages share in building their screens: their skinned widgets and text rows,
// and what a page without a skin does (the rear seat's instances of the front-only pages, or a
// skin that failed to load): it draws a plain background and a tap returns the seat to its
// homepage, touching no widget it does not have.
#pragma once

#include <cstdint>
#include <string>

#include "core/ui/PageSetup.h"
#include "core/ui/VelkoraAppDlg.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvImage.h"
#include "library/include/IKvListbox.h"
#include "library/include/IKvText.h"

namespace plat {
class Canvas;
}

namespace settings {

// The colour a page without a skin fills its screen with.
constexpr uint32_t kNoSkinBackground = 0xFF141A22;

// Size of a list row's record (kind, name, folder, two links), as every list of the program
// hands it to its list boxes.
constexpr int kRowRecordBytes = 1548;

using pageui::ReleaseAndClear;

// `count` buttons at once, `names[i]` into `slots[i]`, each as pageui::NewButton makes it; false
// at the first that cannot be made.
bool NewButtons(KvUserInterface::IKvButton** slots, const char16_t* const* names, int count,
                const std::u16string& ini, const char16_t* section, const std::u16string& folder,
                uint8_t align);
// A new label in `slot` (the one it held is given back first), as pageui::NewText makes it.
bool MakeText(KvUserInterface::IKvText*& slot, int x, int y, int w, int h, int size, uint8_t r,
              uint8_t g, uint8_t b);

// One text row: a navigation row record carrying `text` as its name.
bool AddTextRow(KvUserInterface::IKvListbox* list, const char16_t* text);

// The button took the pen: its press or release answered RZ_HIT.
inline bool PressHit(KvUserInterface::IKvButton* button, int x, int y) {
    return button && button->OnLButtonDown(x, y) == RZ_HIT;
}
inline bool ReleaseHit(KvUserInterface::IKvButton* button, int x, int y) {
    return button && button->OnLButtonUp(x, y) == RZ_HIT;
}

// The first field of `key` in `section` of `ini` as a number; `fallback` when absent.
int IniInt(const std::u16string& ini, const char16_t* section, const char16_t* key, int fallback);
// Fields 1..4 of `key` (x, y, width, height); false when the key is absent.
bool IniRect(const std::u16string& ini, const char16_t* section, const char16_t* key, int* x,
             int* y, int* w, int* h);

// The page without a skin: a plain screen, and a tap (pen up) sends the seat home.
void RenderWithoutSkin(CVelkoraAppDlg* page, plat::Canvas* hdc);
void TapWithoutSkin(CVelkoraAppDlg* page);

// The language table's text `index`, or an empty text without a kernel.
const char16_t* LanguageText(int index);

// Milliseconds on the program's clock, for the skin load's log line.
uint64_t NowMs();

}  // namespace settings
