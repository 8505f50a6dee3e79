#pragma once
// Embedded documents (attachment kinds 4 and 5): an OLE container stream ("BDOC", draw aspect,
// storage size, then the compound-file storage) loaded into a storage in memory and drawn
// stretched by OLE. The object is never activated.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Window.h"

// Initialises OLE for the calling thread (once); false when the thread cannot have it.
bool EnsureOle();

class TOleObject {
public:
    TOleObject();
    ~TOleObject();
    TOleObject(const TOleObject&) = delete;
    TOleObject& operator=(const TOleObject&) = delete;

    // Replaces any previous object. OLE is initialised on the calling thread the first time
    // (harmless when it already is); objects are drawn on that thread. A wrong signature
    // fails with "Invalid stream format", a short header or storage with "Stream read
    // error"; a storage that is damaged, or whose cached pictures are, is refused before OLE
    // sees it. On any failure the object is left empty and the reason is given.
    bool LoadFromFile(const TPath& file, std::string* error = nullptr);
    void Clear();
    bool Empty() const;
    uint32_t Aspect() const { return aspect_; }
    // Draws the object's presentation stretched into `target`; an empty object draws nothing.
    // False when the object has no presentation that can be drawn.
    bool Draw(HDC dc, const RECT& target) const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
    uint32_t aspect_ = 1;
};

// The container control: a disabled child window without border that draws its object
// stretched to its client area and never takes the pointer or the keyboard.
class TOleContainer : public TViewControl {
protected:
    ~TOleContainer() override = default;

public:
    bool Create(HWND parent, int x, int y, int width, int height);
    bool LoadFromFile(const TPath& file, std::string* error = nullptr);
    TOleObject Object;
    // Shown where the object draws nothing (all of the control when it is empty).
    COLORREF Color = RGB(255, 255, 255);
    void SetColor(COLORREF color);

protected:
    void Paint(HDC dc) override;
};
