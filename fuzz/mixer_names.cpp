// "MixerNames.ini", the names of the sound card's mixer controls behind the mixer lines, on
// arbitrary UTF-16LE text.
#include <cstdint>
#include <string>

#include "core/kernel/HWAudio.h"
#include "fuzz/FuzzCheck.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    const MixerLineNames names = ParseMixerNames(text);
    // Every name is text the mixer can be asked for: no line break, no NUL inside.
    auto plain = [](const std::string& s) {
        return s.find('\0') == std::string::npos && s.find('\n') == std::string::npos;
    };
    Check(plain(names.card) && plain(names.master) && plain(names.waveOut));
    for (const std::string& line : names.line)
        Check(plain(line));
    return 0;
}
