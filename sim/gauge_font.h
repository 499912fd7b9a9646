#pragma once
// A 5 x 7 pixel font for the gauge's screen and the drawing of text into the screen picture.
// The picture is 8 bands of 128 bytes; each byte holds 8 pixels of one column, bit 0 on top.

#include <array>
#include <cstdint>
#include <string_view>

namespace quilex::sim {

inline constexpr int ScreenWidth = 128;
inline constexpr int ScreenHeight = 64;
using ScreenPicture = std::array<std::uint8_t, 1024>;

// Lights (or clears) one pixel; pixels outside the screen are ignored.
void setPixel(ScreenPicture& picture, int x, int y, bool ink = true);
bool pixelAt(const ScreenPicture& picture, int x, int y);

// True when the font has a glyph for every character of the ASCII text: space, digits,
// A-Z, a-z (only m and s have lower-case shapes; other letters use the capital), and . , - : / = % + ( ).
bool fontCovers(std::string_view text);

// Draws text with its top-left corner at (x, y), every font pixel a scale x scale square;
// characters are 6 x scale pixels apart. Characters without a glyph are skipped with their
// space. Returns the x after the last character.
int drawText(ScreenPicture& picture, int x, int y, int scale, std::string_view text);

// Width in pixels that drawText takes for the text.
int textWidth(std::string_view text, int scale);

} // namespace quilex::sim
