#pragma once
// What the desktop's screen-cast portal answers, judged without a bus: which
// stream to record, which restore tokens to keep, and what to tell the user
// when the screen cannot be had.
#include "platform/screen/CaptureArea.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vardocle {

// One entry of the "streams" the portal's Start answered.
struct TPortalStream {
    std::uint32_t Node = 0;
    bool HasSize = false;
    int Width = 0;
    int Height = 0;
};

// Why the portal's screen is gone or never came. Each has a message in Chinese
// for the user, with the detail (in English, from the system) appended.
enum class TPortalFailure {
    NoBus,        // no session bus to reach the desktop through
    NoPortal,     // the desktop offers no screen-cast portal
    Cancelled,    // the user declined the desktop's dialog
    Refused,      // the portal answered with an error
    TimedOut,     // the portal did not answer in time
    BadAnswer,    // the portal answered something that cannot be used
    Closed,       // the desktop ended the sharing ("stop sharing")
    StreamFailed, // the picture stream broke or was refused
    NoWindows,    // the desktop cannot cast a single window
    WindowGone,   // the window being cast closed, or the desktop stopped casting it
};

std::string PortalFailureMessage(TPortalFailure failure, const std::string& detail);

// The stream to record: the first one. A missing list, an empty one or a
// stream of zero size is a bad answer (with the reason).
std::variant<TPortalStream, std::string>
ChoosePortalStream(const std::optional<std::vector<TPortalStream>>& streams);

// The kinds of source the portal casts, as the bits of its "types".
enum class TPortalSource : std::uint32_t { Monitor = 1, Window = 2 };

// What the desktop is asked to cast for an area: a window for a window; a
// monitor for the rest, a region being cut from the monitor's picture.
TPortalSource PortalSourceFor(TAreaKind kind);
// Why `source` cannot be asked for when the desktop offers `available` (its
// AvailableSourceTypes; none when that could not be read, and then the
// request is simply tried): none when it can.
std::optional<TPortalFailure> PortalSourceRefusal(TPortalSource source,
                                                  std::optional<std::uint32_t> available);

// A restore token worth storing and sending back: short printable text.
bool IsUsableRestoreToken(const std::string& token);

// The request path the portal will answer a call on, for the caller's
// unique bus name (":1.42") and the call's handle token.
std::string PortalRequestPath(const std::string& uniqueName, const std::string& handleToken);

} // namespace vardocle
