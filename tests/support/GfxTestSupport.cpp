#include "tests/support/GfxTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/gfx/ImageFile.h"

namespace testsupport {

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(x & 0xFF);
    v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}
void Put32Be(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(x >> 24);
    v.push_back((x >> 16) & 0xFF);
    v.push_back((x >> 8) & 0xFF);
    v.push_back(x & 0xFF);
}

uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    Put32Be(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    Put32Be(out, Crc32(body.data(), body.size()));
}

std::vector<uint8_t> BmpHeaders(int w, int h, int bits, uint32_t paletteSize, uint32_t dataSize) {
    std::vector<uint8_t> v;
    const uint32_t offset = 14 + 40 + paletteSize * 4;
    v.push_back('B');
    v.push_back('M');
    Put32(v, offset + dataSize);
    Put32(v, 0);
    Put32(v, offset);
    Put32(v, 40);
    Put32(v, static_cast<uint32_t>(w));
    Put32(v, static_cast<uint32_t>(h));
    Put16(v, 1);
    Put16(v, static_cast<uint32_t>(bits));
    Put32(v, 0);  // no compression
    Put32(v, dataSize);
    Put32(v, 2835);
    Put32(v, 2835);
    Put32(v, paletteSize);
    Put32(v, 0);
    return v;
}

}  // namespace

plat::Surface SolidImage(int w, int h, uint32_t argb) {
    plat::Surface s(w, h);
    s.Fill(argb);
    return s;
}

plat::Surface StripImage(int frameW, int h, const std::vector<uint32_t>& colours) {
    plat::Surface s(frameW * static_cast<int>(colours.size()), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < s.Width(); ++x)
            s.SetPixel(x, y, colours[static_cast<size_t>(x / frameW)]);
    return s;
}

void WritePng(const std::string& path, const plat::Surface& image) {
    if (!plat::SaveImageFile(path, image, plat::ImageFormat::Png))
        ADD_FAILURE() << "cannot write " << path;
}

std::vector<uint8_t> EncodePngStored(int w, int h, const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    Put32Be(ihdr, static_cast<uint32_t>(w));
    Put32Be(ihdr, static_cast<uint32_t>(h));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
    PngChunk(out, "IHDR", ihdr);

    std::vector<uint8_t> raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);  // filter: none
        auto row = rgba.begin() + static_cast<long>(y) * w * 4;
        raw.insert(raw.end(), row, row + w * 4);
    }
    // zlib stream of stored (uncompressed) deflate blocks.
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        z.push_back(pos + n == raw.size() ? 1 : 0);
        Put16(z, static_cast<uint32_t>(n));
        Put16(z, static_cast<uint32_t>(~n & 0xFFFF));
        z.insert(z.end(), raw.begin() + static_cast<long>(pos),
                 raw.begin() + static_cast<long>(pos + n));
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32Be(z, (b << 16) | a);
    PngChunk(out, "IDAT", z);
    PngChunk(out, "IEND", {});
    return out;
}

std::vector<uint8_t> EncodeBmp24(int w, int h, const std::vector<uint32_t>& rgb) {
    const int rowBytes = (w * 3 + 3) & ~3;
    std::vector<uint8_t> v = BmpHeaders(w, h, 24, 0, static_cast<uint32_t>(rowBytes * h));
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t c = rgb[static_cast<size_t>(y * w + x)];
            v.push_back(c & 0xFF);
            v.push_back((c >> 8) & 0xFF);
            v.push_back((c >> 16) & 0xFF);
        }
        for (int p = w * 3; p < rowBytes; ++p)
            v.push_back(0);
    }
    return v;
}

std::vector<uint8_t> EncodeBmp8(int w, int h, const std::vector<uint32_t>& palette,
                                const std::vector<uint8_t>& indexes) {
    const int rowBytes = (w + 3) & ~3;
    std::vector<uint8_t> v = BmpHeaders(w, h, 8, static_cast<uint32_t>(palette.size()),
                                        static_cast<uint32_t>(rowBytes * h));
    for (uint32_t c : palette) {
        v.push_back(c & 0xFF);
        v.push_back((c >> 8) & 0xFF);
        v.push_back((c >> 16) & 0xFF);
        v.push_back(0);
    }
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x)
            v.push_back(indexes[static_cast<size_t>(y * w + x)]);
        for (int p = w; p < rowBytes; ++p)
            v.push_back(0);
    }
    return v;
}

