#include "app/uFrmSetting.h"

#include "app/area/AreaChoiceControls.h"
#include "app/area/AreaSetting.h"
#include "app/recording/SegmentRow.h"
#include "app/recording/StorageLimitRow.h"
#include "app/sound/SoundChoiceControls.h"

#include "app/ApplicationErrors.h"
#include "app/IniFile.h"
#include "app/PictureView.h"
#include "app/SettingLook.h"
#include "app/SettingPlacement.h"
#include "app/SizeAdvice.h"
#include "app/SpinEdit.h"
#include "app/TextLeftCheckBox.h"
#include "app/hotkeys/HotKeyPage.h"
#include "assets/Assets.h"
#include "platform/base/QtChild.h"
#include "platform/shell/OffTaskbar.h"
#include "skin/ColorKeyMask.h"
#include "skin/ImageButton.h"
#include "skin/StoredPictures.h"
#include "skin/nxGDIPlusClasses.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace vardocle {

namespace {

// The window's background; pixels of exactly this colour are see-through.
const QColor kTransparentKey(255, 0, 128);
const QColor kCaptionColour(198, 223, 228);
const QColor kTextColour(194, 241, 235);
const QColor kFieldColour(64, 128, 128);

constexpr int kClientWidth = 241;
constexpr int kTitleHeight = 24;
// The recording options below the title; more rows go beneath them.
constexpr int kOptionsHeight = 154;

// A text-left check box in the window's look.
QCheckBox* MakeCheckBox(QWidget* parent, const QString& caption, const QRect& geometry) {
    auto* box = MakeQtChild<TTextLeftCheckBox>(caption, parent);
    box->setGeometry(geometry);
    box->setFont(PixelFont(QStringLiteral("宋体"), 12));
    SetColour(box, QPalette::WindowText, kTextColour);
    return box;
}

QLabel* MakeLabel(QWidget* parent, const QString& caption, const QPoint& at) {
    auto* label = MakeQtChild<QLabel>(caption, parent);
    label->setFont(PixelFont(QStringLiteral("宋体"), 12));
    SetColour(label, QPalette::WindowText, kTextColour);
    label->adjustSize();
    label->move(at);
    return label;
}

TSpinEdit* MakeSpin(QWidget* parent, int minimum, int maximum, int value, const QRect& geometry) {
    auto* spin = MakeQtChild<TSpinEdit>(parent);
    spin->setRange(minimum, maximum);
    spin->setSingleStep(1);
    spin->SetValue(value);
    spin->setGeometry(geometry);
    spin->setFont(PixelFont(QStringLiteral("新宋体"), 12, true));
    QPalette palette = spin->palette();
    palette.setColor(QPalette::Base, kFieldColour);
    palette.setColor(QPalette::Text, kTextColour);
    spin->setPalette(palette);
    return spin;
}

} // namespace

QSize PrimaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {1024, 768};
    const qreal ratio = screen->devicePixelRatio();
    return {qRound(screen->size().width() * ratio), qRound(screen->size().height() * ratio)};
}

TFrmSetting::TFrmSetting(QWidget* mainWindow, std::filesystem::path settingFile,
                         TAreaWindows windows)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), FMainWindow(mainWindow),
      FSettingFile(std::move(settingFile)) {
    setWindowTitle(QStringLiteral("设置"));
    // Closing hides the window; it never ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    KeepOffTaskbar(*this);
    CreateControls();
    SoundChoice = MakeQtChild<TSoundChoiceControls>(this);
    AppendToBody(SoundChoice->Row);
    AreaChoice = MakeQtChild<TAreaChoiceControls>(this, std::move(windows));
    // A chosen area is recorded pixel for pixel unless the user changes the size.
    AreaChoice->OnSizeChosen = [this](QSize size) {
        const QSize fields = FieldSizeForArea(size, ConfiguredCodec());
        SpinWidth->SetValue(fields.width());
        SpinHeight->SetValue(fields.height());
    };
    AppendToBody(AreaChoice->Row);
    SegmentRow = MakeQtChild<TSegmentRow>(this);
    AppendToBody(SegmentRow->Row);
    StorageLimitRow = MakeQtChild<TStorageLimitRow>(this);
    AppendToBody(StorageLimitRow->Row);
    AppendToBody(HotKeys = MakeQtChild<THotKeyPage>(this));
    ApplySkin();

    if (FMainWindow)
        move(SettingPositionBeneath(FMainWindow->frameGeometry()));
    try {
        LoadSetting();
    } catch (const Exception& error) {
        ShowError(error);
    }
}

