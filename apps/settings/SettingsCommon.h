// What the settings menu, AUX, system and dual-seat pages share: making their skinned widgets,
// giving them back, and what a page without a skin does (the rear seat's instances of the
// front-only pages, or a skin that failed to load): it draws a plain background and a tap
// returns the seat to its homepage, touching no widget it does not have.
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

using pageui::MakeButton;
using pageui::ReleaseAndClear;

// A new text label at (x, y, w, h) in font `size` and colour (r, g, b); `slot` released first.
bool MakeText(KvUserInterface::IKvText*& slot, int x, int y, int w, int h, int size, uint8_t r,
              uint8_t g, uint8_t b);

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

namespace settings {

// The list rows the settings pages add: the media lists' 1548-byte row record (kind, name,
// folder, two links), zeroed, with only the name set; the list box shows the text given beside
// it. (The media pages' own record type lives with them, out of these pages' reach.)
#define SETTINGS_ROW_RECORD_SIZE 1548
#define SETTINGS_ROW_NAME_CHARS 256
bool AddTextRow(KvUserInterface::IKvListbox* list, const char16_t* text);

}  // namespace settings
