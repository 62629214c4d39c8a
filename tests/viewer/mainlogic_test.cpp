#include "viewer/mainlogic.h"
#include <gtest/gtest.h>

TEST(ArrangeRollGrid, ColumnsGapAndMarginFollowTheRollsAndTheWidth) {
    struct TCase {
        int Rolls, Width;
        TRollGridLayout Expected;
    } cases[] = {
        {6, 1200, {5, 5, (1200 - (5 * 170 + 4 * 5)) / 2 - 5}},
        {1, 1200, {1, 17, (1200 - 170) / 2 - 5}},
        {3, 1200, {3, 11, (1200 - (3 * 170 + 2 * 11)) / 2 - 5}},
        // Narrow: columns drop one by one, the gap the row started with stays.
        {6, 700, {4, 5, 0}},    // 4 x 170 + 3 x 5 = 695 fits; the margin would be -3
        {6, 600, {3, 5, (600 - (3 * 170 + 2 * 5)) / 2 - 5}},
        {6, 871, {5, 5, 0}},                                  // 870 fits in 871: margin (1 / 2) - 5, kept at 0
        {6, 870, {4, 5, (870 - (4 * 170 + 3 * 5)) / 2 - 5}},  // exactly the row's width does not fit
        // Narrower than one can: one column at the left edge.
        {2, 120, {1, 14, 0}},
        {0, 800, {1, 20, (800 - 170) / 2 - 5}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ArrangeRollGrid(c.Rolls, c.Width, 170), c.Expected) << c.Rolls << " rolls, width " << c.Width;
}

TEST(StackVisibleButtons, VisibleButtonsCloseUpFromTheTop) {
    const QList<int> places = {10, 100, 190, 280, 370};
    struct TCase {
        QList<bool> Visible;
        QList<int> Expected;
    } cases[] = {
        {{true, true, true, true, true}, {10, 100, 190, 280, 370}},
        {{false, true, true, true, true}, {10, 10, 100, 190, 280}},      // one roll: no new-roll button
        {{true, true, true, false, true}, {10, 100, 190, 280, 280}},     // no install: upload moves up
        {{false, true, true, false, true}, {10, 10, 100, 280, 190}},     // both: still no gap
    };
    for (const TCase& c : cases) {
        const QList<int> tops = StackVisibleButtons(places, c.Visible);
        for (int i = 0; i < 5; ++i)
            if (c.Visible[i]) {
                EXPECT_EQ(tops[i], c.Expected[i]) << "button " << i;
            }
    }
}

TEST(THoverTracker, RepaintsTheNewIconThenTheOld) {
    THoverTracker hover(-9);
    EXPECT_EQ(hover.MoveTo(3), QList<int>({3}));
    EXPECT_EQ(hover.MoveTo(5), QList<int>({5, 3}));
    EXPECT_EQ(hover.MoveTo(5), QList<int>({5}));
    EXPECT_EQ(hover.MoveTo(-1), QList<int>({5}));
    EXPECT_EQ(hover.MoveTo(-1), QList<int>());
    hover.Reset(-10);
    EXPECT_EQ(hover.Index(), -10);
}

TEST(MainWindowTexts, SectionCaptionPerPageAndLogoPause) {
    EXPECT_EQ(SectionCaptionFor(TViewPage::Rolls, "Garden", "Roll Selection", "Photo View"), "Roll Selection");
    EXPECT_EQ(SectionCaptionFor(TViewPage::Thumbs, "Garden", "Roll Selection", "Photo View"), "Garden");
    EXPECT_EQ(SectionCaptionFor(TViewPage::FullView, "Garden", "Roll Selection", "Photo View"), "Photo View");
    EXPECT_EQ(LogoPauseMs(0), 10000);
    EXPECT_EQ(LogoPauseMs(12), 22000);
    EXPECT_EQ(LogoPauseMs(99), 22000);
}
