// Build tool: turns a UTF-8 text source of the tree into the runtime form the program reads,
// UTF-16LE with a byte-order mark and CR LF line ends. Invalid UTF-8 fails the build rather
// than shipping a damaged file.
//
//   velkora_text16 <source> <output>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool Decode(const std::string& in, std::vector<uint32_t>& out, size_t& badAt) {
    size_t i = 0;
    while (i < in.size()) {
        const auto b = static_cast<unsigned char>(in[i]);
        uint32_t cp;
        size_t extra;
        if (b < 0x80) {
            cp = b, extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F, extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F, extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07, extra = 3;
        } else {
            badAt = i;
            return false;
        }
        if (i + extra >= in.size()) {
            badAt = i;
            return false;
        }
        for (size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(in[i + k]);
            if ((c & 0xC0) != 0x80) {
                badAt = i;
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        static const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            badAt = i;
            return false;
        }
        out.push_back(cp);
        i += extra + 1;
    }
    return true;
}

void Put(std::string& out, uint16_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <source> <output>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::vector<uint32_t> cps;
    size_t badAt = 0;
    if (!Decode(text, cps, badAt)) {
        std::fprintf(stderr, "%s: invalid UTF-8 at byte %zu\n", argv[1], badAt);
        return 1;
    }
    std::string out;
    Put(out, 0xFEFF);
    for (size_t i = 0; i < cps.size(); ++i) {
        uint32_t cp = cps[i];
        if (cp == 0xFEFF && i == 0)
            continue;  // the source's own mark
        if (cp == '\r')
            continue;  // line ends are written below, always as CR LF
        if (cp == '\n') {
            Put(out, '\r');
            Put(out, '\n');
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            Put(out, static_cast<uint16_t>(0xD800 + (cp >> 10)));
            Put(out, static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            Put(out, static_cast<uint16_t>(cp));
        }
    }
    const std::string temp = std::string(argv[2]) + ".tmp";
    {
        std::ofstream f(temp, std::ios::binary | std::ios::trunc);
        f.write(out.data(), static_cast<std::streamsize>(out.size()));
        if (!f) {
            std::fprintf(stderr, "%s: cannot write\n", temp.c_str());
            return 1;
        }
    }
    if (std::rename(temp.c_str(), argv[2]) != 0) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
