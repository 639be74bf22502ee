#include "app/RepairQuestion.h"

#include "history/HistoryFile.h"
#include "platform/base/Text.h"

#include <QFileInfo>

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
      FAsk(std::move(ask)), FTell(std::move(tell)) {}

TRepairQuestion::~TRepairQuestion() {
    if (FWorker.joinable())
        FWorker.join();
}

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
    for (const std::string& file : files)
        names.append(DecodeLenient(file));
    FAsk(names, [this, files = std::move(files)](bool repair) mutable {
        Answered(std::move(files), repair);
    });
}

void TRepairQuestion::Answered(std::vector<std::string> files, bool repair) {
    if (!repair) {
        TDeclinedRepairs(FHistoryFolder).Add(files);
        emit Done();
        return;
    }
    // Off this thread: the window goes on painting and answering.
    FFiles = std::move(files);
    FRepairing = true;
    FWorker = std::thread([this, files = FFiles, repair = FRepair] {
        std::vector<TRepairReport> reports;
        for (const std::string& file : files) {
            std::atomic<int> progress{0};
            reports.push_back(repair.Repair(file, &progress));
        }
        QMetaObject::invokeMethod(
            this, [this, reports = std::move(reports)] { Repaired(reports); },
            Qt::QueuedConnection);
    });
}

void TRepairQuestion::Repaired(const std::vector<TRepairReport>& reports) {
    if (FWorker.joinable())
        FWorker.join();
    FRepairing = false;
    FTell(RepairReportText(FFiles, reports));
    emit Done();
}

QString RepairReportText(const std::vector<std::string>& files,
                         const std::vector<TRepairReport>& reports) {
    QString text = QStringLiteral("未完成的录像处理结果：");
    for (std::size_t i = 0; i < files.size() && i < reports.size(); ++i) {
        const QString name = QFileInfo(DecodeLenient(files[i])).fileName();
        QString outcome;
        switch (reports[i].Outcome) {
        case TRepairOutcome::AlreadyComplete:
            outcome = QStringLiteral("本已完整");
            break;
        case TRepairOutcome::Repaired:
            outcome = QStringLiteral("已修复");
            break;
        case TRepairOutcome::Failed:
            outcome = QStringLiteral("修复失败");
            break;
        }
        text += QStringLiteral("\n%1：%2").arg(name, outcome);
        if (!reports[i].Chinese.empty())
            text += QStringLiteral("（%1）").arg(QString::fromStdString(reports[i].Chinese));
    }
    return text;
}

} // namespace vardocle