void TFrmSetting::CreateControls() {
    ImgTitle = MakeQtChild<TPictureView>(this);
    ImgTitle->setGeometry(0, 0, kClientWidth, kTitleHeight);

    ImgFrom = MakeQtChild<TPictureView>(this);
    ImgFrom->SetStretch(true);
    ImgFrom->setGeometry(0, 24, 240, FBodyHeight - 1);

    LabCaption = MakeQtChild<QLabel>(QStringLiteral("  Vardocle"), this);
    LabCaption->setGeometry(10, 0, 175, 26);
    LabCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabCaption->setFont(PixelFont(QStringLiteral("宋体-PUA"), 14));
    SetColour(LabCaption, QPalette::WindowText, kCaptionColour);
    LabCaption->installEventFilter(this);

    BtnHide = MakeQtChild<TImageButton>(this);
    BtnHide->setGeometry(187, 2, 25, 20);
    BtnHide->OnClick = [this](QObject*) { BtnHideClick(); };
    BtnClose = MakeQtChild<TImageButton>(this);
    BtnClose->setGeometry(211, 2, 25, 20);
    BtnClose->OnClick = [this](QObject*) { BtnCloseClick(); };

    CheckRecordCursor = MakeCheckBox(
        this, QStringLiteral("录制时录取鼠标:") + QString(33, QLatin1Char(' ')), {15, 40, 202, 17});
    CheckRecordCursor->setChecked(true);
    CheckRecordThansparent = MakeCheckBox(
        this, QStringLiteral("录制时录取透明窗体(包括本程序):") + QString(2, QLatin1Char(' ')),
        {16, 65, 201, 17});

    Label4 = MakeLabel(this, QStringLiteral("录取速度设置(帧/秒):"), {16, 91});
    SpinRate = MakeSpin(this, kMinRate, kMaxRate, 2, {163, 89, 55, 22});
    SpinRate->SetTypingAllowed(false);
    Label5 = MakeLabel(this, QStringLiteral("生成的视频宽度(像素):"), {15, 119});
    SpinWidth = MakeSpin(this, kMinVideoSize, kMaxVideoSize, 1024, {163, 116, 56, 22});
    Label6 = MakeLabel(this, QStringLiteral("生成的视频高度(像素):"), {15, 147});
    SpinHeight = MakeSpin(this, kMinVideoSize, kMaxVideoSize, 768, {163, 144, 56, 22});

    SizeAdvice = MakeQtChild<TSizeAdvice>(this);
    SizeAdvice->setGeometry(15, kTitleHeight + kOptionsHeight - 4, kClientWidth - 27, 0);
    SizeAdvice->setFont(PixelFont(QStringLiteral("宋体"), 12));
    SetColour(SizeAdvice, QPalette::WindowText, kTextColour);
    SetColour(SizeAdvice, QPalette::Link, kCaptionColour);
    SizeAdvice->Watch(
        *SpinWidth, *SpinHeight, [this] { return AreaSize(); }, [this] { LayOutBody(); });
    LayOutBody();
}

int TFrmSetting::UnfoldedHeight() const {
    return kTitleHeight + FBodyHeight;
}

// Beneath the recording options: the size advice when it has a word to say,
// then the rows appended, one under the other; the body grows to hold them.
void TFrmSetting::LayOutBody() {
    const int advice = SizeAdvice->NeededHeight();
    int y = kTitleHeight + kOptionsHeight - 4 + (advice ? advice + 2 : 0);
    for (QWidget* rows : FRows) {
        rows->move(0, y);
        y += rows->height();
    }
    FBodyHeight = y + 4 - kTitleHeight;
    // Folded is hidden by the user; before the first showing every child is.
    const bool folded =
        ImgFrom->isHidden() && ImgFrom->testAttribute(Qt::WA_WState_ExplicitShowHide);
    if (folded)
        return;
    ImgFrom->setGeometry(0, kTitleHeight, kClientWidth - 1, FBodyHeight - 1);
    resize(kClientWidth, UnfoldedHeight());
}

void TFrmSetting::ApplySkin() {
    InitAssets();
    const QImage title = LoadPicture(QStringLiteral(":/skin/setting/Title.pic"));
    const QImage body = LoadPicture(QStringLiteral(":/skin/setting/Body.pic"));
    ImgTitle->SetPicture(title);
    ImgFrom->SetPicture(body);
    LoadButtonPicture(*BtnHide, QStringLiteral(":/skin/setting/BtnHide.pic"));
    LoadButtonPicture(*BtnClose, QStringLiteral(":/skin/setting/BtnClose.pic"));
    UpdateShape();
}

void TFrmSetting::UpdateShape() {
    // The window's shape: the pictures where they lie, the key colour elsewhere.
    const QImage& title = ImgTitle->Picture();
    const QImage& body = ImgFrom->Picture();
    if (!title.isNull() || !body.isNull())
        setMask(
            ShapeOfPictures(QSize(kClientWidth, UnfoldedHeight()), kTransparentKey,
                            {{ImgFrom->geometry(), body}, {QRect({0, 0}, title.size()), title}}));
}

void TFrmSetting::AppendToBody(QWidget* rows) {
    FRows.push_back(rows);
    LayOutBody();
}

