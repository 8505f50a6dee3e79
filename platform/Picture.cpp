#include "platform/Picture.h"

#include <ole2.h>
#include <olectl.h>

#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "model/JpegImage.h"
#include "model/PictureCheck.h"

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
constexpr size_t kPlaceableHeaderSize = 22;
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
    HENHMETAFILE Enhanced = nullptr;
    // A Windows metafile is played with this window mapped onto the target.
    HMETAFILE Metafile = nullptr;
    POINT Origin = {0, 0};
    SIZE Extent = {0, 0};

    ~TImpl() {
        if (Enhanced) DeleteEnhMetaFile(Enhanced);
        if (Metafile) DeleteMetaFile(Metafile);
    }

    bool LoadBitmap(const std::string& bytes, std::string& reason);
    bool LoadEnhanced(const std::string& bytes, std::string& reason);
    bool LoadMetafile(const std::string& bytes, std::string& reason);
};

bool TPicture::TImpl::LoadBitmap(const std::string& bytes, std::string& reason) {
    IPicture* picture = nullptr;
    if (!CheckBitmapFile(bytes, reason) || !LoadOlePicture(bytes, picture, reason)) return false;
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE handle = 0;
    picture->get_Type(&type);
    picture->get_Handle(&handle);
    auto bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    BITMAP info = {};
    bool ok = type == PICTYPE_BITMAP && GetObjectW(bitmap, sizeof info, &info) != 0 && info.bmWidth > 0 &&
              info.bmHeight > 0;
    if (ok) {
        Width = Raster.Width = info.bmWidth;
        Height = Raster.Height = info.bmHeight;
        Raster.Bgra.resize(static_cast<size_t>(info.bmWidth) * info.bmHeight * 4);
        BITMAPINFO header = {};
        header.bmiHeader.biSize = sizeof header.bmiHeader;
        header.bmiHeader.biWidth = info.bmWidth;
        header.bmiHeader.biHeight = -info.bmHeight;
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        header.bmiHeader.biCompression = BI_RGB;
        HDC screen = GetDC(nullptr);
        ok = GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), Raster.Bgra.data(), &header,
                       DIB_RGB_COLORS) == info.bmHeight;
        ReleaseDC(nullptr, screen);
    }
    picture->Release();
    if (!ok) reason = "the bitmap cannot be read";
    return ok;
}

// Metafiles are handed to GDI directly: OleLoadPicture guesses the format from the first
// bytes and takes a damaged metafile for an icon.
bool TPicture::TImpl::LoadEnhanced(const std::string& bytes, std::string& reason) {
    if (!CheckEnhancedMetafile(bytes, reason)) return false;
    // The frame is in 0.01 mm, as IPicture reports it.
    Width = MulDiv(static_cast<int32_t>(Le32(bytes, 32) - Le32(bytes, 24)), 96, 2540);
    Height = MulDiv(static_cast<int32_t>(Le32(bytes, 36) - Le32(bytes, 28)), 96, 2540);
    if (Width <= 0 || Height <= 0) {
        reason = "the picture has no size";
        return false;
    }
    Enhanced = SetEnhMetaFileBits(Le32(bytes, 48), reinterpret_cast<const BYTE*>(bytes.data()));
    if (!Enhanced) reason = "the metafile cannot be read";
    return Enhanced != nullptr;
}

bool TPicture::TImpl::LoadMetafile(const std::string& bytes, std::string& reason) {
    const bool placeable = bytes.size() >= kPlaceableHeaderSize && Le32(bytes, 0) == kPlaceableKey;
    const size_t offset = placeable ? kPlaceableHeaderSize : 0;
    if (!CheckWindowsMetafile(bytes, offset, reason)) return false;
    if (placeable) {
        // Bounds in units of 1/inch; through 0.01 mm to pixels as IPicture goes.
        const int left = static_cast<int16_t>(Le16(bytes, 6)), top = static_cast<int16_t>(Le16(bytes, 8));
        const int right = static_cast<int16_t>(Le16(bytes, 10)), bottom = static_cast<int16_t>(Le16(bytes, 12));
        const int inch = Le16(bytes, 14);
        Origin = {left, top};
        Extent = {right - left, bottom - top};
        if (inch > 0) {
            Width = MulDiv(MulDiv(Extent.cx, 2540, inch), 96, 2540);
            Height = MulDiv(MulDiv(Extent.cy, 2540, inch), 96, 2540);
        }
    } else {
        Extent = PlainMetafileSize(bytes);
        Width = Extent.cx;
        Height = Extent.cy;
    }
    if (Width <= 0 || Height <= 0 || Extent.cx <= 0 || Extent.cy <= 0) {
        reason = "the picture has no size";
        return false;
    }
    Metafile = SetMetaFileBitsEx(static_cast<UINT>(bytes.size() - offset),
                                 reinterpret_cast<const BYTE*>(bytes.data() + offset));
    if (!Metafile) reason = "the metafile cannot be read";
    return Metafile != nullptr;
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

bool TPicture::LoadFromFile(const TPath& file, std::string* error) { return LoadFromFile(file, error, 0, 0); }

bool TPicture::LoadFromFile(const TPath& file, std::string* error, int maxWidth, int maxHeight) {
    Clear();
    std::string reason, bytes;
    auto impl = std::make_unique<TImpl>();
    bool ok = ReadFileBytes(file, bytes, reason);
    const std::wstring ext = LowerExtension(file);
    if (!ok) {
    } else if (ext == L".jpg" || ext == L".jpeg") {
        TJpegSize natural;
        ok = DecodeJpegForSize(bytes, maxWidth, maxHeight, impl->Raster, natural, reason);
        impl->Width = natural.Width;
        impl->Height = natural.Height;
    } else if (ext == L".bmp") {
        ok = impl->LoadBitmap(bytes, reason);
    } else if (ext == L".emf") {
        ok = impl->LoadEnhanced(bytes, reason);
    } else if (ext == L".wmf") {
        ok = impl->LoadMetafile(bytes, reason);
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
SIZE TPicture::SizeForDpi(int dpi) const { return SIZE{ScaleForDpi(Width(), dpi), ScaleForDpi(Height(), dpi)}; }

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
    } else if (p.Enhanced) {
        PlayEnhMetaFile(dc, p.Enhanced, &target);
    } else if (p.Metafile) {
        const int saved = SaveDC(dc);
        POINT origin;
        GetViewportOrgEx(dc, &origin);
        SetMapMode(dc, MM_ANISOTROPIC);
        SetWindowOrgEx(dc, p.Origin.x, p.Origin.y, nullptr);
        SetWindowExtEx(dc, p.Extent.cx, p.Extent.cy, nullptr);
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

bool TImage::LoadFromFile(const TPath& file, std::string* error) { return LoadFromFile(file, error, 0, 0); }

bool TImage::LoadFromFile(const TPath& file, std::string* error, int maxWidth, int maxHeight) {
    const bool ok = Picture.LoadFromFile(file, error, maxWidth, maxHeight);
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
        const SIZE size = Picture.SizeForDpi(Dpi());
        const RECT natural = {0, 0, size.cx, size.cy};
        Picture.Draw(dc, natural);
    }
}

