// make-disc: builds a photo disc folder that the viewer can show, with demo
// rolls drawn on the spot or with a person's own photos.
//
//   DISC/Pictures/<roll>/<size>/<prefix>-<frame>.jpg
//   DISC/Viewer/LMR/ the viewer folder (the program with its libraries, plugins,
//                    fonts, licences and skin files) and Lumora.ini ([Config] Fotavo=1)
//   DISC/Viewer/LMR/make-disc.txt, the list of what the tool wrote
//
// The viewer, started from DISC/Viewer/LMR/, finds DISC/Pictures two folders up;
// its skin files (XLumRes.EN, Custom.EN) are copied beside it.
#include "platform/paths.h"
#include "tools/makedisc/disc_folder.h"
#include "tools/makedisc/disc_plan.h"
#include "tools/makedisc/disc_writer.h"
#include "tools/makedisc/viewer_folder.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <thread>

using namespace MakeDisc;

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr const char* LumoraIni = "[Config]\nFotavo=1\n";
// What a disc holds: an 80-minute CD-R (360,000 sectors, sold as 700 MB) and
// a single-layer DVD+R (2,295,104 sectors, the smaller of the two DVD kinds).
constexpr qint64 CdBytes = 737280000;
constexpr qint64 DvdBytes = 4700372992;

// Set by the first Ctrl-C (or TERM, HUP): the photos being worked on end,
// the working folder goes, and the disc folder stays as it was.
std::atomic<bool> Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnInterrupt(int) { Interrupted.store(true); }

void CatchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // A second one ends the program at once.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

struct TOptions {
    TDemoOptions Demo;
    bool RollsGiven = false, FramesGiven = false;
    TLevelSet Levels = AllLevels();
    QString Photos;
    QString Program;
    QString Viewer;
    int Variants = 0;
    int Quality = 85;
    int Threads = 1;
    bool Force = false;
    bool Help = false;
    QString Disc;
};

void Print(FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

int DefaultThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : int(std::min(cores, 64u));
}

