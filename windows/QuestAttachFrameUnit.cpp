#include "windows/QuestAttachFrameUnit.h"

#include <algorithm>
#include <utility>

#include "platform/Dpi.h"
#include "platform/Win32Util.h"

const wchar_t kQuestAttachFrameName[] = L"QUEST_ATTACH_FRAME";

namespace {

constexpr wchar_t kFrameClass[] = L"TfrQuestAttach";
constexpr wchar_t kPlaceholderClass[] = L"TVideoPlaceholder";

enum : int { kIdPlaySound = 201, kIdStopSound = 202, kIdStartVideo = 203, kIdStopVideo = 204 };

// Design pixels of a 96-DPI screen, scaled for the frame's DPI.
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 25;
constexpr int kGap = 8;
constexpr int kButtonPadding = 16, kTextPadding = 8;
constexpr int kHintFontHeight = 21;

void Place(HWND window, int left, int top, int width, int height) {
    SetWindowPos(window, nullptr, left, top, std::max(width, 0), std::max(height, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE ClientSize(HWND window) {
    RECT rc = {};
    if (window != nullptr) GetClientRect(window, &rc);
    return {rc.right, rc.bottom};
}

}  // namespace

// ---- TFramePanel ----

LRESULT TFramePanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (OnMessage && OnMessage(message, wParam, lParam)) return 0;
    return TPanel::HandleMessage(message, wParam, lParam);
}

// ---- TVideoPlaceholder ----

bool TVideoPlaceholder::Create(HWND parent) {
    RegisterWindowClass(kPlaceholderClass, 0, nullptr);
    PrepareDpi(parent);
    return CreateHandle(0, kPlaceholderClass, L"", WS_CHILD | WS_VISIBLE | WS_DISABLED, 0, 0, Scale(kSize),
                        Scale(kSize), parent);
}

void TVideoPlaceholder::Paint(HDC dc) {
    // A strip of film with a play mark.
    RECT rc;
    GetClientRect(Handle(), &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    HBRUSH film = CreateSolidBrush(RGB(64, 64, 64));
    RECT strip = {rc.left + Scale(2), rc.top + Scale(6), rc.right - Scale(2), rc.bottom - Scale(6)};
    FillRect(dc, &strip, film);
    DeleteObject(film);
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    for (int x = strip.left + Scale(3); x + Scale(4) <= strip.right - Scale(2); x += Scale(8)) {
        RECT top = {x, strip.top + Scale(2), x + Scale(4), strip.top + Scale(6)};
        RECT bottom = {x, strip.bottom - Scale(6), x + Scale(4), strip.bottom - Scale(2)};
        FillRect(dc, &top, white);
        FillRect(dc, &bottom, white);
    }
    const int cx = (rc.left + rc.right) / 2, cy = (rc.top + rc.bottom) / 2;
    POINT play[] = {{cx - Scale(6), cy - Scale(8)}, {cx - Scale(6), cy + Scale(8)}, {cx + Scale(8), cy}};
    HGDIOBJ oldBrush = SelectObject(dc, white);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, play, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

// ---- TfrQuestAttach ----

TfrQuestAttach::TfrQuestAttach(TQuestAttachHost host) : host_(std::move(host)) {}

TfrQuestAttach::~TfrQuestAttach() {
    if (font_ != nullptr) DeleteObject(font_);
    if (hintFont_ != nullptr) DeleteObject(hintFont_);
}

bool TfrQuestAttach::Create(HWND owner, TAttachKind kind, const TPath& fileName, const TAttachOptions& options) {
    RegisterWindowClass(kFrameClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    const SIZE size = ClientSize(owner);
    if (!CreateHandle(WS_EX_CONTROLPARENT, kFrameClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, size.cx,
                      size.cy, owner)) {
        return false;
    }
    FileName = fileName;
    Kind = kind;
    Options = options;
    font_ = CreateMessageFont(Dpi());

    // The stated size of the content is in design pixels.
    PreferredWidth = Scale(Options.Width);
    PreferredHeight = Scale(Options.Height);
    ExtraHeight = 0;
    FixedHeight = false;

    switch (Kind) {
    case akPicture: {
        CreatePicturePanel();
        // A picture that cannot be decoded stays empty: the view shows nothing and the run goes on.
        // Stretched or fitted, it is never drawn larger than the screen, and a large photograph
        // decodes several times faster at a scale that still covers that.
        const bool loaded = Options.ScaleMode == 0
                                ? imgPicture.LoadFromFile(FileName)
                                : imgPicture.LoadFromFile(FileName, nullptr, GetSystemMetrics(SM_CXSCREEN),
                                                          GetSystemMetrics(SM_CYSCREEN));
        if (!loaded && host_.AttachmentUnshown) host_.AttachmentUnshown();
        imgPicture.SetStretch(Options.ScaleMode != 0);
        // The size the picture has on this screen: it looks the same at any scaling.
        const SIZE natural = imgPicture.Picture.SizeForDpi(Dpi());
        PreferredWidth = natural.cx;
        PreferredHeight = natural.cy;
        pnlPictureResize();
        break;
    }
    case akSound:
        CreateSoundPanel();
        if (Options.AutoPlay) btnPlaySoundClick();
        PreferredWidth = host_.QuestionPanelWidth ? host_.QuestionPanelWidth() : 0;
        PreferredHeight = Scale(kSoundHeight);
        FixedHeight = true;
        break;
    case akVideo:
        CreateVideoPanel();
        btnStartVideoClick();
        ExtraHeight += Scale(kVideoOptionsHeight) + Scale(kVideoHintHeight);
        break;
    case akFme:
    case akOle:
        CreateOlePanel();
        if (!(PathExists(FileName) && ocMain.LoadFromFile(FileName)) && host_.AttachmentUnshown)
            host_.AttachmentUnshown();
        pnlOleResize();
        break;
    default:
        break;
    }
    return true;
}

HWND TfrQuestAttach::MakeControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id) {
    HWND hwnd = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return hwnd;
}

HWND TfrQuestAttach::ContentPanel() const {
    for (const TFramePanel* panel : {&pnlPicture, &pnlSound, &pnlVideo, &pnlOle}) {
        if (panel->Handle() != nullptr) return panel->Handle();
    }
    return nullptr;
}

bool TfrQuestAttach::OnPanelMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case kIdPlaySound: btnPlaySoundClick(); return true;
        case kIdStopSound: btnStopSoundClick(); return true;
        case kIdStartVideo: btnStartVideoClick(); return true;
        case kIdStopVideo: btnStopVideoClick(); return true;
        }
    }
    if (message == WM_HSCROLL || message == WM_VSCROLL) {
        HWND bar = reinterpret_cast<HWND>(lParam);
        if (bar != nullptr && (bar == scbPictureViewH || bar == scbPictureViewV)) {
            OnPictureScroll(bar, LOWORD(wParam));
            return true;
        }
    }
    return false;
}

// ---- Picture ----

void TfrQuestAttach::CreatePicturePanel() {
    const SIZE size = ClientSize(Handle());
    pnlPicture.OnMessage = [this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SIZE) {
            pnlPictureResize();
            return false;
        }
        return OnPanelMessage(message, wParam, lParam);
    };
    pnlPicture.Create(Handle(), 0, 0, size.cx, size.cy, L"");
    pnlPicture.SetBevel(TPanel::TBevel::None);
    pnlPictureView.Create(pnlPicture.Handle(), 0, 0, size.cx, size.cy, L"");
    pnlPictureView.SetBevel(TPanel::TBevel::Lowered);
    imgPicture.Create(pnlPictureView.Handle(), 2, 2, 0, 0);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    scbPictureViewH = CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | SBS_HORZ, 0, 0, 0, 0, pnlPicture.Handle(),
                                      nullptr, instance, nullptr);
    scbPictureViewV = CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | SBS_VERT, 0, 0, 0, 0, pnlPicture.Handle(),
                                      nullptr, instance, nullptr);
    for (HWND bar : {scbPictureViewH, scbPictureViewV}) {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = kPictureScrollRange;
        info.nPage = kPictureScrollPage;
        info.nPos = 0;
        SetScrollInfo(bar, SB_CTL, &info, FALSE);
    }
}

