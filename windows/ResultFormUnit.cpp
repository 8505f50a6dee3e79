#include "windows/ResultFormUnit.h"

#include <algorithm>

#include "model/Codepage.h"
#include "platform/Dpi.h"
#include "platform/Win32Util.h"
#include "windows/LogFormUnit.h"

const wchar_t kResultCaption[] = L"Результат тестирования";
const wchar_t kResultsErrorCaption[] = L"Ошибка!";
const wchar_t kResultsElsewhereCaption[] = L"Файл результатов";

namespace {

constexpr wchar_t kResultClass[] = L"TfResult";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr int kIdLogo = 100;
constexpr int kIdLog = 101;

// The design, in pixels of a 96-DPI screen. Each measure is scaled for the window's DPI, and
// where a text needs more room than that gives, the column (or the row) grows and the window
// with it.
constexpr int kClientW = 431, kClientH = 223;
constexpr int kMainFrame = 4, kMainFrameW = 423, kMainFrameH = 156;
constexpr int kLogoFrame = 12, kLogoFrameSize = 80, kLogoInset = 4, kLogoSize = 72;
constexpr int kNoteTop = 98, kNoteW = 80, kNoteH = 30;
constexpr int kGroupX = 100, kGroupW = 319;
constexpr int kTestNameTop = 10, kTestNameH = 40, kTestNameRow1 = 15, kTestNameRow2 = 31;
constexpr int kLoginGroupTop = 54, kResultGroupTop = 106, kRowGroupH = 48;
constexpr int kCaptionX = 108;
constexpr int kFullWidth = 304;
constexpr int kLabelHeight = 15;
constexpr int kLoginTop = 61;
constexpr int kResultTop = 113;
constexpr int kRowStep = 20;
constexpr int kColumnGap = 4;
constexpr int kCaptionWidth = 160, kValueWidth = 140;
constexpr int kMinLoginCaption = 100;
constexpr int kMaxLoginCaption = 140;
// The room a name value keeps at least: the captions take no more of the row than this leaves.
constexpr int kMinLoginValue = kFullWidth - kMaxLoginCaption - kColumnGap;
constexpr int kButtonsTop = 164, kButtonsH = 36, kButtonTop = 169, kButtonW = 156, kButtonH = 26, kButtonGap = 7;
constexpr int kButtonPadding = 16, kButtonTextPadding = 8;
constexpr int kLinkTop = 205, kLinkW = 119;

const COLORREF kLinkColor = RGB(0, 0, 128);
const COLORREF kNoteColor = RGB(128, 128, 128);

}  // namespace

TSystemError ReadLastSystemError() {
    TSystemError error;
    const DWORD code = GetLastError();
    error.Code = static_cast<int>(code);
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer != nullptr) text.assign(buffer, length);
    if (buffer != nullptr) LocalFree(buffer);
    // System texts end with a line break (and sometimes spaces) that would leave the box a blank line.
    const size_t end = text.find_last_not_of(L" \t\r\n");
    text.erase(end == std::wstring::npos ? 0 : end + 1);
    if (text.empty()) text = L"Код ошибки " + std::to_wstring(code) + L".";
    error.Text = WideToCp1251(text);
    return error;
}

TfResult::TfResult() = default;

TfResult::~TfResult() {
    for (HFONT font : {font_, boldFont_, linkFont_}) {
        if (font != nullptr) DeleteObject(font);
    }
}

