#include "viewer/transitions.h"
#include "imaging/iebitmap.h"
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <thread>

const std::array<TTransitionEffect, TransitionEffectCount> TransitionEffects = {{
    {"Wipe Diamonds", 2326, false},
    {"Wipe Spin", 2476, false},
    {"Random Wipe", 2554, true},
    {"Spin Clockwise", 4000, false},
    {"Spin Symmetric", 4016, false},
    {"Push Down", 5003, false},
    {"Random Push", 5263, true},
    {"Slide Diagonal", 6004, false},
    {"Slide Squares In", 6498, false},
    {"Melt Left", 12000, false},
    {"Melt Right", 12001, false},
    {"Random Lines", 12004, false},
    {"Random Blocks", 12005, false},
    {"Circle Horizontal Interlace", 15030, false},
}};

int ChooseTransitionEffect(const TTransitionRandom& random) {
    const int entry = std::clamp(random(ShowTransitionCount), 0, ShowTransitionCount - 1);
    const TTransitionEffect& effect = TransitionEffects[size_t(entry)];
    if (!effect.Variant) return effect.Number;
    const int span = effect.Number % 1000;
    return effect.Number - span + std::clamp(random(span), 0, span - 1);
}

int ChooseTransitionEffect() {
    return ChooseTransitionEffect([](int bound) { return int(QRandomGenerator::global()->bounded(bound)); });
}

// ---- effect numbers to drawings --------------------------------------------------

using enum TTransitionKind;

const std::vector<TTransitionKind>& RandomWipeKinds() {
    static const std::vector<TTransitionKind> kinds = {
        WipeFromLeft,     WipeFromRight,      WipeFromTop, WipeFromBottom, WipeFromTopLeft,
        WipeFromBottomRight, SplitOutVertical, SplitOutHorizontal, BoxOut,  CircleOut,
        CircleIn,         BlindsHorizontal,   BlindsVertical, DiamondOut};
    return kinds;
}

const std::vector<TTransitionKind>& RandomPushKinds() {
    static const std::vector<TTransitionKind> kinds = {PushDown, PushUp, PushLeft, PushRight};
    return kinds;
}

TTransitionKind TransitionKindFor(int effectNumber) {
    switch (effectNumber) {
    case 2326: return WipeDiamonds;
    case 2476: return WipeSpin;
    case 4000: return SpinClockwise;
    case 4016: return SpinSymmetric;
    case 5003: return PushDown;
    case 6004: return SlideDiagonal;
    case 6498: return SlideSquaresIn;
    case 12000: return MeltLeft;
    case 12001: return MeltRight;
    case 12004: return RandomLines;
    case 12005: return RandomBlocks;
    case 15030: return CircleHorizontalInterlace;
    default: break;
    }
    if (effectNumber <= 0) return PlainCopy;
    const auto pick = [effectNumber](const std::vector<TTransitionKind>& kinds) {
        return kinds[size_t(effectNumber) % kinds.size()];
    };
    switch (effectNumber / 1000) {
    case 2: return pick(RandomWipeKinds());
    case 4: return pick({SpinClockwise, SpinSymmetric});
    case 5: return pick(RandomPushKinds());
    case 6: return pick({SlideDiagonal, SlideSquaresIn});
    case 12: return pick({MeltLeft, MeltRight, RandomLines, RandomBlocks});
    case 15: return CircleHorizontalInterlace;
    default: return Dissolve;
    }
}

const char* TransitionKindDescription(TTransitionKind kind) {
    switch (kind) {
    case PlainCopy: return "plain copy";
    case Dissolve: return "dissolve";
    case WipeFromLeft: return "wipe from left";
    case WipeFromRight: return "wipe from right";
    case WipeFromTop: return "wipe from top";
    case WipeFromBottom: return "wipe from bottom";
    case WipeFromTopLeft: return "wipe from top left";
    case WipeFromBottomRight: return "wipe from bottom right";
    case SplitOutVertical: return "vertical split out";
    case SplitOutHorizontal: return "horizontal split out";
    case BoxOut: return "box out";
    case CircleOut: return "circle out";
    case CircleIn: return "circle in";
    case BlindsHorizontal: return "horizontal blinds";
    case BlindsVertical: return "vertical blinds";
    case DiamondOut: return "diamond out";
    case WipeDiamonds: return "wipe diamonds";
    case WipeSpin: return "wipe spin";
    case SpinClockwise: return "spin clockwise";
    case SpinSymmetric: return "spin symmetric";
    case PushDown: return "push down";
    case PushUp: return "push up";
    case PushLeft: return "push left";
    case PushRight: return "push right";
    case SlideDiagonal: return "slide diagonal";
    case SlideSquaresIn: return "slide squares in";
    case MeltLeft: return "melt left";
    case MeltRight: return "melt right";
    case RandomLines: return "random lines";
    case RandomBlocks: return "random blocks";
    case CircleHorizontalInterlace: return "circle horizontal interlace";
    }
    return "";
}

