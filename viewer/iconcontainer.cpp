#include "viewer/iconcontainer.h"
#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

TIconContainer::TIconContainer(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    // Every paint covers its whole area from the off-screen picture, so the
    // viewport is never erased first (no flicker).
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    // Owners track the icon under the mouse without a button held.
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setTracking(true);
    horizontalScrollBar()->setTracking(true);
    FLayout.SetTitleHeight(fontMetrics().height());
    FSelector.OnChange = [this](TSelector&, const TSelectionVector& changed) { SelectionChanged(changed); };
    UpdateScrollBars();
}

TIconContainer::~TIconContainer() = default;

void TIconContainer::LayoutChanged(bool changed) {
    if (changed) Arrange();
}

void TIconContainer::SetIconWidth(int value) { LayoutChanged(FLayout.SetIconWidth(value)); }
void TIconContainer::SetIconHeight(int value) { LayoutChanged(FLayout.SetIconHeight(value)); }
void TIconContainer::SetIconGap(int value) { LayoutChanged(FLayout.SetIconGap(value)); }
void TIconContainer::SetIconVertGap(int value) { LayoutChanged(FLayout.SetIconVertGap(value)); }
void TIconContainer::SetIconHorzGap(int value) { LayoutChanged(FLayout.SetIconHorzGap(value)); }
void TIconContainer::SetIconMargin(int value) { LayoutChanged(FLayout.SetIconMargin(value)); }
void TIconContainer::SetIconTopMargin(int value) { LayoutChanged(FLayout.SetIconTopMargin(value)); }
void TIconContainer::SetIconLeftMargin(int value) { LayoutChanged(FLayout.SetIconLeftMargin(value)); }
void TIconContainer::SetIconColumns(int value) { LayoutChanged(FLayout.SetIconColumns(value)); }
void TIconContainer::SetIconRows(int value) { LayoutChanged(FLayout.SetIconRows(value)); }
void TIconContainer::SetIconConstraint(TIconContainerConstraint value) {
    LayoutChanged(FLayout.SetIconConstraint(value));
}
void TIconContainer::SetIconTitles(bool value) { LayoutChanged(FLayout.SetIconTitles(value)); }

void TIconContainer::SetIconAutoWrap(bool value) {
    if (value == FIconAutoWrap) return;
    FIconAutoWrap = value;
    if (FIconAutoWrap && FLayout.IsFit()) Arrange();
}

void TIconContainer::SetIconCount(int value) {
    if (!FLayout.SetIconCount(value)) return;
    FSelector.SetCount(value);
    Arrange();
    FFocusIndex = -1;
}

void TIconContainer::SetTileImage(const QPixmap& tile) {
    FTileImage = tile;
    viewport()->update();
}

void TIconContainer::SetTileScreenAlign(bool value) {
    if (value == FTileScreenAlign) return;
    FTileScreenAlign = value;
    viewport()->update();
}

QColor TIconContainer::Color() const { return viewport()->palette().color(viewport()->backgroundRole()); }

void TIconContainer::SetColor(const QColor& color) {
    QPalette pal = viewport()->palette();
    pal.setColor(viewport()->backgroundRole(), color);
    viewport()->setPalette(pal);
    viewport()->update();
}

void TIconContainer::SetVertScrollRange(int range) {
    FVertScrollRange = std::max(0, range);
    UpdateScrollBars();
}

void TIconContainer::SetHorzScrollRange(int range) {
    FHorzScrollRange = std::max(0, range);
    UpdateScrollBars();
}

QPoint TIconContainer::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void TIconContainer::UpdateScrollBars() {
    const QSize client = viewport()->size();
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, FVertScrollRange - client.height()));
    v->setPageStep(std::max(1, client.height()));
    v->setSingleStep(FLayout.CellHeight());
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, FHorzScrollRange - client.width()));
    h->setPageStep(std::max(1, client.width()));
    h->setSingleStep(FLayout.CellWidth());
}

void TIconContainer::Arrange() {
    FLayout.Arrange(viewport()->size());
    UpdateScrollBars();
    viewport()->update();
}

