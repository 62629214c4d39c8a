#include "viewer/transitions.h"
#include "imaging/iebitmap.h"
#include <QPainter>
#include <gtest/gtest.h>
#include <algorithm>
#include <deque>
#include <map>
#include <set>

namespace {

using enum TTransitionKind;
constexpr int KindCount = int(CircleHorizontalInterlace) + 1;

QImage Solid(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Every pixel different from its neighbours, so a picture moved by one pixel
// or drawn from the wrong place is caught.
QImage Ramp(QSize size, int seed) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed) % 256, (y * 11 + seed * 3) % 256, (x * 3 + y * 5) % 256));
    return image;
}

// The first effect number that gives each drawing.
std::map<TTransitionKind, int> NumberForEachKind() {
    std::map<TTransitionKind, int> numbers;
    for (int n = 0; n <= 16000; ++n) numbers.emplace(TransitionKindFor(n), n);
    return numbers;
}

// How much of Area shows white over black: 0 none, 1 all.
double WhiteShare(const QImage& image, const QRect& area) {
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) sum += qGray(image.pixel(x, y));
    return sum / (255.0 * area.width() * area.height());
}

QImage Frame(const TTransitionPlan& plan, const QImage& oldPicture, const QImage& newPicture, int step) {
    QImage frame(plan.Size(), QImage::Format_RGB32);
    QPainter p(&frame);
    plan.DrawStep(p, QPoint(0, 0), oldPicture, newPicture, step);
    return frame;
}

// A clock that moves only when slept on, or by Lag on every Now (a slow machine).
class TFakeClock final : public TFrameClock {
public:
    std::chrono::microseconds Now() override { return T += Lag; }
    void SleepUntil(std::chrono::microseconds due) override {
        ++Sleeps;
        T = std::max(T, due);
    }
    std::chrono::microseconds T{1000000};
    std::chrono::microseconds Lag{0};
    int Sleeps = 0;
};

// A scripted random source that records the bounds it was asked for.
struct TScript {
    std::deque<int> Values;
    std::vector<int> Bounds;
    TTransitionRandom Source() {
        return [this](int bound) {
            Bounds.push_back(bound);
            const int v = Values.front();
            Values.pop_front();
            return v;
        };
    }
};

} // namespace

TEST(TransitionChoice, PicksAnEntryOfTheShowAndDrawsVariantNumbersFromTheirRange) {
    struct Row {
        std::deque<int> values;
        int number;
        std::vector<int> bounds;
    };
    const Row rows[] = {
        {{0}, 2326, {13}},           {{1}, 2476, {13}},          {{12}, 12005, {13}},
        {{2, 0}, 2000, {13, 554}},   {{2, 553}, 2553, {13, 554}}, {{2, 326}, 2326, {13, 554}},
        {{6, 0}, 5000, {13, 263}},   {{6, 262}, 5262, {13, 263}}, {{5}, 5003, {13}},
    };
    for (const Row& row : rows) {
        TScript script{row.values, {}};
        EXPECT_EQ(ChooseTransitionEffect(script.Source()), row.number) << row.number;
        EXPECT_EQ(script.Bounds, row.bounds) << row.number;
    }
    // Every entry the show may take, and none other: 13 entries, so never
    // "Circle Horizontal Interlace".
    std::set<int> seen;
    for (int entry = 0; entry < ShowTransitionCount; ++entry) {
        TScript script{{entry, 1}, {}};
        seen.insert(ChooseTransitionEffect(script.Source()));
    }
    EXPECT_EQ(seen.size(), 13u);
    EXPECT_EQ(seen.count(15030), 0u);
    // The process-wide generator stays within the same numbers.
    for (int i = 0; i < 2000; ++i) {
        const int n = ChooseTransitionEffect();
        const bool inWipes = n >= 2000 && n <= 2553, inPushes = n >= 5000 && n <= 5262;
        EXPECT_TRUE(inWipes || inPushes || seen.count(n)) << n;
    }
}

