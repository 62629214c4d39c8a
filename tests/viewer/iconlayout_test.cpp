#include "viewer/iconlayout.h"
#include <gtest/gtest.h>
#include <set>
#include <tuple>

namespace {

// A layout of Count icons of W x H with both gaps Gap and no titles.
TIconLayout Grid(int count, int w, int h, int gap, TIconContainerConstraint constraint, QSize client) {
    TIconLayout l;
    l.SetIconTitles(false);
    l.SetIconWidth(w);
    l.SetIconHeight(h);
    l.SetIconVertGap(gap);
    l.SetIconHorzGap(gap);
    l.SetIconConstraint(constraint);
    l.SetIconCount(count);
    l.Arrange(client);
    return l;
}

std::set<int> Candidates(const TIconLayout& l, const QRect& area) {
    std::set<int> out;
    l.ForEachIcon(l.CandidateCells(area), [&](int i) { out.insert(i); });
    return out;
}

} // namespace

TEST(IconLayoutTest, ArrangeFindsRowsAndColumnsByConstraint) {
    struct Row {
        TIconContainerConstraint constraint;
        int count, rowsIn, colsIn, gap, titleHeight;
        QSize client;
        int rows, cols;
    };
    const Row rows[] = {
        {iccColumnFit, 50, 1, 1, 0, 0, {618, 300}, 7, 8},
        {iccColumnFit, 48, 1, 1, 0, 0, {618, 300}, 6, 8},
        {iccColumnFit, 50, 1, 1, 5, 0, {618, 300}, 7, 8},   // (618 + 5) div 77
        {iccColumnFit, 50, 1, 1, 6, 0, {617, 300}, 8, 7},   // (617 + 6) div 78 = 7
        {iccColumnFit, 3, 1, 1, 0, 0, {10, 300}, 3, 1},     // narrower than one icon: still one column
        {iccColumnFit, 0, 4, 4, 0, 0, {618, 300}, 1, 8},
        {iccRowFit, 10, 1, 1, 0, 0, {100, 220}, 3, 4},
        {iccRowFit, 10, 1, 1, 0, 20, {100, 220}, 2, 5},     // title band makes cells 92 high
        {iccRowFit, 10, 1, 1, 0, 0, {100, 20}, 1, 10},
        {iccRows, 10, 3, 1, 0, 0, {0, 0}, 3, 4},
        {iccRows, 9, 3, 1, 0, 0, {0, 0}, 3, 3},
        {iccRows, 0, 3, 7, 0, 0, {0, 0}, 3, 1},
        {iccColumns, 10, 1, 4, 0, 0, {0, 0}, 3, 4},
        {iccColumns, 0, 6, 4, 0, 0, {0, 0}, 1, 4},
        {iccNone, 10, 2, 3, 0, 0, {618, 300}, 2, 3},
    };
    for (const Row& row : rows) {
        TIconLayout l;
        l.SetIconWidth(72);
        l.SetIconHeight(72);
        l.SetIconVertGap(row.gap);
        l.SetIconHorzGap(row.gap);
        l.SetIconTitles(row.titleHeight > 0);
        l.SetTitleHeight(row.titleHeight);
        l.SetIconRows(row.rowsIn);
        l.SetIconColumns(row.colsIn);
        l.SetIconConstraint(row.constraint);
        l.SetIconCount(row.count);
        l.Arrange(row.client);
        EXPECT_EQ(std::make_tuple(l.IconRows(), l.IconColumns()), std::make_tuple(row.rows, row.cols))
            << "constraint " << row.constraint << " count " << row.count << " gap " << row.gap;
    }
}

