// make-disc with a viewer folder (--viewer): the folder goes onto the disc
// whole, and make-disc.txt names every file of it.
#include "support/fixtures.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Exit code and standard error of make-disc making a one-photo disc.
std::pair<int, QString> MakeDisc(const QStringList& args) {
    QProcess process;
    process.start(qEnvironmentVariable("LUMORA_TOOLS_DIR", QCoreApplication::applicationDirPath() + "/../tools") +
                      "/make-disc",
                  QStringList{"--rolls", "1", "--frames", "1", "--sizes", "Tiny"} + args);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
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
    const auto [exit, err] = MakeDisc({"--viewer", temp.Path() + "LMR", disc});
    ASSERT_EQ(exit, 0) << err.toStdString();
    QStringList expected = {"Viewer/LMR/Lumora.ini", "Viewer/LMR/make-disc.txt"};
    for (const QString& file : files) {
        expected << "Viewer/LMR/" + file;
        EXPECT_EQ(ReadFileBytes(disc + "Viewer/LMR/" + file), file.toUtf8()) << file.toStdString();
    }
    EXPECT_TRUE(QFileInfo(disc + "Viewer/LMR/lumora").isExecutable());
    const QStringList listed = QString::fromUtf8(ReadFileBytes(disc + "Viewer/LMR/make-disc.txt"))
                                   .split('\n')
                                   .filter(QRegularExpression("^Viewer/"));
    expected.sort();
    EXPECT_EQ(listed, expected);
}

TEST(MakeDiscViewerTest, AFolderWithoutTheProgramOrWithAProgramBesideIsRefused) {
    TTempFolder temp;
    temp.Write("LMR/qt.conf", "[Paths]\n");
    EXPECT_EQ(MakeDisc({"--viewer", temp.Path() + "LMR", temp.Path() + "disc"}).first, 1);
    EXPECT_EQ(MakeDisc({"--viewer", temp.Path() + "LMR", "--program", temp.Path() + "LMR/qt.conf", temp.Path() + "disc"}).first, 2);
    EXPECT_FALSE(QFileInfo::exists(temp.Path() + "disc"));
}
