// Embedded objects under Wine: objects written by the authoring tool and objects saved by the
// platform itself (with bitmap, metafile and enhanced-metafile presentations) load from their
// container files and draw stretched into any rectangle; damaged files fail cleanly.

#include <windows.h>
#include <ole2.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>

#include "model/OleStream.h"
#include "platform/OleObject.h"
#include "tests/win/PictureTestUtil.h"
#include "tests/win/WinTestUtil.h"
#include "tools/OleBuilder.h"

namespace {

using namespace picturetest;

// {9C4E7A10-2B3D-4F5E-8A6B-7C8D9E0F1A2B}: registered nowhere, like the tool's class.
const CLSID kUnregistered = {0x9C4E7A10, 0x2B3D, 0x4F5E, {0x8A, 0x6B, 0x7C, 0x8D, 0x9E, 0x0F, 0x1A, 0x2B}};

TRawImage QuadrantsImage() {
    TRawImage image;
    image.Width = kW;
    image.Height = kH;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const TRgb c = jpegtest::Quadrants(x, y, kW, kH);
            for (int v : {c.B, c.G, c.R, 255}) image.Bgra.push_back(static_cast<uint8_t>(v));
        }
    }
    return image;
}

std::string WriterStorage() { return BuildPictureObjectStorage(QuadrantsImage()); }

HGLOBAL PackedDib() {
    // The tool's presentation stream holds exactly a packed DIB after 40 bytes of fields.
    std::vector<TCompoundStream> streams = PictureObjectStreams(QuadrantsImage());
    const std::string dib = streams.back().Data.substr(40);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, dib.size());
    std::memcpy(GlobalLock(memory), dib.data(), dib.size());
    GlobalUnlock(memory);
    return memory;
}

// An object saved by the platform's own default handler with one cached presentation, as
// the bytes of its storage.
std::string PlatformStorage(CLIPFORMAT format) {
    OleInitialize(nullptr);
    ILockBytes* bytes = nullptr;
    IStorage* storage = nullptr;
    IOleObject* object = nullptr;
    IPersistStorage* persist = nullptr;
    IOleCache* cache = nullptr;
    std::string result;
    FORMATETC fe = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (format == CF_ENHMETAFILE) {
        fe.tymed = medium.tymed = TYMED_ENHMF;
        medium.hEnhMetaFile = MakeQuadrantsEmf(nullptr);
    } else if (format == CF_METAFILEPICT) {
        fe.tymed = medium.tymed = TYMED_MFPICT;
        medium.hMetaFilePict = GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
        auto* picture = static_cast<METAFILEPICT*>(GlobalLock(medium.hMetaFilePict));
        *picture = {MM_ANISOTROPIC, PixelsToHimetric(kW), PixelsToHimetric(kH), MakeQuadrantsWmf(kW, kH, true)};
        GlobalUnlock(medium.hMetaFilePict);
    } else {
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = PackedDib();
    }
    DWORD connection = 0;
    if (SUCCEEDED(CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes)) &&
        SUCCEEDED(StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                               &storage)) &&
        SUCCEEDED(OleCreateDefaultHandler(kUnregistered, nullptr, IID_IOleObject, reinterpret_cast<void**>(&object))) &&
        SUCCEEDED(object->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(object->QueryInterface(IID_IOleCache, reinterpret_cast<void**>(&cache))) &&
        SUCCEEDED(WriteClassStg(storage, kUnregistered)) && SUCCEEDED(persist->InitNew(storage)) &&
        SUCCEEDED(cache->Cache(&fe, ADVF_PRIMEFIRST, &connection)) && SUCCEEDED(cache->SetData(&fe, &medium, TRUE)) &&
        SUCCEEDED(OleSave(persist, storage, TRUE)) && SUCCEEDED(persist->SaveCompleted(nullptr)) &&
        SUCCEEDED(storage->Commit(STGC_DEFAULT))) {
        cache->Release();
        persist->Release();
        object->Release();
        storage->Release();
        cache = nullptr;
        persist = nullptr;
        object = nullptr;
        storage = nullptr;
        STATSTG stat = {};
        HGLOBAL memory = nullptr;
        if (SUCCEEDED(bytes->Stat(&stat, STATFLAG_NONAME)) && SUCCEEDED(GetHGlobalFromILockBytes(bytes, &memory))) {
            result.assign(static_cast<const char*>(GlobalLock(memory)), static_cast<size_t>(stat.cbSize.QuadPart));
            GlobalUnlock(memory);
        }
    }
    for (IUnknown* p : std::initializer_list<IUnknown*>{cache, persist, object, storage, bytes}) {
        if (p) p->Release();
    }
    return result;
}

