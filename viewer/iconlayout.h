#pragma once
// The geometry of an icon container, apart from the widget: how many rows and
// columns, where each icon sits (content coordinates), which cells can meet an
// area, which icon lies under a point, where the arrow and paging keys go, and
// the wheel, scroll-into-view and rubber-band arithmetic.
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QtGlobal>

// In a namespace of their own so the names are known to the meta-object
// system (properties set by name take "iccRows") without taking the name
// IconContainer, which a form may give a component.
namespace IconContainerEnums {
Q_NAMESPACE
// How rows and columns are found: kept as set, from the rows, from the
// columns, or fitted to the control's height (rows) or width (columns).
enum TIconContainerConstraint { iccNone, iccRows, iccColumns, iccRowFit, iccColumnFit };
Q_ENUM_NS(TIconContainerConstraint)
} // namespace IconContainerEnums

using IconContainerEnums::TIconContainerConstraint;
using enum IconContainerEnums::TIconContainerConstraint;

enum class TIconMove { Left, Right, Up, Down, PageUp, PageDown, Home, End };

// The block of grid cells (rows and columns, inclusive) that may hold icons
// meeting an area. Empty when there are no icons.
struct TCellWindow {
    int FirstRow = 0, LastRow = -1, FirstColumn = 0, LastColumn = -1;
    bool IsEmpty() const { return LastRow < FirstRow || LastColumn < FirstColumn; }
};

class TIconLayout {
public:
    int IconWidth() const { return FIconWidth; }
    int IconHeight() const { return FIconHeight; }
    int IconGap() const { return FIconGap; }
    int IconVertGap() const { return FIconVertGap; }
    int IconHorzGap() const { return FIconHorzGap; }
    int IconMargin() const { return FIconMargin; }
    int IconTopMargin() const { return FIconTopMargin; }
    int IconLeftMargin() const { return FIconLeftMargin; }
    int IconColumns() const { return FIconColumns; }
    int IconRows() const { return FIconRows; }
    TIconContainerConstraint IconConstraint() const { return FIconConstraint; }
    int IconCount() const { return FIconCount; }
    bool IconTitles() const { return FIconTitles; }
    int TitleHeight() const { return FTitleHeight; }

    // Each setter applies the property's rule and returns true when a value
    // changed (the caller then arranges). Sizes, rows and columns below 1,
    // negative gaps and a negative count are ignored.
    bool SetIconWidth(int value);
    bool SetIconHeight(int value);
    // Sets all three gaps (an odd value rounded up to even) unless Value
    // equals one of the two gaps.
    bool SetIconGap(int value);
    bool SetIconVertGap(int value);
    bool SetIconHorzGap(int value);
    // Sets all three margins unless Value equals one of the two margins.
    bool SetIconMargin(int value);
    bool SetIconTopMargin(int value);
    bool SetIconLeftMargin(int value);
    bool SetIconColumns(int value);
    bool SetIconRows(int value);
    bool SetIconConstraint(TIconContainerConstraint value);
    bool SetIconCount(int value);
    bool SetIconTitles(bool value);
    // Height of the title band under each icon when titles are on.
    bool SetTitleHeight(int value);

    // Finds rows and columns for a control of Client size.
    void Arrange(QSize client);
    bool IsFit() const { return FIconConstraint == iccRowFit || FIconConstraint == iccColumnFit; }
    int CellWidth() const { return FIconWidth + FIconHorzGap; }
    int CellHeight() const;

    // Content coordinates; no range check (the container does it).
    QRect IconRect(int index) const;
    // The rectangle OnIconDraw gets: the icon without its title band.
    QRect DrawRect(int index) const;
    // Bottom of the last icon plus the vertical gap; 0 without icons.
    int ContentHeight() const;

    // The cells that may meet Area (content coordinates), widened by one cell
    // on every side and clamped to the grid. Its size depends on Area, not on
    // the number of icons.
    TCellWindow CandidateCells(const QRect& area) const;
    // Calls F(index) for every icon of the window, row by row.
    template <typename F>
    void ForEachIcon(const TCellWindow& w, F&& f) const {
        for (int r = w.FirstRow; r <= w.LastRow; ++r) {
            qint64 rowStart = qint64(r) * FIconColumns;
            for (int c = w.FirstColumn; c <= w.LastColumn; ++c) {
                qint64 i = rowStart + c;
                if (i >= FIconCount) return;
                f(int(i));
            }
        }
    }
    // The icon whose rectangle holds the content point (right and bottom
    // edges excluded), or -1.
    int IconAt(QPoint content) const;
    // Where the focus goes for a key: an icon index, or -1 for no move.
    // Page is the number of icons of one visible page.
    int MoveTarget(TIconMove move, int focus, int page) const;

private:
    int FIconWidth = 100;
    int FIconHeight = 110;
    int FIconGap = 5;
    int FIconVertGap = 5;
    int FIconHorzGap = 5;
    int FIconMargin = 0;
    int FIconTopMargin = 0;
    int FIconLeftMargin = 0;
    int FIconColumns = 1;
    int FIconRows = 1;
    TIconContainerConstraint FIconConstraint = iccColumnFit;
    int FIconCount = 0;
    bool FIconTitles = true;
    int FTitleHeight = 0;
};

// An odd gap rounded up to the next even one.
int EvenGap(int value);

// Scroll position that brings Icon into View (both content coordinates)
// with the least movement; a position that already shows it is kept.
QPoint ScrollToShow(const QRect& icon, const QRect& view);

// The rubber band for a mouse at Mouse: the start rectangle (moved by Shift,
// the vertical scroll since the band began, remembered minus current)
// stretched to reach the mouse. Client coordinates.
QRect BandRect(const QRect& start, QPoint mouse, int shift);

// Turns wheel turns into scroll steps. Deltas come in 1/120 of a notch,
// positive toward the start; small deltas from smooth-scrolling devices add
// up instead of being lost.
class TWheelScroll {
public:
    // Pixels to move by (negative toward the start): Lines cells per notch,
    // or with Lines below 0 (page mode) one Page per turn.
    qint64 Step(int delta, int lines, int cell, int page);

private:
    qint64 FRest = 0;
};

// Position after moving by Step (negative toward the start), clamped to 0..Maximum.
int ClampedScroll(int position, qint64 step, int maximum);
