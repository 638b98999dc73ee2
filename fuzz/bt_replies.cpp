// Bluetooth-module replies: whatever bytes the module sends, in whatever pieces, the line
// assembly keeps to 128-byte lines and the phone-book and caller-id decoding always end their
// text inside its buffer.
//
// The first byte chooses where the input is cut into reads; the rest are the module's bytes.
#include <cstdint>
#include <cstring>

#include "apps/phone/BTModule.h"
#include "fuzz/FuzzCheck.h"

namespace {

void CheckLine(const uint8_t* line, size_t size) {
    fuzz::Check(size + 2 <= BT_LINE_MAX);
    uint8_t buf[BT_LINE_MAX + 1];
    std::memcpy(buf, line, size);
    buf[size] = '\r';
    buf[size + 1] = '\n';
    buf[size + 2] = 0;

    BT_DOWNLOAD_ENTRY entry;
    std::memset(&entry, 0xA5, sizeof entry);
    DecodeB1Line(buf, size + 3, entry);
    size_t units = 0;
    while (units < 128 && entry.szLine[units] != 0)
        ++units;
    fuzz::Check(units <= BT_B1_UNITS);
    fuzz::Check(entry.iSepCount >= 0 && entry.iSepCount <= BT_B1_UNITS);
    for (int i = 0; i < 3; ++i) {
        int32_t pos = entry.iSepPos[i];
        // Zero units may come before a separator, so positions are checked against the cut.
        fuzz::Check(i < entry.iSepCount ? pos >= 1 && pos <= BT_B1_UNITS : pos == 0);
    }

    char16_t id[BT_CALLER_UNITS + 1];
    std::memset(id, 0xA5, sizeof id);
    size_t n = DecodeCallerId(line, size, id);
    fuzz::Check(n <= BT_CALLER_UNITS && id[n] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    size_t step = (data[0] & 0x3F) + 1;
    ++data;
    --size;
    CBTLineAssembler lines;
    for (size_t pos = 0; pos < size; pos += step) {
        size_t n = size - pos < step ? size - pos : step;
        lines.Feed(data + pos, n, CheckLine);
        fuzz::Check(lines.Pending() < BT_LINE_MAX);
    }
    return 0;
}