struct TObjectCase {
    const char* Name;
    const wchar_t* FileName;
    std::function<std::string()> Storage;
};

void PrintTo(const TObjectCase& c, std::ostream* os) { *os << c.Name; }

class OleObjects : public ::testing::TestWithParam<TObjectCase> {};

TEST_P(OleObjects, LoadAndDrawStretched) {
    const TObjectCase& c = GetParam();
    const std::string storage = c.Storage();
    ASSERT_FALSE(storage.empty()) << "the object could not be made";
    TScratchFolder scratch;
    const TPath file = scratch / c.FileName;
    ASSERT_TRUE(WriteWholeFile(file, MakeOleStream(kDrawAspectContent, storage)));
    TOleObject object;
    std::string error;
    ASSERT_TRUE(object.LoadFromFile(file, &error)) << error;
    EXPECT_FALSE(object.Empty());
    EXPECT_EQ(object.Aspect(), kDrawAspectContent);
    {
        SCOPED_TRACE("enlarged");
        ExpectQuadrantsIn(object, {5, 4, 5 + 96, 4 + 70}, 0);
    }
    {
        SCOPED_TRACE("shrunk");
        ExpectQuadrantsIn(object, {3, 3, 3 + 24, 3 + 16}, 30);
    }
}

const TObjectCase kObjectCases[] = {
    {"WrittenByTheTool", L"tool.ole", WriterStorage},
    {"WrittenByTheToolAsFme", L"tool.FME", WriterStorage},
    {"PlatformBitmap", L"dib.ole", [] { return PlatformStorage(CF_DIB); }},
    {"PlatformMetafile", L"wmf.ole", [] { return PlatformStorage(CF_METAFILEPICT); }},
    {"PlatformEnhancedMetafile", L"emf.ole", [] { return PlatformStorage(CF_ENHMETAFILE); }},
};

INSTANTIATE_TEST_SUITE_P(OleObject, OleObjects, ::testing::ValuesIn(kObjectCases),
                         [](const auto& info) { return std::string(info.param.Name); });