void TfrQuestAttach::LayoutPicturePanel(bool hBar, bool vBar) {
    const SIZE size = ClientSize(pnlPicture.Handle());
    const int barHeight = hBar ? SystemMetricForDpi(SM_CYHSCROLL, Dpi()) : 0;
    const int barWidth = vBar ? SystemMetricForDpi(SM_CXVSCROLL, Dpi()) : 0;
    const int viewWidth = std::max(0, static_cast<int>(size.cx) - barWidth);
    const int viewHeight = std::max(0, static_cast<int>(size.cy) - barHeight);
    Place(pnlPictureView.Handle(), 0, 0, viewWidth, viewHeight);
    Place(scbPictureViewH, 0, viewHeight, viewWidth, barHeight);
    Place(scbPictureViewV, viewWidth, 0, barWidth, viewHeight);
    SetVisible(scbPictureViewH, hBar);
    SetVisible(scbPictureViewV, vBar);
}

void TfrQuestAttach::pnlPictureResize() {
    if (pnlPicture.Handle() == nullptr || scbPictureViewH == nullptr || scbPictureViewV == nullptr) return;
    const SIZE picture = imgPicture.Picture.SizeForDpi(Dpi());
    const int pictureWidth = picture.cx, pictureHeight = picture.cy;
    // The bars take their room from the view; a bar that comes shrinks the view, which can only
    // make the other one needed too, so this settles within three rounds.
    bool hBar = false, vBar = false;
    TPictureViewLayout out;
    for (;;) {
        LayoutPicturePanel(hBar, vBar);
        const SIZE view = ClientSize(pnlPictureView.Handle());
        out = PlaceViewerPicture(view.cx, view.cy, pictureWidth, pictureHeight, Options.ScaleMode, imageRect_, Dpi());
        const bool needH = hBar || out.HBarVisible;
        const bool needV = vBar || out.VBarVisible;
        if (needH == hBar && needV == vBar) break;
        hBar = needH;
        vBar = needV;
    }
    imageRect_ = out.Image;
    if (!out.ImageVisible) {
        imgPicture.Hide();
        return;
    }
    MoveImage();
    imgPicture.Show();
    auto setBar = [](HWND bar, int32_t page, int32_t position) {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_PAGE | SIF_POS;
        info.nPage = static_cast<UINT>(std::max(page, 0));
        info.nPos = position;
        SetScrollInfo(bar, SB_CTL, &info, TRUE);
    };
    if (out.HScrollSet) setBar(scbPictureViewH, out.HPage, out.HPosition);
    if (out.VScrollSet) setBar(scbPictureViewV, out.VPage, out.VPosition);
}

