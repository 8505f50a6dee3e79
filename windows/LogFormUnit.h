#pragma once
// A read-only view of the test log, opened from the result window.

#include <string>

#include "platform/ModalWindow.h"

class TfLog : public TModalWindow {
protected:
    ~TfLog() override;

public:
    static constexpr int kWidth = 371;
    static constexpr int kHeight = 319;

    TfLog();

    // Creates the window (hidden) owned by `owner`.
    bool Create(HWND owner);
    // The whole text in one piece (cp1251, CR LF between lines), shown from its top.
    void SetText(const std::string& cp1251);
    std::string Text() const;

    HWND mmMain = nullptr;
    HWND btnOk = nullptr;

protected:
    void OnShow() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Font and layout for the new DPI.
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    void Relayout(int clientWidth, int clientHeight);
    HFONT font_ = nullptr;
};

extern const wchar_t kLogCaption[];  // "Журнал теста"
