// xres-pack and make-skin, run as separate programs the way a person runs them.
#include "suite/xres/xres.h"
#include "support/fixtures.h"
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString Tool(const char* name) {
    const QString folder = qEnvironmentVariableIsEmpty("LUMORA_TOOLS_DIR")
                               ? QCoreApplication::applicationDirPath() + QStringLiteral("/../tools")
                               : qEnvironmentVariable("LUMORA_TOOLS_DIR");
    return QDir::cleanPath(folder + '/' + QLatin1String(name));
}

struct TRun {
    int Exit = -1;
    QString Out, Err;
};

TRun RunProgram(const char* tool, const QStringList& args) {
    QProcess process;
    process.start(Tool(tool), args);
    TRun run;
    if (!process.waitForStarted(30000)) {
        run.Err = QStringLiteral("could not start ") + Tool(tool);
        return run;
    }
    process.waitForFinished(300000);
    run.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.Err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QByteArray Jpeg(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return data;
}

// Every file under Folder, by relative path.
QMap<QString, QByteArray> Tree(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), ReadFileBytes(path));
    }
    return files;
}

} // namespace

TEST(XResPack, PackListUnpackRoundTripsAFolder) {
    TTempFolder temp;
    const QString source = temp.Make("skin");
    temp.Write("skin/JPEG/0001.jpg", Jpeg(90, 90, Qt::blue));
    temp.Write("skin/AJPG/0031.jpg", Jpeg(450, 90, Qt::red));     // five square frames
    temp.Write("skin/AJPG/0032.jpg", Jpeg(460, 90, Qt::green));   // not squares: one frame
    temp.Write("skin/AJPG/0091.4.jpg", Jpeg(400, 60, Qt::gray));  // four frames as named
    temp.Write("skin/FILE/0007.txt", "a template");
    temp.Write("skin/JP2X/0001.jpg", Jpeg(180, 180, Qt::blue));     // the twin of 0001
    temp.Write("skin/AJ2X/0031.jpg", Jpeg(900, 180, Qt::red));      // five frames, twice the size
    temp.Write("skin/AJ2X/0032.jpg", Jpeg(460, 90, Qt::green));     // not twice: ignored
    const QString file = temp.Path() + "XLumRes.EN";

    const TRun pack = RunProgram("xres-pack", {"pack", source, file});
    ASSERT_EQ(pack.Exit, 0) << pack.Err.toStdString();
    EXPECT_TRUE(pack.Out.contains("8 resources")) << pack.Out.toStdString();

    XRes::TXResFile container;
    ASSERT_TRUE(container.Open(file));
    const struct {
        const char* Type;
        const char* Name;
        int Frames;
    } expected[] = {{"JPEG", "0001", 1}, {"AJPG", "0031", 5}, {"AJPG", "0032", 1}, {"AJPG", "0091", 4},
                    {"FILE", "0007", 1}, {"JP2X", "0001", 1}, {"AJ2X", "0031", 5}};
    for (const auto& e : expected) {
        const XRes::TEntry* entry = container.Find(e.Type, e.Name);
        ASSERT_NE(entry, nullptr) << e.Type << "/" << e.Name;
        EXPECT_EQ(int(entry->Frames), e.Frames) << e.Type << "/" << e.Name;
    }

    const TRun list = RunProgram("xres-pack", {"list", file});
    ASSERT_EQ(list.Exit, 0) << list.Err.toStdString();
    EXPECT_TRUE(list.Out.contains(QRegularExpression("AJPG 0031 +5 "))) << list.Out.toStdString();
    EXPECT_TRUE(list.Out.contains(QRegularExpression("JP2X 0001 .* 2x of JPEG 0001\n"))) << list.Out.toStdString();
    EXPECT_TRUE(list.Out.contains(QRegularExpression("AJ2X 0031 .* 2x of AJPG 0031\n"))) << list.Out.toStdString();
    EXPECT_TRUE(list.Out.contains("2x, ignored: not twice AJPG 0032")) << list.Out.toStdString();

    const QString out = temp.Path() + "out.jpg";
    ASSERT_EQ(RunProgram("xres-pack", {"extract", file, "ajpg", "0031", out}).Exit, 0);
    EXPECT_EQ(ReadFileBytes(out), ReadFileBytes(source + "AJPG/0031.jpg"));

    // Unpacking and packing again gives the same file, byte for byte.
    const QString unpacked = temp.Path() + "unpacked";
    ASSERT_EQ(RunProgram("xres-pack", {"unpack", file, unpacked}).Exit, 0);
    EXPECT_EQ(Tree(unpacked).keys(), QStringList({"AJ2X/0031.jpg", "AJ2X/0032.jpg", "AJPG/0031.jpg", "AJPG/0032.jpg",
                                                  "AJPG/0091.4.jpg", "FILE/0007.bin", "JP2X/0001.jpg", "JPEG/0001.jpg"}));
    const QString again = temp.Path() + "again.EN";
    ASSERT_EQ(RunProgram("xres-pack", {"pack", unpacked, again}).Exit, 0);
    EXPECT_EQ(ReadFileBytes(again), ReadFileBytes(file));
}

