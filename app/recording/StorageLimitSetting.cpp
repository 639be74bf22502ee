#include "app/recording/StorageLimitSetting.h"

#include "app/IniFile.h"
#include "app/SettingStore.h"
#include "history/StorageLimit.h"

#include <algorithm>

namespace vardocle {

namespace {

// Gigabytes the recordings may take; less than 0: off, its size the limit
// kept for later.
constexpr const char* kStorageLimitKey = "StorageLimitGB";

} // namespace

std::uint64_t TStorageLimitSetting::Bytes() const {
    return static_cast<std::uint64_t>(Gigabytes) * kBytesPerGigabyte;
}

TStorageLimitSetting LoadStorageLimitSetting(const std::filesystem::path& File) {
    const TIniFile ini(File);
    TStorageLimitSetting setting;
    const int value = ini.ReadInteger(kSettingSection, kStorageLimitKey, -setting.Gigabytes);
    // A limit of 0 would delete every recording but the one being written.
    setting.On = value > 0;
    if (value != 0) {
        const std::int64_t size = value > 0 ? value : -std::int64_t{value};
        setting.Gigabytes =
            static_cast<int>(std::clamp<std::int64_t>(size, 1, kMaxStorageGigabytes));
    }
    return setting;
}

void SaveStorageLimitSetting(const std::filesystem::path& File,
                             const TStorageLimitSetting& Setting) {
    TIniFile ini(File);
    if (ini.ValueExists(kSettingSection, kStorageLimitKey) || Setting != TStorageLimitSetting{})
        ini.WriteInteger(kSettingSection, kStorageLimitKey,
                         Setting.On ? Setting.Gigabytes : -Setting.Gigabytes);
}

} // namespace vardocle
