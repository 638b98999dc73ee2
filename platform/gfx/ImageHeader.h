// What a picture file's first bytes say, read without decoding: its type, its stored size, and
// the checks the decoders of this folder need before and after decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// The types we read, recognised by their first bytes whatever the file is called.
enum class ImageKind : uint8_t { None, Png, Jpeg, Gif, Bmp };

ImageKind ImageKindOf(const uint8_t* data, size_t size);

struct ImageFileInfo {
    int width = 0;
    int height = 0;
    // A progressive JPEG: its decoder holds every coefficient of the picture at once.
    bool progressive = false;
    ImageKind kind = ImageKind::None;
};

// Whether a picture of width x height is within the limits of ImageFile.h.
bool ImageSizeWithinLimits(int64_t width, int64_t height);

// The header of a PNG (IHDR), GIF (logical screen), BMP (info header) or JPEG (frame header,
// found by walking the segments before it). False for anything else, a header cut short, or a
// size beyond the limits of ImageFile.h.
bool ReadImageHeader(const uint8_t* data, size_t size, ImageFileInfo& out);
// The same for a file, read in growing steps (most headers sit in the first 4 KB; a JPEG's
// frame header can follow large segments).
bool ReadImageHeader(const std::string& path, ImageFileInfo& out);

// The BMP decoder allocates whatever the header's pixel offset and palette ask for before it
// looks any further: a header whose pixels would start beyond the end never reaches it.
bool BmpHeaderFits(const uint8_t* data, size_t size);

// Interlaced PNGs write every row in their first pass: a cut one is found by its chunks, which
// must run whole up to the end chunk.
bool PngReachesEnd(const uint8_t* data, size_t size);

// Follows a JPEG's segments and compressed data, fed in pieces as they are read, to learn
// whether its end marker comes. The decoder fills in the rows of a file cut inside its data
// with grey, and says nothing of it.
class JpegEndFinder {
public:
    void Feed(const uint8_t* data, size_t size);
    bool Ended() const { return m_state == State::Ended; }

private:
    // Seek: to the next 0xFF; Fill: after one (fill bytes, a marker, or inside compressed data
    // a stuffed 0 or a restart marker).
    enum class State : uint8_t { Seek, Fill, Length1, Length2, Skip, Ended };

    void OnMarker(uint8_t marker);

    State m_state = State::Seek;
    bool m_inData = false;
    uint8_t m_marker = 0;
    uint32_t m_length = 0;
    size_t m_skip = 0;
};

inline bool JpegReachesEnd(const uint8_t* data, size_t size) {
    JpegEndFinder finder;
    finder.Feed(data, size);
    return finder.Ended();
}

}  // namespace plat
