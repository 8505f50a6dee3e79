#include "answers/AnswersFrameUnit.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "answers/AnswerListAccessible.h"
#include "model/Codepage.h"
#include "platform/Dpi.h"
#include "platform/OleObject.h"
#include "platform/Win32Util.h"

namespace {

constexpr wchar_t kListClass[] = L"TfrAnswersList";
constexpr UINT kTextFlags = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
// Every answer's buttons share these ids: the button's own handle tells the answers apart.
constexpr int kPlayButtonId = 1;
constexpr int kStopButtonId = 2;
// The room kept for a picture that cannot be shown, as if it were a picture of this size (design
// pixels).
constexpr int kPlaceholderSize = 100;
// The focus rectangle keeps this far inside an answer's frame.
constexpr int kFocusInset = 3;
const TRgb kPlaceholderPen{128, 128, 128};

COLORREF ToColorRef(const TRgb& rgb) { return RGB(rgb.R, rgb.G, rgb.B); }

// An empty caption still measures one line, like a label that sizes itself.
std::wstring MeasuredText(const std::string& cp1251) { return cp1251.empty() ? std::wstring(L" ") : Wide(cp1251); }

int32_t MeasureLabel(HDC dc, const std::wstring& text, int32_t width) {
    RECT rc = {0, 0, std::max<int32_t>(width, 0), 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, kTextFlags | DT_CALCRECT);
    return rc.bottom - rc.top;
}

// A device context with the list's font selected, for measuring.
class TMeasureDc {
public:
    TMeasureDc(HWND hwnd, HFONT font) : hwnd_(hwnd), dc_(GetDC(hwnd)) { old_ = SelectObject(dc_, font); }
    ~TMeasureDc() {
        SelectObject(dc_, old_);
        ReleaseDC(hwnd_, dc_);
    }
    TMeasureDc(const TMeasureDc&) = delete;
    TMeasureDc& operator=(const TMeasureDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
    HGDIOBJ old_;
};

RECT Offset(const RECT& panel, const TLayoutRect& part) {
    return {panel.left + part.Left, panel.top + part.Top, panel.left + part.Left + part.Width,
            panel.top + part.Top + part.Height};
}

// An empty frame where an attachment could not be loaded.
void DrawPlaceholder(HDC dc, const RECT& area) {
    if (area.right <= area.left || area.bottom <= area.top) return;
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const COLORREF oldPen = SetDCPenColor(dc, ToColorRef(kPlaceholderPen));
    Rectangle(dc, area.left, area.top, area.right, area.bottom);
    SetDCPenColor(dc, oldPen);
    SelectObject(dc, oldBrush);
}

HWND CreateButton(HWND parent, int id, const char* utf8Caption, bool enabled, HFONT font) {
    const std::wstring caption = Wide(Utf8ToCp1251(utf8Caption));
    const DWORD style = WS_CHILD | BS_PUSHBUTTON | (enabled ? 0 : WS_DISABLED);
    HWND button = CreateWindowExW(0, L"BUTTON", caption.c_str(), style, 0, 0, 0, 0, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                  nullptr);
    if (button != nullptr) {
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return button;
}

}  // namespace

// The focus rectangle waits for the first key, also where the system is set to show keyboard cues
// always (Wine is, by default): whoever answers with the mouse sees the answers as they always were.
TfrAnswersList::TfrAnswersList() { DoubleBuffered = true; }

TfrAnswersList::~TfrAnswersList() {
    if (accessible_ != nullptr) {
        accessible_->Disconnect();
        accessible_->Release();
    }
    if (font_ != nullptr) DeleteObject(font_);
    if (buttonFont_ != nullptr) DeleteObject(buttonFont_);
}

bool TfrAnswersList::Create(HWND parent, int x, int y, int width, int height) {
    // No CS_DBLCLKS: quick clicks in multiple choice are separate presses that toggle each time.
    RegisterWindowClass(kListClass, 0, nullptr);
    PrepareDpi(parent);
    Model.Dpi = Dpi();
    // The Play and Stop buttons are children above the painted answers.
    if (!CreateHandle(0, kListClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, x, y, width,
                      height, parent))
        return false;
    UpdateFont();
    Relayout();
    return true;
}

void TfrAnswersList::UpdateFont() {
    if (font_ != nullptr && fontSize_ == FontSize && fontDpi_ == Dpi()) return;
    const int dpi = Dpi();
    auto make = [](int height) {
        return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Times New Roman");
    };
    HFONT font = make(FontSize != 0 ? PointsToHeight(FontSize, dpi) : 0);
    // Size 0 is the platform's default height, which is that of the system's DPI: on a screen of
    // another DPI the same text is made as much larger.
    if (FontSize == 0 && font != nullptr && dpi != SystemDpi()) {
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        if (metrics.tmHeight > 0) {
            DeleteObject(font);
            font = make(MulDiv(metrics.tmHeight, dpi, SystemDpi()));
        }
    }
    if (font_ != nullptr) DeleteObject(font_);
    font_ = font;
    fontSize_ = FontSize;
    fontDpi_ = dpi;
}

void TfrAnswersList::AddAnswer(const std::string& text, TAttachKind kind, const std::string& file,
                               const TAttachOptions& options, int32_t weight, const TPath& path) {
    Model.AddAnswer(text, kind, file, options, weight, path);
    LoadAttachment(Model.Entries().back());
    if (Handle() == nullptr || updating_) return;
    // Only the new panel needs measuring, unless the font changed since the others were laid out.
    if (fontSize_ != FontSize || fontDpi_ != Dpi() || font_ == nullptr) {
        Relayout();
        return;
    }
    RECT client;
    GetClientRect(Handle(), &client);
    std::vector<TAnswerEntry>& entries = Model.Entries();
    {
        TMeasureDc dc(Handle(), font_);
        const TPanelLayout layout = LayoutEntry(dc.Get(), entries.back(), client.right - 2 * Margin());
        entries.back().Height = layout.Height;
        layouts_.resize(static_cast<size_t>(entries.back().Added) + 1);
        layouts_.back() = layout;
    }
    contentHeight_ = StackAnswerPanels(entries, Dpi());
    PlaceButtonsOf(Count() - 1, client);
    const RECT added = PanelRect(Count() - 1);
    InvalidateRect(Handle(), &added, FALSE);
}

void TfrAnswersList::Clear() {
    if (dragged_ >= 0) {
        dragged_ = -1;
        if (GetCapture() == Handle()) ReleaseCapture();
    }
    Model.Clear();
    DestroyButtons();
    attachments_.clear();
    layouts_.clear();
    hovered_ = -1;
    hoverLit_ = false;
    focused_ = -1;
    // The next answers are hovered once the pointer moves over them, not where it last was.
    pointerInside_ = false;
    contentHeight_ = 0;
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, FALSE);
    // The answer is gone, not its preview: the host still shows it until told otherwise.
    preview_.Added = -1;
    SyncPreview();
}

void TfrAnswersList::Relayout() {
    std::vector<TAnswerEntry>& entries = Model.Entries();
    if (Handle() != nullptr) {
        UpdateFont();
        RECT client;
        GetClientRect(Handle(), &client);
        layoutWidth_ = client.right;
        TMeasureDc dc(Handle(), font_);
        const int32_t panelWidth = client.right - 2 * Margin();
        layouts_.assign(entries.size(), TPanelLayout());
        for (TAnswerEntry& entry : entries) {
            LoadAttachment(entry);
            const TPanelLayout layout = LayoutEntry(dc.Get(), entry, panelWidth);
            entry.Height = layout.Height;
            if (static_cast<size_t>(entry.Added) >= layouts_.size()) layouts_.resize(static_cast<size_t>(entry.Added) + 1);
            layouts_[static_cast<size_t>(entry.Added)] = layout;
        }
    }
    contentHeight_ = StackAnswerPanels(entries, Dpi());
    PlaceButtons();
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, FALSE);
}

