#include "history/HistoryFile.h"

#include "history/RecordTime.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <vector>

namespace vardocle {

namespace {

constexpr const char* kStreamWriteError = "Stream write error";
constexpr std::size_t kRecordsPerRead = 200;

UniqueFd OpenOrThrow(const std::filesystem::path& file, int flags) {
    UniqueFd fd(::open(file.c_str(), flags | O_CLOEXEC));
    if (!fd)
        throw EFOpenError(CannotOpenFileMessage(file.string(), errno));
    // A folder opens for reading but is no history.
    struct stat info {};
    if (::fstat(fd.Get(), &info) == 0 && S_ISDIR(info.st_mode))
        throw EFOpenError(CannotOpenFileMessage(file.string(), EISDIR));
    return fd;
}

off_t FileSize(const UniqueFd& fd) {
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0)
        throw EReadError(kStreamReadError);
    return info.st_size;
}

off_t WholeRecordsSize(off_t size) {
    return size - size % off_t(kHistoryRecordSize);
}

// Makes a finished rename survive a power cut; a failure here loses nothing.
void SyncFolder(const std::filesystem::path& folder) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir)
        ::fsync(dir.Get());
}

} // namespace

EHistoryPartialTail::EHistoryPartialTail(std::uint64_t tailBytes)
    : EReadError(kStreamReadError), FTailBytes(tailBytes) {}

THistoryReader::THistoryReader(const std::filesystem::path& file)
    : FFile(OpenOrThrow(file, O_RDONLY)), FBuffer(kRecordsPerRead * kHistoryRecordSize) {}

bool THistoryReader::FillBuffer() {
    const std::size_t left = FBufferEnd - FBufferPos;
    std::copy(FBuffer.begin() + std::ptrdiff_t(FBufferPos),
              FBuffer.begin() + std::ptrdiff_t(FBufferEnd), FBuffer.begin());
    FBufferPos = 0;
    FBufferEnd = left;
    const ssize_t n = FFile.ReadFull(FBuffer.data() + left, FBuffer.size() - left);
    if (n < 0)
        throw EReadError(kStreamReadError);
    FBufferEnd += static_cast<std::size_t>(n);
    FAtEnd = FBufferEnd < FBuffer.size();
    return FBufferEnd - FBufferPos >= kHistoryRecordSize;
}

bool THistoryReader::Next(HistoryRecord& record) {
    if (FBufferEnd - FBufferPos < kHistoryRecordSize) {
        if (FAtEnd || !FillBuffer()) {
            const std::size_t tail = FBufferEnd - FBufferPos;
            if (tail == 0)
                return false;
            // Reported once; afterwards the reader stands at the end.
            FBufferPos = FBufferEnd;
            throw EHistoryPartialTail(tail);
        }
    }
    HistoryRecordBytes bytes;
    std::copy_n(FBuffer.begin() + std::ptrdiff_t(FBufferPos), kHistoryRecordSize, bytes.begin());
    FBufferPos += kHistoryRecordSize;
    record = DecodeHistoryRecord(bytes);
    return true;
}

THistoryFile::THistoryFile(const std::filesystem::path& folder)
    : FHistoryFilePath(folder / "History.his"), FTempFilePath(folder / "History.tmp") {}

