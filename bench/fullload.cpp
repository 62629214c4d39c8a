#include "bench/fullload.h"
#include "imaging/ilib.h"
#include "imaging/loading.h"
#include "imaging/screen.h"
#include "viewer/imageloader.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int RunFullLoadBench(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumora-bench fullload FILE [PASSES]\n");
        return 2;
    }
    const QString file = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    const int passes = argc > 3 ? std::max(1, atoi(argv[3])) : 7;
    RegisterImagingErrorTexts();
    InitScreenDepth();

    QElapsedTimer clock;
    qint64 deliveredNs = -1;
    int progressReports = 0;
    TImageLoaderThread::TEvents events;
    events.OnProgress = [&](int) { ++progressReports; };
    QEventLoop* running = nullptr;
    events.OnDeliver = [&](TLoadedImage& image) {
        if (image.Bitmap) deliveredNs = clock.nsecsElapsed();
        if (running) running->quit();
    };
    TImageLoaderThread loader(std::move(events));
    std::vector<double> loads, decodes;
    for (int pass = 0; pass <= passes; ++pass) {  // pass 0 warms up
        // A person opening one photo: the loader has been quiet for a while.
        QThread::msleep(300);
        deliveredNs = -1;
        progressReports = 0;
        clock.start();
        loader.Load({file, 0, true});
        // The main thread sits in its event loop, as it does while the page
        // shows the progress panel: hand-overs run as soon as they arrive.
        QEventLoop loop;
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        running = &loop;
        loop.exec();
        running = nullptr;
        if (!loader.WaitIdle() || deliveredNs < 0) {
            std::fprintf(stderr, "failed: %s\n", qPrintable(file));
            return 1;
        }
        const double loadMs = deliveredNs / 1e6;

        QElapsedTimer decodeClock;
        decodeClock.start();
        QString error;
        ImageInfo info;
        if (!LoadPicture(file, ColorModeOwnDepth, false, error, info)) {
            std::fprintf(stderr, "failed: %s: %s\n", qPrintable(file), qPrintable(error));
            return 1;
        }
        const double decodeMs = decodeClock.nsecsElapsed() / 1e6;
        if (pass == 0) continue;
        loads.push_back(loadMs);
        decodes.push_back(decodeMs);
        std::printf("pass %d: load %.3f ms, decode %.3f ms, %d progress hand-overs\n", pass, loadMs, decodeMs,
                    progressReports);
    }
    const double load = Median(loads), decode = Median(decodes);
    std::printf("fullload: %.3f ms (decode %.3f ms, %.2fx)\n", load, decode, load / decode);
    return 0;
}
