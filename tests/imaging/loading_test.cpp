#include "imaging/loading.h"
#include "suite/iprot/iprot.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Four quadrants: top left red, top right green, bottom left blue, bottom right yellow.
QImage Quadrants(int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            image.setPixelColor(x, y, bottom ? (right ? QColor(Qt::yellow) : QColor(Qt::blue))
                                             : (right ? QColor(Qt::green) : QColor(Qt::red)));
        }
    return image;
}

// Mean colours of the inner parts of the four quadrants: TL, TR, BL, BR.
std::vector<QColor> QuadrantColours(const QImage& image) {
    const int w = image.width() / 2, h = image.height() / 2;
    std::vector<QColor> colours;
    for (QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)})
        colours.push_back(MeanColor(image, QRect(corner + QPoint(w / 4, h / 4), QSize(w / 2, h / 2))));
    return colours;
}

void ExpectQuadrants(const QImage& image, std::vector<QColor> expected) {
    const std::vector<QColor> got = QuadrantColours(image);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(ColorNear(got[i], expected[i], 20)) << "quadrant " << i << ": " << got[i].name().toStdString()
                                                        << " expected " << expected[i].name().toStdString();
}

// A JPEG with the program's APP6 segment right after the start of image.
QByteArray WithProgramMarker(const QByteArray& jpeg, const QByteArray& fields) {
    QByteArray segment("\xFF\xE6", 2);
    const int length = int(fields.size()) + 2;
    segment.append(char(length >> 8));
    segment.append(char(length & 0xFF));
    segment.append(fields);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

mode_t ModeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

void SetMode(const QString& path, mode_t mode) { ::chmod(QFile::encodeName(path).constData(), mode); }

class Loading : public ::testing::Test {
protected:
    void TearDown() override {
        ClearStatusListeners();
        FileArbitrator().SetObserver(nullptr);
    }
    QString WriteJpeg(const QString& name, const QImage& image) {
        const QString path = Folder.Path() + name;
        EXPECT_TRUE(WriteTestJpeg(path, image));
        return path;
    }
    TTempFolder Folder;
};

} // namespace

TEST_F(Loading, IdentifiesAPlainJpeg) {
    const QString path = WriteJpeg("a.jpg", MakePhotoLikeImage(120, 80));
    ImageInfo info;
    QString errorText;
    ASSERT_TRUE(GetImageTypeInfoEx(path, info, true, errorText)) << errorText.toStdString();
    EXPECT_EQ(info.Format, FILE_JFIF);
    EXPECT_EQ(info.FormatIndex, 3);
    EXPECT_EQ(info.Description, "JPEG High Quality");
    EXPECT_EQ(info.Width, 120);
    EXPECT_EQ(info.Height, 80);
    EXPECT_EQ(info.BitsPerPixel, 24);
    EXPECT_TRUE(info.Comments[CommentTitle].isEmpty());
}

TEST_F(Loading, FileCommentsFillTheirSlots) {
    QByteArray jpeg = EncodeTestJpeg(MakePhotoLikeImage(40, 30));
    const QByteArray text("Harbour at dawn");
    QByteArray com("\xFF\xFE", 2);
    com.append(char(0));
    com.append(char(text.size() + 2));
    com.append(text);
    const QString path = Folder.Write("com.jpg", jpeg.left(2) + com + jpeg.mid(2));
    ImageInfo info;
    QString errorText;
    ASSERT_TRUE(GetImageTypeInfoEx(path, info, true, errorText));
    EXPECT_EQ(info.Comments[3], "Harbour at dawn");
    ImageInfo without;
    ASSERT_TRUE(GetImageTypeInfoEx(path, without, false, errorText));
    EXPECT_TRUE(without.Comments[3].isEmpty());
}

TEST_F(Loading, MissingFileGivesItsTextWithoutTouchingAnything) {
    std::atomic<int> events{0};
    FileArbitrator().SetObserver([&](TFileArbitrator::TEvent, const QString&) { ++events; });
    ImageInfo info;
    QString errorText = "old";
    EXPECT_EQ(LoadPicture(Folder.Path() + "none.jpg", 0, false, errorText, info), nullptr);
    EXPECT_EQ(errorText, "file doesn't exist");
    EXPECT_EQ(info.Format, 0);
    EXPECT_EQ(events.load(), 0);

    TIEBitmap bitmap;
    try {
        bitmap.LoadFromFile(Folder.Path() + "none.jpg", 0);
        ADD_FAILURE() << "no error raised";
    } catch (const TIEPixException& e) {
        EXPECT_EQ(e.Message(), "file doesn't exist");
    }
}

