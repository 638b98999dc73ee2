// Language files on arbitrary bytes.
#include <cstdint>
#include <string>

#include "core/kernel/Language.h"
#include "core/kernel/Utf16File.h"
#include "platform/text/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text = DecodeUtf16Le(data, size);
    static LANGUAGE_TABLE table;
    FillLanguageTable(text, table);
    for (const auto& entry : table) {
        if (plat::StrLenN(entry, LANGUAGE_ENTRY_CHARS) >= LANGUAGE_ENTRY_CHARS)
            __builtin_trap();
    }
    // A section and a key taken from the text itself.
    size_t open = text.find(u'[');
    size_t close = open == std::u16string::npos ? open : text.find(u']', open);
    size_t eq = text.find(u'=');
    if (close != std::u16string::npos && eq != std::u16string::npos) {
        std::u16string section = text.substr(open + 1, close - open - 1);
        size_t start = text.rfind(u'\n', eq);
        start = start == std::u16string::npos ? 0 : start + 1;
        std::u16string key = text.substr(start, eq - start);
        char16_t out[LANGUAGE_ENTRY_CHARS];
        FindLangEntry(text, section.c_str(), key.c_str(), out);
        if (plat::StrLenN(out, LANGUAGE_ENTRY_CHARS) >= LANGUAGE_ENTRY_CHARS)
            __builtin_trap();
    }
    return 0;
}
