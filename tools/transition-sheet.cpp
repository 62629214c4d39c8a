// transition-sheet: contact sheets of the slideshow's transition effects, so
// a person can judge every one of them.
//
//   transition-sheet OUT_DIR [--size WxH]
//
// For each entry of the effects table it writes transition-<number>-<name>.png
// into OUT_DIR: six frames of the effect, from the start to the last step,
// between two demo photos (a coast and a garden, drawn as make-disc draws
// them), each frame WxH (default 360x240). A variant entry gets one row per
// drawing its range holds, each labelled with a number that selects it. The
// frames come from PaintTransition itself, run on a clock that only counts.
#include "tools/makedisc/disc_scene.h"
#include "viewer/transitions.h"
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

constexpr int FramesPerRow = 6;
constexpr int Gap = 12;
constexpr int TitleHeight = 44;
constexpr int LabelHeight = 22;

int Usage() {
    std::fputs("usage: transition-sheet OUT_DIR [--size WxH]\n", stderr);
    return 2;
}

// A clock that moves only when asked to sleep: every step is drawn.
class TCountingClock final : public TFrameClock {
public:
    std::chrono::microseconds Now() override { return FNow; }
    void SleepUntil(std::chrono::microseconds due) override { FNow = std::max(FNow, due); }

private:
    std::chrono::microseconds FNow{0};
};

QImage DemoPhoto(MakeDisc::TScene scene, unsigned seed, QSize size) {
    MakeDisc::TDemoFrame frame;
    frame.Scene = scene;
    frame.Seed = seed;
    return MakeDisc::DrawDemoScene(frame).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

struct TRow {
    int Number;
    QString Label;
};

// The rows of one entry's sheet: the entry's own number, or for a variant
// entry the first number of its range that gives each drawing.
QList<TRow> RowsFor(const TTransitionEffect& effect) {
    if (!effect.Variant) return {{effect.Number, QString()}};
    const int base = effect.Number - effect.Number % 1000;
    std::map<TTransitionKind, int> first;
    QList<TRow> rows;
    for (int n = base; n < effect.Number; ++n) {
        const TTransitionKind kind = TransitionKindFor(n);
        if (first.count(kind)) continue;
        first[kind] = n;
        rows.append({n, QStringLiteral("%1: %2").arg(n).arg(QLatin1String(TransitionKindDescription(kind)))});
    }
    return rows;
}

// The six frames of effect Number between Old and New: the picture before
// the first step, then steps spread evenly up to the last. Each with its label.
QList<std::pair<QImage, QString>> Frames(int number, const QImage& oldPicture, const QImage& newPicture) {
    const int steps = TTransitionPlan(number, oldPicture.size()).Steps();
    std::map<int, int> wanted;  // step -> column
    for (int c = 1; c < FramesPerRow; ++c)
        wanted.emplace(std::max(1, int(std::lround(double(steps) * c / (FramesPerRow - 1)))), c);
    QList<std::pair<QImage, QString>> frames;
    frames.append({oldPicture, QStringLiteral("before")});
    QImage canvas = oldPicture.copy();
    int shown = 0;
    TCountingClock clock;
    TTransitionHooks hooks;
    hooks.Clock = &clock;
    hooks.Present = [&](const QRect&) {
        ++shown;
        if (wanted.count(shown))
            frames.append({canvas.copy(), QStringLiteral("step %1 of %2, %3 ms")
                                              .arg(shown)
                                              .arg(steps)
                                              .arg(shown * TransitionStepTime.count())});
    };
    PaintTransition(canvas, canvas.rect(), newPicture, number, hooks);
    return frames;
}

QString FileName(const TTransitionEffect& effect) {
    QString slug = QString::fromLatin1(effect.Name).toLower();
    slug.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    return QStringLiteral("transition-%1-%2.png").arg(effect.Number).arg(slug);
}

QImage Sheet(const TTransitionEffect& effect, const QImage& oldPicture, const QImage& newPicture) {
    const QSize frame = oldPicture.size();
    const QList<TRow> rows = RowsFor(effect);
    const int rowLabel = effect.Variant ? LabelHeight : 0;
    const int rowHeight = rowLabel + frame.height() + LabelHeight + Gap;
    QImage sheet(Gap + FramesPerRow * (frame.width() + Gap), TitleHeight + rows.size() * rowHeight,
                 QImage::Format_RGB32);
    sheet.fill(QColor(28, 28, 30));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(22);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(235, 235, 235));
    const QString numbers = effect.Variant
                                ? QStringLiteral("%1 to %2").arg(effect.Number - effect.Number % 1000)
                                      .arg(effect.Number - 1)
                                : QStringLiteral("%1, %2 steps of %3 ms")
                                      .arg(effect.Number)
                                      .arg(TTransitionPlan(effect.Number, frame).Steps())
                                      .arg(TransitionStepTime.count());
    p.drawText(QRect(Gap, 0, sheet.width() - 2 * Gap, TitleHeight), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("%1 (%2)").arg(QLatin1String(effect.Name), numbers));
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(13);
    int y = TitleHeight;
    for (const TRow& row : rows) {
        p.setFont(small);
        if (rowLabel) {
            p.setPen(QColor(235, 235, 235));
            p.drawText(QRect(Gap, y, sheet.width() - 2 * Gap, rowLabel), Qt::AlignVCenter | Qt::AlignLeft,
                       row.Label);
        }
        const auto frames = Frames(row.Number, oldPicture, newPicture);
        for (int c = 0; c < frames.size(); ++c) {
            const int x = Gap + c * (frame.width() + Gap);
            p.drawImage(x, y + rowLabel, frames[c].first);
            p.setPen(QColor(170, 170, 170));
            p.drawText(QRect(x, y + rowLabel + frame.height(), frame.width(), LabelHeight),
                       Qt::AlignCenter, frames[c].second);
        }
        y += rowHeight;
    }
    p.end();
    return sheet;
}

} // namespace

int main(int argc, char** argv) {
    // Nothing is shown on screen; text needs a GUI application all the same.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    QSize size(360, 240);
    if (const qsizetype at = args.indexOf(QStringLiteral("--size")); at >= 0) {
        if (at + 1 >= args.size()) return Usage();
        const QStringList parts = args.at(at + 1).split(QLatin1Char('x'));
        bool okW = false, okH = false;
        if (parts.size() == 2) size = QSize(parts[0].toInt(&okW), parts[1].toInt(&okH));
        if (!okW || !okH || size.width() < 16 || size.height() < 16 || size.width() > 4000 ||
            size.height() > 4000)
            return Usage();
        args.remove(at, 2);
    }
    if (args.size() != 1) return Usage();
    const QDir out(args.at(0));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "transition-sheet: cannot make %s\n", qPrintable(out.path()));
        return 1;
    }
    const QImage oldPicture = DemoPhoto(MakeDisc::TScene::Coast, 7, size);
    const QImage newPicture = DemoPhoto(MakeDisc::TScene::Garden, 3, size);
    int failed = 0;
    for (const TTransitionEffect& effect : TransitionEffects) {
        const QString path = out.filePath(FileName(effect));
        if (Sheet(effect, oldPicture, newPicture).save(path, "PNG")) {
            std::printf("%s\n", qPrintable(path));
        } else {
            std::fprintf(stderr, "transition-sheet: could not write %s\n", qPrintable(path));
            ++failed;
        }
    }
    return failed ? 1 : 0;
}
