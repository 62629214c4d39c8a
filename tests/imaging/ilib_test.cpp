#include "imaging/ilib.h"
#include "imaging/ilibint.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QSet>
#include <gtest/gtest.h>
#include <atomic>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const QList<QColor> Bands = {Qt::red, Qt::green, Qt::blue, Qt::white};

BITMAPHANDLE HandleOf(const QImage& image, int bits) {
    BITMAPHANDLE h;
    h.Image = image;
    h.BitsPerPixel = bits;
    h.SourceWidth = image.width();
    h.SourceHeight = image.height();
    return h;
}

int LoadMemory(const QByteArray& data, BITMAPHANDLE& bitmap, int bits = 0) {
    return L_LoadBitmapMemory(reinterpret_cast<const uint8_t*>(data.constData()), data.size(), &bitmap,
                              bits, 1);
}

// Offset of the first SOFn marker of a JPEG (the height follows at +5).
qsizetype SofOffset(const QByteArray& jpeg) {
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i)
        if (uchar(jpeg[i]) == 0xFF && (uchar(jpeg[i + 1]) == 0xC0 || uchar(jpeg[i + 1]) == 0xC2)) return i;
    return -1;
}

void SetBe16(QByteArray& data, qsizetype at, int value) {
    data[at] = char(value >> 8);
    data[at + 1] = char(value & 0xFF);
}

// An APP1 EXIF segment with ASCII entries in IFD0, little-endian.
QByteArray ExifSegment(const QList<QPair<uint16_t, QByteArray>>& tags) {
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    const int count = int(tags.size());
    QByteArray entries, strings;
    const int stringsAt = 8 + 2 + count * 12 + 4;
    for (const auto& [tag, text] : tags) {
        QByteArray value = text + '\0';
        char e[12];
        e[0] = char(tag & 0xFF);
        e[1] = char(tag >> 8);
        e[2] = 2;  // ASCII
        e[3] = 0;
        const uint32_t n = uint32_t(value.size());
        std::memcpy(e + 4, &n, 4);
        if (value.size() <= 4) {
            std::memset(e + 8, 0, 4);
            std::memcpy(e + 8, value.constData(), size_t(value.size()));
        } else {
            const uint32_t at = uint32_t(stringsAt + strings.size());
            std::memcpy(e + 8, &at, 4);
            strings += value;
        }
        entries.append(e, 12);
    }
    tiff.append(char(count & 0xFF)).append(char(count >> 8)).append(entries).append(QByteArray(4, '\0'));
    tiff += strings;
    QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF));
    return segment + payload;
}

QByteArray ComSegment(const QByteArray& text) {
    QByteArray segment("\xFF\xFE", 2);
    segment.append(char((text.size() + 2) >> 8)).append(char((text.size() + 2) & 0xFF));
    return segment + text;
}

QByteArray QtEncoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    EXPECT_TRUE(writer.write(image)) << format;
    return bytes;
}

// An uncompressed 24-bit TGA of a 2x2 picture, bottom-up, with or without the v2 footer.
QByteArray TgaFile(bool footer) {
    QByteArray tga(18, '\0');
    tga[2] = 2;
    tga[12] = 2;
    tga[14] = 2;
    tga[16] = 24;
    const uchar pixels[] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};  // BGR
    tga.append(reinterpret_cast<const char*>(pixels), sizeof pixels);
    if (footer) tga += QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.\0", 18);
    return tga;
}

// A 1x1 GIF89a (Qt cannot write GIF).
QByteArray GifFile() {
    const uchar gif[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 255, 0, 0, 0, 0, 0,
                         0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
    return QByteArray(reinterpret_cast<const char*>(gif), sizeof gif);
}

}  // namespace

TEST(ImagingFacade, JpegRoundTripKeepsBandsAndDepth) {
    TTempFolder folder;
    const QString path = folder.Path() + "bands.jpg";
    ASSERT_TRUE(WriteTestJpeg(path, MakeBandImage(160, 40, Bands)));
    BITMAPHANDLE bitmap;
    ASSERT_EQ(L_LoadBitmap(path, &bitmap, 0, 1), SUCCESS);
    EXPECT_EQ(bitmap.Width(), 160);
    EXPECT_EQ(bitmap.Height(), 40);
    EXPECT_EQ(bitmap.BitsPerPixel, 24);
    EXPECT_EQ(bitmap.Image.format(), QImage::Format_RGB888);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(ColorNear(MeanColor(bitmap.Image, QRect(i * 40 + 10, 10, 20, 20)), Bands[i])) << i;

    FILEINFO info;
    ASSERT_EQ(L_FileInfo(path, &info, 0), SUCCESS);
    EXPECT_EQ(info.Format, FILE_JFIF);
    EXPECT_EQ(info.Width, 160);
    EXPECT_EQ(info.BitsPerPixel, 24);
    EXPECT_STREQ(info.Compression, "JPEG");
    EXPECT_EQ(info.SizeDisk, ReadFileBytes(path).size());

    // A grey picture comes back as 8-bit grey, or as 24 bits when asked.
    QImage grey(32, 16, QImage::Format_Grayscale8);
    grey.fill(128);
    const QByteArray greyJpeg = EncodeTestJpeg(grey);
    ASSERT_EQ(LoadMemory(greyJpeg, bitmap), SUCCESS);
    EXPECT_EQ(bitmap.BitsPerPixel, 8);
    EXPECT_EQ(bitmap.Image.format(), QImage::Format_Grayscale8);
    ASSERT_EQ(LoadMemory(greyJpeg, bitmap, 24), SUCCESS);
    EXPECT_EQ(bitmap.Image.format(), QImage::Format_RGB888);
    EXPECT_TRUE(ColorNear(bitmap.Image.pixelColor(5, 5), QColor(128, 128, 128), 3));
}

TEST(ImagingFacade, ColourJpegAskedAtEightBitsUsesSharedPalette) {
    BITMAPHANDLE bitmap;
    ASSERT_EQ(LoadMemory(EncodeTestJpeg(MakeBandImage(64, 16, {Qt::red, Qt::blue})), bitmap, 8), SUCCESS);
    EXPECT_EQ(bitmap.BitsPerPixel, 8);
    ASSERT_EQ(bitmap.Image.format(), QImage::Format_Indexed8);
    EXPECT_EQ(bitmap.Image.pixelIndex(8, 8), 7 * 32);
    EXPECT_EQ(bitmap.Image.pixelIndex(56, 8), 3);
}

TEST(ImagingFacade, DctScalingPicksTheSmallestScaleStillLargeEnough) {
    struct TCase {
        int Width, Height, MinShort, WantWidth, WantHeight;
    };
    const TCase cases[] = {{3072, 2048, 70, 384, 256}, {1536, 1024, 70, 192, 128},
                           {100, 80, 70, 100, 80},     {600, 400, 70, 150, 100},
                           {3072, 2048, 0, 3072, 2048}, {300, 200, 500, 300, 200}};
    for (const TCase& c : cases) {
        const QByteArray jpeg = EncodeTestJpeg(MakeBandImage(c.Width, c.Height, Bands), 75, true);
        L_SetLoadScale(c.MinShort);
        EXPECT_EQ(L_GetLoadScale(), c.MinShort);
        BITMAPHANDLE bitmap;
        ASSERT_EQ(LoadMemory(jpeg, bitmap), SUCCESS);
        EXPECT_EQ(bitmap.Width(), c.WantWidth) << c.Width << " " << c.MinShort;
        EXPECT_EQ(bitmap.Height(), c.WantHeight) << c.Width << " " << c.MinShort;
        EXPECT_EQ(bitmap.SourceWidth, c.Width);
        EXPECT_EQ(bitmap.SourceHeight, c.Height);
        EXPECT_TRUE(ColorNear(MeanColor(bitmap.Image, QRect(0, 0, c.WantWidth / 8, c.WantHeight)), Qt::red, 16));
    }
    L_SetLoadScale(0);
}

TEST(ImagingFacade, LoadScaleIsPerThread) {
    L_SetLoadScale(70);
    int other = -1;
    std::thread([&] { other = L_GetLoadScale(); }).join();
    EXPECT_EQ(other, 0);
    L_SetLoadScale(0);
}

TEST(ImagingFacade, HugeClaimedDimensionsAreRefusedBeforeDecoding) {
    QByteArray jpeg = EncodeTestJpeg(MakeBandImage(16, 16, Bands));
    const qsizetype sof = SofOffset(jpeg);
    ASSERT_GT(sof, 0);
    struct TCase {
        int Width, Height;
    } cases[] = {{60000, 60000}, {30000, 30000}, {45000, 10}};
    for (const TCase& c : cases) {
        QByteArray huge = jpeg;
        SetBe16(huge, sof + 5, c.Height);
        SetBe16(huge, sof + 7, c.Width);
        BITMAPHANDLE bitmap;
        EXPECT_EQ(LoadMemory(huge, bitmap), ERROR_IMAGE_TOO_LARGE) << c.Width;
        EXPECT_FALSE(bitmap.IsAllocated());
        // The header alone can be read: identification never decodes.
        FILEINFO info;
        ASSERT_EQ(L_FileInfoMemory(reinterpret_cast<const uint8_t*>(huge.constData()), &info, huge.size(), 0),
                  SUCCESS);
        EXPECT_EQ(info.Width, c.Width);
        EXPECT_EQ(info.Height, c.Height);
    }    // Within the limits but far too little data for the claimed size: refused
    // as damaged before the 600 MB picture is allocated.
    QByteArray big = jpeg;
    SetBe16(big, sof + 5, 14000);
    SetBe16(big, sof + 7, 14000);
    BITMAPHANDLE bitmap;
    EXPECT_EQ(LoadMemory(big, bitmap), ERROR_CORRUPT_FILE);
}

