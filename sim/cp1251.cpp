#include "cp1251.h"

#include <array>

namespace quilex::sim {
namespace {

// Bytes 0x80..0xBF that the gauge's names may use, with their characters. 0xC0..0xFF are
// А..я in alphabetical order and need no table.
struct Extra {
    std::uint8_t byte;
    char32_t ch;
};
constexpr std::array<Extra, 10> Extras{{
    {0x96, U'\u2013'}, // en dash
    {0x97, U'\u2014'}, // em dash
    {0xA0, U'\u00A0'}, // no-break space
    {0xA8, U'\u0401'}, // Ё
    {0xAB, U'\u00AB'}, // «
    {0xB0, U'\u00B0'}, // °
    {0xB1, U'\u00B1'}, // ±
    {0xB8, U'\u0451'}, // ё
    {0xB9, U'\u2116'}, // №
    {0xBB, U'\u00BB'}, // »
}};

std::optional<std::uint8_t> toByte(char32_t ch)
{
    if (ch < 0x80)
        return static_cast<std::uint8_t>(ch);
    if (ch >= U'\u0410' && ch <= U'\u044F')
        return static_cast<std::uint8_t>(0xC0 + (ch - U'\u0410'));
    for (const Extra& e : Extras)
        if (e.ch == ch)
            return e.byte;
    return std::nullopt;
}

std::optional<char32_t> fromByte(std::uint8_t b)
{
    if (b < 0x80)
        return b;
    if (b >= 0xC0)
        return static_cast<char32_t>(U'\u0410' + (b - 0xC0));
    for (const Extra& e : Extras)
        if (e.byte == b)
            return e.ch;
    return std::nullopt;
}

void appendUtf8(std::string& out, char32_t ch)
{
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

} // namespace

std::size_t decodeUtf8(std::string_view text, std::size_t pos, char32_t& out)
{
    if (pos >= text.size())
        return 0;
    const auto b0 = static_cast<std::uint8_t>(text[pos]);
    std::size_t len;
    char32_t ch;
    char32_t min;
    if (b0 < 0x80) {
        out = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2; ch = b0 & 0x1F; min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3; ch = b0 & 0x0F; min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4; ch = b0 & 0x07; min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - pos < len)
        return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<std::uint8_t>(text[pos + i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        ch = (ch << 6) | (b & 0x3F);
    }
    if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return 0;
    out = ch;
    return len;
}

std::optional<std::string> utf8ToCp1251(std::string_view utf8, std::size_t* badOffset)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t ch = 0;
        const std::size_t len = decodeUtf8(utf8, pos, ch);
        const std::optional<std::uint8_t> b = len ? toByte(ch) : std::nullopt;
        if (!b) {
            if (badOffset)
                *badOffset = pos;
            return std::nullopt;
        }
        out += static_cast<char>(*b);
        pos += len;
    }
    return out;
}

std::string cp1251ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        appendUtf8(out, fromByte(static_cast<std::uint8_t>(c)).value_or(U'\uFFFD'));
    return out;
}

std::size_t utf8Length(std::string_view utf8)
{
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t ch = 0;
        const std::size_t len = decodeUtf8(utf8, pos, ch);
        pos += len ? len : 1;
        ++count;
    }
    return count;
}

} // namespace quilex::sim
