// The prefix the DPI tests run in has the screen scaling they expect, and the program sees it.
#include <windows.h>
#include <gtest/gtest.h>

#include "tests/win/DpiFit.h"

bool TestsAreDpiAware();

TEST(DpiFit, TheProgramSeesTheScreensScaling) {
    ASSERT_TRUE(TestsAreDpiAware());
    EXPECT_EQ(SystemDpi(), ExpectedTestDpi());
    EXPECT_EQ(DpiForNewWindow(nullptr), ExpectedTestDpi());
    // The message font grows with the scaling.
    const LOGFONTW at96 = NonClientMetricsForDpi(96).lfMessageFont;
    const LOGFONTW here = NonClientMetricsForDpi(ExpectedTestDpi()).lfMessageFont;
    EXPECT_NEAR(here.lfHeight, ScaleForDpi(at96.lfHeight, ExpectedTestDpi()), 1);
}
