#pragma once
// A limit on the space the recordings of the history take, kept in
// Setting.ini in a key of its own that is read only when present: a file that
// never had it deletes nothing, as it always did.
#include <cstdint>
#include <filesystem>

namespace vardocle {

inline constexpr int kMaxStorageGigabytes = 99999;

struct TStorageLimitSetting {
    bool On = false;
    int Gigabytes = 50; // 1-99999, kept while off

    // The limit in bytes.
    std::uint64_t Bytes() const;
    bool operator==(const TStorageLimitSetting&) const = default;
};

// Missing or unreadable values are the defaults; a limit of 0 is off, others
// are brought into range.
TStorageLimitSetting LoadStorageLimitSetting(const std::filesystem::path& File);
// Written when it differs from the default or the file already holds it.
// Throws EIniFileException when the file cannot be written.
void SaveStorageLimitSetting(const std::filesystem::path& File,
                             const TStorageLimitSetting& Setting);

} // namespace vardocle
