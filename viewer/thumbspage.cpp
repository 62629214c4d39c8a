#include "viewer/thumbspage.h"
#include "collection/roll.h"
#include "viewer/iconcontainer.h"
#include "viewer/lumorafrm.h"
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

void TThumbsPage::ThumbContainerIconDraw(TIconContainer* sender, int index, QPainter& canvas,
                                         const QRect& rect) {
    TRoll* roll = W.CurrentRoll;
    if (!roll || index < 0 || index >= roll->Count()) return;
    TMedia* photo = roll->Items(index);
    const bool hovered = index == W.HoverThumb.Index() && photo->HasThumbnail();
    QRect r = rect;
    if (sender->Selector().IsSelected(index)) canvas.fillRect(r, MainFormColors::Navy());
    const int inset = sender == W.Form.FullViewContainer ? 4 : 1;
    r.adjust(inset, inset, -inset, -inset);
    if (hovered) canvas.fillRect(r, MainFormColors::Hover());
    r.adjust(2, 2, -2, -2);
    photo->DrawThumbnail(canvas, r);
}

void TThumbsPage::ThumbContainerMouseMove(QMouseEvent* event) {
    HoverAt(event->position().toPoint());
    W.Form.ThumbHilightTimer->start();
}

void TThumbsPage::HoverAt(QPoint point) {
    TIconContainer* active = W.ActiveContainer;
    if (!active) return;
    const bool inside = active->viewport()->rect().contains(point);
    const int index = inside ? active->HitTest(point.x(), point.y()) : -1;
    for (int changed : W.HoverThumb.MoveTo(index))
        if (changed < active->IconCount()) active->InvalidateIcon(changed, false);
}

void TThumbsPage::ThumbHilightTimerTimer() {
    TIconContainer* active = W.ActiveContainer;
    if (!active) {
        W.Form.ThumbHilightTimer->stop();
        return;
    }
    // Edges count as inside.
    const QPoint at = active->viewport()->mapFromGlobal(QCursor::pos());
    const QWidget* area = active->viewport();
    if (at.x() < 0 || at.y() < 0 || at.x() > area->width() || at.y() > area->height()) {
        HoverAt(at);
        W.Form.ThumbHilightTimer->stop();
    }
}
