#include "run/InfoLayout.h"

#include <algorithm>
#include <vector>

#include "platform/DpiScale.h"

namespace {

// The design, in pixels of a 96-DPI screen.
constexpr int32_t kInset = 16;         // of the columns from the box's edges
constexpr int32_t kCaptionGap = 10;    // between the captions and the values
constexpr int32_t kColumnGap = 10;     // least room between the values and the middle column
constexpr int32_t kRowTop[] = {28, 56};
constexpr int32_t kLabelHeight = 18;
constexpr int32_t kCentreWidth = 220;
constexpr int32_t kLimitWidth = 200, kLimitTop = 24, kBarGap = 6, kBarHeight = 20;
constexpr int32_t kLimitToButtons = 16;
constexpr int32_t kButtonWidth = 140, kButtonHeight = 30, kButtonTop[] = {20, 54};
constexpr int32_t kButtonPadding = 16;  // a button's text from its edges, both sides together
constexpr int32_t kCaptionToButtons = 7;  // the box's caption line over the first button
constexpr int32_t kBandGap = 6;
constexpr int32_t kLeastWidth = 80;  // of a column that gives up its designed width

struct TScaled {
    int dpi;
    int32_t operator()(int32_t design) const { return ScaleForDpi(design, dpi); }
};

// The controls of one band, relative to its top, with their own widths; Place moves them across.
struct TBand {
    int32_t shift = 0;  // down from the design, when the box's caption is taller
    int32_t grow = 0;   // the first row's growth, which the second row follows
};

}  // namespace

