#pragma once
// The answer list on screen: one framed panel per answer, stacked on a content area that its
// owner scrolls by moving the content's top. Hover, selection and drag-to-reorder follow the
// list's mode; the rules themselves live in TAnswerListModel, this window draws them (through a
// double buffer) and turns the pointer into their operations. Inline pictures and embedded
// objects are drawn with the answers; an inline sound gets real Play and Stop buttons.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "answers/AnswerListModel.h"
#include "platform/FileSystem.h"
#include "platform/OleObject.h"
#include "platform/Picture.h"
#include "platform/Window.h"

// What the list asks of the window that owns the media player and the answer popup.
struct TAnswerAttachHost {
    virtual ~TAnswerAttachHost() = default;
    // Starts `file` on the shared player, stopping whatever played; while it plays the host
    // disables `playButton` and enables `stopButton` (either may be null), and reverses both
    // when it stops.
    virtual void PlayMedia(const TPath& file, HWND playButton, HWND stopButton) = 0;
    virtual void StopMedia() = 0;
    // Sizes the popup, fills it with the attachment and slides it in. Messages are processed
    // meanwhile: the pointer may have moved on when this returns.
    virtual void ShowAnswerPopup(TAttachKind kind, const TPath& file, int32_t width, int32_t height) = 0;
    // Slides the popup out and hides it.
    virtual void HideAnswerPopup() = 0;
};

class TfrAnswersList : public TPaintedWindow {
protected:
    ~TfrAnswersList() override;

public:
    TfrAnswersList();

    bool Create(HWND parent, int x, int y, int width, int height);

    // Mode, Locked and the answers with their selection and order.
    TAnswerListModel Model;
    // Point size of the answers' text ("Times New Roman"); 0 is the platform's default height.
    int FontSize = 0;
    // Called after a press in single or multiple choice with whether anything is selected now.
    std::function<void(bool)> OnSelectionChange;
    // Called with the stored name of an inline picture or object that could not be loaded (once,
    // when its answer is added), so the run's log can tell the teacher.
    std::function<void(const std::string&)> OnAttachmentUnshown;
    // Plays sounds and shows the popup; without one, Play, Stop and hovering show nothing.
    TAnswerAttachHost* Host = nullptr;

    // An inline picture or object that cannot be loaded leaves an empty frame in its place.
    void AddAnswer(const std::string& text, TAttachKind kind, const std::string& file, const TAttachOptions& options,
                   int32_t weight, const TPath& path = TPath());
    // Between these, AddAnswer only collects: the answers are laid out once at the end.
    void BeginUpdate() { updating_ = true; }
    void EndUpdate();
    // Ends a preview shown on hover, then removes every answer with its buttons.
    void Clear();
    int32_t Count() const { return Model.Count(); }
    // Lays every panel out for the current width and stacks them (pnlMainResize).
    void Relayout();
    // Height of the stacked answers (the content panel).
    int ContentHeight() const { return contentHeight_; }
    // The owner scrolls the list by putting the content's top above the window's top.
    void SetContentTop(int top);
    int ContentTop() const { return contentTop_; }

    long double Score() const { return Model.Score(); }
    std::string SelectionText() const { return Model.SelectionText(); }

    // For the owner and for tests: the display position under a client point (-1 for none), a
    // panel's rectangle in client coordinates, the colours a panel is painted in now, and the
    // answer the pointer is over (-1 for none).
    int HitTest(POINT client) const;
    RECT PanelRect(int position) const;
    TPanelColors ColorsOf(int position) const;
    int HoveredPosition() const { return hovered_; }
    int DraggedPosition() const { return dragged_; }
    // Where a panel's inline picture or object is drawn, in client coordinates (empty when it has
    // none), and whether it could be loaded.
    RECT ImageRect(int position) const;
    RECT ObjectRect(int position) const;
    bool AttachmentLoaded(int position) const;
    // The Play and Stop buttons of an inline sound (null for other answers).
    HWND PlayButton(int position) const;
    HWND StopButton(int position) const;
    // The display position of the answer whose attachment shows on hover now (-1 for none).
    int PreviewPosition() const;