TEST_F(Loading, UnreadableFilesGiveNoPictureAndAText) {
    const QByteArray jpeg = EncodeTestJpeg(MakePhotoLikeImage(200, 150));
    const QString cases[] = {
        Folder.Write("empty.jpg", QByteArray()),
        Folder.Write("header-only.jpg", HeaderOnly(jpeg)),
        Folder.Write("no-scan-data.jpg", WithoutScanData(jpeg)),
        Folder.Write("garbage.jpg", QByteArray(5000, '\x5A')),
        Folder.Write("bad-variant.pva", QByteArray("PVA\x1A\x01\x20", 6) + QByteArray(100, '\x01')),
    };
    for (const QString& path : cases) {
        SCOPED_TRACE(path.toStdString());
        ImageInfo info;
        QString errorText;
        EXPECT_EQ(LoadPicture(path, 0, false, errorText, info), nullptr);
        EXPECT_FALSE(errorText.isEmpty());
        TIEBitmap bitmap;
        EXPECT_THROW(bitmap.LoadFromFile(path, 0), TIEPixException);
        EXPECT_TRUE(bitmap.IsEmpty());
    }
}

// A damaged photo comes with its warning, to the caller beside the picture;
// loading a clean file afterwards clears it.
TEST_F(Loading, DamagedPhotosCarryTheirWarningToTheBitmap) {
    const QByteArray jpeg = EncodeTestJpeg(MakePhotoLikeImage(200, 150));
    TIEBitmap bitmap;
    bitmap.LoadFromFile(Folder.Write("cut.jpg", CutScanData(jpeg, 0.5)), 0);
    EXPECT_EQ(bitmap.GetSize(), QSize(200, 150));
    EXPECT_FALSE(bitmap.LoadWarning.isEmpty());
    bitmap.LoadFromFile(Folder.Write("good.jpg", jpeg), 0);
    EXPECT_TRUE(bitmap.LoadWarning.isEmpty());
    QByteArray corrupt = WithCorruptSegment(jpeg, 0.3);
    QBuffer stream(&corrupt);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    bitmap.LoadFromStream(stream, 0);
    EXPECT_TRUE(bitmap.LoadWarning.contains("Corrupt JPEG data")) << bitmap.LoadWarning.toStdString();
}

TEST_F(Loading, ColourModeChoosesTheDepth) {
    const QString path = WriteJpeg("c.jpg", MakePhotoLikeImage(64, 48));
    const std::pair<int, int> cases[] = {{0, 24}, {1, 8}, {3, 24}, {7, 24}};
    for (auto [mode, bits] : cases) {
        auto bitmap = TIEBitmap::CreateFromFile(path, TColorMode(mode));
        EXPECT_EQ(bitmap->GetBitsPerPixel(), bits) << mode;
    }
    EXPECT_EQ(BitsForColorMode(2), ScreenBitsPerPixel());
}

TEST_F(Loading, LoadFromFileSetsTheSourceAttributes) {
    const QString path = WriteJpeg("d.jpg", MakePhotoLikeImage(64, 48));
    TIEBitmap bitmap;
    bitmap.LoadFromFile(path, 0);
    EXPECT_EQ(bitmap.GetSize(), QSize(64, 48));
    EXPECT_EQ(bitmap.SourceFormat, FILE_JFIF);
    EXPECT_EQ(bitmap.GetFormatIndex(), 3);
    EXPECT_EQ(bitmap.SourceFile, path);
    EXPECT_TRUE(bitmap.CanSaveBack);

    SetMode(path, 0444);  // the read-only attribute, also for root
    bitmap.LoadFromFile(path, 0);
    EXPECT_FALSE(bitmap.CanSaveBack);
}

TEST_F(Loading, PreferSmallDecodesAJpegAtAReducedScale) {
    const QString path = WriteJpeg("big.jpg", MakePhotoLikeImage(1536, 1024));
    ImageInfo info;
    QString errorText;
    {
        TSmallLoadScope target({70});
        TBitmapHandlePtr small = LoadPicture(path, 0, true, errorText, info);
        ASSERT_NE(small, nullptr);
        EXPECT_EQ(small->Width(), 192);
        EXPECT_EQ(small->Height(), 128);
        EXPECT_EQ(small->SourceWidth, 1536);
        EXPECT_EQ(small->SourceHeight, 1024);
    }
    EXPECT_EQ(L_GetLoadScale(), 0);
    EXPECT_EQ(SmallLoad(), TSmallLoad{});
    {
        TSmallLoadScope target({300});
        TBitmapHandlePtr medium = LoadPicture(path, 0, true, errorText, info);
        ASSERT_NE(medium, nullptr);
        EXPECT_GE(medium->Height(), 300);
        EXPECT_LT(medium->Height(), 1024);
    }
    TBitmapHandlePtr full = LoadPicture(path, 0, false, errorText, info);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->Width(), 1536);
}

