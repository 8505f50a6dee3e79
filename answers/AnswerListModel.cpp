#include "answers/AnswerListModel.h"

#include <algorithm>
#include <utility>

#include "model/FileUtils.h"
#include "model/Random.h"
#include "model/TextUtils.h"
#include "run/Scoring.h"
#include "run/TestLog.h"

namespace {

constexpr TRgb kBlack{0, 0, 0};
constexpr TRgb kLightGrey{240, 240, 240};

struct TModeColors {
    TRgb HoverPen;
    TRgb HoverBackground;
    TRgb SelectedBackground;
};

// Indexed by list mode 0..2.
constexpr TModeColors kModeColors[] = {
    {{255, 0, 0}, {255, 207, 207}, {255, 0, 0}},
    {{0, 0, 255}, {207, 207, 255}, {0, 0, 255}},
    {{255, 255, 0}, {255, 255, 207}, {255, 255, 0}},
};

// Design pixels of one answer panel.
constexpr int32_t kMargin = 10;
constexpr int32_t kMinLabelHeight = 20;
constexpr int32_t kButtonWidth = 50;
constexpr int32_t kButtonHeight = 24;
// The sound answer's text starts this far right of the Play button's left edge.
constexpr int32_t kSoundLabelOffset = 120;
// An object that states no size is laid out in these proportions (not pixels: never scaled).
constexpr int32_t kDefaultObjectWidth = 200;
constexpr int32_t kDefaultObjectHeight = 100;

// The design pixels above at one DPI.
struct TPanelMeasures {
    explicit TPanelMeasures(int32_t dpi)
        : Margin(ScaleForDpi(kMargin, dpi)),
          MinLabelHeight(ScaleForDpi(kMinLabelHeight, dpi)),
          ButtonWidth(ScaleForDpi(kButtonWidth, dpi)),
          ButtonHeight(ScaleForDpi(kButtonHeight, dpi)),
          SoundLabelOffset(ScaleForDpi(kSoundLabelOffset, dpi)) {}
    int32_t Margin, MinLabelHeight, ButtonWidth, ButtonHeight, SoundLabelOffset;
};

bool InRange(int32_t position, size_t count) {
    return position >= 0 && static_cast<size_t>(position) < count;
}

bool HidesLabel(TAttachKind kind) {
    return kind == akPicture || kind == akFme || kind == akOle;
}

// Top at the margin, the width left of the right margin, and the height the caller measures for it.
TLayoutRect FitLabel(int32_t left, int32_t width, int32_t margin,
                     const std::function<int32_t(int32_t)>& labelHeight) {
    TLayoutRect label;
    label.Left = left;
    label.Top = margin;
    label.Width = width - left - margin;
    label.Height = labelHeight(label.Width);
    return label;
}

int32_t HalfOf(int32_t width) {
    return RoundToInt32(static_cast<long double>(width) * 50 / 100);
}

}  // namespace

uint8_t ListModeOf(uint8_t answerMode) {
    switch (answerMode) {
        case 0:
            return lmSingle;
        case 2:
            return lmMultiple;
        case 3:
            return lmOrdering;
        case 1:
            return lmTyped;
        default:
            return 255;
    }
}

TPanelColors PanelColors(uint8_t mode, bool selected, bool hovered) {
    TPanelColors colors{kBlack, kLightGrey};
    if (mode > lmOrdering) {
        return colors;
    }
    const TModeColors& m = kModeColors[mode];
    if (selected) {
        colors.Background = m.SelectedBackground;
    } else if (hovered) {
        colors.Pen = m.HoverPen;
        colors.Background = m.HoverBackground;
    }
    return colors;
}

void TAnswerListModel::AddAnswer(const std::string& text, TAttachKind kind, const std::string& file,
                                 const TAttachOptions& options, int32_t weight, const TPath& path) {
    TAnswerEntry entry;
    entry.Text = NormalizeSpaces(text);
    entry.Weight = weight;
    entry.AttachKind = kind;
    entry.AttachFile = file;
    entry.AttachPath = path.empty() && !file.empty() ? Cp1251ToPath(file) : path;
    entry.Attach = options;
    // A popup shows the attachment elsewhere, so there is nothing to replace the text with.
    entry.Attach.ReplaceText = options.ReplaceText && !options.InPopup;
    entry.LabelVisible = !(entry.Attach.ReplaceText && HidesLabel(kind));
    switch (kind) {
        case akPicture:
        case akFme:
        case akOle:
            if (options.InPopup) {
                entry.ShowOnHover = true;
            } else {
                entry.TextOnly = false;
            }
            break;
        case akSound:
            if (options.AutoPlay) {
                entry.ShowOnHover = true;
            } else {
                entry.TextOnly = false;
            }
            break;
        case akVideo:
            entry.ShowOnHover = true;
            break;
        default:
            break;
    }
    entry.Added = added_++;
    entries_.push_back(std::move(entry));
}

