#include "answers/AnswerListModel.h"

#include <algorithm>
#include <utility>

#include "model/Codepage.h"
#include "model/FileUtils.h"
#include "model/Random.h"
#include "model/TextUtils.h"
#include "run/Scoring.h"

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

constexpr int32_t kMargin = 10;
constexpr int32_t kMinLabelHeight = 20;
constexpr int32_t kButtonWidth = 50;
constexpr int32_t kButtonHeight = 24;
constexpr int32_t kDefaultObjectWidth = 200;
constexpr int32_t kDefaultObjectHeight = 100;

bool InRange(int32_t position, size_t count) {
    return position >= 0 && static_cast<size_t>(position) < count;
}

bool HidesLabel(TAttachKind kind) {
    return kind == akPicture || kind == akFme || kind == akOle;
}

// Top 10, the width left of the right margin, and the height the caller measures for it.
TLayoutRect FitLabel(int32_t left, int32_t width, const std::function<int32_t(int32_t)>& labelHeight) {
    TLayoutRect label;
    label.Left = left;
    label.Top = kMargin;
    label.Width = width - left - kMargin;
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
    StackAnswerPanels(entries_);
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

long double TAnswerListModel::Score() const {
    if (entries_.empty()) {
        return 0;
    }
    switch (Mode) {
        case lmSingle: {
            int64_t best = 0;
            int64_t chosen = 0;
            bool found = false;
            for (const TAnswerEntry& entry : entries_) {
                best = std::max<int64_t>(best, entry.Weight);
                if (!found && entry.Selected) {
                    chosen = entry.Weight;
                    found = true;
                }
            }
            if (best <= 0) {
                return 1;
            }
            return std::max(static_cast<long double>(chosen) / static_cast<long double>(best), 0.0L);
        }
        case lmMultiple: {
            int64_t total = 0;
            int64_t chosen = 0;
            for (const TAnswerEntry& entry : entries_) {
                total += std::max<int64_t>(entry.Weight, 0);
                if (entry.Selected) {
                    chosen += entry.Weight;
                }
            }
            if (total <= 0) {
                return 1;
            }
            return std::max(static_cast<long double>(chosen) / static_cast<long double>(total), 0.0L);
        }
        case lmOrdering:
            for (size_t i = 1; i < entries_.size(); ++i) {
                if (entries_[i].Weight < entries_[i - 1].Weight) {
                    return 0;
                }
            }
            return 1;
        default:
            return 0;
    }
}

std::string TAnswerListModel::SelectionText() const {
    if (Mode > lmOrdering) {
        return {};
    }
    std::string text;
    for (const TAnswerEntry& entry : entries_) {
        if (Mode == lmOrdering || entry.Selected) {
            if (!text.empty()) {
                text += "\r\n";
            }
            text += " - [" + entry.Text + "]";
        }
    }
    return text;
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
                               int32_t pictureHeight, const std::function<int32_t(int32_t)>& labelHeight) {
    TPanelLayout layout;
    const int32_t w = width;
    // Text only, or an attachment that lives in a popup: the label alone.
    if (entry.TextOnly || (entry.AttachKind != akPicture && entry.AttachKind != akSound &&
                           entry.AttachKind != akFme && entry.AttachKind != akOle)) {
        layout.Label = FitLabel(kMargin, w, labelHeight);
        layout.Height = std::max(layout.Label.Height, kMinLabelHeight) + 2 * kMargin;
        return layout;
    }
    const bool wide = entry.Text.empty() || entry.Attach.ReplaceText;
    switch (entry.AttachKind) {
        case akPicture: {
            TLayoutRect& image = layout.Image;
            image.Top = kMargin;
            // A picture that could not report a width gets no room rather than a division by zero.
            if (pictureWidth != 0) {
                if (wide) {
                    image.Width = std::min(w * 60 / 100 - 20, pictureWidth);
                    image.Left = (w - image.Width) / 2;
                } else {
                    image.Left = kMargin;
                    image.Width = std::min(w * 50 / 100 - 20, pictureWidth);
                }
                image.Height = static_cast<int32_t>(static_cast<int64_t>(pictureHeight) * image.Width / pictureWidth);
            } else {
                image.Left = wide ? w / 2 : kMargin;
            }
            layout.Label = FitLabel(image.Width + 20, w, labelHeight);
            layout.Height = std::max({layout.Label.Height, kMinLabelHeight, image.Height}) + 2 * kMargin;
            break;
        }
        case akSound:
            layout.Play = {kMargin, kMargin, kButtonWidth, kButtonHeight};
            layout.Stop = {layout.Play.Left + layout.Play.Width + kMargin, kMargin, kButtonWidth, kButtonHeight};
            layout.Label = FitLabel(layout.Play.Left + 120, w, labelHeight);
            layout.Height = std::max({layout.Label.Height, kMinLabelHeight, kButtonHeight}) + 2 * kMargin;
            break;
        default: {  // embedded object
            const int32_t objectW = entry.Attach.Width != 0 ? entry.Attach.Width : kDefaultObjectWidth;
            const int32_t objectH = entry.Attach.Height != 0 ? entry.Attach.Height : kDefaultObjectHeight;
            layout.Label = FitLabel(HalfOf(w), w, labelHeight);
            int32_t ow = wide ? w * 60 / 100 - 20 : HalfOf(w) - 20;
            // A panel too narrow for the object hides it instead of giving it a negative size.
            if (ow < 0) {
                ow = 0;
            }
            layout.ObjectVisible = ow != 0;
            const int32_t oh = static_cast<int32_t>(static_cast<int64_t>(objectH) * ow / objectW);
            layout.Object.Left = entry.LabelVisible ? kMargin : (w - ow) / 2;
            layout.Object.Width = ow;
            layout.Object.Height = oh;
            layout.Object.Top = std::max(0, (layout.Label.Height - oh) / 2) + kMargin;
            layout.Height = std::max({layout.Label.Height, kMinLabelHeight, oh}) + 2 * kMargin;
            break;
        }
    }
    return layout;
}

int32_t StackAnswerPanels(std::vector<TAnswerEntry>& entries) {
    if (entries.empty()) {
        return 0;
    }
    int32_t top = kMargin;
    for (TAnswerEntry& entry : entries) {
        entry.Top = top;
        top += entry.Height + kMargin;
    }
    // The gap after the last panel is the margin below it.
    return top;
}

TRightAnswerView BuildRightAnswerView(const std::vector<TTestAnswer>& answers, long double ratio,
                                      uint8_t answerMode) {
    TRightAnswerView view;
    if (ratio == 1) {
        view.Icon = TRightAnswerView::iconOk;
        view.Status = Utf8ToCp1251("Правильно!");
        view.Description = Utf8ToCp1251("Вы верно ответили на вопрос!");
        return view;
    }
    // A ratio outside 0..1 shows no icon at all.
    if (ratio == 0) {
        view.Icon = TRightAnswerView::iconError;
    } else if (ratio > 0 && ratio < 1) {
        view.Icon = TRightAnswerView::iconWarning;
    }
    view.Status = Utf8ToCp1251(ratio == 0 ? "Неверно!" : "Ответ не до конца верный!");
    view.ShowViewport = true;
    switch (answerMode) {
        case 0: {
            if (!answers.empty()) {
                size_t best = 0;
                int32_t bestWeight = 0;
                for (size_t i = 0; i < answers.size(); ++i) {
                    if (answers[i].Weight > bestWeight) {
                        bestWeight = answers[i].Weight;
                        best = i;
                    }
                }
                view.ListAnswers.push_back(best);
            }
            view.Description = Utf8ToCp1251("Ниже приведен правильный ответ");
            break;
        }
        case 1:
            view.ShowTyped = true;
            view.Description = Utf8ToCp1251("Ключевые слова правильного ответа приведены ниже");
            for (const TTestAnswer& answer : answers) {
                if (answer.Weight > 0) {
                    view.TypedText += "\r\n" + answer.Text;
                }
            }
            view.TypedText += "\r\n";
            break;
        case 2:
            for (size_t i = 0; i < answers.size(); ++i) {
                if (answers[i].Weight > 0) {
                    view.ListAnswers.push_back(i);
                }
            }
            view.Description = Utf8ToCp1251(view.ListAnswers.size() == 1 ? "Ниже приведен правильный ответ"
                                                                          : "Ниже перечислены все правильные варианты");
            break;
        case 3: {
            view.Description = Utf8ToCp1251("Правильный порядок следования приведен ниже");
            std::vector<size_t>& order = view.ListAnswers;
            for (size_t i = 0; i < answers.size(); ++i) {
                order.push_back(i);
            }
            // Only a strictly greater left weight swaps, so equal ranks keep their file order.
            for (bool swapped = true; swapped;) {
                swapped = false;
                for (size_t i = 1; i < order.size(); ++i) {
                    if (answers[order[i - 1]].Weight > answers[order[i]].Weight) {
                        std::swap(order[i - 1], order[i]);
                        swapped = true;
                    }
                }
            }
            break;
        }
        default:
            view.DescriptionSet = false;
            break;
    }
    return view;
}

std::string AutoCloseText(int32_t seconds) {
    return Utf8ToCp1251("Автоматическое закрытие через " + std::to_string(seconds) + " сек.");
}

std::string CloseHintText() { return Utf8ToCp1251("Для продолжения нажмите \"Закрыть\""); }
