// The full view's arithmetic: fit and centre, the zoom steps and frames,
// panning and turning.
#include "viewer/fullviewgeometry.h"
#include "collection/roll.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

using G = TFullViewGeometry;

// A disc roll with the given size folders and one photo, at Start. Nothing
// is read from disk: the zoom works on the roll's recorded sizes.
struct TZoomRoll {
    TZoomRoll(std::initializer_list<int> levels, int start) : Roll(true, "Roll", "/nowhere/Roll") {
        for (int level : levels) Roll.SizesPresent.Include(level);
        Roll.DefaultLevel = TLevel(start);
        Roll.AddFile("r-1.jpg");
    }
    TMedia& Photo() { return *Roll.Items(0); }
    TRoll Roll;
};

} // namespace

TEST(FullViewGeometry, FitImageKeepsWhatFitsAndShrinksTheRestRoundingHalvesToEven) {
    struct Case {
        QSize Image, Panel;
        QRect Fitted;
    };
    const std::vector<Case> cases = {
        {{300, 200}, {800, 600}, {250, 200, 300, 200}},        // fits: own size, centred
        {{800, 600}, {800, 600}, {0, 0, 800, 600}},            // exactly the panel
        {{1600, 800}, {800, 600}, {0, 100, 800, 400}},         // wider than the panel's shape
        {{1600, 1200}, {800, 500}, {66, 0, 667, 500}},         // taller: 666.67 -> 667, left 133 / 2 -> 66
        {{1600, 1200}, {800, 600}, {0, 0, 800, 600}},          // the same shape: by height
        {{400, 301}, {200, 200}, {0, 25, 200, 150}},           // 150.5 -> 150
        {{400, 303}, {200, 200}, {0, 24, 200, 152}},           // 151.5 -> 152
        {{301, 400}, {200, 200}, {25, 0, 150, 200}},           // 150.5 -> 150
        {{303, 400}, {200, 200}, {24, 0, 152, 200}},           // 151.5 -> 152
        {{801, 100}, {800, 600}, {0, 250, 800, 100}},          // 99.88 -> 100
        {{0, 0}, {800, 600}, {400, 300, 0, 0}},                // nothing to show fits anywhere
        {{100, 100}, {0, 0}, {0, 0, 0, 0}},                    // no panel: nothing
        {{100, 100}, {0, 50}, {0, 25, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1x%2 in %3x%4").arg(c.Image.width()).arg(c.Image.height())
                         .arg(c.Panel.width()).arg(c.Panel.height()).toStdString());
        EXPECT_EQ(G::FitImage(c.Image, c.Panel), c.Fitted);
        EXPECT_EQ(G::FitSize(c.Image, c.Panel), c.Fitted.size());
    }
}

TEST(FullViewGeometry, CentreImageRoundsTowardZeroAlsoWhenLargerThanThePanel) {
    struct Case {
        QSize Size, Panel;
        QPoint TopLeft;
    };
    for (const Case& c : {Case{{100, 50}, {301, 201}, {100, 75}}, Case{{151, 101}, {100, 100}, {-25, 0}},
                          Case{{3072, 2048}, {1000, 700}, {-1036, -674}}, Case{{0, 0}, {5, 5}, {2, 2}}}) {
        EXPECT_EQ(G::CentreImage(c.Size, c.Panel), QRect(c.TopLeft, c.Size));
    }
}

TEST(FullViewGeometry, ZoomSizeDoublesOrHalvesAndALargeCopyAt1200JumpsToItsOwnSize) {
    struct Case {
        QSize View;
        int Level, Delta;
        QSize Zoomed;
    };
    const std::vector<Case> cases = {
        {{400, 300}, 4, +1, {800, 600}},
        {{400, 300}, 4, -1, {200, 150}},
        {{301, 303}, 3, -1, {150, 152}},      // 150.5 -> 150, 151.5 -> 152
        {{1200, 800}, 5, +1, {3072, 2048}},   // the Large photo at its own size
        {{1200, 801}, 5, +1, {3072, 2051}},   // its shape is kept
        {{1200, 800}, 5, -1, {600, 400}},     // zooming out never grows
        {{1200, 800}, 4, +1, {2400, 1600}},   // only at the Large level
        {{1201, 800}, 5, +1, {2402, 1600}},
        {{0, 0}, 5, +1, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.View.width() * 100 + c.Level * 10 + c.Delta);
        EXPECT_EQ(G::ZoomSize(c.View, c.Level, c.Delta), c.Zoomed);
    }
}

TEST(FullViewGeometry, ZoomAnchorIsThePanelsCentreInTheViewHeldInsideIt) {
    const QSize panel(801, 601);  // centre (400, 300)
    struct Case {
        QRect View;
        QPoint Anchor;
    };
    for (const Case& c : {Case{{200, 150, 400, 300}, {200, 150}}, Case{{-1000, -500, 3000, 2000}, {1400, 800}},
                          Case{{500, 400, 100, 100}, {0, 0}},        // the view lies right of and below the centre
                          Case{{-300, -300, 100, 100}, {100, 100}},  // left of and above it
                          Case{{400, 300, 0, 0}, {0, 0}}}) {
        EXPECT_EQ(G::ZoomAnchor(c.View, panel), c.Anchor);
    }
}

TEST(FullViewGeometry, ZoomTargetKeepsTheAnchorWhereItIsOnTheScreen) {
    struct Case {
        QRect View;
        QPoint Anchor;
        QSize NewSize;
        QRect Target;
    };
    const std::vector<Case> cases = {
        {{200, 150, 400, 300}, {200, 150}, {800, 600}, {0, 0, 800, 600}},
        {{200, 150, 400, 300}, {200, 150}, {200, 150}, {300, 225, 200, 150}},
        {{0, 0, 1200, 800}, {600, 400}, {3072, 2048}, {-936, -624, 3072, 2048}},
        {{0, 0, 100, 100}, {0, 0}, {200, 200}, {0, 0, 200, 200}},      // anchored at the corner
        {{0, 0, 100, 100}, {100, 100}, {200, 200}, {-100, -100, 200, 200}},
        {{0, 0, 4, 4}, {1, 1}, {6, 6}, {0, 0, 6, 6}},                   // 2 x 0.25 = 0.5 -> 0
        {{0, 0, 4, 4}, {3, 3}, {6, 6}, {-2, -2, 6, 6}},                 // 2 x 0.75 = 1.5 -> 2
        {{10, 10, 0, 0}, {0, 0}, {0, 0}, {10, 10, 0, 0}},              // an empty view stays put
    };
    for (const Case& c : cases) {
        EXPECT_EQ(G::ZoomTarget(c.View, c.Anchor, c.NewSize), c.Target);
        if (c.View.width() > 0 && c.NewSize.width() % c.View.width() == 0 &&
            c.NewSize.height() % c.View.height() == 0) {
            // Where the factor is whole, the anchor's screen position is exact.
            const int fx = c.NewSize.width() / c.View.width(), fy = c.NewSize.height() / c.View.height();
            EXPECT_EQ(c.Target.left() + c.Anchor.x() * fx, c.View.left() + c.Anchor.x());
            EXPECT_EQ(c.Target.top() + c.Anchor.y() * fy, c.View.top() + c.Anchor.y());
        }
    }
}

TEST(FullViewGeometry, ZoomFramesMoveEachEdgeOnItsOwnAndEndOnTheTarget) {
    const QRect from(200, 150, 400, 300), to(0, 0, 800, 600);
    EXPECT_EQ(G::ZoomFrame(from, to, 50), to);
    EXPECT_EQ(G::ZoomFrame(from, to, 0), from);
    EXPECT_EQ(G::ZoomFrame(from, to, 25), QRect(100, 75, 600, 450));
    EXPECT_EQ(G::ZoomFrame(from, to, 1), QRect(196, 147, 408, 306));
    // Half-way frames round halves to even, every edge for itself:
    // left 0 -> 1 at 0.5 -> 0, top 0 -> 3 at 1.5 -> 2, right and bottom stay.
    EXPECT_EQ(G::ZoomFrame(QRect(0, 0, 10, 10), QRect(QPoint(1, 3), QSize(9, 7)), 25), QRect(0, 2, 10, 8));
    // -0.5 -> 0 and -1.5 -> -2.
    EXPECT_EQ(G::ZoomFrame(QRect(0, 0, 10, 10), QRect(QPoint(-1, -3), QSize(11, 13)), 25), QRect(0, -2, 10, 12));
    // The edges never step back.
    QRect previous = from;
    for (int k = 1; k <= G::ZoomFrameCount; ++k) {
        const QRect frame = G::ZoomFrame(from, to, k);
        EXPECT_LE(frame.left(), previous.left());
        EXPECT_LE(frame.top(), previous.top());
        EXPECT_GE(frame.left() + frame.width(), previous.left() + previous.width());
        EXPECT_GE(frame.top() + frame.height(), previous.top() + previous.height());
        previous = frame;
    }
}

// The zoom as the page runs it, on a roll with the Small and Large folders
// only: the buttons, the reloads and the stretch.
TEST(FullViewGeometry, ZoomThroughAGapToTheEndsAndBack) {
    TZoomRoll roll({3, 5}, 3);
    TMedia& photo = roll.Photo();
    struct Step {
        int Delta;
        bool Reload;
        int Level, ExtraSteps;
        bool LevelGap, CanIn, CanOut;
    };
    const std::vector<Step> steps = {
        {+1, false, 3, 1, true, true, true},     // Medium is missing: stretched, a switch owed
        {+1, true, 5, 0, false, true, true},     // the owed switch to Large
        {+1, false, 5, 1, false, true, true},    // beyond the largest: stretched
        {+1, false, 5, 2, false, false, true},   // the second and last: zoom-in disabled
        {-1, false, 5, 1, false, true, true},
        {-1, false, 5, 0, false, true, true},
        {-1, false, 5, -1, true, true, true},    // Medium missing again
        {-1, true, 3, 0, false, true, true},     // down to Small
        {-1, false, 3, -1, false, true, true},   // below the smallest: stretched
        {-1, false, 3, -2, false, true, false},  // the second and last: zoom-out disabled
    };
    QRect view(200, 150, 400, 300);
    const QSize panel(800, 600);
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE(i);
        const TZoomPlan plan = PlanZoom(photo, s.Delta, view, panel);
        EXPECT_EQ(plan.Reload, s.Reload);
        EXPECT_EQ(photo.Level, s.Level);
        EXPECT_EQ(photo.ExtraSteps, s.ExtraSteps);
        EXPECT_EQ(photo.LevelGap, s.LevelGap);
        EXPECT_EQ(plan.CanZoomIn, s.CanIn);
        EXPECT_EQ(plan.CanZoomOut, s.CanOut);
        EXPECT_EQ(plan.CanZoomIn, CanZoomIn(photo));
        EXPECT_EQ(plan.CanZoomOut, CanZoomOut(photo));
        // Every step stretches by 2 or 1/2 around the panel's centre.
        EXPECT_EQ(plan.From, view);
        EXPECT_EQ(plan.To.size(), s.Delta > 0 ? view.size() * 2 : view.size() / 2);
        EXPECT_EQ(plan.Frame(G::ZoomFrameCount), plan.To);
        EXPECT_LE((plan.To.center() - QPoint(400, 300)).manhattanLength(), 2);
        view = plan.To;
    }
    EXPECT_EQ(photo.FullPath(), "/nowhere/Roll/Small/r-1.jpg");
}