QString HelpText() {
    return QStringLiteral(
               "Usage: make-disc [options] DISC_FOLDER\n"
               "\n"
               "Builds a photo disc folder for the Lumora viewer:\n"
               "  DISC_FOLDER/Pictures/<roll>/<size>/<prefix>-<frame>.jpg  the photos, in up to six sizes\n"
               "  DISC_FOLDER/Viewer/LMR/                                  the viewer and its Lumora.ini\n"
               "Start DISC_FOLDER/Viewer/LMR/lumora to look at the disc. Without --photos the disc gets\n"
               "demo rolls of drawn pictures with film frame names (XX, X, 00, 0, 1, 2, ..., half frames\n"
               "like 5A), a few portrait frames, and one roll without the Medium and ExLarge sizes.\n"
               "\n"
               "Options:\n"
               "  --rolls N       number of demo rolls, 1 to 99 (default 3)\n"
               "  --frames N      photos in each demo roll, 1 to 200 (default 12 to 16, by roll)\n"
               "  --sizes LIST    size folders to write, comma-separated, from Tiny (96x64), Thumb\n"
               "                  (192x128), Small (384x256), Medium (768x512), Large (1536x1024) and\n"
               "                  ExLarge (3072x2048); portrait photos get the boxes turned upright\n"
               "                  (default: all six)\n"
               "  --photos DIR    make the rolls from your own photos (JPEG, PNG and TIFF files) instead of the\n"
               "                  demo: one roll per sub-folder of DIR that holds photos (named after the\n"
               "                  sub-folder), and one named after DIR when DIR holds photos itself. Files are\n"
               "                  taken in name order and become <prefix>-1.jpg, -2.jpg, ...; each is turned\n"
               "                  upright by its orientation tag, converted to sRGB when it carries another\n"
               "                  colour profile, laid on white where it is transparent, and reduced to fit each\n"
               "                  size, keeping its shape; a photo smaller than a size is written at its own\n"
               "                  size, never enlarged. Your files are only read. Every file left out (HEIC,\n"
               "                  RAW, video, unreadable, not a photo) is named with the reason at the end;\n"
               "                  hidden files are ignored.\n"
               "  --viewer DIR    viewer folder to copy whole into Viewer/LMR/: the program with the\n"
               "                  libraries, plugins and fonts it needs on a desktop without Qt, as\n"
               "                  scripts/bundle makes it (default: this build's %4 when it is there)\n"
               "  --program PATH  a bare viewer program to copy into Viewer/LMR/ instead, with the skin\n"
               "                  files beside it (XLumRes.*, Custom.*); it runs only where Qt is installed\n"
               "                  (default without a viewer folder: the lumora program of this build, %1;\n"
               "                  without one the disc is written without the program)\n"
               "  --variants N    write N photos of each roll as photo-service variant files (A and B in\n"
               "                  turn, same .jpg names, orientation flags 0) instead of plain JPEGs\n"
               "  --quality Q     JPEG quality, 1 to 100 (default 85)\n"
               "  -j N, --jobs N  photos encoded at once, 1 to 256 (default: the number of cores, %2)\n"
               "  --force         write into DISC_FOLDER even when it is not empty. make-disc owns only the\n"
               "                  Pictures and Viewer folders it wrote, as listed in\n"
               "                  %3; a re-run replaces them\n"
               "                  whole, so no photo or size folder of the earlier run stays. Anything else in\n"
               "                  DISC_FOLDER is kept. When Pictures or Viewer hold anything the list does not\n"
               "                  name, make-disc stops and changes nothing.\n"
               "  -h, --help      show this text\n"
               "\n"
               "The disc is built in a hidden working folder inside DISC_FOLDER (so DISC_FOLDER may be the\n"
               "root of a stick or a disc image) and swapped in at the end: a run that fails or is\n"
               "interrupted (Ctrl-C) leaves DISC_FOLDER as it was. A run that was killed is dealt with by\n"
               "the next one: an unfinished build is removed, an unfinished swap completed. Each photo done is\n"
               "shown on stderr as \"[roll] 12/240 IMG_0012.jpg\"; the summary ends with the disc's size and\n"
               "whether it fits a CD (700 MB) or a DVD (4.7 GB).\n"
               "\n"
               "Exit status: 0 when the disc is written, 1 on failure, 2 on bad usage.")
        .arg(QDir::cleanPath(Platform::ExecutableFolder() + QStringLiteral("../lumora")))
        .arg(DefaultThreads())
        .arg(QStringLiteral("DISC_FOLDER/") + QLatin1String(ManifestPath))
        .arg(QDir::cleanPath(Platform::ExecutableFolder() + QStringLiteral("../LMR")) + '/');
}

std::optional<int> ParseInt(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high) return std::nullopt;
    return value;
}

