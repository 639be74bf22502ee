// The image controls under simulated mouse input: states, clicks, check
// groups and manager links.
#include "skin/ImageButton.h"
#include "SkinPictures.h"
#include "skin/nxGDIPlusClasses.h"

#include <QBuffer>
#include <QEnterEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace vardocle {
namespace {

// A shown parent window with controls placed on it.
class ImageButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form.resize(300, 100);
        Form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    }

    template <typename Control> Control* Place(int left, int top = 10) {
        auto control = std::make_unique<Control>(&Form);
        control->setGeometry(left, top, 31, 48);
        control->show();
        Control* placed = control.get();
        Controls.push_back(std::move(control));
        return placed;
    }

    // Input through the window, routed as the window system's would be.
    void MoveTo(QWidget* control, QPoint local) {
        QTest::mouseMove(Form.windowHandle(), control->mapTo(&Form, local));
        QCoreApplication::processEvents();
    }
    void Press(QWidget* control, QPoint local = {10, 10}) {
        QTest::mousePress(Form.windowHandle(), Qt::LeftButton, {}, control->mapTo(&Form, local));
    }
    void Release(QWidget* control, QPoint local = {10, 10}) {
        QTest::mouseRelease(Form.windowHandle(), Qt::LeftButton, {}, control->mapTo(&Form, local));
    }

    QWidget Form;
    std::vector<std::unique_ptr<QWidget>> Controls; // go before the form
};

TEST_F(ImageButtonTest, EnterLeavePressReleaseInside) {
    auto* button = Place<TImageButton>(10);
    int clicks = 0;
    button->OnClick = [&](QObject* sender) {
        EXPECT_EQ(sender, button);
        EXPECT_EQ(button->State(), stDown); // the click comes before the mouse-up
        ++clicks;
    };
    MoveTo(button, {5, 5});
    EXPECT_EQ(button->State(), stHot);
    MoveTo(button, {-5, 5});
    EXPECT_EQ(button->State(), stNormal);
    MoveTo(button, {5, 5});
    Press(button);
    EXPECT_EQ(button->State(), stDown);
    EXPECT_TRUE(button->MouseIsDown());
    Release(button);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->State(), stHot);
    EXPECT_FALSE(button->MouseIsDown());
}

TEST_F(ImageButtonTest, ReleaseOutsideGivesNormalAndNoClick) {
    auto* button = Place<TImageButton>(10);
    auto* neighbour = Place<TImageButton>(60);
    int clicks = 0;
    button->OnClick = [&](QObject*) { ++clicks; };
    neighbour->OnClick = [&](QObject*) { ++clicks; };
    MoveTo(button, {5, 5});
    Press(button);
    MoveTo(button, {60, 5}); // dragged over the neighbour: the look stays down
    EXPECT_EQ(button->State(), stDown);
    Release(button, {60, 5});
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button->State(), stNormal);
    EXPECT_FALSE(button->MouseIsDown());
}

TEST_F(ImageButtonTest, RightButtonAndDisabledControlsKeepTheirLook) {
    auto* button = Place<TImageButton>(10);
    MoveTo(button, {5, 5});
    QTest::mousePress(Form.windowHandle(), Qt::RightButton, {}, button->mapTo(&Form, QPoint(5, 5)));
    EXPECT_EQ(button->State(), stHot); // the right button does not press it
    QTest::mouseRelease(Form.windowHandle(), Qt::RightButton, {},
                        button->mapTo(&Form, QPoint(5, 5)));
    EXPECT_EQ(button->State(), stHot);
    Press(button);
    button->setEnabled(false); // an enabled change resets the look
    EXPECT_EQ(button->State(), stNormal);
    EXPECT_FALSE(button->MouseIsDown());
    Release(button);
    EXPECT_EQ(button->State(), stNormal);
}

TEST_F(ImageButtonTest, CheckedPushButtonKeepsItsLookAndStillClicks) {
    auto* button = Place<TImageButton>(10);
    int clicks = 0;
    button->OnClick = [&](QObject*) { ++clicks; };
    button->SetChecked(true);
    EXPECT_EQ(button->State(), stChecked);
    MoveTo(button, {5, 5});
    EXPECT_EQ(button->State(), stChecked);
    Press(button);
    EXPECT_EQ(button->State(), stChecked);
    Release(button);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->State(), stChecked);
    button->SetChecked(false);
    EXPECT_EQ(button->State(), stNormal);
    EXPECT_FALSE(button->Checked());
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        Paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST_F(ImageButtonTest, CheckingInTheClickHandlerShowsTheCheckedFrame) {
    auto* button = Place<TImageButton>(10);
    button->OnClick = [&](QObject*) { button->SetChecked(true); };
    MoveTo(button, {5, 5});
    Press(button);
    QCoreApplication::processEvents();
    PaintCounter counter;
    button->installEventFilter(&counter);
    Release(button);
    QCoreApplication::processEvents();
    EXPECT_EQ(button->State(), stChecked);
    EXPECT_GE(counter.Paints, 1); // not left showing the pressed frame
}

