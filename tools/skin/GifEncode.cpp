#include "tools/skin/GifEncode.h"

#include <algorithm>
#include <climits>
#include <unordered_map>

namespace skin {

namespace {

constexpr uint32_t kTransparent = 0xFFFFFFFFu;

uint32_t StraightRgb(uint32_t premultiplied) {
    uint32_t a = premultiplied >> 24;
    if (a < 128)
        return kTransparent;
    auto un = [&](int shift) {
        uint32_t c = (premultiplied >> shift) & 0xFF;
        return std::min<uint32_t>(255, (c * 255 + a / 2) / a);
    };
    return (un(16) << 16) | (un(8) << 8) | un(0);
}

int Distance(uint32_t a, uint32_t b) {
    int dr = int((a >> 16) & 0xFF) - int((b >> 16) & 0xFF);
    int dg = int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF);
    int db = int(a & 0xFF) - int(b & 0xFF);
    return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : m_out(out) {}
    void Put(uint32_t code, int bits) {
        m_acc |= code << m_count;
        m_count += bits;
        while (m_count >= 8) {
            Byte(static_cast<uint8_t>(m_acc & 0xFF));
            m_acc >>= 8;
            m_count -= 8;
        }
    }
    void Finish() {
        if (m_count > 0)
            Byte(static_cast<uint8_t>(m_acc & 0xFF));
        Flush();
        m_out.push_back(0);  // block terminator
    }

private:
    void Byte(uint8_t b) {
        m_block.push_back(b);
        if (m_block.size() == 255)
            Flush();
    }
    void Flush() {
        if (m_block.empty())
            return;
        m_out.push_back(static_cast<uint8_t>(m_block.size()));
        m_out.insert(m_out.end(), m_block.begin(), m_block.end());
        m_block.clear();
    }

    std::vector<uint8_t>& m_out;
    std::vector<uint8_t> m_block;
    uint32_t m_acc = 0;
    int m_count = 0;
};

void Put16(std::vector<uint8_t>& out, int v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

std::vector<uint32_t> ExactPalette(const std::vector<std::pair<uint32_t, size_t>>& colours) {
    std::vector<uint32_t> palette;
    for (const auto& c : colours)
        palette.push_back(c.first);
    return palette;
}

int ChannelOf(uint32_t c, int channel) {
    return static_cast<int>((c >> (16 - 8 * channel)) & 0xFF);
}

// Too many colours: boxes of the colour space are split at their weighted median along
// their widest side until there are enough, and each box gives its weighted mean.
std::vector<uint32_t> MedianCut(std::vector<std::pair<uint32_t, size_t>> colours, size_t count) {
    struct Box {
        size_t begin, end;
    };
    auto widest = [&](const Box& b, int* channel) {
        int best = -1;
        for (int ch = 0; ch < 3; ++ch) {
            int lo = 255, hi = 0;
            for (size_t i = b.begin; i < b.end; ++i) {
                lo = std::min(lo, ChannelOf(colours[i].first, ch));
                hi = std::max(hi, ChannelOf(colours[i].first, ch));
            }
            if (hi - lo > best)
                best = hi - lo, *channel = ch;
        }
        return best;
    };
    std::vector<Box> boxes = {{0, colours.size()}};
    while (boxes.size() < count) {
        size_t pick = boxes.size();
        int pickRange = 0, pickChannel = 0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            int channel = 0;
            int range = boxes[b].end - boxes[b].begin > 1 ? widest(boxes[b], &channel) : 0;
            if (range > pickRange)
                pick = b, pickRange = range, pickChannel = channel;
        }
        if (pick == boxes.size())
            break;
        Box box = boxes[pick];
        std::sort(colours.begin() + box.begin, colours.begin() + box.end,
                  [&](const auto& a, const auto& b) {
                      return ChannelOf(a.first, pickChannel) < ChannelOf(b.first, pickChannel);
                  });
        size_t total = 0, half = 0;
        for (size_t i = box.begin; i < box.end; ++i)
            total += colours[i].second;
        size_t split = box.begin + 1;
        for (size_t i = box.begin; i + 1 < box.end; ++i) {
            half += colours[i].second;
            split = i + 1;
            if (half * 2 >= total)
                break;
        }
        boxes[pick] = {box.begin, split};
        boxes.push_back({split, box.end});
    }
    std::vector<uint32_t> palette;
    for (const Box& b : boxes) {
        double sum[3] = {0, 0, 0}, weight = 0;
        for (size_t i = b.begin; i < b.end; ++i) {
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] += ChannelOf(colours[i].first, ch) * double(colours[i].second);
            weight += double(colours[i].second);
        }
        uint32_t c = 0;
        for (int ch = 0; ch < 3; ++ch)
            c |= static_cast<uint32_t>(sum[ch] / weight + 0.5) << (16 - 8 * ch);
        palette.push_back(c);
    }
    return palette;
}

