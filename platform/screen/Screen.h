#pragma once
// What the recorder needs of the screen: the area recorded (the whole primary
// screen unless another was chosen) as it is now, and the mouse cursor's
// picture and position. The real backend grabs an X11 screen; the engine's
// tests use their own stand-in.
#include "platform/avifile/SourceImage.h"
#include "platform/screen/CaptureLayout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vardocle {

// The whole screen, 32 bits per pixel (blue, green, red, unused), top row
// first. The picture is the grabber's own buffer: valid, and writable so that
// the cursor can be drawn on it, until the next grab. A screen that delivers
// pictures by itself may have none yet (no Pixels): the slot stays empty.
struct TScreenGrab {
    TScreenGrab() = default;
    TScreenGrab(std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride,
                TChangedRows changed = {})
        : Pixels(pixels), Width(width), Height(height), Stride(stride), Changed(changed) {}

    std::uint8_t* Pixels = nullptr;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;
    // A screen that kept its last picture and read again only what changed
    // tells which rows that was.
    TChangedRows Changed;

    TSourceImage Image() const {
        return {Pixels, Width, Height, Stride, TPixelLayout::Bgr0, Changed};
    }
};

// The cursor's picture (premultiplied alpha, red, green, blue from the high
// byte down), its hot spot inside the picture and the pointer's position in
// the grabbed picture.
struct TCursorImage {
    bool Visible = false;
    int X = 0;
    int Y = 0;
    int HotX = 0;
    int HotY = 0;
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
};

// What may have changed since the screen was last asked, as far as it can
// tell; a screen that cannot tell says everything did.
struct TScreenChanges {
    bool Picture = true; // anything drawn, the size or the monitors
    bool Cursor = true;  // the pointer moved or took another picture
};

// Told (on the capture thread) what the user should hear once while the
// recording goes on, in Chinese and in English.
using TScreenNoticeHandler =
    std::function<void(const std::string& Chinese, const std::string& English)>;

class IScreen {
public:
    virtual ~IScreen() = default;
    // Asked once before each frame: a frame in which nothing changed need not
    // be grabbed at all. What is drawn after this call shows in the next one.
    virtual TScreenChanges TakeChanges() { return {}; }
    // The area at its current size and place (by default the whole primary
    // monitor). Raises
    // vardocle::Exception when the screen cannot be read.
    virtual TScreenGrab Grab() = 0;
    // The next grab reads the whole picture again, whatever the screen knows
    // of what changed: the safety net for a change that went unnoticed.
    virtual void GrabWholeNext() {}
    // The caller drew over `part` of the last picture (the cursor): a grab
    // that keeps the picture reads that part again.
    virtual void DrawnOver(const TScreenRect& /*part*/) {}
    // Once the caller is done drawing into the last grab: a screen that kept
    // what the picture was before may leave in grab.Changed only the rows
    // that differ from it, so drawing that left the picture as it was is no
    // change.
    virtual void LeaveOnlyDiffering(TScreenGrab& /*grab*/) {}
    virtual TCursorImage Cursor() = 0;
    // Whether see-through windows, the recorder's own among them, are to be
    // captured too; when not, the picture shows what lies beneath them.
    virtual void SetCaptureTransparent(bool value) = 0;
    // Whether the cursor is to be in the picture. A screen that draws it
    // itself needs to know before its first grab; the others draw it from
    // Cursor() and ignore this.
    virtual void SetCaptureCursor(bool /*value*/) {}
    // Where a notice goes, such as a part of the area leaving the screen.
    virtual void SetNoticeHandler(TScreenNoticeHandler /*handler*/) {}
    // The area's place and size now, when the screen knows them before its
    // first grab: a recording without a size of its own takes the area's.
    virtual std::optional<TScreenRect> AreaNow() { return std::nullopt; }
};

} // namespace vardocle
