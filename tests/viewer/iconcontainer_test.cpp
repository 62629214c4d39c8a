#include "viewer/iconcontainer.h"
#include "support/screenshots.h"
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>

namespace {

// A colour of its own for every icon, so a pixel tells which icon was drawn there.
QColor ColourOf(int index) { return QColor::fromHsv((index * 47) % 360, 220, 120 + (index * 13) % 120); }

struct Click {
    int index, x, y;
    bool operator==(const Click&) const = default;
};

class IconContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Window.resize(800, 600);
        C = new TIconContainer(&Window);
        C->setObjectName("ThumbContainer");
        C->setFrameShape(QFrame::NoFrame);
        C->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        C->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        Other = new QLineEdit(&Window);
        Other->setGeometry(700, 0, 100, 30);
        QObject::connect(C, &TIconContainer::OnIconClick, [this](TIconContainer* sender, int i, int x, int y) {
            EXPECT_EQ(sender, C);
            Clicks.push_back({i, x, y});
        });
        QObject::connect(C, &TIconContainer::OnIconDraw,
                         [this](TIconContainer*, int i, QPainter* canvas, const QRect& r) {
                             Drawn.push_back(i);
                             DrawRects[i] = r;
                             canvas->fillRect(r, ColourOf(i));
                         });
        Window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    }

    // Count icons of W x H with both gaps Gap, no titles, in a client of Client size.
    void Configure(QSize client, int count, int w = 72, int h = 72, int gap = 0,
                   TIconContainerConstraint constraint = iccColumnFit) {
        C->setGeometry(QRect(QPoint(0, 0), client));
        C->SetIconTitles(false);
        C->SetIconWidth(w);
        C->SetIconHeight(h);
        C->SetIconVertGap(gap);
        C->SetIconHorzGap(gap);
        C->SetIconConstraint(constraint);
        C->SetIconCount(count);
        C->SetVertScrollRange(C->ContentHeight());
        Settle();
    }

    void Settle() {
        QApplication::processEvents();
        Drawn.clear();
    }

    QPoint CentreOf(int index) const { return C->VisibleIconRect(index).center(); }

    void ClickIcon(int index, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(C->viewport(), Qt::LeftButton, mods, CentreOf(index));
    }

    TSelectionVector Selected() const {
        auto list = C->Selector().SelectedList();
        return list ? *list : TSelectionVector{};
    }

    void SendMove(QPoint p, Qt::KeyboardModifiers mods = {}) {
        QMouseEvent move(QEvent::MouseMove, p, C->viewport()->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, mods);
        QCoreApplication::sendEvent(C->viewport(), &move);
    }

    void SendWheel(int delta, Qt::KeyboardModifiers mods = {}) {
        const QPoint p(10, 10);
        QWheelEvent wheel(p, C->viewport()->mapToGlobal(p), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(C->viewport(), &wheel);
    }

    QWidget Window;
    TIconContainer* C = nullptr;  // owned by Window
    QLineEdit* Other = nullptr;   // owned by Window
    std::vector<Click> Clicks;
    std::vector<int> Drawn;
    std::map<int, QRect> DrawRects;
};

} // namespace

