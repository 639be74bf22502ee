#include "app/HistoryRepair.h"

#include "app/RepairWorker.h"
#include "platform/base/QtChild.h"

namespace vardocle {

void OfferRepairInHistory(TFrmAVIDir& window, const TRecordingRepairService& repair,
                          std::function<void(const QString& report)> tell) {
    // Owned by the window: a repair still running when it goes is waited for.
    auto* worker = MakeQtChild<TRepairWorker>(repair, &window);
    TFrmAVIDirRepair offer;
    offer.IsInterrupted = repair.NeedsRepair;
    offer.Repair = [worker, tell = std::move(tell)](QWidget*, const std::string& path,
                                                    const std::function<void()>& done) {
        const bool started = worker->Run(
            {TRepairJob{path, {}}}, [tell, path, done](const std::vector<TRepairReport>& reports) {
                tell(RepairReportText({path}, reports));
                done();
            });
        if (!started)
            tell(QStringLiteral("上一个录像还在修复中，请等它完成后再试。"));
    };
    window.SetRepair(std::move(offer));
}

} // namespace vardocle
