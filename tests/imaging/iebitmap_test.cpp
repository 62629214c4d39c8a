#include "imaging/iebitmap.h"
#include "imaging/loading.h"
#include "imaging/screen.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QSet>
#include <gtest/gtest.h>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::unique_ptr<TIEBitmap> FromImage(const QImage& image) {
    auto bitmap = std::make_unique<TIEBitmap>();
    bitmap->AssignImage(image);
    return bitmap;
}

// Rows (or columns) get red levels 10 * index, so a crop shows which ones it kept.
QImage IndexedStripes(int width, int height, bool columns) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixelColor(x, y, QColor(10 * (columns ? x : y), 0, 0));
    return image;
}

QImage Checkerboard(int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, (x + y) % 2 ? QColor(255, 255, 255) : QColor(0, 0, 0));
    return image;
}

QByteArray DibHeader(uint32_t headerSize, uint16_t bitCount, uint32_t colorsUsed, int totalSize) {
    QByteArray data(std::max<int>(totalSize, 4), '\0');
    auto put32 = [&data](int at, uint32_t v) {
        if (at + 4 <= data.size())
            for (int i = 0; i < 4; ++i) data[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    auto put16 = [&data](int at, uint16_t v) {
        if (at + 2 <= data.size()) {
            data[at] = char(v & 0xFF);
            data[at + 1] = char(v >> 8);
        }
    };
    put32(0, headerSize);
    if (headerSize == 12) {
        put16(10, bitCount);
    } else {
        put16(14, bitCount);
        put32(32, colorsUsed);
    }
    data.resize(totalSize);
    return data;
}

} // namespace

TEST(CenterCropRect, KeepsTheMiddleSquareWithTheOddPixelInTheLongDirection) {
    struct Case { QSize Size; QRect Kept; };
    const Case cases[] = {
        {{10, 13}, QRect(QPoint(0, 1), QPoint(9, 11))},   // (0,1) to (10,12)
        {{13, 10}, QRect(QPoint(1, 0), QPoint(11, 9))},   // (1,0) to (12,10)
        {{100, 151}, QRect(0, 25, 100, 101)},
        {{1536, 1024}, QRect(256, 0, 1024, 1024)},
        {{1024, 1536}, QRect(0, 256, 1024, 1024)},
        {{64, 64}, QRect(0, 0, 64, 64)},
    };
    for (const Case& c : cases) EXPECT_EQ(CenterCropRect(c.Size), c.Kept) << c.Size.width() << "x" << c.Size.height();
}

TEST(TIEBitmap, CenterCropKeepsTheMiddleRowsOrColumns) {
    auto portrait = FromImage(IndexedStripes(10, 13, false));
    portrait->CenterCrop();
    ASSERT_EQ(portrait->GetSize(), QSize(10, 11));
    QImage kept = portrait->MakeImage();
    EXPECT_EQ(kept.pixelColor(0, 0).red(), 10);    // row 1
    EXPECT_EQ(kept.pixelColor(9, 10).red(), 110);  // row 11

    auto landscape = FromImage(IndexedStripes(13, 10, true));
    landscape->CenterCrop();
    ASSERT_EQ(landscape->GetSize(), QSize(11, 10));
    kept = landscape->MakeImage();
    EXPECT_EQ(kept.pixelColor(0, 0).red(), 10);     // column 1
    EXPECT_EQ(kept.pixelColor(10, 9).red(), 110);   // column 11
}

// A DCT-scaled decode remembers its source size; the square is chosen in
// source coordinates so it covers the same region as a full-size decode.
TEST(TIEBitmap, CenterCropOfAScaledPictureMapsTheSourceSquare) {
    const QList<QColor> bands{Qt::red, Qt::green, Qt::green, Qt::blue, Qt::blue, Qt::red};
    auto scaled = FromImage(MakeBandImage(192, 128, bands));
    scaled->GetHandle()->SourceWidth = 1536;
    scaled->GetHandle()->SourceHeight = 1024;
    scaled->CenterCrop();
    ASSERT_EQ(scaled->GetSize(), QSize(128, 128));
    const QImage kept = scaled->MakeImage();
    EXPECT_TRUE(ColorNear(kept.pixelColor(0, 64), Qt::green));
    EXPECT_TRUE(ColorNear(kept.pixelColor(127, 64), Qt::blue));
    EXPECT_EQ(scaled->GetHandle()->SourceWidth, 1024);
    EXPECT_EQ(scaled->GetHandle()->SourceHeight, 1024);

    // 200 x 128 scaled to 25 x 16: the source square (36..163) maps to 5..20,
    // where a crop of the pixels alone would keep 4..20.
    auto odd = FromImage(IndexedStripes(25, 16, true));
    odd->GetHandle()->SourceWidth = 200;
    odd->GetHandle()->SourceHeight = 128;
    odd->CenterCrop();
    ASSERT_EQ(odd->GetSize(), QSize(16, 16));
    EXPECT_EQ(odd->MakeImage().pixelColor(0, 0).red(), 50);

    // A source size that no longer matches the pixels' shape is not trusted.
    auto turned = FromImage(IndexedStripes(16, 25, false));
    turned->GetHandle()->SourceWidth = 200;
    turned->GetHandle()->SourceHeight = 128;
    turned->CenterCrop();
    EXPECT_EQ(turned->GetSize(), QSize(16, 17));
}

TEST(TIEBitmap, ResampleTakesZeroAsOneAndLeavesTheSameSizeAlone) {
    auto bitmap = FromImage(Checkerboard(10, 13));
    const QImage before = bitmap->MakeImage();
    bitmap->Resample(QSize(10, 13));
    EXPECT_EQ(bitmap->MakeImage(), before);  // any filtering would blur the checkerboard

    bitmap->Resample(QSize(20, 26));
    EXPECT_EQ(bitmap->GetSize(), QSize(20, 26));
    bitmap->Resample(QSize(0, 0));
    EXPECT_EQ(bitmap->GetSize(), QSize(1, 1));
    bitmap->Resample(QSize(0, 5));
    EXPECT_EQ(bitmap->GetSize(), QSize(1, 5));
}

TEST(TIEBitmap, RotateTurnsByQuarterTurnsBothWays) {
    const QImage original = MakeBandImage(40, 20, {Qt::red, Qt::blue});
    auto bitmap = FromImage(original);
    bitmap->Rotate(90);
    ASSERT_EQ(bitmap->GetSize(), QSize(20, 40));
    // Clockwise: the left band ends on top.
    EXPECT_TRUE(ColorNear(MeanColor(bitmap->MakeImage(), QRect(0, 0, 20, 20)), Qt::red));
    bitmap->Rotate(-90);
    EXPECT_EQ(bitmap->MakeImage(), original.convertToFormat(bitmap->MakeImage().format()));
    bitmap->Rotate(180);
    EXPECT_TRUE(ColorNear(MeanColor(bitmap->MakeImage(), QRect(0, 0, 20, 20)), Qt::blue));
}

TEST(TIEBitmap, EmptyObjectAnswersNothingAndRefusesToSave) {
    TIEBitmap empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.GetSize(), QSize(0, 0));
    EXPECT_EQ(empty.GetMemorySize(), 0);
    EXPECT_EQ(empty.GetBitsPerPixel(), 0);
    EXPECT_EQ(empty.GetResolution(), QPoint(0, 0));
    EXPECT_TRUE(empty.MakeDIB().isEmpty());
    EXPECT_TRUE(empty.MakeImage().isNull());
    EXPECT_TRUE(empty.MakeBitmapObject().isNull());
    EXPECT_TRUE(empty.ReleaseToDIB().isEmpty());
    EXPECT_NO_THROW(empty.Resample(QSize(5, 5)));
    EXPECT_NO_THROW(empty.Rotate(90));
    EXPECT_NO_THROW(empty.CenterCrop());
    EXPECT_TRUE(empty.IsEmpty());
    TTempFolder folder;
    EXPECT_THROW(empty.SaveToFile(folder.Path() + "none.png", 6), TIEPixException);
    EXPECT_FALSE(QFile::exists(folder.Path() + "none.png"));
}

