#include "viewer/fullviewgeometry.h"
#include "collection/roll.h"
#include "platform/rounding.h"
#include <algorithm>
#include <cmath>

namespace {

int Rnd(double value) { return int(RoundHalfEven(value)); }

// A view's edges as (left, top, right, bottom) with right and bottom just
// past the last pixel, so that an edge is interpolated on its own.
struct TEdges {
    int Left, Top, Right, Bottom;
    explicit TEdges(const QRect& r)
        : Left(r.left()), Top(r.top()), Right(r.left() + r.width()), Bottom(r.top() + r.height()) {}
};

int Step(int from, int to, int k, int count) {
    // k x (to - from) / count in one division, so a frame that lies exactly
    // half way rounds the same on every machine.
    return from + Rnd(double(k) * double(to - from) / double(count));
}

} // namespace

QSize TFullViewGeometry::FitSize(QSize image, QSize panel) {
    const int w = image.width(), h = image.height();
    const int W = panel.width(), H = panel.height();
    if (w <= W && h <= H) return image;
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return {0, 0};
    // h / w < H / W, compared exactly.
    if (qint64(h) * W < qint64(H) * w) return {W, Rnd(double(qint64(W) * h) / w)};
    return {Rnd(double(qint64(H) * w) / h), H};
}

QRect TFullViewGeometry::CentreImage(QSize size, QSize panel) {
    // Integer division rounds toward zero, also for a view larger than the panel.
    return {QPoint((panel.width() - size.width()) / 2, (panel.height() - size.height()) / 2), size};
}

QPoint TFullViewGeometry::ZoomAnchor(const QRect& view, QSize panel) {
    const int x = panel.width() / 2 - view.left();
    const int y = panel.height() / 2 - view.top();
    return {std::clamp(x, 0, std::max(view.width(), 0)), std::clamp(y, 0, std::max(view.height(), 0))};
}

QSize TFullViewGeometry::ZoomSize(QSize view, int level, int delta) {
    const int w = view.width(), h = view.height();
    if (delta > 0 && level == LargeLevel && w == LargeFittedWidth)
        return {LargeNativeWidth, Rnd(double(h) * LargeNativeWidth / LargeFittedWidth)};
    const double factor = delta > 0 ? 2.0 : 0.5;
    return {Rnd(w * factor), Rnd(h * factor)};
}

QRect TFullViewGeometry::ZoomTarget(const QRect& view, QPoint anchor, QSize newSize) {
    const int w = view.width(), h = view.height();
    const double fx = w > 0 ? double(anchor.x()) / w : 0.0;
    const double fy = h > 0 ? double(anchor.y()) / h : 0.0;
    const int left = view.left() - Rnd((newSize.width() - w) * fx);
    const int top = view.top() - Rnd((newSize.height() - h) * fy);
    return {QPoint(left, top), newSize};
}

QRect TFullViewGeometry::ZoomFrame(const QRect& from, const QRect& to, int k, int count) {
    if (count <= 0) return to;
    k = std::clamp(k, 0, count);
    const TEdges a(from), b(to);
    const int left = Step(a.Left, b.Left, k, count);
    const int top = Step(a.Top, b.Top, k, count);
    const int right = Step(a.Right, b.Right, k, count);
    const int bottom = Step(a.Bottom, b.Bottom, k, count);
    return {QPoint(left, top), QSize(right - left, bottom - top)};
}

QRect TFullViewGeometry::PanMove(const QRect& view, QPoint mouse, QPoint panStart) {
    return view.translated(mouse - panStart);
}

bool TFullViewGeometry::OutsidePanel(const QRect& view, QSize panel) {
    const TEdges e(view);
    return e.Bottom <= 0 || e.Top >= panel.height() || e.Left >= panel.width() || e.Right <= 0;
}

QRect TFullViewGeometry::PanRelease(const QRect& view, QSize panel) {
    return OutsidePanel(view, panel) ? CentreImage(view.size(), panel) : view;
}

bool TFullViewGeometry::LargerThanPanel(QSize view, QSize panel) {
    return view.width() > panel.width() || view.height() > panel.height();
}

QRect TFullViewGeometry::PanBy(const QRect& view, QSize panel, int dx, int dy) {
    const auto along = [](int position, int extent, int panelExtent, int delta) {
        if (extent <= panelExtent) return position;
        return std::clamp(position + delta, panelExtent - extent, 0);
    };
    return {QPoint(along(view.left(), view.width(), panel.width(), dx),
                   along(view.top(), view.height(), panel.height(), dy)),
            view.size()};
}

QSize TFullViewGeometry::KeyPanStep(QSize panel) {
    return {std::max(panel.width() / 8, 1), std::max(panel.height() / 8, 1)};
}

QRect TFullViewGeometry::Rotated(const QRect& view, QSize panel) {
    return CentreImage(view.size().transposed(), panel);
}

int TFullViewGeometry::SharperSizeIndex(const QList<QSize>& sizes, QSize panel, QSize view, qreal ratio) {
    if (ratio <= 1.0 || sizes.isEmpty() || sizes.first().isEmpty()) return 0;
    const QSize level = sizes.first();
    const QSize shown = (view.isEmpty() ? FitSize(level, panel) : view).boundedTo(level);
    const QSize need(int(std::ceil(shown.width() * ratio - 0.5)), int(std::ceil(shown.height() * ratio - 0.5)));
    int last = 0;
    for (int i = 0; i < sizes.size(); ++i) {
        if (sizes[i].isEmpty()) continue;
        last = i;
        if (sizes[i].width() >= need.width() && sizes[i].height() >= need.height()) return i;
    }
    return last;
}

bool ZoomStep(TMedia& photo, int delta) { return photo.StepResolution(delta); }
bool CanZoomIn(const TMedia& photo) { return photo.CanZoomIn(); }
bool CanZoomOut(const TMedia& photo) { return photo.CanZoomOut(); }

TZoomPlan PlanZoom(TMedia& photo, int delta, const QRect& view, QSize panel) {
    TZoomPlan plan;
    // The anchor is taken before the step; the stretch follows the new level.
    plan.Anchor = TFullViewGeometry::ZoomAnchor(view, panel);
    plan.Reload = ZoomStep(photo, delta);
    plan.CanZoomIn = CanZoomIn(photo);
    plan.CanZoomOut = CanZoomOut(photo);
    plan.From = view;
    plan.To = TFullViewGeometry::ZoomTarget(
        view, plan.Anchor, TFullViewGeometry::ZoomSize(view.size(), photo.Level, delta));
    return plan;
}