void TAnswerListModel::Clear() {
    entries_.clear();
    added_ = 0;
    Locked = false;
}

void TAnswerListModel::SetSelected(int32_t position, bool value) {
    if (InRange(position, entries_.size())) {
        entries_[position].Selected = value;
    }
}

void TAnswerListModel::ClearSelection() {
    for (TAnswerEntry& entry : entries_) {
        entry.Selected = false;
    }
}

bool TAnswerListModel::HasSelection() const {
    return std::any_of(entries_.begin(), entries_.end(), [](const TAnswerEntry& e) { return e.Selected; });
}

void TAnswerListModel::MoveAnswer(int32_t from, int32_t to) {
    if (from == to || !InRange(from, entries_.size()) || !InRange(to, entries_.size())) {
        return;
    }
    const auto begin = entries_.begin();
    if (from < to) {
        std::rotate(begin + from, begin + from + 1, begin + to + 1);
    } else {
        std::rotate(begin + to, begin + from, begin + from + 1);
    }
    // The answers keep their heights; their places in the stack follow the new order.
    StackAnswerPanels(entries_, Dpi);
}

TPressResult TAnswerListModel::LeftButtonDown(int32_t position) {
    TPressResult result;
    if (Locked || !InRange(position, entries_.size())) {
        return result;
    }
    switch (Mode) {
        case lmSingle: {
            bool changed = false;
            for (int32_t i = 0; i < Count(); ++i) {
                const bool value = i == position;
                changed = changed || entries_[i].Selected != value;
                entries_[i].Selected = value;
            }
            result.Changed = changed;
            result.NotifySelection = true;
            result.SelectionValue = true;
            break;
        }
        case lmMultiple:
            entries_[position].Selected = !entries_[position].Selected;
            result.Changed = true;
            result.NotifySelection = true;
            result.SelectionValue = HasSelection();
            break;
        case lmOrdering:
            result.Changed = !entries_[position].Selected;
            entries_[position].Selected = true;
            result.StartDrag = true;
            break;
        default:
            break;
    }
    return result;
}

bool TAnswerListModel::EndDrag(int32_t dragged, int32_t dropOn) {
    if (!InRange(dragged, entries_.size())) {
        return false;
    }
    int32_t now = dragged;
    if (dropOn != dragged && InRange(dropOn, entries_.size())) {
        MoveAnswer(dragged, dropOn);
        now = dropOn;
    }
    entries_[now].Selected = false;
    return now != dragged;
}

namespace {

// One field of every entry, in display order.
template <class TField>
auto EachEntry(const std::vector<TAnswerEntry>& entries, TField TAnswerEntry::*field) {
    std::vector<TField> values;
    values.reserve(entries.size());
    for (const TAnswerEntry& entry : entries) values.push_back(entry.*field);
    return values;
}

}  // namespace

std::vector<int32_t> TAnswerListModel::Weights() const { return EachEntry(entries_, &TAnswerEntry::Weight); }

std::vector<std::string> TAnswerListModel::Texts() const { return EachEntry(entries_, &TAnswerEntry::Text); }

std::vector<bool> TAnswerListModel::SelectedFlags() const { return EachEntry(entries_, &TAnswerEntry::Selected); }

long double TAnswerListModel::Score() const {
    switch (Mode) {
        case lmSingle:
            return SingleChoiceRatio(Weights(), SelectedFlags());
        case lmMultiple:
            return MultipleChoiceRatio(Weights(), SelectedFlags());
        case lmOrdering:
            return OrderingRatio(Weights());
        default:
            return 0;
    }
}

std::string TAnswerListModel::SelectionText() const {
    // A typed answer is in the answers window's memo, not in the list.
    if (Mode == lmTyped) {
        return {};
    }
    return AnswerLogText(Mode, Texts(), SelectedFlags(), {});
}

std::vector<size_t> AnswerDisplayOrder(size_t n, bool shuffle) {
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) {
        order[i] = i;
    }
    // order[i] is still i when it is drawn, so j < i: Sattolo's shuffle, a single cycle.
    if (shuffle) {
        for (size_t i = 0; i < n; ++i) {
            const size_t j = static_cast<size_t>(RandomInt(static_cast<int32_t>(order[i])));
            std::swap(order[i], order[j]);
        }
    }
    return order;
}

