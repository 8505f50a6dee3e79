#include <gtest/gtest.h>

#include <ostream>

#include "windows/AttachLayout.h"

std::ostream& operator<<(std::ostream& os, const TAttachRect& rc) {
    return os << "{" << rc.Left << ", " << rc.Top << ", " << rc.Width << " x " << rc.Height << "}";
}

namespace {

struct TPictureCase {
    const char* name;
    int32_t viewWidth, viewHeight, pictureWidth, pictureHeight;
    uint8_t mode;
    bool visible;
    TAttachRect image;
    bool hBar, vBar;
    int32_t hPage, hPosition, vPage, vPosition;
};

}  // namespace

TEST(AttachLayout, ViewerPictureByScaleMode) {
    const TAttachRect current = {5, 6, 7, 8};
    const TPictureCase cases[] = {
        // Larger than the view: centred with negative offsets, both bars, at the centre's position.
        {"natural, larger", 404, 304, 800, 600, 0, true, {-198, -148, 800, 600}, true, true, 50, 25, 50, 25},
        {"natural, smaller", 404, 304, 100, 50, 0, true, {152, 127, 100, 50}, false, false, 100, -152, 100, -254},
        {"natural, only wider", 404, 304, 800, 100, 0, true, {-198, 102, 800, 100}, true, false, 50, 25, 100, -102},
        // 100 x 800: page 12.5 and position 43.5 both go to the even neighbour.
        {"natural, halves", 104, 304, 800, 600, 0, true, {-348, -148, 800, 600}, true, true, 12, 44, 50, 25},
        {"stretched", 404, 304, 800, 600, 1, true, {2, 2, 400, 300}, false, false, 100, 0, 100, -1},
        {"stretched, small picture", 404, 304, 10, 10, 1, true, {2, 2, 400, 300}, false, false, 100, 0, 100, -1},
        {"fitted, wide", 404, 304, 800, 200, 2, true, {2, 100, 400, 100}, false, false, 100, 0, 100, -100},
        {"fitted, tall", 404, 304, 100, 400, 2, true, {162, 2, 75, 300}, false, false, 100, -216, 100, -1},
        {"fitted, same proportions", 404, 304, 800, 600, 2, true, {0, 2, 400, 300}, false, false, 100, 0, 100, -1},
        {"other mode keeps its place", 404, 304, 800, 600, 3, true, {5, 6, 7, 8}, false, false, 100, -71, 100, -75},
        // Four factors whose 32-bit product wraps to 0.
        {"256 x 256 is shown", 260, 260, 256, 256, 0, true, {2, 2, 256, 256}, false, false, 100, -1, 100, -1},
        {"empty picture", 404, 304, 0, 0, 0, false, current, false, false, 0, 0, 0, 0},
        {"no width", 404, 304, 0, 600, 1, false, current, false, false, 0, 0, 0, 0},
        {"inner height 0", 404, 4, 800, 600, 0, false, current, false, false, 0, 0, 0, 0},
        {"inner height below 0", 404, 3, 800, 600, 2, false, current, false, false, 0, 0, 0, 0},
        {"inner width below 0", 3, 304, 800, 600, 0, false, current, false, false, 0, 0, 0, 0},
    };
    for (const TPictureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TPictureViewLayout out =
            PlaceViewerPicture(c.viewWidth, c.viewHeight, c.pictureWidth, c.pictureHeight, c.mode, current);
        EXPECT_EQ(out.ImageVisible, c.visible);
        EXPECT_EQ(out.Image, c.image);
        EXPECT_EQ(out.HBarVisible, c.hBar);
        EXPECT_EQ(out.VBarVisible, c.vBar);
        EXPECT_EQ(out.HScrollSet, c.visible);
        EXPECT_EQ(out.VScrollSet, c.visible);
        if (!c.visible) continue;
        EXPECT_EQ(out.HPage, c.hPage);
        EXPECT_EQ(out.HPosition, c.hPosition);
        EXPECT_EQ(out.VPage, c.vPage);
        EXPECT_EQ(out.VPosition, c.vPosition);
    }
}

