// The fonts beside the program: registered at start-up, and "Arial" then
// resolves to Liberation Sans, the face of Arial's metrics.
#include "shell/appfonts.h"
#include "support/fixtures.h"
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(ProgramFonts, FontFilesAreRegisteredAndArialResolvesToLiberationSans) {
    TTempFolder temp;
    const QString fonts = temp.Make("fonts/");
    ASSERT_TRUE(QFile::copy("/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf", fonts + "LiberationSans-Bold.ttf"));
    ASSERT_TRUE(QFile::copy("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", fonts + "DejaVuSans.ttf"));
    temp.Write("fonts/broken.ttf", "no font at all");
    temp.Write("fonts/README", "not a font file name");
    // A disc could hold a FIFO named like a font: it is never opened, so nothing waits.
    ASSERT_EQ(mkfifo(QFile::encodeName(fonts + "pipe.ttf").constData(), 0600), 0);
    QFile::link("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", fonts + "link.ttf");

    EXPECT_EQ(RegisterProgramFonts(fonts), QStringList({"DejaVu Sans", "Liberation Sans"}));
    QFont arial(QStringLiteral("Arial"), 12, QFont::Bold);
    EXPECT_EQ(QFontInfo(arial).family(), QStringLiteral("Liberation Sans"));
    EXPECT_TRUE(RegisterProgramFonts(temp.Path() + "nowhere/").isEmpty());
    QFontDatabase::removeAllApplicationFonts();
}
