// Pictures of an X screen for the clean-desktop test:
//   screen-grab OUT.png                 saves the screen of $DISPLAY once it
//                                       holds still (two grabs a tenth of a
//                                       second apart are equal; at most 100 tries)
//   screen-grab --compare A B [SHARE]   prints how many pixels of A and B differ
//                                       (a channel by more than 8); exits 1 when
//                                       more than SHARE of them do (default 0.001)
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {

int Compare(const QString& a, const QString& b, double share) {
    const QImage left = QImage(a).convertToFormat(QImage::Format_RGB32);
    const QImage right = QImage(b).convertToFormat(QImage::Format_RGB32);
    if (left.isNull() || right.isNull() || left.size() != right.size()) {
        std::fprintf(stderr, "screen-grab: %s and %s are not two pictures of one size\n", qPrintable(a), qPrintable(b));
        return 1;
    }
    qint64 differing = 0;
    for (int y = 0; y < left.height(); ++y) {
        const QRgb* l = reinterpret_cast<const QRgb*>(left.constScanLine(y));
        const QRgb* r = reinterpret_cast<const QRgb*>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x)
            if (std::abs(qRed(l[x]) - qRed(r[x])) > 8 || std::abs(qGreen(l[x]) - qGreen(r[x])) > 8 ||
                std::abs(qBlue(l[x]) - qBlue(r[x])) > 8)
                ++differing;
    }
    const qint64 all = qint64(left.width()) * left.height();
    std::printf("%lld of %lld pixels differ\n", static_cast<long long>(differing), static_cast<long long>(all));
    return differing > share * all ? 1 : 0;
}

int Grab(int argc, char** argv, const QString& out) {
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 1;
    QImage last;
    for (int i = 0; i < 100; ++i) {
        const QImage now = screen->grabWindow(0).toImage();
        if (!last.isNull() && now == last) break;
        last = now;
        QThread::msleep(100);
    }
    return last.save(out) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && QByteArray(argv[1]) == "--compare") {
        QCoreApplication app(argc, argv);
        return Compare(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                       argc > 4 ? std::atof(argv[4]) : 0.001);
    }
    if (argc == 2) return Grab(argc, argv, QString::fromLocal8Bit(argv[1]));
    std::fputs("Usage: screen-grab OUT.png | screen-grab --compare A.png B.png [SHARE]\n", stderr);
    return 2;
}
