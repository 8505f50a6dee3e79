#include <windows.h>
#include <gtest/gtest.h>

#include <set>

#include "app/SplashFormUnit.h"
#include "platform/Dpi.h"
#include "tests/win/DpiFit.h"
#include "tests/win/WinTestUtil.h"

TEST(Splash, BorderlessClientOfFixedSizeCentredOnTheDesktop) {
    TOwned<TfSplash> splash;
    ASSERT_TRUE(splash.Create());
    HWND hwnd = splash.Handle();
    EXPECT_TRUE(IsWindowVisible(hwnd));

    LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_DLGFRAME), 0);
    RECT client, window;
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(client.right - client.left, 338);
    EXPECT_EQ(client.bottom - client.top, 41);
    EXPECT_EQ(window.right - window.left, 338);
    EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - 338) / 2);
    EXPECT_EQ(window.top, (GetSystemMetrics(SM_CYSCREEN) - 41) / 2);

    EXPECT_EQ(WindowText(splash.pnlInfo.Handle()), L"Подождите, идет подготовка к запуску ...");
    RECT panel;
    GetClientRect(splash.pnlInfo.Handle(), &panel);
    EXPECT_EQ(panel.right, 338);
    EXPECT_EQ(panel.bottom, 41);
}

// Start-up runs no message loop while it reads the payload: the notice must already be
// painted, text included, when Create returns.
TEST(Splash, IsPaintedWithItsTextWhenCreateReturns) {
    TOwned<TfSplash> splash;
    ASSERT_TRUE(splash.Create());
    RECT pending;
    EXPECT_FALSE(GetUpdateRect(splash.Handle(), &pending, FALSE));
    EXPECT_FALSE(GetUpdateRect(splash.pnlInfo.Handle(), &pending, FALSE));

    // What the window shows: its surface, read through the panel's own device context.
    HDC dc = GetDC(splash.pnlInfo.Handle());
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    int facePixels = 0, textPixels = 0;
    for (int y = 2; y < 41 - 2; ++y) {
        for (int x = 2; x < 338 - 2; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            if (c == face) ++facePixels;
            else if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128) ++textPixels;
        }
    }
    ReleaseDC(splash.pnlInfo.Handle(), dc);
    EXPECT_GT(facePixels, 334 * 37 / 2);
    EXPECT_GT(textPixels, 100);  // the dark strokes of the caption
}

TEST(Splash, IgnoresCloseRequests) {
    TOwned<TfSplash> splash;
    ASSERT_TRUE(splash.Create());
    SendMessageW(splash.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(splash.Handle()));
}

TEST(DpiFit, SplashHoldsItsNoticeAtTheScreensScaling) {
    const int dpi = ExpectedTestDpi();
    TOwned<TfSplash> splash;
    ASSERT_TRUE(splash.Create());
    HWND hwnd = splash.Handle();
    RECT client, window;
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &window);
    EXPECT_GE(client.right, ScaleForDpi(338, dpi));
    EXPECT_GE(client.bottom, ScaleForDpi(41, dpi));
    const POINT centred = CenteredOnScreen(window.right - window.left, window.bottom - window.top);
    EXPECT_EQ(window.left, centred.x);
    EXPECT_EQ(window.top, centred.y);

    // The notice is drawn in the message font of the screen, whole inside the panel's bevel.
    HWND panel = splash.pnlInfo.Handle();
    RECT room;
    GetClientRect(panel, &room);
    EXPECT_EQ(room.right, client.right);
    EXPECT_EQ(room.bottom, client.bottom);
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(panel, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, NonClientMetricsForDpi(dpi).lfMessageFont.lfHeight);
    const SIZE text = TextExtent(panel, WindowText(panel));
    EXPECT_LE(text.cx + 4, room.right);
    EXPECT_LE(text.cy + 4, room.bottom);
}
