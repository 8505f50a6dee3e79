#pragma once
// Helpers for the Windows tests: waiting for windows, reading message boxes, scratch folders.

#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "model/FileUtils.h"
#include "platform/Win32Util.h"

// A plain shown top-level window of the class `className` (registered on first use), for the
// controls under test to live in.
inline HWND CreateTestParent(const wchar_t* className, const wchar_t* title, int width, int height) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
    return CreateWindowExW(0, className, title, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width, height, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Polls `done` (letting this thread's messages run) until it holds or `ms` pass.
inline bool WaitUntil(const std::function<bool()>& done, DWORD ms = 10000) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        ProcessMessages();
        Sleep(10);
    }
    return true;
}

// The first visible top-level window of the given class (and caption, when given) that
// belongs to process `pid` (any process when pid is 0).
inline HWND FindTopWindow(DWORD pid, const std::wstring& className, const wchar_t* caption = nullptr) {
    struct Search {
        DWORD pid;
        const std::wstring* className;
        const wchar_t* caption;
        HWND found;
    } search{pid, &className, caption, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t cls[256] = {}, text[512] = {};
            GetClassNameW(hwnd, cls, 256);
            // Never sends a message: the window's thread may be busy waiting for us.
            InternalGetWindowText(hwnd, text, 512);
            if ((s->pid == 0 || owner == s->pid) && *s->className == cls && IsWindowVisible(hwnd) &&
                (s->caption == nullptr || std::wstring(s->caption) == text)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline std::wstring WindowText(HWND hwnd) {
    wchar_t text[4096] = {};
    GetWindowTextW(hwnd, text, 4096);
    return text;
}

// The message of a standard message box.
inline std::wstring MessageBoxText(HWND box) {
    wchar_t text[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 4096);
    return text;
}

// A fresh folder under the system temporary folder, removed afterwards.
class TScratchFolder {
public:
    explicit TScratchFolder(const std::wstring& suffix = L"") {
        static int counter = 0;
        for (;;) {
            path_ = GetTempFolder() / (L"tpwin" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                       std::to_wstring(++counter) + suffix);
            if (CreateFolder(path_)) break;
            if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a scratch folder");
        }
    }
    ~TScratchFolder() {
        ClearFolder(path_);
        RemoveEmptyFolder(path_);
    }
    const TPath& Path() const { return path_; }
    TPath operator/(const std::wstring& name) const { return path_ / name; }

private:
    TPath path_;
};

inline bool WriteWholeFile(const TPath& path, const std::string& bytes) {
    TBinaryFile f;
    return f.Create(path) && f.Write(bytes.data(), bytes.size());
}

inline std::string ReadWholeFile(const TPath& path) {
    TBinaryFile f;
    uint64_t size = 0;
    if (!f.OpenRead(path) || !f.Size(size)) return "<missing>";
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0 && !f.ReadExact(&bytes[0], bytes.size())) return "<unreadable>";
    return bytes;
}
