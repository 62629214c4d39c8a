// The skinned picture button: pictures by state, clicks, toggling, the radio
// latch and what is painted.
#include "viewer/halvornbmpbutton.h"
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

QImage Solid(int w, int h, QColor color) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A shown button in a window, so that it gets real mouse events.
struct TShown {
    std::unique_ptr<QWidget> Window = std::make_unique<QWidget>();
    THalvornBmpButton* Button = new THalvornBmpButton(Window.get());
    TShown() {
        Window->resize(200, 200);
        Button->move(20, 20);
        Window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    }
};

} // namespace

TEST(HalvornBmpButton, DefaultsAreTheDocumentedOnes) {
    THalvornBmpButton b;
    EXPECT_EQ(b.size(), QSize(32, 32));
    EXPECT_TRUE(b.AutoSize());
    EXPECT_FALSE(b.Down());
    EXPECT_FALSE(b.Toggle());
    EXPECT_TRUE(b.TransparentClicking());
    EXPECT_EQ(b.TransparentColor(), QColor(0x80, 0x80, 0x00));
    EXPECT_EQ(b.CaptionStyle(), THalvornBmpButton::csNormal);
    EXPECT_EQ(b.OffsetDown(), 0);
    EXPECT_EQ(b.OffsetOverlay(), 4);
    EXPECT_EQ(b.PicturesIndexUp(), -1);
    EXPECT_EQ(b.State(), THalvornBmpButton::bsUp);
    // The aliases are the same properties.
    b.setProperty("DownOffset", 3);
    b.setProperty("OverlayOffset", 7);
    EXPECT_EQ(b.OffsetDown(), 3);
    EXPECT_EQ(b.OffsetOverlay(), 7);
}

TEST(HalvornBmpButton, AutoSizeIsTheUpPictureAndTheOffset) {
    THalvornBmpButton b;
    b.move(5, 6);
    b.SetOffsetDown(2);
    b.SetPictureUp(Solid(40, 30, Qt::red));
    EXPECT_EQ(b.geometry(), QRect(5, 6, 42, 32));
    b.SetAutoSize(false);
    b.SetPictureUp(Solid(10, 10, Qt::red));
    EXPECT_EQ(b.size(), QSize(42, 32));
}

