#pragma once
// The answer list as data: the answers in display order with their weights and selection, the
// pointer rules of each list mode, the reordering, the score and log text of the person's
// choice (by the rules in run/Scoring.h and run/TestLog.h), the colours, and the layout
// arithmetic of one answer panel and of the stack. The windows only draw this and turn pointer
// input into its operations.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/TestData.h"
#include "platform/DpiScale.h"

// The list's own numbering of the answer modes.
enum TListMode : uint8_t { lmSingle = 0, lmMultiple = 1, lmOrdering = 2, lmTyped = 3 };

// The list mode of a question's AnswerMode (0 single, 1 typed, 2 multiple, 3 ordering); 255 for any
// other value.
uint8_t ListModeOf(uint8_t answerMode);

struct TRgb {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const TRgb& o) const { return R == o.R && G == o.G && B == o.B; }
    bool operator!=(const TRgb& o) const { return !(*this == o); }
};

struct TPanelColors {
    TRgb Pen;         // the answer's frame
    TRgb Background;  // behind the frame and the text
};

// Normal: black on light grey. Hovered (not selected, modes 0-2): red, blue or yellow frame on a
// light shade. Selected (modes 0-2): black frame on red, blue or yellow. Any other mode: normal.
TPanelColors PanelColors(uint8_t mode, bool selected, bool hovered);

struct TAnswerEntry {
    std::string Text;  // as shown: the answer text with its runs of spaces collapsed
    int32_t Weight = 0;
    TAttachKind AttachKind = akNone;
    std::string AttachFile;
    // The file to open: the extracted attachment's own path, which keeps what the code page of
    // AttachFile cannot show.
    TPath AttachPath;
    TAttachOptions Attach;  // ReplaceText kept only when the attachment is not in a popup
    bool Selected = false;
    // Set by AddAnswer from the kind and options: whether an inline control is made, and whether
    // the attachment is shown only while the pointer is over the answer.
    bool TextOnly = true;
    bool ShowOnHover = false;
    // The label is shown (not replaced by an inline picture or object).
    bool LabelVisible = true;
    // Which AddAnswer call made this entry (0 for the first since Clear).
    int32_t Added = 0;
    // Laid out by the window: height of the panel and its top in the stack.
    int32_t Height = 0;
    int32_t Top = 0;
};

// What the owner learns from a press of the left button on an answer.
struct TPressResult {
    bool NotifySelection = false;  // call OnSelectionChange(SelectionValue)
    bool SelectionValue = false;
    bool StartDrag = false;        // ordering: the answer is carried until the drag ends
    bool Changed = false;          // something to repaint
};

class TAnswerListModel {
public:
    uint8_t Mode = lmSingle;
    bool Locked = false;
    // The DPI the answers are laid out for: a move re-stacks them with its gaps.
    int32_t Dpi = kDesignDpi;

    // Appends an answer at the bottom (display position Count() before the call). Without a
    // `path` the attachment is opened by its text name `file`.
    void AddAnswer(const std::string& text, TAttachKind kind, const std::string& file, const TAttachOptions& options,
                   int32_t weight, const TPath& path = TPath());
    // Removes every answer; Locked becomes false, Mode stays.
    void Clear();
    int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
    const std::vector<TAnswerEntry>& Entries() const { return entries_; }
    std::vector<TAnswerEntry>& Entries() { return entries_; }

    void SetSelected(int32_t position, bool value);
    void ClearSelection();
    bool HasSelection() const;
    // The answer at `from` takes position `to`; those between move one place toward `from`.
    void MoveAnswer(int32_t from, int32_t to);

    // Pointer rules. A locked list ignores all of them.
    TPressResult LeftButtonDown(int32_t position);
    // The end of an ordering drag, dropped or not: `dropOn` is the position dropped on, -1 when
    // cancelled or dropped outside the answers. Returns true when the order changed.
    bool EndDrag(int32_t dragged, int32_t dropOn);

    // In display order: the answers' weights, their shown texts and their selection.
    std::vector<int32_t> Weights() const;
    std::vector<std::string> Texts() const;
    std::vector<bool> SelectedFlags() const;

    // The answer ratio of the current selection (single, multiple: SingleChoiceRatio,
    // MultipleChoiceRatio) or order (ordering: OrderingRatio); 0 in any other mode and for an
    // empty list.
    long double Score() const;
    // The log text (AnswerLogText) of the current selection (single, multiple) or order
    // (ordering); empty in other modes, typed input included: that text is not in the list.
    std::string SelectionText() const;

private:
    std::vector<TAnswerEntry> entries_;
    int32_t added_ = 0;
};

// Display order of n answers: file order, or with shuffle the cyclic permutation drawn from the
// program's generator (position i exchanges with a random earlier one).
std::vector<size_t> AnswerDisplayOrder(size_t n, bool shuffle);

struct TLayoutRect {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TLayoutRect& o) const {
        return Left == o.Left && Top == o.Top && Width == o.Width && Height == o.Height;
    }
};

// Where the children of one answer panel go. The label's height depends on the width it gets,
// so the caller measures it: labelHeight(width) gives the height of the word-wrapped text.
struct TPanelLayout {
    TLayoutRect Label;
    TLayoutRect Image;    // inline picture
    TLayoutRect Play;     // inline sound
    TLayoutRect Stop;
    TLayoutRect Object;   // inline embedded object
    bool ObjectVisible = false;
    int32_t Height = 0;   // of the whole panel
};

// `width` is the panel's width; `picture` the natural size of an inline picture (kind 1 only),
// in pixels of the screen. The margins, buttons and gaps are design pixels scaled for `dpi`.
TPanelLayout LayoutAnswerPanel(const TAnswerEntry& entry, int32_t width, int32_t pictureWidth,
                               int32_t pictureHeight, const std::function<int32_t(int32_t)>& labelHeight,
                               int32_t dpi = kDesignDpi);

// Stacks the panels (their Height set) 10 design pixels apart with 10 above the first and below
// the last: sets each Top, returns the content height (0 for an empty list).
int32_t StackAnswerPanels(std::vector<TAnswerEntry>& entries, int32_t dpi = kDesignDpi);

// The margin the answer panels keep from the list's sides, and the gap between them, at `dpi`.
int32_t AnswerPanelMargin(int32_t dpi);

// The answer popup's size for a main window of this client size: half its width less 30 by 30 %
// of its height less 20 (the shares rounded, a half to even; the 30 and 20 design pixels at `dpi`).
struct TLayoutSize {
    int32_t Width = 0, Height = 0;
    bool operator==(const TLayoutSize& o) const { return Width == o.Width && Height == o.Height; }
};
TLayoutSize AnswerPopupSize(int32_t mainWidth, int32_t mainHeight, int32_t dpi = kDesignDpi);

// The scroll position (the answers window keeps it in percent of the content height, the offset
// being the rounded share of it) that brings the content's band [top, bottom) into a view
// `viewHeight` high, moving as little as possible from `position` and never beyond
// [0, maxPosition]. A band taller than the view shows its top.
int32_t ScrollPositionToShow(int32_t contentHeight, int32_t viewHeight, int32_t position, int32_t maxPosition,
                             int32_t top, int32_t bottom);