TEST(TransitionKinds, EveryNumberOfTheVariantRangesDrawsADrawingOfItsFamily) {
    struct Range {
        int first, last;
        std::vector<TTransitionKind> family;
    };
    std::vector<TTransitionKind> wipes = RandomWipeKinds();
    wipes.push_back(WipeDiamonds);
    wipes.push_back(WipeSpin);
    const Range ranges[] = {{2000, 2553, wipes}, {5000, 5262, RandomPushKinds()}};
    const QSize size(24, 16);
    const QImage black = Solid(size, Qt::black), white = Solid(size, Qt::white);
    for (const Range& range : ranges) {
        std::set<TTransitionKind> drawn;
        for (int n = range.first; n <= range.last; ++n) {
            const TTransitionPlan plan(n, size);
            ASSERT_NE(std::find(range.family.begin(), range.family.end(), plan.Kind()), range.family.end()) << n;
            drawn.insert(plan.Kind());
            // Half way it shows some of each picture; at the end the new one.
            const double half = WhiteShare(Frame(plan, black, white, plan.Steps() / 2), QRect(QPoint(), size));
            EXPECT_GT(half, 0.05) << n;
            EXPECT_LT(half, 0.95) << n;
            EXPECT_EQ(Frame(plan, black, white, plan.Steps()), white) << n;
        }
        // Every drawing of the family turns up somewhere in the range.
        EXPECT_EQ(drawn.size(), range.family.size()) << range.first;
    }
}

TEST(TransitionFrames, EveryDrawingGoesFromTheOldPictureToTheNewInGrowingVisibleSteps) {
    const auto numbers = NumberForEachKind();
    ASSERT_EQ(int(numbers.size()), KindCount);
    const QSize size(96, 64);
    const QImage black = Solid(size, Qt::black), white = Solid(size, Qt::white);
    const QImage oldRamp = Ramp(size, 1), newRamp = Ramp(size, 90);
    const QRect area(QPoint(13, 9), size);
    for (const auto& [kind, number] : numbers) {
        SCOPED_TRACE(TransitionKindDescription(kind));
        const TTransitionPlan plan(number, size);
        EXPECT_EQ(plan.Kind(), kind);
        const int steps = plan.Steps();
        if (kind == PlainCopy) {
            EXPECT_EQ(steps, 1);
        } else {
            // Between about half a second and a second.
            EXPECT_GE(plan.Duration().count(), 500);
            EXPECT_LE(plan.Duration().count(), 1000);
        }
        double previous = -1;
        std::set<int> shares;
        for (int step = 0; step <= steps; ++step) {
            // Drawn at an offset into a larger canvas: nothing outside the
            // rectangle may change.
            QImage canvas = Solid(QSize(122, 82), QColor(255, 0, 255));
            QPainter p(&canvas);
            plan.DrawStep(p, area.topLeft(), black, white, step);
            p.end();
            EXPECT_EQ(canvas.copy(0, 0, 122, area.top()), Solid(QSize(122, area.top()), QColor(255, 0, 255)));
            EXPECT_EQ(canvas.copy(0, area.bottom() + 1, 122, 82 - area.bottom() - 1),
                      Solid(QSize(122, 82 - area.bottom() - 1), QColor(255, 0, 255)));
            EXPECT_EQ(canvas.copy(0, 0, area.left(), 82), Solid(QSize(area.left(), 82), QColor(255, 0, 255)));
            EXPECT_EQ(canvas.copy(area.right() + 1, 0, 122 - area.right() - 1, 82),
                      Solid(QSize(122 - area.right() - 1, 82), QColor(255, 0, 255)));
            const double share = WhiteShare(canvas, area);
            // The new picture only ever gains ground.
            EXPECT_GE(share, previous - 1e-9) << "step " << step;
            previous = share;
            shares.insert(int(share * 1000));
        }
        // Not a jump: most steps show something the previous one did not.
        EXPECT_GE(int(shares.size()), steps / 2 + 1);
        // Step 0 is the old picture and the last step the new one, pixel for pixel.
        EXPECT_EQ(Frame(plan, oldRamp, newRamp, 0), oldRamp);
        EXPECT_EQ(Frame(plan, oldRamp, newRamp, steps), newRamp);
        EXPECT_EQ(Frame(plan, oldRamp, newRamp, -3), oldRamp);
        EXPECT_EQ(Frame(plan, oldRamp, newRamp, steps + 3), newRamp);
    }
}

