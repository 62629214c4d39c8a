// The 3D progress bar: its range check and what it paints.
#include "imaging/hv3dprogressbar.h"
#include "support/screenshots.h"
#include <QApplication>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

QPalette FramePalette() {
    QPalette palette;
    palette.setColor(QPalette::Midlight, QColor(227, 227, 227));
    palette.setColor(QPalette::Shadow, QColor(0, 0, 0));
    return palette;
}

int Brightness(const QColor& c) { return c.red() + c.green() + c.blue(); }

} // namespace

TEST(Hv3dProgressBar, ProgressTakesZeroToHundredAndRaisesOutside) {
    THv3dProgressBar bar;
    EXPECT_EQ(bar.Progress(), 0);
    struct Case {
        int Value;
        bool Accepted;
    };
    for (const Case& c : {Case{100, true}, Case{101, false}, Case{-1, false}, Case{0, true}, Case{57, true},
                          Case{57, true}, Case{1000, false}}) {
        SCOPED_TRACE(c.Value);
        const int before = bar.Progress();
        try {
            bar.SetProgress(c.Value);
            EXPECT_TRUE(c.Accepted);
            EXPECT_EQ(bar.Progress(), c.Value);
        } catch (const EProgressRangeError& e) {
            EXPECT_FALSE(c.Accepted);
            EXPECT_EQ(e.Message(), "Progress out of range");
            EXPECT_EQ(bar.Progress(), before);
        }
    }
    // Also through the property the form script sets.
    EXPECT_TRUE(bar.setProperty("Progress", 40));
    EXPECT_EQ(bar.Progress(), 40);
    bar.SetBarColor(QColor(10, 20, 30));
    EXPECT_EQ(bar.property("BarColor").value<QColor>(), QColor(10, 20, 30));
}

TEST(Hv3dProgressBar, SunkenFrameAroundAWhiteWell) {
    const QImage image = THv3dProgressBar::Render(QSize(60, 16), 0, QColor(0, 153, 255), FramePalette());
    ASSERT_EQ(image.size(), QSize(60, 16));
    const QColor grey(128, 128, 128), light(227, 227, 227), shadow(0, 0, 0), white(255, 255, 255);
    for (int x = 0; x < 59; ++x) EXPECT_EQ(image.pixelColor(x, 0), grey) << x;
    for (int y = 0; y < 15; ++y) EXPECT_EQ(image.pixelColor(0, y), grey) << y;
    for (int y = 1; y < 16; ++y) EXPECT_EQ(image.pixelColor(59, y), light) << y;
    for (int x = 1; x < 60; ++x) EXPECT_EQ(image.pixelColor(x, 15), light) << x;
    for (int x = 1; x < 59; ++x) {
        EXPECT_EQ(image.pixelColor(x, 1), shadow) << x;
        EXPECT_EQ(image.pixelColor(x, 14), shadow) << x;
    }
    for (int y = 1; y < 15; ++y) {
        EXPECT_EQ(image.pixelColor(1, y), shadow) << y;
        EXPECT_EQ(image.pixelColor(58, y), shadow) << y;
    }
    for (int y = 2; y < 14; ++y)
        for (int x = 2; x < 58; ++x) ASSERT_EQ(image.pixelColor(x, y), white) << x << "," << y;
}

// The bar's length is nearest(width x progress / 100) - 3 columns from the
// well's left, its last column black; each row is one shade, darkest at the
// top and bottom and brightest in the middle, where a sheen lies over it.
TEST(Hv3dProgressBar, BarIsALitCylinderOfTheRightLength) {
    const QColor colour(0, 153, 255);
    struct Case {
        int Width, Progress, Length;
    };
    // 202 x 0.25 = 50.5 rounds to 50 (halves to even); 206 x 0.25 = 51.5 to 52.
    for (const Case& c : {Case{200, 50, 97}, Case{202, 25, 47}, Case{206, 25, 49}, Case{200, 100, 197},
                          Case{200, 1, -1}}) {
        SCOPED_TRACE(c.Width * 1000 + c.Progress);
        const QImage image = THv3dProgressBar::Render(QSize(c.Width, 18), c.Progress, colour, FramePalette());
        const int middle = 2 + (18 - 4) / 2 - 1;
        if (c.Length <= 0) {
            EXPECT_EQ(image.pixelColor(2, middle), QColor(Qt::white));
            continue;
        }
        const int end = 2 + c.Length - 1;  // the black closing column
        for (int y = 2; y < 16; ++y) EXPECT_EQ(image.pixelColor(end, y), QColor(Qt::black)) << y;
        EXPECT_NE(image.pixelColor(end - 1, middle), QColor(Qt::black));
        if (end + 1 < c.Width - 2) {
            EXPECT_EQ(image.pixelColor(end + 1, middle), QColor(Qt::white));
        }
        // The outer right edge stays the frame's, also at 100 percent.
        EXPECT_EQ(image.pixelColor(c.Width - 1, middle), QColor(227, 227, 227));
        // Each row is one shade across the bar.
        for (int y = 2; y < 16; ++y) EXPECT_EQ(image.pixelColor(2, y), image.pixelColor(end - 1, y)) << y;
        // Rising to the middle row, falling after it.
        for (int y = 3; y <= middle; ++y)
            EXPECT_GT(Brightness(image.pixelColor(2, y)), Brightness(image.pixelColor(2, y - 1))) << y;
        for (int y = middle + 1; y < 16; ++y)
            EXPECT_LT(Brightness(image.pixelColor(2, y)), Brightness(image.pixelColor(2, y - 1))) << y;
        // The middle row is the bar's colour (7 steps of colour / 7, here
        // (0, 147, 252)) under a white sheen: lighter, still the same blue.
        const QColor top = image.pixelColor(2, middle);
        EXPECT_GE(top.blue(), 252);
        EXPECT_GT(top.green(), 147);
        EXPECT_GT(top.red(), 0);
        EXPECT_LT(top.red(), top.green());
        EXPECT_LT(top.green(), top.blue());
        // Away from the sheen the shading is the bar's colour in steps.
        EXPECT_EQ(image.pixelColor(2, 2), QColor(0, 21, 36));
        EXPECT_EQ(image.pixelColor(2, middle + 2), QColor(0, 105, 180));
        EXPECT_EQ(image.pixelColor(2, 15), QColor(0, 0, 0));
    }
}

TEST(Hv3dProgressBar, ScreenshotsAtNoughtFortyAndAHundredPercent) {
    for (int percent : {0, 40, 100}) {
        QWidget window;
        window.setAutoFillBackground(true);
        window.resize(260, 40);
        auto* layout = new QVBoxLayout(&window);
        auto* bar = new THv3dProgressBar(&window);
        bar->SetBarColor(QColor(0, 153, 255));  // the full view's colour
        bar->setFixedHeight(18);
        bar->SetProgress(percent);
        layout->addWidget(bar);
        window.show();
        QApplication::processEvents();
        EXPECT_EQ(bar->grab().toImage().pixelColor(0, 0), QColor(128, 128, 128));
        EXPECT_TRUE(SaveScreenshot(window, QStringLiteral("progress-bar-%1").arg(percent)));
    }
}
