#include "history/StorageLimit.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace vardocle {

namespace {

// One file named by one or more records.
struct TNamedFile {
    std::string Path;
    std::optional<std::uint64_t> Size;
    double Age = 0.0;      // the latest start among its records
    std::size_t AgeAt = 0; // the position of that record
};

std::vector<TNamedFile> NamedFiles(const std::vector<TStoredRecording>& records) {
    std::vector<TNamedFile> files;
    std::map<std::string, std::size_t> byPath;
    for (std::size_t at = 0; at < records.size(); ++at) {
        const TStoredRecording& record = records[at];
        const auto [found, added] = byPath.try_emplace(record.Path, files.size());
        if (added) {
            files.push_back({record.Path, record.Size, record.StartTime, at});
            continue;
        }
        TNamedFile& file = files[found->second];
        // A damaged time (not a number) gives way to any time that can be read.
        if (record.StartTime > file.Age ||
            (std::isnan(file.Age) && !std::isnan(record.StartTime))) {
            file.Age = record.StartTime;
            file.AgeAt = at;
        }
    }
    return files;
}

} // namespace

std::uint64_t TStoragePlan::Freed() const {
    std::uint64_t freed = 0;
    for (const TStorageCut& cut : Cuts)
        freed += cut.Size;
    return freed;
}

std::uint64_t RecordingsTotal(const std::vector<TStoredRecording>& records) {
    std::uint64_t total = 0;
    for (const TNamedFile& file : NamedFiles(records))
        total += file.Size.value_or(0);
    return total;
}

TStoragePlan PlanStorageLimit(const std::vector<TStoredRecording>& records,
                              const std::vector<std::string>& keep, std::uint64_t limitBytes) {
    std::vector<TNamedFile> files = NamedFiles(records);
    TStoragePlan plan;
    for (const TNamedFile& file : files)
        plan.Total += file.Size.value_or(0);
    if (plan.Total <= limitBytes)
        return plan;

    std::erase_if(files, [&keep](const TNamedFile& file) {
        return !file.Size || std::find(keep.begin(), keep.end(), file.Path) != keep.end();
    });
    // A recording whose time cannot be read (a damaged record) may be a new
    // one: it goes only after every recording whose age is known.
    std::stable_sort(files.begin(), files.end(), [](const TNamedFile& a, const TNamedFile& b) {
        const bool aUnknown = std::isnan(a.Age);
        const bool bUnknown = std::isnan(b.Age);
        if (aUnknown != bUnknown)
            return bUnknown;
        if (!aUnknown && a.Age != b.Age)
            return a.Age < b.Age;
        return a.AgeAt < b.AgeAt;
    });
    std::uint64_t left = plan.Total;
    for (const TNamedFile& file : files) {
        if (left <= limitBytes)
            break;
        plan.Cuts.push_back({file.Path, *file.Size});
        left -= *file.Size;
    }
    return plan;
}

} // namespace vardocle