TEST(TIEBitmap, CloneCopiesPictureAndAttributesButNotTheSerialNumber) {
    TIEBitmap empty;
    empty.SourceFile = "ignored";
    auto emptyClone = empty.Clone();
    EXPECT_TRUE(emptyClone->IsEmpty());
    EXPECT_EQ(emptyClone->FormatIndex, UnknownFormatIndex);
    EXPECT_EQ(emptyClone->SourceFormat, 0);
    EXPECT_TRUE(emptyClone->SourceFile.isEmpty());
    EXPECT_TRUE(emptyClone->CanSaveBack);
    EXPECT_EQ(emptyClone->Rotation, 0);

    auto bitmap = FromImage(Checkerboard(6, 4));
    bitmap->SourceFormat = FILE_JFIF;
    bitmap->FormatIndex = 3;
    bitmap->SourceFile = "/photos/a.jpg";
    bitmap->CanSaveBack = false;
    bitmap->Rotation = 90;
    auto clone = bitmap->Clone();
    EXPECT_EQ(clone->MakeImage(), bitmap->MakeImage());
    EXPECT_NE(clone->GetHandle(), bitmap->GetHandle());
    EXPECT_EQ(clone->SourceFormat, FILE_JFIF);
    EXPECT_EQ(clone->FormatIndex, 3);
    EXPECT_EQ(clone->SourceFile, "/photos/a.jpg");
    EXPECT_FALSE(clone->CanSaveBack);
    EXPECT_EQ(clone->Rotation, 90);
    EXPECT_NE(clone->SerialNumber(), bitmap->SerialNumber());
}