bool TfResult::Create(HWND owner) {
    owner_ = owner;
    SetSystemErrorReader(&ReadLastSystemError);
    RegisterWindowClass(kResultClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    PrepareDpi(owner);
    // Created at the design size; Layout then gives it the size its texts need and centres it.
    const RECT rc = WindowRectForClient(RECT{0, 0, Scale(kClientW), Scale(kClientH)}, kStyle, kExStyle, Dpi());
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const POINT at = CenteredOnScreen(width, height);
    if (!CreateHandle(kExStyle, kResultClass, kResultCaption, kStyle, at.x, at.y, width, height, owner)) return false;

    CreateFonts();

    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* cls, DWORD style, int id) {
        return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Handle(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    auto frame = [&] { return make(L"STATIC", SS_ETCHEDFRAME, 0); };
    auto label = [&] { return make(L"STATIC", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 0); };

    // The logo and the note under it on the left; three groups of rows on the right; the buttons and
    // the link along the bottom.
    bvMain = frame();
    bvLogo = frame();
    imgLogo = make(L"STATIC", SS_OWNERDRAW, kIdLogo);
    lbTestInterrupted = make(L"STATIC", SS_LEFT | SS_NOPREFIX, 0);
    ShowWindow(lbTestInterrupted, SW_HIDE);
    bvTestName = frame();
    lbTestName_ = label();
    lbTestName = label();
    bvLogin = frame();
    lbFIO_ = label();
    lbFIO = label();
    lbOtherInfo_ = label();
    lbOtherInfo = label();
    bvResult = frame();
    lbTimeOfTest_ = label();
    lbTimeOfTest = label();
    lbMark_ = label();
    lbMark = label();
    bvButtons = frame();
    btnStartNewTest = make(L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, IDOK);
    btnCloseProgram = make(L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL);
    lbLog = make(L"STATIC", SS_RIGHT | SS_NOTIFY | SS_NOPREFIX, kIdLog);
    ApplyFonts();

    SetWindowTextW(btnStartNewTest, L"Тестировать снова");
    SetWindowTextW(btnCloseProgram, L"Выйти из программы");
    SetCaption(lbLog, Utf8ToCp1251("Журнал теста"));
    SetCaption(lbTestName_, Utf8ToCp1251("Название теста:"));
    SetCaption(lbFIO_, Utf8ToCp1251("ФИО тестируемого"));
    SetCaption(lbOtherInfo_, Utf8ToCp1251("Дополнительно"));
    SetCaption(lbTimeOfTest_, Utf8ToCp1251("Время тестирования:"));
    SetCaption(lbMark_, Utf8ToCp1251("Результирующая оценка:"));
    SetCaption(lbTestInterrupted, InterruptedNoteText());
    SetCaption(lbTestName, "");
    SetCaption(lbFIO, "");
    SetCaption(lbOtherInfo, "");
    // The record and the window agree even before the first run sets them.
    testSeconds_ = 0;
    SetCaption(lbTimeOfTest, TestTimeText(0));
    mark_ = 0;
    SetCaption(lbMark, PointsText(0));
    Layout(nullptr);
    return true;
}

void TfResult::CreateFonts() {
    for (HFONT* font : {&font_, &boldFont_, &linkFont_}) {
        if (*font != nullptr) DeleteObject(*font);
    }
    font_ = CreateMessageFont(Dpi());
    boldFont_ = CreateMessageFont(Dpi(), FW_BOLD);
    linkFont_ = CreateMessageFont(Dpi(), 0, true);
}

void TfResult::ApplyFonts() {
    for (HWND control : {lbTestName_, lbFIO_, lbOtherInfo_, lbTimeOfTest_, lbMark_, lbTestInterrupted,
                         btnStartNewTest, btnCloseProgram, imgLogo}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    for (HWND control : {lbTestName, lbFIO, lbOtherInfo, lbTimeOfTest, lbMark}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);
    }
    SendMessageW(lbLog, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_), FALSE);
}

void TfResult::DpiChanged(int /*oldDpi*/, const RECT* suggested) {
    CreateFonts();
    ApplyFonts();
    Layout(suggested);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TfResult::SetCaption(HWND label, const std::string& cp1251) {
    captions_[label] = cp1251;
    SetWindowTextW(label, Wide(cp1251).c_str());
}

std::string TfResult::Caption(HWND label) const {
    auto found = captions_.find(label);
    if (found != captions_.end()) return found->second;
    const int length = GetWindowTextLengthW(label);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(label, &text[0], length + 1)));
    return WideToCp1251(text);
}

