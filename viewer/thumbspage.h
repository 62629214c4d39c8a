#pragma once
// The thumbnails page and the full view's filmstrip: thumbnails drawn with
// the navy selection and the yellow hover frame, and the hover bookkeeping.
#include "viewer/mainlogic.h"
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
    // The page shown changed: the grid hovered is the one of that page
    // (none on the roll page), and nothing is lit.
    void PageChanged(TIconContainer* active);
    TIconContainer* ActiveContainer() const { return FActive; }
    const THoverTracker& HoverThumb() const { return FHoverThumb; }

    // Insets of a thumbnail in its cell: the selection shows around it
    // (wider in the filmstrip), the yellow hover frame inside that.
    static constexpr int GridInset = 1;
    static constexpr int FilmstripInset = 4;
    static constexpr int HoverFrame = 2;

private:
    TLumoraFrm& W;
    THoverTracker FHoverThumb{-9};
    TIconContainer* FActive = nullptr;
};
