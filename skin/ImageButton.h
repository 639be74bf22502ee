#pragma once
// Skinned buttons: windowless child widgets that draw a strip of frames (a
// glyph beside, above or below the caption, and an optional border stretched
// at the seams), one frame per visual state; and the manager that shares one
// pair of pictures among linked controls.
#include "skin/GDIPOBJ.h"
#include "skin/Graphics.h"
#include "skin/ImageButtonLayout.h"
#include "skin/PubFunc.h"

#include <QObject>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace vardocle {

class TImageManager;

// An event taking its sender.
using TNotifyEvent = std::function<void(QObject* Sender)>;

// A control's registration with a manager.
class TChangeLink {
public:
    TChangeLink() = default;
    virtual ~TChangeLink(); // unregisters from Sender
    TChangeLink(const TChangeLink&) = delete;
    TChangeLink& operator=(const TChangeLink&) = delete;

    virtual void Notify();

    TImageManager* Sender = nullptr;
    TNotifyEvent OnChange;
};

// Holds a shared border and glyph picture and pushes them into the linked
// controls whenever one is set.
class TImageManager : public QObject {
    Q_OBJECT
public:
    explicit TImageManager(QObject* owner = nullptr);
    ~TImageManager() override;

    // Copy the picture in, then tell the links.
    void SetImageBorder(const TPicture& picture);
    void SetImageGlyph(const TPicture& picture);
    void SetImageGlyph(const TGraphic& graphic);
    // The pictures themselves; changing them here tells nobody (as when a
    // window is being built).
    TPicture& ImageBorder() { return FImageBorder; }
    TPicture& ImageGlyph() { return FImageGlyph; }

    void RegisterLink(TChangeLink* link);
    void UnregisterLink(TChangeLink* link);
    virtual void NotifyLinks();
    std::size_t LinkCount() const { return FLinks.size(); }

private:
    TPicture FImageBorder;
    TPicture FImageGlyph;
    std::vector<TChangeLink*> FLinks; // not owned
};

class TImageCtrl : public QWidget {
    Q_OBJECT
public:
    explicit TImageCtrl(QWidget* parent = nullptr);
    ~TImageCtrl() override;

    // Pictures: copied in, decoded once per change.
    TPicture& ImageBorder() { return FImageBorder; }
    TPicture& ImageGlyph() { return FImageGlyph; }
    void SetImageBorder(const TPicture& picture) { FImageBorder.Assign(picture); }
    void SetImageGlyph(const TPicture& picture) { FImageGlyph.Assign(picture); }
    // The glyph strip from a picture (usually a TnxPNGImage).
    void SetPicture(const TGraphic& glyph) { FImageGlyph.SetGraphic(&glyph); }

    TImageManager* ImageManager() const { return FImageManager; }
    void SetImageManager(TImageManager* manager);

    TGlyphLayout GlyphLayout() const { return FGlyphLayout; }
    void SetGlyphLayout(TGlyphLayout value);
    std::int32_t GlyphSpace() const { return FGlyphSpace; }
    void SetGlyphSpace(std::int32_t value);
    std::uint8_t GlyphNumber() const { return FGlyphNumber; }
    void SetGlyphNumber(std::uint8_t value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    std::int32_t BorderSpace() const { return FBorderSpace; }
    void SetBorderSpace(std::int32_t value);
    // Take effect at the next repaint.
    THorzStretchType ImageBorderHorzStretch() const { return FImageBorderHorzStretch; }
    void SetImageBorderHorzStretch(THorzStretchType value) { FImageBorderHorzStretch = value; }
    TVertStretchType ImageBorderVertStretch() const { return FImageBorderVertStretch; }
    void SetImageBorderVertStretch(TVertStretchType value) { FImageBorderVertStretch = value; }
    bool AutoRepaintParent() const { return FAutoRepaintParent; }
    void SetAutoRepaintParent(bool value);

    const QString& Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor color);
    void SetFontColor(const QColor& color) { SetFontColor(QColorToTColor(color)); }
    void SetHint(const QString& hint) { setToolTip(hint); }
    QString Hint() const { return toolTip(); }

    // The visual state (0 normal, 1 hot, 2 down, 3 checked).
    std::uint8_t State() const { return FState.State; }
    bool MouseIsDown() const { return FState.MouseDown; }
    // The decoded pictures (nullptr when the picture is empty).
    TGPBitmap* BorderImage() const { return FBorderImage.get(); }
    TGPBitmap* GlyphImage() const { return FGlyphImage.get(); }

    // Marks the control (and with AutoRepaintParent its area of the parent)
    // for repainting.
    virtual void Invalidate();
    // Raises OnClick; called when the left button is released over the control.
    virtual void Click();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

    // Draws the control; the context's origin is the control's corner.
    virtual void Paint(TGPGraphics& graphics);

    TVisualState FState;

private:
    void BorderChanged();
    void GlyphChanged();
    void ManagerChanged(QObject* sender);
    void FontChanged();
    void DrawGlyphAndCaption(TGPGraphics& graphics, int frameIndex, int frameWidth);
    void DrawCaptionAlone(TGPGraphics& graphics);
    bool CursorOverThis(const QPointF& position) const;
    static std::unique_ptr<TGPBitmap> Decode(const TPicture& picture);

    TChangeLink FLink;
    TPicture FImageBorder;
    TPicture FImageGlyph;
    std::unique_ptr<TGPBitmap> FBorderImage;
    std::unique_ptr<TGPBitmap> FGlyphImage;
    TGlyphLayout FGlyphLayout = glLeft;
    std::int32_t FGlyphSpace = 2;
    std::uint8_t FGlyphNumber = 5;
    TAlignment FAlignment = taCenter;
    std::int32_t FBorderSpace = 0;
    TImageManager* FImageManager = nullptr;
    QMetaObject::Connection FManagerGone;
    THorzStretchType FImageBorderHorzStretch = hstMiddle;
    TVertStretchType FImageBorderVertStretch = vstCenter;
    bool FAutoRepaintParent = false;
    bool FClickPending = false; // left button went down here (the framework's part)
    QString FCaption;
    TColor FFontColor = clWindowText;
    std::unique_ptr<TGPFont> FGPFont;
    std::unique_ptr<TGPSolidBrush> FGPBrush;
    std::unique_ptr<TGPStringFormat> FGPFormat;
};

// A push button that can also show the checked look.
class TImageButton : public TImageCtrl {
    Q_OBJECT
public:
    explicit TImageButton(QWidget* parent = nullptr) : TImageCtrl(parent) {}

    bool Checked() const { return FChecked; }
    // Sets the look to checked (3) or normal (0).
    void SetChecked(bool value);

private:
    bool FChecked = false;
};

// A check button; the check buttons of one parent with the same CheckGroup
// exclude each other. Clicking a checked button leaves it checked.
class TImageCheckButton : public TImageCtrl {
    Q_OBJECT
public:
    explicit TImageCheckButton(QWidget* parent = nullptr);

    std::int32_t CheckGroup() const { return FCheckGroup; }
    void SetCheckGroup(std::int32_t value) { FCheckGroup = value; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    // Kept for the layouts that set it; nothing reads it.
    bool AutoDown() const { return FAutoDown; }
    void SetAutoDown(bool value) { FAutoDown = value; }

    void Click() override;

    // Raised for each button of the group that was unchecked (as the
    // sender), then for this one when it became checked.
    TNotifyEvent OnCheckChanged;

private:
    void UncheckQuietly();

    std::int32_t FCheckGroup = 0;
    bool FChecked = false;
    bool FAutoDown = false;
};

} // namespace vardocle
