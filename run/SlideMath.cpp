#include "run/SlideMath.h"

#include "platform/DpiScale.h"
#include "run/Scoring.h"

void TSlideMotion::Start(const TSlideRect& from, int32_t targetLeft, int32_t targetTop, int32_t targetWidth,
                         int32_t targetHeight, uint16_t steps) {
    X_ = from.Left;
    Y_ = from.Top;
    W_ = from.Width;
    H_ = from.Height;
    const int32_t width = targetWidth == -1 ? from.Width : targetWidth;
    const int32_t height = targetHeight == -1 ? from.Height : targetHeight;
    const long double n = steps == 0 ? 1 : steps;
    DX_ = (targetLeft - X_) / n;
    DY_ = (targetTop - Y_) / n;
    DW_ = (width - W_) / n;
    DH_ = (height - H_) / n;
    StepsLeft_ = steps == 0 ? 1 : steps;
}

TSlideRect TSlideMotion::Tick() {
    X_ += DX_;
    Y_ += DY_;
    W_ += DW_;
    H_ += DH_;
    if (StepsLeft_ > 0) --StepsLeft_;
    return {RoundToInt32(X_), RoundToInt32(Y_), RoundToInt32(W_), RoundToInt32(H_)};
}

uint16_t HalfSteps(uint8_t effectSteps) { return effectSteps / 2 < 1 ? 1 : effectSteps / 2; }

int32_t SlideMargin(int dpi) { return ScaleForDpi(10, dpi); }

int32_t AnswersClientHeight(int32_t mainHeight, int32_t clientHeight, int32_t windowHeight, int32_t infoHeight,
                            int32_t contentHeight, int dpi) {
    const int32_t room = mainHeight + clientHeight - RoundToInt32(mainHeight * 30.0L / 100) - infoHeight -
                         windowHeight - SlideMargin(dpi);
    return room < contentHeight ? room : contentHeight;
}
