#include "windows/AttachLayout.h"

#include <algorithm>

#include "run/Scoring.h"

namespace {

using real = long double;

int32_t MulDivTrunc(int32_t a, int32_t b, int32_t c) {
    return static_cast<int32_t>(static_cast<int64_t>(a) * b / c);
}

}  // namespace

int32_t ObjectWidthOrDefault(int32_t width) { return width > 0 ? width : kDefaultObjectWidth; }

int32_t ObjectHeightOrDefault(int32_t height) { return height > 0 ? height : kDefaultObjectHeight; }

TAttachRect FitIntoInner(int32_t innerWidth, int32_t innerHeight, int32_t width, int32_t height, int dpi) {
    TAttachRect rc;
    const int32_t margin = ScaleForDpi(kViewMargin, dpi);
    if (static_cast<real>(height) / innerHeight >= static_cast<real>(width) / innerWidth) {
        rc.Top = margin;
        rc.Height = innerHeight;
        rc.Width = MulDivTrunc(width, innerHeight, height);
        rc.Left = (innerWidth - rc.Width) / 2;
    } else {
        rc.Left = margin;
        rc.Width = innerWidth;
        rc.Height = MulDivTrunc(height, innerWidth, width);
        rc.Top = (innerHeight - rc.Height) / 2;
    }
    return rc;
}

TPictureViewLayout PlaceViewerPicture(int32_t viewWidth, int32_t viewHeight, int32_t pictureWidth,
                                      int32_t pictureHeight, uint8_t scaleMode, const TAttachRect& current,
                                      int dpi) {
    TPictureViewLayout out;
    out.Image = current;
    const int32_t margin = ScaleForDpi(kViewMargin, dpi);
    const int32_t innerWidth = viewWidth - 2 * margin;
    const int32_t innerHeight = viewHeight - 2 * margin;
    // Any empty factor hides the picture. Multiplying the four in 32 bits, as a quick test for
    // zero, would wrap to 0 for a 256 x 256 picture in a 260 x 260 view. A view too narrow for
    // its margins hides the picture as one too low does.
    if (pictureWidth <= 0 || pictureHeight <= 0 || innerWidth <= 0 || innerHeight <= 0) return out;

    out.ImageVisible = true;
    switch (scaleMode) {
    case 0:
        out.Image = {(viewWidth - pictureWidth) / 2, (viewHeight - pictureHeight) / 2, pictureWidth, pictureHeight};
        break;
    case 1:
        out.Image = {margin, margin, innerWidth, innerHeight};
        break;
    case 2:
        out.Image = FitIntoInner(innerWidth, innerHeight, pictureWidth, pictureHeight, dpi);
        break;
    default:
        break;
    }
    const TAttachRect& image = out.Image;
    out.HBarVisible = image.Width > viewWidth;
    out.VBarVisible = image.Height > viewHeight;
    const real range = kPictureScrollRange;
    if (image.Width > 0) {
        out.HScrollSet = true;
        out.HPage = std::min(RoundToInt32(static_cast<real>(innerWidth) / image.Width * range), kPictureScrollRange);
        out.HPosition = -RoundToInt32(static_cast<real>(image.Left) / image.Width * range);
    }
    if (image.Height > 0) {
        out.VScrollSet = true;
        out.VPage = std::min(RoundToInt32(static_cast<real>(innerHeight) / image.Height * range), kPictureScrollRange);
        out.VPosition = -RoundToInt32(static_cast<real>(image.Top) / image.Height * range);
    }
    return out;
}

int32_t PictureScrollOffset(int32_t position, int32_t imageSize) {
    return -RoundToInt32(static_cast<real>(position) / kPictureScrollRange * imageSize);
}

TObjectViewLayout PlaceViewerObject(int32_t viewWidth, int32_t viewHeight, int32_t objectWidth, int32_t objectHeight,
                                    int dpi) {
    TObjectViewLayout out;
    const int32_t margin = ScaleForDpi(kViewMargin, dpi);
    const int32_t innerWidth = viewWidth - 2 * margin;
    const int32_t innerHeight = viewHeight - 2 * margin;
    if (objectWidth <= 0 || objectHeight <= 0 || innerWidth <= 0 || innerHeight <= 0) return out;
    out.Visible = true;
    out.Object = FitIntoInner(innerWidth, innerHeight, objectWidth, objectHeight, dpi);
    return out;
}

TViewerPlacement PlaceViewerWindow(const TViewerPlacementInput& in) {
    TViewerPlacement out;
    int32_t availWidth = RoundToInt32(static_cast<real>(in.MainWidth) * 50 / 100);
    int32_t availHeight = in.MainHeight - (in.QuestionTop + in.QuestionHeight) - in.InfoHeight - ScaleForDpi(20, in.Dpi);
    const int32_t width = ObjectWidthOrDefault(in.PreferredWidth);
    const int32_t height = ObjectHeightOrDefault(in.PreferredHeight);
    int32_t extra = in.ExtraHeight;
    out.StatusVisible = !in.FixedHeight;
    if (!in.FixedHeight) extra += in.NonClientHeight + in.StatusHeight;
    availHeight -= extra;

    out.Window.Left = 0;
    out.Window.Top = in.QuestionTop + in.QuestionHeight + ScaleForDpi(10, in.Dpi);
    if (in.FixedHeight) {
        out.Window.Width = width;
        out.Window.Height = height + extra + in.NonClientHeight;
        return out;
    }
    // A question too tall to leave room below it still gets a window, however flat.
    availWidth = std::max(availWidth, 1);
    availHeight = std::max(availHeight, 1);
    if (static_cast<real>(height) / availHeight >= static_cast<real>(width) / availWidth) {
        out.Window.Width = RoundToInt32(static_cast<real>(width) * availHeight / height);
        out.Window.Height = availHeight + extra;
    } else {
        out.Window.Width = availWidth;
        out.Window.Height = RoundToInt32(static_cast<real>(height) * availWidth / width) + extra;
    }
    return out;
}