TPanelLayout LayoutAnswerPanel(const TAnswerEntry& entry, int32_t width, int32_t pictureWidth,
                               int32_t pictureHeight, const std::function<int32_t(int32_t)>& labelHeight,
                               int32_t dpi) {
    const TPanelMeasures m(dpi);
    // The room kept on both sides of a picture or object together.
    const int32_t sides = 2 * m.Margin;
    TPanelLayout layout;
    const int32_t w = width;
    // Text only, or an attachment that lives in a popup: the label alone.
    if (entry.TextOnly || (entry.AttachKind != akPicture && entry.AttachKind != akSound &&
                           entry.AttachKind != akFme && entry.AttachKind != akOle)) {
        layout.Label = FitLabel(m.Margin, w, m.Margin, labelHeight);
        layout.Height = std::max(layout.Label.Height, m.MinLabelHeight) + 2 * m.Margin;
        return layout;
    }
    const bool wide = entry.Text.empty() || entry.Attach.ReplaceText;
    switch (entry.AttachKind) {
        case akPicture: {
            TLayoutRect& image = layout.Image;
            image.Top = m.Margin;
            // A picture that could not report a width gets no room rather than a division by zero.
            if (pictureWidth != 0) {
                if (wide) {
                    image.Width = std::min(w * 60 / 100 - sides, pictureWidth);
                    image.Left = (w - image.Width) / 2;
                } else {
                    image.Left = m.Margin;
                    image.Width = std::min(w * 50 / 100 - sides, pictureWidth);
                }
                image.Height = static_cast<int32_t>(static_cast<int64_t>(pictureHeight) * image.Width / pictureWidth);
            } else {
                image.Left = wide ? w / 2 : m.Margin;
            }
            layout.Label = FitLabel(image.Width + sides, w, m.Margin, labelHeight);
            layout.Height = std::max({layout.Label.Height, m.MinLabelHeight, image.Height}) + 2 * m.Margin;
            break;
        }
        case akSound:
            layout.Play = {m.Margin, m.Margin, m.ButtonWidth, m.ButtonHeight};
            layout.Stop = {layout.Play.Left + layout.Play.Width + m.Margin, m.Margin, m.ButtonWidth, m.ButtonHeight};
            layout.Label = FitLabel(layout.Play.Left + m.SoundLabelOffset, w, m.Margin, labelHeight);
            layout.Height = std::max({layout.Label.Height, m.MinLabelHeight, m.ButtonHeight}) + 2 * m.Margin;
            break;
        default: {  // embedded object
            const int32_t objectW = entry.Attach.Width != 0 ? entry.Attach.Width : kDefaultObjectWidth;
            const int32_t objectH = entry.Attach.Height != 0 ? entry.Attach.Height : kDefaultObjectHeight;
            layout.Label = FitLabel(HalfOf(w), w, m.Margin, labelHeight);
            int32_t ow = wide ? w * 60 / 100 - sides : HalfOf(w) - sides;
            // A panel too narrow for the object hides it instead of giving it a negative size.
            if (ow < 0) {
                ow = 0;
            }
            layout.ObjectVisible = ow != 0;
            const int32_t oh = static_cast<int32_t>(static_cast<int64_t>(objectH) * ow / objectW);
            layout.Object.Left = entry.LabelVisible ? m.Margin : (w - ow) / 2;
            layout.Object.Width = ow;
            layout.Object.Height = oh;
            layout.Object.Top = std::max(0, (layout.Label.Height - oh) / 2) + m.Margin;
            layout.Height = std::max({layout.Label.Height, m.MinLabelHeight, oh}) + 2 * m.Margin;
            break;
        }
    }
    return layout;
}

int32_t AnswerPanelMargin(int32_t dpi) { return ScaleForDpi(kMargin, dpi); }

int32_t StackAnswerPanels(std::vector<TAnswerEntry>& entries, int32_t dpi) {
    if (entries.empty()) {
        return 0;
    }
    const int32_t gap = AnswerPanelMargin(dpi);
    int32_t top = gap;
    for (TAnswerEntry& entry : entries) {
        entry.Top = top;
        top += entry.Height + gap;
    }
    // The gap after the last panel is the margin below it.
    return top;
}

TLayoutSize AnswerPopupSize(int32_t mainWidth, int32_t mainHeight, int32_t dpi) {
    return {RoundToInt32(static_cast<long double>(mainWidth) * 50 / 100) - ScaleForDpi(30, dpi),
            RoundToInt32(static_cast<long double>(mainHeight) * 30 / 100) - ScaleForDpi(20, dpi)};
}

int32_t ScrollPositionToShow(int32_t contentHeight, int32_t viewHeight, int32_t position, int32_t maxPosition,
                             int32_t top, int32_t bottom) {
    if (contentHeight <= 0 || maxPosition <= 0) return std::max<int32_t>(0, std::min(position, maxPosition));
    const auto offset = [&](int32_t p) { return RoundToInt32(static_cast<long double>(contentHeight) * p / 100); };
    int32_t p = std::max<int32_t>(0, std::min(position, maxPosition));
    // Below the view: scrolled down just far enough, but never past the band's top.
    while (p < maxPosition && offset(p) + viewHeight < bottom && offset(p + 1) <= top) ++p;
    // Above the view (or taller than it): its top comes first.
    while (p > 0 && offset(p) > top) --p;
    return p;
}