TEST(ImagingFacade, BrokenFilesGiveNoPictureAndAnErrorCode) {
    TTempFolder folder;
    const QByteArray jpeg = EncodeTestJpeg(MakePhotoLikeImage(200, 150));
    struct TCase {
        const char* Name;
        QByteArray Data;
        int Code;
    } cases[] = {
        {"headeronly.jpg", HeaderOnly(jpeg), ERROR_CORRUPT_FILE},
        {"noscan.jpg", WithoutScanData(jpeg), ERROR_CORRUPT_FILE},
        {"firstrow.jpg", jpeg.left(ScanDataOffset(jpeg) + 8), ERROR_CORRUPT_FILE},
        {"soi.jpg", jpeg.left(3), ERROR_CORRUPT_FILE},
        {"empty.jpg", QByteArray(), ERROR_FILE_FORMAT},
        {"noise.jpg", QByteArray(5000, '\x5A'), ERROR_FILE_FORMAT},
        {"halfpng.png", QtEncoded(MakePhotoLikeImage(64, 64), "png").left(60), ERROR_CORRUPT_FILE},
        {"headerbmp.bmp", QtEncoded(MakePhotoLikeImage(64, 64), "bmp").left(60), ERROR_CORRUPT_FILE},
        {"cut.tif", QtEncoded(MakePhotoLikeImage(64, 64), "tiff").chopped(1000), ERROR_CORRUPT_FILE},
    };
    for (const auto& c : cases) {
        const QString path = folder.Write(c.Name, c.Data);
        BITMAPHANDLE bitmap;
        EXPECT_EQ(L_LoadBitmap(path, &bitmap, 0, 1), c.Code) << c.Name;
        EXPECT_FALSE(bitmap.IsAllocated()) << c.Name;
        EXPECT_EQ(LoadMemory(c.Data, bitmap), c.Code) << c.Name;
    }
    BITMAPHANDLE bitmap;
    EXPECT_EQ(L_LoadBitmap(folder.Path() + "missing.jpg", &bitmap, 0, 1), ERROR_FILENOTFOUND);
    FILEINFO info;
    EXPECT_EQ(L_FileInfo(folder.Path() + "missing.jpg", &info, 0), ERROR_FILENOTFOUND);
    EXPECT_EQ(L_LoadBitmap(folder.Path(), &bitmap, 0, 1), ERROR_FILE_OPEN);
    EXPECT_EQ(L_LoadBitmap(folder.Write("a.jpg", jpeg), &bitmap, 7, 1), ERROR_BITPERPIXEL);
}

