#include "platform/gfx/ImageHeader.h"

#include <fcntl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "platform/gfx/ImageFile.h"
#include "platform/io/File.h"

namespace plat {

namespace {

uint32_t ReadLe16(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}

uint32_t ReadLe32(const uint8_t* p) {
    return ReadLe16(p) | (ReadLe16(p + 2) << 16);
}

uint32_t ReadBe16(const uint8_t* p) {
    return (uint32_t(p[0]) << 8) | p[1];
}

uint32_t ReadBe32(const uint8_t* p) {
    return (ReadBe16(p) << 16) | ReadBe16(p + 2);
}

// Markers that stand alone, without a length: the start, TEM and the restart markers.
bool StandAlone(uint8_t marker) {
    return marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// Start-of-frame markers (not DHT, JPG or DAC, which share their range).
bool FrameMarker(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

enum class HeaderScan { Found, NeedMore, Invalid };

// `got` bytes of a file of `total`: the BMP's pixel offset is checked against the whole file.
bool BmpFits(const uint8_t* data, size_t got, uint64_t total) {
    if (got < 18)
        return false;
    const uint32_t offset = ReadLe32(data + 10);
    const uint32_t info = ReadLe32(data + 14);
    const bool knownInfo = info == 12 || info == 16 || info == 40 || info == 52 || info == 56 ||
                           info == 64 || info == 108 || info == 124;
    if (!knownInfo || offset < 14 + info || offset > total)
        return false;
    // Likewise the palette: at most 256 entries, all of them before the pixels.
    if (info >= 40) {
        if (got < 50)
            return false;
        const uint32_t colours = ReadLe32(data + 46);
        if (colours > 256 || 14 + info + colours * 4 > offset)
            return false;
    }
    return true;
}

// Walks a JPEG's segments up to its frame header. Segments before it (EXIF with its own
// thumbnail, colour profiles) can run to tens of kilobytes.
HeaderScan ScanJpeg(const uint8_t* data, size_t size, ImageFileInfo& out) {
    size_t pos = 2;
    for (;;) {
        while (pos < size && data[pos] != 0xFF)
            ++pos;  // bytes between segments are not allowed, but decoders skip them
        while (pos < size && data[pos] == 0xFF)
            ++pos;  // fill bytes
        if (pos >= size)
            return HeaderScan::NeedMore;
        const uint8_t marker = data[pos++];
        if (StandAlone(marker))
            continue;
        if (marker == 0xD9 || marker == 0xDA)
            return HeaderScan::Invalid;  // the picture's data, or its end, before any frame
        if (pos + 2 > size)
            return HeaderScan::NeedMore;
        const size_t length = ReadBe16(data + pos);
        if (length < 2)
            return HeaderScan::Invalid;
        if (FrameMarker(marker)) {
            if (length < 7)
                return HeaderScan::Invalid;
            if (pos + 7 > size)
                return HeaderScan::NeedMore;
            out.height = static_cast<int>(ReadBe16(data + pos + 3));
            out.width = static_cast<int>(ReadBe16(data + pos + 5));
            out.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            return HeaderScan::Found;
        }
        pos += length;
    }
}

HeaderScan Scan(const uint8_t* data, size_t got, uint64_t total, ImageFileInfo& out) {
    ImageFileInfo info;
    info.kind = ImageKindOf(data, got);
    int64_t w = 0;
    int64_t h = 0;
    switch (info.kind) {
        case ImageKind::None:
            return got < 8 ? HeaderScan::NeedMore : HeaderScan::Invalid;
        case ImageKind::Png:
            if (got < 24)
                return HeaderScan::NeedMore;
            if (std::memcmp(data + 12, "IHDR", 4) != 0)
                return HeaderScan::Invalid;
            w = ReadBe32(data + 16);
            h = ReadBe32(data + 20);
            break;
        case ImageKind::Gif:
            if (got < 10)
                return HeaderScan::NeedMore;
            w = ReadLe16(data + 6);
            h = ReadLe16(data + 8);
            break;
        case ImageKind::Bmp:
            if (got < 26)
                return HeaderScan::NeedMore;
            if (!BmpFits(data, got, total))
                return HeaderScan::Invalid;
            if (ReadLe32(data + 14) == 12) {
                w = ReadLe16(data + 18);
                h = ReadLe16(data + 20);
            } else {
                w = static_cast<int32_t>(ReadLe32(data + 18));
                h = static_cast<int32_t>(ReadLe32(data + 22));
                if (h < 0)
                    h = -h;  // rows stored top down
            }
            break;
        case ImageKind::Jpeg: {
            const HeaderScan scan = ScanJpeg(data, got, info);
            if (scan != HeaderScan::Found)
                return scan;
            w = info.width;
            h = info.height;
            break;
        }
    }
    if (!ImageSizeWithinLimits(w, h))
        return HeaderScan::Invalid;
    info.width = static_cast<int>(w);
    info.height = static_cast<int>(h);
    out = info;
    return HeaderScan::Found;
}

}  // namespace

bool ImageSizeWithinLimits(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

ImageKind ImageKindOf(const uint8_t* data, size_t size) {
    auto starts = [&](const char* magic, size_t n) {
        return size >= n && std::memcmp(data, magic, n) == 0;
    };
    if (!data)
        return ImageKind::None;
    if (starts("\x89PNG\r\n\x1a\n", 8))
        return ImageKind::Png;
    if (starts("\xFF\xD8\xFF", 3))
        return ImageKind::Jpeg;
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return ImageKind::Gif;
    if (starts("BM", 2))
        return ImageKind::Bmp;
    return ImageKind::None;
}

bool BmpHeaderFits(const uint8_t* data, size_t size) {
    return BmpFits(data, size, size);
}

bool PngReachesEnd(const uint8_t* data, size_t size) {
    size_t pos = 8;
    while (pos + 12 <= size) {
        const size_t len = ReadBe32(data + pos);
        if (len > size - pos - 12)
            return false;
        if (std::memcmp(data + pos + 4, "IEND", 4) == 0)
            return true;
        pos += 12 + len;
    }
    return false;
}

bool ReadImageHeader(const uint8_t* data, size_t size, ImageFileInfo& out) {
    return data && Scan(data, size, size, out) == HeaderScan::Found;
}

bool ReadImageHeader(const std::string& path, ImageFileInfo& out) {
    // Skins ask this of hundreds of files at start-up: the steps go into memory nobody needs
    // cleared, and a small file is read once.
    File file;
    if (!file.Open(path, O_RDONLY))
        return false;
    const int64_t total = file.Size();
    if (total <= 0)
        return false;
    constexpr uint64_t kMostRead = 256u << 20;  // as ReadWholeFile
    std::unique_ptr<uint8_t[]> head;
    size_t got = 0;
    for (uint64_t step : {uint64_t{4} << 10, uint64_t{64} << 10, uint64_t{1} << 20, kMostRead}) {
        const size_t want = static_cast<size_t>(std::min(step, static_cast<uint64_t>(total)));
        if (want <= got)
            break;
        std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[want]);
        if (!grown)
            return false;
        if (got > 0)
            std::memcpy(grown.get(), head.get(), got);
        head = std::move(grown);
        while (got < want) {
            const long n = file.Read(head.get() + got, want - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        const HeaderScan scan = Scan(head.get(), got, static_cast<uint64_t>(total), out);
        if (scan != HeaderScan::NeedMore || got < want)
            return scan == HeaderScan::Found;
    }
    return false;
}

void JpegEndFinder::Feed(const uint8_t* data, size_t size) {
    const uint8_t* const end = data + size;
    while (data < end && m_state != State::Ended) {
        switch (m_state) {
            case State::Seek:
                // Bytes between segments are not allowed, but decoders skip them.
                data = static_cast<const uint8_t*>(std::memchr(data, 0xFF, size_t(end - data)));
                if (!data)
                    return;
                ++data;
                m_state = State::Fill;
                break;
            case State::Fill: {
                const uint8_t b = *data++;
                // In compressed data 0xFF is followed by a stuffed 0 or a restart marker.
                if (m_inData && (b == 0 || (b >= 0xD0 && b <= 0xD7)))
                    m_state = State::Seek;
                else if (b != 0xFF)
                    OnMarker(b);
                break;
            }
            case State::Length1:
                m_length = uint32_t(*data++) << 8;
                m_state = State::Length2;
                break;
            case State::Length2:
                m_length |= *data++;
                // A length below 2 is refused by the decoder: no end is looked for after it.
                m_skip = m_length < 2 ? SIZE_MAX : m_length - 2;
                m_state = State::Skip;
                break;
            case State::Skip: {
                const size_t n = std::min(m_skip, size_t(end - data));
                data += n;
                m_skip -= n;
                if (m_skip == 0) {
                    m_inData = m_marker == 0xDA;  // a scan's header: its data follows
                    m_state = State::Seek;
                }
                break;
            }
            case State::Ended:
                break;
        }
    }
}

void JpegEndFinder::OnMarker(uint8_t marker) {
    m_marker = marker;
    m_inData = false;
    if (marker == 0xD9)
        m_state = State::Ended;
    else if (StandAlone(marker))
        m_state = State::Seek;
    else
        m_state = State::Length1;
}

}  // namespace plat
