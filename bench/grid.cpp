// The icon container's paint cost must not grow with the number of icons:
// both containers show the same 6 x 6 cells, one holding 36 icons, the other
// 5,000; every icon is drawn the way the thumbnails page draws (a selection
// fill and a 70 x 70 thumbnail scaled into the cell).
#include "bench/grid.h"
#include "viewer/iconcontainer.h"

#include <QApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Cells = 6;
constexpr int IconSize = 72;
constexpr int PaintsPerPass = 100;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QImage MakeThumbnail() {
    QImage thumb(70, 70, QImage::Format_RGB32);
    QPainter p(&thumb);
    QLinearGradient g(0, 0, 70, 70);
    g.setColorAt(0, QColor(250, 200, 120));
    g.setColorAt(1, QColor(30, 60, 140));
    p.fillRect(thumb.rect(), g);
    p.setPen(Qt::white);
    p.drawEllipse(QRect(20, 15, 30, 30));
    return thumb;
}

std::unique_ptr<TIconContainer> MakeContainer(int count, const QImage& thumb) {
    auto c = std::make_unique<TIconContainer>();
    c->setFrameShape(QFrame::NoFrame);
    c->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    c->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    c->resize(Cells * IconSize, Cells * IconSize);
    c->SetColor(Qt::black);
    c->SetIconTitles(false);
    c->SetIconWidth(IconSize);
    c->SetIconHeight(IconSize);
    c->SetIconGap(0);
    c->SetIconCount(count);
    c->SetVertScrollRange(c->ContentHeight());
    for (int i = 0; i < count; i += 3) c->Selector().Select(i);
    QObject::connect(c.get(), &TIconContainer::OnIconDraw,
                     [&thumb](TIconContainer* sender, int i, QPainter* canvas, QRect r) {
                         if (sender->Selector().IsSelected(i)) canvas->fillRect(r, QColor(0, 0, 128));
                         r.adjust(3, 3, -3, -3);
                         canvas->drawImage(r, thumb);
                     });
    c->show();
    return c;
}

// Milliseconds per full paint of one pass of PaintsPerPass paints.
double TimePass(TIconContainer& c) {
    const auto t0 = Clock::now();
    for (int i = 0; i < PaintsPerPass; ++i) c.viewport()->repaint();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / PaintsPerPass;
}

} // namespace

int RunGridBench(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const QImage thumb = MakeThumbnail();
    auto small = MakeContainer(36, thumb);
    auto large = MakeContainer(5000, thumb);
    QApplication::processEvents();
    // Passes alternate between the two, so load from other processes on
    // this shared machine falls on both alike.
    for (int i = 0; i < 10; ++i) {
        small->viewport()->repaint();
        large->viewport()->repaint();
    }
    std::vector<double> perSmall, perLarge;
    for (int p = 0; p < passes; ++p) {
        perSmall.push_back(TimePass(*small));
        perLarge.push_back(TimePass(*large));
        std::printf("pass %d: %.3f ms/paint (%d icons drawn), %.3f ms/paint (%d icons drawn)\n", p + 1,
                    perSmall.back(), small->PaintedLast() - small->PaintedFirst() + 1, perLarge.back(),
                    large->PaintedLast() - large->PaintedFirst() + 1);
    }
    const double msSmall = Median(perSmall), msLarge = Median(perLarge);
    std::printf("grid: %.3f ms %.3f ms\n", msSmall, msLarge);
    return 0;
}
