#pragma once
// The thumbnails page and the full view's filmstrip: thumbnails drawn with
// the navy selection and the yellow hover frame, and the hover bookkeeping.
#include <QRect>

class QMouseEvent;
class QPainter;
class TIconContainer;
class TLumoraFrm;

class TThumbsPage {
public:
    explicit TThumbsPage(TLumoraFrm& window) : W(window) {}
    // Shared by ThumbContainer and FullViewContainer.
    void ThumbContainerIconDraw(TIconContainer* sender, int index, QPainter& canvas, const QRect& rect);
    void ThumbContainerMouseMove(QMouseEvent* event);
    // Every 50 ms while a thumbnail is lit: clears the light once the mouse
    // has left the container.
    void ThumbHilightTimerTimer();
    // The hover step for a point of the active container.
    void HoverAt(QPoint point);

private:
    TLumoraFrm& W;
};
