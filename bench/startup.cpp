#include "bench/startup.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <cstdio>
#include <vector>

int RunStartupBench(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumora-bench startup DISC_FOLDER [PASSES]\n");
        return 2;
    }
    const int passes = argc > 3 ? std::max(1, atoi(argv[3])) : 7;
    const QString program = QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("Viewer/LMR/lumora"));
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "no viewer at %s\n", qPrintable(program));
        return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUMORA_REPORT"), QStringLiteral("1"));
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM"))) env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    std::vector<double> times;
    for (int pass = 0; pass <= passes; ++pass) {  // pass 0 warms the file cache
        QProcess process;
        process.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        process.start(program, {});
        bool painted = false;
        while (!painted && process.waitForReadyRead(10000))
            painted = process.readAllStandardOutput().contains("first page painted");
        const double ms = clock.nsecsElapsed() / 1e6;
        process.kill();
        process.waitForFinished(5000);
        if (!painted) {
            std::fprintf(stderr, "the program did not paint its first page\n");
            return 1;
        }
        if (pass == 0) continue;
        times.push_back(ms);
        std::printf("pass %d: %.1f ms\n", pass, ms);
    }
    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    std::printf("startup: %.1f ms\n", median);
    return 0;
}
