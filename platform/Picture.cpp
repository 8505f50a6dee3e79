#include "platform/Picture.h"

#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "model/JpegImage.h"

namespace {

bool ReadFileBytes(const TPath& path, std::string& bytes, std::string& error) {
    TBinaryFile file;
    uint64_t size = 0;
    if (!file.OpenRead(path) || !file.Size(size)) {
        error = "cannot open the file";
        return false;
    }
    if (size > TPicture::kMaxFileSize) {
        error = "the file is too large";
        return false;
    }
    bytes.assign(static_cast<size_t>(size), '\0');
    if (size > 0 && !file.ReadExact(&bytes[0], bytes.size())) {
        error = "cannot read the file";
        return false;
    }
    return true;
}

std::wstring LowerExtension(const TPath& file) {
    std::wstring ext = file.extension().wstring();
    for (wchar_t& c : ext) c = static_cast<wchar_t>(std::towlower(c));
    return ext;
}

uint16_t Le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t Le32(const std::string& b, size_t at) { return Le16(b, at) | static_cast<uint32_t>(Le16(b, at + 2)) << 16; }

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kMetaHeaderSize = 18;
constexpr uint16_t kMetaSetWindowExt = 0x020C;

// A plain metafile's size is what its own SetWindowExt record says, the first one that
// names a real area.
SIZE PlainMetafileSize(const std::string& bytes) {
    size_t at = kMetaHeaderSize;
    while (at + 6 <= bytes.size()) {
        const uint32_t words = Le32(bytes, at);
        const uint16_t function = Le16(bytes, at + 4);
        if (words < 3 || function == 0 || words > (bytes.size() - at) / 2) break;
        if (function == kMetaSetWindowExt && words >= 5) {
            const int cy = std::abs(static_cast<int16_t>(Le16(bytes, at + 6)));
            const int cx = std::abs(static_cast<int16_t>(Le16(bytes, at + 8)));
            if (cx > 0 && cy > 0) return {cx, cy};
        }
        at += size_t{words} * 2;
    }
    return {TPicture::kDefaultMetafileSize, TPicture::kDefaultMetafileSize};
}

// BMP headers are checked before the platform sees them: a few bytes claiming a picture of
// a billion pixels must not turn into an allocation of that size.
bool CheckBitmapHeader(const std::string& bytes, std::string& error) {
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') {
        error = "not a BMP file";
        return false;
    }
    const uint32_t headerSize = Le32(bytes, 14);
    int64_t width = 0, height = 0, bits = 0, compression = 0;
    if (headerSize == 12) {
        width = Le16(bytes, 18);
        height = Le16(bytes, 20);
        bits = Le16(bytes, 24);
    } else if (headerSize >= 40 && bytes.size() >= 34) {
        width = static_cast<int32_t>(Le32(bytes, 18));
        height = static_cast<int32_t>(Le32(bytes, 22));
        bits = Le16(bytes, 28);
        compression = Le32(bytes, 30);
    } else {
        error = "unknown BMP header";
        return false;
    }
    height = height < 0 ? -height : height;
    if (width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide ||
        width * height > kMaxJpegPixels) {
        error = "the BMP picture has no acceptable size";
        return false;
    }
    // The platform draws whatever memory follows a cut-off file; only plain rows can be counted.
    constexpr int64_t kRgb = 0, kBitfields = 3;
    if (compression == kRgb || compression == kBitfields) {
        const int64_t stride = (width * bits + 31) / 32 * 4;
        if (static_cast<int64_t>(bytes.size()) < int64_t{Le32(bytes, 10)} + stride * height) {
            error = "the BMP file is cut short";
            return false;
        }
    }
    return true;
}

// OleLoadPicture reads the picture from a stream over a copy of the bytes.
bool LoadOlePicture(const std::string& bytes, IPicture*& picture, std::string& error) {
    picture = nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (memory == nullptr) {
        error = "out of memory";
        return false;
    }
    void* data = GlobalLock(memory);
    std::memcpy(data, bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        error = "out of memory";
        return false;
    }
    const HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                                      reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(hr) || picture == nullptr) {
        picture = nullptr;
        error = "the picture cannot be decoded";
        return false;
    }
    return true;
}

}  // namespace

