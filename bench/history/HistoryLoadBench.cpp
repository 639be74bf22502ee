// How long the history window takes to list 20,000 recordings, and how long
// the window goes without a turn of its event loop meanwhile. The reference is
// the cheapest fill of the same list measured in the same run: read, decode
// and format every record, then insert all rows at once without yielding.
#include "history/RecordTime.h"
#include "history/uFrmAviDir.h"
#include "platform/base/Text.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

using namespace vardocle;

constexpr int kRecords = 20000;
constexpr int kRounds = 3;
constexpr double kTargetMs = 1000.0;

void WriteHistory(const std::filesystem::path& file) {
    std::string bytes;
    bytes.reserve(std::size_t(kRecords) * kHistoryRecordSize);
    for (int i = 0; i < kRecords; ++i) {
        const auto record = EncodeHistoryRecord(MakeHistoryRecord(
            "/home/user/视频/录像 " + std::to_string(i) + ".avi", 45000.0 + i / 7.0));
        bytes.append(record.data(), record.size());
    }
    std::ofstream(file, std::ios::binary) << bytes;
}

double ReferenceFillMs(const THistoryFile& history) {
    QTreeWidget list;
    list.setColumnCount(3);
    list.setUniformRowHeights(true);
    list.resize(585, 367);
    list.show();
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    const TRecordTimeText timeText;
    QList<QTreeWidgetItem*> rows;
    THistoryReader reader = history.OpenReader();
    HistoryRecord record;
    while (reader.Next(record)) {
        auto* row = new QTreeWidgetItem(QStringList{DecodeLenient(record.FileName),
                                                    DecodeLenient(record.FilePath),
                                                    timeText(record.RecordTime)});
        row->setCheckState(0, Qt::Unchecked);
        rows.append(row);
    }
    list.addTopLevelItems(rows); // the list owns the rows from here on
    QCoreApplication::processEvents();
    return double(clock.nsecsElapsed()) / 1e6;
}

struct WindowFill {
    double Ms = 0;
    double LongestStallMs = 0;
};

WindowFill WindowFillMs(TFrmAVIDir& window) {
    QElapsedTimer clock;
    std::vector<qint64> turns;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { turns.push_back(clock.nsecsElapsed()); });
    clock.start();
    beat.start(1);
    window.Reload();
    WindowFill result;
    const qint64 end = clock.nsecsElapsed();
    beat.stop();
    result.Ms = double(end) / 1e6;
    qint64 previous = 0;
    turns.push_back(end);
    for (const qint64 turn : turns) {
        result.LongestStallMs = std::max(result.LongestStallMs, double(turn - previous) / 1e6);
        previous = turn;
    }
    if (window.LVFileInfo->topLevelItemCount() != kRecords)
        result.Ms = -1;
    return result;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const test::TempDir dir;
    THistoryFile history(dir.Path());
    WriteHistory(history.HistoryFilePath());

    TFrmAVIDirServices quiet = TFrmAVIDirServices::System();
    bool failed = false;
    quiet.ShowError = [&failed](QWidget*, const QString& text) {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
        failed = true;
    };
    TFrmAVIDir window(nullptr, dir.Path(), quiet);
    window.show();
    QCoreApplication::processEvents();

    std::vector<double> reference, fill, stall;
    for (int round = 0; round < kRounds; ++round) {
        reference.push_back(ReferenceFillMs(history));
        const WindowFill result = WindowFillMs(window);
        if (result.Ms < 0)
            failed = true;
        fill.push_back(result.Ms);
        stall.push_back(result.LongestStallMs);
    }
    const double fillMs = Median(fill);
    const double referenceMs = Median(reference);
    std::printf("history load, %d records (%s platform), median of %d rounds:\n", kRecords,
                qPrintable(QGuiApplication::platformName()), kRounds);
    std::printf("  window fill         %8.1f ms (target < %.0f ms)\n", fillMs, kTargetMs);
    std::printf("  reference fill      %8.1f ms (one insertion, no yielding)\n", referenceMs);
    std::printf("  ratio               %8.2f x reference\n", fillMs / referenceMs);
    std::printf("  longest stall       %8.1f ms between event-loop turns\n", Median(stall));
    if (failed || fillMs >= kTargetMs) {
        std::printf("FAILED: %s\n", failed ? "the list was not filled" : "slower than the target");
        return 1;
    }
    return 0;
}
