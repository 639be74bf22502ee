#include "history/ClickLabel.h"

#include <QMouseEvent>

namespace vardocle {

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Clicked();
}

} // namespace vardocle