TEST_F(Loading, ProgramMarkerFieldsFillTheOwnSlots) {
    const QByteArray fields("tHoliday at sea\0c\0r1\0xAlpha\0yBeta", 34);
    const QString path = Folder.Write(
        "m.jpg", WithProgramMarker(EncodeTestJpeg(MakeBandImage(40, 20, {Qt::red, Qt::blue})), fields));
    ImageInfo info;
    QString errorText;
    ASSERT_TRUE(GetImageTypeInfoEx(path, info, true, errorText)) << errorText.toStdString();
    EXPECT_EQ(info.Comments[CommentTitle], "Holiday at sea");
    EXPECT_TRUE(info.Comments[CommentComments].isEmpty());
    EXPECT_EQ(info.Comments[CommentRotation], "1");
    EXPECT_EQ(info.Comments[CommentInformation], "xAlpha,yBeta");

    ImageInfo bare;
    ASSERT_TRUE(GetImageTypeInfoEx(path, bare, false, errorText));
    EXPECT_TRUE(bare.Comments[CommentTitle].isEmpty());

    // Rotation 1 is one quarter turn: the left (red) band comes out on top.
    TIEBitmap bitmap;
    bitmap.LoadFromFile(path, 0);
    ASSERT_EQ(bitmap.GetSize(), QSize(20, 40));
    EXPECT_TRUE(ColorNear(MeanColor(bitmap.MakeImage(), QRect(4, 4, 12, 12)), Qt::red, 20));
    EXPECT_TRUE(ColorNear(MeanColor(bitmap.MakeImage(), QRect(4, 24, 12, 12)), Qt::blue, 20));
}

TEST_F(Loading, UnusableMarkerRotationIsIgnored) {
    const QString path = Folder.Write(
        "n.jpg", WithProgramMarker(EncodeTestJpeg(MakePhotoLikeImage(40, 20)), QByteArray("Rabc", 4)));
    TIEBitmap bitmap;
    EXPECT_NO_THROW(bitmap.LoadFromFile(path, 0));
    EXPECT_EQ(bitmap.GetSize(), QSize(40, 20));
}

TEST_F(Loading, VariantFilesLoadInTheirOrientation) {
    const QByteArray jpeg = EncodeTestJpeg(Quadrants(40, 20));
    const QByteArray variantA = IProt::MakeVariantA(jpeg, 1 | IProt::OrientationReverse);
    const QByteArray variantB = IProt::MakeVariantB(jpeg, IProt::OrientationFlip);
    ASSERT_FALSE(variantA.isEmpty());
    ASSERT_FALSE(variantB.isEmpty());
    const QString pathA = Folder.Write("a.pva", variantA);
    const QString pathB = Folder.Write("b.pic", variantB);

    ImageInfo info;
    QString errorText;
    ASSERT_TRUE(GetImageTypeInfoEx(pathA, info, true, errorText)) << errorText.toStdString();
    EXPECT_EQ(info.Format, FILE_VARIANT_A);
    EXPECT_EQ(info.FormatIndex, 9);
    EXPECT_EQ(info.Description, "Photo-service JPEG (variant A)");
    ASSERT_TRUE(GetImageTypeInfoEx(pathB, info, true, errorText));
    EXPECT_EQ(info.Format, FILE_VARIANT_B);
    EXPECT_EQ(info.FormatIndex, 10);

    // A quarter turn clockwise, then mirrored left to right.
    TIEBitmap a;
    a.LoadFromFile(pathA, 0);
    ASSERT_EQ(a.GetSize(), QSize(20, 40));
    ExpectQuadrants(a.MakeImage(), {Qt::red, Qt::blue, Qt::green, Qt::yellow});
    EXPECT_EQ(a.SourceFormat, FILE_VARIANT_A);
    EXPECT_FALSE(a.CanSaveBack);

    TIEBitmap b;
    b.LoadFromFile(pathB, 0);
    ASSERT_EQ(b.GetSize(), QSize(40, 20));
    ExpectQuadrants(b.MakeImage(), {Qt::blue, Qt::yellow, Qt::red, Qt::green});

    QFile file(pathA);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(IsKnownJpegStream(file));
    EXPECT_EQ(file.pos(), 0);
    auto fromStream = TIEBitmap::CreateFromStream(file, 0);
    EXPECT_EQ(fromStream->GetSize(), QSize(20, 40));
    EXPECT_EQ(fromStream->SourceFormat, 0);
    EXPECT_FALSE(IsKnownJpegFile(Folder.Write("plain.jpg", jpeg)));
}