TEST(TransitionFrames, EachDrawingStartsWhereItsNameSays) {
    // A third of the way in, where the new picture already shows and where
    // the old one still does (fractions of width and height).
    struct Row {
        TTransitionKind kind;
        QPointF newAt, oldAt;
    };
    const Row rows[] = {
        {WipeFromLeft, {0.05, 0.5}, {0.95, 0.5}},        {WipeFromRight, {0.95, 0.5}, {0.05, 0.5}},
        {WipeFromTop, {0.5, 0.05}, {0.5, 0.95}},         {WipeFromBottom, {0.5, 0.95}, {0.5, 0.05}},
        {WipeFromTopLeft, {0.05, 0.05}, {0.95, 0.95}},   {WipeFromBottomRight, {0.95, 0.95}, {0.05, 0.05}},
        {SplitOutVertical, {0.5, 0.05}, {0.02, 0.5}},    {SplitOutHorizontal, {0.05, 0.5}, {0.5, 0.02}},
        {BoxOut, {0.5, 0.5}, {0.02, 0.02}},              {CircleOut, {0.5, 0.5}, {0.02, 0.98}},
        {CircleIn, {0.02, 0.98}, {0.5, 0.5}},            {DiamondOut, {0.5, 0.5}, {0.02, 0.02}},
        {WipeDiamonds, {0.111, 0.167}, {0.9, 0.9}},          {WipeSpin, {0.55, 0.1}, {0.45, 0.1}},
        {SpinSymmetric, {0.55, 0.1}, {0.45, 0.1}},         {SpinClockwise, {0.5, 0.5}, {0.02, 0.02}},
        {PushDown, {0.5, 0.05}, {0.5, 0.95}},            {PushUp, {0.5, 0.95}, {0.5, 0.05}},
        {PushRight, {0.05, 0.5}, {0.95, 0.5}},           {PushLeft, {0.95, 0.5}, {0.05, 0.5}},
        {SlideDiagonal, {0.05, 0.05}, {0.95, 0.95}},     {MeltLeft, {0.95, 0.05}, {0.05, 0.95}},
        {MeltRight, {0.05, 0.05}, {0.95, 0.95}},         {CircleHorizontalInterlace, {0.5, 0.5}, {0.02, 0.02}},
        {SlideSquaresIn, {0.05, 0.05}, {0.95, 0.95}},
    };
    const auto numbers = NumberForEachKind();
    const QSize size(120, 80);
    const QImage black = Solid(size, Qt::black), white = Solid(size, Qt::white);
    for (const Row& row : rows) {
        SCOPED_TRACE(TransitionKindDescription(row.kind));
        const TTransitionPlan plan(numbers.at(row.kind), size);
        const QImage frame = Frame(plan, black, white, plan.Steps() / 3);
        const auto at = [&](QPointF f) { return QPoint(int(f.x() * size.width()), int(f.y() * size.height())); };
        EXPECT_EQ(frame.pixelColor(at(row.newAt)), QColor(Qt::white));
        EXPECT_EQ(frame.pixelColor(at(row.oldAt)), QColor(Qt::black));
    }
}

TEST(TransitionFrames, PushesAndSlidesMoveThePicturesWholeWhileWipesKeepThemInPlace) {
    const QSize size(100, 60);
    const QImage oldRamp = Ramp(size, 1), newRamp = Ramp(size, 90);
    const auto numbers = NumberForEachKind();
    // Push down: the new picture's bottom rows above the old picture's top rows.
    {
        const TTransitionPlan plan(5003, size);
        const QImage frame = Frame(plan, oldRamp, newRamp, plan.Steps() / 2);
        int seam = 0;
        while (seam < size.height() && frame.copy(0, seam, 100, 1) != oldRamp.copy(0, 0, 100, 1)) ++seam;
        ASSERT_GT(seam, 0);
        ASSERT_LT(seam, size.height());
        EXPECT_EQ(frame.copy(0, 0, 100, seam), newRamp.copy(0, size.height() - seam, 100, seam));
        EXPECT_EQ(frame.copy(0, seam, 100, size.height() - seam), oldRamp.copy(0, 0, 100, size.height() - seam));
    }
    // Slide diagonal: the old picture stays where it is, the new one's
    // bottom-right part sits at the top left.
    {
        const TTransitionPlan plan(6004, size);
        const QImage frame = Frame(plan, oldRamp, newRamp, plan.Steps() / 2);
        EXPECT_EQ(frame.copy(90, 50, 10, 10), oldRamp.copy(90, 50, 10, 10));
        QPoint offset(-1, -1);
        for (int dy = 0; dy < 50; ++dy)
            for (int dx = 0; dx < 90; ++dx)
                if (frame.copy(0, 0, 10, 10) == newRamp.copy(dx, dy, 10, 10)) offset = QPoint(dx, dy);
        EXPECT_GT(offset.x(), 10);
        EXPECT_GT(offset.y(), 5);
    }
    // Wipes show each picture in its own place: every pixel is the old one's
    // or the new one's at the same position, or between the two at the edge.
    for (TTransitionKind kind : {WipeFromLeft, CircleOut, WipeSpin, RandomBlocks, RandomLines}) {
        SCOPED_TRACE(TransitionKindDescription(kind));
        const TTransitionPlan plan(numbers.at(kind), size);
        const QImage frame = Frame(plan, oldRamp, newRamp, plan.Steps() / 2);
        int exact = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const QRgb f = frame.pixel(x, y), o = oldRamp.pixel(x, y), n = newRamp.pixel(x, y);
                if (f == o || f == n) ++exact;
                EXPECT_LE(qRed(f), std::max(qRed(o), qRed(n)) + 1);
                EXPECT_GE(qRed(f), std::min(qRed(o), qRed(n)) - 1);
            }
        EXPECT_GT(exact, size.width() * size.height() / 2);
    }
}

