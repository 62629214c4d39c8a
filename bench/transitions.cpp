// A transition step must be composed well inside one frame of a 60 Hz screen
// (16 ms), or the effect stutters. Each step is painted the way
// PaintTransition paints on a window's canvas: a painter opened on the
// 1920 x 1080 canvas, the frame drawn, the painter closed.
#include "bench/transitions.h"
#include "viewer/transitions.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr QSize Screen(1920, 1080);

// A photo-like picture: a sky gradient, a sun with a glow, hills, stripes.
QImage MakePhoto(QColor top, QColor bottom, QColor sun, int seed) {
    QImage image(Screen, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, Screen.height());
    sky.setColorAt(0, top);
    sky.setColorAt(1, bottom);
    p.fillRect(image.rect(), sky);
    QRadialGradient glow(QPointF(400 + seed * 300, 300), 260);
    glow.setColorAt(0, sun);
    glow.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(QPointF(400 + seed * 300, 300), 260, 260);
    for (int i = 0; i < 12; ++i) {
        p.setBrush(QColor::fromHsv((seed * 70 + i * 20) % 360, 120, 90 + i * 10));
        p.drawEllipse(QPointF(i * 180 - 60, 900 + (i % 3) * 40), 260, 160);
    }
    return image;
}

double Percentile(std::vector<double> v, double share) {
    std::sort(v.begin(), v.end());
    const size_t at = std::min(v.size() - 1, size_t(share * double(v.size() - 1) + 0.5));
    return v[at];
}

} // namespace

int RunTransitionsBench(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const QImage oldPicture = MakePhoto(QColor(40, 50, 120), QColor(250, 150, 90), QColor(255, 230, 160), 0);
    const QImage newPicture = MakePhoto(QColor(60, 130, 210), QColor(200, 230, 250), QColor(255, 255, 240), 3);
    QImage canvas(Screen, QImage::Format_RGB32);

    // The table's numbers, and a number for each further drawing of a range.
    struct TCase {
        int Number;
        QString Label;
    };
    std::vector<TCase> cases;
    for (const TTransitionEffect& effect : TransitionEffects) {
        if (!effect.Variant) {
            cases.push_back({effect.Number, QLatin1String(effect.Name)});
            continue;
        }
        std::set<TTransitionKind> seen;
        for (int n = effect.Number - effect.Number % 1000; n < effect.Number; ++n) {
            const TTransitionKind kind = TransitionKindFor(n);
            if (!seen.insert(kind).second) continue;
            cases.push_back({n, QStringLiteral("%1 (%2)").arg(QLatin1String(effect.Name),
                                                              QLatin1String(TransitionKindDescription(kind)))});
        }
    }

    double worst = 0;
    QString worstLabel;
    for (const TCase& c : cases) {
        const TTransitionPlan plan(c.Number, Screen);
        std::vector<double> frames;
        for (int pass = 0; pass <= passes; ++pass) {  // pass 0 warms up
            for (int step = 1; step <= plan.Steps(); ++step) {
                const auto t0 = Clock::now();
                QPainter p(&canvas);
                plan.DrawStep(p, QPoint(0, 0), oldPicture, newPicture, step);
                p.end();
                const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                if (pass > 0) frames.push_back(ms);
            }
        }
        const double median = Percentile(frames, 0.5), p95 = Percentile(frames, 0.95);
        std::printf("%5d %-44s %6.2f ms/frame median  %6.2f ms p95  (%d steps)\n", c.Number,
                    qPrintable(c.Label), median, p95, plan.Steps());
        if (median > worst) {
            worst = median;
            worstLabel = c.Label;
        }
    }
    // What the show waits before the first step: the photo scaled into the
    // rectangle over the old picture, once per transition.
    std::vector<double> prepare;
    const QImage big = newPicture.scaled(3072, 2048);
    for (int pass = 0; pass <= passes; ++pass) {
        const auto t0 = Clock::now();
        TTransitionHooks hooks;
        PaintTransition(canvas, QRect(QPoint(0, 0), Screen), big, 0, hooks);  // 0: one plain step
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (pass > 0) prepare.push_back(ms);
    }
    std::printf("preparing a 3072 x 2048 photo for a full-screen rectangle: %.2f ms median\n",
                Percentile(prepare, 0.5));
    std::printf("worst median: %s\n", qPrintable(worstLabel));
    std::printf("transitions: %.2f ms\n", worst);
    return 0;
}
