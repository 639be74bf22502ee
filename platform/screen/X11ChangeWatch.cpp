#include "platform/screen/X11ChangeWatch.h"

#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>

namespace vardocle {

TX11ChangeWatch::TX11ChangeWatch(Display* connection, Window root)
    : FConnection(connection), FRoot(root) {
    int errors = 0;
    int major = 0;
    int minor = 0;
    if (!XDamageQueryExtension(connection, &FDamageEvents, &errors) ||
        !XDamageQueryVersion(connection, &major, &minor))
        return;
    // One notification until the damage is taken away again: a screen drawn
    // on all the time does not flood the connection.
    FDamage = XDamageCreate(connection, root, XDamageReportNonEmpty);
    FHaveFixes = XFixesQueryExtension(connection, &FFixesEvents, &errors);
    if (FHaveFixes)
        XFixesSelectCursorInput(connection, root, XFixesDisplayCursorNotifyMask);
    FHaveRandr = XRRQueryExtension(connection, &FRandrEvents, &errors);
    if (FHaveRandr)
        XRRSelectInput(connection, root,
                       RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask |
                           RROutputChangeNotifyMask | RRResourceChangeNotifyMask);
}

TX11ChangeWatch::~TX11ChangeWatch() {
    if (FDamage)
        XDamageDestroy(FConnection, FDamage);
    if (FHaveFixes)
        XFixesSelectCursorInput(FConnection, FRoot, 0);
    if (FHaveRandr)
        XRRSelectInput(FConnection, FRoot, 0);
}

bool TX11ChangeWatch::Take(XEvent& event) {
    if (!FDamage)
        return false;
    if (event.type == FDamageEvents + XDamageNotify) {
        FDrawn = true;
        return true;
    }
    if (FHaveFixes && event.type == FFixesEvents + XFixesCursorNotify) {
        FCursorLook = true;
        return true;
    }
    if (FHaveRandr && (event.type == FRandrEvents + RRScreenChangeNotify ||
                       event.type == FRandrEvents + RRNotify)) {
        XRRUpdateConfiguration(&event);
        FLayout = true;
        return true;
    }
    return false;
}

void TX11ChangeWatch::Clear() {
    if (FDamage && FDrawn)
        XDamageSubtract(FConnection, FDamage, None, None);
    FDrawn = FCursorLook = FLayout = false;
}

} // namespace vardocle
