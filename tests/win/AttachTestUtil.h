#pragma once
// Helpers for the attachment window tests: pictures of a known size, child window geometry,
// and a stand-in for the main window's media player that notes what it was asked.

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Win32Util.h"
#include "tests/win/WinTestUtil.h"
#include "tools/OleBuilder.h"

namespace attachtest {

inline void PutLe16(std::string& b, uint32_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
inline void PutLe32(std::string& b, uint32_t v) {
    PutLe16(b, v & 0xFFFF);
    PutLe16(b, v >> 16);
}

// An uncompressed 24-bit BMP, grey, of width x height pixels.
inline std::string MakeBmp(int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    std::string b = "BM";
    PutLe32(b, static_cast<uint32_t>(54 + stride * height));
    PutLe32(b, 0);
    PutLe32(b, 54);
    PutLe32(b, 40);
    PutLe32(b, static_cast<uint32_t>(width));
    PutLe32(b, static_cast<uint32_t>(height));
    PutLe16(b, 1);
    PutLe16(b, 24);
    PutLe32(b, 0);
    PutLe32(b, static_cast<uint32_t>(stride * height));
    PutLe32(b, 2835);
    PutLe32(b, 2835);
    PutLe32(b, 0);
    PutLe32(b, 0);
    b.append(static_cast<size_t>(stride) * height, '\x80');
    return b;
}

inline TPath WriteBmp(const TScratchFolder& folder, const std::wstring& name, int width, int height) {
    const TPath path = folder / name;
    if (!WriteWholeFile(path, MakeBmp(width, height))) ADD_FAILURE() << "cannot write the picture";
    return path;
}

// An embedded object (container stream) showing a grey picture of width x height pixels.
inline TPath WriteObject(const TScratchFolder& folder, const std::wstring& name, int width, int height) {
    const TPath picture = WriteBmp(folder, name + L".bmp", width, height);
    std::string bytes, error;
    if (!MakePictureObjectFile(picture, bytes, error)) ADD_FAILURE() << error;
    const TPath path = folder / name;
    if (!WriteWholeFile(path, bytes)) ADD_FAILURE() << "cannot write the object";
    return path;
}

// The colour a window paints at a client point, read from its WM_PRINTCLIENT into memory.
inline COLORREF PrintedPixel(HWND window, int x, int y) {
    RECT rc;
    GetClientRect(window, &rc);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right > 0 ? rc.right : 1, rc.bottom > 0 ? rc.bottom : 1);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    const COLORREF colour = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return colour;
}

// A window's rectangle in its parent's client area.
inline SIZE ClientSizeOf(HWND window) {
    RECT rc = {};
    GetClientRect(window, &rc);
    return {rc.right, rc.bottom};
}

inline int WidthOf(const RECT& rc) { return rc.right - rc.left; }
inline int HeightOf(const RECT& rc) { return rc.bottom - rc.top; }

// The direct children of `parent`.
inline std::vector<HWND> ChildrenOf(HWND parent, const wchar_t* className = nullptr) {
    std::vector<HWND> children;
    for (HWND child = FindWindowExW(parent, nullptr, className, nullptr); child != nullptr;
         child = FindWindowExW(parent, child, className, nullptr)) {
        children.push_back(child);
    }
    return children;
}

struct TPlayCall {
    TPath File;
    HWND Play, Stop, Display;
    uint8_t ScaleMode;
};

// Stands in for the main window's media player.
struct TMediaRecorder {
    std::vector<TPlayCall> Plays;
    int Stops = 0;
    std::pair<int32_t, int32_t> NaturalSize = {0, 0};

    std::pair<int32_t, int32_t> Play(const TPath& file, HWND play, HWND stop, HWND display, uint8_t mode) {
        Plays.push_back({file, play, stop, display, mode});
        return NaturalSize;
    }
};

// A plain top-level window to hold the windows under test in place of the main window.
class TStage {
public:
    TStage(int width = 1024, int height = 768) {
        hwnd_ = CreateWindowExW(0, L"STATIC", L"stage", WS_POPUP | WS_CLIPCHILDREN, 0, 0, width, height, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~TStage() { DestroyWindow(hwnd_); }
    TStage(const TStage&) = delete;
    TStage& operator=(const TStage&) = delete;
    HWND Handle() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

}  // namespace attachtest
