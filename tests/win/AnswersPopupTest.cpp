// The answer attachment popup: a hidden child of the main window whose content panel is built
// anew for every hovered answer, with the picture or object fitted into it.

#include <windows.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "answers/AnswersPopupFormUnit.h"
#include "app/Payload.h"
#include "model/TestData.h"
#include "run/MainFormUnit.h"
#include "tests/win/MainFormAccess.h"
#include "tests/win/AttachTestUtil.h"
#include "tests/win/DpiFit.h"
#include "windows/AttachLayout.h"

using namespace attachtest;

TEST(AnswersPopup, CreatedHiddenInsideTheMainWindow) {
    TPayloadInfo settings;
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    ASSERT_TRUE(main.AnswersPopup);
    HWND popup = main.AnswersPopup->Handle();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(GetParent(popup), main.Handle());
    EXPECT_FALSE(IsWindowVisible(popup));
    EXPECT_EQ(WindowText(popup), L"Вложение ответа");
    const LONG style = GetWindowLongW(popup, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_SYSMENU);
    const RECT rc = RectInParent(popup);
    EXPECT_EQ(WidthOf(rc), 223);
    EXPECT_EQ(HeightOf(rc), 179);
    EXPECT_EQ(main.AnswersPopup->PopupPanel(), nullptr);
}

namespace {

class AnswersPopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        popup = std::make_unique<TOwned<TfAnswersPopup>>(
            [this](const TPath& f, HWND p, HWND s, HWND d, uint8_t m) { return media.Play(f, p, s, d, m); });
        ASSERT_TRUE(popup->Create(stage.Handle()));
        const SIZE main = ClientSizeOf(stage.Handle());
        popup->SetSizeFor(main.cx, main.cy);
        const RECT rc = RectInParent(popup->Handle());
        EXPECT_EQ(WidthOf(rc), static_cast<int>(std::nearbyint(main.cx * 0.5)) - 30);
        EXPECT_EQ(HeightOf(rc), static_cast<int>(std::nearbyint(main.cy * 0.3)) - 20);
    }

    HWND Panel() const { return popup->PopupPanel()->Handle(); }
    SIZE PanelSize() const { return ClientSizeOf(Panel()); }

    TMediaRecorder media;
    TStage stage;
    std::unique_ptr<TOwned<TfAnswersPopup>> popup;
    TScratchFolder scratch;
};

}  // namespace

TEST_F(AnswersPopupTest, EachShowingReplacesTheContentPanel) {
    popup->ShowAttachment(akPicture, WriteBmp(scratch, L"a.bmp", 40, 30), -1, -1);
    HWND first = Panel();
    const SIZE client = ClientSizeOf(popup->Handle());
    const RECT panel = RectInParent(first);
    EXPECT_EQ(panel.left, 10);
    EXPECT_EQ(panel.top, 10);
    EXPECT_EQ(WidthOf(panel), client.cx - 20);
    EXPECT_EQ(HeightOf(panel), client.cy - 20);
    EXPECT_EQ(WindowText(first), L"");
    EXPECT_EQ(ChildrenOf(first).size(), 1u);

    popup->ShowAttachment(akOle, scratch / L"missing.ole", 100, 400);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(ChildrenOf(popup->Handle()), std::vector<HWND>{Panel()});
    EXPECT_EQ(popup->PopupImage(), nullptr);
    ASSERT_NE(popup->OleContain(), nullptr);
    EXPECT_EQ(ChildrenOf(Panel()), std::vector<HWND>{popup->OleContain()->Handle()});

    // A kind without a view: an empty panel.
    popup->ShowAttachment(akSound, scratch / L"s.wav", -1, -1);
    EXPECT_EQ(ChildrenOf(popup->Handle()).size(), 1u);
    EXPECT_TRUE(ChildrenOf(Panel()).empty());
    EXPECT_FALSE(IsWindowVisible(popup->Handle()));
    EXPECT_TRUE(media.Plays.empty());
}

