// The grid demo on a disc made by make-disc: it fills in and leaves the two
// pictures people look at under build/screenshots/.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Tool(const char* name) {
    const QString folder = qEnvironmentVariableIsEmpty("LUMORA_TOOLS_DIR")
                               ? QCoreApplication::applicationDirPath() + QStringLiteral("/../tools")
                               : qEnvironmentVariable("LUMORA_TOOLS_DIR");
    return QDir::cleanPath(folder + '/' + QLatin1String(name));
}

int RunProgram(const QString& program, const QStringList& args, QString* out = nullptr) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted(30000) || !process.waitForFinished(120000)) return -1;
    if (out) *out = QString::fromLocal8Bit(process.readAllStandardOutput());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

TEST(LumoraGrid, FillsARollAndSavesItHalfAndWhollyFilled) {
    if (!QFileInfo(Tool("lumora-grid")).isExecutable()) GTEST_SKIP() << "lumora-grid is not built";
    QTemporaryDir disc;
    ASSERT_EQ(RunProgram(Tool("make-disc"), {"--rolls", "1", "--frames", "30", "--sizes", "Tiny,Medium",
                                      "--force", disc.path()}),
              0);
    const QString shots = QStringLiteral(LUMORA_SCREENSHOT_DIR);
    QFile::remove(shots + "/grid-half.png");
    QFile::remove(shots + "/grid-filled.png");
    QString out;
    ASSERT_EQ(RunProgram(Tool("lumora-grid"), {disc.path(), "--screenshots", shots}, &out), 0);
    EXPECT_TRUE(out.contains("30 of 30 thumbnails")) << out.toStdString();
    const QImage half(shots + "/grid-half.png"), filled(shots + "/grid-filled.png");
    ASSERT_FALSE(half.isNull());
    ASSERT_FALSE(filled.isNull());
    // The last icon of the first screen (row 4, column 6) is still a black box
    // when half are in, and a picture at the end.
    const QPoint last(8 + 5 * 78 + 39, 8 + 3 * 78 + 39);
    EXPECT_EQ(half.pixelColor(last), QColor(Qt::black));
    EXPECT_NE(filled.pixelColor(last), QColor(Qt::black));
}
