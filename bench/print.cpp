#include "bench/print.h"
#include "collection/roll.h"
#include "collection/rolllist.h"
#include "collection/rotation.h"
#include "imaging/ilib.h"
#include "imaging/screen.h"
#include "imaging/shellpictures.h"
#include "sharing/printing.h"
#include "shell/customize.h"
#include "shell/messages.h"
#include "shell/startup.h"
#include "viewer/statusfrm.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int RunPrintBench(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumora-bench print DISC_FOLDER\n");
        return 2;
    }
    TAppState& state = AppState();
    InitSettingsModule({}, QDir(QString::fromLocal8Bit(argv[2])).filePath("Viewer/LMR"));
    RegisterImagingErrorTexts();
    InitScreenDepth();
    UseImagingForShellPictures();
    CustomizeApplication();
    if (ResolvePictureFolder(state) == TPictureFolder::NotFound) {
        std::fprintf(stderr, "no picture folder on %s\n", argv[2]);
        return 1;
    }
    OpenRotationFile(QString());
    TRollList rolls;
    if (BuildRollList(rolls, state).NoRolls) {
        std::fprintf(stderr, "no roll on %s\n", argv[2]);
        return 1;
    }
    TRoll* roll = rolls.Items(0);
    roll->Prepare();
    if (roll->Count() == 0) {
        std::fprintf(stderr, "the first roll holds no photo\n");
        return 1;
    }
    CreateSharedWindows();
    QStringList boxes;
    SetMessageBoxRecorder([&boxes](const TMessageBoxRequest& request) {
        boxes << request.Text;
        return QMessageBox::Ok;
    });
    QString target;
    SetPrintDialogRunner([&target](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target);
        printer.setResolution(300);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Portrait);
        return true;
    });
    const QString folder = QDir::currentPath() + '/';
    const int photos = roll->Count();
    std::vector<double> index, photo;
    for (int pass = 0; pass <= 5; ++pass) {  // pass 0 warms the caches
        target = folder + QStringLiteral("index.pdf");
        QElapsedTimer clock;
        clock.start();
        TImagePrinter().PrintIndex(roll->FileList());
        if (pass > 0) index.push_back(clock.nsecsElapsed() / 1e6);
        target = folder + QStringLiteral("photo.pdf");
        clock.restart();
        TImagePrinter().PrintPhoto(roll->Items(0));
        if (pass > 0) photo.push_back(clock.nsecsElapsed() / 1e6);
    }
    SetPrintDialogRunner(nullptr);
    SetMessageBoxRecorder(nullptr);
    FreeSharedWindows();
    rolls.Clear();
    CloseRotationFile();
    if (!boxes.isEmpty()) {
        std::fprintf(stderr, "a print failed: %s\n", qPrintable(boxes.first()));
        return 1;
    }
    std::printf("print: %.0f ms index %d photos, %.0f ms photo\n", Median(index), photos, Median(photo));
    return 0;
}
