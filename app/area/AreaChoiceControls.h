#pragma once
// Where the user chooses what a recording shows: a row in the settings
// window whose button opens the choice (全屏 / 显示器 ▸ / 选择区域… /
// 选择窗口…), the same menu in the tray, kept in step with each other and
// disabled together while a recording runs.
#include "app/area/AreaWindows.h"
#include "platform/screen/CaptureArea.h"

#include <QObject>
#include <QSize>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QMenu;
class QPushButton;
class QWidget;

namespace vardocle {

class TAreaChoiceControls : public QObject {
public:
    // The row is a child of Window, for the window to place (Row).
    TAreaChoiceControls(QWidget* Window, TAreaWindows Windows);

    const TCaptureArea& Area() const { return FArea; }
    // Shows `Area` as the choice; it is not checked against the screen here.
    void SetArea(const TCaptureArea& Area);
    void SetEnabled(bool Enabled);
    // The choice's menu, owned by this; the tray adds it to its own.
    QMenu* Menu() const { return FMenu; }
    // The desktop's windows as this choice sees them.
    const TAreaWindows& Windows() const { return FWindows; }
    // What the row says now.
    QString Caption() const;

    // The menu's commands.
    void ChooseScreen();
    void ChooseMonitor(const std::string& Name);
    void ChooseRegion();
    void ChooseWindow();

    // Called with the chosen area's size, for the size fields.
    std::function<void(QSize)> OnSizeChosen;
    // What the choice asks of the desktop; tests give their own.
    std::function<std::vector<TNamedMonitor>()> Monitors;
    std::function<std::optional<TScreenRect>(std::optional<TScreenRect> start)> PickRegion;
    std::function<std::optional<TListedWindow>()> PickWindow;

    QWidget* Row = nullptr;
    QLabel* LabArea = nullptr;
    QPushButton* BtnArea = nullptr;

    static constexpr int kRowHeight = 28;

private:
    void Take(const TCaptureArea& Area, QSize Size);
    void FillMonitors();

    TCaptureArea FArea;
    TAreaWindows FWindows;
    QMenu* FMenu = nullptr;
    QMenu* FMonitorMenu = nullptr;
};

} // namespace vardocle
