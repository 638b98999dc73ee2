// The GIF container walk, frame extraction and frame decoding of the animated picture control
// on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "core/ui/GifDecoder.h"
#include "core/ui/PictureEx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GifImage image;
    GifDecodeImage(data, size, image);
    // No window and no windowing layer: the control only parses, decodes and draws its canvas.
    // Other pictures go to the graphics layer's loader, which has a target of its own.
    CPictureEx picture;
    if (size >= 3 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F' &&
        picture.LoadMemory(data, size) && picture.GetFrames().empty())
        picture.Start();
    return 0;
}
