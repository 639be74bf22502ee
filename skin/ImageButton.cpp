#include "skin/ImageButton.h"

#include "skin/nxGDIPlusClasses.h"

#include <QBuffer>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vardocle {

// ---- TChangeLink ------------------------------------------------------------

TChangeLink::~TChangeLink() {
    if (Sender != nullptr)
        Sender->UnregisterLink(this);
}

void TChangeLink::Notify() {
    if (OnChange)
        OnChange(Sender);
}

// ---- TImageManager ----------------------------------------------------------

TImageManager::TImageManager(QObject* owner) : QObject(owner) {}

TImageManager::~TImageManager() {
    // Last to first; the controls drop their reference when told that the
    // manager is gone (QObject::destroyed).
    while (!FLinks.empty())
        UnregisterLink(FLinks.back());
}

void TImageManager::SetImageBorder(const TPicture& picture) {
    FImageBorder.Assign(picture);
    NotifyLinks();
}

void TImageManager::SetImageGlyph(const TPicture& picture) {
    FImageGlyph.Assign(picture);
    NotifyLinks();
}

void TImageManager::SetImageGlyph(const TGraphic& graphic) {
    FImageGlyph.SetGraphic(&graphic);
    NotifyLinks();
}

void TImageManager::RegisterLink(TChangeLink* link) {
    link->Sender = this;
    FLinks.push_back(link);
}

void TImageManager::UnregisterLink(TChangeLink* link) {
    for (auto it = FLinks.begin(); it != FLinks.end(); ++it) {
        if (*it == link) {
            link->Sender = nullptr;
            FLinks.erase(it);
            return;
        }
    }
}

void TImageManager::NotifyLinks() {
    const std::size_t count = FLinks.size();
    for (std::size_t i = 0; i < count && i < FLinks.size(); ++i)
        FLinks[i]->Notify();
}

// ---- TImageCtrl -------------------------------------------------------------

TImageCtrl::TImageCtrl(QWidget* parent) : QWidget(parent) {
    // Windowless look: only the pictures' pixels are painted, the parent
    // shows everywhere else.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setMouseTracking(false);
    FImageBorder.OnChange = [this] { BorderChanged(); };
    FImageGlyph.OnChange = [this] { GlyphChanged(); };
    FLink.OnChange = [this](QObject* sender) { ManagerChanged(sender); };
    const QFont& f = font();
    const bool inPoints = f.pointSizeF() > 0;
    FGPFont = std::make_unique<TGPFont>(
        f.family(), static_cast<float>(inPoints ? f.pointSizeF() : f.pixelSize()), FontStyleRegular,
        inPoints ? UnitPoint : UnitPixel);
    FGPBrush = std::make_unique<TGPSolidBrush>(ColorToARGB(FFontColor));
    FGPFormat = std::make_unique<TGPStringFormat>(0, 0);
}

TImageCtrl::~TImageCtrl() {
    FImageBorder.OnChange = nullptr;
    FImageGlyph.OnChange = nullptr;
    QObject::disconnect(FManagerGone);
}

std::unique_ptr<TGPBitmap> TImageCtrl::Decode(const TPicture& picture) {
    if (picture.IsEmpty())
        return nullptr;
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(picture.Graphic())) {
        // A device bitmap's fourth byte is not taken as alpha.
        return std::make_unique<TGPBitmap>(bitmap->Image().convertToFormat(QImage::Format_RGB32));
    }
    // The skin's strips are already decoded pictures: no need to write them
    // out and read them back.
    if (const auto* png = dynamic_cast<const TnxPNGImage*>(picture.Graphic()))
        return std::make_unique<TGPBitmap>(png->ToImage());
    QBuffer encoded;
    encoded.open(QIODevice::ReadWrite);
    try {
        picture.Graphic()->WriteImageStream(encoded);
    } catch (const Exception&) {
        encoded.buffer().clear();
    }
    encoded.seek(0);
    TFixedStreamAdapter adapter(encoded);
    // Decoded completely here: the image does not need the buffer afterwards.
    return std::make_unique<TGPBitmap>(adapter, false);
}

void TImageCtrl::BorderChanged() {
    FBorderImage = Decode(FImageBorder);
    Invalidate();
}

void TImageCtrl::GlyphChanged() {
    FGlyphImage = Decode(FImageGlyph);
    Invalidate();
}

void TImageCtrl::SetImageManager(TImageManager* manager) {
    if (FImageManager != nullptr) {
        FImageManager->UnregisterLink(&FLink);
        QObject::disconnect(FManagerGone);
    }
    FImageManager = manager;
    if (manager == nullptr)
        return;
    manager->RegisterLink(&FLink);
    // The manager unregistered the link itself when it goes; only the
    // reference is dropped here.
    FManagerGone = connect(manager, &QObject::destroyed, this, [this](QObject* gone) {
        if (gone == FImageManager)
            FImageManager = nullptr;
    });
    ManagerChanged(manager);
}