void TfrQuestAttach::MoveImage() {
    Place(imgPicture.Handle(), imageRect_.Left, imageRect_.Top, imageRect_.Width, imageRect_.Height);
}

void TfrQuestAttach::OnPictureScroll(HWND bar, int code) {
    SCROLLINFO info = ScrollBarInfo(bar);
    const int page = static_cast<int>(info.nPage);
    const int maximum = info.nMax - std::max(page, 1) + 1;
    int target = 0;
    if (!ScrollBarTarget(bar, code, info.nPos, page, 1, maximum, target)) return;
    target = std::max(info.nMin, std::min(target, maximum));
    SetScrollPos(bar, SB_CTL, target, TRUE);
    if (bar == scbPictureViewH) {
        scbPictureViewHChange();
    } else {
        scbPictureViewVChange();
    }
}

void TfrQuestAttach::scbPictureViewHChange() {
    if (scbPictureViewH == nullptr) return;
    imageRect_.Left = PictureScrollOffset(GetScrollPos(scbPictureViewH, SB_CTL), imageRect_.Width);
    MoveImage();
}

void TfrQuestAttach::scbPictureViewVChange() {
    if (scbPictureViewV == nullptr) return;
    imageRect_.Top = PictureScrollOffset(GetScrollPos(scbPictureViewV, SB_CTL), imageRect_.Height);
    MoveImage();
}

// ---- Sound ----

void TfrQuestAttach::CreateSoundPanel() {
    const SIZE size = ClientSize(Handle());
    pnlSound.OnMessage = [this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SIZE) {
            LayoutSoundPanel();
            return false;
        }
        return OnPanelMessage(message, wParam, lParam);
    };
    pnlSound.Create(Handle(), 0, 0, size.cx, size.cy, L"");
    pnlSound.SetBevel(TPanel::TBevel::None);
    lbSoundHint = MakeControl(pnlSound.Handle(), L"STATIC", L"Звуковой фрагмент", SS_LEFT | SS_NOPREFIX, 0);
    btnPlaySound = MakeControl(pnlSound.Handle(), L"BUTTON", L"Проиграть", BS_PUSHBUTTON | WS_TABSTOP, kIdPlaySound);
    btnStopSound = MakeControl(pnlSound.Handle(), L"BUTTON", L"Остановить", BS_PUSHBUTTON | WS_TABSTOP, kIdStopSound);
    EnableWindow(btnStopSound, FALSE);
    LayoutSoundPanel();
}