TEST_F(AnswersPopupTest, PicturesFitTheInnerArea) {
    const SIZE panel = [this] {
        popup->ShowAttachment(akNone, L"", -1, -1);
        return PanelSize();
    }();
    const int innerWidth = panel.cx - 4, innerHeight = panel.cy - 4;
    struct {
        const char* name;
        int width, height;
        bool stretch;
        RECT image;  // left, top, right, bottom
    } const cases[] = {
        {"the inner area exactly", innerWidth, innerHeight, false, {2, 2, 2 + innerWidth, 2 + innerHeight}},
        {"small, centred",
         40,
         30,
         false,
         {(panel.cx - 40) / 2, (panel.cy - 30) / 2, (panel.cx - 40) / 2 + 40, (panel.cy - 30) / 2 + 30}},
        {"twice as wide, low",
         2 * innerWidth,
         20,
         true,
         {2, (panel.cy - 10 - 4) / 2, 2 + innerWidth, (panel.cy - 10 - 4) / 2 + 10}},
        {"twice as high, narrow",
         50,
         2 * innerHeight,
         true,
         {(panel.cx - 25 - 4) / 2, 2, (panel.cx - 25 - 4) / 2 + 25, 2 + innerHeight}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        popup->ShowAttachment(akPicture, WriteBmp(scratch, L"p" + std::to_wstring(++n) + L".bmp", c.width, c.height),
                              -1, -1);
        ASSERT_NE(popup->PopupImage(), nullptr);
        EXPECT_EQ(GetParent(popup->PopupImage()->Handle()), Panel());
        EXPECT_EQ(popup->PopupImage()->Picture.Width(), c.width);
        EXPECT_EQ(popup->PopupImage()->Stretch, c.stretch);
        const RECT image = RectInParent(popup->PopupImage()->Handle());
        EXPECT_EQ(image.left, c.image.left);
        EXPECT_EQ(image.top, c.image.top);
        EXPECT_EQ(image.right, c.image.right);
        EXPECT_EQ(image.bottom, c.image.bottom);
    }
}

TEST_F(AnswersPopupTest, PictureThatCannotBeLoadedLeavesAnEmptyPlaceholder) {
    ASSERT_TRUE(WriteWholeFile(scratch / L"broken.bmp", "BM broken"));
    for (const TPath& file : {scratch / L"broken.bmp", scratch / L"missing.jpg"}) {
        popup->ShowAttachment(akPicture, file, -1, -1);
        ASSERT_NE(popup->PopupImage(), nullptr);
        EXPECT_TRUE(popup->PopupImage()->Picture.Empty());
        const RECT image = RectInParent(popup->PopupImage()->Handle());
        EXPECT_EQ(WidthOf(image), 0);
        EXPECT_EQ(HeightOf(image), 0);
    }
}

TEST_F(AnswersPopupTest, ObjectsFillTheInnerAreaAlongOneSide) {
    ASSERT_TRUE(WriteWholeFile(scratch / L"wrong.fme", "NOT A CONTAINER STREAM"));
    popup->ShowAttachment(akNone, L"", -1, -1);
    const SIZE panel = PanelSize();
    struct {
        const char* name;
        int width, height;
        RECT object;
    } const cases[] = {
        {"tall", 100, 400, [&] {
             const int w = static_cast<int>(std::nearbyint(100.0 * panel.cy / 400));
             return RECT{(panel.cx - w) / 2, 2, (panel.cx - w) / 2 + w, panel.cy - 2};
         }()},
        {"wide", 4000, 100, [&] {
             const int h = 100 * panel.cx / 4000;
             return RECT{2, (panel.cy - h) / 2, panel.cx - 2, (panel.cy - h) / 2 + h};
         }()},
        {"no width", 0, 100, RECT{panel.cx / 2, 2, panel.cx / 2, panel.cy - 2}},
        {"no height", 200, 0, RECT{2, panel.cy / 2, panel.cx - 2, panel.cy / 2}},
    };
    for (const TPath& file : {scratch / L"missing.ole", scratch / L"wrong.fme"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            popup->ShowAttachment(akFme, file, c.width, c.height);
            ASSERT_NE(popup->OleContain(), nullptr);
            HWND object = popup->OleContain()->Handle();
            EXPECT_TRUE(popup->OleContain()->Object.Empty());
            EXPECT_EQ(GetParent(object), Panel());
            EXPECT_FALSE(IsWindowEnabled(object));
            const RECT rc = RectInParent(object);
            EXPECT_EQ(rc.left, c.object.left);
            EXPECT_EQ(rc.top, c.object.top);
            EXPECT_EQ(rc.right, c.object.right);
            EXPECT_EQ(rc.bottom, c.object.bottom);
        }
    }
}

TEST_F(AnswersPopupTest, ObjectThatLoadsIsShown) {
    popup->ShowAttachment(akOle, WriteObject(scratch, L"o.ole", 40, 20), 40, 20);
    ASSERT_NE(popup->OleContain(), nullptr);
    EXPECT_FALSE(popup->OleContain()->Object.Empty());
    HWND object = popup->OleContain()->Handle();
    const SIZE size = ClientSizeOf(object);
    EXPECT_GT(size.cx, 0);
    EXPECT_EQ(PrintedPixel(object, size.cx / 2, size.cy / 2), RGB(0x80, 0x80, 0x80));
}

TEST_F(AnswersPopupTest, VideoPlaysOnTheContentPanel) {
    const TPath file = L"C:\\clip.avi";
    popup->ShowAttachment(akVideo, file, -1, -1);
    ASSERT_EQ(media.Plays.size(), 1u);
    EXPECT_EQ(media.Plays[0].File, file);
    EXPECT_EQ(media.Plays[0].Play, nullptr);
    EXPECT_EQ(media.Plays[0].Stop, nullptr);
    EXPECT_EQ(media.Plays[0].Display, Panel());
    EXPECT_EQ(media.Plays[0].ScaleMode, 2);
}

TEST_F(AnswersPopupTest, ContentPanelFollowsThePopupSize) {
    popup->ShowAttachment(akPicture, WriteBmp(scratch, L"a.bmp", 40, 30), -1, -1);
    const RECT image = RectInParent(popup->PopupImage()->Handle());
    SetWindowPos(popup->Handle(), nullptr, 0, 0, 300, 250, SWP_NOMOVE | SWP_NOZORDER);
    const SIZE client = ClientSizeOf(popup->Handle());
    const RECT panel = RectInParent(Panel());
    EXPECT_EQ(panel.left, 10);
    EXPECT_EQ(panel.top, 10);
    EXPECT_EQ(WidthOf(panel), client.cx - 20);
    EXPECT_EQ(HeightOf(panel), client.cy - 20);
    // The picture keeps the place it was given.
    const RECT after = RectInParent(popup->PopupImage()->Handle());
    EXPECT_EQ(after.left, image.left);
    EXPECT_EQ(after.top, image.top);
}

// At the screen's scaling the popup's own pixels (30 and 20 off the main window's shares, the
// content panel's margins of 10) are the design's scaled; the shares stay shares. Moved to another
// scaling, the content is placed again for it.
TEST(DpiFit, AnswerPopupSizeAndContentAtTheScreensScaling) {
    const int dpi = ExpectedTestDpi();
    TStage stage;
    TMediaRecorder media;
    TScratchFolder scratch;
    TOwned<TfAnswersPopup> popup(
        [&media](const TPath& f, HWND p, HWND s, HWND d, uint8_t m) { return media.Play(f, p, s, d, m); });
    ASSERT_TRUE(popup.Create(stage.Handle()));
    EXPECT_EQ(popup.Dpi(), dpi);
    const RECT initial = RectInParent(popup.Handle());
    EXPECT_EQ(WidthOf(initial), ScaleForDpi(223, dpi));
    EXPECT_EQ(HeightOf(initial), ScaleForDpi(179, dpi));
    // A main window of 800 x 560 design pixels: the popup stays within Wine's screen, which bounds a
    // window's size, when it grows by another 25 %.
    const int mainWidth = ScaleForDpi(800, dpi), mainHeight = ScaleForDpi(560, dpi);
    popup.SetSizeFor(mainWidth, mainHeight);
    const RECT sized = RectInParent(popup.Handle());
    EXPECT_EQ(WidthOf(sized), static_cast<int>(std::nearbyint(mainWidth * 0.5)) - ScaleForDpi(30, dpi));
    EXPECT_EQ(HeightOf(sized), static_cast<int>(std::nearbyint(mainHeight * 0.3)) - ScaleForDpi(20, dpi));

    const TPath picture = WriteBmp(scratch, L"a.bmp", 40, 30);
    const auto expectContentFor = [&](int at) {
        ASSERT_NE(popup.PopupPanel(), nullptr);
        EXPECT_EQ(ChildrenOf(popup.Handle()), std::vector<HWND>{popup.PopupPanel()->Handle()}) << "one panel";
        const SIZE client = ClientSizeOf(popup.Handle());
        const RECT panel = RectInParent(popup.PopupPanel()->Handle());
        EXPECT_EQ(panel.left, ScaleForDpi(10, at));
        EXPECT_EQ(panel.top, ScaleForDpi(10, at));
        EXPECT_EQ(WidthOf(panel), client.cx - 2 * ScaleForDpi(10, at));
        EXPECT_EQ(HeightOf(panel), client.cy - 2 * ScaleForDpi(10, at));
        if (popup.PopupImage() == nullptr) return;
        // A picture that fits is shown at its natural size for the screen (40 x 30 pixels at 96 DPI,
        // scaled by DPI / 96 so that it looks the same size), centred in the panel.
        const SIZE inner = ClientSizeOf(popup.PopupPanel()->Handle());
        const RECT image = RectInParent(popup.PopupImage()->Handle());
        EXPECT_EQ(popup.PopupImage()->Picture.Width(), 40);
        const int width = ScaleForDpi(40, at), height = ScaleForDpi(30, at);
        EXPECT_EQ(WidthOf(image), width);
        EXPECT_EQ(HeightOf(image), height);
        EXPECT_EQ(image.left, (inner.cx - width) / 2);
        EXPECT_EQ(image.top, (inner.cy - height) / 2);
    };
    popup.ShowAttachment(akPicture, picture, -1, -1);
    ASSERT_NE(popup.PopupImage(), nullptr);
    expectContentFor(dpi);

    const int other = dpi * 5 / 4;
    SendMessageW(popup.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(other, other), 0);
    EXPECT_EQ(popup.Dpi(), other);
    const RECT grown = RectInParent(popup.Handle());
    EXPECT_EQ(WidthOf(grown), MulDiv(WidthOf(sized), 5, 4)) << "the same share of a main window 25 % larger";
    EXPECT_EQ(HeightOf(grown), MulDiv(HeightOf(sized), 5, 4));
    ASSERT_NE(popup.PopupImage(), nullptr) << "the picture is shown again";
    expectContentFor(other);
    popup.SetSizeFor(mainWidth, mainHeight);
    EXPECT_EQ(WidthOf(RectInParent(popup.Handle())),
              static_cast<int>(std::nearbyint(mainWidth * 0.5)) - ScaleForDpi(30, other));
    EXPECT_EQ(HeightOf(RectInParent(popup.Handle())),
              static_cast<int>(std::nearbyint(mainHeight * 0.3)) - ScaleForDpi(20, other));

    // A clip keeps playing through the change: its panel only moves.
    popup.ShowAttachment(akVideo, L"C:\\clip.avi", -1, -1);
    HWND clipPanel = popup.PopupPanel()->Handle();
    SendMessageW(popup.Handle(), 0x02E0, MAKEWPARAM(dpi, dpi), 0);
    EXPECT_EQ(popup.PopupPanel()->Handle(), clipPanel);
    EXPECT_EQ(media.Plays.size(), 1u);
    expectContentFor(dpi);
}