int TfrAnswersList::Margin() const { return AnswerPanelMargin(Dpi()); }

void TfrAnswersList::DpiChanged(int oldDpi, const RECT* suggested) {
    TPaintedWindow::DpiChanged(oldDpi, suggested);
    Model.Dpi = Dpi();
    if (buttonFont_ != nullptr) {
        HFONT font = CreateGuiFont(Dpi());
        for (const TAttachment& attachment : attachments_) {
            for (HWND button : {attachment.Play, attachment.Stop}) {
                if (button != nullptr) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
            }
        }
        DeleteObject(buttonFont_);
        buttonFont_ = font;
    }
    // The buttons go to their new places and sizes even where they stay in view.
    for (TAttachment& attachment : attachments_) attachment.Shown = false;
    // The answers' font follows in Relayout; every panel is measured again with it.
    Relayout();
}

void TfrAnswersList::EndUpdate() {
    updating_ = false;
    Relayout();
    NotifyAccessible(EVENT_OBJECT_REORDER, -1);
}

const TPanelLayout& TfrAnswersList::LayoutOfEntry(const TAnswerEntry& entry) const {
    static const TPanelLayout kNone;
    const size_t index = static_cast<size_t>(entry.Added);
    return index < layouts_.size() ? layouts_[index] : kNone;
}

