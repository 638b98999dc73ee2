// The DVD text data reader on arbitrary bytes: it stays inside them, and what it gives is
// bounded by them.
#include <cstdint>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/media/DvdText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<plat::DvdTextLanguage> languages;
    if (!plat::ParseDvdText(data, size, &languages)) {
        fuzz::Check(languages.empty() && size < 20);
        return 0;
    }
    fuzz::Check(languages.size() <= 256);
    for (const auto& language : languages) {
        fuzz::Check(language.readable || language.strings.empty());
        fuzz::Check(language.language.empty() || language.language.size() == 2);
        // Each string pointer takes 4 bytes of the input.
        fuzz::Check(language.strings.size() <= size / 4);
        for (const auto& s : language.strings)
            fuzz::Check(s.text.size() < plat::kDvdTextMaxChars && s.text.size() <= size);
    }
    return 0;
}
