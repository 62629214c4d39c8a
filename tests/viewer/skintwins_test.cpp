// Skin pictures at two densities: a skin file with twins of twice the size
// and one without, read through the skin access and painted by the skinned
// button and the animated glyph image at device pixel ratios 1 and 2.
#include "imaging/animatedimage.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include "suite/xres/xres.h"
#include "viewer/halvornbmpbutton.h"
#include <QPainter>
#include <gtest/gtest.h>
#include <map>

namespace {

// The 1x pictures: a still of red and blue halves, a strip of a red and a
// blue frame.
QImage Halves(QSize size, QColor left, QColor right) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, size.width() / 2, size.height(), left);
    p.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), right);
    return image;
}

// A twin no enlargement of the 1x picture could give: stripes two pixels wide.
QImage Stripes(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int x = 0; x < size.width(); x += 4) p.fillRect(x, 0, 2, size.height(), colour);
    return image;
}

const QSize Still(32, 16), Frame(16, 16);

// The widget as a screen of Ratio shows it.
QImage Render(QWidget& widget, qreal ratio) {
    QImage image(widget.size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    widget.render(&image);
    image.setDevicePixelRatio(1);
    return image;
}

double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 255;
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return double(sum) / (3.0 * a.width() * a.height());
}

class SkinTwins : public ::testing::Test {
protected:
    // As on a computer with a screen of ratio 2 attached.
    void SetUp() override { SetSkinTwinsWanted(true); }
    void TearDown() override {
        SetSkinTwinsWanted(std::nullopt);
        CloseSkin();
        ResetAppState();
    }
    // XLumRes.EN beside the program holding Resources.
    void UseSkin(const QList<XRes::TResource>& resources) {
        CloseSkin();
        const QString folder = Tmp.Make(QStringLiteral("skin%1").arg(++Skins));
        ASSERT_FALSE(Tmp.Write(folder.mid(Tmp.Path().size()) + "/XLumRes.EN", XRes::Build(resources)).isEmpty());
        AppState().AppDir = folder + '/';
    }
    static XRes::TResource Picture(const char* type, const char* name, const QImage& image, int frames = 1) {
        return {type, name, frames, EncodeTestJpeg(image, 95)};
    }
    TTempFolder Tmp;
    int Skins = 0;
};

} // namespace

