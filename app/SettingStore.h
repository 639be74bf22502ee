#pragma once
// The recording options in Setting.ini beside the executable, section Main.
// The file is read once when the settings window is created and written once
// when the main window closes; in between the options live in the window.
#include <QSize>

#include <filesystem>

namespace vardocle {

inline constexpr const char* kSettingSection = "Main";

inline constexpr int kMinRate = 1;
inline constexpr int kMaxRate = 5;
inline constexpr int kMinVideoSize = 1;
inline constexpr int kMaxVideoSize = 5000;

// The options as the settings window shows them; the defaults are those the
// window starts with before the file is read.
struct TSettingValues {
    bool RecordCursor = true;
    bool RecordTrans = false;
    int Rate = 2;
    int Width = 1024;
    int Height = 768;

    bool operator==(const TSettingValues&) const = default;
};

// Setting.ini in the folder the program keeps its files in (UserFilesFolder.h);
// empty when there is no such folder this run.
std::filesystem::path SettingFileName();

// The values in the file, each missing key or non-number read as its default
// (the screen's size for Width and Height); values are as written, not yet
// brought into range. When the file does not exist it is created with Path,
// RecordCursor=1, RecordTrans=0, Rate=2 and the screen's size, and those
// values are returned: the window shows what the file holds, so that exit
// does not write another size over the screen's.
// Throws EIniFileException when the file has to be created and cannot be.
TSettingValues LoadSettingFile(const std::filesystem::path& file, QSize screen);

// Writes RecordCursor, RecordTrans, Rate, Width and Height in this order,
// never Path. Throws EIniFileException when the file cannot be written.
void SaveSettingFile(const std::filesystem::path& file, const TSettingValues& values);

} // namespace vardocle
