#pragma once
// The roll page: one film can per roll, centred rows, the hovered can lit.
#include "viewer/mainlogic.h"
#include <QRect>
#include <QString>

class QMouseEvent;
class QPainter;
class TLumoraFrm;

class TRollPage {
public:
    explicit TRollPage(TLumoraFrm& window) : W(window) {}
    // The container's resize handler (also run by the window's).
    void RollContainerResize();
    void RollContainerIconDraw(int index, QPainter& canvas, const QRect& rect);
    void RollContainerMouseMove(QMouseEvent* event);
    // The film can under the mouse, lit; forgotten when the page changes.
    const THoverTracker& HoverRoll() const { return FHoverRoll; }
    void ForgetHover() { FHoverRoll.Reset(-1); }

private:
    THoverTracker FHoverRoll{0};
    TLumoraFrm& W;
};

// Text word-wrapped into Rect, centred; when it does not fit, the last line
// that fits ends in an ellipsis. "&" is shown as itself.
void DrawWrappedElided(QPainter& painter, const QRect& rect, const QString& text);
