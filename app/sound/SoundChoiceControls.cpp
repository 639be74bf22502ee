#include "app/sound/SoundChoiceControls.h"

#include "platform/base/QtChild.h"
#include "skin/StoredPictures.h"

#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QMenu>

#include <array>

namespace vardocle {

namespace {

// In the order of TSoundChoice.
const std::array<const char*, 4> kCaptions = {"麦克风", "系统声音", "麦克风和系统声音", "无声音"};

const QColor kTextColour(194, 241, 235);
const QColor kFieldColour(64, 128, 128);

} // namespace

TSoundChoiceControls::TSoundChoiceControls(QWidget* Window) : QObject(Window) {
    // As wide as the window's body, the label and list where the rows above
    // have theirs.
    Row = MakeQtChild<QWidget>(Window);
    Row->resize(240, kRowHeight);
    LabSound = MakeQtChild<QLabel>(QStringLiteral("录制声音:"), Row);
    LabSound->setFont(PixelFont(QStringLiteral("宋体"), 12));
    QPalette text = LabSound->palette();
    text.setColor(QPalette::WindowText, kTextColour);
    LabSound->setPalette(text);
    LabSound->adjustSize();
    LabSound->move(15, 7);

    ComboSound = MakeQtChild<QComboBox>(Row);
    ComboSound->setFont(PixelFont(QStringLiteral("宋体"), 12));
    QPalette field = ComboSound->palette();
    field.setColor(QPalette::Base, kFieldColour);
    field.setColor(QPalette::Button, kFieldColour);
    field.setColor(QPalette::Text, kTextColour);
    field.setColor(QPalette::ButtonText, kTextColour);
    ComboSound->setPalette(field);
    ComboSound->setGeometry(97, 4, 122, 22);

    FMenu = MakeQtChild<QMenu>(QStringLiteral("录制声音"), Window);
    FGroup = MakeQtChild<QActionGroup>(FMenu);
    for (std::size_t i = 0; i < kCaptions.size(); ++i) {
        const QString caption = QString::fromUtf8(kCaptions[i]);
        ComboSound->addItem(caption);
        QAction* action = FMenu->addAction(caption);
        action->setCheckable(true);
        FGroup->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, i] { ComboSound->setCurrentIndex(static_cast<int>(i)); });
    }
    connect(ComboSound, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < FMenu->actions().size())
            FMenu->actions()[index]->setChecked(true);
    });
    SetChoice(TSoundChoice::Microphone);
}

TSoundChoice TSoundChoiceControls::Choice() const {
    return static_cast<TSoundChoice>(std::max(0, ComboSound->currentIndex()));
}

void TSoundChoiceControls::SetChoice(TSoundChoice Choice) {
    ComboSound->setCurrentIndex(static_cast<int>(Choice));
    FMenu->actions()[static_cast<int>(Choice)]->setChecked(true);
}

void TSoundChoiceControls::SetEnabled(bool Enabled) {
    ComboSound->setEnabled(Enabled);
    FMenu->setEnabled(Enabled);
}

} // namespace vardocle