TEST_F(Loading, StreamsLoadFromTheirPositionAndKeepIt) {
    const QByteArray jpeg = EncodeTestJpeg(MakePhotoLikeImage(50, 30));
    QBuffer whole;
    whole.setData(jpeg);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    TIEBitmap bitmap;
    bitmap.LoadFromStream(whole, 0);
    EXPECT_EQ(bitmap.GetSize(), QSize(50, 30));
    EXPECT_EQ(whole.pos(), 0);

    QBuffer offset;
    offset.setData(QByteArray("junk!") + jpeg);
    ASSERT_TRUE(offset.open(QIODevice::ReadOnly));
    offset.seek(5);
    bitmap.LoadFromStream(offset, 0);
    EXPECT_EQ(bitmap.GetSize(), QSize(50, 30));
    EXPECT_EQ(offset.pos(), 5);

    QBuffer closed;
    closed.setData(jpeg);
    EXPECT_THROW(bitmap.LoadFromStream(closed, 0), TIEPixException);

    QBuffer junk;
    junk.setData(QByteArray(300, 'x'));
    ASSERT_TRUE(junk.open(QIODevice::ReadOnly));
    EXPECT_THROW(bitmap.LoadFromStream(junk, 0), TIEPixException);
    EXPECT_TRUE(bitmap.IsEmpty());
}

TEST_F(Loading, StatusListenersAreCalledInOrderUntilOneStops) {
    std::vector<int> calls;
    int a = 0, b = 0, c = 0;
    AddStatusListener(&a, [&](int, int) { calls.push_back(1); return true; });
    AddStatusListener(&b, [&](int, int) { calls.push_back(2); return false; });
    AddStatusListener(&c, [&](int, int) { calls.push_back(3); return true; });
    EXPECT_TRUE(HasStatusListeners());
    EXPECT_EQ(BroadcastStatus(skLibrary, 10), ERROR_USER_ABORT);
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
    RemoveStatusListener(&b);
    calls.clear();
    EXPECT_EQ(BroadcastStatus(skSaveRows, 20), SUCCESS);
    EXPECT_EQ(calls, (std::vector<int>{1, 3}));

    AddStatusListener(&a, [&](int, int) { calls.push_back(4); return true; });
    RemoveStatusListener(&a);  // only the first entry of that id goes
    calls.clear();
    BroadcastStatus(skLoadRows, 30);
    EXPECT_EQ(calls, (std::vector<int>{3, 4}));
    ClearStatusListeners();
    EXPECT_FALSE(HasStatusListeners());
}

TEST_F(Loading, ListenersSeeLoadAndSaveProgress) {
    const QString path = WriteJpeg("p.jpg", MakePhotoLikeImage(100, 200));
    std::vector<std::pair<int, int>> reports;
    int token = 0;
    AddStatusListener(&token, [&](int kind, int percent) { reports.push_back({kind, percent}); return true; });
    TIEBitmap bitmap;
    bitmap.LoadFromFile(path, 0);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(int(skLoadRows), 100));
    for (size_t i = 1; i < reports.size(); ++i) EXPECT_LE(reports[i - 1].second, reports[i].second);

    reports.clear();
    const QString saved = Folder.Path() + "p.png";
    bitmap.SaveToFile(saved, PngFormatIndex);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(int(skSaveRows), 100));
    RemoveStatusListener(&token);

    // The rows handed over by the save callback are the picture's own.
    TIEBitmap back;
    back.LoadFromFile(saved, 0);
    EXPECT_EQ(back.MakeImage(), bitmap.MakeImage());
}

