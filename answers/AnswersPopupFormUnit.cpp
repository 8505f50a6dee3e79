#include "answers/AnswersPopupFormUnit.h"

#include <algorithm>
#include <utility>

#include "model/TestData.h"
#include "windows/AttachLayout.h"

const wchar_t kAnswersPopupCaption[] = L"Вложение ответа";

namespace {

constexpr wchar_t kAnswersPopupClass[] = L"TfAnswersPopup";
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
    return CreateHandle(0, kAnswersPopupClass, kAnswersPopupCaption, style, 0, 0, kInitialWidth, kInitialHeight,
                        mainWindow);
}

void TfAnswersPopup::SetSizeFor(int mainWidth, int mainHeight) {
    const TAttachSize size = PopupSize(mainWidth, mainHeight);
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
    RECT client;
    GetClientRect(Handle(), &client);
    panel_ = std::make_unique<TOwned<TPanel>>();
    panel_->Create(Handle(), kPanelMargin, kPanelMargin, std::max(0, static_cast<int>(client.right) - 2 * kPanelMargin),
                   std::max(0, static_cast<int>(client.bottom) - 2 * kPanelMargin), L"");
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
        SetWindowPos(panel_->Handle(), nullptr, 0, 0, std::max(0, LOWORD(lParam) - 2 * kPanelMargin),
                     std::max(0, HIWORD(lParam) - 2 * kPanelMargin), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}
