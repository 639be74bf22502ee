#pragma once
// A picture on a window: drawn at its corner, or stretched over the whole
// control. It takes no mouse input, so what lies under it in the window
// layout gets none either; controls on top of it work as usual.
#include <QImage>
#include <QWidget>

namespace vardocle {

class TPictureView : public QWidget {
public:
    explicit TPictureView(QWidget* parent = nullptr);

    const QImage& Picture() const { return FPicture; }
    void SetPicture(const QImage& picture);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool stretch);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage FPicture;
    bool FStretch = false;
};

} // namespace vardocle
