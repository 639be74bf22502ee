#include "recording/DiskSpace.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace vardocle {

namespace {

std::string Megabytes(std::uint64_t Bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu MB", static_cast<unsigned long long>(Bytes >> 20));
    return text;
}

} // namespace

std::optional<TDiskRoom> DiskRoomOf(const std::string& Path) {
    std::filesystem::path place = std::filesystem::absolute(Path);
    std::error_code error;
    // A file not made yet: its folder tells.
    if (!std::filesystem::exists(place, error))
        place = place.parent_path();
    const std::filesystem::space_info space = std::filesystem::space(place, error);
    if (error)
        return std::nullopt;
    return TDiskRoom{space.available, space.capacity};
}

std::uint64_t DiskWarnBytes(std::uint64_t Total) {
    return std::max(std::min<std::uint64_t>(1ULL << 30, Total / 50), 2 * kDiskStopBytes);
}

TLowDiskWatch::TAction TLowDiskWatch::Check(const TDiskRoom& Room) {
    if (!FChecked) {
        FChecked = true;
        FStartedAbove = Room.Free >= kDiskStopBytes;
    }
    if (FStopped)
        return TAction::None;
    if (FStartedAbove && Room.Free < kDiskStopBytes) {
        FStopped = true;
        return TAction::Stop;
    }
    if (!FWarned && Room.Free < DiskWarnBytes(Room.Total)) {
        FWarned = true;
        return TAction::Warn;
    }
    return TAction::None;
}

TDiskText LowDiskWarning(const TDiskRoom& Room, const std::string& Folder) {
    return {"磁盘空间不足：" + Folder + " 只剩 " + Megabytes(Room.Free) + "，剩余不足 " +
                Megabytes(kDiskStopBytes) + " 时录制将自动停止。",
            "low disk space: " + Megabytes(Room.Free) + " left on " + Folder +
                "; the recording stops below " + Megabytes(kDiskStopBytes) + "."};
}

TDiskText LowDiskStopped(const std::string& SavedFile) {
    return {"磁盘剩余空间不足 " + Megabytes(kDiskStopBytes) + "，录制已停止，录像已保存到 " +
                SavedFile,
            "less than " + Megabytes(kDiskStopBytes) +
                " left on the disk: the recording was stopped and saved to " + SavedFile};
}

} // namespace vardocle
