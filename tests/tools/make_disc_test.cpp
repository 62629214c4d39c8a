// make-disc, run as a separate program the way a person runs it.
#include "suite/iprot/iprot.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include <QCoreApplication>
#include <QColorSpace>
#include <QColorTransform>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iterator>
#include <sys/mount.h>

namespace {

const QStringList AllLevelNames = {"Tiny", "Thumb", "Small", "Medium", "Large", "ExLarge"};
const QList<QSize> LandscapeBoxes = {{96, 64},    {192, 128},   {384, 256},
                                     {768, 512}, {1536, 1024}, {3072, 2048}};

// LUMORA_TOOLS_DIR names the tools folder; without it, the build tree's
// layout (<build>/tests/test_tools beside <build>/tools/) is assumed.
QString ToolPath() {
    const QString folder = qEnvironmentVariableIsEmpty("LUMORA_TOOLS_DIR")
                               ? QCoreApplication::applicationDirPath() + QStringLiteral("/../tools")
                               : qEnvironmentVariable("LUMORA_TOOLS_DIR");
    return QDir::cleanPath(folder + QStringLiteral("/make-disc"));
}

#define REQUIRE_TOOL()                                                              \
    do {                                                                            \
        if (!QFileInfo(ToolPath()).isExecutable())                                  \
            GTEST_SKIP() << "make-disc is not built: " << ToolPath().toStdString(); \
    } while (0)

struct TRun {
    int Exit = -1;
    QString Out, Err;
};

TRun RunTool(const QStringList& args) {
    QProcess process;
    process.start(ToolPath(), args);
    TRun run;
    if (!process.waitForStarted(30000)) return run;
    process.waitForFinished(600000);
    run.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.Err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QStringList Folders(const QString& path) {
    return QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList Files(const QString& path) {
    return QDir(path).entryList(QDir::Files, QDir::Name);
}

QSize ImageSize(const QString& path) { return QImageReader(path).size(); }

// Every file under Folder (hidden ones too) with its bytes, by relative path.
QMap<QString, QByteArray> Snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), ReadFileBytes(path));
    }
    return files;
}

