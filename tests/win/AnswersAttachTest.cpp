// Attachments of the answers: inline pictures and objects drawn in their panels, the Play and
// Stop buttons of an inline sound, and the previews that the main window shows while the pointer
// is over an answer (popup or sound), driven through a host that records its calls.

#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "answers/AnswersFrameUnit.h"
#include "model/Codepage.h"
#include "tests/win/WinTestUtil.h"
#include "tools/OleBuilder.h"

static void PrintTo(const TRgb& c, std::ostream* out) {
    *out << "(" << int(c.R) << ", " << int(c.G) << ", " << int(c.B) << ")";
}

namespace {

constexpr wchar_t kParentClass[] = L"AnswersAttachTestParent";
constexpr int kListWidth = 320, kListHeight = 560;
constexpr int kPanelWidth = kListWidth - 20;

const TRgb kGrey{240, 240, 240}, kPlaceholder{128, 128, 128};
const TRgb kQuadrants[4] = {{200, 30, 30}, {30, 160, 40}, {20, 40, 190}, {230, 200, 20}};

std::string C(const char* utf8) { return Utf8ToCp1251(utf8); }
POINT Centre(const RECT& rc) { return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }

void PutLe(std::string& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A 24-bit bottom-up BMP in four coloured quadrants (top left, top right, bottom left, bottom right).
std::string QuadrantBmp(int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    std::string b = "BM";
    PutLe(b, static_cast<uint32_t>(54 + stride * height), 4);
    PutLe(b, 0, 4);
    PutLe(b, 54, 4);
    PutLe(b, 40, 4);
    PutLe(b, static_cast<uint32_t>(width), 4);
    PutLe(b, static_cast<uint32_t>(height), 4);
    PutLe(b, 1, 2);
    PutLe(b, 24, 2);
    PutLe(b, 0, 4);
    PutLe(b, static_cast<uint32_t>(stride * height), 4);
    PutLe(b, 2835, 4);
    PutLe(b, 2835, 4);
    PutLe(b, 0, 4);
    PutLe(b, 0, 4);
    for (int row = height - 1; row >= 0; --row) {
        std::string line;
        for (int x = 0; x < width; ++x) {
            const TRgb& c = kQuadrants[(row < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
            line += static_cast<char>(c.B);
            line += static_cast<char>(c.G);
            line += static_cast<char>(c.R);
        }
        line.resize(static_cast<size_t>(stride), '\0');
        b += line;
    }
    return b;
}

// Records what the list asks of the main window. Play and Stop buttons are switched the way the
// real media player does; `during` runs inside a call, as messages run while the popup slides.
struct TFakeHost : TAnswerAttachHost {
    std::vector<std::string> Calls;
    std::vector<TPath> Files;
    HWND LastPlay = nullptr, LastStop = nullptr;
    bool PopupShown = false;
    std::function<void()> DuringShow;
    std::function<void()> DuringPlay;
    bool Twice = false;  // a show over a shown popup, or a hide of a hidden one

    void PlayMedia(const TPath& file, HWND play, HWND stop) override {
        Calls.push_back(play != nullptr ? "play with buttons" : "play");
        Files.push_back(file);
        LastPlay = play;
        LastStop = stop;
        if (play != nullptr) EnableWindow(play, FALSE);
        if (stop != nullptr) EnableWindow(stop, TRUE);
        if (DuringPlay) Run(DuringPlay);
    }
    void StopMedia() override {
        Calls.push_back("stop");
        if (LastPlay != nullptr && IsWindow(LastPlay)) EnableWindow(LastPlay, TRUE);
        if (LastStop != nullptr && IsWindow(LastStop)) EnableWindow(LastStop, FALSE);
    }
    void ShowAnswerPopup(TAttachKind kind, const TPath& file, int32_t width, int32_t height) override {
        Calls.push_back("show " + std::to_string(kind) + " " + std::to_string(width) + "x" + std::to_string(height));
        Files.push_back(file);
        Twice = Twice || PopupShown;
        PopupShown = true;
        if (DuringShow) Run(DuringShow);
    }
    void HideAnswerPopup() override {
        Calls.push_back("hide");
        Twice = Twice || !PopupShown;
        PopupShown = false;
    }
    // Once: what happens while the first slide runs.
    static void Run(std::function<void()>& hook) {
        const std::function<void()> once = std::move(hook);
        hook = nullptr;
        once();
    }
};

class AnswersAttachTest : public ::testing::Test {
public:  // the table of what happens during a slide reaches in through a reference
    TOwned<TfrAnswersList> list;
    HWND parent = nullptr;
    TFakeHost host;
    TScratchFolder folder;

    void SetUp() override {
        parent = CreateTestParent(kParentClass, L"parent", 400, kListHeight + 40);
        ASSERT_NE(parent, nullptr);
        ASSERT_TRUE(list.Create(parent, 0, 0, kListWidth, kListHeight));
        list.FontSize = 12;
        list.Host = &host;
        PointerAway();
    }
    void TearDown() override {
        list.Host = nullptr;
        if (GetCapture() != nullptr) ReleaseCapture();
        DestroyWindow(parent);
    }

    TPath Write(const std::wstring& name, const std::string& bytes) {
        const TPath path = folder / name;
        EXPECT_TRUE(WriteWholeFile(path, bytes));
        return path;
    }
    static TAttachOptions Options(bool inPopup = false, bool autoPlay = false, uint16_t width = 0,
                                  uint16_t height = 0) {
        TAttachOptions options;
        options.InPopup = inPopup;
        options.AutoPlay = autoPlay;
        options.Width = width;
        options.Height = height;
        return options;
    }
    void Add(const char* text, TAttachKind kind = akNone, const TPath& path = TPath(),
             const TAttachOptions& options = TAttachOptions()) {
        list.AddAnswer(C(text), kind, PathToCp1251(path), options, 0, path);
    }

    // The pointer itself is put there too: the list checks where it really is after a slide.
    void MoveTo(POINT at) {
        POINT screen = at;
        ClientToScreen(list.Handle(), &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageW(list.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    }
    void MoveOver(int position) { MoveTo(Centre(list.PanelRect(position))); }
    void PointerAway() {
        SetCursorPos(kListWidth + 40, kListHeight + 30);
        SendMessageW(list.Handle(), WM_MOUSELEAVE, 0, 0);
    }
    void Click(HWND button) {
        RECT rc;
        GetClientRect(button, &rc);
        const POINT at = Centre(rc);
        SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }
    // A child window's rectangle in the list's client coordinates.
    RECT ChildRect(HWND child) const {
        RECT rc;
        GetWindowRect(child, &rc);
        MapWindowPoints(nullptr, list.Handle(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    TRgb ScreenPixel(POINT at) {
        InvalidateRect(list.Handle(), nullptr, FALSE);
        UpdateWindow(list.Handle());
        HDC dc = GetDC(list.Handle());
        const COLORREF c = GetPixel(dc, at.x, at.y);
        ReleaseDC(list.Handle(), dc);
        return {GetRValue(c), GetGValue(c), GetBValue(c)};
    }
    // The middle of each quadrant of an area shows that quadrant's colour.
    void ExpectQuadrants(const RECT& area) {
        const int w = area.right - area.left, h = area.bottom - area.top;
        for (int i = 0; i < 4; ++i) {
            const POINT at = {area.left + (i % 2 ? 3 * w / 4 : w / 4), area.top + (i / 2 ? 3 * h / 4 : h / 4)};
            EXPECT_EQ(ScreenPixel(at), kQuadrants[i]) << "quadrant " << i << " at " << at.x << ", " << at.y;
        }
    }
    static int Height(const RECT& rc) { return rc.bottom - rc.top; }
    static int Width(const RECT& rc) { return rc.right - rc.left; }
};

}  // namespace

TEST_F(AnswersAttachTest, AnInlinePictureIsDrawnWhereItsNaturalSizeLaysItOut) {
    const struct {
        const char* what;
        const char* text;
        int width, height;
        RECT image;  // in the panel
    } cases[] = {
        {"beside the text, natural size", "ответ с картинкой", 60, 40, {10, 10, 70, 50}},
        {"beside the text, narrowed to half the panel", "ответ", 400, 100, {10, 10, 140, 42}},
        {"no text: centred, up to 60 per cent", "", 80, 60, {110, 10, 190, 70}},
        {"no text, wide: 60 per cent", "   ", 320, 80, {70, 10, 230, 50}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        list.Clear();
        // The name cannot be written in the answers' code page: only the path opens it.
        const TPath path = Write(L"\u03bb" + std::to_wstring(c.width) + L".bmp", QuadrantBmp(c.width, c.height));
        Add("выше");
        Add(c.text, akPicture, path);
        ASSERT_TRUE(list.AttachmentLoaded(1));
        const RECT panel = list.PanelRect(1);
        const RECT image = list.ImageRect(1);
        EXPECT_EQ(image.left - panel.left, c.image.left);
        EXPECT_EQ(image.top - panel.top, c.image.top);
        EXPECT_EQ(image.right - panel.left, c.image.right);
        EXPECT_EQ(image.bottom - panel.top, c.image.bottom);
        EXPECT_GE(Height(panel), Height(image) + 20) << "the panel holds the picture";
        ExpectQuadrants(image);
        EXPECT_EQ(ScreenPixel({image.left - 3, image.top + 3}), kGrey) << "nothing drawn beside it";

        // Loaded once: the file may go, resizing and scrolling still draw it where it now is.
        ASSERT_TRUE(DeleteFileW(path.c_str()));
        SetWindowPos(list.Handle(), nullptr, 0, 0, kListWidth - 60, kListHeight, SWP_NOMOVE | SWP_NOZORDER);
        SetWindowPos(list.Handle(), nullptr, 0, 0, kListWidth, kListHeight, SWP_NOMOVE | SWP_NOZORDER);
        list.SetContentTop(-25);
        const RECT scrolled = list.ImageRect(1);
        EXPECT_EQ(scrolled.top, image.top - 25);
        ExpectQuadrants(scrolled);
        list.SetContentTop(0);
    }
}

TEST_F(AnswersAttachTest, AnInlineObjectIsDrawnStretchedIntoItsShareOfThePanel) {
    std::string bytes, error;
    const TPath picture = Write(L"object.bmp", QuadrantBmp(40, 30));
    ASSERT_TRUE(MakePictureObjectFile(picture, bytes, error)) << error;
    const TPath object = Write(L"\u03bbobject.ole", bytes);
    const struct {
        const char* what;
        TAttachKind kind;
        const char* text;
        bool replaceText;
        uint16_t width, height;
        RECT area;  // in the panel
    } cases[] = {
        // Half the panel (rounded 150) less 20 wide, beside the text.
        {"beside the text", akOle, "ответ", false, 200, 100, {10, 10, 140, 75}},
        {"no size stored: 200 by 100", akFme, "ответ", false, 0, 0, {10, 10, 140, 75}},
        {"tall", akOle, "ответ", false, 100, 200, {10, 10, 140, 270}},
        // The text gives way: 60 per cent less 20, centred.
        {"in place of the text", akOle, "ответ", true, 200, 100, {70, 10, 230, 90}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        list.Clear();
        TAttachOptions options = Options(false, false, c.width, c.height);
        options.ReplaceText = c.replaceText;
        Add(c.text, c.kind, object, options);
        ASSERT_TRUE(list.AttachmentLoaded(0));
        const RECT panel = list.PanelRect(0);
        const RECT area = list.ObjectRect(0);
        EXPECT_EQ(area.left - panel.left, c.area.left);
        EXPECT_EQ(area.top - panel.top, c.area.top);
        EXPECT_EQ(area.right - panel.left, c.area.right);
        EXPECT_EQ(area.bottom - panel.top, c.area.bottom);
        EXPECT_EQ(Height(panel), Height(area) + 20);
        ExpectQuadrants(area);
    }
    EXPECT_TRUE(host.Calls.empty());
}

TEST_F(AnswersAttachTest, APictureOrObjectThatCannotBeLoadedLeavesAnEmptyFrameAndTheAnswersLoad) {
    const std::string bmp = QuadrantBmp(40, 30);
    const struct {
        const char* what;
        TAttachKind kind;
        const wchar_t* name;  // null: no such file
        std::string bytes;
    } cases[] = {
        {"missing picture", akPicture, nullptr, ""},
        {"empty picture file", akPicture, L"empty.bmp", ""},
        {"not a bitmap", akPicture, L"text.bmp", "just some text, no picture"},
        {"truncated bitmap", akPicture, L"short.bmp", bmp.substr(0, 70)},
        {"not a JPEG", akPicture, L"bad.jpg", "\xFF\xD8\xFF garbage"},
        {"missing object", akOle, nullptr, ""},
        {"object of another format", akOle, L"bad.ole", "PK\x03\x04 not a container"},
        {"empty object file", akFme, L"empty.fme", ""},
    };
    std::vector<std::string> unshown;
    list.OnAttachmentUnshown = [&](const std::string& name) { unshown.push_back(name); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        list.Clear();
        unshown.clear();
        const TPath path = c.name != nullptr ? Write(c.name, c.bytes) : folder / L"absent.bmp";
        Add("первый", c.kind, path, Options(false, false, 200, 100));
        Add("второй");
        list.Relayout();
        ASSERT_EQ(list.Count(), 2);
        // Told once, by the name the test stores it under, however often the list is laid out.
        EXPECT_EQ(unshown, std::vector<std::string>{PathToCp1251(path)});
        EXPECT_FALSE(list.AttachmentLoaded(0));
        const RECT panel = list.PanelRect(0);
        const RECT area = c.kind == akPicture ? list.ImageRect(0) : list.ObjectRect(0);
        ASSERT_GT(Width(area), 0) << "the room stays";
        ASSERT_GT(Height(area), 0);
        EXPECT_GE(Height(panel), Height(area) + 20);
        EXPECT_EQ(ScreenPixel({area.left, Centre(area).y}), kPlaceholder) << "an empty frame";
        EXPECT_EQ(ScreenPixel({area.right - 1, Centre(area).y}), kPlaceholder);
        EXPECT_EQ(ScreenPixel(Centre(area)), kGrey) << "nothing inside it";
        EXPECT_EQ(list.PanelRect(1).top, panel.bottom + 10) << "the next answer stacks below";
    }
    EXPECT_TRUE(host.Calls.empty());
}

TEST_F(AnswersAttachTest, AnInlineSoundHasPlayAndStopButtonsThatGoThroughTheHost) {
    const TPath sound = Write(L"\u03bbsound.wav", "RIFF....WAVE");
    Add("первый ответ");
    Add("звук", akSound, sound);
    const HWND play = list.PlayButton(1), stop = list.StopButton(1);
    ASSERT_NE(play, nullptr);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(list.PlayButton(0), nullptr);
    EXPECT_EQ(GetParent(play), list.Handle());
    wchar_t cls[32] = {};
    GetClassNameW(play, cls, 32);
    EXPECT_STREQ(cls, L"Button");
    EXPECT_EQ(WindowText(play), Cp1251ToWide(C("Играть")));
    EXPECT_EQ(WindowText(stop), Cp1251ToWide(C("Стоп")));
    EXPECT_TRUE(IsWindowVisible(play));
    EXPECT_TRUE(IsWindowEnabled(play));
    EXPECT_FALSE(IsWindowEnabled(stop)) << "Stop starts disabled";
    EXPECT_TRUE(GetWindowLongW(list.Handle(), GWL_STYLE) & WS_CLIPCHILDREN) << "the list paints around them";

    auto expectPlaced = [&](const char* when) {
        SCOPED_TRACE(when);
        const RECT panel = list.PanelRect(1);
        const RECT p = ChildRect(play), s = ChildRect(stop);
        EXPECT_EQ(p.left, panel.left + 10);
        EXPECT_EQ(p.top, panel.top + 10);
        EXPECT_EQ(Width(p), 50);
        EXPECT_EQ(Height(p), 24);
        EXPECT_EQ(s.left, panel.left + 70);
        EXPECT_EQ(s.top, panel.top + 10);
        EXPECT_EQ(Width(s), 50);
        EXPECT_EQ(Height(s), 24);
    };
    expectPlaced("added");
    list.SetContentTop(-17);
    expectPlaced("scrolled");
    // Out of view they wait hidden; the first row of the panel back in view brings them back.
    list.SetContentTop(0);
    const int bottom = list.PanelRect(1).bottom;
    list.SetContentTop(-bottom);
    EXPECT_FALSE(IsWindowVisible(play));
    EXPECT_FALSE(IsWindowVisible(stop));
    list.SetContentTop(-bottom + 1);
    EXPECT_TRUE(IsWindowVisible(play));
    EXPECT_TRUE(IsWindowVisible(stop));
    expectPlaced("partly in view");
    list.SetContentTop(kListHeight);
    EXPECT_FALSE(IsWindowVisible(play)) << "below the view";
    list.SetContentTop(0);
    expectPlaced("back");
    list.Clear();
    EXPECT_FALSE(IsWindow(play)) << "Clear takes the buttons away";
    EXPECT_FALSE(IsWindow(stop));
    // A longer first answer pushes the sound's panel down when the list narrows.
    std::string text;
    for (int i = 0; i < 10; ++i) text += "довольно длинный ответ ";
    Add(text.c_str());
    Add("звук", akSound, sound);
    const HWND play2 = list.PlayButton(1);
    const int before = ChildRect(play2).top;
    SetWindowPos(list.Handle(), nullptr, 0, 0, 200, kListHeight, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_GT(ChildRect(play2).top, before);
    EXPECT_EQ(ChildRect(play2).top, list.PanelRect(1).top + 10);
    SetWindowPos(list.Handle(), nullptr, 0, 0, kListWidth, kListHeight, SWP_NOMOVE | SWP_NOZORDER);

    // Filled in one go (as the answers window does): the buttons show once laid out.
    list.Clear();
    list.BeginUpdate();
    Add(text.c_str());
    Add("звук", akSound, sound);
    ASSERT_NE(list.PlayButton(1), nullptr);
    EXPECT_FALSE(IsWindowVisible(list.PlayButton(1)));
    list.EndUpdate();
    EXPECT_TRUE(IsWindowVisible(list.PlayButton(1)));
    EXPECT_TRUE(IsWindowVisible(list.StopButton(1)));
    EXPECT_EQ(ChildRect(list.StopButton(1)).top, list.PanelRect(1).top + 10);
    EXPECT_EQ(ChildRect(list.StopButton(1)).left, list.PanelRect(1).left + 70);

    // Play hands both buttons over; Stop, once enabled by the player, stops.
    for (bool locked : {false, true}) {
        SCOPED_TRACE(locked ? "locked" : "unlocked");
        list.Model.Locked = locked;
        host.Calls.clear();
        host.Files.clear();
        Click(list.PlayButton(1));
        ASSERT_EQ(host.Calls, (std::vector<std::string>{"play with buttons"}));
        EXPECT_EQ(host.Files[0], sound);
        EXPECT_EQ(host.LastPlay, list.PlayButton(1));
        EXPECT_EQ(host.LastStop, list.StopButton(1));
        EXPECT_TRUE(IsWindowEnabled(list.StopButton(1)));
        Click(list.StopButton(1));
        EXPECT_EQ(host.Calls, (std::vector<std::string>{"play with buttons", "stop"}));
        EXPECT_TRUE(IsWindowEnabled(list.PlayButton(1)));
    }

    // Without a host the buttons do nothing.
    list.Host = nullptr;
    host.Calls.clear();
    Click(list.PlayButton(1));
    EXPECT_TRUE(host.Calls.empty());
}

TEST_F(AnswersAttachTest, ButtonsFollowTheirAnswerWhenTheOrderChanges) {
    const TPath sound = Write(L"s.wav", "RIFF");
    list.Model.Mode = lmOrdering;
    Add("K", akSound, sound);
    Add("L");
    Add("M");
    const HWND play = list.PlayButton(0);
    // Dragged from above its buttons onto the last answer.
    const POINT from = {Centre(list.PanelRect(0)).x + 60, Centre(list.PanelRect(0)).y};
    MoveTo(from);
    SendMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    const POINT to = Centre(list.PanelRect(2));
    MoveTo(to);
    SendMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    ASSERT_EQ(list.Model.Entries()[2].Text, "K");
    EXPECT_EQ(list.PlayButton(2), play);
    EXPECT_EQ(ChildRect(play).top, list.PanelRect(2).top + 10);
}

TEST_F(AnswersAttachTest, HoveringAnAnswerShowsItsAttachmentUntilThePointerLeaves) {
    const TPath picture = Write(L"p.bmp", QuadrantBmp(20, 20));
    const TPath sound = Write(L"s.wav", "RIFF");
    const TPath video = Write(L"v.avi", "RIFF");
    const TPath object = Write(L"o.ole", "BDOC");
    using S = std::vector<std::string>;
    const struct {
        const char* what;
        TAttachKind kind;
        TPath file;
        TAttachOptions options;
        S enter, leave;
    } cases[] = {
        {"picture in a popup", akPicture, picture, Options(true), {"show 1 -1x-1"}, {"hide"}},
        {"video", akVideo, video, Options(), {"show 3 -1x-1"}, {"stop", "hide"}},
        {"sound that plays by itself", akSound, sound, Options(false, true), {"play"}, {"stop"}},
        {"object in a popup", akOle, object, Options(true, false, 320, 240), {"show 5 320x240"}, {"hide"}},
        {"form object in a popup", akFme, object, Options(true, false, 0, 0), {"show 4 0x0"}, {"hide"}},
        {"inline picture", akPicture, picture, Options(), {}, {}},
        {"inline sound", akSound, sound, Options(), {}, {}},
        {"no attachment", akNone, TPath(), Options(), {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* leave : {"by another answer", "out of the list"}) {
            SCOPED_TRACE(leave);
            list.Clear();
            host = TFakeHost();
            Add("K");
            Add("L", c.kind, c.file, c.options);
            MoveOver(0);
            EXPECT_TRUE(host.Calls.empty());
            MoveOver(1);
            EXPECT_EQ(host.Calls, c.enter);
            if (!c.enter.empty()) {
                EXPECT_EQ(host.Files.back(), c.file);
                EXPECT_EQ(list.PreviewPosition(), 1);
            }
            MoveTo({Centre(list.PanelRect(1)).x + 5, Centre(list.PanelRect(1)).y + 2});
            EXPECT_EQ(host.Calls, c.enter) << "moving within the answer";
            if (std::string(leave) == "by another answer") {
                MoveOver(0);
            } else {
                PointerAway();
            }
            S all = c.enter;
            all.insert(all.end(), c.leave.begin(), c.leave.end());
            EXPECT_EQ(host.Calls, all);
            EXPECT_EQ(list.PreviewPosition(), -1);
            EXPECT_FALSE(host.PopupShown);
            EXPECT_FALSE(host.Twice);
        }
    }
}

TEST_F(AnswersAttachTest, FromOnePreviewStraightToAnother) {
    const TPath picture = Write(L"p.bmp", QuadrantBmp(20, 20));
    const TPath video = Write(L"v.avi", "RIFF");
    Add("K", akPicture, picture, Options(true));
    Add("L", akVideo, video);
    MoveOver(0);
    MoveOver(1);
    MoveOver(0);
    EXPECT_EQ(host.Calls,
              (std::vector<std::string>{"show 1 -1x-1", "hide", "show 3 -1x-1", "stop", "hide", "show 1 -1x-1"}));
    EXPECT_EQ(host.Files, (std::vector<TPath>{picture, video, picture}));
    EXPECT_TRUE(host.PopupShown);
    EXPECT_FALSE(host.Twice);
}

TEST_F(AnswersAttachTest, WhatHappensWhileThePopupSlidesInIsSortedOutWhenItEnds) {
    const TPath picture = Write(L"p.bmp", QuadrantBmp(20, 20));
    const TPath sound = Write(L"s.wav", "RIFF");
    using S = std::vector<std::string>;
    const struct {
        const char* what;
        std::function<void(AnswersAttachTest&)> during;  // inside the first show
        S calls;
        int preview;  // where the preview ends up
        int hovered;
    } cases[] = {
        {"the pointer slips out of the answer, no message yet",
         [](AnswersAttachTest& t) {
             POINT gap = {Centre(t.list.PanelRect(1)).x, t.list.PanelRect(1).bottom + 4};
             ClientToScreen(t.list.Handle(), &gap);
             SetCursorPos(gap.x, gap.y);
         },
         {"show 1 -1x-1", "hide"}, -1, -1},
        {"the pointer rests on the answer's very edge",
         [](AnswersAttachTest& t) {
             POINT edge = {t.list.PanelRect(1).left, Centre(t.list.PanelRect(1)).y};
             ClientToScreen(t.list.Handle(), &edge);
             SetCursorPos(edge.x, edge.y);
         },
         {"show 1 -1x-1", "hide"}, -1, -1},
        {"the pointer stays", [](AnswersAttachTest&) {}, {"show 1 -1x-1"}, 1, 1},
        {"the pointer leaves the list",
         [](AnswersAttachTest& t) { t.PointerAway(); },
         {"show 1 -1x-1", "hide"}, -1, -1},
        {"the pointer moves to another picture",
         [](AnswersAttachTest& t) { t.MoveOver(2); },
         {"show 1 -1x-1", "hide", "show 1 -1x-1"}, 2, 2},
        {"the pointer moves to a plain answer",
         [](AnswersAttachTest& t) { t.MoveOver(0); },
         {"show 1 -1x-1", "hide"}, -1, 0},
        {"the pointer moves to a sound and back",
         [](AnswersAttachTest& t) {
             t.MoveOver(3);
             t.MoveOver(1);
         },
         {"show 1 -1x-1"}, 1, 1},
        {"the pointer moves to a sound",
         [](AnswersAttachTest& t) { t.MoveOver(3); },
         {"show 1 -1x-1", "hide", "play"}, 3, 3},
        {"the answers are cleared",
         [](AnswersAttachTest& t) { t.list.Clear(); },
         {"show 1 -1x-1", "hide"}, -1, -1},
        {"the answers are cleared and filled again",
         [](AnswersAttachTest& t) {
             t.list.Clear();
             t.Add("new");
         },
         {"show 1 -1x-1", "hide"}, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        list.Clear();
        host = TFakeHost();
        Add("plain");
        Add("picture", akPicture, picture, Options(true));
        Add("another picture", akPicture, picture, Options(true));
        Add("sound", akSound, sound, Options(false, true));
        host.DuringShow = [&] { c.during(*this); };
        MoveOver(1);
        EXPECT_EQ(host.Calls, c.calls);
        EXPECT_EQ(list.PreviewPosition(), c.preview);
        EXPECT_EQ(list.HoveredPosition(), c.hovered);
        EXPECT_EQ(host.PopupShown, c.preview == 1 || c.preview == 2) << "shown iff over a picture answer";
        EXPECT_FALSE(host.Twice);
        if (c.hovered < 0 && list.Count() > 1) {
            EXPECT_EQ(list.ColorsOf(1).Background, kGrey) << "left: normal colours";
        }
    }
}

TEST_F(AnswersAttachTest, ClearingOrDraggingEndsThePreview) {
    const TPath picture = Write(L"p.bmp", QuadrantBmp(20, 20));
    const TPath sound = Write(L"s.wav", "RIFF");
    Add("K", akPicture, picture, Options(true));
    Add("L", akSound, sound, Options(false, true));
    MoveOver(0);
    list.Clear();
    EXPECT_EQ(host.Calls, (std::vector<std::string>{"show 1 -1x-1", "hide"}));
    EXPECT_EQ(list.PreviewPosition(), -1);
    list.Clear();
    EXPECT_EQ(host.Calls.size(), 2u) << "nothing left to end";

    host = TFakeHost();
    list.Model.Mode = lmOrdering;
    Add("K", akPicture, picture, Options(true));
    Add("L", akSound, sound, Options(false, true));
    Add("M");
    MoveOver(1);
    const POINT at = Centre(list.PanelRect(1));
    SendMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ASSERT_EQ(list.DraggedPosition(), 1);
    EXPECT_EQ(host.Calls, (std::vector<std::string>{"play", "stop"})) << "the drag stops the sound";
    MoveOver(0);
    EXPECT_EQ(host.Calls.size(), 2u) << "no preview while dragging";
    const POINT drop = Centre(list.PanelRect(2));
    MoveTo(drop);
    SendMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(drop.x, drop.y));
    EXPECT_EQ(list.Model.Entries()[2].Text, "L");
    // Dropped: the pointer rests over the moved sound answer, which plays again.
    EXPECT_EQ(host.Calls, (std::vector<std::string>{"play", "stop", "play"}));
    EXPECT_EQ(list.PreviewPosition(), 2);
}

TEST_F(AnswersAttachTest, ALockedListShowsNoPreview) {
    const TPath picture = Write(L"p.bmp", QuadrantBmp(20, 20));
    const TPath sound = Write(L"s.wav", "RIFF");
    list.Model.Locked = true;
    Add("K", akPicture, picture, Options(true));
    Add("L", akSound, sound, Options(false, true));
    Add("M", akVideo, sound);
    for (int position : {0, 1, 2, 0}) MoveOver(position);
    PointerAway();
    EXPECT_TRUE(host.Calls.empty());
    EXPECT_EQ(list.PreviewPosition(), -1);
}
