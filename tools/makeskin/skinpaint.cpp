#include "tools/makeskin/skinpaint.h"
#include <QLinearGradient>
#include <QRadialGradient>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <vector>

namespace MakeSkin {
namespace {

constexpr qreal Grid = 24.0;
constexpr qreal LineWeight = 1.9;  // on the 24-unit grid

QPainterPath RoundRect(qreal x1, qreal y1, qreal x2, qreal y2, qreal r) {
    QPainterPath p;
    p.addRoundedRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)), r, r);
    return p;
}

QPainterPath Polyline(std::initializer_list<QPointF> points) {
    QPainterPath p;
    bool first = true;
    for (const QPointF& pt : points) {
        if (first) p.moveTo(pt);
        else p.lineTo(pt);
        first = false;
    }
    return p;
}

QPainterPath Line(qreal x1, qreal y1, qreal x2, qreal y2) { return Polyline({{x1, y1}, {x2, y2}}); }

// A circular arrow: the arc of radius R about C from angle A0 to A1 (degrees,
// clockwise on screen), with a filled head at A1 pointing along the turn.
void CircularArrow(QPainterPath& stroke, QPainterPath& fill, QPointF c, qreal r, qreal a0, qreal a1) {
    const int steps = 64;
    const qreal dir = a1 > a0 ? 1 : -1;
    // Leave room for the head so the line does not poke out of its tip.
    const qreal headLength = 4.6;
    const qreal stop = a1 - dir * qRadiansToDegrees(headLength * 0.55 / r);
    for (int i = 0; i <= steps; ++i) {
        const qreal a = qDegreesToRadians(a0 + (stop - a0) * i / steps);
        const QPointF p = c + QPointF(r * qCos(a), r * qSin(a));
        if (i == 0) stroke.moveTo(p);
        else stroke.lineTo(p);
    }
    const qreal a = qDegreesToRadians(a1);
    const QPointF end = c + QPointF(r * qCos(a), r * qSin(a));
    const QPointF tangent = QPointF(-qSin(a), qCos(a)) * dir;
    const QPointF normal(-tangent.y(), tangent.x());
    const QPointF back = end - tangent * headLength;
    QPolygonF head;
    head << end + tangent * 0.6 << back + normal * 3.4 << back - normal * 3.4;
    fill.addPolygon(head);
    fill.closeSubpath();
}

// A symbol on the 24-unit grid: lines, lines cut where Knockout lies (so that
// another part can pass through them), and filled parts.
struct TSymbolParts {
    QPainterPath Stroke;
    QPainterPath Clipped;
    QPainterPath Knockout;
    QPainterPath Fill;
};