TEST(FullViewGeometry, AFittedLargeCopy1200WideZoomsInToExactly3072By2048) {
    TZoomRoll roll({4, 5}, 4);
    const QRect fitted = G::FitImage(QSize(1536, 1024), QSize(1200, 800));
    ASSERT_EQ(fitted, QRect(0, 0, 1200, 800));
    const TZoomPlan plan = PlanZoom(roll.Photo(), +1, fitted, QSize(1200, 800));
    EXPECT_TRUE(plan.Reload);
    EXPECT_EQ(roll.Photo().Level, 5);
    EXPECT_EQ(plan.To, QRect(-936, -624, 3072, 2048));
    // Back out from there: halved, not the jump again.
    const TZoomPlan back = PlanZoom(roll.Photo(), -1, QRect(0, 0, 1200, 800), QSize(1200, 800));
    EXPECT_TRUE(back.Reload);
    EXPECT_EQ(back.To.size(), QSize(600, 400));
}

TEST(FullViewGeometry, ADragMovesTheViewAndOneThatLosesItReCentresIt) {
    const QSize panel(400, 300);
    const QRect view(100, 100, 200, 100);
    // The point grabbed stays under the mouse.
    EXPECT_EQ(G::PanMove(view, QPoint(50, 60), QPoint(40, 40)), QRect(110, 120, 200, 100));
    // Dragged wholly off to the left and let go: back in the middle.
    const QRect dragged = G::PanMove(view, QPoint(0, 10), QPoint(399, 10));
    ASSERT_EQ(dragged.left() + dragged.width(), -99);
    EXPECT_EQ(G::PanRelease(dragged, panel), QRect(100, 100, 200, 100));
    // Partly in view: it stays where it was left.
    const QRect partly(-150, 250, 200, 100);
    EXPECT_EQ(G::PanRelease(partly, panel), partly);

    struct Case {
        QRect View;
        bool Outside;
    };
    const std::vector<Case> cases = {
        {{-200, 0, 200, 100}, true},   // right edge on the panel's left: not a pixel shows
        {{-199, 0, 200, 100}, false},  // one column shows
        {{400, 0, 200, 100}, true},    // left edge on the panel's right
        {{399, 0, 200, 100}, false},
        {{0, -100, 200, 100}, true},
        {{0, -99, 200, 100}, false},
        {{0, 300, 200, 100}, true},
        {{0, 299, 200, 100}, false},
        {{-1000, -1000, 3000, 3000}, false},  // covering the panel
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.View.x() * 10000 + c.View.y());
        EXPECT_EQ(G::OutsidePanel(c.View, panel), c.Outside);
        EXPECT_EQ(G::PanRelease(c.View, panel), c.Outside ? G::CentreImage(c.View.size(), panel) : c.View);
    }
}

