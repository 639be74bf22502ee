#pragma once
// The space the recordings of the history take on the disk, and the removal
// of the oldest ones when a limit is set: the files first, then their records,
// so that a file that cannot be deleted keeps its record.
#include "history/HistoryFile.h"
#include "history/StorageLimit.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vardocle {

// The records of the history with the sizes of their files. A record that
// cannot be read ends the list (what was read before it stays). Throws
// EFOpenError when the history cannot be opened.
std::vector<TStoredRecording> ReadStoredRecordings(const THistoryFile& history);

// The size of a file (its apparent length, as a file manager shows it),
// empty when there is no such file.
std::optional<std::uint64_t> StoredFileSize(const std::string& path);

// "820 KB", "1.2 GB": a size for the user, in units of 1024.
QString StorageSizeText(std::uint64_t bytes);

// "录像共 3 个，占用 1.2 GB": the files the records name that exist, each
// counted once.
QString StorageStatusText(const std::vector<TStoredRecording>& records);

// What deleting the planned recordings' files did.
struct TStorageDeletion {
    std::vector<TStorageCut> Deleted;
    // The files that could not be deleted, with the system's reason.
    std::vector<std::pair<std::string, std::string>> Failed;

    std::uint64_t Freed() const;
};

// Deletes each planned recording's file and the sound file left beside it
// (unless that is the sound of a file in `keep`); its records stay for the
// caller to remove (RemoveDeletedRecords).
TStorageDeletion DeleteRecordingFiles(const std::vector<TStorageCut>& cuts,
                                      const std::vector<std::string>& keep);

// Keeps deleting the oldest recordings until the total fits: a file that
// cannot be deleted is kept (and told) and the next oldest is tried instead.
// Only files go; the records are the caller's to remove.
TStorageDeletion FreeStorage(const std::vector<TStoredRecording>& records,
                             std::vector<std::string> keep, std::uint64_t limitBytes);

// Removes the records of the deleted files from the history in one rewrite,
// except those of a file recorded again under the same name meanwhile.
HistoryRepair RemoveDeletedRecords(THistoryFile& history, const TStorageDeletion& deletion);

// "已删除最早的 2 个录像，释放 1.5 GB。", with a line for each file that
// could not be deleted; empty when nothing was done.
QString StorageDeletionText(const TStorageDeletion& deletion);

} // namespace vardocle