void TfrAnswersList::SetContentTop(int top) {
    if (top == contentTop_) return;
    contentTop_ = top;
    PlaceButtons();
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, FALSE);
    // The answers moved under a pointer that did not: the one it rests on now is the hovered one
    // (its popup with it), not the one it rested on before the scroll.
    if (pointerInside_ && dragged_ < 0) SetHovered(Model.Locked ? -1 : HitTest(pointer_));
}

int TfrAnswersList::HitTest(POINT client) const {
    if (Handle() == nullptr) return -1;
    RECT rc;
    GetClientRect(Handle(), &rc);
    if (client.x < Margin() || client.x >= rc.right - Margin()) return -1;
    const int y = client.y - contentTop_;
    const std::vector<TAnswerEntry>& entries = Model.Entries();
    // Tops grow with the position: the candidate is the last panel starting at or above y.
    auto after = std::upper_bound(entries.begin(), entries.end(), y,
                                  [](int value, const TAnswerEntry& e) { return value < e.Top; });
    if (after == entries.begin()) return -1;
    const TAnswerEntry& entry = *(after - 1);
    if (y >= entry.Top + entry.Height) return -1;
    return static_cast<int>(after - 1 - entries.begin());
}

RECT TfrAnswersList::PanelRect(int position) const {
    RECT rc = {0, 0, 0, 0};
    if (position < 0 || position >= Count() || Handle() == nullptr) return rc;
    RECT client;
    GetClientRect(Handle(), &client);
    const TAnswerEntry& entry = Model.Entries()[static_cast<size_t>(position)];
    rc.left = Margin();
    rc.right = std::max<LONG>(Margin(), client.right - Margin());
    rc.top = entry.Top + contentTop_;
    rc.bottom = rc.top + entry.Height;
    return rc;
}

TPanelColors TfrAnswersList::ColorsOf(int position) const {
    if (position < 0 || position >= Count()) return PanelColors(Model.Mode, false, false);
    const bool hovered = position == hovered_ && hoverLit_ && !Model.Locked;
    return PanelColors(Model.Mode, Model.Entries()[static_cast<size_t>(position)].Selected, hovered);
}

void TfrAnswersList::Paint(HDC dc) {
    UpdateFont();
    RECT clip;
    GetClipBox(dc, &clip);
    FillRect(dc, &clip, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ oldFont = SelectObject(dc, font_);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (int position = 0; position < Count(); ++position) {
        const RECT panel = PanelRect(position);
        if (panel.top >= clip.bottom) break;
        if (panel.bottom <= clip.top) continue;
        const TPanelColors colors = ColorsOf(position);
        SetDCPenColor(dc, ToColorRef(colors.Pen));
        SetDCBrushColor(dc, ToColorRef(colors.Background));
        Rectangle(dc, panel.left, panel.top, panel.right, panel.bottom);

        const TAnswerEntry& entry = Model.Entries()[static_cast<size_t>(position)];
        const TPanelLayout& layout = LayoutOfEntry(entry);
        if (entry.LabelVisible && !entry.Text.empty()) {
            RECT label = Offset(panel, layout.Label);
            const std::wstring text = Wide(entry.Text);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label, kTextFlags);
        }
        PaintAttachment(dc, panel, entry, layout);
        if (position == focused_) {
            const RECT focus = FocusRect();
            if (focus.right > focus.left) {
                SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
                SetBkColor(dc, ToColorRef(colors.Background));
                DrawFocusRect(dc, &focus);
            }
        }
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldFont);
}

void TfrAnswersList::SetHovered(int position) {
    if (position == hovered_) return;
    const RECT before = PanelRect(hovered_);
    hovered_ = position;
    // Entering an answer lights it; a press on it puts the light out until the next entry.
    hoverLit_ = position >= 0;
    InvalidateRect(Handle(), &before, FALSE);
    const RECT after = PanelRect(hovered_);
    InvalidateRect(Handle(), &after, FALSE);
    SyncPreview();
}