// Working folders the tool left in Folder.
QStringList Leftovers(const QString& folder) {
    return QDir(folder).entryList({".make-disc-*"}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString Describe(const TRun& run) {
    return QStringLiteral("exit %1\nstdout:\n%2\nstderr:\n%3").arg(run.Exit).arg(run.Out, run.Err);
}

// A fake viewer: any file will do for the copy.
QString WriteFakeProgram(const TTempFolder& temp) {
    const QString path = temp.Write("bin/lumora", "#!/bin/sh\necho viewer\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

TEST(MakeDiscTest, HelpExplainsEveryOption) {
    REQUIRE_TOOL();
    const TRun run = RunTool({"--help"});
    ASSERT_EQ(run.Exit, 0) << Describe(run).toStdString();
    for (const char* option : {"--rolls", "--frames", "--sizes", "--photos", "--program", "--variants",
                               "--quality", "-j N", "--force", "--help", "DISC_FOLDER"})
        EXPECT_TRUE(run.Out.contains(QLatin1String(option))) << option;
    for (const QString& level : AllLevelNames) EXPECT_TRUE(run.Out.contains(level)) << level.toStdString();
}

TEST(MakeDiscTest, BadUsageExitsWithTwoAndWritesNothing) {
    REQUIRE_TOOL();
    TTempFolder temp;
    const QString disc = temp.Path() + "disc";
    const QString photos = temp.Make("photos");
    const QList<QStringList> cases = {
        {},
        {"--bogus", disc},
        {"--sizes", "Huge", disc},
        {"--sizes", ",", disc},
        {"--rolls", "0", disc},
        {"--frames", "many", disc},
        {"--quality", "101", disc},
        {"-j", "0", disc},
        {"--variants", disc},
        {"--force=yes", disc},
        {disc, temp.Path() + "second"},
        {"--photos", photos, "--rolls", "2", disc},
    };
    for (const QStringList& args : cases) {
        const TRun run = RunTool(args);
        EXPECT_EQ(run.Exit, 2) << args.join(' ').toStdString() << "\n" << Describe(run).toStdString();
        EXPECT_FALSE(run.Err.isEmpty()) << args.join(' ').toStdString();
        EXPECT_FALSE(QFileInfo::exists(disc)) << args.join(' ').toStdString();
    }
}

TEST(MakeDiscTest, SmallDemoDiscHasTheViewerLayoutAndFilmFrameNames) {
    REQUIRE_TOOL();
    TTempFolder temp;
    const QString program = WriteFakeProgram(temp);
    const QString disc = temp.Path() + "disc/";
    const TRun run = RunTool({"--rolls", "3", "--frames", "12", "--sizes", "Tiny,Thumb,Small", "--program",
                              program, "-j", "2", disc});
    ASSERT_EQ(run.Exit, 0) << Describe(run).toStdString();

    EXPECT_EQ(ReadFileBytes(disc + "Viewer/LMR/Lumora.ini"), QByteArray("[Config]\nFotavo=1\n"));
    EXPECT_EQ(ReadFileBytes(disc + "Viewer/LMR/lumora"), ReadFileBytes(program));
    EXPECT_TRUE(QFileInfo(disc + "Viewer/LMR/lumora").isExecutable());

    const QStringList rolls = Folders(disc + "Pictures");
    ASSERT_EQ(rolls.size(), 3) << rolls.join(", ").toStdString();
    int portraits = 0;
    for (const QString& roll : rolls) {
        EXPECT_TRUE(run.Out.contains(QStringLiteral("roll %1: 12 photos").arg(roll))) << run.Out.toStdString();
        const QString rollFolder = disc + "Pictures/" + roll + "/";
        EXPECT_EQ(Folders(rollFolder), QStringList({"Small", "Thumb", "Tiny"})) << roll.toStdString();
        const QStringList names = Files(rollFolder + "Tiny");
        ASSERT_EQ(names.size(), 12) << roll.toStdString();
        // Every size folder holds the same names: the viewer switches between them.
        EXPECT_EQ(Files(rollFolder + "Thumb"), names);
        EXPECT_EQ(Files(rollFolder + "Small"), names);

        QStringList frames;
        const QRegularExpression pattern("^([a-z0-9]+)-([0-9X]+A?)\\.jpg$");
        QString prefix;
        for (const QString& name : names) {
            const auto match = pattern.match(name);
            ASSERT_TRUE(match.hasMatch()) << name.toStdString();
            if (prefix.isEmpty()) prefix = match.captured(1);
            EXPECT_EQ(match.captured(1), prefix) << name.toStdString();
            frames << match.captured(2);
        }
        for (const char* leader : {"XX", "X", "00", "0", "1"})
            EXPECT_TRUE(frames.contains(QLatin1String(leader))) << roll.toStdString() << " " << leader;
        EXPECT_TRUE(std::any_of(frames.begin(), frames.end(), [](const QString& f) { return f.endsWith('A'); }))
            << frames.join(' ').toStdString();

        for (const QString& name : names) {
            const QSize tiny = ImageSize(rollFolder + "Tiny/" + name);
            const bool portrait = tiny == QSize(64, 96);
            portraits += portrait;
            for (int level = 0; level < 3; ++level) {
                const QString path = rollFolder + AllLevelNames[level] + "/" + name;
                const QSize box = portrait ? LandscapeBoxes[level].transposed() : LandscapeBoxes[level];
                EXPECT_EQ(ImageSize(path), box) << path.toStdString();
                EXPECT_TRUE(ReadFileBytes(path).startsWith("\xFF\xD8")) << path.toStdString();
            }
        }
    }
    EXPECT_GE(portraits, 1);
    EXPECT_LT(portraits, 36 / 2);
    EXPECT_TRUE(run.Out.contains("3 rolls, 36 photos, 108 files")) << run.Out.toStdString();
}

TEST(MakeDiscTest, FullSizeDemoWritesAllSixSizesAndOneRollWithGaps) {
    REQUIRE_TOOL();
    TTempFolder temp;
    const QString disc = temp.Path() + "disc/";
    const TRun run = RunTool({"--rolls", "2", "--frames", "2", "--program", WriteFakeProgram(temp), disc});
    ASSERT_EQ(run.Exit, 0) << Describe(run).toStdString();
    const QStringList rolls = Folders(disc + "Pictures");
    ASSERT_EQ(rolls.size(), 2);

    QStringList complete, gapped;
    for (const QString& roll : rolls) {
        const QString rollFolder = disc + "Pictures/" + roll + "/";
        const QStringList levels = Folders(rollFolder);
        if (levels.size() == 6) complete << roll;
        if (levels.size() == 4) {
            gapped << roll;
            EXPECT_FALSE(levels.contains("Medium"));
            EXPECT_FALSE(levels.contains("ExLarge"));
        }
        for (const QString& name : Files(rollFolder + "Tiny")) {
            const bool portrait = ImageSize(rollFolder + "Tiny/" + name) == QSize(64, 96);
            for (int level = 0; level < 6; ++level) {
                const QString path = rollFolder + AllLevelNames[level] + "/" + name;
                if (!levels.contains(AllLevelNames[level])) continue;
                const QSize box = portrait ? LandscapeBoxes[level].transposed() : LandscapeBoxes[level];
                EXPECT_EQ(ImageSize(path), box) << path.toStdString();
            }
            // The sizes are reductions of one picture, not crops: the overall colour agrees.
            const QImage tiny(rollFolder + "Tiny/" + name), large(rollFolder + "Large/" + name);
            ASSERT_FALSE(tiny.isNull());
            ASSERT_FALSE(large.isNull());
            EXPECT_TRUE(ColorNear(MeanColor(tiny, tiny.rect()), MeanColor(large, large.rect()), 8))
                << name.toStdString();
        }
    }
    EXPECT_EQ(complete.size(), 1);
    EXPECT_EQ(gapped.size(), 1);
}

TEST(MakeDiscTest, VariantsReplaceSomePlainFilesAndConvertBack) {
    REQUIRE_TOOL();
    TTempFolder temp;
    const QString disc = temp.Path() + "disc/";
    const TRun run = RunTool({"--rolls", "1", "--frames", "5", "--variants", "2", "--sizes", "Tiny,Thumb",
                              "--program", WriteFakeProgram(temp), disc});
    ASSERT_EQ(run.Exit, 0) << Describe(run).toStdString();
    const QString roll = disc + "Pictures/" + Folders(disc + "Pictures").value(0) + "/";
    for (const QString& level : QStringList{"Tiny", "Thumb"}) {
        int a = 0, b = 0, plain = 0;
        for (const QString& name : Files(roll + level)) {
            const QByteArray data = ReadFileBytes(roll + level + "/" + name);
            const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
            if (IProt::IsVariantAImage(bytes, data.size())) ++a;
            else if (IProt::IsVariantBImage(bytes, data.size())) ++b;
            else if (data.startsWith("\xFF\xD8")) ++plain;
            if (!data.startsWith("\xFF\xD8")) {
                QByteArray jpeg;
                unsigned flags = 99;
                ASSERT_TRUE(IProt::ConvertKnownJpegImage(bytes, data.size(), jpeg, flags)) << name.toStdString();
                EXPECT_EQ(flags, 0u);
                QImage image;
                EXPECT_TRUE(image.loadFromData(jpeg, "JPEG")) << name.toStdString();
                EXPECT_TRUE(level == QLatin1String("Tiny") ? (image.size() == QSize(96, 64) || image.size() == QSize(64, 96))
                                                           : (image.size() == QSize(192, 128) || image.size() == QSize(128, 192)))
                    << name.toStdString();
            }
        }
        EXPECT_EQ(a, 1) << level.toStdString();
        EXPECT_EQ(b, 1) << level.toStdString();
        EXPECT_EQ(plain, 3) << level.toStdString();
    }
}

struct TPhotoCase {
    const char* File;   // on the disc, in the roll
    QSize Sizes[6];     // Tiny .. ExLarge
};

TEST(MakeDiscTest, PhotosBecomeRollsUprightAndNeverEnlarged) {
    REQUIRE_TOOL();
    TTempFolder temp;
    const QString photos = temp.Make("photos");
    temp.Make("photos/Beach Day");
    temp.Make("photos/Zoo");
    // Beach Day: name order a, b, c. b is stored lying down (red band on the
    // left) with EXIF orientation 6, so upright it is portrait with red on top.
    ASSERT_TRUE(WriteTestJpeg(photos + "Beach Day/a.jpg", MakePhotoLikeImage(300, 200, 1)));
    const QByteArray lying = WithExifOrientation(
        EncodeTestJpeg(MakeBandImage(1800, 1200, {QColor(220, 30, 30), QColor(30, 30, 220)})), 6);
    temp.Write("photos/Beach Day/b.jpg", lying);
    ASSERT_TRUE(WriteTestJpeg(photos + "Beach Day/c.JPG", MakePhotoLikeImage(1000, 250, 3)));
    temp.Write("photos/Beach Day/notes.txt", "not a photo");
    // Zoo: numbers in names compare as numbers, so "photo 9" comes before "photo 10".
    ASSERT_TRUE(WriteTestJpeg(photos + "Zoo/photo 10.jpg", MakePhotoLikeImage(480, 640, 4)));
    ASSERT_TRUE(WriteTestJpeg(photos + "Zoo/photo 9.jpg", MakePhotoLikeImage(640, 480, 5)));
    temp.Make("photos/No Photos Here");

    const QString disc = temp.Path() + "disc/";
    const TRun run = RunTool({"--photos", photos, "--program", WriteFakeProgram(temp), "-j", "2", disc});
    ASSERT_EQ(run.Exit, 0) << Describe(run).toStdString();
    EXPECT_EQ(Folders(disc + "Pictures"), QStringList({"Beach Day", "Zoo"}));
    EXPECT_TRUE(run.Out.contains("roll Beach Day: 3 photos")) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains("roll Zoo: 2 photos")) << run.Out.toStdString();

    const QList<std::pair<QString, TPhotoCase>> cases = {
        {"Beach Day", {"beachday-1.jpg", {{96, 64}, {192, 128}, {300, 200}, {300, 200}, {300, 200}, {300, 200}}}},
        {"Beach Day",
         {"beachday-2.jpg", {{64, 96}, {128, 192}, {256, 384}, {512, 768}, {1024, 1536}, {1200, 1800}}}},
        {"Beach Day", {"beachday-3.jpg", {{96, 24}, {192, 48}, {384, 96}, {768, 192}, {1000, 250}, {1000, 250}}}},
        {"Zoo", {"zoo-1.jpg", {{85, 64}, {171, 128}, {341, 256}, {640, 480}, {640, 480}, {640, 480}}}},
        {"Zoo", {"zoo-2.jpg", {{64, 85}, {128, 171}, {256, 341}, {480, 640}, {480, 640}, {480, 640}}}},
    };
    for (const auto& [roll, c] : cases) {
        const QString rollFolder = disc + "Pictures/" + roll + "/";
        EXPECT_EQ(Folders(rollFolder).size(), 6);
        for (int level = 0; level < 6; ++level) {
            const QString path = rollFolder + AllLevelNames[level] + "/" + c.File;
            EXPECT_EQ(ImageSize(path), c.Sizes[level]) << path.toStdString();
        }
    }
    EXPECT_EQ(Files(disc + "Pictures/Beach Day/Large"),
              QStringList({"beachday-1.jpg", "beachday-2.jpg", "beachday-3.jpg"}));

    // Upright on the disc, with no orientation tag left to turn it again.
    const QString large = disc + "Pictures/Beach Day/Large/beachday-2.jpg";
    QImageReader reader(large);
    reader.setAutoTransform(true);
    const QImage upright = reader.read();
    ASSERT_EQ(upright.size(), QSize(1024, 1536));
    EXPECT_TRUE(ColorNear(MeanColor(upright, QRect(0, 100, 1024, 400)), QColor(220, 30, 30), 30));
    EXPECT_TRUE(ColorNear(MeanColor(upright, QRect(0, 1036, 1024, 400)), QColor(30, 30, 220), 30));
    EXPECT_FALSE(ReadFileBytes(large).contains(QByteArray("Exif\0\0", 6)));

    // The person's photos are only read.
    EXPECT_EQ(ReadFileBytes(photos + "Beach Day/b.jpg"), lying);
}

TEST(MakeDiscTest, UnreadablePhotosAreReportedSkippedAndTheRestRenumbered) {
    REQUIRE_TOOL();
    TTempFolder temp;
    const QString photos = temp.Make("My Trip");
    ASSERT_TRUE(WriteTestJpeg(photos + "1.jpg", MakePhotoLikeImage(300, 200, 1)));
    temp.Write("My Trip/2.jpg", "this is no JPEG at all");
    temp.Write("My Trip/3.jpg", EncodeTestJpeg(MakePhotoLikeImage(400, 300, 2)).left(40));
    ASSERT_TRUE(WriteTestJpeg(photos + "4.jpg", MakePhotoLikeImage(200, 300, 3)));

    const QString disc = temp.Path() + "disc/";
    const TRun run = RunTool({"--photos", photos, "--sizes", "Small", "--program", WriteFakeProgram(temp), disc});
    ASSERT_EQ(run.Exit, 0) << Describe(run).toStdString();
    // Named with the reason in the summary, and marked in the progress.
    EXPECT_TRUE(run.Out.contains("left out (2):")) << run.Out.toStdString();
    for (const char* name : {"2.jpg", "3.jpg"}) {
        EXPECT_TRUE(run.Out.contains(photos + name + ": cannot be read")) << run.Out.toStdString();
        EXPECT_TRUE(run.Err.contains(QStringLiteral(" %1 (left out)").arg(name))) << run.Err.toStdString();
    }
    EXPECT_TRUE(run.Out.contains("roll My Trip: 2 photos")) << run.Out.toStdString();
    const QString small = disc + "Pictures/My Trip/Small/";
    EXPECT_EQ(Files(small), QStringList({"mytrip-1.jpg", "mytrip-2.jpg"}));
    EXPECT_EQ(ImageSize(small + "mytrip-1.jpg"), QSize(300, 200));
    EXPECT_EQ(ImageSize(small + "mytrip-2.jpg"), QSize(200, 300));
}

TEST(MakeDiscTest, NothingToMakeADiscFromFailsWithAMessage) {
    REQUIRE_TOOL();
    struct TCase {
        const char* Name;
        const char* File;    // the only file of the folder; none when empty
        const char* Message;
    };
    const TCase cases[] = {
        {"empty folder", "", "no photos"},
        {"only other files", "notes.txt", "notes.txt: not a photo"},
        {"only unreadable JPEGs", "broken.jpg", "could be read"},
    };
    for (const TCase& c : cases) {
        TTempFolder temp;
        const QString photos = temp.Make("photos");
        if (*c.File) temp.Write(QStringLiteral("photos/") + c.File, "garbage");
        const QString disc = temp.Path() + "disc/";
        const TRun run = RunTool({"--photos", photos, "--program", WriteFakeProgram(temp), disc});
        EXPECT_EQ(run.Exit, 1) << c.Name << "\n" << Describe(run).toStdString();
        EXPECT_TRUE(run.Err.contains(QLatin1String(c.Message))) << c.Name << "\n" << run.Err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(disc)) << c.Name;
    }
    TTempFolder temp;
    const TRun missing = RunTool({"--photos", temp.Path() + "nowhere", temp.Path() + "disc"});
    EXPECT_EQ(missing.Exit, 1);
    EXPECT_TRUE(missing.Err.contains("does not exist")) << missing.Err.toStdString();
    const TRun noProgram = RunTool({"--program", temp.Path() + "nowhere", temp.Path() + "disc"});
    EXPECT_EQ(noProgram.Exit, 1);
    EXPECT_FALSE(QFileInfo::exists(temp.Path() + "disc"));
}

TEST(MakeDiscTest, SkinFilesBesideTheProgramGoIntoTheProgramFolder) {
    REQUIRE_TOOL();
    TTempFolder temp;
    const QString program = WriteFakeProgram(temp);
    temp.Write("bin/XLumRes.EN", "toolbar skin");
    temp.Write("bin/XLumRes.DE", "German toolbar skin");
    temp.Write("bin/Custom.EN", "logos");
    temp.Write("bin/notes.txt", "not a skin");
    const QString disc = temp.Path() + "disc/";
    const TRun run = RunTool({"--rolls", "1", "--frames", "1", "--sizes", "Tiny", "--program", program, disc});
    ASSERT_EQ(run.Exit, 0) << Describe(run).toStdString();
    EXPECT_EQ(Files(disc + "Viewer/LMR"),
              QStringList({"Custom.EN", "Lumora.ini", "XLumRes.DE", "XLumRes.EN", "lumora", "make-disc.txt"}));
    EXPECT_EQ(ReadFileBytes(disc + "Viewer/LMR/XLumRes.DE"), QByteArray("German toolbar skin"));
    EXPECT_TRUE(run.Out.contains("3 skin files")) << run.Out.toStdString();

    // Without skin files the disc is still written, with a warning.
    TTempFolder bare;
    const TRun warned = RunTool({"--rolls", "1", "--frames", "1", "--sizes", "Tiny", "--program",
                                 WriteFakeProgram(bare), bare.Path() + "disc"});
    ASSERT_EQ(warned.Exit, 0) << Describe(warned).toStdString();
    EXPECT_TRUE(warned.Err.contains("no skin files")) << warned.Err.toStdString();
}

TEST(MakeDiscTest, NonEmptyTargetNeedsForce) {
    REQUIRE_TOOL();
    TTempFolder temp;
    const QString disc = temp.Path() + "disc/";
    const QString keep = temp.Write("disc/keep.txt", "mine");
    const QStringList args = {"--rolls", "1", "--frames", "1", "--sizes", "Tiny", "--program",
                              WriteFakeProgram(temp)};

    const TRun refused = RunTool(args + QStringList{disc});
    EXPECT_EQ(refused.Exit, 1) << Describe(refused).toStdString();
    EXPECT_TRUE(refused.Err.contains("not empty")) << refused.Err.toStdString();
    EXPECT_TRUE(refused.Err.contains("--force")) << refused.Err.toStdString();
    EXPECT_EQ(Folders(disc), QStringList());

    const TRun forced = RunTool(args + QStringList{"--force", disc});
    ASSERT_EQ(forced.Exit, 0) << Describe(forced).toStdString();
    EXPECT_EQ(ReadFileBytes(keep), QByteArray("mine"));
    EXPECT_EQ(Folders(disc), QStringList({"Pictures", "Viewer"}));

    // An empty existing folder is fine without --force.
    const QString emptyDisc = temp.Make("empty");
    EXPECT_EQ(RunTool(args + QStringList{emptyDisc}).Exit, 0);

    const QString file = temp.Write("plain-file", "x");
    const TRun notFolder = RunTool(args + QStringList{"--force", file});
    EXPECT_EQ(notFolder.Exit, 1);
    EXPECT_TRUE(notFolder.Err.contains("not a folder")) << notFolder.Err.toStdString();
}

QByteArray EncodeWithQt(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95);
    return writer.write(image) ? bytes : QByteArray();
}

QImage Flat(int width, int height, QColor color, QImage::Format format = QImage::Format_RGB32) {
    QImage image(width, height, format);
    image.fill(color);
    return image;
}

TEST(MakeDiscTest, PngTiffAndProfiledPhotosAreTakenAndEveryOtherFileIsNamed) {
    REQUIRE_TOOL();
    TTempFolder temp;
    const QString photos = temp.Make("Lab");
    // Left half blue, right half transparent.
    QImage png = Flat(200, 150, Qt::transparent, QImage::Format_ARGB32);
    QPainter(&png).fillRect(0, 0, 100, 150, QColor(40, 120, 200));
    temp.Write("Lab/1 flat.png", EncodeWithQt(png, "png"));
    temp.Write("Lab/2 scan.tiff", EncodeWithQt(Flat(200, 150, QColor(200, 90, 40)), "tiff"));
    // A Display P3 photo: the same numbers mean another colour in sRGB.
    const QColor p3(220, 100, 70);  // inside sRGB, so no channel is clipped
    QImage wide = Flat(200, 150, p3);
    wide.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QByteArray wideJpeg = EncodeWithQt(wide, "jpeg");
    ASSERT_FALSE(QImage::fromData(wideJpeg).colorSpace() == QColorSpace(QColorSpace::SRgb));
    temp.Write("Lab/3 wide.jpg", wideJpeg);
    temp.Write("Lab/4 broken.jpg", "not a picture at all");
    temp.Write("Lab/.hidden.jpg", "ignored");

    struct TLeft {
        const char* File;
        QByteArray Bytes;
        const char* Reason;
    };
    const TLeft left[] = {
        {"4 broken.jpg", {}, "cannot be read"},
        {"IMG_0001.HEIC", "....ftypheic", "HEIC/HEIF photo"},
        {"IMG_0002.CR2", "II*\0\x10\0\0\0CR", "camera RAW file"},
        {"clip.mov", "....ftypqt  ", "a video"},
        {"notes.txt", "shopping list", "not a photo"},
        {"old.bmp", EncodeWithQt(Flat(8, 8, Qt::red), "bmp"), "BMP picture"},
    };
    for (const TLeft& l : left)
        if (!l.Bytes.isEmpty()) temp.Write(QStringLiteral("Lab/") + l.File, l.Bytes);

    const QString disc = temp.Path() + "disc/";
    const TRun run = RunTool({"--photos", photos, "--sizes", "Small", "-j", "1", "--program", WriteFakeProgram(temp), disc});
    ASSERT_EQ(run.Exit, 0) << Describe(run).toStdString();
    EXPECT_TRUE(run.Out.contains("roll Lab: 3 photos")) << run.Out.toStdString();

    // One progress line per photo, the unreadable one marked.
    for (const char* line : {"[Lab] 1/4 1 flat.png\n", "[Lab] 2/4 2 scan.tiff\n", "[Lab] 3/4 3 wide.jpg\n",
                             "[Lab] 4/4 4 broken.jpg (left out)\n"})
        EXPECT_TRUE(run.Err.contains(QLatin1String(line))) << line << "\n" << run.Err.toStdString();

    EXPECT_TRUE(run.Out.contains(QStringLiteral("left out (%1):").arg(std::size(left)))) << run.Out.toStdString();
    for (const TLeft& l : left)
        EXPECT_TRUE(run.Out.contains(QStringLiteral("  %1%2: %3").arg(photos, l.File, l.Reason)))
            << l.File << "\n" << run.Out.toStdString();
    EXPECT_FALSE(run.Out.contains(".hidden.jpg"));
    const QStringList lines = run.Out.trimmed().split('\n');
    EXPECT_TRUE(QRegularExpression("^disc size: [0-9.]+ MB, fits a CD \\(737\\.3 MB\\)$").match(lines.last()).hasMatch())
        << lines.last().toStdString();

    const QString small = disc + "Pictures/Lab/Small/";
    EXPECT_EQ(Files(small), QStringList({"lab-1.jpg", "lab-2.jpg", "lab-3.jpg"}));
    const QImage fromPng(small + "lab-1.jpg"), fromTiff(small + "lab-2.jpg"), fromWide(small + "lab-3.jpg");
    EXPECT_TRUE(ColorNear(MeanColor(fromPng, {10, 10, 80, 130}), QColor(40, 120, 200), 6));
    EXPECT_TRUE(ColorNear(MeanColor(fromPng, {110, 10, 80, 130}), Qt::white, 6)) << "transparency laid on white";
    EXPECT_TRUE(ColorNear(MeanColor(fromTiff, {10, 10, 180, 130}), QColor(200, 90, 40), 6));

    const QColor srgb = QColorSpace(QColorSpace::DisplayP3).transformationToColorSpace(QColorSpace::SRgb).map(p3);
    ASSERT_FALSE(ColorNear(srgb, p3, 15)) << "the test colour must move in the conversion";
    const QColor got = MeanColor(fromWide, {10, 10, 180, 130});
    EXPECT_TRUE(ColorNear(got, srgb, 6)) << got.name().toStdString() << " expected " << srgb.name().toStdString();
}

TEST(MakeDiscTest, ForceRerunWithFewerPhotosAndSizesLeavesNoStaleFile) {
    REQUIRE_TOOL();
    TTempFolder temp;
    const QString photos = temp.Make("photos");
    temp.Make("photos/Trip");
    for (int i = 1; i <= 4; ++i)
        ASSERT_TRUE(WriteTestJpeg(photos + QStringLiteral("Trip/%1.jpg").arg(i), MakePhotoLikeImage(120, 80, i)));
    temp.Make("photos/Zoo");
    ASSERT_TRUE(WriteTestJpeg(photos + "Zoo/z.jpg", MakePhotoLikeImage(80, 120, 9)));
    const QString disc = temp.Path() + "disc/";
    const QString program = WriteFakeProgram(temp);
    const TRun first = RunTool({"--photos", photos, "--sizes", "Tiny,Thumb,Small", "--program", program, disc});
    ASSERT_EQ(first.Exit, 0) << Describe(first).toStdString();
    ASSERT_EQ(Files(disc + "Pictures/Trip/Small").size(), 4);

    // The author's own files beside the disc's trees stay.
    temp.Write("disc/readme.txt", "my disc");
    temp.Write("disc/Extras/info.txt", "more");
    QFile::remove(photos + "Trip/3.jpg");
    QFile::remove(photos + "Trip/4.jpg");
    QDir(photos + "Zoo").removeRecursively();
    const TRun again = RunTool({"--photos", photos, "--sizes", "Tiny", "--program", program, "--force", disc});
    ASSERT_EQ(again.Exit, 0) << Describe(again).toStdString();

    const QStringList owned = {"Pictures/Trip/Tiny/trip-1.jpg", "Pictures/Trip/Tiny/trip-2.jpg",
                               "Viewer/LMR/Lumora.ini", "Viewer/LMR/lumora", "Viewer/LMR/make-disc.txt"};
    EXPECT_EQ(Snapshot(disc).keys(), QStringList({"Extras/info.txt"}) + owned + QStringList({"readme.txt"}));
    EXPECT_EQ(Folders(disc + "Pictures"), QStringList({"Trip"}));
    EXPECT_EQ(Folders(disc + "Pictures/Trip"), QStringList({"Tiny"}));
    EXPECT_EQ(ReadFileBytes(disc + "readme.txt"), QByteArray("my disc"));
    QStringList listed = QString::fromUtf8(ReadFileBytes(disc + "Viewer/LMR/make-disc.txt")).split('\n', Qt::SkipEmptyParts);
    listed.removeIf([](const QString& line) { return line.startsWith('#'); });
    EXPECT_EQ(listed, owned);
    EXPECT_EQ(Leftovers(temp.Path()), QStringList());
}

TEST(MakeDiscTest, ForceChangesNothingWhenTheTreesHoldWhatItDidNotWrite) {
    REQUIRE_TOOL();
    struct TCase {
        const char* Name;
        std::function<void(const TTempFolder&, const QString& disc)> Add;
        const char* Named;  // in the message
    };
    const TCase cases[] = {
        {"a note in a roll folder", [](const TTempFolder& t, const QString&) { t.Write("disc/Pictures/Coast 2019/notes.txt", "x"); },
         "Pictures/Coast 2019/notes.txt"},
        {"a file beside the viewer", [](const TTempFolder& t, const QString&) { t.Write("disc/Viewer/LMR/skin.ini", "x"); },
         "Viewer/LMR/skin.ini"},
        {"an empty folder", [](const TTempFolder& t, const QString&) { t.Make("disc/Pictures/Mine"); }, "Pictures/Mine/"},
        {"a link in a size folder",
         [](const TTempFolder& t, const QString& disc) {
             QFile::link(t.Write("elsewhere.jpg", "mine"), disc + "Pictures/Coast 2019/Tiny/extra.jpg");
         },
         "Pictures/Coast 2019/Tiny/extra.jpg"},
        {"trees without the tool's list",
         [](const TTempFolder&, const QString& disc) { QFile::remove(disc + "Viewer/LMR/make-disc.txt"); }, "Pictures/"},
    };
    for (const TCase& c : cases) {
        TTempFolder temp;
        const QString disc = temp.Path() + "disc/";
        const QStringList args = {"--rolls", "1", "--frames", "1", "--sizes", "Tiny", "--program", WriteFakeProgram(temp)};
        ASSERT_EQ(RunTool(args + QStringList{disc}).Exit, 0) << c.Name;
        c.Add(temp, disc);
        const auto before = Snapshot(disc);
        const TRun run = RunTool(args + QStringList{"--force", disc});
        EXPECT_EQ(run.Exit, 1) << c.Name << "\n" << Describe(run).toStdString();
        EXPECT_TRUE(run.Err.contains(QStringLiteral("\n  %1\n").arg(c.Named))) << c.Name << "\n" << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains("nothing was changed")) << c.Name;
        EXPECT_EQ(Snapshot(disc), before) << c.Name;
        EXPECT_EQ(Leftovers(temp.Path()), QStringList()) << c.Name;
    }
}

