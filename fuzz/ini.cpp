// The skin ini reader and the field splitters on arbitrary text.
#include <cstdint>
#include <cstring>
#include <string>

#include "library/utility/IniReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    // Sections and keys to ask for: fixed ones, and words taken from the text itself.
    std::u16string words[4] = {u"Main", u"x", u"", u""};
    size_t open = text.find(u'[');
    size_t close = open == std::u16string::npos ? open : text.find(u']', open);
    if (close != std::u16string::npos)
        words[2] = text.substr(open + 1, close - open - 1);
    size_t eq = text.find(u'=');
    if (eq != std::u16string::npos)
        words[3] = text.substr(eq > 8 ? eq - 8 : 0, eq > 8 ? 8 : eq);
    std::u16string terminated(text.c_str());
    char16_t out[64];
    for (auto& section : words) {
        for (auto& key : words) {
            if (KvUtility::IniGetStringFromText(terminated.c_str(), section.c_str(), key.c_str(),
                                                out, 64) == RZ_OK) {
                int v;
                char16_t field[16];
                for (int i = 0; i < 6; ++i) {
                    KvUtility::IniGetFieldInt(out, i, &v);
                    KvUtility::IniGetFieldString(out, i, field, 16);
                }
            }
        }
    }
    int v;
    char16_t field[8];
    KvUtility::IniGetFieldInt(terminated.c_str(), 3, &v);
    KvUtility::IniGetFieldString(terminated.c_str(), 2, field, 8);
    return 0;
}
