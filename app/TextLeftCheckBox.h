#pragma once
// A check box with its text on the left and the box at the right edge.
#include <QCheckBox>

namespace vardocle {

class TTextLeftCheckBox : public QCheckBox {
public:
    TTextLeftCheckBox(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    // The whole control answers the mouse, as the text and box do together.
    bool hitButton(const QPoint& position) const override;

private:
    QRect IndicatorRect(const QStyleOptionButton& option) const;
};

} // namespace vardocle