TEST(HalvornBmpButton, APressOnATransparentPixelDoesNothingAtAll) {
    TShown s;
    QImage up = Solid(40, 40, Qt::red);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y) up.setPixelColor(x, y, QColor(0x80, 0x80, 0x00));
    s.Button->SetPictureUp(up);
    QSignalSpy down(s.Button, &THalvornBmpButton::OnMouseDown), clicked(s.Button, &THalvornBmpButton::OnClick);
    QTest::mouseClick(s.Button, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(down.count(), 0);
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_FALSE(s.Button->Pressed());
    EXPECT_EQ(s.Button->State(), THalvornBmpButton::bsUp);
    QTest::mouseClick(s.Button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(down.count(), 1);
    EXPECT_EQ(clicked.count(), 1);
    // Without transparent clicking the same pixel counts.
    s.Button->SetTransparentClicking(false);
    QTest::mouseClick(s.Button, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(clicked.count(), 2);
}

TEST(HalvornBmpButton, PressMoveOutAndReleaseGivesNoClick) {
    TShown s;
    s.Button->SetPictureUp(Solid(40, 40, Qt::red));
    QSignalSpy clicked(s.Button, &THalvornBmpButton::OnClick);
    QTest::mousePress(s.Button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(s.Button->State(), THalvornBmpButton::bsDown);
    QTest::mouseMove(s.Button, QPoint(60, 10));
    EXPECT_EQ(s.Button->State(), THalvornBmpButton::bsUp) << "shown up while the mouse is outside";
    QTest::mouseMove(s.Button, QPoint(12, 10));
    EXPECT_EQ(s.Button->State(), THalvornBmpButton::bsDown);
    QTest::mouseMove(s.Button, QPoint(-5, 10));
    QTest::mouseRelease(s.Button, Qt::LeftButton, {}, QPoint(-5, 10));
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_EQ(s.Button->State(), THalvornBmpButton::bsUp);
    EXPECT_FALSE(s.Button->Pressed());
    // The right button neither presses nor clicks, but is reported.
    QSignalSpy down(s.Button, &THalvornBmpButton::OnMouseDown);
    QTest::mouseClick(s.Button, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(down.count(), 1);
    EXPECT_EQ(clicked.count(), 0);
}

TEST(HalvornBmpButton, AToggleButtonChangesOnEveryRelease) {
    TShown s;
    s.Button->SetPictureUp(Solid(40, 40, Qt::red));
    s.Button->SetToggle(true);
    QSignalSpy clicked(s.Button, &THalvornBmpButton::OnClick);
    QTest::mousePress(s.Button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(s.Button->State(), THalvornBmpButton::bsUp) << "a toggle button changes on release";
    QTest::mouseRelease(s.Button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(s.Button->State(), THalvornBmpButton::bsDown);
    EXPECT_EQ(clicked.count(), 1);
    // Released outside: it still changes, but there is no click.
    QTest::mousePress(s.Button, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(s.Button, QPoint(90, 90));
    EXPECT_EQ(s.Button->State(), THalvornBmpButton::bsDown) << "moving does not change a toggle button";
    QTest::mouseRelease(s.Button, Qt::LeftButton, {}, QPoint(90, 90));
    EXPECT_EQ(s.Button->State(), THalvornBmpButton::bsUp);
    EXPECT_EQ(clicked.count(), 1);
    QTest::mouseClick(s.Button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(s.Button->State(), THalvornBmpButton::bsDown);
    EXPECT_EQ(clicked.count(), 2);
}

TEST(HalvornBmpButton, DownOnOneButtonReleasesTheOthersOfItsParent) {
    QWidget group, elsewhere;
    auto* a = new THalvornBmpButton(&group);
    auto* b = new THalvornBmpButton(&group);
    auto* c = new THalvornBmpButton(&group);
    auto* other = new THalvornBmpButton(&elsewhere);
    a->SetDown(true);
    other->SetDown(true);
    b->SetDown(true);
    EXPECT_FALSE(a->Down());
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(c->Down());
    EXPECT_TRUE(other->Down()) << "another parent is another group";
    b->SetDown(false);
    EXPECT_FALSE(b->Down());
}

TEST(HalvornBmpButton, PressingShiftsThePictureByOffsetDownAndFillsTheStrips) {
    TShown s;
    s.Button->SetColor(Qt::black);
    s.Button->SetOffsetDown(3);
    s.Button->SetPictureUp(Solid(30, 20, Qt::red));
    ASSERT_EQ(s.Button->size(), QSize(33, 23));
    QImage shot = s.Button->grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(29, 19), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(31, 10), QColor(Qt::black)) << "strip right of the picture";
    EXPECT_EQ(shot.pixelColor(10, 21), QColor(Qt::black)) << "strip below";

    QTest::mousePress(s.Button, Qt::LeftButton, {}, QPoint(10, 10));
    shot = s.Button->grab().toImage();
    for (const QPoint p : {QPoint(0, 0), QPoint(2, 10), QPoint(10, 2), QPoint(32, 0)})
        EXPECT_EQ(shot.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
    EXPECT_EQ(shot.pixelColor(3, 3), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(32, 22), QColor(Qt::red));
    QTest::mouseRelease(s.Button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(s.Button->grab().toImage().pixelColor(0, 0), QColor(Qt::red));

    // Latched down it is shifted too.
    s.Button->SetDown(true);
    EXPECT_EQ(s.Button->grab().toImage().pixelColor(0, 0), QColor(Qt::black));
}

TEST(HalvornBmpButton, PicturesFollowTheStateHoverAndEnabled) {
    TShown s;
    s.Button->SetColor(Qt::black);
    s.Button->SetPictureUp(Solid(30, 30, Qt::red));
    s.Button->SetPictureDown(Solid(30, 30, Qt::blue));
    s.Button->SetPictureHighlight(Solid(30, 30, Qt::green));
    s.Button->SetPictureDisabled(Solid(30, 30, Qt::gray));
    const auto shown = [&] { return s.Button->grab().toImage().pixelColor(15, 15); };
    EXPECT_EQ(shown(), QColor(Qt::red));
    QEnterEvent enter(QPointF(5, 5), QPointF(25, 25), QPointF(25, 25));
    QApplication::sendEvent(s.Button, &enter);
    EXPECT_TRUE(s.Button->MouseInside());
    EXPECT_EQ(shown(), QColor(Qt::green));
    QTest::mousePress(s.Button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(shown(), QColor(Qt::blue)) << "pressed beats highlighted";
    QTest::mouseRelease(s.Button, Qt::LeftButton, {}, QPoint(10, 10));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(s.Button, &leave);
    EXPECT_EQ(shown(), QColor(Qt::red));
    s.Button->SetDown(true);
    EXPECT_EQ(shown(), QColor(Qt::blue)) << "the latch shows the down picture";
    s.Button->SetEnabled(false);
    EXPECT_EQ(shown(), QColor(Qt::gray));
    EXPECT_FALSE(s.Button->isEnabled());
}

TEST(HalvornBmpButton, OverlayMovesByItsOffsetWhilePressed) {
    TShown s;
    s.Button->SetColor(Qt::black);
    s.Button->SetPictureUp(Solid(30, 30, Qt::red));
    QImage overlay = Solid(6, 6, Qt::white);
    s.Button->SetPictureOverlay(overlay);
    QImage shot = s.Button->grab().toImage();
    EXPECT_EQ(shot.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(8, 8), QColor(Qt::red));
    QTest::mousePress(s.Button, Qt::LeftButton, {}, QPoint(20, 20));
    shot = s.Button->grab().toImage();
    EXPECT_EQ(shot.pixelColor(1, 1), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(8, 8), QColor(Qt::white)) << "at OffsetOverlay 4";
    QTest::mouseRelease(s.Button, Qt::LeftButton, {}, QPoint(20, 20));
}

TEST(HalvornBmpButton, ImageListPicturesAreCentred) {
    TShown s;
    TImageList list(10, 10);
    list.Add(Solid(10, 10, Qt::red));
    list.Add(Solid(20, 20, Qt::blue));  // scaled to the list's size
    s.Button->SetAutoSize(false);
    s.Button->resize(30, 30);
    s.Button->SetColor(Qt::black);
    s.Button->SetOffsetDown(2);
    s.Button->SetPictures(&list);
    s.Button->SetPicturesIndexUp(0);
    s.Button->SetPicturesIndexDown(1);
    QImage shot = s.Button->grab().toImage();
    EXPECT_EQ(shot.pixelColor(10, 10), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(9, 9), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(19, 19), QColor(Qt::red));
    QTest::mousePress(s.Button, Qt::LeftButton, {}, QPoint(15, 15));
    shot = s.Button->grab().toImage();
    EXPECT_EQ(shot.pixelColor(12, 12), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(11, 11), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(21, 21), QColor(Qt::blue));
    QTest::mouseRelease(s.Button, Qt::LeftButton, {}, QPoint(15, 15));
}

TEST(HalvornBmpButton, CaptionStylesDrawTheirShadows) {
    const struct {
        THalvornBmpButton::TCaptionStyle Style;
        QColor Front, Shadow;
    } cases[] = {
        {THalvornBmpButton::csNormal, Qt::blue, QColor()},
        {THalvornBmpButton::csHeavy, Qt::white, Qt::black},
        {THalvornBmpButton::csShadow, Qt::blue, QColor(0x80, 0x80, 0x80)},
    };
    for (const auto& c : cases) {
        THalvornBmpButton b;
        b.SetAutoSize(false);
        b.resize(80, 30);
        b.SetColor(Qt::yellow);
        b.SetFontColor(Qt::blue);
        QFont font = b.font();
        font.setPixelSize(20);
        font.setBold(true);
        b.setFont(font);
        b.SetCaptionStyle(c.Style);
        b.SetCaption(QStringLiteral("IIII"));
        const QImage shot = b.grab().toImage();
        bool front = false, shadow = false;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor px = shot.pixelColor(x, y);
                front |= px == c.Front;
                shadow |= c.Shadow.isValid() && px == c.Shadow;
            }
        EXPECT_TRUE(front) << int(c.Style);
        EXPECT_EQ(shadow, c.Shadow.isValid()) << int(c.Style);
    }
}

TEST(HalvornBmpButton, TheScriptFindsItsCaptionAndPictures) {
    THalvornBmpButton b;
    EXPECT_TRUE(b.setProperty("text", QStringLiteral("Select All")));
    EXPECT_EQ(b.Caption(), "Select All");
    EXPECT_TRUE(b.setProperty("PictureUp", Solid(12, 8, Qt::red)));
    EXPECT_EQ(b.size(), QSize(12, 8));
    EXPECT_TRUE(b.setProperty("Align", int(Lumora::alBottom)));
    EXPECT_EQ(b.Align(), Lumora::alBottom);
}