TSymbolParts SymbolParts(TSymbol symbol) {
    TSymbolParts parts;
    QPainterPath& stroke = parts.Stroke;
    QPainterPath& fill = parts.Fill;
    switch (symbol) {
    case TSymbol::FilmRoll: {
        // A film can seen from the front with its leader pulled out.
        stroke.addPath(RoundRect(3, 5.5, 12, 21, 1.6));
        stroke.addPath(Line(3, 8.5, 12, 8.5));
        stroke.addPath(Line(3, 18, 12, 18));
        stroke.addPath(RoundRect(5.5, 2.5, 9.5, 5.5, 0.6));
        stroke.addPath(Polyline({{12, 9.5}, {21, 9.5}, {21, 17}, {12, 17}}));
        // Sprocket holes along both edges of the leader.
        for (qreal x : {14.1, 16.7, 19.3}) {
            fill.addRect(QRectF(x, 10.9, 1.2, 1.2));
            fill.addRect(QRectF(x, 14.4, 1.2, 1.2));
        }
        break;
    }
    case TSymbol::Print: {
        stroke.addPath(Polyline({{7, 8}, {7, 3}, {17, 3}, {17, 8}}));
        QPainterPath body;
        body.moveTo(7, 17);
        body.lineTo(5, 17);
        body.arcTo(QRectF(3, 13, 4, 4), 270, -90);
        body.lineTo(3, 10);
        body.arcTo(QRectF(3, 8, 4, 4), 180, -90);
        body.lineTo(19, 8);
        body.arcTo(QRectF(17, 8, 4, 4), 90, -90);
        body.lineTo(21, 15);
        body.arcTo(QRectF(17, 13, 4, 4), 0, -90);
        body.lineTo(17, 17);
        stroke.addPath(body);
        stroke.addPath(RoundRect(7, 13.5, 17, 21, 0.8));
        stroke.addPath(Line(9.5, 16.5, 14.5, 16.5));
        stroke.addPath(Line(9.5, 18.7, 13, 18.7));
        fill.addEllipse(QPointF(17.6, 10.9), 1.05, 1.05);
        break;
    }
    case TSymbol::Slideshow: {
        stroke.addPath(RoundRect(2.5, 3.5, 21.5, 16.5, 1.8));
        stroke.addPath(Line(12, 16.5, 12, 19.5));
        stroke.addPath(Line(7.5, 20.5, 16.5, 20.5));
        QPolygonF play;
        play << QPointF(10, 6.6) << QPointF(10, 13.4) << QPointF(15.6, 10);
        QPainterPath tri;
        tri.addPolygon(play);
        tri.closeSubpath();
        fill.addPath(tri);
        break;
    }
    case TSymbol::Install: {
        stroke.addPath(Line(12, 2.5, 12, 12.5));
        stroke.addPath(Polyline({{7.8, 8.6}, {12, 12.8}, {16.2, 8.6}}));
        stroke.addPath(Polyline({{7, 14.5}, {5, 14.5}, {3, 17}, {3, 21}, {21, 21}, {21, 17}, {19, 14.5}, {17, 14.5}}));
        stroke.addPath(Line(3, 17, 21, 17));
        fill.addEllipse(QPointF(17.6, 19.05), 0.95, 0.95);
        stroke.addPath(Line(6, 19, 10, 19));
        break;
    }
    case TSymbol::Upload: {
        QPainterPath left, middle, right, base;
        left.addEllipse(QPointF(7.4, 13.6), 4.4, 4.4);
        middle.addEllipse(QPointF(12.8, 10.4), 5.8, 5.8);
        right.addEllipse(QPointF(17.4, 13.8), 4.2, 4.2);
        base.addRect(QRectF(QPointF(7.4, 12), QPointF(17.4, 18)));
        parts.Clipped.addPath(left.united(middle).united(right).united(base).simplified());
        parts.Knockout.addRect(QRectF(QPointF(10.3, 16.2), QPointF(14.5, 19.5)));
        stroke.addPath(Line(12.4, 21.5, 12.4, 12.8));
        stroke.addPath(Polyline({{9.1, 16}, {12.4, 12.7}, {15.7, 16}}));
        break;
    }
    case TSymbol::Back: {
        stroke.addPath(Polyline({{8.8, 5.5}, {3.8, 10.5}, {8.8, 15.5}}));
        QPainterPath tail;
        tail.moveTo(4.2, 10.5);
        tail.lineTo(14, 10.5);
        tail.arcTo(QRectF(8, 10.5, 12, 12), 90, -90);
        tail.lineTo(20, 19.5);
        stroke.addPath(tail);
        break;
    }
    case TSymbol::Previous:
        stroke.addPath(Polyline({{14.5, 5}, {7.5, 12}, {14.5, 19}}));
        break;
    case TSymbol::Next:
        stroke.addPath(Polyline({{9.5, 5}, {16.5, 12}, {9.5, 19}}));
        break;
    case TSymbol::ZoomIn:
    case TSymbol::ZoomOut: {
        QPainterPath lens;
        lens.addEllipse(QPointF(10.2, 10.2), 6.6, 6.6);
        stroke.addPath(lens);
        stroke.addPath(Line(15.2, 15.2, 20.5, 20.5));
        stroke.addPath(Line(15.6, 15.6, 20.5, 20.5));
        stroke.addPath(Line(7.2, 10.2, 13.2, 10.2));
        if (symbol == TSymbol::ZoomIn) stroke.addPath(Line(10.2, 7.2, 10.2, 13.2));
        break;
    }
    case TSymbol::RotateRight:
        // From the bottom round the left and over the top, ending at the
        // right, pointing down: a clockwise turn.
        CircularArrow(stroke, fill, QPointF(12, 12.5), 7.6, 100, 355);
        break;
    case TSymbol::RotateLeft: {
        QPainterPath s, f;
        CircularArrow(s, f, QPointF(12, 12.5), 7.6, 100, 355);
        const QTransform mirror(-1, 0, 0, 1, Grid, 0);
        stroke.addPath(mirror.map(s));
        fill.addPath(mirror.map(f));
        break;
    }
    case TSymbol::Mail:
        stroke.addPath(RoundRect(2.5, 5.5, 21.5, 18.5, 1.8));
        stroke.addPath(Polyline({{3.2, 6.6}, {12, 13}, {20.8, 6.6}}));
        break;
    case TSymbol::Home:
        stroke.addPath(Polyline({{3, 11.5}, {12, 3.8}, {21, 11.5}}));
        stroke.addPath(Polyline({{5.8, 9.5}, {5.8, 20.5}, {18.2, 20.5}, {18.2, 9.5}}));
        stroke.addPath(Polyline({{10, 20.5}, {10, 14.5}, {14, 14.5}, {14, 20.5}}));
        break;
    }
    return parts;
}

} // namespace

