#include "platform/screen/ScreenBackend.h"

#include "platform/screen/X11WindowScreen.h"

#include "platform/screen/X11Screen.h"
#include "platform/screen/portal/PortalScreen.h"

#include <cstdlib>

namespace vardocle {

std::optional<TScreenBackend> ScreenBackendFromName(std::string_view name) {
    if (name == "x11")
        return TScreenBackend::X11;
    if (name == "portal")
        return TScreenBackend::Portal;
    return std::nullopt;
}

const char* ScreenBackendName(TScreenBackend backend) {
    return backend == TScreenBackend::Portal ? "portal" : "x11";
}

TScreenBackend
ChooseScreenBackend(std::optional<TScreenBackend> requested,
                    const std::function<std::optional<std::string>(const char*)>& environment) {
    if (requested)
        return *requested;
    if (const auto named = environment("VARDOCLE_SCREEN"))
        if (const auto backend = ScreenBackendFromName(*named))
            return *backend;
    const auto wayland = environment("WAYLAND_DISPLAY");
    const auto session = environment("XDG_SESSION_TYPE");
    if ((wayland && !wayland->empty()) || (session && *session == "wayland"))
        return TScreenBackend::Portal;
    return TScreenBackend::X11;
}

TScreenBackend ChooseScreenBackend(std::optional<TScreenBackend> requested) {
    return ChooseScreenBackend(requested, [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    });
}

std::unique_ptr<IScreen> MakeScreen(TScreenBackend backend, int frameRate,
                                    const TCaptureArea& area) {
    // The desktop's dialog chooses the monitor or window: each kind keeps
    // its own permission.
    if (backend == TScreenBackend::Portal)
        return std::make_unique<TPortalScreen>(PortalTokenFile(PortalSourceFor(area.Kind)),
                                               frameRate, area);
    if (area.Pick)
        throw Exception("the area is to be picked on the screen before the recording starts");
    // The window's own screen follows the window wherever it goes.
    if (area.Kind == TAreaKind::Window) {
        const std::string missing = AreaMissingMessage(area, TAreaPlacement::Gone);
        try {
            return std::make_unique<TX11WindowScreen>(area.Window);
        } catch (const Exception& error) {
            // No such window is the user's to mend, not a broken display.
            if (error.what() == missing)
                throw EAreaMissing(missing);
            throw;
        }
    }
    auto screen = std::make_unique<TX11Screen>(std::string{}, area);
    if (area.Kind != TAreaKind::Screen) {
        const TAreaPlacement placement = screen->Placement().Placement;
        if (placement != TAreaPlacement::Whole)
            throw EAreaMissing(AreaMissingMessage(area, placement));
    }
    return screen;
}

TScreenNotice SeeThroughNotice(TScreenBackend backend) {
    if (backend == TScreenBackend::X11)
        return TransparentExclusionMissingNotice();
    return {
        "在 Wayland 桌面上，桌面的屏幕录制门户无法去除透明窗体，本程序自己的窗体可能会出现在录像中",
        "on a Wayland desktop the screen-cast portal cannot leave see-through windows out: "
        "the recorder's own windows may appear in the recording"};
}

} // namespace vardocle