// ---- frame geometry ---------------------------------------------------------------

namespace {

double Clamp01(double t) { return t > 0 ? (t < 1 ? t : 1) : 0; }  // NaN gives 0
double EaseSine(double t) { return 0.5 - 0.5 * std::cos(std::numbers::pi * Clamp01(t)); }
double EaseCubic(double t) {
    t = Clamp01(t);
    return t < 0.5 ? 4 * t * t * t : 1 - std::pow(-2 * t + 2, 3) / 2;
}
double EaseOut(double t) {
    t = 1 - Clamp01(t);
    return 1 - t * t * t;
}
double EaseIn(double t) {
    t = Clamp01(t);
    return t * t;
}
// A cell's own progress: 0 before Start, 1 from Start + Span on.
double Local(double t, double start, double span) { return Clamp01((t - start) / span); }

// Our own mapping of the generator's output, so a seed gives the same
// placement whichever standard library built us.
class TRandom {
public:
    explicit TRandom(unsigned seed) : FEngine(seed) {}
    double Next() { return FEngine() / 4294967296.0; }
    int Below(int bound) { return std::min(bound - 1, int(Next() * bound)); }
    // The ranks 0 .. Count - 1 in a random order.
    std::vector<int> Order(int count) {
        std::vector<int> order(size_t(std::max(count, 0)));
        for (int i = 0; i < count; ++i) order[size_t(i)] = i;
        for (int i = count - 1; i > 0; --i) std::swap(order[size_t(i)], order[size_t(Below(i + 1))]);
        return order;
    }

private:
    std::mt19937 FEngine;
};

int DurationMs(TTransitionKind kind) {
    switch (kind) {
    case PlainCopy: return 0;
    case Dissolve:
    case PushDown:
    case PushUp:
    case PushLeft:
    case PushRight:
    case SlideDiagonal: return 640;
    case SpinClockwise:
    case SpinSymmetric: return 760;
    case WipeSpin:
    case WipeDiamonds:
    case CircleHorizontalInterlace: return 800;
    case SlideSquaresIn:
    case RandomLines:
    case RandomBlocks: return 880;
    case MeltLeft:
    case MeltRight: return 900;
    default: return 700;
    }
}

// Edges of Count nearly equal parts of Length, so cells tile it exactly.
int Edge(int i, int count, int length) { return int(std::lround(double(i) * length / count)); }

// Where the new picture shows, for the drawings that reveal it through a
// shape (in the rectangle's own coordinates, at raw progress T).
QPainterPath RevealPath(TTransitionKind kind, QSize size, double t) {
    const double w = size.width(), h = size.height();
    const QPointF centre(w / 2, h / 2);
    const double reach = std::hypot(w, h) / 2 + 1;  // from the centre past every corner
    const double p = EaseSine(t);
    QPainterPath path;
    const auto pie = [&](double startDegrees, double sweepDegrees) {
        path.moveTo(centre);
        path.arcTo(QRectF(centre.x() - reach, centre.y() - reach, 2 * reach, 2 * reach), startDegrees,
                   sweepDegrees);
        path.closeSubpath();
    };
    switch (kind) {
    case WipeFromTopLeft:
        // The front runs parallel to the diagonal from top right to bottom left.
        path.addPolygon(QPolygonF({{0, 0}, {2 * p * w, 0}, {0, 2 * p * h}}));
        break;
    case WipeFromBottomRight:
        path.addPolygon(QPolygonF({{w, h}, {w - 2 * p * w, h}, {w, h - 2 * p * h}}));
        break;
    case BoxOut: path.addRect(QRectF(centre.x() - p * w / 2, centre.y() - p * h / 2, p * w, p * h)); break;
    case CircleOut: path.addEllipse(centre, p * reach, p * reach); break;
    case CircleIn:
        path.setFillRule(Qt::OddEvenFill);
        path.addRect(QRectF(0, 0, w, h));
        path.addEllipse(centre, (1 - p) * reach, (1 - p) * reach);
        break;
    case DiamondOut:
        path.addPolygon(QPolygonF({{centre.x(), centre.y() - p * h},
                                   {centre.x() + p * w, centre.y()},
                                   {centre.x(), centre.y() + p * h},
                                   {centre.x() - p * w, centre.y()}}));
        break;
    case WipeSpin: pie(90, -360 * p); break;  // a clock hand from twelve o'clock
    case SpinSymmetric:
        // Four hands a quarter turn apart, each sweeping its quarter.
        for (int i = 0; i < 4; ++i) pie(90 - 90 * i, -90 * p);
        break;
    case SpinClockwise: {
        // The new photo's frame grows from the centre turning half a turn
        // clockwise, standing square to the rectangle when it fills it.
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(-180 * (1 - p));
        turn.scale(p, p);
        path.addPolygon(turn.map(QPolygonF(QRectF(-w / 2, -h / 2, w, h))));
        break;
    }
    default: break;
    }
    return path;
}

// Paints Band of New over what is there, opaque at From and fading to
// nothing at To (a soft wipe front).
void DrawFadingBand(QPainter& p, const QImage& newPicture, const QRect& band, QPointF from, QPointF to) {
    if (band.isEmpty()) return;
    QImage piece(band.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter bp(&piece);
    bp.setCompositionMode(QPainter::CompositionMode_Source);
    bp.drawImage(QPoint(0, 0), newPicture, band);
    bp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QLinearGradient fade(from - band.topLeft(), to - band.topLeft());
    fade.setColorAt(0, QColor(0, 0, 0, 255));
    fade.setColorAt(1, QColor(0, 0, 0, 0));
    bp.fillRect(piece.rect(), fade);
    bp.end();
    const QPainter::CompositionMode mode = p.compositionMode();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(band.topLeft(), piece);
    p.setCompositionMode(mode);
}

void DrawPart(QPainter& p, QPoint at, const QImage& image, const QRect& part) {
    if (!part.isEmpty()) p.drawImage(at, image, part);
}

// Pixel arithmetic on 32-bit pixels (RGB32 or premultiplied ARGB32): the
// mix of A and B with B weighing Weight / 256 (0 to 256).
inline quint32 Mix(quint32 a, quint32 b, quint32 weight) {
    const quint32 keep = 256 - weight;
    const quint32 rb = (((a & 0xff00ff) * keep + (b & 0xff00ff) * weight) >> 8) & 0xff00ff;
    const quint32 ag = ((((a >> 8) & 0xff00ff) * keep + ((b >> 8) & 0xff00ff) * weight)) & 0xff00ff00;
    return rb | ag;
}

// Lays the part of New inside the diamond |x - Cx| + |y - Cy| <= D on Frame,
// with a soft edge: a pixel's share of new grows from 0 to 1 as its centre
// goes from one pixel outside the edge to one inside (in x + y distance).
// Inside that, whole runs are copied. Frame and New are 32-bit pictures of
// the same size and format. Over a pixel partly new already the shares add
// up as layers do, so diamonds meeting leave no seam.
void LayDiamond(QImage& frame, const QImage& newPicture, double cx, double cy, double d) {
    const int w = frame.width(), h = frame.height();
    const int top = std::max(0, int(std::floor(cy - d - 1))), bottom = std::min(h - 1, int(std::ceil(cy + d + 1)));
    for (int y = top; y <= bottom; ++y) {
        const double dy = std::abs(y + 0.5 - cy);
        const double reach = d + 1 - dy;  // |dx| below which a pixel gets some share
        if (reach <= 0) continue;
        auto* out = reinterpret_cast<quint32*>(frame.scanLine(y));
        const auto* in = reinterpret_cast<const quint32*>(newPicture.constScanLine(y));
        const int left = std::max(0, int(std::floor(cx - reach - 0.5))),
                  right = std::min(w - 1, int(std::ceil(cx + reach - 0.5)));
        // Pixels whose centre is a pixel or more inside the edge are wholly new.
        const double solid = d - 1 - dy;
        int solidLeft = right + 1, solidRight = right;
        if (solid >= 0) {
            solidLeft = std::max(left, int(std::ceil(cx - solid - 0.5)));
            solidRight = std::min(right, int(std::floor(cx + solid - 0.5)));
        }
        if (solidLeft <= solidRight) {
            std::memcpy(out + solidLeft, in + solidLeft, size_t(solidRight - solidLeft + 1) * 4);
        } else {
            solidLeft = right + 1;
            solidRight = right;
        }
        const auto soft = [&](int x) {
            const double share = (reach - std::abs(x + 0.5 - cx)) / 2;  // 0 .. 1 across the edge
            if (share <= 0) return;
            out[x] = share >= 1 ? in[x] : Mix(out[x], in[x], quint32(share * 256));
        };
        for (int x = left; x < solidLeft; ++x) soft(x);
        for (int x = solidRight + 1; x <= right; ++x) soft(x);
    }
}

} // namespace

// ---- the plan ------------------------------------------------------------------

TTransitionPlan::TTransitionPlan(int effectNumber, QSize size, unsigned seed)
    : FKind(TransitionKindFor(effectNumber)), FSize(size.expandedTo(QSize(1, 1))) {
    FSteps = std::max(1, int(std::lround(DurationMs(FKind) / double(TransitionStepTime.count()))));
    TRandom rnd(seed ? seed : unsigned(effectNumber));
    const int w = FSize.width(), h = FSize.height();
    switch (FKind) {
    case RandomBlocks: {
        // Squares revealed one after another in a random order, each fading in.
        const double side = std::max(4.0, std::min(w, h) / 9.0);
        const int cols = std::max(1, int(std::lround(w / side))), rows = std::max(1, int(std::lround(h / side)));
        const std::vector<int> order = rnd.Order(cols * rows);
        FCellSpan = 0.28f;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const int rank = order[size_t(r * cols + c)];
                const QRect cell(QPoint(Edge(c, cols, w), Edge(r, rows, h)),
                                 QPoint(Edge(c + 1, cols, w) - 1, Edge(r + 1, rows, h) - 1));
                FCells.push_back({cell, float((1 - FCellSpan) * rank / std::max(1, cols * rows - 1)), false});
            }
        }
        break;
    }
    case RandomLines: {
        // Lines across the picture, each streaking in from one side, in a
        // random order and from a random side.
        const int lines = std::max(1, int(std::lround(h / std::max(1.0, h / 120.0))));
        const std::vector<int> order = rnd.Order(lines);
        FCellSpan = 0.3f;
        for (int i = 0; i < lines; ++i) {
            const QRect line(QPoint(0, Edge(i, lines, h)), QPoint(w - 1, Edge(i + 1, lines, h) - 1));
            FCells.push_back({line, float((1 - FCellSpan) * order[size_t(i)] / std::max(1, lines - 1)),
                              rnd.Below(2) == 1});
        }
        break;
    }
    case SlideSquaresIn: {
        // The new photo cut into squares that slide in from the left into
        // their places, fading in as they come, in a wave from the left edge
        // (lower rows a little behind). Kept in starting order, so a square
        // still moving lies over its neighbours already in place.
        const double side = std::max(4.0, std::min(w, h) / 4.0);
        const int cols = std::max(1, int(std::lround(w / side))), rows = std::max(1, int(std::lround(h / side)));
        const double wave = std::max(1.0, cols - 1 + 0.5 * (rows - 1));
        FCellSpan = 0.45f;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const QRect cell(QPoint(Edge(c, cols, w), Edge(r, rows, h)),
                                 QPoint(Edge(c + 1, cols, w) - 1, Edge(r + 1, rows, h) - 1));
                FCells.push_back({cell, float((1 - FCellSpan) * (c + 0.5 * r) / wave), false});
            }
        }
        std::stable_sort(FCells.begin(), FCells.end(),
                         [](const TCell& a, const TCell& b) { return a.Start < b.Start; });
        break;
    }
    case MeltLeft:
    case MeltRight: {
        // Narrow columns of the old picture run down, the first ones at the
        // side the melt starts from (Melt Left travels to the left). Two slow
        // waves give the running edge its shape, so it drips instead of
        // looking torn; a touch of noise per column gives it texture.
        const int columns = std::max(1, int(std::lround(w / std::max(2.0, w / 160.0))));
        FCellSpan = 0.38f;
        const double phase1 = rnd.Next(), phase2 = rnd.Next();
        const double twoPi = 2 * std::numbers::pi;
        for (int i = 0; i < columns; ++i) {
            const QRect column(QPoint(Edge(i, columns, w), 0), QPoint(Edge(i + 1, columns, w) - 1, h - 1));
            const double along = (i + 0.5) / columns;
            const double jitter = 0.06 + 0.035 * std::sin(twoPi * (1.7 * along + phase1)) +
                                  0.02 * std::sin(twoPi * (4.3 * along + phase2)) + 0.01 * (rnd.Next() - 0.5);
            const double start = 0.5 * (FKind == MeltRight ? along : 1 - along) + jitter;
            FCells.push_back({column, float(start), false});
        }
        break;
    }
    default: break;
    }
}

