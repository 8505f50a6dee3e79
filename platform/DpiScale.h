#pragma once
// The windows are designed in pixels of a 96-DPI screen; on any other screen every such size
// is scaled by DPI / 96. Portable: the layout arithmetic is tested without Windows.

constexpr int kDesignDpi = 96;

// `value` design pixels at `dpi`, rounded to the nearest pixel, a half to the even one. At 96
// DPI every value stays what it is.
constexpr int ScaleForDpi(int value, int dpi) {
    const long long product = static_cast<long long>(value) * dpi;
    long long quotient = product / kDesignDpi;
    long long remainder = product % kDesignDpi;
    if (remainder < 0) {  // floor division, so that negative offsets round like positive ones
        remainder += kDesignDpi;
        --quotient;
    }
    if (remainder * 2 > kDesignDpi || (remainder * 2 == kDesignDpi && (quotient & 1) != 0)) ++quotient;
    return static_cast<int>(quotient);
}

// Text sizes in points: the height of a font's em (a LOGFONT's negative lfHeight) in pixels.
constexpr int PointsToPixels(int points, int dpi) {
    const long long product = static_cast<long long>(points) * dpi;
    return static_cast<int>((product + 36) / 72);
}
