// Animated glyph images: frame counting, stepping, states and what is painted.
#include "imaging/animatedimage.h"
#include "imaging/shellpictures.h"
#include "shell/pictures.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include "suite/xres/xres.h"
#include "support/fixtures.h"
#include <QBuffer>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QColor FrameColors[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};

// A horizontal strip of Frames square frames of Side pixels, each one colour,
// with a black lower-left pixel (the transparent colour) in every frame.
QImage Strip(int frames, int side) {
    QImage image(frames * side, side, QImage::Format_RGB32);
    QPainter p(&image);
    for (int i = 0; i < frames; ++i) p.fillRect(i * side, 0, side, side, FrameColors[i % 6]);
    p.end();
    for (int i = 0; i < frames; ++i) image.setPixelColor(i * side, side - 1, Qt::black);
    return image;
}

QImage Solid(int w, int h, QColor color) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QByteArray Png(const QImage& image) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

QColor CentreOf(QWidget& w) {
    const QImage shot = w.grab().toImage();
    return shot.pixelColor(shot.width() / 2, shot.height() / 2);
}

} // namespace

TEST(AnimatedImage, FramesAreCountedFromSquareFrames) {
    const struct {
        QSize Glyph;
        THvImageControl::TGlyphOrientation Orientation;
        int Frames;
        QSize Frame;
    } cases[] = {
        {{450, 90}, THvImageControl::goHorizontal, 5, {90, 90}},
        {{460, 90}, THvImageControl::goHorizontal, 1, {460, 90}},
        {{90, 90}, THvImageControl::goHorizontal, 1, {90, 90}},
        {{90, 450}, THvImageControl::goVertical, 5, {90, 90}},
        {{90, 460}, THvImageControl::goVertical, 1, {90, 460}},
        {{450, 90}, THvImageControl::goVertical, 1, {450, 90}},
    };
    for (const auto& c : cases) {
        THvAnimatedImage image;
        image.SetOrientation(c.Orientation);
        image.SetGlyph(Solid(c.Glyph.width(), c.Glyph.height(), Qt::red));
        EXPECT_EQ(image.NumGlyphs(), c.Frames) << c.Glyph.width() << "x" << c.Glyph.height();
        EXPECT_EQ(QSize(image.FrameWidth(), image.FrameHeight()), c.Frame);
        EXPECT_EQ(image.size(), c.Frame) << "AutoSize takes one frame's size";
    }
    // A frame count set afterwards re-divides the strip.
    THvAnimatedImage image;
    image.SetGlyph(Solid(460, 90, Qt::red));
    image.SetNumGlyphs(4);
    EXPECT_EQ(image.FrameWidth(), 115);
    image.SetNumGlyphs(0);
    EXPECT_EQ(image.NumGlyphs(), 1) << "raised to at least one";
}

TEST(AnimatedImage, GlyphNumOutsideTheFramesIsIgnored) {
    THvAnimatedImage image;
    image.SetGlyph(Strip(5, 20));
    QSignalSpy changed(&image, &THvImageControl::OnFrameChanged);
    image.SetGlyphNum(5);
    image.SetGlyphNum(-1);
    EXPECT_EQ(image.GlyphNum(), 0);
    EXPECT_EQ(changed.count(), 0);
    image.SetGlyphNum(4);
    EXPECT_EQ(image.GlyphNum(), 4);
    EXPECT_EQ(changed.count(), 1);
    image.SetGlyphNum(4);
    EXPECT_EQ(changed.count(), 1) << "the same frame again changes nothing";
}

TEST(AnimatedImage, TheFrameWrapsAfterTheLast) {
    QWidget parent;
    THvAnimatedImage image(&parent);
    image.SetGlyph(Strip(5, 20));
    image.SetInterval(5);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QSignalSpy started(&image, &THvImageControl::OnStart);
    image.SetActive(true);
    EXPECT_TRUE(image.Active());
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(image.GlyphNum(), 0);
    image.SetGlyphNum(4);
    QSignalSpy changed(&image, &THvImageControl::OnFrameChanged);
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(image.GlyphNum(), 0);
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(image.GlyphNum(), 1);
    // Setting it active again (every hover move does) does not restart it.
    image.SetActive(true);
    EXPECT_EQ(image.GlyphNum(), 1);
    EXPECT_EQ(started.count(), 1);
}