TEST_F(Loading, StoppedLoadsGiveNoPictureAndNoText) {
    const QString path = WriteJpeg("s.jpg", MakePhotoLikeImage(100, 100));
    TIEBitmap bitmap;
    bitmap.LoadFromFile(path, 0);
    ASSERT_FALSE(bitmap.IsEmpty());
    {
        int token = 0;
        AddStatusListener(&token, [](int kind, int) { return kind != skLoadRows; });
        ImageInfo info;
        QString errorText = "old";
        EXPECT_EQ(LoadPicture(path, 0, false, errorText, info), nullptr);
        EXPECT_TRUE(errorText.isEmpty());
        EXPECT_NO_THROW(bitmap.LoadFromFile(path, 0));
        EXPECT_TRUE(bitmap.IsEmpty());
        RemoveStatusListener(&token);
    }
    bitmap.LoadFromFile(path, 0);
    ASSERT_FALSE(bitmap.IsEmpty());
    {
        TProgressHookScope hook([](int percent) { return percent < 50; });
        ImageInfo info;
        QString errorText = "old";
        EXPECT_EQ(LoadPicture(path, 0, false, errorText, info), nullptr);
        EXPECT_TRUE(errorText.isEmpty());
        EXPECT_NO_THROW(bitmap.LoadFromFile(path, 0));
        EXPECT_TRUE(bitmap.IsEmpty());
    }
    EXPECT_FALSE(ProgressHook());
    EXPECT_FALSE(FileArbitrator().IsBusy(path));
}

// A stop asked for while rows are coming in ends the decode before the next
// batch of rows: the hook is never called again and no picture is left.
TEST_F(Loading, CancellationStopsADecodeWithinOneRowBatch) {
    // Tall and narrow, so a full decode is many batches of rows.
    const QString path = WriteJpeg("tall.jpg", MakePhotoLikeImage(64, 2048));
    for (const bool preferSmall : {false, true}) {
        for (const int stopAt : {1, 2, 7}) {
            int calls = 0;
            std::vector<int> percents;
            {
                TProgressHookScope hook([&](int percent) {
                    percents.push_back(percent);
                    return ++calls < stopAt;
                });
                ImageInfo info;
                QString errorText;
                EXPECT_EQ(LoadPicture(path, 0, preferSmall, errorText, info), nullptr);
                EXPECT_TRUE(errorText.isEmpty());
            }
            EXPECT_EQ(calls, stopAt) << "preferSmall " << preferSmall;
            // Each call follows one batch, so the percentages grow by about
            // one batch's share: the decode did not run ahead of the hook.
            ASSERT_FALSE(percents.empty());
            EXPECT_LE(percents.back(), 100 * stopAt * 16 / 2048 + 2) << "preferSmall " << preferSmall;
        }
    }
    // The same file loads completely once nobody stops it.
    int calls = 0;
    TProgressHookScope hook([&](int) { return ++calls > 0; });
    ImageInfo info;
    QString errorText;
    EXPECT_NE(LoadPicture(path, 0, false, errorText, info), nullptr) << errorText.toStdString();
    EXPECT_EQ(calls, 2048 / 16);
}

TEST_F(Loading, AProgressivePhotoCanBeStoppedWhileItsScansAreRead) {
    const QString path = Folder.Write("progressive.jpg", EncodeProgressiveJpeg(MakePhotoLikeImage(64, 2048)));
    std::vector<int> percents;
    {
        TProgressHookScope hook([&](int percent) {
            percents.push_back(percent);
            return false;
        });
        ImageInfo info;
        QString errorText;
        EXPECT_EQ(LoadPicture(path, 0, false, errorText, info), nullptr);
        EXPECT_TRUE(errorText.isEmpty());
    }
    // Asked once, before the first row was decoded.
    EXPECT_EQ(percents, std::vector<int>{0});
}

TEST_F(Loading, FlashPixFilesGetTheirModeBackAfterALoad) {
    const QByteArray compound = QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(1024, '\0');
    const QString writable = Folder.Write("w.fpx", compound);
    SetMode(writable, 0664);
    ImageInfo info;
    QString errorText;
    ASSERT_TRUE(GetImageTypeInfoEx(writable, info, false, errorText));
    ASSERT_EQ(info.Format, FILE_FPX);
    EXPECT_EQ(LoadPicture(writable, 0, false, errorText, info), nullptr);  // we do not decode FlashPix
    EXPECT_FALSE(errorText.isEmpty());
    EXPECT_EQ(ModeOf(writable), mode_t(0664));

    const QString readOnly = Folder.Write("r.fpx", compound);
    SetMode(readOnly, 0444);
    EXPECT_EQ(LoadPicture(readOnly, 0, true, errorText, info), nullptr);
    EXPECT_EQ(ModeOf(readOnly), mode_t(0444));
}