QRect TIconContainer::IconRect(int index) const {
    if (index < 0 || index >= IconCount())
        throw EIconRangeError(QStringLiteral("IconPanel range check error.  %1 is not in the range 0..%2.")
                                  .arg(index)
                                  .arg(IconCount()));
    return FLayout.IconRect(index);
}

QRect TIconContainer::VisibleIconRect(int index) const {
    return IconRect(index).translated(-ScrollPosition()).intersected(viewport()->rect());
}

void TIconContainer::InvalidateIcon(int index, bool update) {
    const QRect r = VisibleIconRect(index);
    if (r.isEmpty()) return;
    if (update)
        viewport()->repaint(r);
    else
        viewport()->update(r);
}

void TIconContainer::ScrollIntoView(int index) {
    if (!VisibleIconRect(index).isEmpty()) return;
    const QPoint pos = ScrollToShow(IconRect(index), QRect(ScrollPosition(), viewport()->size()));
    horizontalScrollBar()->setValue(pos.x());
    verticalScrollBar()->setValue(pos.y());
}

int TIconContainer::HitTest(int x, int y) const { return FLayout.IconAt(QPoint(x, y) + ScrollPosition()); }

int TIconContainer::FocusIndex() const {
    if (IconCount() == 0) return -1;
    return std::clamp(FFocusIndex, 0, IconCount() - 1);
}

void TIconContainer::SetFocusIndex(int index) {
    const int old = FocusIndex();
    FFocusIndex = index;
    if (old >= 0) InvalidateIcon(old, false);
    if (FocusIndex() >= 0) InvalidateIcon(FocusIndex(), false);
}

void TIconContainer::MoveFocus(int index, bool shift) {
    if (index < 0 || index >= IconCount()) return;
    SetFocusIndex(index);
    if (shift && FIconMultipleSelect)
        FSelector.ExtendSelection(index);
    else
        FSelector.SelectOnly(index);
    FSelector.Notify();
    ScrollIntoView(index);
}

// Only the icons whose state changed are repainted, and at once, so a key
// held down shows every step.
void TIconContainer::SelectionChanged(const TSelectionVector& changed) {
    QRegion dirty;
    for (int i : changed) {
        if (i >= IconCount()) continue;
        const QRect r = VisibleIconRect(i);
        if (!r.isEmpty()) dirty += r;
    }
    emit OnSelectionChange(this);
    if (!dirty.isEmpty()) viewport()->repaint(dirty);
}

void TIconContainer::BeginBand(const QRect& start) {
    FBandStart = start;
    FBand = start;
    FBandScroll = verticalScrollBar()->value();
    FBandActive = true;
}

void TIconContainer::EndBand() {
    FBandActive = false;
    viewport()->update(FBand.adjusted(-1, -1, 1, 1));
}

// Selects what the band touches; without Ctrl (KeepOthers) everything else
// is deselected.
void TIconContainer::UpdateBand(QPoint mouse, bool keepOthers) {
    const QPoint scroll = ScrollPosition();
    const QRect band = BandRect(FBandStart, mouse, FBandScroll - scroll.y());
    const QRect content = band.translated(scroll);
    if (!keepOthers) {
        if (auto selected = FSelector.SelectedList())
            for (int i : *selected)
                if (!FLayout.IconRect(i).intersects(content)) FSelector.Deselect(i);
    }
    FLayout.ForEachIcon(FLayout.CandidateCells(content), [&](int i) {
        if (FLayout.IconRect(i).intersects(content)) FSelector.Select(i);
    });
    const QRect old = FBand;
    FBand = band;
    FSelector.Notify();
    viewport()->update(old.united(band).adjusted(-1, -1, 1, 1));
}

void TIconContainer::PaintBackground(QPainter& painter, const QRect& area) const {
    if (FTileImage.width() > 0 && FTileImage.height() > 0) {
        // Tiles are aligned to the content, so they move with it.
        const QPoint scroll = ScrollPosition();
        const QPoint offset((area.left() + scroll.x()) % FTileImage.width(),
                            (area.top() + scroll.y()) % FTileImage.height());
        painter.drawTiledPixmap(area, FTileImage, offset);
    } else {
        painter.fillRect(area, Color());
    }
}

