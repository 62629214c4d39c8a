// Program entry. For now it resolves the picture folder and the rolls and
// prints what it found; the main window comes on top of this.
#include "collection/rolllist.h"
#include "collection/rotation.h"
#include "imaging/ilib.h"
#include "imaging/screen.h"
#include "imaging/shellpictures.h"
#include "platform/errors.h"
#include "shell/customize.h"
#include "shell/startup.h"
#include "shell/strings.h"
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

const char* const UsageText =
    "Usage: lumora [I] [R:roll]\n"
    "Shows the photo rolls beside the program (or on its disc).\n"
    "  I        started by the disc's own viewer\n"
    "  R:roll   open the roll of that name\n"
    "  --help   show this text\n";

void PrintTo(FILE* stream, const QString& text) { std::fputs(text.toLocal8Bit().constData(), stream); }

int Run(const QStringList& args) {
    InitSettingsModule(args);
    RegisterImagingErrorTexts();
    InitScreenDepth();
    UseImagingForShellPictures();
    CustomizeApplication();
    TAppState& state = AppState();
    if (ResolvePictureFolder(state) == TPictureFolder::NotFound) {
        PrintTo(stderr, ResString(TStr::NoImagesTerminating) + '\n');
        return 1;
    }
    OpenRotationFile(QString());
    TRollList rolls;
    if (BuildRollList(rolls, state).NoRolls) {
        PrintTo(stderr, ResString(TStr::NoImagesTerminating) + '\n');
        return 1;
    }
    PrintTo(stdout, DescribeRolls(rolls, state));
    rolls.Clear();  // each roll writes back its rotations while the file is still open
    CloseRotationFile();
    ShutdownCustomization();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Without a display the program still runs (listing, tests, CI).
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);  // without the program path
    if (args.contains(QLatin1String("--help"))) {
        std::fputs(UsageText, stdout);
        return 0;
    }
    try {
        return Run(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