void TTransitionPlan::DrawFrame(QPainter& painter, QPoint at, const QImage& oldPicture,
                                const QImage& newPicture, double progress) const {
    const double t = Clamp01(progress);
    painter.save();
    painter.translate(at);
    painter.setClipRect(QRect(QPoint(0, 0), FSize), Qt::IntersectClip);
    // Every part replaces what is under it; only the soft fronts blend.
    // Over opaque pictures drawing over is the same and takes Qt's fast paths.
    painter.setCompositionMode(oldPicture.hasAlphaChannel() || newPicture.hasAlphaChannel()
                                   ? QPainter::CompositionMode_Source
                                   : QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1);
    painter.setPen(Qt::NoPen);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (t <= 0) {
        painter.drawImage(0, 0, oldPicture);
    } else if (t >= 1) {
        painter.drawImage(0, 0, newPicture);
    } else {
        switch (FKind) {
        case PlainCopy: painter.drawImage(0, 0, newPicture); break;
        case Dissolve:
            painter.drawImage(0, 0, oldPicture);
            painter.setOpacity(EaseSine(t));
            painter.drawImage(0, 0, newPicture);
            break;
        case WipeFromLeft:
        case WipeFromRight:
        case WipeFromTop:
        case WipeFromBottom:
        case SplitOutVertical:
        case SplitOutHorizontal: DrawSoftWipe(painter, oldPicture, newPicture, t); break;
        case PushDown:
        case PushUp:
        case PushLeft:
        case PushRight: DrawPush(painter, oldPicture, newPicture, t); break;
        case SlideDiagonal: DrawSlideDiagonal(painter, oldPicture, newPicture, t); break;
        case SlideSquaresIn:
        case RandomLines:
        case RandomBlocks: DrawCells(painter, oldPicture, newPicture, t); break;
        case MeltLeft:
        case MeltRight: DrawMelt(painter, oldPicture, newPicture, t); break;
        case BlindsHorizontal:
        case BlindsVertical: DrawBlinds(painter, oldPicture, newPicture, t); break;
        case WipeDiamonds: DrawDiamonds(painter, oldPicture, newPicture, t); break;
        case CircleHorizontalInterlace: DrawInterlace(painter, oldPicture, newPicture, t); break;
        default: DrawShapeReveal(painter, oldPicture, newPicture, t); break;
        }
    }
    painter.restore();
}

