#include "app/TextLeftCheckBox.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace vardocle {

TTextLeftCheckBox::TTextLeftCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent) {}

QRect TTextLeftCheckBox::IndicatorRect(const QStyleOptionButton& option) const {
    QRect indicator = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    indicator.moveRight(rect().right());
    return indicator;
}

void TTextLeftCheckBox::paintEvent(QPaintEvent*) {
    // The layout direction cannot do this: right to left it also moves the
    // caption's trailing spaces to its front.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);

    QStyleOptionButton box = option;
    box.rect = IndicatorRect(option);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);

    QRect textRect = rect();
    textRect.setRight(box.rect.left() - 1);
    painter.drawItemText(textRect, Qt::AlignLeft | Qt::AlignVCenter, option.palette, isEnabled(),
                         text(), QPalette::WindowText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = painter.fontMetrics().boundingRect(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                                                        text().trimmed());
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool TTextLeftCheckBox::hitButton(const QPoint& position) const {
    return rect().contains(position);
}

} // namespace vardocle
