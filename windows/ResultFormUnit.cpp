#include "windows/ResultFormUnit.h"

#include <algorithm>

#include "model/Codepage.h"
#include "platform/Win32Util.h"
#include "windows/LogFormUnit.h"

const wchar_t kResultCaption[] = L"Результат тестирования";
const wchar_t kResultsErrorCaption[] = L"Ошибка!";
const wchar_t kResultsElsewhereCaption[] = L"Файл результатов";

namespace {

constexpr wchar_t kResultClass[] = L"TfResult";
constexpr int kIdLogo = 100;
constexpr int kIdLog = 101;

constexpr int kCaptionX = 108;
constexpr int kTextRight = 412;
constexpr int kLabelHeight = 15;
constexpr int kLoginTop = 61;
constexpr int kRowStep = 20;
constexpr int kColumnGap = 4;
constexpr int kMinLoginCaption = 100;
constexpr int kMaxLoginCaption = 140;

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
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    RECT rc = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    if (!CreateHandle(exStyle, kResultClass, kResultCaption, style, x, y, width, height, owner)) return false;

    font_ = CreateMessageFont(Dpi());
    boldFont_ = CreateMessageFont(Dpi(), FW_BOLD);
    linkFont_ = CreateMessageFont(Dpi(), 0, true);

    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* cls, DWORD style, int x, int y, int w, int h, int id, HFONT font) {
        HWND hwnd = CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, Handle(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return hwnd;
    };
    auto frame = [&](int x, int y, int w, int h) { return make(L"STATIC", SS_ETCHEDFRAME, x, y, w, h, 0, font_); };
    auto label = [&](int x, int y, int w, HFONT font) {
        return make(L"STATIC", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, x, y, w, kLabelHeight, 0, font);
    };

    // The logo and the note under it on the left; three groups of rows on the right; the buttons and
    // the link along the bottom.
    bvMain = frame(4, 4, 423, 156);
    bvLogo = frame(12, 12, 80, 80);
    imgLogo = make(L"STATIC", SS_OWNERDRAW, 16, 16, 72, 72, kIdLogo, font_);
    lbTestInterrupted = make(L"STATIC", SS_LEFT | SS_NOPREFIX, 12, 98, 80, 30, 0, font_);
    ShowWindow(lbTestInterrupted, SW_HIDE);

    constexpr int kLeft = 100, kGroupWidth = 319, kCaptionWidth = 160;
    constexpr int kValueX = 272, kValueWidth = 140, kFullWidth = 304;
    bvTestName = frame(kLeft, 10, kGroupWidth, 40);
    lbTestName_ = label(kCaptionX, 15, kFullWidth, font_);
    lbTestName = label(kCaptionX, 31, kFullWidth, boldFont_);
    bvLogin = frame(kLeft, 54, kGroupWidth, 48);
    lbFIO_ = label(kCaptionX, kLoginTop, kCaptionWidth, font_);
    lbFIO = label(kValueX, kLoginTop, kValueWidth, boldFont_);
    lbOtherInfo_ = label(kCaptionX, kLoginTop + kRowStep, kCaptionWidth, font_);
    lbOtherInfo = label(kValueX, kLoginTop + kRowStep, kValueWidth, boldFont_);
    bvResult = frame(kLeft, 106, kGroupWidth, 48);
    lbTimeOfTest_ = label(kCaptionX, 113, kCaptionWidth, font_);
    lbTimeOfTest = label(kValueX, 113, kValueWidth, boldFont_);
    lbMark_ = label(kCaptionX, 133, kCaptionWidth, font_);
    lbMark = label(kValueX, 133, kValueWidth, boldFont_);

    bvButtons = frame(4, 164, 423, 36);
    btnStartNewTest = make(L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 100, 169, 156, 26, IDOK, font_);
    btnCloseProgram = make(L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 263, 169, 156, 26, IDCANCEL, font_);
    lbLog = make(L"STATIC", SS_RIGHT | SS_NOTIFY | SS_NOPREFIX, 300, 205, 119, 15, kIdLog, linkFont_);

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
    LayoutLoginRows();
    // The record and the window agree even before the first run sets them.
    SetTestTime(0);
    SetMark(0);
    return true;
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
void TfResult::SetFIO(const std::string& cp1251) { SetCaption(lbFIO, cp1251); }
void TfResult::SetOtherInfoCaption(const std::string& cp1251) {
    SetCaption(lbOtherInfo_, cp1251);
    LayoutLoginRows();
}

void TfResult::LayoutLoginRows() {
    // The name rows hold the longest values; their captions are short but one of them comes with the
    // test, so the column is as wide as the two captions need, within limits.
    HDC dc = GetDC(Handle());
    HGDIOBJ old = SelectObject(dc, font_);
    int need = 0;
    for (HWND caption : {lbFIO_, lbOtherInfo_}) {
        const std::wstring text = Wide(Caption(caption));
        SIZE extent = {0, 0};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        need = std::max(need, static_cast<int>(extent.cx));
    }
    SelectObject(dc, old);
    ReleaseDC(Handle(), dc);
    const int captionWidth = std::min(std::max(need + 2, kMinLoginCaption), kMaxLoginCaption);
    const int valueX = kCaptionX + captionWidth + kColumnGap;
    const int valueWidth = kTextRight - valueX;
    MoveWindow(lbFIO_, kCaptionX, kLoginTop, captionWidth, kLabelHeight, TRUE);
    MoveWindow(lbOtherInfo_, kCaptionX, kLoginTop + kRowStep, captionWidth, kLabelHeight, TRUE);
    MoveWindow(lbFIO, valueX, kLoginTop, valueWidth, kLabelHeight, TRUE);
    MoveWindow(lbOtherInfo, valueX, kLoginTop + kRowStep, valueWidth, kLabelHeight, TRUE);
}
void TfResult::SetOtherInfo(const std::string& cp1251) { SetCaption(lbOtherInfo, cp1251); }

void TfResult::SetTestTime(int32_t seconds) {
    testSeconds_ = seconds;
    SetCaption(lbTimeOfTest, TestTimeText(seconds));
}

void TfResult::SetMark(int32_t points) {
    mark_ = points;
    SetCaption(lbMark, PointsText(points));
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
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, left + 14, top + 8, left + 59, top + 65);
    HPEN rule = CreatePen(PS_SOLID, 1, RGB(150, 170, 210));
    SelectObject(dc, rule);
    for (int line = 0; line < 6; ++line) {
        const int ly = top + 18 + line * 8;
        MoveToEx(dc, left + 20, ly, nullptr);
        LineTo(dc, left + 53, ly);
    }
    HPEN tick = CreatePen(PS_SOLID, 6, RGB(200, 30, 30));
    SelectObject(dc, tick);
    MoveToEx(dc, left + 24, top + 38, nullptr);
    LineTo(dc, left + 34, top + 50);
    LineTo(dc, left + 56, top + 20);
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