TEmbeddedObjectPlacement PlaceEmbeddedObject(const TEmbeddedObjectInput& in) {
    TEmbeddedObjectPlacement out;
    // The border is the panel's own, already in screen pixels; the gap inside it is the design's.
    const int32_t margin = in.PanelBorder + ScaleForDpi(6, in.Dpi);
    const int32_t availWidth = std::max(in.PanelWidth - 2 * margin, 1);
    const int32_t availHeight =
        std::max(in.MainHeight - in.PanelTop - in.InfoHeight - ScaleForDpi(10, in.Dpi) - 2 * margin, 1);
    const int32_t width = ObjectWidthOrDefault(in.ObjectWidth);
    const int32_t height = ObjectHeightOrDefault(in.ObjectHeight);
    TAttachRect& rc = out.Object;
    rc.Top = margin;
    if (static_cast<real>(height) / availHeight >= static_cast<real>(width) / availWidth) {
        rc.Height = availHeight;
        rc.Width = MulDivTrunc(width, availHeight, height);
        rc.Left = (in.PanelWidth - rc.Width) / 2;
    } else {
        rc.Left = margin;
        rc.Width = availWidth;
        rc.Height = MulDivTrunc(height, availWidth, width);
    }
    out.PanelHeight = rc.Height + 2 * margin;
    return out;
}

TAttachSize PopupSize(int32_t mainWidth, int32_t mainHeight) {
    return {RoundToInt32(static_cast<real>(mainWidth) * 50 / 100) - 30,
            RoundToInt32(static_cast<real>(mainHeight) * 30 / 100) - 20};
}

TPopupPicture PlacePopupPicture(int32_t panelWidth, int32_t panelHeight, int32_t pictureWidth, int32_t pictureHeight) {
    TPopupPicture out;
    const int32_t innerWidth = panelWidth - 4;
    const int32_t innerHeight = panelHeight - 4;
    // An empty picture (one that could not be loaded) counts as fitting anywhere.
    if ((innerWidth >= pictureWidth && innerHeight >= pictureHeight) || pictureWidth <= 0 || pictureHeight <= 0) {
        out.Image = {(panelWidth - pictureWidth) / 2, (panelHeight - pictureHeight) / 2, pictureWidth, pictureHeight};
        return out;
    }
    out.Stretch = true;
    if (innerWidth <= 0 || innerHeight <= 0) {
        out.Image = {2, 2, std::max(innerWidth, 0), std::max(innerHeight, 0)};
        return out;
    }
    TAttachRect& rc = out.Image;
    if (static_cast<real>(pictureWidth) / innerWidth > static_cast<real>(pictureHeight) / innerHeight) {
        rc.Left = 2;
        rc.Width = innerWidth;
        rc.Height = MulDivTrunc(pictureHeight, innerWidth, pictureWidth);
        rc.Top = (panelHeight - rc.Height - 4) / 2;
    } else {
        rc.Top = 2;
        rc.Height = innerHeight;
        rc.Width = MulDivTrunc(pictureWidth, innerHeight, pictureHeight);
        rc.Left = (panelWidth - rc.Width - 4) / 2;
    }
    return out;
}

TAttachRect PlacePopupObject(int32_t panelWidth, int32_t panelHeight, int32_t objectWidth, int32_t objectHeight) {
    if (panelWidth <= 0 || panelHeight <= 0) return {2, 2, 0, 0};
    if (objectWidth <= 0 && objectHeight <= 0) {
        objectWidth = kDefaultObjectWidth;
        objectHeight = kDefaultObjectHeight;
    }
    objectWidth = std::max(objectWidth, 0);
    objectHeight = std::max(objectHeight, 0);
    TAttachRect rc;
    // With a width of 0 this branch is taken whatever the height, so neither branch divides by 0.
    if (static_cast<real>(objectHeight) / panelHeight >= static_cast<real>(objectWidth) / panelWidth) {
        rc.Top = 2;
        rc.Height = panelHeight - 4;
        rc.Width = RoundToInt32(static_cast<real>(objectWidth) * panelHeight / objectHeight);
        rc.Left = (panelWidth - rc.Width) / 2;
    } else {
        rc.Left = 2;
        rc.Width = panelWidth - 4;
        rc.Height = MulDivTrunc(objectHeight, panelWidth, objectWidth);
        rc.Top = (panelHeight - rc.Height) / 2;
    }
    return rc;
}