TEST(XResPack, ACorruptedContainerIsRefusedWithAnError) {
    TTempFolder temp;
    temp.Write("skin/JPEG/0001.jpg", Jpeg(40, 40, Qt::blue));
    const QString file = temp.Path() + "skin.EN";
    ASSERT_EQ(RunProgram("xres-pack", {"pack", temp.Path() + "skin", file}).Exit, 0);
    QByteArray data = ReadFileBytes(file);
    QByteArray flipped = data;
    flipped[data.size() - 10] = char(flipped[data.size() - 10] ^ 0x20);
    const QString corrupt = temp.Write("corrupt.EN", flipped);
    const QString cut = temp.Write("cut.EN", data.left(data.size() / 2));
    for (const QString& bad : {corrupt, cut}) {
        for (const QStringList& args : {QStringList{"list", bad}, QStringList{"extract", bad, "JPEG", "0001", temp.Path() + "x"},
                                        QStringList{"unpack", bad, temp.Path() + "y"}}) {
            const TRun run = RunProgram("xres-pack", args);
            EXPECT_EQ(run.Exit, 1) << args.join(' ').toStdString();
            EXPECT_TRUE(run.Err.contains("no intact skin file")) << run.Err.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(temp.Path() + "x"));
}

TEST(XResPack, BadFoldersAndUsageAreRefused) {
    TTempFolder temp;
    const struct {
        const char* File;
        QByteArray Data;
        const char* Message;
    } cases[] = {
        {"JPEG/01.jpg", Jpeg(8, 8, Qt::red), "four of A-Z"},
        {"JPEG/0001.jpg", "not a picture", "not a JPEG"},
        {"AJPG/0001.3.jpg", Jpeg(100, 10, Qt::red), "can't hold 3"},
        {"AJPG/0001.0.jpg", Jpeg(100, 10, Qt::red), "no frame count"},
        {"TOOLONG/0001.jpg", Jpeg(8, 8, Qt::red), "four-character name"},
    };
    for (const auto& c : cases) {
        TTempFolder folder;
        folder.Write(QStringLiteral("skin/") + c.File, c.Data);
        const TRun run = RunProgram("xres-pack", {"pack", folder.Path() + "skin", folder.Path() + "out"});
        EXPECT_EQ(run.Exit, 1) << c.File;
        EXPECT_TRUE(run.Err.contains(c.Message)) << c.File << ": " << run.Err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(folder.Path() + "out")) << c.File;
    }
    for (const QStringList& args : {QStringList{}, QStringList{"pack", "x"}, QStringList{"frobnicate"}})
        EXPECT_EQ(RunProgram("xres-pack", args).Exit, 2) << args.join(' ').toStdString();
}

