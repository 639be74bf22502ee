#pragma once
// The history file: 320-byte records one after another, oldest first, in a
// file beside the executable. Every operation opens the file, does its work
// and closes it again; nothing is held open between operations.
#include "history/HistoryRecord.h"
#include "platform/base/Errors.h"
#include "platform/base/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vardocle {

// What an append or a removal did beyond its task. A crash in the middle of an
// append may leave an incomplete record at the end of the file; writing after
// it would shift every later record, so the next write drops it first.
struct HistoryRepair {
    std::uint64_t DroppedTailBytes = 0;
};

// Reading reached an incomplete record after the last whole one. The message
// is the stream's "Stream read error"; the size tells how much is incomplete.
class EHistoryPartialTail : public EReadError {
public:
    explicit EHistoryPartialTail(std::uint64_t tailBytes);
    std::uint64_t TailBytes() const { return FTailBytes; }

private:
    std::uint64_t FTailBytes;
};

// Delivers the records of one file one at a time, in file order, so that the
// caller can do other work between two records.
class THistoryReader {
public:
    // Throws EFOpenError when the file cannot be opened.
    explicit THistoryReader(const std::filesystem::path& file);

    // The next record; false after the last one. Throws EHistoryPartialTail
    // when an incomplete record follows the last whole one, EReadError when
    // the system fails to read.
    bool Next(HistoryRecord& record);

private:
    bool FillBuffer();

    UniqueFd FFile;
    std::vector<char> FBuffer;
    std::size_t FBufferPos = 0;
    std::size_t FBufferEnd = 0;
    bool FAtEnd = false;
};

class THistoryFile {
public:
    // The file "History.his" and its temporary "History.tmp" in `folder`.
    explicit THistoryFile(const std::filesystem::path& folder);

    const std::filesystem::path& HistoryFilePath() const { return FHistoryFilePath; }
    const std::filesystem::path& TempFilePath() const { return FTempFilePath; }

    // Appends the record for `outputPath`, started now (local time).
    HistoryRepair AppendHistoryRecord(const std::string& outputPath);
    HistoryRepair AppendRecord(const HistoryRecord& record);

    // A reader over the file, which is created empty first when missing.
    THistoryReader OpenReader() const;

    // Removes the record at the zero-based position `index`; an index past the
    // end leaves the records as they are.
    HistoryRepair DelRecord(std::size_t index);
    // Removes every record whose stored path is byte for byte `path`.
    HistoryRepair DelSamePath(const std::string& path);
    // The same for several paths at once, in one rewrite of the file.
    HistoryRepair DelSamePaths(const std::vector<std::string>& paths);
    // Removes the one record equal to `record` (name, path and time): the one
    // at `hint` when it stands there, else the first equal one. False when the
    // file holds no such record any more (it changed since it was read), and
    // then nothing is removed.
    bool DelSameRecord(const HistoryRecord& record, std::size_t hint,
                       HistoryRepair* repair = nullptr);

private:
    using KeepRecord = std::function<bool(std::size_t index, const HistoryRecordBytes& bytes)>;

    // Copies the records to keep into the temporary file, makes it durable and
    // then renames it over the history file in one step, so that a failure at
    // any point leaves the history file as it was.
    HistoryRepair Rewrite(const KeepRecord& keep);
    void EnsureExists() const;

    std::filesystem::path FHistoryFilePath;
    std::filesystem::path FTempFilePath;
};

} // namespace vardocle
