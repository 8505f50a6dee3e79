#include "answers/AnswersFrameUnit.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/Win32Util.h"

namespace {

constexpr wchar_t kListClass[] = L"TfrAnswersList";
constexpr int kPanelMargin = 10;
constexpr UINT kTextFlags = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;

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

TPanelLayout LayoutOf(HDC dc, const TAnswerEntry& entry, int32_t panelWidth) {
    const std::wstring text = MeasuredText(entry.Text);
    // Inline pictures are not loaded here yet: their area is laid out as empty.
    return LayoutAnswerPanel(entry, panelWidth, 0, 0,
                             [&](int32_t width) { return MeasureLabel(dc, text, width); });
}

}  // namespace

TfrAnswersList::TfrAnswersList() = default;

TfrAnswersList::~TfrAnswersList() {
    Destroy();
    if (font_ != nullptr) DeleteObject(font_);
}

bool TfrAnswersList::Create(HWND parent, int x, int y, int width, int height) {
    // No CS_DBLCLKS: quick clicks in multiple choice are separate presses that toggle each time.
    RegisterWindowClass(kListClass, 0, nullptr);
    if (!CreateHandle(0, kListClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width, height, parent))
        return false;
    UpdateFont();
    Relayout();
    return true;
}

void TfrAnswersList::UpdateFont() {
    if (font_ != nullptr && fontSize_ == FontSize) return;
    int height = 0;
    if (FontSize != 0) {
        HDC dc = GetDC(nullptr);
        height = -MulDiv(FontSize, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(nullptr, dc);
    }
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Times New Roman");
    if (font_ != nullptr) DeleteObject(font_);
    font_ = font;
    fontSize_ = FontSize;
}

void TfrAnswersList::AddAnswer(const std::string& text, TAttachKind kind, const std::string& file,
                               const TAttachOptions& options, int32_t weight) {
    Model.AddAnswer(text, kind, file, options, weight);
    if (Handle() == nullptr || updating_) return;
    // Only the new panel needs measuring, unless the font changed since the others were laid out.
    if (fontSize_ != FontSize || font_ == nullptr) {
        Relayout();
        return;
    }
    RECT client;
    GetClientRect(Handle(), &client);
    std::vector<TAnswerEntry>& entries = Model.Entries();
    {
        TMeasureDc dc(Handle(), font_);
        const TPanelLayout layout = LayoutOf(dc.Get(), entries.back(), client.right - 2 * kPanelMargin);
        entries.back().Height = layout.Height;
        layouts_.resize(static_cast<size_t>(entries.back().Added) + 1);
        layouts_.back() = layout;
    }
    contentHeight_ = StackAnswerPanels(entries);
    const RECT added = PanelRect(Count() - 1);
    InvalidateRect(Handle(), &added, FALSE);
}

void TfrAnswersList::Clear() {
    if (dragged_ >= 0) {
        dragged_ = -1;
        if (GetCapture() == Handle()) ReleaseCapture();
    }
    Model.Clear();
    layouts_.clear();
    hovered_ = -1;
    hoverLit_ = false;
    contentHeight_ = 0;
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, FALSE);
}

void TfrAnswersList::Relayout() {
    std::vector<TAnswerEntry>& entries = Model.Entries();
    if (Handle() != nullptr) {
        UpdateFont();
        RECT client;
        GetClientRect(Handle(), &client);
        layoutWidth_ = client.right;
        TMeasureDc dc(Handle(), font_);
        const int32_t panelWidth = client.right - 2 * kPanelMargin;
        layouts_.assign(entries.size(), TPanelLayout());
        for (TAnswerEntry& entry : entries) {
            const TPanelLayout layout = LayoutOf(dc.Get(), entry, panelWidth);
            entry.Height = layout.Height;
            if (static_cast<size_t>(entry.Added) >= layouts_.size()) layouts_.resize(static_cast<size_t>(entry.Added) + 1);
            layouts_[static_cast<size_t>(entry.Added)] = layout;
        }
    }
    contentHeight_ = StackAnswerPanels(entries);
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, FALSE);
}