void TIconContainer::paintEvent(QPaintEvent* event) {
    const QRect area = event->rect();
    FPaintedFirst = FPaintedLast = FVisibleFirst = FVisibleLast = -1;
    emit OnBeforePaint(this);
    if (area.isEmpty()) {
        emit OnAfterPaint(this);
        return;
    }

    // One off-screen picture the size of the area, drawn in client coordinates.
    const qreal dpr = viewport()->devicePixelRatioF();
    QImage buffer(area.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    buffer.setDevicePixelRatio(dpr);
    {
        QPainter canvas(&buffer);
        canvas.translate(-area.topLeft());
        PaintBackground(canvas, area);

        // Icons are tested against the region, not only its bounding box, so
        // a selection change of two distant icons draws just those two.
        const QPoint scroll = ScrollPosition();
        const QRect client = viewport()->rect().translated(scroll);
        const QRegion& region = event->region();
        FLayout.ForEachIcon(FLayout.CandidateCells(client), [&](int i) {
            const QRect r = FLayout.IconRect(i);
            if (!r.intersects(client)) return;
            if (FVisibleFirst < 0) FVisibleFirst = i;
            FVisibleLast = i;
            if (!region.intersects(r.translated(-scroll))) return;
            if (FPaintedFirst < 0) FPaintedFirst = i;
            FPaintedLast = i;
            canvas.save();
            emit OnIconDraw(this, i, &canvas, FLayout.DrawRect(i).translated(-scroll));
            canvas.restore();
        });

        if (FBandActive && !FBand.isEmpty()) {
            // A dotted frame that inverts what it crosses, visible on any background.
            canvas.setCompositionMode(QPainter::CompositionMode_Difference);
            canvas.setPen(QPen(Qt::white, 0, Qt::DotLine));
            canvas.setBrush(Qt::NoBrush);
            canvas.drawRect(FBand.adjusted(0, 0, -1, -1));
        }
    }
    QPainter window(viewport());
    window.drawImage(area.topLeft(), buffer);
    window.end();
    emit OnAfterPaint(this);
}

void TIconContainer::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (FIconAutoWrap && FLayout.IsFit()) FLayout.Arrange(viewport()->size());
    UpdateScrollBars();
    viewport()->update();
    emit OnResize(this);
}

void TIconContainer::scrollContentsBy(int, int) { viewport()->update(); }

void TIconContainer::keyPressEvent(QKeyEvent* event) {
    auto passOn = [&] {
        event->ignore();
        emit OnKeyDown(this, event);
    };
    if (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) return passOn();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const int focus = FocusIndex();
    const int page = FVisibleLast - FVisibleFirst + 1;
    auto move = [&](TIconMove m) { MoveFocus(FLayout.MoveTarget(m, focus, page), shift); };
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (focus >= 0) {
            const QRect r = IconRect(focus);
            emit OnIconClick(this, focus, r.left() + IconWidth() / 2, r.top() + IconHeight() / 2);
        }
        break;
    case Qt::Key_PageUp: move(TIconMove::PageUp); break;
    case Qt::Key_PageDown: move(TIconMove::PageDown); break;
    case Qt::Key_Home: move(TIconMove::Home); break;
    case Qt::Key_End: move(TIconMove::End); break;
    case Qt::Key_Left: move(TIconMove::Left); break;
    case Qt::Key_Right: move(TIconMove::Right); break;
    case Qt::Key_Up: move(TIconMove::Up); break;
    case Qt::Key_Down: move(TIconMove::Down); break;
    default:
        return passOn();
    }
    event->accept();
}

