#include "platform/Dpi.h"

#include <initializer_list>

namespace {

// The DPI functions of newer Windows, found once.
struct TDpiApi {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

    GetDpiForWindowFn GetDpiForWindow = nullptr;
    GetSystemMetricsForDpiFn GetSystemMetricsForDpi = nullptr;
    AdjustWindowRectExForDpiFn AdjustWindowRectExForDpi = nullptr;
    SystemParametersInfoForDpiFn SystemParametersInfoForDpi = nullptr;
    GetDpiForMonitorFn GetDpiForMonitor = nullptr;

    TDpiApi() {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        if (user32 != nullptr) {
            GetDpiForWindow = Find<GetDpiForWindowFn>(user32, "GetDpiForWindow");
            GetSystemMetricsForDpi = Find<GetSystemMetricsForDpiFn>(user32, "GetSystemMetricsForDpi");
            AdjustWindowRectExForDpi = Find<AdjustWindowRectExForDpiFn>(user32, "AdjustWindowRectExForDpi");
            SystemParametersInfoForDpi = Find<SystemParametersInfoForDpiFn>(user32, "SystemParametersInfoForDpi");
        }
        // Windows 8.1 and later; loaded from the system folder only.
        HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
        if (shcore == nullptr) shcore = LoadLibraryW(L"shcore.dll");
        if (shcore != nullptr) GetDpiForMonitor = Find<GetDpiForMonitorFn>(shcore, "GetDpiForMonitor");
    }

    template <class Fn>
    static Fn Find(HMODULE module, const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

const TDpiApi& Api() {
    static const TDpiApi api;
    return api;
}

bool Plausible(UINT dpi) { return dpi >= 48 && dpi <= 960; }

int MonitorDpi(HMONITOR monitor) {
    UINT x = 0, y = 0;
    if (monitor != nullptr && Api().GetDpiForMonitor != nullptr &&
        SUCCEEDED(Api().GetDpiForMonitor(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) && Plausible(x)) {
        return static_cast<int>(x);
    }
    return SystemDpi();
}

}  // namespace

int SystemDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSX) : kDesignDpi;
    if (dc != nullptr) ReleaseDC(nullptr, dc);
    return Plausible(static_cast<UINT>(dpi)) ? dpi : kDesignDpi;
}

int DpiForWindow(HWND window) {
    if (window != nullptr && Api().GetDpiForWindow != nullptr) {
        const UINT dpi = Api().GetDpiForWindow(window);
        if (Plausible(dpi)) return static_cast<int>(dpi);
    }
    if (window != nullptr && Api().GetDpiForMonitor != nullptr) {
        return MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    }
    return SystemDpi();
}

int DpiForNewWindow(HWND ownerOrParent) {
    if (ownerOrParent != nullptr) return DpiForWindow(ownerOrParent);
    return MonitorDpi(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
}

int SystemMetricForDpi(int index, int dpi) {
    if (Api().GetSystemMetricsForDpi != nullptr) return Api().GetSystemMetricsForDpi(index, static_cast<UINT>(dpi));
    // Older Windows scale the metrics for the system's DPI, the only one there is.
    const int value = GetSystemMetrics(index);
    const int system = SystemDpi();
    return dpi == system ? value : MulDiv(value, dpi, system);
}

RECT WindowRectForClient(const RECT& client, DWORD style, DWORD exStyle, int dpi) {
    RECT rc = client;
    if (Api().AdjustWindowRectExForDpi != nullptr &&
        Api().AdjustWindowRectExForDpi(&rc, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
        return rc;
    }
    rc = client;
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    return rc;
}

NONCLIENTMETRICSW NonClientMetricsForDpi(int dpi) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (Api().SystemParametersInfoForDpi != nullptr &&
        Api().SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                                         static_cast<UINT>(dpi))) {
        return metrics;
    }
    metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    const int system = SystemDpi();
    if (dpi != system) {
        for (LOGFONTW* font : {&metrics.lfCaptionFont, &metrics.lfSmCaptionFont, &metrics.lfMenuFont,
                               &metrics.lfStatusFont, &metrics.lfMessageFont}) {
            font->lfHeight = MulDiv(font->lfHeight, dpi, system);
        }
    }
    return metrics;
}

int PointsToHeight(int points, int dpi) { return -PointsToPixels(points, dpi); }

RECT WorkAreaFor(HWND window) {
    HMONITOR monitor = window != nullptr ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                                         : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) return info.rcWork;
    RECT rc = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return rc;
}

POINT CenteredOnScreen(int width, int height) {
    return POINT{(GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2};
}

void SetClientSizeForDpi(HWND window, int width, int height, DWORD style, DWORD exStyle, int dpi,
                         const RECT* suggested) {
    const RECT outer = WindowRectForClient(RECT{0, 0, width, height}, style, exStyle, dpi);
    const int outerWidth = outer.right - outer.left, outerHeight = outer.bottom - outer.top;
    RECT now;
    GetWindowRect(window, &now);
    if (suggested != nullptr) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top, outerWidth, outerHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (now.right - now.left != outerWidth || now.bottom - now.top != outerHeight) {
        const POINT at = CenteredOnScreen(outerWidth, outerHeight);
        SetWindowPos(window, nullptr, at.x, at.y, outerWidth, outerHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT client;
    GetClientRect(window, &client);
    const int dx = width - client.right, dy = height - client.bottom;
    if (dx == 0 && dy == 0) return;
    GetWindowRect(window, &now);
    SetWindowPos(window, nullptr, 0, 0, now.right - now.left + dx, now.bottom - now.top + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
