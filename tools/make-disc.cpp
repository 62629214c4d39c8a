// make-disc: builds a photo disc folder that the viewer can show, with demo
// rolls drawn on the spot or with a person's own photos.
//
//   DISC/Pictures/<roll>/<size>/<prefix>-<frame>.jpg
//   DISC/Viewer/LMR/<program>, its skin files and Lumora.ini ([Config] Fotavo=1)
//
// The viewer, started from DISC/Viewer/LMR/, finds DISC/Pictures two folders up;
// its skin files (XLumRes.EN, Custom.EN) are copied beside it.
#include "platform/paths.h"
#include "tools/makedisc/disc_plan.h"
#include "tools/makedisc/disc_writer.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <cerrno>
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

struct TOptions {
    TDemoOptions Demo;
    bool RollsGiven = false, FramesGiven = false;
    TLevelMask Levels = AllLevels;
    QString Photos;
    QString Program;
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
               "  --photos DIR    make the rolls from your own JPEG files instead of the demo: one roll per\n"
               "                  sub-folder of DIR that holds JPEGs (named after the sub-folder), and one\n"
               "                  named after DIR when DIR holds JPEGs itself. Files are taken in name order\n"
               "                  and become <prefix>-1.jpg, -2.jpg, ...; each is turned upright by its EXIF\n"
               "                  orientation and reduced to fit each size, keeping its shape; a photo smaller\n"
               "                  than a size is written at its own size, never enlarged. Your files are only\n"
               "                  read; unreadable ones are reported and skipped.\n"
               "  --program PATH  viewer program to copy into Viewer/LMR/, with the skin files beside it\n"
               "                  (XLumRes.*, Custom.*) (default: the lumora program of this build, %1;\n"
               "                  without one the disc is written without the program)\n"
               "  --variants N    write N photos of each roll as photo-service variant files (A and B in\n"
               "                  turn, same .jpg names, orientation flags 0) instead of plain JPEGs\n"
               "  --quality Q     JPEG quality, 1 to 100 (default 85)\n"
               "  -j N, --jobs N  photos encoded at once, 1 to 256 (default: the number of cores, %2)\n"
               "  --force         write into DISC_FOLDER even when it is not empty; files of the same name\n"
               "                  are replaced, others are kept\n"
               "  -h, --help      show this text\n"
               "\n"
               "Exit status: 0 when the disc is written, 1 on failure, 2 on bad usage.")
        .arg(QDir::cleanPath(Platform::ExecutableFolder() + QStringLiteral("../lumora")))
        .arg(DefaultThreads());
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
            o.Levels = 0;
            for (const QString& part : list.split(',', Qt::SkipEmptyParts)) {
                const int level = LevelIndexByName(part.trimmed());
                if (level < 0)
                    return QStringLiteral("unknown size \"%1\" (sizes are Tiny, Thumb, Small, Medium, Large, ExLarge)")
                        .arg(part.trimmed());
                o.Levels |= LevelBit(level);
            }
            if (o.Levels == 0) return QStringLiteral("--sizes names no size");
        } else if (arg == QLatin1String("--photos")) {
            if (!takeValue(o.Photos) || o.Photos.isEmpty()) return QStringLiteral("--photos needs a folder");
        } else if (arg == QLatin1String("--program")) {
            if (!takeValue(o.Program) || o.Program.isEmpty()) return QStringLiteral("--program needs a file");
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

int Run(const TOptions& o) {
    // Everything that can be checked is checked before anything is written.
    QString program = o.Program;
    bool programGiven = !program.isEmpty();
    if (programGiven && !QFileInfo(program).isFile()) {
        Print(stderr, QStringLiteral("make-disc: the program %1 is not a file").arg(program));
        return ExitFailure;
    }
    if (!programGiven) {
        program = QDir::cleanPath(Platform::ExecutableFolder() + QStringLiteral("../lumora"));
        if (!QFileInfo(program).isFile()) {
            Print(stderr, QStringLiteral("make-disc: warning: no viewer program at %1; the disc is written "
                                         "without it (give one with --program PATH)")
                              .arg(program));
            program.clear();
        }
    }

    QList<TRollPlan> plan;
    if (o.Photos.isEmpty()) {
        TDemoOptions demo = o.Demo;
        demo.Levels = o.Levels;
        demo.Variants = o.Variants;
        plan = MakeDemoPlan(demo);
    } else {
        QString error;
        plan = MakePhotoPlan(o.Photos, o.Levels, o.Variants, error);
        if (!error.isEmpty()) {
            Print(stderr, QStringLiteral("make-disc: %1").arg(error));
            return ExitFailure;
        }
    }

    const QFileInfo discInfo(o.Disc);
    if (discInfo.exists() && !discInfo.isDir()) {
        Print(stderr, QStringLiteral("make-disc: %1 exists and is not a folder").arg(o.Disc));
        return ExitFailure;
    }
    const QString disc = Platform::WithTrailingSlash(discInfo.absoluteFilePath());
    if (discInfo.exists() && !o.Force &&
        !QDir(disc).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        Print(stderr, QStringLiteral("make-disc: %1 is not empty; use --force to write into it anyway").arg(o.Disc));
        return ExitFailure;
    }

    const QString pictures = disc + QStringLiteral("Pictures/");
    const QString programFolder = disc + QStringLiteral("Viewer/LMR/");
    for (const QString& folder : {pictures, programFolder}) {
        if (!QDir().mkpath(folder)) {
            Print(stderr, QStringLiteral("make-disc: cannot create the folder %1").arg(folder));
            return ExitFailure;
        }
    }
    if (!Platform::WriteFileAtomically(programFolder + QStringLiteral("Lumora.ini"), QByteArray(LumoraIni))) {
        Print(stderr, QStringLiteral("make-disc: cannot write %1Lumora.ini: %2")
                          .arg(programFolder, QString::fromLocal8Bit(std::strerror(errno))));
        return ExitFailure;
    }
    int skinFiles = 0;
    if (!program.isEmpty()) {
        const QString error = CopyProgram(program, programFolder);
        if (!error.isEmpty()) {
            Print(stderr, QStringLiteral("make-disc: %1").arg(error));
            return ExitFailure;
        }
        const QStringList skins = SkinFilesBeside(program);
        for (const QString& skin : skins) {
            const QString copyError = CopyFile(skin, programFolder + QFileInfo(skin).fileName());
            if (!copyError.isEmpty()) {
                Print(stderr, QStringLiteral("make-disc: %1").arg(copyError));
                return ExitFailure;
            }
        }
        skinFiles = int(skins.size());
        if (skinFiles == 0)
            Print(stderr, QStringLiteral("make-disc: warning: no skin files (XLumRes.EN, Custom.EN) beside %1; the "
                                         "viewer's buttons and logos will have no pictures")
                              .arg(program));
    }

    TWriteSettings settings;
    settings.PicturesFolder = pictures;
    settings.QualityFactor = QualityFactorFor(o.Quality);
    settings.Threads = o.Threads;
    int rolls = 0, photos = 0, files = 0, skipped = 0;
    for (const TRollPlan& roll : plan) {
        const TRollReport report = WriteRoll(roll, settings);
        for (const QString& line : report.Skipped) Print(stderr, QStringLiteral("make-disc: %1").arg(line));
        skipped += int(report.Skipped.size());
        if (!report.Failure.isEmpty()) {
            Print(stderr, QStringLiteral("make-disc: roll %1: %2").arg(roll.Name, report.Failure));
            Print(stderr, QStringLiteral("make-disc: the disc in %1 is incomplete").arg(o.Disc));
            return ExitFailure;
        }
        if (report.Photos == 0) {
            Print(stderr, QStringLiteral("make-disc: roll %1: no photo could be read; the roll is left out").arg(roll.Name));
            continue;
        }
        Print(stdout, QStringLiteral("roll %1: %2").arg(roll.Name, Plural(report.Photos, "photo")));
        ++rolls;
        photos += report.Photos;
        files += report.Files;
    }
    if (rolls == 0) {
        Print(stderr, QStringLiteral("make-disc: none of the photos could be read; the disc has no rolls"));
        return ExitFailure;
    }
    QString summary = QStringLiteral("disc written to %1: %2, %3, %4")
                          .arg(disc, Plural(rolls, "roll"), Plural(photos, "photo"), Plural(files, "file"));
    if (skipped > 0) summary += QStringLiteral(", %1 skipped").arg(skipped);
    summary += program.isEmpty() ? QStringLiteral("; no viewer program")
                                 : QStringLiteral("; viewer %1 with %2").arg(QFileInfo(program).fileName(), Plural(skinFiles, "skin file"));
    Print(stdout, summary);
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
    try {
        return Run(options);
    } catch (const std::exception& e) {
        Print(stderr, QStringLiteral("make-disc: %1").arg(QString::fromLocal8Bit(e.what())));
        return ExitFailure;
    }
}
