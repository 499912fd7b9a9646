// A screen picture as a reply leaves it: the framed matrix the screenshot window shows.

#include "fuzz_check.h"

#include "exchange/screen_image.h"

#include <algorithm>
#include <cstring>

using namespace quilex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ScreenImage image{};
    std::memcpy(image.data(), data, std::min(size, image.size()));
    const ScreenMatrix matrix = buildScreenMatrix(image);
    FUZZ_CHECK(matrix.cells().size() == std::size_t(ScreenMatrix::Width * ScreenMatrix::Height));
    for (int y = 0; y < ScreenMatrix::Height; ++y) {
        for (int x = 0; x < ScreenMatrix::Width; ++x) {
            const bool frame = x == 0 || y == 0 || x == ScreenMatrix::Width - 1 || y == ScreenMatrix::Height - 1;
            const bool gap = !frame && (x == 1 || y == 1 || x == ScreenMatrix::Width - 2 || y == ScreenMatrix::Height - 2);
            bool expected = frame;
            if (!frame && !gap) {
                const int col = x - 2, row = y - 2;
                expected = (image[std::size_t((row / 8) * ScreenWidth + col)] >> (row % 8)) & 1;
            }
            FUZZ_CHECK(matrix.at(x, y) == expected);
        }
    }
    // Any coordinates: outside the screen or the matrix there is nothing.
    if (size >= 4) {
        const int x = static_cast<std::int8_t>(data[0]) * 3, y = static_cast<std::int8_t>(data[1]) * 3;
        if (x < 0 || y < 0 || x >= ScreenMatrix::Width || y >= ScreenMatrix::Height)
            FUZZ_CHECK(!matrix.at(x, y));
        if (x < 0 || y < 0 || x >= ScreenWidth || y >= ScreenHeight)
            FUZZ_CHECK(!screenPixel(image, x, y));
    }
    const ScreenMatrix taken = takeScreenMatrix(image);
    FUZZ_CHECK(taken.cells() == matrix.cells());
    FUZZ_CHECK(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0; }));
    return 0;
}