// Returns an error text for bad usage, empty when the arguments are fine.
QString ParseArguments(const QStringList& args, TOptions& o) {
    for (int i = 1; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool inlineValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains('=')) {
            value = arg.mid(arg.indexOf('=') + 1);
            arg = arg.left(arg.indexOf('='));
            inlineValue = true;
        } else if (arg.startsWith(QLatin1String("-j")) && arg.size() > 2) {
            value = arg.mid(2);
            arg = QStringLiteral("-j");
            inlineValue = true;
        }
        const auto takeValue = [&](QString& out) -> bool {
            if (inlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        const auto number = [&](int low, int high, int& out) -> QString {
            QString text;
            if (!takeValue(text)) return QStringLiteral("%1 needs a value").arg(arg);
            const auto n = ParseInt(text, low, high);
            if (!n) return QStringLiteral("%1 takes a number from %2 to %3, not \"%4\"").arg(arg).arg(low).arg(high).arg(text);
            out = *n;
            return {};
        };
        const auto flagOnly = [&]() -> QString {
            return inlineValue ? QStringLiteral("%1 takes no value").arg(arg) : QString();
        };

        QString error;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            error = flagOnly();
            o.Help = true;
        } else if (arg == QLatin1String("--force")) {
            error = flagOnly();
            o.Force = true;
        } else if (arg == QLatin1String("--rolls")) {
            error = number(1, 99, o.Demo.Rolls);
            o.RollsGiven = true;
        } else if (arg == QLatin1String("--frames")) {
            error = number(1, 200, o.Demo.Frames);
            o.FramesGiven = true;
        } else if (arg == QLatin1String("--variants")) {
            error = number(0, 100000, o.Variants);
        } else if (arg == QLatin1String("--quality")) {
            error = number(1, 100, o.Quality);
        } else if (arg == QLatin1String("-j") || arg == QLatin1String("--jobs")) {
            error = number(1, 256, o.Threads);
        } else if (arg == QLatin1String("--sizes")) {
            QString list;
            if (!takeValue(list)) return QStringLiteral("--sizes needs a value");
            o.Levels = {};
            for (const QString& part : list.split(',', Qt::SkipEmptyParts)) {
                const TLevel level = LevelByName(part.trimmed());
                if (level == 0)
                    return QStringLiteral("unknown size \"%1\" (sizes are Tiny, Thumb, Small, Medium, Large, ExLarge)")
                        .arg(part.trimmed());
                o.Levels.Include(level);
            }
            if (o.Levels.IsEmpty()) return QStringLiteral("--sizes names no size");
        } else if (arg == QLatin1String("--photos")) {
            if (!takeValue(o.Photos) || o.Photos.isEmpty()) return QStringLiteral("--photos needs a folder");
        } else if (arg == QLatin1String("--program")) {
            if (!takeValue(o.Program) || o.Program.isEmpty()) return QStringLiteral("--program needs a file");
        } else if (arg == QLatin1String("--viewer")) {
            if (!takeValue(o.Viewer) || o.Viewer.isEmpty()) return QStringLiteral("--viewer needs a folder");
        } else if (arg.startsWith('-') && arg.size() > 1) {
            return QStringLiteral("unknown option %1").arg(arg);
        } else if (o.Disc.isEmpty()) {
            o.Disc = arg;
        } else {
            return QStringLiteral("more than one disc folder given (%1 and %2)").arg(o.Disc, arg);
        }
        if (!error.isEmpty()) return error;
    }
    if (o.Help) return {};
    if (o.Disc.isEmpty()) return QStringLiteral("no disc folder given");
    if (!o.Program.isEmpty() && !o.Viewer.isEmpty()) return QStringLiteral("--program and --viewer exclude each other");
    if (!o.Photos.isEmpty() && (o.RollsGiven || o.FramesGiven))
        return QStringLiteral("--rolls and --frames are for the demo content, not for --photos");
    return {};
}

// The skin resource files the viewer reads from its own folder: one per
// resource group and language (XLumRes.EN, Custom.EN, ...).
QStringList SkinFilesBeside(const QString& program) {
    const QDir folder = QFileInfo(program).absoluteDir();
    QStringList files;
    for (const QString& name : folder.entryList({QStringLiteral("XLumRes.*"), QStringLiteral("Custom.*")}, QDir::Files, QDir::Name))
        files << folder.filePath(name);
    return files;
}

QString CopyFile(const QString& source, const QString& target) {
    if (QFileInfo::exists(target) && !QFile::remove(target)) return QStringLiteral("cannot replace %1").arg(target);
    QFile in(source);
    if (!in.copy(target)) return QStringLiteral("cannot copy %1 to %2: %3").arg(source, target, in.errorString());
    return {};
}

// Copies the viewer into the program folder, keeping it executable.
QString CopyProgram(const QString& program, const QString& programFolder) {
    const QFileInfo source(program);
    const QString target = programFolder + source.fileName();
    if (QFileInfo::exists(target) && !QFile::remove(target))
        return QStringLiteral("cannot replace %1").arg(target);
    QFile in(source.absoluteFilePath());
    if (!in.copy(target)) return QStringLiteral("cannot copy %1 to %2: %3").arg(program, target, in.errorString());
    QFile::setPermissions(target, source.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return {};
}

QString Plural(int n, const char* word) {
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word)).arg(n == 1 ? "" : "s");
}

