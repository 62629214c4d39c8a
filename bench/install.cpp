#include "bench/install.h"
#include "collection/roll.h"
#include "collection/rolllist.h"
#include "collection/rotation.h"
#include "imaging/ilib.h"
#include "imaging/screen.h"
#include "imaging/shellpictures.h"
#include "platform/errors.h"
#include "sharing/installfrm.h"
#include "shell/customize.h"
#include "shell/messages.h"
#include "shell/startup.h"
#include "viewer/statusfrm.h"
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include "browser/explorercombo.h"
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

qint64 FolderBytes(const QString& folder) {
    qint64 bytes = 0;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        it.next();
        bytes += it.fileInfo().size();
    }
    return bytes;
}

bool Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

int RunInstallBench(int argc, char** argv) {
    QString disc, keep, name = QStringLiteral("Bench Roll");
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--keep") && i + 1 < argc) keep = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--name") && i + 1 < argc) name = QString::fromLocal8Bit(argv[++i]);
        else disc = arg;
    }
    // A home of the run's own, so the entries and values it writes go nowhere
    // else; --keep leaves them in the caller's environment.
    QTemporaryDir scratch;
    if (keep.isEmpty()) {
        qputenv("HOME", QFile::encodeName(scratch.filePath("home")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath("home/.config")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath("home/.local/share")));
        QDir().mkpath(scratch.filePath("home"));
    }
    QApplication app(argc, argv);
    if (disc.isEmpty()) {
        disc = scratch.filePath(QStringLiteral("disc"));
        const QString makeDisc = QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/make-disc");
        std::printf("making a disc of 200 photos in all six sizes...\n");
        std::fflush(stdout);
        if (!Run(makeDisc, {QStringLiteral("--rolls"), QStringLiteral("1"), QStringLiteral("--frames"),
                            QStringLiteral("200"), QStringLiteral("--sizes"),
                            QStringLiteral("Tiny,Thumb,Small,Medium,Large,ExLarge"), disc})) {
            std::fprintf(stderr, "make-disc failed\n");
            return 1;
        }
    }
    TAppState& state = AppState();
    InitSettingsModule({}, QDir(disc).filePath(QStringLiteral("Viewer/LMR")));
    RegisterImagingErrorTexts();
    InitScreenDepth();
    UseImagingForShellPictures();
    CustomizeApplication();
    if (ResolvePictureFolder(state) == TPictureFolder::NotFound) {
        std::fprintf(stderr, "no picture folder on %s\n", qPrintable(disc));
        return 1;
    }
    OpenRotationFile(QString());
    TRollList rolls;
    if (BuildRollList(rolls, state).NoRolls) {
        std::fprintf(stderr, "no roll on %s\n", qPrintable(disc));
        return 1;
    }
    TRoll* roll = rolls.Items(0);
    roll->Prepare();
    CreateSharedWindows();
    QString box;
    SetMessageBoxRecorder([&box](const TMessageBoxRequest& request) {
        box = request.Text;
        return QMessageBox::Ok;
    });
    const auto install = [&](const QString& destination) {
        TInstallFrm form;
        form.Prepare(roll);
        form.Form.RollNameEdit->setText(name);
        form.Form.DestinationEdit->SetText(destination);
        for (QCheckBox* size : form.Form.SizeBoxes) size->setChecked(size->isEnabled());
        box.clear();
        try {
            form.Button1Click();
        } catch (const EError& e) {
            box = e.Message();
            return false;
        }
        return box == QLatin1String("Install complete.");
    };
    int status = 0;
    if (!keep.isEmpty()) {
        if (!install(keep)) status = 1;
        std::printf("%s\n", qPrintable(box));
    } else {
        // The files an install copies, for cp: the roll folder and the program folder.
        std::vector<double> ours, cp;
        for (int pass = 0; pass <= 5 && status == 0; ++pass) {  // pass 0 fills the page cache
            const QString into = scratch.filePath(QStringLiteral("run%1/").arg(pass));
            QElapsedTimer clock;
            clock.start();
            if (!install(into + QStringLiteral("ours"))) {
                std::fprintf(stderr, "the install failed: %s\n", qPrintable(box));
                status = 1;
                break;
            }
            const double oursSeconds = clock.nsecsElapsed() / 1e9;
            const qint64 bytes = FolderBytes(into + QStringLiteral("ours"));
            QDir().mkpath(into + QStringLiteral("cp/Rolls"));
            clock.restart();
            // cp -r of the same trees, then a sync of that file system, as the
            // install ends with one before it says it is done.
            const bool copied = Run(QStringLiteral("cp"), {QStringLiteral("-r"), roll->Folder.chopped(1),
                                                          into + QStringLiteral("cp/Rolls/") + name}) &&
                                Run(QStringLiteral("cp"), {QStringLiteral("-r"), state.AppDir.chopped(1),
                                                          into + QStringLiteral("cp/LMR")}) &&
                                Run(QStringLiteral("sync"), {QStringLiteral("-f"), into + QStringLiteral("cp")});
            const double cpSeconds = clock.nsecsElapsed() / 1e9;
            if (!copied) {
                std::fprintf(stderr, "cp failed\n");
                status = 1;
                break;
            }
            if (pass > 0) {
                ours.push_back(bytes / oursSeconds / 1e6);
                cp.push_back(bytes / cpSeconds / 1e6);
                std::printf("pass %d: %.1f MB in %.2f s ours, %.2f s cp\n", pass, bytes / 1e6, oursSeconds, cpSeconds);
            }
            QDir(into).removeRecursively();
        }
        if (status == 0) std::printf("install: %.1f MB/s cp: %.1f MB/s\n", Median(ours), Median(cp));
    }
    SetMessageBoxRecorder(nullptr);
    FreeSharedWindows();
    rolls.Clear();
    CloseRotationFile();
    return status;
}