TEST(TIEBitmap, SerialNumberCountsConstructionsWhateverWasFreed) {
    TIEBitmap::ResetConstructedCount();
    std::vector<std::unique_ptr<TIEBitmap>> kept;
    for (int i = 1; i <= 10; ++i) {
        auto bitmap = std::make_unique<TIEBitmap>();
        if (i == 10) {
            EXPECT_EQ(bitmap->SerialNumber(), 10);
        }
        if (i % 2) kept.push_back(std::move(bitmap));  // the others are freed at once
    }
    EXPECT_EQ(kept.front()->SerialNumber(), 1);
    EXPECT_EQ(TIEBitmap::ConstructedCount(), 10);
}

TEST(TIEBitmap, FreeHandleResetsFormatButKeepsFileAndRotation) {
    auto bitmap = FromImage(Checkerboard(4, 4));
    bitmap->SourceFormat = FILE_BMP;
    bitmap->FormatIndex = 0;
    bitmap->CanSaveBack = false;
    bitmap->SourceFile = "x.bmp";
    bitmap->Rotation = -90;
    bitmap->FreeHandle();
    EXPECT_TRUE(bitmap->IsEmpty());
    EXPECT_EQ(bitmap->FormatIndex, UnknownFormatIndex);
    EXPECT_EQ(bitmap->SourceFormat, 0);
    EXPECT_TRUE(bitmap->CanSaveBack);
    EXPECT_EQ(bitmap->SourceFile, "x.bmp");
    EXPECT_EQ(bitmap->Rotation, -90);
}

TEST(TIEBitmap, MemorySizeIsTheImageBytesPlusTheRecord) {
    auto bitmap = FromImage(Checkerboard(10, 13));
    EXPECT_EQ(bitmap->GetMemorySize(), bitmap->GetHandle()->Size() + 136);
    EXPECT_EQ(bitmap->GetBitsPerPixel(), 24);
}

TEST(TIEBitmap, HandleOwnershipMovesOnlyWhereSaid) {
    auto source = FromImage(Checkerboard(8, 8));
    source->SourceFile = "s.png";
    const BITMAPHANDLE* handle = source->GetHandle();
    TIEBitmap target;
    target.TakeFrom(std::move(source));
    EXPECT_EQ(target.GetHandle(), handle);
    EXPECT_EQ(target.SourceFile, "s.png");

    TIEBitmap copy;
    copy.CopyFrom(target);
    EXPECT_NE(copy.GetHandle(), target.GetHandle());
    target.Rotate(90);
    EXPECT_EQ(copy.GetSize(), QSize(8, 8));
    copy.CopyFrom(copy);  // copying onto itself keeps the picture
    EXPECT_EQ(copy.GetSize(), QSize(8, 8));

    copy.AdoptHandle(copy.GetHandle());  // adopting its own handle must not free it
    EXPECT_EQ(copy.GetSize(), QSize(8, 8));

    TBitmapHandlePtr released(copy.ReleaseHandle());
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(released->Width(), 8);

    TIEBitmap adopter;
    adopter.AdoptHandle(released.release());
    EXPECT_EQ(adopter.GetSize(), QSize(8, 8));
    TBitmapHandlePtr forgotten(adopter.GetHandle());
    adopter.Forget();
    EXPECT_TRUE(adopter.IsEmpty());
    EXPECT_EQ(forgotten->Height(), 8);
}