TEST(FullViewGeometry, KeyPansGoOnlyWhereThePictureIsLargerAndStopAtItsEdges) {
    const QSize panel(400, 300);
    struct Case {
        QRect View;
        int Dx, Dy;
        QPoint TopLeft;
    };
    const std::vector<Case> cases = {
        {{-100, -100, 1000, 800}, 50, 50, {-50, -50}},
        {{-100, -100, 1000, 800}, 500, 500, {0, 0}},            // the left and top edges reach the panel's
        {{-100, -100, 1000, 800}, -1000, -1000, {-600, -500}},  // the right and bottom edges do
        {{50, -100, 300, 800}, 50, 50, {50, -50}},              // fits across: only up and down
        {{50, 20, 300, 200}, 50, 50, {50, 20}},                 // fits both ways: nothing
        {{-900, -100, 1000, 800}, 10, 0, {-600, -100}},         // dragged past the edge: back to it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(G::PanBy(c.View, panel, c.Dx, c.Dy), QRect(c.TopLeft, c.View.size()));
    }
    EXPECT_TRUE(G::LargerThanPanel(QSize(401, 10), panel));
    EXPECT_TRUE(G::LargerThanPanel(QSize(10, 301), panel));
    EXPECT_FALSE(G::LargerThanPanel(QSize(400, 300), panel));
    EXPECT_EQ(G::KeyPanStep(panel), QSize(50, 37));
    EXPECT_EQ(G::KeyPanStep(QSize(3, 3)), QSize(1, 1));
}