// What a damaged file still holds is shown, as other viewers show it, with
// a warning saying what was wrong; a clean load says nothing.
TEST(ImagingFacade, PartlyReadablePicturesLoadWithAWarning) {
    const char* const PartialPictureText = "damaged or cut short";
    const QImage photo = MakePhotoLikeImage(200, 160);
    const QByteArray jpeg = EncodeTestJpeg(photo);
    const QByteArray progressive = [&] {
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        writer.write(photo);
        return out;
    }();
    struct TCase {
        const char* Name;
        QByteArray Data;
        const char* Warning;
        bool TopIntact;  // the first rows are the photo's own
    } cases[] = {
        {"cut.jpg", CutScanData(jpeg, 0.4), "Premature end of JPEG file", true},
        {"corrupt.jpg", WithCorruptSegment(jpeg, 0.5), "Corrupt JPEG data", true},
        {"cut-progressive.jpg", CutScanData(progressive, 0.6), "Premature end of JPEG file", false},
        {"cut.png", QtEncoded(photo, "png").chopped(400), PartialPictureText, true},
        {"cut.bmp", QtEncoded(photo, "bmp").chopped(3000), PartialPictureText, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        BITMAPHANDLE bitmap;
        ASSERT_EQ(LoadMemory(c.Data, bitmap), SUCCESS);
        EXPECT_EQ(QSize(bitmap.Width(), bitmap.Height()), photo.size());
        EXPECT_TRUE(L_LoadWarning().contains(c.Warning)) << L_LoadWarning().toStdString();
        if (c.TopIntact) {
            EXPECT_TRUE(ColorNear(MeanColor(bitmap.Image, QRect(0, 0, 200, 16)),
                                  MeanColor(photo, QRect(0, 0, 200, 16)), 8));
        }
    }
    BITMAPHANDLE clean;
    ASSERT_EQ(LoadMemory(jpeg, clean), SUCCESS);
    EXPECT_TRUE(L_LoadWarning().isEmpty());
}

TEST(ImagingFacade, IdentifiesAndDecodesQtFormats) {
    TTempFolder folder;
    const QImage bands = MakeBandImage(40, 20, {Qt::red, Qt::blue});
    struct TCase {
        const char* Name;
        QByteArray Data;
        int Format, Width, Bits;
        const char* Compression;
    } cases[] = {
        {"a.bmp", QtEncoded(bands, "bmp"), FILE_BMP, 40, 24, "NONE"},
        {"a.png", QtEncoded(bands, "png"), FILE_PNG, 40, 24, nullptr},
        {"a.tif", QtEncoded(bands, "tiff"), FILE_TIF, 40, 24, nullptr},
        {"a.jpg", EncodeTestJpeg(bands), FILE_JFIF, 40, 24, "JPEG"},
        {"a.gif", GifFile(), FILE_GIF, 1, 1, "LZW"},
        {"a.tga", TgaFile(false), FILE_TGA, 2, 24, "NONE"},
        {"b.tga", TgaFile(true), FILE_TGA, 2, 24, "NONE"},
        {"grey.png", QtEncoded(bands.convertToFormat(QImage::Format_Grayscale8), "png"), FILE_PNG, 40, 8, nullptr},
    };
    for (const auto& c : cases) {
        const QString path = folder.Write(c.Name, c.Data);
        FILEINFO info;
        ASSERT_EQ(L_FileInfo(path, &info, 0), SUCCESS) << c.Name;
        EXPECT_EQ(info.Format, c.Format) << c.Name;
        EXPECT_EQ(info.Width, c.Width) << c.Name;
        EXPECT_EQ(info.BitsPerPixel, c.Bits) << c.Name;
        if (c.Compression) {
            EXPECT_STREQ(info.Compression, c.Compression) << c.Name;
        }
        BITMAPHANDLE bitmap;
        ASSERT_EQ(L_LoadBitmap(path, &bitmap, 0, 1), SUCCESS) << c.Name;
        EXPECT_EQ(bitmap.Width(), c.Width) << c.Name;
        EXPECT_EQ(bitmap.BitsPerPixel, c.Bits == 1 ? 1 : c.Bits) << c.Name;
        ASSERT_EQ(L_LoadBitmap(path, &bitmap, 24, 1), SUCCESS) << c.Name;
        EXPECT_EQ(bitmap.Image.format(), QImage::Format_RGB888) << c.Name;
    }
    BITMAPHANDLE bitmap;
    ASSERT_EQ(L_LoadBitmap(folder.Path() + "a.png", &bitmap, 0, 1), SUCCESS);
    EXPECT_TRUE(ColorNear(bitmap.Image.pixelColor(2, 2), Qt::red, 0));
    EXPECT_TRUE(ColorNear(bitmap.Image.pixelColor(38, 2), Qt::blue, 0));
    ASSERT_EQ(L_LoadBitmap(folder.Path() + "a.tga", &bitmap, 0, 1), SUCCESS);
    EXPECT_TRUE(ColorNear(bitmap.Image.pixelColor(0, 1), Qt::red, 0));  // first stored row is the bottom
}

TEST(ImagingFacade, TargaRleAndMappedFilesDecode) {
    // RLE true colour, top-down: a run of two red, then a raw green and blue.
    QByteArray rle(18, '\0');
    rle[2] = 10;
    rle[12] = 2;
    rle[14] = 2;
    rle[16] = 24;
    rle[17] = 0x20;
    const uchar packets[] = {0x81, 0, 0, 255, 0x01, 0, 255, 0, 255, 0, 0};
    rle.append(reinterpret_cast<const char*>(packets), sizeof packets);
    BITMAPHANDLE bitmap;
    ASSERT_EQ(LoadMemory(rle, bitmap), SUCCESS);
    EXPECT_EQ(bitmap.Image.pixelColor(1, 0), QColor(Qt::red));
    EXPECT_EQ(bitmap.Image.pixelColor(0, 1), QColor(Qt::green));
    EXPECT_EQ(bitmap.Image.pixelColor(1, 1), QColor(Qt::blue));
    EXPECT_EQ(LoadMemory(rle.left(rle.size() - 2), bitmap), ERROR_CORRUPT_FILE);
    EXPECT_FALSE(bitmap.IsAllocated());

    // Colour-mapped, 8-bit indices into a 2-entry 24-bit map.
    QByteArray mapped(18, '\0');
    mapped[1] = 1;
    mapped[2] = 1;
    mapped[5] = 2;
    mapped[7] = 24;
    mapped[12] = 2;
    mapped[14] = 1;
    mapped[16] = 8;
    const uchar rest[] = {255, 0, 0, 0, 0, 255, 1, 0};  // map: blue, red; pixels: red, blue
    mapped.append(reinterpret_cast<const char*>(rest), sizeof rest);
    ASSERT_EQ(LoadMemory(mapped, bitmap), SUCCESS);
    EXPECT_EQ(bitmap.BitsPerPixel, 8);
    EXPECT_EQ(bitmap.Image.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(bitmap.Image.pixelColor(1, 0), QColor(Qt::blue));
}

TEST(ImagingFacade, FormatsWeCannotDecodeAreIdentifiedAndRefused) {
    TTempFolder folder;
    QByteArray pcx(128, '\0');
    pcx[0] = 0x0A;
    pcx[1] = 5;
    pcx[2] = 1;
    pcx[3] = 8;
    pcx[8] = 99;   // xmax: 100 wide
    pcx[10] = 49;  // ymax: 50 high
    pcx[65] = 3;
    QByteArray fpx("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    fpx += QByteArray(1024, '\0');
    QByteArray pcd(0x900, '\xFF');
    pcd.replace(0x800, 7, "PCD_IPI");
    QByteArray psd("8BPS\0\x01", 6);
    psd += QByteArray(20, '\0');
    psd[13] = 3;
    psd[17] = 20;  // height 20
    psd[21] = 30;  // width 30
    psd[23] = 8;
    QByteArray ras("\x59\xA6\x6A\x95", 4);
    ras += QByteArray(28, '\0');
    struct TCase {
        const char* Name;
        QByteArray Data;
        int Format, Width;
    } cases[] = {{"a.pcx", pcx, FILE_PCX, 100}, {"a.fpx", fpx, FILE_FPX, 0}, {"a.pcd", pcd, FILE_PCD, 768},
                 {"a.psd", psd, FILE_PSD, 30},   {"a.ras", ras, FILE_RAS, 0}};
    for (const auto& c : cases) {
        const QString path = folder.Write(c.Name, c.Data);
        FILEINFO info;
        ASSERT_EQ(L_FileInfo(path, &info, 0), SUCCESS) << c.Name;
        EXPECT_EQ(info.Format, c.Format) << c.Name;
        EXPECT_EQ(info.Width, c.Width) << c.Name;
        BITMAPHANDLE bitmap;
        EXPECT_EQ(L_LoadBitmap(path, &bitmap, 0, 1), ERROR_FORMAT_NOT_DECODABLE) << c.Name;
        EXPECT_FALSE(bitmap.IsAllocated());
    }
    // A header claiming the largest size each field holds gives a memory
    // estimate that saturates instead of overflowing.
    QByteArray hugePsd = psd;
    hugePsd.replace(14, 8, QByteArray(8, '\xFF'));
    hugePsd[23] = 16;
    FILEINFO huge;
    ASSERT_EQ(L_FileInfoMemory(reinterpret_cast<const uint8_t*>(hugePsd.constData()), &huge, hugePsd.size(), 0),
              SUCCESS);
    EXPECT_EQ(huge.Width, INT32_MAX);
    EXPECT_EQ(huge.SizeMem, INT32_MAX);

    QSize sizes[32];
    int count = -1;
    EXPECT_EQ(L_EnumDimensions(folder.Path() + "a.fpx", sizes, count), ERROR_FORMAT_NOT_DECODABLE);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ImagingErrorText(ERROR_FORMAT_NOT_DECODABLE), "This image format can't be opened here");
}

namespace {
struct TRowLog {
    std::vector<std::pair<int, int>> Batches;
    bool PointersInside = true;
    int StopAfter = -1;
};

int LogRows(pFILEINFO info, pBITMAPHANDLE bitmap, uint8_t* buffer, int row, int lines, void* userData) {
    auto* log = static_cast<TRowLog*>(userData);
    log->Batches.emplace_back(row, lines);
    if (lines == 0) return log->StopAfter == 0 ? ERROR_USER_ABORT : SUCCESS;  // asked whether to go on
    if (!info || buffer != bitmap->Image.constBits() + qsizetype(row) * bitmap->BytesPerLine())
        log->PointersInside = false;
    L_AccessBitmap(bitmap);
    const int put = L_PutBitmapRow(bitmap, buffer, row, qint64(bitmap->BytesPerLine()) * lines);
    L_ReleaseBitmap(bitmap);
    if (put != SUCCESS) return put;
    if (log->StopAfter >= 0 && int(log->Batches.size()) > log->StopAfter) return ERROR_USER_ABORT;
    return SUCCESS;
}
}  // namespace

TEST(ImagingFacade, RowCallbackSeesEveryRowInOrderAndCanStop) {
    TTempFolder folder;
    const QString jpg = folder.Write("p.jpg", EncodeTestJpeg(MakeBandImage(48, 100, Bands, true)));
    const QString png = folder.Write("p.png", QtEncoded(MakeBandImage(48, 100, Bands, true), "png"));
    struct TCase {
        QString Path;
        int Bits;
    } cases[] = {{jpg, 0}, {jpg, 24}, {jpg, 8}, {jpg, 32}, {png, 0}};
    for (const auto& c : cases) {
        TRowLog log;
        BITMAPHANDLE bitmap;
        ASSERT_EQ(L_LoadFile(c.Path, &bitmap, c.Bits, 1, LOADFILE_ALLOCATE | LOADFILE_STORE, LogRows, &log),
                  SUCCESS);
        int next = 0;
        for (const auto& [row, lines] : log.Batches) {
            EXPECT_EQ(row, next);
            next += lines;
        }
        EXPECT_EQ(next, 100);
        EXPECT_TRUE(log.PointersInside);
        EXPECT_TRUE(ColorNear(MeanColor(bitmap.Image, QRect(10, 80, 20, 15)), Qt::white, 16)) << c.Bits;

        TRowLog stop;
        stop.StopAfter = 0;
        EXPECT_EQ(L_LoadFile(c.Path, &bitmap, c.Bits, 1, 9, LogRows, &stop), ERROR_USER_ABORT);
        EXPECT_EQ(stop.Batches.size(), 1u);
        EXPECT_FALSE(bitmap.IsAllocated());
    }
}

namespace {
struct TStatusLog {
    std::vector<int> Percents;
    int StopAt = 1000;
};
int LogStatus(int percent, void* userData) {
    auto* log = static_cast<TStatusLog*>(userData);
    log->Percents.push_back(percent);
    return percent >= log->StopAt ? ERROR_USER_ABORT : SUCCESS;
}
}  // namespace

TEST(ImagingFacade, StatusCallbackReportsAndStopsLongOperations) {
    TTempFolder folder;
    const QString path = folder.Write("s.jpg", EncodeTestJpeg(MakePhotoLikeImage(64, 256)));
    TStatusLog log;
    L_SetStatusCallBack(LogStatus, &log);
    BITMAPHANDLE bitmap;
    EXPECT_EQ(L_LoadBitmap(path, &bitmap, 0, 1), SUCCESS);
    ASSERT_FALSE(log.Percents.empty());
    EXPECT_TRUE(std::is_sorted(log.Percents.begin(), log.Percents.end()));
    EXPECT_EQ(log.Percents.back(), 100);

    log = {};
    log.StopAt = 50;
    BITMAPHANDLE stopped;
    EXPECT_EQ(L_LoadBitmap(path, &stopped, 0, 1), ERROR_USER_ABORT);
    EXPECT_FALSE(stopped.IsAllocated());
    log = {};
    log.StopAt = 50;
    EXPECT_EQ(L_SaveBitmap(folder.Path() + "out.jpg", &bitmap, FILE_JFIF, 24, 0), ERROR_USER_ABORT);
    EXPECT_FALSE(QFile::exists(folder.Path() + "out.jpg"));
    L_SetStatusCallBack(nullptr, nullptr);
}

TEST(ImagingFacade, ResampleAveragesExactlyAndEnlargesSmoothly) {
    // Two-pixel columns of four colours, halved and quartered.
    QImage image(8, 4, QImage::Format_RGB888);
    const QColor columns[] = {QColor(200, 0, 10), QColor(100, 50, 30), QColor(0, 0, 0), QColor(255, 255, 255)};
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 4; ++y) image.setPixelColor(x, y, columns[x / 2]);
    BITMAPHANDLE bitmap = HandleOf(image, 24);
    ASSERT_EQ(L_ResampleBitmap(&bitmap, 4, 1), SUCCESS);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(bitmap.Image.pixelColor(x, 0), columns[x]) << x;
    bitmap = HandleOf(image, 24);
    ASSERT_EQ(L_ResampleBitmap(&bitmap, 2, 1), SUCCESS);
    EXPECT_EQ(bitmap.Image.pixelColor(0, 0), QColor(150, 25, 20));
    EXPECT_EQ(bitmap.Image.pixelColor(1, 0), QColor(128, 128, 128));  // 127.5 rounds up

    // 3:1 with a band edge inside a block: coverage weighted.
    QImage three(3, 1, QImage::Format_Grayscale8);
    const uchar levels[] = {0, 0, 255};
    for (int x = 0; x < 3; ++x) three.setPixel(x, 0, qRgb(levels[x], levels[x], levels[x]));
    bitmap = HandleOf(three, 8);
    ASSERT_EQ(L_ResampleBitmap(&bitmap, 1, 1), SUCCESS);
    EXPECT_EQ(bitmap.Image.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(qGray(bitmap.Image.pixel(0, 0)), 85);

    // Black to white enlarged: monotone, ends kept.
    QImage edge(2, 1, QImage::Format_RGB888);
    edge.setPixelColor(0, 0, Qt::black);
    edge.setPixelColor(1, 0, Qt::white);
    bitmap = HandleOf(edge, 24);
    ASSERT_EQ(L_ResampleBitmap(&bitmap, 16, 3), SUCCESS);
    int last = -1;
    for (int x = 0; x < 16; ++x) {
        const int v = qRed(bitmap.Image.pixel(x, 1));
        EXPECT_GE(v, last);
        last = v;
    }
    EXPECT_EQ(qRed(bitmap.Image.pixel(0, 0)), 0);
    EXPECT_EQ(qRed(bitmap.Image.pixel(15, 2)), 255);
    EXPECT_GT(qRed(bitmap.Image.pixel(8, 0)), 60);
    EXPECT_LT(qRed(bitmap.Image.pixel(8, 0)), 200);

    // Paletted pictures come out in 24 bits; a resample keeps the source size.
    BITMAPHANDLE indexed = HandleOf(image.convertToFormat(QImage::Format_Indexed8), 8);
    indexed.SourceWidth = 800;
    ASSERT_EQ(L_ResampleBitmap(&indexed, 3, 3), SUCCESS);
    EXPECT_EQ(indexed.BitsPerPixel, 24);
    EXPECT_EQ(indexed.SourceWidth, 800);
    EXPECT_EQ(L_ResampleBitmap(&indexed, 0, 3), ERROR_INV_PARAMETER);
    EXPECT_EQ(L_ResampleBitmap(&indexed, 3, -1), ERROR_INV_PARAMETER);
    BITMAPHANDLE empty;
    EXPECT_EQ(L_ResampleBitmap(&empty, 3, 3), ERROR_NO_BITMAP);
}

TEST(ImagingFacade, QuarterTurnsMoveEveryPixel) {
    QImage image(3, 2, QImage::Format_RGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) image.setPixel(x, y, qRgb(x * 50, y * 50, 7));
    for (int bits : {8, 16, 24, 32}) {
        const QImage source = bits == 8 ? image.convertToFormat(QImage::Format_Indexed8)
                              : bits == 16 ? image.convertToFormat(QImage::Format_RGB555)
                              : bits == 32 ? image.convertToFormat(QImage::Format_RGB32) : image;
        BITMAPHANDLE bitmap = HandleOf(source, bits);
        bitmap.SourceWidth = 30;
        bitmap.SourceHeight = 20;
        ASSERT_EQ(L_RotateBitmap(&bitmap, 90, 1), SUCCESS);
        ASSERT_EQ(bitmap.Width(), 2);
        ASSERT_EQ(bitmap.Height(), 3);
        EXPECT_EQ(bitmap.SourceWidth, 20);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(bitmap.Image.pixel(1 - y, x), source.pixel(x, y)) << bits;  // clockwise
        ASSERT_EQ(L_RotateBitmap(&bitmap, -90, 1), SUCCESS);
        EXPECT_EQ(bitmap.Image.convertToFormat(source.format()), source) << bits;
        ASSERT_EQ(L_RotateBitmap(&bitmap, 180, 1), SUCCESS);
        EXPECT_EQ(bitmap.Image.pixel(2, 1), source.pixel(0, 0));
        EXPECT_EQ(bitmap.Image.pixel(0, 0), source.pixel(2, 1));
        ASSERT_EQ(L_RotateBitmap(&bitmap, 540, 1), SUCCESS);
        EXPECT_EQ(bitmap.Image.pixel(0, 0), source.pixel(0, 0));
    }
    QImage mono(9, 3, QImage::Format_Mono);
    mono.fill(0);
    mono.setPixel(8, 0, 1);
    BITMAPHANDLE bitmap = HandleOf(mono, 1);
    ASSERT_EQ(L_RotateBitmap(&bitmap, 270, 1), SUCCESS);
    EXPECT_EQ(bitmap.Image.format(), QImage::Format_Mono);
    EXPECT_EQ(bitmap.Image.size(), QSize(3, 9));
    EXPECT_EQ(bitmap.Image.pixelIndex(0, 0), 1);
}

TEST(ImagingFacade, FreeAngleEnlargesTheFrame) {
    BITMAPHANDLE bitmap = HandleOf(MakeBandImage(100, 50, Bands), 24);
    ASSERT_EQ(L_RotateBitmap(&bitmap, 45, 1), SUCCESS);
    EXPECT_GT(bitmap.Width(), 100);
    EXPECT_GT(bitmap.Height(), 100);
    EXPECT_TRUE(ColorNear(bitmap.Image.pixelColor(1, 1), Qt::white, 0));  // corner outside the picture
    BITMAPHANDLE same = HandleOf(MakeBandImage(100, 50, Bands), 24);
    ASSERT_EQ(L_RotateBitmap(&same, 30, 0), SUCCESS);
    EXPECT_EQ(same.Image.size(), QSize(100, 50));
}

TEST(ImagingFacade, FlipAndReverseMirror) {
    QImage image(2, 2, QImage::Format_RGB888);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 255, 0));
    image.setPixel(0, 1, qRgb(0, 0, 255));
    image.setPixel(1, 1, qRgb(255, 255, 255));
    BITMAPHANDLE bitmap = HandleOf(image, 24);
    ASSERT_EQ(L_FlipBitmap(&bitmap), SUCCESS);
    EXPECT_EQ(bitmap.Image.pixel(0, 0), image.pixel(0, 1));
    EXPECT_EQ(bitmap.Image.pixel(1, 1), image.pixel(1, 0));
    bitmap = HandleOf(image, 24);
    ASSERT_EQ(L_ReverseBitmap(&bitmap), SUCCESS);
    EXPECT_EQ(bitmap.Image.pixel(0, 0), image.pixel(1, 0));
    EXPECT_EQ(bitmap.Image.pixel(1, 1), image.pixel(0, 1));
}