struct TPicture::TImpl {
    int Width = 0;
    int Height = 0;
    // Rasters end up as top-down 32-bit pixels whatever their file held.
    TRawImage Raster;
    IPicture* Ole = nullptr;
    HMETAFILE Metafile = nullptr;

    ~TImpl() {
        if (Ole) Ole->Release();
        if (Metafile) DeleteMetaFile(Metafile);
    }
};

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

bool TPicture::LoadFromFile(const TPath& file, std::string* error) {
    Clear();
    std::string reason;
    auto impl = std::make_unique<TImpl>();
    std::string bytes;
    bool ok = ReadFileBytes(file, bytes, reason);
    const std::wstring ext = LowerExtension(file);
    if (!ok) {
    } else if (ext == L".jpg" || ext == L".jpeg") {
        ok = DecodeJpeg(bytes, impl->Raster, reason);
        impl->Width = impl->Raster.Width;
        impl->Height = impl->Raster.Height;
    } else if (ext == L".wmf" && bytes.size() >= kMetaHeaderSize && Le32(bytes, 0) != kPlaceableKey) {
        const uint16_t type = Le16(bytes, 0), headerWords = Le16(bytes, 2);
        if ((type != 1 && type != 2) || headerWords != kMetaHeaderSize / 2) {
            reason = "not a metafile";
            ok = false;
        } else {
            impl->Metafile = SetMetaFileBitsEx(static_cast<UINT>(bytes.size()),
                                               reinterpret_cast<const BYTE*>(bytes.data()));
            const SIZE size = PlainMetafileSize(bytes);
            impl->Width = size.cx;
            impl->Height = size.cy;
            ok = impl->Metafile != nullptr;
            if (!ok) reason = "the metafile cannot be read";
        }
    } else if (ext == L".bmp" || ext == L".emf" || ext == L".wmf") {
        ok = (ext != L".bmp" || CheckBitmapHeader(bytes, reason)) && LoadOlePicture(bytes, impl->Ole, reason);
        OLE_XSIZE_HIMETRIC hmWidth = 0;
        OLE_YSIZE_HIMETRIC hmHeight = 0;
        SHORT type = PICTYPE_UNINITIALIZED;
        if (ok) {
            impl->Ole->get_Width(&hmWidth);
            impl->Ole->get_Height(&hmHeight);
            impl->Ole->get_Type(&type);
            impl->Width = MulDiv(hmWidth, 96, 2540);
            impl->Height = MulDiv(hmHeight, 96, 2540);
        }
        if (ok && type == PICTYPE_BITMAP) {
            OLE_HANDLE handle = 0;
            impl->Ole->get_Handle(&handle);
            auto bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
            BITMAP info = {};
            ok = GetObjectW(bitmap, sizeof info, &info) != 0 && info.bmWidth > 0 && info.bmHeight > 0;
            if (ok) {
                impl->Width = info.bmWidth;
                impl->Height = info.bmHeight;
                impl->Raster.Width = info.bmWidth;
                impl->Raster.Height = info.bmHeight;
                impl->Raster.Bgra.resize(static_cast<size_t>(info.bmWidth) * info.bmHeight * 4);
                BITMAPINFO header = {};
                header.bmiHeader.biSize = sizeof header.bmiHeader;
                header.bmiHeader.biWidth = info.bmWidth;
                header.bmiHeader.biHeight = -info.bmHeight;
                header.bmiHeader.biPlanes = 1;
                header.bmiHeader.biBitCount = 32;
                header.bmiHeader.biCompression = BI_RGB;
                HDC screen = GetDC(nullptr);
                ok = GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), impl->Raster.Bgra.data(), &header,
                               DIB_RGB_COLORS) == info.bmHeight;
                ReleaseDC(nullptr, screen);
            }
            impl->Ole->Release();
            impl->Ole = nullptr;
            if (!ok) reason = "the bitmap cannot be read";
        }
        if (ok && (impl->Width <= 0 || impl->Height <= 0)) {
            reason = "the picture has no size";
            ok = false;
        }
    } else {
        reason = "unknown picture type";
        ok = false;
    }
    if (!ok) {
        if (error) *error = reason;
        return false;
    }
    impl_ = std::move(impl);
    return true;
}

