#include "bench/view.h"
#include "collection/roll.h"
#include "collection/rotation.h"
#include "imaging/ilib.h"
#include "imaging/loading.h"
#include "imaging/screen.h"
#include "imaging/shellpictures.h"
#include "shell/customize.h"
#include "shell/startup.h"
#include "viewer/fullviewimage.h"
#include "viewer/fullviewpage.h"
#include "viewer/lumorafrm.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Waits in the event loop, as the program does, for the next delivery; false after 20 s.
bool WaitDelivered(TFullViewPage& page, int before) {
    if (page.Deliveries > before) return true;
    QEventLoop loop;
    QObject::connect(&page, &TFullViewPage::Delivered, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    return page.Deliveries > before;
}

// Waits until the picture for the screen's device pixels is shown too.
bool WaitSettled(TFullViewPage& page) {
    while (page.Loading())
        if (!WaitDelivered(page, page.Deliveries)) return false;
    return true;
}

} // namespace

int RunViewBench(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumora-bench view DISC_FOLDER [PASSES]\n");
        return 2;
    }
    const int passes = argc > 3 ? std::max(1, atoi(argv[3])) : 7;
    InitSettingsModule({}, QDir(QString::fromLocal8Bit(argv[2])).filePath("Viewer/LMR"));
    RegisterImagingErrorTexts();
    InitScreenDepth();
    UseImagingForShellPictures();
    CustomizeApplication();
    TLumoraFrm window;
    window.resize(1280, 900);
    window.show();
    while (!window.IdleDone) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // The first roll with every size a zoom can reach.
    TRoll* roll = nullptr;
    for (int i = 0; i < window.RollList.Count() && !roll; ++i) {
        TRoll* candidate = window.RollList.Items(i);
        candidate->Prepare();
        if (candidate->SizesPresent.Contains(4) && candidate->SizesPresent.Contains(5) &&
            candidate->SizesPresent.Contains(6) && candidate->Count() >= 3)
            roll = candidate;
    }
    if (!roll) {
        std::fprintf(stderr, "no roll with Medium, Large and ExLarge photos\n");
        return 1;
    }
    window.SelectRoll(roll);
    while (roll->Loader) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    TFullViewPage& page = window.FullViewPage();
    const struct {
        const char* Name;
        TLevel Level;
    } sizes[] = {{"Medium", 4}, {"Large", 5}, {"ExLarge", 6}};
    int photo = 0;
    for (const auto& size : sizes) {
        std::vector<double> times, settled;
        QStringList files;
        for (int pass = 0; pass <= passes; ++pass) {
            // A person opening a photo: the loader has been quiet a while.
            QThread::msleep(300);
            photo = (photo + 1) % roll->Count();
            roll->Items(photo)->SetLevel(size.Level);
            const int before = page.Deliveries;
            QElapsedTimer clock;
            clock.start();
            page.ShowPhoto(photo);
            if (!WaitDelivered(page, before)) {
                std::fprintf(stderr, "no picture delivered\n");
                return 1;
            }
            window.Form.FullView->repaint();  // on screen
            const double shown = clock.nsecsElapsed() / 1e6;
            // On a dense screen, the sharp picture that follows the quick one.
            if (!WaitSettled(page)) {
                std::fprintf(stderr, "no sharp picture delivered\n");
                return 1;
            }
            window.Form.FullView->repaint();
            if (pass > 0) {
                times.push_back(shown);
                settled.push_back(clock.nsecsElapsed() / 1e6);
                files.append(roll->Items(photo)->FullPath());
            }
        }
        // The same files decoded whole on this thread, as `lumora-bench decode` does.
        std::vector<double> decodes;
        QString warmError;
        ImageInfo warmInfo;
        if (!files.isEmpty()) LoadPicture(files.front(), 0, false, warmError, warmInfo);  // warm-up
        for (const QString& file : files) {
            QString error;
            ImageInfo info;
            QElapsedTimer clock;
            clock.start();
            if (!LoadPicture(file, 0, false, error, info)) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(file), qPrintable(error));
                return 1;
            }
            decodes.push_back(clock.nsecsElapsed() / 1e6);
        }
        const double show = Median(times), decode = Median(decodes);
        std::printf("show %s: %.2f ms, plain decode %.2f ms (%.2fx)", size.Name, show, decode,
                    decode > 0 ? show / decode : 0.0);
        if (window.devicePixelRatioF() > 1.0) std::printf(", sharp at %.2f ms", Median(settled));
        std::printf("\n");
    }
    // The zoom animation on a Large photo: each frame's time to place and paint.
    std::vector<double> frames;
    for (int pass = 0; pass < passes; ++pass) {
        roll->Items(0)->SetLevel(5);
        const int before = page.Deliveries;
        page.ShowPhoto(0);
        if (!WaitDelivered(page, before) || !WaitSettled(page)) return 1;
        page.FrameMs = 0;  // timed, not paced
        page.Zoom(+1);
        frames.insert(frames.end(), page.LastZoomFrameMs.begin(), page.LastZoomFrameMs.end());
        WaitSettled(page);
        const int shown = page.Deliveries;
        page.ShowPhoto(1);
        WaitDelivered(page, shown);
        WaitSettled(page);
    }
    std::printf("zoom-frame: %.2f ms median %.2f ms worst\n", Median(frames),
                frames.empty() ? 0.0 : *std::max_element(frames.begin(), frames.end()));
    window.close();
    return 0;
}