void TfResult::SetTestName(const std::string& cp1251) { SetCaption(lbTestName, cp1251); }
void TfResult::SetFIO(const std::string& cp1251) {
    SetCaption(lbFIO, cp1251);
    Layout(nullptr);
}
void TfResult::SetOtherInfoCaption(const std::string& cp1251) {
    SetCaption(lbOtherInfo_, cp1251);
    Layout(nullptr);
}

SIZE TfResult::TextSize(HWND control, HFONT font, bool oneLine) const {
    const std::wstring text = Wide(Caption(control));
    // Measured as the label draws it; "Ag" gives an empty caption its line height.
    const SIZE size = DrawnTextSize(font, text.empty() ? std::wstring(L"Ag") : text,
                                    DT_NOPREFIX | DT_EXPANDTABS | (oneLine ? DT_SINGLELINE : 0));
    return SIZE{text.empty() ? 0 : size.cx, size.cy};
}

void TfResult::Layout(const RECT* suggested) {
    if (Handle() == nullptr) return;
    auto width = [&](HWND control, HFONT font) { return static_cast<int>(TextSize(control, font, true).cx); };
    auto lineHeight = [&](HWND control, HFONT font) { return static_cast<int>(TextSize(control, font, true).cy); };

    // Rows: as high as the design says, or as a line of the largest font needs.
    const int labelHeight = std::max({Scale(kLabelHeight), lineHeight(lbFIO_, font_), lineHeight(lbFIO, boldFont_),
                                      lineHeight(lbLog, linkFont_)});
    const int rowGrowth = labelHeight - Scale(kLabelHeight);

    // The note under the logo: two lines, and the left column widens for them.
    const SIZE note = TextSize(lbTestInterrupted, font_, false);
    const int noteWidth = std::max(Scale(kNoteW), static_cast<int>(note.cx) + 2);
    const int noteHeight = std::max(Scale(kNoteH), static_cast<int>(note.cy));
    const int left = noteWidth - Scale(kNoteW);

    // The time and mark rows: captions and values are the program's own texts, whole at any size.
    const int resultCaptionNeed = std::max(width(lbTimeOfTest_, font_), width(lbMark_, font_)) + 2;
    const int resultCaptionWidth = std::max(Scale(kCaptionWidth), resultCaptionNeed);
    const int resultValueNeed = std::max(width(lbTimeOfTest, boldFont_), width(lbMark, boldFont_)) + 2;
    const int resultValueWidth = std::max(Scale(kValueWidth), resultValueNeed);
    int grow = (resultCaptionWidth - Scale(kCaptionWidth)) + (resultValueWidth - Scale(kValueWidth));
    grow = std::max(grow, width(lbTestName_, font_) + 2 - Scale(kFullWidth));

    // The name rows hold the longest values; their captions are short but one of them comes with the
    // test, so the column is as wide as the two captions need. Up to a limit the values give way;
    // beyond it the window grows, as far as the screen allows, and only then is the caption cut.
    const int captionNeed = std::max(width(lbFIO_, font_), width(lbOtherInfo_, font_)) + 2;
    int loginCaptionWidth = std::max(captionNeed, Scale(kMinLoginCaption));
    const RECT work = WorkAreaFor(Handle());
    const RECT frameRect = WindowRectForClient(RECT{0, 0, 0, 0}, kStyle, kExStyle, Dpi());
    const int widestGrowth = (work.right - work.left) - (frameRect.right - frameRect.left) - Scale(kClientW) - left;
    // A normal name is whole too: the values' room grows for them up to what the shortest caption
    // leaves; a longer value ends in "...". At the design's own scaling and text size the values
    // have the room the design gives them, as they always had.
    const bool designText = Dpi() == kDesignDpi && rowGrowth == 0;
    const int valueNeed =
        designText ? 0
                   : std::min(std::max(width(lbFIO, boldFont_), width(lbOtherInfo, boldFont_)) + 2,
                              Scale(kFullWidth - kMinLoginCaption - kColumnGap));
    const int valueRoom = std::max(Scale(kMinLoginValue), valueNeed);
    const int loginGrowth = loginCaptionWidth + Scale(kColumnGap) + valueRoom - Scale(kFullWidth);
    if (loginGrowth > grow) {
        grow = std::max(grow, std::min(loginGrowth, widestGrowth));
        loginCaptionWidth = std::min(loginCaptionWidth, Scale(kFullWidth) + grow - Scale(kColumnGap) - valueRoom);
    }

    // The buttons share the row under the groups, each half of it.
    const int buttonNeed =
        std::max(width(btnStartNewTest, font_), width(btnCloseProgram, font_)) + Scale(kButtonPadding);
    grow = std::max(grow, 2 * (buttonNeed - Scale(kButtonW)));
    const int buttonGrowth = grow / 2;
    const int buttonHeight =
        std::max(Scale(kButtonH), lineHeight(btnStartNewTest, font_) + Scale(kButtonTextPadding));
    const int buttonRowGrowth = buttonHeight - Scale(kButtonH);

    const int linkWidth = std::max(Scale(kLinkW), width(lbLog, linkFont_) + 2);
    const int clientWidth = Scale(kClientW) + left + grow;
    const int clientHeight = Scale(kClientH) + 6 * rowGrowth + buttonRowGrowth + rowGrowth;

    auto place = [](HWND control, int x, int y, int w, int h) {
        SetWindowPos(control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const int groupX = Scale(kGroupX) + left, groupWidth = Scale(kGroupW) + grow;
    const int captionX = Scale(kCaptionX) + left, fullWidth = Scale(kFullWidth) + grow;
    place(bvMain, Scale(kMainFrame), Scale(kMainFrame), Scale(kMainFrameW) + left + grow,
          Scale(kMainFrameH) + 6 * rowGrowth);
    place(bvLogo, Scale(kLogoFrame), Scale(kLogoFrame), Scale(kLogoFrameSize), Scale(kLogoFrameSize));
    place(imgLogo, Scale(kLogoFrame + kLogoInset), Scale(kLogoFrame + kLogoInset), Scale(kLogoSize), Scale(kLogoSize));
    place(lbTestInterrupted, Scale(kLogoFrame), Scale(kNoteTop), noteWidth, noteHeight);

    int dy = 0;
    place(bvTestName, groupX, Scale(kTestNameTop), groupWidth, Scale(kTestNameH) + 2 * rowGrowth);
    place(lbTestName_, captionX, Scale(kTestNameRow1), fullWidth, labelHeight);
    place(lbTestName, captionX, Scale(kTestNameRow2) + rowGrowth, fullWidth, labelHeight);
    dy += 2 * rowGrowth;

    const int loginValueX = captionX + loginCaptionWidth + Scale(kColumnGap);
    const int loginValueWidth = captionX + fullWidth - loginValueX;
    place(bvLogin, groupX, Scale(kLoginGroupTop) + dy, groupWidth, Scale(kRowGroupH) + 2 * rowGrowth);
    place(lbFIO_, captionX, Scale(kLoginTop) + dy, loginCaptionWidth, labelHeight);
    place(lbFIO, loginValueX, Scale(kLoginTop) + dy, loginValueWidth, labelHeight);
    place(lbOtherInfo_, captionX, Scale(kLoginTop + kRowStep) + dy + rowGrowth, loginCaptionWidth, labelHeight);
    place(lbOtherInfo, loginValueX, Scale(kLoginTop + kRowStep) + dy + rowGrowth, loginValueWidth, labelHeight);
    dy += 2 * rowGrowth;

    const int resultValueX = captionX + resultCaptionWidth + Scale(kColumnGap);
    const int resultValueRoom = captionX + fullWidth - resultValueX;
    place(bvResult, groupX, Scale(kResultGroupTop) + dy, groupWidth, Scale(kRowGroupH) + 2 * rowGrowth);
    place(lbTimeOfTest_, captionX, Scale(kResultTop) + dy, resultCaptionWidth, labelHeight);
    place(lbTimeOfTest, resultValueX, Scale(kResultTop) + dy, resultValueRoom, labelHeight);
    place(lbMark_, captionX, Scale(kResultTop + kRowStep) + dy + rowGrowth, resultCaptionWidth, labelHeight);
    place(lbMark, resultValueX, Scale(kResultTop + kRowStep) + dy + rowGrowth, resultValueRoom, labelHeight);
    dy += 2 * rowGrowth;

    place(bvButtons, Scale(kMainFrame), Scale(kButtonsTop) + dy, Scale(kMainFrameW) + left + grow,
          Scale(kButtonsH) + buttonRowGrowth);
    const int secondButtonX = Scale(kGroupX + kButtonW + kButtonGap) + left + buttonGrowth;
    place(btnStartNewTest, groupX, Scale(kButtonTop) + dy, Scale(kButtonW) + buttonGrowth, buttonHeight);
    place(btnCloseProgram, secondButtonX, Scale(kButtonTop) + dy, groupX + groupWidth - secondButtonX, buttonHeight);
    dy += buttonRowGrowth;
    place(lbLog, groupX + groupWidth - linkWidth, Scale(kLinkTop) + dy, linkWidth, labelHeight);

    // The window keeps its place unless its size changes; then it is centred again (or goes where
    // the system puts it on another screen).
    SetClientSizeForDpi(Handle(), clientWidth, clientHeight, kStyle, kExStyle, Dpi(), suggested);
}

void TfResult::SetOtherInfo(const std::string& cp1251) {
    SetCaption(lbOtherInfo, cp1251);
    Layout(nullptr);
}

void TfResult::SetTestTime(int32_t seconds) {
    testSeconds_ = seconds;
    SetCaption(lbTimeOfTest, TestTimeText(seconds));
    Layout(nullptr);
}

void TfResult::SetMark(int32_t points) {
    mark_ = points;
    SetCaption(lbMark, PointsText(points));
    Layout(nullptr);
}

void TfResult::SetInterrupted(bool interrupted) { ShowWindow(lbTestInterrupted, interrupted ? SW_SHOW : SW_HIDE); }

bool TfResult::IsInterruptedShown() const {
    // The window's own visibility does not count: it is hidden between runs.
    return (GetWindowLongW(lbTestInterrupted, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring RecordElsewhereMessage(const TRecordWrite& write) {
    return Wide(write.Primary.Message) + L"\r\n\r\nРезультат записан в файл \"" + write.WrittenTo.wstring() +
           L"\".\r\nСообщите об этом тому, кто проводит тестирование.";
}

std::wstring RecordNotWrittenMessage(const TRecordWrite& write, const std::string& record) {
    std::wstring text = Wide(write.Primary.Message) + L"\r\n";
    if (write.FallbackTried) text += Wide(write.Fallback.Message) + L"\r\n";
    return text + L"\r\nРезультат не записан. Перепишите его, чтобы он не пропал:\r\n\r\n" + Wide(record) +
           L"«Повторить» — попытаться записать его снова, «Отмена» — результат будет потерян.";
}

bool TfResult::ShowAndRecord() {
    RecordPending = true;
    const bool again = ShowModal(owner_) == IDOK;
    AppendRecord();
    return again;
}

std::string TfResult::RecordBytes() const {
    TResultsRecord record;
    record.TestName = Caption(lbTestName);
    record.FIO = Caption(lbFIO);
    record.OtherInfoCaption = Caption(lbOtherInfo_);
    record.OtherInfo = Caption(lbOtherInfo);
    record.TestSeconds = testSeconds_;
    record.Mark = mark_;
    return FormatResultsRecord(record);
}

TRecordWrite TfResult::WriteRecord(const std::string& bytes, const TRetryPolicy& retry) const {
    const TPath path = ResultsPath.empty() ? ResultsFilePath(TPath(ModulePath()).parent_path()) : ResultsPath;
    return WriteResultsRecord(path, FallbackFolder.empty() ? GetDocumentsFolder() : FallbackFolder, bytes, retry);
}

void TfResult::AppendRecord() {
    const std::string bytes = RecordBytes();
    // The person has seen the result already and the file is the only lasting copy: a record that
    // no folder takes is worth a retry (a folder made writable, a disk with room again), and is
    // given up only when the person says so, having it on screen to copy down.
    for (;;) {
        const TRecordWrite write = WriteRecord(bytes, TRetryPolicy());
        if (write.Ok) {
            RecordPending = false;
            if (write.InFallback) {
                ShowMessage(owner_, RecordElsewhereMessage(write), kResultsElsewhereCaption, MB_OK | MB_ICONWARNING);
            }
            return;
        }
        if (ShowMessage(owner_, RecordNotWrittenMessage(write, bytes), kResultsErrorCaption,
                        MB_RETRYCANCEL | MB_ICONERROR) != IDRETRY) {
            RecordPending = false;
            return;
        }
    }
}

bool TfResult::RecordNow() {
    if (!RecordPending) return true;
    // Windows gives a program only a few seconds to end; a file another player holds is waited for
    // briefly before the record goes to the fallback folder.
    TRetryPolicy retry;
    retry.TotalMilliseconds = 2000;
    const bool ok = WriteRecord(RecordBytes(), retry).Ok;
    if (ok) RecordPending = false;
    return ok;
}

void TfResult::lbLogClick() {
    TOwned<TfLog> log;
    if (!log.Create(Handle())) return;
    log.SetText(LogText ? LogText() : std::string());
    log.ShowModal(Handle());
    log.Destroy();
}

void TfResult::PaintLogo(HDC dc, const RECT& rc) {
    // A sheet with ruled lines and a tick across it.
    HBRUSH back = CreateSolidBrush(RGB(48, 96, 176));
    FillRect(dc, &rc, back);
    DeleteObject(back);
    const int left = rc.left, top = rc.top;
    // Drawn in design pixels of the 72-pixel logo, scaled with it.
    auto x = [&](int design) { return left + Scale(design); };
    auto y = [&](int design) { return top + Scale(design); };
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, x(14), y(8), x(59), y(65));
    HPEN rule = CreatePen(PS_SOLID, Scale(1), RGB(150, 170, 210));
    SelectObject(dc, rule);
    for (int line = 0; line < 6; ++line) {
        MoveToEx(dc, x(20), y(18 + line * 8), nullptr);
        LineTo(dc, x(53), y(18 + line * 8));
    }
    HPEN tick = CreatePen(PS_SOLID, Scale(6), RGB(200, 30, 30));
    SelectObject(dc, tick);
    MoveToEx(dc, x(24), y(38), nullptr);
    LineTo(dc, x(34), y(50));
    LineTo(dc, x(56), y(20));
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(rule);
    DeleteObject(tick);
}

LRESULT TfResult::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            SetModalResult(LOWORD(wParam));
            return 0;
        }
        if (LOWORD(wParam) == kIdLog && HIWORD(wParam) == STN_CLICKED) {
            lbLogClick();
            return 0;
        }
        break;
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID == kIdLogo) {
            PaintLogo(item->hDC, item->rcItem);
            return TRUE;
        }
        break;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == lbLog) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        HWND control = reinterpret_cast<HWND>(lParam);
        SetBkMode(dc, TRANSPARENT);
        if (control == lbLog) SetTextColor(dc, kLinkColor);
        if (control == lbTestInterrupted) SetTextColor(dc, kNoteColor);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    }
    return TModalWindow::HandleMessage(message, wParam, lParam);
}