void TPicture::Clear() { impl_.reset(); }
bool TPicture::Empty() const { return !impl_; }
int TPicture::Width() const { return impl_ ? impl_->Width : 0; }
int TPicture::Height() const { return impl_ ? impl_->Height : 0; }

void TPicture::Draw(HDC dc, const RECT& target) const {
    if (!impl_) return;
    const int width = target.right - target.left;
    const int height = target.bottom - target.top;
    if (width <= 0 || height <= 0) return;
    const TImpl& p = *impl_;
    if (!p.Raster.Bgra.empty()) {
        BITMAPINFO header = {};
        header.bmiHeader.biSize = sizeof header.bmiHeader;
        header.bmiHeader.biWidth = p.Raster.Width;
        header.bmiHeader.biHeight = -p.Raster.Height;
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        header.bmiHeader.biCompression = BI_RGB;
        const bool shrinking = width < p.Raster.Width || height < p.Raster.Height;
        const int oldMode = SetStretchBltMode(dc, shrinking ? HALFTONE : COLORONCOLOR);
        POINT oldOrigin;
        SetBrushOrgEx(dc, 0, 0, &oldOrigin);
        StretchDIBits(dc, target.left, target.top, width, height, 0, 0, p.Raster.Width, p.Raster.Height,
                      p.Raster.Bgra.data(), &header, DIB_RGB_COLORS, SRCCOPY);
        SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
        SetStretchBltMode(dc, oldMode);
    } else if (p.Ole) {
        OLE_XSIZE_HIMETRIC hmWidth = 0;
        OLE_YSIZE_HIMETRIC hmHeight = 0;
        p.Ole->get_Width(&hmWidth);
        p.Ole->get_Height(&hmHeight);
        p.Ole->Render(dc, target.left, target.top, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr);
    } else if (p.Metafile) {
        const int saved = SaveDC(dc);
        POINT origin;
        GetViewportOrgEx(dc, &origin);
        SetMapMode(dc, MM_ANISOTROPIC);
        SetWindowOrgEx(dc, 0, 0, nullptr);
        SetWindowExtEx(dc, p.Width, p.Height, nullptr);
        SetViewportOrgEx(dc, origin.x + target.left, origin.y + target.top, nullptr);
        SetViewportExtEx(dc, width, height, nullptr);
        PlayMetaFile(dc, p.Metafile);
        RestoreDC(dc, saved);
    }
}

bool TImage::Create(HWND parent, int x, int y, int width, int height) {
    RegisterWindowClass(L"TImage", CS_HREDRAW | CS_VREDRAW, nullptr);
    return CreateHandle(0, L"TImage", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width, height, parent);
}

bool TImage::LoadFromFile(const TPath& file, std::string* error) {
    const bool ok = Picture.LoadFromFile(file, error);
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
    return ok;
}

void TImage::SetStretch(bool stretch) {
    Stretch = stretch;
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TImage::SetColor(COLORREF color) {
    Color = color;
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TImage::Paint(HDC dc) {
    RECT client;
    GetClientRect(Handle(), &client);
    HBRUSH brush = CreateSolidBrush(Color);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    if (Stretch) {
        Picture.Draw(dc, client);
    } else {
        const RECT natural = {0, 0, Picture.Width(), Picture.Height()};
        Picture.Draw(dc, natural);
    }
}

LRESULT TImage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        Paint(dc);
        EndPaint(Handle(), &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_NCHITTEST:
        // A picture never takes the pointer: the window underneath gets it, as with a label.
        return HTTRANSPARENT;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}