void TfrQuestAttach::LayoutSoundPanel() {
    if (btnStopSound == nullptr) return;
    const SIZE size = ClientSize(pnlSound.Handle());
    const SIZE button = ButtonSize({btnPlaySound, btnStopSound});
    const int gap = Scale(kGap);
    const int top = (static_cast<int>(size.cy) - button.cy) / 2;
    const int stopLeft = static_cast<int>(size.cx) - gap - button.cx;
    const int playLeft = stopLeft - gap - button.cx;
    const SIZE text = TextExtent(lbSoundHint, L"Звуковой фрагмент");
    Place(lbSoundHint, gap, (static_cast<int>(size.cy) - text.cy) / 2, std::max(0, playLeft - 2 * gap), text.cy);
    Place(btnPlaySound, playLeft, top, button.cx, button.cy);
    Place(btnStopSound, stopLeft, top, button.cx, button.cy);
}

void TfrQuestAttach::btnPlaySoundClick() {
    if (host_.PlayMedia) host_.PlayMedia(FileName, btnPlaySound, btnStopSound, nullptr, 0);
}

void TfrQuestAttach::btnStopSoundClick() {
    if (host_.StopMedia) host_.StopMedia();
}

// ---- Video ----

void TfrQuestAttach::CreateVideoPanel() {
    const SIZE size = ClientSize(Handle());
    pnlVideo.OnMessage = [this](UINT message, WPARAM, LPARAM) {
        if (message == WM_SIZE) LayoutVideoPanel();
        return false;
    };
    pnlVideo.Create(Handle(), 0, 0, size.cx, size.cy, L"");
    pnlVideo.SetBevel(TPanel::TBevel::None);

    hintFont_ = CreateHintFont();
    pnlVideoHint.Create(pnlVideo.Handle(), 0, 0, size.cx, Scale(kVideoHintHeight), L"Видео данные");
    pnlVideoHint.SetFont(hintFont_);

    pnlVideoOut.OnMessage = [this](UINT message, WPARAM, LPARAM) {
        if (message == WM_SIZE) LayoutVideoOut();
        return false;
    };
    pnlVideoOut.Create(pnlVideo.Handle(), 0, Scale(kVideoHintHeight), size.cx, 0, L"");
    pnlVideoOut.SetBevel(TPanel::TBevel::Lowered);
    imgVideo.Create(pnlVideoOut.Handle());

    pnlVideoOptions.OnMessage = [this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SIZE) {
            LayoutVideoOptions();
            return false;
        }
        return OnPanelMessage(message, wParam, lParam);
    };
    pnlVideoOptions.Create(pnlVideo.Handle(), 0, 0, size.cx, Scale(kVideoOptionsHeight), L"");
    btnStartVideo = MakeControl(pnlVideoOptions.Handle(), L"BUTTON", L"Старт", BS_PUSHBUTTON | WS_TABSTOP, kIdStartVideo);
    btnStopVideo = MakeControl(pnlVideoOptions.Handle(), L"BUTTON", L"Стоп", BS_PUSHBUTTON | WS_TABSTOP, kIdStopVideo);
    EnableWindow(btnStopVideo, FALSE);
    LayoutVideoPanel();
}

void TfrQuestAttach::LayoutVideoPanel() {
    if (pnlVideoOptions.Handle() == nullptr) return;
    const SIZE size = ClientSize(pnlVideo.Handle());
    const int hint = Scale(kVideoHintHeight), options = Scale(kVideoOptionsHeight);
    Place(pnlVideoHint.Handle(), 0, 0, size.cx, hint);
    Place(pnlVideoOptions.Handle(), 0, size.cy - options, size.cx, options);
    Place(pnlVideoOut.Handle(), 0, hint, size.cx, size.cy - hint - options);
    // A panel whose size did not change hears nothing: lay their contents out anyway.
    LayoutVideoOut();
    LayoutVideoOptions();
}

void TfrQuestAttach::LayoutVideoOut() {
    if (imgVideo.Handle() == nullptr) return;
    const SIZE out = ClientSize(pnlVideoOut.Handle());
    const int size = Scale(TVideoPlaceholder::kSize);
    Place(imgVideo.Handle(), (out.cx - size) / 2, (out.cy - size) / 2, size, size);
}

