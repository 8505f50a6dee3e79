#pragma once
// The verdict after a question: right, partly right or wrong and, unless it was right, the right
// answer in the form of the question (the right choice, all right choices, the right order or the
// key words of a typed answer). Shown modally; it can close itself after some seconds. What it
// shows is worked out by BuildRightAnswerView (answers/RightAnswerView.h).

#include <cstdint>
#include <memory>
#include <vector>

#include "answers/AnswersFrameUnit.h"
#include "answers/RightAnswerView.h"
#include "model/TestData.h"
#include "platform/ModalWindow.h"
#include "platform/Timer.h"

class TfRightAnswer : public TModalWindow {
protected:
    ~TfRightAnswer() override;

public:
    // The client width as designed; the window is wider at a larger scaling or for longer texts.
    static constexpr int kClientWidth = 404;

    TfRightAnswer();

    // Creates the window (hidden). `owner` is disabled while it is shown.
    bool Create(HWND owner);
    // Modal; returns when closed (button, Enter, Escape, title bar, or the countdown).
    void ShowAnswer(const std::vector<TTestAnswer>& answers, long double ratio, uint8_t answerMode, int32_t seconds);
    // For tests: what the window shows now.
    bool IconVisible(int icon) const;  // TRightAnswerView::TIcon values; iconNone: none of them

    HWND shpInfo = nullptr;
    HWND imgOk = nullptr;
    HWND imgWarning = nullptr;
    HWND imgError = nullptr;
    HWND lbAnswersStatus = nullptr;
    HWND lbAnswerDescription = nullptr;
    HWND pnlMain = nullptr;
    HWND scbVert = nullptr;
    HWND pnlInputAnswers = nullptr;
    HWND pnlInternal = nullptr;
    HWND lbInputAnswers = nullptr;
    HWND lbAutoClose = nullptr;
    HWND btnClose = nullptr;
    TOwned<TfrAnswersList> frAnswersList;
    TTimer tmrBackCounter;

protected:
    void OnEnter() override;
    void OnEscape() override;
    void OnShow() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Moved to a screen of another scaling: new fonts, and the window laid out again.
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    class TRelayPanel;

    void CreateFonts();
    int ScrollWidth() const;
    // Measures the band's and the bottom row's texts and puts the band's controls in place.
    void PlaceFrame();

    void FitToContent();
    void CenterOnScreen();
    void LayoutViewport(int height);
    void pnlMainResize();
    void scbVertChange();
    void SetScrollPosition(int position);
    void FormMouseWheel(short delta);
    void OnVScroll(int code);
    void tmrBackCounterTimer();
    void btnCloseClick();
    void SetText(HWND control, const std::string& cp1251);
    int ContentHeight() const;
    bool TypedView() const;
    void DrawIcon(const DRAWITEMSTRUCT& item);
    void DrawCloseButton(const DRAWITEMSTRUCT& item);

    HWND owner_ = nullptr;
    HFONT font_ = nullptr;
    HFONT boldFont_ = nullptr;
    std::unique_ptr<TRelayPanel> mainPanel_, inputPanel_, internalPanel_;
    int scrollPage_ = 100;
    int scrollPosition_ = 0;
    int labelHeight_ = 0;
    TRightAnswerFrame frame_;
};
