#include "viewer/iconlayout.h"
#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

// Rectangles are ints; a grid of huge icons or counts saturates instead of
// overflowing.
int Sat(qint64 v) {
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Division rounding toward minus infinity (points left of or above the grid).
qint64 FloorDiv(qint64 a, qint64 b) {
    qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int CeilDiv(int n, int d) { return n / d + (n % d != 0 ? 1 : 0); }

template <typename T>
bool Assign(T& field, T value) {
    if (field == value) return false;
    field = value;
    return true;
}

} // namespace

int EvenGap(int value) { return value % 2 != 0 ? value + 1 : value; }

bool TIconLayout::SetIconWidth(int value) { return value >= 1 && Assign(FIconWidth, value); }

bool TIconLayout::SetIconHeight(int value) { return value >= 1 && Assign(FIconHeight, value); }

bool TIconLayout::SetIconGap(int value) {
    if (value < 0 || value == FIconVertGap || value == FIconHorzGap) return false;
    value = EvenGap(value);
    FIconGap = value;
    FIconVertGap = value;
    FIconHorzGap = value;
    return true;
}

bool TIconLayout::SetIconVertGap(int value) { return value >= 0 && Assign(FIconVertGap, EvenGap(value)); }

bool TIconLayout::SetIconHorzGap(int value) { return value >= 0 && Assign(FIconHorzGap, EvenGap(value)); }

bool TIconLayout::SetIconMargin(int value) {
    if (value == FIconTopMargin || value == FIconLeftMargin) return false;
    FIconMargin = value;
    FIconTopMargin = value;
    FIconLeftMargin = value;
    return true;
}

bool TIconLayout::SetIconTopMargin(int value) { return Assign(FIconTopMargin, value); }

bool TIconLayout::SetIconLeftMargin(int value) { return Assign(FIconLeftMargin, value); }

bool TIconLayout::SetIconColumns(int value) { return value >= 1 && Assign(FIconColumns, value); }

bool TIconLayout::SetIconRows(int value) { return value >= 1 && Assign(FIconRows, value); }

bool TIconLayout::SetIconConstraint(TIconContainerConstraint value) { return Assign(FIconConstraint, value); }

bool TIconLayout::SetIconCount(int value) { return value >= 0 && Assign(FIconCount, value); }

bool TIconLayout::SetIconTitles(bool value) { return Assign(FIconTitles, value); }

bool TIconLayout::SetTitleHeight(int value) { return Assign(FTitleHeight, std::abs(value)); }

int TIconLayout::CellHeight() const { return FIconHeight + FIconVertGap + (FIconTitles ? FTitleHeight : 0); }

void TIconLayout::Arrange(QSize client) {
    const int n = FIconCount;
    switch (FIconConstraint) {
    case iccNone:
        break;
    case iccRows:
        FIconColumns = CeilDiv(n, FIconRows);
        break;
    case iccColumns:
        FIconRows = CeilDiv(n, FIconColumns);
        break;
    case iccRowFit:
        FIconRows = std::max(1, client.height() / CellHeight());
        FIconColumns = CeilDiv(n, FIconRows);
        break;
    case iccColumnFit:
        FIconColumns = std::max(1, (client.width() + FIconHorzGap) / CellWidth());
        FIconRows = CeilDiv(n, FIconColumns);
        break;
    }
    FIconRows = std::max(1, FIconRows);
    FIconColumns = std::max(1, FIconColumns);
}

QRect TIconLayout::IconRect(int index) const {
    const qint64 cw = CellWidth(), ch = CellHeight();
    const qint64 c = index % FIconColumns, r = index / FIconColumns;
    const qint64 left = c * cw + FIconLeftMargin, top = r * ch + FIconTopMargin;
    const int dx = FIconHorzGap / 2, dy = FIconVertGap / 2;
    return QRect(Sat(left + dx), Sat(top + dy), Sat(cw - 2 * dx), Sat(ch - 2 * dy));
}

QRect TIconLayout::DrawRect(int index) const {
    QRect r = IconRect(index);
    if (FIconTitles) r.setHeight(r.height() - FTitleHeight);
    return r;
}

int TIconLayout::ContentHeight() const {
    if (FIconCount == 0) return 0;
    const QRect last = IconRect(FIconCount - 1);
    return Sat(qint64(last.top()) + last.height() + FIconVertGap);
}

TCellWindow TIconLayout::CandidateCells(const QRect& area) const {
    TCellWindow w;
    if (FIconCount == 0 || area.isEmpty()) return w;
    const qint64 cw = CellWidth(), ch = CellHeight();
    // With iccNone the icons may need more rows than IconRows says.
    const qint64 rows = std::max<qint64>(FIconRows, (qint64(FIconCount) + FIconColumns - 1) / FIconColumns);
    const qint64 cols = FIconColumns;
    auto clampTo = [](qint64 v, qint64 count) { return int(std::clamp<qint64>(v, 0, count - 1)); };
    w.FirstColumn = clampTo(FloorDiv(qint64(area.left()) - FIconLeftMargin, cw) - 1, cols);
    w.LastColumn = clampTo(FloorDiv(qint64(area.right()) - FIconLeftMargin, cw) + 1, cols);
    w.FirstRow = clampTo(FloorDiv(qint64(area.top()) - FIconTopMargin, ch) - 1, rows);
    w.LastRow = clampTo(FloorDiv(qint64(area.bottom()) - FIconTopMargin, ch) + 1, rows);
    return w;
}

// An icon lies inside its cell (gaps are never negative), so the cell under
// the point is the only one to test; this finds icons far outside the view
// as well, which the keyboard probes need.
int TIconLayout::IconAt(QPoint content) const {
    if (FIconCount == 0) return -1;
    const qint64 c = FloorDiv(qint64(content.x()) - FIconLeftMargin, CellWidth());
    const qint64 r = FloorDiv(qint64(content.y()) - FIconTopMargin, CellHeight());
    if (c < 0 || c >= FIconColumns || r < 0) return -1;
    const qint64 i = r * FIconColumns + c;
    if (i >= FIconCount) return -1;
    return IconRect(int(i)).contains(content) ? int(i) : -1;
}

// The arrow probes aim at the middle of the neighbouring cell: one cell
// pitch away, so a title band or a wide gap never makes a probe land on the
// focus icon itself or between two icons.
int TIconLayout::MoveTarget(TIconMove move, int focus, int page) const {
    const int n = FIconCount;
    if (n == 0) return -1;
    int target = -1;
    switch (move) {
    case TIconMove::Home:
        return 0;
    case TIconMove::End:
        return n - 1;
    case TIconMove::PageUp:
        return std::max(0, focus - page);
    case TIconMove::PageDown:
        return std::min(n - 1, focus + page);
    default:
        break;
    }
    if (focus < 0 || focus >= n) return -1;
    const QRect r = IconRect(focus);
    const int hw = FIconWidth / 2, hh = FIconHeight / 2;
    const int cw = CellWidth(), ch = CellHeight();
    const bool columnFamily =
        FIconConstraint == iccNone || FIconConstraint == iccColumns || FIconConstraint == iccColumnFit;
    if (columnFamily) {
        switch (move) {
        case TIconMove::Left: target = focus - 1; break;
        case TIconMove::Right: target = focus + 1; break;
        case TIconMove::Up: target = IconAt({r.left() + hw, r.top() - ch + hh}); break;
        case TIconMove::Down: target = IconAt({r.left() + hw, r.top() + ch + hh}); break;
        default: break;
        }
    } else {
        switch (move) {
        case TIconMove::Up: target = focus - 1; break;
        case TIconMove::Down: target = focus + 1; break;
        case TIconMove::Left: target = IconAt({r.left() - cw + hw, r.top() + hh}); break;
        case TIconMove::Right: target = IconAt({r.left() + cw + hw, r.top() + hh}); break;
        default: break;
        }
    }
    return target >= 0 && target < n ? target : -1;
}

QPoint ScrollToShow(const QRect& icon, const QRect& view) {
    QPoint pos = view.topLeft();
    if (icon.left() < view.left())
        pos.setX(icon.left());
    else if (icon.left() + icon.width() > view.left() + view.width())
        pos.setX(icon.left() + icon.width() - view.width());
    if (icon.top() < view.top())
        pos.setY(icon.top());
    else if (icon.top() + icon.height() > view.top() + view.height())
        pos.setY(icon.top() + icon.height() - view.height());
    return pos;
}

QRect BandRect(const QRect& start, QPoint mouse, int shift) {
    const int left = std::min(start.left(), mouse.x());
    const int right = std::max(start.left() + start.width(), mouse.x());
    const int top = std::min(start.top() + shift, mouse.y());
    const int bottom = std::max(start.top() + start.height() + shift, mouse.y());
    return QRect(left, top, right - left, bottom - top);
}

qint64 TWheelScroll::Step(int delta, int lines, int cell, int page) {
    if (lines < 0) return delta > 0 ? -page : delta < 0 ? page : 0;
    const qint64 add = qint64(delta) * lines;
    // A turn the other way starts afresh.
    if ((add < 0 && FRest > 0) || (add > 0 && FRest < 0)) FRest = 0;
    FRest += add;
    const qint64 n = FRest / 120;
    FRest -= n * 120;
    return -n * cell;
}

int ClampedScroll(int position, qint64 step, int maximum) {
    return int(std::clamp<qint64>(qint64(position) + step, 0, std::max(0, maximum)));
}