TEST(AnimatedImage, DisablingAnActiveImageStopsIt) {
    QWidget parent;
    THvAnimatedImage image(&parent);
    image.SetGlyph(Strip(5, 20));
    image.SetInterval(5);
    parent.show();
    for (const bool throughQt : {false, true}) {
        image.SetEnabled(true);
        image.SetActive(true);
        QSignalSpy stopped(&image, &THvImageControl::OnStop);
        if (throughQt)
            image.setEnabled(false);
        else
            image.SetEnabled(false);
        EXPECT_FALSE(image.Active()) << throughQt;
        EXPECT_FALSE(image.Enabled()) << throughQt;
        EXPECT_EQ(stopped.count(), 1) << throughQt;
        const int frame = image.GlyphNum();
        QTest::qWait(40);
        EXPECT_EQ(image.GlyphNum(), frame) << "the timer no longer steps";
    }
    // A disabled parent window leaves the button's own flag alone.
    image.SetEnabled(true);
    image.SetActive(true);
    parent.setEnabled(false);
    EXPECT_TRUE(image.Enabled());
    EXPECT_TRUE(image.Active());
}

TEST(AnimatedImage, NoStartOrStopNotificationWhileLoading) {
    THvAnimatedImage image;
    image.SetGlyph(Strip(5, 20));
    image.SetLoading(true);
    QSignalSpy started(&image, &THvImageControl::OnStart), stopped(&image, &THvImageControl::OnStop);
    image.SetActive(true);
    image.SetActive(false);
    EXPECT_EQ(started.count(), 0);
    EXPECT_EQ(stopped.count(), 0);
}

TEST(AnimatedImage, PaintsTheInactiveActiveOrDisabledPicture) {
    THvAnimatedImage image;
    image.SetGlyph(Strip(3, 30));
    image.SetGlyphNum(1);
    EXPECT_EQ(CentreOf(image), QColor(Qt::green)) << "no inactive glyph: the strip's frame";
    image.SetInactiveGlyph(Solid(30, 30, Qt::gray));
    EXPECT_EQ(CentreOf(image), QColor(Qt::gray));
    image.SetActive(true);
    EXPECT_EQ(CentreOf(image), QColor(Qt::red)) << "starting shows frame 0";
    image.SetDisabledGlyph(Solid(30, 30, Qt::darkBlue));
    image.SetEnabled(false);
    EXPECT_EQ(CentreOf(image), QColor(Qt::darkBlue));
    image.SetDisabledGlyph(QImage());
    EXPECT_EQ(CentreOf(image), QColor(Qt::gray)) << "disabled without a picture: the inactive one";
}

TEST(AnimatedImage, LogoShowsItsInactiveFrameWhenItIsOne) {
    TAnimatedImage logo;
    logo.SetGlyph(Strip(4, 30));
    logo.SetGlyphNum(1);
    const struct {
        int Inactive;
        QColor Shown;
    } cases[] = {{-1, Qt::green}, {2, Qt::blue}, {3, Qt::yellow}, {4, Qt::green}, {0, Qt::red}};
    for (const auto& c : cases) {
        logo.SetInactiveGlyph(c.Inactive);
        EXPECT_EQ(CentreOf(logo), c.Shown) << c.Inactive;
    }
    logo.SetInactiveGlyph(2);
    logo.SetActive(true);
    EXPECT_EQ(CentreOf(logo), QColor(Qt::red)) << "active: the running frame";
}

TEST(AnimatedImage, TransparentColourShowsTheParent) {
    QWidget parent;
    parent.resize(60, 60);
    parent.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::yellow);
    parent.setPalette(palette);
    THvAnimatedImage image(&parent);
    QImage glyph = Solid(40, 40, Qt::magenta);  // lower-left pixel: magenta is transparent
    for (int x = 10; x < 30; ++x)
        for (int y = 10; y < 30; ++y) glyph.setPixelColor(x, y, Qt::red);
    image.SetGlyph(glyph);
    image.move(10, 10);
    EXPECT_EQ(image.TransparentColor(), QColor(Qt::magenta));
    const QImage shot = parent.grab().toImage();
    EXPECT_EQ(shot.pixelColor(30, 30), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(12, 12), QColor(Qt::yellow)) << "keyed out";
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::yellow));
    // Opaque fills with the control's colour instead.
    image.SetOpaque(true);
    image.SetColor(Qt::darkGreen);
    EXPECT_EQ(parent.grab().toImage().pixelColor(12, 12), QColor(Qt::darkGreen));
}

