#include "app/RepairQuestion.h"

#include "history/HistoryFile.h"
#include "platform/base/QtChild.h"
#include "platform/base/Text.h"

#include <algorithm>
#include <fstream>
#include <set>

namespace vardocle {

namespace {

// The files a recording leaves beside its video until it is complete.
std::vector<std::filesystem::path> FilesOfRecording(const std::string& aviFileName) {
    std::filesystem::path wav(aviFileName);
    wav.replace_extension(".Wav");
    return {aviFileName, wav, aviFileName + ".merging"};
}

bool AnyExists(const std::vector<std::filesystem::path>& files) {
    std::error_code ignored;
    return std::any_of(files.begin(), files.end(),
                       [&](const auto& file) { return std::filesystem::exists(file, ignored); });
}

} // namespace

TDeclinedRepairs::TDeclinedRepairs(const std::filesystem::path& historyFolder)
    : FFile(historyFolder / "RepairDeclined.lst") {
    std::ifstream in(FFile);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            FPaths.push_back(line);
}

bool TDeclinedRepairs::Contains(const std::string& aviFileName) const {
    return std::find(FPaths.begin(), FPaths.end(), aviFileName) != FPaths.end();
}

void TDeclinedRepairs::Add(const std::vector<std::string>& aviFileNames) {
    std::ofstream out(FFile, std::ios::app);
    for (const std::string& path : aviFileNames) {
        if (Contains(path) || path.find('\n') != std::string::npos)
            continue;
        FPaths.push_back(path);
        out << path << '\n';
    }
}

TRepairQuestion::TRepairQuestion(std::filesystem::path historyFolder,
                                 TRecordingRepairService repair, TAsk ask, TTell tell,
                                 QObject* parent)
    : QObject(parent), FHistoryFolder(std::move(historyFolder)), FRepair(std::move(repair)),
      FAsk(std::move(ask)), FTell(std::move(tell)),
      FWorker(MakeQtChild<TRepairWorker>(FRepair, this)) {}

std::vector<std::string> TRepairQuestion::FindInterrupted() const {
    std::vector<std::string> found;
    std::set<std::string> seen;
    const TDeclinedRepairs declined(FHistoryFolder);
    try {
        THistoryReader reader = THistoryFile(FHistoryFolder).OpenReader();
        HistoryRecord record;
        while (reader.Next(record)) {
            const std::string& path = record.FilePath;
            if (path.empty() || !seen.insert(path).second || declined.Contains(path))
                continue;
            if (AnyExists(FilesOfRecording(path)) && FRepair.NeedsRepair(path))
                found.push_back(path);
        }
    } catch (const std::exception&) {
        // A history that cannot be read names nothing to repair; the
        // history window reports it when opened.
    }
    return found;
}

void TRepairQuestion::Start() {
    std::vector<std::string> files = FindInterrupted();
    if (files.empty()) {
        emit Done();
        return;
    }
    QStringList names;
    std::vector<TRepairJob> jobs;
    for (std::string& file : files) {
        TRepairJob job{std::move(file), {}};
        job.Options.RemoveEmpty = FRepair.NothingRecorded && FRepair.NothingRecorded(job.File);
        names.append(DecodeLenient(job.File) +
                     (job.Options.RemoveEmpty
                          ? QStringLiteral("（什么也没有录下来，选“是”将删除它）")
                          : QString()));
        jobs.push_back(std::move(job));
    }
    FAsk(names, [this, jobs = std::move(jobs)](bool repair) mutable {
        Answered(std::move(jobs), repair);
    });
}

void TRepairQuestion::Answered(std::vector<TRepairJob> jobs, bool repair) {
    std::vector<std::string> files;
    files.reserve(jobs.size());
    for (const TRepairJob& job : jobs)
        files.push_back(job.File);
    if (!repair) {
        TDeclinedRepairs(FHistoryFolder).Add(files);
        emit Done();
        return;
    }
    // Off this thread: the window goes on painting and answering.
    FWorker->Run(std::move(jobs), [this, files](const std::vector<TRepairReport>& reports) {
        Repaired(files, reports);
    });
}

void TRepairQuestion::Repaired(const std::vector<std::string>& files,
                               const std::vector<TRepairReport>& reports) {
    for (std::size_t i = 0; i < files.size() && i < reports.size(); ++i) {
        if (reports[i].Outcome != TRepairOutcome::Removed)
            continue;
        try {
            THistoryFile(FHistoryFolder).DelSamePath(files[i]);
        } catch (const std::exception&) {
            // The entry stays and names a file that is gone: the history
            // window offers to remove it when it is played.
        }
    }
    FTell(RepairReportText(files, reports));
    emit Done();
}

} // namespace vardocle
