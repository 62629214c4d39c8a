// The 3D progress bar: its range check and what it paints.
#include "imaging/hv3dprogressbar.h"
#include "support/screenshots.h"
#include <QApplication>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <vector>

namespace {

QPalette FramePalette() {
    QPalette palette;
    palette.setColor(QPalette::Midlight, QColor(227, 227, 227));
    palette.setColor(QPalette::Shadow, QColor(0, 0, 0));
    return palette;
}

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
// well's left, its last column black.
TEST(Hv3dProgressBar, BarHasTheRightLength) {
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
    }
}

// Each line of the bar is one colour: with H lines and half = H div 2, the
// step per channel is (that channel of BarColor) div half; from black the
// colour grows by the step on each line of the upper half and shrinks by it
// on each line of the lower half, never below 0. Nothing is drawn over it.
TEST(Hv3dProgressBar, EachLineHasTheDescribedColour) {
    const struct {
        QColor Bar;
        int Height;              // of the control; the bar has Height - 4 lines
        int Step[3];             // per channel
        std::vector<int> Steps;  // steps of colour on each line, from the top
    } cases[] = {
        // The full view's colour 16750592, 14 lines: half 7.
        {QColor(0, 153, 255), 18, {0, 21, 36}, {1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3, 2, 1, 0}},
        // The progress window's 16755370, 19 lines: the last would go below black.
        {QColor(170, 170, 255), 23, {18, 18, 28}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0}},
        {QColor(255, 255, 255), 10, {85, 85, 85}, {1, 2, 3, 2, 1, 0}},
        {QColor(200, 100, 50), 9, {100, 50, 25}, {1, 2, 1, 0, 0}},
        {QColor(10, 20, 30), 6, {10, 20, 30}, {1, 0}},
        {QColor(10, 20, 30), 5, {10, 20, 30}, {0}},  // no upper half at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Height);
        const QImage image = THv3dProgressBar::Render(QSize(60, c.Height), 50, c.Bar, FramePalette());
        ASSERT_EQ(c.Steps.size(), size_t(c.Height - 4));
        for (int line = 0; line < c.Height - 4; ++line) {
            const int k = c.Steps[size_t(line)];
            // The bar is 27 columns: 26 of colour, then the black line.
            for (int x = 2; x < 2 + 26; ++x)
                ASSERT_EQ(image.pixelColor(x, 2 + line), QColor(k * c.Step[0], k * c.Step[1], k * c.Step[2])) << line;
        }
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