void TTransitionPlan::DrawShapeReveal(QPainter& p, const QImage& oldPicture, const QImage& newPicture,
                                      double t) const {
    p.drawImage(0, 0, oldPicture);
    // A texture brush (not a clip) so the shape's edge is anti-aliased.
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(QBrush(newPicture));
    p.setBrushOrigin(0, 0);
    p.drawPath(RevealPath(FKind, FSize, t));
}

void TTransitionPlan::DrawDiamonds(QPainter& p, const QImage& oldPicture, const QImage& newPicture,
                                   double t) const {
    // The rectangle tiled by diamonds (a square grid standing on its
    // corners); each grows from its centre until it fills its tile, in a
    // wave rolling from the top left corner to the bottom right. A full
    // diamond reaches a little past its tile, so no seam of the old picture
    // stays where two meet.
    //
    // Qt's soft-edged texture fill blends every edge pixel on its own, which
    // for some hundred diamonds with long slanted edges takes longer than a
    // frame; the diamonds are laid here on a frame of our own, then shown
    // in one copy.
    const QImage::Format format = oldPicture.hasAlphaChannel() || newPicture.hasAlphaChannel()
                                      ? QImage::Format_ARGB32_Premultiplied
                                      : QImage::Format_RGB32;
    const QImage newPixels = newPicture.convertToFormat(format);
    if (FScratch.size() != FSize || FScratch.format() != format) FScratch = QImage(FSize, format);
    QImage& frame = FScratch;
    const QImage oldPixels = oldPicture.convertToFormat(format);
    const int w = FSize.width(), h = FSize.height();
    const qsizetype rowBytes = qsizetype(w) * 4;
    const double a = std::max(4.0, std::min(w, h) / 10.0);  // centre to corner
    constexpr double Wave = 0.72, Growth = 1 - Wave;
    // Diamonds whose centre's x + y is at most Full are full. Every point
    // lies within a of a centre (in x + y), so all up to Full - a is new.
    const double full = (t - Growth) / Wave * (w + h);
    const double behind = full - a - 1;
    for (int y = 0; y < h; ++y) {
        auto* out = frame.scanLine(y);
        const int fromNew = std::clamp(int(std::floor(behind - y)), 0, w);
        if (fromNew > 0) std::memcpy(out, newPixels.constScanLine(y), size_t(fromNew) * 4);
        if (fromNew < w)
            std::memcpy(out + fromNew * 4, oldPixels.constScanLine(y) + fromNew * 4, size_t(rowBytes - fromNew * 4));
    }
    const int across = int(std::ceil(w / a)) + 1, down = int(std::ceil(h / a)) + 1;
    for (int j = 0; j <= down; ++j) {
        for (int i = j % 2; i <= across; i += 2) {
            const double x = i * a, y = j * a;
            if (x + y + 1.04 * a + 1 < behind) continue;  // all new there already
            const double q = EaseSine(Local(t, Wave * (x + y) / (w + h), Growth));
            if (q > 0) LayDiamond(frame, newPixels, x, y, q * a * 1.04);
        }
    }
    p.drawImage(0, 0, frame);
}