void TfrAnswersList::OnMouseMove(POINT client) {
    if (!tracking_) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = Handle();
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    pointer_ = client;
    pointerInside_ = true;
    if (dragged_ >= 0) {
        SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
        return;
    }
    SetHovered(Model.Locked ? -1 : HitTest(client));
}

void TfrAnswersList::OnMouseLeave() {
    tracking_ = false;
    pointerInside_ = false;
    // Wine reports a leave while the pointer is captured: a drag goes on regardless.
    if (dragged_ >= 0) return;
    SetHovered(-1);
}

void TfrAnswersList::OnLeftButtonDown(POINT client) {
    if (Model.Locked || dragged_ >= 0) return;
    const int position = HitTest(client);
    if (position < 0) return;
    const std::vector<bool> before = Model.SelectedFlags();
    const TPressResult result = Model.LeftButtonDown(position);
    if (result.Changed) {
        if (position == hovered_) hoverLit_ = false;
        // Single choice may clear any other answer: repaint them all, a press is rare.
        InvalidateRect(Handle(), nullptr, FALSE);
    }
    // The keyboard goes on from the answer clicked; the pointer already shows it, so no scrolling.
    if (position != focused_) {
        const RECT old = FocusRect();
        InvalidateRect(Handle(), &old, FALSE);
        focused_ = position;
        if (GetFocus() == Handle()) NotifyAccessible(EVENT_OBJECT_FOCUS, position);
    }
    NotifySelectionChanges(before, position);
    if (result.StartDrag) {
        dragged_ = position;
        SetCapture(Handle());
        SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
    }
    if (result.NotifySelection && OnSelectionChange) OnSelectionChange(result.SelectionValue);
    // A drag takes the answer's preview away.
    if (result.StartDrag) SyncPreview();
}

void TfrAnswersList::OnLeftButtonUp(POINT client) {
    if (dragged_ < 0) return;
    const int from = dragged_;
    // Cleared first: releasing the capture sends WM_CAPTURECHANGED, which must not cancel this drop.
    dragged_ = -1;
    if (GetCapture() == Handle()) ReleaseCapture();
    // The pointer is captured: released above or below the visible list (over the hint, the OK
    // button, the caption) it points at an answer scrolled out of sight, and nothing moves.
    RECT visible;
    GetClientRect(Handle(), &visible);
    const int target = client.y >= 0 && client.y < visible.bottom ? HitTest(client) : -1;
    Model.EndDrag(from, target);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    // The pointer rests over the drop target, unlit until it enters an answer again.
    hovered_ = target;
    hoverLit_ = false;
    PlaceButtons();
    InvalidateRect(Handle(), nullptr, FALSE);
    SyncPreview();
}

void TfrAnswersList::CancelDrag() {
    if (dragged_ < 0) return;
    const int from = dragged_;
    dragged_ = -1;
    if (GetCapture() == Handle()) ReleaseCapture();
    Model.EndDrag(from, -1);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    InvalidateRect(Handle(), nullptr, FALSE);
    SyncPreview();
}

LRESULT TfrAnswersList::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SIZE:
        if (LOWORD(lParam) != layoutWidth_) Relayout();
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_LBUTTONDOWN:
        OnLeftButtonDown({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP:
        OnLeftButtonUp({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_COMMAND:
        if (lParam != 0 && HIWORD(wParam) == BN_CLICKED) {
            MediaButtonClick(reinterpret_cast<HWND>(lParam));
            return 0;
        }
        break;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != Handle()) CancelDrag();
        return 0;
    case WM_CANCELMODE:
        CancelDrag();
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE && dragged_ >= 0) {
            CancelDrag();
            return 0;
        }
        if (KeyDown(wParam)) return 0;
        break;
    case WM_SETFOCUS:
        if (focused_ < 0 && Count() > 0) focused_ = 0;
        InvalidateRect(Handle(), nullptr, FALSE);
        NotifyAccessible(EVENT_OBJECT_FOCUS, focused_);
        return 0;
    case WM_KILLFOCUS:
        InvalidateRect(Handle(), nullptr, FALSE);
        return 0;
    case WM_GETOBJECT:
        if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) return AccessibleObject(wParam);
        break;
    case WM_DESTROY:
        if (accessible_ != nullptr) {
            accessible_->Disconnect();
            accessible_->Release();
            accessible_ = nullptr;
        }
        break;
    }
    return TPaintedWindow::HandleMessage(message, wParam, lParam);
}

