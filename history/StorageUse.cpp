#include "history/StorageUse.h"

#include "platform/base/Errors.h"
#include "platform/base/Paths.h"
#include "platform/base/Text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vardocle {

namespace {

bool Contains(const std::vector<std::string>& paths, const std::string& path) {
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

} // namespace

std::optional<std::uint64_t> StoredFileSize(const std::string& path) {
    struct stat info {};
    // A folder or a device under a record's name is no recording to count.
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::vector<TStoredRecording> ReadStoredRecordings(const THistoryFile& history) {
    std::vector<TStoredRecording> records;
    THistoryReader reader = history.OpenReader();
    HistoryRecord record;
    try {
        while (reader.Next(record))
            records.push_back(
                {record.FilePath, record.RecordTime, StoredFileSize(record.FilePath)});
    } catch (const EReadError&) {
        // An incomplete last record names nothing yet.
    }
    return records;
}

QString StorageSizeText(std::uint64_t bytes) {
    static constexpr std::array<const char*, 5> kUnits{"B", "KB", "MB", "GB", "TB"};
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < kUnits.size()) {
        value /= 1024.0;
        ++unit;
    }
    // One decimal while it says something: "1.2 GB", "35.4 MB", "820 KB".
    const int decimals = value < 99.95 ? 1 : 0;
    return QStringLiteral("%1 %2").arg(value, 0, 'f', decimals).arg(QLatin1String(kUnits[unit]));
}

QString StorageStatusText(const std::vector<TStoredRecording>& records) {
    std::set<std::string> counted;
    for (const TStoredRecording& record : records)
        if (record.Size)
            counted.insert(record.Path);
    return QStringLiteral("录像共 %1 个，占用 %2")
        .arg(counted.size())
        .arg(StorageSizeText(RecordingsTotal(records)));
}

std::uint64_t TStorageDeletion::Freed() const {
    std::uint64_t freed = 0;
    for (const TStorageCut& cut : Deleted)
        freed += cut.Size;
    return freed;
}

TStorageDeletion DeleteRecordingFiles(const std::vector<TStorageCut>& cuts,
                                      const std::vector<std::string>& keep) {
    // The sound files of the files in use are theirs, whatever their case of
    // ".avi": "a.AVI" being written has the same "a.Wav" as an old "a.avi".
    std::vector<std::string> soundInUse;
    soundInUse.reserve(keep.size());
    for (const std::string& path : keep)
        soundInUse.push_back(ChangeFileExt(path, ".Wav"));
    TStorageDeletion deletion;
    for (const TStorageCut& cut : cuts) {
        // Gone already: its records name nothing and may go too.
        if (::unlink(cut.Path.c_str()) != 0 && errno != ENOENT) {
            deletion.Failed.emplace_back(cut.Path, SystemErrorText(errno));
            continue;
        }
        deletion.Deleted.push_back(cut);
        const std::string sound = ChangeFileExt(cut.Path, ".Wav");
        if (sound != cut.Path && !Contains(soundInUse, sound) && StoredFileSize(sound))
            ::unlink(sound.c_str()); // a leftover beside it; nothing else refers to it
    }
    return deletion;
}

TStorageDeletion FreeStorage(const std::vector<TStoredRecording>& records,
                             std::vector<std::string> keep, std::uint64_t limitBytes) {
    std::vector<TStoredRecording> left = records;
    TStorageDeletion total;
    for (;;) {
        const TStoragePlan plan = PlanStorageLimit(left, keep, limitBytes);
        if (plan.Cuts.empty())
            return total;
        TStorageDeletion step = DeleteRecordingFiles(plan.Cuts, keep);
        std::vector<std::string> gone;
        for (const TStorageCut& cut : step.Deleted)
            gone.push_back(cut.Path);
        std::erase_if(
            left, [&gone](const TStoredRecording& record) { return Contains(gone, record.Path); });
        total.Deleted.insert(total.Deleted.end(), step.Deleted.begin(), step.Deleted.end());
        if (step.Failed.empty())
            return total;
        // The ones that would not go stay; the next oldest go in their place.
        for (const auto& failed : step.Failed)
            keep.push_back(failed.first);
        total.Failed.insert(total.Failed.end(), step.Failed.begin(), step.Failed.end());
    }
}

HistoryRepair RemoveDeletedRecords(THistoryFile& history, const TStorageDeletion& deletion) {
    if (deletion.Deleted.empty())
        return {};
    std::vector<std::string> paths;
    for (const TStorageCut& cut : deletion.Deleted) {
        // Recorded again under the same name since: the records are the new file's.
        if (!StoredFileSize(cut.Path))
            paths.push_back(cut.Path);
    }
    if (paths.empty())
        return {};
    return history.DelSamePaths(paths);
}

QString StorageDeletionText(const TStorageDeletion& deletion) {
    QString text;
    if (!deletion.Deleted.empty())
        text = QStringLiteral("录像已超过占用上限：已删除最早的 %1 个录像，释放 %2。")
                   .arg(deletion.Deleted.size())
                   .arg(StorageSizeText(deletion.Freed()));
    for (const auto& [path, reason] : deletion.Failed) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QStringLiteral("无法删除录像 %1：%2")
                    .arg(DecodeLenient(path), QString::fromStdString(reason));
    }
    return text;
}

} // namespace vardocle