TEST_F(IconContainerTest, PublishedPropertiesByNameAndTheColumnFitAt618) {
    C->setGeometry(0, 0, 618, 400);
    EXPECT_TRUE(C->setProperty("IconWidth", 72));
    EXPECT_TRUE(C->setProperty("IconHeight", 72));
    EXPECT_TRUE(C->setProperty("IconTitles", false));
    EXPECT_TRUE(C->setProperty("IconGap", 0));
    EXPECT_TRUE(C->setProperty("IconCount", 50));
    EXPECT_EQ(C->property("IconConstraint").value<TIconContainerConstraint>(), iccColumnFit);
    EXPECT_EQ(C->property("IconColumns").toInt(), 8);
    EXPECT_EQ(C->property("IconRows").toInt(), 7);

    // Gaps: from 0 and 0, writing 5 gives 6; from 5 and 5 it changes nothing.
    C->setProperty("IconGap", 5);
    EXPECT_EQ(std::make_tuple(C->IconGap(), C->IconVertGap(), C->IconHorzGap()), std::make_tuple(6, 6, 6));
    C->SetIconVertGap(5);
    C->SetIconHorzGap(5);
    EXPECT_EQ(std::make_tuple(C->IconVertGap(), C->IconHorzGap()), std::make_tuple(6, 6)) << "odd rounded up";
    TIconContainer fresh;
    fresh.setProperty("IconGap", 5);
    EXPECT_EQ(std::make_tuple(fresh.IconGap(), fresh.IconVertGap(), fresh.IconHorzGap()), std::make_tuple(5, 5, 5));

    // Constraints are set by their names; a resize re-wraps only with IconAutoWrap.
    C->setProperty("IconGap", 0);
    EXPECT_TRUE(C->setProperty("IconConstraint", "iccColumns"));
    EXPECT_EQ(C->IconConstraint(), iccColumns);
    C->SetIconConstraint(iccColumnFit);
    std::vector<int> columnsSeenOnResize;
    QObject::connect(C, &TIconContainer::OnResize, [&](TIconContainer* sender) {
        columnsSeenOnResize.push_back(sender->IconColumns());  // the owner sets its range from here
    });
    C->resize(300, 400);
    EXPECT_EQ(C->IconColumns(), 4);
    EXPECT_EQ(columnsSeenOnResize, std::vector<int>{4}) << "OnResize comes after the re-arrangement";
    C->SetIconAutoWrap(false);
    C->resize(618, 400);
    EXPECT_EQ(C->IconColumns(), 4);
    C->SetIconAutoWrap(true);
    EXPECT_EQ(C->IconColumns(), 8);

    // Other published values keep their defaults and accept writes by name.
    EXPECT_EQ(fresh.property("IconMargin").toInt(), 0);
    EXPECT_TRUE(fresh.property("IconCUASelect").toBool());
    EXPECT_FALSE(fresh.property("IconMultipleSelect").toBool());
    EXPECT_TRUE(fresh.setProperty("Color", QColor(Qt::black)));
    EXPECT_EQ(fresh.Color(), QColor(Qt::black));
    QPixmap tile(4, 4);
    EXPECT_TRUE(fresh.setProperty("TileImage", tile));
    EXPECT_EQ(fresh.TileImage().size(), QSize(4, 4));
}

TEST_F(IconContainerTest, IconRectOutOfRangeRaisesTheRangeError) {
    Configure({300, 300}, 5);
    struct Row {
        int index;
        const char* text;
    };
    const Row rows[] = {
        {7, "IconPanel range check error.  7 is not in the range 0..5."},
        {5, "IconPanel range check error.  5 is not in the range 0..5."},
        {-1, "IconPanel range check error.  -1 is not in the range 0..5."},
    };
    for (const Row& row : rows) {
        try {
            C->IconRect(row.index);
            ADD_FAILURE() << "no error for " << row.index;
        } catch (const EError& e) {
            EXPECT_NE(dynamic_cast<const EIconRangeError*>(&e), nullptr);
            EXPECT_EQ(e.Message(), QString(row.text));
        }
        EXPECT_THROW(C->VisibleIconRect(row.index), EIconRangeError);
    }
    EXPECT_EQ(C->IconRect(4), QRect(0, 72, 72, 72)) << "four columns fit in 300";
}

