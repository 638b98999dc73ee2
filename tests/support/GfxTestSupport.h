// Pictures for tests: generated images, independent encoders for the file formats the system
// reads, and measuring what was drawn.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/Surface.h"

namespace testsupport {

plat::Surface SolidImage(int w, int h, uint32_t argb);
// Frames of frameW x h side by side, one colour each.
plat::Surface StripImage(int frameW, int h, const std::vector<uint32_t>& colours);
// Writes a PNG through the platform encoder; fails the test when it cannot.
void WritePng(const std::string& path, const plat::Surface& image);

// Encoders written from the formats' definitions, independent of the code under test.
// `rgba` is straight-alpha RGBA, row by row.
std::vector<uint8_t> EncodePngStored(int w, int h, const std::vector<uint8_t>& rgba);
// 24-bit BMP of opaque colours (0xRRGGBB per pixel), rows stored bottom-up.
std::vector<uint8_t> EncodeBmp24(int w, int h, const std::vector<uint32_t>& rgb);
// 8-bit palette BMP: `palette` of 0xRRGGBB, one index per pixel.
std::vector<uint8_t> EncodeBmp8(int w, int h, const std::vector<uint32_t>& palette,
                                const std::vector<uint8_t>& indexes);
// GIF with a global palette (at most 256 colours) and one or more frames of indexes covering
// the whole picture; `transparent` -1 for none.
std::vector<uint8_t> EncodeGif(int w, int h, const std::vector<uint32_t>& palette,
                               const std::vector<std::vector<uint8_t>>& frames,
                               int transparent = -1);

// Smallest rectangle holding every pixel of `area` that differs from `background`; empty
// when there is none.
plat::Rect InkBox(const plat::Surface& s, uint32_t background, const plat::Rect& area);
inline plat::Rect InkBox(const plat::Surface& s, uint32_t background) {
    return InkBox(s, background, s.Bounds());
}
// Every channel of two ARGB pixels differs by at most `tolerance`.
bool ChannelsNear(uint32_t a, uint32_t b, int tolerance);
// Pixels of `area` equal to `argb`.
int CountPixels(const plat::Surface& s, const plat::Rect& area, uint32_t argb);
// Pixels of `area` that differ from `background`.
int CountInk(const plat::Surface& s, const plat::Rect& area, uint32_t background);

}  // namespace testsupport