TEST(TransitionFrames, RandomPlacementFollowsTheSeed) {
    const QSize size(90, 60);
    const QImage black = Solid(size, Qt::black), white = Solid(size, Qt::white);
    for (int number : {12004, 12005, 12000}) {
        const TTransitionPlan a(number, size, 5), b(number, size, 5), c(number, size, 6);
        const int step = a.Steps() / 2;
        EXPECT_EQ(Frame(a, black, white, step), Frame(b, black, white, step)) << number;
        EXPECT_NE(Frame(a, black, white, step), Frame(c, black, white, step)) << number;
    }
}

class PaintTransitionTest : public ::testing::Test {
protected:
    void SetUp() override {
        Canvas = Ramp(QSize(200, 150), 40);
        Before = Canvas.copy();
        Hooks.Clock = &Clock;
        Hooks.Present = [this](const QRect& r) {
            Presented.push_back(r);
            PresentTimes.push_back(Clock.T);
        };
        Hooks.StopCheck = [this] {
            ++StopChecks;
            return StopChecks < StopAfter;
        };
    }

    // What a plain paint of Photo into Rect would leave on the canvas.
    QImage PlainPaint(const QImage& photo) const {
        QImage expected = Before.copy();
        QPainter p(&expected);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(Rect, photo);
        return expected;
    }

    void ExpectOutsideUntouched() const {
        for (int y = 0; y < Canvas.height(); ++y)
            for (int x = 0; x < Canvas.width(); ++x)
                if (!Rect.contains(x, y)) {
                    ASSERT_EQ(Canvas.pixel(x, y), Before.pixel(x, y)) << x << "," << y;
                }
    }

    QImage Canvas, Before;
    const QRect Rect{30, 20, 120, 80};
    TFakeClock Clock;
    TTransitionHooks Hooks;
    std::vector<QRect> Presented;
    std::vector<std::chrono::microseconds> PresentTimes;
    int StopChecks = 0;
    int StopAfter = 1000000;
};

TEST_F(PaintTransitionTest, ShowsEveryStepOnTimeAndEndsWithThePhotoExactlyInItsRectangle) {
    const QImage photo = Ramp(QSize(240, 160), 7);
    const TTransitionPlan plan(2326, Rect.size());
    const auto start = Clock.T;
    EXPECT_EQ(PaintTransition(Canvas, Rect, photo, 2326, Hooks), TTransitionEnd::Completed);
    ASSERT_EQ(int(Presented.size()), plan.Steps());
    for (const QRect& r : Presented) EXPECT_EQ(r, Rect);
    // Asked between two steps, never after the last; one step time apart.
    EXPECT_EQ(StopChecks, plan.Steps() - 1);
    for (size_t i = 0; i < PresentTimes.size(); ++i)
        EXPECT_EQ(PresentTimes[i] - start, std::chrono::microseconds(TransitionStepTime) * int(i));
    EXPECT_EQ(Canvas, PlainPaint(photo));
    ExpectOutsideUntouched();
}

TEST_F(PaintTransitionTest, ABitmapEndsAsTheBitmapsOwnPaintLeavesIt) {
    TIEBitmap bitmap;
    bitmap.AssignImage(Ramp(QSize(60, 40), 3));
    QImage expected = Before.copy();
    {
        QPainter p(&expected);
        bitmap.Draw(p, Rect);
    }
    EXPECT_EQ(PaintTransition(Canvas, Rect, bitmap, 12000, Hooks), TTransitionEnd::Completed);
    EXPECT_EQ(Canvas, expected);
    ExpectOutsideUntouched();
}

