#include "app/area/AreaChoiceControls.h"

#include "app/SettingLook.h"
#include "app/area/AreaCaption.h"
#include "app/area/uFrmAreaPick.h"
#include "platform/base/QtChild.h"
#include "platform/screen/ScreenBackend.h"
#include "skin/StoredPictures.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace vardocle {

namespace {

QSize SizeOf(const TScreenRect& rect) {
    return {rect.Width, rect.Height};
}

} // namespace

TAreaChoiceControls::TAreaChoiceControls(QWidget* Window, TAreaWindows Windows)
    : QObject(Window), FWindows(std::move(Windows)) {
    Monitors = DesktopMonitors;
    PickRegion = [](std::optional<TScreenRect> start) {
        return ChooseScreenBackend() == TScreenBackend::Portal ? PickRegionOnSharedMonitor(start)
                                                               : PickRegionOnDesktop(start);
    };
    PickWindow = [this, Window] { return PickWindowOnDesktop(FWindows, Window); };

    // As wide as the window's body, the label where the rows above have theirs.
    Row = MakeQtChild<QWidget>(Window);
    Row->resize(240, kRowHeight);
    LabArea = MakeQtChild<QLabel>(QStringLiteral("录制范围:"), Row);
    LabArea->setFont(PixelFont(QStringLiteral("宋体"), 12));
    SetColour(LabArea, QPalette::WindowText, kSettingTextColour);
    LabArea->adjustSize();
    LabArea->move(15, 7);

    // The button names the choice and opens the menu.
    BtnArea = MakeQtChild<QPushButton>(Row);
    BtnArea->setObjectName(QStringLiteral("BtnArea"));
    BtnArea->setFont(PixelFont(QStringLiteral("宋体"), 12));
    SetColour(BtnArea, QPalette::Button, kSettingFieldColour);
    SetColour(BtnArea, QPalette::ButtonText, kSettingTextColour);
    BtnArea->setGeometry(75, 4, 144, 22);

    FMenu = MakeQtChild<QMenu>(QStringLiteral("录制范围"), Window);
    FMenu->addAction(QStringLiteral("全屏"), this, [this] { ChooseScreen(); });
    FMonitorMenu = FMenu->addMenu(QStringLiteral("显示器"));
    // Monitors come and go: the list is made when it opens.
    connect(FMonitorMenu, &QMenu::aboutToShow, this, [this] { FillMonitors(); });
    FMenu->addAction(QStringLiteral("选择区域…"), this, [this] { ChooseRegion(); });
    FMenu->addAction(QStringLiteral("选择窗口…"), this, [this] { ChooseWindow(); });
    BtnArea->setMenu(FMenu);
    SetArea({});
}

void TAreaChoiceControls::FillMonitors() {
    FMonitorMenu->clear();
    const std::vector<TNamedMonitor> monitors = Monitors();
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        QAction* action =
            FMonitorMenu->addAction(MonitorMenuText(monitors[i], static_cast<int>(i) + 1), this,
                                    [this, name = monitors[i].Name] { ChooseMonitor(name); });
        action->setCheckable(true);
        action->setChecked(FArea.Kind == TAreaKind::Monitor && FArea.Monitor == monitors[i].Name);
    }
}

QString TAreaChoiceControls::Caption() const {
    QString title;
    if (FArea.Kind == TAreaKind::Window && !FArea.Pick && FWindows.Find)
        if (const auto window = FWindows.Find(FArea.Window))
            title = window->Title;
    return AreaCaption(FArea, Monitors(), title);
}

void TAreaChoiceControls::SetArea(const TCaptureArea& Area) {
    FArea = Area;
    BtnArea->setText(Caption());
    BtnArea->setToolTip(QString::fromStdString(CaptureAreaText(FArea)));
}

void TAreaChoiceControls::SetEnabled(bool Enabled) {
    BtnArea->setEnabled(Enabled);
    FMenu->setEnabled(Enabled);
}

void TAreaChoiceControls::Take(const TCaptureArea& Area, QSize Size) {
    SetArea(Area);
    if (OnSizeChosen && !Size.isEmpty())
        OnSizeChosen(Size);
}

void TAreaChoiceControls::ChooseScreen() {
    const std::vector<TNamedMonitor> monitors = Monitors();
    const TPlacedArea placed =
        PlaceArea({}, monitors, DesktopBounds(monitors).Width, DesktopBounds(monitors).Height);
    Take({}, SizeOf(placed.Area));
}

void TAreaChoiceControls::ChooseMonitor(const std::string& Name) {
    for (const auto& monitor : Monitors())
        if (monitor.Name == Name) {
            TCaptureArea area;
            area.Kind = TAreaKind::Monitor;
            area.Monitor = Name;
            Take(area, SizeOf(monitor.Area));
            return;
        }
}

void TAreaChoiceControls::ChooseRegion() {
    std::optional<TScreenRect> start;
    if (FArea.Kind == TAreaKind::Region && !FArea.Pick)
        start = FArea.Region;
    const std::optional<TScreenRect> region = PickRegion ? PickRegion(start) : std::nullopt;
    if (!region || region->Empty())
        return;
    TCaptureArea area;
    area.Kind = TAreaKind::Region;
    area.Region = *region;
    Take(area, SizeOf(*region));
}

void TAreaChoiceControls::ChooseWindow() {
    const std::optional<TListedWindow> window = PickWindow ? PickWindow() : std::nullopt;
    if (!window || window->Id == 0)
        return;
    TCaptureArea area;
    area.Kind = TAreaKind::Window;
    area.Window = window->Id;
    Take(area, SizeOf(window->Area));
}

} // namespace vardocle
