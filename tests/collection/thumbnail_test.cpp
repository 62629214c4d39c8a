#include "collection/thumbnail.h"
#include "imaging/loading.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include <gtest/gtest.h>
#include <cstdlib>

namespace {

// Red outer quarters around a green and a blue band: the centre cut of a
// 3:2 picture must show only green and blue.
const QList<QColor> Bands{Qt::red, Qt::green, Qt::green, Qt::blue, Qt::blue, Qt::red};

bool HasRed(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 100 && c.red() > c.green() + 50 && c.red() > c.blue() + 50) return true;
        }
    return false;
}

struct TDifference { int Max = 0; double Mean = 0; };

TDifference Compare(const QImage& a, const QImage& b) {
    TDifference d;
    qint64 sum = 0, count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            for (int diff : {std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                             std::abs(p.blue() - q.blue())}) {
                d.Max = std::max(d.Max, diff);
                sum += diff;
                ++count;
            }
        }
    d.Mean = count ? double(sum) / double(count) : 0;
    return d;
}

QImage FullSizeCut(const QString& path) {
    auto full = TIEBitmap::CreateFromFile(path, 0);
    full->CenterCrop();
    EXPECT_EQ(full->GetSize(), QSize(1024, 1024));
    const QImage cut = full->MakeImage();
    EXPECT_FALSE(HasRed(cut, QRect(0, 0, 4, 1024)));
    EXPECT_FALSE(HasRed(cut, QRect(1020, 0, 4, 1024)));
    full->Resample(QSize(ThumbnailSize, ThumbnailSize));
    return full->MakeImage();
}

void NoConversion(TIEBitmap&, QSize) {}
void FailingConversion(TIEBitmap&, QSize) { throw TIEPixException("cannot"); }

class Thumbnails : public ::testing::Test {
protected:
    TTempFolder Folder;
};

} // namespace

TEST_F(Thumbnails, LandscapeKeepsTheMiddleColumns) {
    const QString path = Folder.Path() + "wide.jpg";
    ASSERT_TRUE(WriteTestJpeg(path, MakeBandImage(1536, 1024, Bands)));
    const QImage reference = FullSizeCut(path);

    auto thumbnail = MakeCenterCutThumbnailFor(path, ThumbnailSize);
    ASSERT_NE(thumbnail, nullptr);
    ASSERT_EQ(thumbnail->GetSize(), QSize(70, 70));
    const QImage cut = thumbnail->MakeImage();
    EXPECT_FALSE(HasRed(cut, QRect(0, 0, 2, 70)));
    EXPECT_FALSE(HasRed(cut, QRect(68, 0, 2, 70)));
    EXPECT_TRUE(ColorNear(MeanColor(cut, QRect(2, 2, 30, 66)), Qt::green, 16));
    EXPECT_TRUE(ColorNear(MeanColor(cut, QRect(38, 2, 30, 66)), Qt::blue, 16));

    // The small decode shows the same region as the full-size one.
    const TDifference d = Compare(cut, reference);
    EXPECT_LE(d.Max, 32);
    EXPECT_LE(d.Mean, 2.0);
}

TEST_F(Thumbnails, PortraitKeepsTheMiddleRows) {
    const QString path = Folder.Path() + "tall.jpg";
    ASSERT_TRUE(WriteTestJpeg(path, MakeBandImage(1024, 1536, Bands, true)));
    auto full = TIEBitmap::CreateFromFile(path, 0);
    full->CenterCrop();
    ASSERT_EQ(full->GetSize(), QSize(1024, 1024));
    EXPECT_FALSE(HasRed(full->MakeImage(), QRect(0, 0, 1024, 4)));
    EXPECT_FALSE(HasRed(full->MakeImage(), QRect(0, 1020, 1024, 4)));
    full->Resample(QSize(70, 70));

    auto thumbnail = MakeCenterCutThumbnailFor(path, ThumbnailSize);
    ASSERT_NE(thumbnail, nullptr);
    const QImage cut = thumbnail->MakeImage();
    EXPECT_FALSE(HasRed(cut, QRect(0, 0, 70, 2)));
    EXPECT_FALSE(HasRed(cut, QRect(0, 68, 70, 2)));
    EXPECT_TRUE(ColorNear(MeanColor(cut, QRect(2, 2, 66, 30)), Qt::green, 16));
    EXPECT_TRUE(ColorNear(MeanColor(cut, QRect(2, 38, 66, 30)), Qt::blue, 16));
    const TDifference d = Compare(cut, full->MakeImage());
    EXPECT_LE(d.Max, 32);
    EXPECT_LE(d.Mean, 2.0);
}

