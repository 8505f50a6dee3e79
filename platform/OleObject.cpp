#include "platform/OleObject.h"

struct TOleObject::TImpl {};

TOleObject::TOleObject() = default;
TOleObject::~TOleObject() = default;

bool TOleObject::LoadFromFile(const TPath&, std::string* error) {
    if (error) *error = "embedded objects are not supported yet";
    return false;
}
void TOleObject::Clear() { impl_.reset(); }
bool TOleObject::Empty() const { return !impl_; }
void TOleObject::Draw(HDC, const RECT&) const {}

bool TOleContainer::Create(HWND parent, int x, int y, int width, int height) {
    RegisterWindowClass(L"TOleContainer", 0, nullptr);
    return CreateHandle(0, L"TOleContainer", L"", WS_CHILD | WS_VISIBLE | WS_DISABLED, x, y, width, height, parent);
}
bool TOleContainer::LoadFromFile(const TPath& file, std::string* error) {
    bool ok = Object.LoadFromFile(file, error);
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
    return ok;
}
LRESULT TOleContainer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return TWindow::HandleMessage(message, wParam, lParam);
}
