#pragma once
// A history window over a temporary folder, with recorded answers.
#include "RecordingServices.h"
#include "history/HistoryFile.h"
#include "tests/support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace vardocle::test {

class HistoryWindowTest : public ::testing::Test {
protected:
    TempDir Dir;
    THistoryFile History{Dir.Path()};
    RecordingServices Asked;
    std::unique_ptr<TFrmAVIDir> Window;

    void Open() { Window = std::make_unique<TFrmAVIDir>(nullptr, Dir.Path(), Asked.Services()); }

    // Records for recordings named `names`, whose files exist in the folder.
    void AddRecordings(std::initializer_list<std::string> names) {
        double time = 45000.0;
        for (const std::string& name : names) {
            const auto file = Dir / name;
            std::ofstream(file) << name;
            History.AppendRecord(MakeHistoryRecord(file.string(), time += 1));
        }
    }

    // A history of `count` records written in one go.
    void WriteManyRecords(int count) {
        std::string bytes;
        for (int i = 0; i < count; ++i) {
            const auto record = EncodeHistoryRecord(
                MakeHistoryRecord("/v/recording " + std::to_string(i) + ".avi", 45000 + i));
            bytes.append(record.data(), record.size());
        }
        std::ofstream(History.HistoryFilePath(), std::ios::binary) << bytes;
    }

    std::vector<std::string> StoredNames() const {
        std::vector<std::string> names;
        THistoryReader reader = History.OpenReader();
        HistoryRecord record;
        while (reader.Next(record))
            names.push_back(record.FileName);
        return names;
    }

    std::vector<std::string> RowNames() const {
        std::vector<std::string> names;
        for (int row = 0; row < Window->LVFileInfo->topLevelItemCount(); ++row)
            names.push_back(Window->LVFileInfo->topLevelItem(row)->text(0).toStdString());
        return names;
    }

    void Tick(std::initializer_list<bool> ticks) {
        int row = 0;
        for (const bool ticked : ticks)
            Window->SetRowTicked(row++, ticked);
    }

    std::vector<bool> Ticks() const {
        std::vector<bool> ticks;
        for (int row = 0; row < Window->LVFileInfo->topLevelItemCount(); ++row)
            ticks.push_back(Window->RowTicked(row));
        return ticks;
    }
};

} // namespace vardocle::test
