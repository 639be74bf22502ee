#include "app/SettingStore.h"

#include "app/IniFile.h"
#include "platform/base/UserFilesFolder.h"

namespace vardocle {

std::filesystem::path SettingFileName() {
    // Without a folder to keep it in, the settings live only in the window.
    if (!UserFiles().Usable())
        return {};
    return UserFiles().Folder() / "Setting.ini";
}

TSettingValues LoadSettingFile(const std::filesystem::path& file, QSize screen) {
    TIniFile ini(file);
    std::error_code error;
    if (std::filesystem::exists(file, error)) {
        TSettingValues values;
        values.RecordCursor = ini.ReadBool(kSettingSection, "RecordCursor", true);
        values.RecordTrans = ini.ReadBool(kSettingSection, "RecordTrans", false);
        values.Rate = ini.ReadInteger(kSettingSection, "Rate", 2);
        values.Width = ini.ReadInteger(kSettingSection, "Width", screen.width());
        values.Height = ini.ReadInteger(kSettingSection, "Height", screen.height());
        return values;
    }
    // The folder as the program's own files are found, with its separator.
    std::string folder = file.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    ini.WriteString(kSettingSection, "Path", folder);
    ini.WriteBool(kSettingSection, "RecordCursor", true);
    ini.WriteBool(kSettingSection, "RecordTrans", false);
    ini.WriteInteger(kSettingSection, "Rate", 2);
    ini.WriteInteger(kSettingSection, "Width", screen.width());
    ini.WriteInteger(kSettingSection, "Height", screen.height());
    TSettingValues created;
    created.Width = screen.width();
    created.Height = screen.height();
    return created;
}

void SaveSettingFile(const std::filesystem::path& file, const TSettingValues& values) {
    TIniFile ini(file);
    ini.WriteBool(kSettingSection, "RecordCursor", values.RecordCursor);
    ini.WriteBool(kSettingSection, "RecordTrans", values.RecordTrans);
    ini.WriteInteger(kSettingSection, "Rate", values.Rate);
    ini.WriteInteger(kSettingSection, "Width", values.Width);
    ini.WriteInteger(kSettingSection, "Height", values.Height);
}

} // namespace vardocle
