#pragma once
// The window in which the person answers the current question: the answers with a scroll bar
// (or a text box for a typed answer), a hint, and "ОК". It lives inside the main window.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "answers/AnswersFrameUnit.h"
#include "model/TestData.h"
#include "platform/Window.h"
#include "run/Scoring.h"

class TfAnswers : public TWindow {
protected:
    ~TfAnswers() override;

public:
    // The scroll bar's arrow step, also that of the arrow keys on the stage.
    static constexpr int kScrollSmallChange = 2;
    // `outcome` is the main window's Outcome byte: btnOkClick sets it to 1 (answered) only when it is 0.
    explicit TfAnswers(uint8_t& outcome);

    bool Create(HWND mainWindow);            // child of mainWindow, hidden
    void SetFontSize(int points);            // the list's and the memo's font size
    // Hides the window, refills it; width := Round(main width × 50 / 100) − 30 (half-to-even),
    // top := Round(main height × 30 / 100).
    void LoadAnswers(const std::vector<TTestAnswer>& answers, bool shuffle, uint8_t answerMode);
    void SetMode(uint8_t mode);              // window/list mode 0..3
    void SetHint(const std::string& cp1251);
    void SetOkEnabled(bool value);
    int ContentHeight() const;
    int ControlHeight() const;               // height of pnlControl
    void FormResize();                       // page size/position/enabled of scbVert
    void scbVertChange();                    // after the main window moved scbVert's position
    void ScrollToShow(int position);         // scrolls the list until that answer is in view
    void btnOkClick();
    long double GetScore() const;
    std::string GetAnswerText() const;
    bool InputVisible() const;               // pnlInput visible (typed mode)
    uint8_t Mode() const;
    // Answer indices (file order) as shown now, after any reordering.
    std::vector<size_t> DisplayOrder() const;

    HWND scbVert = nullptr, pnlInput = nullptr, mmInputAnswer = nullptr, pnlControl = nullptr, btnOk = nullptr,
         lbHint = nullptr, shpHint = nullptr;
    TOwned<TfrAnswersList> frAnswersList;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A new DPI: new fonts, the list laid out again, the hint and "ОК" measured again.
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    int ScrollWidth() const;
    // "ОК" as designed, or larger where its tick and caption need more.
    SIZE OkSize() const;
    static LRESULT CALLBACK MemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data);
    void Layout();
    void pnlControlResize();
    void OnVScroll(int code);
    void DrawOkButton(const DRAWITEMSTRUCT& item);
    std::string MemoText() const;
    bool ListVisible() const { return !inputVisible_; }

    uint8_t& outcome_;
    HWND mainWindow_ = nullptr;
    HFONT formFont_ = nullptr;
    HFONT answerFont_ = nullptr;
    uint8_t mode_ = 0;
    bool inputVisible_ = false;
    bool ctrlDown_ = false;
    int controlHeight_ = 56;
    SIZE okSize_ = {73, 33};
    // Of the answers' text in points (0: the platform's default), kept for a change of DPI.
    int fontSize_ = 0;
    // File index of each answer by the order it was added to the list.
    std::vector<size_t> addedOrder_;
    // Rebuilt only when a typed question is loaded.
    std::vector<TTypedAnswer> savedAnswers_;
};