void TImageCtrl::ManagerChanged(QObject* sender) {
    if (FImageManager == nullptr || sender != FImageManager)
        return;
    if (!FImageManager->ImageBorder().IsEmpty())
        FImageBorder.Assign(FImageManager->ImageBorder());
    if (!FImageManager->ImageGlyph().IsEmpty())
        FImageGlyph.Assign(FImageManager->ImageGlyph());
    Invalidate();
}

void TImageCtrl::SetGlyphLayout(TGlyphLayout value) {
    if (value != FGlyphLayout) {
        FGlyphLayout = value;
        Invalidate();
    }
}

void TImageCtrl::SetGlyphSpace(std::int32_t value) {
    if (value != FGlyphSpace) {
        FGlyphSpace = value;
        Invalidate();
    }
}

void TImageCtrl::SetGlyphNumber(std::uint8_t value) {
    if (value != FGlyphNumber) {
        FGlyphNumber = value;
        Invalidate();
    }
}

void TImageCtrl::SetAlignment(TAlignment value) {
    if (value != FAlignment) {
        FAlignment = value;
        Invalidate();
    }
}

void TImageCtrl::SetBorderSpace(std::int32_t value) {
    if (value != FBorderSpace) {
        FBorderSpace = value;
        Invalidate();
    }
}

void TImageCtrl::SetAutoRepaintParent(bool value) {
    if (value != FAutoRepaintParent) {
        FAutoRepaintParent = value;
        Invalidate();
    }
}

void TImageCtrl::SetCaption(const QString& caption) {
    if (caption == FCaption)
        return;
    FCaption = caption;
    Invalidate();
}

void TImageCtrl::SetFontColor(TColor color) {
    if (color == FFontColor)
        return;
    FFontColor = color;
    FontChanged();
}

void TImageCtrl::FontChanged() {
    const QFont& f = font();
    std::int32_t style = FontStyleRegular;
    style |= f.bold() ? FontStyleBold : 0;
    style |= f.italic() ? FontStyleItalic : 0;
    style |= f.underline() ? FontStyleUnderline : 0;
    style |= f.strikeOut() ? FontStyleStrikeout : 0;
    const bool inPoints = f.pointSizeF() > 0;
    FGPFont = std::make_unique<TGPFont>(
        f.family(), static_cast<float>(inPoints ? f.pointSizeF() : f.pixelSize()), style,
        inPoints ? UnitPoint : UnitPixel);
    FGPBrush->SetColor(ColorToARGB(FFontColor));
    Invalidate();
}

void TImageCtrl::Invalidate() {
    if (FAutoRepaintParent && parentWidget() != nullptr)
        parentWidget()->update(geometry());
    update();
}

void TImageCtrl::Click() {
    if (OnClick)
        OnClick(this);
}

void TImageCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    TGPGraphics graphics(painter);
    Paint(graphics);
}