TEST(ImagingFacade, CopiesAreIndependentAndRectanglesClipped) {
    BITMAPHANDLE source = HandleOf(MakeBandImage(40, 20, Bands), 24);
    source.SourceWidth = 320;
    source.SourceHeight = 160;
    source.XResolution = 300;
    BITMAPHANDLE copy;
    ASSERT_EQ(L_CopyBitmap(&copy, &source), SUCCESS);
    copy.Image.setPixel(0, 0, qRgb(1, 2, 3));
    EXPECT_NE(source.Image.pixel(0, 0), copy.Image.pixel(0, 0));
    EXPECT_EQ(copy.XResolution, 300);

    struct TCase {
        QRect Rect;
        int Result;
        QSize Size;
        QColor Corner;
    } cases[] = {
        {QRect(10, 0, 10, 20), SUCCESS, QSize(10, 20), Qt::green},
        {QRect(35, 15, 20, 20), SUCCESS, QSize(5, 5), Qt::white},
        {QRect(-5, -5, 10, 10), SUCCESS, QSize(5, 5), Qt::red},
        {QRect(40, 0, 5, 5), ERROR_INV_RANGE, QSize(), QColor()},
        {QRect(0, 0, 0, 5), ERROR_INV_RANGE, QSize(), QColor()},
        {QRect(-20, 0, 10, 10), ERROR_INV_RANGE, QSize(), QColor()},
    };
    for (const auto& c : cases) {
        BITMAPHANDLE part;
        ASSERT_EQ(L_CopyBitmapRect(&part, &source, c.Rect.left(), c.Rect.top(), c.Rect.width(), c.Rect.height()),
                  c.Result);
        if (c.Result != SUCCESS) {
            EXPECT_FALSE(part.IsAllocated());
            continue;
        }
        EXPECT_EQ(part.Image.size(), c.Size);
        EXPECT_EQ(part.Image.pixelColor(0, 0), c.Corner);
        EXPECT_EQ(part.SourceWidth, c.Size.width() * 8);  // the crop's share of the file
    }
}

TEST(ImagingFacade, FixedPaletteIndexIsRedGreenBlueLevels) {
    const int redGreen[] = {0, 36, 73, 109, 146, 182, 219, 255};
    const int blue[] = {0, 85, 170, 255};
    QImage image(8 * 8 * 4, 1, QImage::Format_RGB888);
    for (int r = 0; r < 8; ++r)
        for (int g = 0; g < 8; ++g)
            for (int b = 0; b < 4; ++b) image.setPixel(r * 32 + g * 4 + b, 0, qRgb(redGreen[r], redGreen[g], blue[b]));
    BITMAPHANDLE source = HandleOf(image, 24);
    BITMAPHANDLE eight;
    ASSERT_EQ(L_ColorResBitmap(&source, &eight, 8, CRF_FIXEDPALETTE), SUCCESS);
    EXPECT_EQ(eight.BitsPerPixel, 8);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(eight.Image.pixelIndex(i, 0), i);
    EXPECT_EQ(eight.Image.color(7 * 32 + 3), qRgb(255, 0, 255));

    struct TCase {
        int Bits;
        QImage::Format Format;
    } cases[] = {{1, QImage::Format_Mono},       {4, QImage::Format_Indexed8}, {16, QImage::Format_RGB555},
                 {24, QImage::Format_RGB888},    {32, QImage::Format_RGB32},   {8, QImage::Format_Indexed8}};
    for (const auto& c : cases) {
        BITMAPHANDLE out;
        ASSERT_EQ(L_ColorResBitmap(&source, &out, c.Bits, 0), SUCCESS) << c.Bits;
        EXPECT_EQ(out.Image.format(), c.Format);
        EXPECT_EQ(out.BitsPerPixel, c.Bits);
        if (c.Bits == 4) {
            EXPECT_LE(out.Image.colorCount(), 16);
        }
    }
    BITMAPHANDLE out;
    EXPECT_EQ(L_ColorResBitmap(&source, &out, 12, 0), ERROR_BITPERPIXEL);
    ASSERT_EQ(L_ColorResBitmap(&source, &source, 16, 0), SUCCESS);  // in place
    EXPECT_EQ(source.Image.format(), QImage::Format_RGB555);
}

