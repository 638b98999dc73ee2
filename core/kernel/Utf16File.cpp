#include "core/kernel/Utf16File.h"

#include <vector>

#include "platform/io/File.h"

std::u16string DecodeUtf16Le(const uint8_t* data, size_t size) {
    std::u16string text;
    if (!data)
        return text;
    size_t units = size / 2;
    text.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        char16_t c = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        if (c == 0)
            break;
        if (i == 0 && c == 0xFEFF)
            continue;
        text.push_back(c);
    }
    return text;
}

bool ReadUtf16File(const std::string& path, std::u16string& out, size_t maxBytes) {
    std::vector<uint8_t> bytes;
    // Only plain files: opening a pipe for reading would wait for a writer.
    if (!plat::IsRegularFile(path) || !plat::ReadWholeFile(path, bytes, maxBytes))
        return false;
    out = DecodeUtf16Le(bytes.data(), bytes.size());
    return true;
}
