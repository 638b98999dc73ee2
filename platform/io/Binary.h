// Little-endian field-by-field reading and writing of stored byte layouts. Never memcpy a
// struct into a file: the layouts were fixed on a platform with 2-byte wchar_t and 4-byte long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

class BinWriter {
public:
    void U8(uint8_t v) { m_buf.push_back(v); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    void U64(uint64_t v);
    void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
    void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
    void Bytes(const void* data, size_t size);
    void Zeros(size_t count) { m_buf.insert(m_buf.end(), count, 0); }
    // A fixed field of `chars` UTF-16 units: the text up to its terminator, then zeros.
    // The last unit is always written as 0.
    void Str16(const char16_t* text, size_t chars);

    size_t Size() const { return m_buf.size(); }
    const std::vector<uint8_t>& Data() const { return m_buf; }
    std::vector<uint8_t>& Data() { return m_buf; }

private:
    std::vector<uint8_t> m_buf;
};

// Reads from a byte range. Reading past the end gives zeros and clears Ok().
class BinReader {
public:
    BinReader(const void* data, size_t size)
        : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}
    explicit BinReader(const std::vector<uint8_t>& v) : BinReader(v.data(), v.size()) {}

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    uint64_t U64();
    int8_t I8() { return static_cast<int8_t>(U8()); }
    int16_t I16() { return static_cast<int16_t>(U16()); }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    int64_t I64() { return static_cast<int64_t>(U64()); }
    bool Bytes(void* out, size_t size);
    void Skip(size_t size);
    // Reads a fixed field of `chars` UTF-16 units into dst (chars units); the last unit is
    // forced to 0 so that the text is always terminated.
    void Str16(char16_t* dst, size_t chars);

    bool Ok() const { return m_ok; }
    size_t Pos() const { return m_pos; }
    size_t Remaining() const { return m_size - m_pos; }
    bool AtEnd() const { return m_pos == m_size; }

private:
    bool Take(size_t n);
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

}  // namespace plat
