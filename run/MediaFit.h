#pragma once
// Where a video goes on its display panel: natural size centred, stretched, or fitted with its
// proportions kept. The panel's bevel takes two pixels on each side. Sizes are a screen's pixels
// at `dpi`: the bevel and a video shown at its natural size are scaled by dpi / 96, so a clip
// looks as large at any screen scaling.

#include <cstdint>

#include "platform/DpiScale.h"

struct TVideoRect {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
};

// Scale modes of a video attachment.
constexpr uint8_t kScaleNatural = 0;
constexpr uint8_t kScaleStretch = 1;
constexpr uint8_t kScaleFit = 2;

// The video's rectangle on a panel of the given outer size; false when nothing is to be placed
// (a zero size, a panel too low for its bevel, an unknown mode). The video's size is its own, in
// the clip's pixels.
bool FitVideoRect(uint8_t scaleMode, int32_t panelWidth, int32_t panelHeight, int32_t videoWidth,
                  int32_t videoHeight, TVideoRect& rect, int dpi = kDesignDpi);
