// make-disc, run as a separate program the way a person runs it.
#include "suite/iprot/iprot.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

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

QString Describe(const TRun& run) {
    return QStringLiteral("exit %1\nstdout:\n%2\nstderr:\n%3").arg(run.Exit).arg(run.Out, run.Err);
}

// A fake viewer: any file will do for the copy.
QString WriteFakeProgram(const TTempFolder& temp) {
    const QString path = temp.Write("bin/lumora", "#!/bin/sh\necho viewer\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

// The JPEG with an APP1 EXIF segment (big-endian TIFF, one IFD0 entry: the
// orientation) put in after SOI and APP0.
QByteArray WithExifOrientation(const QByteArray& jpeg, quint16 orientation) {
    QByteArray exif("\xFF\xE1", 2);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + QByteArray("MM\0\x2A\0\0\0\x08", 8) +
                               QByteArray("\0\x01", 2) +                         // one entry
                               QByteArray("\x01\x12\0\x03\0\0\0\x01", 8) +       // 0x0112 SHORT x1
                               QByteArray(1, char(orientation >> 8)) + QByteArray(1, char(orientation & 0xFF)) +
                               QByteArray(2, '\0') + QByteArray(4, '\0');       // no next IFD
    const int length = int(payload.size()) + 2;
    exif += char(length >> 8);
    exif += char(length & 0xFF);
    exif += payload;
    int at = 2;
    if (jpeg.size() > 6 && uchar(jpeg[2]) == 0xFF && uchar(jpeg[3]) == 0xE0)
        at = 4 + ((uchar(jpeg[4]) << 8) | uchar(jpeg[5]));
    return jpeg.left(at) + exif + jpeg.mid(at);
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
    EXPECT_TRUE(run.Err.contains("2.jpg")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("3.jpg")) << run.Err.toStdString();
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
        {"empty folder", "", "no JPEG"},
        {"only other files", "notes.txt", "no JPEG"},
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
        EXPECT_TRUE(Folders(disc + "Pictures").isEmpty()) << c.Name;
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
              QStringList({"Custom.EN", "Lumora.ini", "XLumRes.DE", "XLumRes.EN", "lumora"}));
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

} // namespace
