// Writes GIF files byte by byte for the tests, with a real LZW encoder (dictionary codes, code
// size growth, clear codes when the table is full), and notes where each frame's unit ends.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace giftest {

// Colours as 0xRRGGBB.
using Palette = std::vector<uint32_t>;

inline std::vector<uint8_t> LzwEncode(const std::vector<uint8_t>& indices, int minCodeSize) {
    std::vector<uint8_t> out;
    uint32_t acc = 0;
    int bits = 0;
    int codeSize = minCodeSize + 1;
    auto emit = [&](int code) {
        acc |= static_cast<uint32_t>(code) << bits;
        bits += codeSize;
        while (bits >= 8) {
            out.push_back(static_cast<uint8_t>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    const int clear = 1 << minCodeSize;
    int next = clear + 2;
    std::map<std::pair<int, int>, int> table;
    emit(clear);
    if (!indices.empty()) {
        int prefix = indices[0];
        for (size_t i = 1; i < indices.size(); ++i) {
            int k = indices[i];
            auto it = table.find({prefix, k});
            if (it != table.end()) {
                prefix = it->second;
                continue;
            }
            emit(prefix);
            table[{prefix, k}] = next++;
            if (next > (1 << codeSize) && codeSize < 12)
                ++codeSize;
            if (next == 4096) {
                emit(clear);
                table.clear();
                next = clear + 2;
                codeSize = minCodeSize + 1;
            }
            prefix = k;
        }
        emit(prefix);
        // The reader adds one more entry before it reads the end code.
        if (next == (1 << codeSize) && codeSize < 12)
            ++codeSize;
    }
    emit(clear + 1);
    if (bits > 0)
        out.push_back(static_cast<uint8_t>(acc & 0xFF));
    return out;
}

class GifWriter {
public:
    std::vector<uint8_t> bytes;
    std::vector<size_t> unitEnds;  // offset just past each image block

    GifWriter(int width, int height, const Palette& global) {
        Put("GIF89a");
        Le16(width);
        Le16(height);
        if (global.empty()) {
            bytes.push_back(0x00);
        } else {
            bytes.push_back(static_cast<uint8_t>(0x80 | 0x70 | TableBits(global)));
        }
        bytes.push_back(0);  // background index
        bytes.push_back(0);  // aspect
        Table(global);
    }

    GifWriter& Loop() {
        bytes.insert(bytes.end(), {0x21, 0xFF, 0x0B});
        Put("NETSCAPE2.0");
        bytes.insert(bytes.end(), {0x03, 0x01, 0x00, 0x00, 0x00});
        return *this;
    }

    GifWriter& Comment(const std::string& text) {
        bytes.insert(bytes.end(), {0x21, 0xFE});
        SubBlocks(std::vector<uint8_t>(text.begin(), text.end()));
        return *this;
    }

    GifWriter& Control(int delay, int disposal, int transparent = -1) {
        bytes.insert(bytes.end(), {0x21, 0xF9, 0x04});
        bytes.push_back(static_cast<uint8_t>((disposal << 2) | (transparent >= 0 ? 1 : 0)));
        Le16(delay);
        bytes.push_back(static_cast<uint8_t>(transparent >= 0 ? transparent : 0));
        bytes.push_back(0);
        return *this;
    }

    // `indices` row by row, as they appear on the screen.
    GifWriter& Image(int x, int y, int w, int h, const std::vector<uint8_t>& indices,
                     const Palette& local = {}, bool interlaced = false, int minCodeSize = 0) {
        bytes.push_back(0x2C);
        Le16(x);
        Le16(y);
        Le16(w);
        Le16(h);
        uint8_t packed = interlaced ? 0x40 : 0;
        if (!local.empty())
            packed |= static_cast<uint8_t>(0x80 | TableBits(local));
        bytes.push_back(packed);
        Table(local);
        std::vector<uint8_t> stored = indices;
        if (interlaced) {
            stored.clear();
            static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int row = kStart[pass]; row < h; row += kStep[pass])
                    stored.insert(stored.end(), indices.begin() + row * w,
                                  indices.begin() + (row + 1) * w);
        }
        if (minCodeSize == 0) {
            minCodeSize = 2;
            for (uint8_t i : indices)
                while (i >= (1 << minCodeSize))
                    ++minCodeSize;
        }
        bytes.push_back(static_cast<uint8_t>(minCodeSize));
        SubBlocks(LzwEncode(stored, minCodeSize));
        unitEnds.push_back(bytes.size());
        return *this;
    }

    GifWriter& Trailer() {
        bytes.push_back(0x3B);
        return *this;
    }

    // A frame filled with one colour index.
    static std::vector<uint8_t> Solid(int w, int h, uint8_t index) {
        return std::vector<uint8_t>(static_cast<size_t>(w) * h, index);
    }

private:
    void Put(const char* s) {
        while (*s)
            bytes.push_back(static_cast<uint8_t>(*s++));
    }
    void Le16(int v) {
        bytes.push_back(static_cast<uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    static int TableBits(const Palette& p) {
        int bits = 0;
        while ((2u << bits) < p.size())
            ++bits;
        return bits;
    }
    void Table(const Palette& p) {
        if (p.empty())
            return;
        size_t n = 2u << TableBits(p);
        for (size_t i = 0; i < n; ++i) {
            uint32_t c = i < p.size() ? p[i] : 0;
            bytes.push_back(static_cast<uint8_t>(c >> 16));
            bytes.push_back(static_cast<uint8_t>(c >> 8));
            bytes.push_back(static_cast<uint8_t>(c));
        }
    }
    void SubBlocks(const std::vector<uint8_t>& data) {
        for (size_t i = 0; i < data.size(); i += 255) {
            size_t n = std::min<size_t>(255, data.size() - i);
            bytes.push_back(static_cast<uint8_t>(n));
            bytes.insert(bytes.end(), data.begin() + i, data.begin() + i + n);
        }
        bytes.push_back(0);
    }
};

}  // namespace giftest
