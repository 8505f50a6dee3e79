#include "answers/RightAnswerFormUnit.h"

#include <algorithm>

#include "model/Codepage.h"
#include "platform/Dpi.h"
#include "platform/Panel.h"
#include "platform/Win32Util.h"

namespace {

constexpr wchar_t kRightAnswerClass[] = L"TfRightAnswer";
constexpr wchar_t kRightAnswerCaption[] = L"Ответ на вопрос";

constexpr int kIdOk = 100;
constexpr int kIdWarning = 101;
constexpr int kIdError = 102;
constexpr int kIdInfo = 103;
constexpr int kIdScroll = 104;
constexpr int kIdClose = 105;
constexpr UINT_PTR kBackCounterTimer = 1;

// Steps of the scroll bar, which has 100 of them whatever the content's height.
constexpr int kScrollMax = 100;
constexpr int kScrollWidth = 16;
constexpr int kLineStep = 2;
constexpr int kWheelStep = 10;

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kGreyText = RGB(128, 128, 128);

// The window's own flag: the window as a whole is hidden between showings.
bool IsShown(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

RECT ChildRect(HWND child) {
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

int HeightOf(HWND hwnd) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    return rc.bottom;
}

int WidthOf(HWND hwnd) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    return rc.right;
}

void Place(HWND hwnd, int x, int y, int w, int h) {
    SetWindowPos(hwnd, nullptr, x, y, std::max(0, w), std::max(0, h), SWP_NOZORDER | SWP_NOACTIVATE);
}

// The room `text` needs on one line in `font`, measured as a label draws it.
SIZE LineExtent(HFONT font, const std::wstring& text) {
    if (text.empty()) return SIZE{0, 0};
    return DrawnTextSize(font, text, DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX);
}

int LineHeight(HWND control, HFONT font) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return tm.tmHeight;
}

void DrawTick(HDC dc, int left, int top, int size, int thickness) {
    HPEN pen = CreatePen(PS_SOLID, thickness, RGB(0, 150, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, left + size * 3 / 16, top + size * 9 / 16, nullptr);
    LineTo(dc, left + size * 7 / 16, top + size * 13 / 16);
    LineTo(dc, left + size * 13 / 16, top + size * 3 / 16);
    SelectObject(dc, old);
    DeleteObject(pen);
}

}  // namespace

// A panel whose children's notifications (scrolling, label colours, owner drawing) reach the
// window, however deep the panel sits.
class TfRightAnswer::TRelayPanel : public TPanel {
protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_VSCROLL:
        case WM_COMMAND:
        case WM_DRAWITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORSCROLLBAR:
            return SendMessageW(GetParent(Handle()), message, wParam, lParam);
        }
        return TPanel::HandleMessage(message, wParam, lParam);
    }
};

TfRightAnswer::TfRightAnswer() : tmrBackCounter(kBackCounterTimer, 1000) {}

TfRightAnswer::~TfRightAnswer() {
    tmrBackCounter.SetEnabled(false);
    for (HFONT font : {font_, boldFont_}) {
        if (font != nullptr) DeleteObject(font);
    }
}