LRESULT TfrAnswersList::AccessibleObject(WPARAM wParam) {
    if (!EnsureOle()) return 0;
    if (accessible_ == nullptr) accessible_ = new (std::nothrow) TAccessible(this);
    if (accessible_ == nullptr) return 0;
    return LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(accessible_));
}

void TfrAnswersList::NotifyAccessible(DWORD event, int position) const {
    if (Handle() == nullptr) return;
    NotifyWinEvent(event, Handle(), OBJID_CLIENT, position < 0 ? CHILDID_SELF : position + 1);
}

void TfrAnswersList::NotifySelectionChanges(const std::vector<bool>& before, int pressed) const {
    const std::vector<bool> after = Model.SelectedFlags();
    if (Model.Mode != lmSingle && Model.Mode != lmMultiple) return;
    for (size_t i = 0; i < after.size() && i < before.size(); ++i) {
        if (after[i] != before[i]) NotifyAccessible(EVENT_OBJECT_STATECHANGE, static_cast<int>(i));
    }
    if (Model.Mode == lmSingle && pressed >= 0 && pressed < Count()) NotifyAccessible(EVENT_OBJECT_SELECTION, pressed);
}

// ---- The keyboard ----

RECT TfrAnswersList::FocusRect() const {
    RECT rc = {0, 0, 0, 0};
    if (!cues_ || focused_ < 0 || focused_ >= Count() || Handle() == nullptr || GetFocus() != Handle()) return rc;
    rc = PanelRect(focused_);
    // Inside the frame, clear of the hover and selection colours of the frame itself.
    InflateRect(&rc, -Scale(kFocusInset), -Scale(kFocusInset));
    if (rc.right <= rc.left || rc.bottom <= rc.top) rc = {0, 0, 0, 0};
    return rc;
}

void TfrAnswersList::ShowKeyboardCues() {
    if (cues_) return;
    cues_ = true;
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, FALSE);
}

void TfrAnswersList::SetFocused(int position) {
    if (position != focused_ && Handle() != nullptr) {
        const RECT old = FocusRect();
        InvalidateRect(Handle(), &old, FALSE);
    }
    focused_ = position;
    if (Handle() == nullptr) return;
    const RECT now = FocusRect();
    InvalidateRect(Handle(), &now, FALSE);
    if (OnFocusMove && position >= 0) OnFocusMove(position);
}

void TfrAnswersList::FocusAnswer(int position) {
    if (Handle() == nullptr) return;
    const int target = Count() == 0 ? -1 : std::max(0, std::min(position, Count() - 1));
    const bool hadFocus = GetFocus() == Handle();
    SetFocused(target);
    // Taking the focus tells the readers; otherwise they are told of the move here.
    if (hadFocus) {
        NotifyAccessible(EVENT_OBJECT_FOCUS, target);
    } else {
        SetFocus(Handle());
    }
}

void TfrAnswersList::ChooseAnswer(int position) {
    if (Model.Locked || dragged_ >= 0 || position < 0 || position >= Count()) return;
    FocusAnswer(position);
    if (Model.Mode != lmSingle && Model.Mode != lmMultiple) return;
    const std::vector<bool> before = Model.SelectedFlags();
    const TPressResult result = Model.LeftButtonDown(position);
    if (result.Changed) {
        if (position == hovered_) hoverLit_ = false;
        InvalidateRect(Handle(), nullptr, FALSE);
    }
    NotifySelectionChanges(before, position);
    if (result.NotifySelection && OnSelectionChange) OnSelectionChange(result.SelectionValue);
}

void TfrAnswersList::MoveFocusedAnswer(int delta) {
    if (Model.Locked || Model.Mode != lmOrdering || dragged_ >= 0 || focused_ < 0) return;
    const int to = focused_ + delta;
    if (to < 0 || to >= Count()) return;
    Model.MoveAnswer(focused_, to);
    PlaceButtons();
    InvalidateRect(Handle(), nullptr, FALSE);
    NotifyAccessible(EVENT_OBJECT_REORDER, -1);
    FocusAnswer(to);
    // The answers moved under a pointer that did not.
    if (pointerInside_) SetHovered(HitTest(pointer_));
}

