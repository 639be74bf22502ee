#pragma once
// The room left on the disk a recording is written to: the user is told
// once when it runs low, and the recording ends, as Stop ends it, before the
// disk is full, so that its sound is merged and its file complete.
#include <cstdint>
#include <optional>
#include <string>

namespace vardocle {

struct TDiskRoom {
    std::uint64_t Free = 0;  // bytes an ordinary user may still write
    std::uint64_t Total = 0; // the size of the file system
};

// The room on the file system holding Path (a file or folder, existing or
// about to); none when it cannot be read.
std::optional<TDiskRoom> DiskRoomOf(const std::string& Path);

// Below this the recording ends.
inline constexpr std::uint64_t kDiskStopBytes = 200ULL << 20;

// Below this the user is told: 1 GB or 2 % of the disk, whichever is
// smaller, but never less than twice the stopping room, so that a small
// disk warns before it stops.
std::uint64_t DiskWarnBytes(std::uint64_t Total);

class TLowDiskWatch {
public:
    enum class TAction { None, Warn, Stop };
    // What to do now; Warn and Stop are each answered once. A recording
    // started on a disk already below the stopping room (a small disk, a
    // stick) is not stopped at once: it is told, and the full-disk ending
    // stays its last resort.
    TAction Check(const TDiskRoom& Room);

private:
    bool FChecked = false;
    bool FStartedAbove = false;
    bool FWarned = false;
    bool FStopped = false;
};

// The texts, in Chinese and English.
struct TDiskText {
    std::string Chinese;
    std::string English;
};
TDiskText LowDiskWarning(const TDiskRoom& Room, const std::string& Folder);
TDiskText LowDiskStopped(const std::string& SavedFile);

} // namespace vardocle
