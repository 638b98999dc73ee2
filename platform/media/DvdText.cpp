#include "platform/media/DvdText.h"

#include <iconv.h>

#include <algorithm>

namespace plat {

namespace {

// The information files are big-endian.
uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

constexpr size_t kHeaderBytes = 20;  // identifier, count of languages, end of block
constexpr size_t kLanguagePointerBytes = 8;
constexpr size_t kLanguageHeadBytes =
    0xCC;  // end of unit, where the volume's and titles' marks are
constexpr size_t kStringPointerBytes = 4;
constexpr int kMaxLanguages = 256;
constexpr char16_t kReplacement = 0xFFFD;
constexpr uint8_t kStringEnd = 0x09;

std::u16string FromShiftJis(const uint8_t* p, size_t n) {
    std::u16string out;
    iconv_t cd = iconv_open("UTF-16LE", "SHIFT_JIS");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return out;
    std::vector<char> buf(n * 4 + 4);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(p));
    size_t inLeft = n;
    char* o = buf.data();
    size_t outLeft = buf.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<size_t>(-1))
            break;
        // A byte that does not decode stands for one unknown character.
        if (outLeft < 2)
            break;
        *o++ = static_cast<char>(kReplacement & 0xFF);
        *o++ = static_cast<char>(kReplacement >> 8);
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    const size_t bytes = buf.size() - outLeft;
    for (size_t i = 0; i + 1 < bytes; i += 2)
        out.push_back(static_cast<char16_t>(uint8_t(buf[i]) | uint8_t(buf[i + 1]) << 8));
    return out;
}

std::u16string Decode(const uint8_t* p, size_t n, int charSet) {
    std::u16string out;
    if (charSet == 0x12) {
        out = FromShiftJis(p, n);
    } else {
        // ISO 8859-1 maps byte for byte; of the other sets only their ASCII part is known here.
        for (size_t i = 0; i < n; ++i)
            out.push_back(p[i] < 0x80 || charSet == 0x11 ? char16_t(p[i]) : kReplacement);
    }
    if (out.size() > kDvdTextMaxChars - 1)
        out.resize(kDvdTextMaxChars - 1);
    return out;
}

// One language's unit: [unit, end) lies inside the block.
bool ParseUnit(const uint8_t* data, size_t unit, size_t blockEnd, DvdTextLanguage* language) {
    if (unit >= blockEnd || blockEnd - unit < kLanguageHeadBytes + 4)
        return false;
    const size_t end = std::min<uint64_t>(blockEnd, uint64_t(unit) + Be32(data + unit) + 1);
    const size_t table = unit + kLanguageHeadBytes;
    if (end < table + 4)
        return false;
    const size_t count = Be16(data + table);
    if ((end - table - 4) / kStringPointerBytes < count)
        return false;
    language->strings.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* pointer = data + table + 4 + i * kStringPointerBytes;
        DvdTextString s;
        s.type = pointer[0];
        const size_t start = Be16(pointer + 2);
        // Structure marks point nowhere; a pointer out of the unit gives no text either.
        if (start != 0 && start < end - table) {
            const uint8_t* text = data + table + start;
            const size_t room = std::min(end - table - start, kDvdTextMaxChars * 4);
            const uint8_t* stop = std::find_if(text, text + room,
                                               [](uint8_t b) { return b == kStringEnd || b == 0; });
            s.text = Decode(text, static_cast<size_t>(stop - text), language->charSet);
        }
        language->strings.push_back(std::move(s));
    }
    return true;
}

}  // namespace

bool ParseDvdText(const uint8_t* data, size_t size, std::vector<DvdTextLanguage>* languages) {
    languages->clear();
    if (!data || size < kHeaderBytes)
        return false;
    const int count = std::min<int>(Be16(data + 0x0E), kMaxLanguages);
    const size_t blockEnd = std::min<uint64_t>(size, uint64_t(Be32(data + 0x10)) + 1);
    languages->resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        DvdTextLanguage& language = (*languages)[static_cast<size_t>(i)];
        const size_t at = kHeaderBytes + static_cast<size_t>(i) * kLanguagePointerBytes;
        if (at + kLanguagePointerBytes > blockEnd)
            continue;  // its pointer is not in the block: there, but unreadable
        const uint8_t* pointer = data + at;
        if (pointer[0] >= 'a' && pointer[0] <= 'z' && pointer[1] >= 'a' && pointer[1] <= 'z')
            language.language = std::string{char(pointer[0]), char(pointer[1])};
        language.charSet = pointer[3];
        language.readable = ParseUnit(data, Be32(pointer + 4), blockEnd, &language);
        if (!language.readable)
            language.strings.clear();
    }
    return true;
}

}  // namespace plat