bool TfrAnswersList::KeyDown(WPARAM key) {
    if (Model.Locked || dragged_ >= 0 || Count() == 0) return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    int number = -1;
    if (key >= '1' && key <= '9') number = static_cast<int>(key - '1');
    if (key >= VK_NUMPAD1 && key <= VK_NUMPAD9) number = static_cast<int>(key - VK_NUMPAD1);
    if (number >= 0 && !ctrl) {
        if (number >= Count()) return false;
        ShowKeyboardCues();
        ChooseAnswer(number);
        return true;
    }
    if (key == VK_SPACE && !ctrl) {
        ShowKeyboardCues();
        if (focused_ < 0) {
            FocusAnswer(0);
        } else {
            ChooseAnswer(focused_);
        }
        return true;
    }
    if ((key == VK_UP || key == VK_DOWN) && ctrl && Model.Mode == lmOrdering) {
        ShowKeyboardCues();
        MoveFocusedAnswer(key == VK_UP ? -1 : 1);
        return true;
    }
    return false;
}

void TfrAnswersList::LoadAttachment(const TAnswerEntry& entry) {
    const size_t index = static_cast<size_t>(entry.Added);
    if (index >= attachments_.size()) attachments_.resize(index + 1);
    TAttachment& attachment = attachments_[index];
    if (entry.TextOnly) return;
    // A file that cannot be read or decoded leaves an empty frame: the answers still load.
    bool failed = false;
    try {
        switch (entry.AttachKind) {
        case akPicture:
            if (!attachment.Picture) {
                attachment.Picture = std::make_unique<TPicture>();
                // Shown inside an answer, never larger than the screen.
                failed = !attachment.Picture->LoadFromFile(entry.AttachPath, nullptr, GetSystemMetrics(SM_CXSCREEN),
                                                           GetSystemMetrics(SM_CYSCREEN));
            }
            break;
        case akFme:
        case akOle:
            if (!attachment.Object) {
                attachment.Object = std::make_unique<TOleObject>();
                failed = !attachment.Object->LoadFromFile(entry.AttachPath);
            }
            break;
        case akSound:
            CreateButtons(entry);
            break;
        default:
            break;
        }
    } catch (...) {
        if (attachment.Picture) attachment.Picture->Clear();
        if (attachment.Object) attachment.Object->Clear();
        failed = true;
    }
    if (failed && OnAttachmentUnshown) OnAttachmentUnshown(entry.AttachFile);
}

void TfrAnswersList::CreateButtons(const TAnswerEntry& entry) {
    TAttachment& attachment = attachments_[static_cast<size_t>(entry.Added)];
    if (Handle() == nullptr || attachment.Play != nullptr) return;
    // Hidden until the answer is laid out: they show at their place.
    if (buttonFont_ == nullptr) buttonFont_ = CreateGuiFont(Dpi());
    attachment.Play = CreateButton(Handle(), kPlayButtonId, "Играть", true, buttonFont_);
    attachment.Stop = CreateButton(Handle(), kStopButtonId, "Стоп", false, buttonFont_);
}

void TfrAnswersList::DestroyButtons() {
    for (TAttachment& attachment : attachments_) {
        if (attachment.Play != nullptr) DestroyWindow(attachment.Play);
        if (attachment.Stop != nullptr) DestroyWindow(attachment.Stop);
        attachment.Play = attachment.Stop = nullptr;
    }
}

const TfrAnswersList::TAttachment* TfrAnswersList::AttachmentOf(const TAnswerEntry& entry) const {
    const size_t index = static_cast<size_t>(entry.Added);
    return index < attachments_.size() ? &attachments_[index] : nullptr;
}

TPanelLayout TfrAnswersList::LayoutEntry(HDC dc, const TAnswerEntry& entry, int32_t panelWidth) const {
    int32_t pictureWidth = 0, pictureHeight = 0;
    if (entry.AttachKind == akPicture && !entry.TextOnly) {
        const TAttachment* attachment = AttachmentOf(entry);
        if (attachment != nullptr && attachment->Picture && !attachment->Picture->Empty() &&
            attachment->Picture->Width() > 0 && attachment->Picture->Height() > 0) {
            pictureWidth = attachment->Picture->Width();
            pictureHeight = attachment->Picture->Height();
        } else {
            pictureWidth = pictureHeight = Scale(kPlaceholderSize);
        }
    }
    const std::wstring text = MeasuredText(entry.Text);
    return LayoutAnswerPanel(entry, panelWidth, pictureWidth, pictureHeight,
                             [&](int32_t width) { return MeasureLabel(dc, text, width); }, Dpi());
}