TEST_F(ImageButtonTest, CheckGroupUnchecksTheOtherFirst) {
    auto* first = Place<TImageCheckButton>(10);
    auto* second = Place<TImageCheckButton>(60);
    auto* elsewhere = Place<TImageCheckButton>(110);
    elsewhere->SetCheckGroup(1);
    elsewhere->SetChecked(true);
    std::vector<QObject*> order;
    first->OnCheckChanged = [&](QObject* s) { order.push_back(s); };
    second->OnCheckChanged = [&](QObject* s) { order.push_back(s); };
    first->SetChecked(true);
    EXPECT_EQ(order, (std::vector<QObject*>{first}));
    order.clear();

    MoveTo(second, {5, 5});
    Press(second);
    Release(second);
    EXPECT_EQ(order, (std::vector<QObject*>{first, second}));
    EXPECT_FALSE(first->Checked());
    EXPECT_EQ(first->State(), stNormal);
    EXPECT_TRUE(second->Checked());
    EXPECT_EQ(second->State(), stChecked); // the mouse-up after the click is ignored
    EXPECT_TRUE(elsewhere->Checked());     // another group

    // Clicking a checked button leaves it checked; unchecking raises nothing
    // for the button itself.
    order.clear();
    Press(second);
    Release(second);
    EXPECT_TRUE(second->Checked());
    second->SetChecked(false);
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(second->State(), stNormal);
}

TEST_F(ImageButtonTest, CheckButtonDisabledByItsOwnClickHandler) {
    auto* check = Place<TImageCheckButton>(10);
    check->OnClick = [&](QObject*) { check->setEnabled(false); };
    MoveTo(check, {5, 5});
    Press(check);
    Release(check);
    EXPECT_TRUE(check->Checked());
    EXPECT_FALSE(check->isEnabled());
    check->setEnabled(true);
    EXPECT_TRUE(check->Checked());
    EXPECT_EQ(check->State(), stNormal); // shows the normal frame until checked again
}

TEST_F(ImageButtonTest, CheckButtonWithoutParentChangesOnlyItself) {
    TImageCheckButton lone;
    int events = 0;
    lone.OnCheckChanged = [&](QObject*) { ++events; };
    lone.SetChecked(true);
    EXPECT_TRUE(lone.Checked());
    EXPECT_EQ(events, 1);
}

const TPicture& StripPicture(int frames, int frameWidth, int height, QColor colour) {
    static std::vector<std::unique_ptr<TPicture>> made;
    made.push_back(test::ReadStoredPicture(
        test::StoredPicture(test::StripImage(frames, frameWidth, height, {colour}))));
    return *made.back();
}

TEST_F(ImageButtonTest, ManagerWithEmptyBorderChangesOnlyTheGlyph) {
    auto* button = Place<TImageButton>(10);
    button->SetImageBorder(StripPicture(5, 4, 4, Qt::red));
    button->SetImageGlyph(StripPicture(5, 30, 30, Qt::blue));
    auto manager = std::make_unique<TImageManager>();
    manager->SetImageGlyph(StripPicture(5, 20, 20, Qt::green));

    button->SetImageManager(manager.get());
    EXPECT_EQ(manager->LinkCount(), 1u);
    EXPECT_EQ(button->ImageBorder().Width(), 20); // own border kept
    EXPECT_EQ(button->ImageGlyph().Width(), 100); // the manager's glyph
    ASSERT_NE(button->GlyphImage(), nullptr);
    EXPECT_EQ(button->GlyphImage()->GetWidth(), 100u);

    // Later changes of the manager reach the control.
    manager->SetImageBorder(StripPicture(5, 6, 6, Qt::yellow));
    EXPECT_EQ(button->ImageBorder().Width(), 30);

    // Setting the same manager again registers once and copies again.
    button->SetImageManager(manager.get());
    EXPECT_EQ(manager->LinkCount(), 1u);

    manager.reset(); // as when its owner frees it
    EXPECT_EQ(button->ImageManager(), nullptr);
    EXPECT_EQ(button->ImageGlyph().Width(), 100); // pictures last copied stay
}

TEST_F(ImageButtonTest, ControlGoingFirstUnregistersFromTheManager) {
    TImageManager manager;
    {
        TImageButton button(&Form);
        button.SetImageManager(&manager);
        EXPECT_EQ(manager.LinkCount(), 1u);
    }
    EXPECT_EQ(manager.LinkCount(), 0u);
    manager.NotifyLinks(); // nothing left to call
}

TEST_F(ImageButtonTest, PicturesAreDecodedOncePerChange) {
    auto* button = Place<TImageButton>(10);
    button->SetPicture(*static_cast<TnxPNGImage*>(StripPicture(5, 30, 30, Qt::blue).Graphic()));
    TGPBitmap* decoded = button->GlyphImage();
    ASSERT_NE(decoded, nullptr);
    for (int i = 0; i < 3; ++i)
        button->repaint();
    EXPECT_EQ(button->GlyphImage(), decoded);
    button->SetImageGlyph(StripPicture(5, 10, 10, Qt::red));
    ASSERT_NE(button->GlyphImage(), nullptr);
    EXPECT_EQ(button->GlyphImage()->GetWidth(), 50u);
    button->SetImageGlyph(TPicture());
    EXPECT_EQ(button->GlyphImage(), nullptr);
}

} // namespace
} // namespace vardocle
