// Program entry: module initialisation, the splash, the main window and the
// two shared windows, then the event loop.
//
//   lumora [I] [R:roll]     the viewer
//   lumora --list [R:roll]  prints what start-up resolved (folders, rolls, photos) and exits
#include "collection/rolllist.h"
#include "collection/rotation.h"
#include "imaging/ilib.h"
#include "imaging/screen.h"
#include "imaging/shellpictures.h"
#include "platform/errors.h"
#include "shell/appfonts.h"
#include "shell/application.h"
#include "shell/customize.h"
#include "shell/instanceguard.h"
#include "shell/messages.h"
#include "shell/startup.h"
#include "shell/strings.h"
#include "sharing/installfrm.h"
#include "sharing/printing.h"
#include "viewer/lumorafrm.h"
#include "viewer/splash.h"
#include "viewer/statusfrm.h"
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

const char* const UsageText =
    "Usage: lumora [I] [R:roll]\n"
    "Shows the photo rolls beside the program (or on its disc).\n"
    "  I        started by the disc's own viewer\n"
    "  R:roll   open the roll of that name\n"
    "  --list   print the picture folder, the rolls and their photos, and exit\n"
    "  --help   show this text\n";

void PrintTo(FILE* stream, const QString& text) { std::fputs(text.toLocal8Bit().constData(), stream); }

// Module initialisation, in its order: the trace log and the settings (with
// the single-instance check's place), the fonts beside the program, the main
// window's module, the customization of the application object.
void InitModules(const QStringList& args) {
    InitSettingsModule(args);
    // Started by the disc's viewer: a copy already running takes over and
    // this one ends here, before any window.
    if (AppState().InstanceMode) LookForPreviousInstance();
    RegisterProgramFonts(AppState().AppDir + QStringLiteral("fonts/"));
    RegisterImagingErrorTexts();
    InitScreenDepth();
    UseImagingForShellPictures();
    CustomizeApplication();
}

int ListRolls() {
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
    return 0;
}

int RunViewer() {
    RegisterPrinting();
    RegisterInstall();
    if (!AppState().InstanceMode) ShowSplash(2);
    TLumoraFrm window;
    CreateSharedWindows();
    if (window.Terminated) {
        // No picture folder: the create handler has said so; the window is never shown.
        FreeSharedWindows();
        return 1;
    }
    // Maximised; without a window manager to do it, the window takes the
    // screen's free area itself.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    const int result = QApplication::exec();
    FreeSharedWindows();
    CloseRotationFile();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    // Without a display the program still runs (listing, tests, CI).
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TLumoraApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);  // without the program path
    if (args.contains(QLatin1String("--help"))) {
        std::fputs(UsageText, stdout);
        return 0;
    }
    const bool list = args.removeAll(QStringLiteral("--list")) > 0;
    try {
        InitModules(args);
        const int result = list ? ListRolls() : RunViewer();
        DestroyPreviousInstance();
        ShutdownCustomization();
        return result;
    } catch (const EError& e) {
        return TLumoraApplication::StartupFailed(e.Message(), !list);
    } catch (const std::exception& e) {
        return TLumoraApplication::StartupFailed(QString::fromUtf8(e.what()), !list);
    }
}
