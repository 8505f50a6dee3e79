#pragma once
// The arithmetic of a slide: a window moves from where it is to a target in a fixed number
// of ticks, in extended reals so that the last tick lands exactly on the target.

#include <cstdint>

struct TSlideRect {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
};

class TSlideMotion {
public:
    // A target width or height of -1 keeps that dimension. Zero steps jump to the target at
    // the first tick instead of dividing by zero.
    void Start(const TSlideRect& from, int32_t targetLeft, int32_t targetTop, int32_t targetWidth,
               int32_t targetHeight, uint16_t steps);
    // One tick: the rectangle the window takes now.
    TSlideRect Tick();
    bool Running() const { return StepsLeft_ > 0; }
    uint16_t StepsLeft() const { return StepsLeft_; }

private:
    long double X_ = 0, Y_ = 0, W_ = 0, H_ = 0;
    long double DX_ = 0, DY_ = 0, DW_ = 0, DH_ = 0;
    uint16_t StepsLeft_ = 0;
};

// Step counts of the slides: the full count is the test's EffectSteps; half slides take half
// of it, but at least one tick.
uint16_t HalfSteps(uint8_t effectSteps);

// How far the sliding windows keep from the stage's edges, at `dpi`.
int32_t SlideMargin(int dpi);
// The answers window's client height as it slides in: its content and controls, but never over
// the information box (`infoHeight`, as the box is at `dpi`). The window's top is 30 % down the
// stage; `clientHeight` and `windowHeight` are its present client and window heights.
int32_t AnswersClientHeight(int32_t mainHeight, int32_t clientHeight, int32_t windowHeight, int32_t infoHeight,
                            int32_t contentHeight, int dpi);