TEST(ImagingFacade, DibRoundTripsEveryDepth) {
    const QImage photo = MakePhotoLikeImage(13, 7);  // odd width: rows need padding
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        BITMAPHANDLE source = HandleOf(photo, 24);
        ASSERT_EQ(L_ColorResBitmap(&source, &source, bits, CRF_FIXEDPALETTE), SUCCESS);
        source.XResolution = source.YResolution = 200;
        QByteArray dib;
        ASSERT_EQ(L_ConvertToDIB(&source, dib), SUCCESS) << bits;
        const auto* header = reinterpret_cast<const uint8_t*>(dib.constData());
        EXPECT_EQ(header[0], 40);
        EXPECT_EQ(header[14], bits);
        const int colours = bits <= 8 ? int(source.Image.colorCount()) : 0;
        const qint64 stride = (13 * bits + 31) / 32 * 4;
        EXPECT_EQ(dib.size(), 40 + colours * 4 + stride * 7) << bits;
        BITMAPHANDLE back;
        const qint64 headerSize = 40 + colours * 4;
        ASSERT_EQ(L_ConvertFromDIB(&back, header, header + headerSize, dib.size() - headerSize, headerSize),
                  SUCCESS) << bits;
        EXPECT_EQ(back.BitsPerPixel, bits);
        EXPECT_EQ(back.XResolution, 200);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) ASSERT_EQ(back.Image.pixel(x, y), source.Image.pixel(x, y)) << bits;
        EXPECT_EQ(L_ConvertFromDIB(&back, header, header + headerSize, stride * 7 - 1, headerSize),
                  ERROR_CORRUPT_FILE);

        BITMAPHANDLE taken;
        QByteArray moved = dib;
        ASSERT_EQ(L_ChangeFromDIB(&taken, moved), SUCCESS);
        EXPECT_TRUE(moved.isEmpty());
        EXPECT_EQ(taken.Image.pixel(3, 3), source.Image.pixel(3, 3));
        ASSERT_EQ(L_ChangeToDIB(&taken, moved), SUCCESS);
        EXPECT_FALSE(taken.IsAllocated());
        EXPECT_EQ(moved, dib);
    }
}

TEST(ImagingFacade, DibHeadersAreChecked) {
    BITMAPHANDLE source = HandleOf(MakeBandImage(4, 2, {Qt::red, Qt::blue}), 24);
    QByteArray dib;
    ASSERT_EQ(L_ConvertToDIB(&source, dib), SUCCESS);
    auto patched = [&](int at, int32_t value) {
        QByteArray copy = dib;
        std::memcpy(copy.data() + at, &value, 4);
        return copy;
    };
    BITMAPHANDLE out;
    QByteArray rle = patched(16, 1);
    EXPECT_EQ(L_ChangeFromDIB(&out, rle), ERROR_FEATURE_NOT_SUPPORTED);
    EXPECT_FALSE(rle.isEmpty());  // kept on failure
    QByteArray huge = patched(4, 100000);
    EXPECT_EQ(L_ChangeFromDIB(&out, huge), ERROR_IMAGE_TOO_LARGE);
    QByteArray tall = patched(8, 1000);
    EXPECT_EQ(L_ChangeFromDIB(&out, tall), ERROR_CORRUPT_FILE);
    QByteArray v5 = patched(0, 108);
    EXPECT_NE(L_ChangeFromDIB(&out, v5), SUCCESS);
    QByteArray topDown = patched(8, -2);
    ASSERT_EQ(L_ChangeFromDIB(&out, topDown), SUCCESS);
    EXPECT_EQ(out.Image.pixel(0, 0), source.Image.pixel(0, 1));
    QByteArray shortOne = dib.left(20);
    EXPECT_NE(L_ChangeFromDIB(&out, shortOne), SUCCESS);
}