TEST(MakeDiscTest, AFailedOrInterruptedBuildLeavesTheDiscFolderAsItWas) {
    REQUIRE_TOOL();
    struct TCase {
        const char* Name;
        bool Existing;     // a disc is there before
        bool Interrupt;    // stopped with TERM after the first photo; else no photo can be read
    };
    const TCase cases[] = {
        {"unreadable photos over a disc", true, false},
        {"unreadable photos into a new folder", false, false},
        {"interrupted over a disc", true, true},
        {"interrupted into a new folder", false, true},
    };
    for (const TCase& c : cases) {
        TTempFolder temp;
        const QString program = WriteFakeProgram(temp);
        const QString disc = temp.Path() + "new/sub/disc/";
        if (c.Existing) {
            const TRun made = RunTool({"--rolls", "2", "--frames", "2", "--sizes", "Tiny", "--program", program, disc});
            ASSERT_EQ(made.Exit, 0) << c.Name << "\n" << Describe(made).toStdString();
        }
        const auto before = Snapshot(temp.Path() + "new");
        TRun run;
        if (c.Interrupt) {
            QProcess process;
            process.start(ToolPath(), {"--rolls", "1", "--frames", "200", "-j", "1", "--program", program, "--force", disc});
            process.setReadChannel(QProcess::StandardError);
            ASSERT_TRUE(process.waitForStarted(30000)) << c.Name;
            QByteArray err;
            while (!err.contains("] 1/200") && process.waitForReadyRead(60000)) err += process.readAllStandardError();
            ASSERT_TRUE(err.contains("] 1/200")) << c.Name << "\n" << err.toStdString();
            process.terminate();
            ASSERT_TRUE(process.waitForFinished(120000)) << c.Name;
            run.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
            run.Err = QString::fromLocal8Bit(err + process.readAllStandardError());
            EXPECT_TRUE(run.Err.contains("interrupted")) << c.Name << "\n" << run.Err.toStdString();
        } else {
            const QString photos = temp.Make("photos");
            temp.Write("photos/broken.jpg", "garbage");
            run = RunTool({"--photos", photos, "--program", program, "--force", disc});
        }
        EXPECT_EQ(run.Exit, 1) << c.Name << "\n" << Describe(run).toStdString();
        EXPECT_TRUE(run.Err.contains(c.Existing ? "nothing was changed" : "no disc was written"))
            << c.Name << "\n" << run.Err.toStdString();
        EXPECT_EQ(Snapshot(temp.Path() + "new"), before) << c.Name;
        // A new disc's folders above it go too, when the run made them.
        EXPECT_EQ(QFileInfo::exists(temp.Path() + "new"), c.Existing) << c.Name;
        EXPECT_EQ(Leftovers(temp.Path() + "new/sub"), QStringList()) << c.Name;
    }
}