namespace {
thread_local qreal CurrentScale = 1.0;
} // namespace

TDrawScale::TDrawScale(qreal scale) : FPrevious(CurrentScale) { CurrentScale = scale; }
TDrawScale::~TDrawScale() { CurrentScale = FPrevious; }
qreal DrawScale() { return CurrentScale; }

QImage NewCanvas(QSize size, const QColor& color) {
    QImage image(size * CurrentScale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(CurrentScale);
    image.fill(color);
    return image;
}

QImage NewLayer(QSize size) { return NewCanvas(size, Qt::transparent); }

QRectF Area(const QImage& image) { return QRectF(QPointF(0, 0), image.deviceIndependentSize()); }

void Prepare(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

void DrawSymbol(QPainter& painter, TSymbol symbol, const QRectF& box, const QColor& color) {
    const TSymbolParts parts = SymbolParts(symbol);
    painter.save();
    painter.translate(box.topLeft());
    painter.scale(box.width() / Grid, box.height() / Grid);
    painter.setPen(QPen(color, LineWeight, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    if (!parts.Clipped.isEmpty()) {
        QPainterPath clip;
        clip.addRect(QRectF(-4, -4, Grid + 8, Grid + 8));
        painter.setClipPath(clip.subtracted(parts.Knockout));
        painter.drawPath(parts.Clipped);
        painter.setClipping(false);
    }
    painter.drawPath(parts.Stroke);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(parts.Fill);
    painter.restore();
}

void Blur(QImage& image, int units) {
    const int radius = int(std::lround(units * image.devicePixelRatio()));
    if (radius < 1 || image.isNull()) return;
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = image.width(), h = image.height();
    std::vector<int> line(size_t(std::max(w, h)) * 4);
    const auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w, inner = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            const auto px = [&](int i) -> QRgb& {
                return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(o))[i]
                                  : reinterpret_cast<QRgb*>(image.scanLine(i))[o];
            };
            for (int i = 0; i < inner; ++i) {
                const QRgb c = px(i);
                line[size_t(i) * 4 + 0] = qAlpha(c);
                line[size_t(i) * 4 + 1] = qRed(c);
                line[size_t(i) * 4 + 2] = qGreen(c);
                line[size_t(i) * 4 + 3] = qBlue(c);
            }
            // Pixels beyond the edge count as clear.
            const int n = 2 * radius + 1;
            for (int i = 0; i < inner; ++i) {
                int sum[4] = {0, 0, 0, 0};
                for (int k = std::max(0, i - radius); k <= std::min(inner - 1, i + radius); ++k)
                    for (int ch = 0; ch < 4; ++ch) sum[ch] += line[size_t(k) * 4 + ch];
                px(i) = qRgba(sum[1] / n, sum[2] / n, sum[3] / n, sum[0] / n);
            }
        }
    };
    for (int k = 0; k < 3; ++k) {
        pass(true);
        pass(false);
    }
}

void DrawGlow(QPainter& painter, const QPainterPath& shape, const QColor& color, qreal radius) {
    const QRectF bounds = painter.transform().map(shape).boundingRect().adjusted(-radius * 3, -radius * 3, radius * 3, radius * 3);
    const QRect area = bounds.toAlignedRect();
    if (area.isEmpty()) return;
    // At the scale of the picture painted on, so a twin's glow is as fine.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    QImage halo(area.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    halo.setDevicePixelRatio(ratio);
    halo.fill(Qt::transparent);
    {
        QPainter p(&halo);
        Prepare(p);
        p.translate(-area.topLeft());
        p.setTransform(painter.transform(), true);
        p.setPen(QPen(color, radius * 0.8));
        p.setBrush(color);
        p.drawPath(shape);
    }
    Blur(halo, std::max(1, int(radius / 2)));
    painter.save();
    painter.resetTransform();
    painter.drawImage(area.topLeft(), halo);
    painter.restore();
}

void DrawTile(QPainter& painter, const QRectF& tile, qreal radius, TLook look, qreal glow) {
    QPainterPath shape;
    shape.addRoundedRect(tile, radius, radius);
    QColor top, bottom, rim;
    switch (look) {
    case TLook::Rest:
        top = QColor(36, 56, 100);
        bottom = QColor(12, 20, 42);
        rim = QColor(58, 86, 142);
        break;
    case TLook::Hover: {
        const auto mix = [glow](QColor a, QColor b) {
            return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * glow, a.greenF() + (b.greenF() - a.greenF()) * glow,
                                    a.blueF() + (b.blueF() - a.blueF()) * glow);
        };
        top = mix(QColor(20, 86, 196), QColor(36, 124, 236));
        bottom = mix(QColor(6, 34, 104), QColor(8, 52, 142));
        rim = mix(QColor(70, 160, 240), QColor(150, 214, 255));
        QColor halo = Palette::SectionBlue;
        halo.setAlphaF(0.35 + 0.5 * glow);
        DrawGlow(painter, shape, halo, 4 + 3 * glow);
        break;
    }
    case TLook::Disabled:
        top = QColor(34, 36, 42);
        bottom = QColor(20, 21, 25);
        rim = QColor(48, 51, 58);
        break;
    }
    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(shape);
    // A soft light on the upper half, as on a glass tile.
    if (look != TLook::Disabled) {
        QLinearGradient sheen(tile.topLeft(), QPointF(tile.left(), tile.center().y()));
        sheen.setColorAt(0, QColor(255, 255, 255, look == TLook::Hover ? int(40 + 30 * glow) : 30));
        sheen.setColorAt(1, QColor(255, 255, 255, 0));
        painter.setBrush(sheen);
        painter.drawPath(shape);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(rim, 1.2));
    painter.drawRoundedRect(tile.adjusted(0.6, 0.6, -0.6, -0.6), radius - 0.6, radius - 0.6);
}