TEST(AnimatedImage, WithoutStretchTheFrameIsPlacedUnscaled) {
    THvAnimatedImage image;
    image.SetAutoSize(false);
    image.SetStretch(false);
    image.SetOpaque(true);
    image.SetColor(Qt::white);
    image.SetGlyph(Solid(20, 20, Qt::blue));
    image.SetTransparentColor(QColor());  // nothing keyed out
    image.resize(60, 40);
    QImage shot = image.grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(30, 20), QColor(Qt::white));
    image.SetCenter(true);
    shot = image.grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(30, 20), QColor(Qt::blue));
}

TEST(AnimatedImage, ClickOnlyWhenReleasedInside) {
    THvAnimatedImage image;
    image.SetGlyph(Strip(2, 30));
    image.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&image));
    QSignalSpy clicked(&image, &THvImageControl::OnClick), moved(&image, &THvImageControl::OnMouseMove);
    QTest::mouseClick(&image, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
    QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&image, Qt::LeftButton, {}, QPoint(50, 5));
    EXPECT_EQ(clicked.count(), 1);
    // Moves arrive without a button held: the toolbar's hover needs them.
    const int before = int(moved.count());
    QTest::mouseMove(&image, QPoint(7, 9));
    ASSERT_GT(moved.count(), before);
    EXPECT_EQ(moved.last().at(1).toInt(), 7);
    EXPECT_EQ(moved.last().at(2).toInt(), 9);
}

TEST(AnimatedImage, SkinnedFromTheSkinFile) {
    TTempFolder temp;
    AppState().AppDir = temp.Path();
    CloseSkin();
    // Frames need not be square when the file says how many there are.
    temp.Write("XLumRes.EN", XRes::Build({{"AJPG", "0081", 3, Png(Strip(3, 30).scaled(90, 20))},
                                          {"JPEG", "0071", 1, Png(Solid(30, 20, Qt::gray))},
                                          {"JPEG", "0061", 1, Png(Solid(30, 20, Qt::darkGray))}}));
    THvAnimatedImage button;
    button.SetEnabled(false);
    button.SetActive(true);
    SkinAnimatedButton(button, "0081", "0071", "0061");
    EXPECT_EQ(button.NumGlyphs(), 3);
    EXPECT_EQ(button.size(), QSize(30, 20));
    EXPECT_EQ(button.InactiveGlyph().size(), QSize(30, 20));
    EXPECT_FALSE(button.DisabledGlyph().isNull());
    EXPECT_FALSE(button.Active());
    EXPECT_TRUE(button.Enabled());
    EXPECT_EQ(CentreOf(button), QColor(Qt::gray));

    // A missing picture leaves its glyph empty; no disabled name, no disabled glyph.
    THvAnimatedImage other;
    SkinAnimatedButton(other, "0082", "0071");
    EXPECT_TRUE(other.Glyph().isNull());
    EXPECT_TRUE(other.DisabledGlyph().isNull());
    CloseSkin();
    ResetAppState();
}

TEST(AnimatedImage, BrandLogoTakesTheBrandingStripAndCells) {
    TAnimatedImage logo;
    TBranding branding;
    ApplyBrandLogo(logo, branding);
    EXPECT_TRUE(logo.Glyph().isNull()) << "no branding file: the built-in logo stays";
    branding.Logo = Solid(300, 40, Qt::blue);
    branding.LogoCells = 6;
    ApplyBrandLogo(logo, branding);
    EXPECT_EQ(logo.NumGlyphs(), 6);
    EXPECT_EQ(logo.size(), QSize(50, 40));
}

TEST(ShellPicturesThroughImaging, DecodeWithTheImagingPipeline) {
    UseImagingForShellPictures();
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        Solid(64, 48, Qt::red).save(&buffer, "JPEG", 95);
    }
    const QImage image = DecodePicture(jpeg);
    EXPECT_EQ(image.size(), QSize(64, 48));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_GT(image.pixelColor(32, 24).red(), 240);
    QByteArray cut = jpeg.left(jpeg.size() / 2);
    EXPECT_TRUE(DecodePicture(cut).isNull()) << "a truncated picture is refused, not shown half grey";
    SetPictureDecoder(nullptr);
}