TEST_F(PaintTransitionTest, AStopEndsTheEffectAfterTheStepJustShown) {
    const QImage photo = Ramp(Rect.size(), 7);
    StopAfter = 3;  // the third question says stop
    EXPECT_EQ(PaintTransition(Canvas, Rect, photo, 12005, Hooks), TTransitionEnd::Stopped);
    EXPECT_EQ(Presented.size(), 3u);
    EXPECT_EQ(StopChecks, 3);
    // The canvas holds step 3, not the photo.
    const TTransitionPlan plan(12005, Rect.size());
    EXPECT_EQ(Canvas.copy(Rect), Frame(plan, Before.copy(Rect), photo, 3));
    EXPECT_NE(Canvas, PlainPaint(photo));
    ExpectOutsideUntouched();
}

TEST_F(PaintTransitionTest, ASlowMachineShowsFewerStepsButTheTransitionKeepsItsLengthAndEnd) {
    const QImage photo = Ramp(Rect.size(), 7);
    Clock.Lag = std::chrono::microseconds(20000);  // every look at the clock costs 20 ms
    const TTransitionPlan plan(4000, Rect.size());
    EXPECT_EQ(PaintTransition(Canvas, Rect, photo, 4000, Hooks), TTransitionEnd::Completed);
    EXPECT_LT(int(Presented.size()), plan.Steps() * 3 / 4);
    EXPECT_GE(int(Presented.size()), plan.Steps() / 4);
    EXPECT_EQ(Canvas, PlainPaint(photo));
}

TEST_F(PaintTransitionTest, OnAPainterTheOldPictureIsGivenAndANullOneIsBlack) {
    const QImage photo = Ramp(Rect.size(), 7);
    StopAfter = 2;
    {
        QPainter p(&Canvas);
        EXPECT_EQ(PaintTransition(p, Rect, QImage(), photo, 5003, Hooks), TTransitionEnd::Stopped);
    }
    // Half of push down's first two steps: the rows not yet reached are
    // black old picture, moved down.
    EXPECT_EQ(Canvas.pixelColor(Rect.bottomRight()), QColor(Qt::black));
    EXPECT_EQ(Canvas.pixelColor(Rect.bottomLeft()), QColor(Qt::black));
    ExpectOutsideUntouched();

    StopAfter = 1000000;
    Canvas = Before.copy();
    {
        QPainter p(&Canvas);
        EXPECT_EQ(PaintTransition(p, Rect, Before.copy(Rect), photo, 5003, Hooks), TTransitionEnd::Completed);
    }
    EXPECT_EQ(Canvas, PlainPaint(photo));
}

TEST_F(PaintTransitionTest, NoPhotoOrNoRoomDrawsNothing) {
    TIEBitmap empty;
    EXPECT_EQ(PaintTransition(Canvas, Rect, empty, 2326, Hooks), TTransitionEnd::NoPicture);
    EXPECT_EQ(PaintTransition(Canvas, Rect, QImage(), 2326, Hooks), TTransitionEnd::NoPicture);
    EXPECT_EQ(PaintTransition(Canvas, QRect(30, 20, 0, 80), Ramp(QSize(8, 8), 1), 2326, Hooks),
              TTransitionEnd::NoPicture);
    QImage indexed(200, 150, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    indexed.fill(1);
    const QImage indexedBefore = indexed.copy();
    EXPECT_EQ(PaintTransition(indexed, Rect, Ramp(QSize(8, 8), 1), 2326, Hooks), TTransitionEnd::NoPicture);
    EXPECT_EQ(indexed, indexedBefore);
    EXPECT_TRUE(Presented.empty());
    EXPECT_EQ(StopChecks, 0);
    EXPECT_EQ(Canvas, Before);
}

TEST(FrameClock, TheSteadyClockSleepsUntilTheTimeAsked) {
    TFrameClock& clock = SteadyFrameClock();
    const auto due = clock.Now() + std::chrono::microseconds(3000);
    clock.SleepUntil(due);
    EXPECT_GE(clock.Now(), due);
    const auto before = clock.Now();
    clock.SleepUntil(before - std::chrono::microseconds(50000));  // passed: returns at once
    EXPECT_GE(clock.Now(), before);
}
