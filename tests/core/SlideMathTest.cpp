#include <gtest/gtest.h>

#include "run/SlideMath.h"

namespace {

struct TSlideCase {
    const char* name;
    TSlideRect from;
    int32_t left, top, width, height;
    uint16_t steps;
    TSlideRect target;
    uint16_t ticks;
};

}  // namespace

TEST(SlideMath, LandsExactlyOnTheTargetAfterItsTicks) {
    const TSlideCase cases[] = {
        {"one step jumps", {-500, 10, 500, 200}, 10, 10, -1, -1, 1, {10, 10, 500, 200}, 1},
        {"seven steps", {-500, 10, 500, 200}, 10, 10, -1, -1, 7, {10, 10, 500, 200}, 7},
        {"thirds that do not divide", {0, 768, 1004, 93}, 0, 675, -1, -1, 3, {0, 675, 1004, 93}, 3},
        {"backwards", {10, 10, 500, 200}, -500, 10, -1, -1, 7, {-500, 10, 500, 200}, 7},
        {"size changes", {0, 0, 100, 100}, 5, 5, 33, 71, 9, {5, 5, 33, 71}, 9},
        {"zero steps: one tick to the target", {0, 0, 50, 50}, 123, -77, -1, -1, 0, {123, -77, 50, 50}, 1},
        {"already there", {10, 10, 50, 50}, 10, 10, -1, -1, 5, {10, 10, 50, 50}, 5},
        {"the longest slide", {-1024, 0, 1024, 700}, 1024, 0, -1, -1, 255, {1024, 0, 1024, 700}, 255},
    };
    for (const TSlideCase& c : cases) {
        SCOPED_TRACE(c.name);
        TSlideMotion motion;
        motion.Start(c.from, c.left, c.top, c.width, c.height, c.steps);
        uint16_t ticks = 0;
        TSlideRect rc = c.from;
        while (motion.Running() && ticks < 1000) {
            rc = motion.Tick();
            ++ticks;
        }
        EXPECT_EQ(ticks, c.ticks);
        EXPECT_EQ(rc.Left, c.target.Left);
        EXPECT_EQ(rc.Top, c.target.Top);
        EXPECT_EQ(rc.Width, c.target.Width);
        EXPECT_EQ(rc.Height, c.target.Height);
    }
}

TEST(SlideMath, MovesEvenlyAndRoundsHalvesToEven) {
    // 0 -> 5 in 2 steps: 2.5 rounds to 2, then 5.
    TSlideMotion motion;
    motion.Start({0, 0, 10, 10}, 5, -5, -1, -1, 2);
    TSlideRect first = motion.Tick();
    EXPECT_EQ(first.Left, 2);
    EXPECT_EQ(first.Top, -2);
    TSlideRect second = motion.Tick();
    EXPECT_EQ(second.Left, 5);
    EXPECT_EQ(second.Top, -5);
    EXPECT_FALSE(motion.Running());

    // 0 -> 7 in 2 steps: 3.5 rounds to 4.
    motion.Start({0, 0, 10, 10}, 7, 0, -1, -1, 2);
    EXPECT_EQ(motion.Tick().Left, 4);
}

TEST(SlideMath, HalfStepsNeverDropBelowOne) {
    const struct {
        uint8_t full;
        uint16_t half;
    } cases[] = {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {7, 3}, {10, 5}, {255, 127}};
    for (const auto& c : cases) EXPECT_EQ(HalfSteps(c.full), c.half) << int(c.full);
}

// The answers window as it slides in: as tall as its content, but above the information box and
// its margin, both of which grow with the screen's scaling.
TEST(SlideMath, AnswersWindowStopsAboveTheInformationBox) {
    struct Case {
        const char* name;
        int dpi;
        int32_t mainHeight, clientHeight, windowHeight, infoHeight, content;
        int32_t expected;
    } cases[] = {
        // 768 - 230 (30 %) - 93 - 10 = 435 for the window; its frame takes 30 of it.
        {"short content at 96", 96, 768, 200, 230, 93, 300, 300},
        {"tall content at 96", 96, 768, 200, 230, 93, 900, 405},
        {"tall content at 144", 144, 768, 200, 245, 140, 900, 768 + 200 - 230 - 140 - 245 - 15},
        {"tall content at 192", 192, 768, 200, 260, 186, 900, 768 + 200 - 230 - 186 - 260 - 20},
        {"a box grown taller than designed", 144, 768, 200, 245, 220, 900, 768 + 200 - 230 - 220 - 245 - 15},
        {"30 % rounds half to even", 96, 765, 100, 130, 93, 900, 765 + 100 - 230 - 93 - 130 - 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AnswersClientHeight(c.mainHeight, c.clientHeight, c.windowHeight, c.infoHeight, c.content, c.dpi),
                  c.expected);
    }
    EXPECT_EQ(SlideMargin(96), 10);
    EXPECT_EQ(SlideMargin(120), 12);
    EXPECT_EQ(SlideMargin(144), 15);
    EXPECT_EQ(SlideMargin(192), 20);
}