void TTransitionPlan::DrawBlinds(QPainter& p, const QImage& oldPicture, const QImage& newPicture,
                                 double t) const {
    // Slats across the picture, each opening from its top (left) edge.
    p.drawImage(0, 0, oldPicture);
    const int w = FSize.width(), h = FSize.height();
    const bool across = FKind == BlindsHorizontal;
    const int length = across ? h : w;
    const int slats = std::max(1, int(std::lround(length / std::max(6.0, std::min(w, h) / 9.0))));
    const double e = EaseSine(t);
    const auto slice = [&](int from, int size) { return across ? QRect(0, from, w, size) : QRect(from, 0, size, h); };
    for (int i = 0; i < slats; ++i) {
        const int from = Edge(i, slats, length), size = Edge(i + 1, slats, length) - from;
        const double open = e * size;
        const int whole = int(open);
        DrawPart(p, slice(from, whole).topLeft(), newPicture, slice(from, whole));
        // The line the edge is in, in proportion, so the slats open smoothly
        // however few pixels they are.
        if (whole < size && open > whole) {
            p.setOpacity(open - whole);
            DrawPart(p, slice(from + whole, 1).topLeft(), newPicture, slice(from + whole, 1));
            p.setOpacity(1);
        }
    }
}

void TTransitionPlan::DrawSoftWipe(QPainter& p, const QImage& oldPicture, const QImage& newPicture,
                                   double t) const {
    p.drawImage(0, 0, oldPicture);
    const bool alongX = FKind == WipeFromLeft || FKind == WipeFromRight || FKind == SplitOutVertical;
    const int length = alongX ? FSize.width() : FSize.height();
    const int across = alongX ? FSize.height() : FSize.width();
    const double feather = std::max(2.0, length * 0.1);
    const double e = EaseSine(t);
    // Span [from, to) along the wipe's axis as a rectangle, and a point on it.
    const auto span = [&](int from, int to) {
        from = std::clamp(from, 0, length);
        to = std::clamp(to, 0, length);
        return alongX ? QRect(from, 0, to - from, across) : QRect(0, from, across, to - from);
    };
    const auto point = [&](double u) { return alongX ? QPointF(u, 0) : QPointF(0, u); };
    // A front leaves Origin in Direction: fully new up to Solid from it, then
    // a tail fading out over the feather. It starts with only the tail's
    // faint end showing and ends when the tail has passed the far edge.
    const auto front = [&](int origin, int direction, double solid) {
        const double a = origin + direction * solid, b = origin + direction * (solid + feather);
        QRect band;
        if (direction > 0) {
            const int solidEnd = std::max(origin, int(std::floor(a)));
            const QRect whole = span(origin, solidEnd);
            DrawPart(p, whole.topLeft(), newPicture, whole);
            band = span(solidEnd, int(std::ceil(b)));
        } else {
            const int solidStart = std::min(origin, int(std::ceil(a)));
            const QRect whole = span(solidStart, origin);
            DrawPart(p, whole.topLeft(), newPicture, whole);
            band = span(int(std::floor(b)), solidStart);
        }
        DrawFadingBand(p, newPicture, band, point(a), point(b));
    };
    switch (FKind) {
    case WipeFromLeft:
    case WipeFromTop: front(0, 1, e * (length + feather) - feather); break;
    case WipeFromRight:
    case WipeFromBottom: front(length, -1, e * (length + feather) - feather); break;
    default: {
        // Split out: two fronts leave the centre line, one each way.
        const int half = length / 2;
        const double solid = e * (std::max(half, length - half) + feather) - feather;
        front(half, 1, solid);
        front(half, -1, solid);
        break;
    }
    }
}

