#pragma once
// Where attachments go: the question attachment viewer (its picture, its object and the
// viewer window itself), an object shown in the question panel in place of the text, and the
// answer attachment popup. Sizes in, rectangles out; no windows here. Sizes are a screen's
// pixels; the fixed margins and gaps of the design are scaled for the `dpi` given (96 keeps them).

#include <cstdint>

#include "platform/DpiScale.h"

struct TAttachRect {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TAttachRect& other) const {
        return Left == other.Left && Top == other.Top && Width == other.Width && Height == other.Height;
    }
};

// An object or content that states no size (0) is laid out as 200 x 100, the proportions the
// answer panels give such an object; each side is replaced on its own. Without it the fitting
// would divide by zero.
constexpr int32_t kDefaultObjectWidth = 200;
constexpr int32_t kDefaultObjectHeight = 100;
int32_t ObjectWidthOrDefault(int32_t width);
int32_t ObjectHeightOrDefault(int32_t height);

// The viewer's picture scroll bars run from 0 to 100.
constexpr int32_t kPictureScrollRange = 100;
constexpr int32_t kPictureScrollPage = 10;

// The margin inside a view's edges, in design pixels.
constexpr int32_t kViewMargin = 2;
// A w x h rectangle fitted into the inner area W x H of a view (the margin inside each edge):
// the limiting side takes all of it from the margin, the other is centred by (inner - size) div 2.
// w and h must not be 0.
TAttachRect FitIntoInner(int32_t innerWidth, int32_t innerHeight, int32_t width, int32_t height, int dpi = kDesignDpi);

// The viewer's picture in its view (pnlPictureResize).
struct TPictureViewLayout {
    bool ImageVisible = false;
    TAttachRect Image;
    bool HBarVisible = false, VBarVisible = false;
    // Page and position of each bar; set only for an image with a width (height) above 0.
    bool HScrollSet = false, VScrollSet = false;
    int32_t HPage = 0, HPosition = 0, VPage = 0, VPosition = 0;
};
// Scale mode 0 natural size centred, 1 stretched into the inner area, 2 fitted keeping the
// proportions; any other mode keeps `current`. The picture's size is the one it has on this
// screen (its natural size scaled for the DPI).
TPictureViewLayout PlaceViewerPicture(int32_t viewWidth, int32_t viewHeight, int32_t pictureWidth,
                                      int32_t pictureHeight, uint8_t scaleMode, const TAttachRect& current,
                                      int dpi = kDesignDpi);
// The image offset a scroll bar position stands for (scbPictureViewHChange, ...VChange).
int32_t PictureScrollOffset(int32_t position, int32_t imageSize);

// The viewer's object in its view (pnlOleResize): hidden when either stated side or the inner
// area is empty.
struct TObjectViewLayout {
    bool Visible = false;
    TAttachRect Object;
};
TObjectViewLayout PlaceViewerObject(int32_t viewWidth, int32_t viewHeight, int32_t objectWidth, int32_t objectHeight,
                                    int dpi = kDesignDpi);

// The viewer window under the question panel.
struct TViewerPlacementInput {
    int32_t MainWidth = 0, MainHeight = 0;
    int32_t QuestionTop = 0, QuestionHeight = 0;
    int32_t InfoHeight = 0;
    // What the frame asks for.
    int32_t PreferredWidth = 0, PreferredHeight = 0, ExtraHeight = 0;
    bool FixedHeight = false;
    // The viewer's window height minus its client height, and the status bar's height.
    int32_t NonClientHeight = 0, StatusHeight = 0;
    // The main window's DPI: the gaps under the question panel scale with it.
    int Dpi = kDesignDpi;
};
struct TViewerPlacement {
    bool StatusVisible = false;
    // Outer rectangle in the main window's client area.
    TAttachRect Window;
};
TViewerPlacement PlaceViewerWindow(const TViewerPlacementInput& in);

// An object shown in the question panel instead of the text.
struct TEmbeddedObjectInput {
    int32_t MainHeight = 0;
    int32_t PanelWidth = 0, PanelTop = 0, PanelBorder = 10;
    int32_t InfoHeight = 0;
    int32_t ObjectWidth = 0, ObjectHeight = 0;
    // The main window's DPI: the margins inside the panel's border scale with it.
    int Dpi = kDesignDpi;
};
struct TEmbeddedObjectPlacement {
    TAttachRect Object;  // in the panel
    int32_t PanelHeight = 0;
};
TEmbeddedObjectPlacement PlaceEmbeddedObject(const TEmbeddedObjectInput& in);

// The answer popup: its size for a main window, and its content in the content panel of
// PW x PH.
struct TAttachSize {
    int32_t Width = 0, Height = 0;
};
TAttachSize PopupSize(int32_t mainWidth, int32_t mainHeight);
// A picture that fits the inner area keeps its natural size, centred; a larger one is scaled
// down (Stretch) keeping its proportions.
struct TPopupPicture {
    bool Stretch = false;
    TAttachRect Image;
};
TPopupPicture PlacePopupPicture(int32_t panelWidth, int32_t panelHeight, int32_t pictureWidth, int32_t pictureHeight);
// An object always fills the inner area along one side. One stated side of 0 gives that
// side 0; both 0 take the default size.
TAttachRect PlacePopupObject(int32_t panelWidth, int32_t panelHeight, int32_t objectWidth, int32_t objectHeight);
