// Photos as they are meant to be seen: a JPEG's orientation tag turns its
// thumbnail and its full-size picture upright, a colour profile other than
// sRGB is converted at decode, and the copies handed to others are written
// that way.
#include "collection/thumbnail.h"
#include "imaging/loading.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include <QBuffer>
#include <QColorSpace>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QColor Red(220, 40, 40), Green(40, 200, 60), Blue(40, 60, 220), Yellow(230, 210, 40);
const QSize Upright(96, 64);  // red, green on top; blue, yellow below

// How a camera stores that picture under each tag, read off the tag's
// definition (where the stored rows and columns lie in the scene): the
// colours of the stored picture's corners.
struct TStored {
    int Orientation;
    QColor TopLeft, TopRight, BottomLeft, BottomRight;
    bool BigEndian;
};
const TStored StoredPictures[] = {
    {1, Red, Green, Blue, Yellow, false},  {2, Green, Red, Yellow, Blue, true},
    {3, Yellow, Blue, Green, Red, false},  {4, Blue, Yellow, Red, Green, true},
    {5, Red, Blue, Green, Yellow, false},  {6, Green, Yellow, Red, Blue, true},
    {7, Yellow, Green, Blue, Red, false},  {8, Blue, Red, Yellow, Green, true},
};

QByteArray StoredJpeg(const TStored& s) {
    const QSize size = s.Orientation >= 5 ? Upright.transposed() : Upright;
    QImage image(size, QImage::Format_RGB888);
    QPainter p(&image);
    const int w = size.width() / 2, h = size.height() / 2;
    p.fillRect(0, 0, w, h, s.TopLeft);
    p.fillRect(w, 0, w, h, s.TopRight);
    p.fillRect(0, h, w, h, s.BottomLeft);
    p.fillRect(w, h, w, h, s.BottomRight);
    p.end();
    return WithExifOrientation(EncodeTestJpeg(image), s.Orientation, s.BigEndian);
}

// The quadrants of a picture of the upright scene, by their middles.
void ExpectUpright(const QImage& image) {
    ASSERT_FALSE(image.isNull());
    const int w = image.width(), h = image.height();
    EXPECT_TRUE(ColorNear(image.pixelColor(w / 4, h / 4), Red, 24));
    EXPECT_TRUE(ColorNear(image.pixelColor(3 * w / 4, h / 4), Green, 24));
    EXPECT_TRUE(ColorNear(image.pixelColor(w / 4, 3 * h / 4), Blue, 24));
    EXPECT_TRUE(ColorNear(image.pixelColor(3 * w / 4, 3 * h / 4), Yellow, 24));
}

double MeanDifference(const QImage& a, const QImage& b) {
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue());
        }
    return double(sum) / (3.0 * a.width() * a.height());
}

QImage Thumbnail(const QString& path) {
    const auto thumbnail = MakeCenterCutThumbnailFor(path, ThumbnailSize);
    return thumbnail ? thumbnail->MakeImage() : QImage();
}

} // namespace

TEST(Upright, EveryOrientationGivesOneUprightThumbnailAndPicture) {
    TTempFolder folder;
    for (const TStored& s : StoredPictures) {
        SCOPED_TRACE(s.Orientation);
        const QString path = folder.Write(QStringLiteral("o%1.jpg").arg(s.Orientation), StoredJpeg(s));
        EXPECT_EQ(JpegOrientation(path), s.Orientation);

        const QImage thumbnail = Thumbnail(path);
        EXPECT_EQ(thumbnail.size(), QSize(ThumbnailSize, ThumbnailSize));
        ExpectUpright(thumbnail);

        const auto full = TIEBitmap::CreateFromFile(path, ColorModeOwnDepth);
        EXPECT_EQ(full->GetSize(), Upright);
        ExpectUpright(full->MakeImage());
        {
            // The full view's loader reads with a progress hook: the rows
            // go through the decoder's callback.
            TProgressHookScope hook([](int) { return true; });
            const auto hooked = TIEBitmap::CreateFromFile(path, ColorModeOwnDepth);
            EXPECT_EQ(hooked->GetSize(), Upright);
            ExpectUpright(hooked->MakeImage());
        }

        // The full view's reduced read is placed by the upright size in the file.
        TSmallLoadScope small({16, false});
        TThumbnail smallLoad;
        smallLoad.LoadFromFile(path, ColorModeOwnDepth);
        EXPECT_EQ(smallLoad.GetSize(), Upright / 4);
        EXPECT_EQ(QSize(smallLoad.GetHandle()->SourceWidth, smallLoad.GetHandle()->SourceHeight), Upright);
        ExpectUpright(smallLoad.MakeImage());

        ImageInfo info;
        QString error;
        ASSERT_TRUE(GetImageTypeInfoEx(path, info, false, error));
        EXPECT_EQ(QSize(info.Width, info.Height), Upright);
    }
}

