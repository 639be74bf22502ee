#pragma once
// Which screen a recording reads: the X11 screen, or on a Wayland desktop
// the desktop's screen-cast portal (an X11 grab there sees only black).
#include "platform/base/Errors.h"
#include "platform/screen/CaptureArea.h"
#include "platform/screen/Screen.h"
#include "platform/screen/X11Screen.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vardocle {

enum class TScreenBackend { X11, Portal };

// "x11" or "portal"; none for anything else.
std::optional<TScreenBackend> ScreenBackendFromName(std::string_view name);
const char* ScreenBackendName(TScreenBackend backend);

// The backend asked for (the command line) wins, then VARDOCLE_SCREEN, then
// the session: Wayland (WAYLAND_DISPLAY, or XDG_SESSION_TYPE=wayland) takes
// the portal, anything else X11. `environment` looks a variable up.
TScreenBackend
ChooseScreenBackend(std::optional<TScreenBackend> requested,
                    const std::function<std::optional<std::string>(const char*)>& environment);
// The same, from the process's environment.
TScreenBackend ChooseScreenBackend(std::optional<TScreenBackend> requested = std::nullopt);

// A monitor or region that is not wholly on the screen when a recording is
// to start; what() is the Chinese message for the user (AreaMissingMessage).
class EAreaMissing : public Exception {
public:
    using Exception::Exception;
};

// The screen of that backend grabbing `area`; `frameRate` is the recording's.
// Raises EAreaMissing when a monitor or region is not wholly there, and
// vardocle::Exception when there is no such screen or the area cannot be
// recorded by it (a pick not made yet).
std::unique_ptr<IScreen> MakeScreen(TScreenBackend backend, int frameRate,
                                    const TCaptureArea& area = {});

// What to tell the user, once, when see-through windows (the recorder's own
// among them) will be in the picture although they were to be left out.
TScreenNotice SeeThroughNotice(TScreenBackend backend);

} // namespace vardocle
