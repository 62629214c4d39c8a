// lumora-bench glyphs [PASSES]: the main window's captions drawn as 3D
// lettering three ways - cold (both caches empty), from the disk cache (a
// second start: memory cache empty, disk cache filled) and from the memory
// cache - next to a plain QPainter::drawText of the same texts.
#include "imaging/font3d.h"
#include "imaging/smoothcachefile.h"
#include "imaging/smoothfontcache.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char* const Captions[] = {
    "Click on a roll to view your images", "Click on a thumbnail to view a photo.", "Quit Program",
    "Roll Selection", "Thumbnails", "Photo View"};
// The captions' font at the two sizes the screenshots show.
const int PointSizes[] = {12, 18};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Milliseconds of Work, median of Passes runs, each after Prepare.
double TimeMs(int passes, const std::function<void()>& prepare, const std::function<void()>& work) {
    std::vector<double> times;
    for (int p = 0; p < passes; ++p) {
        prepare();
        const auto t0 = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return Median(times);
}

struct TBench {
    QImage Canvas{1200, 60, QImage::Format_RGB32};
    TFont3DValues Style;   // the captions' style: the TFont3D defaults
    std::vector<QFont> Fonts;
    QString Folder;

    TBench() {
        for (int size : PointSizes) {
            QFont f("Arial");
            f.setPointSize(size);
            f.setBold(true);
            Fonts.push_back(f);
        }
        Canvas.fill(QColor(0x00, 0x33, 0x99));
    }

    void Configure(bool disk) {
        ResetSmoothFontCache();
        TSmoothFontCache& cache = SmoothFontCache();
        cache.UseDiskCache = disk;
        cache.DiskCacheDirectory = Folder;
    }

    // Every caption once in every font, as a label paints a line: measure, then draw.
    void PaintAll() {
        TSmoothFontCache& cache = SmoothFontCache();
        QPainter p(&Canvas);
        for (const QFont& f : Fonts) {
            const TSmoothFontRecord font = TSmoothFontRecord::FromFont(f, 96);
            for (const char* caption : Captions) {
                const QString text = QString::fromLatin1(caption);
                const int w = cache.TextWidth(font, Style, text);
                cache.DrawString(p, QPoint((Canvas.width() - w) / 2, 4), font, Style, text);
            }
        }
    }

    void DrawTextAll() {
        QPainter p(&Canvas);
        p.setPen(Qt::white);
        for (const QFont& f : Fonts) {
            QFont font = f;
            font.setPixelSize(TSmoothFontRecord::FromFont(f, 96).PixelHeight());
            p.setFont(font);
            for (const char* caption : Captions) {
                const QString text = QString::fromLatin1(caption);
                const int w = p.fontMetrics().horizontalAdvance(text);
                p.drawText(QPoint((Canvas.width() - w) / 2, 40), text);
            }
        }
    }
};

} // namespace

int RunGlyphsBench(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int passes = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
    QTemporaryDir dir;
    TBench bench;
    bench.Folder = dir.path() + "/FontCache3D";
    const int repeat = 200;   // memory-cache paints are timed in batches
    const int captionCount = int(std::size(Captions) * std::size(PointSizes));

    bench.Configure(false);
    bench.PaintAll();   // warm-up: font files, allocator, code

    const double cold = TimeMs(passes, [&] { bench.Configure(false); }, [&] { bench.PaintAll(); });

    // Fill the disk cache once, as the first run's exit does.
    bench.Configure(true);
    bench.PaintAll();
    SmoothFontCache().WriteMemoryCacheToDiskCache();
    const double disk = TimeMs(passes, [&] { bench.Configure(true); }, [&] { bench.PaintAll(); });

    const double memory = TimeMs(passes, [] {}, [&] {
        for (int i = 0; i < repeat; ++i) bench.PaintAll();
    }) / repeat;
    const double drawText = TimeMs(passes, [] {}, [&] {
        for (int i = 0; i < repeat; ++i) bench.DrawTextAll();
    }) / repeat;
    // The same paints composing every caption from the cached glyphs.
    SmoothFontCache().KeepComposedCaptions = false;
    const double composed = TimeMs(passes, [] {}, [&] {
        for (int i = 0; i < repeat / 10; ++i) bench.PaintAll();
    }) / (repeat / 10);
    SmoothFontCache().KeepComposedCaptions = true;

    std::printf("%d captions (%d texts at %d and %d pt bold), median of %d passes\n", captionCount,
                int(std::size(Captions)), PointSizes[0], PointSizes[1], passes);
    std::printf("per caption: memory-cache paint %.1f us, plain drawText %.1f us (%.2fx)\n",
                memory * 1000 / captionCount, drawText * 1000 / captionCount, memory / drawText);
    std::printf("per caption composed from the cached glyphs (no composed-caption cache): %.1f us (%.2fx drawText)\n",
                composed * 1000 / captionCount, composed / drawText);
    std::printf("second start from the disk cache: %.1fx faster than rendering\n", cold / disk);
    std::printf("glyphs: %.3f ms %.3f ms %.3f ms\n", cold, disk, memory);
    ResetSmoothFontCache();
    return 0;
}
