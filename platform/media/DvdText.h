// The text data a DVD-Video may carry in its video manager (VIDEO_TS.IFO): per language, a
// list of strings, each marked with what it names. Types up to 0x20 mark the disc's structure
// (0x01 volume, 0x02 title, 0x04 chapter...) and hold no text of their own; the types above
// name the structure they follow (0x30 name, 0x31 comments, 0x38... titles of series, movie,
// album, song...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

struct DvdTextString {
    int type = 0;
    std::u16string text;  // empty for the structure marks
};

struct DvdTextLanguage {
    std::string language;  // two-letter code as stored ("" when not letters)
    int charSet = 0;       // 0x01 ISO 646, 0x11 ISO 8859-1, 0x12 Shift JIS, ...
    // False when the language's unit lies outside the block or is broken: its strings
    // cannot be counted.
    bool readable = false;
    std::vector<DvdTextString> strings;
};

// Longest string kept, in characters: as much as a diagnostic shows.
constexpr size_t kDvdTextMaxChars = 1024;

// Reads the text data block as it starts at its sector of VIDEO_TS.IFO; `size` is how much of
// the file there is from there. Every offset is checked against the block's own end and
// against `size`. False when the block's header itself cannot be read (no languages).
bool ParseDvdText(const uint8_t* data, size_t size, std::vector<DvdTextLanguage>* languages);

}  // namespace plat
