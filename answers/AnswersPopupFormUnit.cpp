#include "answers/AnswersPopupFormUnit.h"

#include <algorithm>
#include <utility>

#include "answers/AnswerListModel.h"
#include "model/TestData.h"
#include "windows/AttachLayout.h"

const wchar_t kAnswersPopupCaption[] = L"Вложение ответа";

namespace {

constexpr wchar_t kAnswersPopupClass[] = L"TfAnswersPopup";
// The content panel's distance from every side, in design pixels.
constexpr int kPanelMargin = 10;

}  // namespace

TfAnswersPopup::TfAnswersPopup(TPlayMedia playMedia) : playMedia_(std::move(playMedia)) {}

TfAnswersPopup::~TfAnswersPopup() {
    FreeContent();
}

bool TfAnswersPopup::Create(HWND mainWindow) {
    RegisterWindowClass(kAnswersPopupClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    // A caption without the system menu has no buttons either.
    const DWORD style = WS_CHILD | WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    PrepareDpi(mainWindow);
    return CreateHandle(0, kAnswersPopupClass, kAnswersPopupCaption, style, 0, 0, Scale(kInitialWidth),
                        Scale(kInitialHeight), mainWindow);
}

void TfAnswersPopup::SetSizeFor(int mainWidth, int mainHeight) {
    const TLayoutSize size = AnswerPopupSize(mainWidth, mainHeight, Dpi());
    SetWindowPos(Handle(), nullptr, 0, 0, std::max(0, size.Width), std::max(0, size.Height),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfAnswersPopup::FreeContent() {
    image_.reset();
    object_.reset();
    panel_.reset();
}

bool TfAnswersPopup::ShowAttachment(uint8_t kind, const TPath& file, int32_t width, int32_t height) {
    bool shown = true;
    FreeContent();
    shown_ = {kind, file, width, height};
    RECT client;
    GetClientRect(Handle(), &client);
    panel_ = std::make_unique<TOwned<TPanel>>();
    const int margin = Scale(kPanelMargin);
    panel_->Create(Handle(), margin, margin, std::max(0, static_cast<int>(client.right) - 2 * margin),
                   std::max(0, static_cast<int>(client.bottom) - 2 * margin), L"");
    panel_->SetBevel(TPanel::TBevel::Lowered);
    RECT inner;
    GetClientRect(panel_->Handle(), &inner);
    const int32_t panelWidth = inner.right, panelHeight = inner.bottom;

    switch (kind) {
    case akPicture: {
        image_ = std::make_unique<TOwned<TImage>>();
        image_->Create(panel_->Handle(), 0, 0, 0, 0);
        // A picture that cannot be decoded stays empty: a placeholder of no size. The popup is
        // never larger than the screen.
        shown = image_->LoadFromFile(file, nullptr, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        const SIZE natural = image_->Picture.SizeForDpi(image_->Dpi());
        const TPopupPicture place = PlacePopupPicture(panelWidth, panelHeight, natural.cx, natural.cy);
        image_->SetStretch(place.Stretch);
        SetWindowPos(image_->Handle(), nullptr, place.Image.Left, place.Image.Top, place.Image.Width,
                     place.Image.Height, SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    case akVideo:
        if (playMedia_) playMedia_(file, nullptr, nullptr, panel_->Handle(), 2);
        break;
    case akFme:
    case akOle: {
        object_ = std::make_unique<TOwned<TOleContainer>>();
        object_->Create(panel_->Handle(), 0, 0, 0, 0);
        shown = object_->LoadFromFile(file);
        const TAttachRect place = PlacePopupObject(panelWidth, panelHeight, width, height);
        SetWindowPos(object_->Handle(), nullptr, place.Left, place.Top, std::max(0, place.Width),
                     std::max(0, place.Height), SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    default:
        break;
    }
    return shown;
}

LRESULT TfAnswersPopup::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE && panel_ && panel_->Handle() != nullptr) {
        // The panel keeps its margins on all four sides; what it holds keeps its place.
        const int margin = Scale(kPanelMargin);
        SetWindowPos(panel_->Handle(), nullptr, 0, 0, std::max(0, LOWORD(lParam) - 2 * margin),
                     std::max(0, HIWORD(lParam) - 2 * margin), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}

void TfAnswersPopup::DpiChanged(int oldDpi, const RECT* suggested) {
    TWindow::DpiChanged(oldDpi, suggested);
    // Only top-level windows are moved for a new DPI: the popup keeps its place and size in the
    // main window's proportions until the next answer sizes it.
    if (suggested == nullptr && oldDpi > 0) {
        RECT rc;
        GetWindowRect(Handle(), &rc);
        MapWindowPoints(nullptr, GetParent(Handle()), reinterpret_cast<POINT*>(&rc), 2);
        SetWindowPos(Handle(), nullptr, MulDiv(rc.left, Dpi(), oldDpi), MulDiv(rc.top, Dpi(), oldDpi),
                     MulDiv(rc.right - rc.left, Dpi(), oldDpi), MulDiv(rc.bottom - rc.top, Dpi(), oldDpi),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!panel_ || panel_->Handle() == nullptr) return;
    // A picture or object is placed afresh for the new margins and sizes. A clip keeps playing:
    // only its panel moves, and the main window fits the clip into it again.
    if (shown_.Kind == akPicture || shown_.Kind == akFme || shown_.Kind == akOle) {
        const TShown again = shown_;
        ShowAttachment(again.Kind, again.File, again.Width, again.Height);
        return;
    }
    RECT client;
    GetClientRect(Handle(), &client);
    const int margin = Scale(kPanelMargin);
    SetWindowPos(panel_->Handle(), nullptr, margin, margin, std::max(0, static_cast<int>(client.right) - 2 * margin),
                 std::max(0, static_cast<int>(client.bottom) - 2 * margin), SWP_NOZORDER | SWP_NOACTIVATE);
}
