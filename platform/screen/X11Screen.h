#pragma once
// The X11 screen: an area of the default screen (the primary monitor unless
// told otherwise: another monitor by its RandR name, or a rectangle), grabbed through a
// shared-memory image (plain XGetImage when the server offers no shared memory), and the cursor
// through XFixes. Unless transparent windows are to be captured, see-through windows are left out
// (Composite and Render), so the recorder never records itself. The server tells what changed
// (Damage, XFixes, RandR), so a frame in which nothing did costs one round trip, and the size, the
// monitors and the cursor's picture are asked for only when they changed.
#include "platform/screen/CaptureArea.h"
#include "platform/screen/Screen.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vardocle {

class TX11Screen : public IScreen {
public:
    // Connects to the display named by DISPLAY (or `displayName`). Raises
    // vardocle::Exception when there is none. Only changes inside `area`
    // count; a part of it that leaves the screen is black in the picture.
    explicit TX11Screen(const std::string& displayName = {}, const TCaptureArea& area = {});
    ~TX11Screen() override;
    TX11Screen(const TX11Screen&) = delete;
    TX11Screen& operator=(const TX11Screen&) = delete;

    TScreenChanges TakeChanges() override;
    // A grab after a question about changes keeps the last picture and reads
    // again only the parts drawn on since then (and those drawn over).
    TScreenGrab Grab() override;
    void GrabWholeNext() override;
    void DrawnOver(const TScreenRect& part) override;
    void LeaveOnlyDiffering(TScreenGrab& grab) override;
    TCursorImage Cursor() override;
    void SetCaptureTransparent(bool value) override { FCaptureTransparent = value; }
    void SetNoticeHandler(TScreenNoticeHandler handler) override;
    std::optional<TScreenRect> AreaNow() override;

    // Where the area lies on the screen now (the layout read afresh).
    TPlacedArea Placement();

    bool UsesSharedMemory() const;
    // False when the server cannot leave see-through windows out; the grab
    // then shows them whatever the option says.
    bool TransparentExclusionAvailable() const;

    // False without the Damage extension: every frame is then grabbed.
    bool TellsChanges() const;
    // Monitors made by hand (RandR 1.5) change without a notification, so
    // the layout is also read again this often (10 s unless set).
    void SetLayoutCheckInterval(std::chrono::milliseconds interval);

private:
    void TakeEvents();
    // True when the size or the monitors differ from what was read before.
    bool ReadLayout();
    std::optional<std::vector<TScreenRect>> ChangedParts(const TScreenRect& area,
                                                         bool changesTaken);
    bool ReadParts(const TScreenRect& area, const std::vector<TScreenRect>& parts);
    TScreenGrab GrabRect(const TScreenRect& area, bool changesTaken);
    TScreenGrab ReadRect(const TScreenRect& area,
                         const std::optional<std::vector<TScreenRect>>& parts);
    TPlacedArea PlaceNow() const;
    // The monitors by their RandR 1.5 names, then by the names of the
    // outputs they show where no monitor has that name.
    std::vector<TNamedMonitor> ByName() const;
    bool DrawnInside() const;
    bool PointerMatters(int oldX, int oldY) const;
    struct TState;
    std::unique_ptr<TState> FState;
    bool FCaptureTransparent = false;
};

// What to tell the user, once, when see-through windows cannot be left out.
struct TScreenNotice {
    const char* Chinese;
    const char* English;
};
TScreenNotice TransparentExclusionMissingNotice();
// What to tell the user, once, when part of the area has left the screen.
TScreenNotice AreaGoneNotice();

} // namespace vardocle