TEST_F(IconContainerTest, ArrowKeysMoveByConstraintFamilyAndAProbeThatHitsNothingKeepsTheFocus) {
    struct Row {
        TIconContainerConstraint constraint;
        int focus;
        Qt::Key key;
        int expected;
    };
    // 10 icons in 4 columns and 3 rows either way.
    const Row rows[] = {
        {iccColumnFit, 5, Qt::Key_Left, 4},   {iccColumnFit, 5, Qt::Key_Right, 6},
        {iccColumnFit, 5, Qt::Key_Up, 1},     {iccColumnFit, 5, Qt::Key_Down, 9},
        {iccColumnFit, 4, Qt::Key_Left, 3},   {iccColumnFit, 7, Qt::Key_Down, 7},
        {iccColumnFit, 2, Qt::Key_Up, 2},     {iccColumnFit, 9, Qt::Key_Right, 9},
        {iccColumnFit, 3, Qt::Key_Home, 0},   {iccColumnFit, 3, Qt::Key_End, 9},
        {iccRowFit, 5, Qt::Key_Up, 4},        {iccRowFit, 5, Qt::Key_Down, 6},
        {iccRowFit, 5, Qt::Key_Left, 4},      {iccRowFit, 5, Qt::Key_Right, 6},
        {iccRowFit, 4, Qt::Key_Left, 4},      {iccRowFit, 7, Qt::Key_Right, 7},
        {iccRowFit, 0, Qt::Key_Up, 0},        {iccRowFit, 9, Qt::Key_Down, 9},
    };
    for (const Row& row : rows) {
        Configure({4 * 72, 3 * 72}, 10, 72, 72, 0, row.constraint);
        ASSERT_EQ(std::make_tuple(C->IconRows(), C->IconColumns()), std::make_tuple(3, 4));
        C->SetFocusIndex(row.focus);
        C->Selector().SelectOnly(row.focus);
        C->Selector().Select(0);
        C->Selector().Notify();
        QTest::keyClick(C, row.key);
        EXPECT_EQ(C->FocusIndex(), row.expected) << "constraint " << row.constraint << " from " << row.focus;
        // A move selects the new focus alone; no move leaves the selection.
        const TSelectionVector expected = row.expected != row.focus
                                              ? TSelectionVector{row.expected}
                                              : (row.focus == 0 ? TSelectionVector{0} : TSelectionVector{0, row.focus});
        EXPECT_EQ(Selected(), expected) << "constraint " << row.constraint << " from " << row.focus;
    }
}

TEST_F(IconContainerTest, ShiftWithTheKeysExtendsOnlyWithMultipleSelect) {
    Configure({4 * 72, 3 * 72}, 10);
    C->SetFocusIndex(5);
    C->Selector().SelectOnly(5);
    QTest::keyClick(C, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), TSelectionVector{6});
    C->SetIconMultipleSelect(true);
    QTest::keyClick(C, Qt::Key_Up, Qt::ShiftModifier);  // anchor 6 from the plain move
    EXPECT_EQ(Selected(), (TSelectionVector{2, 3, 4, 5, 6}));
    QTest::keyClick(C, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (TSelectionVector{0, 1, 2, 3, 4, 5, 6}));
    QTest::keyClick(C, Qt::Key_End);
    EXPECT_EQ(Selected(), TSelectionVector{9});

    // Page keys step by the icons of one visible page (12 here, the last paint's).
    Configure({4 * 72, 3 * 72}, 50);
    QTest::keyClick(C, Qt::Key_PageDown);
    EXPECT_EQ(C->FocusIndex(), 12);
    QTest::keyClick(C, Qt::Key_PageDown);
    EXPECT_EQ(C->FocusIndex(), 24);
    EXPECT_FALSE(C->VisibleIconRect(24).isEmpty()) << "scrolled into view";
    QTest::keyClick(C, Qt::Key_PageUp);
    EXPECT_EQ(C->FocusIndex(), 12);
}

TEST_F(IconContainerTest, KeysItDoesNotUseGoToOnKeyDown) {
    Configure({4 * 72, 3 * 72}, 10);
    std::vector<int> keys;
    QObject::connect(C, &TIconContainer::OnKeyDown, [&](TIconContainer*, QKeyEvent* e) {
        if (e->key() != Qt::Key_Control && e->key() != Qt::Key_Alt) keys.push_back(e->key());
    });
    C->SetFocusIndex(5);
    QTest::keyClick(C, Qt::Key_A);
    QTest::keyClick(C, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(C, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_A, Qt::Key_Down, Qt::Key_Right}));
    EXPECT_EQ(C->FocusIndex(), 5);
}

TEST_F(IconContainerTest, EnterAndSpaceClickTheFocusIconAtItsMiddleInContentCoordinates) {
    Configure({4 * 72, 3 * 72}, 50);
    C->verticalScrollBar()->setValue(100);
    C->SetFocusIndex(30);
    QTest::keyClick(C, Qt::Key_Return);
    QTest::keyClick(C, Qt::Key_Space);
    const QRect r = C->IconRect(30);
    const Click expected{30, r.left() + 36, r.top() + 36};
    EXPECT_EQ(Clicks, (std::vector<Click>{expected, expected}));
}