void TTransitionPlan::DrawPush(QPainter& p, const QImage& oldPicture, const QImage& newPicture,
                               double t) const {
    const int w = FSize.width(), h = FSize.height();
    const double e = EaseCubic(t);
    switch (FKind) {
    case PushDown: {
        const int off = int(std::lround(e * h));
        DrawPart(p, QPoint(0, 0), newPicture, QRect(0, h - off, w, off));
        DrawPart(p, QPoint(0, off), oldPicture, QRect(0, 0, w, h - off));
        break;
    }
    case PushUp: {
        const int off = int(std::lround(e * h));
        DrawPart(p, QPoint(0, 0), oldPicture, QRect(0, off, w, h - off));
        DrawPart(p, QPoint(0, h - off), newPicture, QRect(0, 0, w, off));
        break;
    }
    case PushRight: {
        const int off = int(std::lround(e * w));
        DrawPart(p, QPoint(0, 0), newPicture, QRect(w - off, 0, off, h));
        DrawPart(p, QPoint(off, 0), oldPicture, QRect(0, 0, w - off, h));
        break;
    }
    default: {  // PushLeft
        const int off = int(std::lround(e * w));
        DrawPart(p, QPoint(0, 0), oldPicture, QRect(off, 0, w - off, h));
        DrawPart(p, QPoint(w - off, 0), newPicture, QRect(0, 0, off, h));
        break;
    }
    }
}

void TTransitionPlan::DrawSlideDiagonal(QPainter& p, const QImage& oldPicture, const QImage& newPicture,
                                        double t) const {
    const int w = FSize.width(), h = FSize.height();
    const double e = EaseCubic(t);
    const int dx = int(std::lround((1 - e) * w)), dy = int(std::lround((1 - e) * h));
    p.drawImage(0, 0, oldPicture);
    // The photo comes in from the top left corner over the old picture,
    // casting a soft shadow on it so it reads as lying on top.
    const int right = w - dx, bottom = h - dy;
    const int shadow = std::max(3, std::min(w, h) / 40);
    const QColor dark(0, 0, 0, 110), clear(0, 0, 0, 0);
    const QPainter::CompositionMode mode = p.compositionMode();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (right < w) {
        QLinearGradient g(right, 0, right + shadow, 0);
        g.setColorAt(0, dark);
        g.setColorAt(1, clear);
        p.fillRect(QRect(right, 0, shadow, bottom), g);
    }
    if (bottom < h) {
        QLinearGradient g(0, bottom, 0, bottom + shadow);
        g.setColorAt(0, dark);
        g.setColorAt(1, clear);
        p.fillRect(QRect(0, bottom, right, shadow), g);
    }
    if (right < w && bottom < h) {
        QRadialGradient g(QPointF(right, bottom), shadow);
        g.setColorAt(0, dark);
        g.setColorAt(1, clear);
        p.fillRect(QRect(right, bottom, shadow, shadow), g);
    }
    p.setCompositionMode(mode);
    DrawPart(p, QPoint(0, 0), newPicture, QRect(dx, dy, right, bottom));
}

