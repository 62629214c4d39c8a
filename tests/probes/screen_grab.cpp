// For the clean-desktop test: "screen-grab OUT.png" saves the screen of $DISPLAY once two grabs
// a tenth of a second apart are equal (at most 100 tries); "screen-grab --compare A B" prints how
// many pixels differ (a channel by more than 8) and exits 1 when more than 0.1% of them do.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc == 4) qputenv("QT_QPA_PLATFORM", "offscreen");  // comparing needs no screen
    QGuiApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--compare") {
        const QImage a = QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
        const QImage b = QImage(QString::fromLocal8Bit(argv[3])).convertToFormat(QImage::Format_RGB32);
        if (a.isNull() || a.size() != b.size()) return 1;
        qint64 differing = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                differing += std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8 ||
                             std::abs(qBlue(p) - qBlue(q)) > 8;
            }
        std::printf("%lld of %d pixels differ\n", static_cast<long long>(differing), a.width() * a.height());
        return differing * 1000 > qint64(a.width()) * a.height() ? 1 : 0;
    }
    if (argc != 2 || !QGuiApplication::primaryScreen()) return 2;
    QImage last;
    for (int i = 0; i < 100; ++i) {
        const QImage now = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        if (now == last) break;
        last = now;
        QThread::msleep(100);
    }
    return last.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
