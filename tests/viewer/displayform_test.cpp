// The slideshow on a roll made by make-disc, with a frame clock that does
// not wait, so that transitions run at once.
#include "support/screenshots.h"
#include "viewer/displayform.h"
#include "viewer/windowfixture.h"
#include <QKeyEvent>
#include <QTest>
#include <QRegion>
#include <climits>
#include <deque>
#include <random>

namespace {

// Time moves only as far as the transition asks it to.
class TInstantClock : public TFrameClock {
public:
    std::chrono::microseconds Now() override { return FNow; }
    void SleepUntil(std::chrono::microseconds due) override { FNow = std::max(FNow, due); }

private:
    std::chrono::microseconds FNow{0};
};

class SlideshowTest : public TWindowFixture {
protected:
    void SetUp() override {
        TWindowFixture::SetUp();
        QCursor::setPos(100, 100);
    }
    // A roll of Frames photos, opened in the main window.
    TRoll* OpenRoll(int frames, const QString& sizes = "Tiny,Medium") {
        TLumoraFrm& w = Start(MakeDisc(1, {}, sizes, frames));
        return w.CurrentRoll();
    }
    // A show of Roll in a window of Size, not yet started.
    std::unique_ptr<TDisplayForm> MakeShow(TRoll* roll, bool collage, QSize size = QSize(800, 600)) {
        auto show = std::make_unique<TDisplayForm>();
        show->Clock = &Clock;
        show->Roll = roll;
        show->SlideStyle = collage ? 3 : 0;
        show->resize(size);
        show->PrevRect = show->rect();
        return show;
    }
    static int BrightPixels(const QImage& image, const QRect& area) {
        EXPECT_TRUE(image.rect().contains(area)) << "nothing painted there";
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); y += 4)
            for (int x = area.left(); x <= area.right(); x += 4)
                if (qGray(image.pixel(x, y)) > 20) ++n;
        return n;
    }
    TInstantClock Clock;
};

} // namespace

TEST(SlideDelayMs, TheIntervalIsKeptToOneSecondToAnHour) {
    const struct {
        int Seconds, Ms;
    } cases[] = {
        {1, 1100},       {5, 5100},          {0, 1100},       {-3, 1100},
        {INT_MIN, 1100}, {3600, 3600100},    {3601, 3600100}, {INT_MAX, 3600100},
    };
    for (const auto& c : cases) EXPECT_EQ(SlideDelayMs(c.Seconds), c.Ms) << c.Seconds;
}

TEST(SlideRect, HalvesUntilItFitsThenCentresOrScatters) {
    std::deque<int> answers;
    const TSlideRandom scripted = [&](int bound) {
        const int value = answers.front();
        answers.pop_front();
        EXPECT_LT(value, bound);
        return value;
    };
    EXPECT_EQ(SlideRect({3072, 2048}, {1024, 768}, false, scripted), QRect(128, 128, 768, 512));
    EXPECT_EQ(SlideRect({768, 512}, {1024, 768}, false, scripted), QRect(128, 128, 768, 512));
    answers = {0, 10, 20};  // half size, then the place
    EXPECT_EQ(SlideRect({768, 512}, {1024, 768}, true, scripted), QRect(10, 20, 384, 256));
    answers = {1, 255, 255};  // full size: anywhere up to the last place it fits whole
    EXPECT_EQ(SlideRect({768, 512}, {1024, 768}, true, scripted), QRect(255, 255, 768, 512));
    answers = {1};  // as wide and high as the screen: nowhere else to go
    EXPECT_EQ(SlideRect({1024, 768}, {1024, 768}, true, scripted), QRect(0, 0, 1024, 768));
}

TEST_F(SlideshowTest, TheFirstPhotoComesAtOnceTheNextAfterTheInterval) {
    AppState().SSInterval = 1;
    TRoll* roll = OpenRoll(3);
    auto show = MakeShow(roll, false);
    show->show();
    EXPECT_EQ(show->DelayTimer->interval(), 1);
    EXPECT_TRUE(show->DelayTimer->isActive());
    ASSERT_TRUE(WaitFor([&] { return show->CurrentSlide != nullptr; }));
    EXPECT_EQ(show->CurrentSlide, roll->Items(0));
    // Counted from the end of the step, so it waits the whole interval.
    EXPECT_EQ(show->DelayTimer->interval(), 1100);
    EXPECT_TRUE(show->DelayTimer->isActive());
    EXPECT_GT(BrightPixels(show->Canvas(), show->PrevRect), 0);
}

TEST_F(SlideshowTest, OnePhotoIsShownAgainAtEveryStep) {
    TRoll* roll = OpenRoll(1);
    auto show = MakeShow(roll, false);
    show->Started = true;
    for (int step = 0; step < 3; ++step) {
        show->DelayTimerTimer();
        EXPECT_EQ(show->CurrentSlide, roll->Items(0));
        EXPECT_FALSE(roll->Items(0)->Image);  // its cached picture freed after each step
    }
    EXPECT_EQ(show->NextIndex, 1);
}

