#include "exchange/screen_image.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace quilex;

TEST(ScreenImage, BandsOfVerticalBytesLeastSignificantBitOnTop)
{
    ScreenImage image{};
    image[0] = 0x01;    // column 0, row 0
    image[127] = 0x80;  // column 127, row 7
    image[128] = 0x02;  // band 1: column 0, row 9
    image[1023] = 0x80; // column 127, row 63
    image[517] = 0x10;  // band 4, column 5: row 36

    EXPECT_TRUE(screenPixel(image, 0, 0));
    EXPECT_FALSE(screenPixel(image, 0, 1));
    EXPECT_FALSE(screenPixel(image, 1, 0));
    EXPECT_TRUE(screenPixel(image, 127, 7));
    EXPECT_FALSE(screenPixel(image, 127, 6));
    EXPECT_TRUE(screenPixel(image, 0, 9));
    EXPECT_FALSE(screenPixel(image, 0, 8));
    EXPECT_TRUE(screenPixel(image, 127, 63));
    EXPECT_TRUE(screenPixel(image, 5, 36));

    int ink = 0;
    for (int r = 0; r < ScreenHeight; ++r)
        for (int c = 0; c < ScreenWidth; ++c)
            ink += screenPixel(image, c, r);
    EXPECT_EQ(ink, 5);

    EXPECT_FALSE(screenPixel(image, -1, 0));
    EXPECT_FALSE(screenPixel(image, 128, 0));
    EXPECT_FALSE(screenPixel(image, 0, 64));
}

TEST(ScreenMatrix, FrameGapAndPictureInside)
{
    ScreenImage image{};
    image.fill(0xFF); // all ink: the gap must still stay background
    const ScreenMatrix m = buildScreenMatrix(image);
    ASSERT_EQ(m.width(), 132);
    ASSERT_EQ(m.height(), 68);
    ASSERT_EQ(m.cells().size(), 132u * 68u);
    for (int y = 0; y < 68; ++y) {
        for (int x = 0; x < 132; ++x) {
            const bool frame = x == 0 || x == 131 || y == 0 || y == 67;
            const bool gap = !frame && (x == 1 || x == 130 || y == 1 || y == 66);
            ASSERT_EQ(m.at(x, y), !gap) << x << "," << y;
        }
    }
    EXPECT_FALSE(m.at(132, 0));
    EXPECT_FALSE(m.at(0, -1));
}

TEST(ScreenMatrix, ScreenPixelLandsTwoCellsInAndTakingClearsTheImage)
{
    ScreenImage image{};
    image[0] = 0x01;
    image[1023] = 0x80;
    image[128 + 10] = 0x04; // column 10, row 10
    const ScreenMatrix m = takeScreenMatrix(image);
    EXPECT_TRUE(m.at(2, 2));
    EXPECT_TRUE(m.at(129, 65));
    EXPECT_TRUE(m.at(12, 12));

    int inner = 0;
    for (int y = 1; y < 67; ++y)
        for (int x = 1; x < 131; ++x)
            inner += m.at(x, y);
    EXPECT_EQ(inner, 3);
    EXPECT_EQ(std::accumulate(image.begin(), image.end(), 0), 0);
}
