// What the pages with a skin folder of their own share in setting themselves up: the background
// their skin file names, their buttons, labels and list boxes, the mute button beside the volume
// number, and the three volume buttons (Vol-Add, Vol-Icon, Vol-Del, always in that order among a
// page's buttons).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "library/include/IKvButton.h"
#include "library/include/IKvImage.h"
#include "library/include/IKvListbox.h"
#include "library/include/IKvText.h"

class CVelkoraAppDlg;

namespace pageui {

// What `p` holds given back, and `p` emptied.
template <typename T>
void ReleaseAndClear(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}
// The same for every slot of an array (or an array of arrays), in order.
template <typename T, size_t N>
void ReleaseAndClear(T (&slots)[N]) {
    for (T& slot : slots)
        ReleaseAndClear(slot);
}

// The picture that `Background` of the section `Property` of `ini` names, loaded from `folder`
// into `slot` (the one it held is given back). False when the skin names none (`slot` is then
// left as it was) or when the picture cannot be loaded (`slot` is then empty).
bool LoadBackground(KvMultimedia::IKvImage*& slot, const std::u16string& ini,
                    const std::u16string& folder);

// A new button laid out from `section` of `ini` under `name` with its pictures in `folder`, its
// caption aligned by `align`; false, with `slot` empty, when the library cannot make one. The
// button that `slot` held is given back first.
bool MakeButton(KvUserInterface::IKvButton*& slot, const std::u16string& ini,
                const char16_t* section, const char16_t* name, const std::u16string& folder,
                uint8_t align);
// The same for `count` buttons at once, `names[i]` into `slots[i]` (a null name leaves its slot
// alone); false at the first that cannot be made.
bool MakeButtons(KvUserInterface::IKvButton** slots, const char16_t* const* names, int count,
                 const std::u16string& ini, const char16_t* section, const std::u16string& folder,
                 uint8_t align);

// A new button as MakeButton lays it out, for pages that take a skin without the button as a
// failed one: null when the library cannot make it or the skin has no such button.
KvUserInterface::IKvButton* NewButton(const std::u16string& ini, const char16_t* section,
                                      const char16_t* name, const std::u16string& folder,
                                      uint8_t align);

// A new label at (x, y, w, h) in font `size` and colour (r, g, b), aligned by `align`
// (KVTEXT_ALIGN_*; 0 is the label's own top-left); null when the library cannot make one.
KvUserInterface::IKvText* NewText(int x, int y, int w, int h, int size, uint8_t r, uint8_t g,
                                  uint8_t b, uint8_t align = 0);

// A new list box laid out from `section` of `ini` with its pictures in `folder`; null when the
// library cannot make one or the skin has no such section.
KvUserInterface::IKvListbox* NewListbox(const std::u16string& ini, const char16_t* section,
                                        const std::u16string& folder);

// Makes `icon` the page's mute button: two frames (sound on, muted), showing the first.
void UseMuteButton(CVelkoraAppDlg* page, KvUserInterface::IKvButton* icon);

// The kernel's mute state into the page, and into the mute button's frame when there is one.
void ShowMuteState(CVelkoraAppDlg* page, KvUserInterface::IKvButton* icon);

// A tap on one of the volume buttons, `offset` places after the page's Vol-Add: up, mute,
// down. False, and nothing done, for any other button.
bool VolumeButton(int offset, KvUserInterface::IKvButton* icon, CVelkoraAppDlg* page);

}  // namespace pageui