void THistoryFile::EnsureExists() const {
    // Only a missing file is created; whether an existing one may be read or
    // written is for the operation's own open to find out.
    UniqueFd fd(::open(FHistoryFilePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd && errno != EEXIST)
        throw EFCreateError(CannotCreateFileMessage(FHistoryFilePath.string(), errno));
}

HistoryRepair THistoryFile::AppendHistoryRecord(const std::string& outputPath) {
    return AppendRecord(MakeHistoryRecord(outputPath, RecordTimeNow()));
}

HistoryRepair THistoryFile::AppendRecord(const HistoryRecord& record) {
    EnsureExists();
    const UniqueFd fd = OpenOrThrow(FHistoryFilePath, O_WRONLY);
    const off_t size = FileSize(fd);
    const off_t end = WholeRecordsSize(size);
    HistoryRepair repair;
    if (end != size) {
        if (::ftruncate(fd.Get(), end) != 0)
            throw Exception(kStreamWriteError);
        repair.DroppedTailBytes = std::uint64_t(size - end);
    }
    const HistoryRecordBytes bytes = EncodeHistoryRecord(record);
    if (!fd.WriteFullAt(bytes.data(), bytes.size(), end)) {
        // Leave no half record behind.
        [[maybe_unused]] const int ignored = ::ftruncate(fd.Get(), end);
        throw Exception(kStreamWriteError);
    }
    return repair;
}

THistoryReader THistoryFile::OpenReader() const {
    EnsureExists();
    return THistoryReader(FHistoryFilePath);
}

HistoryRepair THistoryFile::DelRecord(std::size_t index) {
    return Rewrite([index](std::size_t i, const HistoryRecordBytes&) { return i != index; });
}

HistoryRepair THistoryFile::DelSamePath(const std::string& path) {
    return Rewrite([&path](std::size_t, const HistoryRecordBytes& bytes) {
        return DecodeHistoryRecord(bytes).FilePath != path;
    });
}

HistoryRepair THistoryFile::DelSamePaths(const std::vector<std::string>& paths) {
    return Rewrite([&paths](std::size_t, const HistoryRecordBytes& bytes) {
        return std::find(paths.begin(), paths.end(), DecodeHistoryRecord(bytes).FilePath) ==
               paths.end();
    });
}

bool THistoryFile::DelSameRecord(const HistoryRecord& record, std::size_t hint,
                                 HistoryRepair* repair) {
    std::optional<std::size_t> found;
    {
        THistoryReader reader = OpenReader();
        HistoryRecord stored;
        try {
            for (std::size_t index = 0; reader.Next(stored); ++index) {
                if (stored != record)
                    continue;
                if (!found || index == hint)
                    found = index;
                if (index >= hint)
                    break;
            }
        } catch (const EHistoryPartialTail&) {
            // The whole records were all seen; the removal drops the tail.
        }
    }
    if (!found)
        return false;
    const HistoryRepair done = DelRecord(*found);
    if (repair)
        repair->DroppedTailBytes += done.DroppedTailBytes;
    return true;
}

HistoryRepair THistoryFile::Rewrite(const KeepRecord& keep) {
    EnsureExists();
    // Opened for writing too, so that a history the user may not change is
    // refused here rather than replaced by the rename.
    const UniqueFd source = OpenOrThrow(FHistoryFilePath, O_RDWR);
    struct stat sourceInfo {};
    if (::fstat(source.Get(), &sourceInfo) != 0)
        throw EReadError(kStreamReadError);

    UniqueFd temp(::open(FTempFilePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!temp)
        throw EFCreateError(CannotCreateFileMessage(FTempFilePath.string(), errno));
    // Until the rename, the history file is untouched; any failure only has to
    // take the temporary file away again.
    auto fail = [&](auto error) -> HistoryRepair {
        temp.Reset();
        ::unlink(FTempFilePath.c_str());
        throw error;
    };
    ::fchmod(temp.Get(), sourceInfo.st_mode & 07777);

    // Copied a bufferful of records at a time, so that a history of any length
    // costs the same memory; a partial record after the last whole one is left
    // out.
    std::vector<char> buffer(kRecordsPerRead * kHistoryRecordSize);
    std::vector<char> kept;
    kept.reserve(buffer.size());
    HistoryRepair repair;
    HistoryRecordBytes bytes;
    std::size_t index = 0;
    off_t writeAt = 0;
    for (bool atEnd = false; !atEnd;) {
        // Fills the buffer unless the file ends first.
        const ssize_t n = source.ReadFull(buffer.data(), buffer.size());
        if (n < 0)
            return fail(EReadError(kStreamReadError));
        atEnd = std::size_t(n) < buffer.size();
        const std::size_t whole = std::size_t(n) / kHistoryRecordSize;
        repair.DroppedTailBytes = std::uint64_t(std::size_t(n) % kHistoryRecordSize);
        kept.clear();
        for (std::size_t i = 0; i < whole; ++i, ++index) {
            std::copy_n(buffer.begin() + std::ptrdiff_t(i * kHistoryRecordSize), kHistoryRecordSize,
                        bytes.begin());
            if (keep(index, bytes))
                kept.insert(kept.end(), bytes.begin(), bytes.end());
        }
        if (!temp.WriteFullAt(kept.data(), kept.size(), writeAt))
            return fail(Exception(kStreamWriteError));
        writeAt += off_t(kept.size());
    }
    if (::fsync(temp.Get()) != 0)
        return fail(Exception(kStreamWriteError));
    temp.Reset();
    if (::rename(FTempFilePath.c_str(), FHistoryFilePath.c_str()) != 0)
        return fail(Exception(CannotCreateFileMessage(FHistoryFilePath.string(), errno)));
    SyncFolder(FHistoryFilePath.parent_path());
    return repair;
}

} // namespace vardocle
