#include "answers/AnswersFormUnit.h"

#include <commctrl.h>

#include <algorithm>

#include "model/Codepage.h"
#include "platform/Dpi.h"
#include "platform/Win32Util.h"
#include "run/Scoring.h"
#include "run/TestLog.h"

namespace {

constexpr wchar_t kAnswersClass[] = L"TfAnswers";
constexpr wchar_t kStripClass[] = L"TfAnswersStrip";
constexpr wchar_t kHintShapeClass[] = L"TfAnswersHintShape";

constexpr int kIdScroll = 101;
constexpr int kIdInput = 103;
constexpr int kIdMemo = 104;
constexpr int kIdControl = 105;
constexpr int kIdOk = 106;
constexpr int kIdHint = 107;
constexpr int kIdHintShape = 108;
constexpr UINT_PTR kMemoSubclassId = 1;
// WM_DPICHANGED: our windows take it, with no rectangle, as the news of a new DPI for a child.
constexpr UINT kDpiChangedMessage = 0x02E0;

// Design pixels (of a 96-DPI screen), scaled for the window's DPI where they are used.
constexpr int kScrollMax = 100;
constexpr int kScrollWidth = 16;
constexpr int kInputBorder = 10;
constexpr int kInitialWidth = 405;
constexpr int kInitialHeight = 206;
// The height the typed answer's box asks for.
constexpr int kInputContentHeight = 100;
// The answers window is this much narrower than half the main window.
constexpr int kWidthLess = 30;

// pnlControl as designed on a 397-pixel-wide client area; the right-anchored parts keep
// their distance from the right edge.
constexpr int kControlDesignHeight = 56;
constexpr int kOkTop = 8, kOkWidth = 73, kOkHeight = 33, kOkRightGap = 6;
constexpr int kShapeLeft = 7, kShapeTop = 6, kShapeOkGap = 6, kShapeBottomGap = 5;
constexpr int kHintLeft = 8, kHintTop = 8;
// The hint label is this much narrower than its rectangle.
constexpr int kHintNarrower = 4;
// Inside "ОК": the tick starts 10 from the left edge, 14 wide and 12 high, drawn 3 thick; the
// caption follows 18 from the tick's start, and as much room as before the tick stays after it.
constexpr int kTickLeft = 10, kTickWidth = 14, kTickPen = 3, kCaptionFromTick = 18;
constexpr int kFocusInset = 3;

const char* const kHints[4] = {
    "Укажите единственно правильный ответ, щелкнув по нему мышью, а затем нажмите кнопку \"ОК\"",
    "Выделите нужные ответы, щелкнув по ним мышью. Затем нажмите кнопку \"ОК\"",
    "Измените порядок следования ответов, перетаскивая их мышью. Затем нажмите \"ОК\"",
    "Введите ответ в поле ввода с клавиатуры. Затем нажмите \"ОК\" или [CTRL+ENTER]",
};

int Rounded(long double value) { return RoundToInt32(value); }

// A child's rectangle in its parent, scaled from one DPI to another.
void ScaleChildRect(HWND child, int from, int to) {
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    SetWindowPos(child, nullptr, MulDiv(rc.left, to, from), MulDiv(rc.top, to, from),
                 MulDiv(rc.right - rc.left, to, from), MulDiv(rc.bottom - rc.top, to, from),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Panels that hold controls: what the controls tell their parent goes on to the answers window.
LRESULT CALLBACK StripProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetParent(hwnd), message, wParam, lParam);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK HintShapeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_INFOBK));
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterHelperClass(const wchar_t* name, WNDPROC proc, HBRUSH background) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(instance, name, &wc)) return;
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