void TfrAnswersList::EndUpdate() {
    updating_ = false;
    Relayout();
}

const TPanelLayout& TfrAnswersList::LayoutOfEntry(const TAnswerEntry& entry) const {
    static const TPanelLayout kNone;
    const size_t index = static_cast<size_t>(entry.Added);
    return index < layouts_.size() ? layouts_[index] : kNone;
}

void TfrAnswersList::SetContentTop(int top) {
    if (top == contentTop_) return;
    contentTop_ = top;
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, FALSE);
}

int TfrAnswersList::HitTest(POINT client) const {
    if (Handle() == nullptr) return -1;
    RECT rc;
    GetClientRect(Handle(), &rc);
    if (client.x < kPanelMargin || client.x >= rc.right - kPanelMargin) return -1;
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
    rc.left = kPanelMargin;
    rc.right = std::max<LONG>(kPanelMargin, client.right - kPanelMargin);
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
        if (!entry.LabelVisible || entry.Text.empty()) continue;
        const TPanelLayout& layout = LayoutOfEntry(entry);
        RECT label = {panel.left + layout.Label.Left, panel.top + layout.Label.Top,
                      panel.left + layout.Label.Left + layout.Label.Width,
                      panel.top + layout.Label.Top + layout.Label.Height};
        const std::wstring text = Wide(entry.Text);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label, kTextFlags);
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
}

void TfrAnswersList::OnMouseMove(POINT client) {
    if (!tracking_) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = Handle();
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    if (dragged_ >= 0) {
        SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
        return;
    }
    SetHovered(Model.Locked ? -1 : HitTest(client));
}

void TfrAnswersList::OnMouseLeave() {
    tracking_ = false;
    // Wine reports a leave while the pointer is captured: a drag goes on regardless.
    if (dragged_ >= 0) return;
    SetHovered(-1);
}

void TfrAnswersList::OnLeftButtonDown(POINT client) {
    if (Model.Locked || dragged_ >= 0) return;
    const int position = HitTest(client);
    if (position < 0) return;
    const TPressResult result = Model.LeftButtonDown(position);
    if (result.Changed) {
        if (position == hovered_) hoverLit_ = false;
        // Single choice may clear any other answer: repaint them all, a press is rare.
        InvalidateRect(Handle(), nullptr, FALSE);
    }
    if (result.StartDrag) {
        dragged_ = position;
        SetCapture(Handle());
        SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
    }
    if (result.NotifySelection && OnSelectionChange) OnSelectionChange(result.SelectionValue);
}

void TfrAnswersList::OnLeftButtonUp(POINT client) {
    if (dragged_ < 0) return;
    const int from = dragged_;
    // Cleared first: releasing the capture sends WM_CAPTURECHANGED, which must not cancel this drop.
    dragged_ = -1;
    if (GetCapture() == Handle()) ReleaseCapture();
    const int target = HitTest(client);
    Model.EndDrag(from, target);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    // The pointer rests over the drop target, unlit until it enters an answer again.
    hovered_ = target;
    hoverLit_ = false;
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TfrAnswersList::CancelDrag() {
    if (dragged_ < 0) return;
    const int from = dragged_;
    dragged_ = -1;
    if (GetCapture() == Handle()) ReleaseCapture();
    Model.EndDrag(from, -1);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    InvalidateRect(Handle(), nullptr, FALSE);
}

LRESULT TfrAnswersList::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        const RECT& area = ps.rcPaint;
        const int width = area.right - area.left, height = area.bottom - area.top;
        if (width > 0 && height > 0) {
            HDC memory = CreateCompatibleDC(dc);
            HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
            HGDIOBJ old = SelectObject(memory, bitmap);
            SetViewportOrgEx(memory, -area.left, -area.top, nullptr);
            Paint(memory);
            SetViewportOrgEx(memory, 0, 0, nullptr);
            BitBlt(dc, area.left, area.top, width, height, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
        }
        EndPaint(Handle(), &ps);
        return 0;
    }
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
        break;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}