TEST_F(SkinTwins, ATwinIsKeptOnlyWhenItIsTwiceThePictureWithItsFrames) {
    const QImage still = Halves(Still, Qt::red, Qt::blue), strip = Halves(QSize(32, 16), Qt::red, Qt::blue);
    const struct {
        const char* What;
        QList<XRes::TResource> Resources;
        bool Kept;
    } cases[] = {
        {"twice", {Picture("JPEG", "0001", still), Picture("JP2X", "0001", Stripes(Still * 2, Qt::green))}, true},
        {"none", {Picture("JPEG", "0001", still)}, false},
        {"1.5 times", {Picture("JPEG", "0001", still), Picture("JP2X", "0001", Stripes(Still * 3 / 2, Qt::green))}, false},
        {"not a picture", {Picture("JPEG", "0001", still), {"JP2X", "0001", 1, "junk"}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        UseSkin(c.Resources);
        const TSkinPicture picture = GetSkinPicture(XLumResGroup, "0001");
        EXPECT_EQ(picture.Image.size(), Still);
        EXPECT_EQ(picture.Frames, 1);
        EXPECT_EQ(picture.Sharp.isNull(), !c.Kept);
        EXPECT_EQ(GetSkinImage(XLumResGroup, "0001").size(), Still) << "the 1x call reads as before";
    }
    // A strip's twin must hold as many frames.
    UseSkin({Picture("AJPG", "0031", strip, 2), Picture("AJ2X", "0031", Stripes(QSize(64, 32), Qt::green), 4)});
    EXPECT_TRUE(GetAnimatedSkinPicture(XLumResGroup, "0031").Sharp.isNull());
    // A twin alone is no picture.
    UseSkin({Picture("JP2X", "0001", Stripes(Still * 2, Qt::green))});
    EXPECT_TRUE(GetSkinPicture(XLumResGroup, "0001").Image.isNull());
}

TEST_F(SkinTwins, TheTwinIsShownAtRatio2AndThePictureScaledWithoutOne) {
    const QImage still = Halves(Still, Qt::red, Qt::blue);
    const QImage strip = Halves(QSize(32, 16), Qt::red, Qt::blue);  // frame 1 blue
    const QList<XRes::TResource> plain{Picture("JPEG", "0001", still), Picture("AJPG", "0031", strip, 2),
                                       Picture("JPEG", "0011", still)};
    QList<XRes::TResource> twinned = plain;
    twinned << Picture("JP2X", "0001", Stripes(Still * 2, Qt::green))
            << Picture("AJ2X", "0031", Halves(QSize(64, 32), Qt::yellow, Qt::darkGreen), 2)
            << Picture("JP2X", "0011", Stripes(Still * 2, Qt::green));
    std::map<int, QImage> oneX;  // what ratio 1 shows, per widget
    for (const bool withTwins : {false, true}) {
        SCOPED_TRACE(withTwins ? "with twins" : "without");
        UseSkin(withTwins ? twinned : plain);
        const TSkinPicture up = GetSkinPicture(XLumResGroup, "0001");
        THalvornBmpButton button;
        button.SetPictureUp(up.Image, up.Sharp);
        THvAnimatedImage glyph;
        SkinAnimatedButton(glyph, "0031", "0011");
        glyph.SetActive(true);
        glyph.SetGlyphNum(1);
        ASSERT_EQ(button.size(), Still);
        ASSERT_EQ(glyph.size(), Frame);

        // Ratio 1: the 1x pictures, whether the skin has twins or not.
        const QImage button1 = Render(button, 1), glyph1 = Render(glyph, 1);
        EXPECT_LT(MeanDifference(button1, up.Image), 1.0);
        if (!withTwins) {
            oneX[0] = button1;
            oneX[1] = glyph1;
        } else {
            EXPECT_EQ(button1, oneX[0]);
            EXPECT_EQ(glyph1, oneX[1]);
        }

        // Ratio 2: the twin pixel for pixel, or the 1x picture smoothly scaled.
        const QImage button2 = Render(button, 2), glyph2 = Render(glyph, 2);
        ASSERT_EQ(button2.size(), Still * 2);
        if (withTwins) {
            EXPECT_LT(MeanDifference(button2, up.Sharp.convertToFormat(QImage::Format_RGB32)), 1.0);
            EXPECT_TRUE(ColorNear(glyph2.pixelColor(8, 16), Qt::darkGreen, 16));  // the twin's second frame
        } else {
            EXPECT_LT(MeanDifference(button2, up.Image.scaled(Still * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)), 4.0);
            const QColor edge = button2.pixelColor(Still.width() - 1, 8);  // red and blue meet: blended
            EXPECT_GT(edge.red(), 40);
            EXPECT_GT(edge.blue(), 40);
            EXPECT_TRUE(ColorNear(glyph2.pixelColor(16, 16), Qt::blue, 16));
        }
    }
}

// The form script's "ChangeImage" sets a picture alone: the skin's twin goes
// with the picture it doubled, and the new picture is scaled.
TEST_F(SkinTwins, APictureSetAloneDropsTheOldTwin) {
    THalvornBmpButton button;
    button.SetPictureUp(Halves(Still, Qt::red, Qt::blue), Stripes(Still * 2, Qt::green));
    ASSERT_FALSE(button.SharpPictureUp().isNull());
    ASSERT_TRUE(button.setProperty("PictureUp", Halves(Still, Qt::white, Qt::black)));
    EXPECT_TRUE(button.SharpPictureUp().isNull());
    EXPECT_TRUE(ColorNear(Render(button, 2).pixelColor(4, 8), Qt::white, 8));
}
