#pragma once
// The screen of a Wayland desktop, through the desktop's screen-cast portal
// and PipeWire. The portal session starts with the first grab (by then the
// cursor option is known) without waiting for it: until the first picture
// comes, grabs have none and the recording's slots stay empty. After that a
// grab gives the newest picture, the last one again while the screen is still.
// When the desktop ends the sharing, the user declines it or the stream
// breaks, the next grab raises the reason, in Chinese.
#include "platform/screen/Screen.h"

#include <filesystem>
#include <memory>

namespace vardocle {

class TPortalScreen : public IScreen {
public:
    // `tokenFile` keeps the desktop's permission between recordings, so the
    // user chooses the screen once; `maxFrameRate` is what the stream may send.
    TPortalScreen(std::filesystem::path tokenFile, int maxFrameRate);
    ~TPortalScreen() override;
    TPortalScreen(const TPortalScreen&) = delete;
    TPortalScreen& operator=(const TPortalScreen&) = delete;

    // The desktop sends a picture only when something changed, the cursor
    // included: a slot without one needs no grab.
    TScreenChanges TakeChanges() override;
    TScreenGrab Grab() override;
    // The desktop draws the cursor into the picture (or leaves it out).
    TCursorImage Cursor() override { return {}; }
    // The portal cannot leave see-through windows out: they are always in.
    void SetCaptureTransparent(bool) override {}
    void SetCaptureCursor(bool value) override { FEmbedCursor = value; }

    struct TState;

private:
    std::shared_ptr<TState> FState;
    bool FEmbedCursor = true;
};

// The file the restore token is kept in, beside the program's settings.
std::filesystem::path PortalTokenFile();
std::string ReadRestoreToken(const std::filesystem::path& file);
void WriteRestoreToken(const std::filesystem::path& file, const std::string& token);

} // namespace vardocle