TEST(TIEBitmap, DibRoundTripAndRelease) {
    const QImage picture = MakeBandImage(13, 7, {Qt::red, Qt::green, Qt::blue});
    auto bitmap = FromImage(picture);
    const QByteArray dib = bitmap->MakeDIB();
    ASSERT_FALSE(dib.isEmpty());

    TIEBitmap back;
    back.AssignDIB(dib);
    EXPECT_EQ(back.MakeImage(), bitmap->MakeImage());

    QByteArray header, bits;
    bitmap->CopyDIBParts(header, bits);
    EXPECT_EQ(header.size(), 40);
    EXPECT_EQ(bits.size(), dib.size() - 40);

    QByteArray taken = bitmap->MakeDIB();
    TIEBitmap taker;
    taker.TakeDIB(taken);
    EXPECT_EQ(taker.GetSize(), QSize(13, 7));

    const QByteArray released = bitmap->ReleaseToDIB();
    EXPECT_TRUE(bitmap->IsEmpty());
    EXPECT_EQ(released, dib);
}

TEST(TIEBitmap, AssignDIBOfABadHeaderRaisesAndLeavesTheObjectEmpty) {
    auto bitmap = FromImage(Checkerboard(4, 4));
    EXPECT_THROW(bitmap->AssignDIB(DibHeader(108, 24, 0, 200)), TIEPixException);
    EXPECT_TRUE(bitmap->IsEmpty());
}

TEST(ParseDIB, HeaderAndColourTableRules) {
    struct Case { uint32_t Header; uint16_t Bits; uint32_t Used; int Total; bool Ok; qint64 HeaderSize; };
    const Case cases[] = {
        {40, 24, 0, 52, true, 40},
        {40, 8, 0, 40 + 1024 + 16, true, 1064},
        {40, 8, 16, 40 + 64 + 4, true, 104},
        {40, 32, 0, 48, true, 40},
        {12, 4, 0, 12 + 48 + 8, true, 60},
        {12, 1, 0, 12 + 6, true, 18},
        {108, 24, 0, 200, false, 0},       // a V4 header is refused
        {40, 8, 0, 100, false, 0},         // colour table runs past the block
        {40, 24, 0, 20, false, 0},         // header runs past the block
        {40, 8, 0xFFFFFFFFu, 2000, false, 0},
    };
    for (const Case& c : cases) {
        const QByteArray dib = DibHeader(c.Header, c.Bits, c.Used, c.Total);
        qint64 bitsSize = -1, headerSize = -1;
        const uint8_t* bits = nullptr;
        const uint8_t* header = nullptr;
        const auto* start = reinterpret_cast<const uint8_t*>(dib.constData());
        const bool ok = TIEBitmap::ParseDIB(start, dib.size(), bitsSize, headerSize, bits, header);
        EXPECT_EQ(ok, c.Ok) << c.Header << "/" << c.Bits << "/" << c.Total;
        if (ok && c.Ok) {
            EXPECT_EQ(header, start);
            EXPECT_EQ(headerSize, c.HeaderSize);
            EXPECT_EQ(bits, start + c.HeaderSize);
            EXPECT_EQ(bitsSize, c.Total - c.HeaderSize);
        }
    }
    qint64 a = 0, b = 0;
    const uint8_t *p = nullptr, *q = nullptr;
    const uint8_t tiny[2] = {40, 0};
    EXPECT_FALSE(TIEBitmap::ParseDIB(tiny, 2, a, b, p, q));
    EXPECT_FALSE(TIEBitmap::ParseDIB(nullptr, 100, a, b, p, q));
}

TEST(FitSizeInto, ScalesKeepingTheAspectAndCentres) {
    struct Case { QSize Size, Bounds; QRect Fit; };
    const Case cases[] = {
        {{200, 100}, {400, 400}, QRect(0, 100, 400, 200)},
        {{100, 200}, {400, 400}, QRect(100, 0, 200, 400)},
        {{3, 2}, {10, 10}, QRect(0, 1, 10, 7)},        // 6.67 rounds to 7
        {{100, 100}, {50, 50}, QRect(0, 0, 50, 50)},
        {{0, 5}, {10, 10}, QRect()},
        {{5, 5}, {0, 10}, QRect()},
    };
    for (const Case& c : cases) EXPECT_EQ(FitSizeInto(c.Size, c.Bounds), c.Fit);
}

