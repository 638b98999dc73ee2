// The GIF container walk, frame extraction and frame decoding of the animated picture control
// on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "core/GifDecoder.h"
#include "core/PictureEx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GifImage image;
    GifDecodeImage(data, size, image);
    // No window and no windowing layer: the control only parses, decodes and draws its canvas.
    CPictureEx picture;
    if (picture.LoadMemory(data, size) && picture.GetFrames().empty())
        picture.Start();
    return 0;
}