TEST(AttachLayout, ScrollPositionMovesThePicture) {
    struct {
        int32_t position, size, offset;
    } const cases[] = {
        {0, 800, 0},   {25, 800, -200}, {51, 800, -408}, {100, 800, -800},
        {1, 50, 0},    {3, 50, -2},     {5, 50, -2},     {7, 50, -4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PictureScrollOffset(c.position, c.size), c.offset) << c.position << " of " << c.size;
    }
    // A bar at 0 shows the picture's left and top edge, whatever the view.
    const TPictureViewLayout out = PlaceViewerPicture(404, 304, 800, 600, 0, {});
    EXPECT_EQ(PictureScrollOffset(0, out.Image.Width), 0);
    EXPECT_EQ(PictureScrollOffset(0, out.Image.Height), 0);
    // The starting position stands for (nearly) the centred picture.
    EXPECT_EQ(PictureScrollOffset(out.HPosition, out.Image.Width), -200);
}

TEST(AttachLayout, ViewerObjectFitsItsProportions) {
    struct {
        const char* name;
        int32_t viewWidth, viewHeight, width, height;
        bool visible;
        TAttachRect object;
    } const cases[] = {
        // As high as the view minus 4, a quarter as wide, centred in the view width minus 4.
        {"tall in a wide view", 604, 304, 100, 400, true, {262, 2, 75, 300}},
        {"wide in a square view", 304, 304, 400, 100, true, {2, 112, 300, 75}},
        {"no width", 304, 304, 0, 100, false, {}},
        {"no height", 304, 304, 100, 0, false, {}},
        {"inner area empty", 4, 304, 100, 100, false, {}},
        {"inner height below 0", 304, 2, 100, 100, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TObjectViewLayout out = PlaceViewerObject(c.viewWidth, c.viewHeight, c.width, c.height);
        EXPECT_EQ(out.Visible, c.visible);
        if (c.visible) {
            EXPECT_EQ(out.Object, c.object);
        }
    }
}

TEST(AttachLayout, ViewerWindowUnderTheQuestion) {
    // A 1024 x 768 stage: question panel at 10 and 210 high, the information box 93 high, so
    // 512 by 435 are free; the window's caption and frame take 30, the status bar 20.
    auto input = [](int32_t pw, int32_t ph, int32_t extra, bool fixed) {
        TViewerPlacementInput in;
        in.MainWidth = 1024;
        in.MainHeight = 768;
        in.QuestionTop = 10;
        in.QuestionHeight = 210;
        in.InfoHeight = 93;
        in.PreferredWidth = pw;
        in.PreferredHeight = ph;
        in.ExtraHeight = extra;
        in.FixedHeight = fixed;
        in.NonClientHeight = 30;
        in.StatusHeight = 20;
        return in;
    };
    struct {
        const char* name;
        TViewerPlacementInput in;
        bool status;
        TAttachRect window;
    } const cases[] = {
        // As wide as the question panel, 34 client pixels high.
        {"sound", input(512, 34, 0, true), false, {0, 230, 512, 64}},
        {"wide picture: full width", input(800, 600, 0, false), true, {0, 230, 512, 434}},
        // 300 * 385 / 600 = 192.5 goes to the even neighbour.
        {"tall picture: full height", input(300, 600, 0, false), true, {0, 230, 192, 435}},
        {"video with its bars", input(320, 240, 67, false), true, {0, 230, 424, 435}},
        {"nothing to show: 200 x 100", input(0, 0, 0, false), true, {0, 230, 512, 306}},
        {"no height: 100", input(400, 0, 0, false), true, {0, 230, 512, 178}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TViewerPlacement out = PlaceViewerWindow(c.in);
        EXPECT_EQ(out.StatusVisible, c.status);
        EXPECT_EQ(out.Window, c.window);
    }

    // A question so tall that nothing is left below it: a flat window, no division by zero.
    TViewerPlacementInput tall = input(800, 600, 0, false);
    tall.QuestionHeight = 700;
    const TViewerPlacement out = PlaceViewerWindow(tall);
    EXPECT_EQ(out.Window, (TAttachRect{0, 720, 1, 51}));
}

TEST(AttachLayout, ObjectInPlaceOfTheQuestionText) {
    // Panel 512 wide at 10 with a border of 10: margin 16, 480 by 623 for the object.
    auto input = [](int32_t width, int32_t height) {
        TEmbeddedObjectInput in;
        in.MainHeight = 768;
        in.PanelWidth = 512;
        in.PanelTop = 10;
        in.PanelBorder = 10;
        in.InfoHeight = 93;
        in.ObjectWidth = width;
        in.ObjectHeight = height;
        return in;
    };
    struct {
        const char* name;
        TEmbeddedObjectInput in;
        TAttachRect object;
        int32_t panelHeight;
    } const cases[] = {
        {"wide: full width", input(400, 100), {16, 16, 480, 120}, 152},
        {"tall: full height, centred", input(100, 400), {178, 16, 155, 623}, 655},
        {"no size: 200 x 100", input(0, 0), {16, 16, 480, 240}, 272},
        {"no width: 200", input(0, 300), {48, 16, 415, 623}, 655},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TEmbeddedObjectPlacement out = PlaceEmbeddedObject(c.in);
        EXPECT_EQ(out.Object, c.object);
        EXPECT_EQ(out.PanelHeight, c.panelHeight);
        EXPECT_EQ(out.PanelHeight, out.Object.Height + 32);
    }
}

TEST(AttachLayout, PopupSizeFollowsTheMainWindow) {
    struct {
        int32_t mainWidth, mainHeight, width, height;
    } const cases[] = {
        {1024, 768, 482, 210},
        {1023, 765, 482, 210},  // 511.5 and 229.5 round up to even
        {1021, 755, 480, 206},  // 510.5 and 226.5 round down to even
        {0, 0, -30, -20},
    };
    for (const auto& c : cases) {
        const TAttachSize size = PopupSize(c.mainWidth, c.mainHeight);
        EXPECT_EQ(size.Width, c.width) << c.mainWidth;
        EXPECT_EQ(size.Height, c.height) << c.mainHeight;
    }
}

TEST(AttachLayout, PopupPicture) {
    // A content panel of 200 x 100: the inner area is 196 x 96.
    struct {
        const char* name;
        int32_t panelWidth, panelHeight, width, height;
        bool stretch;
        TAttachRect image;
    } const cases[] = {
        {"exactly the inner area", 200, 100, 196, 96, false, {2, 2, 196, 96}},
        {"small, centred", 200, 100, 100, 50, false, {50, 25, 100, 50}},
        // Scaled by the same factor, 2 pixels nearer the top than centred.
        {"twice as wide, low", 200, 100, 392, 20, true, {2, 43, 196, 10}},
        {"one pixel too wide", 200, 100, 197, 96, true, {2, 0, 196, 95}},
        {"tall", 200, 100, 196, 192, true, {49, 2, 98, 96}},
        {"equal ratios go by the height", 200, 100, 392, 192, true, {0, 2, 196, 96}},
        {"empty picture", 200, 100, 0, 0, false, {100, 50, 0, 0}},
        {"empty picture, tiny panel", 3, 3, 0, 0, false, {1, 1, 0, 0}},
        {"tiny panel", 3, 3, 10, 10, true, {2, 2, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TPopupPicture out = PlacePopupPicture(c.panelWidth, c.panelHeight, c.width, c.height);
        EXPECT_EQ(out.Stretch, c.stretch);
        EXPECT_EQ(out.Image, c.image);
    }
}

TEST(AttachLayout, PopupObject) {
    struct {
        const char* name;
        int32_t panelWidth, panelHeight, width, height;
        TAttachRect object;
    } const cases[] = {
        {"tall", 200, 100, 100, 400, {87, 2, 25, 96}},
        {"wide", 200, 100, 400, 100, {2, 25, 196, 50}},
        {"no width: width 0", 200, 100, 0, 100, {100, 2, 0, 96}},
        {"no height: height 0", 200, 100, 200, 0, {2, 50, 196, 0}},
        {"no size: 200 x 100", 200, 100, 0, 0, {0, 2, 200, 96}},
        {"2.5 rounds to 2", 200, 100, 5, 200, {99, 2, 2, 96}},
        {"3.5 rounds to 4", 200, 100, 7, 200, {98, 2, 4, 96}},
        {"no panel", 0, 0, 100, 100, {2, 2, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PlacePopupObject(c.panelWidth, c.panelHeight, c.width, c.height), c.object);
    }
}

TEST(AttachLayout, DesignMarginsScaleWithTheDpi) {
    // Picture and object sizes come in as screen pixels; only the margin inside the view's bevel is
    // the design's: 2 at 96, 3 at 144, 4 at 192, and 2.5 at 120 goes to the even 2.
    const TAttachRect none;
    struct {
        const char* name;
        int dpi;
        int32_t viewWidth, viewHeight, pictureWidth, pictureHeight;
        uint8_t mode;
        bool visible;
        TAttachRect image;
    } const pictures[] = {
        {"stretched at 144", 144, 406, 306, 800, 600, 1, true, {3, 3, 400, 300}},
        {"stretched at 192", 192, 408, 308, 800, 600, 1, true, {4, 4, 400, 300}},
        {"stretched at 120", 120, 404, 304, 800, 600, 1, true, {2, 2, 400, 300}},
        {"fitted, wide, at 144", 144, 406, 306, 800, 200, 2, true, {3, 100, 400, 100}},
        {"fitted, tall, at 144", 144, 406, 306, 100, 400, 2, true, {162, 3, 75, 300}},
        // Natural size: the caller has scaled the picture already; it is only centred.
        {"natural at 144", 144, 404, 304, 150, 75, 0, true, {127, 114, 150, 75}},
        {"no room inside the margins at 144", 144, 6, 306, 800, 600, 1, false, none},
    };
    for (const auto& c : pictures) {
        SCOPED_TRACE(c.name);
        const TPictureViewLayout out =
            PlaceViewerPicture(c.viewWidth, c.viewHeight, c.pictureWidth, c.pictureHeight, c.mode, none, c.dpi);
        EXPECT_EQ(out.ImageVisible, c.visible);
        if (c.visible) EXPECT_EQ(out.Image, c.image);
    }

    const TObjectViewLayout object = PlaceViewerObject(406, 306, 100, 400, 144);
    EXPECT_TRUE(object.Visible);
    EXPECT_EQ(object.Object, (TAttachRect{162, 3, 75, 300}));
    EXPECT_FALSE(PlaceViewerObject(6, 306, 100, 400, 144).Visible);
}

TEST(AttachLayout, ViewerWindowGapsScaleWithTheDpi) {
    // The stage of ViewerWindowUnderTheQuestion at 144 DPI: the window goes 15 under the question
    // panel and keeps 30 from the information box, so 512 by 425 are free (375 with the bars).
    auto input = [](int32_t pw, int32_t ph, bool fixed) {
        TViewerPlacementInput in;
        in.MainWidth = 1024;
        in.MainHeight = 768;
        in.QuestionTop = 10;
        in.QuestionHeight = 210;
        in.InfoHeight = 93;
        in.PreferredWidth = pw;
        in.PreferredHeight = ph;
        in.FixedHeight = fixed;
        in.NonClientHeight = 30;
        in.StatusHeight = 20;
        in.Dpi = 144;
        return in;
    };
    struct {
        const char* name;
        TViewerPlacementInput in;
        TAttachRect window;
    } const cases[] = {
        {"sound", input(512, 51, true), {0, 235, 512, 81}},
        // 600 / 375 is above 800 / 512 here, where at 96 it was below: full height now.
        {"wide picture", input(800, 600, false), {0, 235, 500, 425}},
        // 300 * 375 / 600 = 187.5 goes to the even neighbour.
        {"tall picture", input(300, 600, false), {0, 235, 188, 425}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PlaceViewerWindow(c.in).Window, c.window);
    }

    // The object in place of the text: a border of 15 (the panel's, scaled by its owner) and 9 more.
    auto embedded = [](int32_t width, int32_t height) {
        TEmbeddedObjectInput in;
        in.MainHeight = 768;
        in.PanelWidth = 512;
        in.PanelTop = 10;
        in.PanelBorder = 15;
        in.InfoHeight = 93;
        in.ObjectWidth = width;
        in.ObjectHeight = height;
        in.Dpi = 144;
        return in;
    };
    struct {
        const char* name;
        TEmbeddedObjectInput in;
        TAttachRect object;
        int32_t panelHeight;
    } const objects[] = {
        {"wide: full width", embedded(400, 100), {24, 24, 464, 116}, 164},
        {"tall: full height, centred", embedded(100, 400), {181, 24, 150, 602}, 650},
    };
    for (const auto& c : objects) {
        SCOPED_TRACE(c.name);
        const TEmbeddedObjectPlacement out = PlaceEmbeddedObject(c.in);
        EXPECT_EQ(out.Object, c.object);
        EXPECT_EQ(out.PanelHeight, c.panelHeight);
    }
}
