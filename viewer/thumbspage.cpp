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
    TRoll* roll = W.CurrentRoll();
    if (!roll || index < 0 || index >= roll->Count()) return;
    TMedia* photo = roll->Items(index);
    const bool hovered = index == FHoverThumb.Index() && photo->HasThumbnail();
    QRect r = rect;
    if (sender->Selector().IsSelected(index)) canvas.fillRect(r, MainFormColors::Navy());
    const int inset = sender == W.Form.FullViewContainer ? FilmstripInset : GridInset;
    r.adjust(inset, inset, -inset, -inset);
    if (hovered) canvas.fillRect(r, MainFormColors::Hover());
    r.adjust(HoverFrame, HoverFrame, -HoverFrame, -HoverFrame);
    photo->DrawThumbnail(canvas, r);
}

void TThumbsPage::ThumbContainerMouseMove(QMouseEvent* event) {
    HoverAt(event->position().toPoint());
    W.Form.ThumbHilightTimer->start();
}

void TThumbsPage::HoverAt(QPoint point) {
    TIconContainer* active = FActive;
    if (!active) return;
    const bool inside = active->viewport()->rect().contains(point);
    const int index = inside ? active->HitTest(point.x(), point.y()) : -1;
    for (int changed : FHoverThumb.MoveTo(index))
        if (changed < active->IconCount()) active->InvalidateIcon(changed, false);
}

void TThumbsPage::ThumbHilightTimerTimer() {
    TIconContainer* active = FActive;
    if (!active) {
        W.Form.ThumbHilightTimer->stop();
        return;
    }
    if (!TLumoraFrm::CursorInside(active->viewport())) {
        HoverAt(active->viewport()->mapFromGlobal(QCursor::pos()));
        W.Form.ThumbHilightTimer->stop();
    }
}

void TThumbsPage::PageChanged(TIconContainer* active) {
    FActive = active;
    FHoverThumb.Reset(-10);
}