void TIconContainer::ButtonDown(QMouseEvent* event, bool doubleClick) {
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    const QPoint p = event->position().toPoint();
    const int i = HitTest(p.x(), p.y());
    if (i >= 0) SetFocusIndex(i);
    emit OnMouseDown(this, event);
    if (i >= 0 && doubleClick && event->button() == Qt::LeftButton) emit OnIconDblClk(this, i, p.x(), p.y());
}

void TIconContainer::mousePressEvent(QMouseEvent* event) { ButtonDown(event, false); }

void TIconContainer::mouseDoubleClickEvent(QMouseEvent* event) { ButtonDown(event, true); }

void TIconContainer::mouseReleaseEvent(QMouseEvent* event) {
    const bool bandWasActive = FBandActive;
    emit OnMouseUp(this, event);
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    const int i = HitTest(p.x(), p.y());
    if (i < 0) {
        if (FIconCUASelect && !bandWasActive) {
            FSelector.DeselectAll();
            FSelector.Notify();
        }
        return;
    }
    if (!FIconCUASelect) {
        emit OnIconClick(this, i, p.x(), p.y());
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (shift && ctrl) {
        FSelector.AddRange(i);
    } else if (shift) {
        FSelector.ExtendSelection(i);
    } else if (ctrl) {
        FSelector.Toggle(i);
    } else {
        FSelector.SelectOnly(i);
        emit OnIconClick(this, i, p.x(), p.y());
    }
    FSelector.Notify();
}

void TIconContainer::mouseMoveEvent(QMouseEvent* event) {
    if (FBandActive) UpdateBand(event->position().toPoint(), event->modifiers() & Qt::ControlModifier);
    emit OnMouseMove(this, event);
}

void TIconContainer::wheelEvent(QWheelEvent* event) {
    if ((event->buttons() & (Qt::RightButton | Qt::MiddleButton)) ||
        (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
        return QAbstractScrollArea::wheelEvent(event);
    int delta = event->angleDelta().y();
    if (delta == 0) delta = event->angleDelta().x();
    const bool vertical = horizontalScrollBar()->maximum() < 1;
    QScrollBar* bar = vertical ? verticalScrollBar() : horizontalScrollBar();
    const qint64 step = FWheel.Step(delta, QApplication::wheelScrollLines(),
                                    vertical ? FLayout.CellHeight() : FLayout.CellWidth(),
                                    vertical ? viewport()->height() : viewport()->width());
    bar->setValue(ClampedScroll(bar->value(), step, bar->maximum()));
    event->accept();
}

// The context-menu key on a selected focus icon acts as a right click on the
// icon's visible middle, so owners need only one menu handler.
void TIconContainer::contextMenuEvent(QContextMenuEvent* event) {
    const int focus = FocusIndex();
    if (event->reason() != QContextMenuEvent::Keyboard || focus < 0 || !FSelector.IsSelected(focus))
        return QAbstractScrollArea::contextMenuEvent(event);
    ScrollIntoView(focus);
    const QRect visible = VisibleIconRect(focus);
    if (visible.isEmpty()) return QAbstractScrollArea::contextMenuEvent(event);
    const QPoint centre = visible.center();
    QMouseEvent up(QEvent::MouseButtonRelease, centre, viewport()->mapToGlobal(centre), Qt::RightButton,
                   Qt::NoButton, event->modifiers());
    QCoreApplication::sendEvent(viewport(), &up);
    event->accept();
}

void TIconContainer::RepaintFocusAndSelection() {
    if (FocusIndex() >= 0) InvalidateIcon(FocusIndex(), false);
    if (auto selected = FSelector.SelectedList())
        for (int i : *selected) InvalidateIcon(i, false);
}

void TIconContainer::focusInEvent(QFocusEvent* event) {
    RepaintFocusAndSelection();
    QAbstractScrollArea::focusInEvent(event);
}

void TIconContainer::focusOutEvent(QFocusEvent* event) {
    RepaintFocusAndSelection();
    QAbstractScrollArea::focusOutEvent(event);
}

void TIconContainer::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) LayoutChanged(FLayout.SetTitleHeight(fontMetrics().height()));
    QAbstractScrollArea::changeEvent(event);
}
