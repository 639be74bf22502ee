// Writes seeds for the fuzz targets with the program's own writers:
// Setting.ini as the first start creates it and as closing saves it, and a
// History.his of a few recordings.
// Usage: fuzz_seed_writer FOLDER   (makes FOLDER/setting_fuzzer, FOLDER/history_fuzzer)
#include "app/SettingStore.h"
#include "history/HistoryFile.h"

#include <cstdio>
#include <filesystem>
#include <string>

using namespace vardocle;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const auto settings = folder / "setting_fuzzer";
    const auto history = folder / "history_fuzzer";
    std::filesystem::create_directories(settings);
    std::filesystem::create_directories(history);

    LoadSettingFile(settings / "first-start", QSize(1920, 1080));
    TSettingValues values;
    values.RecordCursor = false;
    values.Rate = 5;
    values.Width = 800;
    values.Height = 600;
    std::filesystem::copy_file(settings / "first-start", settings / "saved");
    SaveSettingFile(settings / "saved", values);

    const auto scratch = history / "scratch";
    std::filesystem::create_directories(scratch);
    THistoryFile file(scratch);
    file.AppendHistoryRecord("/home/user/Videos/lesson.avi");
    file.AppendHistoryRecord("/home/user/录像/课程 第一节.avi");
    // Longer than both fields: cut inside a character.
    std::string deep = "/home/user";
    while (deep.size() < 300)
        deep += "/很长的文件夹名";
    file.AppendHistoryRecord(deep + "/录像.avi");
    std::filesystem::rename(file.HistoryFilePath(), history / "three-records");
    std::filesystem::remove_all(scratch);
    return 0;
}