TEST(OleObjectRefuse, DamagedFilesFailAndLeaveItEmpty) {
    TScratchFolder scratch;
    const std::string storage = WriterStorage();
    const std::string good = MakeOleStream(1, storage);
    ASSERT_TRUE(WriteWholeFile(scratch / L"good.ole", good));
    std::string wrongSignature = good;
    wrongSignature[3] = 'X';
    std::string sizeBeyond = good;
    sizeBeyond[8] = static_cast<char>(sizeBeyond[8] + 1);
    // Sector chains that run in circles: the directory's sector names itself as the next
    // one, and every mini sector leads back to the first.
    auto le32 = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(storage[at]) | static_cast<uint8_t>(storage[at + 1]) << 8 |
                                     static_cast<uint8_t>(storage[at + 2]) << 16 |
                                     static_cast<uint32_t>(static_cast<uint8_t>(storage[at + 3])) << 24);
    };
    auto put32 = [](std::string& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    std::string directoryLoop = storage;
    const uint32_t directory = le32(48);
    put32(directoryLoop, (size_t{le32(76)} + 1) * 512 + 4 * size_t{directory}, directory);
    std::string miniLoop = storage;
    for (size_t i = 0; i < 128; ++i) put32(miniLoop, (size_t{le32(60)} + 1) * 512 + 4 * i, 0);
    std::string garbage(3000, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7919 % 251);
    const struct {
        const char* Why;
        std::string Bytes;
        const char* Error;  // exact text, or nullptr for any
    } cases[] = {
        {"wrong signature", wrongSignature, "Invalid stream format"},
        {"a bare compound file", storage, "Invalid stream format"},
        {"short header", good.substr(0, 8), nullptr},
        {"storage size past the end", sizeBeyond, nullptr},
        {"empty storage", MakeOleStream(1, ""), nullptr},
        {"garbage storage", MakeOleStream(1, garbage), nullptr},
        {"compound signature then garbage", MakeOleStream(1, storage.substr(0, 8) + garbage), nullptr},
        {"storage cut after two sectors", MakeOleStream(1, storage.substr(0, 1024)), nullptr},
        {"storage cut in half", MakeOleStream(1, storage.substr(0, storage.size() / 2)), nullptr},
        {"directory chain in a circle", MakeOleStream(1, directoryLoop), nullptr},
        {"mini stream chains in a circle", MakeOleStream(1, miniLoop), nullptr},
    };
    for (const auto& c : cases) {
        const TPath file = scratch / L"bad.ole";
        ASSERT_TRUE(WriteWholeFile(file, c.Bytes));
        TOleObject object;
        std::string error;
        ASSERT_TRUE(object.LoadFromFile(scratch / L"good.ole", &error)) << error;
        EXPECT_FALSE(object.LoadFromFile(file, &error)) << c.Why;
        if (c.Error) {
            EXPECT_EQ(error, c.Error) << c.Why;
        } else {
            EXPECT_NE(error, "") << c.Why;
        }
        EXPECT_TRUE(object.Empty()) << c.Why;
        TCanvas canvas(20, 20);
        EXPECT_FALSE(object.Draw(canvas.Dc(), {0, 0, 20, 20})) << c.Why;
        EXPECT_TRUE(Near(canvas.At(10, 10), kWhite, 0)) << c.Why;
    }
    TOleObject object;
    std::string error;
    EXPECT_FALSE(object.LoadFromFile(scratch / L"missing.ole", &error));
    EXPECT_NE(error, "");
}

TEST(OleObjectRefuse, AnObjectWithoutAPresentationLoadsAndDrawsNothing) {
    TScratchFolder scratch;
    TClsid clsid;
    std::memcpy(clsid.data(), &kUnregistered, clsid.size());
    const std::string storage = BuildCompoundFile(clsid, {{u"Contents", "nothing to show"}});
    ASSERT_TRUE(WriteWholeFile(scratch / L"blank.ole", MakeOleStream(1, storage)));
    TOleObject object;
    std::string error;
    if (!object.LoadFromFile(scratch / L"blank.ole", &error)) {
        EXPECT_NE(error, "");
        EXPECT_TRUE(object.Empty());
    }
    TCanvas canvas(20, 20);
    EXPECT_FALSE(object.Draw(canvas.Dc(), {0, 0, 20, 20}));
    EXPECT_TRUE(Near(canvas.At(10, 10), kWhite, 0));
}

TEST(OleObjectThreads, EachThreadInitialisesOleItselfWhateverItsApartment) {
    TScratchFolder scratch;
    ASSERT_TRUE(WriteWholeFile(scratch / L"o.ole", MakeOleStream(1, WriterStorage())));
    for (DWORD apartment : {DWORD{0}, DWORD{COINIT_MULTITHREADED}, DWORD{COINIT_APARTMENTTHREADED}}) {
        bool loaded = false;
        TRgb shown = {};
        std::thread([&] {
            if (apartment != 0) CoInitializeEx(nullptr, apartment);
            {
                TOleObject object;
                loaded = object.LoadFromFile(scratch / L"o.ole");
                TCanvas canvas(kW, kH);
                object.Draw(canvas.Dc(), {0, 0, kW, kH});
                shown = canvas.At(kW - 1, kH - 1);
            }
        }).join();
        EXPECT_TRUE(loaded) << apartment;
        EXPECT_TRUE(Near(shown, QuadrantColour(3), 0)) << apartment;
    }
}