    // The keyboard. One answer has the keyboard's attention (its display position, -1 for none);
    // while the list has the focus it is framed by a dotted rectangle, once the keyboard has been
    // used (KeyboardCues).
    int FocusedPosition() const { return focused_; }
    // Gives the keyboard's attention to the answer at `position` (clamped into the list) and the
    // focus to the list.
    void FocusAnswer(int position);
    // Space chooses the focused answer and the digits 1-9 (main row and keypad) the answer of that
    // number, as a click would; Ctrl+Up / Ctrl+Down move the focused answer of an ordering list one
    // place. Returns whether the key was the list's.
    bool KeyDown(WPARAM key);
    // A press on the answer at `position` as the pointer gives it, without a drag: single choice
    // selects, multiple choice toggles, ordering only takes the keyboard there.
    void ChooseAnswer(int position);
    // Moves the focused answer of an ordering list `delta` places (the same move as a drop).
    void MoveFocusedAnswer(int delta);
    // The focus rectangle shows from now on.
    void ShowKeyboardCues();
    bool KeyboardCues() const { return cues_; }
    // Called with the focused answer whenever it changes, for the owner to scroll it into view.
    std::function<void(int)> OnFocusMove;
    // Where the focus rectangle is drawn, in client coordinates (empty when none is drawn).
    RECT FocusRect() const;
    // The font the answers' texts are drawn and measured with (made for FontSize and the DPI).
    HFONT Font() const { return font_; }
    // What screen readers are told the list is.
    std::wstring AccessibleName = L"Ответы";

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A new DPI: the answers' font and the buttons' font are made for it and every panel is laid
    // out again.
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    void Paint(HDC dc) override;
    void UpdateFont();
    // The answer panels' distance from the list's sides and from each other, at the list's DPI.
    int Margin() const;
    void SetHovered(int position);
    void OnMouseMove(POINT client);
    void OnLeftButtonDown(POINT client);
    void OnLeftButtonUp(POINT client);
    void OnMouseLeave();
    void CancelDrag();
    void SetFocused(int position);
    // Tells screen readers of a change of the answer at `position` (-1: the list itself).
    void NotifyAccessible(DWORD event, int position) const;
    // After a press: the answers whose check changed, and the one chosen in single choice.
    void NotifySelectionChanges(const std::vector<bool>& before, int pressed) const;
    LRESULT AccessibleObject(WPARAM wParam);
    // Play or Stop of an inline sound.
    void MediaButtonClick(HWND button);

    // What an answer's inline attachment needs on screen, by its Added number.
    struct TAttachment {
        std::unique_ptr<TPicture> Picture;
        std::unique_ptr<TOleObject> Object;
        HWND Play = nullptr;
        HWND Stop = nullptr;
        // Where the Play button was last put, and whether it is in view.
        bool Shown = false;
        POINT ShownAt = {0, 0};
    };
    void LoadAttachment(const TAnswerEntry& entry);
    void CreateButtons(const TAnswerEntry& entry);
    const TAttachment* AttachmentOf(const TAnswerEntry& entry) const;
    TPanelLayout LayoutEntry(HDC dc, const TAnswerEntry& entry, int32_t panelWidth) const;
    void PlaceButtonsOf(int position, const RECT& client);
    void PlaceButtons();
    void DestroyButtons();
    void PaintAttachment(HDC dc, const RECT& panel, const TAnswerEntry& entry, const TPanelLayout& layout) const;
    std::vector<TAttachment> attachments_;

    // The preview shown on hover (popup or sound), kept apart from the entry: the answers may be
    // cleared while the host is still busy showing it.
    struct TPreview {
        bool Active = false;
        int32_t Added = -1;  // -1: the answer is gone
        TAttachKind Kind = akNone;
    };
    // The answer whose attachment should show now: hovered, shown on hover, no drag, not locked.
    int32_t WantedPreview() const;
    // Brings the preview in line with the pointer. The host's calls let messages run, so a
    // call nested in one of them only leaves the work to the loop that is already running.
    void SyncPreview();
    void StartPreview(const TAnswerEntry& entry);
    void EndPreview(const TPreview& preview);
    bool PointerStrictlyInside(int position) const;
    int PositionOfAdded(int32_t added) const;
    TPreview preview_;
    bool inHost_ = false;

    // The layout of each answer by its Added number, so painting does not measure text again.
    const TPanelLayout& LayoutOfEntry(const TAnswerEntry& entry) const;
    std::vector<TPanelLayout> layouts_;
    bool updating_ = false;
    HFONT font_ = nullptr;
    int fontSize_ = -1;
    int fontDpi_ = 0;
    // Of the Play and Stop buttons; made with the first of them.
    HFONT buttonFont_ = nullptr;
    int contentHeight_ = 0;
    int contentTop_ = 0;
    int hovered_ = -1;
    // The hovered answer shows the hover colours: from entering it until a press on it.
    bool hoverLit_ = false;
    // Client width the panels were last laid out for.
    int layoutWidth_ = -1;
    int dragged_ = -1;
    bool tracking_ = false;
    // Where the pointer last moved inside the list, while it is inside.
    POINT pointer_ = {0, 0};
    bool pointerInside_ = false;
    int focused_ = -1;
    bool cues_ = false;
    // What screen readers hold of the list (answers/AnswerListAccessible.h); cut off when the
    // window goes, as they may keep it longer.
    class TAccessible;
    TAccessible* accessible_ = nullptr;
};
