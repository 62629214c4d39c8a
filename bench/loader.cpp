#include "bench/loader.h"
#include "collection/roll.h"
#include "collection/rotation.h"
#include "imaging/ilib.h"
#include "imaging/screen.h"
#include "shell/startup.h"
#include "viewer/iconcontainer.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

// Adds up the time the main thread spends handling events.
class TTimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        if (QThread::currentThread() != thread() || Depth > 0) return QApplication::notify(receiver, event);
        ++Depth;
        QElapsedTimer clock;
        clock.start();
        const bool result = QApplication::notify(receiver, event);
        BusyNs += clock.nsecsElapsed();
        --Depth;
        return result;
    }
    qint64 BusyNs = 0;
    int Depth = 0;
};

} // namespace

int RunLoaderBench(int argc, char** argv) {
    TTimedApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumora-bench loader DIR [COUNT]\n");
        return 2;
    }
    const int count = argc > 3 ? std::max(1, atoi(argv[3])) : 1000;
    const QStringList sources = QDir(QString::fromLocal8Bit(argv[2])).entryList({"*.jpg"}, QDir::Files, QDir::Name);
    if (sources.isEmpty()) {
        std::fprintf(stderr, "no JPEG files in %s\n", argv[2]);
        return 1;
    }
    RegisterImagingErrorTexts();
    InitScreenDepth();
    QTemporaryDir disc;
    QDir().mkpath(disc.path() + "/Roll/Tiny");
    QDir().mkpath(disc.path() + "/Roll/Medium");
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("r-%1.jpg").arg(i + 1);
        QFile::copy(QDir(QString::fromLocal8Bit(argv[2])).filePath(sources[i % sources.size()]),
                    disc.path() + "/Roll/Tiny/" + name);
        QFile(disc.path() + "/Roll/Medium/" + name).open(QIODevice::WriteOnly);
    }
    AppState().FotavoLayout = true;
    OpenRotationFile(disc.path());

    TIconContainer grid;
    grid.SetIconWidth(72);
    grid.SetIconHeight(72);
    grid.SetIconTitles(false);
    grid.resize(800, 600);
    grid.show();
    QCoreApplication::processEvents();

    TRoll roll(true, "Roll", disc.path() + "/Roll");
    QObject::connect(&grid, &TIconContainer::OnIconDraw,
                     [&](TIconContainer*, int index, QPainter* canvas, const QRect& rect) {
                         roll.Items(index)->DrawThumbnail(*canvas, rect.adjusted(2, 2, -2, -2));
                     });
    int delivered = 0;
    qint64 firstNs = -1;
    QElapsedTimer sinceOpen;
    roll.OnThumbnail = [&](TTask* task) {
        ++delivered;
        grid.InvalidateIcon(task->Index, false);
        if (firstNs < 0) firstNs = sinceOpen.nsecsElapsed();
    };
    // Opening the roll, as the main window does: prepare, size, start.
    app.BusyNs = 0;
    sinceOpen.start();
    roll.Prepare();
    grid.SetIconCount(roll.Count());
    grid.SetVertScrollRange(grid.ContentHeight());
    roll.StartThumbLoader();
    const qint64 openNs = sinceOpen.nsecsElapsed();
    while (roll.Loader) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const qint64 totalNs = sinceOpen.nsecsElapsed();
    CloseRotationFile();
    std::printf("roll of %d photos: opened in %.1f ms, all thumbnails in %.0f ms\n", count, openNs / 1e6,
                totalNs / 1e6);
    std::printf("loader: %.1f ms first %.1f us main thread per thumbnail\n", firstNs / 1e6,
                delivered ? app.BusyNs / 1e3 / delivered : 0.0);
    return delivered == count ? 0 : 1;
}
