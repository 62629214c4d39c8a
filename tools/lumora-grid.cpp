// lumora-grid: shows one roll of a disc as a grid of thumbnails that fill in
// as the roll's loader makes them, in display order.
//
//   lumora-grid DISC_FOLDER [ROLL] [--screenshots DIR]
//
// With --screenshots it saves grid-half.png once half the thumbnails are in
// (the loader is held while the picture is taken) and grid-filled.png when
// all are, then exits.
#include "collection/roll.h"
#include "collection/rolllist.h"
#include "collection/rotation.h"
#include "imaging/ilib.h"
#include "imaging/screen.h"
#include "shell/startup.h"
#include "viewer/iconcontainer.h"
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTimer>
#include <cstdio>

namespace {

int Usage() {
    std::fputs("usage: lumora-grid DISC_FOLDER [ROLL] [--screenshots DIR]\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    QString screenshots;
    if (const qsizetype at = args.indexOf(QStringLiteral("--screenshots")); at >= 0) {
        if (at + 1 >= args.size()) return Usage();
        screenshots = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.isEmpty() || args.size() > 2) return Usage();
    RegisterImagingErrorTexts();
    InitScreenDepth();
    AppState().FotavoLayout = true;
    OpenRotationFile(QString());

    TRollList rolls;
    const QString pictures = QDir(args.at(0)).absoluteFilePath(QStringLiteral("Pictures"));
    if (rolls.ScanRolls(pictures).NoRolls) {
        std::fprintf(stderr, "lumora-grid: no rolls in %s\n", qPrintable(pictures));
        return 1;
    }
    TRoll* roll = args.size() > 1 ? rolls.FindRoll(args.at(1)) : rolls.Items(0);
    if (!roll) {
        std::fprintf(stderr, "lumora-grid: no roll named %s\n", qPrintable(args.at(1)));
        return 1;
    }
    roll->Prepare();

    TIconContainer grid;
    grid.setWindowTitle(QStringLiteral("Lumora grid - %1").arg(roll->Name));
    grid.SetColor(QColor(32, 32, 32));  // so the black boxes of photos still to come show
    grid.SetIconWidth(72);
    grid.SetIconHeight(72);
    grid.SetIconTitles(false);
    grid.SetIconGap(6);
    grid.SetIconMargin(8);
    grid.resize(8 + 6 * 78 + 8, 8 + 4 * 78 + 8);
    grid.SetIconCount(roll->Count());
    grid.SetVertScrollRange(grid.ContentHeight());
    QObject::connect(&grid, &TIconContainer::OnIconDraw,
                     [&](TIconContainer* sender, int index, QPainter* canvas, const QRect& rect) {
                         if (sender->Selector().IsSelected(index)) canvas->fillRect(rect, QColor(0, 0, 128));
                         roll->Items(index)->DrawThumbnail(*canvas, rect.adjusted(2, 2, -2, -2));
                     });
    QObject::connect(&grid, &TIconContainer::OnResize,
                     [](TIconContainer* sender) { sender->SetVertScrollRange(sender->ContentHeight()); });

    int arrived = 0;
    bool halfTaken = false;
    const auto save = [&](const char* name) {
        QDir().mkpath(screenshots);
        const QString path = QDir(screenshots).filePath(QString::fromLatin1(name));
        if (!grid.grab().save(path)) std::fprintf(stderr, "lumora-grid: could not write %s\n", qPrintable(path));
    };
    roll->OnThumbnail = [&](TTask* task) {
        ++arrived;
        if (task->Index < grid.IconCount()) grid.InvalidateIcon(task->Index, false);
        if (!screenshots.isEmpty() && !halfTaken && arrived * 2 >= roll->Count()) {
            halfTaken = true;
            roll->PauseThumbLoader();
            QTimer::singleShot(0, [&] {
                save("grid-half.png");
                roll->StartThumbLoader();
            });
        }
    };
    // Done when the loader has ended and freed itself.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (roll->Loader || screenshots.isEmpty()) return;
        poll.stop();
        save("grid-filled.png");
        std::printf("lumora-grid: %d of %d thumbnails\n", arrived, roll->Count());
        app.quit();
    });
    grid.show();
    roll->StartThumbLoader();
    if (!screenshots.isEmpty()) poll.start(20);
    const int result = app.exec();
    rolls.Clear();
    CloseRotationFile();
    return result;
}