bool TfRightAnswer::Create(HWND owner) {
    owner_ = owner;
    PrepareDpi(owner);
    frame_ = LayoutRightAnswerFrame({}, Dpi());
    const TRightAnswerFrame& f = frame_;
    RegisterWindowClass(kRightAnswerClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    const RECT rc = WindowRectForClient(RECT{0, 0, f.ClientWidth, f.ClientHeight(0)}, style, exStyle, Dpi());
    if (!CreateHandle(exStyle, kRightAnswerClass, kRightAnswerCaption, style, 0, 0, rc.right - rc.left,
                      rc.bottom - rc.top, owner))
        return false;
    tmrBackCounter.SetOwner(Handle());

    CreateFonts();

    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](HWND parent, const wchar_t* cls, DWORD style, int x, int y, int w, int h, int id, HFONT font) {
        HWND hwnd = CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, x, y, w, h, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return hwnd;
    };
    auto panel = [&](std::unique_ptr<TRelayPanel>& holder, HWND parent, int x, int y, int w, int h) {
        holder = std::make_unique<TRelayPanel>();
        if (!holder->Create(parent, x, y, w, h, L"")) return static_cast<HWND>(nullptr);
        holder->SetBevel(TPanel::TBevel::Lowered);
        HWND hwnd = holder->Handle();
        SetWindowLongW(hwnd, GWL_STYLE, GetWindowLongW(hwnd, GWL_STYLE) | WS_CLIPCHILDREN);
        return hwnd;
    };

    // Placed by PlaceFrame below, once the texts can be measured.
    imgOk = make(Handle(), L"STATIC", SS_OWNERDRAW, 0, 0, 0, 0, kIdOk, font_);
    imgWarning = make(Handle(), L"STATIC", SS_OWNERDRAW, 0, 0, 0, 0, kIdWarning, font_);
    imgError = make(Handle(), L"STATIC", SS_OWNERDRAW, 0, 0, 0, 0, kIdError, font_);
    lbAnswersStatus = make(Handle(), L"STATIC", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 0, 0, 0, 0, 0, boldFont_);
    lbAnswerDescription = make(Handle(), L"STATIC", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 0, 0, 0, 0, 0, font_);
    // Created last of the band and put under it: the icons and labels sit on the band.
    shpInfo = make(Handle(), L"STATIC", SS_OWNERDRAW, 0, 0, 0, 0, kIdInfo, font_);
    SetWindowPos(shpInfo, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    const int bevel = f.Bevel, scrollWidth = ScrollWidth();
    pnlMain = panel(mainPanel_, Handle(), 0, f.BandHeight, f.ClientWidth, 0);
    if (pnlMain == nullptr) return false;
    scbVert = make(pnlMain, L"SCROLLBAR", SBS_VERT, bevel, bevel, scrollWidth, 0, kIdScroll, font_);
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = kScrollMax;
    si.nPage = kScrollMax;
    SetScrollInfo(scbVert, SB_CTL, &si, FALSE);
    EnableWindow(scbVert, FALSE);

    const int areaLeft = bevel + scrollWidth, areaWidth = f.ClientWidth - areaLeft - bevel;
    if (!frAnswersList.Create(pnlMain, areaLeft, bevel, areaWidth, 0)) return false;
    pnlInputAnswers = panel(inputPanel_, pnlMain, areaLeft, bevel, areaWidth, 0);
    if (pnlInputAnswers == nullptr) return false;
    inputPanel_->SetBevel(TPanel::TBevel::None);
    SetWindowPos(pnlInputAnswers, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    pnlInternal = panel(internalPanel_, pnlInputAnswers, f.InternalMargin, f.InternalMargin,
                        areaWidth - 2 * f.InternalMargin, 0);
    if (pnlInternal == nullptr) return false;
    lbInputAnswers = make(pnlInternal, L"STATIC", SS_CENTER | SS_NOPREFIX, f.InputLabelLeft, 0,
                          areaWidth - 2 * f.InternalMargin - 2 * f.InputLabelLeft, 0, 0, font_);
    SetVisible(pnlInputAnswers, false);

    lbAutoClose = make(Handle(), L"STATIC", SS_LEFT | SS_NOPREFIX, f.Margin, 0, f.AutoCloseWidth, f.TextHeight, 0,
                       font_);
    btnClose = make(Handle(), L"BUTTON", WS_TABSTOP | BS_OWNERDRAW, f.ClientWidth - f.Margin - f.ButtonWidth, 0,
                    f.ButtonWidth, f.ButtonHeight, kIdClose, font_);
    SetWindowTextW(btnClose, L"Закрыть");
    FitToContent();
    return true;
}

void TfRightAnswer::SetText(HWND control, const std::string& cp1251) {
    SetWindowTextW(control, Wide(cp1251).c_str());
}

bool TfRightAnswer::IconVisible(int icon) const {
    switch (icon) {
    case TRightAnswerView::iconOk: return IsShown(imgOk);
    case TRightAnswerView::iconWarning: return IsShown(imgWarning);
    case TRightAnswerView::iconError: return IsShown(imgError);
    case TRightAnswerView::iconNone: return !IsShown(imgOk) && !IsShown(imgWarning) && !IsShown(imgError);
    }
    return false;
}

void TfRightAnswer::ShowAnswer(const std::vector<TTestAnswer>& answers, long double ratio, uint8_t answerMode,
                               int32_t seconds) {
    // The list keeps no reference to the answers, but the view's indices must stay valid while
    // they are added.
    const std::vector<TTestAnswer> copy = answers;
    frAnswersList.Clear();
    frAnswersList.Model.Locked = true;
    // Every right answer is shown from its top, whatever the previous one was scrolled to.
    scrollPosition_ = 0;

    const TRightAnswerView view = BuildRightAnswerView(copy, ratio, answerMode);
    SetVisible(imgOk, view.Icon == TRightAnswerView::iconOk);
    SetVisible(imgWarning, view.Icon == TRightAnswerView::iconWarning);
    SetVisible(imgError, view.Icon == TRightAnswerView::iconError);
    SetText(lbAnswersStatus, view.Status);
    if (view.DescriptionSet) SetText(lbAnswerDescription, view.Description);

    if (!view.ShowViewport) {
        SetVisible(pnlMain, false);
    } else {
        SetVisible(pnlMain, true);
        if (view.ShowTyped) SetText(lbInputAnswers, view.TypedText);
        for (size_t index : view.ListAnswers) {
            const TTestAnswer& answer = copy[index];
            frAnswersList.AddAnswer(answer.Text, answer.AttachKind, answer.AttachFile, answer.Attach, answer.Weight,
                                    answer.AttachPath);
        }
        SetVisible(pnlInputAnswers, view.ShowTyped);
        // Hidden rather than merely covered: the key words panel is not the list's sibling in paint order.
        SetVisible(frAnswersList.Handle(), !view.ShowTyped);
    }

    if (seconds > 0) {
        SetText(lbAutoClose, "");
        tmrBackCounter.Tag = seconds;
        tmrBackCounter.SetEnabled(true);
    } else {
        SetText(lbAutoClose, CloseHintText());
    }

    FitToContent();
    CenterOnScreen();
    ShowModal(owner_);
    tmrBackCounter.SetEnabled(false);
}

bool TfRightAnswer::TypedView() const { return IsShown(pnlInputAnswers); }

int TfRightAnswer::ContentHeight() const {
    return TypedView() ? labelHeight_ : frAnswersList.ContentHeight();
}

void TfRightAnswer::CreateFonts() {
    for (HFONT font : {font_, boldFont_}) {
        if (font != nullptr) DeleteObject(font);
    }
    font_ = CreateMessageFont(Dpi());
    boldFont_ = CreateMessageFont(Dpi(), FW_BOLD);
}

// The bar is designed 16 wide, a pixel narrower than the system's at 96 DPI; it grows with the
// scaling as the system's does.
int TfRightAnswer::ScrollWidth() const { return Scale(kScrollWidth); }

void TfRightAnswer::PlaceFrame() {
    // The widest countdown text of this showing is its first; the hint when there is none.
    std::wstring autoClose = WindowTextW(lbAutoClose);
    if (tmrBackCounter.Enabled() && tmrBackCounter.Tag > 1) {
        const std::wstring first = Wide(AutoCloseText(tmrBackCounter.Tag - 1));
        if (first.size() > autoClose.size()) autoClose = first;
    }
    TRightAnswerTextRoom texts;
    texts.Status = LineExtent(boldFont_, WindowTextW(lbAnswersStatus)).cx;
    texts.Description = LineExtent(font_, WindowTextW(lbAnswerDescription)).cx;
    texts.AutoClose = LineExtent(font_, autoClose).cx;
    texts.Close = LineExtent(font_, WindowTextW(btnClose)).cx;
    texts.LineHeight = std::max(LineHeight(lbAnswersStatus, boldFont_), LineHeight(lbAnswerDescription, font_));
    frame_ = LayoutRightAnswerFrame(texts, Dpi());
    const TRightAnswerFrame& f = frame_;
    for (HWND icon : {imgOk, imgWarning, imgError}) Place(icon, f.IconLeft, f.IconTop, f.IconSize, f.IconSize);
    Place(lbAnswersStatus, f.TextLeft, f.StatusTop, f.TextWidth, f.TextHeight);
    Place(lbAnswerDescription, f.TextLeft, f.DescriptionTop, f.TextWidth, f.TextHeight);
    Place(shpInfo, 0, 0, f.ClientWidth, f.BandHeight);
}

void TfRightAnswer::FitToContent() {
    PlaceFrame();
    const TRightAnswerFrame& f = frame_;
    int clientHeight = f.ClientHeight(0);
    if (IsShown(pnlMain)) {
        // The viewport takes the window's width first: the content's height depends on it.
        LayoutViewport(HeightOf(pnlMain));
        int content = 0;
        if (TypedView()) {
            const int labelWidth = WidthOf(pnlInternal) - 2 * f.InputLabelLeft;
            const std::wstring text = WindowTextW(lbInputAnswers);
            const SIZE need = DrawnTextSize(font_, text, DT_WORDBREAK | DT_CENTER | DT_EXPANDTABS | DT_NOPREFIX,
                                            std::max(0, labelWidth));
            labelHeight_ = text.empty() ? 0 : static_cast<int>(need.cy);
            const RECT label = ChildRect(lbInputAnswers);
            Place(lbInputAnswers, f.InputLabelLeft, label.top, labelWidth, labelHeight_);
            content = labelHeight_ + 2 * f.InternalMargin + Scale(8);
        } else {
            frAnswersList.Relayout();
            content = frAnswersList.ContentHeight();
        }
        const int viewport = std::min(content, f.MaxViewport);
        LayoutViewport(viewport);
        clientHeight = f.ClientHeight(viewport);
    }

    const RECT rc = WindowRectForClient(RECT{0, 0, f.ClientWidth, clientHeight},
                                        static_cast<DWORD>(GetWindowLongW(Handle(), GWL_STYLE)),
                                        static_cast<DWORD>(GetWindowLongW(Handle(), GWL_EXSTYLE)), Dpi());
    SetWindowPos(Handle(), nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A frame drawn at another DPI than the one asked for (a window between two screens) would
    // leave the client area off: it is made up for.
    RECT client;
    GetClientRect(Handle(), &client);
    if (client.right != f.ClientWidth || client.bottom != clientHeight) {
        SetWindowPos(Handle(), nullptr, 0, 0, rc.right - rc.left + f.ClientWidth - client.right,
                     rc.bottom - rc.top + clientHeight - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const int buttonTop = clientHeight - f.Margin - f.ButtonHeight;
    Place(btnClose, f.ClientWidth - f.Margin - f.ButtonWidth, buttonTop, f.ButtonWidth, f.ButtonHeight);
    Place(lbAutoClose, f.Margin, buttonTop + (f.ButtonHeight - f.TextHeight) / 2, f.AutoCloseWidth, f.TextHeight);
    pnlMainResize();
}

void TfRightAnswer::LayoutViewport(int height) {
    const TRightAnswerFrame& f = frame_;
    Place(pnlMain, 0, f.BandHeight, f.ClientWidth, height);
    const int bevel = f.Bevel, scrollWidth = ScrollWidth();
    const int inner = std::max(0, height - 2 * bevel);
    const int areaLeft = bevel + scrollWidth, areaWidth = f.ClientWidth - areaLeft - bevel;
    Place(scbVert, bevel, bevel, scrollWidth, inner);
    Place(frAnswersList.Handle(), areaLeft, bevel, areaWidth, inner);
    Place(pnlInputAnswers, areaLeft, bevel, areaWidth, inner);
    Place(pnlInternal, f.InternalMargin, f.InternalMargin, areaWidth - 2 * f.InternalMargin,
          inner - 2 * f.InternalMargin);
}

void TfRightAnswer::DpiChanged(int oldDpi, const RECT* suggested) {
    TModalWindow::DpiChanged(oldDpi, suggested);
    CreateFonts();
    for (HWND control : {imgOk, imgWarning, imgError, shpInfo, lbAnswerDescription, scbVert, lbInputAnswers,
                         lbAutoClose, btnClose}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    SendMessageW(lbAnswersStatus, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);
    FitToContent();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TfRightAnswer::CenterOnScreen() {
    RECT rc;
    GetWindowRect(Handle(), &rc);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    SetWindowPos(Handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfRightAnswer::pnlMainResize() {
    const int content = ContentHeight();
    const int viewport =
        TypedView() ? HeightOf(pnlInputAnswers) - 2 * ChildRect(pnlInternal).top : HeightOf(pnlMain);
    // Nothing to show is nothing to scroll.
    scrollPage_ = content <= 0 ? kScrollMax : std::max(0, std::min(kScrollMax * viewport / content, kScrollMax));
    SetScrollPosition(std::min(scrollPosition_, kScrollMax - scrollPage_));
    EnableWindow(scbVert, scrollPage_ < kScrollMax);
}

void TfRightAnswer::SetScrollPosition(int position) {
    scrollPosition_ = std::max(0, std::min(position, kScrollMax));
    scbVertChange();
}

void TfRightAnswer::scbVertChange() {
    scrollPosition_ = std::max(0, std::min(scrollPosition_, kScrollMax - scrollPage_));
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_PAGE | SIF_POS;
    si.nPage = static_cast<UINT>(scrollPage_);
    si.nPos = scrollPosition_;
    SetScrollInfo(scbVert, SB_CTL, &si, TRUE);

    const int top = -(ContentHeight() * scrollPosition_) / kScrollMax;
    if (TypedView()) {
        const RECT label = ChildRect(lbInputAnswers);
        Place(lbInputAnswers, label.left, top, label.right - label.left, label.bottom - label.top);
    } else {
        frAnswersList.SetContentTop(top);
    }
}

void TfRightAnswer::FormMouseWheel(short delta) {
    if (delta == 0 || !IsShown(pnlMain)) return;
    SetScrollPosition(scrollPosition_ - kWheelStep * (delta > 0 ? 1 : -1));
    EnableWindow(scbVert, scrollPage_ < kScrollMax);
}

void TfRightAnswer::OnVScroll(int code) {
    int position = 0;
    if (!ScrollBarTarget(scbVert, code, scrollPosition_, scrollPage_, kLineStep, kScrollMax, position)) return;
    SetScrollPosition(position);
}

void TfRightAnswer::tmrBackCounterTimer() {
    if (tmrBackCounter.Tag >= 0) --tmrBackCounter.Tag;
    if (tmrBackCounter.Tag == 0) {
        tmrBackCounter.SetEnabled(false);
        SetModalResult(IDCANCEL);
    } else if (tmrBackCounter.Tag > 0) {
        SetText(lbAutoClose, AutoCloseText(tmrBackCounter.Tag));
    }
}

void TfRightAnswer::btnCloseClick() { SetModalResult(IDOK); }

void TfRightAnswer::OnEnter() { SetModalResult(IDOK); }

void TfRightAnswer::OnEscape() { SetModalResult(IDCANCEL); }

// The wheel goes to the focus window and climbs from there to this one.
void TfRightAnswer::OnShow() { SetFocus(btnClose); }

void TfRightAnswer::DrawIcon(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const RECT& rc = item.rcItem;
    FillRect(dc, &rc, GetSysColorBrush(COLOR_INFOBK));
    const int left = rc.left, top = rc.top, size = std::min(rc.right - rc.left, rc.bottom - rc.top);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = GetCurrentObject(dc, OBJ_BRUSH);
    if (item.CtlID == kIdOk) {
        DrawTick(dc, left, top, size, Scale(5));
    } else if (item.CtlID == kIdWarning) {
        HBRUSH yellow = CreateSolidBrush(RGB(255, 210, 0));
        SelectObject(dc, yellow);
        const int one = Scale(1), two = Scale(2);
        const POINT triangle[3] = {
            {left + size / 2, top + one}, {left + size - one, top + size - two}, {left, top + size - two}};
        Polygon(dc, triangle, 3);
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        Rectangle(dc, left + size / 2 - two, top + size * 3 / 8, left + size / 2 + two, top + size * 11 / 16);
        Rectangle(dc, left + size / 2 - two, top + size * 12 / 16 + one, left + size / 2 + two,
                  top + size * 12 / 16 + Scale(5));
        SelectObject(dc, oldBrush);
        DeleteObject(yellow);
    } else if (item.CtlID == kIdError) {
        HBRUSH red = CreateSolidBrush(RGB(210, 20, 20));
        SelectObject(dc, red);
        SelectObject(dc, GetStockObject(NULL_PEN));
        Ellipse(dc, left, top, left + size, top + size);
        HPEN white = CreatePen(PS_SOLID, Scale(4), kWhite);
        SelectObject(dc, white);
        MoveToEx(dc, left + size * 5 / 16, top + size * 5 / 16, nullptr);
        LineTo(dc, left + size * 11 / 16, top + size * 11 / 16);
        MoveToEx(dc, left + size * 11 / 16, top + size * 5 / 16, nullptr);
        LineTo(dc, left + size * 5 / 16, top + size * 11 / 16);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(white);
        DeleteObject(red);
    }
    SelectObject(dc, oldPen);
}

void TfRightAnswer::DrawCloseButton(const DRAWITEMSTRUCT& item) {
    // Flat: a thin edge, sunk while pressed; a tick as its glyph.
    HDC dc = item.hDC;
    RECT rc = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &rc, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    const int shift = pressed ? 1 : 0;
    const std::wstring text = WindowTextW(item.hwndItem);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE extent = {0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    const int glyph = frame_.Glyph, gap = frame_.GlyphGap;
    const int total = glyph + gap + extent.cx;
    const int left = rc.left + (rc.right - rc.left - total) / 2 + shift;
    const int middle = (rc.top + rc.bottom) / 2 + shift;
    DrawTick(dc, left, middle - glyph / 2, glyph, Scale(3));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(IsWindowEnabled(item.hwndItem) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    RECT textRect = {left + glyph + gap, rc.top + shift, rc.right, rc.bottom + shift};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    if ((item.itemState & ODS_FOCUS) != 0) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -Scale(3), -Scale(3));
        DrawFocusRect(dc, &focus);
    }
}

LRESULT TfRightAnswer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const int code = ScrollCodeFrom(scbVert, message, wParam, lParam); code >= 0) {
        OnVScroll(code);
        return 0;
    }
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kIdClose && HIWORD(wParam) == BN_CLICKED) {
            btnCloseClick();
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == tmrBackCounter.Id()) {
            tmrBackCounterTimer();
            return 0;
        }
        break;
    case WM_MOUSEWHEEL:
        FormMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        break;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID == kIdInfo) {
            HGDIOBJ oldBrush = SelectObject(item->hDC, GetSysColorBrush(COLOR_INFOBK));
            HGDIOBJ oldPen = SelectObject(item->hDC, GetStockObject(BLACK_PEN));
            Rectangle(item->hDC, item->rcItem.left, item->rcItem.top, item->rcItem.right, item->rcItem.bottom);
            SelectObject(item->hDC, oldPen);
            SelectObject(item->hDC, oldBrush);
            return TRUE;
        }
        if (item->CtlID == kIdOk || item->CtlID == kIdWarning || item->CtlID == kIdError) {
            DrawIcon(*item);
            return TRUE;
        }
        if (item->CtlID == kIdClose) {
            DrawCloseButton(*item);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        HWND control = reinterpret_cast<HWND>(lParam);
        if (control == lbInputAnswers) {
            SetBkColor(dc, kWhite);
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        SetBkMode(dc, TRANSPARENT);
        if (control == lbAnswersStatus || control == lbAnswerDescription) {
            SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INFOBK));
        }
        if (control == lbAutoClose) SetTextColor(dc, kGreyText);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    }
    return TModalWindow::HandleMessage(message, wParam, lParam);
}
