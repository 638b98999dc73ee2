#include "core/ui/GifDecoder.h"

#include <vector>

namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

size_t ColourTableBytes(uint8_t packed) {
    return (packed & 0x80) ? 3u * (2u << (packed & 7)) : 0u;
}

// Follows a chain of data sub-blocks from `pos`; appends their bytes to `out` when given.
// Returns the position after the terminator, or 0 when the chain runs past the data (what was
// there is still appended).
size_t SubBlocks(const uint8_t* data, size_t size, size_t pos, std::vector<uint8_t>* out) {
    while (pos < size) {
        size_t n = data[pos++];
        if (n == 0)
            return pos;
        size_t avail = n <= size - pos ? n : size - pos;
        if (out)
            out->insert(out->end(), data + pos, data + pos + avail);
        if (avail < n)
            return 0;
        pos += n;
    }
    return 0;
}

// Reads LZW codes least significant bit first.
class BitReader {
public:
    BitReader(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    bool Read(int bits, int* code) {
        while (m_count < bits) {
            if (m_pos >= m_bytes.size())
                return false;
            m_acc |= static_cast<uint32_t>(m_bytes[m_pos++]) << m_count;
            m_count += 8;
        }
        *code = static_cast<int>(m_acc & ((1u << bits) - 1));
        m_acc >>= bits;
        m_count -= bits;
        return true;
    }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_pos = 0;
    uint32_t m_acc = 0;
    int m_count = 0;
};

// Decodes up to `count` colour indices; returns how many were produced, or -1 for an invalid
// code stream before any pixel.
long DecodeLzw(const std::vector<uint8_t>& bytes, int minCodeSize, std::vector<uint8_t>& indices,
               size_t count) {
    const int clear = 1 << minCodeSize;
    const int endOfInfo = clear + 1;
    static constexpr int kMaxCodes = 4096;
    std::vector<uint16_t> prefix(kMaxCodes);
    std::vector<uint8_t> suffix(kMaxCodes), first(kMaxCodes);
    std::vector<uint8_t> stack(kMaxCodes + 1);
    for (int i = 0; i < clear; ++i) {
        suffix[i] = first[i] = static_cast<uint8_t>(i);
        prefix[i] = 0xFFFF;
    }
    int codeSize = minCodeSize + 1;
    int next = clear + 2;
    int prev = -1;
    size_t produced = 0;
    BitReader reader(bytes);
    int code;
    while (produced < count && reader.Read(codeSize, &code)) {
        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == endOfInfo)
            break;
        if (prev < 0) {
            if (code >= clear)
                return produced ? static_cast<long>(produced) : -1;
            indices[produced++] = static_cast<uint8_t>(code);
            prev = code;
            continue;
        }
        int string;
        uint8_t lead;
        if (code < next) {
            string = code;
            lead = first[code];
        } else if (code == next && next < kMaxCodes) {
            // The code being defined right now: the previous string and its own first byte.
            string = prev;
            lead = first[prev];
        } else {
            break;  // damaged data: keep what was decoded
        }
        // Unwind the string into the stack, then copy it out in order.
        int depth = 0;
        if (code == next)
            stack[depth++] = lead;
        for (int c = string; c != 0xFFFF && depth < kMaxCodes + 1; c = prefix[c]) {
            stack[depth++] = suffix[c];
            if (c < clear)
                break;
        }
        while (depth > 0 && produced < count)
            indices[produced++] = stack[--depth];
        if (next < kMaxCodes) {
            prefix[next] = static_cast<uint16_t>(prev);
            suffix[next] = lead;
            first[next] = first[prev];
            ++next;
            if (next == (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        prev = code;
    }
    return static_cast<long>(produced);
}

}  // namespace

bool GifDecodeImage(const uint8_t* data, size_t size, GifImage& out) {
    out = GifImage();
    if (!data || size < 13 || data[0] != 'G' || data[1] != 'I' || data[2] != 'F')
        return false;
    out.screenWidth = Le16(data + 6);
    out.screenHeight = Le16(data + 8);
    size_t globalBytes = ColourTableBytes(data[10]);
    const uint8_t* globalTable = data + 13;
    size_t pos = 13 + globalBytes;
    if (pos > size)
        return false;
    int transparent = -1;
    while (pos < size) {
        uint8_t b = data[pos];
        if (b == 0x21) {
            if (pos + 1 >= size)
                return false;
            uint8_t label = data[pos + 1];
            // Graphic control: block size, packed, delay (2), transparent index, terminator.
            if (label == 0xF9 && pos + 6 < size && data[pos + 2] >= 4)
                transparent = (data[pos + 3] & 1) ? data[pos + 6] : -1;
            pos = SubBlocks(data, size, pos + 2, nullptr);
            if (pos == 0)
                return false;
            continue;
        }
        if (b != 0x2C)
            return false;  // trailer or garbage before any image
        if (size - pos < 11)
            return false;
        out.left = Le16(data + pos + 1);
        out.top = Le16(data + pos + 3);
        int width = Le16(data + pos + 5);
        int height = Le16(data + pos + 7);
        uint8_t packed = data[pos + 9];
        size_t localBytes = ColourTableBytes(packed);
        const uint8_t* table = globalBytes ? globalTable : nullptr;
        size_t tableBytes = globalBytes;
        pos += 10;
        if (localBytes) {
            if (localBytes > size - pos)
                return false;
            table = data + pos;
            tableBytes = localBytes;
            pos += localBytes;
        }
        if (!table || pos >= size || width <= 0 || height <= 0 || width > kGifMaxSide ||
            height > kGifMaxSide || static_cast<size_t>(width) * height > kGifMaxPixels)
            return false;
        int minCodeSize = data[pos++];
        if (minCodeSize < 1 || minCodeSize > 8)
            return false;
        std::vector<uint8_t> lzw;
        SubBlocks(data, size, pos, &lzw);
        size_t count = static_cast<size_t>(width) * height;
        std::vector<uint8_t> indices(count);
        long produced = DecodeLzw(lzw, minCodeSize, indices, count);
        if (produced <= 0)
            return false;
        if (!out.pixels.Create(width, height))
            return false;
        // Interlaced images store rows 0, 8, 16..., then 4, 12..., then 2, 6..., then 1, 3...
        std::vector<int> rows(height);
        if (packed & 0x40) {
            int r = 0;
            static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < height; y += kStep[pass])
                    rows[r++] = y;
        } else {
            for (int y = 0; y < height; ++y)
                rows[y] = y;
        }
        size_t entries = tableBytes / 3;
        for (size_t i = 0; i < static_cast<size_t>(produced); ++i) {
            int index = indices[i];
            uint32_t argb = 0;  // the transparent index, and pixels never decoded
            if (index != transparent) {
                argb = 0xFF000000u;
                if (static_cast<size_t>(index) < entries)
                    argb = plat::Argb(0xFF, table[3 * index], table[3 * index + 1],
                                      table[3 * index + 2]);
            }
            out.pixels.SetPixel(static_cast<int>(i % width), rows[i / width], argb);
        }
        return true;
    }
    return false;
}
