#pragma once
// Which recordings of the history go when their total is over a limit: the
// oldest first, until the rest fits. Pure logic: sizes and times come in,
// the files to delete come out; reading the disk is the caller's.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vardocle {

// One history record as the limit sees it, in the history's order.
struct TStoredRecording {
    std::string Path;       // as the record stores it, byte for byte
    double StartTime = 0.0; // the record's start time
    // The file's size; empty when there is no such file.
    std::optional<std::uint64_t> Size;
};

// A recording to delete: its file and every record that names it.
struct TStorageCut {
    std::string Path;
    std::uint64_t Size = 0;
};

struct TStoragePlan {
    // What the recordings listed take now, each file counted once.
    std::uint64_t Total = 0;
    // Oldest first.
    std::vector<TStorageCut> Cuts;

    std::uint64_t Freed() const;
};

// The size of the files the records name, each path counted once and a
// missing file as nothing.
std::uint64_t RecordingsTotal(const std::vector<TStoredRecording>& records);

// When the total is over `limitBytes`, the oldest recordings to delete until
// the rest fits (or nothing is left that may go). A recording's age is the
// latest start among its records: a later recording under the same name
// replaced the file. Ties go to the record earlier in the history; a time
// that cannot be read (a damaged record) counts as the newest. The files
// in `keep` (the one being written, the ones still being completed) never go,
// and neither do records whose file is missing: there is nothing to free.
TStoragePlan PlanStorageLimit(const std::vector<TStoredRecording>& records,
                              const std::vector<std::string>& keep, std::uint64_t limitBytes);

// The limit's unit: a gigabyte of 1024 megabytes, as the sizes are shown.
inline constexpr std::uint64_t kBytesPerGigabyte = std::uint64_t{1} << 30;

} // namespace vardocle