TEST(IconLayoutTest, GapAndMarginWritesFollowTheirRules) {
    struct Row {
        int vert, horz, write;
        int gap, vertAfter, horzAfter;
        bool changed;
    };
    const Row gaps[] = {
        {0, 0, 5, 6, 6, 6, true},   {6, 6, 5, 6, 6, 6, true},  // odd rounded up even when it differs
        {0, 0, 4, 4, 4, 4, true},   {0, 4, 4, 5, 0, 4, false}, // equal to one gap: ignored
        {0, 0, 0, 5, 0, 0, false},  {0, 0, -3, 5, 0, 0, false},
    };
    for (const Row& row : gaps) {
        TIconLayout l;
        l.SetIconVertGap(row.vert);
        l.SetIconHorzGap(row.horz);
        EXPECT_EQ(l.SetIconGap(row.write), row.changed) << row.write;
        EXPECT_EQ(std::make_tuple(l.IconGap(), l.IconVertGap(), l.IconHorzGap()),
                  std::make_tuple(row.gap, row.vertAfter, row.horzAfter))
            << "gaps " << row.vert << "/" << row.horz << " write " << row.write;
    }
    // Defaults are 5 (odd) and writing 5 changes nothing.
    TIconLayout l;
    EXPECT_FALSE(l.SetIconGap(5));
    EXPECT_EQ(std::make_tuple(l.IconGap(), l.IconVertGap(), l.IconHorzGap()), std::make_tuple(5, 5, 5));
    l.SetIconVertGap(3);
    l.SetIconHorzGap(7);
    EXPECT_EQ(std::make_tuple(l.IconVertGap(), l.IconHorzGap()), std::make_tuple(4, 8));

    EXPECT_TRUE(l.SetIconMargin(10));
    EXPECT_EQ(std::make_tuple(l.IconMargin(), l.IconTopMargin(), l.IconLeftMargin()), std::make_tuple(10, 10, 10));
    l.SetIconTopMargin(40);
    EXPECT_FALSE(l.SetIconMargin(10)) << "equal to the left margin";
    EXPECT_EQ(std::make_tuple(l.IconTopMargin(), l.IconLeftMargin()), std::make_tuple(40, 10));
    EXPECT_TRUE(l.SetIconMargin(3));
    EXPECT_EQ(std::make_tuple(l.IconTopMargin(), l.IconLeftMargin()), std::make_tuple(3, 3));

    // Values below 1 for sizes, rows and columns are ignored.
    for (int bad : {0, -1}) {
        EXPECT_FALSE(l.SetIconWidth(bad));
        EXPECT_FALSE(l.SetIconHeight(bad));
        EXPECT_FALSE(l.SetIconColumns(bad));
        EXPECT_FALSE(l.SetIconRows(bad));
    }
    EXPECT_EQ(std::make_tuple(l.IconWidth(), l.IconHeight(), l.IconColumns(), l.IconRows()),
              std::make_tuple(100, 110, 1, 1));
}