void TFrmSetting::LoadSetting() {
    if (FSettingFile.empty())
        return;
    HotKeys->Load(FSettingFile);
    FSoundSetting = LoadSoundSetting(FSettingFile);
    SoundChoice->SetChoice(FSoundSetting.Choice);
    AreaChoice->SetArea(LoadAreaSetting(FSettingFile));
    SegmentRow->SetSetting(LoadSegmentSetting(FSettingFile));
    StorageLimitRow->SetSetting(LoadStorageLimitSetting(FSettingFile));
    const TSettingValues values = LoadSettingFile(FSettingFile, PrimaryScreenSize());
    CheckRecordCursor->setChecked(values.RecordCursor);
    CheckRecordThansparent->setChecked(values.RecordTrans);
    SpinRate->SetValue(values.Rate);
    SpinWidth->SetValue(values.Width);
    SpinHeight->SetValue(values.Height);
}

TSettingValues TFrmSetting::Values() const {
    TSettingValues values;
    values.RecordCursor = CheckRecordCursor->isChecked();
    values.RecordTrans = CheckRecordThansparent->isChecked();
    values.Rate = SpinRate->Value();
    values.Width = SpinWidth->Value();
    values.Height = SpinHeight->Value();
    return values;
}

QSize TFrmSetting::AreaSize() const {
    if (!AreaChoice)
        return PrimaryScreenSize();
    const TCaptureArea& area = AreaChoice->Area();
    if (area.Kind == TAreaKind::Region && !area.Pick)
        return {area.Region.Width, area.Region.Height};
    if (area.Kind == TAreaKind::Monitor)
        for (const auto& monitor : AreaChoice->Monitors())
            if (monitor.Name == area.Monitor)
                return {monitor.Area.Width, monitor.Area.Height};
    if (area.Kind == TAreaKind::Window && !area.Pick && AreaChoice->Windows().Find)
        if (const auto window = AreaChoice->Windows().Find(area.Window))
            return {window->Area.Width, window->Area.Height};
    return PrimaryScreenSize();
}

void TFrmSetting::SetOptionsEnabled(bool Enabled) {
    CheckRecordCursor->setEnabled(Enabled);
    CheckRecordThansparent->setEnabled(Enabled);
    SoundChoice->SetEnabled(Enabled);
    AreaChoice->SetEnabled(Enabled);
    SegmentRow->SetEnabled(Enabled);
    StorageLimitRow->SetEnabled(Enabled);
}

TSoundSetting TFrmSetting::SoundSetting() const {
    TSoundSetting setting = FSoundSetting;
    setting.Choice = SoundChoice->Choice();
    return setting;
}

void TFrmSetting::BtnHideClick() {
    if (!ImgFrom->isHidden()) {
        ImgFrom->hide();
        resize(width(), ImgTitle->height());
    } else {
        ImgFrom->show();
        resize(width(), UnfoldedHeight());
    }
}

void TFrmSetting::BtnCloseClick() {
    close();
}

void TFrmSetting::paintEvent(QPaintEvent*) {
    // Painted rather than set in the palette, which the controls would inherit.
    QPainter(this).fillRect(rect(), kTransparentKey);
}

void TFrmSetting::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The body keeps its margins to the right and bottom edges.
    if (!ImgFrom->isHidden()) {
        ImgFrom->setGeometry(0, kTitleHeight, width() - 1, height() - kTitleHeight - 1);
        UpdateShape();
    }
}

bool TFrmSetting::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LabCaption && LabCaptionMouse(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool TFrmSetting::LabCaptionMouse(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        FDragging = true;
        FDragOffset = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
        return true;
    }
    case QEvent::MouseMove: {
        if (!FDragging)
            return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        move(mouse->globalPosition().toPoint() - FDragOffset);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!FDragging || mouse->button() != Qt::LeftButton)
            return false;
        FDragging = false;
        move(mouse->globalPosition().toPoint() - FDragOffset);
        if (FMainWindow)
            if (auto docked = SnapBeneath(FMainWindow->frameGeometry(), frameGeometry().topLeft()))
                move(*docked);
        return true;
    }
    default:
        return false;
    }
}

void SaveSetting(const TFrmSetting& FrmSetting) {
    if (FrmSetting.SettingFile().empty())
        return;
    SaveSettingFile(FrmSetting.SettingFile(), FrmSetting.Values());
    SaveHotKeySettings(FrmSetting.SettingFile(), FrmSetting.HotKeys->Keys());
    SaveSoundSetting(FrmSetting.SettingFile(), FrmSetting.SoundSetting());
    SaveAreaSetting(FrmSetting.SettingFile(), FrmSetting.AreaChoice->Area());
    SaveSegmentSetting(FrmSetting.SettingFile(), FrmSetting.SegmentRow->Setting());
    SaveStorageLimitSetting(FrmSetting.SettingFile(), FrmSetting.StorageLimitRow->Setting());
}

} // namespace vardocle
