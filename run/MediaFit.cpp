#include "run/MediaFit.h"

bool FitVideoRect(uint8_t scaleMode, int32_t panelWidth, int32_t panelHeight, int32_t videoWidth,
                  int32_t videoHeight, TVideoRect& rect) {
    const int64_t a = int64_t{panelWidth} - 4, d = int64_t{panelHeight} - 4;
    const int64_t w = videoWidth, h = videoHeight;
    // Any zero factor makes the product zero; testing them one by one cannot overflow.
    if (w == 0 || h == 0 || a == 0 || d == 0 || d < 0) return false;
    int64_t left, top, width, height;
    switch (scaleMode) {
    case kScaleNatural:
        left = (panelWidth - w) / 2 + 2;
        top = (panelHeight - h) / 2 + 2;
        width = w;
        height = h;
        break;
    case kScaleStretch:
        left = 2;
        top = 2;
        width = a;
        height = d;
        break;
    case kScaleFit:
        if (static_cast<long double>(h) / d >= static_cast<long double>(w) / a) {
            width = w * d / h;
            height = d;
            left = (a - width) / 2;
            top = 2;
        } else {
            width = a;
            height = h * a / w;
            left = 2;
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
