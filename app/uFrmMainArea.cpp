// The main window's recording area: what the next recording shows, checked
// against the screen before anything starts, and the frame around it.
#include "app/area/AreaCaption.h"
#include "app/area/AreaChoiceControls.h"
#include "app/area/AreaOutline.h"
#include "app/area/AreaSetting.h"
#include "app/area/uFrmAreaPick.h"
#include "app/tray/TrayStatus.h"
#include "app/uFrmMain.h"
#include "platform/screen/ScreenBackend.h"

#include <QSystemTrayIcon>

namespace vardocle {

namespace {

QSize SizeOf(const TScreenRect& rect) {
    return {rect.Width, rect.Height};
}

} // namespace

std::optional<TCaptureArea> TFrmMain::AreaForStart(QSize& size) {
    const TAreaWindows windows =
        FFrmSetting ? FFrmSetting->AreaChoice->Windows() : TAreaWindows::System();
    TCaptureArea area = FAreaForStart
                            ? *FAreaForStart
                            : (FFrmSetting ? FFrmSetting->AreaChoice->Area() : TCaptureArea{});
    // A pick form is chosen now, on the screen as it is; cancelled, nothing starts.
    if (area.Pick && area.Kind == TAreaKind::Region) {
        const auto region = PickRegionOnDesktop();
        if (!region)
            return std::nullopt;
        area.Region = *region;
        area.Pick = false;
    } else if (area.Pick && area.Kind == TAreaKind::Window) {
        const auto window = PickWindowOnDesktop(windows, this);
        if (!window)
            return std::nullopt;
        area.Window = window->Id;
        area.Pick = false;
    }
    TScreenRect place;
    std::string missing;
    if (area.Kind == TAreaKind::Window) {
        const auto window = windows.Find ? windows.Find(area.Window) : std::nullopt;
        if (window)
            place = window->Area;
        else
            missing = AreaMissingMessage(area, TAreaPlacement::Gone);
    } else {
        const std::vector<TNamedMonitor> monitors = DesktopMonitors();
        const TScreenRect bounds = DesktopBounds(monitors);
        const TPlacedArea placed = PlaceArea(area, monitors, bounds.Width, bounds.Height);
        place = placed.Area;
        missing = AreaMissingMessage(area, placed.Placement);
    }
    if (!missing.empty()) {
        FServices.ShowNotice(*this, QString::fromStdString(missing));
        return std::nullopt;
    }
    // An area the command asked for is recorded at its own size; the
    // settings window's choice at the size in its fields.
    if (FAreaForStart && area.Kind != TAreaKind::Screen)
        size = FieldSizeForArea(SizeOf(place), ConfiguredCodec());
    return area;
}

void TFrmMain::ShowAreaOutline(const TCaptureArea& area) {
    FAreaOutline.reset();
    if (area.Kind == TAreaKind::Region) {
        FAreaOutline = std::make_unique<TAreaOutline>(
            [region = area.Region]() -> std::optional<TScreenRect> { return region; });
    } else if (area.Kind == TAreaKind::Window) {
        // The frame follows the window as it moves, and goes when it does.
        const TAreaWindows windows =
            FFrmSetting ? FFrmSetting->AreaChoice->Windows() : TAreaWindows::System();
        FAreaOutline = std::make_unique<TAreaOutline>(
            [find = windows.Find, id = area.Window]() -> std::optional<TScreenRect> {
                const auto window = find ? find(id) : std::nullopt;
                if (!window || !window->Viewable)
                    return std::nullopt;
                return window->Area;
            });
    }
}

std::unique_ptr<IScreen> TFrmMain::ScreenForArea(const TCaptureArea& area) {
    std::unique_ptr<IScreen> screen;
    try {
        screen = FServices.MakeScreen(area);
    } catch (const EAreaMissing& missing) {
        // The message already says what the user can do about it.
        FServices.ShowNotice(
            *this, QStringLiteral("无法开始录制：%1").arg(QString::fromUtf8(missing.what())));
        return nullptr;
    } catch (const std::exception& error) {
        FServices.ShowNotice(*this, QStringLiteral("无法开始录制：无法读取屏幕。\n%1")
                                        .arg(QString::fromUtf8(error.what())));
        return nullptr;
    }
    // Notices come from the recording thread; the screen dies with the
    // recording, before this window.
    screen->SetNoticeHandler([this](const std::string& chinese, const std::string&) {
        QMetaObject::invokeMethod(
            this, [this, text = QString::fromStdString(chinese)] { TellAboutScreen(text); },
            Qt::QueuedConnection);
    });
    return screen;
}

void TFrmMain::TellAboutScreen(const QString& message) {
    if (FTrayStatus && QSystemTrayIcon::isSystemTrayAvailable())
        FTrayStatus->ShowBalloon(message);
    else
        FServices.ShowNotice(*this, message);
}

} // namespace vardocle