void TTransitionPlan::DrawCells(QPainter& p, const QImage& oldPicture, const QImage& newPicture,
                                double t) const {
    p.drawImage(0, 0, oldPicture);
    for (const TCell& cell : FCells) {
        const double q = Local(t, cell.Start, FCellSpan);
        if (q <= 0) continue;
        const QRect& r = cell.Rect;
        if (q >= 1) {
            p.drawImage(r.topLeft(), newPicture, r);
            continue;
        }
        switch (FKind) {
        case RandomBlocks:
            p.setOpacity(EaseSine(q));
            p.drawImage(r.topLeft(), newPicture, r);
            p.setOpacity(1);
            break;
        case RandomLines: {
            const int shown = int(std::lround(EaseCubic(q) * r.width()));
            const QRect part = cell.Reverse ? QRect(r.right() + 1 - shown, r.top(), shown, r.height())
                                            : QRect(r.left(), r.top(), shown, r.height());
            DrawPart(p, part.topLeft(), newPicture, part);
            break;
        }
        default: {  // SlideSquaresIn
            const int behind = int(std::lround((1 - EaseOut(q)) * r.width()));
            p.setOpacity(EaseSine(q / 0.2));
            p.drawImage(r.topLeft() - QPoint(behind, 0), newPicture, r);
            p.setOpacity(1);
            break;
        }
        }
    }
}

void TTransitionPlan::DrawMelt(QPainter& p, const QImage& oldPicture, const QImage& newPicture,
                               double t) const {
    const int h = FSize.height();
    for (const TCell& column : FCells) {
        // Falling: slow at first, then faster, like a drop.
        const int fallen = int(std::lround(EaseIn(Local(t, column.Start, FCellSpan)) * h));
        const QRect& r = column.Rect;
        DrawPart(p, r.topLeft(), newPicture, QRect(r.left(), 0, r.width(), fallen));
        DrawPart(p, QPoint(r.left(), fallen), oldPicture, QRect(r.left(), 0, r.width(), h - fallen));
    }
}

void TTransitionPlan::DrawInterlace(QPainter& p, const QImage& oldPicture, const QImage& newPicture,
                                    double t) const {
    const int w = FSize.width(), h = FSize.height();
    p.drawImage(0, 0, oldPicture);
    // Even bands: a circle growing from the centre. Odd bands: the outside of
    // a circle closing towards it. They meet at half time and fill together.
    const double e = EaseSine(t);
    const QPointF centre(w / 2.0, h / 2.0);
    const double reach = std::hypot(w, h) / 2 + 1;
    QPainterPath growing, closing;
    growing.addEllipse(centre, e * reach, e * reach);
    closing.setFillRule(Qt::OddEvenFill);
    closing.addRect(QRectF(0, 0, w, h));
    closing.addEllipse(centre, (1 - e) * reach, (1 - e) * reach);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(QBrush(newPicture));
    p.setBrushOrigin(0, 0);
    const int bands = std::max(1, int(std::lround(h / std::max(2.0, h / 20.0))));
    for (int i = 0; i < bands; ++i) {
        p.save();
        p.setClipRect(QRect(QPoint(0, Edge(i, bands, h)), QPoint(w - 1, Edge(i + 1, bands, h) - 1)),
                      Qt::IntersectClip);
        p.drawPath(i % 2 == 0 ? growing : closing);
        p.restore();
    }
}

// ---- running ---------------------------------------------------------------------

