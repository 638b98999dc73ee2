// The text label: one string drawn in a rectangle in one font and colour.
#pragma once

#include "library/include/KvTypes.h"

namespace plat {
class Canvas;
}

namespace KvUserInterface {

// Alignment flags of SetAlign (the label turns them into text format flags).
enum : uint8_t {
    KVTEXT_ALIGN_LEFT = 0x01,
    KVTEXT_ALIGN_CENTER = 0x02,
    KVTEXT_ALIGN_VCENTER = 0x04,
    KVTEXT_ALIGN_RIGHT = 0x08,
    KVTEXT_ALIGN_BOTTOM = 0x10,
    KVTEXT_ALIGN_SINGLELINE = 0x20,
};

class IKvText {
public:
    // Font of the widget recipe (2 x size high, size wide, heavy "Times New Roman"), colour
    // RGB(r, g, b).
    virtual RZRESULT SetFont(int size, uint8_t r, uint8_t g, uint8_t b) = 0;
    virtual RZRESULT SetRect(int x, int y, int w, int h) = 0;
    virtual RZRESULT SetPos(int x, int y) = 0;
    // Copies the text (a pointer into the current text is fine). RZ_NONE for null, which
    // leaves the label without text.
    virtual RZRESULT SetText(const char16_t* text) = 0;
    // The label's own copy, valid until the next SetText; RZ_NONE without text.
    virtual RZRESULT GetText(char16_t** out) = 0;
    virtual RZRESULT Show(uint8_t visible) = 0;
    virtual RZRESULT SetAlign(uint8_t flags) = 0;
    // Keys "Show", "Position", "Font Size" and "Font Color" of the section.
    virtual RZRESULT LoadLayout(const char16_t* iniFile, const char16_t* section) = 0;
    // 1 or 0, not a result code.
    virtual RZRESULT IsVisible() = 0;
    virtual RZRESULT Draw(plat::Canvas* hdc) = 0;
    virtual RZRESULT Invalidate() = 0;
    virtual RZRESULT IsDirty(uint8_t* out) = 0;
    virtual RZRESULT AddRef() = 0;
    virtual RZRESULT Release() = 0;

protected:
    ~IKvText() = default;
};

}  // namespace KvUserInterface
