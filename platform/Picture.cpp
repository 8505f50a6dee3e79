#include "platform/Picture.h"

struct TPicture::TImpl {};

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

bool TPicture::LoadFromFile(const TPath&, std::string* error) {
    if (error) *error = "pictures are not supported yet";
    return false;
}
void TPicture::Clear() { impl_.reset(); }
bool TPicture::Empty() const { return !impl_; }
int TPicture::Width() const { return 0; }
int TPicture::Height() const { return 0; }
void TPicture::Draw(HDC, const RECT&) const {}

bool TImage::Create(HWND parent, int x, int y, int width, int height) {
    RegisterWindowClass(L"TImage", 0, nullptr);
    return CreateHandle(0, L"TImage", L"", WS_CHILD | WS_VISIBLE, x, y, width, height, parent);
}
void TImage::SetStretch(bool stretch) {
    Stretch = stretch;
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}
LRESULT TImage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return TWindow::HandleMessage(message, wParam, lParam);
}