QString Megabytes(qint64 bytes) {
    return bytes >= 1000000000 ? QStringLiteral("%1 GB").arg(double(bytes) / 1e9, 0, 'f', 2)
                               : QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1);
}

// The last line of the summary: what the disc takes and what it fits on.
QString SizeLine(qint64 bytes) {
    const QString size = QStringLiteral("disc size: %1").arg(Megabytes(bytes));
    if (bytes <= CdBytes) return size + QStringLiteral(", fits a CD (%1)").arg(Megabytes(CdBytes));
    if (bytes <= DvdBytes)
        return size + QStringLiteral(", too big for a CD (%1), fits a DVD (%2)").arg(Megabytes(CdBytes), Megabytes(DvdBytes));
    return size + QStringLiteral(", too big for a DVD (%1)").arg(Megabytes(DvdBytes));
}

void PrintLeftOut(FILE* to, const QList<TLeftOut>& leftOut) {
    if (leftOut.isEmpty()) return;
    Print(to, QStringLiteral("left out (%1):").arg(leftOut.size()));
    for (const TLeftOut& file : leftOut) Print(to, QStringLiteral("  %1: %2").arg(file.Path, file.Reason));
}

// Writes the viewer's program folder: the viewer folder whole, or the
// program and the skin files beside it, then Lumora.ini; SkinFiles receives
// how many skin files (or files of the viewer folder) went in.
QString WriteProgramFolder(const QString& programFolder, const QString& program, const QString& viewer,
                           int& skinFiles) {
    skinFiles = 0;
    if (!QDir().mkpath(programFolder)) return QStringLiteral("cannot create the folder %1").arg(programFolder);
    if (!viewer.isEmpty())
        if (const QString error = CopyViewerFolder(viewer, programFolder, skinFiles); !error.isEmpty()) return error;
    if (!Platform::WriteFileAtomically(programFolder + QStringLiteral("Lumora.ini"), QByteArray(LumoraIni)))
        return QStringLiteral("cannot write %1Lumora.ini: %2")
            .arg(programFolder, QString::fromLocal8Bit(std::strerror(errno)));
    if (program.isEmpty() || !viewer.isEmpty()) return {};
    if (const QString error = CopyProgram(program, programFolder); !error.isEmpty()) return error;
    const QStringList skins = SkinFilesBeside(program);
    for (const QString& skin : skins)
        if (const QString error = CopyFile(skin, programFolder + QFileInfo(skin).fileName()); !error.isEmpty())
            return error;
    skinFiles = int(skins.size());
    if (skinFiles == 0)
        Print(stderr, QStringLiteral("make-disc: warning: no skin files (XLumRes.EN, Custom.EN) beside %1; the "
                                     "viewer's buttons and logos will have no pictures")
                          .arg(program));
    return {};
}

