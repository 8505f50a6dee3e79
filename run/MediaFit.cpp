#include "run/MediaFit.h"

bool FitVideoRect(uint8_t scaleMode, int32_t panelWidth, int32_t panelHeight, int32_t videoWidth,
                  int32_t videoHeight, TVideoRect& rect, int dpi) {
    const int64_t bevel = ScaleForDpi(2, dpi);
    const int64_t a = int64_t{panelWidth} - 2 * bevel, d = int64_t{panelHeight} - 2 * bevel;
    // Only the natural size grows with the scaling; the other modes need the proportions alone.
    const int64_t w = scaleMode == kScaleNatural ? ScaleForDpi(videoWidth, dpi) : videoWidth;
    const int64_t h = scaleMode == kScaleNatural ? ScaleForDpi(videoHeight, dpi) : videoHeight;
    // Any zero factor makes the product zero; testing them one by one cannot overflow.
    if (w == 0 || h == 0 || a == 0 || d == 0 || d < 0) return false;
    int64_t left, top, width, height;
    switch (scaleMode) {
    case kScaleNatural:
        left = (panelWidth - w) / 2 + bevel;
        top = (panelHeight - h) / 2 + bevel;
        width = w;
        height = h;
        break;
    case kScaleStretch:
        left = bevel;
        top = bevel;
        width = a;
        height = d;
        break;
    case kScaleFit:
        if (static_cast<long double>(h) / d >= static_cast<long double>(w) / a) {
            width = w * d / h;
            height = d;
            left = (a - width) / 2;
            top = bevel;
        } else {
            width = a;
            height = h * a / w;
            left = bevel;
            top = (d - height) / 2;
        }
        break;
    default:
        return false;
    }
    rect = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(width),
            static_cast<int32_t>(height)};
    return true;
}
