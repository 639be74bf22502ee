#include "app/recording/StorageLimitSetting.h"

#include "app/recording/SwitchedNumber.h"
#include "history/StorageLimit.h"

namespace vardocle {

namespace {

// Gigabytes the recordings may take; less than 0: off, its size the limit
// kept for later.
constexpr const char* kStorageLimitKey = "StorageLimitGB";

} // namespace

std::uint64_t TStorageLimitSetting::Bytes() const {
    return static_cast<std::uint64_t>(Gigabytes) * kBytesPerGigabyte;
}

// A limit of 0 would delete every recording but the one being written: it
// reads as off.
TStorageLimitSetting LoadStorageLimitSetting(const std::filesystem::path& File) {
    constexpr TStorageLimitSetting kDefault;
    const TSwitchedNumber number =
        ReadSwitchedNumber(File, kStorageLimitKey, kDefault.Gigabytes, kMaxStorageGigabytes);
    return {number.On, number.Value};
}

void SaveStorageLimitSetting(const std::filesystem::path& File,
                             const TStorageLimitSetting& Setting) {
    WriteSwitchedNumber(File, kStorageLimitKey, {Setting.On, Setting.Gigabytes},
                        TStorageLimitSetting{}.Gigabytes);
}

} // namespace vardocle
