// Design pixels and points at the scalings schools' screens use.
#include <gtest/gtest.h>

#include "platform/DpiScale.h"

namespace {

struct TScaleCase {
    int Value;
    int Dpi;
    int Expected;
};

class ScaleForDpiTest : public ::testing::TestWithParam<TScaleCase> {};

TEST_P(ScaleForDpiTest, GivesTheNearestPixelAHalfToTheEvenOne) {
    const TScaleCase& c = GetParam();
    EXPECT_EQ(ScaleForDpi(c.Value, c.Dpi), c.Expected) << c.Value << " at " << c.Dpi;
}

INSTANTIATE_TEST_SUITE_P(
    Scalings, ScaleForDpiTest,
    ::testing::Values(
        // At 96 DPI nothing moves, whatever the value.
        TScaleCase{0, 96, 0}, TScaleCase{1, 96, 1}, TScaleCase{431, 96, 431}, TScaleCase{-7, 96, -7},
        TScaleCase{2147483647, 96, 2147483647},
        // 125 %: 10 * 1.25 = 12.5 goes to 12, 14 * 1.25 = 17.5 to 18, 3 * 1.25 = 3.75 to 4.
        TScaleCase{10, 120, 12}, TScaleCase{14, 120, 18}, TScaleCase{3, 120, 4}, TScaleCase{431, 120, 539},
        // 150 %: 15 * 1.5 = 22.5 goes to 22, 17 * 1.5 = 25.5 to 26.
        TScaleCase{431, 144, 646}, TScaleCase{223, 144, 334}, TScaleCase{15, 144, 22}, TScaleCase{17, 144, 26},
        // 200 % and 175 %.
        TScaleCase{431, 192, 862}, TScaleCase{1, 168, 2}, TScaleCase{2, 168, 4},
        // Offsets to the left or above scale like those to the right.
        TScaleCase{-10, 120, -12}, TScaleCase{-14, 120, -18}, TScaleCase{-15, 144, -22}, TScaleCase{-3, 120, -4}));

TEST(PointsToPixelsTest, RoundsAHalfUpAsWindowsDoes) {
    EXPECT_EQ(PointsToPixels(8, 96), 11);    // 10.67
    EXPECT_EQ(PointsToPixels(9, 96), 12);    // 12
    EXPECT_EQ(PointsToPixels(14, 96), 19);   // 18.67
    EXPECT_EQ(PointsToPixels(9, 144), 18);   // 18
    EXPECT_EQ(PointsToPixels(14, 144), 28);  // 28
    EXPECT_EQ(PointsToPixels(3, 120), 5);    // 5 exactly
    EXPECT_EQ(PointsToPixels(1, 108), 2);    // 1.5 goes up
    EXPECT_EQ(PointsToPixels(12, 192), 32);
}

}  // namespace
