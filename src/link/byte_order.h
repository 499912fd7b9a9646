#pragma once
// Little-endian reading and writing of the gauge's words. Bytes on the wire are always
// assembled one by one: no structure is ever laid over a buffer.

#include <cstdint>
#include <cstring>

namespace quilex {

inline std::uint16_t readU16le(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t readU32le(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int32_t readI32le(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(readU32le(p));
}

inline float readF32le(const std::uint8_t* p)
{
    const std::uint32_t bits = readU32le(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void writeU16le(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void writeU32le(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    p[2] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void writeI32le(std::uint8_t* p, std::int32_t v)
{
    writeU32le(p, static_cast<std::uint32_t>(v));
}

inline void writeF32le(std::uint8_t* p, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    writeU32le(p, bits);
}

} // namespace quilex
