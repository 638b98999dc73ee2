// The program's own text files (settings defaults, language files) are UTF-16LE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Decodes UTF-16LE bytes; a leading byte-order mark is dropped, an odd last byte ignored and a
// zero unit ends the text (the readers work on terminated text).
std::u16string DecodeUtf16Le(const uint8_t* data, size_t size);

// Reads a whole UTF-16LE file; false when it cannot be read or is larger than maxBytes.
bool ReadUtf16File(const std::string& path, std::u16string& out, size_t maxBytes = 4u << 20);
