#pragma once
// The settings row "录像最多占用 [N] GB": the oldest recordings of the history
// are deleted when a new file starts and they take more. Turning it on, or
// lowering the limit while on, first says what that would delete.
#include "app/recording/StorageLimitSetting.h"
#include "history/StorageLimit.h"

#include <QObject>

#include <functional>

class QCheckBox;
class QLabel;
class QSpinBox;
class QWidget;

namespace vardocle {

class TStorageLimitRow : public QObject {
public:
    // The row is a child of Window, for the window to place (Row).
    explicit TStorageLimitRow(QWidget* Window);

    TStorageLimitSetting Setting() const;
    void SetSetting(const TStorageLimitSetting& Setting);
    void SetEnabled(bool Enabled);

    // What a limit of so many bytes would delete now; unset: nothing is asked.
    // May throw: then nothing is known to go and nothing is asked.
    std::function<TStoragePlan(std::uint64_t LimitBytes)> Preview;
    // A Yes/No question (true for Yes); a message box unless replaced.
    std::function<bool(QWidget* Owner, const QString& Text)> Ask;

    QWidget* Row = nullptr;
    QCheckBox* ChkLimit = nullptr;
    QSpinBox* SpinGigabytes = nullptr;
    QLabel* LabGigabytes = nullptr;

    static constexpr int kRowHeight = 28;

private:
    // Whether the user lets a limit of `Gigabytes` delete what it would.
    bool Agreed(int Gigabytes);
    void LimitTicked(bool On);
    void GigabytesChanged(int Gigabytes);

    // The limit last agreed to: a refused change goes back to it.
    int FAccepted = TStorageLimitSetting{}.Gigabytes;
};

} // namespace vardocle