// Whatever is not a JPEG with a tag of 2 to 8 is upright as it lies.
TEST(Upright, AnyOtherFileHasOrientation1) {
    TTempFolder folder;
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG"));
    const QByteArray jpeg = EncodeTestJpeg(picture);
    const struct {
        const char* Name;
        QByteArray Data;
    } cases[] = {{"untagged.jpg", jpeg},
                 {"tag-9.jpg", WithExifOrientation(jpeg, 9)},
                 {"picture.png", png},
                 {"cut.jpg", WithExifOrientation(jpeg, 6).left(30)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(JpegOrientation(folder.Write(c.Name, c.Data)), 1);
    }
    EXPECT_EQ(JpegOrientation(folder.Path() + "missing.jpg"), 1);
}

TEST(Upright, CopiesForOthersAreWrittenUprightWithoutTheTag) {
    TTempFolder folder;
    const QString plain = folder.Write("plain.jpg", StoredJpeg(StoredPictures[0]));
    const QString turned = folder.Write("turned.jpg", StoredJpeg(StoredPictures[5]));
    const struct {
        const QString& Path;
        int Degrees;
        bool Needed;
        QSize Size;
    } cases[] = {{plain, 0, false, Upright}, {plain, 360, false, Upright},
                 {plain, 90, true, Upright.transposed()}, {turned, 0, true, Upright},
                 {turned, -90, true, Upright.transposed()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(c.Path).arg(c.Degrees).toStdString());
        EXPECT_EQ(NeedsUprightCopy(c.Path, c.Degrees), c.Needed);
        const QString copy = folder.Path() + "copy.jpg";
        QString error;
        ASSERT_TRUE(SaveUprightCopy(c.Path, copy, c.Degrees, error)) << error.toStdString();
        EXPECT_FALSE(NeedsUprightCopy(copy, 0));
        const auto loaded = TIEBitmap::CreateFromFile(copy, ColorModeOwnDepth);
        EXPECT_EQ(loaded->GetSize(), c.Size);
        if (c.Degrees % 360 == 0) ExpectUpright(loaded->MakeImage());
    }
    QString error;
    EXPECT_FALSE(SaveUprightCopy(folder.Path() + "missing.jpg", folder.Path() + "x.jpg", 0, error));
    EXPECT_FALSE(error.isEmpty());
}

// A photo whose numbers are in another colour space, carrying its profile,
// gives the thumbnail of the sRGB photo it was made from; without the
// profile it would look different. sRGB and unreadable profiles change nothing.
TEST(Colour, AProfileTaggedPhotoLooksAsItsSrgbConversion) {
    TTempFolder folder;
    QImage photo = MakePhotoLikeImage(240, 160, 3);
    photo.setColorSpace(QColorSpace(QColorSpace::SRgb));
    const QImage reference = Thumbnail(folder.Write("srgb.jpg", EncodeTestJpeg(photo)));
    const QByteArray junk = QByteArray(600, 'x').prepend(QByteArray("\0\0\2\x58", 4));
    const struct {
        QColorSpace::NamedColorSpace Space;
        QByteArray Profile;  // empty: the space's own
        int Chunks;
        bool Converted;
    } cases[] = {{QColorSpace::AdobeRgb, {}, 1, true},  {QColorSpace::DisplayP3, {}, 3, true},
                 {QColorSpace::ProPhotoRgb, {}, 2, true}, {QColorSpace::SRgb, {}, 1, false},
                 {QColorSpace::AdobeRgb, junk, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.Space));
        QImage numbers = photo.convertedToColorSpace(QColorSpace(c.Space));
        numbers.setColorSpace(QColorSpace());
        const QByteArray untagged = EncodeTestJpeg(numbers);
        const QByteArray profile = c.Profile.isEmpty() ? QColorSpace(c.Space).iccProfile() : c.Profile;
        const QString path = folder.Write("tagged.jpg", WithIccProfile(untagged, profile, c.Chunks));
        const QImage tagged = Thumbnail(path);
        const QImage plain = Thumbnail(folder.Write("untagged.jpg", untagged));
        FILEINFO info;
        ASSERT_EQ(L_FileInfo(path, &info, 0), SUCCESS);
        EXPECT_EQ(info.ForeignProfile, c.Converted);
        if (c.Converted) {
            EXPECT_LT(MeanDifference(tagged, reference), 2.0);
            EXPECT_GT(MeanDifference(plain, reference), 4.0) << "the profile made no difference to the test";
        } else {
            EXPECT_EQ(tagged, plain);
        }
    }
}