int Run(const TOptions& o) {
    const QFileInfo discInfo(o.Disc);
    const bool discExisted = discInfo.exists();
    if (discExisted && !discInfo.isDir()) {
        Print(stderr, QStringLiteral("make-disc: %1 exists and is not a folder").arg(o.Disc));
        return ExitFailure;
    }
    // What a run that was killed left in the disc folder comes first: the
    // folder is to be as that run found it, or as it was to leave it.
    TDiscBuild build;
    QString error;
    QStringList notes;
    const bool recovered = build.Recover(o.Disc, notes, error);
    for (const QString& note : notes) Print(stderr, QStringLiteral("make-disc: %1").arg(note));
    if (!recovered) {
        Print(stderr, QStringLiteral("make-disc: %1").arg(error));
        return ExitFailure;
    }

    // Everything else that can be checked is checked before anything is written.
    QString program = o.Program;
    bool programGiven = !program.isEmpty();
    if (programGiven && !QFileInfo(program).isFile()) {
        Print(stderr, QStringLiteral("make-disc: the program %1 is not a file").arg(program));
        return ExitFailure;
    }
    QString viewer = o.Viewer;
    if (!viewer.isEmpty() && !QFileInfo(Platform::WithTrailingSlash(viewer) + QStringLiteral("lumora")).isFile()) {
        Print(stderr, QStringLiteral("make-disc: %1 is no viewer folder (it holds no program lumora)").arg(viewer));
        return ExitFailure;
    }
    if (viewer.isEmpty() && !programGiven) viewer = DefaultViewerFolder();
    if (!viewer.isEmpty()) {
        program = Platform::WithTrailingSlash(viewer) + QStringLiteral("lumora");
        if (const QString stale = StaleViewerWarning(viewer); !stale.isEmpty())
            Print(stderr, QStringLiteral("make-disc: warning: %1").arg(stale));
    } else if (!programGiven) {
        program = QDir::cleanPath(Platform::ExecutableFolder() + QStringLiteral("../lumora"));
        if (!QFileInfo(program).isFile()) {
            Print(stderr, QStringLiteral("make-disc: warning: no viewer program at %1; the disc is written "
                                         "without it (give one with --program PATH)")
                              .arg(program));
            program.clear();
        }
    }

    QList<TRollPlan> plan;
    QList<TLeftOut> leftOut;
    if (o.Photos.isEmpty()) {
        TDemoOptions demo = o.Demo;
        demo.Levels = o.Levels;
        demo.Variants = o.Variants;
        plan = MakeDemoPlan(demo);
    } else {
        TPhotoPlan photos = MakePhotoPlan(o.Photos, o.Levels, o.Variants);
        if (!photos.Error.isEmpty()) {
            PrintLeftOut(stderr, photos.LeftOut);
            Print(stderr, QStringLiteral("make-disc: %1").arg(photos.Error));
            return ExitFailure;
        }
        plan = std::move(photos.Rolls);
        leftOut = std::move(photos.LeftOut);
    }

    if (discExisted) {
        if (!o.Force &&
            !QDir(discInfo.absoluteFilePath()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
            Print(stderr, QStringLiteral("make-disc: %1 is not empty; use --force to write into it anyway").arg(o.Disc));
            return ExitFailure;
        }
        const QStringList foreign = ForeignEntries(discInfo.canonicalFilePath(), 10);
        if (!foreign.isEmpty()) {
            Print(stderr, QStringLiteral("make-disc: %1 holds files make-disc did not write (by its list %2):")
                              .arg(o.Disc, QLatin1String(ManifestPath)));
            for (const QString& entry : foreign) Print(stderr, QStringLiteral("  %1").arg(entry));
            Print(stderr, QStringLiteral("make-disc: nothing was changed; move them out of Pictures and Viewer, "
                                         "or give another disc folder"));
            return ExitFailure;
        }
    }

    if (!build.Begin(o.Disc, error)) {
        Print(stderr, QStringLiteral("make-disc: %1").arg(error));
        return ExitFailure;
    }
    const QString unchanged = discExisted ? QStringLiteral("make-disc: nothing was changed in %1").arg(o.Disc)
                                                : QStringLiteral("make-disc: no disc was written");
    int skinFiles = 0;
    error = WriteProgramFolder(build.Folder() + QStringLiteral("Viewer/LMR/"), program, viewer, skinFiles);
    if (!error.isEmpty()) {
        Print(stderr, QStringLiteral("make-disc: %1").arg(error));
        Print(stderr, unchanged);
        return ExitFailure;
    }

    TWriteSettings settings;
    settings.PicturesFolder = build.Folder() + QStringLiteral("Pictures/");
    settings.QualityFactor = QualityFactorFor(o.Quality);
    settings.Threads = o.Threads;
    settings.Cancel = &Interrupted;
    if (!QDir().mkpath(settings.PicturesFolder)) {
        Print(stderr, QStringLiteral("make-disc: cannot create the folder %1").arg(settings.PicturesFolder));
        Print(stderr, unchanged);
        return ExitFailure;
    }
    int rolls = 0, photos = 0, files = 0;
    for (const TRollPlan& roll : plan) {
        settings.Progress = [&roll](int done, int total, const QString& name, bool written) {
            Print(stderr, QStringLiteral("[%1] %2/%3 %4%5")
                              .arg(roll.Name)
                              .arg(done)
                              .arg(total)
                              .arg(name, written ? QString() : QStringLiteral(" (left out)")));
        };
        const TRollReport report = WriteRoll(roll, settings);
        for (qsizetype i = 0; i < report.Skipped.size(); ++i)
            leftOut << TLeftOut{report.Skipped[i], report.SkipReasons.value(i)};
        if (Interrupted.load()) {
            Print(stderr, QStringLiteral("make-disc: interrupted"));
            Print(stderr, unchanged);
            return ExitFailure;
        }
        if (!report.Failure.isEmpty()) {
            Print(stderr, QStringLiteral("make-disc: roll %1: %2").arg(roll.Name, report.Failure));
            Print(stderr, unchanged);
            return ExitFailure;
        }
        if (report.Photos == 0) {
            Print(stderr, QStringLiteral("make-disc: roll %1: no photo could be read; the roll is left out").arg(roll.Name));
            continue;
        }
        Print(stdout, QStringLiteral("roll %1: %2").arg(roll.Name, Plural(report.Photos, "photo")));
        TestStopPoint("building");
        ++rolls;
        photos += report.Photos;
        files += report.Files;
    }
    if (rolls == 0) {
        PrintLeftOut(stderr, leftOut);
        Print(stderr, QStringLiteral("make-disc: none of the photos could be read; the disc would have no rolls"));
        Print(stderr, unchanged);
        return ExitFailure;
    }

    QStringList warnings;
    if (!build.Commit(error, warnings)) {
        Print(stderr, QStringLiteral("make-disc: %1").arg(error));
        Print(stderr, unchanged);
        return ExitFailure;
    }
    for (const QString& warning : warnings) Print(stderr, QStringLiteral("make-disc: warning: %1").arg(warning));

    const QString disc = Platform::WithTrailingSlash(QFileInfo(o.Disc).canonicalFilePath());
    PrintLeftOut(stdout, leftOut);
    QString summary = QStringLiteral("disc written to %1: %2, %3, %4")
                          .arg(disc, Plural(rolls, "roll"), Plural(photos, "photo"), Plural(files, "file"));
    if (!leftOut.isEmpty()) summary += QStringLiteral(", %1 left out").arg(leftOut.size());
    summary += program.isEmpty()  ? QStringLiteral("; no viewer program")
               : viewer.isEmpty() ? QStringLiteral("; viewer %1 with %2").arg(QFileInfo(program).fileName(), Plural(skinFiles, "skin file"))
                                  : QStringLiteral("; viewer folder %1 (%2)").arg(viewer, Plural(skinFiles, "file"));
    Print(stdout, summary);
    Print(stdout, SizeLine(DiscBytes(disc)));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    TOptions options;
    options.Threads = DefaultThreads();
    const QString usageError = ParseArguments(args, options);
    if (!usageError.isEmpty()) {
        Print(stderr, QStringLiteral("make-disc: %1").arg(usageError));
        Print(stderr, QStringLiteral("Try 'make-disc --help' for the options."));
        return ExitUsage;
    }
    if (options.Help) {
        Print(stdout, HelpText());
        return 0;
    }
    // The tool never shows a window; fonts for the labels still need a GUI
    // application, and the offscreen platform needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    CatchInterrupts();
    try {
        return Run(options);
    } catch (const std::exception& e) {
        Print(stderr, QStringLiteral("make-disc: %1").arg(QString::fromLocal8Bit(e.what())));
        return ExitFailure;
    }
}
