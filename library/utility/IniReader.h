// The skin ini reader. Skin files are written for its dialect, so its quirks are kept:
// the section header is found as plain text anywhere in the file, the rest of the header line
// is the section's first row, a row holding "[" ends the section, a line end is taken to be
// two characters long (files with bare line feeds lose the first character of each following
// line), text after the last line end is not read, and ";" starts a comment in a value.
#pragma once

#include <cstddef>

#include "library/include/KvTypes.h"
#include "platform/io/FileCache.h"

namespace KvUtility {

// The decoded text of each file is kept while the file stays unchanged (same file, size and
// times); a file replaced or rewritten is read anew.
RZRESULT IniGetString(const char16_t* file, const char16_t* section, const char16_t* key,
                      char16_t* out, int outChars);
// The same lookup on text already in memory (UTF-16, terminated).
RZRESULT IniGetStringFromText(const char16_t* text, const char16_t* section, const char16_t* key,
                              char16_t* out, int outChars);
// Fields of a value are separated by ", " and numbered from 1.
RZRESULT IniGetFieldInt(const char16_t* line, int index, int* out);
RZRESULT IniGetFieldString(const char16_t* line, int index, char16_t* out, int outChars);

// The cache of decoded files: bounded by their bytes, least recently used out first.
constexpr size_t kDefaultIniCacheBytes = 4u << 20;
plat::FileCacheStats IniCacheStats();
void SetIniCacheLimit(size_t bytes);
void ClearIniCache();

}  // namespace KvUtility
