#pragma once
// One window of an X11 desktop: the inside of a program's window (without
// the window manager's frame), wherever it is moved, at whatever size it
// has. With the Composite extension the window's own picture is read, so a
// window covering it does not show and a window partly off the screen shows
// whole; without it, the part of the screen where the window is. Damage on
// the window tells when it was drawn on, so a still window costs one round
// trip a frame. While it is unmapped (minimised, on another workspace) its
// last picture stays; once it is closed, grabs raise EScreenGone.
#include "platform/screen/Screen.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vardocle {

class TX11WindowScreen : public IScreen {
public:
    // Raises vardocle::Exception when there is no display, or no such window
    // (with the message the user sees for a window that is not there).
    explicit TX11WindowScreen(std::uint32_t window, const std::string& displayName = {});
    ~TX11WindowScreen() override;
    TX11WindowScreen(const TX11WindowScreen&) = delete;
    TX11WindowScreen& operator=(const TX11WindowScreen&) = delete;

    TScreenChanges TakeChanges() override;
    // The window's inside at its size now; the size may differ from grab to
    // grab. Raises EScreenGone once the window was closed.
    TScreenGrab Grab() override;
    // The cursor only when it is inside the window, placed relative to it.
    TCursorImage Cursor() override;
    // The window's own picture holds no other window, see-through or not.
    void SetCaptureTransparent(bool /*value*/) override {}
    // Where the window was when the screen was made: a recording without a
    // size of its own takes the window's.
    std::optional<TScreenRect> AreaNow() override { return Placed(); }

    // The window followed: the client window inside the frame it was given by.
    std::uint32_t FollowedWindow() const;
    // Where the window's inside was when the screen was made, in root
    // coordinates: a recording without a size of its own takes this one.
    const TScreenRect& Placed() const;
    // True when the window's own picture is read (Composite).
    bool ReadsOwnPicture() const;

private:
    void TakeEvents();
    void ThrowIfGone();
    bool NameOwnPicture();
    TScreenGrab GrabOwnPicture();
    TScreenGrab GrabScreenPart();
    struct TState;
    std::unique_ptr<TState> FState;
};

// Told when the recorded window closes and the recording ends.
inline constexpr const char* kRecordedWindowClosed = "要录制的窗口已关闭，录像已停止并保存。";

} // namespace vardocle