// The default skin: every picture the resource table names, with its frames.
TEST(MakeSkin, WritesBothGroupsWithEveryResourceOfTheTable) {
    TTempFolder temp;
    const TRun run = RunProgram("make-skin", {"--pictures", temp.Path() + "pictures", "--filmcans", temp.Path() + "cans", temp.Path()});
    ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
    const struct {
        const char* Group;
        const char* Type;
        QStringList Names;
    } table[] = {
        {"XLumRes", "JPEG", {"0001", "0002", "0003", "0004", "0006", "0011", "0012", "0013", "0014", "0016", "0070",
                             "0071", "0072", "0073", "0074", "0075", "0076", "0061", "0062", "0063", "0064", "0065",
                             "0066", "0041", "0042", "0043", "0051", "0052", "0053", "0096", "0097", "0100", "0101"}},
        {"XLumRes", "AJPG", {"0031", "0032", "0033", "0034", "0036", "0080", "0081", "0082", "0083", "0084", "0085", "0086"}},
        {"Custom", "AJPG", {"0091"}},
        {"Custom", "JPEG", {"0094", "0095", "0098", "0099"}},
    };
    for (const auto& group : table) {
        XRes::TXResFile file;
        QString error;
        ASSERT_TRUE(file.Open(temp.Path() + group.Group + ".EN", &error)) << error.toStdString();
        for (const QString& name : group.Names) {
            const XRes::TEntry* e = file.Find(group.Type, name.toLatin1());
            ASSERT_NE(e, nullptr) << group.Group << " " << group.Type << "/" << name.toStdString();
            QByteArray data = file.Data(*e);
            QBuffer buffer(&data);
            QImageReader reader(&buffer, "jpeg");
            const QSize size = reader.size();
            ASSERT_TRUE(size.isValid()) << name.toStdString();
            if (QByteArray(group.Type) == "AJPG") {
                EXPECT_GE(int(e->Frames), 5) << name.toStdString();
                EXPECT_LE(int(e->Frames), 12) << name.toStdString();
                EXPECT_EQ(size.width() % int(e->Frames), 0) << name.toStdString();
            } else {
                EXPECT_EQ(int(e->Frames), 1) << name.toStdString();
            }
            // Its twin: the same frames at twice the size.
            const XRes::TEntry* twin = file.Find(XRes::SharpType(group.Type), name.toLatin1());
            ASSERT_NE(twin, nullptr) << name.toStdString();
            QByteArray twinData = file.Data(*twin);
            QBuffer twinBuffer(&twinData);
            EXPECT_EQ(QImageReader(&twinBuffer, "jpeg").size(), size * 2) << name.toStdString();
            EXPECT_EQ(twin->Frames, e->Frames) << name.toStdString();
        }
    }
    // The pictures folder is what xres-pack builds the same skin from.
    for (const char* group : {"XLumRes", "Custom"}) {
        const QString repacked = temp.Path() + group + ".repacked";
        ASSERT_EQ(RunProgram("xres-pack", {"pack", temp.Path() + "pictures/" + group, repacked}).Exit, 0) << group;
        XRes::TXResFile made, packed;
        ASSERT_TRUE(made.Open(temp.Path() + group + ".EN"));
        ASSERT_TRUE(packed.Open(repacked));
        ASSERT_EQ(packed.Entries().size(), made.Entries().size()) << group;
        for (const XRes::TEntry& e : made.Entries()) {
            const XRes::TEntry* p = packed.Find(e.Type, e.Name);
            ASSERT_NE(p, nullptr) << group << " " << e.Name.constData();
            EXPECT_EQ(p->Frames, e.Frames) << group << " " << e.Name.constData();
            EXPECT_EQ(packed.Data(*p), made.Data(e)) << group << " " << e.Name.constData();
        }
    }
    for (const char* can : {"filmcan.png", "filmcan-hilight.png"})
        EXPECT_EQ(QImage(temp.Path() + "cans/" + can).size(), QSize(83, 87)) << can;
    for (const char* can : {"filmcan-2x.png", "filmcan-hilight-2x.png"})
        EXPECT_EQ(QImage(temp.Path() + "cans/" + can).size(), QSize(166, 174)) << can;
}