TEST(ImagingFacade, CommentsComeFromExifAndComSegments) {
    TTempFolder folder;
    QByteArray jpeg = EncodeTestJpeg(MakeBandImage(16, 16, Bands));
    const QByteArray exif = ExifSegment({{0x13B, "Ada Lovelace"}, {0x8298, "(c) 1843"}, {0x132, "1843:07:01 12:00:00"},
                                         {0x10F, "Babb"}, {0x131, "Lumora test writer"}});
    const QString path = folder.Write("c.jpg", jpeg.left(2) + exif + ComSegment("A note") + jpeg.mid(2));
    char buffer[256];
    EXPECT_EQ(L_ReadFileComment(path, 0, buffer, 256), 12);
    EXPECT_STREQ(buffer, "Ada Lovelace");
    EXPECT_EQ(L_ReadFileComment(path, 3, buffer, 256), 6);
    EXPECT_STREQ(buffer, "A note");
    EXPECT_EQ(L_ReadFileComment(path, 10, buffer, 256), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(L_ReadFileComment(path, 0, buffer, 4), 3);
    EXPECT_STREQ(buffer, "Ada");
    EXPECT_EQ(L_ReadFileComment(path, 72, buffer, 256), ERROR_INV_PARAMETER);
    QStringList texts;
    ASSERT_EQ(L_ReadFileComments(path, texts), SUCCESS);
    ASSERT_EQ(texts.size(), 72);
    EXPECT_EQ(texts[1], "(c) 1843");
    EXPECT_EQ(texts[2], "1843:07:01 12:00:00");
    EXPECT_EQ(texts[5], "Babb");  // Make is the computer make
    EXPECT_EQ(texts[4], "");
    EXPECT_EQ(texts[9], "Lumora test writer");
    BITMAPHANDLE bitmap;
    EXPECT_EQ(L_LoadBitmap(path, &bitmap, 0, 1), SUCCESS);

    // A changed file is parsed again, not answered from the cache.
    folder.Write("c.jpg", jpeg.left(2) + ExifSegment({{0x13B, "Someone else entirely"}}) + jpeg.mid(2));
    EXPECT_EQ(L_ReadFileComment(path, 0, buffer, 256), 21);
    EXPECT_EQ(L_ReadFileComment(path, 3, buffer, 256), 0);
    EXPECT_EQ(L_ReadFileComment(folder.Path() + "none.jpg", 0, buffer, 256), ERROR_FILENOTFOUND);
}

TEST(ImagingFacade, HostileExifGivesNoCommentsAndNoCrash) {
    TTempFolder folder;
    const QByteArray jpeg = EncodeTestJpeg(MakeBandImage(16, 16, Bands));
    QByteArray exif = ExifSegment({{0x13B, "A long artist name"}});
    QList<QByteArray> variants;
    QByteArray badOffset = exif;  // string offset far beyond the segment
    std::memset(badOffset.data() + 4 + 6 + 8 + 2 + 8, 0x7F, 4);
    variants << badOffset;
    QByteArray hugeCount = exif;  // count says 4 GB
    std::memset(hugeCount.data() + 4 + 6 + 8 + 2 + 4, 0xFF, 4);
    variants << hugeCount;
    QByteArray selfIfd = exif;  // IFD offset points at the header
    selfIfd[4 + 6 + 4] = 0;
    variants << selfIfd;
    QByteArray cut = exif.left(20);
    cut[2] = 0;
    cut[3] = 100;  // longer than the file
    variants << cut;
    for (const QByteArray& v : variants) {
        const QString path = folder.Write("h.jpg", jpeg.left(2) + v + jpeg.mid(2));
        char buffer[256];
        EXPECT_LE(L_ReadFileComment(path, 0, buffer, 256), 0);
    }
}

TEST(ImagingFacade, SavesAndReloadsEachWritableFormat) {
    TTempFolder folder;
    BITMAPHANDLE source = HandleOf(MakeBandImage(40, 20, Bands), 24);
    source.XResolution = source.YResolution = 150;
    struct TCase {
        const char* Name;
        int Format, Bits, WantBits;
    } cases[] = {{"a.jpg", FILE_JFIF, 24, 24}, {"g.jpg", FILE_JFIF, 8, 8},  {"a.bmp", FILE_BMP, 24, 24},
                 {"b.bmp", FILE_BMP, 8, 8},    {"a.png", FILE_PNG, 0, 24},  {"m.png", FILE_PNG, 1, 1},
                 {"a.tif", FILE_TIF, 24, 24},  {"l.tif", FILE_TIFLZW, 24, 24}, {"a.tga", FILE_TGA, 24, 24},
                 {"p.tga", FILE_TGA, 8, 8},    {"h.tga", FILE_TGA, 16, 16}, {"w.tga", FILE_TGA, 32, 32}};
    for (const auto& c : cases) {
        const QString path = folder.Path() + c.Name;
        ASSERT_EQ(L_SaveBitmap(path, &source, c.Format, c.Bits, 20), SUCCESS) << c.Name;
        FILEINFO info;
        ASSERT_EQ(L_FileInfo(path, &info, 0), SUCCESS) << c.Name;
        EXPECT_EQ(info.Format, c.Format == FILE_TIFLZW ? FILE_TIF : c.Format) << c.Name;
        if (c.Format != FILE_TGA) {
            EXPECT_EQ(info.XResolution, 150) << c.Name;  // TARGA keeps no density
        }
        BITMAPHANDLE back;
        ASSERT_EQ(L_LoadBitmap(path, &back, 0, 1), SUCCESS) << c.Name;
        EXPECT_EQ(back.BitsPerPixel, c.WantBits) << c.Name;
        EXPECT_EQ(back.Image.size(), QSize(40, 20));
        if (c.Bits >= 16 || (c.Bits == 8 && c.Format != FILE_JFIF)) {  // g.jpg is grey
            EXPECT_TRUE(ColorNear(back.Image.pixelColor(15, 10), Qt::green, 16)) << c.Name;
        }
    }
    EXPECT_EQ(L_SaveBitmap(folder.Path() + "a.gif", &source, FILE_GIF, 8, 0), ERROR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(L_SaveBitmap(folder.Path() + "a.pcx", &source, FILE_PCX, 24, 0), ERROR_FEATURE_NOT_SUPPORTED);
    EXPECT_FALSE(QFile::exists(folder.Path() + "a.gif"));
    EXPECT_EQ(L_SaveBitmap(folder.Path() + "q.jpg", &source, FILE_JFIF, 24, 300), ERROR_QFACTOR);
    EXPECT_EQ(L_SaveBitmap(folder.Path() + "no/such/x.jpg", &source, FILE_JFIF, 24, 0), ERROR_INV_FILENAME);
    BITMAPHANDLE empty;
    EXPECT_EQ(L_SaveBitmap(folder.Path() + "e.jpg", &empty, FILE_JFIF, 24, 0), ERROR_NO_BITMAP);
    QByteArray memory;
    ASSERT_EQ(L_SaveBitmapMemory(memory, &source, FILE_PNG, 0, 0), SUCCESS);
    EXPECT_TRUE(memory.startsWith("\x89PNG"));
}

namespace {
struct TSaveLog {
    int Rows = 0;
    int StopAfter = 1000;
};
int GiveRows(pBITMAPHANDLE bitmap, uint8_t* buffer, int row, int lines, void* userData) {
    auto* log = static_cast<TSaveLog*>(userData);
    if (log->Rows >= log->StopAfter) return ERROR_USER_ABORT;
    L_AccessBitmap(bitmap);
    for (int i = 0; i < lines; ++i)
        L_GetBitmapRow(bitmap, buffer + qsizetype(i) * bitmap->BytesPerLine(), row + i, bitmap->BytesPerLine());
    L_ReleaseBitmap(bitmap);
    log->Rows += lines;
    return SUCCESS;
}
}  // namespace

TEST(ImagingFacade, SaveCallbackSuppliesRowsAndCanStop) {
    TTempFolder folder;
    BITMAPHANDLE source = HandleOf(MakeBandImage(30, 50, Bands, true), 24);
    for (int format : {FILE_JFIF, FILE_PNG}) {
        TSaveLog log;
        const QString path = folder.Path() + QString("s%1").arg(format);
        ASSERT_EQ(L_SaveFile(path, &source, format, 24, 0, 0, GiveRows, &log), SUCCESS);
        EXPECT_EQ(log.Rows, 50);
        BITMAPHANDLE back;
        ASSERT_EQ(L_LoadBitmap(path, &back, 0, 1), SUCCESS);
        EXPECT_TRUE(ColorNear(MeanColor(back.Image, QRect(5, 42, 20, 6)), Qt::white, 12));
        TSaveLog stop;
        stop.StopAfter = 16;
        const QString stopped = path + "-stopped";
        EXPECT_EQ(L_SaveFile(stopped, &source, format, 24, 0, 0, GiveRows, &stop), ERROR_USER_ABORT);
        EXPECT_FALSE(QFile::exists(stopped));
    }
}

TEST(ImagingFacade, QualityFactorMapsMonotonically) {
    EXPECT_EQ(QualityFactorToJpegQuality(0), 85);
    EXPECT_NEAR(QualityFactorToJpegQuality(20), 90, 1);
    EXPECT_NEAR(QualityFactorToJpegQuality(100), 60, 1);
    EXPECT_NEAR(QualityFactorToJpegQuality(200), 25, 1);
    int last = 101;
    for (int f = 2; f <= 255; ++f) {
        const int q = QualityFactorToJpegQuality(f);
        EXPECT_LE(q, last) << f;
        EXPECT_GE(q, 1);
        last = q;
    }
}

TEST(ImagingFacade, PaintStretchesAndHonoursTheClip) {
    BITMAPHANDLE bitmap = HandleOf(MakeBandImage(2, 1, {Qt::red, Qt::blue}), 24);
    QImage canvas(40, 20, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        EXPECT_EQ(L_PaintDC(painter, &bitmap, QRect(0, 0, 40, 20), QRect(0, 0, 36, 20)), SUCCESS);
    }
    EXPECT_TRUE(ColorNear(canvas.pixelColor(2, 10), Qt::red, 8));
    EXPECT_TRUE(ColorNear(canvas.pixelColor(33, 10), Qt::blue, 8));
    EXPECT_EQ(canvas.pixelColor(38, 10), QColor(Qt::black));  // clipped away
    {
        QPainter painter(&canvas);
        EXPECT_EQ(L_PaintDCEffect(painter, &bitmap, QRect(0, 0, 40, 20), QRect(), EFFECT_GREY), SUCCESS);
        const QColor grey = canvas.pixelColor(2, 10);
        EXPECT_EQ(grey.red(), grey.green());
        EXPECT_EQ(L_PaintDCEffect(painter, &bitmap, QRect(0, 0, 40, 20), QRect(), EFFECT_DIM), SUCCESS);
        EXPECT_EQ(L_PaintDCEffect(painter, &bitmap, QRect(0, 0, 40, 20), QRect(), 99), ERROR_INV_PARAMETER);
        EXPECT_EQ(L_PrintBitmapExt(painter, &bitmap, 0, 0, 10, 10, 0), SUCCESS);
        EXPECT_EQ(L_PrintBitmapExt(painter, &bitmap, 0, 0, 0, 10, 0), ERROR_INV_PARAMETER);
    }
    EXPECT_TRUE(ColorNear(canvas.pixelColor(37, 10), QColor(0, 0, 128), 10));  // dimmed blue
    BITMAPHANDLE empty;
    QPainter painter(&canvas);
    EXPECT_EQ(L_PaintDC(painter, &empty, QRect(0, 0, 4, 4)), ERROR_NO_BITMAP);
}

TEST(ImagingFacade, SettingsAreKept) {
    const int before = L_GetDisplayMode();
    EXPECT_EQ(L_SetDisplayMode(0x82, 0x80), before);
    EXPECT_EQ(L_GetDisplayMode() & 0x82, 0x80);
    L_SetDisplayMode(0x82, 0x02);
    EXPECT_EQ(L_GetDisplayMode() & 0x82, 0x02);
    L_SetDisplayMode(~0, before);
    EXPECT_EQ(L_SetPCDResolution(5), SUCCESS);
    EXPECT_EQ(L_GetPCDResolution(), 5);
    EXPECT_EQ(L_SetPCDResolution(6), ERROR_INV_PARAMETER);
    L_SetPCDResolution(3);
    int format = 0, width = 0, height = 0;
    EXPECT_EQ(L_SetDimension(FILE_FPX, 640, 480), SUCCESS);
    L_GetDimension(format, width, height);
    EXPECT_EQ(format, FILE_FPX);
    EXPECT_EQ(width, 640);
}

TEST(ImagingFacade, HandleLifetimeAndRowAccess) {
    BITMAPHANDLE bitmap;
    ASSERT_EQ(L_AllocateBitmap(&bitmap, 5, 3, 24), SUCCESS);
    EXPECT_EQ(bitmap.BytesPerLine(), 16);
    const uint8_t row[15] = {1, 2, 3};
    EXPECT_EQ(L_AccessBitmap(&bitmap), SUCCESS);
    EXPECT_EQ(L_PutBitmapRow(&bitmap, row, 2, 15), SUCCESS);
    uint8_t back[16] = {};
    EXPECT_EQ(L_GetBitmapRow(&bitmap, back, 2, 15), SUCCESS);
    EXPECT_EQ(back[2], 3);
    EXPECT_EQ(L_PutBitmapRow(&bitmap, row, 3, 15), ERROR_INV_RANGE);
    EXPECT_EQ(L_GetBitmapRow(&bitmap, back, 2, 17), ERROR_INV_RANGE);
    EXPECT_EQ(L_ReleaseBitmap(&bitmap), SUCCESS);
    EXPECT_EQ(L_ReleaseBitmap(&bitmap), ERROR_INV_PARAMETER);
    EXPECT_EQ(L_AllocateBitmap(&bitmap, 50000, 10, 24), ERROR_IMAGE_TOO_LARGE);
    EXPECT_EQ(L_AllocateBitmap(&bitmap, 5, 5, 12), ERROR_BITPERPIXEL);
    EXPECT_EQ(L_FreeBitmap(&bitmap), SUCCESS);
    EXPECT_FALSE(bitmap.IsAllocated());
    EXPECT_EQ(L_InitBitmap(&bitmap, 0, 0, 0), SUCCESS);
    EXPECT_EQ(bitmap.BitsPerPixel, 0);
}

TEST(ImagingFacade, ErrorTextTableHasEightyEightEntries) {
    EXPECT_EQ(ImagingErrorTextCount(), 88);
    std::vector<int> codes = {1, 0, -100};
    for (int c = -1; c >= -19; --c) codes.push_back(c);
    for (int c = -21; c >= -65; --c) codes.push_back(c);
    for (int c = -70; c >= -90; --c) codes.push_back(c);
    ASSERT_EQ(codes.size(), 88u);
    QSet<QString> texts;
    for (int code : codes) {
        const QString text = ImagingErrorText(code);
        EXPECT_FALSE(text.startsWith("Unknown imaging error")) << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 88);  // every code has its own wording
    EXPECT_EQ(ImagingErrorText(-20), "Unknown imaging error -20");
    EXPECT_EQ(ImagingErrorText(ERROR_NO_MEMORY), "Not enough memory available");
    EXPECT_EQ(ImagingErrorText(ERROR_FILENOTFOUND), "File not found");
    EXPECT_EQ(ImagingErrorText(ERROR_IMAGE_TOO_LARGE), "Image is too large to load");
    EXPECT_EQ(ImagingErrorText(ERROR_CORRUPT_FILE), "Damaged or truncated image data");
    EXPECT_EQ(ImagingErrorText(ERROR_USER_ABORT), "Operation cancelled");
    RegisterImagingErrorTexts();
    RegisterImagingErrorTexts();  // harmless twice
}

TEST(ImagingFacade, ConcurrentLoadsOnSeveralThreads) {
    TTempFolder folder;
    const QString path = folder.Write("t.jpg", EncodeTestJpeg(MakePhotoLikeImage(640, 480), 80, true));
    std::vector<std::thread> threads;
    std::vector<QSize> sizes(4);
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            L_SetLoadScale(i % 2 ? 70 : 0);
            for (int n = 0; n < 5; ++n) {
                BITMAPHANDLE bitmap;
                if (L_LoadBitmap(path, &bitmap, 0, 1) != SUCCESS) return;
                BITMAPHANDLE thumb;
                L_CopyBitmapRect(&thumb, &bitmap, 0, 0, bitmap.Height(), bitmap.Height());
                L_ResampleBitmap(&thumb, 70, 70);
                char buffer[64];
                L_ReadFileComment(path, n, buffer, 64);
                sizes[size_t(i)] = bitmap.Image.size();
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(sizes[0], QSize(640, 480));
    EXPECT_EQ(sizes[1], QSize(160, 120));
    EXPECT_EQ(sizes[2], QSize(640, 480));
    EXPECT_EQ(sizes[3], QSize(160, 120));
}

TEST(ImagingFacade, DeviceImagesConvertToHeldFormats) {
    struct TCase {
        QImage::Format From;
        int Bits;
        QImage::Format Held;
    } cases[] = {{QImage::Format_ARGB32_Premultiplied, 32, QImage::Format_RGB32},
                 {QImage::Format_RGB888, 24, QImage::Format_RGB888},
                 {QImage::Format_RGB16, 16, QImage::Format_RGB555},
                 {QImage::Format_Grayscale8, 8, QImage::Format_Grayscale8},
                 {QImage::Format_RGBA64, 24, QImage::Format_RGB888}};
    for (const auto& c : cases) {
        QImage device(6, 4, c.From);
        device.fill(Qt::red);
        BITMAPHANDLE bitmap;
        ASSERT_EQ(L_ConvertFromDDB(&bitmap, device), SUCCESS);
        EXPECT_EQ(bitmap.BitsPerPixel, c.Bits);
        EXPECT_EQ(bitmap.Image.format(), c.Held);
    }
    QImage transparent(4, 4, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    BITMAPHANDLE bitmap;
    ASSERT_EQ(L_ConvertFromDDB(&bitmap, transparent), SUCCESS);
    EXPECT_EQ(bitmap.Image.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_EQ(L_ConvertFromDDB(&bitmap, QImage()), ERROR_NO_BITMAP);
}

// The memory of a large picture freed is decoded into by the next large
// picture of about its size, and the pixels are the new picture's.
TEST(ImagingFacade, TheNextLargePictureReusesTheLastOnesMemory) {
    const QByteArray wide = EncodeTestJpeg(MakeBandImage(2400, 1000, Bands));
    const QByteArray reversed = EncodeTestJpeg(MakeBandImage(2400, 1000, {Qt::white, Qt::blue, Qt::green, Qt::red}));
    const QByteArray smaller = EncodeTestJpeg(MakeBandImage(1400, 1000, Bands));
    L_ReleaseSparePictureMemory();
    BITMAPHANDLE first;
    ASSERT_EQ(LoadMemory(wide, first), SUCCESS);
    const uchar* memory = first.Image.constBits();
    ASSERT_EQ(L_FreeBitmap(&first), SUCCESS);

    BITMAPHANDLE second;
    ASSERT_EQ(LoadMemory(reversed, second), SUCCESS);
    EXPECT_EQ(second.Image.constBits(), memory);
    EXPECT_TRUE(ColorNear(MeanColor(second.Image, QRect(100, 400, 200, 200)), Qt::white));
    EXPECT_TRUE(ColorNear(MeanColor(second.Image, QRect(2100, 400, 200, 200)), Qt::red));
    // Still in use, so a third picture gets memory of its own.
    BITMAPHANDLE third;
    ASSERT_EQ(LoadMemory(wide, third), SUCCESS);
    EXPECT_NE(third.Image.constBits(), memory);
    const uchar* spare = third.Image.constBits();
    ASSERT_EQ(L_FreeBitmap(&second), SUCCESS);
    ASSERT_EQ(L_FreeBitmap(&third), SUCCESS);  // the newer one freed is kept

    // A picture much smaller than the spare does not hold on to it.
    BITMAPHANDLE small;
    ASSERT_EQ(LoadMemory(smaller, small), SUCCESS);
    EXPECT_EQ(small.Width(), 1400);
    EXPECT_NE(small.Image.constBits(), spare);
    L_ReleaseSparePictureMemory();
}

namespace {
// A TARGA header of Width x 1 of the given type and depth, with the
// pixels (one byte each) and, when asked, the version 2 footer.
QByteArray TgaOfDepth(int type, int depth, bool footer) {
    QByteArray tga(18, '\0');
    tga[2] = char(type);
    tga[12] = 4;
    tga[14] = 1;
    tga[16] = char(depth);
    tga += QByteArray(4, '\x40');
    if (footer) tga += QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.\0", 18);
    return tga;
}

// A 24-bit BMP header of 1 x Height with one row of pixels.
QByteArray BmpOfHeight(uint32_t height) {
    QByteArray bmp(54, '\0');
    const auto put32 = [&](int at, uint32_t v) { std::memcpy(bmp.data() + at, &v, 4); };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, 58);
    put32(10, 54);
    put32(14, 40);
    put32(18, 1);
    put32(22, height);
    bmp[26] = 1;
    bmp[28] = 24;
    return bmp + QByteArray(4, '\x7F');
}
}  // namespace

TEST(ImagingFacade, HeadersTheFormatDoesNotDefineAreRefused) {
    struct TCase {
        const char* Name;
        QByteArray Data;
    } cases[] = {
        {"BMP height -2^31", BmpOfHeight(0x80000000u)},
        {"true-colour TARGA of 8 bits", TgaOfDepth(2, 8, true)},
        {"true-colour RLE TARGA of 1 bit", TgaOfDepth(10, 1, true)},
        {"grey TARGA of 24 bits", TgaOfDepth(3, 24, true)},
        {"mapped TARGA without a map", TgaOfDepth(1, 8, true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.Data.constData());
        FILEINFO info;
        EXPECT_EQ(L_FileInfoMemory(bytes, &info, c.Data.size(), 0), ERROR_CORRUPT_FILE);
        BITMAPHANDLE bitmap;
        EXPECT_EQ(LoadMemory(c.Data, bitmap), ERROR_CORRUPT_FILE);
        EXPECT_FALSE(bitmap.IsAllocated());
    }
    // The decoder itself, given exactly the header and the pixels: nothing
    // past them is read (AddressSanitizer watches the end of the vector).
    const QByteArray pixelsOnly = TgaOfDepth(2, 8, false);
    const std::vector<uint8_t> exact(pixelsOnly.begin(), pixelsOnly.end());
    QImage image;
    EXPECT_EQ(ilib::TgaDecode(exact.data(), qint64(exact.size()), image), ERROR_CORRUPT_FILE);
}

namespace {
// Runs Call on a thread of its own and tells whether it waited inside open()
// (for a FIFO: until a writer comes). Such a wait is ended by opening the
// FIFO for writing, so a failing test fails instead of hanging.
bool WaitsInOpen(const QString& fifo, const std::function<void()>& call) {
    std::atomic<pid_t> thread{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        thread.store(pid_t(::syscall(SYS_gettid)));
        call();
        done.store(true);
    });
    bool waited = false;
    int writer = -1;
    while (!done.load()) {
        const pid_t id = thread.load();
        if (id != 0 && writer < 0) {
            const QByteArray state = ReadFileBytes(QStringLiteral("/proc/self/task/%1/syscall").arg(id));
            const long number = state.split(' ').value(0).toLong();
            if (number == SYS_openat || number == SYS_open) {
                waited = true;
                writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            }
        }
        std::this_thread::yield();
    }
    worker.join();
    if (writer >= 0) ::close(writer);
    return waited;
}
}  // namespace

TEST(ImagingFacade, AFifoIsRefusedWithoutWaitingForAWriter) {
    TTempFolder folder;
    const QString fifo = folder.Path() + "photo.jpg";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct TCase {
        const char* Name;
        std::function<int()> Call;
    } cases[] = {
        {"L_FileInfo", [&] { FILEINFO info; return L_FileInfo(fifo, &info, 0); }},
        {"L_LoadBitmap", [&] { BITMAPHANDLE b; return L_LoadBitmap(fifo, &b, 0, 1); }},
        {"L_LoadFile", [&] { BITMAPHANDLE b; TRowLog log; return L_LoadFile(fifo, &b, 0, 1, 9, LogRows, &log); }},
        {"L_ReadFileComment", [&] { char text[256]; return L_ReadFileComment(fifo, 3, text, sizeof text); }},
        {"L_ReadFileComments", [&] { QStringList texts; return L_ReadFileComments(fifo, texts); }},
        {"L_EnumDimensions", [&] { QSize sizes[32]; int count = -1; return L_EnumDimensions(fifo, sizes, count); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        int result = SUCCESS;
        EXPECT_FALSE(WaitsInOpen(fifo, [&] { result = c.Call(); }));
        EXPECT_EQ(result, ERROR_FILE_OPEN);
    }
}

TEST(ImagingFacade, DeepGreyIsHeldAsEightBitGreyWithEveryLevel) {
    // Column x holds grey level x, at 16 bits per sample.
    QImage ramp(256, 4, QImage::Format_Grayscale16);
    for (int y = 0; y < ramp.height(); ++y) {
        auto* row = reinterpret_cast<quint16*>(ramp.scanLine(y));
        for (int x = 0; x < 256; ++x) row[x] = quint16(x * 257);
    }
    QByteArray tga(18, '\0');  // grey and alpha, 16 bits a pixel, top-down
    tga[2] = 3;
    tga[12] = 0;
    tga[13] = 1;
    tga[14] = 1;
    tga[16] = 16;
    tga[17] = 0x20;
    for (int x = 0; x < 256; ++x) tga.append(char(x)).append('\xFF');
    struct TCase {
        const char* Name;
        QByteArray Data;
    } cases[] = {
        {"16-bit grey PNG", QtEncoded(ramp, "png")},
        {"16-bit grey TIFF", QtEncoded(ramp, "tiff")},
        {"grey and alpha TARGA", tga},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FILEINFO info;
        ASSERT_EQ(L_FileInfoMemory(reinterpret_cast<const uint8_t*>(c.Data.constData()), &info, c.Data.size(), 0),
                  SUCCESS);
        EXPECT_EQ(info.BitsPerPixel, 8);
        BITMAPHANDLE bitmap;
        ASSERT_EQ(LoadMemory(c.Data, bitmap), SUCCESS);
        EXPECT_EQ(bitmap.BitsPerPixel, 8);
        QSet<int> levels;
        for (int x = 0; x < 256; ++x) levels.insert(qGray(bitmap.Image.pixel(x, 0)));
        EXPECT_EQ(levels.size(), 256);
        EXPECT_EQ(qGray(bitmap.Image.pixel(200, 0)), 200);
    }
}

TEST(ImagingFacade, ThePictureMemoryKeptIsAtMostTwiceAnExLargePhoto) {
    L_ReleaseSparePictureMemory();
    const size_t exLarge = size_t(3072) * 2048 * 3;
    struct TCase {
        const char* Name;
        QSize Size;
        size_t KeptAfter;  // the spare once the picture is freed
    } cases[] = {
        {"ExLarge photo", {3072, 2048}, exLarge},
        {"panorama of 40000 x 5000", {40000, 5000}, exLarge},
        {"twice an ExLarge", {6144, 2048}, 2 * exLarge},
        {"just over twice", {6145, 2048}, 2 * exLarge},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        {
            const QImage picture = ilib::NewPictureImage(c.Size.width(), c.Size.height(), QImage::Format_RGB888);
            ASSERT_FALSE(picture.isNull());
        }
        EXPECT_EQ(ilib::SparePictureBytes(), c.KeptAfter);
    }
    L_ReleaseSparePictureMemory();
    EXPECT_EQ(ilib::SparePictureBytes(), 0u);
}

TEST(ImagingFacade, ACutPhotoTheFullViewShowsAlsoGetsItsThumbnail) {
    const QByteArray portrait = EncodeTestJpeg(MakePhotoLikeImage(240, 360));
    const QByteArray landscape = EncodeTestJpeg(MakePhotoLikeImage(480, 320));
    struct TCase {
        const char* Name;
        QByteArray Data;
        bool Shown;
    } cases[] = {
        {"portrait cut in its top sixth", CutScanData(portrait, 0.08), true},
        {"landscape cut after its first rows", CutScanData(landscape, 0.05), true},
        {"landscape cut inside its first row of blocks", CutScanData(landscape, 0.005), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        BITMAPHANDLE full;
        EXPECT_EQ(LoadMemory(c.Data, full), c.Shown ? SUCCESS : ERROR_CORRUPT_FILE);
        // As the thumbnail loader reads it: a small scale, only the centre cut.
        L_SetLoadScale(70);
        L_SetLoadCentreSquare(true);
        BITMAPHANDLE thumb;
        EXPECT_EQ(LoadMemory(c.Data, thumb), c.Shown ? SUCCESS : ERROR_CORRUPT_FILE);
        EXPECT_EQ(!L_LoadWarning().isEmpty(), c.Shown);
        L_SetLoadScale(0);
        L_SetLoadCentreSquare(false);
    }
}

TEST(ImagingFacade, ProgressiveScansAreBoundedAndHearAStop) {
    const QByteArray progressive = EncodeProgressiveJpeg(MakePhotoLikeImage(256, 256).convertToFormat(QImage::Format_Grayscale8));
    struct TCase {
        const char* Name;
        QByteArray Data;
        int Result;
    } cases[] = {
        {"as written", progressive, SUCCESS},
        {"its refinement scan once more", WithRepeatedScan(progressive, 1), ERROR_CORRUPT_FILE},
        {"its refinement scan 3000 times more", WithRepeatedScan(progressive, 3000), ERROR_CORRUPT_FILE},
        {"a first scan 50 times more", WithRepeatedScan(progressive, 50, true), SUCCESS},
        {"a first scan 3000 times more", WithRepeatedScan(progressive, 3000, true), ERROR_CORRUPT_FILE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        BITMAPHANDLE bitmap;
        EXPECT_EQ(LoadMemory(c.Data, bitmap), c.Result);
    }
    // A loader that wants to stop is heard while the scans are read, before
    // any row is decoded.
    TRowLog log;
    log.StopAfter = 0;
    BITMAPHANDLE bitmap;
    EXPECT_EQ(L_LoadMemory(reinterpret_cast<const uint8_t*>(progressive.constData()), progressive.size(), &bitmap,
                           0, 1, LOADFILE_ALLOCATE, LogRows, &log),
              ERROR_USER_ABORT);
    ASSERT_EQ(log.Batches.size(), 1u);
    EXPECT_EQ(log.Batches[0].second, 0);
    EXPECT_FALSE(bitmap.IsAllocated());
}

TEST(ImagingFacade, PixelsADamagedFileDidNotGiveAreOneFixedGrey) {
    const QImage photo = MakePhotoLikeImage(400, 300);
    const auto cut = [](const QByteArray& file) { return file.left(file.size() * 2 / 5); };
    // BMP rows are stored bottom-up, so a cut BMP lacks the top of the picture.
    struct TCase {
        const char* Name;
        QByteArray Data;
        QRect Missing;
    } cases[] = {
        {"PNG cut at 40 %", cut(QtEncoded(photo, "png")), QRect(0, 200, 400, 100)},
        {"24-bit BMP cut at 40 %", cut(QtEncoded(photo.convertToFormat(QImage::Format_RGB888), "bmp")),
         QRect(0, 0, 400, 160)},
        {"8-bit BMP cut at 40 %", cut(QtEncoded(photo.convertToFormat(QImage::Format_Indexed8), "bmp")),
         QRect(0, 0, 400, 160)},
        {"JPEG cut at 40 %", CutScanData(EncodeTestJpeg(photo), 0.4), QRect(0, 200, 400, 100)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        {
            // An earlier picture of another colour, freed: its memory is there to be reused.
            QImage earlier(400, 300, QImage::Format_RGB32);
            earlier.fill(Qt::red);
        }
        BITMAPHANDLE bitmap;
        ASSERT_EQ(LoadMemory(c.Data, bitmap), SUCCESS);
        ASSERT_FALSE(L_LoadWarning().isEmpty());
        const QImage rgb = bitmap.Image.convertToFormat(QImage::Format_RGB32);
        int others = 0;
        for (int y = c.Missing.top(); y <= c.Missing.bottom(); ++y)
            for (int x = c.Missing.left(); x <= c.Missing.right(); ++x)
                others += rgb.pixel(x, y) != qRgb(128, 128, 128);
        EXPECT_EQ(others, 0);
    }
}
