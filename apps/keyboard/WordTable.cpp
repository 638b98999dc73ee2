#include "apps/keyboard/WordTable.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/kernel/Utf16File.h"

int ParseWordTable(const uint8_t* data, size_t size, KB_CAPTION_TABLE& table) {
    std::memset(table, 0, sizeof table);
    std::u16string text = DecodeUtf16Le(data, size);
    const size_t end = text.find(u"Do");
    if (end != std::u16string::npos)
        text.resize(end);
    int lines = 0;
    size_t at = 0;
    while (lines < KB_KEY_COUNT && at < text.size()) {
        while (at < text.size() && (text[at] == u' ' || text[at] == u'\t'))
            ++at;
        const size_t lineEnd = text.find_first_of(u"\r\n", at);
        // A line must end to count: the text may have been cut in its middle.
        if (lineEnd == std::u16string::npos)
            break;
        size_t length = std::min<size_t>(lineEnd - at, KB_CAPTION_CHARS - 1);
        // A cut never leaves half of a surrogate pair.
        if (length < lineEnd - at && text[at + length - 1] >= 0xD800 &&
            text[at + length - 1] <= 0xDBFF)
            --length;
        std::memcpy(table[lines], text.data() + at, length * sizeof(char16_t));
        table[lines][length] = 0;
        ++lines;
        at = lineEnd + 1;
        if (text[lineEnd] == u'\r' && at < text.size() && text[at] == u'\n')
            ++at;
    }
    return lines;
}