TEST(OleContainer, DisabledBorderlessAndStretchesItsObject) {
    TScratchFolder scratch;
    ASSERT_TRUE(WriteWholeFile(scratch / L"o.ole", MakeOleStream(1, WriterStorage())));
    ASSERT_TRUE(WriteWholeFile(scratch / L"bad.ole", "BDOX" + std::string(8, '\0')));
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    TOwned<TOleContainer> container;
    ASSERT_TRUE(container.Create(parent, 10, 10, 80, 60));
    const LONG style = GetWindowLongW(container.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_DISABLED);
    EXPECT_FALSE(style & (WS_BORDER | WS_THICKFRAME | WS_TABSTOP));
    EXPECT_FALSE(GetWindowLongW(container.Handle(), GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
    container.SetColor(RGB(0, 0, 0));

    auto shown = [&](int x, int y) {
        TCanvas canvas(80, 60);
        SendMessageW(container.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
        return canvas.At(x, y);
    };
    const TRgb black = {0, 0, 0};
    EXPECT_TRUE(Near(shown(40, 30), black, 0)) << "empty";
    std::string error;
    ASSERT_TRUE(container.LoadFromFile(scratch / L"o.ole", &error)) << error;
    EXPECT_TRUE(Near(shown(1, 1), QuadrantColour(0), 0));
    EXPECT_TRUE(Near(shown(78, 1), QuadrantColour(1), 0));
    EXPECT_TRUE(Near(shown(1, 58), QuadrantColour(2), 0));
    EXPECT_TRUE(Near(shown(78, 58), QuadrantColour(3), 0));

    UpdateWindow(container.Handle());
    HDC dc = GetDC(container.Handle());
    const COLORREF c = GetPixel(dc, 78, 58);
    ReleaseDC(container.Handle(), dc);
    EXPECT_TRUE(Near({GetRValue(c), GetGValue(c), GetBValue(c)}, QuadrantColour(3), 0)) << "painted";

    EXPECT_FALSE(container.LoadFromFile(scratch / L"bad.ole", &error));
    EXPECT_EQ(error, "Invalid stream format");
    EXPECT_TRUE(container.Object.Empty());
    EXPECT_TRUE(Near(shown(40, 30), black, 0)) << "after a failed load";
    container.Destroy();
    DestroyWindow(parent);
}

}  // namespace

namespace {

// Damaged copies of objects of every presentation: bytes of the storage overwritten at
// random places. Each must load or fail without taking the process down, and draw (or not)
// without running away.
TEST(OleObjectRefuse, RandomlyDamagedObjectsNeverCrashOrHang) {
    TScratchFolder scratch;
    const std::string storages[] = {WriterStorage(), PlatformStorage(CF_DIB), PlatformStorage(CF_METAFILEPICT),
                                    PlatformStorage(CF_ENHMETAFILE)};
    uint32_t seed = 4321;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    int loaded = 0, refused = 0;
    const DWORD start = GetTickCount();
    for (const std::string& storage : storages) {
        ASSERT_FALSE(storage.empty());
        for (int round = 0; round < 100; ++round) {
            std::string bytes = storage;
            const int hits = 1 + static_cast<int>(next() % 6);
            for (int h = 0; h < hits; ++h) bytes[next() % bytes.size()] = static_cast<char>(next());
            const TPath file = scratch / L"d.ole";
            ASSERT_TRUE(WriteWholeFile(file, MakeOleStream(1, bytes)));
            TOleObject object;
            std::string error;
            if (object.LoadFromFile(file, &error)) {
                ++loaded;
                TCanvas canvas(64, 48);
                object.Draw(canvas.Dc(), {0, 0, 64, 48});
            } else {
                ++refused;
                EXPECT_NE(error, "");
                EXPECT_TRUE(object.Empty());
            }
        }
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
    EXPECT_LT(GetTickCount() - start, 30000u);
}

}  // namespace