HWND MakeChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int id, HFONT font) {
    HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | style, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (hwnd != nullptr && font != nullptr) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

HFONT MakeFont(const wchar_t* face, int points, BYTE charset, int dpi) {
    const int height = points != 0 ? PointsToHeight(points, dpi) : 0;
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

}  // namespace

TfAnswers::TfAnswers(uint8_t& outcome) : outcome_(outcome) {}

TfAnswers::~TfAnswers() {
    if (formFont_ != nullptr) DeleteObject(formFont_);
    if (answerFont_ != nullptr) DeleteObject(answerFont_);
}

bool TfAnswers::Create(HWND mainWindow) {
    mainWindow_ = mainWindow;
    RegisterWindowClass(kAnswersClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    RegisterHelperClass(kStripClass, StripProc, GetSysColorBrush(COLOR_BTNFACE));
    RegisterHelperClass(kHintShapeClass, HintShapeProc, nullptr);
    // A caption but no system menu: no caption buttons, and the frame still resizes.
    const DWORD style = WS_CHILD | WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    PrepareDpi(mainWindow);
    if (!CreateHandle(WS_EX_CONTROLPARENT, kAnswersClass, L"Ответы", style, 0, 0, Scale(kInitialWidth),
                      Scale(kInitialHeight), mainWindow))
        return false;

    formFont_ = MakeFont(L"MS Sans Serif", 8, DEFAULT_CHARSET, Dpi());
    answerFont_ = MakeFont(L"Times New Roman", fontSize_, RUSSIAN_CHARSET, Dpi());

    scbVert = MakeChild(Handle(), L"SCROLLBAR", L"", WS_VISIBLE | SBS_VERT, 0, kIdScroll, nullptr);
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = kScrollMax;
    SetScrollInfo(scbVert, SB_CTL, &si, FALSE);
    frAnswersList.OnSelectionChange = [this](bool value) { SetOkEnabled(value); };
    frAnswersList.OnFocusMove = [this](int position) { ScrollToShow(position); };
    frAnswersList.Create(Handle(), ScrollWidth(), 0, Scale(kInitialWidth) - ScrollWidth(), Scale(kInitialHeight));

    pnlInput = MakeChild(Handle(), kStripClass, L"", WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, kIdInput, nullptr);
    mmInputAnswer = MakeChild(pnlInput, L"EDIT", L"",
                              WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL,
                              WS_EX_CLIENTEDGE, kIdMemo, answerFont_);
    SetWindowSubclass(mmInputAnswer, MemoProc, kMemoSubclassId, reinterpret_cast<DWORD_PTR>(this));

    pnlControl = MakeChild(Handle(), kStripClass, L"", WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, kIdControl,
                           nullptr);
    shpHint = MakeChild(pnlControl, kHintShapeClass, L"", WS_VISIBLE | WS_CLIPSIBLINGS, 0, kIdHintShape, nullptr);
    lbHint = MakeChild(pnlControl, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, kIdHint, formFont_);
    btnOk = MakeChild(pnlControl, L"BUTTON", L"ОК", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, kIdOk, formFont_);
    // The hint label sits on top of its rectangle.
    SetWindowPos(lbHint, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    controlHeight_ = Scale(kControlDesignHeight);
    Layout();
    return scbVert != nullptr && frAnswersList.Handle() != nullptr && mmInputAnswer != nullptr && btnOk != nullptr;
}

void TfAnswers::SetFontSize(int points) {
    fontSize_ = points;
    HFONT font = MakeFont(L"Times New Roman", points, RUSSIAN_CHARSET, Dpi());
    SendMessageW(mmInputAnswer, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (answerFont_ != nullptr) DeleteObject(answerFont_);
    answerFont_ = font;
    frAnswersList.FontSize = points;
    frAnswersList.Relayout();
}

void TfAnswers::LoadAnswers(const std::vector<TTestAnswer>& answers, bool shuffle, uint8_t answerMode) {
    Hide();
    RECT main;
    GetWindowRect(mainWindow_, &main);
    const int mainWidth = main.right - main.left, mainHeight = main.bottom - main.top;
    RECT rc;
    GetWindowRect(Handle(), &rc);
    MapWindowPoints(nullptr, mainWindow_, reinterpret_cast<POINT*>(&rc), 2);
    SetWindowPos(Handle(), nullptr, 0, 0, Rounded(mainWidth * 50.0L / 100) - Scale(kWidthLess), rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    frAnswersList.Clear();
    addedOrder_.clear();
    if (answerMode == 1) {
        savedAnswers_.clear();
        for (const TTestAnswer& answer : answers) savedAnswers_.push_back({answer.Text, answer.Weight});
    } else {
        addedOrder_ = AnswerDisplayOrder(answers.size(), shuffle);
        // All answers are measured in one go: a question may have 255 of them.
        frAnswersList.BeginUpdate();
        for (size_t index : addedOrder_) {
            const TTestAnswer& answer = answers[index];
            frAnswersList.AddAnswer(answer.Text, answer.AttachKind, answer.AttachFile, answer.Attach, answer.Weight,
                                    answer.AttachPath);
        }
        frAnswersList.EndUpdate();
    }

    // Every question's answers start at the top: left where the previous question was scrolled to,
    // the first of them (shuffled, too) might never be seen.
    SetScrollPos(scbVert, SB_CTL, 0, FALSE);
    frAnswersList.SetContentTop(0);

    const uint8_t mode = ListModeOf(answerMode);
    if (mode != 255) SetMode(mode);
    // With nothing to choose (a question whose file could not be read) OK is the way on.
    if (answers.empty()) SetOkEnabled(true);

    GetWindowRect(Handle(), &rc);
    MapWindowPoints(nullptr, mainWindow_, reinterpret_cast<POINT*>(&rc), 2);
    SetWindowPos(Handle(), nullptr, rc.left, Rounded(mainHeight * 30.0L / 100), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfAnswers::SetMode(uint8_t mode) {
    mode_ = mode;
    if (mode < 4) SetHint(Utf8ToCp1251(kHints[mode]));
    frAnswersList.Model.Mode = mode;
    InvalidateRect(frAnswersList.Handle(), nullptr, FALSE);
    inputVisible_ = mode == 3;
    SetVisible(pnlInput, inputVisible_);
    SetVisible(scbVert, !inputVisible_);
    SetVisible(frAnswersList.Handle(), !inputVisible_);
    SetWindowTextW(mmInputAnswer, L"");
    SetOkEnabled(mode > 1);
    Layout();
}

void TfAnswers::SetHint(const std::string& cp1251) {
    SetWindowTextW(lbHint, Wide(cp1251).c_str());
    pnlControlResize();
    Layout();
}

void TfAnswers::SetOkEnabled(bool value) {
    EnableWindow(btnOk, value ? TRUE : FALSE);
    InvalidateRect(btnOk, nullptr, FALSE);
}

int TfAnswers::ContentHeight() const {
    return inputVisible_ ? Scale(kInputContentHeight) : frAnswersList.ContentHeight();
}

int TfAnswers::ControlHeight() const { return controlHeight_; }

int TfAnswers::ScrollWidth() const {
    // The design's 16 pixels grow as the system's own scroll bar does from 96 DPI to this one (Wine
    // and Windows 10 make theirs 17 at 96, and the design keeps 16 there).
    const int atDesign = SystemMetricForDpi(SM_CXVSCROLL, kDesignDpi);
    if (atDesign <= 0) return Scale(kScrollWidth);
    return MulDiv(kScrollWidth, SystemMetricForDpi(SM_CXVSCROLL, Dpi()), atDesign);
}

SIZE TfAnswers::OkSize() const {
    SIZE size = {Scale(kOkWidth), Scale(kOkHeight)};
    if (btnOk == nullptr) return size;
    // The tick, the caption and the room after it, or the edges above and below the caption,
    // may need more than the design gives where the font is larger than the scaling.
    const SIZE caption = DrawnTextSize(formFont_, L"ОК", DT_SINGLELINE | DT_NOPREFIX);
    const int edgeX = SystemMetricForDpi(SM_CXEDGE, Dpi()), edgeY = SystemMetricForDpi(SM_CYEDGE, Dpi());
    const int needWidth = Scale(kTickLeft) + Scale(kCaptionFromTick) + caption.cx + Scale(kTickLeft) + edgeX;
    const int needHeight = caption.cy + 2 * (Scale(kFocusInset) + edgeY);
    size.cx = std::max<LONG>(size.cx, needWidth);
    size.cy = std::max<LONG>(size.cy, needHeight);
    return size;
}

void TfAnswers::pnlControlResize() {
    RECT client;
    GetClientRect(Handle(), &client);
    okSize_ = OkSize();
    const int shapeRightGap = okSize_.cx + Scale(kOkRightGap) + Scale(kShapeOkGap);
    const int shapeWidth = std::max(0, static_cast<int>(client.right) - Scale(kShapeLeft) - shapeRightGap);
    const int hintWidth = std::max(0, shapeWidth - Scale(kHintNarrower));
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(lbHint)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(lbHint, &text[0], static_cast<int>(text.size()))));
    // An empty label still takes the height of one line.
    if (text.empty()) text = L" ";
    const int hintHeight = DrawnTextSize(formFont_, text, DT_WORDBREAK | DT_NOPREFIX, hintWidth).cy;
    SetWindowPos(lbHint, nullptr, Scale(kHintLeft), Scale(kHintTop), hintWidth, hintHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    controlHeight_ = std::max<int>(Scale(kHintTop) * 2 + hintHeight, Scale(kOkTop) * 2 + okSize_.cy);
}

void TfAnswers::Layout() {
    if (Handle() == nullptr || pnlControl == nullptr) return;
    RECT client;
    GetClientRect(Handle(), &client);
    const int width = client.right, height = client.bottom;
    SetWindowPos(pnlControl, nullptr, 0, height - controlHeight_, width, controlHeight_,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(btnOk, nullptr, width - okSize_.cx - Scale(kOkRightGap), Scale(kOkTop), okSize_.cx, okSize_.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    const int shapeRightGap = okSize_.cx + Scale(kOkRightGap) + Scale(kShapeOkGap);
    SetWindowPos(shpHint, nullptr, Scale(kShapeLeft), Scale(kShapeTop),
                 std::max(0, width - Scale(kShapeLeft) - shapeRightGap),
                 std::max(0, controlHeight_ - Scale(kShapeTop) - Scale(kShapeBottomGap)), SWP_NOZORDER | SWP_NOACTIVATE);

    const int areaHeight = std::max(0, height - controlHeight_);
    // The input panel takes the scroll bar's place, which is hidden in typed mode.
    const int scrollWidth = ScrollWidth();
    const int left = ListVisible() ? scrollWidth : 0;
    const int border = Scale(kInputBorder);
    SetWindowPos(scbVert, nullptr, 0, 0, scrollWidth, areaHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(frAnswersList.Handle(), nullptr, left, 0, std::max(0, width - left), areaHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(pnlInput, nullptr, left, 0, std::max(0, width - left), areaHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(mmInputAnswer, nullptr, border, border, std::max(0, width - left - 2 * border),
                 std::max(0, areaHeight - 2 * border), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfAnswers::DpiChanged(int oldDpi, const RECT* suggested) {
    // The new fonts go to the controls before the old ones are deleted.
    HFONT formFont = MakeFont(L"MS Sans Serif", 8, DEFAULT_CHARSET, Dpi());
    HFONT answerFont = MakeFont(L"Times New Roman", fontSize_, RUSSIAN_CHARSET, Dpi());
    SendMessageW(lbHint, WM_SETFONT, reinterpret_cast<WPARAM>(formFont), TRUE);
    SendMessageW(btnOk, WM_SETFONT, reinterpret_cast<WPARAM>(formFont), TRUE);
    SendMessageW(mmInputAnswer, WM_SETFONT, reinterpret_cast<WPARAM>(answerFont), TRUE);
    if (formFont_ != nullptr) DeleteObject(formFont_);
    if (answerFont_ != nullptr) DeleteObject(answerFont_);
    formFont_ = formFont;
    answerFont_ = answerFont;
    // The list is laid out for the new DPI before its height is read here: Windows tells it only
    // after this window.
    if (frAnswersList.Handle() != nullptr && frAnswersList.Dpi() != Dpi()) {
        SendMessageW(frAnswersList.Handle(), kDpiChangedMessage, MAKEWPARAM(Dpi(), Dpi()), 0);
    }
    TWindow::DpiChanged(oldDpi, suggested);
    // Windows moves and sizes only top-level windows for a new DPI; this one keeps its place and
    // size in the main window's proportions until the next question places it again.
    if (suggested == nullptr && oldDpi > 0) ScaleChildRect(Handle(), oldDpi, Dpi());
    pnlControlResize();
    Layout();
    FormResize();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TfAnswers::FormResize() {
    const int contentHeight = ContentHeight();
    SCROLLINFO si = ScrollBarInfo(scbVert);
    int page = kScrollMax;
    if (contentHeight != 0) {
        RECT rc;
        GetWindowRect(frAnswersList.Handle(), &rc);
        page = std::min(kScrollMax * static_cast<int>(rc.bottom - rc.top) / contentHeight, kScrollMax);
    }
    si.fMask = SIF_PAGE | SIF_POS;
    si.nPage = static_cast<UINT>(page);
    si.nPos = std::min(si.nPos, kScrollMax - page);
    SetScrollInfo(scbVert, SB_CTL, &si, TRUE);
    // The list follows the position here too, or a clamped position would leave it where an
    // earlier, taller content had been scrolled to.
    frAnswersList.SetContentTop(-Rounded(static_cast<long double>(contentHeight) * si.nPos / kScrollMax));
    EnableWindow(scbVert, page < kScrollMax);
}

void TfAnswers::scbVertChange() {
    SCROLLINFO si = ScrollBarInfo(scbVert);
    const int page = static_cast<int>(si.nPage);
    // One unit more than FormResize allows: the scroll bar's own limit.
    si.fMask = SIF_POS;
    si.nPos = std::min(si.nPos, kScrollMax - page + 1);
    SetScrollInfo(scbVert, SB_CTL, &si, TRUE);
    frAnswersList.SetContentTop(-Rounded(static_cast<long double>(ContentHeight()) * si.nPos / kScrollMax));
    EnableWindow(scbVert, page < kScrollMax);
}

void TfAnswers::ScrollToShow(int position) {
    const std::vector<TAnswerEntry>& entries = frAnswersList.Model.Entries();
    if (position < 0 || position >= static_cast<int>(entries.size()) || !IsWindowEnabled(scbVert)) return;
    const TAnswerEntry& entry = entries[static_cast<size_t>(position)];
    RECT view;
    GetClientRect(frAnswersList.Handle(), &view);
    SCROLLINFO si = ScrollBarInfo(scbVert);
    // The gaps around the panel come into view with it.
    const int kGap = AnswerPanelMargin(Dpi());
    const int target = ScrollPositionToShow(ContentHeight(), view.bottom, si.nPos, kScrollMax - static_cast<int>(si.nPage) + 1,
                                            std::max(0, entry.Top - kGap), entry.Top + entry.Height + kGap);
    if (target == si.nPos) return;
    si.fMask = SIF_POS;
    si.nPos = target;
    SetScrollInfo(scbVert, SB_CTL, &si, TRUE);
    scbVertChange();
}

void TfAnswers::OnVScroll(int code) {
    SCROLLINFO si = ScrollBarInfo(scbVert);
    int pos = 0;
    const int page = static_cast<int>(si.nPage);
    if (!ScrollBarTarget(scbVert, code, si.nPos, page, kScrollSmallChange, kScrollMax, pos)) return;
    si.fMask = SIF_POS;
    si.nPos = std::max(0, std::min(pos, kScrollMax));
    SetScrollInfo(scbVert, SB_CTL, &si, TRUE);
    scbVertChange();
}

void TfAnswers::btnOkClick() {
    if (outcome_ == 0) outcome_ = 1;
}

std::string TfAnswers::MemoText() const {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(mmInputAnswer)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(mmInputAnswer, &text[0], static_cast<int>(text.size()))));
    return WideToCp1251(text);
}

long double TfAnswers::GetScore() const {
    if (mode_ < 3) return frAnswersList.Score();
    if (mode_ > 3) return 0;
    return TypedRatio(savedAnswers_, MemoText());
}

std::string TfAnswers::GetAnswerText() const {
    const TAnswerListModel& list = frAnswersList.Model;
    return AnswerLogText(mode_, list.Texts(), list.SelectedFlags(), inputVisible_ ? MemoText() : std::string());
}

bool TfAnswers::InputVisible() const { return inputVisible_; }

uint8_t TfAnswers::Mode() const { return mode_; }

std::vector<size_t> TfAnswers::DisplayOrder() const {
    std::vector<size_t> order;
    for (const TAnswerEntry& entry : frAnswersList.Model.Entries()) order.push_back(addedOrder_[entry.Added]);
    return order;
}

void TfAnswers::DrawOkButton(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rc = item.rcItem;
    const bool enabled = (item.itemState & ODS_DISABLED) == 0;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &rc, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    // The picture: a tick, green when the answer can be confirmed, grey when not.
    const int shift = pressed ? 1 : 0;
    const int cy = (rc.top + rc.bottom) / 2 + shift;
    const int x0 = rc.left + Scale(kTickLeft) + shift;
    HPEN pen = CreatePen(PS_SOLID, Scale(kTickPen), enabled ? RGB(0, 128, 0) : GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    POINT tick[3] = {{x0, cy - Scale(1)}, {x0 + Scale(5), cy + Scale(5)}, {x0 + Scale(kTickWidth), cy - Scale(7)}};
    Polyline(dc, tick, 3);
    SelectObject(dc, oldPen);
    DeleteObject(pen);

    RECT textRect = rc;
    textRect.left = x0 + Scale(kCaptionFromTick);
    OffsetRect(&textRect, 0, shift);
    HGDIOBJ oldFont = SelectObject(dc, formFont_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(dc, L"ОК", -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = rc;
        InflateRect(&focus, -Scale(kFocusInset), -Scale(kFocusInset));
        DrawFocusRect(dc, &focus);
    }
}

LRESULT CALLBACK TfAnswers::MemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) {
    auto* self = reinterpret_cast<TfAnswers*>(data);
    switch (message) {
    case WM_KEYDOWN:
        self->ctrlDown_ = GetKeyState(VK_CONTROL) < 0;
        if (wParam == VK_RETURN && self->ctrlDown_) {
            try {
                self->btnOkClick();
            } catch (...) {
                HandleApplicationException();
            }
        }
        break;
    case WM_CHAR:
        // Ctrl+Enter arrives as a line feed; neither it nor a carriage return may reach the text then.
        if ((wParam == L'\r' || wParam == L'\n') && self->ctrlDown_) return 0;
        // Tab moves the keyboard on to the buttons; it is no part of an answer.
        if (wParam == L'\t') return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, MemoProc, kMemoSubclassId);
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT TfAnswers::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const int code = ScrollCodeFrom(scbVert, message, wParam, lParam); code >= 0) {
        OnVScroll(code);
        return 0;
    }
    switch (message) {
    case WM_SIZE:
        if (pnlControl == nullptr) break;  // still being created
        pnlControlResize();
        Layout();
        FormResize();
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == kIdOk && HIWORD(wParam) == BN_CLICKED) {
            btnOkClick();
            return 0;
        }
        break;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID == kIdOk) {
            DrawOkButton(*item);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == lbHint) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, GetSysColor(COLOR_INFOBK));
            SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INFOBK));
        }
        break;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}
