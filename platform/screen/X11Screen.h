#pragma once
// The X11 screen: the root window of the default screen, grabbed through a
// shared-memory image (plain XGetImage when the server offers no shared
// memory), and the cursor through XFixes.
#include "platform/screen/Screen.h"

#include <memory>
#include <string>

namespace vardocle {

class TX11Screen : public IScreen {
public:
    // Connects to the display named by DISPLAY (or `displayName`). Raises
    // vardocle::Exception when there is none.
    explicit TX11Screen(const std::string& displayName = {});
    ~TX11Screen() override;
    TX11Screen(const TX11Screen&) = delete;
    TX11Screen& operator=(const TX11Screen&) = delete;

    TScreenGrab Grab() override;
    TCursorImage Cursor() override;
    void SetCaptureTransparent(bool value) override { FCaptureTransparent = value; }

    bool UsesSharedMemory() const;

private:
    struct TState;
    std::unique_ptr<TState> FState;
    bool FCaptureTransparent = false;
};

} // namespace vardocle
