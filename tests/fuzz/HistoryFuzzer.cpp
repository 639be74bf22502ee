// Any bytes as History.his: reading gives every whole record (texts within
// their room) and reports a partial one at the end; an append and a removal
// afterwards keep every whole record the user had.
#include "history/HistoryFile.h"
#include "tests/fuzz/FuzzRequire.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace vardocle;
using fuzz::Require;

namespace {

const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        // In memory where there is such a file system: the removal makes its
        // copy durable, which on a disk would allow only a few inputs a second.
        // run-fuzz hands over such a folder in TMPDIR and removes it.
        const char* given = std::getenv("TMPDIR");
        std::string name = given ? given : "/dev/shm";
        name += "/vardocle-history-fuzz.XXXXXX";
        Require(::mkdtemp(name.data()) != nullptr);
        return std::filesystem::path(name);
    }();
    return folder;
}

// Every whole record; `tail` is set when a partial one follows them.
std::vector<HistoryRecord> ReadAll(const THistoryFile& history, bool& tail) {
    std::vector<HistoryRecord> records;
    THistoryReader reader = history.OpenReader();
    HistoryRecord record;
    tail = false;
    try {
        while (reader.Next(record))
            records.push_back(record);
    } catch (const EHistoryPartialTail&) {
        tail = true;
    }
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    THistoryFile history(Folder());
    {
        std::ofstream file(history.HistoryFilePath(), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    bool tail = false;
    const std::vector<HistoryRecord> records = ReadAll(history, tail);
    Require(records.size() == size / kHistoryRecordSize);
    Require(tail == (size % kHistoryRecordSize != 0));
    for (const HistoryRecord& record : records)
        Require(record.FileName.size() <= kHistoryFileNameRoom &&
                record.FilePath.size() <= kHistoryFilePathRoom);

    // An append drops the partial record and keeps the whole ones before it.
    const HistoryRecord added = MakeHistoryRecord("/home/user/录像/新录像.avi", 46000.5);
    const HistoryRepair repair = history.AppendRecord(added);
    Require(repair.DroppedTailBytes == size % kHistoryRecordSize);
    std::vector<HistoryRecord> after = ReadAll(history, tail);
    Require(!tail && after.size() == records.size() + 1 && after.back() == added);
    after.pop_back();
    Require(after == records);

    // Removing one record by what it holds keeps all the others in order.
    if (!records.empty()) {
        const std::size_t at = size % records.size();
        Require(history.DelSameRecord(records[at], at));
        after = ReadAll(history, tail);
        Require(!tail && after.size() == records.size());
        Require(after.back() == added);
        after.pop_back();
        std::vector<HistoryRecord> expected = records;
        // The first equal record goes when the one at the hint is equal too.
        expected.erase(expected.begin() + std::ptrdiff_t(at));
        Require(after == expected);
    }
    return 0;
}
