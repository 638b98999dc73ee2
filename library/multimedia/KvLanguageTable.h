// English names of the languages the player's stream lists show most often.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/include/IKvPlayer.h"

namespace KvMultimedia {

class CKvLanguageTable {
public:
    // Copies the name of the first row with that locale id into `out` (bounded) and answers
    // true; "Unknown" and false when no row has it.
    bool GetName(uint32_t lcid, char16_t* out, int outChars) const;
    // The same by the two-letter code a disc labels its streams with.
    bool GetName(const char* code, char16_t* out, int outChars) const;

private:
    struct Row {
        uint32_t lcid;
        const char* code;
        const char16_t* name;
    };
    static const Row s_rows[10];
};

// Copies stream names into the caller's table (rows of KV_STREAM_NAME_CHARS units, cut and
// terminated) and answers how many rows were filled: never more than the table's
// KV_MAX_STREAMS rows, so a count can always be trusted to index them.
uint32_t FillStreamNames(const std::vector<std::u16string>& names,
                         char16_t (*rows)[KV_STREAM_NAME_CHARS]);

}  // namespace KvMultimedia
