#pragma once
// Pictures of questions and answers: JPEG through libjpeg, BMP, EMF and WMF through the
// platform. A picture is drawn stretched into whatever rectangle its user computes.

#include <windows.h>

#include <memory>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Window.h"

class TPicture {
public:
    TPicture();
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // The decoder follows the extension (.jpg/.jpeg, .bmp, .emf, .wmf, any case). False with
    // the reason when the file is missing or cannot be decoded; the picture is then empty.
    // A WMF without the placeable header carries no size of its own: its SetWindowExt
    // record gives it, taken as pixels, else kDefaultMetafileSize square.
    bool LoadFromFile(const TPath& file, std::string* error = nullptr);
    // The same for a picture that will never be drawn larger than maxWidth x maxHeight (say,
    // the screen): a large JPEG is then decoded at a reduced scale that still covers that size,
    // which is several times faster. Width and Height stay the natural size.
    bool LoadFromFile(const TPath& file, std::string* error, int maxWidth, int maxHeight);
    void Clear();
    bool Empty() const;
    // Natural size in pixels (0 x 0 when empty): a raster's own pixels whatever DPI its file
    // states, a metafile's frame in pixels of a 96-DPI screen.
    int Width() const;
    int Height() const;
    // The natural size on a screen of `dpi`: scaled by dpi / 96, so that the picture looks as
    // large at any screen scaling.
    SIZE SizeForDpi(int dpi) const;
    // Stretches the picture into `target`; an empty picture draws nothing.
    void Draw(HDC dc, const RECT& target) const;

    static constexpr int kDefaultMetafileSize = 100;
    // Files larger than this are refused unread.
    static constexpr uint64_t kMaxFileSize = uint64_t{256} * 1024 * 1024;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// A picture control: paints its picture stretched to its client area (Stretch) or at natural
// size (for the control's DPI) from the top left corner; the rest of the area in Color.
class TImage : public TViewControl {
protected:
    ~TImage() override = default;

public:
    bool Create(HWND parent, int x, int y, int width, int height);
    // Loads the picture and repaints; on failure the control shows nothing.
    bool LoadFromFile(const TPath& file, std::string* error = nullptr);
    // For a control that only ever shows its picture stretched into at most that size.
    bool LoadFromFile(const TPath& file, std::string* error, int maxWidth, int maxHeight);
    TPicture Picture;
    bool Stretch = false;
    COLORREF Color = GetSysColor(COLOR_BTNFACE);
    void SetStretch(bool stretch);
    void SetColor(COLORREF color);

protected:
    void Paint(HDC dc) override;
};
