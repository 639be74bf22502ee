#include "app/SizeAdvice.h"

#include "app/SettingStore.h"
#include "app/SpinEdit.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace vardocle {

namespace {

constexpr double kShapeTolerance = 0.01;

QString SizeText(QSize size) {
    return QStringLiteral("%1×%2").arg(size.width()).arg(size.height());
}

} // namespace

bool ShapeDiffers(QSize chosen, QSize screen) {
    if (chosen.isEmpty() || screen.isEmpty())
        return false;
    const double chosenShape = double(chosen.width()) / chosen.height();
    const double screenShape = double(screen.width()) / screen.height();
    return std::abs(chosenShape / screenShape - 1.0) > kShapeTolerance;
}

QSize ScreenShapeFor(QSize chosen, QSize screen) {
    if (chosen.isEmpty() || screen.isEmpty())
        return chosen;
    const long height = std::lround(double(chosen.width()) * screen.height() / screen.width());
    if (height >= kMinVideoSize && height <= kMaxVideoSize)
        return {chosen.width(), int(height)};
    const int fitted = int(std::clamp<long>(height, kMinVideoSize, kMaxVideoSize));
    const long width = std::lround(double(fitted) * screen.width() / screen.height());
    return {int(std::clamp<long>(width, kMinVideoSize, kMaxVideoSize)), fitted};
}

QString SizeAdviceText(QSize chosen, QSize screen, TCodecKind codec) {
    QStringList lines;
    if (ShapeDiffers(chosen, screen))
        lines << QStringLiteral("该尺寸与屏幕(%1)的比例不同，录像画面会被拉伸。"
                                "<a href=\"shape\">改为屏幕比例</a>")
                     .arg(SizeText(screen));
    const TPictureSize recorded = RecordedSize(codec, {chosen.width(), chosen.height()});
    if (QSize(recorded.Width, recorded.Height) != chosen)
        lines << QStringLiteral("视频的宽和高须为偶数，将录制为 %1。")
                     .arg(SizeText({recorded.Width, recorded.Height}));
    return lines.join(QStringLiteral("<br>"));
}

TSizeAdvice::TSizeAdvice(QWidget* parent) : QLabel(parent) {
    setWordWrap(true);
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(this, &QLabel::linkActivated, this, [this](const QString&) {
        if (FTakeScreenShape)
            FTakeScreenShape();
    });
    hide();
}

void TSizeAdvice::Watch(TSpinEdit& width, TSpinEdit& height, const std::function<QSize()>& screen,
                        std::function<void()> resized) {
    FTakeScreenShape = [&width, &height, screen] {
        const QSize shape = ScreenShapeFor({width.Value(), height.Value()}, screen());
        width.SetValue(shape.width());
        height.SetValue(shape.height());
    };
    const auto update = [this, &width, &height, screen, resized = std::move(resized)] {
        Update({width.Value(), height.Value()}, screen(), ConfiguredCodec());
        resize(this->width(), NeededHeight());
        if (resized)
            resized();
    };
    for (TSpinEdit* spin : {&width, &height})
        connect(spin, &QSpinBox::valueChanged, this, update);
}

void TSizeAdvice::Update(QSize chosen, QSize screen, TCodecKind codec) {
    const QString text = SizeAdviceText(chosen, screen, codec);
    setText(text);
    setVisible(!text.isEmpty());
}

int TSizeAdvice::NeededHeight() const {
    return isHidden() ? 0 : heightForWidth(width());
}

} // namespace vardocle
