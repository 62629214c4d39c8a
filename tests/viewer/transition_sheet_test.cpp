// The transition sheets people judge the effects by: the test command leaves
// one per effect under build/screenshots/.
#include "viewer/transitions.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QString Tool(const char* name) {
    const QString folder = qEnvironmentVariableIsEmpty("LUMORA_TOOLS_DIR")
                               ? QCoreApplication::applicationDirPath() + QStringLiteral("/../tools")
                               : qEnvironmentVariable("LUMORA_TOOLS_DIR");
    return QDir::cleanPath(folder + '/' + QLatin1String(name));
}

} // namespace

TEST(TransitionSheet, WritesOneSheetPerEffectIntoTheScreenshotsFolder) {
    if (!QFileInfo(Tool("transition-sheet")).isExecutable()) GTEST_SKIP() << "transition-sheet is not built";
    const QDir shots(QStringLiteral(LUMORA_SCREENSHOT_DIR));
    for (const QString& old : shots.entryList({"transition-*.png"}, QDir::Files)) QFile::remove(shots.filePath(old));
    QProcess process;
    process.start(Tool("transition-sheet"), {shots.path()});
    ASSERT_TRUE(process.waitForFinished(300000));
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    const QStringList written = shots.entryList({"transition-*.png"}, QDir::Files, QDir::Name);
    ASSERT_EQ(written.size(), TransitionEffectCount) << written.join(' ').toStdString();
    int plainHeight = 0;
    for (const TTransitionEffect& effect : TransitionEffects) {
        const QStringList mine = shots.entryList({QStringLiteral("transition-%1-*.png").arg(effect.Number)});
        ASSERT_EQ(mine.size(), 1) << effect.Name;
        const QImage sheet(shots.filePath(mine.first()));
        ASSERT_FALSE(sheet.isNull()) << effect.Name;
        // Six frames of 360 in a row; a variant entry has one row per drawing.
        EXPECT_GE(sheet.width(), 6 * 360);
        if (!effect.Variant) {
            if (!plainHeight) plainHeight = sheet.height();
            EXPECT_EQ(sheet.height(), plainHeight) << effect.Name;
        } else {
            EXPECT_GE(sheet.height(), 3 * plainHeight) << effect.Name;
        }
    }
}
