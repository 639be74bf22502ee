#pragma once
// A new file every so many minutes, kept in Setting.ini in a key of its own
// that is read only when present: a file that never had it records one file
// per Start, as it always did.
#include <filesystem>

namespace vardocle {

struct TSegmentSetting {
    bool On = false;
    int Minutes = 60; // 1-1440, kept while off

    // Minutes per file, 0 when off.
    int MinutesWhenOn() const { return On ? Minutes : 0; }
    bool operator==(const TSegmentSetting&) const = default;
};

// Missing or unreadable values are the defaults; minutes brought into range.
TSegmentSetting LoadSegmentSetting(const std::filesystem::path& File);
// Written when it differs from the default or the file already holds it.
// Throws EIniFileException when the file cannot be written.
void SaveSegmentSetting(const std::filesystem::path& File, const TSegmentSetting& Setting);

} // namespace vardocle