TEST_F(Loading, SaveRow33FollowsTheSourceFormatElsePng) {
    auto drawn = std::make_unique<TIEBitmap>();
    drawn->AssignImage(MakePhotoLikeImage(30, 20));
    const QString bmp = Folder.Path() + "source.bmp";
    drawn->SaveToFile(bmp, 0);

    TIEBitmap fromBmp;
    fromBmp.LoadFromFile(bmp, 0);
    ASSERT_EQ(fromBmp.SourceFormat, FILE_BMP);
    const QString out = Folder.Path() + "out.img";
    fromBmp.SaveToFile(out, UnknownFormatIndex);
    ImageInfo info;
    QString errorText;
    ASSERT_TRUE(GetImageTypeInfoEx(out, info, false, errorText));
    EXPECT_EQ(info.Format, FILE_BMP);

    const QString out2 = Folder.Path() + "out2.img";
    drawn->SaveToFile(out2, UnknownFormatIndex);
    ASSERT_TRUE(GetImageTypeInfoEx(out2, info, false, errorText));
    EXPECT_EQ(info.Format, FILE_PNG);

    QBuffer stream;
    ASSERT_TRUE(stream.open(QIODevice::WriteOnly));
    drawn->SaveToStream(stream, 3);
    EXPECT_TRUE(stream.data().startsWith("\xFF\xD8"));
    EXPECT_THROW(drawn->SaveToFile(Folder.Path() + "bad.img", 40), TIEPixException);
}

TEST_F(Loading, SavingOverAFileReplacesItWhole) {
    const QString path = WriteJpeg("photo.jpg", MakePhotoLikeImage(60, 40));
    SetMode(path, 0640);
    auto bitmap = TIEBitmap::CreateFromFile(path, 0);
    bitmap->Rotate(90);
    bitmap->SaveToFile(path, PngFormatIndex);
    ImageInfo info;
    QString errorText;
    ASSERT_TRUE(GetImageTypeInfoEx(path, info, false, errorText));
    EXPECT_EQ(info.Format, FILE_PNG);
    EXPECT_EQ(info.Width, 40);
    EXPECT_EQ(ModeOf(path), mode_t(0640));
    EXPECT_FALSE(QFileInfo::exists(Folder.Path() + "photo.tmp"));
    EXPECT_FALSE(QFileInfo::exists(Folder.Path() + "photo.bak"));
}

TEST_F(Loading, AFailedSaveOverAFileLeavesItUnchanged) {
    // Each target's temporary companion cannot be written: a folder is in its
    // place. Names ending in the companions' own extensions must not make the
    // target its own companion (deleted before anything was written).
    const struct {
        const char* Target;
        const char* Blocker;
    } cases[] = {{"keep.jpg", "keep.tmp"}, {"x.bak", "x.tmp"}, {"y.tmp", "y.tmp.tmp"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Target);
        const QString path = WriteJpeg(c.Target, MakePhotoLikeImage(60, 40));
        const QByteArray before = ReadFileBytes(path);
        Folder.Make(c.Blocker);
        auto bitmap = TIEBitmap::CreateFromFile(path, 0);
        bitmap->Rotate(90);
        EXPECT_THROW(bitmap->SaveToFile(path, 3), TIEPixException);
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_TRUE(QFileInfo(Folder.Path() + c.Blocker).isDir());
    }
    EXPECT_FALSE(QFileInfo::exists(Folder.Path() + "keep.bak"));
    EXPECT_FALSE(QFileInfo::exists(Folder.Path() + "x.bak.bak"));
}

TEST_F(Loading, SavingOverAFileNamedLikeACompanionWorks) {
    for (const char* name : {"a.bak", "b.tmp"}) {
        const QString path = WriteJpeg(name, MakePhotoLikeImage(60, 40));
        auto bitmap = TIEBitmap::CreateFromFile(path, 0);
        bitmap->Rotate(90);
        bitmap->SaveToFile(path, 3);
        EXPECT_EQ(TIEBitmap::CreateFromFile(path, 0)->GetSize(), QSize(40, 60)) << name;
    }
}

