#include <gtest/gtest.h>

#include "run/MediaFit.h"

namespace {

struct TFitCase {
    const char* name;
    uint8_t mode;
    int32_t panelWidth, panelHeight, videoWidth, videoHeight;
    bool placed;
    TVideoRect rect;
};

}  // namespace

TEST(MediaFit, PlacesTheVideoByTheScaleMode) {
    const TFitCase cases[] = {
        {"natural, centred inside the bevel", kScaleNatural, 204, 154, 100, 50, true, {54, 54, 100, 50}},
        {"natural, odd spare space truncates", kScaleNatural, 205, 156, 100, 51, true, {54, 54, 100, 51}},
        {"natural, larger than the panel: halves truncate toward zero", kScaleNatural, 104, 54, 161, 99, true,
         {-26, -20, 161, 99}},
        {"stretched to the inner area", kScaleStretch, 204, 154, 100, 50, true, {2, 2, 200, 150}},
        {"fitted, taller than the panel: full height, no bevel offset on the left", kScaleFit, 204, 104, 160, 120,
         true, {33, 2, 133, 100}},
        {"fitted, wider than the panel: full width", kScaleFit, 204, 104, 320, 100, true, {2, 19, 200, 62}},
        {"fitted, the same proportions count as taller", kScaleFit, 204, 104, 400, 200, true, {0, 2, 200, 100}},
        // 120/100 against 190/100: integer division would call these equal and pick the other side.
        {"fitted, ratios compared as reals", kScaleFit, 104, 104, 190, 120, true, {2, 18, 100, 63}},
        {"fitted, a small video grows", kScaleFit, 304, 204, 30, 10, true, {2, 50, 300, 100}},
        {"zero video width", kScaleNatural, 204, 154, 0, 50, false, {}},
        {"zero video height", kScaleFit, 204, 154, 100, 0, false, {}},
        {"no inner width", kScaleStretch, 4, 154, 100, 50, false, {}},
        {"no inner height", kScaleStretch, 204, 4, 100, 50, false, {}},
        {"panel lower than its bevel", kScaleNatural, 204, 3, 100, 50, false, {}},
        {"unknown mode", 3, 204, 154, 100, 50, false, {}},
    };
    for (const TFitCase& c : cases) {
        SCOPED_TRACE(c.name);
        TVideoRect rect{-7, -7, -7, -7};
        ASSERT_EQ(FitVideoRect(c.mode, c.panelWidth, c.panelHeight, c.videoWidth, c.videoHeight, rect), c.placed);
        if (!c.placed) {
            EXPECT_EQ(rect.Left, -7);  // left as it was
            continue;
        }
        EXPECT_EQ(rect.Left, c.rect.Left);
        EXPECT_EQ(rect.Top, c.rect.Top);
        EXPECT_EQ(rect.Width, c.rect.Width);
        EXPECT_EQ(rect.Height, c.rect.Height);
    }
}

TEST(MediaFit, NaturalSizeAndBevelScaleWithTheDpi) {
    struct TDpiCase {
        const char* name;
        int dpi;
        uint8_t mode;
        int32_t panelWidth, panelHeight, videoWidth, videoHeight;
        bool placed;
        TVideoRect rect;
    };
    const TDpiCase cases[] = {
        // The clip looks as large as at 96: 100 x 50 of its pixels take 150 x 75 of the screen's.
        {"natural at 144", 144, kScaleNatural, 206, 156, 100, 50, true, {31, 43, 150, 75}},
        {"natural at 192", 192, kScaleNatural, 208, 158, 100, 50, true, {8, 33, 200, 100}},
        // 2.5 and 62.5 go to the even neighbours.
        {"natural at 120", 120, kScaleNatural, 204, 154, 100, 50, true, {41, 48, 125, 62}},
        {"stretched at 144: a bevel of 3", 144, kScaleStretch, 206, 156, 100, 50, true, {3, 3, 200, 150}},
        {"fitted, wider, at 144", 144, kScaleFit, 206, 106, 320, 100, true, {3, 19, 200, 62}},
        // Fitting needs the proportions only: the clip's own size is not scaled first.
        {"fitted, taller, at 144", 144, kScaleFit, 206, 106, 160, 120, true, {33, 3, 133, 100}},
        {"panel no higher than its bevels at 144", 144, kScaleStretch, 206, 6, 100, 50, false, {}},
    };
    for (const TDpiCase& c : cases) {
        SCOPED_TRACE(c.name);
        TVideoRect rect{-7, -7, -7, -7};
        ASSERT_EQ(FitVideoRect(c.mode, c.panelWidth, c.panelHeight, c.videoWidth, c.videoHeight, rect, c.dpi), c.placed);
        if (!c.placed) continue;
        EXPECT_EQ(rect.Left, c.rect.Left);
        EXPECT_EQ(rect.Top, c.rect.Top);
        EXPECT_EQ(rect.Width, c.rect.Width);
        EXPECT_EQ(rect.Height, c.rect.Height);
    }
}
