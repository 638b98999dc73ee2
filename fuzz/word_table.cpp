// The keyboard's caption tables on arbitrary bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "apps/keyboard/WordTable.h"
#include "core/kernel/Utf16File.h"
#include "platform/text/Text.h"

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

std::vector<uint8_t> Encode(const std::u16string& text) {
    std::vector<uint8_t> out = {0xFF, 0xFE};
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static KB_CAPTION_TABLE table, again;
    const int lines = ParseWordTable(data, size, table);
    Check(lines >= 0 && lines <= KB_KEY_COUNT);
    for (int k = 0; k < KB_KEY_COUNT; ++k) {
        const size_t len = plat::StrLenN(table[k], KB_CAPTION_CHARS);
        Check(len < KB_CAPTION_CHARS);
        Check(k < lines || len == 0);
        for (size_t i = 0; i < len; ++i)
            Check(table[k][i] != u'\r' && table[k][i] != u'\n');
        Check(len == 0 || (table[k][0] != u' ' && table[k][0] != u'\t'));
    }
    // Every form of line end reads alike: the same text with LF alone gives the same table.
    const std::u16string text = DecodeUtf16Le(data, size);
    std::u16string lf;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            lf += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            lf += text[i];
        }
    }
    const std::vector<uint8_t> bytes = Encode(lf);
    Check(ParseWordTable(bytes.data(), bytes.size(), again) == lines);
    Check(std::memcmp(table, again, sizeof table) == 0);
    return 0;
}
