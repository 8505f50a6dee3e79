#pragma once
// The screen's DPI as each window sees it. The program is per-monitor DPI aware: it scales
// its own design pixels and fonts. The functions that tell a window's or a monitor's DPI
// came with Windows 8.1 and 10; they are looked up at run time, and on an older Windows
// everything has the system's DPI.

#include <windows.h>

#include "platform/DpiScale.h"

// The DPI of the screen at log-on (GetDeviceCaps(LOGPIXELSX) of the screen).
int SystemDpi();
// The DPI a window is drawn at: that of its monitor, or the system's.
int DpiForWindow(HWND window);
// The DPI a window about to be made will have: its owner's or parent's, or, for one with
// neither, that of the primary monitor.
int DpiForNewWindow(HWND ownerOrParent);

// The system metric SM_... as it is at `dpi`.
int SystemMetricForDpi(int index, int dpi);
// The window rectangle that holds `client` with the given styles at `dpi` (caption, borders).
RECT WindowRectForClient(const RECT& client, DWORD style, DWORD exStyle, int dpi);
// The system's fonts and non-client sizes at `dpi`.
NONCLIENTMETRICSW NonClientMetricsForDpi(int dpi);
// A font's lfHeight for a size in points at `dpi`.
int PointsToHeight(int points, int dpi);

// The work area (the screen without the task bar) of the monitor nearest to a window, or of
// the primary monitor when there is no window yet.
RECT WorkAreaFor(HWND window);
// The top-left corner that centres a window of this size on the primary screen.
POINT CenteredOnScreen(int width, int height);
// Gives a top-level window the client size `width` x `height` with the frame of its styles at
// `dpi`: at the corner of `suggested` when given (a change of monitor), otherwise where it is,
// centred on the screen afresh when its size changes. A system that draws the frame at a DPI of
// its own does not shrink the client area.
void SetClientSizeForDpi(HWND window, int width, int height, DWORD style, DWORD exStyle, int dpi,
                         const RECT* suggested);
