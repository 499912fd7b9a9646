#include "exchange/screen_image.h"

namespace quilex {

bool screenPixel(const ScreenImage& image, int col, int row)
{
    if (col < 0 || col >= ScreenWidth || row < 0 || row >= ScreenHeight)
        return false;
    const std::size_t n = static_cast<std::size_t>((row / 8) * ScreenWidth + col);
    return (image[n] >> (row % 8)) & 1;
}

ScreenMatrix::ScreenMatrix() : cells_(static_cast<std::size_t>(Width * Height), 0) {}

bool ScreenMatrix::at(int x, int y) const
{
    if (x < 0 || x >= Width || y < 0 || y >= Height)
        return false;
    return cells_[static_cast<std::size_t>(y * Width + x)] != 0;
}

void ScreenMatrix::set(int x, int y, bool ink)
{
    if (x < 0 || x >= Width || y < 0 || y >= Height)
        return;
    cells_[static_cast<std::size_t>(y * Width + x)] = ink ? 1 : 0;
}

ScreenMatrix buildScreenMatrix(const ScreenImage& image)
{
    ScreenMatrix matrix;
    for (int x = 0; x < ScreenMatrix::Width; ++x) {
        matrix.set(x, 0, true);
        matrix.set(x, ScreenMatrix::Height - 1, true);
    }
    for (int y = 0; y < ScreenMatrix::Height; ++y) {
        matrix.set(0, y, true);
        matrix.set(ScreenMatrix::Width - 1, y, true);
    }
    for (int row = 0; row < ScreenHeight; ++row) {
        for (int col = 0; col < ScreenWidth; ++col)
            matrix.set(col + 2, row + 2, screenPixel(image, col, row));
    }
    return matrix;
}

ScreenMatrix takeScreenMatrix(ScreenImage& image)
{
    ScreenMatrix matrix = buildScreenMatrix(image);
    image.fill(0);
    return matrix;
}

} // namespace quilex