TEST(PlacePrint, FitsCentresAndMovesToTheEdgesUnlessFlagged) {
    struct Case { QSize Picture, Page; int MaxW, MaxH, Flags; QRect Placed; };
    const Case cases[] = {
        // Smaller than the page: kept at the fitted size, centred on the page.
        {{200, 100}, {1000, 800}, 400, 400, 3, QRect(300, 300, 400, 200)},
        {{200, 100}, {1000, 800}, 400, 400, 0, QRect(0, 0, 400, 200)},
        {{200, 100}, {1000, 800}, 400, 400, 1, QRect(300, 0, 400, 200)},
        {{200, 100}, {1000, 800}, 400, 400, 2, QRect(0, 300, 400, 200)},
        // Too large: scaled into the page.
        {{200, 100}, {1000, 800}, 2000, 2000, 3, QRect(0, 150, 1000, 500)},
        {{200, 100}, {1000, 800}, 2000, 2000, 0, QRect(0, 0, 1000, 500)},
        {{100, 400}, {1000, 800}, 2000, 2000, 3, QRect(400, 0, 200, 800)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlacePrint(c.Picture, c.Page, c.MaxW, c.MaxH, c.Flags), c.Placed) << c.Flags;
    EXPECT_TRUE(PlacePrint(QSize(0, 0), QSize(100, 100), 50, 50, 3).isEmpty());
}

TEST(TIEBitmap, PrintAtWritesAPdfPage) {
    TTempFolder folder;
    const QString pdf = folder.Path() + "print.pdf";
    auto bitmap = FromImage(MakePhotoLikeImage(300, 200));
    QRect placed;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        QPainter painter(&printer);
        const QSize page = printer.pageLayout().paintRectPixels(printer.resolution()).size();
        bitmap->PrintAt(painter, page, printer.depth(), 0, 0, 1200, 1200, 3, placed);
        EXPECT_EQ(placed, PlacePrint(QSize(300, 200), page, 1200, 1200, 3));
    }
    EXPECT_FALSE(placed.isEmpty());
    EXPECT_TRUE(ReadFileBytes(pdf).startsWith("%PDF"));
}

TEST(TIEBitmap, DeviceBitmapsAndImagesRoundTrip) {
    const QImage picture = MakeBandImage(12, 9, {Qt::red, Qt::blue});
    auto bitmap = FromImage(picture);
    const QPixmap pixmap = bitmap->MakeBitmapObject();
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), QSize(12, 9));
    EXPECT_TRUE(ColorNear(pixmap.toImage().pixelColor(0, 0), Qt::red, 2));

    TIEBitmap fromPixmap;
    fromPixmap.AssignBitmap(pixmap);
    EXPECT_EQ(fromPixmap.GetSize(), QSize(12, 9));
    EXPECT_TRUE(ColorNear(fromPixmap.MakeImage().pixelColor(11, 8), Qt::blue, 2));

    const QPixmap released = fromPixmap.ReleaseToBitmap();
    EXPECT_TRUE(fromPixmap.IsEmpty());
    EXPECT_EQ(released.size(), QSize(12, 9));
}

TEST(TIEBitmap, DrawPaintsIntoTheRectangle) {
    auto bitmap = FromImage(MakeBandImage(10, 10, {Qt::red, Qt::blue}));
    QImage canvas(40, 20, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        bitmap->Draw(painter, QRect(20, 0, 20, 20));
    }
    EXPECT_TRUE(ColorNear(canvas.pixelColor(5, 10), Qt::black, 0));
    EXPECT_TRUE(ColorNear(canvas.pixelColor(22, 10), Qt::red));
    EXPECT_TRUE(ColorNear(canvas.pixelColor(37, 10), Qt::blue));
}

TEST(TIEBitmap, CopyToClipboardOffersTheImageAndABmpFile) {
    auto bitmap = FromImage(MakeBandImage(16, 8, {Qt::green, Qt::red}));
    bitmap->CopyToClipboard();
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QImage pasted = clipboard->image();
    EXPECT_EQ(pasted.size(), QSize(16, 8));
    EXPECT_TRUE(ColorNear(pasted.pixelColor(1, 1), Qt::green, 2));
    const QMimeData* data = clipboard->mimeData();
    ASSERT_NE(data, nullptr);
    const QByteArray bmp = data->data("image/bmp");
    EXPECT_TRUE(bmp.startsWith("BM"));
    EXPECT_EQ(QImage::fromData(bmp, "BMP").size(), QSize(16, 8));
}

// Pixmaps belong to the interface thread: a worker gets none, and the picture
// it tried to release stays.
TEST(TIEBitmapWorkerThread, AWorkerCannotMakeAPixmap) {
    auto bitmap = FromImage(MakeBandImage(8, 8, {Qt::red}));
    QPixmap made;
    bool raised = false;
    std::thread worker([&] {
        made = bitmap->MakeBitmapObject();
        try {
            bitmap->ReleaseToBitmap();
        } catch (const TIEPixException&) {
            raised = true;
        }
    });
    worker.join();
    EXPECT_TRUE(made.isNull());
    EXPECT_TRUE(raised);
    EXPECT_EQ(bitmap->GetSize(), QSize(8, 8));
}