TInfoBoxLayout LayoutInfoBox(const TInfoBoxInput& in) {
    const TScaled s{in.Dpi};
    TInfoBoxLayout out;

    const int32_t line = std::max(s(kLabelHeight), in.LineHeight);
    const int32_t buttonHeight = std::max(s(kButtonHeight), in.LineHeight + s(kButtonPadding) / 2);
    int32_t buttonWidth = std::max(s(kButtonWidth), std::max(in.Skip, in.Interrupt) + s(kButtonPadding));
    int32_t limitWidth = std::max(s(kLimitWidth), in.TimeLimit);
    int32_t centreWidth = std::max(s(kCentreWidth), std::max(in.Count, in.Mark));
    const int32_t captions = std::max(in.FioCaption, in.OtherCaption);
    const int32_t values = std::max(in.Fio, in.Other);
    // At the design's own scaling and text size a long name or group takes the room the design
    // gives it and ends in "..." there, as it always did; with any other the box makes room for it.
    const bool designText = in.Dpi == kDesignDpi && in.LineHeight <= kLabelHeight;
    const int32_t valuesToHold = designText ? 0 : values;

    // Vertically every band is the design's two rows, moved down under a taller caption line
    // and stretched by labels or buttons taller than designed.
    const int32_t shift = std::max(0, in.CaptionHeight + s(kCaptionToButtons) - s(kButtonTop[0]));
    const int32_t grow = std::max({0, line - s(kLabelHeight), buttonHeight - s(kButtonHeight)});
    const int32_t limitTop = s(kLimitTop) + shift;
    const int32_t barTop = limitTop + line + s(kBarGap);
    const int32_t bandTop = s(kButtonTop[0]) + shift;
    const int32_t bandBottom =
        std::max({s(kRowTop[1]) + shift + grow + line, s(kButtonTop[1]) + shift + grow + buttonHeight,
                  barTop + s(kBarHeight)});
    const int32_t pitch = bandBottom - bandTop + s(kBandGap);
    // The box is the design's height scaled, and grows by as much as the band outgrows its own
    // design (each part rounded on its own, as above).
    const int32_t designBottom = std::max({s(kRowTop[1]) + s(kLabelHeight), s(kButtonTop[1]) + s(kButtonHeight),
                                           s(kLimitTop) + s(kLabelHeight) + s(kBarGap) + s(kBarHeight)});
    const int32_t oneBand = s(kInfoBoxDesignHeight) + std::max(0, bandBottom - designBottom);

    // The four columns, each placed at `left` in band `band`.
    auto placeLeft = [&](int32_t left, int32_t band, int32_t valueWidth) {
        const int32_t dy = band * pitch;
        out.FioCaption = {left, s(kRowTop[0]) + shift + dy, in.FioCaption, line};
        out.OtherCaption = {left, s(kRowTop[1]) + shift + grow + dy, in.OtherCaption, line};
        const int32_t valueLeft = left + captions + s(kCaptionGap);
        out.Fio = {valueLeft, out.FioCaption.Top, valueWidth, line};
        out.Other = {valueLeft, out.OtherCaption.Top, valueWidth, line};
    };
    auto placeCentre = [&](int32_t left, int32_t band) {
        const int32_t dy = band * pitch;
        out.Count = {left, s(kRowTop[0]) + shift + dy, centreWidth, line};
        out.Mark = {left, s(kRowTop[1]) + shift + grow + dy, centreWidth, line};
    };
    auto placeLimit = [&](int32_t left, int32_t band) {
        const int32_t dy = band * pitch;
        out.TimeLimit = {left, limitTop + dy, limitWidth, line};
        out.Bar = {left, barTop + dy, limitWidth, s(kBarHeight)};
    };
    auto placeButtons = [&](int32_t left, int32_t band) {
        const int32_t dy = band * pitch;
        out.Skip = {left, s(kButtonTop[0]) + shift + dy, buttonWidth, buttonHeight};
        out.Interrupt = {left, s(kButtonTop[1]) + shift + grow + dy, buttonWidth, buttonHeight};
    };

    const int32_t inset = s(kInset);
    const int32_t right = in.BoxWidth - inset;
    const int32_t valueLeft = inset + captions + s(kCaptionGap);

    // One band as designed: the middle column centred (or moved left to make way for the time
    // limit), the buttons at the right edge and the time limit before them.
    const int32_t buttonsLeft = right - buttonWidth;
    const int32_t limitLeft = buttonsLeft - s(kLimitToButtons) - limitWidth;
    const int32_t centreLeft = std::min(in.BoxWidth / 2 - centreWidth / 2, limitLeft - s(kColumnGap) - centreWidth);
    if (valueLeft + valuesToHold + s(kColumnGap) <= centreLeft) {
        placeLeft(inset, 0, std::max(s(10), centreLeft - s(kColumnGap) - valueLeft));
        placeCentre(centreLeft, 0);
        placeLimit(limitLeft, 0);
        placeButtons(buttonsLeft, 0);
        out.Bands = 1;
        out.Height = oneBand;
        return out;
    }

    // Too narrow: the columns take only the room their texts need and flow into as many bands as
    // they need, the last of a band at the right edge.
    enum TColumn { cLeft, cCentre, cLimit, cButtons };
    out.AsDesigned = false;
    centreWidth = std::max({s(kLeastWidth), in.Count, in.Mark});
    limitWidth = std::max(s(kLeastWidth), in.TimeLimit);
    buttonWidth = std::max(s(kLeastWidth), std::max(in.Skip, in.Interrupt) + s(kButtonPadding));
    const int32_t widths[] = {captions + s(kCaptionGap) + values, centreWidth, limitWidth, buttonWidth};
    const int32_t gap = s(kLimitToButtons);
    std::vector<std::vector<int>> bands(1);
    int32_t used = 0;
    for (int column = cLeft; column <= cButtons; ++column) {
        const int32_t need = (bands.back().empty() ? 0 : used + gap) + widths[column];
        if (!bands.back().empty() && need > right - inset) {
            bands.emplace_back();
            used = widths[column];
        } else {
            used = need;
        }
        bands.back().push_back(column);
    }
    for (size_t band = 0; band < bands.size(); ++band) {
        const std::vector<int>& columns = bands[band];
        int32_t left = inset;
        for (size_t i = 0; i < columns.size(); ++i) {
            const int column = columns[i];
            const bool last = i + 1 == columns.size();
            if (last && columns.size() > 1) left = std::max(left, right - widths[column]);
            const int32_t b = static_cast<int32_t>(band);
            switch (column) {
            case cLeft:
                // Alone in its band the values take all the room there is.
                placeLeft(left, b, last ? std::max(values, right - (left + captions + s(kCaptionGap))) : values);
                break;
            case cCentre: placeCentre(left, b); break;
            case cLimit: placeLimit(left, b); break;
            case cButtons: placeButtons(left, b); break;
            }
            left += widths[column] + gap;
        }
    }
    out.Bands = static_cast<int32_t>(bands.size());
    out.Height = (out.Bands - 1) * pitch + oneBand;
    return out;
}