QFont SkinFont(int pixelSize, bool bold, qreal letterSpacing) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setHintingPreference(QFont::PreferNoHinting);
    if (letterSpacing != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

void DrawCenteredText(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                      const QColor& color, bool shadow) {
    painter.setFont(font);
    if (shadow) {
        painter.setPen(QColor(0, 0, 0, 170));
        painter.drawText(rect.translated(0, 1), Qt::AlignCenter, text);
    }
    painter.setPen(color);
    painter.drawText(rect, Qt::AlignCenter, text);
}

void DrawEmblem(QPainter& painter, const QRectF& box, qreal light) {
    const QPointF c = box.center();
    const qreal R = box.width() / 2;
    painter.save();
    // Ring.
    QRadialGradient ring(c, R);
    ring.setColorAt(0.80, QColor(150, 210, 255));
    ring.setColorAt(0.92, QColor(40, 140, 240));
    ring.setColorAt(1.0, QColor(10, 70, 170));
    painter.setPen(Qt::NoPen);
    painter.setBrush(ring);
    painter.drawEllipse(c, R, R);
    painter.setBrush(QColor(4, 18, 52));
    const qreal inner = R * 0.82;
    painter.drawEllipse(c, inner, inner);
    // Aperture: six blades between the lines from each corner of the opening
    // through the next, out to the ring.
    const int blades = 6;
    const qreal opening = inner * 0.36;
    const qreal turn = -12;
    std::vector<QPointF> v(blades), hit(blades);
    for (int i = 0; i < blades; ++i) {
        const qreal a = qDegreesToRadians(turn + 360.0 * i / blades);
        v[size_t(i)] = c + QPointF(opening * qCos(a), opening * qSin(a));
    }
    for (int i = 0; i < blades; ++i) {
        const QPointF a = v[size_t(i)], b = v[size_t((i + 1) % blades)];
        const QPointF d = (b - a) / std::hypot((b - a).x(), (b - a).y());
        // Where the line a + t d leaves the circle about c of radius inner.
        const QPointF f = a - c;
        const qreal bq = 2 * (f.x() * d.x() + f.y() * d.y());
        const qreal cq = f.x() * f.x() + f.y() * f.y() - inner * inner;
        const qreal t = (-bq + std::sqrt(bq * bq - 4 * cq)) / 2;
        hit[size_t(i)] = a + d * t;
    }
    for (int i = 0; i < blades; ++i) {
        const QPointF corner = v[size_t((i + 1) % blades)];
        const QPointF h0 = hit[size_t(i)], h1 = hit[size_t((i + 1) % blades)];
        QPainterPath blade;
        blade.moveTo(corner);
        blade.lineTo(h0);
        const qreal a0 = -qRadiansToDegrees(std::atan2(h0.y() - c.y(), h0.x() - c.x()));
        qreal a1 = -qRadiansToDegrees(std::atan2(h1.y() - c.y(), h1.x() - c.x()));
        qreal sweep = a1 - a0;
        while (sweep > 0) sweep -= 360;
        while (sweep <= -360) sweep += 360;
        blade.arcTo(QRectF(c.x() - inner, c.y() - inner, 2 * inner, 2 * inner), a0, sweep);
        blade.closeSubpath();
        const qreal shade = 0.55 + 0.45 * (0.5 + 0.5 * qCos(qDegreesToRadians(60.0 * i + 200)));
        QLinearGradient g(corner, h0);
        g.setColorAt(0, QColor::fromRgbF(0.10 * shade * light, 0.42 * shade * light, 0.88 * shade * light));
        g.setColorAt(1, QColor::fromRgbF(0.05 * shade, 0.20 * shade, 0.52 * shade));
        painter.setBrush(g);
        painter.setPen(QPen(QColor(2, 10, 30), std::max<qreal>(0.8, R * 0.025)));
        painter.drawPath(blade);
    }
    // The opening glows with light.
    QRadialGradient core(c, opening * 1.6);
    core.setColorAt(0, QColor(255, 255, 255, int(255 * std::min<qreal>(1, light))));
    core.setColorAt(0.55, QColor(170, 225, 255, int(220 * std::min<qreal>(1, light))));
    core.setColorAt(1, QColor(60, 160, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(core);
    QPolygonF hex;
    for (const QPointF& p : v) hex << p;
    painter.drawPolygon(hex);
    // A highlight on the ring's upper left.
    QPainterPath shine;
    shine.addEllipse(c, R * 0.97, R * 0.97);
    QPainterPath cut;
    cut.addEllipse(c + QPointF(R * 0.10, R * 0.14), R * 0.97, R * 0.97);
    QLinearGradient sg(box.topLeft(), box.center());
    sg.setColorAt(0, QColor(255, 255, 255, 120));
    sg.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setBrush(sg);
    painter.drawPath(shine.subtracted(cut));
    painter.restore();
}

} // namespace MakeSkin
