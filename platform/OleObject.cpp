#include "platform/OleObject.h"

#include <ole2.h>

#include <cstring>

#include "model/OleStream.h"

// Once per thread and never undone: objects may be released as late as the process ends.
// S_FALSE (already initialised) counts as success, and so does a thread that COM already
// serves as multithreaded: loading and drawing work there too.
bool EnsureOle() {
    thread_local const HRESULT state = OleInitialize(nullptr);
    return SUCCEEDED(state) || state == RPC_E_CHANGED_MODE;
}

namespace {

template <class T>
void Release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

bool DrawPackedDib(HDC dc, const RECT& target, const void* dib, SIZE_T size) {
    if (size < sizeof(BITMAPINFOHEADER)) return false;
    const auto* info = static_cast<const BITMAPINFO*>(dib);
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof h || h.biSize > size) return false;
    SIZE_T colours = h.biClrUsed;
    if (colours == 0 && h.biBitCount <= 8) colours = SIZE_T{1} << h.biBitCount;
    SIZE_T offset = h.biSize + colours * sizeof(RGBQUAD);
    if (h.biCompression == BI_BITFIELDS && h.biSize == sizeof h) offset += 3 * sizeof(DWORD);
    if (offset > size) return false;
    const LONG height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (h.biCompression == BI_RGB || h.biCompression == BI_BITFIELDS) {
        const SIZE_T stride = (static_cast<SIZE_T>(h.biWidth) * h.biBitCount + 31) / 32 * 4;
        if (h.biWidth <= 0 || (size - offset) / stride < static_cast<SIZE_T>(height)) return false;
    }
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    POINT oldOrigin;
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);
    const int lines = StretchDIBits(dc, target.left, target.top, target.right - target.left, target.bottom - target.top,
                                    0, 0, h.biWidth, height, static_cast<const BYTE*>(dib) + offset, info,
                                    DIB_RGB_COLORS, SRCCOPY);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    SetStretchBltMode(dc, oldMode);
    return lines > 0;
}

// What OleDraw cannot show (Wine's cache answers OLE_E_BLANK for enhanced metafiles) is
// asked for as data and drawn here.
bool DrawFromData(IOleObject* object, DWORD aspect, HDC dc, const RECT& target) {
    IDataObject* data = nullptr;
    if (FAILED(object->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&data)))) return false;
    bool drawn = false;
    FORMATETC format = {CF_ENHMETAFILE, nullptr, aspect, -1, TYMED_ENHMF};
    STGMEDIUM medium = {};
    if (SUCCEEDED(data->GetData(&format, &medium))) {
        drawn = PlayEnhMetaFile(dc, medium.hEnhMetaFile, &target) != FALSE;
        ReleaseStgMedium(&medium);
    }
    format = {CF_METAFILEPICT, nullptr, aspect, -1, TYMED_MFPICT};
    if (!drawn && SUCCEEDED(data->GetData(&format, &medium))) {
        if (auto* picture = static_cast<METAFILEPICT*>(GlobalLock(medium.hMetaFilePict))) {
            const int saved = SaveDC(dc);
            SetMapMode(dc, picture->mm == MM_ISOTROPIC ? MM_ISOTROPIC : MM_ANISOTROPIC);
            // The metafile sets its own window; this one only stands in when it does not.
            SetWindowExtEx(dc, picture->xExt > 0 ? picture->xExt : 1000, picture->yExt > 0 ? picture->yExt : 1000,
                           nullptr);
            SetViewportOrgEx(dc, target.left, target.top, nullptr);
            SetViewportExtEx(dc, target.right - target.left, target.bottom - target.top, nullptr);
            drawn = PlayMetaFile(dc, picture->hMF) != FALSE;
            RestoreDC(dc, saved);
            GlobalUnlock(medium.hMetaFilePict);
        }
        ReleaseStgMedium(&medium);
    }
    format = {CF_DIB, nullptr, aspect, -1, TYMED_HGLOBAL};
    if (!drawn && SUCCEEDED(data->GetData(&format, &medium))) {
        if (const void* dib = GlobalLock(medium.hGlobal)) {
            drawn = DrawPackedDib(dc, target, dib, GlobalSize(medium.hGlobal));
            GlobalUnlock(medium.hGlobal);
        }
        ReleaseStgMedium(&medium);
    }
    data->Release();
    return drawn;
}

}  // namespace