TEST_F(IconContainerTest, ClickRulesWithShiftAndCtrl) {
    Configure({4 * 72, 4 * 72 + 40}, 14);
    QSignalSpy changes(C, &TIconContainer::OnSelectionChange);
    ClickIcon(5, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), TSelectionVector{5}) << "Shift without an anchor selects one icon";
    ClickIcon(9, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (TSelectionVector{5, 6, 7, 8, 9})) << "a later Shift-click selects the range";
    ClickIcon(2, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (TSelectionVector{2, 3, 4, 5}));
    ClickIcon(12, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (TSelectionVector{2, 3, 4, 5, 12})) << "Ctrl-click toggles on";
    ClickIcon(3, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (TSelectionVector{2, 4, 5, 12})) << "Ctrl-click toggles off";
    ClickIcon(6, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(Selected(), (TSelectionVector{2, 12})) << "the anchor (3) is off: 3..6 off";
    ClickIcon(12, Qt::ControlModifier);
    ClickIcon(12, Qt::ControlModifier);
    ClickIcon(10, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(Selected(), (TSelectionVector{2, 10, 11, 12}));
    EXPECT_TRUE(Clicks.empty()) << "modified clicks raise no OnIconClick";
    ClickIcon(7);
    EXPECT_EQ(Selected(), TSelectionVector{7});
    EXPECT_EQ(Clicks, (std::vector<Click>{{7, CentreOf(7).x(), CentreOf(7).y()}}));
    EXPECT_EQ(C->FocusIndex(), 7);
    EXPECT_EQ(changes.count(), 10);

    QTest::mouseClick(C->viewport(), Qt::LeftButton, {}, QPoint(100, 4 * 72 + 20));
    EXPECT_EQ(Selected(), TSelectionVector{}) << "a click on empty space clears the selection";
    EXPECT_EQ(C->FocusIndex(), 7) << "and keeps the focus";
    QTest::mouseClick(C->viewport(), Qt::RightButton, {}, CentreOf(3));
    EXPECT_EQ(Selected(), TSelectionVector{}) << "other buttons change nothing";
}

TEST_F(IconContainerTest, WithoutCUASelectAClickOnlyRaisesOnIconClick) {
    Configure({4 * 72, 4 * 72 + 40}, 14);
    C->setProperty("IconCUASelect", false);
    C->Selector().SelectOnly(1);
    C->Selector().Notify();
    QSignalSpy changes(C, &TIconContainer::OnSelectionChange);
    ClickIcon(5);
    ClickIcon(6, Qt::ControlModifier);
    ClickIcon(7, Qt::ShiftModifier);
    QTest::mouseClick(C->viewport(), Qt::LeftButton, {}, QPoint(100, 4 * 72 + 20));
    EXPECT_EQ(Selected(), TSelectionVector{1});
    EXPECT_EQ(changes.count(), 0);
    ASSERT_EQ(Clicks.size(), 3u);
    EXPECT_EQ(Clicks[2].index, 7);
}

TEST_F(IconContainerTest, PressTakesTheFocusAndSetsTheFocusIconDoubleClickRaisesOnIconDblClk) {
    Configure({4 * 72, 3 * 72}, 10);
    Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
    Other->setFocus();
    ASSERT_TRUE(Other->hasFocus());
    std::vector<std::pair<int, Qt::MouseButton>> downs;
    QObject::connect(C, &TIconContainer::OnMouseDown, [&](TIconContainer* sender, QMouseEvent* e) {
        downs.push_back({sender->FocusIndex(), e->button()});  // the focus is already set
    });
    std::vector<Click> doubles;
    QObject::connect(C, &TIconContainer::OnIconDblClk,
                     [&](TIconContainer*, int i, int x, int y) { doubles.push_back({i, x, y}); });
    QTest::mousePress(C->viewport(), Qt::LeftButton, {}, CentreOf(6));
    EXPECT_TRUE(C->hasFocus());
    EXPECT_EQ(C->FocusIndex(), 6);
    QTest::mouseRelease(C->viewport(), Qt::LeftButton, {}, CentreOf(6));
    QTest::mouseDClick(C->viewport(), Qt::LeftButton, {}, CentreOf(2));
    EXPECT_EQ(doubles, (std::vector<Click>{{2, CentreOf(2).x(), CentreOf(2).y()}}));
    QTest::mouseDClick(C->viewport(), Qt::RightButton, {}, CentreOf(3));
    EXPECT_EQ(doubles.size(), 1u) << "only the left button double-clicks";
    QTest::mousePress(C->viewport(), Qt::LeftButton, {}, QPoint(149, 149));
    EXPECT_EQ(C->FocusIndex(), 3) << "a press on empty space keeps the focus icon";
    EXPECT_EQ(downs.front(), std::make_pair(6, Qt::LeftButton));
    // Let go of both: a button left down would stop a later test's slideshow at once.
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton})
        QTest::mouseRelease(C->viewport(), button, {}, QPoint(149, 149));
    EXPECT_EQ(QGuiApplication::mouseButtons(), Qt::NoButton);
}

