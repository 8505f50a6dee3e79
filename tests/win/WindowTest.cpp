// The base window: who ends a window object, a second Create, and the modal loop when a key
// handler fails.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/ModalWindow.h"
#include "platform/Dpi.h"
#include "platform/Win32Util.h"
#include "platform/Window.h"

namespace {

// Notes the messages it sees of the end of its window, and its own end.
class TRecordingWindow : public TWindow {
protected:
    ~TRecordingWindow() override { seen->push_back(L"object gone"); }

public:
    explicit TRecordingWindow(std::vector<const wchar_t*>& log) : seen(&log) {}
    bool Create() {
        RegisterWindowClass(L"TRecordingWindow", 0, nullptr);
        return CreateHandle(0, L"TRecordingWindow", L"", WS_POPUP, 0, 0, 10, 10, nullptr);
    }
    bool CreateAgain() { return Create(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_DESTROY) seen->push_back(L"WM_DESTROY");
        if (message == WM_NCDESTROY) seen->push_back(L"WM_NCDESTROY");
        return TWindow::HandleMessage(message, wParam, lParam);
    }

private:
    std::vector<const wchar_t*>* seen;
};

TEST(Window, TheObjectSeesItsWindowEndBeforeItGoesItself) {
    std::vector<const wchar_t*> log;
    HWND hwnd = nullptr;
    {
        TOwned<TRecordingWindow> window(log);
        ASSERT_TRUE(window.Create());
        hwnd = window.Handle();
    }
    EXPECT_EQ(log, (std::vector<const wchar_t*>{L"WM_DESTROY", L"WM_NCDESTROY", L"object gone"}));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Window, ASecondCreateIsRefusedAndKeepsTheFirstWindow) {
    std::vector<const wchar_t*> log;
    TOwned<TRecordingWindow> window(log);
    ASSERT_TRUE(window.Create());
    const HWND first = window.Handle();
    EXPECT_FALSE(window.CreateAgain());
    EXPECT_EQ(window.Handle(), first);
    EXPECT_EQ(reinterpret_cast<TWindow*>(GetWindowLongPtrW(first, GWLP_USERDATA)), &window);
    // Once the window is gone the object can have a new one.
    window.Destroy();
    EXPECT_EQ(window.Handle(), nullptr);
    EXPECT_TRUE(window.CreateAgain());
}

class TThrowingDialog : public TModalWindow {
protected:
    ~TThrowingDialog() override = default;
    void OnEnter() override { throw std::runtime_error("Enter failed"); }

public:
    bool Create(HWND owner) {
        RegisterWindowClass(L"TThrowingDialog", 0, nullptr);
        return CreateHandle(0, L"TThrowingDialog", L"", WS_POPUP | WS_CAPTION, 0, 0, 100, 100, owner);
    }
};

// A handler of Enter or Escape runs in the modal loop, outside any window procedure: when it
// fails, the error goes on to the caller, and the owner is enabled again and the window hidden.
TEST(ModalWindow, AFailingKeyHandlerLeavesTheOwnerEnabled) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    TOwned<TThrowingDialog> dialog;
    ASSERT_TRUE(dialog.Create(owner));
    PostMessageW(dialog.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_THROW(dialog.ShowModal(owner), std::runtime_error);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindowVisible(dialog.Handle()));
    DestroyWindow(owner);
}

}  // namespace

namespace {

// Lays out one child by the design's pixels at its DPI, again whenever the DPI changes.
class TScaledWindow : public TWindow {
protected:
    ~TScaledWindow() override = default;

public:
    bool Create() {
        RegisterWindowClass(L"TScaledWindow", 0, nullptr);
        if (!CreateHandle(0, L"TScaledWindow", L"", WS_POPUP, 0, 0, Scale(200), Scale(100), nullptr)) return false;
        child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, Handle(), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        Layout();
        return true;
    }
    void Layout() { MoveWindow(child, Scale(10), Scale(10), Scale(100), Scale(20), FALSE); }
    HWND child = nullptr;
    int oldDpi = 0;
    int changes = 0;

protected:
    void DpiChanged(int old, const RECT* suggested) override {
        TWindow::DpiChanged(old, suggested);
        oldDpi = old;
        ++changes;
        Layout();
    }
};

}  // namespace

TEST(Window, AWindowMovedToAScreenOfAnotherDpiTakesTheSuggestedPlaceAndLaysItselfOutAgain) {
    TOwned<TScaledWindow> window;
    ASSERT_TRUE(window.Create());
    const int first = window.Dpi();
    EXPECT_EQ(first, DpiForWindow(window.Handle()));
    RECT suggested = {30, 40, 30 + 400, 40 + 200};
    SendMessageW(window.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(window.Dpi(), 192);
    EXPECT_EQ(window.oldDpi, first);
    EXPECT_EQ(window.changes, 1);
    RECT rc;
    GetWindowRect(window.Handle(), &rc);
    EXPECT_EQ(rc.left, 30);
    EXPECT_EQ(rc.top, 40);
    EXPECT_EQ(rc.right - rc.left, 400);
    EXPECT_EQ(rc.bottom - rc.top, 200);
    const RECT child = RectInParent(window.child);
    EXPECT_EQ(child.left, 20);
    EXPECT_EQ(child.right - child.left, 200);
    EXPECT_EQ(child.bottom - child.top, 40);
}