TEST(TIEBitmap, DeviceBitmapSectionAndPaletteForms) {
    auto bitmap = FromImage(MakeBandImage(12, 9, {Qt::red, Qt::blue}));
    QPixmap pixmap = bitmap->MakeBitmapHandle();
    TIEBitmap assigned;
    assigned.AssignBitmapAndFree(pixmap);
    EXPECT_TRUE(pixmap.isNull());
    EXPECT_EQ(assigned.GetSize(), QSize(12, 9));

    const QImage section = bitmap->MakeDIBSection();
    EXPECT_EQ(section.size(), QSize(12, 9));
    EXPECT_TRUE(ColorNear(section.pixelColor(0, 0), Qt::red, 2));
    EXPECT_TRUE(ColorNear(section.pixelColor(11, 8), Qt::blue, 2));
    EXPECT_TRUE(TIEBitmap().MakeDIBSection().isNull());

    // True colour needs no palette, except on a palette display; an indexed
    // picture brings its own.
    EXPECT_TRUE(bitmap->GetPalette().isEmpty());
    SetScreenBitsPerPixel(8);
    EXPECT_EQ(bitmap->GetPalette(), L_SharedPalette());
    SetScreenBitsPerPixel(0);
    const auto indexed = FromImage(IndexedStripes(8, 4, true));
    EXPECT_EQ(indexed->GetPalette(), indexed->MakeImage().colorTable());
}

// On a palette display every painted pixel is a colour of SharedPalette, and
// a smooth grey is dithered rather than banded to one entry.
TEST(TIEBitmap, PaletteDisplayPaintsThroughTheSharedPalette) {
    QImage grey(64, 64, QImage::Format_RGB32);
    grey.fill(QColor(120, 120, 120));
    auto bitmap = FromImage(grey);
    SetScreenBitsPerPixel(8);
    for (bool viaPixmap : {false, true}) {
        SCOPED_TRACE(viaPixmap);
        QImage canvas(64, 64, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        if (viaPixmap) {
            canvas = bitmap->MakeBitmapObject().toImage().convertToFormat(QImage::Format_RGB32);
        } else {
            QPainter painter(&canvas);
            bitmap->Draw(painter, canvas.rect());
        }
        QSet<QRgb> seen;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) seen.insert(canvas.pixel(x, y) | 0xFF000000u);
        for (QRgb colour : seen) EXPECT_TRUE(L_SharedPalette().contains(colour)) << std::hex << colour;
        EXPECT_GE(seen.size(), 2);
        EXPECT_TRUE(ColorNear(MeanColor(canvas, canvas.rect()), QColor(120, 120, 120), 6));
    }
    SetScreenBitsPerPixel(0);
    QImage plain(64, 64, QImage::Format_RGB32);
    {
        QPainter painter(&plain);
        bitmap->Draw(painter, plain.rect());
    }
    EXPECT_EQ(plain.pixel(10, 10), QColor(120, 120, 120).rgb());
}

// A black-and-white printer gets a dithered grey when asked to dither, and
// the picture as it is otherwise.
TEST(TIEBitmap, PrintDitherOnlyWhenAskedOnAOneBitPrinter) {
    QImage grey(40, 40, QImage::Format_RGB32);
    grey.fill(QColor(128, 128, 128));
    auto bitmap = FromImage(grey);
    for (int flags : {0, PrintDither}) {
        SCOPED_TRACE(flags);
        QImage page(100, 100, QImage::Format_RGB32);
        page.fill(Qt::white);
        QRect placed;
        {
            QPainter painter(&page);
            bitmap->PrintAt(painter, page.size(), 1, 0, 0, 100, 100, flags | 3, placed);
        }
        const QColor mean = MeanColor(page, placed);
        EXPECT_TRUE(ColorNear(mean, QColor(128, 128, 128), 20)) << mean.name().toStdString();
        const QRgb sample = page.pixel(placed.center());
        if (flags & PrintDither)
            EXPECT_TRUE(sample == qRgb(0, 0, 0) || sample == qRgb(255, 255, 255));
        else
            EXPECT_EQ(sample, qRgb(128, 128, 128));
    }
    EXPECT_EQ(L_GetDisplayMode() & DISPLAYMODE_PRINTDITHER, 0);  // put back after printing
}