TEST_F(IconContainerTest, NoIconsMeansNoFocusAndNoHits) {
    Configure({4 * 72, 3 * 72}, 10);
    C->SetFocusIndex(4);
    C->SetIconCount(0);
    EXPECT_EQ(C->FocusIndex(), -1);
    for (int y = -10; y < 3 * 72 + 10; y += 7)
        for (int x = -10; x < 4 * 72 + 10; x += 7) ASSERT_EQ(C->HitTest(x, y), -1) << x << "," << y;
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_PageDown, Qt::Key_Return}) QTest::keyClick(C, key);
    EXPECT_EQ(C->FocusIndex(), -1);
    EXPECT_TRUE(Clicks.empty());
    C->SetIconCount(3);
    EXPECT_EQ(C->FocusIndex(), 0) << "an unset focus reads as the first icon";
}

TEST_F(IconContainerTest, WheelScrollsByCellsAndClampsAtBothEnds) {
    const int savedLines = QApplication::wheelScrollLines();
    Configure({8 * 72, 200}, 50);  // 7 rows: content 504, so positions 0..304
    ASSERT_EQ(C->verticalScrollBar()->maximum(), 304);
    struct Row {
        int lines, delta, position;
    };
    const Row rows[] = {
        {3, -120, 216}, {3, -120, 304}, {3, -120, 304}, {3, 120, 88},
        {3, 120, 0},    {3, 120, 0},    {1, -120, 72},  {1, -60, 72},
        {1, -60, 144},  {2, 120, 0},
    };
    for (const Row& row : rows) {
        QApplication::setWheelScrollLines(row.lines);
        SendWheel(row.delta);
        EXPECT_EQ(C->verticalScrollBar()->value(), row.position) << row.lines << " " << row.delta;
    }
    // With a horizontal range the horizontal bar scrolls, by columns.
    QApplication::setWheelScrollLines(1);
    C->SetIconConstraint(iccColumns);
    C->SetIconColumns(20);
    C->SetHorzScrollRange(20 * 72);
    SendWheel(-120);
    EXPECT_EQ(C->horizontalScrollBar()->value(), 72);
    EXPECT_EQ(C->verticalScrollBar()->value(), 0);
    QApplication::setWheelScrollLines(savedLines);
}

TEST_F(IconContainerTest, ScrollIntoViewMovesTheLeastAndNotForAPartlyVisibleIcon) {
    Configure({8 * 72, 200}, 50);
    QTest::keyClick(C, Qt::Key_End);
    EXPECT_EQ(C->verticalScrollBar()->value(), 504 - 200) << "last row at the bottom";
    C->verticalScrollBar()->setValue(50);
    C->ScrollIntoView(0);
    EXPECT_EQ(C->verticalScrollBar()->value(), 50);
    C->verticalScrollBar()->setValue(300);
    C->ScrollIntoView(3);
    EXPECT_EQ(C->verticalScrollBar()->value(), 0);
}

