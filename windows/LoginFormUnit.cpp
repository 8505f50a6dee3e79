#include "windows/LoginFormUnit.h"

#include <algorithm>

#include "model/Codepage.h"
#include "model/TextUtils.h"
#include "platform/Dpi.h"
#include "platform/Win32Util.h"

const wchar_t kLoginCaption[] = L"Регистрация нового пользователя";
const wchar_t kBadInputCaption[] = L"Заполнение некорректно";

namespace {

constexpr wchar_t kLoginClass[] = L"TfLogin";
constexpr int kIdOk = IDOK;
constexpr int kIdCancel = IDCANCEL;
constexpr int kIdPicture = 100;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The design, in pixels of a 96-DPI screen; scaled for the window's DPI, and where a caption needs
// more room, the column or its row grows and the window with it.
constexpr int kPictureX = 8, kPictureY = 16, kPictureSize = 96;
constexpr int kColumnX = 112, kColumnW = 284, kRightMargin = 8;
constexpr int kFioCaptionTop = 8, kCaptionH = 16, kEditOffset = 17, kEditH = 22, kOtherCaptionTop = 52;
constexpr int kButtonsTop = 98, kButtonW = 78, kButtonH = 25, kButtonGap = 4, kBottomMargin = 5;
constexpr int kButtonPadding = 16, kTextPadding = 8;

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
    PrepareDpi(owner);
    const RECT rc = WindowRectForClient(RECT{0, 0, Scale(kClientWidth), Scale(kClientHeight)}, kStyle, kExStyle, Dpi());
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const POINT at = CenteredOnScreen(width, height);
    if (!CreateHandle(kExStyle, kLoginClass, kLoginCaption, kStyle, at.x, at.y, width, height, owner)) return false;

    font_ = CreateMessageFont(Dpi());

    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, DWORD ex, int id) {
        HWND hwnd = CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Handle(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return hwnd;
    };
    imgLogin = make(L"STATIC", L"", SS_OWNERDRAW, 0, kIdPicture);
    lbFIO = make(L"STATIC", L"Фамилия Имя Отчество", SS_LEFT, 0, 0);
    eFIO = make(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 0);
    lbOtherInfo = make(L"STATIC", L"Группа, Филиал и др.", SS_LEFT, 0, 0);
    eOtherInfo = make(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 0);
    btnOk = make(L"BUTTON", L"ОК", WS_TABSTOP | BS_PUSHBUTTON, 0, kIdOk);
    btnCancel = make(L"BUTTON", L"Отмена", WS_TABSTOP | BS_PUSHBUTTON, 0, kIdCancel);
    SendMessageW(eFIO, EM_LIMITTEXT, kMaxLength, 0);
    SendMessageW(eOtherInfo, EM_LIMITTEXT, kMaxLength, 0);
    Layout(nullptr);
    return true;
}

SIZE TfLogin::TextSize(HWND control, int wrapWidth) const {
    std::wstring text = Wide(EditText(control));
    if (text.empty()) text = L"Ag";  // an empty caption keeps its line
    return DrawnTextSize(font_, text, DT_EXPANDTABS | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE), wrapWidth);
}

void TfLogin::Layout(const RECT* suggested) {
    if (Handle() == nullptr) return;
    // The column takes a caption on one line as far as the screen allows; beyond that the caption
    // wraps and its row grows.
    const RECT work = WorkAreaFor(Handle());
    const RECT frame = WindowRectForClient(RECT{0, 0, 0, 0}, kStyle, kExStyle, Dpi());
    const int widest = std::max<int>(Scale(kColumnW), (work.right - work.left) - (frame.right - frame.left) -
                                                          Scale(kColumnX) - Scale(kRightMargin));
    int columnWidth = Scale(kColumnW);
    for (HWND caption : {lbFIO, lbOtherInfo}) {
        columnWidth = std::max(columnWidth, static_cast<int>(TextSize(caption, 0).cx) + 2);
    }
    const int lineHeight = TextSize(btnOk, 0).cy;
    const int buttonWidth = std::max<int>(
        {Scale(kButtonW), TextSize(btnOk, 0).cx + Scale(kButtonPadding), TextSize(btnCancel, 0).cx + Scale(kButtonPadding)});
    columnWidth = std::min(std::max(columnWidth, 2 * buttonWidth + Scale(kButtonGap)), widest);
    const int editHeight = std::max(Scale(kEditH), lineHeight + Scale(kTextPadding));
    const int buttonHeight = std::max(Scale(kButtonH), lineHeight + Scale(kTextPadding));
    const int fioCaptionHeight = std::max<int>(Scale(kCaptionH), TextSize(lbFIO, columnWidth).cy);
    const int otherCaptionHeight = std::max<int>(Scale(kCaptionH), TextSize(lbOtherInfo, columnWidth).cy);

    auto place = [](HWND control, int x, int y, int w, int h) {
        SetWindowPos(control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const int x = Scale(kColumnX);
    place(imgLogin, Scale(kPictureX), Scale(kPictureY), Scale(kPictureSize), Scale(kPictureSize));
    int y = Scale(kFioCaptionTop);
    place(lbFIO, x, y, columnWidth, fioCaptionHeight);
    y += std::max(Scale(kEditOffset), fioCaptionHeight + Scale(1));
    place(eFIO, x, y, columnWidth, editHeight);
    y += editHeight + Scale(kOtherCaptionTop - kFioCaptionTop - kEditOffset - kEditH);
    place(lbOtherInfo, x, y, columnWidth, otherCaptionHeight);
    y += std::max(Scale(kEditOffset), otherCaptionHeight + Scale(1));
    place(eOtherInfo, x, y, columnWidth, editHeight);
    y += editHeight + Scale(kButtonsTop - kOtherCaptionTop - kEditOffset - kEditH);
    const int right = x + columnWidth;
    place(btnCancel, right - buttonWidth, y, buttonWidth, buttonHeight);
    place(btnOk, right - 2 * buttonWidth - Scale(kButtonGap), y, buttonWidth, buttonHeight);

    const int clientWidth = right + Scale(kRightMargin);
    const int clientHeight =
        std::max(y + buttonHeight + Scale(kBottomMargin), Scale(kPictureY) + Scale(kPictureSize));
    SetClientSizeForDpi(Handle(), clientWidth, clientHeight, kStyle, kExStyle, Dpi(), suggested);
}

void TfLogin::DpiChanged(int /*oldDpi*/, const RECT* suggested) {
    HFONT old = font_;
    font_ = CreateMessageFont(Dpi());
    for (HWND control : {lbFIO, eFIO, lbOtherInfo, eOtherInfo, btnOk, btnCancel}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    if (old != nullptr) DeleteObject(old);
    Layout(suggested);
    InvalidateRect(Handle(), nullptr, TRUE);
}

bool TfLogin::Execute(const std::string& extraFieldCaption) {
    SetWindowTextW(lbOtherInfo, Wide(extraFieldCaption).c_str());
    Layout(nullptr);
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
    auto y = [&](int design) { return rc.top + Scale(design); };
    Ellipse(dc, cx - Scale(20), y(10), cx + Scale(20), y(50));
    Chord(dc, cx - Scale(38), y(56), cx + Scale(38), y(136), cx + Scale(38), y(96), cx - Scale(38), y(96));
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
