#include "app/RepairWorker.h"

#include "platform/base/Text.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QStringList>

namespace vardocle {

TRepairWorker::TRepairWorker(TRecordingRepairService repair, QObject* parent)
    : QObject(parent), FRepair(std::move(repair)) {}

TRepairWorker::~TRepairWorker() {
    if (FThread.joinable())
        FThread.join();
}

bool TRepairWorker::Run(std::vector<TRepairJob> jobs, TDone done) {
    if (FRunning)
        return false;
    if (FThread.joinable())
        FThread.join();
    FRunning = true;
    FThread = std::thread(
        [this, jobs = std::move(jobs), done = std::move(done), repair = FRepair]() mutable {
            std::vector<TRepairReport> reports;
            for (const TRepairJob& job : jobs) {
                std::atomic<int> progress{0};
                reports.push_back(repair.Repair(job.File, &progress, job.Options));
            }
            QMetaObject::invokeMethod(
                this,
                [this, reports = std::move(reports), done = std::move(done)] {
                    if (FThread.joinable())
                        FThread.join();
                    FRunning = false;
                    done(reports);
                },
                Qt::QueuedConnection);
        });
    return true;
}

namespace {

QString OutcomeText(TRepairOutcome outcome) {
    switch (outcome) {
    case TRepairOutcome::AlreadyComplete:
        return QStringLiteral("本来就是完整的");
    case TRepairOutcome::Repaired:
        return QStringLiteral("已修复");
    case TRepairOutcome::SoundLeft:
        return QStringLiteral("视频已修复，声音没能合并");
    case TRepairOutcome::NothingRecorded:
        return QStringLiteral("什么也没有录下来，文件保持原样");
    case TRepairOutcome::Removed:
        return QStringLiteral("什么也没有录下来，已删除");
    case TRepairOutcome::Failed:
        break;
    }
    return QStringLiteral("没能修复，文件保持原样");
}

} // namespace

QString RepairReportText(const std::vector<std::string>& files,
                         const std::vector<TRepairReport>& reports) {
    QStringList lines{QStringLiteral("未完成的录像处理结果：")};
    for (std::size_t i = 0; i < files.size() && i < reports.size(); ++i) {
        const QString name = QFileInfo(DecodeLenient(files[i])).fileName();
        lines.append(QStringLiteral("%1：%2").arg(name, OutcomeText(reports[i].Outcome)));
        // The details, one a line, under their recording.
        for (const QString& detail :
             QString::fromStdString(reports[i].Chinese).split('\n', Qt::SkipEmptyParts))
            lines.append(QStringLiteral("    ") + detail);
    }
    return lines.join('\n');
}

} // namespace vardocle