TEST_F(IconContainerTest, RubberBandSelectsWhatItTouchesFollowingTheScroll) {
    // Icons 72 x 72 with gaps 10 in 4 columns: icon i covers x from 82c + 5 and
    // y from 82r + 5, 72 each.
    Configure({400, 300}, 20, 72, 72, 10, iccColumns);
    C->SetIconColumns(4);
    C->SetVertScrollRange(C->ContentHeight());
    QObject::connect(C, &TIconContainer::OnMouseUp, [this](TIconContainer* sender, QMouseEvent*) {
        if (sender->BandActive()) sender->EndBand();
    });
    C->Selector().SelectOnly(0);
    C->BeginBand(QRect(390, 290, 0, 0));
    SendMove({100, 100});
    EXPECT_EQ(Selected(), (TSelectionVector{5, 6, 7, 9, 10, 11, 13, 14, 15}));
    SendMove({240, 150});
    EXPECT_EQ(Selected(), (TSelectionVector{6, 7, 10, 11, 14, 15})) << "a smaller band deselects";
    SendMove({300, 10}, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (TSelectionVector{3, 6, 7, 10, 11, 14, 15})) << "with Ctrl the others keep their state";
    QTest::mouseClick(C->viewport(), Qt::LeftButton, {}, QPoint(390, 290));
    EXPECT_FALSE(C->BandActive());
    EXPECT_EQ(Selected(), (TSelectionVector{3, 6, 7, 10, 11, 14, 15})) << "the release ending a band keeps the selection";

    // Begun at content y 10, scrolled down by 82, mouse at client y 100 (content 182).
    C->Selector().DeselectAll();
    C->BeginBand(QRect(390, 10, 0, 0));
    C->verticalScrollBar()->setValue(82);
    SendMove({240, 100});
    EXPECT_EQ(Selected(), (TSelectionVector{2, 3, 6, 7, 10, 11}));
    C->EndBand();
}

TEST_F(IconContainerTest, TheBandIsADottedFrameThatGoesWithEndBand) {
    Configure({400, 300}, 4, 72, 72, 10, iccColumns);
    C->SetColor(Qt::black);
    C->BeginBand(QRect(300, 200, 0, 0));
    SendMove({350, 260});
    auto whiteOnTopEdge = [&] {
        const QImage shot = C->viewport()->grab().toImage();
        int white = 0;
        for (int x = 300; x < 350; ++x) white += shot.pixelColor(x, 200) == QColor(Qt::white);
        return white;
    };
    const int dots = whiteOnTopEdge();
    EXPECT_GT(dots, 10);
    EXPECT_LT(dots, 40) << "dotted, not solid";
    C->EndBand();
    EXPECT_EQ(whiteOnTopEdge(), 0);
}

TEST_F(IconContainerTest, TheContextMenuKeyRightClicksASelectedFocusIcon) {
    Configure({4 * 72, 3 * 72}, 10);
    std::vector<std::pair<Qt::MouseButton, QPoint>> ups;
    QObject::connect(C, &TIconContainer::OnMouseUp, [&](TIconContainer*, QMouseEvent* e) {
        ups.push_back({e->button(), e->position().toPoint()});
    });
    auto menuKey = [&] {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(0, 0), C->mapToGlobal(QPoint(0, 0)));
        QCoreApplication::sendEvent(C, &menu);
        return menu.isAccepted();
    };
    C->SetFocusIndex(5);
    EXPECT_FALSE(menuKey()) << "focus icon not selected: base handling";
    EXPECT_TRUE(ups.empty());
    C->Selector().SelectOnly(5);
    EXPECT_TRUE(menuKey());
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(ups[0], std::make_pair(Qt::RightButton, C->VisibleIconRect(5).center()));
    EXPECT_EQ(Selected(), TSelectionVector{5});
}