namespace {
// A tmpfs mounted for the test, gone with the object; Error says why it
// could not be mounted.
struct TMount {
    explicit TMount(const QString& folder) : Folder(QFile::encodeName(folder)) {
        if (::mount("lumora-test", Folder.constData(), "tmpfs", 0, "size=64m") == 0)
            Mounted = true;
        else
            Error = std::strerror(errno);
    }
    ~TMount() {
        if (Mounted) ::umount2(Folder.constData(), MNT_DETACH);
    }
    bool ReadOnly() { return ::mount(nullptr, Folder.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
    QByteArray Folder;
    bool Mounted = false;
    std::string Error;
};
}  // namespace

TEST(MakeDiscTest, TheRootOfAFreshlyMountedFileSystemIsATarget) {
    REQUIRE_TOOL();
    if (!RunningAsRoot()) GTEST_SKIP() << "mounting a file system for the test needs root";
    struct TCase {
        const char* Name;
        bool ParentReadOnly;  // nothing can be made beside the stick, as under a root-owned /media/<user>
    } cases[] = {{"a fresh tmpfs", false}, {"a fresh tmpfs on a read-only file system", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempFolder temp;
        const QString photos = temp.Make("photos");
        for (int i = 1; i <= 2; ++i)
            ASSERT_TRUE(WriteTestJpeg(photos + QStringLiteral("%1.jpg").arg(i), MakePhotoLikeImage(120, 80, i)));
        const QString program = WriteFakeProgram(temp);
        const QString media = temp.Make("media");
        TMount outer(media);
        if (!outer.Mounted) GTEST_SKIP() << "cannot mount a tmpfs here: " << outer.Error;
        const QString stick = QDir(media).filePath("stick");
        ASSERT_TRUE(QDir().mkdir(stick));
        TMount inner(stick);
        if (!inner.Mounted) GTEST_SKIP() << "cannot mount a tmpfs here: " << inner.Error;
        if (c.ParentReadOnly) {
            ASSERT_TRUE(outer.ReadOnly());
        }

        const TRun run = RunTool({"--photos", photos, "--sizes", "Tiny", "--program", program, stick});
        ASSERT_EQ(run.Exit, 0) << Describe(run).toStdString();
        EXPECT_EQ(Folders(stick), QStringList({"Pictures", "Viewer"}));
        EXPECT_EQ(Files(stick + "/Pictures/photos/Tiny").size(), 2);
        EXPECT_EQ(Leftovers(stick), QStringList());
        EXPECT_EQ(Leftovers(media), QStringList());
    }
}

TEST(MakeDiscTest, ARunKilledAtAnyStepIsRemovedOrFinishedByTheNext) {
    REQUIRE_TOOL();
    struct TCase {
        const char* Step;
        bool Finished;  // the killed run's disc is the one the next run leaves
    } cases[] = {
        {"building", false},
        {"commit", true},
        {"swapped Pictures", true},
        {"placed Pictures", true},
        {"swapped Viewer", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Step);
        TTempFolder temp;
        const QString program = WriteFakeProgram(temp);
        const QString disc = temp.Path() + "disc/";
        const QStringList small = {"--frames", "1", "--sizes", "Tiny", "--program", program};
        ASSERT_EQ(RunTool(QStringList{"--rolls", "1"} + small + QStringList{disc}).Exit, 0);
        const auto before = Snapshot(disc);

        QProcess killed;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MAKE_DISC_TEST_STOP_AT", c.Step);
        killed.setProcessEnvironment(environment);
        killed.start(ToolPath(), QStringList{"--rolls", "2", "--force"} + small + QStringList{disc});
        killed.setReadChannel(QProcess::StandardError);
        ASSERT_TRUE(killed.waitForStarted(30000));
        QByteArray err;
        const QByteArray stop = QByteArray("test stop at ") + c.Step;
        while (!err.contains(stop) && killed.waitForReadyRead(60000)) err += killed.readAllStandardError();
        ASSERT_TRUE(err.contains(stop)) << err.toStdString();
        killed.kill();
        ASSERT_TRUE(killed.waitForFinished(30000));
        // Killed at any step, the disc holds each tree, old or new.
        EXPECT_TRUE(QFileInfo(disc + "Pictures").isDir());
        EXPECT_TRUE(QFileInfo(disc + "Viewer/LMR/make-disc.txt").isFile());

        // The next run deals with it first; this one then stops at its missing program.
        const TRun next = RunTool({"--rolls", "1", "--program", temp.Path() + "missing", disc});
        EXPECT_EQ(next.Exit, 1) << Describe(next).toStdString();
        EXPECT_TRUE(next.Err.contains(c.Finished ? "that is finished now" : "is removed")) << next.Err.toStdString();
        EXPECT_EQ(Folders(disc + "Pictures").size(), c.Finished ? 2 : 1);
        for (const QString& file : Snapshot(disc).keys()) EXPECT_FALSE(file.contains(".make-disc")) << file.toStdString();
        if (!c.Finished) {
            EXPECT_EQ(Snapshot(disc), before);
        }
        const TRun again = RunTool(QStringList{"--rolls", "1", "--force"} + small + QStringList{disc});
        EXPECT_EQ(again.Exit, 0) << Describe(again).toStdString();
        EXPECT_FALSE(again.Err.contains("earlier run")) << again.Err.toStdString();
    }
}

} // namespace