// A write that fails half way (here: the file-size limit, as a full disk
// would) leaves the old file whole; it is never truncated first.
TEST_F(Loading, ADirectSaveThatFailsHalfWayKeepsTheTarget) {
    const QString path = WriteJpeg("direct.jpg", MakePhotoLikeImage(30, 20));
    const QByteArray before = ReadFileBytes(path);
    auto big = TIEBitmap::CreateFromFile(WriteJpeg("big.jpg", MakePhotoLikeImage(400, 300)), 0);
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = rlim_t(before.size());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = L_SaveBitmap(path, big->GetHandle(), FILE_BMP, 24, 0);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_NE(result, SUCCESS);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(QDir(Folder.Path()).entryList(QDir::Hidden | QDir::Files).filter("direct").size(), 1);
}

TEST_F(Loading, LibraryLockIsReentrant) {
    const QString path = WriteJpeg("r.jpg", MakePhotoLikeImage(20, 20));
    TLibraryLock outer;
    ImageInfo info;
    QString errorText;
    EXPECT_TRUE(GetImageTypeInfoEx(path, info, true, errorText));
    EXPECT_NE(LoadPicture(path, 0, false, errorText, info), nullptr);
}

// The GUI thread keeps handling events while it waits for the library: the
// worker holding the lock lets go only after an event on the GUI thread ran.
TEST(LibraryLockThreads, GuiThreadRunsEventsWhileWaiting) {
    std::mutex m;
    std::condition_variable cv;
    bool locked = false, eventRan = false, timedOut = false;
    std::thread worker([&] {
        TLibraryLock lock;
        std::unique_lock<std::mutex> l(m);
        locked = true;
        cv.notify_all();
        timedOut = !cv.wait_for(l, 20s, [&] { return eventRan; });
    });
    {
        std::unique_lock<std::mutex> l(m);
        cv.wait(l, [&] { return locked; });
    }
    QTimer::singleShot(0, [&] {
        std::lock_guard<std::mutex> l(m);
        eventRan = true;
        cv.notify_all();
    });
    { TLibraryLock lock; }
    worker.join();
    EXPECT_TRUE(eventRan);
    EXPECT_FALSE(timedOut);
}

// Likewise the arbitrator: the GUI thread waiting for a busy name still runs
// events, and gets the name once the worker has released it.
TEST(FileArbitratorThreads, GuiThreadRunsEventsWhileWaiting) {
    const QString name = "/photos/Roll 1/Small/a.jpg";
    std::mutex m;
    std::condition_variable cv;
    bool acquired = false, eventRan = false, timedOut = false;
    std::thread worker([&] {
        FileArbitrator().Acquire(name);
        std::unique_lock<std::mutex> l(m);
        acquired = true;
        cv.notify_all();
        timedOut = !cv.wait_for(l, 20s, [&] { return eventRan; });
        l.unlock();
        FileArbitrator().Release(name.toLower());  // names compare without case
    });
    {
        std::unique_lock<std::mutex> l(m);
        cv.wait(l, [&] { return acquired; });
    }
    EXPECT_TRUE(FileArbitrator().IsBusy(name));
    QTimer::singleShot(0, [&] {
        std::lock_guard<std::mutex> l(m);
        eventRan = true;
        cv.notify_all();
    });
    FileArbitrator().Acquire(name);
    worker.join();
    EXPECT_TRUE(eventRan);
    EXPECT_FALSE(timedOut);
    FileArbitrator().Release(name);
    EXPECT_FALSE(FileArbitrator().IsBusy(name));
}

