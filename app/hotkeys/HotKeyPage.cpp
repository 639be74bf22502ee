#include "app/hotkeys/HotKeyPage.h"

#include "app/SettingLook.h"
#include "app/hotkeys/HotKeyBindings.h"
#include "app/hotkeys/HotKeyCaptions.h"
#include "app/hotkeys/KeyCaptureEdit.h"
#include "platform/base/QtChild.h"
#include "skin/StoredPictures.h"

#include <QLabel>
#include <QPushButton>

namespace vardocle {

namespace {

const QColor kRefusedColour(255, 210, 90);

constexpr int kRowTop = 22;
constexpr int kRowPitch = 24;
constexpr int kNoteHeight = 28;

const std::array<QString, 6> kRowNames = {QStringLiteral("录制:"),      QStringLiteral("暂停:"),
                                          QStringLiteral("继续:"),      QStringLiteral("停止:"),
                                          QStringLiteral("显示/隐藏:"), QStringLiteral("退出:")};

QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& geometry) {
    auto* label = MakeQtChild<QLabel>(text, parent);
    label->setFont(PixelFont(QStringLiteral("宋体"), 12));
    SetColour(label, QPalette::WindowText, kSettingTextColour);
    label->setGeometry(geometry);
    return label;
}

} // namespace

THotKeyPage::THotKeyPage(QWidget* parent) : QWidget(parent) {
    LabHeading = MakeLabel(this, QStringLiteral("热键(点击后按下新的组合键):"), {15, 2, 210, 17});
    for (std::size_t row = 0; row < EditKeys.size(); ++row) {
        const int top = kRowTop + static_cast<int>(row) * kRowPitch;
        LabNames[row] = MakeLabel(this, kRowNames[row], {15, top + 3, 80, 17});
        auto* edit = MakeQtChild<TKeyCaptureEdit>(this);
        edit->setGeometry(95, top, 92, 22);
        edit->setFont(PixelFont(QStringLiteral("新宋体"), 12, true));
        SetColour(edit, QPalette::Base, kSettingFieldColour);
        SetColour(edit, QPalette::Text, kSettingTextColour);
        connect(edit, &TKeyCaptureEdit::Pressed, this,
                [this, row](THotKey key) { ChooseKey(row, key); });
        EditKeys[row] = edit;
        auto* off = MakeQtChild<QPushButton>(QStringLiteral("关闭"), this);
        off->setGeometry(190, top, 38, 22);
        off->setFont(PixelFont(QStringLiteral("宋体"), 12));
        off->setToolTip(QStringLiteral("不使用这个热键"));
        off->setFocusPolicy(Qt::NoFocus);
        connect(off, &QPushButton::clicked, this, [this, row] { ChooseKey(row, 0); });
        BtnOff[row] = off;
    }
    const int noteTop = kRowTop + 6 * kRowPitch;
    LabNote = MakeLabel(this, QString(), {15, noteTop, 213, kNoteHeight});
    LabNote->setWordWrap(true);
    LabNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    resize(241, noteTop + kNoteHeight);
    ShowKeys();
}

void THotKeyPage::Load(const std::filesystem::path& settingFile) {
    FKeys = LoadHotKeySettings(settingFile);
    ShowKeys();
}

void THotKeyPage::Attach(THotKeyBindings* bindings) {
    FBindings = bindings;
    if (FBindings)
        connect(FBindings, &THotKeyBindings::Changed, this, &THotKeyPage::ShowKeys);
    ShowKeys();
}

THotKeySet THotKeyPage::Keys() const {
    return FBindings ? FBindings->Keys() : FKeys;
}

void THotKeyPage::ChooseKey(std::size_t row, THotKey key) {
    const QString name = kRowNames.at(row).chopped(1);
    if (key != 0 && !FitForGlobalHotKey(key)) {
        Note(QStringLiteral("%1 会挡住其他程序的输入，请按带 Ctrl、Alt 或 Win 的组合键。")
                 .arg(HotKeyCaption(key, false)),
             true);
        return;
    }
    THotKeyBindings::TChange result = THotKeyBindings::TChange::Done;
    if (FBindings) {
        result = FBindings->Change(row, key);
    } else {
        for (std::size_t other = 0; other < FKeys.size(); ++other)
            if (key != 0 && other != row && FKeys[other] == key)
                result = THotKeyBindings::TChange::InUseHere;
        if (result == THotKeyBindings::TChange::Done)
            FKeys[row] = key;
    }
    const QString caption = HotKeyCaption(key, false);
    switch (result) {
    case THotKeyBindings::TChange::HeldElsewhere:
        Note(QStringLiteral("%1 已被其他程序占用，请换一个组合键。").arg(caption), true);
        break;
    case THotKeyBindings::TChange::InUseHere:
        Note(QStringLiteral("%1 已用于本程序的另一个热键。").arg(caption), true);
        break;
    case THotKeyBindings::TChange::Done:
        Note(key == 0 ? QStringLiteral("“%1”不再使用热键。").arg(name)
                      : QStringLiteral("“%1”的热键改为 %2。").arg(name, caption),
             false);
        break;
    }
    ShowKeys();
}

void THotKeyPage::ShowKeys() {
    const THotKeySet keys = Keys();
    for (std::size_t row = 0; row < keys.size(); ++row) {
        EditKeys[row]->SetKey(keys[row]);
        BtnOff[row]->setEnabled(keys[row] != 0);
    }
}

void THotKeyPage::Note(const QString& text, bool refused) {
    SetColour(LabNote, QPalette::WindowText, refused ? kRefusedColour : kSettingTextColour);
    LabNote->setText(text);
}

} // namespace vardocle