void TfrAnswersList::PlaceButtonsOf(int position, const RECT& client) {
    if (Handle() == nullptr || updating_ || position < 0 || position >= Count()) return;
    const TAnswerEntry& entry = Model.Entries()[static_cast<size_t>(position)];
    if (static_cast<size_t>(entry.Added) >= attachments_.size()) return;
    TAttachment& attachment = attachments_[static_cast<size_t>(entry.Added)];
    if (attachment.Play == nullptr) return;
    const TPanelLayout& layout = LayoutOfEntry(entry);
    const RECT panel = PanelRect(position);
    // Moving a window costs a trip to the system: only the buttons in view follow the scrolling,
    // the others wait hidden.
    const bool inView = panel.bottom > client.top && panel.top < client.bottom;
    const POINT at = {panel.left + layout.Play.Left, panel.top + layout.Play.Top};
    if (inView == attachment.Shown && (!inView || (at.x == attachment.ShownAt.x && at.y == attachment.ShownAt.y)))
        return;
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (inView ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    SetWindowPos(attachment.Play, nullptr, at.x, at.y, layout.Play.Width, layout.Play.Height, flags);
    SetWindowPos(attachment.Stop, nullptr, panel.left + layout.Stop.Left, panel.top + layout.Stop.Top,
                 layout.Stop.Width, layout.Stop.Height, flags);
    attachment.Shown = inView;
    attachment.ShownAt = at;
}

void TfrAnswersList::PlaceButtons() {
    if (Handle() == nullptr) return;
    RECT client;
    GetClientRect(Handle(), &client);
    for (int position = 0; position < Count(); ++position) PlaceButtonsOf(position, client);
}

void TfrAnswersList::PaintAttachment(HDC dc, const RECT& panel, const TAnswerEntry& entry,
                                     const TPanelLayout& layout) const {
    if (entry.TextOnly) return;
    const TAttachment* attachment = AttachmentOf(entry);
    if (attachment == nullptr) return;
    if (entry.AttachKind == akPicture) {
        const RECT area = Offset(panel, layout.Image);
        if (attachment->Picture && !attachment->Picture->Empty()) {
            const int saved = SaveDC(dc);
            attachment->Picture->Draw(dc, area);
            RestoreDC(dc, saved);
        } else {
            DrawPlaceholder(dc, area);
        }
    } else if ((entry.AttachKind == akFme || entry.AttachKind == akOle) && layout.ObjectVisible) {
        const RECT area = Offset(panel, layout.Object);
        if (attachment->Object && !attachment->Object->Empty()) {
            const int saved = SaveDC(dc);
            attachment->Object->Draw(dc, area);
            RestoreDC(dc, saved);
        } else {
            DrawPlaceholder(dc, area);
        }
    }
}

RECT TfrAnswersList::ImageRect(int position) const {
    if (position < 0 || position >= Count()) return {0, 0, 0, 0};
    const TAnswerEntry& entry = Model.Entries()[static_cast<size_t>(position)];
    if (entry.TextOnly || entry.AttachKind != akPicture) return {0, 0, 0, 0};
    return Offset(PanelRect(position), LayoutOfEntry(entry).Image);
}

RECT TfrAnswersList::ObjectRect(int position) const {
    if (position < 0 || position >= Count()) return {0, 0, 0, 0};
    const TAnswerEntry& entry = Model.Entries()[static_cast<size_t>(position)];
    const TPanelLayout& layout = LayoutOfEntry(entry);
    if (entry.TextOnly || (entry.AttachKind != akFme && entry.AttachKind != akOle) || !layout.ObjectVisible)
        return {0, 0, 0, 0};
    return Offset(PanelRect(position), layout.Object);
}

bool TfrAnswersList::AttachmentLoaded(int position) const {
    if (position < 0 || position >= Count()) return false;
    const TAttachment* attachment = AttachmentOf(Model.Entries()[static_cast<size_t>(position)]);
    if (attachment == nullptr) return false;
    return (attachment->Picture && !attachment->Picture->Empty()) ||
           (attachment->Object && !attachment->Object->Empty());
}

HWND TfrAnswersList::PlayButton(int position) const {
    if (position < 0 || position >= Count()) return nullptr;
    const TAttachment* attachment = AttachmentOf(Model.Entries()[static_cast<size_t>(position)]);
    return attachment != nullptr ? attachment->Play : nullptr;
}

HWND TfrAnswersList::StopButton(int position) const {
    if (position < 0 || position >= Count()) return nullptr;
    const TAttachment* attachment = AttachmentOf(Model.Entries()[static_cast<size_t>(position)]);
    return attachment != nullptr ? attachment->Stop : nullptr;
}

void TfrAnswersList::MediaButtonClick(HWND button) {
    // The buttons work in a locked list too: the right-answer window plays its sounds.
    if (Host == nullptr) return;
    for (const TAnswerEntry& entry : Model.Entries()) {
        const TAttachment* attachment = AttachmentOf(entry);
        if (attachment == nullptr || attachment->Play == nullptr) continue;
        if (button == attachment->Play) {
            // Copies: the host lets messages run, and the answers may be cleared meanwhile.
            const TPath file = entry.AttachPath;
            HWND play = attachment->Play, stop = attachment->Stop;
            Host->PlayMedia(file, play, stop);
            return;
        }
        if (button == attachment->Stop) {
            Host->StopMedia();
            return;
        }
    }
}

int TfrAnswersList::PositionOfAdded(int32_t added) const {
    if (added < 0) return -1;
    const std::vector<TAnswerEntry>& entries = Model.Entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].Added == added) return static_cast<int>(i);
    return -1;
}

