#pragma once
// The arithmetic of the full view, apart from the widgets: where the picture
// sits in the panel when fitted or centred, the zoom (a photo's step through
// its size folders, the stretched size, the frames of the animation around
// the panel's centre), panning and turning. Rectangles are the view's bounds
// in panel coordinates; "right" and "bottom" below mean left + width and
// top + height. Rounding is half to even throughout.
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

class TMedia;

class TFullViewGeometry {
public:
    // Frames of one zoom animation.
    static constexpr int ZoomFrameCount = 50;
    // A Large copy shown 1200 pixels wide zooms in to the Large photo's own
    // width, 3072 (2048 high for a 3:2 photo), not to 2400.
    static constexpr int LargeLevel = 5;
    static constexpr int LargeFittedWidth = 1200;
    static constexpr int LargeNativeWidth = 3072;

    // The displayed size of a picture of Image in a panel of Panel: its own
    // size when it fits; (0, 0) when any side is 0; else shrunk to the
    // panel's width or height, keeping its shape.
    static QSize FitSize(QSize image, QSize panel);
    // A view of Size centred in the panel (offsets rounded toward zero).
    static QRect CentreImage(QSize size, QSize panel);
    // FitSize, centred.
    static QRect FitImage(QSize image, QSize panel) { return CentreImage(FitSize(image, panel), panel); }

    // The panel's centre in the view's coordinates, held inside the view.
    static QPoint ZoomAnchor(const QRect& view, QSize panel);
    // The view's size after one zoom step (Delta +1 in, -1 out) at Level,
    // the photo's size level after the step.
    static QSize ZoomSize(QSize view, int level, int delta);
    // The bounds of size NewSize that keep Anchor (view coordinates) where
    // it is on the screen.
    static QRect ZoomTarget(const QRect& view, QPoint anchor, QSize newSize);
    // Frame K (1..Count) of the way from From to To: every edge on its own,
    // From's edge + rnd(K x (To's edge - From's edge) / Count). Frame Count is To.
    static QRect ZoomFrame(const QRect& from, const QRect& to, int k, int count = ZoomFrameCount);

    // A drag: the view moved by the mouse's way from PanStart to Mouse, both
    // in view coordinates, so the point grabbed stays under the mouse.
    static QRect PanMove(const QRect& view, QPoint mouse, QPoint panStart);
    // No pixel of the view inside the panel.
    static bool OutsidePanel(const QRect& view, QSize panel);
    // Where the view goes when the drag ends: centred when it was dragged
    // wholly off the panel, else where it is.
    static QRect PanRelease(const QRect& view, QSize panel);
    // The view is wider or taller than the panel (the arrow keys pan then).
    static bool LargerThanPanel(QSize view, QSize panel);
    // A keyboard pan by (Dx, Dy): only along a side where the view is larger
    // than the panel, and no further than its edge meeting the panel's.
    static QRect PanBy(const QRect& view, QSize panel, int dx, int dy);
    // How far one arrow key pans: an eighth of the panel, at least a pixel.
    static QSize KeyPanStep(QSize panel);

    // After a quarter turn: the view's height and width swapped, centred.
    static QRect Rotated(const QRect& view, QSize panel);

    // The picture read for a photo on a screen of device pixel ratio Ratio.
    // Sizes are the photo's pictures in its size folders from the level it
    // is shown at upward (as turned; an empty size for one that could not
    // be read); the view is View (empty: the level's picture fitted into
    // Panel). The view is placed by the level's picture (Sizes[0]), in the
    // photo's own pixels as always; its device pixels, counted no larger
    // than that picture times Ratio, are best served by the first picture
    // that covers them. Its index, or the last readable one when none
    // covers; 0 at ratio 1.
    static int SharperSizeIndex(const QList<QSize>& sizes, QSize panel, QSize view, qreal ratio);
};

// One zoom step as the full view carries it out: the photo's state has been
// stepped; the view animates From -> To; Reload says the photo now names the
// file of another size folder, which is loaded in the background without
// re-fitting.
struct TZoomPlan {
    bool Reload = false;
    bool CanZoomIn = false;
    bool CanZoomOut = false;
    QPoint Anchor;
    QRect From;
    QRect To;
    QRect Frame(int k) const { return TFullViewGeometry::ZoomFrame(From, To, k); }
};

// Steps Photo's zoom state (its size level, digital steps and owed switch)
// by Delta; true when its size folder changed.
bool ZoomStep(TMedia& photo, int delta);
bool CanZoomIn(const TMedia& photo);
bool CanZoomOut(const TMedia& photo);
// Zoom(Delta) for the view at View in a panel of Panel: ZoomStep on Photo,
// then the stretch target around the panel's centre.
TZoomPlan PlanZoom(TMedia& photo, int delta, const QRect& view, QSize panel);