struct TOleObject::TImpl {
    ILockBytes* Bytes = nullptr;
    IStorage* Storage = nullptr;
    IOleObject* Object = nullptr;

    ~TImpl() {
        Release(Object);
        Release(Storage);
        Release(Bytes);
    }
};

TOleObject::TOleObject() = default;
TOleObject::~TOleObject() = default;

bool TOleObject::LoadFromFile(const TPath& file, std::string* error) {
    Clear();
    std::string reason;
    TOleStream stream;
    auto impl = std::make_unique<TImpl>();
    bool ok = ReadOleStream(file, stream, reason);
    if (ok && stream.Storage.empty()) {
        reason = "the object's storage is empty";
        ok = false;
    }
    if (ok) ok = CheckCompoundFile(stream.Storage, reason);
    if (ok && !EnsureOle()) {
        reason = "OLE cannot be initialised";
        ok = false;
    }
    if (ok) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, stream.Storage.size());
        void* data = memory ? GlobalLock(memory) : nullptr;
        if (data) {
            std::memcpy(data, stream.Storage.data(), stream.Storage.size());
            GlobalUnlock(memory);
        }
        // From here the lock bytes own the memory block and free it with themselves.
        ok = data && SUCCEEDED(CreateILockBytesOnHGlobal(memory, TRUE, &impl->Bytes));
        if (!ok) {
            if (memory) GlobalFree(memory);
            reason = "out of memory";
        }
    }
    if (ok) {
        ULARGE_INTEGER size;
        size.QuadPart = stream.Storage.size();
        impl->Bytes->SetSize(size);
        ok = SUCCEEDED(StgOpenStorageOnILockBytes(impl->Bytes, nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr,
                                                  0, &impl->Storage));
        if (!ok) reason = "the object's storage cannot be opened";
    }
    if (ok) {
        ok = SUCCEEDED(OleLoad(impl->Storage, IID_IOleObject, nullptr, reinterpret_cast<void**>(&impl->Object))) &&
             impl->Object != nullptr;
        if (!ok) reason = "the object cannot be loaded";
    }
    if (!ok) {
        if (error) *error = reason;
        return false;
    }
    aspect_ = stream.Aspect;
    impl_ = std::move(impl);
    return true;
}

void TOleObject::Clear() {
    impl_.reset();
    aspect_ = 1;
}

bool TOleObject::Empty() const { return !impl_; }

bool TOleObject::Draw(HDC dc, const RECT& target) const {
    if (!impl_ || target.right <= target.left || target.bottom <= target.top) return false;
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    POINT oldOrigin;
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);
    bool drawn = SUCCEEDED(OleDraw(impl_->Object, aspect_, dc, &target));
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    SetStretchBltMode(dc, oldMode);
    if (!drawn) drawn = DrawFromData(impl_->Object, aspect_, dc, target);
    return drawn;
}

bool TOleContainer::Create(HWND parent, int x, int y, int width, int height) {
    RegisterWindowClass(L"TOleContainer", CS_HREDRAW | CS_VREDRAW, nullptr);
    return CreateHandle(0, L"TOleContainer", L"", WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_CLIPSIBLINGS, x, y, width,
                        height, parent);
}

bool TOleContainer::LoadFromFile(const TPath& file, std::string* error) {
    bool ok = Object.LoadFromFile(file, error);
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
    return ok;
}

void TOleContainer::SetColor(COLORREF color) {
    Color = color;
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TOleContainer::Paint(HDC dc) {
    RECT client;
    GetClientRect(Handle(), &client);
    HBRUSH brush = CreateSolidBrush(Color);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    Object.Draw(dc, client);
}

