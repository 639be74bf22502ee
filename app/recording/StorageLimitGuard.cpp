#include "app/recording/StorageLimitGuard.h"

#include "history/HistoryMessages.h"

#include <QStringList>

namespace vardocle {

TStorageLimitGuard::TStorageLimitGuard(QObject* parent) : QObject(parent) {}

TStorageLimitGuard::~TStorageLimitGuard() {
    // The files are gone: their records must not outlive them.
    Complete();
}

void TStorageLimitGuard::Enforce(const std::filesystem::path& historyFolder,
                                 std::vector<std::string> keep, std::uint64_t limitBytes) {
    TRequest request{historyFolder, std::move(keep), limitBytes};
    if (Busy()) {
        FNext = std::move(request);
        return;
    }
    Run(std::move(request));
}

void TStorageLimitGuard::Run(TRequest request) {
    FWorker = std::thread([this, request = std::move(request)] {
        TResult result{request.Folder, {}, {}};
        try {
            result.Deletion = FreeStorage(ReadStoredRecordings(THistoryFile(request.Folder)),
                                          request.Keep, request.LimitBytes);
        } catch (const std::exception& failure) {
            result.Error = HistoryErrorText(failure);
        }
        FResult = std::move(result);
        QMetaObject::invokeMethod(this, &TStorageLimitGuard::Finished, Qt::QueuedConnection);
    });
}

QString TStorageLimitGuard::Complete() {
    if (FWorker.joinable())
        FWorker.join();
    if (!FResult)
        return {};
    const TResult result = std::move(*FResult);
    FResult.reset();
    QStringList text;
    const QString report = StorageDeletionText(result.Deletion);
    if (!report.isEmpty())
        text << report;
    if (!result.Error.isEmpty())
        text << result.Error;
    try {
        THistoryFile history(result.Folder);
        const QString notice = HistoryRepairNotice(RemoveDeletedRecords(history, result.Deletion));
        if (!notice.isEmpty())
            text << notice;
    } catch (const std::exception& failure) {
        text << HistoryErrorText(failure);
    }
    return text.join(QLatin1Char('\n'));
}

void TStorageLimitGuard::Finished() {
    FWorker.join();
    const bool changed = FResult && !FResult->Deletion.Deleted.empty();
    const QString text = Complete();
    if (changed && OnHistoryChanged)
        OnHistoryChanged();
    if (!text.isEmpty() && OnReport)
        OnReport(text);
    if (FNext) {
        TRequest next = std::move(*FNext);
        FNext.reset();
        Run(std::move(next));
    }
}

} // namespace vardocle
