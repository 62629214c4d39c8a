// The full view's picture holder: sizes, drawing, ownership and the
// operations it refuses.
#include "imaging/bitmapgraphic.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include <QBuffer>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <gtest/gtest.h>
#include <functional>

namespace {

// Counts its destructions, so a test sees a bitmap freed exactly once.
class TCountedBitmap : public TIEBitmap {
public:
    explicit TCountedBitmap(int* freed) : FFreed(freed) {}
    ~TCountedBitmap() override { ++*FFreed; }

private:
    int* FFreed;
};

std::unique_ptr<TIEBitmap> FromImage(const QImage& image, int* freed = nullptr) {
    std::unique_ptr<TIEBitmap> bitmap;
    if (freed)
        bitmap = std::make_unique<TCountedBitmap>(freed);
    else
        bitmap = std::make_unique<TIEBitmap>();
    bitmap->AssignImage(image);
    return bitmap;
}

QImage White(int w, int h) {
    QImage canvas(w, h, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    return canvas;
}

} // namespace

TEST(BitmapGraphic, WithoutABitmapItIsEmptyWithNoSizeAndNoPalette) {
    TIEBitmapGraphic graphic;
    EXPECT_TRUE(graphic.Empty());
    EXPECT_EQ(graphic.Width(), 0);
    EXPECT_EQ(graphic.Height(), 0);
    EXPECT_TRUE(graphic.Palette().isEmpty());
    QImage canvas = White(20, 20);
    QPainter painter(&canvas);
    graphic.Draw(painter, canvas.rect());
    painter.end();
    EXPECT_EQ(canvas, White(20, 20));
}

TEST(BitmapGraphic, SizeIsTheBitmapsAndDrawingStretchesItIntoTheRectangleWithinTheClip) {
    TIEBitmapGraphic graphic;
    graphic.SetBitmap(FromImage(MakeBandImage(100, 50, {Qt::red, Qt::blue})));
    EXPECT_FALSE(graphic.Empty());
    EXPECT_EQ(graphic.Width(), 100);
    EXPECT_EQ(graphic.Height(), 50);

    QImage canvas = White(240, 120);
    {
        QPainter painter(&canvas);
        graphic.Draw(painter, QRect(20, 10, 200, 100));
    }
    EXPECT_TRUE(ColorNear(canvas.pixelColor(60, 60), Qt::red));
    EXPECT_TRUE(ColorNear(canvas.pixelColor(180, 60), Qt::blue));
    EXPECT_EQ(canvas.pixelColor(10, 60), QColor(Qt::white));   // left of the rectangle
    EXPECT_EQ(canvas.pixelColor(60, 115), QColor(Qt::white));  // below it

    // Only what lies in the canvas's clip rectangle is painted.
    QImage clipped = White(240, 120);
    {
        QPainter painter(&clipped);
        painter.setClipRect(QRect(0, 0, 100, 120));
        graphic.Draw(painter, QRect(20, 10, 200, 100));
    }
    EXPECT_TRUE(ColorNear(clipped.pixelColor(60, 60), Qt::red));
    EXPECT_EQ(clipped.pixelColor(180, 60), QColor(Qt::white));
}

// The animation's frames are drawn pixel by pixel, the picture at rest
// smoothly: a stretched checkerboard keeps pure black and white only in
// the fast drawing.
TEST(BitmapGraphic, FastDrawingStretchesPixelByPixelAndSmoothDrawingFilters) {
    QImage board(4, 4, QImage::Format_RGB888);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) board.setPixelColor(x, y, (x + y) % 2 ? Qt::white : Qt::black);
    TIEBitmapGraphic graphic;
    graphic.SetBitmap(FromImage(board));
    const auto greys = [&](TIEBitmapGraphic::TQuality quality) {
        QImage canvas = White(40, 40);
        {
            QPainter painter(&canvas);
            painter.setClipRect(QRect(0, 0, 30, 40));
            graphic.Draw(painter, QRect(0, 0, 40, 40), quality);
        }
        int count = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 30; ++x) {
                const QColor c = canvas.pixelColor(x, y);
                count += (c != QColor(Qt::black) && c != QColor(Qt::white)) ? 1 : 0;
            }
        // The clip holds in both.
        for (int y = 0; y < 40; ++y) EXPECT_EQ(canvas.pixelColor(35, y), QColor(Qt::white));
        return count;
    };
    EXPECT_EQ(greys(TIEBitmapGraphic::TQuality::Fast), 0);
    EXPECT_GT(greys(TIEBitmapGraphic::TQuality::Smooth), 100);
}

TEST(BitmapGraphic, PaletteIsMadeOnceAndRenewedWithANewBitmap) {
    TIEBitmapGraphic graphic;
    graphic.SetBitmap(FromImage(MakeBandImage(8, 8, {Qt::red}).convertToFormat(QImage::Format_Grayscale8)));
    const QList<QRgb> greys = graphic.Palette();
    ASSERT_EQ(greys.size(), 256);
    EXPECT_EQ(greys[200], qRgb(200, 200, 200));
    EXPECT_EQ(&graphic.Palette(), &graphic.Palette());  // kept, not made on every call
    // A true-colour picture on a true-colour screen needs none.
    graphic.SetBitmap(FromImage(MakeBandImage(8, 8, {Qt::red})));
    EXPECT_TRUE(graphic.Palette().isEmpty());
    graphic.SetBitmap(nullptr);
    EXPECT_TRUE(graphic.Empty());
    EXPECT_TRUE(graphic.Palette().isEmpty());
}