namespace {

class TSteadyClock final : public TFrameClock {
public:
    std::chrono::microseconds Now() override {
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    void SleepUntil(std::chrono::microseconds due) override {
        const auto wait = due - Now();
        if (wait.count() > 0) std::this_thread::sleep_for(wait);
    }
};

// Steps of Plan through DrawStep, each shown, the stop check asked between
// two. Step k is due (k - 1) step times after the start; a step that comes
// late makes the ones whose time has passed drop out, so a slow machine
// shows fewer frames, not a longer transition. The last step is never left out.
TTransitionEnd RunSteps(const TTransitionPlan& plan, const QRect& rect, const TTransitionHooks& hooks,
                        const std::function<void(int)>& drawStep) {
    using std::chrono::microseconds;
    TFrameClock& clock = hooks.Clock ? *hooks.Clock : SteadyFrameClock();
    const microseconds stepTime = std::chrono::duration_cast<microseconds>(TransitionStepTime);
    const microseconds start = clock.Now();
    const int steps = plan.Steps();
    int step = 0;
    for (;;) {
        const auto due = (clock.Now() - start) / stepTime + 1;
        step = int(std::clamp<std::int64_t>(due, step + 1, steps));
        drawStep(step);
        if (hooks.Present) hooks.Present(rect);
        if (step >= steps) return TTransitionEnd::Completed;
        if (hooks.StopCheck && !hooks.StopCheck()) return TTransitionEnd::Stopped;
        clock.SleepUntil(start + stepTime * step);
    }
}

QImage::Format WorkFormat(const QImage& image) {
    return image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

// The picture under the rectangle as the effect starts, Size large.
QImage OldArea(const QImage& oldPicture, QSize size) {
    if (oldPicture.isNull()) {
        QImage black(size, QImage::Format_RGB32);
        black.fill(Qt::black);
        return black;
    }
    if (oldPicture.size() == size) return oldPicture.convertToFormat(WorkFormat(oldPicture));
    return oldPicture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(WorkFormat(oldPicture));
}

// The rectangle as a plain paint of the photo leaves it: the photo drawn over
// the old picture (which shows through a photo with transparency).
template <class DrawPhoto>
QImage NewArea(const QImage& oldArea, DrawPhoto&& drawPhoto) {
    QImage area = oldArea.copy();
    QPainter p(&area);
    drawPhoto(p, area.rect());
    p.end();
    return area;
}

QImage NewAreaOf(const QImage& oldArea, const QImage& photo) {
    return NewArea(oldArea, [&](QPainter& p, const QRect& r) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(r, photo);
    });
}

QImage NewAreaOf(const QImage& oldArea, const TIEBitmap& photo) {
    return NewArea(oldArea, [&](QPainter& p, const QRect& r) { photo.Draw(p, r); });
}

bool IsEmptyPhoto(const QImage& photo) { return photo.isNull(); }
bool IsEmptyPhoto(const TIEBitmap& photo) { return photo.IsEmpty() || photo.GetSize().isEmpty(); }

template <class Photo>
TTransitionEnd PaintOnCanvas(QImage& canvas, const QRect& rect, const Photo& photo, int effect,
                             const TTransitionHooks& hooks) {
    if (rect.isEmpty() || IsEmptyPhoto(photo) || canvas.isNull()) return TTransitionEnd::NoPicture;
    {
        // A canvas no painter can open (an indexed one, say) would take no
        // step at all; say so rather than report the photo drawn.
        QPainter probe(&canvas);
        if (!probe.isActive()) return TTransitionEnd::NoPicture;
    }
    const QImage oldArea = OldArea(canvas.copy(rect), rect.size());
    const QImage newArea = NewAreaOf(oldArea, photo);
    const TTransitionPlan plan(effect, rect.size(), hooks.Seed);
    return RunSteps(plan, rect, hooks, [&](int step) {
        QPainter p(&canvas);
        plan.DrawStep(p, rect.topLeft(), oldArea, newArea, step);
    });
}

template <class Photo>
TTransitionEnd PaintOnPainter(QPainter& target, const QRect& rect, const QImage& oldPicture, const Photo& photo,
                              int effect, const TTransitionHooks& hooks) {
    if (rect.isEmpty() || IsEmptyPhoto(photo) || !target.isActive()) return TTransitionEnd::NoPicture;
    const QImage oldArea = OldArea(oldPicture, rect.size());
    const QImage newArea = NewAreaOf(oldArea, photo);
    const TTransitionPlan plan(effect, rect.size(), hooks.Seed);
    return RunSteps(plan, rect, hooks,
                    [&](int step) { plan.DrawStep(target, rect.topLeft(), oldArea, newArea, step); });
}

} // namespace

TFrameClock& SteadyFrameClock() {
    static TSteadyClock clock;
    return clock;
}

TTransitionEnd PaintTransition(QImage& canvas, const QRect& rect, const TIEBitmap& photo, int effect,
                               const TTransitionHooks& hooks) {
    return PaintOnCanvas(canvas, rect, photo, effect, hooks);
}

TTransitionEnd PaintTransition(QImage& canvas, const QRect& rect, const QImage& photo, int effect,
                               const TTransitionHooks& hooks) {
    return PaintOnCanvas(canvas, rect, photo, effect, hooks);
}

TTransitionEnd PaintTransition(QPainter& target, const QRect& rect, const QImage& oldPicture,
                               const TIEBitmap& photo, int effect, const TTransitionHooks& hooks) {
    return PaintOnPainter(target, rect, oldPicture, photo, effect, hooks);
}

TTransitionEnd PaintTransition(QPainter& target, const QRect& rect, const QImage& oldPicture,
                               const QImage& photo, int effect, const TTransitionHooks& hooks) {
    return PaintOnPainter(target, rect, oldPicture, photo, effect, hooks);
}
