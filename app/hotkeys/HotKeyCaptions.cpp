#include "app/hotkeys/HotKeyCaptions.h"

#include "app/RefusedHotKeys.h"
#include "hotkeys/HotKeyText.h"
#include "services/uFrmHelp.h"
#include "skin/ImageButton.h"

#include <QAction>

namespace vardocle {

namespace {

// What each row does, as the tray menu names it.
const std::array<QString, 6> kMenuNames = {QStringLiteral("录制"),      QStringLiteral("暂停"),
                                           QStringLiteral("继续"),      QStringLiteral("结束"),
                                           QStringLiteral("显示/隐藏"), QStringLiteral("退出")};

QString ButtonHint(std::size_t row, THotKey key) {
    if (row == 5)
        return QStringLiteral("热键:%1").arg(HotKeyCaption(key, false));
    return QStringLiteral("热键(%1)").arg(HotKeyCaption(key, false));
}

QString MenuText(std::size_t row, THotKey key) {
    if (key == 0)
        return kMenuNames[row];
    return QStringLiteral("%1 (%2)").arg(kMenuNames[row], HotKeyCaption(key, true));
}

} // namespace

QString HotKeyCaption(THotKey key, bool spaced) {
    if (key == 0)
        return QStringLiteral("无");
    QString text = HotKeyDisplayText(key, false);
    if (spaced)
        text.replace(QLatin1Char('+'), QStringLiteral(" + "));
    return text;
}

void ShowHotKeysInUse(const THotKeySet& keys, const std::array<bool, 6>& refused,
                      const THotKeyPlaces& places) {
    std::array<QString, 6> helpTexts;
    for (std::size_t row = 0; row < keys.size(); ++row) {
        if (TImageCtrl* button = places.Buttons[row]) {
            const QString hint = ButtonHint(row, keys[row]);
            button->SetHint(refused[row] ? RefusedHint(hint) : hint);
        }
        if (QAction* item = places.Items[row]) {
            const QString text = MenuText(row, keys[row]);
            item->setText(refused[row] ? RefusedHint(text) : text);
        }
        helpTexts[row] = HotKeyCaption(keys[row], true);
    }
    if (places.Help)
        places.Help->ShowHotKeys(helpTexts, refused);
}

QString HideBalloonText(THotKey showHide) {
    if (showHide == 0)
        return QStringLiteral("我在这里哦!要重新显示，请点击图标重新显示!");
    return QStringLiteral("我在这里哦!要重新显示，请点击图标或者重复按(%1)重新显示!")
        .arg(HotKeyCaption(showHide, false));
}

QString HotKeysAnnouncement(const THotKeySet& keys) {
    QStringList taken;
    for (std::size_t row = 0; row < keys.size(); ++row)
        if (keys[row] != 0)
            taken << kMenuNames[row] + QLatin1Char(' ') + HotKeyCaption(keys[row], false);
    if (taken.isEmpty())
        return QStringLiteral("欢迎使用Vardocle!");
    return QStringLiteral("欢迎使用Vardocle! 运行时以下热键归本程序使用，在其他程序中不起作用：%1。"
                          "可以在设置窗口的“热键”中更改或关闭它们。")
        .arg(taken.join(QStringLiteral("、")));
}

} // namespace vardocle
