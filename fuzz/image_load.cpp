// Picture decoding of arbitrary bytes, then the picture used as pages use one; and the size
// read from the header alone, which must never promise more than the limits allow.
#include <cstdint>

#include "fuzz/FuzzCheck.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/ImageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int width = 0;
    int height = 0;
    if (plat::ReadImageDataSize(data, size, width, height))
        fuzz::Check(width > 0 && height > 0 && int64_t(width) * height <= plat::kMaxImagePixels);
    plat::Surface picture;
    if (!plat::LoadImageData(data, size, picture))
        return 0;
    // Stretched into a thumbnail, a frame cut out at its natural size, turned.
    plat::Surface target(64, 48);
    if (auto canvas = plat::MakeCanvas(target)) {
        canvas->DrawImage(picture, picture.Bounds(), plat::Rect{0, 0, 64, 48});
        canvas->DrawImage(picture, plat::Rect{0, 0, picture.Width() / 4, picture.Height()},
                          plat::Rect{10, 10, 10 + picture.Width() / 4, 10 + picture.Height()});
    }
    if (picture.Width() * int64_t(picture.Height()) <= 1 << 20)
        picture = plat::RotateClockwise90(picture);
    return 0;
}