void TfrQuestAttach::LayoutVideoOptions() {
    if (btnStopVideo == nullptr) return;
    const SIZE options = ClientSize(pnlVideoOptions.Handle());
    const SIZE button = ButtonSize({btnStartVideo, btnStopVideo});
    const int top = (Scale(kVideoOptionsHeight) - button.cy) / 2;
    Place(btnStartVideo, Scale(kGap), top, button.cx, button.cy);
    Place(btnStopVideo, options.cx - Scale(kGap) - button.cx, top, button.cx, button.cy);
}

void TfrQuestAttach::btnStartVideoClick() {
    if (!host_.PlayMedia) return;
    const std::pair<int32_t, int32_t> natural =
        host_.PlayMedia(FileName, btnStartVideo, btnStopVideo, pnlVideoOut.Handle(), Options.ScaleMode);
    // The clip's own pixels, shown scaled for the screen like a picture.
    PreferredWidth = Scale(natural.first);
    PreferredHeight = Scale(natural.second);
}

void TfrQuestAttach::btnStopVideoClick() {
    if (host_.StopMedia) host_.StopMedia();
}

// ---- Embedded object ----

void TfrQuestAttach::CreateOlePanel() {
    const SIZE size = ClientSize(Handle());
    pnlOle.OnMessage = [this](UINT message, WPARAM, LPARAM) {
        if (message == WM_SIZE) pnlOleResize();
        return false;
    };
    pnlOle.Create(Handle(), 0, 0, size.cx, size.cy, L"");
    pnlOle.SetBevel(TPanel::TBevel::None);
    pnlOleView.Create(pnlOle.Handle(), 0, 0, size.cx, size.cy, L"");
    pnlOleView.SetBevel(TPanel::TBevel::Lowered);
    ocMain.Create(pnlOleView.Handle(), 2, 2, 0, 0);
}

void TfrQuestAttach::pnlOleResize() {
    if (pnlOleView.Handle() == nullptr || ocMain.Handle() == nullptr) return;
    const SIZE size = ClientSize(pnlOle.Handle());
    Place(pnlOleView.Handle(), 0, 0, size.cx, size.cy);
    const SIZE view = ClientSize(pnlOleView.Handle());
    const TObjectViewLayout out = PlaceViewerObject(view.cx, view.cy, ObjectWidthOrDefault(Options.Width),
                                                    ObjectHeightOrDefault(Options.Height), Dpi());
    if (!out.Visible) {
        ocMain.Hide();
        return;
    }
    Place(ocMain.Handle(), out.Object.Left, out.Object.Top, out.Object.Width, out.Object.Height);
    ocMain.Show();
}

// ---- Fonts and DPI ----

HFONT TfrQuestAttach::CreateHintFont() const {
    LOGFONTW hint = {};
    hint.lfHeight = -Scale(kHintFontHeight);
    hint.lfCharSet = RUSSIAN_CHARSET;
    wcscpy(hint.lfFaceName, L"Times New Roman");
    return CreateFontIndirectW(&hint);
}

SIZE TfrQuestAttach::ButtonSize(std::initializer_list<HWND> buttons) const {
    SIZE size = {Scale(kButtonWidth), Scale(kButtonHeight)};
    for (HWND button : buttons) {
        const SIZE text = TextExtent(button, WindowTextW(button));
        size.cx = std::max(size.cx, text.cx + Scale(kButtonPadding));
        size.cy = std::max(size.cy, text.cy + Scale(kTextPadding));
    }
    return size;
}

void TfrQuestAttach::DpiChanged(int /*oldDpi*/, const RECT* /*suggested*/) {
    HFONT oldFont = font_, oldHint = hintFont_;
    font_ = CreateMessageFont(Dpi());
    for (HWND control : {lbSoundHint, btnPlaySound, btnStopSound, btnStartVideo, btnStopVideo}) {
        if (control != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    if (hintFont_ != nullptr) {
        hintFont_ = CreateHintFont();
        pnlVideoHint.SetFont(hintFont_);
    }
    if (oldFont != nullptr) DeleteObject(oldFont);
    if (oldHint != nullptr) DeleteObject(oldHint);
    // The panels hear of the change after the frame: lay out what depends on the DPI now.
    LayoutSoundPanel();
    LayoutVideoPanel();
    pnlPictureResize();
    pnlOleResize();
}

// ---- Messages ----

LRESULT TfrQuestAttach::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) {
        HWND content = ContentPanel();
        if (content != nullptr) Place(content, 0, 0, LOWORD(lParam), HIWORD(lParam));
        return 0;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}