TEST_F(SlideshowTest, PlainShowsOnlyTheCurrentPhotoCollageKeepsThemAll) {
    TRoll* roll = OpenRoll(3);
    for (bool collage : {false, true}) {
        SCOPED_TRACE(collage);
        auto show = MakeShow(roll, collage);
        // A fixed seed: the second photo lands where it leaves part of the first.
        std::mt19937 generator(7);
        show->Random = [&](int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(generator); };
        show->Started = true;
        show->DelayTimerTimer();
        const QRect first = show->PrevRect;
        show->DelayTimerTimer();
        const QImage canvas = show->Canvas();
        if (collage) {
            const QRegion firstOnly = QRegion(first).subtracted(QRegion(show->PrevRect));
            ASSERT_FALSE(firstOnly.isEmpty());
            int bright = 0;
            for (const QRect& part : firstOnly) bright += BrightPixels(canvas, part);
            EXPECT_GT(bright, 0);
            SaveScreenshot(*show, "slideshow-collage");
        } else {
            // Outside the current photo there is only black.
            QImage outside = canvas;
            QPainter(&outside).fillRect(show->PrevRect, Qt::black);
            EXPECT_EQ(BrightPixels(outside, outside.rect()), 0);
            SaveScreenshot(*show, "slideshow-plain");
        }
    }
}

TEST_F(SlideshowTest, FivePixelsOfMouseDoNotStopTheShowSixDo) {
    TRoll* roll = OpenRoll(2);
    auto show = MakeShow(roll, false);
    show->show();
    ASSERT_TRUE(WaitFor([&] { return show->Started; }));
    const QPoint start = show->StartPos;
    const auto moveTo = [&](QPoint at) {
        QCursor::setPos(at);
        QMouseEvent move(QEvent::MouseMove, show->mapFromGlobal(QPointF(at)), QPointF(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(show.get(), &move);
    };
    moveTo(start + QPoint(5, -5));
    EXPECT_FALSE(show->StopRequested);
    EXPECT_TRUE(show->StopCheck());
    moveTo(start + QPoint(0, 6));
    EXPECT_TRUE(show->StopRequested);
    EXPECT_TRUE(show->Closing);
}

TEST_F(SlideshowTest, AKeyHeldSinceTheStartDoesNotStopItAnyOtherKeyDoes) {
    TRoll* roll = OpenRoll(2);
    auto show = MakeShow(roll, false);
    show->show();
    ASSERT_TRUE(WaitFor([&] { return show->Started; }));
    QKeyEvent held(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, QString(), true);
    QCoreApplication::sendEvent(show.get(), &held);
    EXPECT_FALSE(show->StopRequested);
    QTest::keyClick(show.get(), Qt::Key_A);
    EXPECT_TRUE(show->StopRequested);
    EXPECT_TRUE(show->Closing);
}

TEST_F(SlideshowTest, AnEmptyRollSaysSoAndCloses) {
    TLumoraFrm& w = Start(MakeDisc(2));
    TRoll* roll = w.RollList.Items(0);
    roll->Media.clear();
    auto show = MakeShow(roll, false);
    show->show();
    ASSERT_TRUE(WaitFor([&] { return !show->isVisible(); }));
    EXPECT_EQ(Boxes, QStringList({"No image files found for this roll"}));
}

TEST_F(SlideshowTest, TheThumbnailLoaderRestsDuringTheShowAndRunsAfter) {
    TLumoraFrm& w = Start(MakeDisc(2, {}, "Tiny,Medium", 40));
    TRoll* roll = w.RollList.Items(0);
    w.SelectRoll(roll);
    ASSERT_NE(roll->Loader, nullptr);
    bool pausedDuringShow = false;
    // Once the show is up, a key ends it.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* show = qobject_cast<TDisplayForm*>(top); show && show->isVisible() && show->Started) {
                pausedDuringShow = roll->Loader && roll->Loader->Paused();
                poll.stop();
                QTest::keyClick(show, Qt::Key_Escape);
            }
    });
    poll.start(20);
    w.RunSlideShow();
    EXPECT_TRUE(pausedDuringShow);
    EXPECT_TRUE(!roll->Loader || !roll->Loader->Paused());
}

TEST_F(SlideshowTest, AShowStoppedBeforeItsWindowCameUpClosesAtOnce) {
    TRoll* roll = OpenRoll(2);
    TDisplayForm show;
    show.Clock = &Clock;
    QTest::keyClick(&show, Qt::Key_Space);  // before the window shows
    EXPECT_TRUE(show.Closing);
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(10000, &show, &QDialog::reject);  // never hang the suite
    show.RunShow(roll);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_FALSE(show.isVisible());
}
