#include "platform/io/Binary.h"

#include <cstring>

namespace plat {

void BinWriter::U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
}

void BinWriter::U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
}

void BinWriter::U64(uint64_t v) {
    U32(static_cast<uint32_t>(v));
    U32(static_cast<uint32_t>(v >> 32));
}

void BinWriter::Bytes(const void* data, size_t size) {
    auto* p = static_cast<const uint8_t*>(data);
    m_buf.insert(m_buf.end(), p, p + size);
}

void BinWriter::Str16(const char16_t* text, size_t chars) {
    if (chars == 0)
        return;
    size_t i = 0;
    if (text) {
        for (; i + 1 < chars && text[i]; ++i)
            U16(text[i]);
    }
    for (; i < chars; ++i)
        U16(0);
}

bool BinReader::Take(size_t n) {
    if (!m_ok || n > m_size - m_pos) {
        m_ok = false;
        m_pos = m_size;
        return false;
    }
    return true;
}

uint8_t BinReader::U8() {
    if (!Take(1))
        return 0;
    return m_data[m_pos++];
}

uint16_t BinReader::U16() {
    if (!Take(2))
        return 0;
    uint16_t v = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}

uint32_t BinReader::U32() {
    uint32_t lo = U16();
    uint32_t hi = U16();
    return lo | (hi << 16);
}

uint64_t BinReader::U64() {
    uint64_t lo = U32();
    uint64_t hi = U32();
    return lo | (hi << 32);
}

bool BinReader::Bytes(void* out, size_t size) {
    if (!Take(size)) {
        std::memset(out, 0, size);
        return false;
    }
    std::memcpy(out, m_data + m_pos, size);
    m_pos += size;
    return true;
}

void BinReader::Skip(size_t size) {
    if (Take(size))
        m_pos += size;
}

void BinReader::Str16(char16_t* dst, size_t chars) {
    for (size_t i = 0; i < chars; ++i)
        dst[i] = U16();
    if (chars)
        dst[chars - 1] = 0;
}

}  // namespace plat