TEST(LoadingThreads, DifferentFilesAtOnce) {
    TTempFolder folder;
    std::vector<QString> paths;
    std::vector<QSize> sizes;
    for (int i = 0; i < 4; ++i) {
        sizes.push_back(QSize(80 + 16 * i, 60 + 8 * i));
        paths.push_back(folder.Path() + QString("f%1.jpg").arg(i));
        ASSERT_TRUE(WriteTestJpeg(paths.back(), MakePhotoLikeImage(sizes.back().width(), sizes.back().height(), i)));
    }
    std::atomic<int> reports{0};
    int token = 0;
    AddStatusListener(&token, [&](int, int) { ++reports; return true; });
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::optional<TProgressHookScope> hook;
            if (t % 2) hook.emplace([](int) { return true; });
            for (int round = 0; round < 3; ++round) {
                for (int i = 0; i < 4; ++i) {
                    const int index = (i + t) % 4;
                    try {
                        auto bitmap = TIEBitmap::CreateFromFile(paths[size_t(index)], 0);
                        if (bitmap->GetSize() != sizes[size_t(index)]) ++failures;
                        bitmap->CenterCrop();
                        bitmap->Resample(QSize(70, 70));
                    } catch (const TIEPixException&) {
                        ++failures;
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    RemoveStatusListener(&token);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_GT(reports.load(), 0);
}

// Once RemoveStatusListener returns, the listener is never called again,
// even when a worker was inside it at that moment: the owner may free what
// the listener uses right after.
TEST(LoadingThreads, RemovedListenerIsNeverCalledAgain) {
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop.load()) BroadcastStatus(skLoadRows, 50);
    });
    for (int round = 0; round < 200; ++round) {
        auto alive = std::make_unique<std::atomic<int>>(0);
        std::atomic<bool> removed{false};
        std::atomic<int> lateCalls{0};
        std::atomic<int>* counter = alive.get();
        AddStatusListener(counter, [&, counter](int, int) {
            if (removed.load()) ++lateCalls;
            ++*counter;
            if (round % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
            ++*counter;  // freed memory here would show under ASan
            return true;
        });
        while (counter->load() < 2) std::this_thread::yield();
        RemoveStatusListener(counter);
        removed.store(true);
        alive.reset();
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        ASSERT_EQ(lateCalls.load(), 0) << "round " << round;
    }
    stop.store(true);
    worker.join();
}

// A listener may remove itself from inside its own call without waiting for itself.
TEST(LoadingThreads, ListenerRemovingItselfDoesNotWaitForItself) {
    int token = 0;
    int calls = 0;
    AddStatusListener(&token, [&](int, int) {
        ++calls;
        RemoveStatusListener(&token);
        return true;
    });
    std::thread worker([] {
        BroadcastStatus(skLoadRows, 10);
        BroadcastStatus(skLoadRows, 20);
    });
    worker.join();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(HasStatusListeners());
}

// Two threads load the same file: the second waits in the arbitrator until
// the first has released the name.
TEST(LoadingThreads, SameFileWaitsForTheFirstLoad) {
    TTempFolder folder;
    const QString path = folder.Path() + "same.jpg";
    ASSERT_TRUE(WriteTestJpeg(path, MakePhotoLikeImage(128, 256)));
    const QString upper = path.toUpper();

    std::mutex m;
    std::condition_variable cv;
    bool firstInLoad = false, secondWaiting = false;
    struct TRecord { TFileArbitrator::TEvent Event; std::thread::id Thread; };
    std::vector<TRecord> records;  // written under the arbitrator's lock only
    FileArbitrator().SetObserver([&](TFileArbitrator::TEvent event, const QString& name) {
        if (name != upper) return;
        records.push_back({event, std::this_thread::get_id()});
        if (event == TFileArbitrator::feWaiting) {
            std::lock_guard<std::mutex> l(m);
            secondWaiting = true;
            cv.notify_all();
        }
    });

    bool firstTimedOut = false;
    bool firstLoaded = false, secondLoaded = false;
    std::thread::id firstId, secondId;
    std::thread first([&] {
        firstId = std::this_thread::get_id();
        bool waited = false;
        TProgressHookScope hook([&](int) {
            if (waited) return true;
            waited = true;
            std::unique_lock<std::mutex> l(m);
            firstInLoad = true;
            cv.notify_all();
            firstTimedOut = !cv.wait_for(l, 20s, [&] { return secondWaiting; });
            return true;
        });
        ImageInfo info;
        QString errorText;
        firstLoaded = LoadPicture(path, 0, false, errorText, info) != nullptr;
    });
    {
        std::unique_lock<std::mutex> l(m);
        cv.wait(l, [&] { return firstInLoad; });
    }
    std::thread second([&] {
        secondId = std::this_thread::get_id();
        ImageInfo info;
        QString errorText;
        secondLoaded = LoadPicture(path, 0, false, errorText, info) != nullptr;
    });
    first.join();
    second.join();
    FileArbitrator().SetObserver(nullptr);

    EXPECT_FALSE(firstTimedOut);
    EXPECT_TRUE(firstLoaded);
    EXPECT_TRUE(secondLoaded);
    ASSERT_EQ(records.size(), 5u);
    using A = TFileArbitrator;
    const std::pair<A::TEvent, std::thread::id> expected[] = {
        {A::feAcquired, firstId}, {A::feWaiting, secondId}, {A::feReleased, firstId},
        {A::feAcquired, secondId}, {A::feReleased, secondId}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(records[i].Event, expected[i].first) << i;
        EXPECT_EQ(records[i].Thread, expected[i].second) << i;
    }
    EXPECT_FALSE(FileArbitrator().IsBusy(path));
}
