#include "tools/makedisc/disc_scene.h"
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <random>

namespace MakeDisc {

namespace {

// Our own mapping of the generator's output, so that a frame looks the same
// whichever standard library built the tool.
class TRandom {
public:
    explicit TRandom(unsigned seed) : FEngine(seed) {}
    double Next() { return FEngine() / 4294967296.0; }
    double Range(double low, double high) { return low + (high - low) * Next(); }
    int Int(int low, int high) { return low + int(Next() * (high - low + 1)); }
    bool Chance(double p) { return Next() < p; }

private:
    std::mt19937 FEngine;
};

struct TSky {
    QColor Top, Horizon, Sun;
};

TSky PickSky(TRandom& rnd) {
    static const TSky skies[] = {
        {QColor(40, 90, 170), QColor(175, 210, 238), QColor(255, 248, 215)},   // midday
        {QColor(62, 42, 112), QColor(250, 160, 92), QColor(255, 205, 130)},    // sunset
        {QColor(92, 142, 204), QColor(250, 222, 186), QColor(255, 242, 212)},  // morning
        {QColor(24, 32, 74), QColor(120, 92, 140), QColor(245, 235, 220)},     // dusk
    };
    return skies[rnd.Int(0, 3)];
}

QColor Shade(const QColor& c, double factor) {
    return QColor(std::clamp(int(c.red() * factor), 0, 255),
                  std::clamp(int(c.green() * factor), 0, 255),
                  std::clamp(int(c.blue() * factor), 0, 255), c.alpha());
}

QColor WithAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}

void FillVertical(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
}

void DrawSun(QPainter& p, QPointF centre, double radius, const QColor& colour) {
    QRadialGradient glow(centre, radius * 4);
    glow.setColorAt(0, WithAlpha(colour, 170));
    glow.setColorAt(0.3, WithAlpha(colour, 60));
    glow.setColorAt(1, WithAlpha(colour, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(centre, radius * 4, radius * 4);
    p.setBrush(colour);
    p.drawEllipse(centre, radius, radius);
}

void DrawClouds(QPainter& p, TRandom& rnd, double w, double horizon) {
    p.setPen(Qt::NoPen);
    const int clouds = rnd.Int(2, 5);
    for (int c = 0; c < clouds; ++c) {
        const double cx = rnd.Range(0, w), cy = rnd.Range(horizon * 0.12, horizon * 0.6);
        const double size = rnd.Range(0.04, 0.09) * w;
        const int puffs = rnd.Int(4, 7);
        for (int i = 0; i < puffs; ++i) {
            const QPointF at(cx + rnd.Range(-1.6, 1.6) * size, cy + rnd.Range(-0.3, 0.3) * size);
            const double r = size * rnd.Range(0.5, 1.0);
            QRadialGradient g(at, r);
            g.setColorAt(0, QColor(255, 255, 255, 190));
            g.setColorAt(1, QColor(255, 255, 255, 0));
            p.setBrush(g);
            p.drawEllipse(at, r * 1.4, r);
        }
    }
}

// A smooth ridge across the picture: Base is its mean height, Swing the
// amplitude; filled down to the bottom.
QPainterPath Hill(TRandom& rnd, double w, double h, double base, double swing, int bumps) {
    QPainterPath path;
    path.moveTo(0, h);
    double y = base + rnd.Range(-swing, swing);
    path.lineTo(0, y);
    for (int i = 1; i <= bumps; ++i) {
        const double x0 = w * (i - 1) / bumps, x1 = w * i / bumps;
        const double next = base + rnd.Range(-swing, swing);
        path.cubicTo(x0 + (x1 - x0) * 0.4, y, x0 + (x1 - x0) * 0.6, next, x1, next);
        y = next;
    }
    path.lineTo(w, h);
    path.closeSubpath();
    return path;
}

void DrawCoast(QPainter& p, TRandom& rnd, double w, double h, double horizon, QPointF sun,
               const TSky& sky) {
    const double shore = horizon + (h - horizon) * rnd.Range(0.45, 0.65);
    // A headland on one side of the horizon.
    QPainterPath land = Hill(rnd, w * rnd.Range(0.3, 0.5), horizon + 2, horizon - h * 0.05,
                             h * 0.03, 3);
    if (rnd.Chance(0.5)) land = QTransform(-1, 0, 0, 1, w, 0).map(land);
    p.fillPath(land, Shade(sky.Horizon, 0.45));
    FillVertical(p, QRectF(0, horizon, w, h - horizon), QColor(22, 62, 112), QColor(42, 132, 150));
    // The sun's reflection on the water.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 24; ++i) {
        const double y = horizon + (shore - horizon) * i / 24.0;
        const double half = w * (0.01 + 0.002 * i) * rnd.Range(0.6, 1.4);
        p.setBrush(WithAlpha(sky.Sun, 150 - i * 5));
        p.drawEllipse(QPointF(sun.x() + rnd.Range(-0.01, 0.01) * w, y), half, h * 0.004);
    }
    QPen wave(QColor(255, 255, 255, 90), h * 0.003, Qt::SolidLine, Qt::RoundCap);
    p.setPen(wave);
    for (int i = 0; i < 40; ++i) {
        const double y = rnd.Range(horizon + (shore - horizon) * 0.2, shore);
        const double x = rnd.Range(0, w), len = w * rnd.Range(0.02, 0.06);
        QPainterPath crest;
        crest.moveTo(x, y);
        crest.quadTo(x + len / 2, y - h * 0.006, x + len, y);
        p.drawPath(crest);
    }
    p.setPen(Qt::NoPen);
    QPainterPath beach = Hill(rnd, w, h, shore, h * 0.015, 4);
    QLinearGradient sand(0, shore, 0, h);
    sand.setColorAt(0, QColor(235, 212, 160));
    sand.setColorAt(1, QColor(196, 164, 108));
    p.fillPath(beach, sand);
    // Surf along the beach.
    p.strokePath(beach, QPen(QColor(255, 255, 255, 140), h * 0.006));
}

void DrawCity(QPainter& p, TRandom& rnd, double w, double h, double horizon) {
    FillVertical(p, QRectF(0, horizon, w, h - horizon), QColor(112, 112, 118), QColor(58, 58, 64));
    p.setPen(Qt::NoPen);
    // Towers behind, with lit and dark windows.
    for (double x = -w * 0.02; x < w;) {
        const double bw = w * rnd.Range(0.05, 0.11), bh = h * rnd.Range(0.14, 0.4);
        const QRectF tower(x, horizon - bh, bw, bh + h * 0.02);
        const int grey = rnd.Int(70, 150);
        FillVertical(p, tower, QColor(grey, grey + 5, grey + 20), QColor(grey / 2, grey / 2, grey / 2 + 10));
        const double cell = std::max(bw / 6, 4.0);
        for (double wy = tower.top() + cell; wy < horizon - cell; wy += cell * 1.6)
            for (double wx = tower.left() + cell * 0.7; wx < tower.right() - cell; wx += cell * 1.5)
                p.fillRect(QRectF(wx, wy, cell * 0.8, cell),
                           rnd.Chance(0.4) ? QColor(250, 222, 132) : QColor(40, 44, 56));
        x += bw + w * rnd.Range(0.0, 0.02);
    }
    // Houses in front.
    const double street = horizon + (h - horizon) * 0.55;
    for (double x = w * rnd.Range(-0.05, 0.03); x < w;) {
        const double hw = w * rnd.Range(0.1, 0.17), hh = (street - horizon) * rnd.Range(0.7, 1.1);
        const QColor wall = QColor::fromHsv(rnd.Int(10, 60), rnd.Int(60, 140), rnd.Int(170, 235));
        const QRectF body(x, street - hh, hw, hh);
        FillVertical(p, body, wall, Shade(wall, 0.8));
        QPainterPath roof;
        roof.moveTo(x - hw * 0.06, body.top());
        roof.lineTo(x + hw / 2, body.top() - hh * rnd.Range(0.35, 0.6));
        roof.lineTo(x + hw * 1.06, body.top());
        roof.closeSubpath();
        p.fillPath(roof, QColor::fromHsv(rnd.Int(0, 20), 170, rnd.Int(90, 150)));
        p.fillRect(QRectF(x + hw * 0.42, street - hh * 0.45, hw * 0.16, hh * 0.45), QColor(80, 50, 30));
        p.fillRect(QRectF(x + hw * 0.12, body.top() + hh * 0.2, hw * 0.2, hh * 0.22), QColor(190, 220, 240));
        p.fillRect(QRectF(x + hw * 0.68, body.top() + hh * 0.2, hw * 0.2, hh * 0.22), QColor(190, 220, 240));
        x += hw + w * rnd.Range(0.01, 0.04);
    }
    FillVertical(p, QRectF(0, street, w, h - street), QColor(70, 70, 74), QColor(36, 36, 40));
    const double lane = street + (h - street) * 0.5;
    for (double x = 0; x < w; x += w * 0.08)
        p.fillRect(QRectF(x, lane, w * 0.045, h * 0.008), QColor(235, 235, 220));
}

void DrawGarden(QPainter& p, TRandom& rnd, double w, double h, double horizon) {
    QLinearGradient far(0, horizon - h * 0.1, 0, h);
    far.setColorAt(0, QColor(110, 150, 110));
    far.setColorAt(1, QColor(60, 100, 60));
    p.fillPath(Hill(rnd, w, h, horizon - h * 0.03, h * 0.04, 3), far);
    QLinearGradient grass(0, horizon, 0, h);
    grass.setColorAt(0, QColor(96, 166, 72));
    grass.setColorAt(1, QColor(38, 102, 40));
    p.fillPath(Hill(rnd, w, h, horizon + h * 0.06, h * 0.03, 4), grass);

    // A tree.
    const double tx = w * rnd.Range(0.15, 0.85), ground = horizon + h * 0.12;
    const double th = h * rnd.Range(0.25, 0.35);
    p.fillRect(QRectF(tx - w * 0.012, ground - th, w * 0.024, th), QColor(92, 62, 38));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 8; ++i) {
        const QPointF at(tx + rnd.Range(-1, 1) * th * 0.35, ground - th + rnd.Range(-0.25, 0.15) * th);
        const double r = th * rnd.Range(0.22, 0.34);
        QRadialGradient leaf(at - QPointF(r * 0.3, r * 0.3), r * 1.3);
        leaf.setColorAt(0, QColor(90, 160, 70));
        leaf.setColorAt(1, QColor(30, 80, 34));
        p.setBrush(leaf);
        p.drawEllipse(at, r, r);
    }
    // Flowers, smaller towards the back.
    static const QColor petals[] = {QColor(220, 40, 50), QColor(250, 210, 40), QColor(240, 120, 180),
                                    QColor(250, 250, 245), QColor(150, 80, 200)};
    const int flowers = rnd.Int(70, 130);
    for (int i = 0; i < flowers; ++i) {
        const double y = rnd.Range(horizon + (h - horizon) * 0.35, h);
        const double depth = (y - horizon) / (h - horizon);
        const double r = h * 0.012 * depth * rnd.Range(0.7, 1.3);
        const QPointF at(rnd.Range(0, w), y);
        p.setBrush(petals[rnd.Int(0, 4)]);
        p.drawEllipse(at, r, r);
        p.setBrush(QColor(250, 200, 60));
        p.drawEllipse(at, r * 0.35, r * 0.35);
    }
}

void DrawMountains(QPainter& p, TRandom& rnd, double w, double h, double horizon, const TSky& sky) {
    for (int layer = 0; layer < 3; ++layer) {
        const double base = horizon - h * (0.22 - layer * 0.08);
        QPainterPath ridge;
        ridge.moveTo(0, h);
        const int peaks = rnd.Int(5, 9);
        for (int i = 0; i <= peaks * 2; ++i) {
            const double x = w * i / (peaks * 2);
            const double y = (i % 2 == 1) ? base - h * rnd.Range(0.04, 0.14)
                                          : base + h * rnd.Range(0.02, 0.06);
            ridge.lineTo(x, y);
        }
        ridge.lineTo(w, h);
        ridge.closeSubpath();
        // Farther ridges take on the colour of the sky.
        const double haze = 0.55 - layer * 0.2;
        const QColor rock(int(80 + (sky.Horizon.red() - 80) * haze),
                          int(90 + (sky.Horizon.green() - 90) * haze),
                          int(110 + (sky.Horizon.blue() - 110) * haze));
        QLinearGradient g(0, base - h * 0.15, 0, horizon + h * 0.1);
        g.setColorAt(0, rock);
        g.setColorAt(1, Shade(rock, 0.6));
        p.fillPath(ridge, g);
        if (layer < 2) {
            p.save();
            p.setClipPath(ridge);
            FillVertical(p, QRectF(0, base - h * 0.16, w, h * 0.1), QColor(255, 255, 255, 230),
                         QColor(255, 255, 255, 0));
            p.restore();
        }
    }
    QLinearGradient meadow(0, horizon, 0, h);
    meadow.setColorAt(0, QColor(120, 150, 80));
    meadow.setColorAt(1, QColor(60, 90, 40));
    p.fillPath(Hill(rnd, w, h, horizon + h * 0.08, h * 0.025, 3), meadow);
}

void DrawLabel(QPainter& p, const QPainterPath& path, double outline) {
    p.strokePath(path, QPen(QColor(0, 0, 0, 170), outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(path, QColor(255, 255, 255));
}

} // namespace

QImage DrawDemoScene(const TDemoFrame& frame) {
    const QSize size = LevelBox(LastLevel, frame.Portrait);
    const double w = size.width(), h = size.height();
    QImage image(size, QImage::Format_RGB32);
    TRandom rnd(frame.Seed);
    const TSky sky = PickSky(rnd);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double horizon = h * rnd.Range(0.45, 0.6);
    FillVertical(p, QRectF(0, 0, w, horizon + 2), sky.Top, sky.Horizon);
    const QPointF sun(w * rnd.Range(0.15, 0.85), horizon * rnd.Range(0.3, 0.75));
    DrawSun(p, sun, std::min(w, h) * rnd.Range(0.04, 0.075), sky.Sun);
    DrawClouds(p, rnd, w, horizon);
    switch (frame.Scene) {
    case TScene::Coast: DrawCoast(p, rnd, w, h, horizon, sun, sky); break;
    case TScene::City: DrawCity(p, rnd, w, h, horizon); break;
    case TScene::Garden: DrawGarden(p, rnd, w, h, horizon); break;
    case TScene::Mountain: DrawMountains(p, rnd, w, h, horizon, sky); break;
    }
    // A soft vignette, as an old lens would give.
    QRadialGradient vignette(QPointF(w / 2, h / 2), std::hypot(w, h) / 2);
    vignette.setColorAt(0.6, QColor(0, 0, 0, 0));
    vignette.setColorAt(1, QColor(0, 0, 0, 110));
    p.fillRect(image.rect(), vignette);

    const double side = std::min(w, h);
    DrawLabel(p, frame.RollLabel, side * 0.01);
    DrawLabel(p, frame.FrameLabel, side * 0.016);
    p.end();
    return image;
}

} // namespace MakeDisc
