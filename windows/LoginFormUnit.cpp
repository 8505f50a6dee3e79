#include "windows/LoginFormUnit.h"

#include "model/Codepage.h"
#include "model/TextUtils.h"
#include "platform/Win32Util.h"

const wchar_t kLoginCaption[] = L"Регистрация нового пользователя";
const wchar_t kBadInputCaption[] = L"Заполнение некорректно";

namespace {

constexpr wchar_t kLoginClass[] = L"TfLogin";
constexpr int kIdOk = IDOK;
constexpr int kIdCancel = IDCANCEL;
constexpr int kIdPicture = 100;

std::string EditText(HWND edit) {
    int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(edit, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return WideToCp1251(text);
}

}  // namespace

std::wstring BlankFieldMessage(const std::string& caption) {
    return L"Поле ввода \"" + Wide(caption) + L"\" не заполнено!";
}

TfLogin::TfLogin() = default;

TfLogin::~TfLogin() {
    if (font_ != nullptr) DeleteObject(font_);
}

bool TfLogin::Create(HWND owner) {
    owner_ = owner;
    RegisterWindowClass(kLoginClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT rc = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    if (!CreateHandle(exStyle, kLoginClass, kLoginCaption, style, x, y, width, height, owner)) return false;

    font_ = CreateMessageFont(Dpi());

    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, DWORD ex, int x, int y, int w, int h,
                    int id) {
        HWND hwnd = CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, Handle(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return hwnd;
    };
    imgLogin = make(L"STATIC", L"", SS_OWNERDRAW, 0, 8, 16, 96, 96, kIdPicture);
    lbFIO = make(L"STATIC", L"Фамилия Имя Отчество", SS_LEFT, 0, 112, 8, 284, 16, 0);
    eFIO = make(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 112, 25, 284, 22, 0);
    lbOtherInfo = make(L"STATIC", L"Группа, Филиал и др.", SS_LEFT, 0, 112, 52, 284, 16, 0);
    eOtherInfo = make(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 112, 69, 284, 22, 0);
    btnOk = make(L"BUTTON", L"ОК", WS_TABSTOP | BS_PUSHBUTTON, 0, 236, 98, 78, 25, kIdOk);
    btnCancel = make(L"BUTTON", L"Отмена", WS_TABSTOP | BS_PUSHBUTTON, 0, 318, 98, 78, 25, kIdCancel);
    SendMessageW(eFIO, EM_LIMITTEXT, kMaxLength, 0);
    SendMessageW(eOtherInfo, EM_LIMITTEXT, kMaxLength, 0);
    return true;
}

bool TfLogin::Execute(const std::string& extraFieldCaption) {
    SetWindowTextW(lbOtherInfo, Wide(extraFieldCaption).c_str());
    return ShowModal(owner_) == IDOK;
}

void TfLogin::ClearFields() {
    SetWindowTextW(eFIO, L"");
    SetWindowTextW(eOtherInfo, L"");
}

bool TfLogin::Validate() {
    // Only the space makes a field blank: a tab is something typed.
    if (NormalizeSpaces(FIO()).empty()) {
        ShowMessage(Handle(), BlankFieldMessage(FIOCaption()), kBadInputCaption, MB_OK | MB_ICONERROR);
        return false;
    }
    if (NormalizeSpaces(OtherInfo()).empty()) {
        ShowMessage(Handle(), BlankFieldMessage(OtherInfoCaption()), kBadInputCaption, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

std::string TfLogin::FIO() const { return EditText(eFIO); }
std::string TfLogin::OtherInfo() const { return EditText(eOtherInfo); }
std::string TfLogin::FIOCaption() const { return EditText(lbFIO); }
std::string TfLogin::OtherInfoCaption() const { return EditText(lbOtherInfo); }

void TfLogin::OnShow() { SetFocus(eFIO); }

void TfLogin::btnOkClick() {
    if (Validate()) SetModalResult(IDOK);
}

void TfLogin::PaintPicture(HDC dc, const RECT& rc) {
    // A plain figure of a person: head and shoulders.
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    HBRUSH body = CreateSolidBrush(RGB(48, 96, 176));
    HGDIOBJ oldBrush = SelectObject(dc, body);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    const int cx = (rc.left + rc.right) / 2;
    Ellipse(dc, cx - 20, rc.top + 10, cx + 20, rc.top + 50);
    Chord(dc, cx - 38, rc.top + 56, cx + 38, rc.top + 136, cx + 38, rc.top + 96, cx - 38, rc.top + 96);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(body);
}

LRESULT TfLogin::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kIdOk && HIWORD(wParam) == BN_CLICKED) {
            btnOkClick();
            return 0;
        }
        if (LOWORD(wParam) == kIdCancel && HIWORD(wParam) == BN_CLICKED) {
            SetModalResult(IDCANCEL);
            return 0;
        }
        break;
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID == kIdPicture) {
            PaintPicture(item->hDC, item->rcItem);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return TModalWindow::HandleMessage(message, wParam, lParam);
}