TEST(FullViewGeometry, TurningSwapsTheViewsSidesAndTwoTurnsRestoreThem) {
    const QSize panel(400, 400);
    const QRect view = G::FitImage(QSize(300, 200), panel);
    const QRect once = G::Rotated(view, panel);
    EXPECT_EQ(once, QRect(100, 50, 200, 300));
    const QRect twice = G::Rotated(once, panel);
    EXPECT_EQ(twice, view);
    // A view larger than the panel turns about the panel's centre too.
    EXPECT_EQ(G::Rotated(QRect(-50, 0, 500, 400), panel), QRect(0, -50, 400, 500));
}

// The picture read for a photo shown at Medium: placed by Medium's size, and
// read from the first size folder whose picture has a pixel for each of the
// view's device pixels.
TEST(FullViewGeometry, TheSizeFolderIsChosenByTheViewsDevicePixels) {
    const QSize medium(768, 512), large(1536, 1024), exLarge(3072, 2048), none;
    const QList<QSize> all{medium, large, exLarge};
    struct Case {
        QList<QSize> Sizes;
        QSize Panel;
        QSize View;  // empty: fitted
        qreal Ratio;
        int Index;
    };
    const std::vector<Case> cases = {
        {all, {1046, 723}, {}, 1.0, 0},       // ratio 1: always the level itself
        {all, {1046, 723}, {}, 1.5, 1},       // 768 x 512 shown needs 1152 x 768
        {all, {1046, 723}, {}, 2.0, 1},       // needs 1536 x 1024: Large, exactly
        {all, {500, 400}, {}, 1.5, 0},        // fitted to 500 x 333: 750 x 500, Medium covers
        {all, {500, 400}, {}, 2.0, 1},        // 1000 x 666
        {all, {300, 200}, {}, 2.0, 0},        // 600 x 400
        {all, {1046, 723}, {1536, 1024}, 2.0, 1},  // Medium stretched twice: Medium's pixels x 2 are Large's
        {{large, exLarge}, {1046, 723}, {1536, 1024}, 2.0, 1},  // zoomed to Large: 3072 x 2048
        {all, {1046, 723}, {3072, 2048}, 1.5, 1},  // stretched past Medium: counted as Medium's own size
        {{large, exLarge}, {1046, 723}, {}, 1.5, 1},  // Large fitted to 1046 x 697: 1569 x 1046
        {{large, exLarge}, {1046, 723}, {}, 1.0, 0},
        {{medium, none, exLarge}, {1046, 723}, {}, 2.0, 2},  // an unreadable Large is passed over
        {{medium, large, none}, {1046, 723}, {1536, 1024}, 2.0, 1},  // none covers: the last readable
        {{exLarge}, {1046, 723}, {}, 2.0, 0},
        {{none, large}, {1046, 723}, {}, 2.0, 0},  // the level's own size unknown: read as it is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Panel.width() << "x" << c.Panel.height() << " at " << c.Ratio);
        EXPECT_EQ(G::SharperSizeIndex(c.Sizes, c.Panel, c.View, c.Ratio), c.Index);
    }
}