TEST(IconLayoutTest, IconRectsDrawRectsAndContentHeight) {
    TIconLayout l;  // 100 x 110, gaps 5, titles on
    l.SetTitleHeight(-16);  // a font height may come negative
    l.SetIconTopMargin(10);
    l.SetIconLeftMargin(20);
    l.SetIconConstraint(iccColumns);
    l.SetIconColumns(3);
    l.SetIconCount(7);
    l.Arrange({});
    // Cells are 105 x 131; the icon is the cell less 2 on every side.
    struct Row {
        int index;
        QRect rect;
    };
    const Row rows[] = {
        {0, QRect(22, 12, 101, 127)},
        {2, QRect(20 + 210 + 2, 12, 101, 127)},
        {4, QRect(20 + 105 + 2, 10 + 131 + 2, 101, 127)},
        {6, QRect(22, 10 + 262 + 2, 101, 127)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(l.IconRect(row.index), row.rect) << row.index;
        QRect draw = row.rect;
        draw.setHeight(127 - 16);
        EXPECT_EQ(l.DrawRect(row.index), draw) << row.index;
    }
    EXPECT_EQ(l.ContentHeight(), 10 + 262 + 2 + 127 + 5);
    l.SetIconTitles(false);
    EXPECT_EQ(l.DrawRect(0), QRect(22, 12, 101, 111));
    l.SetIconCount(0);
    EXPECT_EQ(l.ContentHeight(), 0);
}

TEST(IconLayoutTest, CandidatesHoldEveryIconMeetingTheAreaAndDoNotGrowWithTheCount) {
    struct Row {
        TIconContainerConstraint constraint;
        int count, gap, margin;
        QSize client;
    };
    const Row rows[] = {
        {iccColumnFit, 36, 0, 0, {432, 432}},   {iccColumnFit, 5000, 0, 0, {432, 432}},
        {iccColumnFit, 5000, 6, 13, {500, 300}}, {iccRowFit, 5000, 6, 0, {400, 250}},
        {iccColumns, 777, 5, -30, {300, 300}},   {iccNone, 50, 0, 0, {300, 300}},
    };
    const QRect areas[] = {QRect(0, 0, 432, 432),   QRect(0, 5000, 500, 300), QRect(3000, 0, 400, 250),
                           QRect(-50, -50, 100, 80), QRect(17, 77, 1, 1),     QRect(0, 99999, 300, 300)};
    for (const Row& row : rows) {
        TIconLayout l = Grid(row.count, 72, 72, row.gap, row.constraint, row.client);
        l.SetIconMargin(row.margin);
        if (row.constraint == iccNone) {
            l.SetIconRows(2);  // fewer rows than the icons need
            l.SetIconColumns(6);
        }
        for (const QRect& area : areas) {
            const std::set<int> got = Candidates(l, area);
            for (int i = 0; i < row.count; ++i)
                EXPECT_TRUE(!l.IconRect(i).intersects(area) || got.count(i))
                    << "icon " << i << " of " << row.count << " missing";
            const int cellsAcross = area.width() / l.CellWidth() + 4;
            const int cellsDown = area.height() / l.CellHeight() + 4;
            EXPECT_LE(int(got.size()), cellsAcross * cellsDown) << row.count;
        }
    }
    EXPECT_TRUE(Candidates(Grid(0, 72, 72, 0, iccColumnFit, {300, 300}), QRect(0, 0, 300, 300)).empty());
}

TEST(IconLayoutTest, IconAtExcludesRightAndBottomEdgesAndGaps) {
    // 10 icons of 72 x 72, gaps 6, 4 columns: icon i at column i % 4, row i / 4,
    // rectangle (78c + 3, 78r + 3, 72, 72).
    TIconLayout four = Grid(10, 72, 72, 6, iccColumns, {});
    four.SetIconColumns(4);
    four.Arrange({});
    struct Row {
        QPoint p;
        int index;
    };
    const Row rows[] = {
        {{3, 3}, 0},     {{74, 74}, 0},    {{75, 40}, -1},   {{40, 75}, -1},  {{2, 40}, -1},
        {{81, 3}, 1},    {{3 + 78 * 3, 81}, 7}, {{3 + 78, 3 + 78 * 2}, 9}, {{3 + 78 * 2, 3 + 78 * 2}, -1},
        {{3 + 78 * 4, 3}, -1}, {{-10, 3}, -1}, {{3, -10}, -1}, {{3, 3 + 78 * 3}, -1},
    };
    for (const Row& row : rows) EXPECT_EQ(four.IconAt(row.p), row.index) << row.p.x() << "," << row.p.y();
    EXPECT_EQ(Grid(0, 72, 72, 0, iccColumnFit, {300, 300}).IconAt({1, 1}), -1);
}

TEST(IconLayoutTest, KeyMovesForBothConstraintFamilies) {
    struct Row {
        TIconContainerConstraint constraint;
        int focus;
        TIconMove move;
        int target;  // -1: the focus stays
    };
    // 10 icons, 4 columns x 3 rows; the row family is arranged to the same grid.
    const Row rows[] = {
        {iccColumnFit, 5, TIconMove::Left, 4},   {iccColumnFit, 5, TIconMove::Right, 6},
        {iccColumnFit, 5, TIconMove::Up, 1},     {iccColumnFit, 5, TIconMove::Down, 9},
        {iccColumnFit, 4, TIconMove::Left, 3},   {iccColumnFit, 3, TIconMove::Right, 4},
        {iccColumnFit, 0, TIconMove::Left, -1},  {iccColumnFit, 9, TIconMove::Right, -1},
        {iccColumnFit, 1, TIconMove::Up, -1},    {iccColumnFit, 7, TIconMove::Down, -1},
        {iccColumnFit, 6, TIconMove::Down, -1},  {iccColumnFit, 9, TIconMove::Up, 5},
        {iccColumnFit, 6, TIconMove::PageUp, 1}, {iccColumnFit, 6, TIconMove::PageDown, 9},
        {iccColumnFit, 1, TIconMove::PageDown, 6}, {iccColumnFit, 8, TIconMove::PageUp, 3},
        {iccColumnFit, 6, TIconMove::Home, 0},   {iccColumnFit, 2, TIconMove::End, 9},
        {iccRowFit, 5, TIconMove::Up, 4},        {iccRowFit, 5, TIconMove::Down, 6},
        {iccRowFit, 5, TIconMove::Left, 4},      {iccRowFit, 5, TIconMove::Right, 6},
        {iccRowFit, 0, TIconMove::Up, -1},       {iccRowFit, 9, TIconMove::Down, -1},
        {iccRowFit, 4, TIconMove::Left, -1},     {iccRowFit, 3, TIconMove::Right, -1},
        {iccRowFit, 9, TIconMove::Right, -1},    {iccRowFit, 8, TIconMove::Right, 9},
        {iccRowFit, 2, TIconMove::End, 9},       {iccRowFit, 7, TIconMove::PageUp, 2},
    };
    for (const Row& row : rows) {
        const QSize client = row.constraint == iccColumnFit ? QSize(4 * 78, 100) : QSize(100, 3 * 78);
        const TIconLayout l = Grid(10, 72, 72, 6, row.constraint, client);
        ASSERT_EQ(std::make_tuple(l.IconRows(), l.IconColumns()), std::make_tuple(3, 4));
        EXPECT_EQ(l.MoveTarget(row.move, row.focus, 5), row.target)
            << "constraint " << row.constraint << " focus " << row.focus << " move " << int(row.move);
    }
    EXPECT_EQ(Grid(0, 72, 72, 0, iccColumnFit, {300, 300}).MoveTarget(TIconMove::Down, 0, 1), -1);
    EXPECT_EQ(Grid(0, 72, 72, 0, iccColumnFit, {300, 300}).MoveTarget(TIconMove::Home, 0, 1), -1);
}

TEST(IconLayoutTest, VerticalProbesReachTheNextRowAcrossATallTitleBandAndWideGaps) {
    TIconLayout l = Grid(12, 20, 10, 30, iccColumnFit, {4 * 50, 100});
    l.SetIconTitles(true);
    l.SetTitleHeight(16);
    l.Arrange({4 * 50, 100});
    ASSERT_EQ(l.IconColumns(), 4);
    EXPECT_EQ(l.MoveTarget(TIconMove::Down, 1, 1), 5);
    EXPECT_EQ(l.MoveTarget(TIconMove::Up, 5, 1), 1);
    TIconLayout r = Grid(12, 10, 20, 30, iccRowFit, {100, 3 * 50});
    ASSERT_EQ(r.IconRows(), 3);
    EXPECT_EQ(r.MoveTarget(TIconMove::Right, 1, 1), 2);
    EXPECT_EQ(r.MoveTarget(TIconMove::Left, 2, 1), 1);
}

TEST(IconLayoutTest, ScrollToShowMovesTheLeast) {
    struct Row {
        QRect icon, view;
        QPoint pos;
    };
    const Row rows[] = {
        {QRect(0, 500, 72, 72), QRect(0, 0, 300, 200), QPoint(0, 372)},     // below: bottom aligned
        {QRect(0, 100, 72, 72), QRect(0, 400, 300, 200), QPoint(0, 100)},   // above: top aligned
        {QRect(0, 150, 72, 72), QRect(0, 0, 300, 200), QPoint(0, 22)},      // cut at the bottom
        {QRect(400, 10, 72, 72), QRect(0, 0, 300, 200), QPoint(172, 0)},    // right
        {QRect(10, 10, 72, 72), QRect(50, 0, 300, 200), QPoint(10, 0)},     // left
        {QRect(10, 10, 72, 72), QRect(0, 0, 300, 200), QPoint(0, 0)},       // shown: kept
    };
    for (const Row& row : rows) EXPECT_EQ(ScrollToShow(row.icon, row.view), row.pos) << row.icon.y();
}

TEST(IconLayoutTest, BandStretchesFromTheStartToTheMouseFollowingTheScroll) {
    struct Row {
        QRect start;
        QPoint mouse;
        int shift;
        QRect band;
    };
    const Row rows[] = {
        {QRect(50, 50, 0, 0), QPoint(80, 90), 0, QRect(50, 50, 30, 40)},
        {QRect(50, 50, 0, 0), QPoint(10, 20), 0, QRect(10, 20, 40, 30)},
        {QRect(50, 50, 0, 0), QPoint(80, 10), 0, QRect(50, 10, 30, 40)},
        {QRect(50, 50, 10, 10), QPoint(55, 55), 0, QRect(50, 50, 10, 10)},
        {QRect(50, 50, 0, 0), QPoint(80, 90), -30, QRect(50, 20, 30, 70)},  // scrolled down 30 since
        {QRect(50, 50, 0, 0), QPoint(80, 90), 60, QRect(50, 90, 30, 20)},   // scrolled up 60
    };
    for (const Row& row : rows) EXPECT_EQ(BandRect(row.start, row.mouse, row.shift), row.band);
}

TEST(IconLayoutTest, WheelTurnsScrollByCellsOrPages) {
    struct Row {
        int lines;
        std::vector<int> deltas;
        std::vector<qint64> steps;  // cells of 72, pages of 200
    };
    const Row rows[] = {
        {3, {120, 120, -120}, {-216, -216, 216}},
        {1, {120, -240}, {-72, 144}},
        {3, {40, 40, 40}, {-72, -72, -72}},
        {1, {20, 20, 20, 20, 20, 20}, {0, 0, 0, 0, 0, -72}},
        {1, {100, -20, -100}, {0, 0, 72}},  // a turn back starts afresh
        {0, {120}, {0}},
        {-1, {120, -120, 30, 0}, {-200, 200, -200, 0}},  // page mode: a page per turn
    };
    for (const Row& row : rows) {
        TWheelScroll w;
        std::vector<qint64> steps;
        for (int d : row.deltas) steps.push_back(w.Step(d, row.lines, 72, 200));
        EXPECT_EQ(steps, row.steps) << row.lines;
    }
    EXPECT_EQ(ClampedScroll(100, -216, 304), 0);
    EXPECT_EQ(ClampedScroll(100, 216, 304), 304);
    EXPECT_EQ(ClampedScroll(100, 72, 304), 172);
    EXPECT_EQ(ClampedScroll(0, 72, -5), 0);
}