TEST_F(IconContainerTest, PaintDrawsOnlyTheIconsInTheAreaWithoutTheirTitleBand) {
    Configure({4 * 72, 3 * 72}, 5000);
    QSignalSpy before(C, &TIconContainer::OnBeforePaint);
    QSignalSpy after(C, &TIconContainer::OnAfterPaint);
    C->viewport()->repaint();
    EXPECT_EQ(std::set<int>(Drawn.begin(), Drawn.end()), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(Drawn.size(), 12u);
    EXPECT_EQ(std::make_tuple(before.count(), after.count()), std::make_tuple(1, 1));

    C->verticalScrollBar()->setValue(100 * 72 + 30);
    Settle();
    C->viewport()->repaint();
    std::set<int> drawn(Drawn.begin(), Drawn.end());
    EXPECT_EQ(*drawn.begin(), 400);
    EXPECT_EQ(*drawn.rbegin(), 415);
    EXPECT_EQ(drawn.size(), 16u) << "four rows meet the client area";
    EXPECT_EQ(std::make_tuple(C->VisibleFirst(), C->VisibleLast()), std::make_tuple(400, 415));

    // Each icon lands where its rectangle is, through the off-screen picture.
    const QImage shot = C->viewport()->grab().toImage();
    for (int i : {401, 406, 414}) EXPECT_EQ(shot.pixel(CentreOf(i)), ColourOf(i).rgb()) << i;

    Settle();
    C->InvalidateIcon(406, true);
    EXPECT_EQ(Drawn, std::vector<int>{406});
    EXPECT_EQ(std::make_tuple(C->PaintedFirst(), C->PaintedLast()), std::make_tuple(406, 406));
    EXPECT_EQ(std::make_tuple(C->VisibleFirst(), C->VisibleLast()), std::make_tuple(400, 415));

    // Titles: the cell grows by the font height, the draw rectangle does not hold it.
    C->SetIconTitles(true);
    const int title = C->fontMetrics().height();
    ASSERT_GT(title, 0);
    C->verticalScrollBar()->setValue(0);
    Settle();
    C->viewport()->repaint();
    EXPECT_EQ(C->IconRect(4).height(), 72 + title);
    EXPECT_EQ(DrawRects[4], QRect(0, 72 + title, 72, 72));
}

TEST_F(IconContainerTest, ASelectionChangeRepaintsOnlyTheChangedIcons) {
    Configure({4 * 72, 3 * 72}, 40);
    QSignalSpy changes(C, &TIconContainer::OnSelectionChange);
    C->Selector().Select(7);
    C->Selector().Select(9);
    C->Selector().Select(30);  // not visible
    C->Selector().Notify();
    EXPECT_EQ(std::set<int>(Drawn.begin(), Drawn.end()), (std::set<int>{7, 9})) << "painted at once";
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(IconContainerTest, TheTiledBackgroundMovesWithTheContent) {
    QImage pattern(16, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) pattern.setPixelColor(x, y, QColor(x * 16, y * 32, 90));
    Configure({200, 150}, 0);
    C->SetTileImage(QPixmap::fromImage(pattern));
    C->SetVertScrollRange(1000);
    C->SetHorzScrollRange(500);
    for (QPoint scroll : {QPoint(0, 0), QPoint(0, 37), QPoint(21, 5)}) {
        C->horizontalScrollBar()->setValue(scroll.x());
        C->verticalScrollBar()->setValue(scroll.y());
        const QImage shot = C->viewport()->grab().toImage();
        for (QPoint p : {QPoint(0, 0), QPoint(5, 9), QPoint(199, 149), QPoint(77, 100)})
            EXPECT_EQ(shot.pixelColor(p), pattern.pixelColor((p.x() + scroll.x()) % 16, (p.y() + scroll.y()) % 8))
                << p.x() << "," << p.y() << " at " << scroll.x() << "," << scroll.y();
    }
}

TEST_F(IconContainerTest, ScreenshotWithIconsASelectionAndABand) {
    // Drawn the way the thumbnails page draws: navy under a selected cell,
    // the photo inset; the hovered one framed yellow.
    QObject::disconnect(C, &TIconContainer::OnIconDraw, nullptr, nullptr);
    QObject::connect(C, &TIconContainer::OnIconDraw, [](TIconContainer* sender, int i, QPainter* canvas, QRect r) {
        if (sender->Selector().IsSelected(i)) canvas->fillRect(r, QColor(0, 0, 128));
        r.adjust(4, 4, -4, -4);
        if (i == 9) canvas->fillRect(r, Qt::yellow);
        r.adjust(2, 2, -2, -2);
        QLinearGradient sky(r.topLeft(), r.bottomLeft());
        sky.setColorAt(0, QColor::fromHsv((i * 29) % 360, 120, 250));
        sky.setColorAt(1, QColor::fromHsv((i * 29 + 40) % 360, 200, 90));
        canvas->fillRect(r, sky);
        canvas->setPen(Qt::white);
        canvas->drawText(r, Qt::AlignRight | Qt::AlignBottom, QString::number(i + 1) + " ");
    });
    C->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Configure({5 * 86 + 20, 300}, 23, 80, 80, 6);
    C->SetColor(Qt::black);
    C->SetVertScrollRange(C->ContentHeight());
    C->Selector().SelectOnly(2);
    C->Selector().Select(3);
    C->Selector().Notify();
    C->BeginBand(QRect(420, 40, 0, 0));
    SendMove({200, 150});
    Settle();
    EXPECT_EQ(Selected(), (TSelectionVector{2, 3, 4, 7, 8, 9}));
    EXPECT_TRUE(SaveScreenshot(*C, "icon-container"));
    C->EndBand();
}