void TImageCtrl::Paint(TGPGraphics& graphics) {
    graphics.SetInterpolationMode(InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(PixelOffsetModeHalf);
    const int frame = BorderFrameIndex(FState.State, isEnabled());
    if (FBorderImage) {
        DrawStretchedFrame(FBorderImage.get(), &graphics, {width(), height()}, frame,
                           static_cast<std::int32_t>(FBorderImage->GetWidth() / 5),
                           FImageBorderHorzStretch, FImageBorderVertStretch);
    }
    // A strip cut into no frames shows no glyph, only the caption.
    if (FGlyphImage && FGlyphNumber > 0) {
        const auto frameWidth = static_cast<int>(FGlyphImage->GetWidth() / FGlyphNumber);
        DrawGlyphAndCaption(graphics, GlyphFrameIndex(frame, FGlyphNumber), frameWidth);
    } else if (!FCaption.isEmpty()) {
        DrawCaptionAlone(graphics);
    }
}

void TImageCtrl::DrawGlyphAndCaption(TGPGraphics& graphics, int frameIndex, int frameWidth) {
    TGPRectF box;
    if (graphics.MeasureString(FCaption, -1, FGPFont.get(), {0, 0}, box) != Ok)
        return;
    const auto glyphHeight = static_cast<int>(FGlyphImage->GetHeight());
    TGlyphCaptionInput in;
    in.Width = static_cast<float>(width());
    in.Height = static_cast<float>(height());
    in.TextWidth = box.Width;
    in.TextHeight = box.Height;
    in.FrameWidth = static_cast<float>(frameWidth);
    in.GlyphHeight = static_cast<float>(glyphHeight);
    in.Layout = FGlyphLayout;
    in.Alignment = FAlignment;
    in.GlyphSpace = FGlyphSpace;
    in.BorderSpace = FBorderSpace;
    const TGlyphCaptionPlacement at = PlaceGlyphAndCaption(in);
    graphics.DrawImage(
        FGlyphImage.get(),
        TGPRect{RoundHalfEven(at.GlyphX), RoundHalfEven(at.GlyphY), frameWidth, glyphHeight},
        frameIndex * frameWidth, 0, frameWidth, glyphHeight, UnitPixel);
    if (!FCaption.isEmpty())
        graphics.DrawString(FCaption, -1, FGPFont.get(), TGPPointF{at.TextX, at.TextY},
                            FGPBrush.get());
}

void TImageCtrl::DrawCaptionAlone(TGPGraphics& graphics) {
    const TCaptionBox box = CaptionAloneBox(static_cast<float>(width()),
                                            static_cast<float>(height()), FAlignment, FBorderSpace);
    FGPFormat->SetAlignment(box.Align);
    FGPFormat->SetLineAlignment(StringAlignmentCenter);
    graphics.DrawString(FCaption, -1, FGPFont.get(), box.Rect, FGPFormat.get(), FGPBrush.get());
}

bool TImageCtrl::CursorOverThis(const QPointF& position) const {
    const QPoint local = position.toPoint();
    if (!rect().contains(local))
        return false;
    const QWidget* top = window();
    if (top == this)
        return true;
    // Disabled controls count: only what lies on top matters.
    return top->childAt(mapTo(top, local)) == this;
}

void TImageCtrl::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (FState.MouseEnter(isEnabled()))
        Invalidate();
}

void TImageCtrl::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (FState.MouseLeave(isEnabled()))
        Invalidate();
}

void TImageCtrl::mousePressEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    if (left)
        FClickPending = true;
    if (FState.MouseButtonDown(isEnabled(), left))
        Invalidate();
}

void TImageCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click raises DblClick, not a click.
    const bool left = event->button() == Qt::LeftButton;
    if (left && OnDblClick)
        OnDblClick(this);
    if (FState.MouseButtonDown(isEnabled(), left))
        Invalidate();
}

void TImageCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    // The click comes first, so handlers see the down look (or a check
    // button already checked).
    if (left && FClickPending) {
        FClickPending = false;
        if (rect().contains(event->position().toPoint()))
            Click();
    }
    if (FState.MouseButtonUp(isEnabled(), left, CursorOverThis(event->position())))
        Invalidate();
}

void TImageCtrl::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        FState.EnabledChanged();
        FClickPending = false;
        Invalidate();
        break;
    case QEvent::FontChange:
        FontChanged();
        break;
    default:
        break;
    }
}

// ---- TImageButton -----------------------------------------------------------

void TImageButton::SetChecked(bool value) {
    FChecked = value;
    const std::uint8_t look = value ? stChecked : stNormal;
    if (look == FState.State)
        return;
    FState.State = look;
    // Shown at once: a click handler that checks the button would otherwise
    // leave the pressed frame on screen, as the mouse-up of a checked button
    // repaints nothing.
    Invalidate();
}

// ---- TImageCheckButton ------------------------------------------------------

TImageCheckButton::TImageCheckButton(QWidget* parent) : TImageCtrl(parent) {
    FCheckGroup = 0;
}

void TImageCheckButton::UncheckQuietly() {
    FChecked = false;
    FState.State = stNormal;
    Invalidate();
}

void TImageCheckButton::SetChecked(bool value) {
    if (value == FChecked)
        return;
    if (QWidget* parent = parentWidget()) {
        // Taken as a list first: handlers may add or remove controls.
        const QObjectList siblings = parent->children();
        for (QObject* child : siblings) {
            auto* other = qobject_cast<TImageCheckButton*>(child);
            if (other == nullptr || other == this || other->FCheckGroup != FCheckGroup ||
                !other->FChecked)
                continue;
            other->UncheckQuietly();
            if (OnCheckChanged)
                OnCheckChanged(other);
        }
    }
    FChecked = value;
    if (value) {
        FState.State = stChecked;
        if (OnCheckChanged)
            OnCheckChanged(this);
    } else {
        FState.State = stNormal;
    }
    Invalidate();
}

void TImageCheckButton::Click() {
    TImageCtrl::Click();
    if (!FChecked)
        SetChecked(true);
    FState.MouseDown = false;
}

} // namespace vardocle
