// Bounded little-endian access to wire records. Every field is read or written
// at a named offset; an access that would leave the buffer is refused and
// remembered, so an overrun can never pass unnoticed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vornik {

class ByteWriter {
public:
    explicit ByteWriter(std::span<uint8_t> buf) : m_buf(buf) {}

    ByteWriter& At(size_t pos) { m_pos = pos; return *this; }
    ByteWriter& U8(uint8_t v) { Put(&v, 1); return *this; }
    // Devices store numbers least significant byte first.
    ByteWriter& U16(uint16_t v)
    {
        const uint8_t b[2] = {uint8_t(v & 0xFF), uint8_t(v >> 8)};
        Put(b, 2);
        return *this;
    }
    ByteWriter& U32(uint32_t v)
    {
        const uint8_t b[4] = {uint8_t(v & 0xFF), uint8_t((v >> 8) & 0xFF), uint8_t((v >> 16) & 0xFF),
                              uint8_t(v >> 24)};
        Put(b, 4);
        return *this;
    }
    ByteWriter& Bytes(std::span<const uint8_t> src) { Put(src.data(), src.size()); return *this; }
    // The few fields sent most significant byte first: the outer frame's
    // length, and the IP and UDP headers of a packet record.
    ByteWriter& U16BE(uint16_t v)
    {
        const uint8_t b[2] = {uint8_t(v >> 8), uint8_t(v & 0xFF)};
        Put(b, 2);
        return *this;
    }
    ByteWriter& U32BE(uint32_t v) { return U16BE(uint16_t(v >> 16)).U16BE(uint16_t(v & 0xFFFF)); }

    // A record's field by its own type, so that one list of fields serves both directions.
    ByteWriter& Field(uint8_t v) { return U8(v); }
    ByteWriter& Field(uint16_t v) { return U16(v); }
    ByteWriter& Field(int16_t v) { return U16(uint16_t(v)); } // two's complement, as devices keep it
    ByteWriter& Field(uint32_t v) { return U32(v); }
    template <size_t N>
    ByteWriter& Field(const std::array<uint8_t, N>& v) { return Bytes(v); }

    bool Ok() const { return m_ok; }

private:
    void Put(const uint8_t* p, size_t n)
    {
        if (!m_ok || m_pos > m_buf.size() || n > m_buf.size() - m_pos) {
            m_ok = false;
            return;
        }
        for (size_t i = 0; i < n; ++i) m_buf[m_pos + i] = p[i];
        m_pos += n;
    }

    std::span<uint8_t> m_buf;
    size_t m_pos = 0;
    bool m_ok = true;
};

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> buf) : m_buf(buf) {}

    ByteReader& At(size_t pos) { m_pos = pos; return *this; }
    uint8_t U8() { uint8_t b = 0; Get(&b, 1); return b; }
    uint16_t U16()
    {
        uint8_t b[2] = {};
        Get(b, 2);
        return uint16_t(b[0] | (b[1] << 8));
    }
    uint32_t U32()
    {
        uint8_t b[4] = {};
        Get(b, 4);
        return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    }
    void Bytes(std::span<uint8_t> dst) { Get(dst.data(), dst.size()); }
    uint16_t U16BE()
    {
        uint8_t b[2] = {};
        Get(b, 2);
        return uint16_t(b[0] << 8 | b[1]);
    }

    void Field(uint8_t& v) { v = U8(); }
    void Field(uint16_t& v) { v = U16(); }
    void Field(int16_t& v) { v = int16_t(U16()); }
    void Field(uint32_t& v) { v = U32(); }
    template <size_t N>
    void Field(std::array<uint8_t, N>& v) { Bytes(v); }

    bool Ok() const { return m_ok; }

private:
    void Get(uint8_t* p, size_t n)
    {
        if (!m_ok || m_pos > m_buf.size() || n > m_buf.size() - m_pos) {
            m_ok = false;
            return;
        }
        for (size_t i = 0; i < n; ++i) p[i] = m_buf[m_pos + i];
        m_pos += n;
    }

    std::span<const uint8_t> m_buf;
    size_t m_pos = 0;
    bool m_ok = true;
};

} // namespace vornik
