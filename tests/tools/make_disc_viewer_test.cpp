// make-disc with a viewer folder (--viewer): the folder goes onto the disc
// whole, and make-disc.txt names every file of it.
#include "support/fixtures.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct TRun {
    int Exit = -1;
    QString Out, Err;
};

TRun MakeDisc(const QStringList& args) {
    QProcess process;
    process.start(QDir::cleanPath(qEnvironmentVariable("LUMORA_TOOLS_DIR",
                                                       QCoreApplication::applicationDirPath() + "/../tools") +
                                  "/make-disc"),
                  QStringList{"--rolls", "1", "--frames", "1", "--sizes", "Tiny"} + args);
    TRun run;
    if (!process.waitForFinished(120000)) return run;
    run.Exit = process.exitCode();
    run.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.Err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

} // namespace

TEST(MakeDiscViewerTest, TheViewerFolderGoesOnTheDiscWholeAndIsListed) {
    TTempFolder temp;
    const QStringList files = {"lumora", "qt.conf", "XLumRes.EN", "lib/libQt6Core.so.6",
                               "plugins/platforms/libqxcb.so", "fonts/DejaVuSans.ttf", "licenses/libqt6core6.copyright"};
    for (const QString& file : files) temp.Write("LMR/" + file, file.toUtf8());
    QFile::setPermissions(temp.Path() + "LMR/lumora", QFile::permissions(temp.Path() + "LMR/qt.conf") | QFileDevice::ExeOwner);
    // What a disc could plant is left out: a link to a file, a link to a folder, a FIFO.
    QFile::link("/etc/passwd", temp.Path() + "LMR/lib/libfake.so.1");
    QFile::link("/etc", temp.Path() + "LMR/plugins/etc");
    ASSERT_EQ(mkfifo(QFile::encodeName(temp.Path() + "LMR/fonts/pipe.ttf").constData(), 0600), 0);

    const QString disc = temp.Path() + "disc/";
    const TRun run = MakeDisc({"--viewer", temp.Path() + "LMR", disc});
    ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
    QStringList expected = {"Viewer/LMR/Lumora.ini", "Viewer/LMR/make-disc.txt"};
    for (const QString& file : files) {
        expected << "Viewer/LMR/" + file;
        EXPECT_EQ(ReadFileBytes(disc + "Viewer/LMR/" + file), file.toUtf8()) << file.toStdString();
    }
    EXPECT_TRUE(QFileInfo(disc + "Viewer/LMR/lumora").isExecutable());
    QStringList listed;
    for (const QString& line : QString::fromUtf8(ReadFileBytes(disc + "Viewer/LMR/make-disc.txt")).split('\n'))
        if (line.startsWith("Viewer/")) listed << line;
    expected.sort();
    EXPECT_EQ(listed, expected);
    EXPECT_TRUE(run.Out.contains("viewer folder")) << run.Out.toStdString();
}

TEST(MakeDiscViewerTest, AFolderWithoutTheProgramOrWithAProgramBesideIsRefused) {
    TTempFolder temp;
    temp.Write("LMR/qt.conf", "[Paths]\n");
    const TRun noProgram = MakeDisc({"--viewer", temp.Path() + "LMR", temp.Path() + "disc"});
    EXPECT_EQ(noProgram.Exit, 1);
    EXPECT_TRUE(noProgram.Err.contains("no viewer folder")) << noProgram.Err.toStdString();
    const TRun both = MakeDisc({"--viewer", temp.Path() + "LMR", "--program", temp.Path() + "LMR/qt.conf", temp.Path() + "disc"});
    EXPECT_EQ(both.Exit, 2);
    EXPECT_FALSE(QFileInfo::exists(temp.Path() + "disc"));
}