TEST(BitmapGraphic, SetBitmapFreesTheOldOneAndTheGraphicFreesItsOwnOnce) {
    int freedA = 0, freedB = 0;
    {
        TIEBitmapGraphic graphic;
        graphic.SetBitmap(FromImage(MakeBandImage(4, 4, {Qt::red}), &freedA));
        graphic.SetBitmap(FromImage(MakeBandImage(6, 6, {Qt::blue}), &freedB));
        EXPECT_EQ(freedA, 1);
        EXPECT_EQ(freedB, 0);
        EXPECT_EQ(graphic.Width(), 6);
    }
    EXPECT_EQ(freedA, 1);
    EXPECT_EQ(freedB, 1);
}

TEST(BitmapGraphic, AssignToHandsTheSameBitmapOverAndOnlyTheReceiverFreesIt) {
    int freedShown = 0, freedOld = 0;
    {
        TIEBitmapGraphic source, dest;
        source.SetBitmap(FromImage(MakeBandImage(10, 20, {Qt::green}).convertToFormat(QImage::Format_Grayscale8),
                                   &freedShown));
        dest.SetBitmap(FromImage(MakeBandImage(4, 4, {Qt::red}), &freedOld));
        TIEBitmap* shown = source.Bitmap();
        const QList<QRgb>* palette = &source.Palette();
        ASSERT_EQ(palette->size(), 256);

        source.AssignTo(dest);
        EXPECT_EQ(dest.Bitmap(), shown);  // the same object, not a copy
        EXPECT_EQ(dest.Palette().size(), 256);
        EXPECT_EQ(dest.Width(), 10);
        EXPECT_EQ(dest.Height(), 20);
        EXPECT_EQ(freedOld, 1);           // the receiver's own picture went
        EXPECT_TRUE(source.Empty());
        EXPECT_TRUE(source.Palette().isEmpty());

        source.AssignTo(source);          // onto itself: nothing happens
        dest.AssignTo(dest);
        EXPECT_EQ(dest.Bitmap(), shown);
    }
    EXPECT_EQ(freedShown, 1);  // freed once, by the receiver
}

TEST(BitmapGraphic, RefusedOperationsRaiseTheirTextAndTouchNothing) {
    TTempFolder tmp;
    const QString file = tmp.Path() + "out.bmp";
    TIEBitmapGraphic graphic;
    graphic.SetBitmap(FromImage(MakeBandImage(10, 10, {Qt::red})));
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    QMimeData mime;
    const std::vector<std::pair<const char*, std::function<void()>>> operations = {
        {"set width", [&] { graphic.SetWidth(20); }},
        {"set height", [&] { graphic.SetHeight(20); }},
        {"save to file", [&] { graphic.SaveToFile(file); }},
        {"load from stream", [&] { graphic.LoadFromStream(buffer); }},
        {"save to stream", [&] { graphic.SaveToStream(buffer); }},
        {"load from clipboard format", [&] { graphic.LoadFromClipboardFormat(mime); }},
        {"save to clipboard format", [&] { graphic.SaveToClipboardFormat(mime); }},
    };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        try {
            operation();
            ADD_FAILURE() << "no exception";
        } catch (const EInvalidGraphicOperation& e) {
            EXPECT_EQ(e.Message(), "Unsupported TIEBitmapGraphic operation");
        }
        EXPECT_EQ(graphic.Width(), 10);
        EXPECT_EQ(graphic.Height(), 10);
    }
    EXPECT_FALSE(QFileInfo::exists(file));  // no empty file left behind
    EXPECT_EQ(buffer.size(), 0);
    EXPECT_TRUE(mime.formats().isEmpty());
}

// A large 24-bit picture is painted from a 32-bit copy; whatever changes its
// pixels (a turn, a write through the handle) shows in the next paint.
TEST(BitmapGraphic, ALargePictureIsPaintedAsItIsNowAfterEveryChange) {
    TIEBitmapGraphic graphic;
    QImage bands = MakeBandImage(1600, 800, {Qt::red, Qt::blue});
    graphic.SetBitmap(FromImage(bands.convertToFormat(QImage::Format_RGB888)));
    ASSERT_EQ(graphic.Bitmap()->GetHandle()->Image.format(), QImage::Format_RGB888);
    const auto paint = [&] {
        QImage canvas = White(160, 80);
        QPainter painter(&canvas);
        graphic.Draw(painter, canvas.rect());
        painter.end();
        return canvas;
    };
    QImage first = paint();
    EXPECT_TRUE(ColorNear(first.pixelColor(20, 40), Qt::red));
    EXPECT_TRUE(ColorNear(first.pixelColor(140, 40), Qt::blue));

    graphic.Bitmap()->Rotate(180);  // the full view calls Changed after a turn
    graphic.Changed();
    EXPECT_TRUE(ColorNear(paint().pixelColor(20, 40), Qt::blue));

    // Written in place without a word to the graphic.
    graphic.Bitmap()->GetHandle()->Image.fill(Qt::green);
    EXPECT_TRUE(ColorNear(paint().pixelColor(80, 40), Qt::green));
}
