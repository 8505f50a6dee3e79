#pragma once
// The answer list on screen: one framed panel per answer, stacked on a content area that its
// owner scrolls by moving the content's top. Hover, selection and drag-to-reorder follow the
// list's mode; the rules themselves live in TAnswerListModel, this window draws them (through a
// double buffer) and turns the pointer into their operations.

#include <functional>
#include <string>
#include <vector>

#include "answers/AnswerListModel.h"
#include "platform/Window.h"

class TfrAnswersList : public TWindow {
public:
    TfrAnswersList();
    ~TfrAnswersList() override;

    bool Create(HWND parent, int x, int y, int width, int height);

    // Mode, Locked and the answers with their selection and order.
    TAnswerListModel Model;
    // Point size of the answers' text ("Times New Roman"); 0 is the platform's default height.
    int FontSize = 0;
    // Called after a press in single or multiple choice with whether anything is selected now.
    std::function<void(bool)> OnSelectionChange;

    void AddAnswer(const std::string& text, TAttachKind kind, const std::string& file, const TAttachOptions& options,
                   int32_t weight);
    // Between these, AddAnswer only collects: the answers are laid out once at the end.
    void BeginUpdate() { updating_ = true; }
    void EndUpdate();
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

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc);
    void UpdateFont();
    void SetHovered(int position);
    void OnMouseMove(POINT client);
    void OnLeftButtonDown(POINT client);
    void OnLeftButtonUp(POINT client);
    void OnMouseLeave();
    void CancelDrag();

    // The layout of each answer by its Added number, so painting does not measure text again.
    const TPanelLayout& LayoutOfEntry(const TAnswerEntry& entry) const;
    std::vector<TPanelLayout> layouts_;
    bool updating_ = false;
    HFONT font_ = nullptr;
    int fontSize_ = -1;
    int contentHeight_ = 0;
    int contentTop_ = 0;
    int hovered_ = -1;
    // The hovered answer shows the hover colours: from entering it until a press on it.
    bool hoverLit_ = false;
    // Client width the panels were last laid out for.
    int layoutWidth_ = -1;
    int dragged_ = -1;
    bool tracking_ = false;
};
