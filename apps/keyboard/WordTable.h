// The on-screen keyboard's caption tables ("word tables"): UTF-16LE text files of the skin, one
// line per key number, each line the caption of that key.
#pragma once

#include <cstddef>
#include <cstdint>

// Keys of the keyboard, and room for one caption with its terminator.
#define KB_KEY_COUNT 65
#define KB_CAPTION_CHARS 128

typedef char16_t KB_CAPTION_TABLE[KB_KEY_COUNT][KB_CAPTION_CHARS];

// Fills `table` from the bytes of a caption file and returns how many lines were stored; the
// entries after them are left empty.
// - The text ends at the end of the data, at a zero character, or where "D" and "o" follow
//   each other (the tables end with a line that starts with them).
// - A line ends at CR LF, CR or LF. A last line without a line end is not stored.
// - Blanks and tabs at the start of a line are skipped; line k is the caption of key k; at most
//   65 lines, each cut to 127 characters. A byte-order mark at the start is not text.
int ParseWordTable(const uint8_t* data, size_t size, KB_CAPTION_TABLE& table);
