// A picture loaded once from a file and drawn many times.
#pragma once

#include "library/include/KvTypes.h"

// The drawing context every widget draws into (platform/gfx/Canvas.h): an abstract class, so a
// canvas made by the program is drawn on safely by the library and the other way round.
namespace plat {
class Canvas;
}

namespace KvMultimedia {

class IKvImage {
public:
    virtual RZRESULT Reserved(uint32_t unused) = 0;
    virtual RZRESULT IsLoaded(int* out) = 0;
    // RZ_FAIL (outputs untouched) without a picture.
    virtual RZRESULT GetSize(uint32_t* width, uint32_t* height) = 0;
    // A quarter turn clockwise in memory; width and height swap.
    virtual RZRESULT Rotate90() = 0;
    // ".bmp" writes a BMP, ".jpg" or ".jpeg" a JPEG at quality 100 (the extension is the text
    // after the last '.' of the whole path, in any case). RZ_FAIL when nothing was written.
    virtual RZRESULT Save(const char16_t* path) = 0;
    // Source rectangle (image pixels) into destination rectangle (canvas pixels), scaled as
    // needed; edges are left, top, right, bottom.
    virtual RZRESULT DrawPart(plat::Canvas* hdc, int dl, int dt, int dr, int db, int sl, int st,
                              int sr, int sb) = 0;
    // w or h 0: the whole image at its natural size at (x, y); otherwise stretched into x, y,
    // w, h.
    virtual RZRESULT Draw(plat::Canvas* hdc, int x, int y, int w, int h) = 0;
    virtual RZRESULT AddRef() = 0;
    virtual RZRESULT Release() = 0;

protected:
    ~IKvImage() = default;
};

}  // namespace KvMultimedia
