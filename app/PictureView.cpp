#include "app/PictureView.h"

#include <QPainter>

namespace vardocle {

TPictureView::TPictureView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TPictureView::SetPicture(const QImage& picture) {
    FPicture = picture;
    update();
}

void TPictureView::SetStretch(bool stretch) {
    FStretch = stretch;
    update();
}

void TPictureView::paintEvent(QPaintEvent*) {
    if (FPicture.isNull())
        return;
    QPainter painter(this);
    if (FStretch)
        painter.drawImage(rect(), FPicture);
    else
        painter.drawImage(0, 0, FPicture);
}

} // namespace vardocle