int TfrAnswersList::PreviewPosition() const { return preview_.Active ? PositionOfAdded(preview_.Added) : -1; }

int32_t TfrAnswersList::WantedPreview() const {
    if (Host == nullptr || Model.Locked || dragged_ >= 0 || hovered_ < 0 || hovered_ >= Count()) return -1;
    const TAnswerEntry& entry = Model.Entries()[static_cast<size_t>(hovered_)];
    return entry.ShowOnHover ? entry.Added : -1;
}

bool TfrAnswersList::PointerStrictlyInside(int position) const {
    POINT at;
    if (position < 0 || Handle() == nullptr || !GetCursorPos(&at)) return false;
    ScreenToClient(Handle(), &at);
    const RECT panel = PanelRect(position);
    return at.x > panel.left && at.x < panel.right && at.y > panel.top && at.y < panel.bottom;
}

void TfrAnswersList::SyncPreview() {
    if (inHost_) return;
    inHost_ = true;
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{inHost_};
    for (;;) {
        const int32_t wanted = WantedPreview();
        if (preview_.Active && (wanted < 0 || preview_.Added != wanted)) {
            const TPreview ending = std::exchange(preview_, TPreview());
            EndPreview(ending);
            continue;
        }
        if (preview_.Active || wanted < 0) break;
        StartPreview(Model.Entries()[static_cast<size_t>(hovered_)]);
        // The popup slid in while messages ran: unless they already moved the hover elsewhere,
        // a pointer that is no longer over the answer leaves it now.
        const int position = PositionOfAdded(wanted);
        if (preview_.Active && preview_.Added == wanted && position >= 0 && position == hovered_ &&
            !PointerStrictlyInside(position)) {
            SetHovered(-1);
        }
    }
}

void TfrAnswersList::StartPreview(const TAnswerEntry& entry) {
    preview_.Active = true;
    preview_.Added = entry.Added;
    preview_.Kind = entry.AttachKind;
    // Copies: the entry may be gone by the time the host returns.
    const TPath file = entry.AttachPath;
    const int32_t width = entry.Attach.Width, height = entry.Attach.Height;
    switch (entry.AttachKind) {
    case akPicture:
    case akVideo:
        Host->ShowAnswerPopup(entry.AttachKind, file, -1, -1);
        break;
    case akSound:
        Host->PlayMedia(file, nullptr, nullptr);
        break;
    case akFme:
    case akOle:
        Host->ShowAnswerPopup(entry.AttachKind, file, width, height);
        break;
    default:
        break;
    }
}

void TfrAnswersList::EndPreview(const TPreview& preview) {
    if (Host == nullptr) return;
    switch (preview.Kind) {
    case akPicture:
    case akFme:
    case akOle:
        Host->HideAnswerPopup();
        break;
    case akSound:
        Host->StopMedia();
        break;
    case akVideo:
        Host->StopMedia();
        Host->HideAnswerPopup();
        break;
    default:
        break;
    }
}
