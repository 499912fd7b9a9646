#pragma once
// The picture on the gauge's 128 x 64 screen as the gauge sends it, and the framed 132 x 68
// picture the screenshot window shows.
//
// The gauge sends its screen in 8 bands of 128 bytes, top band first. Byte n covers column
// n mod 128 and the 8 rows from 8 x (n div 128) down, its least significant bit on top;
// a 1 bit is ink.

#include "link/commands.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quilex {

using ScreenImage = std::array<std::uint8_t, ScreenImageLength>;

inline constexpr int ScreenWidth = 128;
inline constexpr int ScreenHeight = 64;

// Ink at column col (0..127), row row (0..63); false outside the screen.
bool screenPixel(const ScreenImage& image, int col, int row);

// The screen inside a one-pixel frame on the outer edge and a one-pixel background gap:
// screen pixel (c, r) sits at (c + 2, r + 2).
class ScreenMatrix {
public:
    static constexpr int Width = ScreenWidth + 4;   // 132
    static constexpr int Height = ScreenHeight + 4; // 68

    ScreenMatrix();

    int width() const { return Width; }
    int height() const { return Height; }
    // 1 = ink (pen colour), 0 = background; false outside the matrix.
    bool at(int x, int y) const;
    void set(int x, int y, bool ink);
    // Row-major cells, one byte each (0 or 1), Width x Height of them.
    const std::vector<std::uint8_t>& cells() const { return cells_; }

private:
    std::vector<std::uint8_t> cells_;
};

ScreenMatrix buildScreenMatrix(const ScreenImage& image);

// As buildScreenMatrix, then clears the image: the window has always used up the picture it
// showed, so a later short reply leaves zeros, not the previous picture, behind its bytes.
ScreenMatrix takeScreenMatrix(ScreenImage& image);

} // namespace quilex
