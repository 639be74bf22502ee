#pragma once
// At start-up: the recordings of the history that a killed program left
// incomplete (an unfinished video, its sound file or a half-written merge
// beside it). The user is asked once whether to repair them; Yes repairs
// them off the user-interface thread and then tells what became of each, No
// leaves them and they are not asked about again. A repaired recording keeps
// its one history entry; one in which nothing was recorded is named so in the
// question and, on Yes, removed with its entry.
#include "app/RecordingRepairService.h"
#include "app/RepairWorker.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vardocle {

// The recordings the user declined to repair, one path a line, in a file of
// its own beside the history, whose format stays as it is.
class TDeclinedRepairs {
public:
    explicit TDeclinedRepairs(const std::filesystem::path& historyFolder);
    bool Contains(const std::string& aviFileName) const;
    void Add(const std::vector<std::string>& aviFileNames);
    const std::filesystem::path& FilePath() const { return FFile; }

private:
    std::filesystem::path FFile;
    std::vector<std::string> FPaths;
};

class TRepairQuestion : public QObject {
    Q_OBJECT
public:
    // `ask` shows the question and calls back with the answer (true: Yes);
    // `tell` shows what became of each recording.
    using TAsk = std::function<void(const QStringList& files, std::function<void(bool)> answer)>;
    using TTell = std::function<void(const QString& report)>;

    TRepairQuestion(std::filesystem::path historyFolder, TRecordingRepairService repair, TAsk ask,
                    TTell tell, QObject* parent = nullptr);
    TRepairQuestion(const TRepairQuestion&) = delete;
    TRepairQuestion& operator=(const TRepairQuestion&) = delete;

    // Looks through the history and asks when something needs repair.
    void Start();
    // The incomplete recordings of the history not declined before.
    std::vector<std::string> FindInterrupted() const;
    bool Repairing() const { return FWorker->Running(); }

signals:
    // The question was answered and, on Yes, every repair has ended.
    void Done();

private:
    void Answered(std::vector<TRepairJob> jobs, bool repair);
    void Repaired(const std::vector<std::string>& files, const std::vector<TRepairReport>& reports);

    std::filesystem::path FHistoryFolder;
    TRecordingRepairService FRepair;
    TAsk FAsk;
    TTell FTell;
    TRepairWorker* FWorker;
};

} // namespace vardocle