// On a photo with detail the DCT-scaled thumbnail still matches the one made
// from a full-size decode: same region, only the filtering differs.
TEST_F(Thumbnails, SmallDecodeMatchesTheFullSizeCutOnAPhoto) {
    const QString path = Folder.Path() + "photo.jpg";
    ASSERT_TRUE(WriteTestJpeg(path, MakePhotoLikeImage(1536, 1024, 7)));
    auto full = TIEBitmap::CreateFromFile(path, 0);
    ConvertBitmapToCenterThumbnail(*full, QSize(70, 70));
    auto thumbnail = MakeCenterCutThumbnailFor(path, ThumbnailSize);
    ASSERT_NE(thumbnail, nullptr);
    const TDifference d = Compare(thumbnail->MakeImage(), full->MakeImage());
    EXPECT_LE(d.Max, 32);
    EXPECT_LE(d.Mean, 1.5);
    // A cut shifted by a few source pixels already differs clearly.
    auto decoded = TIEBitmap::CreateFromFile(path, 0);
    TIEBitmap shifted;
    shifted.AssignImage(decoded->MakeImage().copy(256 + 48, 0, 1024, 1024));
    shifted.Resample(QSize(70, 70));
    EXPECT_GT(Compare(thumbnail->MakeImage(), shifted.MakeImage()).Mean, d.Mean + 2);
}

TEST_F(Thumbnails, ASquarePhotoIsOnlyScaled) {
    const QString path = Folder.Path() + "square.jpg";
    ASSERT_TRUE(WriteTestJpeg(path, MakeBandImage(300, 300, {Qt::green, Qt::blue})));
    auto thumbnail = MakeCenterCutThumbnailFor(path, ThumbnailSize);
    ASSERT_NE(thumbnail, nullptr);
    EXPECT_EQ(thumbnail->GetSize(), QSize(70, 70));
    EXPECT_TRUE(ColorNear(MeanColor(thumbnail->MakeImage(), QRect(2, 2, 30, 66)), Qt::green, 16));
    EXPECT_TRUE(ColorNear(MeanColor(thumbnail->MakeImage(), QRect(38, 2, 30, 66)), Qt::blue, 16));
}

TEST_F(Thumbnails, StoredRotationTurnsTheFinishedThumbnail) {
    const QString path = Folder.Path() + "turn.jpg";
    ASSERT_TRUE(WriteTestJpeg(path, MakeBandImage(1536, 1024, Bands)));
    auto thumbnail = MakeCenterCutThumbnailFor(path, ThumbnailSize);
    ASSERT_NE(thumbnail, nullptr);
    thumbnail->Rotate(90);
    ASSERT_EQ(thumbnail->GetSize(), QSize(70, 70));
    // Clockwise: the green (left) half ends on top.
    EXPECT_TRUE(ColorNear(MeanColor(thumbnail->MakeImage(), QRect(2, 2, 66, 30)), Qt::green, 16));
    EXPECT_TRUE(ColorNear(MeanColor(thumbnail->MakeImage(), QRect(2, 38, 66, 30)), Qt::blue, 16));
}

TEST_F(Thumbnails, TheLoadAimsAtTheRequestedSize) {
    const QString path = Folder.Path() + "aim.jpg";
    ASSERT_TRUE(WriteTestJpeg(path, MakePhotoLikeImage(1536, 1024)));
    auto small = GenerateThumbnailFor(path, 100, NoConversion);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->GetSize(), QSize(192, 128));
    auto larger = GenerateThumbnailFor(path, 200, NoConversion);
    ASSERT_NE(larger, nullptr);
    EXPECT_EQ(larger->GetSize(), QSize(384, 256));
    EXPECT_EQ(SmallLoad(), TSmallLoad{});
}

TEST_F(Thumbnails, NoThumbnailWithoutAUsablePicture) {
    const QString jpeg = Folder.Path() + "ok.jpg";
    ASSERT_TRUE(WriteTestJpeg(jpeg, MakePhotoLikeImage(200, 100)));
    const QString cases[] = {
        Folder.Path() + "missing.jpg",
        Folder.Write("empty.jpg", QByteArray()),
        Folder.Write("garbage.jpg", QByteArray(4096, '\x33')),
        Folder.Make("folder.jpg"),
    };
    for (const QString& path : cases) EXPECT_EQ(MakeCenterCutThumbnailFor(path, 70), nullptr) << path.toStdString();
    EXPECT_EQ(GenerateThumbnailFor(jpeg, 70, FailingConversion), nullptr);
    {
        TProgressHookScope stop([](int) { return false; });
        EXPECT_EQ(MakeCenterCutThumbnailFor(jpeg, 70), nullptr);
    }
    EXPECT_NE(MakeCenterCutThumbnailFor(jpeg, 70), nullptr);
}

TEST(ConvertBitmapToCenterThumbnail, CutsThenScales) {
    TIEBitmap bitmap;
    bitmap.AssignImage(MakeBandImage(100, 151, {Qt::red, Qt::green, Qt::green, Qt::green, Qt::green, Qt::red}, true));
    ConvertBitmapToCenterThumbnail(bitmap, QSize(10, 10));
    EXPECT_EQ(bitmap.GetSize(), QSize(10, 10));
    EXPECT_FALSE(HasRed(bitmap.MakeImage(), QRect(0, 1, 10, 8)));
    TThumbnail thumbnail;
    EXPECT_TRUE(thumbnail.PreferSmallSize());
    EXPECT_FALSE(bitmap.PreferSmallSize());
}
