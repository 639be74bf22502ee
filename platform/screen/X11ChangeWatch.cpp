#include "platform/screen/X11ChangeWatch.h"

#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>

namespace vardocle {

TX11ChangeWatch::TX11ChangeWatch(Display* connection, Window root, Drawable damaged)
    : FConnection(connection), FRoot(root) {
    int errors = 0;
    int major = 0;
    int minor = 0;
    if (!XDamageQueryExtension(connection, &FDamageEvents, &errors) ||
        !XDamageQueryVersion(connection, &major, &minor))
        return;
    // One notification until the damage is taken away again: a screen drawn
    // on all the time does not flood the connection.
    FDamage = XDamageCreate(connection, damaged ? damaged : root, XDamageReportNonEmpty);
    FHaveFixes = XFixesQueryExtension(connection, &FFixesEvents, &errors);
    if (FHaveFixes) {
        XFixesSelectCursorInput(connection, root, XFixesDisplayCursorNotifyMask);
        FRegion = XFixesCreateRegion(connection, nullptr, 0);
    }
    FHaveRandr = XRRQueryExtension(connection, &FRandrEvents, &errors);
    if (FHaveRandr)
        XRRSelectInput(connection, root,
                       RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask |
                           RROutputChangeNotifyMask | RRResourceChangeNotifyMask);
}

TX11ChangeWatch::~TX11ChangeWatch() {
    if (FDamage)
        XDamageDestroy(FConnection, FDamage);
    if (FRegion)
        XFixesDestroyRegion(FConnection, FRegion);
    if (FKept)
        XFixesDestroyRegion(FConnection, FKept);
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

void TX11ChangeWatch::KeepOnly(const TScreenRect& part) {
    if (!FRegion || part == FKeptPart)
        return;
    FKeptPart = part;
    if (FKept) {
        XFixesDestroyRegion(FConnection, FKept);
        FKept = 0;
    }
    if (part.Empty())
        return;
    XRectangle rectangle{static_cast<short>(part.X), static_cast<short>(part.Y),
                         static_cast<unsigned short>(part.Width),
                         static_cast<unsigned short>(part.Height)};
    FKept = XFixesCreateRegion(FConnection, &rectangle, 1);
}

void TX11ChangeWatch::Clear() {
    FParts.clear();
    FPartsKnown = FDamage != 0 && !FDrawn;
    if (FDamage && FDrawn && FRegion) {
        // The damage taken is exactly what this frame must read again.
        XDamageSubtract(FConnection, FDamage, None, FRegion);
        if (FKept)
            XFixesIntersectRegion(FConnection, FRegion, FRegion, FKept);
        int count = 0;
        XRectangle bounds{};
        XRectangle* parts = XFixesFetchRegionAndBounds(FConnection, FRegion, &count, &bounds);
        if (parts) {
            // Many small parts cost more requests than one rectangle around them.
            constexpr int kMostParts = 16;
            if (count > kMostParts)
                FParts.push_back({bounds.x, bounds.y, bounds.width, bounds.height});
            for (int i = 0; count <= kMostParts && i < count; ++i)
                FParts.push_back({parts[i].x, parts[i].y, parts[i].width, parts[i].height});
            XFree(parts);
            FPartsKnown = true;
        }
    } else if (FDamage && FDrawn) {
        XDamageSubtract(FConnection, FDamage, None, None);
    }
    FDrawn = FCursorLook = FLayout = false;
}

} // namespace vardocle