std::vector<uint8_t> EncodeGif(int w, int h, const std::vector<uint32_t>& palette,
                               const std::vector<std::vector<uint8_t>>& frames, int transparent) {
    int bits = 1;
    while ((1u << bits) < palette.size())
        ++bits;
    std::vector<uint8_t> v = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(v, static_cast<uint32_t>(w));
    Put16(v, static_cast<uint32_t>(h));
    v.push_back(static_cast<uint8_t>(0xF0 | (bits - 1)));  // global table of 2^bits colours
    v.push_back(0);
    v.push_back(0);
    for (uint32_t i = 0; i < (1u << bits); ++i) {
        const uint32_t c = i < palette.size() ? palette[i] : 0;
        v.push_back((c >> 16) & 0xFF);
        v.push_back((c >> 8) & 0xFF);
        v.push_back(c & 0xFF);
    }
    const int minCode = std::max(2, bits);
    const uint32_t clear = 1u << minCode;
    for (const auto& frame : frames) {
        // Graphic control: dispose nothing, 0.1 s, transparency as asked.
        v.insert(v.end(), {0x21, 0xF9, 0x04, static_cast<uint8_t>(transparent >= 0 ? 1 : 0), 10, 0,
                           static_cast<uint8_t>(transparent >= 0 ? transparent : 0), 0});
        v.push_back(0x2C);
        Put16(v, 0);
        Put16(v, 0);
        Put16(v, static_cast<uint32_t>(w));
        Put16(v, static_cast<uint32_t>(h));
        v.push_back(0);
        v.push_back(static_cast<uint8_t>(minCode));
        // A clear code before every two pixels keeps the code width fixed: valid LZW that
        // any decoder reads, without a dictionary here.
        std::vector<uint32_t> codes;
        for (size_t i = 0; i < frame.size(); ++i) {
            if (i % 2 == 0)
                codes.push_back(clear);
            codes.push_back(frame[i]);
        }
        codes.push_back(clear + 1);
        std::vector<uint8_t> packed;
        uint32_t acc = 0;
        int nbits = 0;
        const int width = minCode + 1;
        for (uint32_t c : codes) {
            acc |= c << nbits;
            nbits += width;
            while (nbits >= 8) {
                packed.push_back(acc & 0xFF);
                acc >>= 8;
                nbits -= 8;
            }
        }
        if (nbits > 0)
            packed.push_back(acc & 0xFF);
        for (size_t pos = 0; pos < packed.size(); pos += 255) {
            const size_t n = std::min<size_t>(255, packed.size() - pos);
            v.push_back(static_cast<uint8_t>(n));
            v.insert(v.end(), packed.begin() + static_cast<long>(pos),
                     packed.begin() + static_cast<long>(pos + n));
        }
        v.push_back(0);
    }
    v.push_back(0x3B);
    return v;
}

plat::Rect InkBox(const plat::Surface& s, uint32_t background, const plat::Rect& area) {
    const plat::Rect a = area.Intersect(s.Bounds());
    int l = a.right, t = a.bottom, r = a.left, b = a.top;
    for (int y = a.top; y < a.bottom; ++y) {
        for (int x = a.left; x < a.right; ++x) {
            if (s.PixelAt(x, y) == background)
                continue;
            l = std::min(l, x);
            t = std::min(t, y);
            r = std::max(r, x + 1);
            b = std::max(b, y + 1);
        }
    }
    if (r <= l || b <= t)
        return plat::Rect{};
    return plat::Rect{l, t, r, b};
}

int CountPixels(const plat::Surface& s, const plat::Rect& area, uint32_t argb) {
    const plat::Rect a = area.Intersect(s.Bounds());
    int n = 0;
    for (int y = a.top; y < a.bottom; ++y)
        for (int x = a.left; x < a.right; ++x)
            n += s.PixelAt(x, y) == argb;
    return n;
}

int CountInk(const plat::Surface& s, const plat::Rect& area, uint32_t background) {
    const plat::Rect a = area.Intersect(s.Bounds());
    return a.Width() * a.Height() - CountPixels(s, a, background);
}

bool ChannelsNear(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int ca = (a >> shift) & 0xFF;
        const int cb = (b >> shift) & 0xFF;
        if (std::abs(ca - cb) > tolerance)
            return false;
    }
    return true;
}

}  // namespace testsupport
