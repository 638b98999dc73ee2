// The keyboard layout file on arbitrary bytes.
#include <cstdint>
#include <string>

#include "apps/keyboard/KbInput.h"
#include "core/kernel/Utf16File.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KbLayoutFile file;
    ParseKeyboardLayouts(DecodeUtf16Le(data, size), file);
    for (const std::u16string& id : file.preload) {
        if (id.empty() || id.size() >= 24)
            __builtin_trap();
    }
    for (const auto& [id, layout] : file.layouts) {
        if (id.empty() || id.size() >= 24 || layout.text.size() >= 260)
            __builtin_trap();
        for (const auto& [vk, key] : layout.keys) {
            // Each side of a key is one character: one unit, or a whole surrogate pair.
            for (const std::u16string* s : {&key.normal, &key.shift}) {
                if (s->empty() || s->size() > 2 || (*s)[0] < 0x20)
                    __builtin_trap();
                if (s->size() == 2 && ((*s)[0] < 0xD800 || (*s)[0] > 0xDBFF))
                    __builtin_trap();
            }
            // What a key gives is what the file says, whatever the modifiers.
            KbKeyMessage m;
            (void)KbKeyText(vk, m);
        }
    }
    return 0;
}