// LZW as GIF has it: 8-bit symbols, codes from 9 to 12 bits, a clear code when the table is
// full.
void Compress(const std::vector<uint8_t>& pixels, BitWriter& bits) {
    constexpr uint32_t kClear = 256, kEnd = 257, kMaxCode = 4095;
    std::vector<uint16_t> table(static_cast<size_t>(kMaxCode + 1) * 256, 0);
    int size = 9;
    uint32_t last = kEnd;  // highest code in use
    bits.Put(kClear, size);
    if (pixels.empty()) {
        bits.Put(kEnd, size);
        bits.Finish();
        return;
    }
    uint32_t run = pixels[0];
    for (size_t i = 1; i < pixels.size(); ++i) {
        uint8_t next = pixels[i];
        uint16_t& entry = table[run * 256 + next];
        if (entry != 0) {
            run = entry;
            continue;
        }
        bits.Put(run, size);
        entry = static_cast<uint16_t>(++last);
        if (last >= (1u << size))
            ++size;
        if (last == kMaxCode) {
            bits.Put(kClear, size);
            std::fill(table.begin(), table.end(), 0);
            size = 9;
            last = kEnd;
        }
        run = next;
    }
    bits.Put(run, size);
    bits.Put(kEnd, size);
    bits.Finish();
}

}  // namespace

bool EncodeGif(const std::vector<plat::Surface>& frames, int delayCs, std::vector<uint8_t>& out) {
    if (frames.empty() || frames[0].IsEmpty())
        return false;
    const int w = frames[0].Width(), h = frames[0].Height();
    if (w > 0xFFFF || h > 0xFFFF)
        return false;
    for (const auto& f : frames)
        if (f.Width() != w || f.Height() != h)
            return false;

    // Palette: every colour when they fit, else the median cut of them.
    std::unordered_map<uint32_t, size_t> counts;
    bool anyTransparent = false;
    for (const auto& f : frames)
        for (int i = 0; i < w * h; ++i) {
            uint32_t c = StraightRgb(f.Pixels()[i]);
            if (c == kTransparent)
                anyTransparent = true;
            else
                ++counts[c];
        }
    const size_t room = anyTransparent ? 255 : 256;
    std::vector<std::pair<uint32_t, size_t>> colours(counts.begin(), counts.end());
    std::sort(colours.begin(), colours.end());
    std::vector<uint32_t> palette =
        colours.size() <= room ? ExactPalette(colours) : MedianCut(colours, room);
    const size_t used = palette.size();
    const int transparentIndex = anyTransparent ? static_cast<int>(palette.size()) : -1;
    if (anyTransparent)
        palette.push_back(0);
    while (palette.size() < 256)
        palette.push_back(0);

    std::unordered_map<uint32_t, uint8_t> lookup;
    auto indexOf = [&](uint32_t colour) -> uint8_t {
        if (colour == kTransparent)
            return static_cast<uint8_t>(transparentIndex);
        auto it = lookup.find(colour);
        if (it != lookup.end())
            return it->second;
        size_t best = 0;
        int bestD = INT32_MAX;
        for (size_t i = 0; i < used; ++i) {
            int d = Distance(colour, palette[i]);
            if (d < bestD)
                bestD = d, best = i;
        }
        lookup[colour] = static_cast<uint8_t>(best);
        return static_cast<uint8_t>(best);
    };

    static const uint8_t kMagic[6] = {'G', 'I', 'F', '8', '9', 'a'};
    out.assign(kMagic, kMagic + 6);
    Put16(out, w);
    Put16(out, h);
    out.push_back(0xF7);  // global table of 256, 8 bits per primary
    out.push_back(0);
    out.push_back(0);
    for (uint32_t c : palette) {
        out.push_back(static_cast<uint8_t>(c >> 16));
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c));
    }
    if (frames.size() > 1) {
        const uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E',  'T',  'S',  'C',  'A', 'P',
                                'E',  '2',  '.',  '0', 0x03, 0x01, 0x00, 0x00, 0x00};
        out.insert(out.end(), loop, loop + sizeof loop);
    }
    for (const auto& f : frames) {
        // Graphic control: each frame replaces the last whole ("do not dispose").
        out.push_back(0x21);
        out.push_back(0xF9);
        out.push_back(0x04);
        out.push_back(static_cast<uint8_t>((1 << 2) | (transparentIndex >= 0 ? 1 : 0)));
        Put16(out, std::clamp(delayCs, 0, 0xFFFF));
        out.push_back(static_cast<uint8_t>(transparentIndex >= 0 ? transparentIndex : 0));
        out.push_back(0);
        out.push_back(0x2C);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, w);
        Put16(out, h);
        out.push_back(0);
        out.push_back(8);  // minimum code size
        BitWriter bits(out);
        std::vector<uint8_t> pixels(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = indexOf(StraightRgb(f.Pixels()[i]));
        Compress(pixels, bits);
    }
    out.push_back(0x3B);
    return true;
}

}  // namespace skin
