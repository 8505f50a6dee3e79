#pragma once
// The registration of each person before a run: a full name and one more field whose
// caption the test gives.

#include <string>

#include "platform/ModalWindow.h"

class TfLogin : public TModalWindow {
protected:
    ~TfLogin() override;

public:
    static constexpr int kClientWidth = 404;
    static constexpr int kClientHeight = 128;
    static constexpr int kMaxLength = 250;

    TfLogin();

    // Creates the window (hidden). `owner` is disabled while it is shown.
    bool Create(HWND owner);
    // Sets the second caption, shows the window modally; true when closed with OK.
    bool Execute(const std::string& extraFieldCaption);
    void ClearFields();
    // Both fields filled in; otherwise says which one is not and returns false.
    bool Validate();

    // What the main window reads: the texts as typed (cp1251) and the two captions.
    std::string FIO() const;
    std::string OtherInfo() const;
    std::string FIOCaption() const;
    std::string OtherInfoCaption() const;

    HWND lbFIO = nullptr;
    HWND eFIO = nullptr;
    HWND lbOtherInfo = nullptr;
    HWND eOtherInfo = nullptr;
    HWND btnOk = nullptr;
    HWND btnCancel = nullptr;
    HWND imgLogin = nullptr;

protected:
    void OnEnter() override { btnOkClick(); }
    void OnShow() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Font and layout for the new DPI.
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    // Places the controls for the window's DPI and captions and sizes the window to hold them;
    // `suggested` is where the system puts it after a DPI change.
    void Layout(const RECT* suggested);
    // A control's text in the window's font: one line, or wrapped at `wrapWidth`.
    SIZE TextSize(HWND control, int wrapWidth) const;
    void btnOkClick();
    void PaintPicture(HDC dc, const RECT& rc);
    HWND owner_ = nullptr;
    HFONT font_ = nullptr;
};

extern const wchar_t kLoginCaption[];       // "Регистрация нового пользователя"
extern const wchar_t kBadInputCaption[];    // "Заполнение некорректно"
std::wstring BlankFieldMessage(const std::string& caption);
