#pragma once
// Where the controls of the main window's information box go: who is tested on the left, the
// question count and the mark in the middle, the time limit and the two buttons on the right.
// Sizes are design pixels scaled for the screen's DPI and grown to the texts they must hold; a
// box too narrow for its columns side by side stacks them in more bands and grows taller. At 96
// DPI and the design's text size the registration values (a name, a group) never change the
// design: one too long for its room ends in "...".
// Portable, so that the arithmetic is tested without Windows.

#include <cstdint>

struct TInfoRect {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    int32_t Right() const { return Left + Width; }
    int32_t Bottom() const { return Top + Height; }
};

// The room the texts need, in pixels of the labels' and buttons' font.
struct TInfoBoxInput {
    int Dpi = 96;
    int32_t BoxWidth = 0;
    int32_t CaptionHeight = 0;  // the box's own caption line
    int32_t LineHeight = 0;     // one line of the labels
    int32_t FioCaption = 0, OtherCaption = 0;  // "Фамилия Имя Отчество" and the second field's caption
    int32_t Fio = 0, Other = 0;                // the two registration values
    int32_t Count = 0, Mark = 0;               // the widest question count and mark of the run
    int32_t TimeLimit = 0;                     // "Ограничение по времени"
    int32_t Skip = 0, Interrupt = 0;           // the buttons' texts
};

struct TInfoBoxLayout {
    int32_t Height = 0;
    int32_t Bands = 1;
    // The columns have their designed widths and places; false when the box is too narrow for
    // them and they take what their texts need.
    bool AsDesigned = true;
    TInfoRect FioCaption, OtherCaption, Fio, Other;
    TInfoRect Count, Mark;
    TInfoRect TimeLimit, Bar;
    TInfoRect Skip, Interrupt;
};

// The box as designed (93 pixels high at 96 DPI) and its controls.
constexpr int32_t kInfoBoxDesignHeight = 93;

TInfoBoxLayout LayoutInfoBox(const TInfoBoxInput& in);
