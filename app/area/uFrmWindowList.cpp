#include "app/area/uFrmWindowList.h"

#include "platform/base/QtChild.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vardocle {

TFrmWindowList::TFrmWindowList(std::vector<TListedWindow> windows, QWidget* parent)
    : QDialog(parent), FWindows(std::move(windows)) {
    setWindowTitle(QStringLiteral("选择窗口"));
    auto* layout = MakeQtChild<QVBoxLayout>(this);
    layout->addWidget(MakeQtChild<QLabel>(QStringLiteral("要录制的窗口:"), this));
    ListWindows = MakeQtChild<QListWidget>(this);
    for (const auto& window : FWindows)
        ListWindows->addItem(QStringLiteral("%1  (%2×%3)")
                                 .arg(window.Title)
                                 .arg(window.Area.Width)
                                 .arg(window.Area.Height));
    if (!FWindows.empty())
        ListWindows->setCurrentRow(0);
    layout->addWidget(ListWindows);
    auto* buttons =
        MakeQtChild<QDialogButtonBox>(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ListWindows, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    resize(420, 320);
}

std::optional<TListedWindow> TFrmWindowList::Chosen() const {
    const int row = ListWindows->currentRow();
    if (row < 0 || row >= static_cast<int>(FWindows.size()))
        return std::nullopt;
    return FWindows[static_cast<std::size_t>(row)];
}

std::optional<TListedWindow>
ChooseWindowFromList(const std::function<std::vector<TListedWindow>()>& source, QWidget* parent) {
    TFrmWindowList dialog(source ? source() : std::vector<TListedWindow>{}, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Chosen();
}

} // namespace vardocle
