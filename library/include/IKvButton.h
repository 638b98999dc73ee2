// The skinned push button: one image strip of four frames, an optional caption label.
#pragma once

#include "library/include/KvTypes.h"

namespace plat {
class Canvas;
struct Rect;
}  // namespace plat

namespace KvUserInterface {

// Button states; each is also the number of its frame in the image strip.
enum : uint8_t {
    BUTTON_NORMAL = 0,
    BUTTON_HIGHLIGHTED = 1,
    BUTTON_PRESSED = 2,
    BUTTON_DISABLED = 3,
};

class IKvButton {
public:
    // Keeps a reference to the image (null allowed).
    virtual RZRESULT SetImage(KvMultimedia::IKvImage* image) = 0;
    virtual RZRESULT SetRect(int x, int y, int w, int h) = 0;
    virtual RZRESULT SetPos(int x, int y) = 0;
    virtual RZRESULT GetRect(plat::Rect* out) = 0;
    virtual RZRESULT GetBounds(int* x, int* y, int* w, int* h) = 0;
    virtual RZRESULT Show(uint8_t visible) = 0;
    virtual RZRESULT SetNormal() = 0;
    virtual RZRESULT SetPressed() = 0;
    virtual RZRESULT SetHighlighted() = 0;
    virtual RZRESULT Disable() = 0;
    virtual RZRESULT GetState(uint8_t* out) = 0;
    virtual RZRESULT SetTitle(const char16_t* text) = 0;
    virtual RZRESULT SetTitleAlign(uint8_t flags) = 0;
    // 1 or 0, not a result code.
    virtual RZRESULT IsVisible() = 0;
    // Keys "<name> Title", "<name> Pos" and "<name> Img" (the file in imageDir).
    virtual RZRESULT LoadLayout(const char16_t* iniFile, const char16_t* section,
                                const char16_t* name, const char16_t* imageDir) = 0;
    // RZ_HIT or RZ_MISS; hidden and disabled buttons always miss.
    virtual RZRESULT OnLButtonUp(int x, int y) = 0;
    virtual RZRESULT OnLButtonDown(int x, int y) = 0;
    virtual RZRESULT HitTest(int x, int y) = 0;
    // The chosen frame scaled into the rectangle, then the caption.
    virtual RZRESULT DrawTo(plat::Canvas* hdc, int left, int top, int right, int bottom) = 0;
    // The chosen frame at the button's place moved by (dx, dy), then the caption (not moved).
    virtual RZRESULT Draw(plat::Canvas* hdc, int dx, int dy) = 0;
    virtual RZRESULT SetFixedFrame(uint8_t fixed) = 0;
    // The fixed-frame byte as the result.
    virtual RZRESULT GetFixedFrame() = 0;
    virtual RZRESULT SetFrame(uint8_t frame) = 0;
    virtual RZRESULT Invalidate() = 0;
    virtual RZRESULT IsDirty(uint8_t* out) = 0;
    virtual RZRESULT AddRef() = 0;
    virtual RZRESULT Release() = 0;

protected:
    ~IKvButton() = default;
};

}  // namespace KvUserInterface
