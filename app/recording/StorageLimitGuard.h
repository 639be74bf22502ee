#pragma once
// Keeps the recordings of the history under the limit when a new file
// starts: the oldest are deleted on a thread of its own, since the window's
// thread also writes the frames of the recording going on meanwhile; their
// records are then removed here, where the history is written.
#include "history/HistoryFile.h"
#include "history/StorageUse.h"

#include <QObject>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vardocle {

class TStorageLimitGuard : public QObject {
public:
    explicit TStorageLimitGuard(QObject* parent);
    // Waits for a deletion under way and removes the records of what it
    // deleted, without a report.
    ~TStorageLimitGuard() override;
    TStorageLimitGuard(const TStorageLimitGuard&) = delete;
    TStorageLimitGuard& operator=(const TStorageLimitGuard&) = delete;

    // Deletes the oldest recordings of the history in `historyFolder` until
    // they take at most `limitBytes`; the files in `keep` (system encoding)
    // never go. Called while a deletion is under way, it runs after it.
    void Enforce(const std::filesystem::path& historyFolder, std::vector<std::string> keep,
                 std::uint64_t limitBytes);
    bool Busy() const { return FWorker.joinable(); }

    // What was deleted and what could not be, for the user; not called when
    // nothing was to be deleted.
    std::function<void(const QString& Text)> OnReport;
    // The history changed (records were removed).
    std::function<void()> OnHistoryChanged;

private:
    struct TRequest {
        std::filesystem::path Folder;
        std::vector<std::string> Keep;
        std::uint64_t LimitBytes = 0;
    };
    struct TResult {
        std::filesystem::path Folder;
        TStorageDeletion Deletion;
        QString Error;
    };
    void Run(TRequest request);
    void Finished();
    // Joins the worker and removes the records of the files it deleted; what
    // is to be told, empty when nothing.
    QString Complete();

    std::thread FWorker;
    // Written by the worker, read once it was joined.
    std::optional<TResult> FResult;
    std::optional<TRequest> FNext;
};

} // namespace vardocle
