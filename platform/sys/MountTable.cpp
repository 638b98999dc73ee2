#include "platform/sys/MountTable.h"

namespace plat {

namespace {

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

bool ParseUnsigned(std::string_view s, unsigned& out) {
    if (s.empty() || s.size() > 9)
        return false;
    unsigned v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    out = v;
    return true;
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

}  // namespace

std::string DecodeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            int v = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (v > 0 && v < 256) {
                out += static_cast<char>(v);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        // id parent major:minor root mount-point options [optional fields...] - type source
        // super-options
        std::vector<std::string_view> f = SplitBlanks(line);
        if (f.size() < 9)
            continue;
        size_t dash = 6;
        while (dash < f.size() && f[dash] != "-")
            ++dash;
        if (dash + 2 >= f.size())
            continue;
        std::string_view dev = f[2];
        size_t colon = dev.find(':');
        MountEntry e;
        if (colon == std::string_view::npos || !ParseUnsigned(dev.substr(0, colon), e.major) ||
            !ParseUnsigned(dev.substr(colon + 1), e.minor))
            continue;
        if (f[3].empty() || f[3][0] != '/' || f[4].empty() || f[4][0] != '/')
            continue;
        e.root = DecodeMountField(f[3]);
        e.mountPoint = DecodeMountField(f[4]);
        e.fsType = DecodeMountField(f[dash + 1]);
        e.source = DecodeMountField(f[dash + 2]);
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace plat
